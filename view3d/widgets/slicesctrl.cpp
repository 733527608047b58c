#include "view3d/widgets/slicesctrl.h"

#include "app/fieldtext.h"
#include "app/widgets/filedialog.h"
#include "display/chcoord.h"
#include "display/mousec.h"
#include "ui_SlicesCtrl.h"
#include "view3d/slicedatas.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QPixmap>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

void writeNumber(QLineEdit* e, double v)
{
    e->setText(QString::number(v, 'g', 6));
    e->setCursorPosition(0);
}

void showSwatch(QLabel* l, const QColor& c)
{
    QPixmap pm(15, 27);
    pm.fill(c);
    l->setPixmap(pm);
}

} // namespace

SlicesCtrl::SlicesCtrl(const QString& dir, QWidget* parent)
    : QFrame(parent), ui(new Ui::SlicesCtrl), datas(new SliceDatas), thread(new QThread), dir(dir)
{
    registerVec3MetaType();
    ui->setupUi(this);
    showSwatch(ui->dispVColor_, vCol);
    showSwatch(ui->dispSColor_, sCol);
    showHide(true);

    datas->moveToThread(thread);
    thread->setObjectName(QStringLiteral("SliceDatas"));
    thread->start(QThread::InheritPriority);
    connect(this, &SlicesCtrl::askLoadFiles, datas, &SliceDatas::filesSelected);
    connect(datas, &SliceDatas::loadedNewFile, this, &SlicesCtrl::noticedLoadedNewFile);
    connect(datas, &SliceDatas::cleared, this, &SlicesCtrl::datasCleared);
    // The stack arrives whole before loadFilesFinished, on this thread.
    connect(datas, &SliceDatas::stackUpdated, this, [this](const SliceStackPtr& s) { stk = s; });
    connect(datas, &SliceDatas::loadFilesFinished, this, &SlicesCtrl::noticedLoadFilesFinished);

    connect(ui->showB_, &QPushButton::toggled, this, &SlicesCtrl::showHide);
    connect(ui->showB2_, &QPushButton::toggled, this, &SlicesCtrl::showHide);
    connect(ui->selectB_, &QPushButton::clicked, this, &SlicesCtrl::selectFiles);
    connect(ui->minTh_, &QLineEdit::editingFinished, this, &SlicesCtrl::updatedMinTh);
    connect(ui->maxTh_, &QLineEdit::editingFinished, this, &SlicesCtrl::updatedMaxTh);
    connect(ui->minThPC_, &QLineEdit::editingFinished, this, &SlicesCtrl::updatedMinThPC);
    connect(ui->maxThPC_, &QLineEdit::editingFinished, this, &SlicesCtrl::updatedMaxThPC);
    connect(ui->dispH_, &ExLabel::draw, this, &SlicesCtrl::drawHist);
    connect(ui->dispH_->mouse(), &MouseC::mPressed, this, &SlicesCtrl::mousePressedOnDispH);
    connect(ui->dispH_->mouse(), &MouseC::mMoved, this, &SlicesCtrl::mouseMovedOnDispH);
    connect(ui->dispH_->mouse(), &MouseC::mReleased, this, &SlicesCtrl::mouseReleasedOnDispH);
    for (QCheckBox* b : {ui->showVolume_, ui->showCSection_, ui->showFrame_})
        connect(b, &QCheckBox::toggled, this, &SlicesCtrl::paintPImg);
    connect(ui->cSlider_, &QSlider::valueChanged, this, &SlicesCtrl::changedSliderStat);
    connect(ui->csFixDir_, &QCheckBox::toggled, this, &SlicesCtrl::changedSliderStat);
    connect(ui->selVColor_, &QPushButton::clicked, this, &SlicesCtrl::selectVColor);
    connect(ui->selSColor_, &QPushButton::clicked, this, &SlicesCtrl::selectSColor);
    connect(ui->alpha_, &QLineEdit::editingFinished, this, &SlicesCtrl::fixupAlpha);
    connect(ui->alpha_, &QLineEdit::editingFinished, this, &SlicesCtrl::paintPImg);
}

SlicesCtrl::~SlicesCtrl()
{
    delete fileDlg;
    delete colorDlg;
    thread->quit();
    thread->wait();
    delete thread;
    delete datas;
    delete ui;
}

double SlicesCtrl::rMin() const { return fieldDouble(ui->rMinV_->text()); }
double SlicesCtrl::rMax() const { return fieldDouble(ui->rMaxV_->text()); }
double SlicesCtrl::minPC() const { return fieldDouble(ui->minThPC_->text()); }
double SlicesCtrl::maxPC() const { return fieldDouble(ui->maxThPC_->text()); }
int SlicesCtrl::alpha() const { return fieldInt(ui->alpha_->text()); }
int SlicesCtrl::sliderValue() const { return ui->cSlider_->value(); }
void SlicesCtrl::setSliderValue(int v) { ui->cSlider_->setValue(v); }
bool SlicesCtrl::fixDir() const { return ui->csFixDir_->isChecked(); }
void SlicesCtrl::setFixDir(bool f) { ui->csFixDir_->setChecked(f); }

void SlicesCtrl::setVColor(const QColor& c)
{
    vCol = c;
    showSwatch(ui->dispVColor_, c);
}

void SlicesCtrl::setSColor(const QColor& c)
{
    sCol = c;
    showSwatch(ui->dispSColor_, c);
}

void SlicesCtrl::setShowTexts(const QString& text)
{
    ui->showB_->setText(text);
    ui->showB2_->setText(text);
}

void SlicesCtrl::setAlphaText(const QString& text)
{
    ui->alpha_->setText(text);
    fixupAlpha();
}

MipSet SlicesCtrl::mipSet() const
{
    MipSet s;
    // A stack being rebuilt is not drawn: stk is null from cleared() on.
    s.stack = stk;
    s.setThresholds(rMin(), rMax(), minPC(), maxPC());
    s.alpha = alpha();
    s.showFrame = ui->showFrame_->isChecked();
    s.showVolume = ui->showVolume_->isChecked();
    s.showCSection = ui->showCSection_->isChecked();
    s.slider = sliderValue();
    s.csNormal = csN;
    s.vColor = vCol;
    s.sColor = sCol;
    return s;
}

void SlicesCtrl::loadFiles(const QStringList& files)
{
    ++loads;
    emit askLoadFiles(files);
}

void SlicesCtrl::fixupAlpha()
{
    const int a = alpha();
    if (a < 0)
        ui->alpha_->setText(QStringLiteral("0"));
    else if (a >= 256)
        ui->alpha_->setText(QStringLiteral("255"));
}

void SlicesCtrl::setPC(QLineEdit* pcEdit, QLineEdit* valueEdit, double p, bool writeValue)
{
    writeNumber(pcEdit, p);
    if (writeValue) {
        const double rmin = rMin();
        writeNumber(valueEdit, rmin + (rMax() - rmin) * fieldDouble(pcEdit->text()) / 100);
    }
    ui->dispH_->update();
    emit paintPImg();
}

void SlicesCtrl::setValue(QLineEdit* valueEdit, QLineEdit* pcEdit, double v, bool writePC)
{
    writeNumber(valueEdit, v);
    if (writePC) {
        const double rmin = rMin();
        const double span = rMax() - rmin;
        // An empty range has no percentages; 0 keeps the edit a number.
        writeNumber(pcEdit, span != 0 ? (v - rmin) / span * 100 : 0.0);
    }
    emit paintPImg();
    ui->dispH_->update();
}

void SlicesCtrl::setLowerPC(double p, bool writeValue) { setPC(ui->minThPC_, ui->minTh_, p, writeValue); }
void SlicesCtrl::setUpperPC(double p, bool writeValue) { setPC(ui->maxThPC_, ui->maxTh_, p, writeValue); }
void SlicesCtrl::setLowerValue(double v, bool writePC) { setValue(ui->minTh_, ui->minThPC_, v, writePC); }
void SlicesCtrl::setUpperValue(double v, bool writePC) { setValue(ui->maxTh_, ui->maxThPC_, v, writePC); }

void SlicesCtrl::updatedMinThPC() { setLowerPC(minPC()); }
void SlicesCtrl::updatedMaxThPC() { setUpperPC(maxPC()); }
void SlicesCtrl::updatedMinTh() { setLowerValue(fieldDouble(ui->minTh_->text())); }
void SlicesCtrl::updatedMaxTh() { setUpperValue(fieldDouble(ui->maxTh_->text())); }

void SlicesCtrl::showHide(bool f)
{
    ui->showB_->setChecked(f);
    ui->showB2_->setChecked(f);
    ui->showB_->setVisible(!ui->showB_->isChecked());
    ui->slicesCtrlFrame_->setVisible(ui->showB_->isChecked());
}

void SlicesCtrl::selectFiles()
{
    if (fileDlg) {
        dir = fileDlg->directory().absolutePath();
        fileDlg->deleteLater();
    }
    fileDlg = new QFileDialog(this, tr("Select Data Files"), dir);
    fileDlg->setAcceptMode(QFileDialog::AcceptOpen);
    fileDlg->setFileMode(QFileDialog::ExistingFiles);
    fileDlg->setNameFilters({tr("Data Files (*.dat *.png)"), tr("Any Files (* *.*)")});
    fileDlg->setOption(QFileDialog::DontUseNativeDialog, !useNativeDialogs());
    connect(fileDlg, &QFileDialog::filesSelected, this, &SlicesCtrl::loadFiles);
    fileDlg->show();
}

void SlicesCtrl::openColorDialog(bool volume)
{
    if (colorDlg)
        colorDlg->deleteLater();
    colorDlg = new QColorDialog(volume ? vCol : sCol, this);
    colorDlg->setWindowTitle(volume ? tr("Select Volume Color") : tr("Select Section Color"));
    colorDlg->setOption(QColorDialog::DontUseNativeDialog, !useNativeDialogs());
    connect(colorDlg, &QColorDialog::colorSelected, this, [this, volume](const QColor& c) {
        if (volume)
            setVColor(c);
        else
            setSColor(c);
        emit paintPImg();
    });
    colorDlg->show();
}

void SlicesCtrl::selectVColor() { openColorDialog(true); }
void SlicesCtrl::selectSColor() { openColorDialog(false); }

void SlicesCtrl::noticedLoadedNewFile(const QString& fname)
{
    ui->nameList_->addItem(fname);
}

void SlicesCtrl::datasCleared()
{
    stk.reset();
    ui->nameList_->clear();
}

void SlicesCtrl::noticedLoadFilesFinished()
{
    loads = std::max(0, loads - 1);
    const SliceStack* s = stk.get();
    const double vmin = s ? s->vmin : 0.0;
    const double vmax = s ? s->vmax : 1.0;
    writeNumber(ui->rMinV_, vmin);
    writeNumber(ui->rMaxV_, vmax);
    const double rmin = rMin();
    const double span = rMax() - rmin;
    writeNumber(ui->minTh_, rmin + span * minPC() / 100);
    writeNumber(ui->maxTh_, rmin + span * maxPC() / 100);
    ui->dispH_->update();
    emit paintPImg();
    emit loadFilesFinished();
}

void SlicesCtrl::drawHist(QPainter* p)
{
    const int w = ui->dispH_->width();
    const int h = ui->dispH_->height();
    p->fillRect(0, 0, w, h, QColor(255, 255, 255));
    const SliceStack* s = stk.get();
    if (!s || !s->histogramReady)
        return;
    ChCoord* cc = ui->dispH_->coord();
    cc->setRealCoord(0, 0, 101, 1);
    p->drawImage(QRect(0, 0, w, h), s->histImage, QRect(0, 0, s->bins - 1, s->histImageHeight - 1));
    p->setPen(QPen(QColor(255, 0, 0)));
    for (double pc : {minPC(), maxPC()}) {
        const int x = truncToInt(cc->r2sx(pc));
        p->drawLine(x, 0, x, h);
    }
}

double SlicesCtrl::histX() const
{
    ExLabel* d = ui->dispH_;
    d->updateScrCoord();
    d->coord()->setRealCoord(0, 0, 101, 1);
    return d->coord()->s2rx(d->mouse()->curPos().x());
}

void SlicesCtrl::mousePressedOnDispH()
{
    const MouseC* m = ui->dispH_->mouse();
    if (m->pressStat() != 0) // left button, no Shift, Ctrl or Alt
        return;
    const double x = histX();
    grab = std::abs(maxPC() - x) <= std::abs(minPC() - x) ? Grab::Upper : Grab::Lower;
}

void SlicesCtrl::mouseMovedOnDispH()
{
    const MouseC* m = ui->dispH_->mouse();
    if (!m->isPressed() || !m->pressedLeft())
        return;
    const double x = histX();
    if (grab == Grab::Lower)
        setLowerPC(x);
    else if (grab == Grab::Upper)
        setUpperPC(x);
    emit paintPImg();
}

void SlicesCtrl::mouseReleasedOnDispH()
{
    grab = Grab::None;
}

void SlicesCtrl::initNz(Vec3 nz)
{
    csN = nz;
}

void SlicesCtrl::newNz(Vec3 nz)
{
    if (!fixDir())
        csN = nz;
}
