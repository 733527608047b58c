// The driver of a sequential CT-XAFS run: load a data set, reconstruct it,
// go on to the next, until the range or the list ends. It lives on the
// sequence thread and talks to the main window by signals only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

// Times the stage messages of a sequential run: each message carries the
// milliseconds since the previous one. The driver and the main window keep
// one each.
class StageClock
{
public:
    void restart() { clock.start(), previousMs = 0; }
    qlonglong elapsedMs() const { return clock.elapsed(); }
    qlonglong sincePrevious()
    {
        const qlonglong ms = clock.elapsed(), d = ms - previousMs;
        previousMs = ms;
        return d;
    }

private:
    QElapsedTimer clock;
    qlonglong previousMs = 0;
};

class XafsBatch : public QObject
{
    Q_OBJECT

public:
    enum class Stage { Idle, Loading, Calculating };

    explicit XafsBatch(QObject* parent = nullptr);

    // Safe to read from another thread only while the sequence thread is idle.
    bool isRunning() const { return now != Stage::Idle; }
    Stage currentStage() const { return now; }

signals:
    // dEt: milliseconds since the previous stage message of this run.
    void stage(QString msg, qlonglong dEt);
    void starting();
    void setFirstImageSet();
    void setNextImageSet();
    void execCalculation();
    void finished();

public slots:
    // Starts a run, or ends the one going on (the button toggles).
    void start();
    void loadedDataSet();
    void calcFinished();
    void noMoreSets();
    void finish();

private:
    void emitStage(const QString& msg) { emit stage(msg, clock.sincePrevious()); }

    Stage now = Stage::Idle;
    StageClock clock;
};
