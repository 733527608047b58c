// Compiled with -mavx2; entered only when the processor has AVX2. Plain
// arithmetic intrinsics in the reference loop's order (no fused
// multiply-add), so every pixel gets the reference's bits.
#if defined(__x86_64__)

#include "recon/bpkernels.h"

#include <immintrin.h>

namespace {

// Picks q[base + idx] per lane from the eight samples lo:hi. The permute
// works on pairs of floats, so a double at position p is floats 2p and
// 2p + 1 (modulo the register); the blend takes hi where idx >= 4.
inline __m256d pick(__m256d lo, __m256d hi, __m256i pairIdx, __m256i fromHi)
{
    const __m256 a = _mm256_permutevar8x32_ps(_mm256_castpd_ps(lo), pairIdx);
    const __m256 b = _mm256_permutevar8x32_ps(_mm256_castpd_ps(hi), pairIdx);
    return _mm256_castps_pd(_mm256_blendv_ps(a, b, _mm256_castsi256_ps(fromHi)));
}

template <bool Rising, bool Whole>
inline void addFour(double* px, const double* q, __m256d dx, __m256d live, __m256d cv, __m256d bv, __m256d hv,
                    __m256d top, int windowMax)
{
    const __m256d t = _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(dx, cv), bv), hv);
    const __m256d ft = _mm256_floor_pd(t);
    const __m256d use = _mm256_and_pd(live, _mm256_and_pd(_mm256_cmp_pd(ft, _mm256_setzero_pd(), _CMP_GE_OQ),
                                                          _mm256_cmp_pd(ft, top, _CMP_LE_OQ)));
    if (_mm256_testz_pd(use, use))
        return;
    const __m128i j = _mm256_cvttpd_epi32(ft);
    int base = Rising ? _mm_cvtsi128_si32(j) : _mm_extract_epi32(j, 3);
    base = base < -kBpPad ? -kBpPad : (base > windowMax ? windowMax : base);
    const __m256d lo = _mm256_loadu_pd(q + base);
    const __m256d hi = _mm256_loadu_pd(q + base + 4);
    // Four lanes span at most five samples plus the right neighbour.
    const __m256i idx = _mm256_cvtepi32_epi64(_mm_sub_epi32(j, _mm_set1_epi32(base)));
    const __m256i twice = _mm256_slli_epi64(idx, 1);
    const __m256i pair = _mm256_add_epi64(_mm256_or_si256(twice, _mm256_slli_epi64(twice, 32)),
                                          _mm256_set1_epi64x(0x100000000LL));
    const __m256d q0 = pick(lo, hi, pair, _mm256_cmpgt_epi64(idx, _mm256_set1_epi64x(3)));
    const __m256d q1 = pick(lo, hi, _mm256_add_epi32(pair, _mm256_set1_epi32(2)),
                            _mm256_cmpgt_epi64(idx, _mm256_set1_epi64x(2)));
    const __m256d v = _mm256_add_pd(q0, _mm256_mul_pd(_mm256_sub_pd(q1, q0), _mm256_sub_pd(t, ft)));
    if (Whole) {
        // Masked stores are slow on several processors; a whole vector is
        // written back with its unused lanes unchanged instead.
        const __m256d r = _mm256_loadu_pd(px);
        _mm256_storeu_pd(px, _mm256_blendv_pd(r, _mm256_add_pd(r, v), use));
    } else {
        const __m256i m = _mm256_castpd_si256(use);
        const __m256d r = _mm256_maskload_pd(px, m);
        _mm256_maskstore_pd(px, m, _mm256_add_pd(r, v));
    }
}

// As in the AVX-512 loop: t is monotonic across the lanes, so the lowest
// floor(t) is in an end lane.
template <bool Rising>
inline void addRow(double* row, const double* q, int xb, int xe, double dxb, __m256d cv, __m256d bv, __m256d hv,
                   __m256d top, int windowMax)
{
    const __m256d four = _mm256_set1_pd(4.0);
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    __m256d dx = _mm256_add_pd(_mm256_set1_pd(dxb), _mm256_set_pd(3.0, 2.0, 1.0, 0.0));
    int x = xb;
    for (; x + 4 <= xe; x += 4, dx = _mm256_add_pd(dx, four))
        addFour<Rising, true>(row + x, q, dx, all, cv, bv, hv, top, windowMax);
    if (x < xe) {
        const __m256i live = _mm256_cmpgt_epi64(_mm256_set1_epi64x(xe - x), _mm256_set_epi64x(3, 2, 1, 0));
        addFour<Rising, false>(row + x, q, dx, _mm256_castsi256_pd(live), cv, bv, hv, top, windowMax);
    }
}

} // namespace

void bpTileAvx2(const BpTile& t)
{
    const __m256d hv = _mm256_set1_pd(t.h);
    const __m256d top = _mm256_set1_pd(double(t.n - 2));
    const int windowMax = t.n + kBpPad - 8;
    for (int k = 0; k < t.count; ++k) {
        const __m256d cv = _mm256_set1_pd(t.cosv[k]);
        const bool rising = t.cosv[k] >= 0.0;
        const double s = t.sinv[k];
        const double* q = t.q[k];
        for (int z = t.z0; z < t.z1; ++z) {
            const int xb = t.xBegin[z - t.z0], xe = t.xEnd[z - t.z0];
            if (xb >= xe)
                continue;
            const __m256d bv = _mm256_set1_pd((z - t.h) * s);
            double* row = t.result + static_cast<long>(z) * t.n;
            const double dxb = xb - t.h;
            if (rising)
                addRow<true>(row, q, xb, xe, dxb, cv, bv, hv, top, windowMax);
            else
                addRow<false>(row, q, xb, xe, dxb, cv, bv, hv, top, windowMax);
        }
    }
}

#endif
