// File dialogs of the program: non-modal, without parent, made anew for
// every opening, and the toolkit's own unless the configuration asks for
// the desktop's ("native_dialog 1").
#pragma once

#include <QPointer>
#include <QString>

class QFileDialog;

// True when the configuration key native_dialog (any case) reads as 1.
bool useNativeDialogs();

// A new dialog with no parent, starting in dir; the caller owns it.
QFileDialog* newFileDialog(const QString& dir, const QString& caption = QString());

// The one dialog of a panel. Each opening deletes the previous dialog and
// makes a new one that starts where the last one was left (dataRoot() at
// first, or a directory set by the panel's owner).
class FileDialogSlot
{
public:
    FileDialogSlot() = default;
    FileDialogSlot(const FileDialogSlot&) = delete;
    FileDialogSlot& operator=(const FileDialogSlot&) = delete;
    ~FileDialogSlot();

    // A new, not yet shown dialog in place of the previous one.
    QFileDialog* renew();
    QFileDialog* dialog() const;
    QString directory() const;
    // Also moves an open dialog there.
    void setDirectory(const QString& dir);

private:
    QPointer<QFileDialog> dlg;
    QString dir; // empty: dataRoot()
};
