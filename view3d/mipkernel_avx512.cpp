// Compiled with -mavx512f -mavx512dq -mavx512vl; entered only when the
// processor has them. Eight rays at a time, the scalar loop's operations in
// its order.
#if defined(__x86_64__)

#include "view3d/mipkernel.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// Slices cast per pass over the rays: the rays' state is loaded once for
// them, and each ray still sees its slices in ascending order.
constexpr int kGroup = 4;
// Slices ahead whose rows under the bin are fetched while a group is cast.
constexpr int kAhead = 2 * kGroup;

// The rows of slice k that the bin's rays cross (the bin's box moved to the
// slice). Every row is one run of memory, which the prefetcher also follows.
template <bool Levels>
void prefetchBox(const MipTileJob& j, int k)
{
    const double kz = k - j.ss / 2.0;
    const double x0 = j.x0 + kz * j.dx, x1 = j.x1 + kz * j.dx;
    const double y0 = j.y0 + kz * j.dy, y1 = j.y1 + kz * j.dy;
    if (!(x1 >= 0 && y1 >= 0 && x0 < j.sw && y0 < j.sh))
        return;
    const int cx0 = int(std::max(0.0, x0)), cx1 = int(std::min(j.sw - 1.0, x1));
    const int cy0 = int(std::max(0.0, y0)), cy1 = int(std::min(j.sh - 1.0, y1));
    constexpr std::size_t size = Levels ? 2 : 8;
    const char* slice = Levels ? reinterpret_cast<const char*>(j.levels[k]) : reinterpret_cast<const char*>(j.slices[k]);
    for (int y = cy0; y <= cy1; ++y) {
        const char* row = slice + std::size_t(y) * std::size_t(j.sw) * size;
        const char* end = row + std::size_t(cx1) * size;
        for (const char* a = row + std::size_t(cx0) * size; a <= end + 63; a += 64)
            _mm_prefetch(a, _MM_HINT_T0);
    }
}

// The eight values at idx (row-major, below 2^32), one load each: these beat
// the gather instruction on processors whose gather is slow microcode.
inline __m512d loadLanes(const double* slice, __m256i idx)
{
    alignas(32) std::uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), idx);
    return _mm512_set_pd(slice[at[7]], slice[at[6]], slice[at[5]], slice[at[4]],
                         slice[at[3]], slice[at[2]], slice[at[1]], slice[at[0]]);
}

inline __m256i loadLevels(const std::uint16_t* slice, __m256i idx)
{
    alignas(32) std::uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), idx);
    return _mm256_set_epi32(slice[at[7]], slice[at[6]], slice[at[5]], slice[at[4]],
                            slice[at[3]], slice[at[2]], slice[at[1]], slice[at[0]]);
}

template <bool Cut, bool Desc, bool Levels>
void allSlices(const MipTileJob& j)
{
    const __m512d nzx = _mm512_set1_pd(j.nzx), nzy = _mm512_set1_pd(j.nzy), nzz = _mm512_set1_pd(j.nzz);
    const __m512d sw2 = _mm512_set1_pd(j.sw / 2.0), sh2 = _mm512_set1_pd(j.sh / 2.0);
    const __m512d vlo = _mm512_set1_pd(j.vlo), vhi = _mm512_set1_pd(j.vhi);
    const __m512d mx = _mm512_set1_pd(j.mx), my = _mm512_set1_pd(j.my), mz = _mm512_set1_pd(j.mz);
    const __m512d depth = _mm512_set1_pd(j.depth);
    const __m512d dlo = _mm512_set1_pd(j.depth - 1), dhi = _mm512_set1_pd(j.depth + 1);
    const __m256i sw = _mm256_set1_epi32(j.sw), sh = _mm256_set1_epi32(j.sh);
    for (int k = j.k0; k < std::min(j.k1, j.k0 + kAhead); ++k)
        prefetchBox<Levels>(j, k);
    for (int kg = j.k0; kg < j.k1; kg += kGroup) {
        const int kn = std::min(kGroup, j.k1 - kg);
        for (int k = kg + kAhead; k < std::min(j.k1, kg + kAhead + kGroup); ++k)
            prefetchBox<Levels>(j, k);
        for (int i = 0; i < j.count; i += 8) {
            const __m512d px = _mm512_loadu_pd(j.px + i);
            const __m512d py = _mm512_loadu_pd(j.py + i);
            const __m512d pz = _mm512_loadu_pd(j.pz + i);
            __m512d b = Levels ? _mm512_setzero_pd() : _mm512_loadu_pd(j.best + i);
            __m512d bd = Cut && !Levels ? _mm512_loadu_pd(j.band + i) : b;
            __m256i bl = Levels ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(j.bestLevel + i)) : _mm256_setzero_si256();
            __m256i bdl = Levels && Cut ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(j.bandLevel + i)) : bl;
            for (int g = 0; g < kn; ++g) {
                const int k = kg + g;
                const __m512d kz = _mm512_set1_pd(k - j.ss / 2.0);
                const __m512d t = _mm512_div_pd(_mm512_sub_pd(kz, pz), nzz);
                const __m512d hx = _mm512_add_pd(px, _mm512_mul_pd(t, nzx));
                const __m512d hy = _mm512_add_pd(py, _mm512_mul_pd(t, nzy));
                const __m512d fx = _mm512_add_pd(hx, sw2);
                const __m512d fy = _mm512_add_pd(hy, sh2);
                // trunc(f) lies in [0, size) exactly when f does in (-1, size); below
                // -1, beyond 2^32 and NaN convert to 2^32 - 1, which is outside too.
                const __m256i ix = _mm512_maskz_cvttpd_epu32(0xFF, fx);
                const __m256i iy = _mm512_maskz_cvttpd_epu32(0xFF, fy);
                const __mmask8 in = _mm256_mask_cmplt_epu32_mask(_mm256_cmplt_epu32_mask(ix, sw), iy, sh);
                if (in == 0)
                    continue;
                const __m256i idx = _mm256_add_epi32(_mm256_mullo_epi32(iy, sw), ix);
                // Lanes outside the slice read its first value and take nothing.
                __m512d v;
                __m256i vl;
                __mmask8 take;
                if (Levels) {
                    vl = loadLevels(j.levels[k], _mm256_maskz_mov_epi32(in, idx));
                    take = _mm256_mask_cmpgt_epi32_mask(in, vl, bl);
                } else {
                    v = loadLanes(j.slices[k], _mm256_maskz_mov_epi32(in, idx));
                    take = _mm512_mask_cmp_pd_mask(in, v, vlo, _CMP_GE_OQ);
                    take = _mm512_mask_cmp_pd_mask(take, v, vhi, _CMP_LE_OQ);
                    take = _mm512_mask_cmp_pd_mask(take, v, b, Desc ? _CMP_LT_OQ : _CMP_GT_OQ);
                }
                if (Cut) {
                    const __m512d hz = _mm512_add_pd(pz, _mm512_mul_pd(t, nzz));
                    const __m512d d = _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(hx, mx), _mm512_mul_pd(hy, my)),
                                                    _mm512_mul_pd(hz, mz));
                    take = _mm512_mask_cmp_pd_mask(take, d, depth, _CMP_LT_OQ);
                    __mmask8 near = _mm512_mask_cmp_pd_mask(in, d, dlo, _CMP_GT_OQ);
                    near = _mm512_mask_cmp_pd_mask(near, d, dhi, _CMP_LT_OQ);
                    if (Levels)
                        bdl = _mm256_mask_mov_epi32(bdl, near, vl);
                    else
                        bd = _mm512_mask_mov_pd(bd, near, v);
                }
                if (Levels)
                    bl = _mm256_mask_mov_epi32(bl, take, vl);
                else
                    b = _mm512_mask_mov_pd(b, take, v);
            }
            if (Levels) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(j.bestLevel + i), bl);
                if (Cut)
                    _mm256_storeu_si256(reinterpret_cast<__m256i*>(j.bandLevel + i), bdl);
            } else {
                _mm512_storeu_pd(j.best + i, b);
                if (Cut)
                    _mm512_storeu_pd(j.band + i, bd);
            }
        }
    }
}

} // namespace

void castMipTileAvx512(const MipTileJob& j)
{
    if (j.cut)
        j.descending ? allSlices<true, true, false>(j) : allSlices<true, false, false>(j);
    else
        j.descending ? allSlices<false, true, false>(j) : allSlices<false, false, false>(j);
}

void castMipLevelTileAvx512(const MipTileJob& j)
{
    j.cut ? allSlices<true, false, true>(j) : allSlices<false, false, true>(j);
}

#endif
