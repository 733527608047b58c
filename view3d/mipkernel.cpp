#include "view3d/mipkernel.h"

namespace {

// One slice for every ray of the tile, with the reference loop's arithmetic
// operation for operation (no contraction into fused multiply-adds).
template <bool Cut, bool Desc>
inline __attribute__((always_inline)) void sliceSamples(const MipTileJob& j, const double* __restrict slice, double kz)
{
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
    double* __restrict best = j.best;
    double* __restrict band = j.band;
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
        const double v = slice[iy * sw + ix];
        const double b = best[i];
        bool take = in && v >= vlo && v <= vhi && (Desc ? v < b : v > b);
        if (Cut) {
            const double hz = pz[i] + t * nzz;
            const double d = hx * mx + hy * my + hz * mz;
            take = take && d < depth;
            band[i] = (in && dlo < d && d < dhi) ? v : band[i];
        }
        best[i] = take ? v : b;
    }
}

template <bool Cut, bool Desc>
inline __attribute__((always_inline)) void allSlices(const MipTileJob& j)
{
    for (int k = j.k0; k < j.k1; ++k)
        sliceSamples<Cut, Desc>(j, j.slices[k], k - j.ss / 2.0);
}

} // namespace

void castMipTileScalar(const MipTileJob& j)
{
    if (j.cut)
        j.descending ? allSlices<true, true>(j) : allSlices<true, false>(j);
    else
        j.descending ? allSlices<false, true>(j) : allSlices<false, false>(j);
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
