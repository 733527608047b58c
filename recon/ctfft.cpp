#include "recon/ctfft.h"

#include "recon/hsgm.h"
#include "recon/procparams.h"

#include <QDebug>

#include <algorithm>
#include <cfloat>
#include <ctime>
#include <cmath>
#include <cstring>

namespace {

std::size_t rowStride(int n)
{
    return std::size_t(n) + 2 * std::size_t(kBpPad);
}

} // namespace

CtFft::~CtFft()
{
    release();
}

int CtFft::gridSizeFor(int width)
{
    return width > 0 ? (width & ~1) : 0;
}

std::mutex& CtFft::fftwMutex()
{
    static std::mutex m;
    return m;
}

void CtFft::release()
{
    std::lock_guard<std::mutex> lock(fftwMutex());
    if (forwardPlan)
        fftw_destroy_plan(forwardPlan);
    if (backwardPlan)
        fftw_destroy_plan(backwardPlan);
    forwardPlan = backwardPlan = nullptr;
    for (fftw_complex** b : {&in, &out, &fin, &fout}) {
        fftw_free(*b);
        *b = nullptr;
    }
    spectra.clear();
    spectra.shrink_to_fit();
    filt.clear();
    filt.shrink_to_fit();
    N = 0;
    P = 0;
}

void CtFft::setup(int n, int p)
{
    n = std::max(0, n);
    p = std::max(0, p);
    if (n != N) {
        release();
        if (n > 0) {
            std::lock_guard<std::mutex> lock(fftwMutex());
            in = fftw_alloc_complex(std::size_t(n));
            out = fftw_alloc_complex(std::size_t(n));
            fin = fftw_alloc_complex(std::size_t(n));
            fout = fftw_alloc_complex(std::size_t(n));
            forwardPlan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
            backwardPlan = fftw_plan_dft_1d(n, fin, fout, FFTW_BACKWARD, FFTW_ESTIMATE);
            ++plansBuilt;
        }
        N = n;
    }
    if (N > 0)
        resizeProjections(p);
}

void CtFft::resizeProjections(int p)
{
    if (!spectra.empty())
        spectra.resize(std::size_t(p) * 2 * std::size_t(N));
    // New rows, their padding included, start as zeros; the padding stays so.
    filt.resize(std::size_t(p) * rowStride(N), 0.0);
    P = p;
}

double* CtFft::filteredRow(int i)
{
    return filt.data() + std::size_t(i) * rowStride(N) + kBpPad;
}

const double* CtFft::filtered(int i) const
{
    return filt.data() + std::size_t(i) * rowStride(N) + kBpPad;
}

bool CtFft::validIndex(int i, const char* what) const
{
    if (N >= 2 && i >= 0 && i < P)
        return true;
    qDebug().noquote() << QStringLiteral("CtFft::%1: projection %2 outside 0 .. %3 or grid %4 below 2")
                              .arg(QLatin1String(what))
                              .arg(i)
                              .arg(P - 1)
                              .arg(N);
    return false;
}

void CtFft::allocResult()
{
    res.assign(std::size_t(N) * std::size_t(N), 0.0);
    isDone = false;
}

// A whole run filters each row straight from the transform's output; the
// spectra of every row are kept only for those who ask for them one by one.
void CtFft::keepSpectra()
{
    spectra.resize(std::size_t(P) * 2 * std::size_t(N));
}

void CtFft::forward(const double* row)
{
    for (int k = 0; k < N; ++k) {
        in[k][0] = row[k];
        in[k][1] = 0.0;
    }
    fftw_execute(forwardPlan);
}

bool CtFft::transform(const double* row, int i)
{
    if (!row || !validIndex(i, "transform"))
        return false;
    keepSpectra();
    forward(row);
    std::memcpy(spectrumAt(i), out, sizeof(fftw_complex) * std::size_t(N));
    return true;
}

bool CtFft::filter(int i, int projectionCount)
{
    if (!validIndex(i, "filter"))
        return false;
    keepSpectra();
    filterSpectrum(spectrumAt(i), i, projectionCount);
    return true;
}

void CtFft::filterSpectrum(const fftw_complex* sp, int i, int projectionCount)
{
    // Ramp |frequency| * 2 pi / N: bin m of the lower half weighs m, bin m of
    // the upper half N - m, the Nyquist bin N / 2; no window, DC weight 0.
    const double scale = 2.0 * M_PI / N;
    const int half = N / 2;
    for (int k = 0; k < half; ++k) {
        fin[k][0] = sp[k][0] * k * scale;
        fin[k][1] = sp[k][1] * k * scale;
        fin[N - 1 - k][0] = sp[N - 1 - k][0] * (k + 1) * scale;
        fin[N - 1 - k][1] = sp[N - 1 - k][1] * (k + 1) * scale;
    }
    if (N % 2 != 0) {
        // Grids are even; an odd length still gets |frequency| in its middle bin.
        fin[half][0] = sp[half][0] * half * scale;
        fin[half][1] = sp[half][1] * half * scale;
    }
    fftw_execute(backwardPlan);
    const double norm = double(projectionCount) * double(N);
    double* q = filteredRow(i);
    if (norm < 1.0) {
        for (int k = 0; k < N; ++k)
            q[k] = fout[k][0];
    } else {
        for (int k = 0; k < N; ++k)
            q[k] = fout[k][0] / norm;
    }
}

bool CtFft::backProject(int i, const CalcRegion& region, double startAngle, double angleStep)
{
    if (!validIndex(i, "backProject") || res.size() != std::size_t(N) * std::size_t(N))
        return false;
    const double* q = filtered(i);
    backProjectFast(res.data(), N, &q, 1, i, startAngle, angleStep, region, bpIsa);
    isDone = true;
    return true;
}

bool CtFft::backProjectReference(int i, const CalcRegion& region, double startAngle, double angleStep)
{
    if (!validIndex(i, "backProjectReference") || res.size() != std::size_t(N) * std::size_t(N))
        return false;
    ::backProjectReference(res.data(), N, filtered(i), bpAngle(startAngle, angleStep, i), region);
    isDone = true;
    return true;
}

bool CtFft::backProjectAll(int count, const CalcRegion& region, double startAngle, double angleStep)
{
    if (count <= 0)
        count = 0;
    if ((count > 0 && !validIndex(count - 1, "backProjectAll")) || res.size() != std::size_t(N) * std::size_t(N))
        return false;
    std::vector<const double*> rows(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        rows[std::size_t(i)] = filtered(i);
    backProjectFast(res.data(), N, rows.data(), count, 0, startAngle, angleStep, region, bpIsa);
    isDone = true;
    return true;
}

void CtFft::findExtremes()
{
    double lo = DBL_MAX, hi = -DBL_MAX;
    for (double v : res) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    vmin = lo;
    vmax = hi;
}

namespace {
// CPU time of this thread: time the back projection really ran, not time
// it waited while the saver or another worker had the core.
double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}
} // namespace

bool CtFft::runAll(const HSgm& sgm, const ProcParams& params, const CalcRegion& region)
{
    isDone = false;
    if (sgm.isEmpty() || sgm.sgm.size() < std::size_t(sgm.rows) * std::size_t(sgm.width))
        return false;
    const int n = gridSizeFor(sgm.width);
    if (n < 2)
        return false;
    const int m = sgm.rows;
    if (n != N || m > P)
        setup(n, std::max(m, n == N ? P : 0));
    allocResult();
    for (int i = 0; i < m; ++i) {
        forward(sgm.sgmRow(i));
        filterSpectrum(out, i, m);
    }
    const double bpStart = threadCpuSeconds();
    backProjectAll(m, region, params.startAngle(), params.angleStep());
    bpSeconds = threadCpuSeconds() - bpStart;
    findExtremes();
    return true;
}
