#include "app/widgets/filedialog.h"

#include "app/optiontable.h"

#include <QFileDialog>

bool useNativeDialogs()
{
    return options().valueNoCase(QStringLiteral("native_dialog"), QStringLiteral("0")).toInt() == 1;
}

QFileDialog* newFileDialog(const QString& dir, const QString& caption)
{
    auto* d = new QFileDialog(nullptr, caption, dir);
    d->setModal(false);
    d->setOption(QFileDialog::DontUseNativeDialog, !useNativeDialogs());
    return d;
}

FileDialogSlot::~FileDialogSlot()
{
    delete dlg;
}

QFileDialog* FileDialogSlot::renew()
{
    delete dlg;
    QFileDialog* d = newFileDialog(directory());
    dlg = d;
    QObject::connect(d, &QFileDialog::finished, d, [this, d] { dir = d->directory().absolutePath(); });
    return d;
}

QFileDialog* FileDialogSlot::dialog() const
{
    return dlg;
}

QString FileDialogSlot::directory() const
{
    return dir.isEmpty() ? dataRoot() : dir;
}

void FileDialogSlot::setDirectory(const QString& d)
{
    dir = d;
    if (dlg)
        dlg->setDirectory(directory());
}
