// One sinogram (projections by detector samples) and the geometry that
// places the centre of rotation on its middle column.
#pragma once

#include "recon/bigbuffer.h"

#include <vector>

// Geometry of a sinogram taken around a centre of rotation. D is the image
// size across the rotation axis (width for a vertical axis, height for a
// horizontal one). Column c of the sinogram is detector position
// cor + (c - (half - 1)), so the CoR is column half - 1.
struct SgmGeom {
    bool rotAxIsV = false;
    int half = 0;
    int width = 0;    // 2 * half - 1
    double cor = 0.0;
    int corInt = 0;   // floor(cor)
    double corFrac = 0.0;

    static SgmGeom make(bool rotAxIsV, int d, double cor);
    // A CoR whose floor is <= 0 or whose ceiling reaches D is refused.
    static bool corAccepted(int d, double cor);
    // FFT length and reconstruction grid size: width rounded down to even.
    int gridSize() const { return width > 0 ? (width & ~1) : 0; }
};

struct HSgm {
    BigVector<double> sgm;   // rows x width, row-major: ln((I0 - BG) / (I - BG))
    BigVector<double> raw;   // same shape: the resampled intensity I
    int width = 0;           // W = 2 * half - 1
    int rows = 0;            // projections M
    int slice = 0;           // detector row (vertical axis) or column used

    bool isEmpty() const { return sgm.empty() || rows <= 0 || width <= 0 || long(rows) * width <= 0; }
    void clear();
    void resize(int rowCount, int w, bool withRaw = true); // withRaw false: raw stays empty
    double* sgmRow(int k) { return sgm.data() + std::size_t(k) * std::size_t(width); }
    const double* sgmRow(int k) const { return sgm.data() + std::size_t(k) * std::size_t(width); }
    double* rawRow(int k) { return raw.data() + std::size_t(k) * std::size_t(width); }
    const double* rawRow(int k) const { return raw.data() + std::size_t(k) * std::size_t(width); }
};
