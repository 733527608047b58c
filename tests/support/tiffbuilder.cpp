#include "tests/support/tiffbuilder.h"

#include <QtEndian>

#include <cstring>
#include <map>

namespace {

enum Type : quint16 { Short = 3, Long = 4, Rational = 5 };

struct Entry {
    quint16 type;
    QVector<quint32> values; // for Rational: numerator, denominator pairs
};

template <typename T>
void put(QByteArray& b, T v)
{
    char c[sizeof v];
    qToLittleEndian(v, c);
    b.append(c, sizeof v);
}

void align(QByteArray& b)
{
    if (b.size() % 2)
        b.append('\0');
}

// Appends an IFD; values that don't fit the 4-byte field go in front of it.
// Returns the IFD's offset; its next-IFD field is the last 4 bytes.
quint32 appendIfd(QByteArray& b, const std::map<quint16, Entry>& tags)
{
    std::map<quint16, quint32> external;
    for (const auto& [tag, e] : tags) {
        if (e.values.size() * (e.type == Short ? 2 : 4) <= 4)
            continue;
        align(b);
        external[tag] = quint32(b.size());
        for (quint32 v : e.values)
            e.type == Short ? put(b, quint16(v)) : put(b, v);
    }
    align(b);
    const quint32 at = quint32(b.size());
    put(b, quint16(tags.size()));
    for (const auto& [tag, e] : tags) {
        put(b, tag);
        put(b, e.type);
        put(b, quint32(e.type == Rational ? e.values.size() / 2 : e.values.size()));
        QByteArray field;
        if (external.count(tag))
            put(field, external[tag]);
        for (int i = 0; field.isEmpty() && i < e.values.size(); ++i)
            e.type == Short ? put(field, quint16(e.values[i])) : put(field, e.values[i]);
        b += field.leftJustified(4, '\0', true);
    }
    put(b, quint32(0));
    return at;
}

} // namespace

QByteArray tiffSamples(int bits, int format, const QVector<double>& values)
{
    QByteArray out;
    for (double v : values) {
        char c[8] = {};
        if (format == 3 && bits == 32) {
            const float f = float(v);
            std::memcpy(c, &f, 4);
        } else if (format == 3 && bits == 64) {
            std::memcpy(c, &v, 8);
        } else if (format == 2) {
            const qint64 i = qint64(v);
            std::memcpy(c, &i, 8);
        } else {
            const quint64 u = quint64(v);
            std::memcpy(c, &u, 8);
        }
        out.append(c, bits / 8); // little-endian host assumed, as on every target machine
    }
    return out;
}

QByteArray buildTiff(const QVector<TiffPage>& pages)
{
    QByteArray b("II");
    put(b, quint16(42));
    put(b, quint32(0)); // first IFD, patched below
    int nextField = 4;
    for (const TiffPage& p : pages) {
        const int bytesPerPixel = p.bitsPerSample * p.samplesPerPixel / 8;
        const int rowBytes = p.width * bytesPerPixel;
        const bool tiled = p.tileWidth > 0;
        const int rps = p.rowsPerStrip > 0 ? p.rowsPerStrip : p.height;
        QVector<quint32> offsets, counts;
        const auto add = [&](const QByteArray& piece) {
            align(b);
            offsets << quint32(b.size());
            counts << quint32(piece.size());
            b += piece;
        };
        // Strips hold what pixels there are (a compressed stream, a short one);
        // tiles are padded to their full size.
        for (int ty = 0; tiled && ty < p.height; ty += p.tileHeight) {
            for (int tx = 0; tx < p.width; tx += p.tileWidth) {
                QByteArray tile(p.tileWidth * p.tileHeight * bytesPerPixel, '\0');
                for (int y = ty; y < qMin(ty + p.tileHeight, p.height); ++y)
                    std::memcpy(tile.data() + (y - ty) * p.tileWidth * bytesPerPixel,
                                p.pixels.constData() + qsizetype(y) * rowBytes + tx * bytesPerPixel,
                                size_t(qMin(p.tileWidth, p.width - tx) * bytesPerPixel));
                add(tile);
            }
        }
        for (int y = 0; !tiled && y < p.height; y += rps)
            add(p.pixels.mid(qsizetype(y) * rowBytes, qsizetype(qMin(rps, p.height - y)) * rowBytes));
        std::map<quint16, Entry> tags;
        tags[256] = {Long, {quint32(p.width)}};
        tags[257] = {Long, {quint32(p.height)}};
        tags[258] = {Short, QVector<quint32>(p.samplesPerPixel, quint32(p.bitsPerSample))};
        tags[259] = {Short, {quint32(p.compression)}};
        tags[262] = {Short, {quint32(p.photometric)}};
        tags[277] = {Short, {quint32(p.samplesPerPixel)}};
        tags[339] = {Short, QVector<quint32>(p.samplesPerPixel, quint32(p.sampleFormat))};
        if (tiled) {
            tags[322] = {Long, {quint32(p.tileWidth)}};
            tags[323] = {Long, {quint32(p.tileHeight)}};
        } else {
            tags[278] = {Long, {quint32(rps)}};
        }
        tags[tiled ? 324 : 273] = {Long, offsets};
        tags[tiled ? 325 : 279] = {Long, counts};
        if (p.exposure > 0.0) {
            std::map<quint16, Entry> exif;
            exif[33434] = {Rational, {quint32(p.exposure * 1e6 + 0.5), 1000000u}};
            tags[34665] = {Long, {appendIfd(b, exif)}};
        }
        const quint32 ifd = appendIfd(b, tags);
        qToLittleEndian(ifd, b.data() + nextField);
        nextField = b.size() - 4;
    }
    return b;
}
