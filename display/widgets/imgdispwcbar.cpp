#include "display/widgets/imgdispwcbar.h"

#include "display/widgets/colorbar.h"

#include <QGridLayout>

ImgDispWCBar::ImgDispWCBar(QWidget* parent) : ImgDisp(parent), cBar(new ColorBar(this))
{
    cBar->setObjectName(QStringLiteral("CBar"));
    cBar->setFrameShape(QFrame::StyledPanel);
    cBar->setFrameShadow(QFrame::Raised);
    cBar->setMinimumWidth(25);
    cBar->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    gridLayout()->addWidget(cBar, 0, 1);
    connect(cBar, &ColorBar::newBar, this, &ImgDispWCBar::newBar);
    grid2 = new QGridLayout;
    gridLayout()->addLayout(grid2, 1, 0, 1, 2);
    // The picture takes the height; the controls row stays compact.
    gridLayout()->setRowStretch(0, 1);
    grid2->addWidget(cBar->controls(), 0, 1);
    setWindowTitle(tr("Image Display with Color Bar"));
}

void ImgDispWCBar::setMinV(double v)
{
    cBar->setMinV(v);
}

void ImgDispWCBar::setMaxV(double v)
{
    cBar->setMaxV(v);
}

int ImgDispWCBar::colorIndex(double v) const
{
    return cBar->colorIndex(v);
}

QCheckBox* ImgDispWCBar::fixBox() const
{
    return cBar->fixBox();
}
