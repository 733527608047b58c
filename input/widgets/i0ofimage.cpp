#include "input/widgets/i0ofimage.h"

#include "input/widgets/selectafile.h"
#include "ui_I0ofImage.h"

#include <QEvent>

I0ofImage::I0ofImage(QWidget* parent) : QFrame(parent), ui(new Ui::I0ofImage)
{
    ui->setupUi(this);
}

I0ofImage::~I0ofImage()
{
    delete ui;
}

double I0ofImage::i0Val() const
{
    return ui->I0Val->text().toDouble();
}

void I0ofImage::setI0Val(double v)
{
    ui->I0Val->setText(QString::number(v, 'g', 6));
}

bool I0ofImage::calcFromXafs() const
{
    return ui->CalcFromXAFS->isChecked();
}

void I0ofImage::setCalcFromXafs(bool f)
{
    ui->CalcFromXAFS->setChecked(f);
}

SelectAFile* I0ofImage::xafsFile() const
{
    return ui->XafsFile;
}

QString I0ofImage::engPattern() const
{
    return ui->EngPattern->text();
}

void I0ofImage::setEngPattern(const QString& pattern)
{
    ui->EngPattern->setText(pattern);
}

void I0ofImage::setTitle(const QString& text)
{
    ownTitle = text;
    ui->Title->setText(text);
}

QString I0ofImage::title() const
{
    return ui->Title->text();
}

void I0ofImage::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        if (!ownTitle.isNull())
            ui->Title->setText(ownTitle);
    }
    QFrame::changeEvent(e);
}
