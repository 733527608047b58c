#include "recon/procparams.h"

#include <cmath>

double ProcParams::angleStep() const
{
    if (dataSetImages == 0)
        return 0.0;
    return (dataSetRangeDeg / 180.0 * M_PI) / dataSetImages;
}

double ProcParams::startAngle() const
{
    return angleOriginDeg / 180.0 * M_PI + startImage * angleStep();
}

bool ProcParams::hasCorLaw() const
{
    return recordedSlice1 >= 0 && recordedSlice2 >= 0 && recordedSlice1 != recordedSlice2;
}

double ProcParams::corAt(int s) const
{
    if (!hasCorLaw())
        return cor;
    return recordedCor1 + (recordedCor2 - recordedCor1) * (s - recordedSlice1) / double(recordedSlice2 - recordedSlice1);
}
