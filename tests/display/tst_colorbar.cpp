#include "display/colorscale.h"
#include "tests/display/rowname.h"

#include <QtTest>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

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

class TstColorBar : public QObject
{
    Q_OBJECT

private slots:
    // The bulk form gives the single-value bits, also in the vector loop's tail and on unaligned data.
    void levels()
    {
        const ColorScale initial, narrowed = scale(0, 100, 0.25, 0.75), inverted = scale(0, 100, 0.75, 0.25);
        const struct { const char* name; ColorScale s; double v; int level; } rows[] = {
            {"initial top: 256 bins, clamped", initial, 1.0, 255},
            {"at lower marker", narrowed, 25.0, 0},
            {"just under top bin", narrowed, 74.8, 254},
            {"last bin", narrowed, 74.9, 255},
            {"inverted markers: low value white", inverted, 25.0, 255},
            {"inverted range", scale(1, 0, 0, 1), 0.25, 192},
            {"zero range at the point", scale(5, 5, 0, 1), 5.0, 0},
            {"zero range above", scale(5, 5, 0, 1), 6.0, 255},
            {"equal markers at the point", scale(0, 1, 0.5, 0.5), 0.5, 0},
            {"equal markers above", scale(0, 1, 0.5, 0.5), 0.6, 255},
            {"NaN value", initial, kNaN, 0},
            {"plus infinity", initial, kInf, 255},
            {"infinite range bound", scale(-kInf, kInf, 0, 1), 3.0, 0},
            {"NaN bound", scale(kNaN, 1, 0, 1), 0.5, 0},
            {"tiny range", scale(1, 1 + 1e-12, 0, 1), 1 + 3e-13, 76},
            {"markers past the ends", scale(-3, 1000, -2, 3), 500.0, 128},
        };
        std::vector<double> values = {0.0, 0.0, -0.0, 1.0, -1.0, 2.0, kNaN, kInf, -kInf, 1e308, -1e308,
                                      std::numeric_limits<double>::denorm_min(), 1 + 1e-12, 0.3};
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> near(-2.0, 3.0), wide(-1e6, 1e6);
        for (int i = 0; i < 20001; ++i)
            values.push_back(i % 2 ? near(rng) : wide(rng));
        for (const auto& r : rows) {
            const RowName row{r.name};
            QCOMPARE(r.s.colorIndex(r.v), r.level);
            values[1] = r.v;
            std::vector<uint8_t> grey(values.size(), 0xAA);
            r.s.mapToGrey(values.data() + 1, values.size() - 1, grey.data() + 1);
            QCOMPARE(int(grey[0]), 0xAA);
            for (std::size_t i = 1; i < values.size(); ++i)
                if (int(grey[i]) != r.s.colorIndex(values[i]))
                    QFAIL(qPrintable(QString::number(values[i], 'g', 17)));
        }
    }
};

QTEST_MAIN(TstColorBar)
#include "tst_colorbar.moc"
