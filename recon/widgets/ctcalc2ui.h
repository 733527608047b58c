// The panel of one reconstruction worker: its last slice's picture, regions
// and times. It lives on the GUI thread and talks to its worker, which lives
// on a thread of its own, only through queued signals.
#pragma once

#include "recon/resimage.h"
#include "recon/widgets/ctrespanel.h"

#include <QImage>
#include <QPointF>

class CtCalc2;

namespace Ui {
class CtCalc2Ui;
}

class CtCalc2Ui : public CtResPanel
{
    Q_OBJECT

public:
    explicit CtCalc2Ui(QWidget* parent = nullptr);
    ~CtCalc2Ui() override;

    // Links panel and worker both ways; call on the GUI thread while the
    // worker is idle (before the run that should see the link).
    void setWorker(CtCalc2* worker);
    CtCalc2* worker() const { return wk; }
    // Window title "CT Calc2 i".
    void setWorkerNo(int i);

signals:
    // To the worker.
    void colorScaleForWorker(ColorScale cs, bool fixed, bool redraw);
    void askValueAt(double x, double z);

public slots:
    // From the worker.
    void sliceStarted(int slice, const QDateTime& t);
    void sliceEnded(const QDateTime& t);
    void showResImage(const QImage& img, double vmin, double vmax, bool rangeTaken, bool show);
    void showValue(double x, double z, double v, bool valid);

protected:
    void colorScaleChanged(bool redraw) override;
    void readValue(double x, double z) override;
    void changeEvent(QEvent* event) override;

private:
    Ui::CtCalc2Ui* ui;
    CtCalc2* wk = nullptr;
    int no = 0;
    // One value request at a time; the latest position waits for the answer.
    bool valueAsked = false;
    bool valueWaiting = false;
    QPointF waitingPos;
};
