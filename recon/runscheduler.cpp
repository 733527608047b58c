#include "recon/runscheduler.h"

#include "recon/slicerange.h"

#include <QDebug>

#include <algorithm>

RunScheduler::RunScheduler(RunHost& h, QObject* parent) : QObject(parent), host(h) {}

bool RunScheduler::busy(int i) const
{
    return handedOut.value(i, false) || host.isWorkerBusy(i);
}

bool RunScheduler::anyWorkerBusy() const
{
    for (int i = 0; i < host.workerCount(); ++i)
        if (busy(i))
            return true;
    return false;
}

int RunScheduler::threadsInUse() const
{
    return std::clamp(snap.threads, 1, std::max(1, host.workerCount()));
}

double RunScheduler::secondsSinceStart() const
{
    return startT.msecsTo(QDateTime::currentDateTime()) / 1000.0;
}

void RunScheduler::toggle()
{
    if (running)
        stop();
    else if (isStartPending())
        cancelPendingStart();
    else
        start();
}

void RunScheduler::start()
{
    if (running)
        return;
    // Workers must not read a list that grows under them.
    if (loading) {
        if (!startAfterLoad)
            qDebug().noquote() << "The reconstruction starts when the images are loaded";
        startAfterLoad = true;
        emit busyChanged(true);
        return;
    }
    // The snapshot and the workers' settings change only while no worker
    // holds a slice: a start during the end of a stopped run waits for it.
    if (anyWorkerBusy()) {
        startPending = true;
        emit busyChanged(true);
        return;
    }
    startPending = false;
    running = true;
    startT = QDateTime::currentDateTime();
    snap = host.snapshot();
    slicesDone = 0;
    backProjectSum = 0.0;
    planSlices();
    const bool multi = snap.autoExec && snap.useWorkers;
    slicesInRun = slices ? slices->count() - int(skipped.size()) : 0;
    counting = true;
    bandSize = host.bandSlices(snap);
    band.clear();
    emit busyChanged(true);
    emit started(startT);
    if (snap.useWorkers)
        emit progress(QStringLiteral("0 %"));
    // An empty part, a part whose results are all there, or a check: the
    // run ends at once.
    if (checkOnly || slicesInRun == 0) {
        stop();
        return;
    }
    if (multi) {
        currentSlice = slices->from;
        execMulti();
    } else if (bandSize > 0 && !holdBandFrom(snap.slice)) {
        stop();
    } else {
        execSingle();
    }
}

void RunScheduler::planSlices()
{
    skipped.clear();
    checkedSlices = 0;
    slices = runSlices(snap, slicePart);
    if (!slices || !snap.useWorkers || !(checkOnly || snap.skipExisting) || !host.savesResults())
        return;
    checkedSlices = slices->count();
    for (int i = 0; i < checkedSlices; ++i) {
        const int s = int(slices->from + qint64(i) * slices->step);
        const QStringList missing = host.missingResults(s);
        if (missing.isEmpty())
            skipped.insert(s);
        else if (checkOnly)
            emit missingFound(s, missing);
    }
}

void RunScheduler::skipDone()
{
    while (!skipped.isEmpty() && slices->contains(currentSlice) && skipped.contains(int(currentSlice)))
        currentSlice += snap.step;
}

bool RunScheduler::bandHolds(int slice) const
{
    return bandSize <= 0 || band.contains(slice);
}

bool RunScheduler::holdBandFrom(qint64 first)
{
    band.clear();
    const bool multi = snap.autoExec && snap.useWorkers;
    if (!multi)
        band << int(first);
    // The part's slices that are still to do.
    for (qint64 s = first; multi && slices && slices->contains(s) && band.size() < bandSize; s += snap.step)
        if (!skipped.contains(int(s)))
            band << int(s);
    if (host.holdBand(band))
        return true;
    band.clear();
    return false;
}

void RunScheduler::dispatch(int i, int slice)
{
    if (handedOut.size() <= i)
        handedOut.resize(i + 1);
    handedOut[i] = true;
    host.startSlice(i, slice);
}

void RunScheduler::execSingle()
{
    if (snap.usePanel) {
        if (!host.isPanelRunning())
            host.startPanel();
    } else if (snap.useWorkers) {
        dispatch(0, snap.slice);
    } else {
        stop();
    }
}

void RunScheduler::execMulti()
{
    if (!running)
        return;
    if (!snap.autoExec || !snap.useWorkers) {
        if (!snap.usePanel && !anyWorkerBusy())
            stop();
        return;
    }
    if (!slices) {
        stop();
        return;
    }
    const SliceRange& range = *slices;
    const int t = threadsInUse();
    for (int i = 0; i < t; ++i) {
        skipDone();
        if (range.contains(currentSlice) && !busy(i)) {
            // The next band replaces this one once its slices are all done.
            if (!bandHolds(int(currentSlice))) {
                if (anyWorkerBusy())
                    break;
                if (!holdBandFrom(currentSlice)) {
                    stop();
                    return;
                }
            }
            dispatch(i, int(currentSlice));
            currentSlice += snap.step;
        }
    }
    skipDone();
    int inSlice = 0;
    for (int i = 0; i < t; ++i)
        inSlice += busy(i) ? 1 : 0;
    emit progress(SliceRange::progressText(range.progressPercent(currentSlice, inSlice)));
    if (range.contains(currentSlice) || inSlice > 0)
        return;
    stop();
}

void RunScheduler::workerFinished(int i)
{
    if (i < handedOut.size())
        handedOut[i] = false;
    if (running) {
        execMulti();
        return;
    }
    if (anyWorkerBusy())
        return;
    // The last slice of a stopped run is done: only now has the run ended.
    if (endNoticePending) {
        endNoticePending = false;
        announceEnd();
    }
    if (startPending)
        start();
}

void RunScheduler::panelFinished()
{
    if (running && snap.usePanel)
        stop();
}

void RunScheduler::stop()
{
    if (!running) {
        if (startPending)
            cancelPendingStart();
        return;
    }
    running = false;
    emit stopped(startT, QDateTime::currentDateTime());
    emit busyChanged(false);
    if (snap.usePanel && host.isPanelRunning())
        host.stopPanel();
    // Started slices finish and are saved; the run ends when they are done.
    if (anyWorkerBusy()) {
        endNoticePending = true;
        return;
    }
    announceEnd();
}

void RunScheduler::cancelPendingStart()
{
    startPending = false;
    startAfterLoad = false;
    emit busyChanged(false);
    // Whoever asked for the start still hears that it is over.
    endNoticePending = true;
    if (!anyWorkerBusy()) {
        endNoticePending = false;
        announceEnd();
    }
}

void RunScheduler::announceEnd()
{
    const bool counted = counting;
    counting = false;
    slicesInRun = 0;
    emit ended(counted, slicesDone, secondsSinceStart(), backProjectSum);
}

void RunScheduler::sliceDone(int slice, double backProjectSeconds)
{
    ++slicesDone;
    backProjectSum += backProjectSeconds;
    emit sliceCounted(slice, slicesDone, std::max(slicesInRun, slicesDone), secondsSinceStart(), backProjectSeconds);
}

void RunScheduler::loadBegun()
{
    loading = true;
}

void RunScheduler::loadEnded()
{
    loading = false;
    if (startAfterLoad) {
        startAfterLoad = false;
        start();
    }
}
