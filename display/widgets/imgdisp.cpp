#include "display/widgets/imgdisp.h"

#include "display/chcoord.h"
#include "display/widgets/dispb.h"

#include <QDebug>
#include <QPainter>

#include <array>
#include <cmath>

namespace {

const Qt::KeyboardModifiers heldKeys = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

// Image index under each of n frame pixels (nearest neighbour at the pixel
// centre) for a view from x0 of width w over an image of `size` pixels;
// -1 where the frame shows no image. Returns the first and one past the last
// frame pixel that shows the image (the run is contiguous).
std::pair<int, int> sampleIndexes(QVector<int>& idx, int n, double x0, double w, int size)
{
    idx.resize(n);
    int first = n, last = 0;
    for (int i = 0; i < n; ++i) {
        const double r = x0 + (i + 0.5) * w / n;
        if (r >= 0.0 && r < size) {
            idx[i] = int(r);
            first = std::min(first, i);
            last = i + 1;
        } else {
            idx[i] = -1;
        }
    }
    return {first, std::max(first, last)};
}

bool usableView(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width())
        && std::isfinite(r.height()) && r.width() > 0.0 && r.height() > 0.0;
}

} // namespace

ImgDisp::ImgDisp(QWidget* parent) : DispAWLayout(parent)
{
    connect(this, &DispAWLayout::wheelMoved0, this, &ImgDisp::onWheelMoved);
    connect(this, &DispAWLayout::mouseMoved0, this, &ImgDisp::onMouseMoved);
    connect(this, &DispAWLayout::mousePressed0, this, &ImgDisp::onMousePressed);
    connect(this, &DispAWLayout::mouseReleased0, this, &ImgDisp::onMouseReleased);
    connect(this, &DispAWLayout::drawImage1, this, &ImgDisp::draw);
}

bool ImgDisp::frameUsable() const
{
    return dispB()->width() > 0 && dispB()->height() > 0;
}

void ImgDisp::setTransform()
{
    // The paint sets the same screen area; doing it here too keeps mouse
    // mapping right after a resize that was not painted yet.
    if (frameUsable())
        coord()->setScrCoord(0, dispB()->height(), dispB()->width(), 0);
    coord()->setRealCoord(v.x(), v.y() + v.height(), v.x() + v.width(), v.y());
}

void ImgDisp::repaintImage()
{
    dispB()->update();
}

void ImgDisp::setView(const QRectF& r)
{
    v = r;
    if (usableView(r))
        viewSet = true;
    setTransform();
    repaintImage();
}

void ImgDisp::draw(QPainter* p)
{
    const int w = dispB()->width();
    const int h = dispB()->height();
    if (image.isNull() || w <= 0 || h <= 0 || !usableView(v))
        return;
    QImage converted;
    if (image.format() != QImage::Format_Grayscale8)
        converted = image.convertToFormat(QImage::Format_Grayscale8);
    const QImage& src = converted.isNull() ? image : converted;

    const auto cols = sampleIndexes(colIdx, w, v.x(), v.width(), src.width());
    sampleIndexes(rowIdx, h, v.y(), v.height(), src.height());
    if (frameBuf.size() != QSize(w, h))
        frameBuf = QImage(w, h, QImage::Format_RGB32);
    static const auto greys = [] {
        std::array<QRgb, 256> t{};
        for (int g = 0; g < 256; ++g)
            t[g] = qRgb(g, g, g);
        return t;
    }();
    const QRgb white = qRgb(255, 255, 255);
    const int* ci = colIdx.constData();
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<QRgb*>(frameBuf.scanLine(y));
        const int row = rowIdx[y];
        if (row < 0) {
            std::fill(out, out + w, white);
            continue;
        }
        const uchar* in = src.constScanLine(row);
        std::fill(out, out + cols.first, white);
        for (int x = cols.first; x < cols.second; ++x)
            out[x] = greys[in[ci[x]]];
        std::fill(out + cols.second, out + w, white);
    }
    p->drawImage(0, 0, frameBuf);
}

void ImgDisp::newImage()
{
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return;
    if (!viewSet) {
        v = QRectF(0, 0, image.width(), image.height());
        setTransform();
        viewSet = true;
        emit newS(v);
    }
    repaintImage();
}

void ImgDisp::resetScale()
{
    v = QRectF(0, 0, image.width(), image.height());
    setTransform();
    repaintImage();
}

void ImgDisp::onWheelMoved()
{
    if (!wheelOn || !frameUsable())
        return;
    setTransform();
    const double f = dispB()->zoomFactor();
    const QPoint pp = dispB()->wheelPos();
    const double w2 = v.width() * f;
    const double h2 = v.height() * f;
    const double cx = coord()->s2rx(pp.x());
    const double cy = coord()->s2ry(pp.y());
    const QRectF next(cx - (double(pp.x()) / dispB()->width()) * w2,
                      cy - (double(pp.y()) / dispB()->height()) * h2, w2, h2);
    // Past the range of doubles the view would collapse to nothing or
    // overflow; the last usable view stays.
    if (!usableView(next) || !std::isnormal(w2) || !std::isnormal(h2))
        return;
    v = next;
    setTransform();
    emit newS(v);
    repaintImage();
}

void ImgDisp::onMouseMoved()
{
    if (!mouseOn)
        return;
    setTransform();
    const MouseC* m = mouse();
    const ChCoord* c = coord();
    const QPoint cur = m->curPos();
    emit newPos(truncToInt(c->s2rx(cur.x())), truncToInt(c->s2ry(cur.y())));
    if (!m->isPressed())
        return;
    if (selecting && m->pressButton() == Qt::LeftButton && m->movedOnlyShift()) {
        sel.setWidth(c->s2rx(cur.x()) - sel.x());
        sel.setHeight(c->s2ry(cur.y()) - sel.y());
    }
    if (m->pressButton() == Qt::LeftButton && !(m->pressModifiers() & heldKeys)) {
        const QPoint prev = m->prevPos();
        v.translate(c->s2rx(prev.x()) - c->s2rx(cur.x()), c->s2ry(prev.y()) - c->s2ry(cur.y()));
        setTransform();
        emit newS(v);
    }
    repaintImage();
}

void ImgDisp::onMousePressed()
{
    if (!mouseOn)
        return;
    setTransform();
    const MouseC* m = mouse();
    if (m->pressedOnlyShift() && m->pressedLeft()) {
        selecting = true;
        selected = false;
        const QPoint p = m->pressPos();
        sel = QRectF(coord()->s2rx(p.x()), coord()->s2ry(p.y()), 0, 0);
    } else if (m->pressedOnlyShift() && m->pressedRight()) {
        selecting = false;
        selected = false;
        sel = QRectF();
    }
    repaintImage();
}

void ImgDisp::onMouseReleased()
{
    if (!mouseOn)
        return;
    setTransform();
    const MouseC* m = mouse();
    // The drag ends with the left button even if Shift was let go first;
    // otherwise the rectangle would stay half made.
    if (selecting && m->releaseButton() == Qt::LeftButton) {
        selecting = false;
        if (sel.width() != 0.0 && sel.height() != 0.0) {
            sel = sel.normalized();
            selected = true;
        }
    }
    const MouseC::MStat st = m->pressStat();
    if (st == 0 || st == 8) {
        const QPoint r = m->releasePos();
        emit selectedAPoint(coord()->s2rx(r.x()), coord()->s2ry(r.y()), st);
    }
    repaintImage();
}

void ImgDisp::saveImage(QString fname)
{
    // Limits keep the rectangle arithmetic inside int and the copy sane when
    // the view was zoomed far out.
    const double lim = double(1 << 30);
    const bool fits = usableView(v) && std::abs(v.x()) < lim && std::abs(v.y()) < lim
        && v.width() < lim && v.height() < lim;
    const QRect r = fits ? QRect(int(v.x()), int(v.y()), int(v.width()), int(v.height())) : QRect();
    if (image.isNull() || r.isEmpty() || qint64(r.width()) * r.height() > (qint64(1) << 28)) {
        qDebug().noquote() << "Can't save image :" << fname;
        return;
    }
    if (!image.copy(r).save(fname))
        qDebug().noquote() << "Can't save image :" << fname;
}
