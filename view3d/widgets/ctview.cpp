#include "view3d/widgets/ctview.h"

#include "app/fieldtext.h"
#include "app/widgets/filedialog.h"
#include "display/chcoord.h"
#include "display/mousec.h"
#include "ui_CtView.h"
#include "view3d/widgets/slicesctrl.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <cmath>

namespace {

// Volume and section colours of the n-th set, by n mod 3.
const QColor kColourPairs[3][2] = {
    {QColor(0, 127, 127), QColor(127, 0, 0)},
    {QColor(127, 0, 127), QColor(0, 127, 0)},
    {QColor(127, 127, 0), QColor(0, 0, 127)},
};

} // namespace

CtView::CtView(const QString& dir, QWidget* parent) : QFrame(parent), ui(new Ui::CtView), dir(dir)
{
    registerVec3MetaType();
    ui->setupUi(this);
    for (const QByteArray& f : QImageWriter::supportedImageFormats())
        rasterFmts << QString::fromLatin1(f).toLower();
    ui->saveImage_->setToolTip(tr("Supported File Types are : %1\n and also SVG.").arg(rasterFmts.join(QLatin1Char(' '))));

    // The view turns the frame itself; the display's own pan and zoom would
    // only move the coordinates it is asked for.
    ui->dispA_->coord()->setWheelZoom(false);
    renderTimer.setSingleShot(true);
    renderTimer.setInterval(0);
    connect(&renderTimer, &QTimer::timeout, this, &CtView::renderNow);

    connect(ui->addSliceSet_, &QPushButton::clicked, this, &CtView::addSliceSet);
    connect(ui->dispA_, &DispA::drawImage2, this, &CtView::draw);
    MouseC* m = ui->dispA_->mouse();
    connect(m, &MouseC::mPressed, this, &CtView::mousePressedOnDataDisp);
    connect(m, &MouseC::mMoved, this, &CtView::mouseMovedOnDataDisp);
    connect(m, &MouseC::mReleased, this, &CtView::mouseReleasedOnDataDisp);
    connect(m, &MouseC::wMoved, this, &CtView::wheelMovedOnDataDisp);
    connect(ui->saveImage_, &QPushButton::clicked, this, &CtView::showSaveImageD);
    emit initNz(frame.nz);
    addSliceSet();
}

CtView::~CtView()
{
    delete saveDlg;
    qDeleteAll(sets); // each stops its loading thread
    delete ui;
}

SlicesCtrl* CtView::addSliceSet()
{
    const int n = int(sets.size());
    auto* s = new SlicesCtrl(dir, ui->slicesCtrls_);
    s->setVColor(kColourPairs[n % 3][0]);
    s->setSColor(kColourPairs[n % 3][1]);
    s->setShowTexts(tr("Show Setup %1").arg(n + 1));
    if (n > 0)
        s->setAlphaText(QStringLiteral("128"));
    connect(s, &SlicesCtrl::paintPImg, this, &CtView::paintPImg);
    connect(s, &SlicesCtrl::changedSliderStat, this, &CtView::changedSliderStat);
    connect(this, &CtView::initNz, s, &SlicesCtrl::initNz);
    connect(this, &CtView::newNz, s, &SlicesCtrl::newNz);
    s->setCsNormal(frame.nz);
    ui->slicesCtrlsLayout_->addWidget(s, n, 0);
    sets.append(s);
    return s;
}

int CtView::imgWidth() const { return fieldInt(ui->imgPixWidth_->text()); }
int CtView::imgHeight() const { return fieldInt(ui->imgPixHeight_->text()); }

void CtView::setImgSize(int w, int h)
{
    ui->imgPixWidth_->setText(QString::number(w));
    ui->imgPixHeight_->setText(QString::number(h));
}

MipCaster CtView::caster() const
{
    MipCaster c;
    c.view = frame;
    c.width = imgWidth();
    c.height = imgHeight();
    for (const SlicesCtrl* s : sets) {
        const MipSet m = s->mipSet();
        if (m.stack)
            c.sets.append(m);
    }
    return c;
}

void CtView::paintPImg()
{
    if (!renderTimer.isActive())
        renderTimer.start();
}

void CtView::renderNow()
{
    renderTimer.stop();
    const MipCaster c = caster();
    if (c.width > kMaxImgSide || c.height > kMaxImgSide) {
        qDebug().noquote() << QStringLiteral("Picture size %1 x %2 is too large (at most %3 a side)")
                                  .arg(c.width).arg(c.height).arg(kMaxImgSide);
        pImg = QImage();
    } else {
        pImg = c.render();
    }
    ++renders;
    ui->dispA_->update();
    emit rendered();
}

void CtView::draw(QPainter* p)
{
    if (pImg.isNull())
        return;
    for (const SlicesCtrl* s : sets) {
        if (s->stack() && s->stack()->loaded) {
            p->drawImage(QRect(0, 0, ui->dispA_->width(), ui->dispA_->height()), pImg);
            return;
        }
    }
}

void CtView::turned()
{
    emit newNz(frame.nz);
    paintPImg();
}

void CtView::updateNvs(Vec3 rax, double th)
{
    frame.updateNvs(rax, th);
    turned();
}

bool CtView::turnAbout(Vec3 axis, double deg)
{
    if (!frame.turnAbout(axis, deg))
        return false;
    turned();
    return true;
}

void CtView::changedSliderStat()
{
    auto* from = qobject_cast<SlicesCtrl*>(sender());
    if (from && ui->linkCSection_->isChecked()) {
        for (SlicesCtrl* s : sets) {
            if (s == from)
                continue;
            if (s->sliderValue() != from->sliderValue())
                s->setSliderValue(from->sliderValue());
            if (s->fixDir() != from->fixDir())
                s->setFixDir(from->fixDir());
        }
    }
    paintPImg();
}

void CtView::normalisedPointer(double* x, double* y) const
{
    // Set as the display's paint does, so a press before any paint counts too.
    DispA* d = ui->dispA_;
    ChCoord* cc = d->coord();
    cc->setScrCoord(0, d->height() - 1, d->width() - 1, 0);
    cc->setRealCoord(0, 0, 1, 1);
    const QPoint at = d->mouse()->curPos();
    *x = cc->s2rx(at.x());
    *y = cc->s2ry(at.y());
}

void CtView::mousePressedOnDataDisp()
{
    normalisedPointer(&lastX, &lastY);
    const int stat = ui->dispA_->mouse()->pressStat();
    if (stat == 8 || stat == 1) { // right alone, left with Shift
        drag = Drag::Pan;
    } else if (stat == 0) {
        drag = Drag::Rotate;
        if (lastY > 0.85)
            rotMode = RotMode::Top;
        else if (lastY < 0.15)
            rotMode = RotMode::Bottom;
        else if (lastX > 0.85)
            rotMode = RotMode::Right;
        else if (lastX < 0.15)
            rotMode = RotMode::Left;
        else
            rotMode = RotMode::Free;
    } else {
        drag = Drag::None;
    }
}

void CtView::mouseMovedOnDataDisp()
{
    double x = 0.0;
    double y = 0.0;
    normalisedPointer(&x, &y);
    const double dx = x - lastX;
    const double dy = y - lastY;
    lastX = x;
    lastY = y;
    if (drag == Drag::Pan) {
        frame.pan(dx, dy, pImg.isNull() ? imgWidth() : pImg.width(), pImg.isNull() ? imgHeight() : pImg.height());
        paintPImg();
    } else if (drag == Drag::Rotate) {
        switch (rotMode) {
        case RotMode::Free:
            if (frame.dragTurn(dx, dy))
                turned();
            break;
        case RotMode::Left: updateNvs(frame.nz, M_PI * dy); break;
        case RotMode::Right: updateNvs(frame.nz, -M_PI * dy); break;
        case RotMode::Top: updateNvs(frame.nz, M_PI * dx); break;
        case RotMode::Bottom: updateNvs(frame.nz, -M_PI * dx); break;
        }
    }
}

void CtView::mouseReleasedOnDataDisp()
{
    drag = Drag::None;
}

void CtView::wheelMovedOnDataDisp(int step)
{
    frame.zoom(step);
    paintPImg();
}

void CtView::showSaveImageD()
{
    delete saveDlg;
    saveDlg = new QFileDialog(nullptr, QString(), dir);
    saveDlg->setAcceptMode(QFileDialog::AcceptSave);
    saveDlg->setNameFilter(tr("Any (* *.*)"));
    saveDlg->setOption(QFileDialog::DontUseNativeDialog, !useNativeDialogs());
    connect(saveDlg, &QFileDialog::fileSelected, this, &CtView::saveImage);
    saveDlg->show();
}

bool CtView::saveImage(const QString& fname)
{
    if (saveDlg)
        dir = saveDlg->directory().absolutePath();
    const QString suffix = QFileInfo(fname).suffix().toLower();
    const bool svg = suffix == QLatin1String("svg");
    if (!svg && !rasterFmts.contains(suffix))
        return false; // not an image type: nothing is written
    if (imgWidth() > kMaxImgSide || imgHeight() > kMaxImgSide) {
        qDebug().noquote() << QStringLiteral("Picture size %1 x %2 is too large to save : %3")
                                  .arg(imgWidth()).arg(imgHeight()).arg(fname);
        return false;
    }
    if (svg)
        return caster().saveSvg(fname);
    renderNow();
    qDebug() << "saving" << fname;
    if (pImg.isNull() || !pImg.save(fname, suffix.toLatin1().constData())) {
        qDebug().noquote() << QStringLiteral("Can't save image : %1").arg(fname);
        return false;
    }
    return true;
}

void CtView::closeEvent(QCloseEvent* e)
{
    emit finishing();
    QFrame::closeEvent(e);
}
