// Ctrl+C (SIGINT) and SIGTERM delivered to the event loop, so that a run
// with no window can end cleanly instead of dying with results in flight.
// The first signal is reported by interrupted(); a second one of the same
// kind ends the process at once, as if nothing had been installed.
#pragma once

#include <QObject>

class QSocketNotifier;

class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    // Only one watcher may exist at a time; it owns the handlers while it lives.
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

    bool isActive() const { return notifier != nullptr; }

signals:
    void interrupted(int signo);

private:
    void readSignal();

    QSocketNotifier* notifier = nullptr;
};
