#include "control/tesselactrl.h"

#include "control/tesselalink.h"
#include "recon/savingrecords.h"

#include <QDebug>
#include <QDir>

TesselaCtrl::TesselaCtrl(QObject* parent) : QObject(parent)
{
    connect(this, &TesselaCtrl::tslStatChanged, this, &TesselaCtrl::tslStageCtrl);
}

void TesselaCtrl::setLink(TesselaLink* l)
{
    if (link) {
        link->disconnect(this);
        disconnect(link);
    }
    link = l;
    if (!l)
        return;
    connect(l, &TesselaLink::connected, this, &TesselaCtrl::tslInitFlags);
    connect(l, &TesselaLink::changedIsBusy, this, &TesselaCtrl::tslChangedIsBusy);
    connect(l, &TesselaLink::lostConnection, this, &TesselaCtrl::noticedLinkLost);
    connect(this, &TesselaCtrl::tslLoadFilesOfPattern, l, &TesselaLink::loadFilesOfPattern);
    connect(this, &TesselaCtrl::tslLoadFiles, l, &TesselaLink::loadFiles);
    connect(this, &TesselaCtrl::exec2dA, l, &TesselaLink::exec2dA);
}

QString TesselaCtrl::slicePatternDir(const TslSaveLayout& layout, int slice)
{
    const QString dir = QDir(layout.dataDir).absolutePath();
    return QDir::toNativeSeparators(dir + QLatin1Char('/') + SavingRecord::sliceText(slice) + QLatin1Char('/'));
}

QStringList TesselaCtrl::sliceDataFiles(const TslSaveLayout& layout, int slice)
{
    const QStringList pattern{QStringLiteral("*-%1.dat").arg(SavingRecord::sliceText(slice))};
    const QDir top(layout.dataDir);
    QList<QDir> dirs;
    if (layout.inSubFolders) {
        for (const QString& sub : top.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            dirs << QDir(top.filePath(sub));
    } else {
        dirs << top;
    }
    QStringList files;
    for (const QDir& d : dirs) {
        for (const QString& f : d.entryList(pattern, QDir::Files, QDir::Name))
            files << QDir::toNativeSeparators(d.absoluteFilePath(f));
    }
    return files;
}

QString TesselaCtrl::busyStyle(bool busy)
{
    return busy ? QStringLiteral("background-color: rgb(255, 192, 192);")
                : QStringLiteral("background-color: rgb(211, 255, 241);");
}

QString TesselaCtrl::cont2dAStyle(bool on)
{
    return on ? QStringLiteral("background-color: rgb(255, 255, 128);")
              : QStringLiteral("background-color: rgb(213, 245, 255);");
}

void TesselaCtrl::setCont2dA(bool on)
{
    if (on == tslCont2dA)
        return;
    tslCont2dA = on;
    emit cont2dAUpdated(on);
}

void TesselaCtrl::abandon()
{
    waitSave = false;
    tslStage = 0;
    setCont2dA(false);
}

bool TesselaCtrl::linkDown() const
{
    return link && !link->isLinked();
}

void TesselaCtrl::tslInitFlags()
{
    abandon();
    tslBusy = true; // forced, so that the indicator is refreshed
    tslChangedIsBusy(false);
    tslFirst = tslLast = tslStep = tslCurrent = 0;
}

void TesselaCtrl::tslChangedIsBusy(bool f)
{
    if (f == tslBusy)
        return;
    tslBusy = f;
    emit tslBusyUpdated(f);
    emit tslStatChanged();
}

void TesselaCtrl::tslStageCtrl()
{
    if (tslBusy || tslStage == 0 || waitSave)
        return;
    const QString finished = link ? link->lastFinished() : QString();
    if (tslStage == 1) {
        if (finished != TesselaLink::loadPatternRequest && finished != TesselaLink::loadFilesRequest)
            return;
        if (!withAnalysis && !tslCont2dA) {
            tslStage = 0;
            return;
        }
        tslStage = 2;
        emit exec2dA(SavingRecord::sliceText(tslCurrent));
    } else if (tslStage == 2) {
        if (finished != TesselaLink::exec2dARequest)
            return;
        if (!tslCont2dA) {
            tslStage = 0;
            return;
        }
        tslCurrent += tslStep;
        if (tslCurrent <= tslLast)
            tslLoadSlice(tslCurrent);
        else
            abandon();
    }
}

void TesselaCtrl::tslLoadSlice(int slice)
{
    emit askSetSliceNo(slice);
    tslStage = 1;
    tslCurrent = slice;
    waitSave = pendingSaves.value(slice) > 0;
    if (!waitSave)
        sendSlice();
}

void TesselaCtrl::sendSlice()
{
    waitSave = false;
    const QString s = SavingRecord::sliceText(tslCurrent);
    if (linkDown()) {
        qDebug().noquote() << QStringLiteral("Tessela is not linked; slice %1 not sent").arg(s);
        abandon();
        return;
    }
    if (saveLayout.inSubFolders && saveLayout.ofSlice) {
        const QString dir = slicePatternDir(saveLayout, tslCurrent);
        if (!TesselaLink::sendable(dir)) {
            qDebug().noquote() << QStringLiteral("Folder not sent to Tessela (blank or character the link cannot carry) : %1").arg(dir);
            abandon();
            return;
        }
        emit tslLoadFilesOfPattern(dir);
        return;
    }
    const QStringList files = TesselaLink::sendableOnly(sliceDataFiles(saveLayout, tslCurrent));
    if (files.isEmpty()) {
        qDebug().noquote() << QStringLiteral("No data files of slice %1 to send to Tessela in %2").arg(s, saveLayout.dataDir);
        abandon();
        return;
    }
    emit tslLoadFiles(files);
}

bool TesselaCtrl::startCont2dA(int first, int last, int step)
{
    if (step < 1 || first > last) {
        qDebug().noquote() << QStringLiteral("Continuous 2DA needs a slice range with step 1 or more : %1 %2 %3")
                                  .arg(first).arg(last).arg(step);
        return false;
    }
    if (linkDown()) {
        qDebug().noquote() << QStringLiteral("Tessela is not linked; continuous 2DA not started");
        return false;
    }
    setCont2dA(true);
    tslFirst = first;
    tslLast = last;
    tslStep = step;
    tslCurrent = first;
    tslLoadSlice(first);
    return tslCont2dA;
}

void TesselaCtrl::stopCont2dA()
{
    setCont2dA(false);
}

void TesselaCtrl::tslStartCont2dA(int first, int last, int step)
{
    if (tslCont2dA)
        stopCont2dA();
    else
        startCont2dA(first, last, step);
}

void TesselaCtrl::exec2dA0(int sliceNo)
{
    emit exec2dA(SavingRecord::sliceText(sliceNo));
}

void TesselaCtrl::noticedPickedSlice(int slice)
{
    if (sendOnPick)
        tslLoadSlice(slice);
}

void TesselaCtrl::noticedSliceQueued(int slice)
{
    ++pendingSaves[slice];
}

void TesselaCtrl::noticedSliceSaved(int slice)
{
    auto it = pendingSaves.find(slice);
    if (it == pendingSaves.end())
        return;
    if (--it.value() > 0)
        return;
    pendingSaves.erase(it);
    if (waitSave && tslStage == 1 && tslCurrent == slice)
        sendSlice();
}

void TesselaCtrl::tslReset()
{
    abandon();
    if (link)
        link->resetBusy();
}

void TesselaCtrl::noticedLinkLost()
{
    if (tslStage != 0 || tslCont2dA)
        qDebug().noquote() << QStringLiteral("Tessela link lost; slice %1 given up").arg(SavingRecord::sliceText(tslCurrent));
    abandon();
}
