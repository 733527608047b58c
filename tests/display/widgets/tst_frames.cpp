#include "display/chcoord.h"
#include "display/widgets/dispa.h"
#include "tests/display/mouseevents.h"

#include <QtTest>

// Real range 0..100 on a 0..100 screen area (101 x 101), painted once so that the area is in force.
static void prepare(DispA& d)
{
    d.resize(101, 101);
    renderOf(&d);
    d.coord()->setRealCoord(0, 0, 100, 100);
}

class TstFrames : public QObject
{
    Q_OBJECT

private slots:
    // Shift + left pans, a plain right drag zooms; the move reports its position in the range before it.
    void drags_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QRectF>("range"); // (rx0, ry0) and (rx1, ry1) as corners
        QTest::addColumn<QPointF>("at");
        const QRectF whole(0, 0, 100, 100);
        QTest::newRow("shift left pans") << "p50,50s m60,45s r60,45s" << QRectF(QPointF(-10, -5), QPointF(90, 95))
                                         << QPointF(60, 55);
        QTest::newRow("shift ctrl left does not pan") << "p50,50sc m60,45sc r60,45sc" << whole << QPointF(60, 55);
        QTest::newRow("right: lower left to upper right flips y")
            << "q20,80 m60,30 r60,30" << QRectF(QPointF(20, 70), QPointF(60, 20)) << QPointF(60, 70);
        QTest::newRow("right: upper left to lower right keeps y")
            << "q20,30 m60,80 r60,80" << QRectF(QPointF(20, 20), QPointF(60, 70)) << QPointF(60, 20);
    }
    void drags()
    {
        QFETCH(QString, script);
        QFETCH(QRectF, range);
        QFETCH(QPointF, at);
        DispA d;
        prepare(d);
        QSignalSpy pos(d.coord(), &ChCoord::nowPos);
        gesture(&d, script);
        const ChCoord* c = d.coord();
        QCOMPARE(QRectF(QPointF(c->realX0(), c->realY0()), QPointF(c->realX1(), c->realY1())), range);
        QCOMPARE(pos.count(), 1);
        QCOMPARE(QPointF(pos.at(0).at(0).toDouble(), pos.at(0).at(1).toDouble()), at);
    }

    void wheelZoomBands_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("angle");
        QTest::addColumn<QPointF>("factor"); // in x, in y
        const double in = 1.0 / 1.1;
        QTest::newRow("left band zooms y only") << QPoint(5, 40) << 120 << QPointF(1, in);
        QTest::newRow("top band zooms x only") << QPoint(30, 5) << 120 << QPointF(in, 1);
        QTest::newRow("band edge is inside") << QPoint(10, 50) << 120 << QPointF(in, in);
        QTest::newRow("notch back zooms out") << QPoint(50, 50) << -120 << QPointF(1.1, 1.1);
        QTest::newRow("partial notch back zooms in") << QPoint(50, 50) << -60 << QPointF(in, in);
    }
    void wheelZoomBands()
    {
        QFETCH(QPoint, at);
        QFETCH(int, angle);
        QFETCH(QPointF, factor);
        DispA d;
        prepare(d);
        const ChCoord* c = d.coord();
        const double cx = c->s2rx(at.x()), cy = c->s2ry(at.y());
        wheel(&d, at, angle);
        auto near = [](double a, double b) { return std::abs(a - b) < 1e-9 * std::max(1.0, std::abs(b)); };
        QVERIFY(near(c->realX0(), -cx * factor.x() + cx) && near(c->realX1(), (100 - cx) * factor.x() + cx));
        QVERIFY(near(c->realY0(), -cy * factor.y() + cy) && near(c->realY1(), (100 - cy) * factor.y() + cy));
        d.coord()->setWheelZoom(false);
        const double x0 = c->realX0(), y0 = c->realY0();
        wheel(&d, at, angle);
        QCOMPARE(QPointF(c->realX0(), c->realY0()), QPointF(x0, y0));
    }
};

QTEST_MAIN(TstFrames)
#include "tst_frames.moc"
