// An 8-bit grey image stretched over a frame: the visible part (view) is
// zoomed with the wheel about the pointer and panned with the left button;
// Shift + left drags a selection rectangle; clicks and the pixel under the
// pointer are reported in image coordinates (x right, y down).
#pragma once

#include "display/widgets/dispawlayout.h"
#include "display/mousec.h"

#include <QImage>
#include <QRectF>
#include <QVector>

class ImgDisp : public DispAWLayout
{
    Q_OBJECT

public:
    explicit ImgDisp(QWidget* parent = nullptr);

    // The owner assigns the picture (Format_Grayscale8) and then calls newImage().
    void setImage(const QImage& img) { image = img; }
    QImage& img() { return image; }
    const QImage& img() const { return image; }

    // Visible rectangle in image pixels.
    QRectF view() const { return v; }
    // Shows r as it is (no newS); an owner synchronising several displays uses it.
    void setView(const QRectF& r);
    bool isViewSet() const { return viewSet; }
    // The next newImage() takes the whole image as the view again.
    void setViewUnset() { viewSet = false; }

    // Selection rectangle in image pixels; its size may be negative while it
    // is being dragged and is normalised once it is completed.
    QRectF selection() const { return sel; }
    bool isSelecting() const { return selecting; }
    bool isSelected() const { return selected; }

    void setMouseOn(bool on) { mouseOn = on; }
    bool isMouseOn() const { return mouseOn; }
    void setWheelOn(bool on) { wheelOn = on; }
    bool isWheelOn() const { return wheelOn; }

signals:
    void newPos(int ix, int iy);
    void newS(QRectF s);
    void selectedAPoint(double x, double y, MouseC::MStat s);

public slots:
    void onWheelMoved();
    void onMouseMoved();
    void onMousePressed();
    void onMouseReleased();
    void draw(QPainter* p);
    void newImage();
    void resetScale();
    void saveImage(QString fname);

protected:
    void setTransform();
    void repaintImage();

private:
    bool frameUsable() const;

    QImage image;
    QRectF v;
    bool viewSet = false;
    bool selecting = false;
    bool selected = false;
    QRectF sel;
    bool mouseOn = true;
    bool wheelOn = true;

    // Reused across paints: the frame's pixels and the image column/row
    // under each frame column/row (-1 outside the image).
    QImage frameBuf;
    QVector<int> colIdx, rowIdx;
};
