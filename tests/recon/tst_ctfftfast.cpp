#include "recon/backproject.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

Q_DECLARE_METATYPE(CalcRegion)

// The vectorised back projection must give the plain loop's bits for every
// size, angle and region, on every instruction set this processor has.
class TstCtFftFast : public QObject
{
    Q_OBJECT

private slots:
    void sameBitsAsReference_data();
    void sameBitsAsReference();
};

namespace {

QList<BpIsa> availableIsas()
{
    QList<BpIsa> out;
    for (BpIsa isa : {BpIsa::Scalar, BpIsa::Avx2, BpIsa::Avx512})
        if (bpIsaAvailable(isa))
            out << isa;
    return out;
}

} // namespace

void TstCtFftFast::sameBitsAsReference_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("m");
    QTest::addColumn<double>("origin");
    QTest::addColumn<double>("step");
    QTest::addColumn<CalcRegion>("region");
    QTest::addColumn<uint>("seed");
    QTest::newRow("N 2") << 2 << 3 << 0.0 << M_PI / 3 << CalcRegion{0.0, 0.0, 2.0, 2.0} << 1u;
    QTest::newRow("N 6, odd region") << 6 << 5 << 0.3 << 0.7 << CalcRegion{1.5, 0.9, 5.0, 5.5} << 3u;
    QTest::newRow("N 8, step 0 (t integral)") << 8 << 2 << 0.0 << 0.0 << CalcRegion{0.0, 0.0, 8.0, 8.0} << 4u;
    QTest::newRow("N 7 (odd, centre between pixels)") << 7 << 6 << 0.2 << 0.9 << CalcRegion{0.0, 0.0, 7.0, 7.0} << 14u;
    QTest::newRow("N 64, negative step") << 64 << 17 << 1.0 << -0.37 << CalcRegion{0.0, 0.0, 64.0, 64.0} << 7u;
    QTest::newRow("N 64, region past the grid") << 64 << 9 << -2.0 << 0.5 << CalcRegion{-7.5, -3.2, 70.9, 99.0} << 8u;
    QTest::newRow("N 130, odd interior region") << 130 << 11 << 0.1 << 0.29 << CalcRegion{17.3, 5.8, 111.1, 77.7} << 9u;
    QTest::newRow("N 300, partial tiles") << 300 << 13 << 2.5 << 0.61 << CalcRegion{0.0, 0.0, 300.0, 300.0} << 10u;
    QTest::newRow("N 1024, large angles") << 1024 << 5 << 1e3 << 123.456 << CalcRegion{0.0, 0.0, 1024.0, 1024.0} << 12u;
    QTest::newRow("N 2048, thin strip") << 2048 << 6 << 0.2 << 0.5 << CalcRegion{3.5, 1000.0, 2040.0, 1003.5} << 13u;
}

void TstCtFftFast::sameBitsAsReference()
{
    QFETCH(int, n);
    QFETCH(int, m);
    QFETCH(double, origin);
    QFETCH(double, step);
    QFETCH(CalcRegion, region);
    QFETCH(uint, seed);
    std::mt19937_64 rng(seed);
    // NaN in the padding: a vector lane that interpolated from outside the
    // N samples would turn its pixel into NaN.
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
        backProjectReference(ref.data(), n, q[std::size_t(i)], bpAngle(origin, step, i), region);
    QVERIFY(std::memcmp(ref.data(), start.data(), ref.size() * sizeof(double)) != 0 || n <= 2);

    for (BpIsa isa : availableIsas()) {
        std::vector<double> blocked = start;
        backProjectFast(blocked.data(), n, q.data(), m, 0, origin, step, region, isa);
        QVERIFY2(std::memcmp(blocked.data(), ref.data(), ref.size() * sizeof(double)) == 0, bpIsaName(isa));

        std::vector<double> single = start;
        for (int i = 0; i < m; ++i)
            backProjectFast(single.data(), n, &q[std::size_t(i)], 1, i, origin, step, region, isa);
        QVERIFY2(std::memcmp(single.data(), ref.data(), ref.size() * sizeof(double)) == 0, bpIsaName(isa));
    }
}

QTEST_GUILESS_MAIN(TstCtFftFast)
#include "tst_ctfftfast.moc"
