#include "display/colorbar.h"
#include "display/colorscale.h"
#include "tests/display/mouseevents.h"

#include <QLineEdit>
#include <QtTest>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {
// Label pixels are the text colour (0, 255, 192) blended into the grey ramp:
// green well above red, and blue below green (unlike the marker lines).
bool isLabel(QRgb p)
{
    return qGreen(p) - qRed(p) > 100 && qBlue(p) < qGreen(p);
}

// First and last row holding label pixels, -1 when none.
QPair<int, int> labelRows(const QImage& img, int yFrom, int yTo)
{
    int first = -1, last = -1;
    for (int y = yFrom; y < yTo; ++y)
        for (int x = 0; x < img.width(); ++x)
            if (isLabel(img.pixel(x, y))) {
                first = first < 0 ? y : first;
                last = y;
            }
    return {first, last};
}

QLineEdit* edit(const ColorBar& bar, const char* name)
{
    return bar.controls()->findChild<QLineEdit*>(QLatin1String(name));
}
} // namespace

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

// The colour bar and the grey scale behind it: the grey level of every
// value, markers dragged on the bar, labels and typed ranges.
class TstColorBar : public QObject
{
    Q_OBJECT

private slots:
    void markers_data();
    void markers();
    void labelsSitInTheirBoxes();
    void rangeEdits();
    void levels_data();
    void levels();
};

// Bar 400 pixels high: a press or move at y is the place t = (400 - y) / 400;
// frame row y shows ramp row 399 - y, the grey of t = (399 - y) / 400.
void TstColorBar::markers_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<int>("newBars");
    QTest::addColumn<QList<int>>("ramp"); // frame row, grey level, ...
    // Markers 0.25 and 0.75: g = (t - 0.25) * 512.
    QTest::newRow("nearer marker is grabbed") << "p10,399 m10,300 r10,300 p10,1 m10,100 r10,100" << 0.25 << 0.75
                                              << 2 << QList<int>{299, 0, 250, 62, 199, 128, 150, 190, 101, 253};
    // Swapped: white at the bottom, black at the top.
    QTest::newRow("lower marker above the upper") << "p10,399 m10,100 r10,100 p10,1 m10,300 r10,300" << 0.75
                                                  << 0.25 << 2 << QList<int>{320, 255, 280, 231, 120, 26, 80, 0};
    QTest::newRow("dragged past the bar's end") << "p10,390 m10,500 r10,500" << -0.25 << 1.0 << 1 << QList<int>{};
    QTest::newRow("tie grabs nothing, moves repaint") << "p10,200 m10,100 m10,390 r10,390" << 0.0 << 1.0 << 2
                                                      << QList<int>{299, 64, 199, 128, 100, 191};
    QTest::newRow("hover does nothing") << "h10,390 h10,100" << 0.0 << 1.0 << 0 << QList<int>{};
    QTest::newRow("released marker stays") << "p10,390 m10,300 r10,300 h10,200" << 0.25 << 1.0 << 1
                                           << QList<int>{};
}

void TstColorBar::markers()
{
    QFETCH(QString, script);
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(int, newBars);
    QFETCH(QList<int>, ramp);
    ColorBar bar;
    bar.resize(30, 400);
    QSignalSpy newBar(&bar, &ColorBar::newBar);
    gesture(&bar, script);
    QCOMPARE(bar.scale().lo, lo);
    QCOMPARE(bar.scale().hi, hi);
    QCOMPARE(newBar.count(), newBars);
    if (ramp.isEmpty())
        return;
    const QImage img = renderOf(&bar);
    for (int k = 0; k + 1 < ramp.size(); k += 2)
        for (int x : {0, 29})
            QCOMPARE(img.pixel(x, ramp[k]), qRgb(ramp[k + 1], ramp[k + 1], ramp[k + 1]));
    // Marker lines at trunc((1 - marker) * H), across the whole width.
    for (const double m : {lo, hi}) {
        const int y = int((1.0 - m) * 400);
        for (int x : {0, 15, 29})
            QVERIFY(y <= 0 || y >= 400 || img.pixel(x, y) == qRgb(0, 192, 255));
    }
}

void TstColorBar::labelsSitInTheirBoxes()
{
    ColorBar bar;
    bar.resize(30, 400);
    bar.setMinV(-12.5);
    bar.setMaxV(3000);
    QImage img = renderOf(&bar);
    // vmax near the top (box 95 long centred at y 50), starting at its top;
    // vmin near the bottom, ending at its bottom; nothing in the middle.
    const auto top = labelRows(img, 0, 200);
    const auto bottom = labelRows(img, 200, 400);
    QVERIFY(top.first >= 2 && top.first < 20 && top.second <= 98);
    QVERIFY(bottom.first >= 302 && bottom.second > 380 && bottom.second <= 398);
    QCOMPARE(labelRows(img, 110, 290).first, -1);
    // While a marker is held its value shows in the middle, ending at y 248.
    gesture(&bar, "p10,395 m10,390");
    const auto mid = labelRows(renderOf(&bar), 110, 290);
    QVERIFY(mid.first >= 152 && mid.second > 220 && mid.second <= 248);
    gesture(&bar, "r10,390");
    QCOMPARE(labelRows(renderOf(&bar), 110, 290).first, -1);
}

// A number typed into an edit is taken as it is, any other text as 0; an
// owner's setting shows 6 significant digits and is not announced.
void TstColorBar::rangeEdits()
{
    ColorBar bar;
    bar.resize(30, 400);
    gesture(&bar, "p10,399 m10,300 r10,300");
    QSignalSpy newBar(&bar, &ColorBar::newBar);
    edit(bar, "CMinLE")->setText("-1e3");
    emit edit(bar, "CMinLE")->editingFinished();
    edit(bar, "CMaxLE")->setText("abc");
    emit edit(bar, "CMaxLE")->editingFinished();
    QCOMPARE(bar.minV(), -1000.0);
    QCOMPARE(bar.maxV(), 0.0);
    QCOMPARE(newBar.count(), 2);
    QCOMPARE(bar.scale().lo, 0.25); // markers stay
    bar.setMinV(-0.000123456789);
    bar.setMaxV(1234567.0);
    QCOMPARE(newBar.count(), 2);
    QCOMPARE(bar.minV(), -0.000123456789);
    QCOMPARE(edit(bar, "CMinLE")->text(), QStringLiteral("-0.000123457"));
    QCOMPARE(edit(bar, "CMaxLE")->text(), QStringLiteral("1.23457e+06"));
}

void TstColorBar::levels_data()
{
    QTest::addColumn<ColorScale>("s");
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("level");
    const ColorScale initial;
    QTest::newRow("initial middle") << initial << 0.5 << 128;
    QTest::newRow("initial top: 256 bins, clamped") << initial << 1.0 << 255;
    const ColorScale narrowed = scale(0, 100, 0.25, 0.75);
    QTest::newRow("at lower marker") << narrowed << 25.0 << 0;
    QTest::newRow("just under top bin") << narrowed << 74.8 << 254;
    QTest::newRow("last bin") << narrowed << 74.9 << 255;
    QTest::newRow("above range") << narrowed << 200.0 << 255;
    const ColorScale inverted = scale(0, 100, 0.75, 0.25);
    QTest::newRow("inverted markers: low value white") << inverted << 25.0 << 255;
    QTest::newRow("inverted markers: high value black") << inverted << 75.0 << 0;
    QTest::newRow("inverted range") << scale(1, 0, 0, 1) << 0.25 << 192;
    QTest::newRow("zero range at the point") << scale(5, 5, 0, 1) << 5.0 << 0;
    QTest::newRow("zero range above") << scale(5, 5, 0, 1) << 6.0 << 255;
    QTest::newRow("equal markers at the point") << scale(0, 1, 0.5, 0.5) << 0.5 << 0;
    QTest::newRow("equal markers above") << scale(0, 1, 0.5, 0.5) << 0.6 << 255;
    QTest::newRow("NaN value") << initial << kNaN << 0;
    QTest::newRow("plus infinity") << initial << kInf << 255;
    QTest::newRow("infinite range bound") << scale(-kInf, kInf, 0, 1) << 3.0 << 0;
    QTest::newRow("NaN bound") << scale(kNaN, 1, 0, 1) << 0.5 << 0;
    QTest::newRow("tiny range") << scale(1, 1 + 1e-12, 0, 1) << 1 + 3e-13 << 76;
    QTest::newRow("markers past the ends") << scale(-3, 1000, -2, 3) << 500.0 << 128;
}

// The bulk form must give the single-value result bit for bit, here for the
// row's value among a spread of others, with an odd length and an offset
// start (the vector loop's tail and unaligned data).
void TstColorBar::levels()
{
    QFETCH(ColorScale, s);
    QFETCH(double, v);
    QFETCH(int, level);
    QCOMPARE(s.colorIndex(v), level);
    std::vector<double> values = {0.0, v, 0.0, -0.0, 1.0, -1.0, 2.0, kNaN, kInf, -kInf, 1e308, -1e308,
                                  std::numeric_limits<double>::denorm_min(), 1 + 1e-12, 0.3};
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> near(-2.0, 3.0), wide(-1e6, 1e6);
    for (int i = 0; i < 20001; ++i)
        values.push_back(i % 2 ? near(rng) : wide(rng));
    std::vector<uint8_t> grey(values.size(), 0xAA);
    s.mapToGrey(values.data() + 1, values.size() - 1, grey.data() + 1);
    QCOMPARE(int(grey[0]), 0xAA);
    QCOMPARE(int(grey[1]), level);
    for (std::size_t i = 1; i < values.size(); ++i)
        if (int(grey[i]) != s.colorIndex(values[i]))
            QFAIL(qPrintable(QStringLiteral("differs at value %1").arg(values[i], 0, 'g', 17)));
}

QTEST_MAIN(TstColorBar)
#include "tst_colorbar.moc"
