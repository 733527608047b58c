#include "control/widgets/selectdatadir.h"

#include "ui_SelectDataDir.h"

#include <QEvent>
#include <QSignalBlocker>

SelectDataDir::SelectDataDir(QWidget* parent) : QFrame(parent), ui(new Ui::SelectDataDir), list(new DataSetList(this))
{
    ui->setupUi(this);
    list->setPatternText(ui->FilePattern->text());
    connect(ui->DirSel, &SelectDir::aDirSelected, this, &SelectDataDir::aDirSelected);
    connect(ui->VKRStd, &QCheckBox::toggled, this, &SelectDataDir::changedVKRStd);
    connect(ui->FilePattern, &QLineEdit::editingFinished, this, &SelectDataDir::patternEdited);
    connect(ui->SetB, &QPushButton::clicked, this, [this] { set(); });
    connect(ui->NextB, &QPushButton::clicked, this, &SelectDataDir::next);
    // The combo box shows the list's current set; a pick in it makes that
    // set current without loading it.
    connect(ui->SetList, qOverload<int>(&QComboBox::currentIndexChanged), list, &DataSetList::setCurrentIndex);
    connect(list, &DataSetList::currentIndexChanged, this, [this](int idx) {
        const QSignalBlocker quiet(ui->SetList);
        ui->SetList->setCurrentIndex(idx);
    });
    connect(list, &DataSetList::newSets, this, [this](int items) {
        fillSetList();
        emit newSets(items);
    });
    connect(list, &DataSetList::selected, this, &SelectDataDir::selected);
    connect(list, &DataSetList::selectedFileInfoList, this, &SelectDataDir::selectedFileInfoList);
    connect(list, &DataSetList::noMoreSets, this, &SelectDataDir::noMoreSets);
}

SelectDataDir::~SelectDataDir()
{
    delete ui;
}

QString SelectDataDir::directory() const
{
    return ui->DirSel->dirName();
}

void SelectDataDir::selectDirectory(const QString& dir)
{
    ui->DirSel->selectDir(dir);
}

QString SelectDataDir::patternText() const
{
    return ui->FilePattern->text();
}

void SelectDataDir::setPatternText(const QString& text)
{
    ui->FilePattern->setText(text);
    patternEdited();
}

void SelectDataDir::patternEdited()
{
    const QString text = ui->FilePattern->text();
    if (text == list->patternText())
        return;
    list->setPatternText(text);
    if (list->isVKRStandard() && !list->directory().isEmpty())
        list->aDirSelected(list->directory());
}

bool SelectDataDir::isVKRStandard() const
{
    return ui->VKRStd->isChecked();
}

void SelectDataDir::setIsVKRStandard(bool f)
{
    ui->VKRStd->setChecked(f);
}

void SelectDataDir::changedVKRStd()
{
    list->setIsVKRStandard(ui->VKRStd->isChecked());
}

void SelectDataDir::aDirSelected(QString dir)
{
    list->aDirSelected(dir);
}

void SelectDataDir::fillSetList()
{
    const QSignalBlocker quiet(ui->SetList);
    ui->SetList->clear();
    ui->SetList->addItems(list->entryTexts());
    ui->SetList->setCurrentIndex(list->currentIndex());
}

void SelectDataDir::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QFrame::changeEvent(e);
}
