// One directory chosen by the user (the data directory of a CT-XAFS
// measurement).
#pragma once

#include "app/widgets/filedialog.h"

#include <QFrame>
#include <QString>

class QFileDialog;

namespace Ui {
class SelectDir;
}

class SelectDir : public QFrame
{
    Q_OBJECT

public:
    explicit SelectDir(QWidget* parent = nullptr);
    ~SelectDir() override;

    QString dirName() const;
    // As if dir had been chosen in the dialog, which starts there from now on.
    void selectDir(const QString& dir);

    QString dialogDirectory() const { return dlg.directory(); }
    void setDialogDirectory(const QString& dir) { dlg.setDirectory(dir); }
    // The dialog opened last, null before the first opening.
    QFileDialog* dialog() const { return dlg.dialog(); }

signals:
    void aDirSelected(QString dir);

public slots:
    void setDirName(QString dir);
    void showDialog();

protected:
    void changeEvent(QEvent* e) override;

private slots:
    void dirChosen(QString dir);

private:
    Ui::SelectDir* ui;
    FileDialogSlot dlg;
};
