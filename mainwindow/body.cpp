#include "mainwindow/body.h"

#include "app/optiontable.h"
#include "input/imgdatas.h"
#include "recon/ctcalc.h"
#include "recon/ctcalc2.h"
#include "recon/ctcalc2ui.h"
#include "recon/ctdisp.h"
#include "recon/datasaver.h"
#include "recon/procctrl.h"
#include "recon/sinogram.h"
#include "recon/sinogramcore.h"
#include "recon/slicerange.h"
#include "ui_Body.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QThread>

#include <algorithm>

namespace {

const QString idleStyle = QStringLiteral("background-color: rgb(213, 245, 255);");
const QString runningStyle = QStringLiteral("background-color: rgb(255, 255, 128);");
const QString timeFormat = QStringLiteral("hh:mm:ss.zzz");

bool showAllCt2Images()
{
    return options().valueNoCase(QStringLiteral("show_all_ct2_images"), QStringLiteral("0")) == QLatin1String("1");
}

} // namespace

Body::Body(QWidget* parent, int workerCount)
    : QFrame(parent), ui(new Ui::Body), procCtrl(new ProcCtrl), sinogram(new Sinogram), ctCalc(new CtCalc),
      imgDatas(new ImgDatas), ctDisp(new CtDisp)
{
    ui->setupUi(this);
    ui->ProcCtrlFrame->layout()->addWidget(procCtrl);
    ui->CalcCT->setStyleSheet(idleStyle);
    imageSaveDir = dataSaveDir = dataRoot();

    imgDatasThread = new QThread;
    imgDatasThread->setObjectName(QStringLiteral("ImgDatas"));
    imgDatas->moveToThread(imgDatasThread);
    imgDatasThread->start(QThread::InheritPriority);

    sinogram->setImgDatas(imgDatas);
    sinogram->setProcCtrl(procCtrl);
    ctCalc->setSinogram(sinogram);
    ctCalc->setProcCtrl(procCtrl);

    createWorkers(workerCount > 0 ? workerCount : std::max(1, QThread::idealThreadCount()));
    procCtrl->setMaxThreads(int(ctCalc2s.size()));
    retranslateTabs();

    ctSelGroup = new QButtonGroup(this);
    ctSelGroup->addButton(ui->SelectCt1);
    ctSelGroup->addButton(ui->SelectCt2);
    ctSelGroup->setExclusive(true);
    connect(ctSelGroup, &QButtonGroup::buttonClicked, this, &Body::changedCtSel);
    connect(procCtrl, &ProcCtrl::autoExecUpdated, this, &Body::changedAutoExec);
    connect(ui->CalcCT, &QPushButton::clicked, this, &Body::toggleCalcCt);
    connect(ctCalc, &CtCalc::askToStartCalc, this, &Body::toggleCalcCt);
    connect(ctCalc, &CtCalc::calcFinished, this, &Body::ctCalcFinished);
    connect(ctCalc, &CtResPanel::dRUpdated, this, &Body::dRUpdated);
    connect(ctCalc, &CtResPanel::cRUpdated, this, &Body::cRUpdated);
    connect(this, &Body::batchCalcStart, this, &Body::startCalcCt);
    connect(ui->FixColorScale, &QCheckBox::toggled, this, &Body::fixColorScaleChanged);
    connect(ui->ColorMin, &QLineEdit::editingFinished, this, &Body::fixColorScaleChanged);
    connect(ui->ColorMax, &QLineEdit::editingFinished, this, &Body::fixColorScaleChanged);
}

void Body::createWorkers(int count)
{
    dataSaver = new DataSaver;
    dataSaverThread = new QThread;
    dataSaverThread->setObjectName(QStringLiteral("DataSaver"));
    dataSaver->moveToThread(dataSaverThread);
    dataSaverThread->start(QThread::InheritPriority);

    handedOut.fill(false, count);
    for (int i = 0; i < count; ++i) {
        auto* panel = new CtCalc2Ui(this);
        panel->hide();
        panel->setWorkerNo(i + 1);
        auto* worker = new CtCalc2;
        worker->setParams(&params);
        worker->setImgDatas(imgDatas);
        panel->setWorker(worker);
        auto* thread = new QThread;
        thread->setObjectName(QStringLiteral("CtCalc2 %1").arg(i + 1));
        worker->moveToThread(thread);
        thread->start(QThread::InheritPriority);

        connect(this, &Body::startCt, worker, &CtCalc2::startCt);
        connect(worker, &CtCalc2::calcFinished, this, [this, i] { workerFinished(i); });
        connect(worker, &CtCalc2::saveDataWDiscard, dataSaver, &DataSaver::saveDataWDiscard);
        connect(worker, &CtCalc2::saveImgWDiscard, dataSaver, &DataSaver::saveImgWDiscard);
        connect(worker, &CtCalc2::ctImage, this, &Body::ctImage);
        connect(panel, &CtResPanel::dRUpdated, this, &Body::dRUpdated);
        connect(panel, &CtResPanel::cRUpdated, this, &Body::cRUpdated);
        ctCalc2s << worker;
        ctCalc2Uis << panel;
        ctCalc2Threads << thread;
    }
}

Body::~Body()
{
    // Focus and visibility changes of a closing window reach the panels'
    // slots; they happen now, while every panel is whole.
    hide();
    for (QObject* c : findChildren<QObject*>())
        disconnect(c, nullptr, this, nullptr);
    // Workers first: a slice in progress is finished, what it sends to the
    // saver is queued there, and the saver writes every queued record
    // before it stops, so no result is lost at exit.
    for (QThread* t : ctCalc2Threads) {
        t->quit();
        t->wait();
    }
    if (dataSaverThread) {
        QMetaObject::invokeMethod(dataSaver, [] {}, Qt::BlockingQueuedConnection);
        dataSaverThread->quit();
        dataSaverThread->wait();
    }
    imgDatasThread->quit();
    imgDatasThread->wait();
    for (CtCalc2Ui* p : ctCalc2Uis)
        p->setWorker(nullptr);
    qDeleteAll(ctCalc2s);
    qDeleteAll(ctCalc2Threads);
    delete dataSaver;
    delete dataSaverThread;
    delete ctDisp;
    delete imgDatas; // deletes every image
    delete imgDatasThread;
    delete ctCalc;
    delete sinogram;
    delete ui;
}

void Body::retranslateTabs()
{
    QTabWidget* tabs = ui->ImgsTab;
    const QString sinogramTab = tr("Sinogram");
    const QString ctCalcTab = tr("CT Reconstructed Image");
    const QString ctImagesTab = tr("CT Images");
    if (tabs->count() == 0) {
        tabs->addTab(sinogram, sinogramTab);
        tabs->addTab(ctCalc, ctCalcTab);
        const bool all = showAllCt2Images();
        for (int i = 0; i < (all ? int(ctCalc2Uis.size()) : 1); ++i)
            tabs->addTab(ctCalc2Uis[i], QString());
        tabs->addTab(ctDisp, ctImagesTab);
    }
    tabs->setTabText(tabs->indexOf(sinogram), sinogramTab);
    tabs->setTabText(tabs->indexOf(ctCalc), ctCalcTab);
    tabs->setTabText(tabs->indexOf(ctDisp), ctImagesTab);
    const bool all = showAllCt2Images();
    for (int i = 0; i < int(ctCalc2Uis.size()); ++i) {
        const int idx = tabs->indexOf(ctCalc2Uis[i]);
        if (idx >= 0)
            tabs->setTabText(idx, all ? tr("CT2 %1").arg(i + 1) : tr("CT2"));
    }
}

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

void Body::setImageSaveDir(const QString& path, const QString& name, const QString& tag)
{
    imageSaveDir = path;
    imageSaveNm = name;
    imageSaveTg = tag;
}

void Body::setDataSaveDir(const QString& path, const QString& name, const QString& tag)
{
    dataSaveDir = path;
    dataSaveNm = name;
    dataSaveTg = tag;
}

void Body::setCalcStyle(bool busy)
{
    ui->CalcCT->setStyleSheet(busy ? runningStyle : idleStyle);
}

void Body::toggleCalcCt()
{
    if (imgDatas->count() == 0)
        return;
    if (running)
        stopCalcCt();
    else if (startPending)
        cancelPendingStart();
    else
        startCalcCt();
}

void Body::startCalcCt()
{
    if (running)
        return;
    // The snapshot, the workers' settings and the saver's folders change
    // only while no worker holds a slice; a start during the end of a
    // stopped run waits for it.
    if (anyWorkerBusy()) {
        startPending = true;
        setCalcStyle(true);
        return;
    }
    startPending = false;
    running = true;
    startT = QDateTime::currentDateTime();
    ui->CalcStartT->setText(startT.toString(timeFormat));
    ui->CalcEndT->setText(QStringLiteral("--"));
    setCalcStyle(true);
    ctDisp->clear();

    const bool saveImg = ui->AutoSaveImage->isChecked();
    const bool saveDat = ui->AutoSaveData->isChecked();
    for (const auto& [on, dir] : {std::pair{saveImg, imageSaveDir}, std::pair{saveDat, dataSaveDir}})
        if (on && !dir.isEmpty() && !QDir().mkpath(dir))
            qDebug().noquote() << QStringLiteral("Can't create directory : %1").arg(dir);
    const bool inSub = ui->SaveInSubFolders->isChecked();
    const bool ofEnergy = ui->SubOfEnergy->isChecked();
    const bool ofSlice = ui->SubOfSlice->isChecked();
    QMetaObject::invokeMethod(dataSaver, [s = dataSaver, inSub, ofEnergy, ofSlice] {
        s->setSubFolders(inSub, ofEnergy, ofSlice);
    });

    params = procCtrl->procParams(ui->SelectCt1->isChecked(), ui->SelectCt2->isChecked());
    params.upperLimit = ProcCtrl::fieldDouble(ui->DataUpperLimit->text());
    params.lowerLimit = ProcCtrl::fieldDouble(ui->DataLowerLimit->text());
    params.offset = ProcCtrl::fieldDouble(ui->DataOffset->text());
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
    bool saveImg = ui->AutoSaveImage->isChecked();
    bool saveDat = ui->AutoSaveData->isChecked();
    // An empty directory would put the folders at the file system's root.
    if (saveImg && imageSaveDir.isEmpty()) {
        qDebug().noquote() << "No directory to save images in; images are not saved";
        saveImg = false;
    }
    if (saveDat && dataSaveDir.isEmpty()) {
        qDebug().noquote() << "No directory to save data in; data files are not saved";
        saveDat = false;
    }
    for (CtCalc2* w : ctCalc2s) {
        QMetaObject::invokeMethod(w, [w, saveImg, p = imageSaveDir, n = imageSaveNm, t = imageSaveTg] {
            w->setSaveImage(saveImg, p, n, t);
        });
        QMetaObject::invokeMethod(w, [w, saveDat, p = dataSaveDir, n = dataSaveNm, t = dataSaveTg] {
            w->setSaveData(saveDat, p, n, t);
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
    if (batchCalcRunning) {
        batchCalcRunning = false;
        emit batchCalcFinished();
    }
    emit calcFinished();
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

void Body::dRUpdated(double rx0, double rz0, double rx1, double rz1)
{
    QObject* from = sender();
    if (ctCalc != from)
        ctCalc->setDR(rx0, rz0, rx1, rz1);
    for (CtCalc2Ui* p : ctCalc2Uis)
        if (p != from)
            p->setDR(rx0, rz0, rx1, rz1);
}

void Body::cRUpdated(double rx0, double rz0, double rx1, double rz1)
{
    QObject* from = sender();
    if (ctCalc != from)
        ctCalc->setCR(rx0, rz0, rx1, rz1);
    for (CtCalc2Ui* p : ctCalc2Uis)
        if (p != from)
            p->setCR(rx0, rz0, rx1, rz1);
}

void Body::fixColorScaleChanged()
{
    const bool f = ui->FixColorScale->isChecked();
    QList<CtResPanel*> panels{ctCalc};
    for (CtCalc2Ui* p : ctCalc2Uis)
        panels << p;
    for (CtResPanel* p : panels) {
        p->setFixColorScale(f);
        if (f)
            p->setCBarMinMaxForced(colorMin(), colorMax());
    }
}

double Body::colorMin() const
{
    return ProcCtrl::fieldDouble(ui->ColorMin->text());
}

double Body::colorMax() const
{
    return ProcCtrl::fieldDouble(ui->ColorMax->text());
}

void Body::setFixColorScale(bool f)
{
    ui->FixColorScale->setChecked(f);
}

void Body::setColorMin(double v)
{
    ui->ColorMin->setText(QString::number(v, 'g', 6));
}

void Body::setColorMax(double v)
{
    ui->ColorMax->setText(QString::number(v, 'g', 6));
}

void Body::setAutoSaveImage(bool f)
{
    ui->AutoSaveImage->setChecked(f);
}

void Body::setAutoSaveData(bool f)
{
    ui->AutoSaveData->setChecked(f);
}

void Body::batchLoad(QString fname)
{
    Q_UNUSED(fname);
}

void Body::batchExec()
{
}

void Body::closeEvent(QCloseEvent* event)
{
    emit finishing();
    event->accept();
}

void Body::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        retranslateTabs();
    }
    QFrame::changeEvent(event);
}
