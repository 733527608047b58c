#include "display/mousec.h"

#include "display/chcoord.h"

#include <QMouseEvent>
#include <QWheelEvent>

MouseC::MStat::MStat(Qt::MouseButtons button, Qt::KeyboardModifiers modifiers)
{
    const bool s = modifiers & Qt::ShiftModifier;
    const bool c = modifiers & Qt::ControlModifier;
    const bool a = modifiers & Qt::AltModifier;
    int m = 0;
    if (s && c && a)
        m = 7;
    else if (c && a)
        m = 6;
    else if (s && a)
        m = 5;
    else if (s && c)
        m = 4;
    else if (a)
        m = 3;
    else if (c)
        m = 2;
    else if (s)
        m = 1;
    if (button == Qt::LeftButton)
        this->c = m;
    else if (button == Qt::RightButton)
        this->c = m + 8;
    else
        this->c = 16;
}

QPoint truncPoint(const QPointF& p)
{
    return QPoint(truncToInt(p.x()), truncToInt(p.y()));
}

MouseC::MouseC(QObject* parent) : QObject(parent) {}

void MouseC::takePosition(const QMouseEvent* e)
{
    prev = cur;
    cur = truncPoint(e->position());
    btn = e->button();
    mods = e->modifiers();
}

void MouseC::recordMove(const QMouseEvent* e)
{
    takePosition(e);
    mShift = mods == Qt::ShiftModifier;
    mCtrl = mods == Qt::ControlModifier;
    mAlt = mods == Qt::AltModifier;
    emit mMoved();
}

void MouseC::recordPress(const QMouseEvent* e)
{
    takePosition(e);
    pressP = cur;
    pressBtn = btn;
    pressMods = mods;
    pressed = true;
    pLeft = pressBtn == Qt::LeftButton;
    pRight = pressBtn == Qt::RightButton;
    pShift = pressMods == Qt::ShiftModifier;
    pCtrl = pressMods == Qt::ControlModifier;
    pAlt = pressMods == Qt::AltModifier;
    emit mPressed();
}

void MouseC::recordRelease(const QMouseEvent* e)
{
    takePosition(e);
    releaseP = cur;
    pressed = false;
    pLeft = false;
    pRight = false;
    releaseBtn = btn;
    releaseMods = mods;
    emit mReleased();
}

void MouseC::recordDoubleClick(const QMouseEvent* e)
{
    dClickP = truncPoint(e->position());
    dClickBtn = e->button();
    dClickMods = e->modifiers();
    emit mDClicked();
}

void MouseC::recordWheel(const QWheelEvent* e)
{
    // The zoom centres on the pointer, which a wheel event carries even when
    // no move was recorded before it (for example while Alt was held).
    cur = truncPoint(e->position());
    const double steps = e->angleDelta().y() * 0.125 / 15.0;
    emit wMoved(int(steps)); // |steps| <= 2^31 / 120: the conversion is defined
}

void MouseC::recordEnter()
{
    inside = true;
    emit mEntered();
    emit mEnterLeave(true);
}

void MouseC::recordLeave()
{
    inside = false;
    emit mLeaved();
    emit mEnterLeave(false);
}
