// How many reconstruction workers one saver thread can serve: the saver's
// busy time for the files of one 2048 x 2048 slice (data file and PNG image,
// with and without the float TIFF) against the back projection of that
// slice. Both are CPU times of the thread doing the work, so the ratio
// holds on a loaded machine too. Also what a fresh engine pays on its first
// slice against one that has reconstructed before (page faults of its
// large buffers).
#include "display/colorscale.h"
#include "recon/bigbuffer.h"
#include "recon/ctfft.h"
#include "recon/datasaver.h"
#include "recon/hsgm.h"
#include "recon/procparams.h"
#include "recon/resimage.h"
#include "recon/savingrecords.h"
#include "recon/tiffslice.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>

namespace {

constexpr int kGrid = 2048;
// A 180 degree scan of a 2048 wide detector at 0.125 degree steps.
constexpr int kProjections = 1440;

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Sinogram of a few discs with some noise, as a detector would see them.
HSgm discSinogram(int grid, int projections)
{
    HSgm s;
    s.resize(projections, grid + 1);
    struct Disc { double cx, cz, r, mu; };
    const Disc discs[] = {{0, 0, 0.45 * grid, 0.002}, {0.1 * grid, -0.05 * grid, 0.12 * grid, 0.01},
                          {-0.15 * grid, 0.1 * grid, 0.06 * grid, -0.004}};
    std::mt19937_64 rng(7);
    std::normal_distribution<double> noise(0.0, 0.01);
    const double mid = grid / 2.0;
    for (int k = 0; k < projections; ++k) {
        const double th = M_PI * k / projections;
        double* row = s.sgmRow(k);
        for (int c = 0; c < s.width; ++c) {
            const double t = c - mid;
            double v = noise(rng);
            for (const Disc& d : discs) {
                const double u = t - (d.cx * std::cos(th) + d.cz * std::sin(th));
                if (std::fabs(u) < d.r)
                    v += 2.0 * d.mu * std::sqrt(d.r * d.r - u * u);
            }
            row[c] = v;
        }
    }
    return s;
}

ProcParams runParams(int projections)
{
    ProcParams p;
    p.dataSetImages = projections;
    p.usingImages = projections;
    return p;
}

// One reconstructed 2048 x 2048 slice and the CPU time of its back
// projection, made once for every benchmark of this file.
struct SliceFixture {
    CtFft fft;
    double bpSeconds = 0.0;
    QImage image;

    SliceFixture()
    {
        const HSgm s = discSinogram(kGrid, kProjections);
        const ProcParams p = runParams(kProjections);
        fft.runAll(s, p, CalcRegion::full(kGrid));
        bpSeconds = fft.lastBackProjectSeconds();
        ColorScale cs;
        cs.vmin = fft.min();
        cs.vmax = fft.max();
        image = makeResImage(fft.result().data(), fft.n(), cs);
    }
    MatrixView view() const { return {fft.result().data(), fft.n(), fft.n()}; }
};

SliceFixture& slice()
{
    static SliceFixture f;
    return f;
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// First arg 0: data file and image; 1: with the float TIFF besides. Second
// arg 1: the data text in page memory the saver writes past the page cache,
// 0: it and the TIFF in plain byte arrays (written through the page cache).
void BM_SaverPerSlice(benchmark::State& state)
{
    SliceFixture& f = slice();
    const bool tiff = state.range(0) != 0;
    const bool pages = state.range(1) != 0;
    QTemporaryDir dir;
    const SaveSettings where{true, dir.path(), QString(), QStringLiteral("T"), tiff};
    const DataRegion region{0, 0, double(kGrid), double(kGrid)};
    DataSaver saver;
    saver.setSubFolders(false, false, false);
    std::shared_ptr<PageBytes> pageText;
    QByteArray oldText;
    double busy = 0.0, wall = 0.0;
    int slices = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // What the worker hands over: built on its thread, not the saver's.
        // The plain way, as records held their bytes before: the data text
        // in a byte array the worker kept and refilled slice after slice, on
        // huge pages; the TIFF in a fresh one.
        auto plain = [&](const QByteArray& bytes, const QString& ext) {
            auto* r = new SavingData;
            r->path = where.path;
            r->tag = where.tag;
            r->sliceNo = SavingRecord::sliceText(slices);
            r->data = bytes;
            r->ext = ext;
            return r;
        };
        auto refilled = [&](const QByteArray& bytes) {
            if (oldText.capacity() < bytes.size()) {
                oldText.reserve(bytes.size());
                adviseHugePages(oldText.data(), std::size_t(oldText.capacity()));
            }
            oldText.resize(bytes.size());
            std::memcpy(oldText.data(), bytes.constData(), std::size_t(bytes.size()));
            return oldText;
        };
        SavingData* d = pages ? makeSavingData(where, slices, f.view(), region, DataLimits(), &pageText)
                              : plain(refilled(buildCtImgDataText(f.view(), region, DataLimits())), QStringLiteral("dat"));
        SavingData* t = nullptr;
        if (tiff)
            t = pages ? makeSavingTiff(where, slices, f.view(), region)
                      : plain(buildFloatTiff(f.view(), region), QStringLiteral("tif"));
        SavingImg* i = makeSavingImg(where, slices, f.image);
        state.ResumeTiming();
        const double t0 = threadCpuSeconds(), w0 = wallSeconds();
        saver.saveDataWDiscard(d);
        if (t)
            saver.saveDataWDiscard(t);
        saver.saveImgWDiscard(i);
        busy += threadCpuSeconds() - t0;
        wall += wallSeconds() - w0;
        ++slices;
        state.PauseTiming();
        // Keeps the page cache from filling up with old slices.
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(name));
        state.ResumeTiming();
    }
    const double perSlice = busy / slices;
    state.counters["saver_ms"] = 1e3 * perSlice;
    // Waiting for the disk included: what the saver thread cannot spend on
    // the next record, though no core is busy meanwhile.
    state.counters["saver_wall_ms"] = 1e3 * wall / slices;
    state.counters["backproject_ms"] = 1e3 * f.bpSeconds;
    state.counters["workers_per_saver"] = f.bpSeconds / perSlice;
    // The back projection grows with the projections, the files do not:
    // the scan that would keep one saver busy with 64 workers.
    state.counters["projections_for_64"] = 64.0 * perSlice / (f.bpSeconds / kProjections);
}

// The worker's share of saving: data text, TIFF bytes and image record
// (with the PNG bytes where the worker encodes them).
void BM_WorkerRecords(benchmark::State& state)
{
    SliceFixture& f = slice();
    const SaveSettings where{true, QStringLiteral("/nonexistent"), QString(), QStringLiteral("T"), true};
    const DataRegion region{0, 0, double(kGrid), double(kGrid)};
    std::shared_ptr<PageBytes> text, tiffBytes;
    for (auto _ : state) {
        std::unique_ptr<SavingData> d(makeSavingData(where, 1, f.view(), region, DataLimits(), &text));
        std::unique_ptr<SavingData> t(makeSavingTiff(where, 1, f.view(), region, &tiffBytes));
        std::unique_ptr<SavingImg> i(makeSavingImg(where, 1, f.image));
        benchmark::DoNotOptimize(d.get());
        benchmark::DoNotOptimize(t.get());
        benchmark::DoNotOptimize(i.get());
    }
}

// A slice of 2048 x 2048 from 64 projections on an engine made for it
// (arg 1) or on one that has already reconstructed such a slice (arg 0):
// the difference is what first use of the buffers costs.
void BM_EngineSlice(benchmark::State& state)
{
    const bool fresh = state.range(0) != 0;
    const HSgm s = discSinogram(kGrid, 64);
    const ProcParams p = runParams(64);
    const CalcRegion all = CalcRegion::full(kGrid);
    auto fft = std::make_unique<CtFft>();
    fft->runAll(s, p, all);
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            fft = std::make_unique<CtFft>();
            state.ResumeTiming();
        }
        fft->runAll(s, p, all);
        benchmark::DoNotOptimize(fft->result().data());
    }
}

} // namespace

BENCHMARK(BM_SaverPerSlice)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_WorkerRecords)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_EngineSlice)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(6);
