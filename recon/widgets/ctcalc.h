// The interactive reconstruction panel ("CT Calc"): reconstructs the slice
// the sinogram panel shows, on the GUI thread, either at once or projection
// by projection with the picture redrawn after each, paced from its own
// thread so that the window stays responsive.
#pragma once

#include "recon/ctfft.h"
#include "recon/widgets/ctrespanel.h"
#include "recon/hsgm.h"
#include "recon/procparams.h"

#include <QImage>

class CtProgress;
class ProcCtrl;
class QThread;
class Sinogram;

namespace Ui {
class CtCalc;
}

class CtCalc : public CtResPanel
{
    Q_OBJECT

public:
    explicit CtCalc(QWidget* parent = nullptr);
    ~CtCalc() override;

    // Non-owning.
    void setSinogram(Sinogram* s) { sinogram = s; }
    void setProcCtrl(ProcCtrl* p) { procCtrl = p; }

    bool isRunning() const { return running; }
    bool atOnce() const;
    void setAtOnce(bool f);
    const CtFft& engine() const { return fft; }
    const HSgm& runSinogram() const { return sgm; }
    const QImage& resultImage() const { return image; }
    CtProgress* pacer() const { return progress; }

    void startCt();
    void stopCt();
    void endCt();
    void calcAll();
    void calcOne(int iz);

signals:
    void askToStartCalc();
    void startCalcAll();
    void calcFinished();
    void startCalcOneByOne();
    void finishedCalcOne();

public slots:
    void calcCt();
    // Takes the result's extremes into the colour bar unless it is fixed,
    // then draws.
    void genResImage();

protected:
    void colorScaleChanged(bool redraw) override;
    void readValue(double x, double z) override;
    void changeEvent(QEvent* event) override;

private:
    void drawResImage();
    void finishRun();

    Ui::CtCalc* ui;
    Sinogram* sinogram = nullptr;
    ProcCtrl* procCtrl = nullptr;
    bool running = false;
    // The run's own copies: the sinogram panel may rebuild its sinogram and
    // the user may change the parameters while the slice grows.
    HSgm sgm;
    ProcParams params;
    int N = 0;
    int M = 0;
    int nextIndex = 0;
    CtFft fft;
    QImage image;
    CtProgress* progress;
    QThread* progressThread;
};
