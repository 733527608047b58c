// Arbitrary bytes as a TIFF file through the reader, in memory and
// streamed, for every page the file claims: no crash, no read past a
// buffer, no allocation beyond what the file can hold, and values read
// twice agree.
#include "input/imgdatatiff.h"
#include "tests/fuzz/fuzztempfile.h"
#include "tests/support/tiffbuilder.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
void exercise(ImgData& d)
{
    std::vector<double> a(std::size_t(std::max(d.width, d.height)) + 1), b(a.size());
    for (int y = -1; y <= d.height; y += std::max(1, d.height / 5)) {
        d.getLine(y, a.data());
        d.getLine(y, b.data());
        if (std::memcmp(a.data(), b.data(), sizeof(double) * std::size_t(d.width)) != 0)
            __builtin_trap();
    }
    for (int x = -1; x <= d.width; x += std::max(1, d.width / 5))
        d.getColumn(x, a.data());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzQuiet();
    static const bool init = (TIFFSetErrorHandler(nullptr), TIFFSetWarningHandler(nullptr), true);
    (void)init;
    const QString path = fuzzInputFile("tiff", data, size);
    if (path.isEmpty())
        return 0;
    const int pages = std::min(ImgDataTiff::pageCount(path), 3);
    for (int page = 0; page < std::max(pages, 1); ++page) {
        for (bool inMemory : {true, false}) {
            ImgDataTiff d;
            d.reset();
            d.fileName = path;
            d.inMemory = inMemory;
            if (d.load(page))
                exercise(d);
        }
    }
    return 0;
}

void fenu2FuzzSeeds(QList<QByteArray>* seeds)
{
    const auto page = [](int w, int h, int bits, int format, int samples, const QVector<double>& v) {
        TiffPage p;
        p.width = w;
        p.height = h;
        p.bitsPerSample = bits;
        p.sampleFormat = format;
        p.samplesPerPixel = samples;
        p.photometric = samples == 3 ? 2 : 1;
        p.pixels = tiffSamples(bits, format, v);
        return p;
    };
    const QVector<double> ramp{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (const auto& [bits, format] : {std::pair{8, 1}, {16, 1}, {16, 2}, {32, 1}, {32, 3}, {64, 3}}) {
        TiffPage p = page(4, 4, bits, format, 1, ramp);
        p.rowsPerStrip = 2;
        p.exposure = 0.5;
        *seeds << buildTiff({p});
    }
    TiffPage tiled = page(20, 18, 16, 1, 1, QVector<double>(32 * 32, 7.0));
    tiled.tileWidth = tiled.tileHeight = 16;
    *seeds << buildTiff({tiled}) << buildTiff({page(3, 2, 8, 1, 3, QVector<double>(18, 200.0)), tiled});
}
