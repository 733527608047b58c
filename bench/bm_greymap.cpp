// Mapping a 4096 x 4096 detector image through the colour bar into 8-bit grey.
#include "display/colorscale.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {
const std::size_t n = 4096 * 4096;

std::vector<double> detectorImage()
{
    std::vector<double> values(n);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> counts(100.0, 40000.0);
    for (double& v : values)
        v = counts(rng);
    return values;
}

ColorScale narrowedScale()
{
    ColorScale s;
    s.vmin = 100.0;
    s.vmax = 40000.0;
    s.lo = 0.1;
    s.hi = 0.8;
    return s;
}
} // namespace

static void BM_GreyMap(benchmark::State& state)
{
    const std::vector<double> values = detectorImage();
    std::vector<uint8_t> grey(n);
    const ColorScale s = narrowedScale();
    for (auto _ : state) {
        s.mapToGrey(values.data(), n, grey.data());
        benchmark::DoNotOptimize(grey.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}
BENCHMARK(BM_GreyMap)->Unit(benchmark::kMillisecond);

// The same image one colorIndex call per pixel, as a reference for the ratio.
static void BM_GreyMapPerPixel(benchmark::State& state)
{
    const std::vector<double> values = detectorImage();
    std::vector<uint8_t> grey(n);
    const ColorScale s = narrowedScale();
    for (auto _ : state) {
        for (std::size_t i = 0; i < n; ++i)
            grey[i] = uint8_t(s.colorIndex(values[i]));
        benchmark::DoNotOptimize(grey.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}
BENCHMARK(BM_GreyMapPerPixel)->Unit(benchmark::kMillisecond);
