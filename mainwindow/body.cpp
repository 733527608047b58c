#include "mainwindow/body.h"

#include "app/detach.h"
#include "app/fieldtext.h"
#include "app/optiontable.h"
#include "control/batch.h"
#include "control/tesselactrl.h"
#include "control/tesselalink.h"
#include "control/xafsbatch.h"
#include "display/widgets/colorbar.h"
#include "display/widgets/dispb.h"
#include "display/widgets/rawdisp.h"
#include "input/widgets/i0ofimage.h"
#include "input/frameloader.h"
#include "input/imgdatas.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/framing/closablebase.h"
#include "mainwindow/framing/popdockbase.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/widgets/ctcalc.h"
#include "recon/ctcalc2.h"
#include "recon/widgets/ctcalc2ui.h"
#include "recon/widgets/ctdisp.h"
#include "recon/datasaver.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "ui_Body.h"
#include "view3d/widgets/ctview.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QThread>

#include <algorithm>

namespace {

const QString idleStyle = QStringLiteral("background-color: rgb(213, 245, 255);");
const QString viewerFreeStyle = QStringLiteral("background-color: rgb(211, 255, 241);");

bool showAllCt2Images()
{
    return options().valueNoCase(QStringLiteral("show_all_ct2_images"), QStringLiteral("0")) == QLatin1String("1");
}

QThread* startedThread(QObject* object, const QString& name)
{
    auto* t = new QThread;
    t->setObjectName(name);
    object->moveToThread(t);
    t->start(QThread::InheritPriority);
    return t;
}

void joinThread(QThread*& t)
{
    if (!t)
        return;
    t->quit();
    t->wait();
    delete t;
    t = nullptr;
}

} // namespace

Body::Body(QWidget* parent, int workerCount)
    : QFrame(parent), batch(new Batch), rawDisp(new RawDisp), sinogram(new Sinogram), ctCalc(new CtCalc),
      procCtrl(new ProcCtrl), imgDatas(new ImgDatas), ctDisp(new CtDisp), ctView(new CtView(dataRoot())),
      xafsBatch(new XafsBatch), tslCtrl(new TesselaCtrl), frameLoader(std::make_unique<FrameLoader>())
{
    createPens();
    slicesTimed = options().valueNoCase(QStringLiteral("slice_timing"), QStringLiteral("0")) == QLatin1String("1");
    ui = new Ui::Body;
    ui->setupUi(this);
    ui->ProcCtrlFrame->layout()->addWidget(procCtrl);
    ui->ImgsPopDocBase->setContent(ui->ImgsTab);
    ui->ImgsPopDocBase->setPopped(true);

    for (QWidget* w : {static_cast<QWidget*>(ui->CalcCT), static_cast<QWidget*>(ui->SeqCalc),
                       static_cast<QWidget*>(ui->Cont2DA)})
        w->setStyleSheet(idleStyle);
    ui->TSLIsBusy->setStyleSheet(viewerFreeStyle);
    configurePanels();

    startImageSetThread();
    startBatchThread();
    startSeqThread();
    fillPages();

    scheduler = new RunScheduler(*this, this);
    wireScheduler();
    createWorkers(workerCount > 0 ? workerCount : std::max(1, QThread::idealThreadCount()));
    procCtrl->setMaxThreads(int(ctCalc2s.size()));
    retranslateOwnTexts();

    imgDatas->setI0Handle(ui->I0ImgSel->imageSlot());
    imgDatas->setBgHandle(ui->BGImgSel->imageSlot());
    connectPanels();
    setupTesselaLink();
    connectCtView();
}

void Body::createPens()
{
    pens[0] = QPen(QColor(255, 255, 0));
    pens[1] = QPen(QColor(255, 232, 232));
    pens[2] = QPen(QColor(255, 200, 200));
    pens[3] = QPen(QColor(255, 232, 232));
    pens[3].setDashPattern({10, 3, 4, 3});
    pens[4] = QPen(QColor(255, 0, 0));
    pens[5] = QPen(QColor(232, 255, 0));
}

void Body::configurePanels()
{
    // Results go under the data root until the user picks a place; the
    // directory is made when a run really saves there.
    for (SelectAFile* s : {ui->SelectImageSaveDir, ui->SelectDataSaveDir}) {
        s->setDir(dataRoot());
        s->setMode(1);
        s->setNameTagVisible(true);
    }
    ui->SelI0Files->setSimpleMode(true);
    ui->SelI0Files->setTitle(QString(32, QLatin1Char(' ')));
    setShowAdditionalInfo(ui->ShowAdditionalInfo->isChecked());
    setShowAdditionalAdditionalInfo(ui->ShowAdditionalAdditionalInfo->isChecked());
}

void Body::startImageSetThread()
{
    imgDatasThread = startedThread(imgDatas, QStringLiteral("ImgDatas"));
    rawDisp->setImgDatas(imgDatas);
    sinogram->setImgDatas(imgDatas);
    sinogram->setProcCtrl(procCtrl);
    ctCalc->setSinogram(sinogram);
    ctCalc->setProcCtrl(procCtrl);
    connect(this, &Body::askLoadNextDataFile, this, &Body::loadNextDataFile, Qt::QueuedConnection);
    connect(this, &Body::askLoadNextMultiData, this, &Body::loadNextMultiData, Qt::QueuedConnection);
    connect(this, &Body::noticeFinishedLoadDataFiles, this, &Body::finishedLoadDataFiles, Qt::QueuedConnection);
}

void Body::startBatchThread()
{
    batchThread = startedThread(batch, QStringLiteral("Batch"));
    connect(this, &Body::callBatchLoad, batch, &Batch::batchLoad);
    connect(this, &Body::callBatchExec, batch, &Batch::batchExec);
    connect(this, &Body::callBatchCheckEnd, batch, &Batch::batchCheckEnd);
    connect(batch, &Batch::batchExCmd, this, &Body::batchExCmd);
    connect(this, &Body::batchCalcStart, this, &Body::startCalcCt);
    connect(this, &Body::batchCalcFinished, this, &Body::callBatchCheckEnd);
    connect(batch, &Batch::batchLoadFailed, this, [this](const QString& fname) { faults.unreadableBatch = fname; });
    connect(batch, &Batch::batchRunEnded, this, [this] {
        batchEnded = true;
        checkBatchEnd();
    });
}

void Body::fillPages()
{
    ui->RawImgBase->setContent(rawDisp);
    ui->SinogramImgBase->setContent(sinogram);
    ui->CtImgBase->setContent(ctCalc);
    ui->I0ImgBase->setContent(ui->I0ImgSel->display());
    ui->BGImgBase->setContent(ui->BGImgSel->display());
    ui->CtImgsBase->setContent(ctDisp);
    ui->CtViewBase->setContent(ctView);
}

void Body::createWorkers(int count)
{
    dataSaver = new DataSaver;
    bool levelGiven = false;
    int pngLevel = options().valueNoCase(QStringLiteral("png_compression"), QString()).toInt(&levelGiven);
    if (!levelGiven)
        pngLevel = -1;
    dataSaverThread = startedThread(dataSaver, QStringLiteral("DataSaver"));

    const bool all = showAllCt2Images();
    for (int i = 0; i < count; ++i) {
        auto* panel = new CtCalc2Ui(this);
        panel->hide();
        panel->setWorkerNo(i + 1);
        auto* worker = new CtCalc2;
        worker->setParams(&scheduler->params());
        worker->setImgDatas(imgDatas);
        worker->setPngCompression(pngLevel);
        panel->setWorker(worker);
        ctCalc2Threads << startedThread(worker, QStringLiteral("CtCalc2 %1").arg(i + 1));

        connect(this, &Body::startCt, worker, &CtCalc2::startCt);
        connect(worker, &CtCalc2::calcFinished, this, [this, i] { scheduler->workerFinished(i); });
        // Before the saver hears of the record: the viewer link then always
        // learns that a slice is pending before it learns that it is saved.
        connect(worker, &CtCalc2::saveDataWDiscard, this, [this](SavingData* d) {
            QMetaObject::invokeMethod(tslCtrl, [c = tslCtrl, slice = d->sliceNo.toInt()] { c->noticedSliceQueued(slice); });
        }, Qt::DirectConnection);
        connect(worker, &CtCalc2::saveDataWDiscard, dataSaver, &DataSaver::saveDataWDiscard);
        connect(worker, &CtCalc2::saveImgWDiscard, dataSaver, &DataSaver::saveImgWDiscard);
        connect(worker, &CtCalc2::ctImage, this, &Body::ctImage);
        connect(worker, &CtCalc2::sliceDone, scheduler, &RunScheduler::sliceDone);
        connect(panel, &CtResPanel::dRUpdated, this, &Body::dRUpdated);
        connect(panel, &CtResPanel::cRUpdated, this, &Body::cRUpdated);
        ctCalc2s << worker;
        ctCalc2Uis << panel;
        // The fixed tabs keep their places (show_tab counts on them); the
        // workers' tabs follow them.
        if (i == 0 || all)
            ui->ImgsTab->addTab(panel, QString());
    }
}

void Body::connectPanels()
{
    ctSelGroup = new QButtonGroup(this);
    ctSelGroup->addButton(ui->SelectCt1);
    ctSelGroup->addButton(ui->SelectCt2);
    ctSelGroup->setExclusive(true);
    connect(ctSelGroup, &QButtonGroup::buttonClicked, this, &Body::changedCtSel);

    connect(ui->CTFiles, &SelectDataFiles::filesSelected, this, &Body::dataFilesSelected);
    connect(ui->SelI0Files, &SelectDataFiles::filesSelected, this, &Body::i0FilesSelected);
    connect(rawDisp, &ImgDispWPV::newPosInvY, this, &Body::newPosOnRawImg);
    connect(rawDisp, &DispAWLayout::drawImage2, this, &Body::draw);
    connect(rawDisp, &ImgDisp::selectedAPoint, this, &Body::selectedAPointInRawImg);
    // The user's range on the bar stays; a new projection takes its own.
    connect(rawDisp, &ImgDispWCBar::newBar, this, [this] { renderRawImage(true); });
    connect(ui->seekCtrl, &SeekCtrl::newIndex, this, &Body::rawIndexChanged);
    DispB* rawFrame = rawDisp->dispB();
    connect(imgDatas, &ImgDatas::imageUpdated, rawFrame, qOverload<>(&QWidget::update));
    for (auto signal : {&ProcCtrl::rotAxUpdated, &ProcCtrl::sliceNoUpdated, &ProcCtrl::corUpdated})
        connect(procCtrl, signal, rawFrame, qOverload<>(&QWidget::update));
    connect(procCtrl, &ProcCtrl::autoExecUpdated, this, &Body::changedAutoExec);

    connect(ui->CalcCT, &QPushButton::clicked, this, &Body::toggleCalcCt);
    connect(ctCalc, &CtCalc::askToStartCalc, this, &Body::toggleCalcCt);
    connect(ctCalc, &CtCalc::calcFinished, this, &Body::ctCalcFinished);
    connect(ctCalc, &CtResPanel::dRUpdated, this, &Body::dRUpdated);
    connect(ctCalc, &CtResPanel::cRUpdated, this, &Body::cRUpdated);

    connect(ui->FixColorScale, &QCheckBox::toggled, this, &Body::fixColorScaleChanged);
    connect(ui->ColorMin, &QLineEdit::editingFinished, this, &Body::fixColorScaleChanged);
    connect(ui->ColorMax, &QLineEdit::editingFinished, this, &Body::fixColorScaleChanged);
    connect(ui->ShowAdditionalInfo, &QCheckBox::toggled, this, &Body::setShowAdditionalInfo);
    connect(ui->ShowAdditionalAdditionalInfo, &QCheckBox::toggled, this, &Body::setShowAdditionalAdditionalInfo);
    connect(ui->SaveSetup, &QPushButton::clicked, this, &Body::showSaveSetupD);
    connect(ui->LoadSetup, &QPushButton::clicked, this, &Body::showLoadSetupD);

    // The check image shows normalised lines: a new flat or dark image
    // changes it.
    const auto referenceChanged = [this] {
        if (imgDatas->count() > 0)
            sinogram->genSgmImage();
    };
    for (SelectAImgFile* ref : {ui->I0ImgSel, ui->BGImgSel}) {
        connect(ref, &SelectAFile::fileSelected, this, referenceChanged);
        connect(ref, &SelectAFile::clear, this, referenceChanged);
    }
    connect(ui->I0ImgSel, &SelectAImgFile::askToShowImage, this,
            [this] { showImagePage(ui->I0ImgPage, ui->I0ImgBase); });
    connect(ui->BGImgSel, &SelectAImgFile::askToShowImage, this,
            [this] { showImagePage(ui->BGImgPage, ui->BGImgBase); });
}

Body::~Body()
{
    // Focus and visibility changes of closing windows reach the panels'
    // slots; they happen now, while every panel is whole. The popped-out
    // windows hold panels that are no children of this window.
    hide();
    QList<QObject*> roots{this, ui->ImgsTab};
    QList<PopDockBase*> bases = ui->ImgsTab->findChildren<PopDockBase*>();
    bases << ui->ImgsPopDocBase;
    for (PopDockBase* base : bases) {
        base->popWindow()->hide();
        roots << base->popWindow();
    }
    for (QObject* root : roots)
        detachChildren(root, this);
    disconnect(batch, nullptr, this, nullptr);
    disconnect(xafsBatch, nullptr, this, nullptr);

    // Workers first: a slice in progress is finished, what it sends to the
    // saver is queued there, and the saver writes every queued record
    // before it stops, so no result is lost at exit.
    for (QThread*& t : ctCalc2Threads)
        joinThread(t);
    joinThread(imgDatasThread);
    joinThread(batchThread);
    joinThread(xafsBatchThread);
    if (dataSaverThread) {
        QMetaObject::invokeMethod(dataSaver, [] {}, Qt::BlockingQueuedConnection);
        joinThread(dataSaverThread);
    }
    delete dataSaver;

    for (CtCalc2Ui* p : ctCalc2Uis)
        p->setWorker(nullptr);
    qDeleteAll(ctCalc2s);
    tslCtrl->setLink(nullptr);
    delete tesselaLink;
    delete tslCtrl;
    delete ctView;
    delete ctDisp;
    delete imgDatas; // deletes every image
    delete ctCalc;
    delete sinogram;
    delete rawDisp;
    delete xafsBatch;
    delete batch;
    delete ui;
}

QList<QThread*> Body::ownThreads() const
{
    QList<QThread*> list{imgDatasThread, batchThread, xafsBatchThread, dataSaverThread};
    list << ctCalc2Threads;
    return list;
}

SelectDataFiles* Body::ctFiles() const
{
    return ui->CTFiles;
}

SelectDataFiles* Body::i0FileList() const
{
    return ui->SelI0Files;
}

SelectAImgFile* Body::i0ImgSel() const
{
    return ui->I0ImgSel;
}

SelectAImgFile* Body::bgImgSel() const
{
    return ui->BGImgSel;
}

SelectAFile* Body::imageSaveDirSelector() const
{
    return ui->SelectImageSaveDir;
}

SelectAFile* Body::dataSaveDirSelector() const
{
    return ui->SelectDataSaveDir;
}

SeekCtrl* Body::seeker() const
{
    return ui->seekCtrl;
}

QTabWidget* Body::imgsTab() const
{
    return ui->ImgsTab;
}

PopDockBase* Body::imgsPopDocBase() const
{
    return ui->ImgsPopDocBase;
}

void Body::retranslateOwnTexts()
{
    QTabWidget* tabs = ui->ImgsTab;
    const bool all = showAllCt2Images();
    for (int i = 0; i < int(ctCalc2Uis.size()); ++i) {
        const int idx = tabs->indexOf(ctCalc2Uis[i]);
        if (idx >= 0)
            tabs->setTabText(idx, all ? tr("CT2 %1").arg(i + 1) : tr("CT2"));
    }
    ui->SelI0Files->setSelectText(tr("Sel. I0 File Set"));
    ui->I0ofRawImage_->setTitle(tr("I0 of Raw Image"));
    ui->I0ofI0Image_->setTitle(tr("I0 of I0 Image"));
}

void Body::showImagePage(QWidget* page, PopDockBase* base)
{
    ui->ImgsTab->setCurrentWidget(page);
    for (PopDockBase* b : {ui->ImgsPopDocBase, base}) {
        if (!b->isPopped())
            continue;
        ClosableBase* w = b->popWindow();
        w->show();
        w->raise();
        w->activateWindow();
    }
}

void Body::showDispRaw()
{
    rawDisp->setVisible(!rawDisp->isVisible());
}

void Body::showSinogram()
{
    sinogram->setVisible(!sinogram->isVisible());
    sinogram->genSgmImage();
    sinogram->display()->newImage();
}

void Body::setShowAdditionalInfo(bool f)
{
    ui->AdditionalInfo->setVisible(f);
    ui->ShowAdditionalAdditionalInfo->setVisible(f);
}

void Body::setShowAdditionalAdditionalInfo(bool f)
{
    ui->AdditionalAdditionalInfo->setVisible(f);
}

QList<CtResPanel*> Body::resPanels() const
{
    QList<CtResPanel*> panels{ctCalc};
    for (CtCalc2Ui* p : ctCalc2Uis)
        panels << p;
    return panels;
}

void Body::dRUpdated(double rx0, double rz0, double rx1, double rz1)
{
    QObject* from = sender();
    for (CtResPanel* p : resPanels())
        if (p != from)
            p->setDR(rx0, rz0, rx1, rz1);
}

void Body::cRUpdated(double rx0, double rz0, double rx1, double rz1)
{
    QObject* from = sender();
    for (CtResPanel* p : resPanels())
        if (p != from)
            p->setCR(rx0, rz0, rx1, rz1);
}

void Body::setAllRegions(double r0, double r1)
{
    for (CtResPanel* p : resPanels()) {
        p->setDR(r0, r0, r1, r1);
        p->setCR(r0, r0, r1, r1);
    }
}

void Body::fixColorScaleChanged()
{
    const bool f = ui->FixColorScale->isChecked();
    for (CtResPanel* p : resPanels()) {
        p->setFixColorScale(f);
        if (f)
            p->setCBarMinMaxForced(colorMin(), colorMax());
    }
}

double Body::colorMin() const
{
    return fieldDouble(ui->ColorMin->text());
}

double Body::colorMax() const
{
    return fieldDouble(ui->ColorMax->text());
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

void Body::closeEvent(QCloseEvent* event)
{
    emit finishing();
    event->accept();
}

void Body::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        retranslateOwnTexts();
        showLoadProgress();
    }
    QFrame::changeEvent(event);
}
