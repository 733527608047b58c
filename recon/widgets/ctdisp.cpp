#include "recon/widgets/ctdisp.h"

#include "display/widgets/imgdisp.h"
#include "mainwindow/framing/seekctrl.h"
#include "ui_CtDisp.h"

#include <QEvent>

CtDisp::CtDisp(QWidget* parent) : QFrame(parent), ui(new Ui::CtDisp)
{
    ui->setupUi(this);
    connect(ui->seeker_, &SeekCtrl::newIndex, this, &CtDisp::showImg);
}

CtDisp::~CtDisp()
{
    disconnect(ui->seeker_, nullptr, this, nullptr);
    delete ui;
}

ImgDisp* CtDisp::display() const
{
    return ui->dispA_;
}

SeekCtrl* CtDisp::seeker() const
{
    return ui->seeker_;
}

void CtDisp::clear()
{
    entries.clear();
    shown = -1;
    ui->seeker_->setMaximum(0);
}

void CtDisp::addImg(int no, const QImage& img)
{
    entries.append(Entry{no, img});
    for (qsizetype i = entries.size() - 1; i > 0 && entries[i].no < entries[i - 1].no; --i)
        entries.swapItemsAt(i, i - 1);
    const int last = count() - 1;
    ui->seeker_->setMaximum(last);
    ui->seeker_->setIndex(last);
    // The index may not have moved (the list was cleared), the entry has.
    showImg(last);
}

void CtDisp::showImg(int idx)
{
    if (idx < 0 || idx >= count())
        return;
    shown = idx;
    ui->dispA_->setImage(entries.at(idx).img);
    ui->dispA_->newImage();
}

QList<QImage> CtDisp::getQImages() const
{
    QList<QImage> out;
    out.reserve(entries.size());
    for (const Entry& e : entries)
        out.append(e.img);
    return out;
}

void CtDisp::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QFrame::changeEvent(event);
}
