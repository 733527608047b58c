#include "recon/ctimgdatafile.h"
#include "tests/support/testutil.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

// The data file is what a beam time leaves behind, so its bytes are checked
// against the text stream notation the format is defined by, and both
// readers against hand-made files, including lying ones.
class TstCtImgDataFile : public QObject
{
    Q_OBJECT

private slots:
    void formatMatchesTextStream_data();
    void formatMatchesTextStream();
    void fullGridFileLayout();
    void fractionalRegion();
    void limitsAndOffset_data();
    void limitsAndOffset();
    void matchesStraightforwardWriter_data();
    void matchesStraightforwardWriter();
    void refusedRegions_data();
    void refusedRegions();
    void reusedBufferNeverOverwritesSharedText();
    void writeThenReadBack_data();
    void writeThenReadBack();
    void ctImgReader_data();
    void ctImgReader();
    void matrixReader_data();
    void matrixReader();
    void numberFieldsReadAsQtDoes_data();
    void numberFieldsReadAsQtDoes();
    void oversizedHeadersAreRefused_data();
    void oversizedHeadersAreRefused();
    void longLinesAndMissingFiles();
};

namespace {

QByteArray textStreamText(double v)
{
    QByteArray out;
    QTextStream ts(&out);
    ts << v;
    ts.flush();
    return out;
}

QByteArray fastText(double v)
{
    char buf[32];
    std::memset(buf, 'X', sizeof buf);
    char* e = formatDouble6(v, buf);
    return QByteArray(buf, int(e - buf));
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
    if (kind == "special") {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        v << 0.0 << -0.0 << nan << -nan << HUGE_VAL << -HUGE_VAL;
        for (double x : {DBL_MIN, DBL_MAX, std::numeric_limits<double>::denorm_min(), 1e-5, 0.0001, 123456.0,
                         1234567.0, 999999.5, 9999995.0, 0.5, 1.0, 10.0, 20.0, 255.5, 511.0, 1e6, 1e-4 * 0.99999999,
                         99999.95, 0.00099999996, 1e21, 1e-17, 1e-18, 1.7e38, 1.8e38, 3.4e38})
            both(x);
    } else if (kind == "ties at the sixth digit") {
        for (int i = 0; i < 20000; ++i) {
            const int k = 100000 + int(rng.bounded(900000));
            both(k + 0.5);                       // 123456.5
            both(double(k) * 10 + 5);            // 1234565
            both((k / 10) + 0.25 + 0.5 * (k & 1)); // 12345.25, 12345.75
            both(std::ldexp(double(k) * 2 + 1, -1 - int(rng.bounded(8))));
        }
    } else if (kind == "decade and rounding boundaries") {
        for (int e = -20; e <= 40; ++e) {
            for (const char* m : {"1", "9.999995", "9.9999949999", "9.99999500001", "1.000005", "5"}) {
                const double x = QByteArray(m).append('e').append(QByteArray::number(e)).toDouble();
                for (double y : {x, std::nextafter(x, 0.0), std::nextafter(x, HUGE_VAL)})
                    both(y);
            }
        }
    } else if (kind == "random bit patterns") {
        for (int i = 0; i < 300000; ++i)
            v << fromBits(rng.generate64());
    } else if (kind == "random magnitudes") {
        for (int i = 0; i < 300000; ++i) {
            const double m = 1.0 + 9.0 * rng.generateDouble();
            const int e = int(rng.bounded(70)) - 25;
            both(m * std::pow(10.0, e));
        }
    } else if (kind == "reconstruction values") {
        for (int i = 0; i < 300000; ++i)
            v << -15.0 + 40.0 * rng.generateDouble() << 10.0 + 0.05 * (rng.generateDouble() - 0.5);
    } else if (kind == "subnormals") {
        for (int i = 0; i < 20000; ++i)
            both(fromBits(rng.generate64() & ((quint64(1) << 52) - 1)));
    } else if (kind == "integers") {
        for (int i = -3000; i <= 3000; ++i)
            v << double(i);
        for (int i = 0; i < 20000; ++i)
            both(double(rng.generate64() >> int(rng.bounded(64))));
    }
    return v;
}

QByteArray referenceText(const std::vector<double>& m, int rows, int cols, const DataRegion& g, const DataLimits& l)
{
    QByteArray out;
    QTextStream ts(&out);
    ts << "#FENU-CTImg\n";
    ts << "# Range_X0       : " << g.x0 << "\n";
    ts << "# Range_Y0       : " << g.z0 << "\n";
    ts << "# Range_X1       : " << g.x1 - 1 << "\n";
    ts << "# Range_Y1       : " << g.z1 - 1 << "\n";
    ts << "# sx,sy, ex,ey   : " << g.x0 << "\t" << g.z0 << "\t" << g.x1 - 1 << "\t" << g.z1 - 1 << "\n";
    for (int z = int(std::trunc(g.z0)); z < g.z1; ++z) {
        for (int x = int(std::trunc(g.x0)); x < g.x1; ++x) {
            double v = (x >= 0 && z >= 0 && x < cols && z < rows) ? m[std::size_t(z) * cols + x] : 0.0;
            if (v > l.upper || v < l.lower)
                v = 0.0;
            v += l.offset;
            ts << x << "\t" << z << "\t" << v << "\n";
        }
    }
    ts.flush();
    return out;
}

QList<QByteArray> lines(const QByteArray& text)
{
    QList<QByteArray> l = text.split('\n');
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

bool readCt(const QByteArray& text, DataMatrix* m)
{
    QBuffer b;
    b.setData(text);
    b.open(QIODevice::ReadOnly);
    return readCtImgData(&b, m, "test");
}

bool readGeneric(const QByteArray& text, DataMatrix* m)
{
    QBuffer b;
    b.setData(text);
    b.open(QIODevice::ReadOnly);
    return readMatrixData(&b, m, "test");
}

} // namespace

void TstCtImgDataFile::formatMatchesTextStream_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* k : {"special", "ties at the sixth digit", "decade and rounding boundaries", "random bit patterns",
                          "random magnitudes", "reconstruction values", "subnormals", "integers"})
        QTest::newRow(k) << QString(k);
}

void TstCtImgDataFile::formatMatchesTextStream()
{
    QFETCH(QString, kind);
    const QVector<double> values = generatedValues(kind);
    QVERIFY(values.size() > 10);
    int mismatches = 0;
    QString first;
    for (double v : values) {
        const QByteArray want = textStreamText(v);
        const QByteArray got = fastText(v);
        QVERIFY(got.size() <= kDouble6MaxChars);
        if (want != got && mismatches++ == 0)
            first = QStringLiteral("%1: text stream '%2', fast '%3'").arg(v, 0, 'g', 17).arg(want, got);
    }
    QVERIFY2(mismatches == 0, qPrintable(QStringLiteral("%1 mismatches, first %2").arg(mismatches).arg(first)));
}

void TstCtImgDataFile::fullGridFileLayout()
{
    const int n = 512;
    std::vector<double> m(std::size_t(n) * n);
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x)
            m[std::size_t(z) * n + x] = (x - 256) * 0.01 + z * 0.0001;
    const QByteArray text = buildCtImgDataText({m.data(), n, n}, {0, 0, 512, 512}, DataLimits());
    const QByteArray header = "#FENU-CTImg\n"
                              "# Range_X0       : 0\n"
                              "# Range_Y0       : 0\n"
                              "# Range_X1       : 511\n"
                              "# Range_Y1       : 511\n"
                              "# sx,sy, ex,ey   : 0\t0\t511\t511\n";
    QCOMPARE(text.left(header.size()), header);
    QCOMPARE(header.split('\n').at(1).indexOf(':'), 17);
    QCOMPARE(header.split('\n').at(5).indexOf(':'), 17);
    QVERIFY(!text.contains('\r'));
    const QList<QByteArray> l = lines(text);
    QCOMPARE(l.size(), 6 + 262144);
    // x runs fastest
    QCOMPARE(l.at(6), QByteArray("0\t0\t7.44"));
    QCOMPARE(l.at(7), QByteArray("1\t0\t7.45"));
    QCOMPARE(l.at(6 + 511), QByteArray("511\t0\t12.55"));
    QCOMPARE(l.at(6 + 512), QByteArray("0\t1\t7.4401"));
    QCOMPARE(l.last(), QByteArray("511\t511\t12.6011"));
}

void TstCtImgDataFile::fractionalRegion()
{
    const int n = 300;
    std::vector<double> m(std::size_t(n) * n, 1.0);
    const QList<QByteArray> l = lines(buildCtImgDataText({m.data(), n, n}, {100.5, 20.25, 200.5, 22.5}, DataLimits()));
    QCOMPARE(l.at(1), QByteArray("# Range_X0       : 100.5"));
    QCOMPARE(l.at(2), QByteArray("# Range_Y0       : 20.25"));
    QCOMPARE(l.at(3), QByteArray("# Range_X1       : 199.5"));
    QCOMPARE(l.at(4), QByteArray("# Range_Y1       : 21.5"));
    QCOMPARE(l.at(5), QByteArray("# sx,sy, ex,ey   : 100.5\t20.25\t199.5\t21.5"));
    // x 100 .. 200 (101 columns), z 20 .. 22 (3 rows)
    QCOMPARE(l.size(), 6 + 101 * 3);
    QCOMPARE(l.at(6), QByteArray("100\t20\t11"));
    QCOMPARE(l.at(6 + 100), QByteArray("200\t20\t11"));
    QCOMPARE(l.last(), QByteArray("200\t22\t11"));
}

void TstCtImgDataFile::limitsAndOffset_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("upper");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("offset");
    QTest::addColumn<QByteArray>("text");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("12 above the default upper limit") << 12.0 << 10.0 << -10.0 << 10.0 << QByteArray("10");
    QTest::newRow("-3 shifted") << -3.0 << 10.0 << -10.0 << 10.0 << QByteArray("7");
    QTest::newRow("exactly the upper limit stays") << 10.0 << 10.0 << -10.0 << 10.0 << QByteArray("20");
    QTest::newRow("exactly the lower limit stays") << -10.0 << 10.0 << -10.0 << 10.0 << QByteArray("0");
    QTest::newRow("just below the lower limit") << -10.000001 << 10.0 << -10.0 << 10.0 << QByteArray("10");
    QTest::newRow("NaN passes plus offset") << nan << 10.0 << -10.0 << 10.0 << QByteArray("nan");
    QTest::newRow("infinity is outside") << double(HUGE_VAL) << 10.0 << -10.0 << 10.0 << QByteArray("10");
    QTest::newRow("zero offset keeps the value") << 0.00123456789 << 1.0 << -1.0 << 0.0 << QByteArray("0.00123457");
    QTest::newRow("negative zero written as 0") << -0.0 << 1.0 << -1.0 << 0.0 << QByteArray("0");
    QTest::newRow("narrow limits") << 0.6 << 0.5 << -0.5 << 100.0 << QByteArray("100");
    QTest::newRow("large offset") << 0.5 << 1.0 << -1.0 << 1e6 << QByteArray("1e+06");
}

void TstCtImgDataFile::limitsAndOffset()
{
    QFETCH(double, value);
    QFETCH(double, upper);
    QFETCH(double, lower);
    QFETCH(double, offset);
    QFETCH(QByteArray, text);
    const double m[4] = {value, value, value, value};
    const QList<QByteArray> l = lines(buildCtImgDataText({m, 2, 2}, {1, 1, 2, 2}, {upper, lower, offset}));
    QCOMPARE(l.size(), 7);
    QCOMPARE(l.at(6), QByteArray("1\t1\t") + text);
}

void TstCtImgDataFile::matchesStraightforwardWriter_data()
{
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("z0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("z1");
    QTest::addColumn<double>("offset");
    QTest::newRow("full grid") << 0.0 << 0.0 << 64.0 << 64.0 << 10.0;
    QTest::newRow("inner part") << 10.0 << 20.0 << 50.0 << 30.0 << 10.0;
    QTest::newRow("fractional") << 10.7 << 3.2 << 40.1 << 9.9 << 0.0;
    QTest::newRow("sticking out on every side") << -5.5 << -3.0 << 70.0 << 66.5 << 10.0;
    QTest::newRow("wholly outside") << 100.0 << 100.0 << 103.0 << 102.0 << 10.0;
    QTest::newRow("empty") << 10.0 << 10.0 << 10.0 << 20.0 << 10.0;
    QTest::newRow("reversed") << 30.0 << 30.0 << 10.0 << 10.0 << 10.0;
}

void TstCtImgDataFile::matchesStraightforwardWriter()
{
    QFETCH(double, x0);
    QFETCH(double, z0);
    QFETCH(double, x1);
    QFETCH(double, z1);
    QFETCH(double, offset);
    const int n = 64;
    QRandomGenerator rng(7);
    std::vector<double> m(std::size_t(n) * n);
    for (double& v : m) {
        switch (rng.bounded(6)) {
        case 0: v = 0.0; break;
        case 1: v = -20.0 + 40.0 * rng.generateDouble(); break;
        case 2: v = std::ldexp(rng.generateDouble(), -int(rng.bounded(60))); break;
        case 3: v = double(int(rng.bounded(2000)) - 1000) / 8.0; break;
        case 4: v = std::numeric_limits<double>::quiet_NaN(); break;
        default: v = 1e-7 * (rng.generateDouble() - 0.5); break;
        }
    }
    const DataRegion g{x0, z0, x1, z1};
    const DataLimits l{10.0, -10.0, offset};
    const QByteArray fast = buildCtImgDataText({m.data(), n, n}, g, l);
    const QByteArray ref = referenceText(m, n, n, g, l);
    QCOMPARE(fast.size(), ref.size());
    QVERIFY(fast == ref);
}

void TstCtImgDataFile::refusedRegions_data()
{
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("z1");
    QTest::addColumn<QString>("diagnostic");
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 10.0 << 10.0 << "Data region not usable";
    QTest::newRow("infinite") << 0.0 << double(HUGE_VAL) << 10.0 << "Data region not usable";
    QTest::newRow("absurd coordinates") << 0.0 << 1e300 << 10.0 << "Data region not usable";
    QTest::newRow("billions of pixels") << 0.0 << 1e6 << 1e6 << "Data region too large";
}

void TstCtImgDataFile::refusedRegions()
{
    QFETCH(double, x0);
    QFETCH(double, x1);
    QFETCH(double, z1);
    QFETCH(QString, diagnostic);
    const double m[1] = {1.0};
    MessageCapture cap;
    QVERIFY(buildCtImgDataText({m, 1, 1}, {x0, 0.0, x1, z1}, DataLimits()).isEmpty());
    QCOMPARE(cap.lines().size(), 1);
    QVERIFY2(cap.lines().first().startsWith(diagnostic), qPrintable(cap.lines().first()));
}

void TstCtImgDataFile::reusedBufferNeverOverwritesSharedText()
{
    const double a[4] = {1, 2, 3, 4};
    const double b[4] = {-1, -2, -3, -4};
    const DataRegion g{0, 0, 2, 2};
    QByteArray buffer;
    QVERIFY(buildCtImgDataText({a, 2, 2}, g, DataLimits(), &buffer));
    const QByteArray textA = buildCtImgDataText({a, 2, 2}, g, DataLimits());
    QCOMPARE(buffer, textA);

    // The saver still holds the previous text: it must stay as it was.
    const QByteArray held = buffer;
    QVERIFY(buildCtImgDataText({b, 2, 2}, g, DataLimits(), &buffer));
    QCOMPARE(held, textA);
    QCOMPARE(buffer, buildCtImgDataText({b, 2, 2}, g, DataLimits()));

    // Nobody else holds it: the same memory is filled again.
    const char* before = buffer.constData();
    QVERIFY(buildCtImgDataText({a, 2, 2}, g, DataLimits(), &buffer));
    QCOMPARE(buffer, textA);
    QCOMPARE(buffer.constData(), before);

    MessageCapture cap;
    QVERIFY(!buildCtImgDataText({a, 2, 2}, {0, 0, 2, std::numeric_limits<double>::quiet_NaN()}, DataLimits(), &buffer));
    QVERIFY(buffer.isEmpty());
    QCOMPARE(cap.lines().size(), 1);
}

void TstCtImgDataFile::writeThenReadBack_data()
{
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("z0");
    QTest::addColumn<int>("x1");
    QTest::addColumn<int>("z1");
    QTest::newRow("full grid") << 0 << 0 << 96 << 96;
    QTest::newRow("region at the origin") << 0 << 0 << 40 << 70;
    QTest::newRow("region away from the origin") << 17 << 33 << 80 << 90;
    QTest::newRow("single pixel") << 5 << 6 << 6 << 7;
}

void TstCtImgDataFile::writeThenReadBack()
{
    QFETCH(int, x0);
    QFETCH(int, z0);
    QFETCH(int, x1);
    QFETCH(int, z1);
    const int n = 96;
    QRandomGenerator rng(11);
    std::vector<double> m(std::size_t(n) * n);
    for (double& v : m)
        v = -12.0 + 24.0 * rng.generateDouble();
    const DataLimits lim;
    const QByteArray text = buildCtImgDataText({m.data(), n, n}, {double(x0), double(z0), double(x1), double(z1)}, lim);

    QTemporaryDir dir;
    const QString path = dir.filePath("slice.dat");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();

    DataMatrix back;
    QVERIFY(readCtImgDataFile(path, &back));
    QCOMPARE(back.nx, x1 - x0);
    QCOMPARE(back.ny, z1 - z0);
    double lo = DBL_MAX, hi = -DBL_MAX;
    for (int z = z0; z < z1; ++z) {
        for (int x = x0; x < x1; ++x) {
            double v = m[std::size_t(z) * n + x];
            v = (v > lim.upper || v < lim.lower ? 0.0 : v) + lim.offset;
            const double written = textStreamText(v).toDouble();
            QVERIFY(back.at(x - x0, z - z0) == written);
            QVERIFY(std::fabs(back.at(x - x0, z - z0) - v) <= 5e-6 * std::fabs(v));
            lo = std::min(lo, written);
            hi = std::max(hi, written);
        }
    }
    QCOMPARE(back.min, lo);
    QCOMPARE(back.max, hi);

    // The generic reader does not take this format, and the other way round.
    DataMatrix other;
    QVERIFY(!readMatrixDataFile(path, &other));
}

void TstCtImgDataFile::ctImgReader_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("nx");
    QTest::addColumn<int>("ny");
    QTest::addColumn<QVector<double>>("values"); // row-major
    const QByteArray h22 = "#FENU-CTImg\n# Range_X0       : 0\n# Range_Y0       : 0\n"
                           "# Range_X1       : 1\n# Range_Y1       : 1\n";
    QTest::newRow("plain") << h22 + "0\t0\t1\n1\t0\t2\n0\t1\t3\n1\t1\t4\n" << true << 2 << 2 << QVector<double>{1, 2, 3, 4};
    QTest::newRow("text after the magic")
        << QByteArray("#FENU-CTImg version 2").append(h22.mid(11)) + "1 1 4\n" << true << 2 << 2
        << QVector<double>{0, 0, 0, 4};
    QTest::newRow("tabs and carriage returns in the header")
        << QByteArray("#FENU-CTImg\r\n#\tRange_X0\t:\t0\r\n#\tRange_Y0 : 0\r\n# Range_X1 :\t2\r\n#  Range_Y1  :  1\r\n"
                      "2 0 5\r\n")
        << true << 3 << 2 << QVector<double>{0, 0, 5, 0, 0, 0};
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + h22 + "0 0 1\n" << true << 2 << 2
                                     << QVector<double>{1, 0, 0, 0};
    QTest::newRow("region away from the origin is kept whole")
        << QByteArray("#FENU-CTImg\n# Range_X0 : 10\n# Range_Y0 : 20\n# Range_X1 : 11\n# Range_Y1 : 20\n"
                      "10 20 1.5\n11 20 2.5\n")
        << true << 2 << 1 << QVector<double>{1.5, 2.5};
    QTest::newRow("positions outside the matrix are dropped")
        << h22 + "2 0 9\n0 2 9\n-1 0 9\n0 -1 9\n1 1 4\n2147483647 2147483647 9\n" << true << 2 << 2
        << QVector<double>{0, 0, 0, 4};
    QTest::newRow("malformed line writes at 0,0") << h22 + "a b 7\n1 1 x\n" << true << 2 << 2
                                                  << QVector<double>{7, 0, 0, 0};
    QTest::newRow("short lines are skipped") << h22 + "1 1\n\n1\n1 0 3 extra fields\n" << true << 2 << 2
                                             << QVector<double>{0, 3, 0, 0};
    QTest::newRow("fractional range reads as 0, so no matrix")
        << QByteArray("#FENU-CTImg\n# Range_X0 : 0\n# Range_Y0 : 0\n# Range_X1 : 10.5\n# Range_Y1 : 3\n0 0 1\n")
        << false << 0 << 0 << QVector<double>{};
    QTest::newRow("no range header") << QByteArray("#FENU-CTImg\n0 0 1\n") << false << 0 << 0 << QVector<double>{};
    QTest::newRow("range X1 zero") << QByteArray("#FENU-CTImg\n# Range_X1 : 0\n# Range_Y1 : 5\n0 0 1\n") << false << 0
                                   << 0 << QVector<double>{};
    QTest::newRow("range start beyond its end")
        << QByteArray("#FENU-CTImg\n# Range_X0 : 9\n# Range_X1 : 5\n# Range_Y1 : 5\n0 0 1\n") << false << 0 << 0
        << QVector<double>{};
    QTest::newRow("wrong case of the magic") << QByteArray("#fenu-ctimg\n") + h22.mid(12) + "0 0 1\n" << false << 0
                                             << 0 << QVector<double>{};
    QTest::newRow("magic not on the first line") << QByteArray("\n") + h22 + "0 0 1\n" << false << 0 << 0
                                                 << QVector<double>{};
    QTest::newRow("empty") << QByteArray() << false << 0 << 0 << QVector<double>{};
    QTest::newRow("header only") << h22 << false << 0 << 0 << QVector<double>{};
    QTest::newRow("no final line feed") << h22 + "1 1 4" << true << 2 << 2 << QVector<double>{0, 0, 0, 4};
}

void TstCtImgDataFile::ctImgReader()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(int, nx);
    QFETCH(int, ny);
    QFETCH(QVector<double>, values);
    DataMatrix m;
    QCOMPARE(readCt(text, &m), ok);
    QCOMPARE(m.nx, nx);
    QCOMPARE(m.ny, ny);
    QCOMPARE(QVector<double>(m.values.begin(), m.values.end()), values);
}

void TstCtImgDataFile::matrixReader_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("nx");
    QTest::addColumn<int>("ny");
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    const QByteArray h = "## 240301 from another program\n# X-NUM 3\n# Y-NUM 3\n";
    QTest::newRow("3 by 3 header gives 2 by 2") << h + "1 1 0.5\n2 1 1.5\n1 2 -2\n2 2 4\n" << true << 2 << 2
                                               << QVector<double>{0.5, 1.5, -2, 4} << -2.0 << 4.0;
    QTest::newRow("commas and blanks are the same") << h + "1,1,0.5\n2, 1 ,1.5\n,1,2,-2,\n2\t2,,4\n" << true << 2 << 2
                                                   << QVector<double>{0.5, 1.5, -2, 4} << -2.0 << 4.0;
    QTest::newRow("header with commas") << QByteArray("## 240301\n#,X-NUM,4\n#, Y-NUM ,2\n0 0 1\n2 0 3\n") << true << 3
                                        << 1 << QVector<double>{1, 0, 3} << 1.0 << 3.0;
    QTest::newRow("origin at the first data line") << h + "5 7 1\n6 8 2\n4 7 9\n7 7 9\n" << true << 2 << 2
                                                  << QVector<double>{1, 0, 0, 2} << 1.0 << 2.0;
    QTest::newRow("data before the sizes is skipped")
        << QByteArray("## 240301\n0 0 9\n# X-NUM 3\n0 0 8\n# Y-NUM 2\n0 0 1\n1 0 2\n") << true << 2 << 1
        << QVector<double>{1, 2} << 1.0 << 2.0;
    QTest::newRow("header lines with more fields are ignored")
        << QByteArray("## 240301\n# X-NUM 3 extra\n# X-NUM 2\n# Y-NUM 2\n3 3 1\n") << true << 1 << 1
        << QVector<double>{1} << 1.0 << 1.0;
    QTest::newRow("size outside 32 bits") << QByteArray("## 240301\n# X-NUM 4294967297\n# Y-NUM 3\n0 0 1\n") << false
                                          << 0 << 0 << QVector<double>{} << DBL_MAX << -DBL_MAX;
    QTest::newRow("size 1 gives no matrix") << QByteArray("## 240301\n# X-NUM 1\n# Y-NUM 3\n0 0 1\n") << false << 0 << 0
                                            << QVector<double>{} << DBL_MAX << -DBL_MAX;
    QTest::newRow("wrong magic") << QByteArray("## 240302\n# X-NUM 3\n# Y-NUM 3\n0 0 1\n") << false << 0 << 0
                                 << QVector<double>{} << DBL_MAX << -DBL_MAX;
    QTest::newRow("data lines with fewer fields") << h + "1 1\n1 1 2\n" << true << 2 << 2
                                                 << QVector<double>{2, 0, 0, 0} << 2.0 << 2.0;
}

void TstCtImgDataFile::matrixReader()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(int, nx);
    QFETCH(int, ny);
    QFETCH(QVector<double>, values);
    QFETCH(double, min);
    QFETCH(double, max);
    DataMatrix m;
    QCOMPARE(readGeneric(text, &m), ok);
    QCOMPARE(m.nx, nx);
    QCOMPARE(m.ny, ny);
    QCOMPARE(QVector<double>(m.values.begin(), m.values.end()), values);
    QCOMPARE(m.min, min);
    QCOMPARE(m.max, max);
    DataMatrix ct;
    QVERIFY(!readCt(text, &ct));
}

void TstCtImgDataFile::numberFieldsReadAsQtDoes_data()
{
    QTest::addColumn<QByteArray>("x");
    QTest::addColumn<QByteArray>("value");
    for (const char* s : {"1.5", "+2", "-0", ".5", "5.", "1e3", "1E-3", "+.5e+2", "0x10", "abc", "inf", "-inf",
                          "nan", "INF", "1e400", "-1e400", "1e-400", "4.9e-324", "2.2250738585072014e-308", "1e", "--1",
                          "+-1", "1.2.3", "0001.25", "123456789012345678901234567890"})
        QTest::newRow(s) << QByteArray("1") << QByteArray(s);
    for (const char* s : {"+1", "-1", "01", "2147483647", "2147483648", "-2147483648", "1.0", "1e0", "x", "+", "-"})
        QTest::newRow(QByteArray("x ").append(s).constData()) << QByteArray(s) << QByteArray("7");
}

void TstCtImgDataFile::numberFieldsReadAsQtDoes()
{
    QFETCH(QByteArray, x);
    QFETCH(QByteArray, value);
    // A wide matrix so that any x the field may read as lands inside.
    const QByteArray text = "## 240301\n# X-NUM 3\n# Y-NUM 2\n0 0 0\n" + x + " 0 " + value + "\n";
    DataMatrix m;
    QVERIFY(readGeneric(text, &m));
    const int wantX = QString(x).toInt();
    const double want = QString(value).toDouble();
    if (wantX < 0 || wantX >= m.nx) {
        QCOMPARE(m.values[0], 0.0);
        QCOMPARE(m.values[1], 0.0);
        return;
    }
    const double got = m.at(wantX, 0);
    QVERIFY2(got == want || (std::isnan(got) && std::isnan(want)),
             qPrintable(QStringLiteral("read %1, Qt reads %2").arg(got).arg(want)));
}

void TstCtImgDataFile::oversizedHeadersAreRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("generic");
    QTest::newRow("CT image 2e9 by 2e9") << QByteArray(
        "#FENU-CTImg\n# Range_X0 : -2000000000\n# Range_Y0 : -2000000000\n# Range_X1 : 2000000000\n"
        "# Range_Y1 : 2000000000\n0 0 1\n") << false;
    QTest::newRow("CT image wide and flat beyond the file")
        << QByteArray("#FENU-CTImg\n# Range_X1 : 2000000000\n# Range_Y1 : 1\n0 0 1\n") << false;
    QTest::newRow("generic 2e9 by 2e9") << QByteArray("## 240301\n# X-NUM 2000000000\n# Y-NUM 2000000000\n0 0 1\n")
                                        << true;
}

void TstCtImgDataFile::oversizedHeadersAreRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, generic);
    MessageCapture cap;
    DataMatrix m;
    QVERIFY(!(generic ? readGeneric(text, &m) : readCt(text, &m)));
    QVERIFY(m.values.empty());
    QCOMPARE(cap.count("Matrix size"), 1);
    QCOMPARE(cap.lines().size(), 1);
}

void TstCtImgDataFile::longLinesAndMissingFiles()
{
    // A line far longer than one read block, then real data.
    QByteArray text = "#FENU-CTImg\n# Range_X1 : 1\n# Range_Y1 : 1\n";
    text += QByteArray(3 << 20, 'z') + "\n1 0 6\n";
    DataMatrix m;
    QVERIFY(readCt(text, &m));
    QCOMPARE(m.nx, 2);
    QCOMPARE(m.at(1, 0), 6.0);
    QCOMPARE(m.ny, 2);
    QCOMPARE(m.at(0, 0), 0.0); // the long line is one field, no value

    MessageCapture cap;
    QVERIFY(!readCtImgDataFile("/nonexistent/dir/slice.dat", &m));
    QVERIFY(!readMatrixDataFile("/nonexistent/dir/slice.dat", &m));
    QCOMPARE(cap.count("Can't open data file : /nonexistent/dir/slice.dat"), 2);
}

QTEST_GUILESS_MAIN(TstCtImgDataFile)
#include "tst_ctimgdatafile.moc"
