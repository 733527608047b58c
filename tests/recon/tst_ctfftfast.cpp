#include "recon/backproject.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

struct BpCase {
    int n, m;
    double origin, step;
    CalcRegion region;
};
Q_DECLARE_METATYPE(BpCase)

// The vectorised back projection gives the plain loop's bits on every instruction set this processor has.
class TstCtFftFast : public QObject
{
    Q_OBJECT

private slots:
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
};

QTEST_GUILESS_MAIN(TstCtFftFast)
#include "tst_ctfftfast.moc"
