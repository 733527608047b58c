// The processing-parameter panel: which slice to reconstruct, around which
// centre of rotation, how images map to angles, the Auto Exec range and the
// worker count. Hands out the ProcParams snapshot at every run start.
#pragma once

#include "recon/procparams.h"

#include <QFrame>

class QAbstractButton;
class QLineEdit;

namespace Ui {
class ProcCtrl;
}

class ProcCtrl : public QFrame
{
    Q_OBJECT

public:
    explicit ProcCtrl(QWidget* parent = nullptr);
    ~ProcCtrl() override;

    // Read from the fields at the time of the call.
    bool rotAxIsV() const;
    int sliceNo() const;
    double cor() const;
    double angleOriginDeg() const;
    double dataSetRangeDeg() const;
    int dataSetImages() const;
    bool usePartialDataSet() const;
    int dataSetUsingImages() const;  // the field, whether or not "Partial" is on
    int dataSetStartImageNo() const; // the field, whether or not "Partial" is on
    int usingImages() const;         // the field when partial, else all images
    int startImage() const;          // the field when partial, else 0
    bool autoExec() const;
    int sliceFrom() const;
    int sliceTo() const;
    int sliceStep() const;
    int threads() const;
    int maxThreads() const;

    // Recorded (slice, CoR) pairs; a slice below 0 means none.
    int recordedSlice1() const { return recSlice1; }
    double recordedCoR1() const { return recCor1; }
    int recordedSlice2() const { return recSlice2; }
    double recordedCoR2() const { return recCor2; }

    // The run-start snapshot. The data limits get their defaults here; the
    // main window overwrites them from its own fields.
    ProcParams procParams(bool usePanel, bool useWorkers) const;

    // Auto Exec step as the run uses it: it points from From towards To.
    static int directedStep(int from, int to, int step);

signals:
    void usePartialDataSetUpdated();
    void autoUpdateUpdated();
    void autoExecUpdated();
    void rotAxUpdated();
    void sliceNoUpdated();
    void corUpdated();
    void angleOriginUpdated();
    void dataSetRangeUpdated();
    void dataSetUsingImagesUpdated();
    void dataSetStartImageNoUpdated();
    void askGenImage();

public slots:
    void setCor(double cor);
    void setSliceNo(int sliceNo);
    void setSliceFrom(int from);
    void setSliceTo(int to);
    void setSliceStep(int step);
    void setAngleOriginDeg(double deg);
    void setDataSetRangeDeg(double deg);
    void setDataSetImages(int no);
    void setDataSetUsingImages(int images);
    void setDataSetStartImageNo(int no);
    void setUsePartialDataSet(bool f);
    void setAutoExec(bool f);
    // Checks the matching radio button; rotAxUpdated only when the axis changes.
    void setRotAxIsV(bool v);
    void setRotAxIsH(bool h);
    void setThreads(int n);
    // Hardware threads n: the spin box maximum, "/n", and 80 % of n in use.
    void setMaxThreads(int n);
    void setRecordedCoR1(int slice, double cor);
    void setRecordedCoR2(int slice, double cor);
    // The angle and data-set fields set by the setters above announce a
    // changed value as if the user had finished editing them.
    void announceFieldEdits();

private slots:
    void showPartial();
    void recordCoR();
    void sliceNoEditingFinished();
    void corEditingFinished();
    void rotAxSelectionChanged(QAbstractButton* button);
    void clearRecordedCoR();

protected:
    void changeEvent(QEvent* event) override;

private:
    // Announces a field's value on editing finished only when it differs
    // from the value last announced.
    template <typename T>
    void announceOnChange(QLineEdit* field, T (*read)(const QString&), void (ProcCtrl::*signal)());
    void showRecordedCoRs();
    QString recordedText(int slice, double cor) const;

    Ui::ProcCtrl* ui;
    int storedSlice = 0;
    double storedCor = 0.0;
    bool storedRotAxIsV = false;
    int recSlice1 = -1;
    double recCor1 = 0.0;
    int recSlice2 = -1;
    double recCor2 = 0.0;
};
