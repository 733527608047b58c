// The main window: owns every panel, worker and thread of the program and
// wires them together. It starts reconstruction runs, hands slices to idle
// workers and announces the end of every run.
#pragma once

#include "recon/procparams.h"

#include <QDateTime>
#include <QFrame>
#include <QImage>
#include <QList>
#include <QString>
#include <QVector>

class CtCalc;
class CtCalc2;
class CtCalc2Ui;
class CtDisp;
class DataSaver;
class ImgDatas;
class ProcCtrl;
class QAbstractButton;
class QButtonGroup;
class QThread;
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
    ImgDatas* imageSet() const { return imgDatas; }
    DataSaver* saver() const { return dataSaver; }
    const QList<CtCalc2*>& workers() const { return ctCalc2s; }
    const QList<CtCalc2Ui*>& workerPanels() const { return ctCalc2Uis; }
    const ProcParams& runParams() const { return params; }

    bool isRunning() const { return running; }
    // A start that waits for workers still finishing the slices of a
    // stopped run.
    bool isStartPending() const { return startPending; }
    // Some worker holds a handed-out slice (waiting or in progress); the
    // image set must not be reloaded meanwhile.
    bool anyWorkerBusy() const;
    // Set by the command that starts a run from a batch (calc_exec).
    void setBatchCalcRunning(bool f) { batchCalcRunning = f; }
    bool isBatchCalcRunning() const { return batchCalcRunning; }

    // Auto-save destinations: directory, file-name prefix and tag of
    // images and of data files.
    void setImageSaveDir(const QString& path, const QString& name, const QString& tag);
    void setDataSaveDir(const QString& path, const QString& name, const QString& tag);
    QString imageSavePath() const { return imageSaveDir; }
    QString imageSaveName() const { return imageSaveNm; }
    QString imageSaveTag() const { return imageSaveTg; }
    QString dataSavePath() const { return dataSaveDir; }
    QString dataSaveName() const { return dataSaveNm; }
    QString dataSaveTag() const { return dataSaveTg; }

signals:
    void batchCalcStart();
    void batchCalcFinished();
    void startCt(CtCalc2* ctc2, bool rotAxIsV, double cor, int slice, bool genImg = true);
    void finishing();
    void calcFinished();

public slots:
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
    void createWorkers(int count);
    void workerFinished(int i);
    void dispatch(int i, int slice);
    void announceEnd();
    void cancelPendingStart();
    void setCalcStyle(bool busy);
    void retranslateTabs();
    int threadsInUse() const;

    Ui::Body* ui;
    ProcCtrl* procCtrl;
    Sinogram* sinogram;
    CtCalc* ctCalc;
    QList<CtCalc2*> ctCalc2s;
    QList<CtCalc2Ui*> ctCalc2Uis;
    QList<QThread*> ctCalc2Threads;
    ImgDatas* imgDatas;
    CtDisp* ctDisp;
    DataSaver* dataSaver = nullptr;
    QThread* imgDatasThread = nullptr;
    QThread* dataSaverThread = nullptr;
    QButtonGroup* ctSelGroup;

    // Run state.
    bool running = false;
    bool batchCalcRunning = false;
    bool startPending = false;
    bool endNoticePending = false;
    QDateTime startT;
    QDateTime endT;
    ProcParams params;
    qint64 currentSlice = 0;
    // A slice was handed to worker i and its calcFinished has not been
    // processed yet (GUI thread only).
    QVector<bool> handedOut;

    QString imageSaveDir, imageSaveNm, imageSaveTg;
    QString dataSaveDir, dataSaveNm, dataSaveTg;
};
