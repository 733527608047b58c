#include "display/colorscale.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

Q_DECLARE_METATYPE(ColorScale)

namespace {
ColorScale scale(double vmin, double vmax, double lo, double hi)
{
    ColorScale s;
    s.vmin = vmin;
    s.vmax = vmax;
    s.lo = lo;
    s.hi = hi;
    return s;
}
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

class TstColorScale : public QObject
{
    Q_OBJECT

private slots:
    void levels_data();
    void levels();
    void bulkMatchesSingle_data();
    void bulkMatchesSingle();
};

void TstColorScale::levels_data()
{
    QTest::addColumn<ColorScale>("s");
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("level");
    const ColorScale initial;
    QTest::newRow("initial middle") << initial << 0.5 << 128;
    QTest::newRow("initial bottom") << initial << 0.0 << 0;
    QTest::newRow("initial top: 256 bins, clamped") << initial << 1.0 << 255;
    const ColorScale narrowed = scale(0, 100, 0.25, 0.75);
    QTest::newRow("at lower marker") << narrowed << 25.0 << 0;
    QTest::newRow("between markers") << narrowed << 50.0 << 128;
    QTest::newRow("just under top bin") << narrowed << 74.8 << 254;
    QTest::newRow("last bin") << narrowed << 74.9 << 255;
    QTest::newRow("above range") << narrowed << 200.0 << 255;
    QTest::newRow("below range") << narrowed << -5.0 << 0;
    const ColorScale inverted = scale(0, 100, 0.75, 0.25);
    QTest::newRow("inverted markers: low value white") << inverted << 25.0 << 255;
    QTest::newRow("inverted markers: high value black") << inverted << 75.0 << 0;
    QTest::newRow("inverted range") << scale(1, 0, 0, 1) << 0.25 << 192;
    const ColorScale flat = scale(5, 5, 0, 1);
    QTest::newRow("zero range below") << flat << 4.0 << 0;
    QTest::newRow("zero range at the point") << flat << 5.0 << 0;
    QTest::newRow("zero range above") << flat << 6.0 << 255;
    const ColorScale tied = scale(0, 1, 0.5, 0.5);
    QTest::newRow("equal markers below") << tied << 0.4 << 0;
    QTest::newRow("equal markers at the point") << tied << 0.5 << 0;
    QTest::newRow("equal markers above") << tied << 0.6 << 255;
    QTest::newRow("NaN value") << initial << kNaN << 0;
    QTest::newRow("plus infinity") << initial << kInf << 255;
    QTest::newRow("minus infinity") << initial << -kInf << 0;
    QTest::newRow("infinite range bound") << scale(-kInf, kInf, 0, 1) << 3.0 << 0;
}

void TstColorScale::levels()
{
    QFETCH(ColorScale, s);
    QFETCH(double, v);
    QFETCH(int, level);
    QCOMPARE(s.colorIndex(v), level);
    uint8_t g = 7;
    s.mapToGrey(&v, 1, &g);
    QCOMPARE(int(g), level);
}

void TstColorScale::bulkMatchesSingle_data()
{
    QTest::addColumn<ColorScale>("s");
    QTest::newRow("initial") << ColorScale();
    QTest::newRow("narrowed") << scale(-3, 1000, 0.1, 0.9);
    QTest::newRow("inverted markers") << scale(0, 1, 1.2, -0.3);
    QTest::newRow("inverted range") << scale(10, -10, 0, 1);
    QTest::newRow("zero range") << scale(2, 2, 0, 1);
    QTest::newRow("equal markers") << scale(0, 1, 0.3, 0.3);
    QTest::newRow("both degenerate") << scale(0, 0, 1, 1);
    QTest::newRow("tiny range") << scale(1, 1 + 1e-12, 0, 1);
    QTest::newRow("NaN bound") << scale(kNaN, 1, 0, 1);
    QTest::newRow("infinite bound") << scale(0, kInf, 0, 1);
    QTest::newRow("markers past the ends") << scale(0, 1, -2, 3);
}

void TstColorScale::bulkMatchesSingle()
{
    QFETCH(ColorScale, s);
    std::vector<double> v = {0.0, -0.0, 1.0, -1.0, 2.0, 0.5, kNaN, kInf, -kInf, 1e308, -1e308,
                             std::numeric_limits<double>::denorm_min(), 1 + 1e-12, 0.3};
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> near(-2.0, 3.0);
    std::uniform_real_distribution<double> wide(-1e6, 1e6);
    for (int i = 0; i < 20000; ++i)
        v.push_back(i % 2 ? near(rng) : wide(rng));
    // Odd length and an offset start: the loop's tail and unaligned data.
    std::vector<uint8_t> grey(v.size() + 1, 0xAA);
    s.mapToGrey(v.data() + 1, v.size() - 1, grey.data() + 1);
    QCOMPARE(int(grey[0]), 0xAA);
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (int(grey[i]) != s.colorIndex(v[i]))
            QFAIL(qPrintable(QStringLiteral("value %1 at %2: bulk %3, single %4")
                                 .arg(v[i], 0, 'g', 17).arg(i).arg(grey[i]).arg(s.colorIndex(v[i]))));
    }
}

QTEST_APPLESS_MAIN(TstColorScale)
#include "tst_colorscale.moc"
