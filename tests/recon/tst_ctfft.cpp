#include "recon/backproject.h"
#include "recon/bigbuffer.h"
#include "recon/ctfft.h"
#include "recon/hsgm.h"
#include "recon/procparams.h"
#include "tools/phantom.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

struct BpCase { int n, m; double origin, step; CalcRegion region; };
Q_DECLARE_METATYPE(CalcRegion)
Q_DECLARE_METATYPE(BpCase)

namespace {

template <typename F>
HSgm makeSgm(int rows, int width, F f)
{
    HSgm s;
    s.resize(rows, width);
    for (int k = 0; k < rows; ++k)
        for (int c = 0; c < width; ++c)
            s.sgmRow(k)[c] = f(k, c);
    return s;
}

ProcParams angles(double originDeg, double rangeDeg, int images, int start)
{
    ProcParams p;
    p.angleOriginDeg = originDeg;
    p.dataSetRangeDeg = rangeDeg;
    p.dataSetImages = images;
    p.startImage = start;
    return p;
}

bool insideCircle(int x, int z, int n)
{
    const long dx = 2L * x - n, dz = 2L * z - n;
    return dx * dx + dz * dz < long(n) * n;
}

// The smaps block of the mapping that holds p.
QByteArray mappingOf(const void* p)
{
    QFile f(QStringLiteral("/proc/self/smaps"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression head(QStringLiteral("^([0-9a-f]+)-([0-9a-f]+) "));
    const auto a = reinterpret_cast<std::uintptr_t>(p);
    QByteArray block;
    bool inside = false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QRegularExpressionMatch m = head.match(QString::fromLatin1(line));
        if (m.hasMatch()) {
            if (inside)
                break;
            inside = a >= m.captured(1).toULongLong(nullptr, 16)
                     && a < m.captured(2).toULongLong(nullptr, 16);
        }
        if (inside)
            block += line + '\n';
    }
    return block;
}

} // namespace

class TstCtFft : public QObject
{
    Q_OBJECT

private slots:
    // n, bin, count, sine: frequency m comes out times |m| 2 pi / N, divided by count * N.
    void rampWeights_data()
    {
        QTest::addColumn<QVector<int>>("c");
        QTest::newRow("N 2, DC gives zero") << QVector<int>{2, 0, 3, 0};
        QTest::newRow("N 8, lowest") << QVector<int>{8, 1, 5, 0};
        QTest::newRow("N 8, sine below Nyquist") << QVector<int>{8, 3, 5, 1};
        QTest::newRow("N 8, Nyquist") << QVector<int>{8, 4, 360, 0};
        QTest::newRow("N 64, count 0 leaves the scale at 1") << QVector<int>{64, 5, 0, 0};
    }
    void rampWeights()
    {
        QFETCH(QVector<int>, c);
        const int n = c[0], bin = c[1], count = c[2];
        const bool sine = c[3];
        std::vector<double> row(std::size_t(n) + 1, 99.0); // the extra value must be ignored
        for (int k = 0; k < n; ++k)
            row[std::size_t(k)] = sine ? std::sin(2.0 * M_PI * bin * k / n) : std::cos(2.0 * M_PI * bin * k / n);
        CtFft f;
        f.setup(n, 2);
        QVERIFY(f.transform(row.data(), 1) && f.filter(1, count));
        const double gain = bin * 2.0 * M_PI / n * (count == 0 ? double(n) : 1.0 / count);
        for (int k = 0; k < n; ++k)
            QVERIFY(std::abs(f.filtered(1)[k] - gain * row[std::size_t(k)]) < 1e-12 * std::max(1.0, gain * n));
    }

    // origin, range, images, start, line angle: one sample 8 right of the CoR draws (x - h) cos - (z - h) sin = 8.
    void brightSampleDrawsLine_data()
    {
        QTest::addColumn<QVector<double>>("a");
        QTest::newRow("90 deg") << QVector<double>{90, 180, 180, 0, 90};
        QTest::newRow("partial set from image 10") << QVector<double>{5, 180, 360, 10, 10};
        QTest::newRow("360 deg set, image 3 of 8") << QVector<double>{0, 360, 8, 3, 135};
    }
    void brightSampleDrawsLine()
    {
        QFETCH(QVector<double>, a);
        const double lineDeg = a[4];
        const int n = 64;
        CtFft f;
        QVERIFY(f.runAll(makeSgm(1, n + 1, [&](int, int c) { return c == n / 2 + 8 ? 1.0 : 0.0; }),
                         angles(a[0], a[1], int(a[2]), int(a[3])), CalcRegion::full(n)));
        const double th = lineDeg * M_PI / 180.0, h = n / 2.0;
        int onLine = 0;
        for (int z = 0; z < n; ++z)
            for (int x = 0; x < n; ++x) {
                const double off = std::abs((x - h) * std::cos(th) - (z - h) * std::sin(th) - 8);
                const double v = f.resultRow(z)[x] / f.max();
                if (insideCircle(x, z, n) && off < 0.3 && ++onLine)
                    QVERIFY(v > 0.5);
                else if (insideCircle(x, z, n) && off > 2.5)
                    QVERIFY(std::abs(v) < 0.08);
            }
        QVERIFY(onLine >= 10);
    }

    void regionRules_data()
    {
        QTest::addColumn<CalcRegion>("region");
        QTest::addColumn<QRect>("computed"); // before the circle
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("fractional bounds") << CalcRegion{2.7, 3.2, 10.5, 9.0} << QRect(QPoint(2, 3), QPoint(10, 8));
        QTest::newRow("x1 just past trunc(x0)") << CalcRegion{5.9, 0.0, 5.01, 40.0} << QRect(QPoint(5, 0), QPoint(5, 39));
        QTest::newRow("negative start") << CalcRegion{-3.5, -10.0, 12.0, 12.0} << QRect(QPoint(0, 0), QPoint(11, 11));
        QTest::newRow("infinite") << CalcRegion{-inf, -inf, inf, inf} << QRect(QPoint(0, 0), QPoint(39, 39));
        QTest::newRow("NaN") << CalcRegion{qQNaN(), 0.0, 40.0, 40.0} << QRect();
    }

    // Inside region and circle: the full grid's bits; elsewhere exactly +0.
    void regionRules()
    {
        QFETCH(CalcRegion, region);
        QFETCH(QRect, computed);
        const int n = 40;
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        const HSgm s = makeSgm(12, n + 1, [&](int, int) { return u(rng); });
        CtFft full, part;
        QVERIFY(full.runAll(s, angles(0.0, 180.0, 12, 0), CalcRegion::full(n)));
        QVERIFY(part.runAll(s, angles(0.0, 180.0, 12, 0), region) && part.done());
        std::vector<double> want(std::size_t(n) * n, 0.0);
        for (int z = 0; z < n; ++z)
            for (int x = 0; x < n; ++x)
                if (computed.contains(x, z) && insideCircle(x, z, n))
                    want[std::size_t(z) * n + x] = full.resultRow(z)[x];
        QVERIFY(std::memcmp(want.data(), part.result().data(), want.size() * sizeof(double)) == 0);
    }

    // setup N, setup P, width, rows: whatever its setup, a worker's run gives the panel's step-by-step bits.
    void runAllFitsItsSetup_data()
    {
        QTest::addColumn<QVector<int>>("c");
        QTest::newRow("fewer rows than set up (partial set)") << QVector<int>{64, 360, 65, 30};
        QTest::newRow("more rows than set up (wrapping set)") << QVector<int>{32, 20, 33, 45};
        QTest::newRow("other width") << QVector<int>{32, 20, 51, 20};
        QTest::newRow("never set up") << QVector<int>{0, 0, 21, 5};
    }
    void runAllFitsItsSetup()
    {
        QFETCH(QVector<int>, c);
        const int setupN = c[0], setupP = c[1], width = c[2], rows = c[3], n = width - 1;
        std::mt19937 rng(width + rows);
        std::normal_distribution<double> g(0.0, 1.0);
        const HSgm s = makeSgm(rows, width, [&](int, int) { return g(rng); });
        const ProcParams p = angles(3.0, 180.0, 360, 100);
        const CalcRegion region{4.5, 2.0, n - 4.0, n - 2.5};
        CtFft panel, worker;
        panel.setup(n, rows);
        panel.allocResult();
        for (int i = 0; i < rows; ++i)
            QVERIFY(panel.transform(s.sgmRow(i), i) && panel.filter(i, rows)
                    && panel.backProject(i, region, p.startAngle(), p.angleStep()));
        worker.setup(setupN, setupP);
        QVERIFY(worker.runAll(s, p, region));
        const auto& want = panel.result();
        QVERIFY(worker.result().size() == want.size() && std::memcmp(worker.result().data(), want.data(), want.size() * sizeof(double)) == 0);
        QCOMPARE(worker.min(), *std::min_element(want.begin(), want.end()));
        QCOMPARE(worker.max(), *std::max_element(want.begin(), want.end()));
    }

    void emptyOrTinySinogram()
    {
        CtFft f;
        f.setup(16, 4);
        auto run = [&](int rows, int width) {
            return f.runAll(makeSgm(rows, width, [](int k, int c) { return k + c; }), angles(0, 180, 5, 0),
                            CalcRegion::full(16));
        };
        QVERIFY(!run(0, 33) && !f.done());
        QVERIFY(!run(5, 1) && !f.done());
        QVERIFY(run(5, 3) && f.done());
        QCOMPARE(f.result(), BigVector<double>(4, 0.0));
    }

    // FFTW's planner must not run twice at once; each engine transforms with its own length.
    void concurrentSetups()
    {
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int w = 0; w < 4; ++w)
            threads.emplace_back([w, &wrong] {
                CtFft f;
                for (int r = 0; r < 25; ++r) {
                    const int n = 8 + 2 * ((w * 7 + r * 3) % 40);
                    f.setup(n, 3);
                    std::vector<double> row(static_cast<std::size_t>(n));
                    for (int k = 0; k < n; ++k)
                        row[std::size_t(k)] = std::cos(2.0 * M_PI * 3 * k / n);
                    f.transform(row.data(), 2);
                    f.filter(2, 1);
                    for (int k = 0; k < n; ++k)
                        wrong += std::abs(f.filtered(2)[k] - 3 * 2.0 * M_PI / n * row[std::size_t(k)]) > 1e-12;
                }
            });
        for (std::thread& t : threads)
            t.join();
        QCOMPARE(wrong.load(), 0);
    }

    // Exact line integrals back-projected over M rows give twice the attenuation (pi / M per row over 2 pi).
    void phantomReconstruction()
    {
        const int phHalf = 100, half = 4 * phHalf, width = 2 * half - 1, n = width - 1;
        PhantomSpec ps;
        ps.width = 2 * phHalf + 1;
        ps.height = 64;
        ps.cor = phHalf;
        const Phantom ph(ps);
        const double axial = 23.5;
        const ProcParams p = angles(0.0, 180.0, 360, 0);
        const HSgm s = makeSgm(360, width, [&](int k, int c) {
            return ph.lineIntegral(c - (half - 1), axial, bpAngle(p.startAngle(), p.angleStep(), k));
        });
        const double h = n / 2.0;
        CtFft f;
        QVERIFY(f.runAll(s, p, CalcRegion{h - phHalf, h - phHalf, h + phHalf, h + phHalf}));
        double err = 0.0, ref = 0.0;
        int count = 0;
        for (int z = 0; z < n; ++z)
            for (int x = 0; x < n; ++x) {
                const double a = ph.attenuation(x - h, z - h, axial);
                bool flat = std::hypot(x - h, z - h) < 0.6 * ph.radius();
                for (int d = 0; d < 25 && flat; ++d)
                    flat = ph.attenuation(x + d % 5 - 2 - h, z + d / 5 - 2 - h, axial) == a;
                if (flat) {
                    err += std::pow(f.resultRow(z)[x] - 2 * a, 2);
                    ref += 4 * a * a;
                    ++count;
                }
            }
        QVERIFY(count > 5000);
        QVERIFY2(std::sqrt(err / ref) < 0.04, qPrintable(QString::number(std::sqrt(err / ref))));
    }

    // The vectorised back projection gives the plain loop's bits on every instruction set this processor has.
    void sameBitsAsReference_data()
    {
        QTest::addColumn<BpCase>("c");
        QTest::newRow("N 2") << BpCase{2, 3, 0.0, M_PI / 3, {0.0, 0.0, 2.0, 2.0}};
        QTest::newRow("N 6, odd region") << BpCase{6, 5, 0.3, 0.7, {1.5, 0.9, 5.0, 5.5}};
        QTest::newRow("N 8, step 0 (t integral)") << BpCase{8, 2, 0.0, 0.0, {0.0, 0.0, 8.0, 8.0}};
        QTest::newRow("N 7 (odd, centre between pixels)") << BpCase{7, 6, 0.2, 0.9, {0.0, 0.0, 7.0, 7.0}};
        QTest::newRow("N 64, negative step") << BpCase{64, 17, 1.0, -0.37, {0.0, 0.0, 64.0, 64.0}};
        QTest::newRow("N 64, region past the grid") << BpCase{64, 9, -2.0, 0.5, {-7.5, -3.2, 70.9, 99.0}};
        QTest::newRow("N 130, odd interior region") << BpCase{130, 11, 0.1, 0.29, {17.3, 5.8, 111.1, 77.7}};
        QTest::newRow("N 300, partial tiles") << BpCase{300, 13, 2.5, 0.61, {0.0, 0.0, 300.0, 300.0}};
        QTest::newRow("N 1024, large angles") << BpCase{1024, 5, 1e3, 123.456, {0.0, 0.0, 1024.0, 1024.0}};
        QTest::newRow("N 2048, thin strip") << BpCase{2048, 6, 0.2, 0.5, {3.5, 1000.0, 2040.0, 1003.5}};
    }
    void sameBitsAsReference()
    {
        QFETCH(BpCase, c);
        const int n = c.n, m = c.m;
        std::mt19937_64 rng(std::uint64_t(n) * 31 + m);
        // NaN in the padding: a lane interpolating outside the N samples turns its pixel into NaN.
        const std::size_t stride = std::size_t(n) + 2 * kBpPad;
        std::vector<double> data(stride * std::size_t(m), std::numeric_limits<double>::quiet_NaN());
        std::vector<const double*> q;
        std::normal_distribution<double> g(0.0, 1.0);
        for (int i = 0; i < m; ++i) {
            double* row = data.data() + std::size_t(i) * stride + kBpPad;
            for (int k = 0; k < n; ++k)
                row[k] = g(rng) * std::pow(10.0, (k % 7) - 3);
            q.push_back(row);
        }
        // A non-zero start shows that values are added to, not written over.
        std::vector<double> start(std::size_t(n) * n);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (double& v : start)
            v = u(rng);
        std::vector<double> ref = start;
        for (int i = 0; i < m; ++i)
            backProjectReference(ref.data(), n, q[std::size_t(i)], bpAngle(c.origin, c.step, i), c.region);
        QVERIFY(std::memcmp(ref.data(), start.data(), ref.size() * sizeof(double)) != 0 || n <= 2);
        for (BpIsa isa : {BpIsa::Scalar, BpIsa::Avx2, BpIsa::Avx512}) {
            if (!bpIsaAvailable(isa))
                continue;
            std::vector<double> blocked = start, single = start;
            backProjectFast(blocked.data(), n, q.data(), m, 0, c.origin, c.step, c.region, isa);
            QVERIFY2(std::memcmp(blocked.data(), ref.data(), ref.size() * sizeof(double)) == 0, bpIsaName(isa));
            for (int i = 0; i < m; ++i)
                backProjectFast(single.data(), n, &q[std::size_t(i)], 1, i, c.origin, c.step, c.region, isa);
            QVERIFY2(std::memcmp(single.data(), ref.data(), ref.size() * sizeof(double)) == 0, bpIsaName(isa));
        }
    }

    // A buffer that is not where the engine expects it corrupts results; one
    // that is not marked pays the page faults this exists to avoid.
    void allocations_data()
    {
        QTest::addColumn<qulonglong>("bytes");
        QTest::newRow("empty") << qulonglong(0);
        QTest::newRow("small, from the heap") << qulonglong(100);
        QTest::newRow("just below a huge page") << qulonglong(kHugePage - 8);
        QTest::newRow("one huge page") << qulonglong(kHugePage);
        QTest::newRow("odd size over three") << qulonglong(3 * kHugePage + 12345);
    }
    void allocations()
    {
        QFETCH(qulonglong, bytes);
        BigVector<std::uint8_t> v(bytes);
        for (std::size_t i = 0; i < v.size(); i += 4093)
            v[i] = std::uint8_t(i);
        for (std::size_t i = 0; i < v.size(); i += 4093)
            QCOMPARE(v[i], std::uint8_t(i));
        if (bytes >= kHugePage) {
            QCOMPARE(reinterpret_cast<std::uintptr_t>(v.data()) % kHugePage, std::uintptr_t(0));
            QFile thp(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
            const bool offered = thp.open(QIODevice::ReadOnly) && !thp.readAll().contains("[never]");
            const QByteArray map = mappingOf(v.data());
            if (offered && map.contains("THPeligible"))
                QVERIFY2(QRegularExpression("THPeligible: +1\n").match(QString::fromLatin1(map)).hasMatch(), map.constData());
        }
        v.resize(v.size() * 2 + 1, 7); // moves to a new block, the old one is returned
        QCOMPARE(v.back(), std::uint8_t(7));
    }
};

QTEST_GUILESS_MAIN(TstCtFft)
#include "tst_ctfft.moc"
