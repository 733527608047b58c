// The data-directory panel of CT-XAFS runs: a directory, a file pattern and
// the choice between sub-directories and the standard naming, the list of
// data sets found there, and Set / Next. The sets themselves and which one
// is current live in the DataSetList it holds.
#pragma once

#include "control/datasetlist.h"

#include <QFileInfoList>
#include <QFrame>
#include <QString>
#include <QStringList>

namespace Ui {
class SelectDataDir;
}

class SelectDataDir : public QFrame
{
    Q_OBJECT

public:
    explicit SelectDataDir(QWidget* parent = nullptr);
    ~SelectDataDir() override;

    DataSetList* dataSets() const { return list; }

    QString directory() const;
    // As if dir had been chosen in the dialog, which starts there from now on.
    void selectDirectory(const QString& dir);
    QString patternText() const;
    // In the standard naming the sets are found again with the new pattern.
    void setPatternText(const QString& text);
    bool isVKRStandard() const;

    bool stepNext() { return list->stepNext(); }
    QString currentSetTag() const { return list->currentSetTag(); }
    double currentEnergy() const { return list->currentEnergy(); }

signals:
    void newSets(int items);
    void selected(QString dir, QStringList patterns);
    void selectedFileInfoList(QFileInfoList fileInfos);
    void noMoreSets();

public slots:
    void setIsVKRStandard(bool f);
    bool set() { return list->set(); }
    void next() { list->next(); }
    void setFirstSet(int firstIdx) { list->setFirstSet(firstIdx); }
    void setNextSet(int lastIdx) { list->setNextSet(lastIdx); }

protected:
    void changeEvent(QEvent* e) override;

private slots:
    void aDirSelected(QString dir);
    void changedVKRStd();
    void patternEdited();

private:
    void fillSetList();

    Ui::SelectDataDir* ui;
    DataSetList* list;
};
