#include "view3d/slicedata.h"

#include "input/imgdatatiff.h"
#include "recon/ctimgdatafile.h"
#include "view3d/allcores.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <cfloat>
#include <cmath>

namespace {

void findFiniteRange(SliceData* s)
{
    double lo = DBL_MAX;
    double hi = -DBL_MAX;
    for (double v : s->values) {
        if (!std::isfinite(v))
            continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    s->vmin = lo;
    s->vmax = hi;
}

bool readTiffSlice(const QString& path, SliceData* s)
{
    ImgDataTiff tiff;
    tiff.fileName = path;
    tiff.inMemory = true;
    if (!tiff.load(0) || tiff.width < 1 || tiff.height < 1)
        return false;
    s->width = tiff.width;
    s->height = tiff.height;
    s->values.resize(std::size_t(s->width) * std::size_t(s->height));
    for (int y = 0; y < s->height; ++y) {
        double* row = s->values.data() + std::size_t(y) * std::size_t(s->width);
        const double* got = tiff.getLine(y, row);
        if (got != row)
            std::copy(got, got + s->width, row);
    }
    return true;
}

bool readImageSlice(const QString& path, SliceData* s)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage img = reader.read();
    if (img.isNull())
        return false;
    // Format_ARGB32 holds each pixel as the unpremultiplied colour, whose
    // lowest byte is blue (the grey level of a grey image).
    const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
    s->isImage = true;
    s->image = img;
    s->width = argb.width();
    s->height = argb.height();
    s->values.resize(std::size_t(s->width) * std::size_t(s->height));
    for (int y = 0; y < s->height; ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        double* dst = s->values.data() + std::size_t(y) * std::size_t(s->width);
        for (int x = 0; x < s->width; ++x)
            dst[x] = double(src[x] & 0xffu);
    }
    return true;
}

bool readDataSlice(const QString& path, SliceData* s)
{
    DataMatrix m;
    bool ok = false;
    for (auto reader : {&readCtImgData, &readMatrixData}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        if ((ok = reader(&file, &m, path)))
            break;
    }
    if (!ok)
        return false;
    s->width = m.nx;
    s->height = m.ny;
    s->values = std::move(m.values);
    return true;
}

} // namespace

bool readSliceFile(const QString& path, SliceData* s)
{
    *s = SliceData();
    const bool ok = isTiffFile(path) ? readTiffSlice(path, s) : (readImageSlice(path, s) || readDataSlice(path, s));
    if (!ok) {
        *s = SliceData();
        return false;
    }
    findFiniteRange(s);
    return true;
}

void SliceStack::makeHistogram()
{
    histogramReady = false;
    counts.assign(std::size_t(bins), 0);
    binWidth = (vmax - vmin) / (bins - 1);
    const double start = vmin - binWidth / 2;
    std::vector<std::vector<qint64>> perSlice(slices.size());
    forEachOnAllCores(count(), [&](int i) {
        std::vector<qint64>& c = perSlice[std::size_t(i)];
        c.assign(std::size_t(bins), 0);
        for (double v : slices[std::size_t(i)].values) {
            if (!std::isfinite(v))
                continue; // a NaN has no bin
            const double q = (v - start) / binWidth;
            const int k = q < 1.0 ? 0 : (q >= bins ? bins - 1 : int(q));
            ++c[std::size_t(k)];
        }
    });
    for (const std::vector<qint64>& c : perSlice)
        for (int k = 0; k < bins; ++k)
            counts[std::size_t(k)] += c[std::size_t(k)];
    highestCount = 0.0;
    for (qint64 c : counts)
        highestCount = std::max(highestCount, double(c));

    histImage = QImage(bins, histImageHeight, QImage::Format_RGB32);
    histImage.fill(Qt::white);
    QPainter p(&histImage);
    p.setPen(QColor(0, 220, 160));
    const int bottom = histImageHeight - 1;
    for (int k = 0; k < bins && highestCount > 0; ++k)
        p.drawLine(k, bottom, k, int(std::trunc(bottom - counts[std::size_t(k)] / highestCount * bottom)));
    p.end();
    histogramReady = true;
}

void SliceStack::makeBricks()
{
    bricksX = (width + kBrick - 1) / kBrick;
    bricksY = (height + kBrick - 1) / kBrick;
    bricksZ = (count() + kBrick - 1) / kBrick;
    const std::size_t n = std::size_t(bricksX) * std::size_t(bricksY) * std::size_t(bricksZ);
    brickMin.assign(n, HUGE_VAL);
    brickMax.assign(n, -HUGE_VAL);
    forEachOnAllCores(bricksZ, [&](int bz) {
        const std::size_t plane = std::size_t(bz) * std::size_t(bricksX) * std::size_t(bricksY);
        for (int k = bz * kBrick; k < std::min(count(), (bz + 1) * kBrick); ++k) {
            const SliceData& s = slices[std::size_t(k)];
            if (s.width != width || s.height != height || s.values.size() < std::size_t(width) * std::size_t(height)) {
                const std::size_t end = plane + std::size_t(bricksX) * std::size_t(bricksY);
                std::fill(brickMin.begin() + qsizetype(plane), brickMin.begin() + qsizetype(end), -HUGE_VAL);
                std::fill(brickMax.begin() + qsizetype(plane), brickMax.begin() + qsizetype(end), HUGE_VAL);
                break; // no slab of this brick is ever passed over
            }
            for (int y = 0; y < height; ++y) {
                const double* row = s.row(y);
                double* lo = &brickMin[plane + std::size_t(y / kBrick) * std::size_t(bricksX)];
                double* hi = &brickMax[plane + std::size_t(y / kBrick) * std::size_t(bricksX)];
                for (int x = 0; x < width; ++x) {
                    const double v = row[x];
                    // NaN fails both comparisons and stays out.
                    lo[x / kBrick] = v < lo[x / kBrick] ? v : lo[x / kBrick];
                    hi[x / kBrick] = v > hi[x / kBrick] ? v : hi[x / kBrick];
                }
            }
        }
    });
}

qint64 availableMemoryBytes()
{
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = f.read(1 << 16);
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith("MemAvailable:"))
            continue;
        const QList<QByteArray> parts = line.simplified().split(' ');
        bool ok = false;
        const qint64 kb = parts.size() >= 2 ? parts[1].toLongLong(&ok) : 0;
        return ok ? kb * 1024 : -1;
    }
    return -1;
}
