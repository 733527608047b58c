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

Body::CmdEnd Body::show3dLoad(const BatchCmd& cmd)
{
    const QDir d(cmd.dirArg());
    const QStringList names = d.entryList(cmd.patternArgs(), QDir::Files, QDir::Name);
    if (names.isEmpty())
        qDebug().noquote() << QStringLiteral("No files match %1 in %2").arg(cmd.patternArgs().join(QLatin1Char(' ')), cmd.dirArg());
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

Body::CmdEnd Body::show3dView(const BatchCmd& cmd)
{
    ctView->turnAbout(Vec3{cmd.realArg(0), cmd.realArg(1), cmd.realArg(2)}, cmd.realArg(3));
    return CmdEnd::Done;
}

Body::CmdEnd Body::show3dSize(const BatchCmd& cmd)
{
    ctView->setImgSize(cmd.intArg(0), cmd.intArg(1));
    ctView->paintPImg();
    return CmdEnd::Done;
}

Body::CmdEnd Body::show3dSave(const BatchCmd& cmd)
{
    const QString fname = cmd.textArg();
    const QString suffix = QFileInfo(fname).suffix().toLower();
    if (suffix != QLatin1String("svg") && !ctView->rasterFormats().contains(suffix))
        qDebug().noquote() << QStringLiteral("%1 : not an image type, nothing saved : %2").arg(cmd.name, fname);
    else
        ctView->saveImage(fname);
    return CmdEnd::Done;
}
