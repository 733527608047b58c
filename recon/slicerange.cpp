#include "recon/slicerange.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

bool SliceRange::contains(qint64 s) const
{
    const qint64 lo = std::min(from, to);
    const qint64 hi = std::max(from, to);
    return s >= lo && s <= hi;
}

double SliceRange::progressPercent(qint64 next, int busy) const
{
    const qint64 size = std::llabs(qint64(step));
    const qint64 a = size < 2 ? 1 : size;
    const qint64 done = std::llabs(next - from) / a - busy + 1;
    const qint64 total = std::llabs(qint64(to) - from) / a + 1;
    const double p = double(done) / double(total);
    return std::clamp(std::trunc(p * 1000.0) / 10.0, 0.0, 100.0);
}

QString SliceRange::progressText(double percent)
{
    return QStringLiteral("%1 %").arg(percent, 0, 'f', 1);
}

int SliceRange::count() const
{
    const qint64 size = std::max<qint64>(1, std::llabs(qint64(step)));
    return int(std::min<qint64>(std::llabs(qint64(to) - from) / size + 1, std::numeric_limits<int>::max()));
}
