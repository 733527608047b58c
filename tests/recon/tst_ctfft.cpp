#include "recon/ctfft.h"
#include "recon/hsgm.h"
#include "recon/procparams.h"
#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

// Filtered back projection: filter numbers, geometry, regions, set-up,
// normalisation and a reconstruction against the known phantom.
class TstCtFft : public QObject
{
    Q_OBJECT

private slots:
    void rampWeights_data();
    void rampWeights();
    void constantRowsGiveZero_data();
    void constantRowsGiveZero();
    void brightSampleDrawsLine_data();
    void brightSampleDrawsLine();
    void regionRules_data();
    void regionRules();
    void setupKeepsPlansForSameSize();
    void runAllFitsItsSetup_data();
    void runAllFitsItsSetup();
    void normalisedByProjectionsUsed();
    void emptyOrTinySinogram_data();
    void emptyOrTinySinogram();
    void concurrentSetups();
    void phantomReconstruction_data();
    void phantomReconstruction();
};

namespace {

// A sinogram of `rows` rows and `width` columns filled by f(row, column).
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

// Exactly inside the inscribed circle, in integers: |2x - N|^2 + |2z - N|^2 < N^2.
bool insideCircleExact(int x, int z, int n)
{
    const long dx = 2L * x - n, dz = 2L * z - n;
    return dx * dx + dz * dz < long(n) * n;
}

double at(const CtFft& f, int x, int z)
{
    return f.resultRow(z)[x];
}

} // namespace

void TstCtFft::rampWeights_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("bin");
    QTest::addColumn<bool>("sine");
    QTest::addColumn<int>("count");
    QTest::newRow("N 2, Nyquist") << 2 << 1 << false << 1;
    QTest::newRow("N 2, DC") << 2 << 0 << false << 3;
    QTest::newRow("N 8, lowest") << 8 << 1 << false << 5;
    QTest::newRow("N 8, below Nyquist, sine") << 8 << 3 << true << 5;
    QTest::newRow("N 8, Nyquist") << 8 << 4 << false << 360;
    QTest::newRow("N 6, Nyquist") << 6 << 3 << false << 2;
    QTest::newRow("N 64, high, sine") << 64 << 31 << true << 7;
    QTest::newRow("N 64, count 0 leaves the scale at 1") << 64 << 5 << false << 0;
}

// A pure frequency m comes out multiplied by |m| * 2 pi / N and divided by
// count * N (the unnormalised inverse brings back a factor N).
void TstCtFft::rampWeights()
{
    QFETCH(int, n);
    QFETCH(int, bin);
    QFETCH(bool, sine);
    QFETCH(int, count);
    std::vector<double> row(std::size_t(n) + 1, 99.0); // the extra value must be ignored
    for (int k = 0; k < n; ++k) {
        const double a = 2.0 * M_PI * bin * k / n;
        row[std::size_t(k)] = sine ? std::sin(a) : std::cos(a);
    }
    CtFft f;
    f.setup(n, 2);
    QVERIFY(f.transform(row.data(), 1));
    QVERIFY(f.filter(1, count));
    const double gain = bin * 2.0 * M_PI / n * (count == 0 ? double(n) : 1.0 / count);
    for (int k = 0; k < n; ++k)
        QVERIFY2(std::abs(f.filtered(1)[k] - gain * row[std::size_t(k)]) < 1e-12 * std::max(1.0, gain * n),
                 qPrintable(QStringLiteral("k %1: %2 vs %3").arg(k).arg(f.filtered(1)[k]).arg(gain * row[k])));
}

void TstCtFft::constantRowsGiveZero_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("rows");
    QTest::addColumn<double>("rangeDeg");
    QTest::newRow("small, 180 deg") << 9 << 6 << 180.0;
    QTest::newRow("medium, 360 deg") << 129 << 50 << 360.0;
    QTest::newRow("N 2") << 3 << 4 << 180.0;
}

void TstCtFft::constantRowsGiveZero()
{
    QFETCH(int, width);
    QFETCH(int, rows);
    QFETCH(double, rangeDeg);
    const HSgm s = makeSgm(rows, width, [](int k, int) { return 1.0 + 0.37 * k; });
    CtFft f;
    QVERIFY(f.runAll(s, angles(12.0, rangeDeg, rows, 0), CalcRegion::full(width - 1)));
    double worst = 0.0;
    for (double v : f.result())
        worst = std::max(worst, std::abs(v));
    QVERIFY2(worst < 1e-12, qPrintable(QString::number(worst)));
}

void TstCtFft::brightSampleDrawsLine_data()
{
    QTest::addColumn<double>("originDeg");
    QTest::addColumn<double>("rangeDeg");
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("start");
    QTest::addColumn<double>("lineDeg");
    QTest::addColumn<QPoint>("onLine"); // (x, z), hand-placed on the line
    // N = 64, h = 32, bright sample at column 40 (8 right of the CoR).
    QTest::newRow("0 deg: column 40") << 0.0 << 180.0 << 180 << 0 << 0.0 << QPoint(40, 20);
    QTest::newRow("90 deg: row 64 - 40") << 90.0 << 180.0 << 180 << 0 << 90.0 << QPoint(32, 24);
    QTest::newRow("180 deg: mirrored column") << 180.0 << 180.0 << 180 << 0 << 180.0 << QPoint(24, 30);
    QTest::newRow("partial set from image 10") << 5.0 << 180.0 << 360 << 10 << 10.0 << QPoint(-1, -1);
    QTest::newRow("360 deg set, image 3 of 8") << 0.0 << 360.0 << 8 << 3 << 135.0 << QPoint(-1, -1);
    QTest::newRow("negative origin") << -30.0 << 180.0 << 180 << 0 << -30.0 << QPoint(-1, -1);
}

// One projection with one bright sample: the slice shows the ray through
// that sample, (x - h) cos - (z - h) sin = 40 - h, at the row's angle.
void TstCtFft::brightSampleDrawsLine()
{
    QFETCH(double, originDeg);
    QFETCH(double, rangeDeg);
    QFETCH(int, images);
    QFETCH(int, start);
    QFETCH(double, lineDeg);
    QFETCH(QPoint, onLine);
    const int n = 64, c0 = 40;
    const HSgm s = makeSgm(1, n + 1, [&](int, int c) { return c == c0 ? 1.0 : 0.0; });
    CtFft f;
    QVERIFY(f.runAll(s, angles(originDeg, rangeDeg, images, start), CalcRegion::full(n)));
    const double peak = f.max();
    QVERIFY(peak > 0.0);
    if (onLine.x() >= 0)
        QVERIFY(at(f, onLine.x(), onLine.y()) > 0.99 * peak);

    const double th = lineDeg * M_PI / 180.0, h = n / 2.0;
    int onCount = 0;
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            if (!insideCircleExact(x, z, n))
                continue;
            const double off = (x - h) * std::cos(th) - (z - h) * std::sin(th) - (c0 - h);
            const double v = at(f, x, z);
            if (std::abs(off) < 0.3) {
                ++onCount;
                QVERIFY2(v > 0.5 * peak, qPrintable(QStringLiteral("(%1, %2) %3").arg(x).arg(z).arg(v / peak)));
            } else if (std::abs(off) > 2.5) {
                QVERIFY2(std::abs(v) < 0.08 * peak, qPrintable(QStringLiteral("(%1, %2) %3").arg(x).arg(z).arg(v / peak)));
            }
        }
    }
    QVERIFY(onCount >= 10);
}

void TstCtFft::regionRules_data()
{
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("z0");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("z1");
    QTest::addColumn<QRect>("computed"); // columns and rows computed (before the circle)
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // N = 40
    QTest::newRow("full grid") << 0.0 << 0.0 << 40.0 << 40.0 << QRect(QPoint(0, 0), QPoint(39, 39));
    QTest::newRow("fractional bounds") << 2.7 << 3.2 << 10.5 << 9.0 << QRect(QPoint(2, 3), QPoint(10, 8));
    QTest::newRow("x1 <= trunc(x0)") << 5.9 << 0.0 << 5.0 << 40.0 << QRect();
    QTest::newRow("x1 just past trunc(x0)") << 5.9 << 0.0 << 5.01 << 40.0 << QRect(QPoint(5, 0), QPoint(5, 39));
    QTest::newRow("z1 <= trunc(z0)") << 0.0 << 7.5 << 40.0 << 7.0 << QRect();
    QTest::newRow("negative start") << -3.5 << -10.0 << 12.0 << 12.0 << QRect(QPoint(0, 0), QPoint(11, 11));
    QTest::newRow("past the grid") << 10.0 << 10.0 << 1e9 << 1e300 << QRect(QPoint(10, 10), QPoint(39, 39));
    QTest::newRow("infinite") << -inf << -inf << inf << inf << QRect(QPoint(0, 0), QPoint(39, 39));
    QTest::newRow("NaN") << nan << 0.0 << 40.0 << 40.0 << QRect();
}

// Inside the region and the circle a pixel has the full grid's value, bit
// for bit; everywhere else it is exactly 0; the pass is done either way.
void TstCtFft::regionRules()
{
    QFETCH(double, x0);
    QFETCH(double, z0);
    QFETCH(double, x1);
    QFETCH(double, z1);
    QFETCH(QRect, computed);
    const int n = 40;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const HSgm s = makeSgm(12, n + 1, [&](int, int) { return u(rng); });
    const ProcParams p = angles(0.0, 180.0, 12, 0);
    CtFft full, part;
    QVERIFY(full.runAll(s, p, CalcRegion::full(n)));
    QVERIFY(part.runAll(s, p, CalcRegion{x0, z0, x1, z1}));
    QVERIFY(part.done());
    int nonZero = 0;
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            const double v = at(part, x, z);
            if (computed.contains(x, z) && insideCircleExact(x, z, n)) {
                QVERIFY(std::memcmp(&v, full.resultRow(z) + x, sizeof v) == 0);
                nonZero += v != 0.0 ? 1 : 0;
            } else {
                QVERIFY2(v == 0.0, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(z)));
                QVERIFY(!std::signbit(v));
            }
        }
    }
    QCOMPARE(nonZero > 0, !computed.isEmpty());
}

// Plans are costly: the same N keeps plans and FFT buffers, whatever P does;
// a new N builds new ones that really have the new length.
void TstCtFft::setupKeepsPlansForSameSize()
{
    CtFft f;
    QCOMPARE(f.n(), 0);
    QCOMPARE(f.planBuilds(), 0);
    f.setup(64, 10);
    const fftw_complex* bufs[4] = {f.inBuffer(), f.outBuffer(), f.finBuffer(), f.foutBuffer()};
    const fftw_complex* firstSpectrum = f.spectrum(0);
    QCOMPARE(f.planBuilds(), 1);
    for (int p : {20, 3, 10, 10}) {
        f.setup(64, p);
        QCOMPARE(f.projections(), p);
        QCOMPARE(f.planBuilds(), 1);
        const fftw_complex* now[4] = {f.inBuffer(), f.outBuffer(), f.finBuffer(), f.foutBuffer()};
        QVERIFY(std::equal(bufs, bufs + 4, now));
        QCOMPARE(f.spectrum(0), firstSpectrum);
    }
    f.setup(48, 10);
    QCOMPARE(f.n(), 48);
    QCOMPARE(f.planBuilds(), 2);

    // The new plan transforms 48 samples: compare with a direct DFT.
    std::vector<double> row(48);
    for (int k = 0; k < 48; ++k)
        row[std::size_t(k)] = std::sin(0.3 * k * k) + 0.1 * k;
    QVERIFY(f.transform(row.data(), 9));
    for (int m = 0; m < 48; ++m) {
        std::complex<double> sum = 0.0;
        for (int k = 0; k < 48; ++k)
            sum += row[std::size_t(k)] * std::polar(1.0, -2.0 * M_PI * m * k / 48);
        QVERIFY(std::abs(std::complex<double>(f.spectrum(9)[m][0], f.spectrum(9)[m][1]) - sum) < 1e-9);
    }
    f.setup(0, 5);
    QCOMPARE(f.n(), 0);
    MessageCapture messages;
    QVERIFY(!f.transform(row.data(), 0));
    QCOMPARE(messages.lines().size(), 1);
}

void TstCtFft::runAllFitsItsSetup_data()
{
    QTest::addColumn<int>("setupN");
    QTest::addColumn<int>("setupP");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("rows");
    QTest::newRow("as set up") << 32 << 20 << 33 << 20;
    QTest::newRow("fewer rows than set up") << 32 << 20 << 33 << 7;
    // A partial data set may wrap around and use more images than the set has.
    QTest::newRow("more rows than set up") << 32 << 20 << 33 << 45;
    QTest::newRow("other width") << 32 << 20 << 51 << 20;
    QTest::newRow("never set up") << 0 << 0 << 21 << 5;
}

// Whatever the engine was set up for, a run gives the numbers of an engine
// set up exactly for its sinogram.
void TstCtFft::runAllFitsItsSetup()
{
    QFETCH(int, setupN);
    QFETCH(int, setupP);
    QFETCH(int, width);
    QFETCH(int, rows);
    std::mt19937 rng(width + rows);
    std::normal_distribution<double> g(0.0, 1.0);
    const HSgm s = makeSgm(rows, width, [&](int, int) { return g(rng); });
    const ProcParams p = angles(0.0, 180.0, rows, 0);
    CtFft fresh, reused;
    fresh.setup(width - 1, rows);
    QVERIFY(fresh.runAll(s, p, CalcRegion::full(width - 1)));
    reused.setup(setupN, setupP);
    QVERIFY(reused.runAll(s, p, CalcRegion::full(width - 1)));
    QCOMPARE(reused.n(), width - 1);
    QVERIFY(reused.projections() >= rows);
    QCOMPARE(reused.result().size(), std::size_t(width - 1) * std::size_t(width - 1));
    QVERIFY(std::memcmp(reused.result().data(), fresh.result().data(), fresh.result().size() * sizeof(double)) == 0);
}

// Both owners divide by the projections actually back-projected, whatever
// count the engine was set up with, so a partial data set gives the panel's
// numbers in a worker too; the panel's one-at-a-time steps give the same bits.
void TstCtFft::normalisedByProjectionsUsed()
{
    const int width = 65, rows = 30, n = width - 1;
    std::mt19937 rng(11);
    std::normal_distribution<double> g(0.0, 1.0);
    const HSgm s = makeSgm(rows, width, [&](int, int) { return g(rng); });
    ProcParams p = angles(3.0, 180.0, 360, 100);
    p.usingImages = rows;
    const CalcRegion region{4.5, 2.0, 60.0, 61.5};

    CtFft worker;
    worker.setup(n, 360); // the workers are set up with the images in the set
    QVERIFY(worker.runAll(s, p, region));

    CtFft panel;
    panel.setup(n, rows);
    panel.allocResult();
    for (int i = 0; i < rows; ++i) {
        QVERIFY(panel.transform(s.sgmRow(i), i));
        QVERIFY(panel.filter(i, rows));
        QVERIFY(panel.backProject(i, region, p.startAngle(), p.angleStep()));
    }
    QVERIFY(std::memcmp(worker.result().data(), panel.result().data(), panel.result().size() * sizeof(double)) == 0);

    panel.findExtremes();
    QCOMPARE(panel.min(), *std::min_element(panel.result().begin(), panel.result().end()));
    QCOMPARE(panel.max(), *std::max_element(panel.result().begin(), panel.result().end()));
    QCOMPARE(worker.min(), panel.min());
    QCOMPARE(worker.max(), panel.max());
}

void TstCtFft::emptyOrTinySinogram_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("result");
    QTest::newRow("no rows") << 0 << 33 << false;
    QTest::newRow("width 0") << 5 << 0 << false;
    QTest::newRow("width 1: grid 0") << 5 << 1 << false;
    QTest::newRow("width 2: grid 2") << 5 << 2 << true;
    QTest::newRow("width 3: grid 2") << 5 << 3 << true;
}

void TstCtFft::emptyOrTinySinogram()
{
    QFETCH(int, rows);
    QFETCH(int, width);
    QFETCH(bool, result);
    const HSgm s = makeSgm(rows, width, [](int k, int c) { return k + c; });
    CtFft f;
    f.setup(16, 4);
    f.allocResult();
    QCOMPARE(f.runAll(s, angles(0.0, 180.0, 5, 0), CalcRegion::full(16)), result);
    QCOMPARE(f.done(), result);
    if (result) {
        QCOMPARE(f.n(), 2);
        // The only pixel inside a 2 x 2 grid's circle meets t = 1 = N - 1,
        // outside the interpolation range: the result is zeros.
        QCOMPARE(f.result(), std::vector<double>(4, 0.0));
    }
}

// Workers set up their engines at the same time; FFTW's planner must not
// run twice at once, and every engine must transform with its own length.
void TstCtFft::concurrentSetups()
{
    const int workers = 4, rounds = 25;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([w, &wrong] {
            CtFft f;
            for (int r = 0; r < rounds; ++r) {
                const int n = 8 + 2 * ((w * 7 + r * 3) % 40);
                f.setup(n, 3);
                std::vector<double> row(static_cast<std::size_t>(n));
                for (int k = 0; k < n; ++k)
                    row[std::size_t(k)] = std::cos(2.0 * M_PI * 3 * k / n);
                f.transform(row.data(), 2);
                f.filter(2, 1);
                for (int k = 0; k < n; ++k)
                    if (std::abs(f.filtered(2)[k] - 3 * 2.0 * M_PI / n * row[std::size_t(k)]) > 1e-12)
                        ++wrong;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    QCOMPARE(wrong.load(), 0);
}

void TstCtFft::phantomReconstruction_data()
{
    QTest::addColumn<double>("rangeDeg");
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("used");
    QTest::addColumn<int>("margin"); // detector half width over the phantom's
    QTest::newRow("180 deg") << 180.0 << 360 << 0 << 360 << 4;
    QTest::newRow("360 deg") << 360.0 << 720 << 0 << 720 << 4;
    QTest::newRow("half of a 360 deg set") << 360.0 << 360 << 45 << 180 << 4;
    QTest::newRow("180 deg, narrower detector") << 180.0 << 360 << 0 << 360 << 3;
}

// The sinogram holds exact line integrals of the phantom (column c is
// detector position c - (half - 1) from the CoR). The result is the ramp-
// filtered sum over projections divided by M; continuous filtered back
// projection gives the attenuation as (1 / 2 pi) * (integral over 180 deg),
// i.e. pi / M per projection / (2 pi) = 1 / (2 M), so the result is twice the
// attenuation per pixel for any set covering 180 or 360 degrees.
// The ramp is applied without zero padding, so its kernel wraps around the
// detector: every filtered row is lowered by about pi / (3 N^2) times the
// slice's total attenuation. With the sample in the middle of a detector a
// few times wider than the sample, as at the beamline, that stays small.
void TstCtFft::phantomReconstruction()
{
    QFETCH(double, rangeDeg);
    QFETCH(int, images);
    QFETCH(int, start);
    QFETCH(int, used);
    QFETCH(int, margin);
    const int phHalf = 100;
    PhantomSpec phantomSpec;
    phantomSpec.width = 2 * phHalf + 1;
    phantomSpec.height = 64;
    phantomSpec.cor = phHalf;
    const Phantom ph(phantomSpec);
    const double axial = 23.5; // through the small inner parts
    const int half = margin * phHalf, width = 2 * half - 1, n = width - 1;
    const ProcParams p = angles(0.0, rangeDeg, images, start);
    const HSgm s = makeSgm(used, width, [&](int k, int c) {
        return ph.lineIntegral(c - (half - 1), axial, bpAngle(p.startAngle(), p.angleStep(), k));
    });
    const double h = n / 2.0;
    const CalcRegion around{h - phHalf, h - phHalf, h + phHalf, h + phHalf};
    CtFft f;
    QVERIFY(f.runAll(s, p, around));

    // Compare inside the skull, away from edges of the parts, where point
    // samples of the attenuation are what the pixel should hold (the bone's
    // sharp, point-sampled edges ring into their surroundings).
    std::vector<std::pair<double, double>> pairs; // (attenuation, result)
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            if (std::hypot(x - h, z - h) > 0.6 * ph.radius())
                continue;
            const double a = ph.attenuation(x - h, z - h, axial);
            bool flat = true;
            for (int dz = -2; dz <= 2 && flat; ++dz)
                for (int dx = -2; dx <= 2 && flat; ++dx)
                    flat = ph.attenuation(x + dx - h, z + dz - h, axial) == a;
            if (flat)
                pairs.emplace_back(a, at(f, x, z));
        }
    }
    QVERIFY(pairs.size() > 5000);
    double sar = 0.0, saa = 0.0;
    for (const auto& [a, r] : pairs) {
        sar += a * r;
        saa += a * a;
    }
    const double factor = sar / saa;
    double err = 0.0, ref = 0.0;
    for (const auto& [a, r] : pairs) {
        err += (r - factor * a) * (r - factor * a);
        ref += (factor * a) * (factor * a);
    }
    const double relRms = std::sqrt(err / ref);
    qInfo().noquote() << QStringLiteral("scale %1, relative RMS error %2 over %3 pixels")
                             .arg(factor, 0, 'f', 4)
                             .arg(relRms, 0, 'f', 4)
                             .arg(pairs.size());
    QVERIFY2(std::abs(factor - 2.0) < 0.06, qPrintable(QString::number(factor)));
    QVERIFY2(relRms < 0.05, qPrintable(QString::number(relRms)));
}

QTEST_GUILESS_MAIN(TstCtFft)
#include "tst_ctfft.moc"
