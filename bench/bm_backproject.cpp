// Back projection of one slice (the cost centre of a reconstruction), the
// plain loop against the blocked vector loop, and the FFT and filter stage of
// the same slice for comparison. Items are pixel updates (pixels inside the
// inscribed circle times projections).
#include "recon/backproject.h"
#include "recon/ctfft.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// An engine holding M filtered projections of random data, ready to
// back-project over the full N x N grid.
struct Slice {
    CtFft fft;
    int n, m;
    Slice(int n_, int m_)
        : n(n_), m(m_)
    {
        std::mt19937_64 rng(n * 7 + m);
        std::normal_distribution<double> g(0.0, 1.0);
        std::vector<double> row(std::size_t(n) + 1);
        fft.setup(n, m);
        fft.allocResult();
        for (int i = 0; i < m; ++i) {
            for (double& v : row)
                v = g(rng);
            fft.transform(row.data(), i);
            fft.filter(i, m);
        }
    }
    double angleStep() const { return M_PI / m; }
};

double circlePixels(int n)
{
    long count = 0;
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x)
            count += bpInsideCircle(x, z, n * 0.5) ? 1 : 0;
    return double(count);
}

void BM_BackProject(benchmark::State& state)
{
    Slice s(int(state.range(0)), int(state.range(1)));
    const CalcRegion all = CalcRegion::full(s.n);
    for (auto _ : state) {
        s.fft.backProjectAll(s.m, all, 0.0, s.angleStep());
        benchmark::DoNotOptimize(s.fft.result().data());
    }
    state.SetItemsProcessed(int64_t(state.iterations() * circlePixels(s.n) * s.m));
    state.SetLabel(bpIsaName(s.fft.isa()));
}

void BM_BackProjectReference(benchmark::State& state)
{
    Slice s(int(state.range(0)), int(state.range(1)));
    const CalcRegion all = CalcRegion::full(s.n);
    for (auto _ : state) {
        for (int i = 0; i < s.m; ++i)
            s.fft.backProjectReference(i, all, 0.0, s.angleStep());
        benchmark::DoNotOptimize(s.fft.result().data());
    }
    state.SetItemsProcessed(int64_t(state.iterations() * circlePixels(s.n) * s.m));
}

// Forward transform and filter of every projection of one slice; items are
// projections.
void BM_FftFilter(benchmark::State& state)
{
    const int n = int(state.range(0)), m = int(state.range(1));
    std::mt19937_64 rng(3);
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> sgm(std::size_t(n) * m);
    for (double& v : sgm)
        v = g(rng);
    CtFft fft;
    fft.setup(n, m);
    for (auto _ : state) {
        for (int i = 0; i < m; ++i)
            fft.transform(sgm.data() + std::size_t(i) * n, i);
        for (int i = 0; i < m; ++i)
            fft.filter(i, m);
        benchmark::DoNotOptimize(fft.filtered(m - 1));
    }
    state.SetItemsProcessed(state.iterations() * m);
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Args({1024, 720})->Args({2048, 1440})->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_BackProject)->Apply(sizes);
BENCHMARK(BM_BackProjectReference)->Apply(sizes)->Iterations(1);
BENCHMARK(BM_FftFilter)->Apply(sizes);
