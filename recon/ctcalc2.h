// One reconstruction worker: lives on a thread of its own and reconstructs
// the slices the main window hands it, each with its own sinogram, engine,
// result and picture; it saves them through the saver thread and reports
// everything it shows through queued signals, never touching a widget.
#pragma once

#include "recon/resimage.h"
#include "recon/backproject.h"
#include "recon/ctfft.h"
#include "recon/hsgm.h"
#include "recon/savingrecords.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QObject>

#include <array>
#include <atomic>
#include <memory>

class CtCalc2Ui;
class ImgDatas;
struct ProcParams;

class CtCalc2 : public QObject
{
    Q_OBJECT

public:
    explicit CtCalc2(QObject* parent = nullptr);

    // Set on the GUI thread before the worker is moved to its thread.
    // Non-owning; the image set and the run's snapshot are only read, and
    // only while a slice is being made.
    void setUi(CtCalc2Ui* panel) { ui = panel; }
    CtCalc2Ui* panel() const { return ui; }
    void setParams(const ProcParams* p) { params = p; }
    void setImgDatas(const ImgDatas* s) { set = s; }

    // From the acceptance of a slice to the end of it; read by the main
    // thread's dispatcher.
    bool isBusy() const { return busy.load(); }

    // The state of the last slice. Read on the worker's thread, or on
    // another thread only while the worker is idle.
    const CtFft& engine() const { return fft; }
    bool hasResult() const { return resultValid; }
    const HSgm& sinogram() const { return sgm; }
    const QImage& resultImage() const { return image; }
    bool isImageReady() const { return imageReady; }
    int sliceNo() const { return curSlice; }
    CalcRegion calcRegion() const { return region; }
    bool isRegionSet() const { return regionSet; }
    const SaveSettings& imageSaving() const { return saveImg; }
    const SaveSettings& dataSaving() const { return saveDat; }

signals:
    void calcFinished();
    void saveDataWDiscard(SavingData* data);
    void saveImgWDiscard(SavingImg* img);
    void ctImage(int slice, QImage imge);
    // A handed-out slice is done (with or without a result), just before
    // calcFinished; with the CPU time its back projection took.
    void sliceDone(int slice, double backProjectSeconds);
    // Read-outs for the panel.
    void sliceStarted(int slice, const QDateTime& t);
    void sliceEnded(const QDateTime& t);
    void resImageUpdated(const QImage& img, double vmin, double vmax, bool rangeTaken, bool show);
    void calcRegionInitialised(double rx0, double rz0, double rx1, double rz1);
    void valueAt(double x, double z, double v, bool valid);

public slots:
    void beginingCt();
    void endingCt();
    void genResImage();
    // Acts only when addressed (ctc2 == this) and not inside a slice.
    void startCt(CtCalc2* ctc2, bool rotAxIsV, double cor, int slice, bool genAndDispImage = true);
    void saveImage();
    void saveData();
    void setSaveImage(bool f, QString path, QString name, QString tag);
    void setSaveData(bool f, QString path, QString name, QString tag, bool tiff = false);
    // zlib level 0 .. 9 of the saved PNG images, anything else the default.
    void setPngCompression(int level) { pngLevel = level; }
    // Sizes the engine; plan creation is serialised by the engine itself.
    void setupFft(int n, int p);
    void setCalcRegion(double rx0, double rz0, double rx1, double rz1);
    // The panel's colour bar; redraw regenerates the last picture with it.
    void setColorScale(ColorScale cs, bool fixed, bool redraw);
    void askValueAt(double x, double z);

private:
    CtCalc2Ui* ui = nullptr;
    const ProcParams* params = nullptr;
    const ImgDatas* set = nullptr;
    HSgm sgm;
    CtFft fft;
    std::atomic<bool> busy{false};
    bool genAndDisp = true;
    bool imageReady = false;
    bool resultValid = false; // the engine holds the result of curSlice
    QImage image;
    int curSlice = 0;
    CalcRegion region;
    bool regionSet = false;
    ColorScale scale;
    bool fixedScale = false;
    SaveSettings saveImg;
    SaveSettings saveDat;
    int pngLevel = -1;
    // Data texts and TIFFs of the last slices, filled again in place once
    // the saver has written and dropped them: warm memory is several times
    // faster to fill than fresh pages. Two each, because with several
    // workers the saver is often still writing the previous slice's files
    // when the next are built.
    struct Buffers {
        std::array<std::shared_ptr<PageBytes>, 2> pages;
        std::size_t next = 0;
    };
    static std::shared_ptr<PageBytes>* freeBuffer(Buffers& set);
    Buffers dataTexts;
    Buffers tiffs;
};
