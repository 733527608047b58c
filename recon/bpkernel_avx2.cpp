// Compiled with -mavx2; entered only when the processor has AVX2. Plain
// arithmetic intrinsics in the reference loop's order (no fused
// multiply-add), so every pixel gets the reference's bits.
#if defined(__x86_64__)

#include "recon/bpkernels.h"

#include <immintrin.h>

namespace {

// Projections added to each four pixels while they sit in a register.
constexpr int kGroup = 2;

struct Proj {
    __m256d c;       // cos, broadcast
    __m256d b;       // (z - h) * sin of the current row, broadcast
    const double* q;
};

// Picks q[base + idx] per lane from the eight samples lo:hi. The permute
// works on pairs of floats, so a double at position p is floats 2p and
// 2p + 1 (modulo the register); the blend takes hi where idx >= 4.
inline __m256d pick(__m256d lo, __m256d hi, __m256i pairIdx, __m256i fromHi)
{
    const __m256 a = _mm256_permutevar8x32_ps(_mm256_castpd_ps(lo), pairIdx);
    const __m256 b = _mm256_permutevar8x32_ps(_mm256_castpd_ps(hi), pairIdx);
    return _mm256_castps_pd(_mm256_blendv_ps(a, b, _mm256_castsi256_ps(fromHi)));
}

// Adds one projection to four pixels r whose x - h are dx, as the AVX-512
// loop does: t is monotonic across the lanes, so the lowest floor(t) is in
// an end lane, and four lanes span at most five samples plus the right
// neighbour.
template <bool Rising>
inline __m256d addOne(__m256d r, const Proj& p, __m256d dx, __m256d live, __m256d hv, __m256d top, int windowMax)
{
    const __m256d t = _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(dx, p.c), p.b), hv);
    const __m256d ft = _mm256_floor_pd(t);
    const __m256d use = _mm256_and_pd(live, _mm256_and_pd(_mm256_cmp_pd(ft, _mm256_setzero_pd(), _CMP_GE_OQ),
                                                          _mm256_cmp_pd(ft, top, _CMP_LE_OQ)));
    // Lanes out of range (NaN included) convert to INT_MIN; clamped below.
    const __m128i j = _mm256_cvttpd_epi32(ft);
    int base = Rising ? _mm_cvtsi128_si32(j) : _mm_extract_epi32(j, 3);
    base = base < -kBpPad ? -kBpPad : (base > windowMax ? windowMax : base);
    const __m256d lo = _mm256_loadu_pd(p.q + base);
    const __m256d hi = _mm256_loadu_pd(p.q + base + 4);
    const __m256i idx = _mm256_cvtepi32_epi64(_mm_sub_epi32(j, _mm_set1_epi32(base)));
    const __m256i twice = _mm256_slli_epi64(idx, 1);
    const __m256i pair = _mm256_add_epi64(_mm256_or_si256(twice, _mm256_slli_epi64(twice, 32)),
                                          _mm256_set1_epi64x(0x100000000LL));
    const __m256d q0 = pick(lo, hi, pair, _mm256_cmpgt_epi64(idx, _mm256_set1_epi64x(3)));
    const __m256d q1 = pick(lo, hi, _mm256_add_epi32(pair, _mm256_set1_epi32(2)),
                            _mm256_cmpgt_epi64(idx, _mm256_set1_epi64x(2)));
    const __m256d v = _mm256_add_pd(q0, _mm256_mul_pd(_mm256_sub_pd(q1, q0), _mm256_sub_pd(t, ft)));
    return _mm256_blendv_pd(r, _mm256_add_pd(r, v), use);
}

// Adds G projections, in their order, to columns xb <= x < xe of a row.
template <bool Rising, int G>
inline void addRow(double* row, int xb, int xe, double dxb, const Proj* p, __m256d hv, __m256d top, int windowMax)
{
    const __m256d four = _mm256_set1_pd(4.0);
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    __m256d dx = _mm256_add_pd(_mm256_set1_pd(dxb), _mm256_set_pd(3.0, 2.0, 1.0, 0.0));
    int x = xb;
    for (; x + 4 <= xe; x += 4, dx = _mm256_add_pd(dx, four)) {
        __m256d r = _mm256_loadu_pd(row + x);
        for (int g = 0; g < G; ++g)
            r = addOne<Rising>(r, p[g], dx, all, hv, top, windowMax);
        _mm256_storeu_pd(row + x, r);
    }
    if (x < xe) {
        const __m256i live = _mm256_cmpgt_epi64(_mm256_set1_epi64x(xe - x), _mm256_set_epi64x(3, 2, 1, 0));
        __m256d r = _mm256_maskload_pd(row + x, live);
        for (int g = 0; g < G; ++g)
            r = addOne<Rising>(r, p[g], dx, _mm256_castsi256_pd(live), hv, top, windowMax);
        _mm256_maskstore_pd(row + x, live, r);
    }
}

template <bool Rising, int G>
void addGroup(const BpTile& t, int k)
{
    const __m256d hv = _mm256_set1_pd(t.h);
    const __m256d top = _mm256_set1_pd(double(t.n - 2));
    const int windowMax = t.n + kBpPad - 8;
    Proj p[G];
    for (int g = 0; g < G; ++g) {
        p[g].c = _mm256_set1_pd(t.cosv[k + g]);
        p[g].q = t.q[k + g];
    }
    for (int z = t.z0; z < t.z1; ++z) {
        const int xb = t.xBegin[z - t.z0], xe = t.xEnd[z - t.z0];
        if (xb >= xe)
            continue;
        for (int g = 0; g < G; ++g)
            p[g].b = _mm256_set1_pd((z - t.h) * t.sinv[k + g]);
        addRow<Rising, G>(t.result + static_cast<long>(z) * t.n, xb, xe, xb - t.h, p, hv, top, windowMax);
    }
}

template <bool Rising, int G = kGroup>
void addGroupOf(const BpTile& t, int k, int size)
{
    if constexpr (G == 1)
        addGroup<Rising, 1>(t, k);
    else if (size == G)
        addGroup<Rising, G>(t, k);
    else
        addGroupOf<Rising, G - 1>(t, k, size);
}

} // namespace

void bpTileAvx2(const BpTile& t)
{
    // Groups are runs of projections whose cos has the same sign.
    for (int k = 0; k < t.count;) {
        const bool rising = t.cosv[k] >= 0.0;
        int size = 1;
        while (size < kGroup && k + size < t.count && (t.cosv[k + size] >= 0.0) == rising)
            ++size;
        if (rising)
            addGroupOf<true>(t, k, size);
        else
            addGroupOf<false>(t, k, size);
        k += size;
    }
}

#endif
