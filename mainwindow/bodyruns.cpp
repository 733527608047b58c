// Reconstruction runs of the main window: the run scheduler's wiring to the
// fields, the workers, the interactive panel, the saver and the console.
#include "mainwindow/body.h"

#include "app/fieldtext.h"
#include "app/optiontable.h"
#include "input/imgdatas.h"
#include "input/linestore.h"
#include "input/widgets/selectaimgfile.h"
#include "recon/widgets/ctcalc.h"
#include "recon/ctcalc2.h"
#include "recon/widgets/ctcalc2ui.h"
#include "recon/widgets/ctdisp.h"
#include "recon/datasaver.h"
#include "recon/widgets/procctrl.h"
#include "recon/runslices.h"
#include "recon/sinogramcore.h"
#include "ui_Body.h"

#include <QDebug>
#include <QTextStream>

#include <algorithm>
#include <tuple>

namespace {

const QString idleStyle = QStringLiteral("background-color: rgb(213, 245, 255);");
const QString runningStyle = QStringLiteral("background-color: rgb(255, 255, 128);");
const QString timeFormat = QStringLiteral("hh:mm:ss.zzz");

// What a run started now would save, by the same rules as setupSaveConds.
ResultPlaces resultPlaces(const Ui::Body* ui)
{
    ResultPlaces r;
    for (const auto& [s, on, sel] : {std::tuple{&r.image, ui->AutoSaveImage, ui->SelectImageSaveDir},
                                     std::tuple{&r.data, ui->AutoSaveData, ui->SelectDataSaveDir}})
        *s = SaveSettings{on->isChecked() && !sel->filePath().isEmpty(), sel->filePath(), sel->name(), sel->tag()};
    r.data.tiff = ui->AutoSaveDataTiff->isChecked();
    r.inSubFolders = ui->SaveInSubFolders->isChecked();
    r.ofEnergy = ui->SubOfEnergy->isChecked();
    r.ofSlice = ui->SubOfSlice->isChecked();
    return r;
}

} // namespace

void Body::wireScheduler()
{
    connect(scheduler, &RunScheduler::busyChanged, this, &Body::setCalcStyle);
    connect(scheduler, &RunScheduler::started, this, &Body::runStarted);
    connect(scheduler, &RunScheduler::progress, ui->ProgPerCent, &QLineEdit::setText);
    connect(scheduler, &RunScheduler::stopped, this, &Body::runStopped);
    connect(scheduler, &RunScheduler::sliceCounted, this, &Body::sliceCounted);
    connect(scheduler, &RunScheduler::ended, this, &Body::announceEnd);
    connect(scheduler, &RunScheduler::missingFound, this, &Body::missingFound);
}

int Body::workerCount() const
{
    return int(ctCalc2s.size());
}

bool Body::isWorkerBusy(int i) const
{
    return ctCalc2s[i]->isBusy();
}

void Body::startSlice(int i, int slice)
{
    const ProcParams& p = scheduler->params();
    emit startCt(ctCalc2s[i], p.rotAxIsV, p.corAt(slice), slice, ui->ShowCalcRes->isChecked());
}

bool Body::isPanelRunning() const
{
    return ctCalc->isRunning();
}

void Body::startPanel()
{
    ctCalc->calcCt();
}

void Body::stopPanel()
{
    ctCalc->stopCt();
}

ProcParams Body::snapshot()
{
    ProcParams p = procCtrl->procParams(ui->SelectCt1->isChecked(), ui->SelectCt2->isChecked());
    p.upperLimit = fieldDouble(ui->DataUpperLimit->text());
    p.lowerLimit = fieldDouble(ui->DataLowerLimit->text());
    p.offset = fieldDouble(ui->DataOffset->text());
    p.skipExisting = ui->SkipExisting->isChecked();
    return p;
}

void Body::setBandWiseLoading(bool f)
{
    const bool whole = options().valueNoCase(QStringLiteral("whole_frames"), QStringLiteral("0")) == QLatin1String("1");
    imgDatas->setLinesOnly(f && !whole);
}

int Body::bandSlices(const ProcParams& p)
{
    if (!imgDatas->isLinesOnly())
        return 0;
    bool given = false;
    const qint64 budget = options().valueNoCase(QStringLiteral("band_memory"), QString()).toLongLong(&given);
    return slicesPerBand(imgDatas->lineBytes(p.rotAxIsV), given ? budget : defaultBandMemory());
}

bool Body::holdBand(const QVector<int>& slices)
{
    if (imgDatas->holdLines(scheduler->params().rotAxIsV, std::vector<int>(slices.begin(), slices.end())))
        return true;
    ++faults.unreadableLines;
    return false;
}

QStringList Body::missingResults(int slice) const
{
    return missingResultsOf(slice, resultPlaces(ui));
}

bool Body::savesResults() const
{
    const ResultPlaces r = resultPlaces(ui);
    return r.image.enabled || r.data.enabled;
}

void Body::missingFound(int slice, const QStringList& files)
{
    ++faults.slicesMissing;
    consoleLine(tr("Slice %1 misses %2 of its result files: %3").arg(slice).arg(files.size()).arg(files.first()));
}

void Body::setCalcStyle(bool busy)
{
    ui->CalcCT->setStyleSheet(busy ? runningStyle : idleStyle);
}

void Body::toggleCalcCt()
{
    if (!loading && imgDatas->count() == 0)
        return;
    scheduler->toggle();
}

void Body::startCalcCt()
{
    scheduler->start();
}

void Body::runStarted(const QDateTime& t)
{
    // Its slices all come out empty (and save nothing); a window-less run
    // says so in its exit status.
    if (imgDatas->count() == 0) {
        ++faults.runsWithoutImages;
        qDebug().noquote() << "No image loaded: the run reconstructs nothing";
    }
    setReferenceHold(true);
    ui->CalcStartT->setText(t.toString(timeFormat));
    ui->CalcEndT->setText(QStringLiteral("--"));
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
    // Queued to the workers before their first slice.
    setupFFT();
    setupSaveConds();
}

void Body::setupFFT()
{
    const ProcParams& params = scheduler->params();
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

void Body::execSingleCtCalc()
{
    scheduler->execSingle();
}

void Body::execMultiCtCalc()
{
    scheduler->execMulti();
}

void Body::stopCalcCt()
{
    scheduler->stop();
}

void Body::runStopped(const QDateTime& start, const QDateTime& end)
{
    ui->CalcEndT->setText(end.toString(timeFormat));
    ui->CalcSpentT->setText(QString::number(start.msecsTo(end) / 1000.0, 'g', 6));
}

void Body::announceEnd(bool counted, int slices, double seconds, double backProjectSeconds)
{
    setReferenceHold(false);
    imgDatas->dropLines();
    if (counted) {
        const int checked = scheduler->checkedSliceCount();
        QString line = scheduler->checksOnly()
                           ? tr("Checked %1 slices: %2 without all their result files").arg(checked).arg(checked - scheduler->skippedSlices())
                           : tr("Reconstruction run ended: %1 slices, %2 s").arg(slices).arg(seconds, 0, 'g', 6);
        if (slicesTimed)
            line += tr(", back projection %1 s in all").arg(backProjectSeconds, 0, 'g', 6);
        if (scheduler->skippedSlices() > 0 && !scheduler->checksOnly())
            line += tr(", %1 slices skipped (their result files were there)").arg(scheduler->skippedSlices());
        consoleLine(line);
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
    scheduler->panelFinished();
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
    if (runPicturesKept)
        ctDisp->addImg(no, img);
}


void Body::sliceCounted(int slice, int done, int total, double seconds, double backProjectSeconds)
{
    QString line = tr("Slice %1 done: %2 % (%3 / %4), %5 s")
                       .arg(slice)
                       .arg(100.0 * done / total, 0, 'f', 1)
                       .arg(done)
                       .arg(total)
                       .arg(seconds, 0, 'g', 6);
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
