#include "recon/sinogramcore.h"

#include "input/imgdata.h"
#include "input/imgdatas.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// A data set may be walked through more than once (the range wraps), but a
// count beyond this many turns is a typing error, not a measurement.
constexpr int64_t maxTurns = 16;

void readLine(ImgData* img, bool rotAxIsV, int slice, double* buf)
{
    if (rotAxIsV)
        img->getLine(slice, buf);
    else
        img->getColumn(slice, buf);
}

// Sample c is detector position cor + (c - (half - 1)); both neighbours of
// every sample lie inside the line for an accepted CoR.
void resample(const double* p, const SgmGeom& g, double* out)
{
    const double frac = g.corFrac;
    const double* base = p + (g.corInt + 1 - g.half);
    for (int c = 0; c < g.width; ++c)
        out[c] = base[c] + frac * (base[c + 1] - base[c]);
}

// The whole detector line of a reference image, or `fallback` everywhere
// when there is none or it does not match the projections.
std::vector<double> referenceLine(ImgData* ref, const ImgDatas& set, bool rotAxIsV, int slice, double fallback,
                                  const char* what)
{
    std::vector<double> out(static_cast<std::size_t>(lineLength(set, rotAxIsV)), fallback);
    if (!ref)
        return out;
    if (ref->width != set.width() || ref->height != set.height()) {
        qDebug().noquote() << QStringLiteral("%1 image size (%2, %3) differs from the projections (%4, %5); not used : %6")
                                  .arg(QLatin1String(what)).arg(ref->width).arg(ref->height)
                                  .arg(set.width()).arg(set.height()).arg(ref->fileName);
        return out;
    }
    readLine(ref, rotAxIsV, slice, out.data());
    return out;
}

std::vector<double> resampled(const std::vector<double>& line, const SgmGeom& g)
{
    std::vector<double> out(static_cast<std::size_t>(g.width));
    resample(line.data(), g, out.data());
    return out;
}

} // namespace

int lineLength(const ImgDatas& set, bool rotAxIsV)
{
    return rotAxIsV ? set.width() : set.height();
}

bool genSinogram0(HSgm& hSgm, const ImgDatas& set, bool rotAxIsV, double cor, int slice, SgmRange range, bool withRaw)
{
    // Emptied first, so that a refused request never leaves the previous
    // slice's sinogram behind under the new slice number.
    hSgm.clear();
    hSgm.slice = slice;
    const int n = set.count();
    if (n == 0)
        return false;
    const int d = lineLength(set, rotAxIsV);
    if (!SgmGeom::corAccepted(d, cor)) {
        qDebug().noquote() << QStringLiteral("Centre of rotation %1 is too close to the edge of the %2-pixel line")
                                  .arg(cor).arg(d);
        return false;
    }
    const int s0 = range.start < 0 || range.start >= n ? 0 : range.start;
    const int64_t m = std::llabs(int64_t(range.count));
    if (m > maxTurns * n) {
        qDebug().noquote() << QStringLiteral("Too many images to use for a sinogram: %1 of a set of %2").arg(m).arg(n);
        return false;
    }
    const SgmGeom g = SgmGeom::make(rotAxIsV, d, cor);
    hSgm.resize(int(m), g.width, withRaw);
    if (hSgm.isEmpty())
        return false;

    const std::vector<double> i0 = resampled(referenceLine(set.i0(), set, rotAxIsV, slice, 1.0, "I0"), g);
    const std::vector<double> bg = resampled(referenceLine(set.bg(), set, rotAxIsV, slice, 0.0, "BG"), g);
    std::vector<double> line(static_cast<std::size_t>(d));
    std::vector<double> rawLine(withRaw ? 0 : static_cast<std::size_t>(g.width));
    for (int k = 0; k < hSgm.rows; ++k) {
        ImgData* img = set.image(int((int64_t(s0) + k) % n));
        readLine(img, rotAxIsV, slice, line.data());
        double* raw = withRaw ? hSgm.rawRow(k) : rawLine.data();
        double* sgm = hSgm.sgmRow(k);
        resample(line.data(), g, raw);
        for (int c = 0; c < g.width; ++c)
            sgm[c] = ImgDatas::normalise(raw[c], i0[std::size_t(c)], bg[std::size_t(c)]);
    }
    return true;
}

double interpolateLine(const double* p, int n, double x)
{
    const double fl = std::floor(x);
    // Both neighbours outside (or x not a number).
    if (!(fl > -2.0 && fl < double(n)))
        return 0.0;
    const int i = int(fl);
    const double f = x - fl;
    const double p0 = i >= 0 ? p[i] : 0.0;
    const double p1 = i + 1 < n ? p[i + 1] : 0.0;
    return p0 + f * (p1 - p0);
}

void checkImageRow(const double* p, int n, double cor, double* out)
{
    for (int k = 0; k < 2 * n; ++k)
        out[k] = interpolateLine(p, n, cor - n + k);
}

namespace {

// Pearson correlation of a(u) with b(m - u) over the u within halfWidth of
// centre: b mirrored about m / 2. The mirror partners of integer positions
// are integer positions for every m, so nothing is interpolated; an
// interpolated score would favour whole-pixel shifts, where interpolation
// smooths least, and miss a fractional centre by up to half a pixel.
double mirrorCorrelation(const std::vector<double>& a, const std::vector<double>& b, int m, double centre,
                         double halfWidth)
{
    const int l = int(a.size());
    const int first = std::max({0, m - (l - 1), int(std::floor(centre - halfWidth))});
    const int last = std::min({l - 1, m, int(std::ceil(centre + halfWidth))});
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    int n = 0;
    for (int u = first; u <= last; ++u) {
        if (!(std::abs(u - centre) < halfWidth))
            continue;
        const double x = a[std::size_t(u)], y = b[std::size_t(m - u)];
        sa += x;
        sb += y;
        saa += x * x;
        sbb += y * y;
        sab += x * y;
        ++n;
    }
    if (n < 2)
        return -HUGE_VAL;
    const double va = saa - sa * sa / n, vb = sbb - sb * sb / n;
    if (!(va > 0.0) || !(vb > 0.0))
        return -HUGE_VAL;
    return (sab - sa * sb / n) / std::sqrt(va * vb);
}

std::vector<double> normalisedLine(const ImgDatas& set, int idx, bool rotAxIsV, int slice,
                                   const std::vector<double>& i0, const std::vector<double>& bg)
{
    std::vector<double> line(i0.size());
    readLine(set.image(idx), rotAxIsV, slice, line.data());
    for (std::size_t u = 0; u < line.size(); ++u)
        line[u] = ImgDatas::normalise(line[u], i0[u], bg[u]);
    return line;
}

} // namespace

bool guessCor(const ImgDatas& set, const CorGuessInput& in, double* result)
{
    const int n = set.count();
    if (n == 0) {
        qDebug().noquote() << "No image to guess the centre of rotation from";
        return false;
    }
    const int l = lineLength(set, in.rotAxIsV);
    if (!(in.rangeDeg > 0.0) || !std::isfinite(in.rangeDeg) || !(std::abs(in.cor) < 4.0 * l)) {
        qDebug().noquote() << QStringLiteral("Can not guess the centre of rotation with a range of %1 degrees from %2")
                                  .arg(in.rangeDeg).arg(in.cor);
        return false;
    }
    const int s0 = in.startImage < 0 || in.startImage >= n ? 0 : in.startImage;
    double j = std::trunc(180.0 / in.rangeDeg * n) + s0;
    if (j == n)
        j -= 1;
    const int j180 = int(std::fmod(j, double(n)));

    // Normalised lines are linear in the attenuation, so the two views of
    // one object are exact mirror images whatever the flat level.
    const std::vector<double> i0 = referenceLine(set.i0(), set, in.rotAxIsV, in.slice, 1.0, "I0");
    const std::vector<double> bg = referenceLine(set.bg(), set, in.rotAxIsV, in.slice, 0.0, "BG");
    const std::vector<double> a = normalisedLine(set, s0, in.rotAxIsV, in.slice, i0, bg);
    const std::vector<double> b = normalisedLine(set, j180, in.rotAxIsV, in.slice, i0, bg);
    const double halfWidth = std::isnan(in.window) ? 0.0 : std::clamp(in.window * l, 0.0, 2.0 * l);
    // Candidates are mirror centres m / 2.
    auto score = [&](int m, double centre) { return mirrorCorrelation(a, b, m, centre, halfWidth); };

    // Coarse: whole pixels from the current CoR, 10 to either side, again
    // around the best one as long as it improves. Far outside the line
    // nothing correlates, so the climb ends; the bound only guards it.
    int m = int(std::lround(2.0 * in.cor));
    int mBest = m;
    double best = -HUGE_VAL;
    for (int sweep = 0; sweep < 4 * l + 4; ++sweep) {
        bool rose = false;
        for (int mm = m - 20; mm < m + 20; mm += 2) {
            const double s = score(mm, 0.5 * mm);
            if (s > best) {
                best = s;
                mBest = mm;
                rose = true;
            }
        }
        if (!rose)
            break;
        m = mBest;
    }
    if (best == -HUGE_VAL) {
        qDebug().noquote() << "No structure in the slice to guess the centre of rotation from";
        return false;
    }

    m = mBest;
    // Fine: half pixels around it, then the vertex of the parabola through
    // the best one and its neighbours, all over one window.
    for (int mm = mBest - 3; mm <= mBest + 3; ++mm) {
        const double s = score(mm, 0.5 * mm);
        if (s > best) {
            best = s;
            m = mm;
        }
    }
    const double centre = 0.5 * m;
    const double r0 = score(m, centre), rm = score(m - 1, centre), rp = score(m + 1, centre);
    const double curvature = rm - 2.0 * r0 + rp;
    double delta = curvature < 0.0 ? 0.5 * (rm - rp) / curvature : 0.0;
    delta = std::isfinite(delta) ? std::clamp(delta, -0.5, 0.5) : 0.0;
    *result = 0.5 * (m + delta);
    return true;
}
