// The grey mapping of the colour bar, free of widgets: every data picture
// of the program is an 8-bit grey image whose levels come from here.
#pragma once

#include <cstddef>
#include <cstdint>

class ColorScale
{
public:
    double vmin = 0.0; // value at the bottom of the bar
    double vmax = 1.0; // value at the top
    double lo = 0.0;   // lower marker, fraction of the bar from the bottom
    double hi = 1.0;   // upper marker

    // Grey level 0..255 of v: f = (v - vmin) / (vmax - vmin),
    // g = (f - lo) * 256 / (hi - lo), clamped to [0, 255] and truncated.
    // A zero range or equal markers give 0 at or below the common point,
    // 255 above it; an undefined quotient (NaN) gives 0.
    int colorIndex(double v) const;

    // Grey level of a place f on the bar (0 bottom, 1 top): the second half
    // of colorIndex, also used to paint the bar's ramp.
    int levelOfFraction(double f) const;

    // colorIndex of n values, bit for bit the same as the one-value form.
    void mapToGrey(const double* values, std::size_t n, uint8_t* grey) const;
};
