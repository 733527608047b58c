// Speed of the data-file text a worker builds after every slice.
#include "recon/bigbuffer.h"
#include "recon/ctimgdatafile.h"
#include "tools/phantom.h"

#include <QBuffer>
#include <QByteArray>
#include <QTextStream>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

// A phantom slice in reconstruction units with a little deterministic
// noise, so that neighbouring values differ as they do in real results.
std::vector<double> sliceMatrix(int n)
{
    PhantomSpec phantomSpec;
    phantomSpec.width = n;
    phantomSpec.height = 8;
    phantomSpec.cor = (n - 1) / 2.0;
    const Phantom phantom(phantomSpec);
    std::vector<double> m(std::size_t(n) * std::size_t(n));
    std::uint32_t seed = 12345;
    const double c = (n - 1) / 2.0;
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = (double(seed >> 8) / double(1u << 24) - 0.5) * 1e-3;
            m[std::size_t(z) * std::size_t(n) + std::size_t(x)] = phantom.attenuation(x - c, z - c, 4.0) + noise;
        }
    }
    return m;
}

// As a worker does it: the text buffer of the previous slice is reused.
void BM_DataText(benchmark::State& state)
{
    const int n = int(state.range(0));
    const std::vector<double> m = sliceMatrix(n);
    const DataRegion region{0.0, 0.0, double(n), double(n)};
    PageBytes text;
    buildCtImgDataText({m.data(), n, n}, region, DataLimits(), &text); // the previous slice
    for (auto _ : state) {
        buildCtImgDataText({m.data(), n, n}, region, DataLimits(), &text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n) * n);
    state.SetBytesProcessed(state.iterations() * std::int64_t(text.size()));
}
BENCHMARK(BM_DataText)->Arg(2048)->Unit(benchmark::kMillisecond);

// A fresh buffer for every slice: the pages are faulted in anew each time.
void BM_DataTextFreshBuffer(benchmark::State& state)
{
    const int n = int(state.range(0));
    const std::vector<double> m = sliceMatrix(n);
    const DataRegion region{0.0, 0.0, double(n), double(n)};
    for (auto _ : state) {
        const QByteArray text = buildCtImgDataText({m.data(), n, n}, region, DataLimits());
        benchmark::DoNotOptimize(text.constData());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n) * n);
}
BENCHMARK(BM_DataTextFreshBuffer)->Arg(2048)->Unit(benchmark::kMillisecond);

// The same text through QTextStream, for comparison.
void BM_DataTextStream(benchmark::State& state)
{
    const int n = int(state.range(0));
    const std::vector<double> m = sliceMatrix(n);
    const DataLimits lim;
    for (auto _ : state) {
        QByteArray out;
        QTextStream ts(&out);
        for (int z = 0; z < n; ++z) {
            for (int x = 0; x < n; ++x) {
                double v = m[std::size_t(z) * std::size_t(n) + std::size_t(x)];
                v = (v > lim.upper || v < lim.lower ? 0.0 : v) + lim.offset;
                ts << x << "\t" << z << "\t" << v << "\n";
            }
        }
        ts.flush();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n) * n);
}
BENCHMARK(BM_DataTextStream)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_ReadCtImgData(benchmark::State& state)
{
    const int n = int(state.range(0));
    const std::vector<double> m = sliceMatrix(n);
    QByteArray text = buildCtImgDataText({m.data(), n, n}, {0.0, 0.0, double(n), double(n)}, DataLimits());
    for (auto _ : state) {
        QBuffer buf(&text);
        buf.open(QIODevice::ReadOnly);
        DataMatrix back;
        benchmark::DoNotOptimize(readCtImgData(&buf, &back));
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n) * n);
}
BENCHMARK(BM_ReadCtImgData)->Arg(2048)->Unit(benchmark::kMillisecond);

} // namespace

namespace {
void BM_FormatDouble6(benchmark::State& state)
{
    const std::vector<double> m = sliceMatrix(512);
    std::vector<char> out(m.size() * 16);
    for (auto _ : state) {
        char* p = out.data();
        for (double v : m)
            p = formatDouble6(v + 10.0, p);
        benchmark::DoNotOptimize(p);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(m.size()));
}
BENCHMARK(BM_FormatDouble6);
} // namespace
