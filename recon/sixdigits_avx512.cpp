// Compiled with -mavx512f -mavx512dq -mavx512cd -mavx512vl; entered only
// when the processor has them. The quick path of formatDouble6's digits,
// lane by lane the same operations, one try at the exponent.
#if defined(__x86_64__)

#include "recon/sixdigits.h"

// GCC 12 takes the undefined source of some masked intrinsics for an
// uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

namespace {

constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^i for i in 0..22 from registers, not memory: a gather costs more than
// the shuffles.
struct Powers {
    __m512d p0 = _mm512_loadu_pd(kPow10);
    __m512d p8 = _mm512_loadu_pd(kPow10 + 8);
    __m512d p16 = _mm512_maskz_loadu_pd(0x7f, kPow10 + 16);

    __m512d at(__m512i i) const
    {
        const __m512d low = _mm512_permutex2var_pd(p0, i, p8);
        const __m512d high = _mm512_permutexvar_pd(i, p16);
        return _mm512_mask_mov_pd(low, _mm512_cmpge_epi64_mask(i, _mm512_set1_epi64(16)), high);
    }
};

// Characters of x (0..99), the tens in the low byte.
inline __m512i twoChars(__m512i x)
{
    const __m512i tens = _mm512_srli_epi64(_mm512_mullo_epi64(x, _mm512_set1_epi64(205)), 11);
    const __m512i ones = _mm512_sub_epi64(x, _mm512_mullo_epi64(tens, _mm512_set1_epi64(10)));
    const __m512i zero = _mm512_set1_epi64('0');
    return _mm512_or_si512(_mm512_add_epi64(tens, zero), _mm512_slli_epi64(_mm512_add_epi64(ones, zero), 8));
}

} // namespace

unsigned sixDigits8Avx512(const TextValues& in, double* v, SixDigits8* out)
{
    // Straight from the values: a wide read of the few just stored one by one
    // waits for them.
    __m512d value = _mm512_maskz_loadu_pd(__mmask8((1u << in.lanes) - 1), in.src);
    if (in.clip) {
        const __mmask8 outside = _mm512_cmp_pd_mask(value, _mm512_set1_pd(in.upper), _CMP_GT_OQ)
            | _mm512_cmp_pd_mask(value, _mm512_set1_pd(in.lower), _CMP_LT_OQ);
        value = _mm512_add_pd(_mm512_mask_mov_pd(value, outside, _mm512_setzero_pd()), _mm512_set1_pd(in.offset));
    }
    _mm512_storeu_pd(v, value);
    const __m512i bits = _mm512_castpd_si512(value);
    const __m512i biased = _mm512_and_si512(_mm512_srli_epi64(bits, 52), _mm512_set1_epi64(0x7ff));
    __mmask8 ok = _mm512_cmpneq_epi64_mask(biased, _mm512_setzero_si512())
        & _mm512_cmpneq_epi64_mask(biased, _mm512_set1_epi64(0x7ff));
    const __m512d a = _mm512_abs_pd(value);
    // floor((e - 1023) * 315653 / 2^20)
    const __m512i e2 = _mm512_sub_epi64(biased, _mm512_set1_epi64(1023));
    __m512i d = _mm512_srai_epi64(_mm512_mullo_epi64(e2, _mm512_set1_epi64(315653)), 20);
    // The estimate is often one low.
    const __mmask8 near = _mm512_cmpge_epi64_mask(d, _mm512_set1_epi64(-1)) & _mm512_cmplt_epi64_mask(d, _mm512_set1_epi64(21));
    const __m512i up = _mm512_maskz_add_epi64(near, d, _mm512_set1_epi64(1));
    const Powers pow10;
    const __m512d bound = pow10.at(up);
    d = _mm512_mask_add_epi64(d, _mm512_mask_cmp_pd_mask(near, a, bound, _CMP_GE_OQ), d, _mm512_set1_epi64(1));
    // a scaled to six digits before the point, as formatDouble6 tries it:
    // a second try, one decade up or down, for lanes that miss.
    auto scaled = [&](__m512i dd, __mmask8* usable) {
        const __m512i k = _mm512_sub_epi64(_mm512_set1_epi64(5), dd);
        *usable &= _mm512_cmple_epi64_mask(k, _mm512_set1_epi64(22)) & _mm512_cmpge_epi64_mask(k, _mm512_set1_epi64(-22));
        const __m512d scale = pow10.at(_mm512_maskz_abs_epi64(*usable, k));
        const __mmask8 divide = *usable & _mm512_cmplt_epi64_mask(k, _mm512_setzero_si512());
        __m512d r = _mm512_mul_pd(a, scale);
        if (divide) // values of a million and more: rare in a slice
            r = _mm512_mask_div_pd(r, divide, a, scale);
        return r;
    };
    __m512d y = scaled(d, &ok);
    const __mmask8 low = _mm512_mask_cmp_pd_mask(ok, y, _mm512_set1_pd(100000.0), _CMP_LT_OQ);
    const __mmask8 high = _mm512_mask_cmp_pd_mask(ok, y, _mm512_set1_pd(1000000.0), _CMP_GE_OQ);
    if (low | high) {
        d = _mm512_mask_sub_epi64(d, low, d, _mm512_set1_epi64(1));
        d = _mm512_mask_add_epi64(d, high, d, _mm512_set1_epi64(1));
        __mmask8 again = low | high;
        y = _mm512_mask_mov_pd(y, again, scaled(d, &again));
        ok = (ok & ~(low | high)) | again;
    }
    ok = _mm512_mask_cmp_pd_mask(ok, y, _mm512_set1_pd(100000.0), _CMP_GE_OQ);
    ok = _mm512_mask_cmp_pd_mask(ok, y, _mm512_set1_pd(1000000.0), _CMP_LT_OQ);
    const __m512i whole = _mm512_maskz_cvttpd_epu64(ok, y);
    const __m512d frac = _mm512_sub_pd(y, _mm512_cvtepu64_pd(whole));
    // Too near a tie for the product's rounding: the exact path decides.
    const __m512d off = _mm512_abs_pd(_mm512_sub_pd(frac, _mm512_set1_pd(0.5)));
    ok &= _mm512_cmp_pd_mask(off, _mm512_set1_pd(1e-9), _CMP_NLT_UQ);
    __m512i q = _mm512_mask_add_epi64(whole, _mm512_cmp_pd_mask(frac, _mm512_set1_pd(0.5), _CMP_GT_OQ), whole,
                                      _mm512_set1_epi64(1));
    const __mmask8 carry = _mm512_cmpeq_epi64_mask(q, _mm512_set1_epi64(1000000));
    q = _mm512_mask_mov_epi64(q, carry, _mm512_set1_epi64(100000));
    d = _mm512_mask_add_epi64(d, carry, d, _mm512_set1_epi64(1));

    const __m512i hi = _mm512_srli_epi64(_mm512_mullo_epi64(q, _mm512_set1_epi64(3518437209)), 45);
    const __m512i hundreds = _mm512_srli_epi64(_mm512_mullo_epi64(q, _mm512_set1_epi64(1374389535)), 37);
    const __m512i mid = _mm512_sub_epi64(hundreds, _mm512_mullo_epi64(hi, _mm512_set1_epi64(100)));
    const __m512i lo = _mm512_sub_epi64(q, _mm512_mullo_epi64(hundreds, _mm512_set1_epi64(100)));
    const __m512i digits = _mm512_or_si512(_mm512_or_si512(twoChars(hi), _mm512_slli_epi64(twoChars(mid), 16)),
                                           _mm512_slli_epi64(twoChars(lo), 32));
    // The first digit is never '0', so some bit is set.
    const __m512i set = _mm512_xor_si512(digits, _mm512_set1_epi64(0x303030303030ll));
    const __m512i kept = _mm512_add_epi64(
        _mm512_srli_epi64(_mm512_sub_epi64(_mm512_set1_epi64(63), _mm512_lzcnt_epi64(set)), 3), _mm512_set1_epi64(1));
    _mm512_storeu_si512(out->digits, digits);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out->exponent), _mm512_cvtepi64_epi32(d));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out->kept), _mm512_cvtepi64_epi32(kept));
    return ok;
}

#endif
