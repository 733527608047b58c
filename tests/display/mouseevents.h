// Mouse and wheel events sent straight to a widget as the window system would deliver them.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QWheelEvent>
#include <QWidget>

inline void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, held, mods);
    QApplication::sendEvent(w, &e);
}

// A move while `held` is down (NoButton for a plain hover).
inline void move(QWidget* w, QPoint pos, Qt::MouseButton held = Qt::NoButton,
                 Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                  Qt::MouseButtons(held), m);
    QApplication::sendEvent(w, &e);
}

inline void wheel(QWidget* w, QPoint pos, int angleY, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QWheelEvent e(QPointF(pos), w->mapToGlobal(QPointF(pos)), QPoint(), QPoint(0, angleY), Qt::NoButton,
                  m, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// "p40,40s m100,70s r100,70": p/q press left/right, m move held, r release, h hover, d double-click;
// w, v, b: wheel one notch forward, a quarter forward, one back; s, c, a after the position: Shift, Ctrl, Alt.
inline void gesture(QWidget* w, const QString& script)
{
    static const QRegularExpression token(QStringLiteral("([pqmrhdwvb])(-?\\d+),(-?\\d+)([sca]*)"));
    Qt::MouseButton held = Qt::NoButton;
    for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch t = token.match(step);
        const QPoint at(t.captured(2).toInt(), t.captured(3).toInt());
        Qt::KeyboardModifiers m;
        for (const QChar c : t.captured(4))
            m |= c == 's' ? Qt::ShiftModifier : c == 'c' ? Qt::ControlModifier : Qt::AltModifier;
        switch (t.captured(1).at(0).toLatin1()) {
        case 'p': sendMouse(w, QEvent::MouseButtonPress, at, held = Qt::LeftButton, m); break;
        case 'q': sendMouse(w, QEvent::MouseButtonPress, at, held = Qt::RightButton, m); break;
        case 'm': move(w, at, held, m); break;
        case 'r': sendMouse(w, QEvent::MouseButtonRelease, at, held, m); break;
        case 'h': move(w, at, Qt::NoButton, m); break;
        case 'd': sendMouse(w, QEvent::MouseButtonDblClick, at, Qt::LeftButton, m); break;
        case 'b': wheel(w, at, -120, m); break;
        case 'v': wheel(w, at, 30, m); break;
        default: wheel(w, at, 120, m); break;
        }
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
