#include "recon/widgets/sinogram.h"

#include "app/detach.h"
#include "app/fieldtext.h"
#include "display/widgets/colorbar.h"
#include "display/widgets/dispb.h"
#include "display/widgets/imgdispwpv.h"
#include "display/mousec.h"
#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "recon/widgets/procctrl.h"
#include "ui_Sinogram.h"

#include <QDebug>
#include <QEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// A check image beyond this many pixels comes from a range of a fraction
// of a degree, not from a measurement.
constexpr double maxCheckPixels = double(1 << 28);

void readLine(ImgData* img, bool rotAxIsV, int slice, double* buf)
{
    if (rotAxIsV)
        img->getLine(slice, buf);
    else
        img->getColumn(slice, buf);
}

int positiveMod(long long a, int m)
{
    const long long r = a % m;
    return int(r < 0 ? r + m : r);
}

} // namespace

int CheckImageGeom::imageOfRow(int row, bool* mirrored) const
{
    int r;
    if (alterStack) {
        *mirrored = row % 2 != 0;
        r = *mirrored ? (2 * h - 1 - row) / 2 : row / 2;
    } else {
        *mirrored = row >= h;
        r = *mirrored ? row - h : row;
    }
    return positiveMod(start + positiveMod(static_cast<long long>(yOffset) + r, h), imageCount);
}

Sinogram::Sinogram(QWidget* parent) : QFrame(parent), ui(new Ui::Sinogram)
{
    ui->setupUi(this);
    ImgDispWPV* disp = ui->DispSinogram;
    // Dragging belongs to the CoR; only the wheel zooms.
    disp->setMouseOn(false);
    connect(disp, &DispAWLayout::mouseMoved0, this, &Sinogram::mMoved);
    connect(disp, &DispAWLayout::mousePressed0, this, &Sinogram::mPressed);
    connect(disp, &DispAWLayout::mouseReleased0, this, &Sinogram::mReleased);
    connect(disp, &ImgDispWCBar::newBar, this, &Sinogram::genImage2);
    connect(ui->GuessCor, &QPushButton::clicked, this, &Sinogram::guessCor);
    connect(ui->CoR, &QLineEdit::editingFinished, this, &Sinogram::corEditingFinished);
    connect(ui->AlterStack, &QCheckBox::toggled, this, &Sinogram::genImage2);
    connect(ui->ImageOffsetY, &QLineEdit::editingFinished, this, &Sinogram::genImage2);
}

Sinogram::~Sinogram()
{
    detachChildren(this, this);
    delete ui;
}

void Sinogram::setImgDatas(const ImgDatas* s)
{
    set = s;
}

void Sinogram::setProcCtrl(ProcCtrl* ctrl)
{
    if (procCtrl)
        disconnect(procCtrl, nullptr, this, nullptr);
    procCtrl = ctrl;
    if (!ctrl)
        return;
    connect(ctrl, &ProcCtrl::corUpdated, this, &Sinogram::corUpdated);
    connect(ctrl, &ProcCtrl::autoUpdateUpdated, this, &Sinogram::autoUpdateUpdated);
    connect(ctrl, &ProcCtrl::sliceNoUpdated, this, &Sinogram::sliceNoUpdated);
    connect(ctrl, &ProcCtrl::rotAxUpdated, this, &Sinogram::rotAxUpdated);
    connect(ctrl, &ProcCtrl::angleOriginUpdated, this, &Sinogram::angleOriginUpdated);
    connect(ctrl, &ProcCtrl::dataSetRangeUpdated, this, &Sinogram::dataSetRangeUpdated);
    connect(ctrl, &ProcCtrl::usePartialDataSetUpdated, this, &Sinogram::usePartialDataSetUpdated);
    connect(ctrl, &ProcCtrl::dataSetUsingImagesUpdated, this, &Sinogram::dataSetUsingImagesUpdated);
    connect(ctrl, &ProcCtrl::dataSetStartImageNoUpdated, this, &Sinogram::dataSetStartImageNoUpdated);
    ui->CoR->setText(doubleText(ctrl->cor()));
}

ImgDispWPV* Sinogram::display() const
{
    return ui->DispSinogram;
}

bool Sinogram::alterStack() const
{
    return ui->AlterStack->isChecked();
}

int Sinogram::yOffset() const
{
    return fieldInt(ui->ImageOffsetY->text());
}

double Sinogram::guessParam() const
{
    return fieldDouble(ui->GuessParam->text());
}

void Sinogram::setAlterStack(bool f)
{
    ui->AlterStack->setChecked(f);
}

void Sinogram::setYOffset(int offset)
{
    ui->ImageOffsetY->setText(QString::number(offset));
}

SgmRange Sinogram::range() const
{
    const int n = set ? set->count() : 0;
    if (!procCtrl)
        return SgmRange{0, n};
    return SgmRange::of(procCtrl->usePartialDataSet(), procCtrl->dataSetStartImageNo(),
                        procCtrl->dataSetUsingImages(), n);
}

CheckImageGeom Sinogram::checkGeom(bool report) const
{
    CheckImageGeom g;
    if (!set || !procCtrl || set->count() == 0)
        return g;
    g.imageCount = set->count();
    g.d = lineLength(*set, procCtrl->rotAxIsV());
    const int s0 = procCtrl->startImage();
    g.start = s0 < 0 || s0 >= g.imageCount ? 0 : s0;
    g.yOffset = yOffset();
    g.alterStack = alterStack();
    const double h = std::trunc(180.0 / procCtrl->dataSetRangeDeg() * g.imageCount);
    if (!(h >= 1.0))
        return g;
    if (4.0 * h * g.d > maxCheckPixels) {
        if (report)
            qDebug().noquote() << QStringLiteral("Check image of %1 rows is too large for a range of %2 degrees; not drawn")
                                      .arg(2.0 * h)
                                      .arg(procCtrl->dataSetRangeDeg());
        return g;
    }
    g.h = int(h);
    return g;
}

bool Sinogram::checkImageValue(int k, int row, double* v) const
{
    const CheckImageGeom g = checkGeom();
    if (g.isEmpty() || k < 0 || k >= 2 * g.d || row < 0 || row >= 2 * g.h)
        return false;
    bool mirrored = false;
    const int idx = g.imageOfRow(row, &mirrored);
    std::vector<double> line(static_cast<std::size_t>(g.d));
    readLine(set->image(idx), procCtrl->rotAxIsV(), procCtrl->sliceNo(), line.data());
    const int kk = mirrored ? 2 * g.d - 1 - k : k;
    *v = interpolateLine(line.data(), g.d, procCtrl->cor() - g.d + kk);
    return true;
}

void Sinogram::drawCheckImage()
{
    if (!checkImageDrawn)
        return;
    ImgDispWPV* disp = ui->DispSinogram;
    const CheckImageGeom g = checkGeom(true);
    if (g.isEmpty()) {
        disp->setImage(QImage());
        disp->dispB()->update();
        return;
    }
    const int w = 2 * g.d;
    QImage img(w, 2 * g.h, QImage::Format_Grayscale8);
    const ColorScale& cs = disp->colorBar()->scale();
    const bool rotAxIsV = procCtrl->rotAxIsV();
    const int slice = procCtrl->sliceNo();
    const double cor = procCtrl->cor();
    std::vector<double> line(static_cast<std::size_t>(g.d)), values(static_cast<std::size_t>(w));
    std::vector<uint8_t> grey(static_cast<std::size_t>(w));
    for (int row = 0; row < 2 * g.h; ++row) {
        bool mirrored = false;
        const int idx = g.imageOfRow(row, &mirrored);
        readLine(set->image(idx), rotAxIsV, slice, line.data());
        checkImageRow(line.data(), g.d, cor, values.data());
        cs.mapToGrey(values.data(), values.size(), grey.data());
        uchar* out = img.scanLine(row);
        if (mirrored)
            std::reverse_copy(grey.begin(), grey.end(), out);
        else
            std::copy(grey.begin(), grey.end(), out);
    }
    const bool sizeChanged = disp->img().size() != img.size();
    disp->setImage(img);
    if (sizeChanged || !disp->isViewSet())
        disp->setView(QRectF(0, 0, img.width(), img.height()));
    disp->newImage();
}

void Sinogram::genImage()
{
    ColorBar* bar = ui->DispSinogram->colorBar();
    if (!bar->isFixed() && !sgm.raw.empty()) {
        const auto mm = std::minmax_element(sgm.raw.begin(), sgm.raw.end());
        bar->setMinV(*mm.first);
        bar->setMaxV(*mm.second);
    }
    drawCheckImage();
}

void Sinogram::genImage2()
{
    drawCheckImage();
}

bool Sinogram::genSinogram0(HSgm* hSgm, bool rotAxIsV, double cor, int slice)
{
    if (!hSgm)
        return false;
    if (!set) {
        hSgm->clear();
        hSgm->slice = slice;
        return false;
    }
    return ::genSinogram0(*hSgm, *set, rotAxIsV, cor, slice, range());
}

void Sinogram::genSinogram()
{
    if (!procCtrl)
        return;
    genSinogram0(&sgm, procCtrl->rotAxIsV(), procCtrl->cor(), procCtrl->sliceNo());
}

void Sinogram::genSgmImage()
{
    // Nobody sees the panel's sinogram in a run with no window, and a
    // calculation makes its own.
    if (!checkImageDrawn)
        return;
    genSinogram();
    genImage();
}

void Sinogram::corUpdated()
{
    if (procCtrl)
        ui->CoR->setText(doubleText(procCtrl->cor()));
    genSgmImage();
}

void Sinogram::autoUpdateUpdated()
{
    genSgmImage();
}

void Sinogram::sliceNoUpdated()
{
    genSgmImage();
}

void Sinogram::rotAxUpdated()
{
    genSgmImage();
}

void Sinogram::angleOriginUpdated()
{
    genImage();
}

void Sinogram::dataSetRangeUpdated()
{
    genSgmImage();
    ui->DispSinogram->newImage();
}

void Sinogram::usePartialDataSetUpdated()
{
    genSgmImage();
}

void Sinogram::dataSetUsingImagesUpdated()
{
    genSgmImage();
}

void Sinogram::dataSetStartImageNoUpdated()
{
    genSgmImage();
}

void Sinogram::corEditingFinished()
{
    if (procCtrl)
        procCtrl->setCor(fieldDouble(ui->CoR->text()));
}

void Sinogram::guessCor()
{
    if (!set || !procCtrl)
        return;
    CorGuessInput in;
    in.rotAxIsV = procCtrl->rotAxIsV();
    in.cor = procCtrl->cor();
    in.slice = procCtrl->sliceNo();
    in.startImage = procCtrl->startImage();
    in.rangeDeg = procCtrl->dataSetRangeDeg();
    in.window = guessParam();
    double cor = 0.0;
    if (::guessCor(*set, in, &cor))
        procCtrl->setCor(cor);
}

QPointF Sinogram::imagePoint(const QPoint& framePos) const
{
    // The display maps its view onto the whole frame, y downward.
    const DispB* frame = ui->DispSinogram->dispB();
    const QRectF v = ui->DispSinogram->view();
    const double w = std::max(1, frame->width());
    const double h = std::max(1, frame->height());
    return QPointF(v.x() + framePos.x() * v.width() / w, v.y() + framePos.y() * v.height() / h);
}

void Sinogram::newPos(double x, double y)
{
    const int ix = int(std::clamp(std::floor(x), -1e9, 1e9));
    const int iy = int(std::clamp(std::floor(y), -1e9, 1e9));
    ui->DispSinogram->noticedNewPos(ix, iy);
    double v = 0.0;
    if (checkImageValue(ix, iy, &v))
        ui->DispSinogram->setVal(v);
}

void Sinogram::mPressed()
{
    const MouseC* m = ui->DispSinogram->mouse();
    const auto held = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    dragging = procCtrl && m->pressButton() == Qt::LeftButton && !(m->pressModifiers() & held);
    if (!dragging)
        return;
    pressPoint = imagePoint(m->pressPos());
    corAtPress = procCtrl->cor();
    offsetAtPress = yOffset();
    pressInLowerHalf = pressPoint.y() >= ui->DispSinogram->img().height() / 2.0;
}

void Sinogram::mReleased()
{
    dragging = false;
}

void Sinogram::mMoved()
{
    const MouseC* m = ui->DispSinogram->mouse();
    const QPointF p = imagePoint(m->curPos());
    newPos(p.x(), p.y());
    if (!dragging || !m->isPressed())
        return;
    const double dx = p.x() - pressPoint.x();
    const double dy = p.y() - pressPoint.y();
    const int h = checkGeom().h;
    double off = std::trunc(offsetAtPress + dy);
    if (!std::isfinite(off))
        off = offsetAtPress;
    long long offset = static_cast<long long>(std::clamp(off, -1e15, 1e15));
    if (offset < 0 && h > 0)
        offset = positiveMod(offset, h);
    offset = std::min<long long>(offset, std::numeric_limits<int>::max());
    const bool offsetChanged = offset != yOffset();
    if (offsetChanged)
        setYOffset(int(offset));
    // Grabbing the mirrored half moves the CoR the other way.
    const double cor = corAtPress + (pressInLowerHalf ? -dx : dx);
    // A changed CoR redraws everything; a changed offset alone redraws here.
    const qint64 before = ui->DispSinogram->img().cacheKey();
    procCtrl->setCor(cor);
    if (offsetChanged && ui->DispSinogram->img().cacheKey() == before)
        genImage2();
}

void Sinogram::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QFrame::changeEvent(event);
}
