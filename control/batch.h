// The batch interpreter: holds the lines of one batch file and feeds them,
// one at a time, to the main window's command executor. It lives on its own
// thread; every crossing to the executor and back is a queued call.
#pragma once

#include "control/batchcmd.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

class Batch : public QObject
{
    Q_OBJECT

public:
    explicit Batch(QObject* parent = nullptr);

    // Safe to read from another thread only while the batch thread is idle
    // (for instance after batchRunEnded() has arrived).
    bool isRunning() const { return running; }
    int nextLineIndex() const { return nextLine; }
    const QStringList& loadedLines() const { return lines; }
    bool lastResult() const { return lastResultOk.load(); }

signals:
    void batchExecNext();
    void batchFinishALine();
    void batchExCmd(BatchCmd cmd);
    // Every end of a run: :end, :stop, the last line passed, batchStop(),
    // batchExec() switching it off. A window-less run quits on it.
    void batchRunEnded();
    // batchLoad() could not read the file (the old lines stay).
    void batchLoadFailed(QString fname);

public slots:
    void batchStart();
    void batchStop();
    void batchNext();
    void batchLoad(QString fname);
    void batchExec();
    void batchCheckEnd();
    // The executor's result of the command it is answering (only
    // seq_exec_next gives one). Emitted on the executor's thread before its
    // check-end, it arrives queued before that check-end does.
    void setLastResultOk(bool ok);

private:
    void continueRun();
    void endRun();
    int findLabel(const QString& label);

    bool running = false;
    int nextLine = 0;
    QStringList lines;
    std::atomic<bool> lastResultOk{true};

    // First line index of every line name, so that :goto needs no scan.
    QHash<QString, int> labelIndex;
    // A batchNext() call is queued and not yet run; at most one ever is.
    bool nextQueued = false;
};
