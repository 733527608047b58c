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

void put16(QByteArray& b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

void put32(QByteArray& b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

void set32(QByteArray& b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
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
        const int size = e.type == Short ? 2 : e.type == Long ? 4 : 4;
        if (e.values.size() * size <= 4)
            continue;
        align(b);
        external[tag] = quint32(b.size());
        for (quint32 v : e.values)
            e.type == Short ? put16(b, quint16(v)) : put32(b, v);
    }
    align(b);
    const quint32 at = quint32(b.size());
    put16(b, quint16(tags.size()));
    for (const auto& [tag, e] : tags) {
        put16(b, tag);
        put16(b, e.type);
        put32(b, quint32(e.type == Rational ? e.values.size() / 2 : e.values.size()));
        if (external.count(tag)) {
            put32(b, external[tag]);
        } else if (e.type == Short) {
            QByteArray field;
            for (quint32 v : e.values)
                put16(field, quint16(v));
            field.resize(4, '\0');
            b += field;
        } else {
            put32(b, e.values.value(0));
        }
    }
    put32(b, 0);
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
    put16(b, 42);
    put32(b, 0); // first IFD, patched below
    int nextField = 4;
    for (const TiffPage& p : pages) {
        const int bytesPerPixel = p.bitsPerSample * p.samplesPerPixel / 8;
        const int rowBytes = p.width * bytesPerPixel;
        QVector<quint32> offsets, counts;
        if (p.tileWidth > 0) {
            for (int ty = 0; ty < p.height; ty += p.tileHeight) {
                for (int tx = 0; tx < p.width; tx += p.tileWidth) {
                    QByteArray tile(p.tileWidth * p.tileHeight * bytesPerPixel, '\0');
                    for (int y = ty; y < qMin(ty + p.tileHeight, p.height); ++y) {
                        const int n = qMin(p.tileWidth, p.width - tx) * bytesPerPixel;
                        std::memcpy(tile.data() + (y - ty) * p.tileWidth * bytesPerPixel,
                                    p.pixels.constData() + qsizetype(y) * rowBytes + tx * bytesPerPixel, size_t(n));
                    }
                    align(b);
                    offsets << quint32(b.size());
                    counts << quint32(tile.size());
                    b += tile;
                }
            }
        } else {
            const int rps = p.rowsPerStrip > 0 ? p.rowsPerStrip : p.height;
            for (int y = 0; y < p.height; y += rps) {
                align(b);
                const QByteArray strip = p.pixels.mid(qsizetype(y) * rowBytes, qsizetype(qMin(rps, p.height - y)) * rowBytes);
                offsets << quint32(b.size());
                counts << quint32(strip.size());
                b += strip;
            }
        }
        std::map<quint16, Entry> tags;
        tags[256] = {Long, {quint32(p.width)}};
        tags[257] = {Long, {quint32(p.height)}};
        tags[258] = {Short, QVector<quint32>(p.samplesPerPixel, quint32(p.bitsPerSample))};
        tags[259] = {Short, {quint32(p.compression)}};
        tags[262] = {Short, {quint32(p.photometric)}};
        tags[277] = {Short, {quint32(p.samplesPerPixel)}};
        tags[339] = {Short, QVector<quint32>(p.samplesPerPixel, quint32(p.sampleFormat))};
        if (p.tileWidth > 0) {
            tags[322] = {Long, {quint32(p.tileWidth)}};
            tags[323] = {Long, {quint32(p.tileHeight)}};
            tags[324] = {Long, offsets};
            tags[325] = {Long, counts};
        } else {
            tags[273] = {Long, offsets};
            tags[278] = {Long, {quint32(p.rowsPerStrip > 0 ? p.rowsPerStrip : p.height)}};
            tags[279] = {Long, counts};
        }
        if (p.exposure > 0.0) {
            std::map<quint16, Entry> exif;
            exif[33434] = {Rational, {quint32(p.exposure * 1e6 + 0.5), 1000000u}};
            tags[34665] = {Long, {appendIfd(b, exif)}};
        }
        const quint32 ifd = appendIfd(b, tags);
        set32(b, nextField, ifd);
        nextField = b.size() - 4;
    }
    return b;
}
