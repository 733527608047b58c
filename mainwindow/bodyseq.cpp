// Sequential execution in the main window: the driver on its thread, the
// data-directory panel, what happens on every selected data set (tag,
// energy, I0 by energy, load), the stage read-outs and the console line of
// every set of a window-less run.
#include "mainwindow/body.h"

#include "control/widgets/selectdatadir.h"
#include "control/xafsbatch.h"
#include "input/imgdatas.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "ui_Body.h"

#include <QDebug>
#include <QSignalBlocker>
#include <QThread>

namespace {

const QString idleStyle = QStringLiteral("background-color: rgb(213, 245, 255);");
const QString runningStyle = QStringLiteral("background-color: rgb(255, 255, 128);");

} // namespace

SelectDataDir* Body::dataDirPanel() const
{
    return ui->SelDDir;
}

void Body::startSeqThread()
{
    stageClock.restart();
    xafsBatchThread = new QThread;
    xafsBatchThread->setObjectName(QStringLiteral("XafsBatch"));
    xafsBatch->moveToThread(xafsBatchThread);
    xafsBatchThread->start(QThread::InheritPriority);

    SelectDataDir* sel = ui->SelDDir;
    DataSetList* sets = sel->dataSets();
    // The driver toggles; the window knows at once which way.
    connect(ui->SeqCalc, &QPushButton::clicked, this, [this] {
        if (seqRunning)
            qDebug().noquote() << "Sequential calculation stopped; a load or reconstruction under way runs to its end";
        seqRunning = !seqRunning;
    });
    connect(ui->SeqCalc, &QPushButton::clicked, xafsBatch, &XafsBatch::start);
    connect(xafsBatch, &XafsBatch::starting, this, &Body::startingSeqCalc);
    connect(xafsBatch, &XafsBatch::setFirstImageSet, this, &Body::setFirstImageSet);
    connect(xafsBatch, &XafsBatch::setNextImageSet, this, &Body::setNextImageSet);
    connect(xafsBatch, &XafsBatch::finished, this, &Body::finishedSeqCalc);
    connect(xafsBatch, &XafsBatch::stage, this, &Body::noticedStage);
    connect(xafsBatch, &XafsBatch::execCalculation, this, &Body::seqCalculation);
    connect(this, &Body::stage, this, &Body::noticedStage);
    connect(this, &Body::setFirstSet, sel, &SelectDataDir::setFirstSet);
    connect(this, &Body::setNextSet, sel, &SelectDataDir::setNextSet);
    connect(sel, &SelectDataDir::selected, this, &Body::selectedDir);
    connect(sel, &SelectDataDir::selectedFileInfoList, this, &Body::selectedFileInfoList);
    connect(sel, &SelectDataDir::noMoreSets, xafsBatch, &XafsBatch::noMoreSets);
    connect(this, &Body::finishedLoadingCTFiles, xafsBatch, &XafsBatch::loadedDataSet);
    connect(this, &Body::calcFinished, xafsBatch, &XafsBatch::calcFinished);
    connect(this, &Body::calcFinished, this, &Body::setRunEnded);

    // The range follows the list (unless kept) and the user's spin boxes.
    connect(sets, &DataSetList::rangeChanged, this, [this](int first, int last) {
        const QSignalBlocker quietFrom(ui->SeqCalcFrom);
        const QSignalBlocker quietTo(ui->SeqCalcTo);
        ui->SeqCalcFrom->setValue(first);
        ui->SeqCalcTo->setValue(last);
    });
    const auto rangeEdited = [this, sets] { sets->setRange(ui->SeqCalcFrom->value(), ui->SeqCalcTo->value()); };
    connect(ui->SeqCalcFrom, qOverload<int>(&QSpinBox::valueChanged), this, rangeEdited);
    connect(ui->SeqCalcTo, qOverload<int>(&QSpinBox::valueChanged), this, rangeEdited);
    connect(ui->keepOnNewSet, &QCheckBox::toggled, sets, &DataSetList::setKeepRangeOnNewSets);
    sets->setKeepRangeOnNewSets(ui->keepOnNewSet->isChecked());
    rangeEdited();
}

void Body::emitStage(const QString& msg)
{
    emit stage(msg, stageClock.sincePrevious());
}

void Body::setFirstImageSet()
{
    emitStage(tr("Loading first Data Set"));
    emit setFirstSet(ui->SeqCalcFrom->value() - 1);
}

void Body::setNextImageSet()
{
    emitStage(tr("Loading next Data Set"));
    emit setNextSet(ui->SeqCalcTo->value() - 1);
}

void Body::startingSeqCalc()
{
    seqRunning = true;
    stageClock.restart();
    ui->SeqCalc->setStyleSheet(runningStyle);
}

void Body::finishedSeqCalc()
{
    seqRunning = false;
    ui->SeqCalc->setStyleSheet(idleStyle);
}

void Body::noticedStage(QString msg, qlonglong dEt)
{
    ui->ProgressMsg->setText(msg);
    ui->DeltaET->setText(QString::number(double(dEt / 100) / 10.0, 'f', 1));
    ui->TotalET->setText(QString::number(stageClock.elapsedMs() / 1000));
}

void Body::beforeSetLoad()
{
    const SelectDataDir* sel = ui->SelDDir;
    const DataSetList* sets = sel->dataSets();
    const QString tag = sel->currentSetTag();
    ui->SelectImageSaveDir->setTag(tag);
    ui->SelectDataSaveDir->setTag(tag);
    // A set without an energy keeps the energy and the I0 image in use;
    // without an I0 file list the I0 image chosen by hand stays.
    if (i0Engs.isEmpty()) {
        if (sets->currentEnergyKnown())
            setDataSetEnergy(sel->currentEnergy());
    } else if (sets->nearestI0Index(i0Engs) >= 0) {
        setDataSetEnergy(sel->currentEnergy());
        setI0FileFromList();
    }
    reportSet = sets->currentIndex();
    reportSets = sets->count();
    reportTag = tag;
    setClock.start();
}

void Body::selectedDir(QString dir, QStringList patterns)
{
    beforeSetLoad();
    // A data set replaces the one loaded, whatever the list's own choice.
    SelectDataFiles* files = ui->CTFiles;
    const bool newOnLoad = files->isNewOnLoad();
    files->setNewOnLoad(true);
    files->selectFilesIn(dir, patterns);
    files->setNewOnLoad(newOnLoad);
}

void Body::selectedFileInfoList(QFileInfoList fileInfoList)
{
    beforeSetLoad();
    SelectDataFiles* files = ui->CTFiles;
    const bool newOnLoad = files->isNewOnLoad();
    files->setNewOnLoad(true);
    files->selectFileInfos(fileInfoList);
    files->setNewOnLoad(newOnLoad);
}

void Body::seqCalculation()
{
    // A set that loaded no image (its files gone, or none matching) is
    // passed over rather than reconstructed from nothing.
    if (imgDatas->count() == 0) {
        qDebug().noquote() << QStringLiteral("Data set %1 has no images; passed over").arg(reportTag);
        reportSet = -1;
        QMetaObject::invokeMethod(xafsBatch, &XafsBatch::calcFinished);
        return;
    }
    startCalcCt();
}

void Body::setRunEnded()
{
    if (reportSet < 0)
        return;
    const int k = reportSet + 1;
    reportSet = -1;
    consoleLine(tr("Set %1 of %2 (%3) done: %4 s").arg(k).arg(reportSets).arg(reportTag).arg(setClock.elapsed() / 1000.0, 0, 'g', 6));
}
