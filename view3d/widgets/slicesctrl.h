// One slice set of the 3-D view: loads its stack on a thread of its own,
// shows the histogram with two draggable threshold lines, and holds how the
// set is drawn (range and thresholds, colours, opacity, what is shown, the
// cut plane).
#pragma once

#include "view3d/mipcaster.h"
#include "view3d/slicedata.h"
#include "view3d/vec3.h"

#include <QColor>
#include <QFrame>
#include <QPointer>
#include <QStringList>

class QColorDialog;
class QFileDialog;
class QLineEdit;
class QPainter;
class QThread;
class SliceDatas;

namespace Ui {
class SlicesCtrl;
}

class SlicesCtrl : public QFrame
{
    Q_OBJECT

public:
    explicit SlicesCtrl(const QString& dir, QWidget* parent = nullptr);
    ~SlicesCtrl() override;

    Ui::SlicesCtrl* form() const { return ui; }
    // The last finished stack; null from cleared() until the next one.
    SliceStackPtr stack() const { return stk; }
    bool isLoading() const { return loads > 0; }

    double rMin() const;
    double rMax() const;
    double minPC() const;
    double maxPC() const;
    int alpha() const;
    QColor vColor() const { return vCol; }
    QColor sColor() const { return sCol; }
    void setVColor(const QColor& c);
    void setSColor(const QColor& c);
    Vec3 csNormal() const { return csN; }
    void setCsNormal(const Vec3& n) { csN = n; }
    int sliderValue() const;
    void setSliderValue(int v);
    bool fixDir() const;
    void setFixDir(bool f);
    void setShowTexts(const QString& text);
    void setAlphaText(const QString& text);
    // How the ray caster draws this set now.
    MipSet mipSet() const;

    // Loads the files, in this order, on the set's thread.
    void loadFiles(const QStringList& files);
    void setLowerPC(double p, bool writeValue = true);
    void setUpperPC(double p, bool writeValue = true);
    void setLowerValue(double v, bool writePC = true);
    void setUpperValue(double v, bool writePC = true);

signals:
    void changedSliderStat();
    void paintPImg();
    // The stack's load is over (after the set has taken the new range).
    void loadFilesFinished();
    void askLoadFiles(const QStringList& files);

public slots:
    void fixupAlpha();
    void updatedMinThPC();
    void updatedMaxThPC();
    void updatedMinTh();
    void updatedMaxTh();
    void showHide(bool f);
    void selectFiles();
    void selectVColor();
    void selectSColor();
    void noticedLoadedNewFile(const QString& fname);
    void noticedLoadFilesFinished();
    void datasCleared();
    void drawHist(QPainter* p);
    void mousePressedOnDispH();
    void mouseMovedOnDispH();
    void mouseReleasedOnDispH();
    void initNz(Vec3 nz);
    void newNz(Vec3 nz);

private:
    enum class Grab { None, Lower, Upper };

    void setPC(QLineEdit* pcEdit, QLineEdit* valueEdit, double p, bool writeValue);
    void setValue(QLineEdit* valueEdit, QLineEdit* pcEdit, double v, bool writePC);
    double histX() const;
    void openColorDialog(bool volume);

    Ui::SlicesCtrl* ui;
    SliceDatas* datas;
    QThread* thread;
    SliceStackPtr stk;
    int loads = 0; // asked for and not finished yet
    QString dir;
    QPointer<QFileDialog> fileDlg;
    QPointer<QColorDialog> colorDlg;
    QColor vCol{0, 127, 127};
    QColor sCol{127, 0, 0};
    Vec3 csN;
    Grab grab = Grab::None;
};
