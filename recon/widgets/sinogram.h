// The sinogram panel: builds the sinogram of the current slice for the
// interactive reconstruction, shows the check image (every projection of
// 180 degrees beside its mirror image, which continues it without a jump
// when the CoR is right), lets the user drag the CoR and the image offset in
// it, and guesses the CoR.
#pragma once

#include "recon/hsgm.h"
#include "recon/sinogramcore.h"

#include <QFrame>
#include <QPointF>

class ImgDatas;
class ImgDispWPV;
class ProcCtrl;

namespace Ui {
class Sinogram;
}

// Geometry of the check image: 2D columns by 2H rows, H images per 180
// degrees, D the line length across the rotation axis.
struct CheckImageGeom {
    int d = 0;          // line length
    int h = 0;          // images per 180 degrees
    int imageCount = 0; // images in the set
    int start = 0;      // first image of the (partial) data set
    int yOffset = 0;
    bool alterStack = false;

    bool isEmpty() const { return d <= 0 || h <= 0 || imageCount <= 0; }
    // Image shown in check-image row `row` (0 .. 2H-1), and whether that
    // row holds it mirrored (column k showing what column 2D-1-k would).
    int imageOfRow(int row, bool* mirrored) const;
};

class Sinogram : public QFrame
{
    Q_OBJECT

public:
    explicit Sinogram(QWidget* parent = nullptr);
    ~Sinogram() override;

    // Non-owning. The panel reads the set on the GUI thread only.
    void setImgDatas(const ImgDatas* set);
    // Non-owning; connects the panel's reactions to the parameters.
    void setProcCtrl(ProcCtrl* ctrl);

    const HSgm& hSgm() const { return sgm; }
    ImgDispWPV* display() const;
    // report: say once why a check image is not drawn.
    CheckImageGeom checkGeom(bool report = false) const;
    // Value drawn at check-image pixel (k, row) before the grey mapping;
    // false outside the image.
    bool checkImageValue(int k, int row, double* v) const;

    // Off in window-less runs: nobody sees the sinogram or its check image,
    // and making them reads a line of every projection.
    void setCheckImageDrawn(bool f) { checkImageDrawn = f; }

    bool alterStack() const;
    int yOffset() const;
    double guessParam() const;
    void setAlterStack(bool f);
    void setYOffset(int offset);

public slots:
    void mMoved();
    void newPos(double x, double y);
    void corUpdated();
    void autoUpdateUpdated();
    void sliceNoUpdated();
    void rotAxUpdated();
    void angleOriginUpdated();
    void dataSetRangeUpdated();
    void usePartialDataSetUpdated();
    void dataSetUsingImagesUpdated();
    void dataSetStartImageNoUpdated();
    void corEditingFinished();
    void guessCor();
    // With the rotation axis, CoR and slice given, the data-set range from
    // the parameters (GUI thread).
    bool genSinogram0(HSgm* hSgm, bool rotAxIsV, double cor, int slice);
    void genSinogram();
    // Redraws the check image; the colour bar takes the raw extremes first
    // unless it is fixed.
    void genImage();
    // Redraws it with the colour bar's range as it stands (after the user
    // changed the bar).
    void genImage2();
    void genSgmImage();

private slots:
    void mPressed();
    void mReleased();

protected:
    void changeEvent(QEvent* event) override;

private:
    void drawCheckImage();
    QPointF imagePoint(const QPoint& framePos) const;
    SgmRange range() const;

    Ui::Sinogram* ui;
    const ImgDatas* set = nullptr;
    ProcCtrl* procCtrl = nullptr;
    HSgm sgm;
    bool checkImageDrawn = true;

    // The CoR drag: where it started and what the values were then.
    bool dragging = false;
    QPointF pressPoint;
    double corAtPress = 0.0;
    int offsetAtPress = 0;
    bool pressInLowerHalf = false;
};
