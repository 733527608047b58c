#include "display/drawtext.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

DrawText::DrawText(QObject* parent) : QObject(parent) {}

double DrawText::fittedPointSize(const QFont& font, int flags, const QString& text, double length,
                                 double thickness, double maxPointSize)
{
    QFont f(font);
    f.setPointSizeF(10.0);
    const QRectF m = QFontMetricsF(f).boundingRect(QRectF(0, 0, 5000, 5000), flags, text);
    const double sw = m.width() > 0.0 ? length / m.width() : 1.0;
    const double sh = m.height() > 0.0 ? thickness / m.height() : 1.0;
    double size = 10.0 * std::min(sw, sh);
    if (maxPointSize > 0.0 && size > maxPointSize)
        size = maxPointSize;
    return size;
}

void DrawText::drawText(QPainter* p, double angle, QPointF centre, QSizeF size, const QFont& font,
                        int flags, int mode, const QString& text, double maxPointSize, bool fill,
                        const QBrush& brush)
{
    const double len = std::abs(size.width());
    const double thick = std::abs(size.height());
    // The box centre in the rotated painter's frame, so that the box stays
    // where the caller put it on the screen.
    const double rad = angle / 180.0 * 3.141592653;
    const double cx = centre.x() * std::cos(rad) + centre.y() * std::sin(rad);
    const double cy = -centre.x() * std::sin(rad) + centre.y() * std::cos(rad);
    const QRectF box(cx - len / 2.0, cy - thick / 2.0, len, thick);

    QFont f(font);
    if (mode == 1) {
        const double pt = fittedPointSize(font, flags, text, len, thick, maxPointSize);
        // A box of no size (or an absurd one) leaves nothing to draw.
        if (!(pt > 0.0) || !std::isfinite(pt))
            return;
        f.setPointSizeF(pt);
    }
    p->save();
    p->rotate(angle);
    p->setFont(f);
    if (fill)
        p->fillRect(box, brush);
    p->drawText(box, flags, text);
    p->restore();
}
