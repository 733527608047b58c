#include "display/colorbar.h"
#include "tests/display/mouseevents.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

namespace {
const QRgb markerColour = qRgb(0, 192, 255);

bool isGrey(QRgb p, int level)
{
    return qRed(p) == level && qGreen(p) == level && qBlue(p) == level;
}

// Label pixels are the text colour (0, 255, 192) blended into the grey ramp:
// green well above red, and blue below green (unlike the marker lines).
bool isLabel(QRgb p)
{
    return qGreen(p) - qRed(p) > 100 && qBlue(p) < qGreen(p);
}

// Vertical extent of the label pixels.
QPair<int, int> labelRows(const QImage& img, int yFrom, int yTo)
{
    int first = -1, last = -1;
    for (int y = yFrom; y < yTo; ++y)
        for (int x = 0; x < img.width(); ++x)
            if (isLabel(img.pixel(x, y))) {
                if (first < 0)
                    first = y;
                last = y;
            }
    return {first, last};
}

// Drags from y0 to y1 with the left button on a bar of height 400.
void drag(ColorBar& bar, int y0, int y1)
{
    press(&bar, QPoint(10, y0), Qt::LeftButton);
    move(&bar, QPoint(10, y1), Qt::LeftButton);
    release(&bar, QPoint(10, y1), Qt::LeftButton);
}
} // namespace

class TstColorBar : public QObject
{
    Q_OBJECT

private slots:
    void markerDrag_data();
    void markerDrag();
    void tieGrabsNothing();
    void hoverDoesNothing();
    void rampAndMarkerPixels_data();
    void rampAndMarkerPixels();
    void labelsSitInTheirBoxes();
    void editing_data();
    void editing();
    void settersAreSilent();
    void fixBox();
};

void TstColorBar::markerDrag_data()
{
    QTest::addColumn<int>("loFrom");
    QTest::addColumn<int>("loTo");
    QTest::addColumn<int>("hiFrom");
    QTest::addColumn<int>("hiTo");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("level");
    // Range 0..100; bar 400 pixels high, t = (400 - y) / 400.
    QTest::newRow("narrowed: lower marker") << 390 << 300 << 10 << 100 << 25.0 << 0;
    QTest::newRow("narrowed: middle") << 390 << 300 << 10 << 100 << 50.0 << 128;
    QTest::newRow("narrowed: last bin") << 390 << 300 << 10 << 100 << 74.9 << 255;
    QTest::newRow("lower above upper: high value dark") << 390 << 40 << 10 << 100 << 95.0 << 0;
    QTest::newRow("lower above upper: low value white") << 390 << 40 << 10 << 100 << 70.0 << 255;
    QTest::newRow("dragged past the bar's end") << 390 << 500 << 10 << 100 << 0.0 << 64;
}

void TstColorBar::markerDrag()
{
    QFETCH(int, loFrom);
    QFETCH(int, loTo);
    QFETCH(int, hiFrom);
    QFETCH(int, hiTo);
    QFETCH(double, value);
    QFETCH(int, level);
    ColorBar bar;
    bar.resize(30, 400);
    bar.setMaxV(100);
    QSignalSpy newBar(&bar, &ColorBar::newBar);
    drag(bar, loFrom, loTo);
    QCOMPARE(bar.scale().lo, (400.0 - loTo) / 400.0);
    QCOMPARE(bar.scale().hi, 1.0);
    drag(bar, hiFrom, hiTo);
    QCOMPARE(bar.scale().hi, (400.0 - hiTo) / 400.0);
    QCOMPARE(newBar.count(), 2);
    QCOMPARE(bar.colorIndex(value), level);
}

void TstColorBar::tieGrabsNothing()
{
    ColorBar bar;
    bar.resize(30, 400);
    QSignalSpy newBar(&bar, &ColorBar::newBar);
    press(&bar, QPoint(10, 200), Qt::LeftButton); // t = 0.5, halfway between 0 and 1
    move(&bar, QPoint(10, 100), Qt::LeftButton);
    move(&bar, QPoint(10, 390), Qt::LeftButton);
    release(&bar, QPoint(10, 390), Qt::LeftButton);
    QCOMPARE(bar.scale().lo, 0.0);
    QCOMPARE(bar.scale().hi, 1.0);
    QCOMPARE(newBar.count(), 2); // the moves still announce a repaint
}

void TstColorBar::hoverDoesNothing()
{
    ColorBar bar;
    bar.resize(30, 400);
    QSignalSpy newBar(&bar, &ColorBar::newBar);
    move(&bar, QPoint(10, 390));
    move(&bar, QPoint(10, 100));
    QCOMPARE(newBar.count(), 0);
    QCOMPARE(bar.scale().lo, 0.0);
}

void TstColorBar::rampAndMarkerPixels_data()
{
    QTest::addColumn<int>("loY");  // where the lower marker is dragged (-1: left alone)
    QTest::addColumn<int>("hiY");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<int>>("levels");
    // Bar 400 high: frame row y is ramp row i = 399 - y, t = i / 400.
    QTest::newRow("full ramp") << -1 << -1 << QList<int>{299, 199, 100} << QList<int>{64, 128, 191};
    // Markers at 0.25 (y 300) and 0.75 (y 100): g = (t - 0.25) * 512.
    QTest::newRow("narrowed ramp") << 300 << 100 << QList<int>{299, 250, 199, 150, 101}
                                   << QList<int>{0, 62, 128, 190, 253};
    // Markers swapped: white at the bottom, black at the top.
    QTest::newRow("inverted ramp") << 100 << 300 << QList<int>{320, 280, 120, 80} << QList<int>{255, 231, 26, 0};
}

void TstColorBar::rampAndMarkerPixels()
{
    QFETCH(int, loY);
    QFETCH(int, hiY);
    QFETCH(QList<int>, rows);
    QFETCH(QList<int>, levels);
    ColorBar bar;
    bar.resize(30, 400);
    if (loY >= 0) {
        drag(bar, 399, loY);
        drag(bar, 1, hiY);
    }
    const QImage img = renderOf(&bar);
    for (int k = 0; k < rows.size(); ++k)
        for (int x : {0, 29})
            QVERIFY2(isGrey(img.pixel(x, rows[k]), levels[k]),
                     qPrintable(QStringLiteral("row %1 x %2: %3 wanted grey %4")
                                    .arg(rows[k]).arg(x).arg(img.pixel(x, rows[k]), 0, 16).arg(levels[k])));
    if (loY >= 0) {
        // Marker lines at trunc((1 - marker) * H), across the whole width.
        for (int y : {loY, hiY})
            for (int x : {0, 15, 29})
                QCOMPARE(img.pixel(x, y), markerColour);
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
    // While a marker is held, its value is shown in the middle, ending at y 248.
    press(&bar, QPoint(10, 395), Qt::LeftButton);
    move(&bar, QPoint(10, 390), Qt::LeftButton);
    img = renderOf(&bar);
    const auto mid = labelRows(img, 110, 290);
    QVERIFY(mid.first >= 152 && mid.second > 220 && mid.second <= 248);
    release(&bar, QPoint(10, 390), Qt::LeftButton);
    QCOMPARE(labelRows(renderOf(&bar), 110, 290).first, -1);
}

void TstColorBar::editing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("number") << "2.5" << 2.5;
    QTest::newRow("exponent") << "-1e3" << -1000.0;
    QTest::newRow("not a number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
}

void TstColorBar::editing()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    ColorBar bar;
    bar.resize(30, 400);
    drag(bar, 399, 300);
    auto* minLE = bar.controls()->findChild<QLineEdit*>(QStringLiteral("CMinLE"));
    auto* maxLE = bar.controls()->findChild<QLineEdit*>(QStringLiteral("CMaxLE"));
    QVERIFY(minLE && maxLE);
    QSignalSpy newBar(&bar, &ColorBar::newBar);
    minLE->setText(text);
    emit minLE->editingFinished();
    QCOMPARE(bar.minV(), value);
    maxLE->setText(text);
    emit maxLE->editingFinished();
    QCOMPARE(bar.maxV(), value);
    QCOMPARE(newBar.count(), 2);
    QCOMPARE(bar.scale().lo, 0.25); // markers stay
}

void TstColorBar::settersAreSilent()
{
    ColorBar bar;
    QSignalSpy newBar(&bar, &ColorBar::newBar);
    bar.setMinV(-0.000123456789);
    bar.setMaxV(1234567.0);
    QCOMPARE(newBar.count(), 0);
    QCOMPARE(bar.minV(), -0.000123456789);
    QCOMPARE(bar.controls()->findChild<QLineEdit*>(QStringLiteral("CMinLE"))->text(), QStringLiteral("-0.000123457"));
    QCOMPARE(bar.controls()->findChild<QLineEdit*>(QStringLiteral("CMaxLE"))->text(), QStringLiteral("1.23457e+06"));
}

void TstColorBar::fixBox()
{
    ColorBar bar;
    auto* fix = bar.controls()->findChild<QCheckBox*>(QStringLiteral("CFix"));
    QCOMPARE(fix, bar.fixBox());
    QVERIFY(!bar.isFixed());
    bar.setFixColorScale(true);
    QVERIFY(fix->isChecked());
    fix->click();
    QVERIFY(!bar.isFixed());
    QCOMPARE(fix->text(), QStringLiteral("Fix"));
}

QTEST_MAIN(TstColorBar)
#include "tst_colorbar.moc"
