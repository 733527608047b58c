#include "input/imgdatatiff.h"
#include "tests/support/itexfixture.h"
#include "tests/support/readerfixtures.h"
#include "tests/support/testutil.h"
#include "tests/support/tiffbuilder.h"

#include <QtTest>

#include <cstdio>
#include <unistd.h>

// TIFF files come from many writers: the stored greyscale values must come
// out exactly whatever the block layout, every variant not understood must
// be refused with one line instead of garbage.
class TstImgDataTiff : public QObject
{
    Q_OBJECT

private slots:
    void pixelsAndLayouts_data();
    void pixelsAndLayouts();
    void pagesAndExposure();
    void unsupportedOrBroken_data();
    void unsupportedOrBroken();

private:
    QTemporaryDir dir;
};

static QVector<double> ramp(int n, double first, double step)
{
    QVector<double> v;
    for (int i = 0; i < n; ++i)
        v << first + i * step;
    return v;
}

void TstImgDataTiff::pixelsAndLayouts_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("format");
    QTest::addColumn<double>("first"); // pixel i holds first + i * step
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("rowsPerStrip");
    QTest::addColumn<int>("tile");
    QTest::addColumn<bool>("deflate");
    const struct {
        const char* name;
        int bits, format;
        double first, step;
    } kinds[] = {{"u8", 8, 1, 255, -1}, {"s8", 8, 2, -128, 1}, {"u16", 16, 1, 65535, -93}, {"s16", 16, 2, -32768, 93},
                 {"u32", 32, 1, 4294967295.0, -6000011}, {"s32", 32, 2, -2147483648.0, 6000011},
                 {"float", 32, 3, -3.5, 0.125}};
    for (const auto& k : kinds) {
        QTest::addRow("%s one strip", k.name) << k.bits << k.format << k.first << k.step << 0 << 0 << false;
        QTest::addRow("%s strips of 5 rows", k.name) << k.bits << k.format << k.first << k.step << 5 << 0 << false;
        QTest::addRow("%s 16 x 16 tiles", k.name) << k.bits << k.format << k.first << k.step << 0 << 16 << false;
    }
    // The size checks must let through a file far smaller than its pixels.
    QTest::newRow("constant u32, deflated") << 32 << 1 << 7.0 << 0.0 << 0 << 0 << true;
}

void TstImgDataTiff::pixelsAndLayouts()
{
    QFETCH(int, bits);
    QFETCH(int, format);
    QFETCH(double, first);
    QFETCH(double, step);
    QFETCH(int, rowsPerStrip);
    QFETCH(int, tile);
    QFETCH(bool, deflate);
    TiffPage p;
    p.width = 20;
    p.height = 12; // partial last strip and partial tiles
    p.bitsPerSample = bits;
    p.sampleFormat = format;
    p.rowsPerStrip = rowsPerStrip;
    p.tileWidth = p.tileHeight = tile;
    const QVector<double> values = ramp(20 * 12, first, step);
    p.pixels = tiffSamples(bits, format, values);
    if (deflate) {
        p.compression = 8;
        p.pixels = qCompress(p.pixels).mid(4); // a zlib stream behind Qt's length prefix
    }
    const QString path = dir.filePath(QStringLiteral("p.tif"));
    QVERIFY(writeBytes(path, buildTiff({p})));
    for (bool mem : {true, false}) {
        auto d = openReader<ImgDataTiff>(path, mem);
        QVERIFY(d->ready);
        QCOMPARE(pixelsOf(*d), values);
        QCOMPARE(pixelsOf(*d, true), values);
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
        auto d = openReader<ImgDataTiff>(path, true, k);
        QVERIFY(d->ready);
        QCOMPARE(d->exposureTime, k == 1 ? 0.25 : 1.0);
        QCOMPARE(pixelsOf(*d), QVector<double>((6 + k) * 4, 100.0 * (k + 1)));
    }
    MessageCapture cap;
    QVERIFY(!openReader<ImgDataTiff>(path, true, 3)->ready);
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
    TiffPage dbl = g;
    dbl.bitsPerSample = 64;
    dbl.sampleFormat = 3;
    QTest::newRow("64-bit float") << buildTiff({dbl}) << "Unsupported TIFF pixel type (64-bit";
    TiffPage codec = g;
    codec.compression = 50123;
    QTest::newRow("unknown codec") << buildTiff({codec}) << "TIFF compression 50123 is not available";
    TiffPage lying = g;
    lying.width = lying.height = 60000;
    QTest::newRow("size far beyond the file") << buildTiff({lying}) << "TIFF image (60000 x 60000) needs more data";
    TiffPage tiles = g;
    tiles.tileWidth = tiles.tileHeight = 16;
    QByteArray cut = buildTiff({tiles});
    // Moves the tile offset (tag 324) to near the end of the file.
    const qsizetype at = cut.indexOf(QByteArray::fromHex("4401040001000000"));
    QVERIFY(at > 0);
    qToLittleEndian<quint32>(quint32(cut.size() - 10), cut.data() + at + 8);
    QTest::newRow("tile data beyond the end") << cut << "Error on reading TIFF pixels";
    QTest::newRow("header without directory") << QByteArray::fromHex("49492a0000000000") << "Can not open TIFF file";
    QTest::newRow("directory offset in the void")
        << QByteArray::fromHex("49492a00ffffff00") + QByteArray(64, '\x33') << "Can not open TIFF file";
}

void TstImgDataTiff::unsupportedOrBroken()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, diagnostic);
    const QString path = dir.filePath(QStringLiteral("bad.tif"));
    QVERIFY(writeBytes(path, bytes));
    // libtiff's own handlers would write to stderr; the descriptor is captured.
    const QString errPath = dir.filePath(QStringLiteral("stderr.txt"));
    fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    FILE* sink = std::fopen(QFile::encodeName(errPath).constData(), "w");
    dup2(fileno(sink), STDERR_FILENO);
    bool ready[2];
    QStringList lines[2];
    for (bool mem : {false, true}) {
        MessageCapture cap;
        ready[mem] = openReader<ImgDataTiff>(path, mem)->ready;
        lines[mem] = cap.lines();
    }
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::fclose(sink);
    QCOMPARE(QFileInfo(errPath).size(), 0);
    // Streaming mode decodes pixels only on request.
    const bool failsLate = diagnostic.startsWith(QStringLiteral("Error on reading"));
    for (bool mem : {false, true}) {
        if (!mem && failsLate)
            continue;
        QVERIFY(!ready[mem]);
        QVERIFY2(lines[mem].first().startsWith(diagnostic) && lines[mem].first().endsWith(path),
                 qPrintable(lines[mem].join('\n')));
    }
}

QTEST_GUILESS_MAIN(TstImgDataTiff)
#include "tst_imgdatatiff.moc"
