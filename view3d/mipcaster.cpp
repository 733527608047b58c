#include "view3d/mipcaster.h"

#include "view3d/allcores.h"
#include "view3d/doubleorder.h"
#include "view3d/mipkernel.h"
#include "view3d/miplevels.h"

#include <QDebug>
#include <QFile>
#include <QPainter>
#include <QSvgGenerator>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The level is monotonic in the value (a rounded subtraction, a division by
// a constant and an exact scaling), so the values with a level in [0, 255]
// form an interval, and the highest level along a ray is the level of its
// highest (or, for inverted thresholds, lowest) visible value. The interval
// is found once per picture; the rays then only compare values.
bool visibleWindow(double thMin, double thMax, double* vlo, double* vhi, bool* descending)
{
    const double span = thMax - thMin;
    if (!(std::isfinite(thMin) && std::isfinite(span) && span != 0.0))
        return false; // every level is 0, infinite or NaN: nothing shows
    auto raw = [&](double v) { return (v - thMin) / (thMax - thMin) * 256; };
    auto notBelow = [&](double v) { return raw(v) >= 0; };
    auto notAbove = [&](double v) { return raw(v) <= 255; };
    *descending = span < 0;
    const bool found = *descending ? firstTrue(notAbove, vlo) && lastTrue(notBelow, vhi)
                                   : firstTrue(notBelow, vlo) && lastTrue(notAbove, vhi);
    return found && *vlo <= *vhi;
}

// A colour as the painter fills with it: premultiplied in 16 bits per
// component, then rounded to 8, so that laying the set over at once gives
// the bits of painting its pixels one by one.
QRgb premultiplied(QRgb c)
{
    return qPremultiply(QRgba64::fromArgb32(c)).toArgb32();
}

int clampedPixel(double v)
{
    return int(std::max(-1e9, std::min(1e9, std::trunc(v))));
}


// The rays of a picture grouped by where they cross the middle slice: a bin
// is a small box there, and since every ray moves by the same step from
// slice to slice, the bin stays a box of the same size on every slice. A bin
// cast slice after slice so reads whole runs of each slice's rows while its
// rays' state stays in the core's cache, instead of every ray walking
// through the whole stack alone.
struct RayBins {
    std::vector<int> rays;   // picture pixel indices, bin after bin, picture order within
    std::vector<int> first;  // bin b holds rays[first[b] .. first[b + 1])
    std::vector<int> k0, k1; // slices that can hold a sample of the bin
    std::vector<int> c0, c1; // with the cut: outside these slices every sample lies before its band
    std::vector<double> box; // per bin x0, x1, y0, y1 in pixels on the middle slice
    std::vector<double> hull; // per bin the least and largest crossing x, then y, of its rays, and their size (for rounding)
    double dx = 0, dy = 0;   // the boxes' move per slice
    std::vector<int> key;    // per picture pixel: its bin, -1 for none
    std::vector<int> blockCount, blockK0, blockK1, blockC0, blockC1; // binning scratch
    std::vector<double> blockHull;
};

// Rays per bin: their state (40 bytes each) and the bin's rows stay in the core's cache.
constexpr double kRaysPerBin = 512;

void binRays(const MipCaster& mc, const MipTileJob& j, RayBins& out)
{
    out.first.assign(1, 0);
    const ViewFrame& v = mc.view;
    out.dx = v.nz.x / v.nz.z;
    out.dy = v.nz.y / v.nz.z;
    const double dx = out.dx, dy = out.dy;
    const double half = j.ss / 2.0;
    const double invDx = 1 / dx, invDy = 1 / dy;
    // Where a ray crosses the middle slice (in pixels), and the slices where
    // it is inside one, widened far beyond rounding: the kernel tests every
    // sample exactly, this only skips slices.
    auto crossing = [&](int c, int r, double* xr, double* yr, int* ka, int* kb, int* ca, int* cb) {
        const Vec3 p0 = mc.rayStart(c, r);
        *xr = p0.x - p0.z * dx + j.sw / 2.0;
        *yr = p0.y - p0.z * dy + j.sh / 2.0;
        const double slack = 1e-6 * (1 + std::abs(p0.x) + std::abs(p0.y) + std::abs(p0.z) + j.sw + j.sh + j.ss
                                     + (std::abs(dx) + std::abs(dy)) * (j.ss + std::abs(p0.z)));
        double lo = -half - 2, hi = half + 2; // in slices from the middle
        auto clip = [&](double f, double d, double inv, double size) {
            // -1 - slack < f + kz * d < size + slack
            if (d == 0) {
                if (!(f > -1 - slack && f < size + slack))
                    hi = lo - 1;
                return;
            }
            double a = (-1 - slack - f) * inv, b = (size + slack - f) * inv;
            if (a > b)
                std::swap(a, b);
            lo = std::max(lo, a);
            hi = std::min(hi, b);
        };
        clip(*xr, dx, invDx, j.sw);
        clip(*yr, dy, invDy, j.sh);
        *ca = 0, *cb = j.ss; // every slice may need the cut's test
        if (j.cut) {
            // Beyond the band of the cut plane (d >= depth + 1) a sample
            // changes nothing; along the ray d grows by c per slice.
            const Vec3 m{j.mx, j.my, j.mz};
            const double c = dot(v.nz, m) / v.nz.z;
            const double d0 = dot(p0, m) - p0.z * c; // d at the middle slice
            const double reach = std::abs(p0.x) + std::abs(p0.y) + std::abs(p0.z)
                + (half + std::abs(p0.z)) * (1 + 1 / std::abs(v.nz.z));
            const double slackD = 1e-6 * (1 + std::abs(j.depth) + std::abs(d0)
                                          + reach * (std::abs(m.x) + std::abs(m.y) + std::abs(m.z)));
            const double limit = j.depth + 1 + slackD - d0;
            // Where d <= depth - 1 the cut changes nothing: the sample is
            // in the volume and not in the band.
            const double before = j.depth - 1 - slackD - d0;
            if (std::isfinite(c) && std::isfinite(limit) && std::isfinite(before)) {
                auto slice = [&](double k) { return int(std::max(0.0, std::min(double(j.ss), k))); };
                if (c > 0) {
                    hi = std::min(hi, limit / c);
                    *ca = slice(std::floor(before / c + half) - 2);
                } else if (c < 0) {
                    lo = std::max(lo, limit / c);
                    *cb = slice(std::ceil(before / c + half) + 3);
                } else if (limit <= 0) {
                    hi = lo - 1;
                } else if (before > 0) {
                    *cb = 0; // no slice needs it
                }
            }
        }
        if (!(lo <= hi) || !std::isfinite(*xr) || !std::isfinite(*yr))
            return false;
        *ka = std::max(0, int(std::floor(lo + half)) - 2);
        *kb = std::min(j.ss, int(std::ceil(hi + half)) + 3);
        return *ka < *kb;
    };

    // The crossings lie in the parallelogram of the picture's corners; the
    // bin size follows from the rays' density there.
    double xmin = HUGE_VAL, xmax = -HUGE_VAL, ymin = HUGE_VAL, ymax = -HUGE_VAL;
    for (int r : {0, mc.height - 1}) {
        for (int c : {0, mc.width - 1}) {
            const Vec3 p0 = mc.rayStart(c, r);
            const double xr = p0.x - p0.z * dx + j.sw / 2.0, yr = p0.y - p0.z * dy + j.sh / 2.0;
            xmin = std::min(xmin, xr), xmax = std::max(xmax, xr);
            ymin = std::min(ymin, yr), ymax = std::max(ymax, yr);
        }
    }
    if (!(std::isfinite(xmax - xmin) && std::isfinite(ymax - ymin)))
        return;
    const Vec3 ax = v.nx - v.nz * (v.nx.z / v.nz.z);
    const Vec3 ay = v.ny - v.nz * (v.ny.z / v.nz.z);
    const double perRay = v.scale * v.scale * std::abs(ax.x * ay.y - ax.y * ay.x);
    const double area = std::isfinite(perRay) && perRay > 0 ? kRaysPerBin * perRay : 1e300;
    const double spanX = xmax - xmin, spanY = ymax - ymin;
    double bh = std::max(1.0, std::min(16.0, area / std::max(1.0, std::min(spanX, double(j.sw)))));
    double bw = std::max(16.0, area / bh);
    auto cells = [&](double span, double size) { return std::floor(span / size) + 1; };
    const double rays = double(mc.width) * mc.height;
    while (cells(spanX, bw) * cells(spanY, bh) > 4096.0 + rays / 64.0) {
        bw *= 2;
        bh *= 2;
    }
    const int nx = int(cells(spanX, bw));
    const int nbins = nx * int(cells(spanY, bh));

    // Every ray's bin (-1: it never enters the stack) on all cores, a block
    // of rows per job, each job with its own counts and slice ranges per bin.
    const int blocks = std::min(mc.height, 16);
    const std::size_t nb = std::size_t(nbins);
    std::vector<int>& key = out.key;
    key.resize(std::size_t(mc.width) * std::size_t(mc.height));
    // Per block of rows, in the kept scratch: fresh pages cost more than the work.
    std::vector<int>& blockCount = out.blockCount;
    std::vector<int>& blockK0 = out.blockK0;
    std::vector<int>& blockK1 = out.blockK1;
    std::vector<int>& blockC0 = out.blockC0;
    std::vector<int>& blockC1 = out.blockC1;
    std::vector<double>& blockHull = out.blockHull;
    blockCount.assign(std::size_t(blocks) * nb, 0);
    blockK0.assign(std::size_t(blocks) * nb, j.ss);
    blockK1.assign(std::size_t(blocks) * nb, 0);
    blockC0.assign(std::size_t(blocks) * nb, j.ss);
    blockC1.assign(std::size_t(blocks) * nb, 0);
    blockHull.resize(std::size_t(blocks) * nb * 5);
    for (std::size_t i = 0; i < blockHull.size(); i += 5)
        blockHull[i] = blockHull[i + 2] = HUGE_VAL, blockHull[i + 1] = blockHull[i + 3] = -HUGE_VAL, blockHull[i + 4] = 0;
    auto rowsOf = [&](int blk, int* r0, int* r1) {
        *r0 = int(qint64(mc.height) * blk / blocks);
        *r1 = int(qint64(mc.height) * (blk + 1) / blocks);
    };
    forEachOnAllCores(blocks, [&](int blk) {
        int r0, r1;
        rowsOf(blk, &r0, &r1);
        int* cnt = &blockCount[std::size_t(blk) * nb];
        int* k0 = &blockK0[std::size_t(blk) * nb];
        int* k1 = &blockK1[std::size_t(blk) * nb];
        int* c0 = &blockC0[std::size_t(blk) * nb];
        int* c1 = &blockC1[std::size_t(blk) * nb];
        double* hull = &blockHull[std::size_t(blk) * nb * 5];
        for (int r = r0; r < r1; ++r) {
            for (int c = 0; c < mc.width; ++c) {
                const std::size_t i = std::size_t(r) * std::size_t(mc.width) + std::size_t(c);
                double xr, yr;
                int ka, kb, ca, cb;
                if (!crossing(c, r, &xr, &yr, &ka, &kb, &ca, &cb)) {
                    key[i] = -1;
                    continue;
                }
                const int bx = int(std::max(0.0, std::min(double(nx - 1), (xr - xmin) / bw)));
                const int by = int(std::max(0.0, std::min(double(nbins / nx - 1), (yr - ymin) / bh)));
                const int b = by * nx + bx;
                key[i] = b;
                ++cnt[b];
                k0[b] = std::min(k0[b], ka);
                k1[b] = std::max(k1[b], kb);
                double* h = hull + 5 * b;
                h[0] = std::min(h[0], xr), h[1] = std::max(h[1], xr);
                h[2] = std::min(h[2], yr), h[3] = std::max(h[3], yr);
                const Vec3 p0 = mc.rayStart(c, r);
                h[4] = std::max(h[4], std::abs(p0.x) + std::abs(p0.y) + (std::abs(p0.z) + half) * (1 + std::abs(dx) + std::abs(dy)));
                if (ca < cb) {
                    c0[b] = std::min(c0[b], ca);
                    c1[b] = std::max(c1[b], cb);
                }
            }
        }
    });
    // Rays of a bin in picture order: block after block, row after row.
    out.first.assign(nb + 1, 0);
    out.k0.assign(nb, j.ss);
    out.k1.assign(nb, 0);
    out.c0.assign(nb, j.ss);
    out.c1.assign(nb, 0);
    out.box.resize(4 * nb);
    out.hull.resize(5 * nb);
    int total = 0;
    for (std::size_t b = 0; b < nb; ++b) {
        out.first[b] = total;
        for (int blk = 0; blk < blocks; ++blk) {
            const std::size_t at = std::size_t(blk) * nb + b;
            const int c = blockCount[at];
            blockCount[at] = total; // where this block's rays of bin b go
            total += c;
            out.k0[b] = std::min(out.k0[b], blockK0[at]);
            out.k1[b] = std::max(out.k1[b], blockK1[at]);
            out.c0[b] = std::min(out.c0[b], blockC0[at]);
            out.c1[b] = std::max(out.c1[b], blockC1[at]);
        }
        double* hull = &out.hull[5 * b];
        hull[0] = hull[2] = HUGE_VAL, hull[1] = hull[3] = -HUGE_VAL, hull[4] = 0;
        for (int blk = 0; blk < blocks; ++blk) {
            const double* h = &blockHull[(std::size_t(blk) * nb + b) * 5];
            hull[0] = std::min(hull[0], h[0]), hull[1] = std::max(hull[1], h[1]);
            hull[2] = std::min(hull[2], h[2]), hull[3] = std::max(hull[3], h[3]);
            hull[4] = std::max(hull[4], h[4]);
        }
        double* box = &out.box[4 * b];
        box[0] = xmin + double(b % std::size_t(nx)) * bw, box[1] = box[0] + bw;
        box[2] = ymin + double(b / std::size_t(nx)) * bh, box[3] = box[2] + bh;
    }
    out.first[nb] = total;
    out.rays.resize(std::size_t(total));
    forEachOnAllCores(blocks, [&](int blk) {
        int r0, r1;
        rowsOf(blk, &r0, &r1);
        int* at = &blockCount[std::size_t(blk) * nb];
        for (std::size_t i = std::size_t(r0) * std::size_t(mc.width); i < std::size_t(r1) * std::size_t(mc.width); ++i)
            if (key[i] >= 0)
                out.rays[std::size_t(at[key[i]]++)] = int(i);
    });
}

} // namespace

void MipSet::setThresholds(double rmin, double rmax, double pmin, double pmax)
{
    thMin = rmin + pmin * (rmax - rmin) / 100;
    thMax = rmin + pmax * (rmax - rmin) / 100;
}

double MipSet::depth() const
{
    const SliceStack* st = stack.get();
    return slider / 100.0 * (st ? st->count() : 0);
}

Vec3 MipCaster::rayStart(int c, int r) const
{
    return view.nx * ((c - width / 2.0) * view.scale) + view.ny * ((r - height / 2.0) * view.scale) + view.shift;
}

QRgb MipCaster::shade(const QColor& c, double level, int alpha)
{
    return qRgba(shadePart(c.red(), level), shadePart(c.green(), level), shadePart(c.blue(), level),
                 std::max(0, std::min(255, alpha)));
}

namespace {
QImage castLayer(const MipCaster& mc, const MipSet& set, bool premultiply);
}

QImage MipCaster::castSet(const MipSet& set) const
{
    return castLayer(*this, set, false);
}

namespace {
int nextSlab(int k, int end)
{
    return std::min(end, (k / SliceStack::kBrick + 1) * SliceStack::kBrick);
}

// Whether every value that the bin's rays can meet in the slab of slice k
// (the slices of its brick layer) lies outside [vlo, vhi]. The rays cross
// the middle slice inside hull and move by (dx, dy) per slice; the bounds
// are widened by two pixels and far beyond rounding.
bool emptySlab(const SliceStack& st, const MipTileJob& j, const double* hull, double dx, double dy, int k)
{
    const int b = SliceStack::kBrick;
    if (st.bricksX != (j.sw + b - 1) / b || st.bricksY != (j.sh + b - 1) / b || st.bricksZ != (j.ss + b - 1) / b
        || st.brickMin.size() != std::size_t(st.bricksX) * std::size_t(st.bricksY) * std::size_t(st.bricksZ)
        || st.brickMax.size() != st.brickMin.size())
        return false; // no bricks, or not this stack's
    const int bz = k / b;
    const double za = bz * b - j.ss / 2.0, zb = std::min(j.ss, (bz + 1) * b) - j.ss / 2.0;
    const double xa = hull[0] + std::min(za * dx, zb * dx), xb = hull[1] + std::max(za * dx, zb * dx);
    const double ya = hull[2] + std::min(za * dy, zb * dy), yb = hull[3] + std::max(za * dy, zb * dy);
    const double slack = 2 + 1e-6 * hull[4];
    if (!(std::isfinite(xa) && std::isfinite(xb) && std::isfinite(ya) && std::isfinite(yb)))
        return false;
    auto brick = [](double at, int count) {
        return int(std::max(-1.0, std::min(double(count), std::floor(at / SliceStack::kBrick))));
    };
    const int bx0 = std::max(0, brick(xa - slack, st.bricksX));
    const int bx1 = std::min(st.bricksX - 1, brick(xb + slack, st.bricksX));
    const int by0 = std::max(0, brick(ya - slack, st.bricksY));
    const int by1 = std::min(st.bricksY - 1, brick(yb + slack, st.bricksY));
    for (int by = by0; by <= by1; ++by) {
        const std::size_t row = (std::size_t(bz) * std::size_t(st.bricksY) + std::size_t(by)) * std::size_t(st.bricksX);
        for (int bx = bx0; bx <= bx1; ++bx)
            if (!(st.brickMax[row + std::size_t(bx)] < j.vlo || st.brickMin[row + std::size_t(bx)] > j.vhi))
                return false;
    }
    return true;
}

// The set's layer; premultiplied as the painter would store each colour, so
// that laying it over at once gives the bits of painting pixel by pixel.
QImage castLayer(const MipCaster& mc, const MipSet& set, bool premultiply)
{
    const int width = mc.width, height = mc.height;
    const ViewFrame& view = mc.view;
    QImage layer(width, height, premultiply ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
    if (layer.isNull())
        return layer;
    layer.fill(0);
    const SliceStack* st = set.stack.get();
    MipTileJob base{};
    if (!st || st->count() == 0 || view.nz.z == 0.0
        || !visibleWindow(set.thMin, set.thMax, &base.vlo, &base.vhi, &base.descending))
        return layer;
    std::vector<const double*> slices;
    for (const SliceData& s : st->slices)
        slices.push_back(s.values.data());
    base.slices = slices.data();
    base.ss = st->count();
    base.sw = st->width;
    base.sh = st->height;
    base.nzx = view.nz.x;
    base.nzy = view.nz.y;
    base.nzz = view.nz.z;
    base.cut = set.showCSection;
    base.mx = set.csNormal.x;
    base.my = set.csNormal.y;
    base.mz = set.csNormal.z;
    base.depth = set.depth();

    // Once the set's thresholds have settled, the rays read colour classes.
    const std::shared_ptr<const MipLevelVolume> levels =
        mipLevelsFor(set.stack, set.thMin, set.thMax, set.vColor, set.sColor);
    std::vector<QRgb> vPalette, sPalette;
    if (levels) {
        base.levels = levels->slices.data();
        vPalette.resize(std::size_t(levels->classes.count()));
        sPalette.resize(vPalette.size());
        for (int c = 1; c < levels->classes.count(); ++c) {
            const double g = levels->classes.levelOf(c);
            const QRgb v = MipCaster::shade(set.vColor, g, set.alpha), s = MipCaster::shade(set.sColor, g, set.alpha);
            vPalette[std::size_t(c)] = premultiply ? premultiplied(v) : v;
            sPalette[std::size_t(c)] = premultiply ? premultiplied(s) : s;
        }
    }
    const auto cast = levels ? castMipLevelTile : castMipTile;

    // Kept from render to render: fresh pages cost more than the binning.
    thread_local RayBins scratch;
    RayBins& bins = scratch; // the workers see the caller's bins, not their own
    binRays(mc, base, bins);
    uchar* const bits = layer.bits();
    const qsizetype stride = layer.bytesPerLine();
    forEachOnAllCores(int(bins.first.size()) - 1, [&](int bin) {
        const int first = bins.first[std::size_t(bin)];
        const int n = bins.first[std::size_t(bin) + 1] - first;
        if (n == 0 || bins.k0[std::size_t(bin)] >= bins.k1[std::size_t(bin)])
            return;
        MipTileJob j = base;
        j.k0 = bins.k0[std::size_t(bin)];
        j.k1 = bins.k1[std::size_t(bin)];
        j.count = (n + 7) / 8 * 8;
        thread_local std::vector<double> state;
        state.resize(std::size_t(5 * j.count));
        double* px = state.data();
        double* py = px + j.count;
        double* pz = py + j.count;
        j.best = pz + j.count;
        j.band = j.best + j.count;
        j.px = px;
        j.py = py;
        j.pz = pz;
        thread_local std::vector<std::int32_t> levelState;
        levelState.assign(std::size_t(2 * j.count), 0);
        j.bestLevel = levelState.data();
        j.bandLevel = j.bestLevel + j.count;
        const double* box = &bins.box[std::size_t(4 * bin)];
        j.x0 = box[0], j.x1 = box[1], j.y0 = box[2], j.y1 = box[3];
        j.dx = bins.dx, j.dy = bins.dy;
        const double none = j.descending ? HUGE_VAL : -HUGE_VAL;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const int* ray = &bins.rays[std::size_t(first)];
        for (int i = 0; i < j.count; ++i) {
            j.best[i] = none;
            j.band[i] = nan;
            if (i < n) {
                const Vec3 p0 = mc.rayStart(ray[i] % width, ray[i] / width);
                px[i] = p0.x, py[i] = p0.y, pz[i] = p0.z;
            } else {
                // Spare rays up to a whole vector start nowhere and hit nothing.
                px[i] = py[i] = pz[i] = nan;
            }
        }
        // Only the slices near or beyond the cut need its test; elsewhere a
        // sample counts only through its value, and runs of slices where
        // the rays meet no value inside the window are passed over.
        const int k0 = j.k0, k1 = j.k1;
        int c0 = std::max(k0, bins.c0[std::size_t(bin)]);
        int c1 = std::min(k1, bins.c1[std::size_t(bin)]);
        if (!j.cut || c0 >= c1)
            c0 = c1 = k1;
        const double* hull = &bins.hull[std::size_t(5 * bin)];
        auto plain = [&](int ka, int kb) {
            j.cut = false;
            while (ka < kb) {
                int run = ka;
                while (run < kb && !emptySlab(*st, base, hull, bins.dx, bins.dy, run))
                    run = nextSlab(run, kb);
                if (ka < run) {
                    j.k0 = ka, j.k1 = run;
                    cast(j);
                }
                ka = run;
                while (ka < kb && emptySlab(*st, base, hull, bins.dx, bins.dy, ka))
                    ka = nextSlab(ka, kb);
            }
        };
        plain(k0, c0);
        if (c0 < c1) {
            j.cut = true;
            j.k0 = c0, j.k1 = c1;
            cast(j);
        }
        plain(c1, k1);
        for (int i = 0; i < n; ++i) {
            QRgb* out = reinterpret_cast<QRgb*>(bits + stride * (ray[i] / width)) + ray[i] % width;
            if (levels) {
                const int sv = set.showCSection ? j.bandLevel[i] : 0;
                const int mx = j.bestLevel[i];
                if (sv > 0)
                    *out = sPalette[std::size_t(sv)];
                else if (mx > 0)
                    *out = vPalette[std::size_t(mx)];
                continue;
            }
            const double sv = set.showCSection ? MipCaster::level(j.band[i], set.thMin, set.thMax) : 0.0;
            const double mx = MipCaster::level(j.best[i], set.thMin, set.thMax);
            QRgb col = 0;
            if (set.showCSection && sv > 0)
                col = MipCaster::shade(set.sColor, sv, set.alpha);
            else if (mx > 0)
                col = MipCaster::shade(set.vColor, mx, set.alpha);
            else
                continue;
            *out = premultiply ? premultiplied(col) : col;
        }
    });
    if (bins.key.capacity() > (std::size_t(1) << 24) || bins.blockHull.capacity() > (std::size_t(1) << 23))
        bins = RayBins(); // a huge picture's scratch is not kept
    return layer;
}

} // namespace

void MipCaster::paintADataFrame(QPainter& p, int ss, int sw, int sh, bool temae, const QColor& color) const
{
    const double a = sw / 2.0;
    const double b = sh / 2.0;
    const double c = ss / 2.0;
    struct Face {
        Vec3 centre;
        Vec3 corner[4];
    };
    const Face faces[6] = {
        {{0, 0, -c}, {{-a, -b, -c}, {a, -b, -c}, {a, b, -c}, {-a, b, -c}}},
        {{0, -b, 0}, {{-a, -b, -c}, {a, -b, -c}, {a, -b, c}, {-a, -b, c}}},
        {{-a, 0, 0}, {{-a, -b, -c}, {-a, b, -c}, {-a, b, c}, {-a, -b, c}}},
        {{a, 0, 0}, {{a, -b, -c}, {a, b, -c}, {a, b, c}, {a, -b, c}}},
        {{0, b, 0}, {{-a, b, -c}, {a, b, -c}, {a, b, c}, {-a, b, c}}},
        {{0, 0, c}, {{-a, -b, c}, {a, -b, c}, {a, b, c}, {-a, b, c}}},
    };
    const int halfW = width / 2;
    const int halfH = height / 2;
    auto pixel = [&](const Vec3& q) {
        return QPoint(clampedPixel(halfW + (dot(q, view.nx) - view.shift.x) / view.scale),
                      clampedPixel(halfH + (dot(q, view.ny) - view.shift.y) / view.scale));
    };
    p.setPen(QPen(color));
    for (const Face& f : faces) {
        const double depth = dot(f.centre, view.nz);
        if (temae ? !(depth > 0) : !(depth < 0))
            continue;
        for (int i = 0; i < 4; ++i)
            p.drawLine(pixel(f.corner[i]), pixel(f.corner[(i + 1) % 4]));
    }
}

void MipCaster::paintPImg0(QPainter& p, bool pointsPerPixel) const
{
    p.fillRect(0, 0, width, height, QColor(255, 255, 255));
    for (const MipSet& set : sets) {
        const SliceStack* st = set.stack.get();
        if (!st || st->width <= 0 || st->height <= 0)
            continue;
        if (set.showFrame)
            paintADataFrame(p, st->count(), st->width, st->height, false, set.vColor);
        if (set.showVolume) {
            if (!pointsPerPixel) {
                p.drawImage(0, 0, castLayer(*this, set, true));
            } else {
                const QImage layer = castSet(set);
                for (int r = 0; r < layer.height(); ++r) {
                    const QRgb* row = reinterpret_cast<const QRgb*>(layer.constScanLine(r));
                    for (int c = 0; c < layer.width(); ++c) {
                        if (row[c] == 0)
                            continue;
                        p.setPen(QColor::fromRgba(row[c]));
                        p.drawPoint(c, r);
                    }
                }
            }
        }
        if (set.showFrame)
            paintADataFrame(p, st->count(), st->width, st->height, true, set.vColor);
    }
}

QImage MipCaster::render() const
{
    if (width < 1 || height < 1)
        return QImage();
    QImage img(width, height, QImage::Format_ARGB32);
    if (img.isNull()) {
        qDebug().noquote() << QStringLiteral("Picture size %1 x %2 is too large").arg(width).arg(height);
        return img;
    }
    QPainter p(&img);
    paintPImg0(p, false);
    p.end();
    return img;
}

bool MipCaster::saveSvg(const QString& fname) const
{
    QFile file(fname);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug().noquote() << QStringLiteral("Can't write SVG file : %1").arg(fname);
        return false;
    }
    QSvgGenerator gen;
    gen.setOutputDevice(&file);
    gen.setSize(QSize(width, height));
    gen.setViewBox(QRect(0, 0, width, height));
    QPainter p;
    if (!p.begin(&gen)) {
        qDebug().noquote() << QStringLiteral("Can't write SVG file : %1").arg(fname);
        return false;
    }
    paintPImg0(p, true);
    p.end();
    return true;
}
