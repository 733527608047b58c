// Paces the interactive panel's steps from a thread of its own: every step
// of the panel is a queued call, so the window repaints and answers the user
// between two projections.
#pragma once

#include <QObject>

class CtProgress : public QObject
{
    Q_OBJECT

public:
    explicit CtProgress(QObject* parent = nullptr) : QObject(parent) {}

    // Set by the panel while the pacing thread is idle.
    void setCount(int c) { count = c; }
    void setIndex(int i) { index = i; }
    int getCount() const { return count; }
    int getIndex() const { return index; }

signals:
    void calcAll();
    void calcOne(int pc);
    void finishedCalcOneByOne();

public slots:
    void startCalcAll();
    void startCalcOneByOne();
    void calcNext();

private:
    int count = 0;
    int index = 0;
};
