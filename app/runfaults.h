// What went wrong in a window-less run, and the exit status that tells a
// script or a scheduler so: a run that wrote nothing must not look like
// success.
#pragma once

#include <QString>

// Exit statuses of a window-less run (an interrupt ends with 128 + signal).
enum RunExitStatus {
    kExitOk = 0,
    kExitBadSwitch = 2,       // a start-up switch with a value that cannot be used
    kExitBatchUnreadable = 3, // the batch file could not be opened or read
    kExitNoImages = 4,        // a run started with no image loaded
    kExitFilesNotWritten = 5, // result files could not be written
    kExitResultsMissing = 6,  // a check (-check) found slices without all their result files
    kExitLinesUnreadable = 7, // the detector lines a run needs could not be read
};

struct RunFaults {
    QString unreadableBatch;   // batch file that could not be loaded
    int runsWithoutImages = 0; // runs started while no image was loaded
    int filesWritten = 0;
    int filesFailed = 0;
    int slicesMissing = 0; // slices a check found without all their result files
    int unreadableLines = 0;   // runs stopped because their lines could not be read
};

// The status of the first kind that happened in the order of the enum (a
// batch that cannot be read runs nothing; a run without images writes
// nothing), kExitOk when nothing failed.
int exitStatusOf(const RunFaults& f);

// One line naming every kind of fault with its count; empty when nothing
// failed.
QString faultSummary(const RunFaults& f);
