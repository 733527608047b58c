#include "recon/backproject.h"

#include "recon/bpkernels.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A tile of 32 rows by 128 columns (32 KiB of result) stays in L1 while
// every projection passes over it; the filtered samples one projection needs
// for it are a short window, so the whole sinogram streams through once per
// tile instead of the whole result once per projection.
constexpr int kTileRows = 32;
constexpr int kTileCols = 128;

// Integer loop bounds [begin, end) of lo <= v < hi starting at trunc(lo),
// clipped to the grid. False for an empty or NaN range.
bool regionSpan(double lo, double hi, int n, int* begin, int* end)
{
    if (std::isnan(lo) || std::isnan(hi))
        return false;
    const double b = std::clamp(std::trunc(lo), 0.0, double(n));
    // Integer v < hi exactly when v < ceil(hi).
    const double e = std::clamp(std::ceil(hi), b, double(n));
    *begin = int(b);
    *end = int(e);
    return *begin < *end;
}

// Columns [begin, end) of row z that pass the circle test. The test depends
// on |x - h| only and grows with it, so the passing columns form one run
// around the centre; its ends are found with the very same test.
void circleSpan(int z, int n, double h, int* begin, int* end)
{
    *begin = *end = 0;
    int mid = int(std::floor(h));
    if (!bpInsideCircle(mid, z, h)) {
        if (mid + 1 >= n || !bpInsideCircle(mid + 1, z, h))
            return;
        ++mid;
    }
    const double dz = z - h;
    const double r = std::sqrt(std::max(0.0, h * h - dz * dz));
    int a = std::clamp(int(std::ceil(h - r)), 0, mid);
    int b = std::clamp(int(std::floor(h + r)), mid, n - 1);
    while (!bpInsideCircle(a, z, h))
        ++a;
    while (a > 0 && bpInsideCircle(a - 1, z, h))
        --a;
    while (!bpInsideCircle(b, z, h))
        --b;
    while (b < n - 1 && bpInsideCircle(b + 1, z, h))
        ++b;
    *begin = a;
    *end = b + 1;
}

using TileKernel = void (*)(const BpTile&);

TileKernel kernelFor(BpIsa isa)
{
#if defined(__x86_64__)
    if (isa == BpIsa::Avx512)
        return bpTileAvx512;
    if (isa == BpIsa::Avx2)
        return bpTileAvx2;
#else
    (void)isa;
#endif
    return bpTileScalar;
}

bool cpuHas(BpIsa isa)
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    switch (isa) {
    case BpIsa::Scalar:
        return true;
    case BpIsa::Avx2:
        return __builtin_cpu_supports("avx2");
    case BpIsa::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    }
    return false;
#else
    return isa == BpIsa::Scalar;
#endif
}

// FENU2_BACKPROJECT=scalar|avx2|avx512 caps the instruction set, so the
// slower paths can be tried on a machine that has the faster ones.
BpIsa isaCap()
{
    const char* v = std::getenv("FENU2_BACKPROJECT");
    if (!v)
        return BpIsa::Avx512;
    if (std::strcmp(v, "scalar") == 0)
        return BpIsa::Scalar;
    if (std::strcmp(v, "avx2") == 0)
        return BpIsa::Avx2;
    return BpIsa::Avx512;
}

} // namespace

bool bpIsaAvailable(BpIsa isa)
{
    static const bool has[3] = {cpuHas(BpIsa::Scalar), cpuHas(BpIsa::Avx2), cpuHas(BpIsa::Avx512)};
    return has[int(isa)];
}

BpIsa bpBestIsa()
{
    static const BpIsa best = [] {
        for (BpIsa isa : {BpIsa::Avx512, BpIsa::Avx2})
            if (isa <= isaCap() && bpIsaAvailable(isa))
                return isa;
        return BpIsa::Scalar;
    }();
    return best;
}

const char* bpIsaName(BpIsa isa)
{
    switch (isa) {
    case BpIsa::Scalar:
        return "scalar";
    case BpIsa::Avx2:
        return "avx2";
    case BpIsa::Avx512:
        return "avx512";
    }
    return "?";
}

double bpAngle(double startAngle, double angleStep, int i)
{
    return startAngle + i * angleStep;
}

void bpTrig(double theta, double* c, double* s)
{
    *c = std::cos(theta);
    *s = std::sin(theta);
}

bool bpInsideCircle(int x, int z, double h)
{
    return std::sqrt((x - h) * (x - h) + (z - h) * (z - h)) < h;
}

void backProjectReference(double* result, int n, const double* q, double theta, const CalcRegion& region)
{
    int zb, ze, xb, xe;
    if (n < 2 || !regionSpan(region.z0, region.z1, n, &zb, &ze) || !regionSpan(region.x0, region.x1, n, &xb, &xe))
        return;
    double c, s;
    bpTrig(theta, &c, &s);
    const double h = n * 0.5;
    for (int z = zb; z < ze; ++z) {
        for (int x = xb; x < xe; ++x) {
            if (!bpInsideCircle(x, z, h))
                continue;
            const double t = (x - h) * c - (z - h) * s + h;
            const double fj = std::floor(t);
            if (!(fj >= 0.0 && fj <= n - 2))
                continue;
            const int j = int(fj);
            result[std::size_t(z) * std::size_t(n) + std::size_t(x)] += q[j] + (q[j + 1] - q[j]) * (t - j);
        }
    }
}

void bpTileScalar(const BpTile& t)
{
    const double h = t.h;
    const double top = t.n - 2;
    for (int k = 0; k < t.count; ++k) {
        const double c = t.cosv[k];
        const double* q = t.q[k];
        for (int z = t.z0; z < t.z1; ++z) {
            const int xb = t.xBegin[z - t.z0], xe = t.xEnd[z - t.z0];
            const double b = (z - h) * t.sinv[k];
            double* row = t.result + std::size_t(z) * std::size_t(t.n);
            for (int x = xb; x < xe; ++x) {
                const double tt = (x - h) * c - b + h;
                const double fj = std::floor(tt);
                if (!(fj >= 0.0 && fj <= top))
                    continue;
                const int j = int(fj);
                row[x] += q[j] + (q[j + 1] - q[j]) * (tt - fj);
            }
        }
    }
}

void backProjectFast(double* result, int n, const double* const* q, int count, int first, double startAngle,
                     double angleStep, const CalcRegion& region, BpIsa isa)
{
    int zb, ze, xb, xe;
    if (!result || n < 2 || count <= 0 || !regionSpan(region.z0, region.z1, n, &zb, &ze)
        || !regionSpan(region.x0, region.x1, n, &xb, &xe))
        return;
    const TileKernel kernel = kernelFor(bpIsaAvailable(isa) ? isa : BpIsa::Scalar);
    const double h = n * 0.5;

    std::vector<double> cosv(static_cast<std::size_t>(count)), sinv(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k)
        bpTrig(bpAngle(startAngle, angleStep, first + k), &cosv[std::size_t(k)], &sinv[std::size_t(k)]);

    std::vector<int> rowBegin(static_cast<std::size_t>(ze - zb)), rowEnd(static_cast<std::size_t>(ze - zb));
    for (int z = zb; z < ze; ++z) {
        int a, b;
        circleSpan(z, n, h, &a, &b);
        rowBegin[std::size_t(z - zb)] = std::max(a, xb);
        rowEnd[std::size_t(z - zb)] = std::max(std::min(b, xe), rowBegin[std::size_t(z - zb)]);
    }

    int tileBegin[kTileRows], tileEnd[kTileRows];
    BpTile tile{n, h, result, 0, 0, tileBegin, tileEnd, count, cosv.data(), sinv.data(), q};
    for (int z0 = zb; z0 < ze; z0 += kTileRows) {
        const int z1 = std::min(ze, z0 + kTileRows);
        int lo = INT_MAX, hi = INT_MIN;
        for (int z = z0; z < z1; ++z) {
            if (rowBegin[std::size_t(z - zb)] < rowEnd[std::size_t(z - zb)]) {
                lo = std::min(lo, rowBegin[std::size_t(z - zb)]);
                hi = std::max(hi, rowEnd[std::size_t(z - zb)]);
            }
        }
        tile.z0 = z0;
        tile.z1 = z1;
        for (int x0 = lo; x0 < hi; x0 += kTileCols) {
            const int x1 = std::min(hi, x0 + kTileCols);
            for (int z = z0; z < z1; ++z) {
                tileBegin[z - z0] = std::max(rowBegin[std::size_t(z - zb)], x0);
                tileEnd[z - z0] = std::max(std::min(rowEnd[std::size_t(z - zb)], x1), tileBegin[z - z0]);
            }
            kernel(tile);
        }
    }
}
