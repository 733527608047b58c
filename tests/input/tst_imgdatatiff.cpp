#include "input/imgdatatiff.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"
#include "tests/support/tiffbuilder.h"

#include <QtTest>

#include <tiffio.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

// TIFF files come from many writers; the reader must deliver the stored
// greyscale values exactly, whatever the block layout, and refuse every
// variant it does not understand with one line instead of garbage.
class TstImgDataTiff : public QObject
{
    Q_OBJECT

private slots:
    void pixelsAndLayouts_data();
    void pixelsAndLayouts();
    void compressedByLibtiff_data();
    void compressedByLibtiff();
    void pagesAndExposure();
    void unsupportedOrBroken_data();
    void unsupportedOrBroken();
    void libtiffStaysQuiet();

private:
    std::unique_ptr<ImgDataTiff> open(const QString& path, bool inMemory, int frame = 0)
    {
        auto d = std::make_unique<ImgDataTiff>();
        d->reset();
        d->fileName = path;
        d->inMemory = inMemory;
        d->load(frame);
        return d;
    }
    void checkPixels(ImgData& d, const QVector<double>& expected);
    QTemporaryDir dir;
};

static QVector<double> ramp(int n, double first, double step)
{
    QVector<double> v;
    for (int i = 0; i < n; ++i)
        v << first + i * step;
    return v;
}

void TstImgDataTiff::checkPixels(ImgData& d, const QVector<double>& expected)
{
    std::vector<double> row(size_t(d.width)), col(size_t(d.height));
    for (int y = 0; y < d.height; ++y) {
        d.getLine(y, row.data());
        for (int x = 0; x < d.width; ++x)
            QCOMPARE(row[size_t(x)], expected[y * d.width + x]);
    }
    for (int x = 0; x < d.width; x += 3) {
        d.getColumn(x, col.data());
        for (int y = 0; y < d.height; ++y)
            QCOMPARE(col[size_t(y)], expected[y * d.width + x]);
    }
}

void TstImgDataTiff::pixelsAndLayouts_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("format");
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<int>("rowsPerStrip");
    QTest::addColumn<int>("tile");
    const int n = 20 * 35;
    QVector<double> u8, s8;
    for (int i = 0; i < n; ++i) {
        u8 << (i * 37) % 256;
        s8 << (i * 37) % 256 - 128;
    }
    const struct {
        const char* name;
        int bits, format;
        QVector<double> values;
    } kinds[] = {
        {"u8", 8, 1, u8},
        {"s8", 8, 2, s8},
        {"u16", 16, 1, ramp(n, 65535, -93)},
        {"s16", 16, 2, ramp(n, -32768, 93)},
        {"u32", 32, 1, ramp(n, 4294967295.0, -6000011)},
        {"s32", 32, 2, ramp(n, -2147483648.0, 6000011)},
        {"float", 32, 3, ramp(n, -3.5, 0.125)},
    };
    for (const auto& k : kinds) {
        const QVector<double>& v = k.values;
        QTest::addRow("%s one strip", k.name) << k.bits << k.format << v << 0 << 0;
        QTest::addRow("%s strips of 3 rows", k.name) << k.bits << k.format << v << 3 << 0;
        QTest::addRow("%s 16 x 16 tiles", k.name) << k.bits << k.format << v << 0 << 16;
    }
}

void TstImgDataTiff::pixelsAndLayouts()
{
    QFETCH(int, bits);
    QFETCH(int, format);
    QFETCH(QVector<double>, values);
    QFETCH(int, rowsPerStrip);
    QFETCH(int, tile);
    TiffPage p;
    p.width = 20;
    p.height = 35;
    p.bitsPerSample = bits;
    p.sampleFormat = format;
    p.rowsPerStrip = rowsPerStrip;
    p.tileWidth = p.tileHeight = tile;
    p.pixels = tiffSamples(bits, format, values);
    const QString path = dir.filePath(QStringLiteral("p.tif"));
    QVERIFY(writeBytes(path, buildTiff({p})));
    for (bool mem : {true, false}) {
        auto d = open(path, mem);
        QVERIFY(d->ready);
        QCOMPARE(d->width, 20);
        QCOMPARE(d->height, 35);
        QCOMPARE(d->exposureTime, 1.0);
        checkPixels(*d, values);
    }
}

void TstImgDataTiff::compressedByLibtiff_data()
{
    QTest::addColumn<int>("compression");
    QTest::addColumn<bool>("tiled");
    for (int c : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS})
        for (bool t : {false, true})
            QTest::addRow("codec %d %s", c, t ? "tiles" : "strips") << c << t;
}

void TstImgDataTiff::compressedByLibtiff()
{
    QFETCH(int, compression);
    QFETCH(bool, tiled);
    if (!TIFFIsCODECConfigured(uint16_t(compression)))
        QSKIP("codec not built into this libtiff");
    const int w = 37, h = 29;
    QVector<double> v;
    std::vector<uint16_t> px;
    for (int i = 0; i < w * h; ++i) {
        px.push_back(uint16_t((i * 2654435761u) >> 20));
        v << px.back();
    }
    const QString path = dir.filePath(QStringLiteral("c.tif"));
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "w");
    QVERIFY(t);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    bool ok = true;
    if (tiled) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
        std::vector<uint16_t> tile(256);
        for (int ty = 0; ty < h; ty += 16)
            for (int tx = 0; tx < w; tx += 16) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int y = ty; y < std::min(ty + 16, h); ++y)
                    for (int x = tx; x < std::min(tx + 16, w); ++x)
                        tile[size_t((y - ty) * 16 + x - tx)] = px[size_t(y * w + x)];
                ok = ok && TIFFWriteTile(t, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0) > 0;
            }
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 4);
        for (int y = 0; y < h; ++y)
            ok = ok && TIFFWriteScanline(t, px.data() + y * w, uint32_t(y), 0) > 0;
    }
    TIFFClose(t);
    QVERIFY(ok);
    for (bool mem : {true, false}) {
        auto d = open(path, mem);
        QVERIFY(d->ready);
        checkPixels(*d, v);
    }
}

void TstImgDataTiff::pagesAndExposure()
{
    QVector<TiffPage> pages;
    for (int k = 0; k < 3; ++k) {
        TiffPage p;
        p.width = 6 + k;
        p.height = 4;
        p.exposure = k == 1 ? 0.25 : 0.0;
        p.pixels = tiffSamples(16, 1, QVector<double>(p.width * 4, 100.0 * (k + 1)));
        pages << p;
    }
    const QString path = dir.filePath(QStringLiteral("pages.tif"));
    QVERIFY(writeBytes(path, buildTiff(pages)));
    QCOMPARE(imageFrameCount(path), 3);
    for (int k = 0; k < 3; ++k) {
        auto d = open(path, true, k);
        QVERIFY(d->ready);
        QCOMPARE(d->width, 6 + k);
        QCOMPARE(d->exposureTime, k == 1 ? 0.25 : 1.0);
        double row[8];
        d->getLine(3, row);
        QCOMPARE(row[5], 100.0 * (k + 1));
    }
    MessageCapture cap;
    auto beyond = open(path, true, 3);
    QVERIFY(!beyond->ready);
    QCOMPARE(cap.count(QStringLiteral("TIFF page 3 does not exist")), 1);
}

void TstImgDataTiff::unsupportedOrBroken_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("diagnostic");
    TiffPage g;
    g.width = 8;
    g.height = 6;
    g.pixels = tiffSamples(16, 1, ramp(48, 1, 1));

    TiffPage rgb = g;
    rgb.samplesPerPixel = 3;
    rgb.photometric = 2;
    rgb.pixels = tiffSamples(16, 1, ramp(144, 1, 1));
    QTest::newRow("RGB") << buildTiff({rgb}) << "Unsupported TIFF colour layout";
    TiffPage palette = g;
    palette.photometric = 3;
    palette.bitsPerSample = 8;
    palette.pixels = tiffSamples(8, 1, ramp(48, 1, 1));
    QTest::newRow("palette") << buildTiff({palette}) << "Unsupported TIFF colour layout";
    TiffPage bilevel = g;
    bilevel.bitsPerSample = 1;
    bilevel.pixels = QByteArray(6, '\xA5');
    QTest::newRow("1-bit") << buildTiff({bilevel}) << "Unsupported TIFF pixel type (1-bit";
    TiffPage dbl = g;
    dbl.bitsPerSample = 64;
    dbl.sampleFormat = 3;
    dbl.pixels = tiffSamples(64, 3, ramp(48, 1, 1));
    QTest::newRow("64-bit float") << buildTiff({dbl}) << "Unsupported TIFF pixel type (64-bit";
    TiffPage half = g;
    half.sampleFormat = 3;
    QTest::newRow("16-bit float") << buildTiff({half}) << "Unsupported TIFF pixel type (16-bit";
    TiffPage codec = g;
    codec.compression = 50123;
    QTest::newRow("unknown codec") << buildTiff({codec}) << "TIFF compression 50123 is not available";
    TiffPage lying = g;
    lying.width = 60000;
    lying.height = 60000;
    QTest::newRow("size far beyond the file") << buildTiff({lying}) << "TIFF image (60000 x 60000) needs more data";
    TiffPage tiles = g;
    tiles.tileWidth = tiles.tileHeight = 16;
    QByteArray cut = buildTiff({tiles});
    // The pixel block follows the 8-byte header; cut it short by moving
    // the tile offset to the end of the file.
    const qsizetype at = cut.indexOf(QByteArray::fromHex("4401040001000000"));
    QVERIFY(at > 0);
    qToLittleEndian<quint32>(quint32(cut.size() - 10), cut.data() + at + 8);
    QTest::newRow("tile data beyond the end") << cut << "Error on reading TIFF pixels";
    QTest::newRow("byte-order mark only") << QByteArray("MM") << "Can not open TIFF file";
    QTest::newRow("header without directory") << QByteArray::fromHex("49492a0000000000") << "Can not open TIFF file";
}

void TstImgDataTiff::unsupportedOrBroken()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, diagnostic);
    const QString path = dir.filePath(QStringLiteral("bad.tif"));
    QVERIFY(writeBytes(path, bytes));
    for (bool mem : {true, false}) {
        MessageCapture cap;
        auto d = open(path, mem);
        if (!mem && diagnostic.startsWith(QStringLiteral("Error on reading")))
            continue; // streaming reads pixels only on request
        QVERIFY(!d->ready);
        QVERIFY2(cap.count(diagnostic) == 1, qPrintable(cap.lines().join('\n')));
        QVERIFY(cap.lines().first().endsWith(path));
    }
}

void TstImgDataTiff::libtiffStaysQuiet()
{
    // libtiff's own handlers would write to stderr; capture the descriptor.
    const QString errPath = dir.filePath(QStringLiteral("stderr.txt"));
    fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    FILE* sink = std::fopen(QFile::encodeName(errPath).constData(), "w");
    QVERIFY(sink);
    dup2(fileno(sink), STDERR_FILENO);
    {
        MessageCapture cap; // keeps our own line off stderr
        const QString path = dir.filePath(QStringLiteral("garbage.tif"));
        writeBytes(path, QByteArray::fromHex("49492a00ffffff00") + QByteArray(64, '\x33'));
        auto d = open(path, true);
        QVERIFY(!d->ready);
        QCOMPARE(cap.lines().size(), 1);
    }
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::fclose(sink);
    QFile err(errPath);
    QVERIFY(err.open(QIODevice::ReadOnly));
    QCOMPARE(err.readAll(), QByteArray());
}

QTEST_GUILESS_MAIN(TstImgDataTiff)
#include "tst_imgdatatiff.moc"
