#include "recon/tiffslice.h"
#include "tests/support/testutil.h"

#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

struct TiffCase { DataRegion region; int width, height, x0, z0; };
Q_DECLARE_METATYPE(TiffCase)
Q_DECLARE_METATYPE(DataRegion)

// Image tools read the TIFF with libtiff's rules: what it reads back must be
// the reconstructed values themselves, pixel for pixel.
class TstTiffSlice : public QObject
{
    Q_OBJECT

private slots:
    void readBackEqualsSlice_data()
    {
        QTest::addColumn<TiffCase>("c");
        QTest::newRow("whole grid") << TiffCase{{0, 0, 300, 300}, 300, 300, 0, 0};
        QTest::newRow("region inside, not at 0") << TiffCase{{17, 5, 83, 240}, 66, 235, 17, 5};
        QTest::newRow("fractional bounds") << TiffCase{{2.7, 3.2, 9.1, 4.5}, 8, 2, 2, 3};
        QTest::newRow("partly outside the grid: zeros") << TiffCase{{-3, 290, 4, 303}, 7, 13, -3, 290};
        QTest::newRow("one pixel") << TiffCase{{299, 0, 300, 1}, 1, 1, 299, 0};
    }
    void readBackEqualsSlice()
    {
        QFETCH(TiffCase, c);
        const int n = 300;
        std::vector<double> grid(std::size_t(n) * n);
        for (int z = 0; z < n; ++z)
            for (int x = 0; x < n; ++x)
                grid[std::size_t(z) * n + x] = std::sin(0.013 * x * z) * 1e-3 + (x - z) * 1.0e-7 + (x == 5 ? 12345.678 : 0);
        grid[0] = std::numeric_limits<double>::quiet_NaN();
        grid[1] = -std::numeric_limits<double>::infinity();
        const QByteArray bytes = buildFloatTiff({grid.data(), n, n}, c.region);
        QVERIFY(!bytes.isEmpty());
        QTemporaryDir tmp;
        const QString path = tmp.filePath("s.tif");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();

        TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r");
        QVERIFY(t);
        uint32_t w = 0, h = 0;
        uint16_t bits = 0, format = 0, spp = 0, compression = 0;
        QVERIFY(TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w) && TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h)
                && TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits)
                && TIFFGetField(t, TIFFTAG_SAMPLEFORMAT, &format)
                && TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &spp)
                && TIFFGetField(t, TIFFTAG_COMPRESSION, &compression));
        QCOMPARE(QSize(int(w), int(h)), QSize(c.width, c.height));
        // One uncompressed 32-bit float per pixel.
        QCOMPARE(QList<int>({bits, format, spp, compression}),
                 QList<int>({32, SAMPLEFORMAT_IEEEFP, 1, COMPRESSION_NONE}));
        std::vector<float> row(w);
        int mismatches = 0;
        for (uint32_t y = 0; y < h; ++y) {
            QCOMPARE(TIFFReadScanline(t, row.data(), y, 0), 1);
            for (uint32_t x = 0; x < w; ++x) {
                const int gx = c.x0 + int(x), gz = c.z0 + int(y);
                const bool in = gx >= 0 && gx < n && gz >= 0 && gz < n;
                const float want = in ? float(grid[std::size_t(gz) * n + gx]) : 0.0f;
                if (std::memcmp(&want, &row[x], sizeof want) != 0)
                    ++mismatches;
            }
        }
        QCOMPARE(mismatches, 0);
        QCOMPARE(TIFFReadDirectory(t), 0); // a single page
        TIFFClose(t);
    }

    void unusableRegionsGiveNothing_data()
    {
        QTest::addColumn<DataRegion>("region");
        QTest::newRow("empty") << DataRegion{5, 5, 5, 9};
        QTest::newRow("reversed") << DataRegion{9, 5, 2, 9};
        QTest::newRow("not finite") << DataRegion{0, 0, qInf(), 4};
        QTest::newRow("beyond a classic TIFF") << DataRegion{0, 0, 70000, 70000};
    }
    void unusableRegionsGiveNothing()
    {
        QFETCH(DataRegion, region);
        const double v[4] = {1, 2, 3, 4};
        MessageCapture cap;
        QVERIFY(buildFloatTiff({v, 2, 2}, region).isEmpty());
        QCOMPARE(cap.lines().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TstTiffSlice)
#include "tst_tiffslice.moc"
