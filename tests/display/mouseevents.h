// Mouse and wheel events with explicit buttons and modifiers, sent straight
// to a widget as the window system would deliver them.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

inline void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, held, mods);
    QApplication::sendEvent(w, &e);
}

inline void press(QWidget* w, QPoint pos, Qt::MouseButton b, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseButtonPress, pos, b, m);
}

inline void release(QWidget* w, QPoint pos, Qt::MouseButton b, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseButtonRelease, pos, b, m);
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

// Paints a widget offscreen and returns what it drew.
inline QImage renderOf(QWidget* w)
{
    QImage img(w->size(), QImage::Format_RGB32);
    img.fill(Qt::black);
    w->render(&img);
    return img;
}
