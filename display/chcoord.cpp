#include "display/chcoord.h"

#include "display/mousec.h"

#include <algorithm>

ChCoord::ChCoord(QObject* parent) : QObject(parent) {}

void ChCoord::setScrCoord(double x0, double y0, double x1, double y1)
{
    sx0 = x0;
    sy0 = y0;
    sx1 = x1;
    sy1 = y1;
}

void ChCoord::setRealCoord(double x0, double y0, double x1, double y1)
{
    rx0 = x0;
    ry0 = y0;
    rx1 = x1;
    ry1 = y1;
}

void ChCoord::setMouseC(MouseC* m)
{
    if (mouse) {
        disconnect(mouse, &MouseC::mMoved, this, &ChCoord::mMoved);
        disconnect(mouse, &MouseC::mPressed, this, &ChCoord::mPressed);
        disconnect(mouse, &MouseC::mReleased, this, &ChCoord::mReleased);
        disconnect(mouse, &MouseC::mDClicked, this, &ChCoord::mDClicked);
        disconnect(mouse, &MouseC::wMoved, this, &ChCoord::wheelMoved);
    }
    mouse = m;
    if (!mouse)
        return;
    connect(mouse, &MouseC::mMoved, this, &ChCoord::mMoved);
    connect(mouse, &MouseC::mPressed, this, &ChCoord::mPressed);
    connect(mouse, &MouseC::mReleased, this, &ChCoord::mReleased);
    connect(mouse, &MouseC::mDClicked, this, &ChCoord::mDClicked);
    connect(mouse, &MouseC::wMoved, this, &ChCoord::wheelMoved);
}

void ChCoord::mMoved()
{
    if (!mouse)
        return;
    const QPoint c = mouse->curPos();
    emit nowPos(s2rx(c.x()), s2ry(c.y()));
    if (!mouse->isPressed() || int(mouse->pressStat()) != dragStat)
        return;
    const QPoint p = mouse->prevPos();
    const double dx = s2rx(p.x()) - s2rx(c.x());
    const double dy = s2ry(p.y()) - s2ry(c.y());
    rx0 += dx;
    rx1 += dx;
    ry0 += dy;
    ry1 += dy;
    emit updated();
}

void ChCoord::mPressed()
{
    emit updated();
}

void ChCoord::mDClicked()
{
    emit updated();
}

void ChCoord::mReleased()
{
    if (!mouse)
        return;
    const Qt::KeyboardModifiers held = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (mouse->pressButton() == Qt::RightButton && !(mouse->pressModifiers() & held)) {
        const QPoint p = mouse->pressPos();
        const QPoint q = mouse->releasePos();
        const double nx0 = s2rx(std::min(p.x(), q.x()));
        const double nx1 = s2rx(std::max(p.x(), q.x()));
        // The y of the right-hand point goes to ry0: a rectangle drawn
        // upward to the right flips the vertical range.
        const int yRight = p.x() <= q.x() ? q.y() : p.y();
        const int yLeft = p.x() <= q.x() ? p.y() : q.y();
        const double ny0 = s2ry(yRight);
        const double ny1 = s2ry(yLeft);
        setRealCoord(nx0, ny0, nx1, ny1);
    }
    emit updated();
}

bool ChCoord::inBand(double v, double a0, double a1) const
{
    const double band = edgeBand * std::abs(a1 - a0);
    return v < std::min(a0, a1) + band || v > std::max(a0, a1) - band;
}

void ChCoord::wheelMoved(int step)
{
    if (!mouse || !wheelZoom)
        return;
    const double f = step >= 0 ? 1.0 / 1.1 : 1.1;
    const QPoint c = mouse->curPos();
    const bool xBand = inBand(c.x(), sx0, sx1);
    const bool yBand = inBand(c.y(), sy0, sy1);
    const bool zoomX = !(xBand && !yBand);
    const bool zoomY = !(yBand && !xBand);
    if (zoomX) {
        const double cx = s2rx(c.x());
        rx0 = (rx0 - cx) * f + cx;
        rx1 = (rx1 - cx) * f + cx;
    }
    if (zoomY) {
        const double cy = s2ry(c.y());
        ry0 = (ry0 - cy) * f + cy;
        ry1 = (ry1 - cy) * f + cy;
    }
    emit updated();
}
