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
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

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
    static const bool init = (qInstallMessageHandler(quiet), TIFFSetErrorHandler(nullptr), TIFFSetWarningHandler(nullptr), true);
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
    const QVector<double> v{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (const auto& [bits, format] : {std::pair{8, 1}, {16, 1}, {16, 2}, {32, 1}, {32, 3}, {64, 3}}) {
        TiffPage p;
        p.width = 4;
        p.height = 4;
        p.bitsPerSample = bits;
        p.sampleFormat = format;
        p.rowsPerStrip = 2;
        p.exposure = 0.5;
        p.pixels = tiffSamples(bits, format, v);
        *seeds << buildTiff({p});
    }
    TiffPage tiled;
    tiled.width = 20;
    tiled.height = 18;
    tiled.tileWidth = 16;
    tiled.tileHeight = 16;
    tiled.pixels = tiffSamples(16, 1, QVector<double>(32 * 32, 7.0));
    TiffPage rgb;
    rgb.width = 3;
    rgb.height = 2;
    rgb.bitsPerSample = 8;
    rgb.samplesPerPixel = 3;
    rgb.photometric = 2;
    rgb.pixels = tiffSamples(8, 1, QVector<double>(18, 200.0));
    *seeds << buildTiff({tiled}) << buildTiff({rgb, tiled});
}
