#include "recon/pngencode.h"

#include <QBuffer>
#include <QDebug>
#include <QImageWriter>

#include <libdeflate.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// One compressor per thread and level: allocating one costs more than
// compressing a small image.
libdeflate_compressor* compressorFor(int level)
{
    struct Deleter {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    thread_local std::unique_ptr<libdeflate_compressor, Deleter> held;
    thread_local int heldLevel = -1;
    if (!held || heldLevel != level) {
        held.reset(libdeflate_alloc_compressor(level));
        heldLevel = held ? level : -1;
    }
    return held.get();
}

void putU32(char* p, std::uint32_t v)
{
    p[0] = char(v >> 24);
    p[1] = char(v >> 16);
    p[2] = char(v >> 8);
    p[3] = char(v);
}

// Length, type and payload already at chunk; appends nothing, fills the CRC
// behind the payload.
void sealChunk(char* chunk, std::uint32_t length)
{
    putU32(chunk, length);
    const std::uint32_t crc = libdeflate_crc32(0, chunk + 4, length + 4);
    putU32(chunk + 8 + length, crc);
}

// Sum of the filtered bytes taken as signed, libpng's measure of how well a
// filter did.
inline unsigned weight(std::uint8_t b)
{
    return b < 128 ? b : 256u - b;
}

inline std::uint8_t paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return std::uint8_t(a);
    return std::uint8_t(pb <= pc ? b : c);
}

// Filters one row of w grey bytes (prior: the row above, zeros for the
// first) into out (filter byte, then w bytes), choosing the filter with the
// smallest weight; on a tie the earlier filter wins. One plain loop per
// filter, so that the compiler vectorises them.
void filterRow(const std::uint8_t* row, const std::uint8_t* prior, int w, std::uint8_t* out, std::uint8_t* trial)
{
    const auto sumOf = [w](const std::uint8_t* v) {
        unsigned s = 0;
        for (int x = 0; x < w; ++x)
            s += weight(v[x]);
        return s;
    };
    unsigned best = sumOf(row);
    out[0] = 0;
    std::memcpy(out + 1, row, std::size_t(w));
    for (int f = 1; f <= 4; ++f) {
        switch (f) {
        case 1:
            trial[0] = row[0];
            for (int x = 1; x < w; ++x)
                trial[x] = std::uint8_t(row[x] - row[x - 1]);
            break;
        case 2:
            for (int x = 0; x < w; ++x)
                trial[x] = std::uint8_t(row[x] - prior[x]);
            break;
        case 3:
            trial[0] = std::uint8_t(row[0] - (prior[0] >> 1));
            for (int x = 1; x < w; ++x)
                trial[x] = std::uint8_t(row[x] - ((row[x - 1] + prior[x]) >> 1));
            break;
        default:
            trial[0] = std::uint8_t(row[0] - prior[0]);
            for (int x = 1; x < w; ++x)
                trial[x] = std::uint8_t(row[x] - paeth(row[x - 1], prior[x], prior[x - 1]));
            break;
        }
        const unsigned sum = sumOf(trial);
        if (sum < best) {
            best = sum;
            out[0] = std::uint8_t(f);
            std::memcpy(out + 1, trial, std::size_t(w));
        }
    }
}

QByteArray encodeWithWriter(const QImage& img, int level)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter writer(&buf, "png");
    // The writer turns quality q into zlib level (100 - q) * 9 / 91.
    writer.setQuality(100 - (level * 91 + 8) / 9);
    if (!writer.write(img))
        return QByteArray();
    return bytes;
}

} // namespace

int pngDeflateLevel(int zlibLevel)
{
    return zlibLevel >= 0 && zlibLevel <= 9 ? zlibLevel : 6;
}

QByteArray encodePng(const QImage& img, int zlibLevel)
{
    if (img.isNull())
        return QByteArray();
    const int level = pngDeflateLevel(zlibLevel);
    if (img.format() != QImage::Format_Grayscale8)
        return encodeWithWriter(img, level);
    libdeflate_compressor* c = compressorFor(level);
    if (!c) {
        qDebug().noquote() << QStringLiteral("No memory for the PNG compressor");
        return QByteArray();
    }
    const int w = img.width(), h = img.height();
    const std::size_t stride = std::size_t(w) + 1;
    // Reused from image to image on this thread: no fresh pages per slice.
    thread_local std::vector<std::uint8_t> filtered;
    thread_local std::vector<std::uint8_t> zeros, trial;
    filtered.resize(stride * std::size_t(h));
    zeros.assign(std::size_t(w), 0);
    trial.resize(std::size_t(w));
    for (int y = 0; y < h; ++y)
        filterRow(img.constScanLine(y), y > 0 ? img.constScanLine(y - 1) : zeros.data(), w,
                  filtered.data() + stride * std::size_t(y), trial.data());

    const bool phys = img.dotsPerMeterX() > 0 && img.dotsPerMeterY() > 0;
    const std::size_t head = 8 + 25 + (phys ? 21 : 0);
    const std::size_t bound = libdeflate_zlib_compress_bound(c, filtered.size());
    QByteArray png;
    png.resize(qsizetype(head + 12 + bound + 12));
    char* p = png.data();
    std::memcpy(p, "\x89PNG\r\n\x1a\n", 8);
    char* ihdr = p + 8;
    std::memcpy(ihdr + 4, "IHDR", 4);
    putU32(ihdr + 8, std::uint32_t(w));
    putU32(ihdr + 12, std::uint32_t(h));
    const char rest[5] = {8, 0, 0, 0, 0}; // depth 8, grey, deflate, adaptive filters, no interlace
    std::memcpy(ihdr + 16, rest, 5);
    sealChunk(ihdr, 13);
    if (phys) {
        char* ph = ihdr + 25;
        std::memcpy(ph + 4, "pHYs", 4);
        putU32(ph + 8, std::uint32_t(img.dotsPerMeterX()));
        putU32(ph + 12, std::uint32_t(img.dotsPerMeterY()));
        ph[16] = 1; // per metre
        sealChunk(ph, 9);
    }
    char* idat = p + head;
    std::memcpy(idat + 4, "IDAT", 4);
    const std::size_t packed = libdeflate_zlib_compress(c, filtered.data(), filtered.size(), idat + 8, bound);
    if (packed == 0) {
        qDebug().noquote() << QStringLiteral("PNG compression failed (%1 x %2)").arg(w).arg(h);
        return QByteArray();
    }
    sealChunk(idat, std::uint32_t(packed));
    char* iend = idat + 12 + packed;
    std::memcpy(iend + 4, "IEND", 4);
    sealChunk(iend, 0);
    png.resize(qsizetype(iend + 12 - p));
    return png;
}
