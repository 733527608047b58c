// The state machine of reconstruction runs: start, a start that waits for a
// load or for the workers of a stopped run, hand-out of slices to idle
// workers in range order, stop, and the end notice once the last begun slice
// is done. It knows no widget: it drives the workers and the interactive
// panel through RunHost and tells the window what to show through signals.
#pragma once

#include "recon/procparams.h"
#include "recon/runslices.h"
#include "recon/slicerange.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

// What a run drives and reads.
class RunHost
{
public:
    virtual ~RunHost() = default;
    virtual int workerCount() const = 0;
    // The worker itself reports being inside a slice.
    virtual bool isWorkerBusy(int i) const = 0;
    // Hands the slice to worker i, with the snapshot's axis and CoR.
    virtual void startSlice(int i, int slice) = 0;
    virtual bool isPanelRunning() const = 0;
    virtual void startPanel() = 0;
    virtual void stopPanel() = 0;
    // The run's parameters, read from the window when the run really starts.
    virtual ProcParams snapshot() = 0;
    // The result files of the slice that are not there yet; a host that
    // saves nothing has none missing.
    virtual QStringList missingResults(int) const { return {}; }
    virtual bool savesResults() const { return false; }
    // Band-wise loading: the image set holds only the detector lines of the
    // slices in hand. The most slices whose lines may be held at once; 0
    // when the set holds whole frames.
    virtual int bandSlices(const ProcParams&) { return 0; }
    // Reads the lines of these slices in place of the previous band's;
    // false when they can't be read (the run then stops).
    virtual bool holdBand(const QVector<int>&) { return true; }
};

class RunScheduler : public QObject
{
    Q_OBJECT

public:
    explicit RunScheduler(RunHost& host, QObject* parent = nullptr);

    // Workers read it by reference; it changes only while none holds a slice.
    const ProcParams& params() const { return snap; }
    bool isRunning() const { return running; }
    // A start that waits for the workers of a stopped run or for a load.
    bool isStartPending() const { return startPending || startAfterLoad; }
    // Some worker holds a handed-out slice (waiting or in progress).
    bool anyWorkerBusy() const;
    // A new image set must wait: a run, a start after busy workers, or a busy worker.
    bool holdsImageSet() const { return running || startPending || anyWorkerBusy(); }

    // This process's part of every run's slice list (-part K/N).
    void setPart(const SlicePart& p) { slicePart = p; }
    const SlicePart& part() const { return slicePart; }
    // Runs only list, one missingFound each, the slices of their part whose
    // result files are not all there, and reconstruct nothing.
    void setCheckOnly(bool f) { checkOnly = f; }
    bool checksOnly() const { return checkOnly; }
    // Slices of the last run left out because their results were all there.
    int skippedSlices() const { return int(skipped.size()); }
    bool isSkipped(int slice) const { return skipped.contains(slice); }
    // Slices of the last run whose result files were looked for.
    int checkedSliceCount() const { return checkedSlices; }

public slots:
    // Calc: stop a run, drop a waiting start, or start.
    void toggle();
    void start();
    // Begun slices finish; the end notice follows the last of them.
    void stop();
    void cancelPendingStart();
    void execSingle();
    void execMulti();
    void workerFinished(int i);
    void panelFinished();
    void sliceDone(int slice, double backProjectSeconds);
    // The image set is being filled: a start waits for loadEnded.
    void loadBegun();
    void loadEnded();

signals:
    // The Calc button: a run goes on or waits to start, or nothing does.
    void busyChanged(bool busy);
    // The run really starts; the snapshot is taken, no slice handed out yet.
    void started(const QDateTime& t);
    void progress(const QString& text);
    void stopped(const QDateTime& start, const QDateTime& end);
    // total: slices the run hands out (at least done).
    void sliceCounted(int slice, int done, int total, double seconds, double backProjectSeconds);
    // The end notice; counted is false for a dropped start that ran nothing.
    void missingFound(int slice, const QStringList& files);
    void ended(bool counted, int slices, double seconds, double backProjectSeconds);

private:
    void dispatch(int i, int slice);
    void planSlices();
    void skipDone();
    bool bandHolds(int slice) const;
    // The band: up to bandSize slices of the run from `first` on.
    bool holdBandFrom(qint64 first);
    bool busy(int i) const;
    int threadsInUse() const;
    void announceEnd();
    double secondsSinceStart() const;

    RunHost& host;
    ProcParams snap;
    bool running = false;
    bool loading = false;
    bool startPending = false;
    bool startAfterLoad = false;
    bool endNoticePending = false;
    QDateTime startT;
    qint64 currentSlice = 0;
    SlicePart slicePart;
    bool checkOnly = false;
    // The run's slices (this part's); none for an empty part.
    std::optional<SliceRange> slices;
    QSet<int> skipped;
    int checkedSlices = 0;
    bool counting = false; // a run really started and has not been announced
    // A slice was handed to worker i and its end has not been processed yet.
    QVector<bool> handedOut;
    int bandSize = 0;  // 0: whole frames, no bands
    QVector<int> band; // the slices whose lines are held
    int slicesDone = 0;
    int slicesInRun = 0;
    double backProjectSum = 0.0;
};
