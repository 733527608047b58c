#include "view3d/mipcaster.h"

#include "view3d/allcores.h"
#include "view3d/mipkernel.h"

#include <QDebug>
#include <QFile>
#include <QPainter>
#include <QSvgGenerator>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Rays per tile side: a tile's state stays in the core's own cache while
// every slice passes under it.
constexpr int kTile = 32;

// Doubles in their numeric order as unsigned integers (-0 just below +0).
quint64 orderKey(double v)
{
    quint64 u;
    std::memcpy(&u, &v, sizeof u);
    return (u >> 63) ? ~u : (u | (quint64(1) << 63));
}

double fromOrderKey(quint64 k)
{
    const quint64 u = (k >> 63) ? (k & ~(quint64(1) << 63)) : ~k;
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// The smallest finite value where a predicate that goes from false to true
// along the finite doubles holds (lastTrue: the largest where one that goes
// from true to false holds).
template <class Pred>
bool firstTrue(Pred pred, double* out)
{
    quint64 lo = orderKey(-DBL_MAX);
    quint64 hi = orderKey(DBL_MAX);
    if (!pred(DBL_MAX))
        return false;
    while (lo < hi) {
        const quint64 mid = lo + (hi - lo) / 2;
        if (pred(fromOrderKey(mid)))
            hi = mid;
        else
            lo = mid + 1;
    }
    *out = fromOrderKey(lo);
    return true;
}

template <class Pred>
bool lastTrue(Pred pred, double* out)
{
    quint64 lo = orderKey(-DBL_MAX);
    quint64 hi = orderKey(DBL_MAX);
    if (!pred(-DBL_MAX))
        return false;
    while (lo < hi) {
        const quint64 mid = hi - (hi - lo) / 2;
        if (pred(fromOrderKey(mid)))
            lo = mid;
        else
            hi = mid - 1;
    }
    *out = fromOrderKey(lo);
    return true;
}

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

QImage premultipliedLayer(const QImage& layer)
{
    QImage out(layer.size(), QImage::Format_ARGB32_Premultiplied);
    for (int r = 0; r < out.height(); ++r) {
        const QRgb* src = reinterpret_cast<const QRgb*>(layer.constScanLine(r));
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(r));
        for (int c = 0; c < out.width(); ++c)
            dst[c] = premultiplied(src[c]);
    }
    return out;
}

int clampedPixel(double v)
{
    return int(std::max(-1e9, std::min(1e9, std::trunc(v))));
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

double MipCaster::level(double v, double thMin, double thMax)
{
    const double g = (v - thMin) / (thMax - thMin) * 256;
    return (g >= 0 && g <= 255) ? g : 0.0;
}

QRgb MipCaster::shade(const QColor& c, double level, int alpha)
{
    auto part = [level](int comp) { return int(std::trunc(255 + level * (comp / 255.0 - 1))); };
    return qRgba(part(c.red()), part(c.green()), part(c.blue()), std::max(0, std::min(255, alpha)));
}

QImage MipCaster::castSet(const MipSet& set) const
{
    QImage layer(width, height, QImage::Format_ARGB32);
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

    const int tilesX = (width + kTile - 1) / kTile;
    const int tilesY = (height + kTile - 1) / kTile;
    forEachOnAllCores(tilesX * tilesY, [&](int tile) {
        const int c0 = (tile % tilesX) * kTile;
        const int r0 = (tile / tilesX) * kTile;
        const int c1 = std::min(width, c0 + kTile);
        const int r1 = std::min(height, r0 + kTile);
        std::vector<double> state(std::size_t(5 * kTile * kTile));
        MipTileJob j = base;
        double* px = state.data();
        double* py = px + kTile * kTile;
        double* pz = py + kTile * kTile;
        j.best = pz + kTile * kTile;
        j.band = j.best + kTile * kTile;
        j.px = px;
        j.py = py;
        j.pz = pz;
        int n = 0;
        const double none = j.descending ? HUGE_VAL : -HUGE_VAL;
        for (int r = r0; r < r1; ++r) {
            for (int c = c0; c < c1; ++c, ++n) {
                const Vec3 p0 = rayStart(c, r);
                px[n] = p0.x;
                py[n] = p0.y;
                pz[n] = p0.z;
                j.best[n] = none;
                j.band[n] = std::numeric_limits<double>::quiet_NaN();
            }
        }
        // Spare rays up to a whole vector start nowhere and hit nothing.
        const double nan = std::numeric_limits<double>::quiet_NaN();
        j.real = n;
        j.side = c1 - c0;
        j.count = (n + 7) / 8 * 8;
        for (int spare = n; spare < j.count; ++spare) {
            px[spare] = py[spare] = pz[spare] = j.band[spare] = nan;
            j.best[spare] = none;
        }
        castMipTile(j);
        n = 0;
        for (int r = r0; r < r1; ++r) {
            QRgb* out = reinterpret_cast<QRgb*>(layer.scanLine(r));
            for (int c = c0; c < c1; ++c, ++n) {
                const double sv = set.showCSection ? level(j.band[n], set.thMin, set.thMax) : 0.0;
                const double mx = level(j.best[n], set.thMin, set.thMax);
                if (set.showCSection && sv > 0)
                    out[c] = shade(set.sColor, sv, set.alpha);
                else if (mx > 0)
                    out[c] = shade(set.vColor, mx, set.alpha);
            }
        }
    });
    return layer;
}

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
            const QImage layer = castSet(set);
            if (!pointsPerPixel) {
                p.drawImage(0, 0, premultipliedLayer(layer));
            } else {
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
