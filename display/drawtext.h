// Draws a text rotated by an angle, optionally scaled to fit a box (the
// colour bar's labels).
#pragma once

#include <QBrush>
#include <QObject>
#include <QPointF>
#include <QSizeF>

class QFont;
class QPainter;
class QString;

class DrawText : public QObject
{
    Q_OBJECT

public:
    explicit DrawText(QObject* parent = nullptr);

    // angle in degrees (90: the text runs downward); centre in unrotated frame
    // pixels; size = (length along the text, thickness across it); flags are
    // Qt alignment flags; mode 1 fits the text to the box, any other mode uses
    // the caller's font; maxPointSize <= 0 means no limit.
    void drawText(QPainter* p, double angle, QPointF centre, QSizeF size, const QFont& font,
                  int flags, int mode, const QString& text, double maxPointSize = 0.0,
                  bool fill = false, const QBrush& brush = QBrush());

    // Point size that fits text into length x thickness (mode 1).
    static double fittedPointSize(const QFont& font, int flags, const QString& text,
                                  double length, double thickness, double maxPointSize);
};
