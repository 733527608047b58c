#include "input/widgets/selectafile.h"

#include "ui_SelectAFile.h"

#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>

const char* const SelectAFile::neutralStyle = "background-color: rgb(255, 255, 233);";
const char* const SelectAFile::goodStyle = "background-color: rgb(211, 255, 241);";
const char* const SelectAFile::badStyle = "background-color: rgb(255, 192, 192);";

bool makeDirectory(const QString& dir)
{
    if (QDir().mkpath(dir))
        return true;
    qDebug().noquote() << QStringLiteral("Can't create directory : ") + dir;
    return false;
}

SelectAFile::SelectAFile(QWidget* parent)
    : QFrame(parent), ui(new Ui::SelectAFile)
{
    ui->setupUi(this);
    setNameTagVisible(false);
    connect(ui->Select, &QPushButton::clicked, this, &SelectAFile::showDialog);
    connect(ui->Clear, &QPushButton::clicked, this, &SelectAFile::clear0);
}

SelectAFile::~SelectAFile()
{
    delete ui;
}

void SelectAFile::setMode(int m)
{
    fileMode = m == 1 ? 1 : 0;
    if (dlg.dialog())
        configureDialog(dlg.dialog());
}

QString SelectAFile::filePath() const
{
    return ui->FilePath->text();
}

QString SelectAFile::name() const
{
    return ui->Name->text();
}

QString SelectAFile::tag() const
{
    return ui->AddTag->text();
}

void SelectAFile::setName(const QString& name)
{
    ui->Name->setText(name);
}

void SelectAFile::setTag(const QString& tag)
{
    ui->AddTag->setText(tag);
}

bool SelectAFile::setDir(const QString& dir)
{
    const QString path = dir.isEmpty() ? QString() : QDir::cleanPath(QDir(dir).absolutePath());
    ui->FilePath->setText(path);
    if (fileMode != 1 || path.isEmpty())
        return true;
    const bool made = makeDirectory(path);
    if (!made)
        setStat(false);
    return made;
}

void SelectAFile::setNameTagVisible(bool f)
{
    ui->Name->setVisible(f);
    ui->AddTag->setVisible(f);
}

void SelectAFile::setStat(bool f)
{
    ui->FilePath->setStyleSheet(QLatin1String(f ? goodStyle : badStyle));
}

void SelectAFile::resetStat()
{
    ui->FilePath->setStyleSheet(QLatin1String(neutralStyle));
}

void SelectAFile::fileSelected0(QString fname)
{
    const QFileInfo info(fname);
    if (fileMode == 1) {
        const QString dir = fname.isEmpty() ? QString() : info.absolutePath();
        ui->FilePath->setText(dir);
        if (!dir.isEmpty() && !makeDirectory(dir))
            setStat(false);
    } else {
        ui->FilePath->setText(fname);
    }
    // Only the last suffix goes, so "scan.v2.dat" keeps the name "scan.v2".
    ui->Name->setText(info.completeBaseName());
    emit fileSelected(fname);
}

void SelectAFile::clear0()
{
    ui->FilePath->clear();
    ui->Name->clear();
    emit clear();
}

void SelectAFile::showDialog()
{
    QFileDialog* d = dlg.renew();
    configureDialog(d);
    connect(d, &QFileDialog::fileSelected, this, &SelectAFile::fileSelected0);
    d->show();
}

void SelectAFile::configureDialog(QFileDialog* d) const
{
    if (fileMode == 1) {
        d->setWindowTitle(tr("Choose a File Name to Save"));
        d->setAcceptMode(QFileDialog::AcceptSave);
        d->setFileMode(QFileDialog::AnyFile);
        // Only the directory of the name is taken, so an existing file is
        // no reason to ask.
        d->setOption(QFileDialog::DontConfirmOverwrite, true);
        d->setNameFilters({tr("Any file (* *.*)")});
    } else {
        d->setWindowTitle(tr("Select a File"));
        d->setAcceptMode(QFileDialog::AcceptOpen);
        d->setFileMode(QFileDialog::ExistingFile);
        d->setOption(QFileDialog::DontConfirmOverwrite, false);
        d->setNameFilters({tr("Img file (*.img)"), tr("Tiff file (*.tif *.tiff)"), tr("Any file (* *.*)")});
    }
}

QGridLayout* SelectAFile::grid() const
{
    return ui->gridLayout;
}

void SelectAFile::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QFrame::changeEvent(e);
}
