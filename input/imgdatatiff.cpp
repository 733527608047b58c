#include "input/imgdatatiff.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

// Larger than any detector; keeps the row and column scratch buffers small
// whatever the tags claim.
constexpr int64_t maxTiffSide = 1 << 20;
// A compressed file may expand this much at most (deflate and LZW of a
// constant image stay well below it).
constexpr int64_t maxExpansion = 4096;

int keepFirstError(TIFF*, void* user, const char* module, const char* fmt, va_list ap)
{
    auto* sink = static_cast<QString*>(user);
    if (sink && sink->isEmpty()) {
        char msg[512];
        std::vsnprintf(msg, sizeof msg, fmt, ap);
        *sink = module && *module ? QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(module), QString::fromLocal8Bit(msg))
                                  : QString::fromLocal8Bit(msg);
    }
    return 1; // handled: libtiff prints nothing itself
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// libtiff writes its complaints to stderr unless told otherwise; ours are
// collected per open file and end up in the one diagnostic line.
TIFF* openTiff(const QString& path, QString* error)
{
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, keepFirstError, error);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, ignoreWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(1) << 30);
    // "m": no memory mapping, so a file truncated behind our back gives a
    // read error instead of a bus error.
    TIFF* t = TIFFOpenExt(QFile::encodeName(path).constData(), "rm", opts);
    TIFFOpenOptionsFree(opts);
    return t;
}

PixelKind kindOf(int bits, int format)
{
    if (format == SAMPLEFORMAT_UINT) {
        if (bits == 8)
            return PixelKind::U8;
        if (bits == 16)
            return PixelKind::U16;
        if (bits == 32)
            return PixelKind::U32;
    } else if (format == SAMPLEFORMAT_INT) {
        if (bits == 8)
            return PixelKind::S8;
        if (bits == 16)
            return PixelKind::S16;
        if (bits == 32)
            return PixelKind::S32;
    } else if (format == SAMPLEFORMAT_IEEEFP && bits == 32) {
        return PixelKind::F32;
    }
    return PixelKind::None;
}

double exifExposure(TIFF* t)
{
    toff_t exif = 0;
    if (!TIFFGetField(t, TIFFTAG_EXIFIFD, &exif) || !TIFFReadEXIFDirectory(t, exif))
        return 0.0;
    // Rationals come back as float or double depending on how libtiff was built.
    const TIFFField* field = TIFFFieldWithTag(t, EXIFTAG_EXPOSURETIME);
    double seconds = 0.0;
    if (field && TIFFFieldSetGetSize(field) == 4) {
        float f = 0.0f;
        if (TIFFGetField(t, EXIFTAG_EXPOSURETIME, &f))
            seconds = f;
    } else if (field && TIFFFieldSetGetSize(field) == 8) {
        TIFFGetField(t, EXIFTAG_EXPOSURETIME, &seconds);
    }
    return std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;
}

// Checks the page's tags; fills the layout and the size, or says why not.
QString describePage(TIFF* t, int64_t fileSize, ImgDataTiff::Layout& l, int& w, int& h)
{
    uint32_t tw = 0, th = 0;
    uint16_t spp = 1, bits = 1, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_MINISBLACK, compression = 1;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &tw);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &th);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    if (tw < 1 || th < 1 || tw > maxTiffSide || th > maxTiffSide)
        return QStringLiteral("Unsupported TIFF image size (%1 x %2)").arg(tw).arg(th);
    if (spp != 1 || (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE))
        return QStringLiteral("Unsupported TIFF colour layout (%1 samples, photometric %2), greyscale only")
            .arg(spp).arg(photometric);
    l.kind = kindOf(bits, format);
    if (l.kind == PixelKind::None)
        return QStringLiteral("Unsupported TIFF pixel type (%1-bit, sample format %2)").arg(bits).arg(format);
    if (!TIFFIsCODECConfigured(compression))
        return QStringLiteral("TIFF compression %1 is not available").arg(compression);

    const int64_t bpp = pixelBytes(l.kind);
    const int64_t limit = compression == COMPRESSION_NONE ? fileSize : fileSize * maxExpansion;
    if (int64_t(tw) * th * bpp > limit)
        return QStringLiteral("TIFF image (%1 x %2) needs more data than the file holds").arg(tw).arg(th);
    l.tiled = TIFFIsTiled(t);
    if (l.tiled) {
        uint32_t tileW = 0, tileH = 0;
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &tileW);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &tileH);
        l.tileWidth = int(std::min<uint32_t>(tileW, maxTiffSide + 1));
        l.tileHeight = int(std::min<uint32_t>(tileH, maxTiffSide + 1));
        l.blockBytes = int64_t(TIFFTileSize64(t));
        if (tileW < 1 || tileH < 1 || tileW > maxTiffSide || tileH > maxTiffSide
            || l.blockBytes != int64_t(tileW) * tileH * bpp || l.blockBytes > limit)
            return QStringLiteral("Unsupported TIFF tiles (%1 x %2)").arg(tileW).arg(tileH);
    } else {
        uint32_t rps = 0;
        TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rps);
        l.rowsPerStrip = int(rps < 1 || rps > th ? th : rps);
        l.blockBytes = int64_t(l.rowsPerStrip) * tw * bpp;
        if (int64_t(TIFFScanlineSize64(t)) != int64_t(tw) * bpp)
            return QStringLiteral("Unsupported TIFF strip layout");
    }
    w = int(tw);
    h = int(th);
    return QString();
}

QString withReason(const char* what, const QString& reason, const QString& path)
{
    QString line = QLatin1String(what);
    if (!reason.isEmpty())
        line += QStringLiteral(" (%1)").arg(reason);
    return line + QStringLiteral(" : ") + path;
}

} // namespace

ImgDataTiff::ImgDataTiff() = default;

ImgDataTiff::~ImgDataTiff()
{
    closeFile();
}

void ImgDataTiff::closeFile()
{
    if (tif)
        TIFFClose(tif);
    tif = nullptr;
}

void ImgDataTiff::reset()
{
    ImgData::reset();
    closeFile();
    layout = Layout();
    tiffError.clear();
    frameData = RawFrame();
}

int ImgDataTiff::pageCount(const QString& path)
{
    QString error;
    TIFF* t = openTiff(path, &error);
    if (!t)
        return 0;
    const int n = int(std::min<tdir_t>(TIFFNumberOfDirectories(t), 0x7fffffff));
    TIFFClose(t);
    return n;
}

bool ImgDataTiff::readProps(const QString& name, int& w, int& h)
{
    w = h = 0;
    closeFile();
    layout = Layout();
    tiffError.clear();
    TIFF* t = openTiff(name, &tiffError);
    if (!t) {
        qDebug().noquote() << withReason("Can not open TIFF file", tiffError, name);
        return false;
    }
    QString why;
    if (frameIndex < 0 || !TIFFSetDirectory(t, tdir_t(frameIndex)))
        why = QStringLiteral("TIFF page %1 does not exist").arg(frameIndex);
    else
        why = describePage(t, QFileInfo(name).size(), layout, w, h);
    if (why.isEmpty()) {
        const double seconds = exifExposure(t);
        if (seconds > 0.0)
            exposureTime = seconds;
    }
    TIFFClose(t);
    if (!why.isEmpty()) {
        qDebug().noquote() << why + QStringLiteral(" : ") + name;
        w = h = 0;
        return false;
    }
    return true;
}

bool ImgDataTiff::openData()
{
    closeFile();
    tiffError.clear();
    TIFF* t = openTiff(fileName, &tiffError);
    if (!t || !TIFFSetDirectory(t, tdir_t(frameIndex))) {
        qDebug().noquote() << withReason("Can not open TIFF file", tiffError, fileName);
        if (t)
            TIFFClose(t);
        return false;
    }
    tif = t;
    frameData = RawFrame();
    frameData.kind = layout.kind;
    frameData.width = width;
    frameData.height = height;
    if (!inMemory)
        return true;
    frameData.bytes.resize(std::size_t(frameData.pixelBytesNeeded()));
    const bool ok = decodeRows(tif, 0, height, frameData.bytes.data());
    // Memory mode needs no open file afterwards.
    closeFile();
    if (!ok) {
        frameData = RawFrame();
        qDebug().noquote() << withReason("Error on reading TIFF pixels", tiffError, fileName);
    }
    return ok;
}

// Decodes rows y0 .. y0 + rows - 1 of the open page into dst (rows of
// width pixels, little-endian).
bool ImgDataTiff::decodeRows(tiff* t, int y0, int rows, uint8_t* dst)
{
    const int64_t bpp = pixelBytes(layout.kind);
    const int64_t rowBytes = int64_t(width) * bpp;
    const int y1 = y0 + rows;
    std::vector<uint8_t> block;
    if (!layout.tiled) {
        const int rps = layout.rowsPerStrip;
        for (int s = y0 / rps; int64_t(s) * rps < y1; ++s) {
            const int sy = s * rps;
            const int sRows = std::min(rps, height - sy);
            const int64_t bytes = sRows * rowBytes;
            const bool whole = sy >= y0 && sy + sRows <= y1;
            if (!whole)
                block.resize(std::size_t(bytes));
            uint8_t* target = whole ? dst + (sy - y0) * rowBytes : block.data();
            if (TIFFReadEncodedStrip(t, uint32_t(s), target, tmsize_t(bytes)) != tmsize_t(bytes))
                return false;
            if (!whole) {
                const int from = std::max(sy, y0), to = std::min(sy + sRows, y1);
                std::copy(block.data() + (from - sy) * rowBytes, block.data() + (to - sy) * rowBytes,
                          dst + (from - y0) * rowBytes);
            }
        }
    } else {
        const int tw = layout.tileWidth, th = layout.tileHeight;
        block.resize(std::size_t(layout.blockBytes));
        for (int ty = y0 / th * th; ty < y1; ty += th) {
            for (int tx = 0; tx < width; tx += tw) {
                const uint32_t tile = TIFFComputeTile(t, uint32_t(tx), uint32_t(ty), 0, 0);
                if (TIFFReadEncodedTile(t, tile, block.data(), tmsize_t(layout.blockBytes)) != tmsize_t(layout.blockBytes))
                    return false;
                const int64_t spanBytes = int64_t(std::min(tw, width - tx)) * bpp;
                const int from = std::max(ty, y0), to = std::min({ty + th, y1, height});
                for (int y = from; y < to; ++y) {
                    const uint8_t* src = block.data() + int64_t(y - ty) * tw * bpp;
                    std::copy(src, src + spanBytes, dst + (y - y0) * rowBytes + tx * bpp);
                }
            }
        }
    }
    hostToLittleEndian(dst, layout.kind, std::size_t(rows) * std::size_t(width));
    return true;
}

bool ImgDataTiff::readRows(int y0, int rows, uint8_t* dst)
{
    if (!ready || y0 < 0 || rows < 0 || int64_t(y0) + rows > height)
        return false;
    QMutexLocker lock(&streamLock);
    QString error;
    TIFF* own = tif ? nullptr : openTiff(fileName, &error);
    if (!tif && (!own || !TIFFSetDirectory(own, tdir_t(frameIndex)))) {
        if (own)
            TIFFClose(own);
        return false;
    }
    // A probed page keeps no file open: decode through a handle of our own.
    const bool ok = decodeRows(own ? own : tif, y0, rows, dst);
    if (own)
        TIFFClose(own);
    return ok;
}

double* ImgDataTiff::getLine(int y, double* buf)
{
    if (ready && inMemory) {
        frameData.row(y, buf);
        return buf;
    }
    if (ready && held.row(y, buf))
        return buf;
    // A probed page keeps no file: what it does not hold reads as zeros.
    if (!tif) {
        std::fill(buf, buf + std::max(width, 0), 0.0);
        return buf;
    }
    RawFrame row;
    row.kind = layout.kind;
    row.width = width;
    row.height = 1;
    row.bytes.resize(std::size_t(std::max<int64_t>(row.pixelBytesNeeded(), 0)));
    QMutexLocker lock(&streamLock);
    if (!ready || !tif || y < 0 || y >= height || !decodeRows(tif, y, 1, row.bytes.data()))
        std::fill(row.bytes.begin(), row.bytes.end(), uint8_t(0));
    row.row(0, buf);
    return buf;
}

double* ImgDataTiff::getColumn(int x, double* buf)
{
    if (ready && inMemory) {
        frameData.column(x, buf);
        return buf;
    }
    if (ready && held.column(x, buf))
        return buf;
    if (!tif) {
        std::fill(buf, buf + std::max(height, 0), 0.0);
        return buf;
    }
    RawFrame whole;
    whole.kind = layout.kind;
    whole.width = width;
    whole.height = height;
    whole.bytes.resize(std::size_t(std::max<int64_t>(whole.pixelBytesNeeded(), 0)));
    QMutexLocker lock(&streamLock);
    if (!ready || !tif || x < 0 || x >= width || !decodeRows(tif, 0, height, whole.bytes.data()))
        std::fill(whole.bytes.begin(), whole.bytes.end(), uint8_t(0));
    whole.column(x, buf);
    return buf;
}
