// Mouse state of one display frame: where the pointer was pressed, moved and
// released, with which button and modifiers. Owners read it after the frame's
// mouse signals.
#pragma once

#include <QMetaType>
#include <QObject>
#include <QPoint>

class QMouseEvent;
class QWheelEvent;

class MouseC : public QObject
{
    Q_OBJECT

public:
    // Mouse-status code of a button and a modifier set: 0..7 for the left
    // button (Shift adds 1 and Ctrl 2 alone, Alt 3; Shift+Ctrl 4, Shift+Alt 5,
    // Ctrl+Alt 6, all three 7), 8..15 the same for the right button, 16 for
    // any other button. Only Shift, Ctrl and Alt count.
    class MStat
    {
    public:
        constexpr MStat(int code = 0) : c(code) {}
        MStat(Qt::MouseButtons button, Qt::KeyboardModifiers modifiers);
        constexpr operator int() const { return c; }

    private:
        int c;
    };

    explicit MouseC(QObject* parent = nullptr);

    // Called by the frames.
    void recordMove(const QMouseEvent* e);
    void recordPress(const QMouseEvent* e);
    void recordRelease(const QMouseEvent* e);
    void recordDoubleClick(const QMouseEvent* e);
    void recordWheel(const QWheelEvent* e);
    void recordEnter();
    void recordLeave();

    // Frame pixels, x to the right and y downward as the events give them.
    QPoint prevPos() const { return prev; }
    QPoint curPos() const { return cur; }
    QPoint pressPos() const { return pressP; }
    QPoint releasePos() const { return releaseP; }
    QPoint dClickPos() const { return dClickP; }

    bool isPressed() const { return pressed; }
    bool pressedLeft() const { return pLeft; }
    bool pressedRight() const { return pRight; }
    bool pressedOnlyShift() const { return pShift; }
    bool pressedOnlyCtrl() const { return pCtrl; }
    bool pressedOnlyAlt() const { return pAlt; }
    bool movedOnlyShift() const { return mShift; }
    bool movedOnlyCtrl() const { return mCtrl; }
    bool movedOnlyAlt() const { return mAlt; }
    bool isInside() const { return inside; }

    Qt::MouseButtons button() const { return btn; }
    Qt::MouseButtons pressButton() const { return pressBtn; }
    Qt::MouseButtons releaseButton() const { return releaseBtn; }
    Qt::MouseButtons dClickButton() const { return dClickBtn; }
    Qt::KeyboardModifiers modifiers() const { return mods; }
    Qt::KeyboardModifiers pressModifiers() const { return pressMods; }
    Qt::KeyboardModifiers releaseModifiers() const { return releaseMods; }
    Qt::KeyboardModifiers dClickModifiers() const { return dClickMods; }

    MStat pressStat() const { return MStat(pressBtn, pressMods); }

signals:
    void mMoved();
    void mPressed();
    void mReleased();
    void mDClicked();
    void wMoved(int step);
    void mEntered();
    void mLeaved();
    void mEnterLeave(bool f);

private:
    void takePosition(const QMouseEvent* e);

    QPoint prev, cur, pressP, releaseP, dClickP;
    bool pressed = false;
    bool pLeft = false, pRight = false, pShift = false, pCtrl = false, pAlt = false;
    bool mShift = false, mCtrl = false, mAlt = false;
    bool inside = false;
    Qt::MouseButtons btn, pressBtn, releaseBtn, dClickBtn;
    Qt::KeyboardModifiers mods, pressMods, releaseMods, dClickMods;
};

Q_DECLARE_METATYPE(MouseC::MStat)

// Frame pixel of an event position: truncated toward zero, and kept inside
// the int range so that a wild position cannot make the conversion undefined.
QPoint truncPoint(const QPointF& p);
