// Setup files of the main window: the settings written as command lines by
// the command table, loaded back through the command executor, and the
// dialog that chooses the file.
#include "mainwindow/body.h"

#include "control/setupfile.h"

#include <QFileDialog>

void Body::saveSetup(QString fname)
{
    SetupFileWriter w;
    if (!w.open(fname))
        return;
    settings().write(w, *this);
    w.commit();
}

void Body::loadSetup(QString fname)
{
    // Runs every line here and now; a load or a run a line starts goes on
    // by itself and holds nothing.
    for (const BatchCmd& cmd : readSetupFile(fname))
        execCmd(cmd, false);
}

void Body::showSaveSetupD()
{
    openSetupDialog(true);
}

void Body::showLoadSetupD()
{
    openSetupDialog(false);
}

void Body::openSetupDialog(bool saving)
{
    setupSaving = saving;
    QFileDialog* d = setupDlg.renew();
    d->setWindowTitle(saving ? tr("Save Setup") : tr("Load Setup"));
    d->setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d->setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d->setNameFilters({QStringLiteral("*.cfg"), QStringLiteral("*.*")});
    if (saving)
        d->setDefaultSuffix(QStringLiteral("cfg"));
    connect(d, &QFileDialog::fileSelected, this, &Body::saveLoadFileSelected);
    d->show();
}

void Body::saveLoadFileSelected(QString fname)
{
    if (setupSaving)
        saveSetup(fname);
    else
        loadSetup(fname);
}
