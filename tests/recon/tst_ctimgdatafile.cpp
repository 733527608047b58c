#include "recon/ctimgdatafile.h"
#include "tests/support/testutil.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTextStream>
#include <QtTest>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

Q_DECLARE_METATYPE(DataRegion)
Q_DECLARE_METATYPE(DataLimits)

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

QByteArray textStreamText(double v)
{
    QByteArray out;
    QTextStream(&out) << v;
    return out;
}

double fromBits(quint64 bits)
{
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

QVector<double> generatedValues(const QString& kind)
{
    QRandomGenerator rng(20240301);
    QVector<double> v;
    auto both = [&v](double x) { v << x << -x; };
    if (kind == "extremes") {
        v << 0.0 << -0.0 << kNaN << HUGE_VAL << -HUGE_VAL;
        for (double x : {DBL_MIN, DBL_MAX, std::numeric_limits<double>::denorm_min(), 1e-5, 999999.5, 9999995.0,
                         99999.95, 0.00099999996, 1e21, 1e-17, 3.4e38})
            both(x);
    } else if (kind == "ties at the sixth digit") {
        for (int i = 0; i < 20000; ++i) {
            const int k = 100000 + int(rng.bounded(900000));
            both(k + 0.5);
            both(double(k) * 10 + 5);
            both(std::ldexp(double(k) * 2 + 1, -1 - int(rng.bounded(8))));
        }
    } else if (kind == "decade and rounding boundaries") {
        for (int e = -20; e <= 40; ++e) {
            for (const char* m : {"1", "9.999995", "9.9999949999", "1.000005"}) {
                const double x = QByteArray(m).append('e').append(QByteArray::number(e)).toDouble();
                for (double y : {x, std::nextafter(x, 0.0), std::nextafter(x, HUGE_VAL)})
                    both(y);
            }
        }
    } else if (kind == "random bit patterns") {
        for (int i = 0; i < 300000; ++i)
            v << fromBits(rng.generate64());
    } else if (kind == "random magnitudes") {
        for (int i = 0; i < 300000; ++i)
            both((1.0 + 9.0 * rng.generateDouble()) * std::pow(10.0, int(rng.bounded(70)) - 25));
    }
    return v;
}

// The file as the text stream notation defines it.
QByteArray referenceHeader(const DataRegion& g)
{
    QByteArray out;
    QTextStream(&out) << "#FENU-CTImg\n"
                      << "# Range_X0       : " << g.x0 << "\n"
                      << "# Range_Y0       : " << g.z0 << "\n"
                      << "# Range_X1       : " << g.x1 - 1 << "\n"
                      << "# Range_Y1       : " << g.z1 - 1 << "\n"
                      << "# sx,sy, ex,ey   : " << g.x0 << "\t" << g.z0 << "\t" << g.x1 - 1 << "\t" << g.z1 - 1 << "\n";
    return out;
}

bool readText(const QByteArray& text, DataMatrix* m, bool generic)
{
    QBuffer b;
    b.setData(text);
    b.open(QIODevice::ReadOnly);
    return generic ? readMatrixData(&b, m, "test") : readCtImgData(&b, m, "test");
}

} // namespace

// Bytes as the text stream notation writes them; both readers against hand-made files, including lying ones.
class TstCtImgDataFile : public QObject
{
    Q_OBJECT

private slots:
    void formatMatchesTextStream_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* k : {"extremes", "ties at the sixth digit", "decade and rounding boundaries", "random bit patterns",
                              "random magnitudes"})
            QTest::newRow(k) << QString(k);
    }

    void formatMatchesTextStream()
    {
        QFETCH(QString, kind);
        int mismatches = 0;
        QString first;
        for (double v : generatedValues(kind)) {
            char buf[32];
            const QByteArray got(buf, int(formatDouble6(v, buf) - buf));
            QVERIFY(got.size() <= kDouble6MaxChars);
            if (got != textStreamText(v) && mismatches++ == 0)
                first = QStringLiteral("%1 written as %2").arg(v, 0, 'g', 17).arg(got);
        }
        QVERIFY2(mismatches == 0, qPrintable(QStringLiteral("%1 mismatches, first %2").arg(mismatches).arg(first)));
        // The data text writes them alike, eight at a time where it can.
        const QVector<double> values = generatedValues(kind);
        const int n = int(values.size());
        const QList<QByteArray> lines = buildCtImgDataText({values.data(), 1, n}, {0, 0, double(n), 1},
                                                           {HUGE_VAL, -HUGE_VAL, 0.0}).split('\n');
        QCOMPARE(lines.size(), 6 + n + 1);
        for (int i = 0; i < n; ++i) {
            const QByteArray got = lines[6 + i].mid(lines[6 + i].lastIndexOf('\t') + 1);
            if (got != textStreamText(values[i]) && mismatches++ == 0)
                first = QStringLiteral("%1 written as %2 in the data text").arg(values[i], 0, 'g', 17).arg(got);
        }
        QVERIFY2(mismatches == 0, qPrintable(QStringLiteral("%1 mismatches, first %2").arg(mismatches).arg(first)));
    }

    void fileText_data()
    {
        QTest::addColumn<DataRegion>("region");
        QTest::addColumn<DataLimits>("limits");
        QTest::addColumn<QByteArray>("lines"); // after the header; null: no text at all
        // Matrix (x, z): (0, 0) 1.5, (1, 0) -2, (0, 1) 12, (1, 1) NaN.
        QTest::newRow("whole grid, x fastest, 12 beyond the limit")
            << DataRegion{0, 0, 2, 2} << DataLimits() << QByteArray("0\t0\t11.5\n1\t0\t8\n0\t1\t10\n1\t1\tnan\n");
        QTest::newRow("fractional region, outside the grid reads 0")
            << DataRegion{0.5, 1.25, 2.5, 1.5} << DataLimits() << QByteArray("0\t1\t10\n1\t1\tnan\n2\t1\t10\n");
        QTest::newRow("limits are kept, offset 0") << DataRegion{0, 0, 2, 1} << DataLimits{1.5, -2.0, 0.0}
                                                  << QByteArray("0\t0\t1.5\n1\t0\t-2\n");
        QTest::newRow("just outside the limits") << DataRegion{0, 0, 2, 1} << DataLimits{1.4999, -1.9999, 1e6}
                                                 << QByteArray("0\t0\t1e+06\n1\t0\t1e+06\n");
        QTest::newRow("sticking out on every side") << DataRegion{-1, 1, 3, 2} << DataLimits()
                                                    << QByteArray("-1\t1\t10\n0\t1\t10\n1\t1\tnan\n2\t1\t10\n");
        QTest::newRow("wholly outside") << DataRegion{5, 5, 6, 6} << DataLimits() << QByteArray("5\t5\t10\n");
        QTest::newRow("reversed: header only") << DataRegion{2, 2, 0, 0} << DataLimits() << QByteArray("");
        QTest::newRow("NaN region refused") << DataRegion{kNaN, 0, 10, 10} << DataLimits() << QByteArray();
        QTest::newRow("absurd coordinates refused") << DataRegion{0, 0, 1e300, 10} << DataLimits() << QByteArray();
        QTest::newRow("billions of pixels refused") << DataRegion{0, 0, 1e6, 1e6} << DataLimits() << QByteArray();
    }

    void fileText()
    {
        QFETCH(DataRegion, region);
        QFETCH(DataLimits, limits);
        QFETCH(QByteArray, lines);
        const double m[4] = {1.5, -2.0, 12.0, kNaN};
        MessageCapture cap;
        QCOMPARE(buildCtImgDataText({m, 2, 2}, region, limits), lines.isNull() ? QByteArray() : referenceHeader(region) + lines);
        QCOMPARE(cap.lines().size(), lines.isNull() ? 1 : 0);
    }

    void readers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QSize>("size"); // empty: refused
        QTest::addColumn<QVector<double>>("values"); // row-major
        const QByteArray h22 = "#FENU-CTImg\n# Range_X0       : 0\n# Range_Y0       : 0\n"
                               "# Range_X1       : 1\n# Range_Y1       : 1\n";
        const QVector<double> none;
        QTest::newRow("plain") << h22 + "0\t0\t1\n1\t0\t2\n0\t1\t3\n1\t1\t4\n" << QSize(2, 2) << QVector<double>{1, 2, 3, 4};
        QTest::newRow("text after the magic, byte-order mark")
            << QByteArray("\xEF\xBB\xBF#FENU-CTImg version 2").append(h22.mid(11)) + "1 1 4\n" << QSize(2, 2)
            << QVector<double>{0, 0, 0, 4};
        QTest::newRow("tabs and carriage returns in the header")
            << QByteArray("#FENU-CTImg\r\n#\tRange_X0\t:\t0\r\n#\tRange_Y0 : 0\r\n# Range_X1 :\t2\r\n#  Range_Y1  :  1\r\n"
                          "2 0 5\r\n")
            << QSize(3, 2) << QVector<double>{0, 0, 5, 0, 0, 0};
        QTest::newRow("region away from the origin is kept whole")
            << QByteArray("#FENU-CTImg\n# Range_X0 : 10\n# Range_Y0 : 20\n# Range_X1 : 11\n# Range_Y1 : 20\n"
                          "10 20 1.5\n11 20 2.5\n")
            << QSize(2, 1) << QVector<double>{1.5, 2.5};
        QTest::newRow("positions outside the matrix are dropped")
            << h22 + "2 0 9\n0 2 9\n-1 0 9\n0 -1 9\n1 1 4\n2147483647 2147483647 9\n" << QSize(2, 2)
            << QVector<double>{0, 0, 0, 4};
        QTest::newRow("malformed and short lines") << h22 + "a b 7\n1 1 x\n1 1\n\n1 0 3 extra fields\n1 1 4" << QSize(2, 2)
                                                   << QVector<double>{7, 3, 0, 4};
        QTest::newRow("fractional range reads as 0, so no matrix")
            << QByteArray("#FENU-CTImg\n# Range_X0 : 0\n# Range_Y0 : 0\n# Range_X1 : 10.5\n# Range_Y1 : 3\n0 0 1\n") << QSize(0, 0)
            << none;
        QTest::newRow("2e9 by 2e9 refused before allocating")
            << QByteArray("#FENU-CTImg\n# Range_X0 : -2000000000\n# Range_Y0 : -2000000000\n# Range_X1 : 2000000000\n"
                          "# Range_Y1 : 2000000000\n0 0 1\n") << QSize(0, 0) << none;
        QTest::newRow("a line longer than a read block")
            << h22 + QByteArray(3 << 20, 'z') + "\n1 0 6\n" << QSize(2, 2) << QVector<double>{0, 6, 0, 0};
        // The generic "## 240301" matrix of other programs.
        const QByteArray h33 = "## 240301 from another program\n# X-NUM 3\n# Y-NUM 3\n";
        QTest::newRow("3 by 3 header gives 2 by 2, commas and blanks alike")
            << h33 + "1,1,0.5\n2, 1 ,1.5\n,1,2,-2,\n2\t2,,4\n" << QSize(2, 2) << QVector<double>{0.5, 1.5, -2, 4};
        QTest::newRow("origin at the first data line") << h33 + "5 7 1\n6 8 2\n4 7 9\n7 7 9\n" << QSize(2, 2)
                                                      << QVector<double>{1, 0, 0, 2};
        QTest::newRow("data before the sizes is skipped")
            << QByteArray("## 240301\n0 0 9\n# X-NUM 3\n0 0 8\n# Y-NUM 2\n0 0 1\n1 0 2\n") << QSize(2, 1) << QVector<double>{1, 2};
        QTest::newRow("size outside 32 bits") << QByteArray("## 240301\n# X-NUM 4294967297\n# Y-NUM 3\n0 0 1\n") << QSize(0, 0)
                                              << none;
        QTest::newRow("generic 2e9 by 2e9 refused")
            << QByteArray("## 240301\n# X-NUM 2000000000\n# Y-NUM 2000000000\n0 0 1\n") << QSize(0, 0) << none;
        QTest::newRow("wrong magic") << QByteArray("## 240302\n# X-NUM 3\n# Y-NUM 3\n0 0 1\n") << QSize(0, 0) << none;
    }

    void readers()
    {
        QFETCH(QByteArray, text);
        QFETCH(QSize, size);
        const int nx = size.width();
        QFETCH(QVector<double>, values);
        const bool generic = text.startsWith("##");
        DataMatrix m;
        QCOMPARE(readText(text, &m, generic), nx > 0);
        QCOMPARE(QSize(m.nx, m.ny), size);
        QCOMPARE(QVector<double>(m.values.begin(), m.values.end()), values);
        if (nx > 0 && !values.contains(0.0)) { // every cell was read
            QCOMPARE(m.min, *std::min_element(values.begin(), values.end()));
            QCOMPARE(m.max, *std::max_element(values.begin(), values.end()));
        }
        // Neither reader takes the other's format.
        QVERIFY(!readText(text, &m, !generic));
    }

    void missingFiles()
    {
        MessageCapture cap;
        DataMatrix m;
        QVERIFY(!readCtImgDataFile("/nonexistent/dir/slice.dat", &m));
        QVERIFY(!readMatrixDataFile("/nonexistent/dir/slice.dat", &m));
        QCOMPARE(cap.count("Can't open data file : /nonexistent/dir/slice.dat"), 2);
    }
};

QTEST_GUILESS_MAIN(TstCtImgDataFile)
#include "tst_ctimgdatafile.moc"
