#include "input/widgets/selectdir.h"

#include "ui_SelectDir.h"

#include <QEvent>
#include <QFileDialog>

SelectDir::SelectDir(QWidget* parent) : QFrame(parent), ui(new Ui::SelectDir)
{
    ui->setupUi(this);
    connect(ui->Select, &QPushButton::clicked, this, &SelectDir::showDialog);
}

SelectDir::~SelectDir()
{
    delete ui;
}

QString SelectDir::dirName() const
{
    return ui->SelectedDir->text();
}

void SelectDir::setDirName(QString dir)
{
    ui->SelectedDir->setText(dir);
}

void SelectDir::selectDir(const QString& dir)
{
    setDialogDirectory(dir);
    dirChosen(dir);
}

void SelectDir::dirChosen(QString dir)
{
    // The field first, so that receivers of the signal can read it.
    setDirName(dir);
    emit aDirSelected(dir);
}

void SelectDir::showDialog()
{
    QFileDialog* d = dlg.renew();
    d->setWindowTitle(tr("Select a Directory"));
    d->setAcceptMode(QFileDialog::AcceptOpen);
    d->setFileMode(QFileDialog::Directory);
    d->setNameFilter(QStringLiteral("(*)"));
    connect(d, &QFileDialog::fileSelected, this, &SelectDir::dirChosen);
    d->show();
}

void SelectDir::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QFrame::changeEvent(e);
}
