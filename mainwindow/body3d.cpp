// The main window's side of the 3-D view: its batch commands, which load the
// first slice set, turn the view, size and save the picture, so that a
// batch (also with no window) can make the same picture again.
#include "mainwindow/body.h"

#include "view3d/widgets/ctview.h"
#include "view3d/widgets/slicesctrl.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

void Body::connectCtView()
{
    connect(ctView->sliceSets().first(), &SlicesCtrl::loadFilesFinished, this, &Body::view3dLoadFinished);
}

CmdEnd Body::show3dLoad(const QString& dir, const QStringList& patterns)
{
    const QDir d(dir);
    const QStringList names = d.entryList(patterns, QDir::Files, QDir::Name);
    if (names.isEmpty())
        qDebug().noquote() << QStringLiteral("No files match %1 in %2").arg(patterns.join(QLatin1Char(' ')), dir);
    QStringList paths;
    for (const QString& name : names)
        paths << d.absoluteFilePath(name);
    // Also an empty list: it empties the set, and the batch goes on when it is done.
    ctView->sliceSets().first()->loadFiles(paths);
    return CmdEnd::Load;
}

void Body::view3dLoadFinished()
{
    // The batch's hold is the 3-D load's only when no projection load is
    // going on, which would end the hold itself.
    if (!batchLoadRunning || loading || deferredLoad || ctView->sliceSets().first()->isLoading())
        return;
    batchLoadRunning = false;
    emit callBatchCheckEnd();
}

void Body::show3dView(double ax, double ay, double az, double deg)
{
    ctView->turnAbout(Vec3{ax, ay, az}, deg);
}

void Body::show3dSize(int w, int h)
{
    ctView->setImgSize(w, h);
    ctView->paintPImg();
}

void Body::show3dSave(const QString& fname)
{
    const QString suffix = QFileInfo(fname).suffix().toLower();
    if (suffix != QLatin1String("svg") && !ctView->rasterFormats().contains(suffix))
        qDebug().noquote() << QStringLiteral("show_3d_save : not an image type, nothing saved : %1").arg(fname);
    else
        ctView->saveImage(fname);
}
