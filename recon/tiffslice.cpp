#include "recon/tiffslice.h"

#include "recon/bigbuffer.h"

#include <QDebug>

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Classic TIFF addresses 4 GiB; a little is left for the tags.
constexpr std::int64_t kMaxPixelBytes = (std::int64_t(1) << 32) - (1 << 20);
constexpr double kMaxCoordinate = 1e15;

// The file grows in page memory; libtiff seeks back to patch offsets.
struct MemFile {
    PageBytes* pages = nullptr;
    std::int64_t size = 0;
    std::int64_t pos = 0;
};

tmsize_t memRead(thandle_t h, void* buf, tmsize_t n)
{
    auto* f = static_cast<MemFile*>(h);
    const std::int64_t avail = std::max<std::int64_t>(0, f->size - f->pos);
    const std::int64_t k = std::min<std::int64_t>(n, avail);
    if (k > 0)
        std::memcpy(buf, f->pages->data() + f->pos, std::size_t(k));
    f->pos += k;
    return tmsize_t(k);
}

tmsize_t memWrite(thandle_t h, void* buf, tmsize_t n)
{
    auto* f = static_cast<MemFile*>(h);
    if (n < 0 || f->pos + n > kMaxPixelBytes + (1 << 20))
        return -1;
    const std::int64_t end = f->pos + n;
    if (std::size_t(end) > f->pages->capacity()) {
        // Seldom: the reservation covers pixels and tags.
        std::vector<char> kept(f->pages->data(), f->pages->data() + f->size);
        if (!f->pages->reserve(std::size_t(end) * 2))
            return -1;
        std::memcpy(f->pages->data(), kept.data(), kept.size());
    }
    char* base = f->pages->data();
    if (f->pos > f->size)
        std::memset(base + f->size, 0, std::size_t(f->pos - f->size));
    std::memcpy(base + f->pos, buf, std::size_t(n));
    f->pos = end;
    f->size = std::max(f->size, end);
    return n;
}

toff_t memSeek(thandle_t h, toff_t off, int whence)
{
    auto* f = static_cast<MemFile*>(h);
    std::int64_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
    const std::int64_t to = base + std::int64_t(off);
    if (to < 0)
        return toff_t(-1);
    f->pos = to;
    return toff_t(to);
}

int memClose(thandle_t)
{
    return 0;
}

toff_t memSize(thandle_t h)
{
    return toff_t(static_cast<MemFile*>(h)->size);
}

int memMap(thandle_t, void**, toff_t*)
{
    return 0;
}

void memUnmap(thandle_t, void*, toff_t) {}

int keepFirstError(TIFF*, void* user, const char* module, const char* fmt, va_list ap)
{
    auto* sink = static_cast<QString*>(user);
    if (sink->isEmpty()) {
        char msg[512];
        std::vsnprintf(msg, sizeof msg, fmt, ap);
        *sink = QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(module ? module : ""), QString::fromLocal8Bit(msg));
    }
    return 1; // handled: libtiff prints nothing itself
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

} // namespace

QByteArray buildFloatTiff(const MatrixView& result, const DataRegion& region)
{
    PageBytes pages;
    if (!buildFloatTiff(result, region, &pages))
        return {};
    return QByteArray(pages.data(), qsizetype(pages.size()));
}

bool buildFloatTiff(const MatrixView& result, const DataRegion& g, PageBytes* out)
{
    out->setSize(0);
    for (double c : {g.x0, g.z0, g.x1, g.z1}) {
        if (!(std::fabs(c) <= kMaxCoordinate)) {
            qDebug().noquote() << QStringLiteral("TIFF region not usable : %1 %2 %3 %4").arg(g.x0).arg(g.z0).arg(g.x1).arg(g.z1);
            return false;
        }
    }
    const std::int64_t xs = std::int64_t(std::trunc(g.x0));
    const std::int64_t zs = std::int64_t(std::trunc(g.z0));
    const std::int64_t nx = std::max<std::int64_t>(0, std::int64_t(std::ceil(g.x1)) - xs);
    const std::int64_t nz = std::max<std::int64_t>(0, std::int64_t(std::ceil(g.z1)) - zs);
    // A TIFF has at least one pixel; an empty region has nothing to show.
    if (nx == 0 || nz == 0 || nx > UINT32_MAX / 4 || nz > kMaxPixelBytes / (4 * nx)) {
        qDebug().noquote() << QStringLiteral("TIFF region empty or too large : %1 x %2 pixels").arg(nx).arg(nz);
        return false;
    }

    MemFile mem;
    mem.pages = out;
    // Pixels, the strip tables (a strip per row at most) and the other tags.
    if (!out->reserve(std::size_t(nx * nz * 4 + nz * 8 + 65536))) {
        qDebug().noquote() << QStringLiteral("No memory for the TIFF of the slice : %1 x %2 pixels").arg(nx).arg(nz);
        return false;
    }
    QString error;
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, keepFirstError, &error);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, ignoreWarning, nullptr);
    TIFF* tif = TIFFClientOpenExt("slice.tif", "wl", &mem, memRead, memWrite, memSeek, memClose, memSize, memMap,
                                  memUnmap, opts);
    TIFFOpenOptionsFree(opts);
    bool ok = tif != nullptr;
    if (ok) {
        const QByteArray description = QStringLiteral("Fenu2 CT slice, region x %1..%2 z %3..%4")
                                           .arg(xs).arg(xs + nx - 1).arg(zs).arg(zs + nz - 1).toLatin1();
        ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(nx)) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(nz))
             && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1)
             && TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP)
             && TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK)
             && TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG)
             && TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE)
             && TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description.constData())
             && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
        std::vector<float> row(static_cast<std::size_t>(nx));
        for (std::int64_t iz = 0; ok && iz < nz; ++iz) {
            const std::int64_t z = zs + iz;
            const bool inside = result.data && z >= 0 && z < result.rows;
            const double* src = inside ? result.data + std::size_t(z) * std::size_t(result.cols) : nullptr;
            for (std::int64_t ix = 0; ix < nx; ++ix) {
                const std::int64_t x = xs + ix;
                row[std::size_t(ix)] = src && x >= 0 && x < result.cols ? float(src[x]) : 0.0f;
            }
            ok = TIFFWriteScanline(tif, row.data(), std::uint32_t(iz), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tif);
        TIFFClose(tif);
    }
    if (!ok) {
        qDebug().noquote() << QStringLiteral("Can't make the TIFF of the slice : %1").arg(error);
        return false;
    }
    out->setSize(std::size_t(mem.size));
    return true;
}
