// One file chosen by the user: an existing file to open (mode 0) or a place
// to save to (mode 1), whose directory is then made ready. The flat and dark
// image panels, the auto-save selectors and the XAFS file of the I0 panels
// are built on it.
#pragma once

#include "app/widgets/filedialog.h"

#include <QFrame>
#include <QString>

class QFileDialog;
class QGridLayout;

namespace Ui {
class SelectAFile;
}

class SelectAFile : public QFrame
{
    Q_OBJECT

public:
    explicit SelectAFile(QWidget* parent = nullptr);
    ~SelectAFile() override;

    // 0: open one existing file; 1: choose a save location.
    void setMode(int m);
    int mode() const { return fileMode; }

    QString filePath() const;
    QString name() const;
    QString tag() const;
    void setName(const QString& name);
    void setTag(const QString& tag);
    // Puts dir itself (not its parent) into FilePath; in save mode the
    // directory is created with its parents. False when that fails.
    bool setDir(const QString& dir);
    // Name and AddTag belong to save locations and start hidden.
    void setNameTagVisible(bool f);

    // Where the next dialog starts: dataRoot() at first, then the
    // directory the last dialog was left in.
    QString dialogDirectory() const { return dlg.directory(); }
    void setDialogDirectory(const QString& dir) { dlg.setDirectory(dir); }
    // The dialog opened last, null before the first opening.
    QFileDialog* dialog() const { return dlg.dialog(); }

    static const char* const neutralStyle;
    static const char* const goodStyle;
    static const char* const badStyle;

signals:
    void fileSelected(QString fname);
    void clear();

public slots:
    void setStat(bool f);
    void fileSelected0(QString fname);
    void clear0();
    // Opens a new non-modal dialog in place of the previous one.
    void showDialog();

protected:
    void changeEvent(QEvent* e) override;
    // The form's grid; panels built on this one add their rows to it.
    QGridLayout* grid() const;
    void resetStat();

private:
    void configureDialog(QFileDialog* d) const;

    Ui::SelectAFile* ui;
    int fileMode = 0;
    FileDialogSlot dlg;
};

// Creates dir with its missing parents; one diagnostic line on failure.
bool makeDirectory(const QString& dir);
