// Mouse and wheel events sent straight to a widget as the window system would deliver them.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QWheelEvent>
#include <QWidget>

// angleY in eighths of a degree: 120 is one notch forward.
inline void wheel(QWidget* w, QPoint pos, int angleY, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QWheelEvent e(QPointF(pos), w->mapToGlobal(QPointF(pos)), QPoint(), QPoint(0, angleY), Qt::NoButton,
                  m, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// "p40,40s m100,70s r100,70": p/q press left/right, m move held, r release, h hover;
// w, b: wheel one notch forward, one back; s, c, a after the position: Shift, Ctrl, Alt.
inline void gesture(QWidget* w, const QString& script)
{
    static const QRegularExpression token(QStringLiteral("([pqmrhwb])(-?\\d+),(-?\\d+)([sca]*)"));
    Qt::MouseButton held = Qt::NoButton;
    for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch t = token.match(step);
        const QPoint at(t.captured(2).toInt(), t.captured(3).toInt());
        Qt::KeyboardModifiers m;
        for (const QChar c : t.captured(4))
            m |= c == 's' ? Qt::ShiftModifier : c == 'c' ? Qt::ControlModifier : Qt::AltModifier;
        const char k = t.captured(1).at(0).toLatin1();
        if (k == 'w' || k == 'b') {
            wheel(w, at, k == 'w' ? 120 : -120, m);
            continue;
        }
        if (k == 'p' || k == 'q')
            held = k == 'p' ? Qt::LeftButton : Qt::RightButton;
        const QEvent::Type type = k == 'p' || k == 'q' ? QEvent::MouseButtonPress
                                  : k == 'r'           ? QEvent::MouseButtonRelease
                                                       : QEvent::MouseMove;
        const Qt::MouseButton button = k == 'm' || k == 'h' ? Qt::NoButton : held;
        const Qt::MouseButtons down = k == 'r' || k == 'h' ? Qt::NoButton : held;
        QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, down, m);
        QApplication::sendEvent(w, &e);
    }
}

// Paints a widget offscreen and returns what it drew.
inline QImage renderOf(QWidget* w)
{
    QImage img(w->size(), QImage::Format_RGB32);
    img.fill(Qt::black);
    w->render(&img);
    return img;
}
