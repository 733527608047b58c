#include "input/widgets/selectdatafiles.h"

#include "ui_SelectDataFiles.h"

#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QFileDialog>

SelectDataFiles::SelectDataFiles(QWidget* parent) : QFrame(parent), ui(new Ui::SelectDataFiles)
{
    ui->setupUi(this);
    connect(ui->Select, &QPushButton::clicked, this, &SelectDataFiles::showDialog);
    connect(ui->Clear, &QPushButton::clicked, this, &SelectDataFiles::clearFiles);
    connect(ui->Selected, &QComboBox::currentIndexChanged, this, &SelectDataFiles::currentIndexChanged);
}

SelectDataFiles::~SelectDataFiles()
{
    delete ui;
}

void SelectDataFiles::showDialog()
{
    QFileDialog* d = dlg.renew();
    d->setWindowTitle(tr("Select Data Files"));
    d->setAcceptMode(QFileDialog::AcceptOpen);
    d->setFileMode(QFileDialog::ExistingFiles);
    d->setNameFilters({tr("Itex File (*.img *.his)"), tr("Tiff File (*.tif *.tiff)"), tr("Any Files (* *.*)")});
    connect(d, &QFileDialog::filesSelected, this, &SelectDataFiles::handOver);
    d->show();
}

void SelectDataFiles::handOver(const QStringList& files)
{
    const bool newFiles = isNewOnLoad();
    if (newFiles)
        clearFiles();
    if (!isMulti() || files.isEmpty()) {
        emit filesSelected(files, newFiles);
        return;
    }
    int n = multiTimes();
    if (n > maxMultiTimes) {
        qDebug().noquote() << QStringLiteral("Multi. count out of range (at most %1) : %2").arg(maxMultiTimes).arg(n);
        n = 0;
    }
    QStringList copies;
    if (n > 0) {
        copies.reserve(n);
        for (int i = 0; i < n; ++i)
            copies.append(files.first());
    }
    emit filesSelected(copies, newFiles);
}

void SelectDataFiles::selectFilesIn(const QString& dir, const QStringList& patterns)
{
    setDialogDirectory(dir);
    // Files only: "." and sub-directories are no projections.
    const QDir d(dir);
    const QStringList names = d.entryList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (names.isEmpty())
        qDebug().noquote() << QStringLiteral("No files match %1 in %2").arg(patterns.join(QLatin1Char(' ')), dir);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names)
        paths.append(d.absoluteFilePath(name));
    handOver(paths);
}

void SelectDataFiles::selectFileInfos(const QFileInfoList& list)
{
    QStringList paths;
    paths.reserve(list.size());
    for (const QFileInfo& info : list)
        paths.append(info.absoluteFilePath());
    handOver(paths);
}

void SelectDataFiles::clearFiles()
{
    ui->Selected->clear();
    ui->Count->setText(QStringLiteral("0"));
    emit filesCleared();
}

void SelectDataFiles::addFile(const QString& name)
{
    ui->Selected->addItem(name);
    ui->Count->setText(QString::number(ui->Selected->count()));
}

void SelectDataFiles::addFiles(const QStringList& names)
{
    if (names.isEmpty())
        return;
    ui->Selected->addItems(names);
    ui->Count->setText(QString::number(ui->Selected->count()));
}

void SelectDataFiles::prev()
{
    const int i = ui->Selected->currentIndex();
    if (i >= 1)
        ui->Selected->setCurrentIndex(i - 1);
}

void SelectDataFiles::next()
{
    const int i = ui->Selected->currentIndex();
    if (i < ui->Selected->count() - 1)
        ui->Selected->setCurrentIndex(i + 1);
}

void SelectDataFiles::select(int idx)
{
    if (idx >= 0 && idx < ui->Selected->count())
        ui->Selected->setCurrentIndex(idx);
}

void SelectDataFiles::setExpTime(double time)
{
    ui->ExpTime->setText(QString::number(time, 'g', 6));
}

double SelectDataFiles::expTime() const
{
    return ui->ExpTime->text().toDouble();
}

void SelectDataFiles::setSimpleMode(bool f)
{
    simple = f;
    for (QWidget* w : {static_cast<QWidget*>(ui->LoadNewFiles), static_cast<QWidget*>(ui->AddFiles),
                       static_cast<QWidget*>(ui->KeepConditions), static_cast<QWidget*>(ui->LoadMultiTimes),
                       static_cast<QWidget*>(ui->MultiTimes), static_cast<QWidget*>(ui->line)})
        w->setHidden(f);
    if (f)
        ui->LoadNewFiles->setChecked(true);
}

int SelectDataFiles::count() const
{
    return ui->Selected->count();
}

int SelectDataFiles::currentIndex() const
{
    return ui->Selected->currentIndex();
}

QString SelectDataFiles::entry(int idx) const
{
    return ui->Selected->itemText(idx);
}

QStringList SelectDataFiles::entries() const
{
    QStringList list;
    list.reserve(count());
    for (int i = 0; i < count(); ++i)
        list.append(entry(i));
    return list;
}

bool SelectDataFiles::isNewOnLoad() const
{
    return ui->LoadNewFiles->isChecked();
}

void SelectDataFiles::setNewOnLoad(bool f)
{
    (f ? ui->LoadNewFiles : ui->AddFiles)->setChecked(true);
}

bool SelectDataFiles::isMulti() const
{
    return ui->LoadMultiTimes->isChecked();
}

void SelectDataFiles::setMulti(bool f)
{
    ui->LoadMultiTimes->setChecked(f);
}

int SelectDataFiles::multiTimes() const
{
    return ui->MultiTimes->text().toInt();
}

void SelectDataFiles::setMultiTimes(int n)
{
    ui->MultiTimes->setText(QString::number(n));
}

bool SelectDataFiles::keepConditions() const
{
    return ui->KeepConditions->isChecked();
}

void SelectDataFiles::setKeepConditions(bool f)
{
    ui->KeepConditions->setChecked(f);
}

QString SelectDataFiles::fileSuffix() const
{
    return ui->Extention->text();
}

void SelectDataFiles::setFileSuffix(const QString& suffix)
{
    ui->Extention->setText(suffix);
}

void SelectDataFiles::setTitle(const QString& text)
{
    ownTitle = text;
    ui->Title->setText(text);
}

void SelectDataFiles::setSelectText(const QString& text)
{
    ownSelectText = text;
    ui->Select->setText(text);
}

void SelectDataFiles::applyOwnerTexts()
{
    if (!ownTitle.isNull())
        ui->Title->setText(ownTitle);
    if (!ownSelectText.isNull())
        ui->Select->setText(ownSelectText);
}

void SelectDataFiles::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        applyOwnerTexts();
    }
    QFrame::changeEvent(e);
}
