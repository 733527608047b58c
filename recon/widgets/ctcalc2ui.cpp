#include "recon/widgets/ctcalc2ui.h"

#include "display/widgets/colorbar.h"
#include "display/widgets/imgdispwpv.h"
#include "recon/ctcalc2.h"
#include "ui_CtCalc2Ui.h"

#include <QEvent>

CtCalc2Ui::CtCalc2Ui(QWidget* parent) : CtResPanel(parent), ui(new Ui::CtCalc2Ui)
{
    ui->setupUi(this);
    attach(widgetsOf(ui));
}

CtCalc2Ui::~CtCalc2Ui()
{
    delete ui;
}

void CtCalc2Ui::setWorker(CtCalc2* worker)
{
    if (wk) {
        disconnect(wk, nullptr, this, nullptr);
        disconnect(this, nullptr, wk, nullptr);
    }
    wk = worker;
    if (!wk)
        return;
    wk->setUi(this);
    connect(wk, &CtCalc2::sliceStarted, this, &CtCalc2Ui::sliceStarted);
    connect(wk, &CtCalc2::sliceEnded, this, &CtCalc2Ui::sliceEnded);
    connect(wk, &CtCalc2::resImageUpdated, this, &CtCalc2Ui::showResImage);
    connect(wk, &CtCalc2::calcRegionInitialised, this, &CtCalc2Ui::setCR);
    connect(wk, &CtCalc2::valueAt, this, &CtCalc2Ui::showValue);
    connect(this, &CtCalc2Ui::colorScaleForWorker, wk, &CtCalc2::setColorScale);
    connect(this, &CtResPanel::cRUpdated, wk, &CtCalc2::setCalcRegion);
    connect(this, &CtCalc2Ui::askValueAt, wk, &CtCalc2::askValueAt);
    valueAsked = false;
    colorScaleChanged(false);
    if (isRegionSet()) {
        const CalcRegion r = calcRegion();
        QMetaObject::invokeMethod(wk, [w = wk, r] { w->setCalcRegion(r.x0, r.z0, r.x1, r.z1); });
    }
}

void CtCalc2Ui::setWorkerNo(int i)
{
    no = i;
    setWindowTitle(tr("CT Calc2 %1").arg(i));
}

void CtCalc2Ui::sliceStarted(int slice, const QDateTime& t)
{
    showSliceNo(slice);
    showStartTime(t);
}

void CtCalc2Ui::sliceEnded(const QDateTime& t)
{
    showEndTime(t);
    showSpentT();
}

void CtCalc2Ui::showResImage(const QImage& img, double vmin, double vmax, bool rangeTaken, bool show)
{
    if (rangeTaken) {
        display()->setMinV(vmin);
        display()->setMaxV(vmax);
        display()->colorBar()->update();
    }
    if (!show)
        return;
    display()->setImage(img);
    display()->newImage();
}

void CtCalc2Ui::showValue(double x, double z, double v, bool valid)
{
    Q_UNUSED(x);
    Q_UNUSED(z);
    valueAsked = false;
    if (valid)
        display()->setVal(v);
    if (valueWaiting) {
        valueWaiting = false;
        readValue(waitingPos.x(), waitingPos.y());
    }
}

void CtCalc2Ui::colorScaleChanged(bool redraw)
{
    const ColorBar* bar = display()->colorBar();
    emit colorScaleForWorker(bar->scale(), bar->isFixed(), redraw);
}

void CtCalc2Ui::readValue(double x, double z)
{
    if (!wk)
        return;
    // A worker inside a slice answers after it; meanwhile only the latest
    // position is kept instead of piling up requests.
    if (valueAsked) {
        valueWaiting = true;
        waitingPos = QPointF(x, z);
        return;
    }
    valueAsked = true;
    emit askValueAt(x, z);
}

void CtCalc2Ui::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        if (no > 0)
            setWorkerNo(no);
    }
    CtResPanel::changeEvent(event);
}
