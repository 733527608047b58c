// Transform between real (data) coordinates and screen pixels of a display
// frame, with its own pan and wheel zoom when it listens to a MouseC.
#pragma once

#include <QObject>

#include <cmath>
#include <limits>

class MouseC;

// Truncation toward zero that is defined for every double: NaN gives 0 and
// values beyond the int range saturate.
inline int truncToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(v);
}

class ChCoord : public QObject
{
    Q_OBJECT

public:
    explicit ChCoord(QObject* parent = nullptr);

    void setScrCoord(double x0, double y0, double x1, double y1);
    void setRealCoord(double x0, double y0, double x1, double y1);

    // Plain doubles, no rounding and no check for a zero extent.
    double r2sx(double rx) const { return sx0 + (rx - rx0) * (sx1 - sx0) / (rx1 - rx0); }
    double r2sy(double ry) const { return sy0 + (ry - ry0) * (sy1 - sy0) / (ry1 - ry0); }
    double r2sdx(double d) const { return d * (sx1 - sx0) / (rx1 - rx0); }
    double r2sdy(double d) const { return d * (sy1 - sy0) / (ry1 - ry0); }
    double s2rx(double sx) const { return rx0 + (sx - sx0) * (rx1 - rx0) / (sx1 - sx0); }
    double s2ry(double sy) const { return ry0 + (sy - sy0) * (ry1 - ry0) / (sy1 - sy0); }

    double scrX0() const { return sx0; }
    double scrY0() const { return sy0; }
    double scrX1() const { return sx1; }
    double scrY1() const { return sy1; }
    double realX0() const { return rx0; }
    double realY0() const { return ry0; }
    double realX1() const { return rx1; }
    double realY1() const { return ry1; }

    void setMouseC(MouseC* m);
    MouseC* mouseC() const { return mouse; }
    void setWheelZoom(bool on) { wheelZoom = on; }
    bool isWheelZoom() const { return wheelZoom; }
    void setDragStat(int stat) { dragStat = stat; }
    int dragStatus() const { return dragStat; }
    void setEdgeBand(double fraction) { edgeBand = fraction; }
    double edgeBandFraction() const { return edgeBand; }

signals:
    void updated();
    void nowPos(double x, double y);

public slots:
    void mMoved();
    void mPressed();
    void mReleased();
    void mDClicked();
    void wheelMoved(int step);

private:
    bool inBand(double v, double a0, double a1) const;

    double sx0 = 0.0, sx1 = 1.0, sy0 = 0.0, sy1 = 1.0;
    double rx0 = 0.0, rx1 = 1.0, ry0 = 0.0, ry1 = 1.0;
    double edgeBand = 0.1;
    MouseC* mouse = nullptr;
    bool wheelZoom = true;
    int dragStat = 1; // left button with Shift pans
};
