#include "input/widgets/selectaimgfile.h"

#include "display/widgets/colorbar.h"
#include "display/widgets/dispb.h"
#include "display/widgets/imgdispwpv.h"
#include "input/imgdata.h"
#include "ui_SelectAImgFileBase.h"

#include <QEvent>
#include <QGridLayout>

SelectAImgFile::SelectAImgFile(QWidget* parent)
    : SelectAFile(parent), ui2(new Ui::SelectAImgFileBase), baseFrame(new QFrame(this)), disp(new ImgDispWPV)
{
    ui2->setupUi(baseFrame);
    grid()->addWidget(baseFrame, 1, 0, 1, -1);
    expTime0 = ui2->ExpTimeLE->text().toDouble();
    connect(this, &SelectAFile::fileSelected, this, &SelectAImgFile::loadImage);
    connect(this, &SelectAFile::clear, this, &SelectAImgFile::clear);
    connect(disp, &ImgDispWPV::newPosInvY, this, &SelectAImgFile::noticedNewPos);
    connect(disp, &ImgDispWCBar::newBar, this, &SelectAImgFile::updateImage);
    connect(ui2->ShowImg, &QPushButton::clicked, this, &SelectAImgFile::showImage);
}

SelectAImgFile::~SelectAImgFile()
{
    // The display may have been placed in (and deleted with) an owner's page.
    delete disp;
    delete img;
    delete ui2;
}

ImgDispWPV* SelectAImgFile::display() const
{
    return disp;
}

double SelectAImgFile::expTime() const
{
    return ui2->ExpTimeLE->text().toDouble();
}

void SelectAImgFile::setHold(bool f)
{
    held = f;
    if (held)
        return;
    const Pending p = pending;
    pending = Pending::None;
    if (p == Pending::Load)
        replaceImage(pendingName);
    else if (p == Pending::Clear)
        dropImage();
}

void SelectAImgFile::loadImage(QString fname)
{
    if (held) {
        pending = Pending::Load;
        pendingName = fname;
        resetStat(); // chosen, not loaded yet
        return;
    }
    replaceImage(fname);
}

void SelectAImgFile::replaceImage(const QString& fname)
{
    ImgData* loaded = loadImgData(fname, 0, true);
    if (!loaded) {
        setStat(false); // the previous image, if any, stays
        return;
    }
    delete img;
    img = loaded;
    setStat(true);
    updateImage();
    if (disp)
        disp->show();
}

void SelectAImgFile::updateImage()
{
    if (!img || !disp)
        return;
    ColorBar* bar = disp->colorBar();
    ColorScale scale = bar->scale();
    const bool fixed = bar->isFixed();
    img->toImage(disp->img(), scale, fixed);
    if (!fixed) {
        bar->setMinV(scale.vmin);
        bar->setMaxV(scale.vmax);
        bar->update();
    }
    disp->newImage();
}

void SelectAImgFile::noticedNewPos(double x, double y)
{
    if (!img || !disp)
        return;
    double v = 0.0;
    // x in (-1, width) is exactly an x that truncates to a column.
    if (x > -1.0 && x < img->width && y > -1.0 && y < img->height) {
        row.resize(size_t(img->width));
        v = img->getLine(int(y), row.data())[int(x)];
    }
    disp->setVal(v);
}

void SelectAImgFile::clear()
{
    ui2->ExpTimeLE->setText(QString::number(expTime0, 'g', 6));
    resetStat();
    if (held)
        pending = Pending::Clear;
    else
        dropImage();
}

void SelectAImgFile::dropImage()
{
    delete img;
    img = nullptr;
    if (disp) {
        disp->setImage(QImage());
        disp->dispB()->update();
    }
}

void SelectAImgFile::setExpTime(double time)
{
    ui2->ExpTimeLE->setText(QString::number(time, 'g', 6));
}

void SelectAImgFile::showImage()
{
    if (disp) {
        disp->show();
        if (disp->isWindow()) {
            disp->raise();
            disp->activateWindow();
        }
    }
    emit askToShowImage();
}

void SelectAImgFile::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        ui2->retranslateUi(baseFrame);
    SelectAFile::changeEvent(e);
}
