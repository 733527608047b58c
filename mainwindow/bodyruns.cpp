// Reconstruction runs of the main window: start, hand-out of slices to idle
// workers, stop and the end notice.
#include "mainwindow/body.h"

#include "app/fieldtext.h"
#include "input/imgdatas.h"
#include "input/widgets/selectaimgfile.h"
#include "recon/widgets/ctcalc.h"
#include "recon/ctcalc2.h"
#include "recon/widgets/ctcalc2ui.h"
#include "recon/widgets/ctdisp.h"
#include "recon/datasaver.h"
#include "recon/widgets/procctrl.h"
#include "recon/sinogramcore.h"
#include "recon/slicerange.h"
#include "ui_Body.h"

#include <QDebug>
#include <QTextStream>

#include <algorithm>

namespace {

const QString idleStyle = QStringLiteral("background-color: rgb(213, 245, 255);");
const QString runningStyle = QStringLiteral("background-color: rgb(255, 255, 128);");
const QString timeFormat = QStringLiteral("hh:mm:ss.zzz");

} // namespace

bool Body::anyWorkerBusy() const
{
    for (int i = 0; i < int(ctCalc2s.size()); ++i)
        if (handedOut[i] || ctCalc2s[i]->isBusy())
            return true;
    return false;
}

int Body::threadsInUse() const
{
    return std::clamp(params.threads, 1, int(ctCalc2s.size()));
}

void Body::setCalcStyle(bool busy)
{
    ui->CalcCT->setStyleSheet(busy ? runningStyle : idleStyle);
}

void Body::toggleCalcCt()
{
    if (!loading && imgDatas->count() == 0)
        return;
    if (running)
        stopCalcCt();
    else if (startPending || startAfterLoad)
        cancelPendingStart();
    else
        startCalcCt();
}

void Body::startCalcCt()
{
    if (running)
        return;
    // Workers must not read a list that grows under them: a start during a
    // load waits for its end.
    if (loading) {
        if (!startAfterLoad)
            qDebug().noquote() << "The reconstruction starts when the images are loaded";
        startAfterLoad = true;
        setCalcStyle(true);
        return;
    }
    // The snapshot, the workers' settings and the saver's folders change
    // only while no worker holds a slice; a start during the end of a
    // stopped run waits for it.
    if (anyWorkerBusy()) {
        startPending = true;
        setCalcStyle(true);
        return;
    }
    startPending = false;
    // Its slices all come out empty (and save nothing); a window-less run
    // says so in its exit status.
    if (imgDatas->count() == 0) {
        ++faults.runsWithoutImages;
        qDebug().noquote() << "No image loaded: the run reconstructs nothing";
    }
    running = true;
    setReferenceHold(true);
    startT = QDateTime::currentDateTime();
    ui->CalcStartT->setText(startT.toString(timeFormat));
    ui->CalcEndT->setText(QStringLiteral("--"));
    setCalcStyle(true);
    ctDisp->clear();

    const bool saveImg = ui->AutoSaveImage->isChecked();
    const bool saveDat = ui->AutoSaveData->isChecked();
    for (const auto& [on, sel] : {std::pair{saveImg, ui->SelectImageSaveDir}, std::pair{saveDat, ui->SelectDataSaveDir}})
        if (on && !sel->filePath().isEmpty() && !makeDirectory(sel->filePath()))
            sel->setStat(false);
    const bool inSub = ui->SaveInSubFolders->isChecked();
    const bool ofEnergy = ui->SubOfEnergy->isChecked();
    const bool ofSlice = ui->SubOfSlice->isChecked();
    QMetaObject::invokeMethod(dataSaver, [s = dataSaver, inSub, ofEnergy, ofSlice] {
        s->setSubFolders(inSub, ofEnergy, ofSlice);
    });

    params = procCtrl->procParams(ui->SelectCt1->isChecked(), ui->SelectCt2->isChecked());
    params.upperLimit = fieldDouble(ui->DataUpperLimit->text());
    params.lowerLimit = fieldDouble(ui->DataLowerLimit->text());
    params.offset = fieldDouble(ui->DataOffset->text());
    slicesDone = 0;
    backProjectSum = 0.0;
    slicesInRun = params.autoExec && params.useWorkers ? SliceRange{params.from, params.to, params.step}.count() : 1;
    if (params.useWorkers)
        ui->ProgPerCent->setText(QStringLiteral("0 %"));
    setupFFT();
    setupSaveConds();
    if (params.autoExec && params.useWorkers) {
        currentSlice = params.from;
        execMultiCtCalc();
    } else {
        execSingleCtCalc();
    }
}

void Body::setupFFT()
{
    const int images = imgDatas->count();
    if (images == 0)
        return;
    // Sized for the first slice of the run; a worker whose slice needs
    // another size (CoRs following the recorded law) re-sizes itself on
    // its own thread, FFTW's planner serialised by the engine.
    const int first = params.autoExec && params.useWorkers ? params.from : params.slice;
    const double cor = params.corAt(first);
    const int d = lineLength(*imgDatas, params.rotAxIsV);
    if (!SgmGeom::corAccepted(d, cor))
        return;
    const int n = SgmGeom::make(params.rotAxIsV, d, cor).gridSize();
    for (CtCalc2* w : ctCalc2s)
        QMetaObject::invokeMethod(w, [w, n, images] { w->setupFft(n, images); });
}

void Body::setupSaveConds()
{
    const SelectAFile* imgSel = ui->SelectImageSaveDir;
    const SelectAFile* datSel = ui->SelectDataSaveDir;
    bool saveImg = ui->AutoSaveImage->isChecked();
    bool saveDat = ui->AutoSaveData->isChecked();
    const bool saveTiff = ui->AutoSaveDataTiff->isChecked();
    // An empty directory would put the folders at the file system's root.
    if (saveImg && imgSel->filePath().isEmpty()) {
        qDebug().noquote() << "No directory to save images in; images are not saved";
        saveImg = false;
    }
    if (saveDat && datSel->filePath().isEmpty()) {
        qDebug().noquote() << "No directory to save data in; data files are not saved";
        saveDat = false;
    }
    for (CtCalc2* w : ctCalc2s) {
        QMetaObject::invokeMethod(w, [w, saveImg, p = imgSel->filePath(), n = imgSel->name(), t = imgSel->tag()] {
            w->setSaveImage(saveImg, p, n, t);
        });
        QMetaObject::invokeMethod(w, [w, saveDat, p = datSel->filePath(), n = datSel->name(), t = datSel->tag(), saveTiff] {
            w->setSaveData(saveDat, p, n, t, saveTiff);
        });
    }
}

void Body::dispatch(int i, int slice)
{
    handedOut[i] = true;
    emit startCt(ctCalc2s[i], params.rotAxIsV, params.corAt(slice), slice, ui->ShowCalcRes->isChecked());
}

void Body::execSingleCtCalc()
{
    if (params.usePanel) {
        if (!ctCalc->isRunning())
            ctCalc->calcCt();
    } else if (params.useWorkers) {
        dispatch(0, params.slice);
    } else {
        stopCalcCt();
    }
}

void Body::execMultiCtCalc()
{
    if (!running)
        return;
    if (!params.autoExec || !params.useWorkers) {
        if (!params.usePanel && !anyWorkerBusy())
            stopCalcCt();
        return;
    }
    const SliceRange range{params.from, params.to, params.step};
    const int t = threadsInUse();
    for (int i = 0; i < t; ++i) {
        if (range.contains(currentSlice) && !handedOut[i] && !ctCalc2s[i]->isBusy()) {
            dispatch(i, int(currentSlice));
            currentSlice += params.step;
        }
    }
    int busy = 0;
    for (int i = 0; i < t; ++i)
        busy += handedOut[i] || ctCalc2s[i]->isBusy() ? 1 : 0;
    ui->ProgPerCent->setText(SliceRange::progressText(range.progressPercent(currentSlice, busy)));
    if (range.contains(currentSlice) || busy > 0)
        return;
    stopCalcCt();
}

void Body::workerFinished(int i)
{
    handedOut[i] = false;
    if (running) {
        execMultiCtCalc();
        return;
    }
    if (anyWorkerBusy())
        return;
    // The last slice of a stopped run is done: only now has the run ended.
    if (endNoticePending) {
        endNoticePending = false;
        announceEnd();
    }
    if (startPending)
        startCalcCt();
}

void Body::stopCalcCt()
{
    if (!running) {
        if (startPending)
            cancelPendingStart();
        return;
    }
    running = false;
    endT = QDateTime::currentDateTime();
    ui->CalcEndT->setText(endT.toString(timeFormat));
    ui->CalcSpentT->setText(QString::number(startT.msecsTo(endT) / 1000.0, 'g', 6));
    setCalcStyle(false);
    if (params.usePanel && ctCalc->isRunning())
        ctCalc->stopCt();
    // Started slices finish and are saved; the run ends when they are done.
    if (anyWorkerBusy()) {
        endNoticePending = true;
        return;
    }
    announceEnd();
}

void Body::cancelPendingStart()
{
    startPending = false;
    startAfterLoad = false;
    setCalcStyle(false);
    // Whoever asked for the start still hears that it is over.
    endNoticePending = true;
    if (!anyWorkerBusy()) {
        endNoticePending = false;
        announceEnd();
    }
}

void Body::announceEnd()
{
    setReferenceHold(false);
    if (slicesInRun > 0) {
        QString line = tr("Reconstruction run ended: %1 slices, %2 s")
                           .arg(slicesDone)
                           .arg(startT.msecsTo(QDateTime::currentDateTime()) / 1000.0, 0, 'g', 6);
        if (slicesTimed)
            line += tr(", back projection %1 s in all").arg(backProjectSum, 0, 'g', 6);
        consoleLine(line);
        slicesInRun = 0;
    }
    if (batchCalcRunning) {
        batchCalcRunning = false;
        emit batchCalcFinished();
    }
    emit calcFinished();
    startDeferredLoad();
    checkBatchEnd();
}

void Body::setReferenceHold(bool f)
{
    // While workers read the flat and dark images, a new choice or a clear
    // waits for the end of the run.
    ui->I0ImgSel->setHold(f);
    ui->BGImgSel->setHold(f);
}

void Body::ctCalcFinished()
{
    if (running && params.usePanel)
        stopCalcCt();
}

void Body::changedCtSel(QAbstractButton* button)
{
    if (button == ui->SelectCt1)
        procCtrl->setAutoExec(false);
}

void Body::changedAutoExec()
{
    if (procCtrl->autoExec())
        ui->SelectCt2->setChecked(true);
}

void Body::ctImage(int no, QImage img)
{
    ctDisp->addImg(no, img);
}


void Body::sliceDone(int slice, double backProjectSeconds)
{
    ++slicesDone;
    backProjectSum += backProjectSeconds;
    const int total = std::max(slicesInRun, slicesDone);
    QString line = tr("Slice %1 done: %2 % (%3 / %4), %5 s")
                       .arg(slice)
                       .arg(100.0 * slicesDone / total, 0, 'f', 1)
                       .arg(slicesDone)
                       .arg(total)
                       .arg(startT.msecsTo(QDateTime::currentDateTime()) / 1000.0, 0, 'g', 6);
    if (slicesTimed)
        line += tr(", back projection %1 s").arg(backProjectSeconds, 0, 'g', 6);
    consoleLine(line);
}

RunFaults Body::runFaults() const
{
    RunFaults f = faults;
    if (dataSaver) {
        f.filesWritten = dataSaver->writtenFiles();
        f.filesFailed = dataSaver->failedFiles();
    }
    return f;
}

void Body::consoleLine(const QString& line) const
{
    if (!consoleProgress)
        return;
    QTextStream out(stdout);
    out << line << Qt::endl;
}
