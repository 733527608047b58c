#include "input/imgdatatiff.h"
#include "tests/support/itexfixture.h"
#include "tests/support/readerfixtures.h"
#include "tests/support/testutil.h"
#include "tests/support/tiffbuilder.h"

#include <QtTest>

#include <cstdio>
#include <unistd.h>

static QVector<double> ramp(int n, double first, double step)
{
    QVector<double> v;
    for (int i = 0; i < n; ++i)
        v << first + i * step;
    return v;
}

Q_DECLARE_METATYPE(TiffPage)

// Stored values come out exactly whatever the layout; every variant not understood is refused with one line.
class TstImgDataTiff : public QObject
{
    Q_OBJECT

private slots:
    // 20 x 12 pixels: a partial last strip and partial tiles.
    void pixelsAndLayouts_data()
    {
        QTest::addColumn<TiffPage>("page");
        QTest::addColumn<QVector<double>>("values");
        const struct {
            const char* name;
            int bits, format;
            double first, step;
        } kinds[] = {{"u8", 8, 1, 255, -1}, {"s8", 8, 2, -128, 1}, {"u16", 16, 1, 65535, -93}, {"s16", 16, 2, -32768, 93},
                     {"u32", 32, 1, 4294967295.0, -6000011}, {"s32", 32, 2, -2147483648.0, 6000011},
                     {"float", 32, 3, -3.5, 0.125}, {"constant u32, deflated", 32, 1, 7.0, 0.0}};
        const char* layouts[] = {"one strip", "strips of 5 rows", "16 x 16 tiles"};
        for (const auto& k : kinds)
            for (int layout = 0; layout < (k.step == 0 ? 1 : 3); ++layout) {
                TiffPage p;
                p.width = 20;
                p.height = 12;
                p.bitsPerSample = k.bits;
                p.sampleFormat = k.format;
                p.rowsPerStrip = layout == 1 ? 5 : 0;
                p.tileWidth = p.tileHeight = layout == 2 ? 16 : 0;
                const QVector<double> values = ramp(20 * 12, k.first, k.step);
                p.pixels = tiffSamples(k.bits, k.format, values);
                if (k.step == 0) { // the size checks must let through a file far smaller than its pixels
                    p.compression = 8;
                    p.pixels = qCompress(p.pixels).mid(4); // a zlib stream behind Qt's length prefix
                }
                QTest::addRow("%s, %s", k.name, layouts[layout]) << p << values;
            }
    }
    void pixelsAndLayouts()
    {
        QFETCH(TiffPage, page);
        QFETCH(QVector<double>, values);
        const QString path = dir.filePath(QStringLiteral("p.tif"));
        QVERIFY(writeBytes(path, buildTiff({page})));
        for (bool mem : {true, false}) {
            auto d = openReader<ImgDataTiff>(path, mem);
            QVERIFY(d->ready);
            QCOMPARE(pixelsOf(*d), values);
            QCOMPARE(pixelsOf(*d, true), values);
        }
    }

    void pagesAndExposure()
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

    void unsupportedOrBroken_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("diagnostic");
        TiffPage g;
        g.width = 8;
        g.height = 6;
        g.pixels = tiffSamples(16, 1, ramp(48, 1, 1));
        auto with = [&](auto change) {
            TiffPage p = g;
            change(p);
            return buildTiff({p});
        };
        QTest::newRow("RGB") << with([](TiffPage& p) {
            p.samplesPerPixel = 3;
            p.photometric = 2;
            p.pixels = tiffSamples(16, 1, ramp(144, 1, 1));
        }) << "Unsupported TIFF colour layout";
        QTest::newRow("64-bit float") << with([](TiffPage& p) { p.bitsPerSample = 64, p.sampleFormat = 3; })
                                      << "Unsupported TIFF pixel type (64-bit";
        QTest::newRow("unknown codec") << with([](TiffPage& p) { p.compression = 50123; })
                                       << "TIFF compression 50123 is not available";
        QTest::newRow("size far beyond the file") << with([](TiffPage& p) { p.width = p.height = 60000; })
                                                  << "TIFF image (60000 x 60000) needs more data";
        TiffPage tiles = g;
        tiles.tileWidth = tiles.tileHeight = 16;
        QByteArray cut = buildTiff({tiles});
        // Moves the tile offset (tag 324) to near the end of the file.
        const qsizetype at = cut.indexOf(QByteArray::fromHex("4401040001000000"));
        QVERIFY(at > 0);
        qToLittleEndian<quint32>(quint32(cut.size() - 10), cut.data() + at + 8);
        QTest::newRow("tile data beyond the end") << cut << "Error on reading TIFF pixels";
        QTest::newRow("header without directory") << QByteArray::fromHex("49492a0000000000") << "Can not open TIFF file";
    }

    void unsupportedOrBroken()
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

private:
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TstImgDataTiff)
#include "tst_imgdatatiff.moc"
