#include "recon/sinogramcore.h"

#include "input/imgdata.h"
#include "input/imgdatas.h"

#include <QDebug>

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

// The resampled line of a reference image, or `fallback` everywhere when
// there is none or it does not match the projections.
std::vector<double> referenceLine(ImgData* ref, const ImgDatas& set, const SgmGeom& g, int slice, double fallback,
                                  const char* what)
{
    std::vector<double> out(std::size_t(g.width), fallback);
    if (!ref)
        return out;
    if (ref->width != set.width() || ref->height != set.height()) {
        qDebug().noquote() << QStringLiteral("%1 image size (%2, %3) differs from the projections (%4, %5); not used : %6")
                                  .arg(QLatin1String(what)).arg(ref->width).arg(ref->height)
                                  .arg(set.width()).arg(set.height()).arg(ref->fileName);
        return out;
    }
    std::vector<double> line(std::size_t(lineLength(set, g.rotAxIsV)));
    readLine(ref, g.rotAxIsV, slice, line.data());
    resample(line.data(), g, out.data());
    return out;
}

} // namespace

int lineLength(const ImgDatas& set, bool rotAxIsV)
{
    return rotAxIsV ? set.width() : set.height();
}

bool genSinogram0(HSgm& hSgm, const ImgDatas& set, bool rotAxIsV, double cor, int slice, SgmRange range)
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
    hSgm.resize(int(m), g.width);
    if (hSgm.isEmpty())
        return false;

    const std::vector<double> i0 = referenceLine(set.i0(), set, g, slice, 1.0, "I0");
    const std::vector<double> bg = referenceLine(set.bg(), set, g, slice, 0.0, "BG");
    std::vector<double> line(static_cast<std::size_t>(d));
    for (int k = 0; k < hSgm.rows; ++k) {
        ImgData* img = set.image(int((int64_t(s0) + k) % n));
        readLine(img, rotAxIsV, slice, line.data());
        double* raw = hSgm.rawRow(k);
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

// Correlation of line a with line b mirrored about t - 0.5, over the window
// |k - L| < window * L of the 2L positions x_k = k + t - L.
double mirrorScore(const std::vector<double>& a, const std::vector<double>& b, double t, double window)
{
    const int l = int(a.size());
    double sum = 0.0;
    for (int k = 0; k < 2 * l; ++k) {
        if (!(std::abs(double(k - l)) < window * l))
            continue;
        sum += interpolateLine(a.data(), l, k + t - l) * interpolateLine(b.data(), l, (l - 1 - k) + t);
    }
    return sum;
}

} // namespace

bool guessCor(const ImgDatas& set, const CorGuessInput& in, double* result)
{
    const int n = set.count();
    if (n == 0) {
        qDebug().noquote() << "No image to guess the centre of rotation from";
        return false;
    }
    if (!(in.rangeDeg > 0.0) || !std::isfinite(in.rangeDeg) || !std::isfinite(in.cor)) {
        qDebug().noquote() << QStringLiteral("Can not guess the centre of rotation with a range of %1 degrees from %2")
                                  .arg(in.rangeDeg).arg(in.cor);
        return false;
    }
    const int l = lineLength(set, in.rotAxIsV);
    const int s0 = in.startImage < 0 || in.startImage >= n ? 0 : in.startImage;
    double j = std::trunc(180.0 / in.rangeDeg * n) + s0;
    if (j == n)
        j -= 1;
    const int j180 = int(std::fmod(j, double(n)));

    std::vector<double> a(static_cast<std::size_t>(l)), b(static_cast<std::size_t>(l));
    if (l > 0) {
        readLine(set.image(s0), in.rotAxIsV, in.slice, a.data());
        readLine(set.image(j180), in.rotAxIsV, in.slice, b.data());
    }
    auto score = [&](double t) { return l < 1 ? 0.0 : mirrorScore(a, b, t, in.window); };

    // The score of t peaks where b is a mirrored about t - 0.5, so the search
    // runs over t = CoR + 0.5 and the result is taken back by 0.5.
    double c = in.cor + 0.5;
    double best = 0.0;
    double cBest = c;
    // Every sweep that raises the best score moves along the whole-pixel
    // lattice inside a finite support, so this bound is never the reason to stop.
    const int maxSweeps = 4 * l + 4;
    for (int sweep = 0; sweep < maxSweeps; ++sweep) {
        bool rose = false;
        for (int i = 0;; ++i) {
            const double t = c - 10.0 + i;
            if (!(t < c + 10.0))
                break;
            const double s = score(t);
            if (s > best) {
                best = s;
                cBest = t;
                rose = true;
            }
        }
        if (!rose)
            break;
        c = cBest;
    }

    double fineBest = 0.0;
    double found = cBest;
    for (int i = 0;; ++i) {
        const double t = cBest - 2.0 + 0.1 * i;
        if (!(t < cBest + 2.0))
            break;
        const double s = score(t);
        if (s > fineBest) {
            fineBest = s;
            found = t;
        }
    }
    *result = found - 0.5;
    return true;
}
