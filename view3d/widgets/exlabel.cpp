#include "view3d/widgets/exlabel.h"

#include "display/chcoord.h"
#include "display/mousec.h"

#include <QMouseEvent>
#include <QWheelEvent>

ExLabel::ExLabel(QWidget* parent) : QLabel(parent), cc(new ChCoord(this)), mc(new MouseC(this))
{
    setMouseTracking(true);
}

void ExLabel::updateScrCoord()
{
    cc->setScrCoord(0, height(), width(), 0);
}

void ExLabel::setText(const QString& txt)
{
    QLabel::setText(txt);
}

void ExLabel::paintEvent(QPaintEvent* e)
{
    QLabel::paintEvent(e);
    updateScrCoord();
    QPainter p(this);
    emit draw(&p);
}

void ExLabel::mousePressEvent(QMouseEvent* e)
{
    mc->recordPress(e);
    update();
    QLabel::mousePressEvent(e);
}

void ExLabel::mouseReleaseEvent(QMouseEvent* e)
{
    mc->recordRelease(e);
    update();
    QLabel::mouseReleaseEvent(e);
}

void ExLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    mc->recordDoubleClick(e);
    update();
    QLabel::mouseDoubleClickEvent(e);
}

void ExLabel::mouseMoveEvent(QMouseEvent* e)
{
    mc->recordMove(e);
    update();
    QLabel::mouseMoveEvent(e);
}

void ExLabel::wheelEvent(QWheelEvent* e)
{
    mc->recordWheel(e);
}

void ExLabel::enterEvent(QEnterEvent*)
{
    mc->recordEnter();
}

void ExLabel::leaveEvent(QEvent*)
{
    mc->recordLeave();
}
