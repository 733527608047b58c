#include "app/runfaults.h"

#include <QCoreApplication>
#include <QStringList>

int exitStatusOf(const RunFaults& f)
{
    if (!f.unreadableBatch.isEmpty())
        return kExitBatchUnreadable;
    if (f.runsWithoutImages > 0)
        return kExitNoImages;
    if (f.filesFailed > 0)
        return kExitFilesNotWritten;
    if (f.slicesMissing > 0)
        return kExitResultsMissing;
    if (f.unreadableLines > 0)
        return kExitLinesUnreadable;
    return kExitOk;
}

QString faultSummary(const RunFaults& f)
{
    QStringList parts;
    if (!f.unreadableBatch.isEmpty())
        parts << QCoreApplication::translate("RunFaults", "batch file %1 could not be read").arg(f.unreadableBatch);
    if (f.runsWithoutImages > 0)
        parts << QCoreApplication::translate("RunFaults", "reconstruction runs without images: %1").arg(f.runsWithoutImages);
    if (f.filesFailed > 0)
        parts << QCoreApplication::translate("RunFaults", "%1 of %2 result files could not be written")
                     .arg(f.filesFailed)
                     .arg(f.filesFailed + f.filesWritten);
    if (f.slicesMissing > 0)
        parts << QCoreApplication::translate("RunFaults", "slices without all their result files: %1").arg(f.slicesMissing);
    if (f.unreadableLines > 0)
        parts << QCoreApplication::translate("RunFaults", "runs stopped, detector lines unreadable: %1").arg(f.unreadableLines);
    if (parts.isEmpty())
        return {};
    if (f.filesFailed == 0 && f.slicesMissing == 0)
        parts << QCoreApplication::translate("RunFaults", "result files written: %1").arg(f.filesWritten);
    return QCoreApplication::translate("RunFaults", "Failed (status %1): %2")
        .arg(exitStatusOf(f))
        .arg(parts.join(QStringLiteral("; ")));
}
