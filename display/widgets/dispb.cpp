#include "display/widgets/dispb.h"

#include "display/chcoord.h"
#include "display/mousec.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

DispB::DispB(QWidget* parent) : QFrame(parent), cc(new ChCoord(this)), mc(new MouseC(this))
{
    setFrameShape(QFrame::StyledPanel);
    setMouseTracking(true);
}

void DispB::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0)
        return; // keeps the last usable screen area
    QPainter p(this);
    p.fillRect(0, 0, w, h, Qt::white);
    cc->setScrCoord(0, h, w, 0);
    emit drawImage0(&p);
    emit drawImage1(&p);
    emit drawImage2(&p);
}

void DispB::mouseMoveEvent(QMouseEvent* e)
{
    if (e->modifiers() & Qt::AltModifier)
        return;
    mc->recordMove(e);
    emit mouseMoved0();
    update();
}

void DispB::mousePressEvent(QMouseEvent* e)
{
    mc->recordPress(e);
    emit mousePressed0();
}

void DispB::mouseReleaseEvent(QMouseEvent* e)
{
    mc->recordRelease(e);
    emit mouseReleased0();
}

void DispB::mouseDoubleClickEvent(QMouseEvent* e)
{
    mc->recordDoubleClick(e);
    emit mouseDoubleClicked0();
}

void DispB::wheelEvent(QWheelEvent* e)
{
    steps = e->angleDelta().y() * 0.125 / 15.0;
    factor = steps < 0 ? 1.1 : 1.0 / 1.1;
    wPos = truncPoint(e->position());
    emit wheelMoved0();
}
