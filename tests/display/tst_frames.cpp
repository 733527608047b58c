#include "display/chcoord.h"
#include "display/dispa.h"
#include "display/dispb.h"
#include "display/mousec.h"
#include "tests/display/mouseevents.h"

#include <QtTest>

// Real range 0..100 on both axes of a DispA whose screen area is 0..100
// (a 101 x 101 widget), painted once so that the area is in force.
static void prepare(DispA& d)
{
    d.resize(101, 101);
    renderOf(&d);
    d.coord()->setRealCoord(0, 0, 100, 100);
}

static bool near(double a, double b)
{
    return std::abs(a - b) < 1e-9 * std::max(1.0, std::abs(b));
}

class TstFrames : public QObject
{
    Q_OBJECT

private slots:
    void mouseStatus_data();
    void mouseStatus();
    void screenAreaOfFrames();
    void drags_data();
    void drags();
    void wheelZoomBands_data();
    void wheelZoomBands();
};

void TstFrames::mouseStatus_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("mods");
    QTest::addColumn<int>("code");
    const int S = Qt::ShiftModifier, C = Qt::ControlModifier, A = Qt::AltModifier;
    const int L = Qt::LeftButton, R = Qt::RightButton;
    QTest::newRow("left") << L << 0 << 0;
    QTest::newRow("left shift") << L << S << 1;
    QTest::newRow("left ctrl alt") << L << (C | A) << 6;
    QTest::newRow("right all three") << R << (S | C | A) << 15;
    QTest::newRow("meta and keypad do not count") << R << (S | int(Qt::MetaModifier | Qt::KeypadModifier)) << 9;
    QTest::newRow("middle") << int(Qt::MiddleButton) << S << 16;
}

void TstFrames::mouseStatus()
{
    QFETCH(int, button);
    QFETCH(int, mods);
    QFETCH(int, code);
    QCOMPARE(int(MouseC::MStat(Qt::MouseButtons(button), Qt::KeyboardModifiers(mods))), code);
}

// DispB maps x = W and y = H to the real range's ends, DispA x = W - 1 and
// y = H - 1; y runs upward in both.
void TstFrames::screenAreaOfFrames()
{
    DispB b;
    DispA a;
    for (QWidget* w : {static_cast<QWidget*>(&b), static_cast<QWidget*>(&a)}) {
        w->resize(101, 51);
        renderOf(w);
    }
    b.coord()->setRealCoord(0, 0, 1, 1);
    a.coord()->setRealCoord(0, 0, 1, 1);
    QCOMPARE(QPointF(b.coord()->s2rx(101), b.coord()->s2ry(51)), QPointF(1, 0));
    QCOMPARE(QPointF(a.coord()->s2rx(100), a.coord()->s2ry(50)), QPointF(1, 0));
    QCOMPARE(b.coord()->s2ry(0), 1.0);
}

// A drag on a DispA showing 0..100 on a 0..100 screen area: Shift + left
// pans, an unmodified right drag zooms to the rectangle. The move reports
// its position in the range before the move changed it.
void TstFrames::drags_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QRectF>("range"); // (rx0, ry0) and (rx1, ry1) as corners
    QTest::addColumn<int>("updates");
    QTest::addColumn<QPointF>("at");
    const QRectF whole(0, 0, 100, 100);
    QTest::newRow("shift left pans") << "p50,50s m60,45s r60,45s" << QRectF(QPointF(-10, -5), QPointF(90, 95)) << 3
                                     << QPointF(60, 55);
    QTest::newRow("left alone does not pan") << "p50,50 m60,45 r60,45" << whole << 2 << QPointF(60, 55);
    QTest::newRow("shift ctrl left does not pan") << "p50,50sc m60,45sc r60,45sc" << whole << 2 << QPointF(60, 55);
    QTest::newRow("right: lower left to upper right flips y")
        << "q20,80 m60,30 r60,30" << QRectF(QPointF(20, 70), QPointF(60, 20)) << 2 << QPointF(60, 70);
    QTest::newRow("right: upper left to lower right keeps y")
        << "q20,30 m60,80 r60,80" << QRectF(QPointF(20, 20), QPointF(60, 70)) << 2 << QPointF(60, 20);
    QTest::newRow("right with ctrl does not zoom") << "q20,30c m60,80c r60,80c" << whole << 2 << QPointF(60, 20);
}

void TstFrames::drags()
{
    QFETCH(QString, script);
    QFETCH(QRectF, range);
    QFETCH(int, updates);
    QFETCH(QPointF, at);
    DispA d;
    prepare(d);
    QSignalSpy updated(d.coord(), &ChCoord::updated);
    QSignalSpy pos(d.coord(), &ChCoord::nowPos);
    gesture(&d, script);
    const ChCoord* c = d.coord();
    QCOMPARE(QRectF(QPointF(c->realX0(), c->realY0()), QPointF(c->realX1(), c->realY1())), range);
    QCOMPARE(updated.count(), updates);
    QCOMPARE(pos.count(), 1);
    QCOMPARE(QPointF(pos.at(0).at(0).toDouble(), pos.at(0).at(1).toDouble()), at);
}

void TstFrames::wheelZoomBands_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("angle");
    QTest::addColumn<bool>("zoomsX");
    QTest::addColumn<bool>("zoomsY");
    QTest::addColumn<double>("factor");
    const double in = 1.0 / 1.1;
    QTest::newRow("middle zooms both") << QPoint(50, 50) << 120 << true << true << in;
    QTest::newRow("left band zooms y only") << QPoint(5, 40) << 120 << false << true << in;
    QTest::newRow("top band zooms x only") << QPoint(30, 5) << 120 << true << false << in;
    QTest::newRow("band edge is inside") << QPoint(10, 50) << 120 << true << true << in;
    QTest::newRow("notch back zooms out") << QPoint(50, 50) << -120 << true << true << 1.1;
    QTest::newRow("partial notch back zooms in") << QPoint(50, 50) << -60 << true << true << in;
}

void TstFrames::wheelZoomBands()
{
    QFETCH(QPoint, at);
    QFETCH(int, angle);
    QFETCH(bool, zoomsX);
    QFETCH(bool, zoomsY);
    QFETCH(double, factor);
    DispA d;
    prepare(d);
    const ChCoord* c = d.coord();
    const double cx = c->s2rx(at.x());
    const double cy = c->s2ry(at.y());
    wheel(&d, at, angle);
    const double fx = zoomsX ? factor : 1.0;
    const double fy = zoomsY ? factor : 1.0;
    QVERIFY(near(c->realX0(), (0 - cx) * fx + cx) && near(c->realX1(), (100 - cx) * fx + cx));
    QVERIFY(near(c->realY0(), (0 - cy) * fy + cy) && near(c->realY1(), (100 - cy) * fy + cy));
    // Switched off, the wheel leaves the range alone.
    d.coord()->setWheelZoom(false);
    const double x0 = c->realX0();
    wheel(&d, at, angle);
    QCOMPARE(c->realX0(), x0);
}

QTEST_MAIN(TstFrames)
#include "tst_frames.moc"
