// Compiled with -mavx512f -mavx512dq; entered only when the processor has
// both. Plain arithmetic intrinsics in the reference loop's order (no fused
// multiply-add), so every pixel gets the reference's bits.
#if defined(__x86_64__)

#include "recon/bpkernels.h"

#include <immintrin.h>

namespace {

// Projections added to each eight pixels while they sit in a register.
constexpr int kGroup = 4;

struct Proj {
    __m512d c;       // cos, broadcast
    __m512d b;       // (z - h) * sin of the current row, broadcast
    const double* q;
};

// Adds one projection to eight pixels r whose x - h are dx; lanes outside
// `live` or whose floor(t) is outside 0 .. N-2 keep their value. t grows
// with x when cos >= 0 and falls otherwise (rounding keeps that order), so
// the lowest floor(t) is in an end lane, and the eight lanes need at most ten
// neighbouring samples: two loads of eight hold every q[j] and q[j + 1].
template <bool Rising>
inline __m512d addOne(__m512d r, const Proj& p, __m512d dx, __mmask8 live, __m512d hv, __m512i top, long windowMax)
{
    const __m512d t = _mm512_add_pd(_mm512_sub_pd(_mm512_mul_pd(dx, p.c), p.b), hv);
    // floor(t) as an integer; NaN and huge values become INT64_MIN, which
    // the unsigned range test rejects with the negatives.
    const __m512i j = _mm512_cvt_roundpd_epi64(t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __mmask8 use = _mm512_mask_cmple_epu64_mask(live, j, top);
    long base = Rising ? _mm_cvtsi128_si64(_mm512_extracti64x2_epi64(j, 0))
                       : _mm_extract_epi64(_mm512_extracti64x2_epi64(j, 3), 1);
    // Only a vector with no lane in use can reach outside the padded row.
    base = base < -kBpPad ? -kBpPad : (base > windowMax ? windowMax : base);
    const __m512d lo = _mm512_loadu_pd(p.q + base);
    const __m512d hi = _mm512_loadu_pd(p.q + base + 8);
    const __m512i idx = _mm512_sub_epi64(j, _mm512_set1_epi64(base));
    const __m512d q0 = _mm512_permutex2var_pd(lo, idx, hi);
    const __m512d q1 = _mm512_permutex2var_pd(lo, _mm512_add_epi64(idx, _mm512_set1_epi64(1)), hi);
    const __m512d frac = _mm512_sub_pd(t, _mm512_cvtepi64_pd(j));
    const __m512d v = _mm512_add_pd(q0, _mm512_mul_pd(_mm512_sub_pd(q1, q0), frac));
    return _mm512_mask_add_pd(r, use, r, v);
}

// Adds G projections, in their order, to columns xb <= x < xe of a row.
template <bool Rising, int G>
inline void addRow(double* row, int xb, int xe, double dxb, const Proj* p, __m512d hv, __m512i top, long windowMax)
{
    const __m512d eight = _mm512_set1_pd(8.0);
    __m512d dx = _mm512_add_pd(_mm512_set1_pd(dxb), _mm512_set_pd(7.0, 6.0, 5.0, 4.0, 3.0, 2.0, 1.0, 0.0));
    int x = xb;
    for (; x + 8 <= xe; x += 8, dx = _mm512_add_pd(dx, eight)) {
        __m512d r = _mm512_loadu_pd(row + x);
        for (int g = 0; g < G; ++g)
            r = addOne<Rising>(r, p[g], dx, __mmask8(0xFF), hv, top, windowMax);
        _mm512_storeu_pd(row + x, r);
    }
    if (x < xe) {
        const __mmask8 live = __mmask8((1u << (xe - x)) - 1u);
        __m512d r = _mm512_maskz_loadu_pd(live, row + x);
        for (int g = 0; g < G; ++g)
            r = addOne<Rising>(r, p[g], dx, live, hv, top, windowMax);
        _mm512_mask_storeu_pd(row + x, live, r);
    }
}

template <bool Rising, int G>
void addGroup(const BpTile& t, int k)
{
    const __m512d hv = _mm512_set1_pd(t.h);
    const __m512i top = _mm512_set1_epi64(t.n - 2);
    const long windowMax = long(t.n) + kBpPad - 16;
    Proj p[G];
    for (int g = 0; g < G; ++g) {
        p[g].c = _mm512_set1_pd(t.cosv[k + g]);
        p[g].q = t.q[k + g];
    }
    for (int z = t.z0; z < t.z1; ++z) {
        const int xb = t.xBegin[z - t.z0], xe = t.xEnd[z - t.z0];
        if (xb >= xe)
            continue;
        for (int g = 0; g < G; ++g)
            p[g].b = _mm512_set1_pd((z - t.h) * t.sinv[k + g]);
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

void bpTileAvx512(const BpTile& t)
{
    // Groups are runs of projections whose cos has the same sign, so that
    // one code path serves the whole group.
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
