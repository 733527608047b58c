#include "recon/widgets/ctrespanel.h"

#include "app/detach.h"
#include "display/widgets/colorbar.h"
#include "display/widgets/imgdispwpv.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace {

const QString timeFormat = QStringLiteral("hh:mm:ss.zzz");

// NaN counts as equal to NaN, so a NaN region is announced once, not for ever.
bool sameRegion(const std::array<double, 4>& a, const std::array<double, 4>& b)
{
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
            return false;
    return true;
}

void writeFields(const std::array<QLineEdit*, 4>& fields, const std::array<double, 4>& v)
{
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i])
            fields[i]->setText(QString::number(v[i], 'g', 6));
}

} // namespace

CtResPanel::CtResPanel(QWidget* parent) : QFrame(parent) {}

CtResPanel::~CtResPanel()
{
    detachChildren(this, this);
}

void CtResPanel::attach(const Widgets& widgets)
{
    w = widgets;
    writeFields(w.dispRegion, dr);
    writeFields(w.calcRegion, cr);
    connect(w.disp, &ImgDisp::newS, this, &CtResPanel::noticedNewS);
    connect(w.disp, &ImgDispWPV::newPosInvY, this, &CtResPanel::noticedNewPos);
    connect(w.disp, &ImgDispWCBar::newBar, this, [this] { colorScaleChanged(true); });
    connect(w.disp->fixBox(), &QCheckBox::toggled, this, [this] { colorScaleChanged(false); });
    connect(w.setCRegion, &QPushButton::clicked, this, &CtResPanel::setCRegion);
    for (QLineEdit* f : w.dispRegion)
        connect(f, &QLineEdit::editingFinished, this, [this] { regionFieldsEdited(false); });
    for (QLineEdit* f : w.calcRegion)
        connect(f, &QLineEdit::editingFinished, this, [this] { regionFieldsEdited(true); });
}

void CtResPanel::regionFieldsEdited(bool calc)
{
    const auto& fields = calc ? w.calcRegion : w.dispRegion;
    // Leaving a field without typing changes nothing; its text is rounded
    // to 6 digits and would otherwise nudge the region.
    bool typed = false;
    std::array<double, 4> v{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        typed = typed || fields[i]->isModified();
        fields[i]->setModified(false);
        v[i] = fields[i]->text().toDouble();
    }
    if (!typed)
        return;
    if (calc)
        setCR(v[0], v[1], v[2], v[3]);
    else
        setDR(v[0], v[1], v[2], v[3]);
}

void CtResPanel::noticedNewPos(double x, double z)
{
    readValue(x, z);
}

void CtResPanel::noticedNewS(QRectF s)
{
    setDR(s.x(), s.y(), s.x() + s.width(), s.y() + s.height());
}

void CtResPanel::setCRegion()
{
    setCR(std::floor(dr[0]), std::floor(dr[1]), std::ceil(dr[2]), std::ceil(dr[3]));
}

void CtResPanel::showStartTime(const QDateTime& t)
{
    startT = t;
    w.startT->setText(t.toString(timeFormat));
}

void CtResPanel::showEndTime(const QDateTime& t)
{
    endT = t;
    w.endT->setText(t.toString(timeFormat));
}

void CtResPanel::showSpentT()
{
    w.spentT->setText(QString::number(startT.msecsTo(endT) / 1000.0, 'g', 6));
}

void CtResPanel::showSliceNo(int no)
{
    w.sliceNo->setText(QString::number(no));
}

void CtResPanel::newImage()
{
    w.disp->newImage();
}

void CtResPanel::saveImage(QString fname)
{
    w.disp->saveImage(fname);
}

void CtResPanel::setCR(double rx0, double rz0, double rx1, double rz1)
{
    const std::array<double, 4> v{rx0, rz0, rx1, rz1};
    writeFields(w.calcRegion, v);
    if (sameRegion(v, cr))
        return;
    cr = v;
    crSet = true;
    emit cRUpdated(rx0, rz0, rx1, rz1);
}

void CtResPanel::setDR(double rx0, double rz0, double rx1, double rz1)
{
    const std::array<double, 4> v{rx0, rz0, rx1, rz1};
    writeFields(w.dispRegion, v);
    if (sameRegion(v, dr))
        return;
    dr = v;
    w.disp->setView(QRectF(rx0, rz0, rx1 - rx0, rz1 - rz0));
    emit dRUpdated(rx0, rz0, rx1, rz1);
}

void CtResPanel::setFixColorScale(bool f)
{
    w.disp->colorBar()->setFixColorScale(f);
}

void CtResPanel::setCBarMinMaxForced(double min, double max)
{
    w.disp->setMinV(min);
    w.disp->setMaxV(max);
    w.disp->colorBar()->update();
    colorScaleChanged(true);
}
