// The main window: owns every panel, worker and thread of the program and
// wires them together. It loads the projection files one per event-loop
// turn, shows them with their overlay, starts reconstruction runs, hands
// slices to idle workers and announces the end of every run.
#pragma once

#include "app/runfaults.h"
#include "app/widgets/filedialog.h"
#include "control/batchcmd.h"
#include "control/settingtable.h"
#include "control/xafsbatch.h"
#include "display/mousec.h"
#include "recon/procparams.h"
#include "recon/runscheduler.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFrame>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPen>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <memory>
#include <vector>

class Batch;
class CtCalc;
class CtCalc2;
class CtCalc2Ui;
class CtDisp;
class CtResPanel;
class CtView;
class DataSaver;
class FrameLoader;
class ImgDatas;
class PopDockBase;
class ProcCtrl;
class QAbstractButton;
class QButtonGroup;
class QPainter;
class QTabWidget;
class QThread;
class RawDisp;
class SeekCtrl;
class SelectAFile;
class SelectAImgFile;
class SelectDataDir;
class SelectDataFiles;
class Sinogram;
class TesselaCtrl;
class TesselaLink;

namespace Ui {
class Body;
}

class Body : public QFrame, private RunHost
{
    Q_OBJECT

public:
    // workerCount 0: one reconstruction worker per hardware thread.
    explicit Body(QWidget* parent = nullptr, int workerCount = 0);
    ~Body() override;

    ProcCtrl* procCtrlPanel() const { return procCtrl; }
    Sinogram* sinogramPanel() const { return sinogram; }
    CtCalc* ctCalcPanel() const { return ctCalc; }
    CtDisp* ctImages() const { return ctDisp; }
    RawDisp* rawDisplay() const { return rawDisp; }
    ImgDatas* imageSet() const { return imgDatas; }
    DataSaver* saver() const { return dataSaver; }
    Batch* batchInterpreter() const { return batch; }
    CtView* ctViewPanel() const { return ctView; }
    const QList<CtCalc2*>& workers() const { return ctCalc2s; }
    const QList<CtCalc2Ui*>& workerPanels() const { return ctCalc2Uis; }
    const ProcParams& runParams() const { return scheduler->params(); }
    RunScheduler* runScheduler() const { return scheduler; }
    // Every thread the window started: image set, batch, sequence, saver,
    // workers.
    QList<QThread*> ownThreads() const;

    // Panels of the form. The image tabs live in the "Fenu2 Images"
    // window while it is popped out, so they are no children of this one.
    SelectDataFiles* ctFiles() const;
    SelectDataFiles* i0FileList() const;
    SelectAImgFile* i0ImgSel() const;
    SelectAImgFile* bgImgSel() const;
    SelectAFile* imageSaveDirSelector() const;
    SelectAFile* dataSaveDirSelector() const;
    SeekCtrl* seeker() const;
    QTabWidget* imgsTab() const;
    PopDockBase* imgsPopDocBase() const;
    SelectDataDir* dataDirPanel() const;
    // The sequential driver lives on the sequence thread.
    XafsBatch* seqDriver() const { return xafsBatch; }
    TesselaLink* viewerLink() const { return tesselaLink; }
    TesselaCtrl* viewerCtrl() const { return tslCtrl; }

    bool isRunning() const { return scheduler->isRunning(); }
    // A start that waits for workers still finishing the slices of a
    // stopped run, or for the loader to finish the image set.
    bool isStartPending() const { return scheduler->isStartPending(); }
    // Some worker holds a handed-out slice (waiting or in progress); the
    // image set must not be reloaded meanwhile.
    bool anyWorkerBusy() const { return scheduler->anyWorkerBusy(); }
    // Set by the command that starts a run from a batch (calc_exec).
    void setBatchCalcRunning(bool f) { batchCalcRunning = f; }
    bool isBatchCalcRunning() const { return batchCalcRunning; }

    // The loader is filling the image set (from a selection to
    // finishedLoadingCTFiles).
    bool isLoading() const { return loading; }
    // A selection that waits for the end of a reconstruction run.
    bool hasDeferredLoad() const { return deferredLoad; }
    // One-shot flags: slice range end, slice, CoR and regions take the new
    // set's defaults on the next load (setup commands clear them).
    void setInitSliceTo(bool f) { initSliceTo = f; }
    void setInitSliceNo(bool f) { initSliceNo = f; }
    void setInitCor(bool f) { initCor = f; }
    void setInitRegions(bool f) { initRegions = f; }

    // CT-XAFS: energy (eV) of the data set being worked on, by which the
    // I0 file is chosen from the I0 file list. 0 until a data set sets it.
    double dataSetEnergy() const { return curDataSetEnergy; }
    void setDataSetEnergy(double eV) { curDataSetEnergy = eV; }
    // Energies of the I0 file list's entries, entry for entry.
    const QVector<double>& i0Energies() const { return i0Engs; }

    // A window-less run: one console line per finished slice and one at the
    // end of every reconstruction run.
    void setConsoleProgress(bool f) { consoleProgress = f; }
    // Off in window-less runs: the panel of CT images would keep every
    // slice's picture (4 MB at 2048) for a window nobody sees.
    void setRunPicturesKept(bool f) { runPicturesKept = f; }
    // A window-less run's image set holds only the detector lines of the
    // slices a run reconstructs, band by band within the memory available
    // (configuration keys "band_memory", bytes, and "whole_frames" 1 to hold
    // whole frames as the window does).
    void setBandWiseLoading(bool f);
    // The program ends (finishing()) when the next batch run has ended, as
    // soon as no reconstruction run or load is going on any more and the
    // saver has written every result handed to it.
    void endWithBatchRun();
    // An interrupt of a window-less run: the batch stops, no new slice is
    // handed out or load awaited, and the program ends (finishing()) once
    // the slices already started are done and saved.
    void interruptRun();
    // Returns once the batch thread has handled every request sent to it.
    void syncBatch();
    // What has failed so far (batch file, runs without images, result
    // files); the file counts are exact once the saver is idle.
    RunFaults runFaults() const;

signals:
    void batchCalcStart();
    void batchCalcFinished();
    void askLoadNextDataFile();
    void askLoadNextMultiData(int idx);
    void noticeFinishedLoadDataFiles();
    void setFirstSet(int firstIdx);
    void setNextSet(int lastIdx);
    void startCt(CtCalc2* ctc2, bool rotAxIsV, double cor, int slice, bool genImg = true);
    void finishing();
    void finishedLoadingCTFiles();
    void calcFinished();
    void stage(QString msg, qlonglong dEt);
    void callBatchLoad(QString fname);
    void callBatchExec();
    void callBatchCheckEnd();
    void tslLoadFilesOfPattern(QString path);
    void tslLoadFiles(QStringList fileList);
    void tslStatChanged();
    void exec2dA(QString sliceNoS);

public slots:
    void dataFilesSelected(QStringList files, bool clear);
    void loadNextDataFile();
    void loadNextMultiData(int idx);
    void finishedLoadDataFiles();
    void newPosOnRawImg(double x, double y);
    void updateRawImage();
    void selectedAPointInRawImg(double x, double y, MouseC::MStat s);
    void i0FilesSelected(QStringList files, bool clear);
    void setI0FileFromList();

    void draw(QPainter* p);
    void showDispRaw();
    void showSinogram();
    void setShowAdditionalInfo(bool f);
    void setShowAdditionalAdditionalInfo(bool f);

    void batchExCmd(BatchCmd cmd);
    void showSaveSetupD();
    void showLoadSetupD();
    void saveLoadFileSelected(QString fname);
    void saveSetup(QString fname);
    void loadSetup(QString fname);
    void batchLoad(QString fname);
    void batchExec();

    void toggleCalcCt();
    void startCalcCt();
    void stopCalcCt();
    void setupFFT();
    void setupSaveConds();
    void execSingleCtCalc();
    void execMultiCtCalc();
    void ctCalcFinished();
    void changedCtSel(QAbstractButton* button);
    void changedAutoExec();
    void ctImage(int no, QImage img);

    void dRUpdated(double rx0, double rz0, double rx1, double rz1);
    void cRUpdated(double rx0, double rz0, double rx1, double rz1);
    void fixColorScaleChanged();
    double colorMin() const;
    double colorMax() const;
    void setFixColorScale(bool f);
    void setColorMin(double v);
    void setColorMax(double v);
    void setAutoSaveImage(bool f);
    void setAutoSaveData(bool f);

    void exec2dA0();
    void setupTesselaLink();
    void tslInitFlags();
    void tslChangedIsBusy(bool f);
    void tslStageCtrl();
    void tslStartCont2dA();

    void selectedDir(QString dir, QStringList patterns);
    void selectedFileInfoList(QFileInfoList fileInfoList);
    void setFirstImageSet();
    void setNextImageSet();
    void startingSeqCalc();
    void finishedSeqCalc();
    void noticedStage(QString msg, qlonglong dEt);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Every setup command, and the lines of a saved setup (bodycommands.cpp).
    static const SettingTable<Body>& settings();
    CmdEnd execCmd(const BatchCmd& cmd, bool fromBatch);
    CmdEnd calcExec(bool fromBatch);
    CmdEnd loadHold() const;
    void setCtSel(bool ct1);
    void openSetupDialog(bool saving);
    // The 3-D view's commands (body3d.cpp).
    void connectCtView();
    void view3dLoadFinished();
    CmdEnd show3dLoad(const QString& dir, const QStringList& patterns);
    void show3dView(double ax, double ay, double az, double deg);
    void show3dSize(int w, int h);
    void show3dSave(const QString& fname);

    void sliceCounted(int slice, int done, int total, double seconds, double backProjectSeconds);
    void consoleLine(const QString& line) const;
    void checkBatchEnd();
    void drainSaver();

    void createPens();
    void configurePanels();
    void startImageSetThread();
    void startBatchThread();
    void fillPages();
    void createWorkers(int count);
    void connectPanels();
    void wireScheduler();
    void runStarted(const QDateTime& t);
    void runStopped(const QDateTime& start, const QDateTime& end);
    void announceEnd(bool counted, int slices, double seconds, double backProjectSeconds);
    void setCalcStyle(bool busy);
    void setReferenceHold(bool f);
    void retranslateOwnTexts();
    // RunHost: the scheduler's hands on the workers and the panel.
    int workerCount() const override;
    bool isWorkerBusy(int i) const override;
    void startSlice(int i, int slice) override;
    bool isPanelRunning() const override;
    void startPanel() override;
    void stopPanel() override;
    ProcParams snapshot() override;
    QStringList missingResults(int slice) const override;
    bool savesResults() const override;
    void missingFound(int slice, const QStringList& files);
    int bandSlices(const ProcParams& p) override;
    bool holdBand(const QVector<int>& slices) override;
    QList<CtResPanel*> resPanels() const;
    void setAllRegions(double r0, double r1);

    void showLoadProgress();
    void startDeferredLoad();
    void applyNewSetConditions();
    void renderRawImage(bool keepRange);
    void rawIndexChanged(int idx);
    void drawSelection(QPainter* p);
    void showImagePage(QWidget* page, PopDockBase* base);
    // Asks the viewer link to load the saved files of the slice; the link
    // comes with its own work and this is where it takes over.
    void tslLoadSlice(int slice);

    // Sequential execution (bodyseq.cpp).
    void startSeqThread();
    void emitStage(const QString& msg);
    void beforeSetLoad();
    void seqCalculation();
    void setRunEnded();
    // Viewer link (bodylink.cpp).
    void connectViewerLink();
    void updateTslSaveLayout();
    CmdEnd tslCont2dACmd();
    void tslCont2dAUpdated(bool on);

    // Owned, in construction order.
    Batch* batch;
    QVector<double> i0Engs;
    RawDisp* rawDisp;
    Sinogram* sinogram;
    CtCalc* ctCalc;
    ProcCtrl* procCtrl;
    QList<CtCalc2*> ctCalc2s;
    QList<CtCalc2Ui*> ctCalc2Uis;
    QList<QThread*> ctCalc2Threads;
    ImgDatas* imgDatas;
    CtDisp* ctDisp;
    CtView* ctView;
    XafsBatch* xafsBatch = nullptr;
    TesselaLink* tesselaLink = nullptr;
    TesselaCtrl* tslCtrl = nullptr;

    Ui::Body* ui = nullptr;
    DataSaver* dataSaver = nullptr;
    QThread* imgDatasThread = nullptr;
    QThread* batchThread = nullptr;
    QThread* dataSaverThread = nullptr;
    QThread* xafsBatchThread = nullptr;
    QButtonGroup* ctSelGroup = nullptr;
    // Overlay of the raw image: pointer, slice, slice range, CoR,
    // selection being dragged, completed selection.
    std::array<QPen, 6> pens;

    // Run state: the scheduler's; the batch's share here.
    RunScheduler* scheduler = nullptr;
    bool batchCalcRunning = false;

    // Loader state.
    QStringList pendingFiles;
    int nextPending = 0;
    QString currentFile;
    std::unique_ptr<FrameLoader> frameLoader;
    bool loading = false;
    bool deferredLoad = false;
    QStringList deferredFiles;
    bool deferredClear = false;
    bool initSliceTo = true;
    bool initSliceNo = true;
    bool initCor = true;
    bool initRegions = true;
    int shownRawIndex = -1;
    std::vector<double> rawRow;

    double curDataSetEnergy = 0.0;

    // Sequential execution: the clock of the stage messages, and the set
    // whose run is reported on the console when it ends.
    StageClock stageClock;
    bool seqRunning = false;
    int reportSet = -1;
    int reportSets = 0;
    QString reportTag;
    QElapsedTimer setClock;
    // A batch waits for the end of continuous 2DA.
    bool batchTslHeld = false;

    // Batch and setup state.
    bool batchLoadRunning = false;
    bool endWhenBatchEnds = false;
    bool batchEnded = false;
    bool interrupted = false;
    bool consoleProgress = false;
    bool runPicturesKept = true;
    RunFaults faults; // file counts live in the saver
    bool slicesTimed = false;
    FileDialogSlot setupDlg;
    bool setupSaving = true;
};
