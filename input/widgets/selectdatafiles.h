// The file list of a data set: the projections (the main window's CTFiles)
// or the CT-XAFS I0 files (SelI0Files). The panel only chooses files; its
// owner loads what filesSelected hands over and puts every image that
// loaded back into the list with addFile.
#pragma once

#include "app/widgets/filedialog.h"

#include <QFileInfoList>
#include <QFrame>
#include <QString>
#include <QStringList>

class QFileDialog;

namespace Ui {
class SelectDataFiles;
}

class SelectDataFiles : public QFrame
{
    Q_OBJECT

public:
    explicit SelectDataFiles(QWidget* parent = nullptr);
    ~SelectDataFiles() override;

    // Larger "Multi." counts are taken for typing errors: they would only
    // exhaust the memory of the loader.
    static constexpr int maxMultiTimes = 100000;

    void addFile(const QString& name);
    void addFiles(const QStringList& names);
    // Hands over the files of dir whose names match patterns (every file
    // when there is none), in name order; the dialog starts in dir from
    // now on.
    void selectFilesIn(const QString& dir, const QStringList& patterns);
    void selectFileInfos(const QFileInfoList& list);
    // Only the list, its count and the exposure time: "New" is kept on.
    void setSimpleMode(bool f);
    bool isSimpleMode() const { return simple; }

    int count() const;
    int currentIndex() const;
    QString entry(int idx) const;
    QStringList entries() const;

    // "New" when on, "Add" when off.
    bool isNewOnLoad() const;
    void setNewOnLoad(bool f);
    bool isMulti() const;
    void setMulti(bool f);
    // MultiTimes as an integer (0 for a text that is no number).
    int multiTimes() const;
    void setMultiTimes(int n);
    bool keepConditions() const;
    void setKeepConditions(bool f);
    // Suffix of the data files, written with their directory into a setup file.
    QString fileSuffix() const;
    void setFileSuffix(const QString& suffix);

    // Texts an owner puts in place of the form's (kept on a language change).
    void setTitle(const QString& text);
    void setSelectText(const QString& text);

    QString dialogDirectory() const { return dlg.directory(); }
    void setDialogDirectory(const QString& dir) { dlg.setDirectory(dir); }
    // The dialog opened last, null before the first opening.
    QFileDialog* dialog() const { return dlg.dialog(); }

signals:
    void currentIndexChanged(int idx);
    void filesSelected(QStringList files, bool newFile);
    void filesCleared();

public slots:
    void clearFiles();
    void prev();
    void next();
    void select(int idx);
    void setExpTime(double time);
    double expTime() const;
    void showDialog();
    // Where every selection ends: clears the list for "New", repeats the
    // first file for "Multi.", and emits filesSelected.
    void handOver(const QStringList& files);

protected:
    void changeEvent(QEvent* e) override;

private:
    void applyOwnerTexts();

    Ui::SelectDataFiles* ui;
    bool simple = false;
    FileDialogSlot dlg;
    QString ownTitle, ownSelectText;
};
