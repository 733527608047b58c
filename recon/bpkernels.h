// The per-tile inner loops of the fast back projection, one per instruction
// set. Each lives in a file compiled for its instruction set; this header
// holds plain data only, so nothing inline leaks out of those files.
#pragma once

// Zero samples a filtered row holds on each side of its N values, so that
// the vector loop may read a window around every sample it interpolates.
constexpr int kBpPad = 16;

// One tile of the grid and every projection to add into it. Row z of the
// tile (z0 <= z < z1) covers columns xBegin[z - z0] <= x < xEnd[z - z0],
// already clipped to the inscribed circle, the region and the tile.
struct BpTile {
    int n;
    double h;           // grid centre n / 2
    double* result;     // row z at result + z * n
    int z0, z1;
    const int* xBegin;
    const int* xEnd;
    int count;          // projections, added in index order
    const double* cosv;
    const double* sinv;
    const double* const* q; // filtered rows, kBpPad zeros before and after
};

void bpTileScalar(const BpTile& t);
#if defined(__x86_64__)
void bpTileAvx2(const BpTile& t);
void bpTileAvx512(const BpTile& t);
#endif
