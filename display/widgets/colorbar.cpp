#include "display/widgets/colorbar.h"

#include "display/chcoord.h"
#include "display/drawtext.h"
#include "display/mousec.h"
#include "ui_CBarUI.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

ColorBar::ColorBar(QWidget* parent)
    : DispB(parent), textDrawer(new DrawText(this)), ui(new Ui::CBarUI), uiFrame(new QFrame)
{
    ui->setupUi(uiFrame);
    connect(this, &DispB::drawImage1, this, &ColorBar::draw1);
    connect(this, &DispB::mouseMoved0, this, &ColorBar::onMouseMoved);
    connect(this, &DispB::mousePressed0, this, &ColorBar::onMousePressed);
    connect(this, &DispB::mouseReleased0, this, &ColorBar::onMouseReleased);
    connect(ui->CMinLE, &QLineEdit::editingFinished, this, &ColorBar::minVEdited);
    connect(ui->CMaxLE, &QLineEdit::editingFinished, this, &ColorBar::maxVEdited);
}

ColorBar::~ColorBar()
{
    // Until an owner places the controls in a layout nobody else owns them.
    if (uiFrame && !uiFrame->parent())
        delete uiFrame;
    delete ui;
}

void ColorBar::setMinV(double v)
{
    cs.vmin = v;
    ui->CMinLE->setText(QString::number(v, 'g', 6));
}

void ColorBar::setMaxV(double v)
{
    cs.vmax = v;
    ui->CMaxLE->setText(QString::number(v, 'g', 6));
}

bool ColorBar::isFixed() const
{
    return ui->CFix->isChecked();
}

QCheckBox* ColorBar::fixBox() const
{
    return ui->CFix;
}

void ColorBar::setFixColorScale(bool f)
{
    ui->CFix->setChecked(f);
}

void ColorBar::minVEdited()
{
    cs.vmin = ui->CMinLE->text().toDouble(); // 0 for a text that is no number
    emit newBar();
}

void ColorBar::maxVEdited()
{
    cs.vmax = ui->CMaxLE->text().toDouble();
    emit newBar();
}

void ColorBar::draw1(QPainter* p)
{
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0)
        return;
    // Ramp, bottom row first.
    for (int i = 0; i < h; ++i) {
        const int g = cs.levelOfFraction(double(i) / h);
        p->setPen(QColor(g, g, g));
        p->drawLine(0, h - 1 - i, w, h - 1 - i);
    }
    p->setPen(QColor(0, 192, 255));
    const int yHi = truncToInt((1.0 - cs.hi) * h);
    const int yLo = truncToInt((1.0 - cs.lo) * h);
    p->drawLine(0, yHi, w, yHi);
    p->drawLine(0, yLo, w, yLo);

    p->setPen(QColor(0, 255, 192));
    const QFont f = font();
    const QSizeF box(95, w);
    const int vc = Qt::AlignVCenter;
    textDrawer->drawText(p, 90, QPointF(w / 2, 50), box, f, Qt::AlignLeft | vc, 1,
                         QString::number(cs.vmax, 'g', 6), 10.0);
    textDrawer->drawText(p, 90, QPointF(w / 2, h - 50), box, f, Qt::AlignRight | vc, 1,
                         QString::number(cs.vmin, 'g', 6), 10.0);
    if (grabbed) {
        const double m = grabbedMarker == Marker::Lo ? cs.lo : cs.hi;
        const double v = cs.vmin + (cs.vmax - cs.vmin) * m;
        textDrawer->drawText(p, 90, QPointF(w / 2, h / 2), box, f, Qt::AlignRight | vc, 1,
                             QString::number(v, 'g', 6), 10.0);
    }
}

double ColorBar::fractionAt(int y) const
{
    const int h = height();
    return h > 0 ? double(h - y) / h : 0.0;
}

void ColorBar::onMousePressed()
{
    const double t = fractionAt(mouse()->curPos().y());
    const double dLo = std::abs(cs.lo - t);
    const double dHi = std::abs(cs.hi - t);
    if (dLo > dHi) {
        grabbed = true;
        grabbedMarker = Marker::Hi;
    } else if (dHi > dLo) {
        grabbed = true;
        grabbedMarker = Marker::Lo;
    } else {
        grabbed = false; // a tie grabs nothing
    }
}

void ColorBar::onMouseMoved()
{
    if (!mouse()->isPressed())
        return;
    if (grabbed)
        marker(grabbedMarker) = fractionAt(mouse()->curPos().y());
    update();
    emit newBar();
}

void ColorBar::onMouseReleased()
{
    grabbed = false;
    update();
}

void ColorBar::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange && uiFrame)
        ui->retranslateUi(uiFrame);
    DispB::changeEvent(e);
}
