// Compiled with -mavx512f -mavx512dq; entered only when the processor has
// them. Eight rays at a time, the scalar loop's operations in its order.
#if defined(__x86_64__)

#include "view3d/mipkernel.h"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>

namespace {

// Slices ahead whose part under the tile is fetched while this one is cast:
// every ray reads a fresh slice, and the gathers alone leave the memory idle.
constexpr int kAhead = 4;

// The rows of slice k under the tile: the box around where its corner rays
// (the tile's first and last rays and the rays at the ends of its first row
// and column) cross the slice. Approximate; only the cache sees it.
void prefetchPatch(const MipTileJob& j, int k)
{
    const double kz = k - j.ss / 2.0;
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int i : {0, j.side - 1, j.real - j.side, j.real - 1}) {
        if (i < 0 || i >= j.real)
            continue;
        const double t = (kz - j.pz[i]) / j.nzz;
        const double x = j.px[i] + t * j.nzx + j.sw / 2.0;
        const double y = j.py[i] + t * j.nzy + j.sh / 2.0;
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    if (!(x1 >= 0 && y1 >= 0 && x0 < j.sw && y0 < j.sh))
        return;
    const int cx0 = int(std::max(0.0, x0)), cx1 = int(std::min(j.sw - 1.0, x1));
    const int cy0 = int(std::max(0.0, y0)), cy1 = int(std::min(j.sh - 1.0, y1));
    const double* slice = j.slices[k];
    for (int y = cy0; y <= cy1; ++y) {
        const char* row = reinterpret_cast<const char*>(slice + std::size_t(y) * std::size_t(j.sw));
        for (int x = cx0 * 8; x <= cx1 * 8 + 63; x += 64)
            _mm_prefetch(row + x, _MM_HINT_T1);
    }
}

template <bool Cut, bool Desc>
void allSlices(const MipTileJob& j)
{
    const __m512d nzx = _mm512_set1_pd(j.nzx), nzy = _mm512_set1_pd(j.nzy), nzz = _mm512_set1_pd(j.nzz);
    const __m512d sw2 = _mm512_set1_pd(j.sw / 2.0), sh2 = _mm512_set1_pd(j.sh / 2.0);
    const __m512d swd = _mm512_set1_pd(j.sw), shd = _mm512_set1_pd(j.sh);
    const __m512d minusOne = _mm512_set1_pd(-1.0);
    const __m512d vlo = _mm512_set1_pd(j.vlo), vhi = _mm512_set1_pd(j.vhi);
    const __m512d mx = _mm512_set1_pd(j.mx), my = _mm512_set1_pd(j.my), mz = _mm512_set1_pd(j.mz);
    const __m512d depth = _mm512_set1_pd(j.depth);
    const __m512d dlo = _mm512_set1_pd(j.depth - 1), dhi = _mm512_set1_pd(j.depth + 1);
    const __m256i sw = _mm256_set1_epi32(j.sw);
    for (int k = 0; k < j.ss; ++k) {
        if (k + kAhead < j.ss)
            prefetchPatch(j, k + kAhead);
        const double* slice = j.slices[k];
        const __m512d kz = _mm512_set1_pd(k - j.ss / 2.0);
        for (int i = 0; i < j.count; i += 8) {
            const __m512d pz = _mm512_loadu_pd(j.pz + i);
            const __m512d t = _mm512_div_pd(_mm512_sub_pd(kz, pz), nzz);
            const __m512d hx = _mm512_add_pd(_mm512_loadu_pd(j.px + i), _mm512_mul_pd(t, nzx));
            const __m512d hy = _mm512_add_pd(_mm512_loadu_pd(j.py + i), _mm512_mul_pd(t, nzy));
            const __m512d fx = _mm512_add_pd(hx, sw2);
            const __m512d fy = _mm512_add_pd(hy, sh2);
            __mmask8 in = _mm512_cmp_pd_mask(fx, minusOne, _CMP_GT_OQ);
            in = _mm512_mask_cmp_pd_mask(in, fx, swd, _CMP_LT_OQ);
            in = _mm512_mask_cmp_pd_mask(in, fy, minusOne, _CMP_GT_OQ);
            in = _mm512_mask_cmp_pd_mask(in, fy, shd, _CMP_LT_OQ);
            if (in == 0)
                continue;
            const __m256i ix = _mm512_maskz_cvttpd_epi32(in, fx);
            const __m256i iy = _mm512_maskz_cvttpd_epi32(in, fy);
            const __m256i idx = _mm256_add_epi32(_mm256_mullo_epi32(iy, sw), ix);
            const __m512d v = _mm512_mask_i32gather_pd(_mm512_setzero_pd(), in, idx, slice, 8);
            const __m512d b = _mm512_loadu_pd(j.best + i);
            __mmask8 take = _mm512_mask_cmp_pd_mask(in, v, vlo, _CMP_GE_OQ);
            take = _mm512_mask_cmp_pd_mask(take, v, vhi, _CMP_LE_OQ);
            take = _mm512_mask_cmp_pd_mask(take, v, b, Desc ? _CMP_LT_OQ : _CMP_GT_OQ);
            if (Cut) {
                const __m512d hz = _mm512_add_pd(pz, _mm512_mul_pd(t, nzz));
                const __m512d d = _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(hx, mx), _mm512_mul_pd(hy, my)),
                                                _mm512_mul_pd(hz, mz));
                take = _mm512_mask_cmp_pd_mask(take, d, depth, _CMP_LT_OQ);
                __mmask8 near = _mm512_mask_cmp_pd_mask(in, d, dlo, _CMP_GT_OQ);
                near = _mm512_mask_cmp_pd_mask(near, d, dhi, _CMP_LT_OQ);
                _mm512_mask_storeu_pd(j.band + i, near, v);
            }
            _mm512_mask_storeu_pd(j.best + i, take, v);
        }
    }
}

} // namespace

void castMipTileAvx512(const MipTileJob& j)
{
    if (j.cut)
        j.descending ? allSlices<true, true>(j) : allSlices<true, false>(j);
    else
        j.descending ? allSlices<false, true>(j) : allSlices<false, false>(j);
}

#endif
