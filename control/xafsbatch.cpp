#include "control/xafsbatch.h"

XafsBatch::XafsBatch(QObject* parent) : QObject(parent) {}

void XafsBatch::start()
{
    if (isRunning()) {
        finish();
        return;
    }
    now = Stage::Loading;
    clock.restart();
    emit starting();
    emitStage(tr("Data Loading"));
    emit setFirstImageSet();
}

// Each answer is taken only in the stage that waits for it: a load or run
// started by hand, or one left over from a stopped sequence, is ignored.
void XafsBatch::loadedDataSet()
{
    if (now != Stage::Loading)
        return;
    now = Stage::Calculating;
    emitStage(tr("Calculating"));
    emit execCalculation();
}

void XafsBatch::calcFinished()
{
    if (now != Stage::Calculating)
        return;
    now = Stage::Loading;
    emitStage(tr("Finished Calc."));
    emit setNextImageSet();
}

// Only an answer to a request for a set ends the run; a Set pressed by hand
// on an empty list during a reconstruction does not.
void XafsBatch::noMoreSets()
{
    if (now == Stage::Loading)
        finish();
}

void XafsBatch::finish()
{
    if (!isRunning())
        return;
    now = Stage::Idle;
    emitStage(tr("Finished"));
    emit finished();
}
