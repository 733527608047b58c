#include "view3d/mipkernel.h"

#include <type_traits>

namespace {

// One slice for every ray of the tile, with the reference loop's arithmetic
// operation for operation (no contraction into fused multiply-adds). Levels:
// the slices hold colour classes, which only need the highest.
template <bool Cut, bool Desc, bool Levels>
inline __attribute__((always_inline)) void sliceSamples(const MipTileJob& j, int k)
{
    const double kz = k - j.ss / 2.0;
    const double sw2 = j.sw / 2.0;
    const double sh2 = j.sh / 2.0;
    const double swd = j.sw;
    const double shd = j.sh;
    const double nzx = j.nzx, nzy = j.nzy, nzz = j.nzz;
    const double vlo = j.vlo, vhi = j.vhi;
    const double mx = j.mx, my = j.my, mz = j.mz;
    const double depth = j.depth;
    const double dlo = depth - 1;
    const double dhi = depth + 1;
    const double* __restrict px = j.px;
    const double* __restrict py = j.py;
    const double* __restrict pz = j.pz;
    using Value = std::conditional_t<Levels, std::int32_t, double>;
    Value* __restrict best = Levels ? reinterpret_cast<Value*>(j.bestLevel) : reinterpret_cast<Value*>(j.best);
    Value* __restrict band = Levels ? reinterpret_cast<Value*>(j.bandLevel) : reinterpret_cast<Value*>(j.band);
    const double* __restrict values = Levels ? nullptr : j.slices[k];
    const std::uint16_t* __restrict levels = Levels ? j.levels[k] : nullptr;
    const int n = j.count;
    const int sw = j.sw;
    for (int i = 0; i < n; ++i) {
        const double t = (kz - pz[i]) / nzz;
        const double hx = px[i] + t * nzx;
        const double hy = py[i] + t * nzy;
        const double fx = hx + sw2;
        const double fy = hy + sh2;
        // trunc(f) lies in [0, size) exactly when f does in (-1, size).
        const bool in = fx > -1.0 && fx < swd && fy > -1.0 && fy < shd;
        const int ix = int(in ? fx : 0.0);
        const int iy = int(in ? fy : 0.0);
        const Value v = Levels ? Value(levels[iy * sw + ix]) : Value(values[iy * sw + ix]);
        const Value b = best[i];
        bool take = in && (Levels || (v >= vlo && v <= vhi)) && (Desc ? v < b : v > b);
        if (Cut) {
            const double hz = pz[i] + t * nzz;
            const double d = hx * mx + hy * my + hz * mz;
            take = take && d < depth;
            band[i] = (in && dlo < d && d < dhi) ? v : band[i];
        }
        best[i] = take ? v : b;
    }
}

template <bool Cut, bool Desc, bool Levels>
inline __attribute__((always_inline)) void allSlices(const MipTileJob& j)
{
    for (int k = j.k0; k < j.k1; ++k)
        sliceSamples<Cut, Desc, Levels>(j, k);
}

} // namespace

void castMipTileScalar(const MipTileJob& j)
{
    if (j.cut)
        j.descending ? allSlices<true, true, false>(j) : allSlices<true, false, false>(j);
    else
        j.descending ? allSlices<false, true, false>(j) : allSlices<false, false, false>(j);
}

void castMipLevelTileScalar(const MipTileJob& j)
{
    j.cut ? allSlices<true, false, true>(j) : allSlices<false, false, true>(j);
}

#if defined(__x86_64__)
bool mipAvx512Available()
{
    static const bool yes = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")
        && __builtin_cpu_supports("avx512vl");
    return yes;
}
#endif

void castMipTile(const MipTileJob& j)
{
#if defined(__x86_64__)
    if (mipAvx512Available()) {
        castMipTileAvx512(j);
        return;
    }
#endif
    castMipTileScalar(j);
}

void castMipLevelTile(const MipTileJob& j)
{
#if defined(__x86_64__)
    if (mipAvx512Available()) {
        castMipLevelTileAvx512(j);
        return;
    }
#endif
    castMipLevelTileScalar(j);
}
