// Six significant digits of eight doubles at once, for the data text: the
// common case of formatDouble6 on vector registers. Lanes it can't settle
// (zero, subnormal, not finite, out of the quick path's reach, a near tie)
// are left to formatDouble6 itself.
#pragma once

#include <cstdint>

struct SixDigits8 {
    std::uint64_t digits[8]; // six digit characters, the first in the lowest byte
    std::int32_t exponent[8]; // decimal exponent of the first digit
    std::int32_t kept[8];     // digits up to the last one that is not '0'
};

// The values of a data text: the first `lanes` of src, each set to 0 when
// above upper or below lower and then moved by offset where clip is set,
// into v[0..7]. Bit i of the result set: lane i of out holds v[i]'s digits;
// 0 when the processor lacks the instructions (v is then not written).
struct TextValues {
    const double* src;
    int lanes;
    bool clip;
    double upper, lower, offset;
};
unsigned sixDigits8(const TextValues& in, double* v, SixDigits8* out);
#if defined(__x86_64__)
bool sixDigits8Available();
unsigned sixDigits8Avx512(const TextValues& in, double* v, SixDigits8* out);
#endif
