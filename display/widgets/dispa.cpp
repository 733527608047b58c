#include "display/widgets/dispa.h"

#include "display/chcoord.h"
#include "display/mousec.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

DispA::DispA(QWidget* parent) : QFrame(parent), cc(new ChCoord(this)), mc(new MouseC(this))
{
    setFrameShape(QFrame::StyledPanel);
    setMouseTracking(true);
    cc->setMouseC(mc);
}

void DispA::setBackground(const QColor& c)
{
    bg = c;
    update();
}

bool DispA::isInside() const
{
    return mc->isInside();
}

void DispA::paintEvent(QPaintEvent*)
{
    // One pixel less than DispB in each direction: x = W - 1 maps to rx1.
    const int w = width() - 1;
    const int h = height() - 1;
    if (w <= 0 || h <= 0)
        return;
    QPainter p(this);
    p.fillRect(rect(), bg);
    cc->setScrCoord(0, h, w, 0);
    emit drawImage0(&p);
    emit drawImage1(&p);
    emit drawImage2(&p);
}

void DispA::mouseMoveEvent(QMouseEvent* e)
{
    if (e->modifiers() & Qt::AltModifier)
        return;
    mc->recordMove(e);
    update();
}

void DispA::mousePressEvent(QMouseEvent* e)
{
    mc->recordPress(e);
    update();
}

void DispA::mouseReleaseEvent(QMouseEvent* e)
{
    mc->recordRelease(e);
    update();
}

void DispA::mouseDoubleClickEvent(QMouseEvent* e)
{
    mc->recordDoubleClick(e);
    update();
}

void DispA::wheelEvent(QWheelEvent* e)
{
    mc->recordWheel(e);
    update();
}

void DispA::enterEvent(QEnterEvent*)
{
    mc->recordEnter();
    update();
}

void DispA::leaveEvent(QEvent*)
{
    mc->recordLeave();
    update();
}
