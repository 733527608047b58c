// The filtered-back-projection engine of one reconstruction owner (a worker
// or the interactive panel): FFTW plans and buffers for one grid size, the
// filtered rows of every projection (and their spectra for callers that go
// row by row), and the N x N result.
#pragma once

#include "recon/backproject.h"
#include "recon/bigbuffer.h"

#include <fftw3.h>

#include <cstddef>
#include <mutex>
#include <vector>

struct HSgm;
struct ProcParams;

class CtFft
{
public:
    CtFft() = default;
    ~CtFft();
    CtFft(const CtFft&) = delete;
    CtFft& operator=(const CtFft&) = delete;

    // FFT length and grid size for a sinogram row of the given width: the
    // width rounded down to even (the last, odd column is not used).
    static int gridSizeFor(int width);
    // FFTW's planner and allocator are not thread-safe: whoever calls them
    // holds this, so that several owners' set-ups never overlap.
    static std::mutex& fftwMutex();

    // Keeps plans and buffers when n is unchanged (only the per-projection
    // lists follow p); a new n replaces them. n <= 0 releases everything.
    void setup(int n, int p);
    int n() const { return N; }
    int projections() const { return P; }

    // Every run starts from N x N zeros; clears done.
    void allocResult();

    // The three steps for projection i, usable one at a time. `row` holds at
    // least N values. The filtered row is scaled by 1 / (projectionCount * N)
    // (by 1 when that product is below 1). Each returns false and does nothing
    // for N < 2 or an index outside the projections.
    bool transform(const double* row, int i);
    bool filter(int i, int projectionCount);
    bool backProject(int i, const CalcRegion& region, double startAngle, double angleStep);
    // The plain loop, for checking and measuring the fast one.
    bool backProjectReference(int i, const CalcRegion& region, double startAngle, double angleStep);
    // Projections 0 .. count-1 in one blocked pass; same bits as calling
    // backProject for each in turn.
    bool backProjectAll(int count, const CalcRegion& region, double startAngle, double angleStep);

    // Min and max over all N x N result values.
    void findExtremes();

    // One worker slice: forward all rows, filter all, back-project all over
    // the region with the run's angles, then the extremes. The result is
    // normalised by the sinogram's rows. Re-sizes itself if the sinogram does
    // not fit the current set-up. False (and no result) for an empty
    // sinogram or a grid below 2.
    bool runAll(const HSgm& sgm, const ProcParams& params, const CalcRegion& region);

    // Result: row index z, column index x.
    const BigVector<double>& result() const { return res; }
    const double* resultRow(int z) const { return res.data() + std::size_t(z) * std::size_t(N); }
    double min() const { return vmin; }
    double max() const { return vmax; }
    bool done() const { return isDone; }
    // CPU time of the last runAll's back projection on its thread, seconds.
    double lastBackProjectSeconds() const { return bpSeconds; }

    // Filtered projection i (N values, with kBpPad zeros on both sides).
    const double* filtered(int i) const;
    const fftw_complex* spectrum(int i) const { return spectrumAt(i); }

    // Set-up observables: the FFT buffers and how many plan pairs were built.
    const fftw_complex* inBuffer() const { return in; }
    const fftw_complex* outBuffer() const { return out; }
    const fftw_complex* finBuffer() const { return fin; }
    const fftw_complex* foutBuffer() const { return fout; }
    int planBuilds() const { return plansBuilt; }

    // The instruction set backProject and backProjectAll use (the best the
    // processor has unless changed).
    void setIsa(BpIsa isa) { bpIsa = isa; }
    BpIsa isa() const { return bpIsa; }

private:
    void release();
    void resizeProjections(int p);
    void keepSpectra();
    void forward(const double* row);
    void filterSpectrum(const fftw_complex* sp, int i, int projectionCount);
    double* filteredRow(int i);
    bool validIndex(int i, const char* what) const;

    int N = 0;
    int P = 0;
    fftw_complex* in = nullptr;
    fftw_complex* out = nullptr;
    fftw_complex* fin = nullptr;
    fftw_complex* fout = nullptr;
    fftw_plan forwardPlan = nullptr;
    fftw_plan backwardPlan = nullptr;
    int plansBuilt = 0;
    fftw_complex* spectrumAt(int i) const
    {
        return reinterpret_cast<fftw_complex*>(const_cast<double*>(spectra.data()) + 2 * std::size_t(N) * std::size_t(i));
    }

    // The large buffers live as long as the engine keeps its size, so only
    // its first slice touches fresh memory (on huge pages, see bigbuffer.h).
    BigVector<double> spectra; // P spectra of N complex values, re and im interleaved; from the first transform()
    BigVector<double> filt;    // P rows of stride N + 2 * kBpPad
    BigVector<double> res;
    double vmin = 0.0;
    double vmax = 0.0;
    double bpSeconds = 0.0;
    bool isDone = false;
    BpIsa bpIsa = bpBestIsa();
};
