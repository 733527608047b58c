#include "recon/widgets/ctcalc.h"

#include "display/widgets/colorbar.h"
#include "display/widgets/imgdispwpv.h"
#include "recon/ctprogress.h"
#include "recon/widgets/procctrl.h"
#include "recon/resimage.h"
#include "recon/widgets/sinogram.h"
#include "ui_CtCalc.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

CtCalc::CtCalc(QWidget* parent)
    : CtResPanel(parent), ui(new Ui::CtCalc), progress(new CtProgress), progressThread(new QThread)
{
    ui->setupUi(this);
    attach(widgetsOf(ui));
    connect(ui->StartCalc, &QPushButton::clicked, this, &CtCalc::askToStartCalc);

    progressThread->setObjectName(QStringLiteral("CtProgress"));
    progress->moveToThread(progressThread);
    connect(this, &CtCalc::startCalcAll, progress, &CtProgress::startCalcAll);
    connect(progress, &CtProgress::calcAll, this, &CtCalc::calcAll);
    connect(this, &CtCalc::startCalcOneByOne, progress, &CtProgress::startCalcOneByOne);
    connect(progress, &CtProgress::calcOne, this, &CtCalc::calcOne);
    connect(this, &CtCalc::finishedCalcOne, progress, &CtProgress::calcNext);
    connect(progress, &CtProgress::finishedCalcOneByOne, this, &CtCalc::endCt);
}

CtCalc::~CtCalc()
{
    progressThread->quit();
    progressThread->wait();
    delete progress;
    delete progressThread;
    delete ui;
}

bool CtCalc::atOnce() const
{
    return ui->CalcAtOnce->isChecked();
}

void CtCalc::setAtOnce(bool f)
{
    ui->CalcAtOnce->setChecked(f);
}

void CtCalc::calcCt()
{
    if (running)
        endCt();
    else
        startCt();
}

void CtCalc::startCt()
{
    if (!sinogram || !procCtrl)
        return;
    showStartTime();
    params = procCtrl->procParams(true, false);
    sinogram->genSinogram();
    sgm = sinogram->hSgm();
    N = CtFft::gridSizeFor(sgm.width);
    M = sgm.rows;
    if (sgm.isEmpty() || N < 2) {
        // Nothing to reconstruct still ends the run, so its owner goes idle.
        finishRun();
        return;
    }
    showSliceNo(sgm.slice);
    fft.setup(N, M);
    if (!isRegionSet())
        setCR(0, 0, N, N);
    fft.allocResult();
    image = QImage(N, N, QImage::Format_Grayscale8);
    image.fill(0);
    progressThread->start(QThread::InheritPriority);
    running = true;
    if (atOnce()) {
        emit startCalcAll();
        running = false;
    } else {
        progress->setCount(M);
        progress->setIndex(0);
        nextIndex = 0;
        emit startCalcOneByOne();
    }
}

void CtCalc::calcAll()
{
    if (N < 2 || M < 1 || fft.n() != N)
        return;
    for (int i = 0; i < M; ++i)
        fft.transform(sgm.sgmRow(i), i);
    for (int i = 0; i < M; ++i)
        fft.filter(i, M);
    fft.backProjectAll(M, calcRegion(), params.startAngle(), params.angleStep());
    genResImage();
    endCt();
}

void CtCalc::calcOne(int iz)
{
    // A stopped run, or a step left over from an earlier one, does nothing.
    if (!running || iz != nextIndex || iz >= M)
        return;
    fft.transform(sgm.sgmRow(iz), iz);
    fft.filter(iz, M);
    fft.backProject(iz, calcRegion(), params.startAngle(), params.angleStep());
    ++nextIndex;
    genResImage();
    emit finishedCalcOne();
}

void CtCalc::stopCt()
{
    endCt();
}

void CtCalc::endCt()
{
    running = false;
    progressThread->quit();
    progressThread->wait();
    // Steps still queued for the pacer belong to this run; a later run must
    // not see them.
    QCoreApplication::removePostedEvents(progress);
    finishRun();
}

void CtCalc::finishRun()
{
    running = false;
    showEndTime();
    showSpentT();
    emit calcFinished();
}

void CtCalc::genResImage()
{
    if (!fft.done() || fft.n() < 1)
        return;
    if (!display()->colorBar()->isFixed()) {
        fft.findExtremes();
        display()->setMinV(fft.min());
        display()->setMaxV(fft.max());
        display()->colorBar()->update();
    }
    drawResImage();
}

void CtCalc::drawResImage()
{
    if (!fft.done() || fft.n() < 1)
        return;
    image = makeResImage(fft.result().data(), fft.n(), display()->colorBar()->scale());
    display()->setImage(image);
    display()->newImage();
}

void CtCalc::colorScaleChanged(bool redraw)
{
    if (redraw)
        drawResImage();
}

void CtCalc::readValue(double x, double z)
{
    const int n = fft.done() ? fft.n() : 0;
    if (x >= 0.0 && z >= 0.0 && x < n && z < n)
        display()->setVal(fft.resultRow(int(z))[int(x)]);
}

void CtCalc::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    CtResPanel::changeEvent(event);
}
