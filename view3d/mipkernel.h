// The ray loop of MipCaster over one bin of rays. Plain data only: the loop
// is compiled once per instruction set, and each copy must give the same bits.
#pragma once

#include <cstdint>

struct MipTileJob {
    const double* const* slices; // ss slices of sw x sh values, row-major
    int ss, sw, sh;
    int k0, k1;                  // slices [k0, k1) are cast, in ascending order
    int count;                   // rays in the bin, a multiple of 8 (spare rays start at NaN)
    const double* px;            // ray starts
    const double* py;
    const double* pz;
    double nzx, nzy, nzz;        // viewing direction, nzz != 0
    // Finite values in [vlo, vhi] are inside the threshold window. Levels
    // rise with the value unless descending; best keeps the value of the
    // highest level seen.
    double vlo, vhi;
    bool descending;
    bool cut;
    double mx, my, mz;           // cut-plane normal
    double depth;
    double* best;                // per ray; in and out
    double* band;                // per ray: value of the last sample near the cut plane
    // The level-class loop reads these instead: the slices' colour classes
    // (0 draws nothing), the highest class per ray and the band's class.
    const std::uint16_t* const* levels;
    std::int32_t* bestLevel;
    std::int32_t* bandLevel;
    // Where the rays cross slice k, roughly, in pixels: the box
    // [x0, x1] x [y0, y1] moved by (k - ss/2) * (dx, dy). Only prefetching reads it.
    double x0, x1, y0, y1, dx, dy;
};

// Picks the widest loop the processor runs; all give the same bits.
void castMipTile(const MipTileJob& job);
void castMipTileScalar(const MipTileJob& job);
void castMipLevelTile(const MipTileJob& job);
void castMipLevelTileScalar(const MipTileJob& job);
#if defined(__x86_64__)
bool mipAvx512Available();
void castMipTileAvx512(const MipTileJob& job);
void castMipLevelTileAvx512(const MipTileJob& job);
#endif
