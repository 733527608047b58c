// The main window: owns every panel, worker and thread of the program and
// wires them together. It loads the projection files one per event-loop
// turn, shows them with their overlay, starts reconstruction runs, hands
// slices to idle workers and announces the end of every run.
#pragma once

#include "app/runfaults.h"
#include "app/widgets/filedialog.h"
#include "control/batchcmd.h"
#include "control/settingtable.h"
#include "display/mousec.h"
#include "recon/procparams.h"

#include <QDateTime>
#include <QFrame>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPen>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <vector>

class Batch;
class CtCalc;
class CtCalc2;
class CtCalc2Ui;
class CtDisp;
class CtResPanel;
class DataSaver;
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
class SelectDataFiles;
class Sinogram;

namespace Ui {
class Body;
}

class Body : public QFrame
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
    const QList<CtCalc2*>& workers() const { return ctCalc2s; }
    const QList<CtCalc2Ui*>& workerPanels() const { return ctCalc2Uis; }
    const ProcParams& runParams() const { return params; }
    // Every thread the window started: image set, batch, saver, workers.
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

    bool isRunning() const { return running; }
    // A start that waits for workers still finishing the slices of a
    // stopped run, or for the loader to finish the image set.
    bool isStartPending() const { return startPending || startAfterLoad; }
    // Some worker holds a handed-out slice (waiting or in progress); the
    // image set must not be reloaded meanwhile.
    bool anyWorkerBusy() const;
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
    void stage(QString msg, qulonglong dEt);
    void callBatchLoad(QString fname);
    void callBatchExec();
    void callBatchCheckEnd();

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
    void noSeqPanel(const BatchCmd& cmd, const char* what) const;

    void sliceDone(int slice, double backProjectSeconds);
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
    void workerFinished(int i);
    void dispatch(int i, int slice);
    void announceEnd();
    void cancelPendingStart();
    void setCalcStyle(bool busy);
    void setReferenceHold(bool f);
    void retranslateOwnTexts();
    int threadsInUse() const;
    QList<CtResPanel*> resPanels() const;
    void setAllRegions(double r0, double r1);

    void loadFramesOf(int first);
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
    QFrame* ctView; // stands in for the 3-D view until it exists

    Ui::Body* ui = nullptr;
    DataSaver* dataSaver = nullptr;
    QThread* imgDatasThread = nullptr;
    QThread* batchThread = nullptr;
    QThread* dataSaverThread = nullptr;
    QButtonGroup* ctSelGroup = nullptr;
    // Overlay of the raw image: pointer, slice, slice range, CoR,
    // selection being dragged, completed selection.
    std::array<QPen, 6> pens;

    // Run state.
    bool running = false;
    bool batchCalcRunning = false;
    bool startPending = false;
    bool startAfterLoad = false;
    bool endNoticePending = false;
    QDateTime startT;
    QDateTime endT;
    ProcParams params;
    qint64 currentSlice = 0;
    // A slice was handed to worker i and its calcFinished has not been
    // processed yet (GUI thread only).
    QVector<bool> handedOut;

    // Loader state.
    QStringList pendingFiles;
    int nextPending = 0;
    QString currentFile;
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

    // Batch and setup state.
    bool batchLoadRunning = false;
    bool endWhenBatchEnds = false;
    bool batchEnded = false;
    bool interrupted = false;
    bool consoleProgress = false;
    RunFaults faults; // file counts live in the saver
    bool slicesTimed = false;
    int slicesDone = 0;
    int slicesInRun = 0;
    double backProjectSum = 0.0;
    FileDialogSlot setupDlg;
    bool setupSaving = true;
    // Settings of the data-directory panel, kept for setup files until the
    // panel itself is placed.
    QString seqDir;
    QString seqFilePattern = QStringLiteral("*.img");
    bool seqVkrStandard = false;
};
