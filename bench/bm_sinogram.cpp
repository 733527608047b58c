// Building one slice's sinogram from a full data set held in memory:
// 1440 projections with 2048-pixel lines, corrected with in-memory flat and
// dark images, for both rotation axes. One iteration is one slice.

#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "recon/sinogramcore.h"
#include "tools/itexwriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr int projections = 1440;
constexpr int line = 2048;
// Across the axis the lines are 2048 pixels; along it only a few rows (or a
// 128-pixel-wide frame, so that every sample of a column lies in a cache line
// of its own, as in a full frame) keep the set in a few hundred MB.
constexpr int along = 16;
constexpr int alongH = 128;

struct Bundle {
    QTemporaryDir dir;
    ImgDatas set;
    std::unique_ptr<ImgData> flat, dark;
    ImgData* flatSlot = nullptr;
    ImgData* darkSlot = nullptr;
};

QByteArray frame(int w, int h, bool rotAxIsV, int k)
{
    QVector<uint16_t> px(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = (rotAxIsV ? x : y) - 1023.25;
            const double mu = std::max(0.0, 2.0 - std::pow(u / 700.0 + 0.1 * std::sin(k * 0.0044), 2.0));
            px[y * w + x] = uint16_t(100 + 39900 * std::exp(-mu));
        }
    return itexFrameU16(px);
}

std::unique_ptr<Bundle> makeBundle(bool rotAxIsV)
{
    auto b = std::make_unique<Bundle>();
    const int w = rotAxIsV ? line : alongH, h = rotAxIsV ? along : line;
    ItexHeader hdr;
    hdr.width = uint16_t(w);
    hdr.height = uint16_t(h);
    hdr.frameCount = projections;
    const QByteArray comment = itexComment(w, h, 1.0);
    const QString his = b->dir.filePath(QStringLiteral("proj.his"));
    QFile f(his);
    if (!f.open(QIODevice::WriteOnly))
        return nullptr;
    f.write(itexFileHeader(hdr, int(comment.size())));
    f.write(comment);
    for (int k = 0; k < projections; ++k) {
        if (k > 0)
            f.write(QByteArray(64, '\0'));
        f.write(frame(w, h, rotAxIsV, k));
    }
    f.close();
    for (int k = 0; k < projections; ++k)
        if (!b->set.add(his, k))
            return nullptr;
    // Every frame is in memory now; the disk space is given back at once.
    QFile::remove(his);
    hdr.frameCount = 1;
    const QVector<uint16_t> flatPx(w * h, 40000), darkPx(w * h, 100);
    for (auto [img, slot, px, name] : {std::tuple{&b->flat, &b->flatSlot, &flatPx, "flat.img"},
                                        std::tuple{&b->dark, &b->darkSlot, &darkPx, "dark.img"}}) {
        const QString path = b->dir.filePath(QLatin1String(name));
        writeItexFile(path, hdr, comment, {itexFrameU16(*px)});
        img->reset(loadImgData(path, 0, true));
        if (!*img)
            return nullptr;
        *slot = img->get();
    }
    b->set.setI0Handle(&b->flatSlot);
    b->set.setBgHandle(&b->darkSlot);
    return b;
}

void BM_GenSinogram(benchmark::State& state)
{
    const bool rotAxIsV = state.range(0) != 0;
    static std::unique_ptr<Bundle> bundles[2];
    std::unique_ptr<Bundle>& b = bundles[rotAxIsV];
    if (!b)
        b = makeBundle(rotAxIsV);
    if (!b) {
        state.SkipWithError("could not build the data set");
        return;
    }
    HSgm h;
    const int slice = rotAxIsV ? along / 2 : alongH / 2;
    for (auto _ : state) {
        genSinogram0(h, b->set, rotAxIsV, 1023.25, slice, {0, projections});
        benchmark::DoNotOptimize(h.sgm.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(h.rows) * h.width);
    state.counters["rows"] = h.rows;
    state.counters["width"] = h.width;
}

} // namespace

BENCHMARK(BM_GenSinogram)->ArgName("rotAxIsV")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
