#include "display/widgets/imgdispwpv.h"

#include "ui_PVFrame.h"

#include <QEvent>

ImgDispWPV::ImgDispWPV(QWidget* parent)
    : ImgDispWCBar(parent), pv(new Ui::PVFrame), pvFrame(new QFrame(this))
{
    pv->setupUi(pvFrame);
    secondGrid()->addWidget(pvFrame, 0, 0);
    resize(width(), width());
    connect(this, &ImgDisp::newPos, this, &ImgDispWPV::noticedNewPos);
    connect(pv->ResetScale, &QPushButton::clicked, this, &ImgDisp::resetScale);
    setWindowTitle(tr("Image Display with Position and Value"));
}

ImgDispWPV::~ImgDispWPV()
{
    delete pv;
}

void ImgDispWPV::noticedNewPos(int ix, int iy)
{
    pv->PosX->setText(QString::number(ix, 'g', 6));
    pv->PosY->setText(QString::number(iy, 'g', 6));
    emit newPosInvY(ix, iy);
}

void ImgDispWPV::setVal(double v)
{
    pv->Val->setText(QString::number(v, 'g', 6));
}

void ImgDispWPV::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange) {
        pv->retranslateUi(pvFrame);
        setWindowTitle(tr("Image Display with Position and Value"));
    }
    ImgDispWCBar::changeEvent(e);
}
