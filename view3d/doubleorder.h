// Searches over the doubles in their numeric order, for thresholds that must
// match a computed expression to the last bit.
#pragma once

#include <QtGlobal>

#include <cfloat>
#include <cstring>

// Doubles in their numeric order as unsigned integers (-0 just below +0).
inline quint64 orderKey(double v)
{
    quint64 u;
    std::memcpy(&u, &v, sizeof u);
    return (u >> 63) ? ~u : (u | (quint64(1) << 63));
}

inline double fromOrderKey(quint64 k)
{
    const quint64 u = (k >> 63) ? (k & ~(quint64(1) << 63)) : ~k;
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// The smallest finite value where a predicate that goes from false to true
// along the finite doubles holds (lastTrue: the largest where one that goes
// from true to false holds).
template <class Pred>
bool firstTrue(Pred pred, double* out)
{
    quint64 lo = orderKey(-DBL_MAX);
    quint64 hi = orderKey(DBL_MAX);
    if (!pred(DBL_MAX))
        return false;
    while (lo < hi) {
        const quint64 mid = lo + (hi - lo) / 2;
        if (pred(fromOrderKey(mid)))
            hi = mid;
        else
            lo = mid + 1;
    }
    *out = fromOrderKey(lo);
    return true;
}

template <class Pred>
bool lastTrue(Pred pred, double* out)
{
    quint64 lo = orderKey(-DBL_MAX);
    quint64 hi = orderKey(DBL_MAX);
    if (!pred(-DBL_MAX))
        return false;
    while (lo < hi) {
        const quint64 mid = hi - (hi - lo) / 2;
        if (pred(fromOrderKey(mid)))
            lo = mid;
        else
            hi = mid - 1;
    }
    *out = fromOrderKey(lo);
    return true;
}

