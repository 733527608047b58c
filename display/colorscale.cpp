#include "display/colorscale.h"

#include <cmath>

// A quotient whose divisor is 0 is replaced by +-inf (or NaN for 0/0) as the
// rule says; doing it explicitly keeps the result independent of how the
// compiler treats division by zero.
static inline double safeQuotient(double num, double den)
{
    if (den != 0.0)
        return num / den;
    if (num > 0.0)
        return HUGE_VAL;
    if (num < 0.0)
        return -HUGE_VAL;
    return NAN;
}

static inline int level(double g)
{
    // NaN fails both comparisons and falls through to 0.
    if (g >= 255.0)
        return 255;
    if (g > 0.0)
        return int(g);
    return 0;
}

int ColorScale::colorIndex(double v) const
{
    return levelOfFraction(safeQuotient(v - vmin, vmax - vmin));
}

int ColorScale::levelOfFraction(double f) const
{
    return level(safeQuotient((f - lo) * 256.0, hi - lo));
}

void ColorScale::mapToGrey(const double* values, std::size_t n, uint8_t* grey) const
{
    // Locals, not members: the byte stores could alias the fields and would
    // force a reload per pixel.
    const double base = vmin;
    const double low = lo;
    const double range = vmax - vmin;
    const double marks = hi - lo;
    if (range == 0.0 || marks == 0.0) {
        for (std::size_t i = 0; i < n; ++i)
            grey[i] = uint8_t(colorIndex(values[i]));
        return;
    }
    // Same arithmetic as colorIndex. The clamp is written as max then min:
    // NaN fails "g > 0" and becomes 0 as in level(), and this form lets the
    // compiler turn the loop into vector code.
    for (std::size_t i = 0; i < n; ++i) {
        const double f = (values[i] - base) / range;
        double g = (f - low) * 256.0 / marks;
        g = g > 0.0 ? g : 0.0;
        g = g < 255.0 ? g : 255.0;
        grey[i] = uint8_t(int32_t(g));
    }
}
