// Mapping a 4096 x 4096 detector image through the colour bar into 8-bit grey.
#include "display/colorscale.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

static void BM_GreyMap(benchmark::State& state)
{
    const std::size_t n = 4096 * 4096;
    std::vector<double> values(n);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> counts(100.0, 40000.0);
    for (double& v : values)
        v = counts(rng);
    std::vector<uint8_t> grey(n);
    ColorScale s;
    s.vmin = 100.0;
    s.vmax = 40000.0;
    s.lo = 0.1;
    s.hi = 0.8;
    for (auto _ : state) {
        s.mapToGrey(values.data(), n, grey.data());
        benchmark::DoNotOptimize(grey.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}
BENCHMARK(BM_GreyMap)->Unit(benchmark::kMillisecond);
