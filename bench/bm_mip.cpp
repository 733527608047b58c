// Speed of the 3-D view's maximum-intensity picture, against the
// straightforward loop with one painter point per pixel, and of loading a
// stack of data files.
#include "recon/ctimgdatafile.h"
#include "tools/mipreference.h"
#include "view3d/mipcaster.h"
#include "view3d/miplevels.h"
#include "view3d/slicedatas.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

namespace {

constexpr int kSide = 512;

// Nested ellipsoids with a little deterministic noise, values about 0 to 3.
SliceData phantomSlice(int k, int n)
{
    SliceData s;
    s.width = s.height = n;
    s.values.resize(std::size_t(n) * std::size_t(n));
    std::uint32_t seed = 777u + std::uint32_t(k) * 2654435761u;
    const double z = (k - n / 2.0) / (n / 2.0);
    for (int y = 0; y < n; ++y) {
        const double yy = (y - n / 2.0) / (n / 2.0);
        for (int x = 0; x < n; ++x) {
            const double xx = (x - n / 2.0) / (n / 2.0);
            seed = seed * 1664525u + 1013904223u;
            double v = (double(seed >> 8) / double(1u << 24)) * 0.2;
            if (xx * xx / 0.8 + yy * yy / 0.6 + z * z / 0.9 < 1)
                v += 1.0;
            if ((xx - 0.3) * (xx - 0.3) + yy * yy + (z + 0.2) * (z + 0.2) < 0.05)
                v += 2.0;
            s.values[std::size_t(y) * std::size_t(n) + std::size_t(x)] = v;
        }
    }
    s.vmin = 0.0;
    s.vmax = 3.2;
    return s;
}

const SliceStackPtr& bigStack()
{
    static const SliceStackPtr stack = [] {
        auto st = std::make_shared<SliceStack>();
        st->width = st->height = kSide;
        st->slices.resize(kSide);
        for (int k = 0; k < kSide; ++k)
            st->slices[std::size_t(k)] = phantomSlice(k, kSide);
        st->loaded = true;
        st->vmin = 0.0;
        st->vmax = 3.2;
        st->makeBricks(); // as a load does
        return SliceStackPtr(st);
    }();
    return stack;
}

// A free turn about an oblique axis, the cut facing the viewer a little in front of the centre.
MipCaster benchView(int size)
{
    MipCaster mc;
    mc.width = mc.height = size;
    mc.view.turnAbout({1.0, 2.0, 0.5}, 35.0);
    mc.view.scale = 256.0 / size; // the central half of the stack across
    MipSet set;
    set.stack = bigStack();
    set.setThresholds(0.0, 3.2, 20.0, 95.0);
    set.showCSection = true;
    set.slider = 10;
    set.csNormal = mc.view.nz;
    set.alpha = 200;
    mc.sets << set;
    return mc;
}

void countSamples(benchmark::State& state, int size)
{
    state.counters["samples/s"] =
        benchmark::Counter(double(size) * size * kSide, benchmark::Counter::kIsIterationInvariantRate);
}

// Turning the view: the thresholds have settled, so the set is classified
// by the first two renders (outside the timing), as in a drag.
void BM_MipRender(benchmark::State& state)
{
    const int size = int(state.range(0));
    const MipCaster mc = benchView(size);
    setMipLevelUse(MipLevelUse::Settled);
    mc.render();
    mc.render();
    for (auto _ : state)
        benchmark::DoNotOptimize(mc.render());
    countSamples(state, size);
}
// CPU is the time of both cores: on a shared machine, samples per CPU second
// show the loop's speed when the wall clock does not.
BENCHMARK(BM_MipRender)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The first render after a change of thresholds or colours reads the values.
void BM_MipRenderValues(benchmark::State& state)
{
    const int size = int(state.range(0));
    const MipCaster mc = benchView(size);
    setMipLevelUse(MipLevelUse::Never);
    for (auto _ : state)
        benchmark::DoNotOptimize(mc.render());
    countSamples(state, size);
    setMipLevelUse(MipLevelUse::Settled);
}
BENCHMARK(BM_MipRenderValues)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Classifying the 512^3 stack once the thresholds have settled (a fresh
// threshold each time, so nothing is kept).
void BM_MipClassify(benchmark::State& state)
{
    const MipCaster mc = benchView(256);
    const MipSet& set = mc.sets.front();
    setMipLevelUse(MipLevelUse::Always);
    double thMax = set.thMax;
    for (auto _ : state) {
        thMax = std::nextafter(thMax, 0.0);
        benchmark::DoNotOptimize(mipLevelsFor(set.stack, set.thMin, thMax, set.vColor, set.sColor));
    }
    setMipLevelUse(MipLevelUse::Settled);
}
BENCHMARK(BM_MipClassify)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_MipRenderReference(benchmark::State& state)
{
    const MipCaster mc = benchView(256);
    for (auto _ : state)
        benchmark::DoNotOptimize(referenceMipPicture(mc));
    countSamples(state, 256);
}
BENCHMARK(BM_MipRenderReference)->Unit(benchmark::kMillisecond)->UseRealTime();

// 256 data files of 512 x 512, as the saver writes them, loaded as one stack.
void BM_SliceLoad(benchmark::State& state)
{
    QTemporaryDir dir;
    QStringList files;
    const int count = int(state.range(0));
    for (int k = 0; k < count; ++k) {
        const SliceData s = phantomSlice(k * 2, kSide);
        const QByteArray text = buildCtImgDataText({s.values.data(), kSide, kSide},
                                                   {0.0, 0.0, double(kSide), double(kSide)}, {1e9, -1e9, 0.0});
        const QString name = dir.filePath(QStringLiteral("slice%1.dat").arg(k, 4, 10, QLatin1Char('0')));
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
            state.SkipWithError("can't write the data files");
            return;
        }
        files << name;
    }
    SliceDatas datas;
    SliceStackPtr st;
    QObject::connect(&datas, &SliceDatas::stackUpdated, [&st](const SliceStackPtr& s) { st = s; });
    for (auto _ : state) {
        datas.filesSelected(files);
        if (!st || st->count() != count)
            state.SkipWithError("stack not loaded");
        st.reset();
    }
}
// CPU is the time of all cores: about twice the wall clock when both parse.
BENCHMARK(BM_SliceLoad)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(1);

} // namespace
