#include "display/chcoord.h"
#include "display/dispa.h"
#include "display/dispawlayout.h"
#include "display/dispb.h"
#include "display/drawtext.h"
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
    void transform();
    void screenAreaOfFrames();
    void altHeldMoveIsIgnored_data();
    void altHeldMoveIsIgnored();
    void onlyFlagsMeanExactly();
    void panFollowsPointer();
    void rectangleZoom_data();
    void rectangleZoom();
    void wheelZoomBands_data();
    void wheelZoomBands();
    void dispBWheel_data();
    void dispBWheel();
    void enterLeave();
    void wrapperRepeatsSignals();
    void fittedText_data();
    void fittedText();
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
    QTest::newRow("left ctrl") << L << C << 2;
    QTest::newRow("left alt") << L << A << 3;
    QTest::newRow("left shift ctrl") << L << (S | C) << 4;
    QTest::newRow("left shift alt") << L << (S | A) << 5;
    QTest::newRow("left ctrl alt") << L << (C | A) << 6;
    QTest::newRow("left all three") << L << (S | C | A) << 7;
    QTest::newRow("right") << R << 0 << 8;
    QTest::newRow("right shift") << R << S << 9;
    QTest::newRow("right ctrl alt") << R << (C | A) << 14;
    QTest::newRow("right all three") << R << (S | C | A) << 15;
    QTest::newRow("meta does not count") << L << int(Qt::MetaModifier) << 0;
    QTest::newRow("keypad does not count") << R << (S | int(Qt::KeypadModifier)) << 9;
    QTest::newRow("middle") << int(Qt::MiddleButton) << S << 16;
    QTest::newRow("no button") << int(Qt::NoButton) << 0 << 16;
}

void TstFrames::mouseStatus()
{
    QFETCH(int, button);
    QFETCH(int, mods);
    QFETCH(int, code);
    QCOMPARE(int(MouseC::MStat(Qt::MouseButtons(button), Qt::KeyboardModifiers(mods))), code);
}

void TstFrames::transform()
{
    // A 200 x 100 frame (y upward) showing an image of 10 x 5 with rows downward.
    ChCoord c;
    c.setScrCoord(0, 100, 200, 0);
    c.setRealCoord(0, 5, 10, 0);
    QCOMPARE(c.r2sx(10), 200.0);
    QCOMPARE(c.r2sy(0), 0.0);      // top row at the top edge
    QCOMPARE(c.r2sy(5), 100.0);    // bottom edge
    QCOMPARE(c.s2rx(50), 2.5);
    QCOMPARE(c.s2ry(20), 1.0);
    QCOMPARE(c.r2sdx(1), 20.0);
    QCOMPARE(c.r2sdy(1), 20.0);    // rows run downward like screen pixels
    c.setRealCoord(0, 0, 10, 5);   // y upward
    QCOMPARE(c.r2sdy(1), -20.0);
    QCOMPARE(c.s2ry(20), 4.0);
}

void TstFrames::screenAreaOfFrames()
{
    DispB b;
    DispA a;
    b.resize(101, 51);
    a.resize(101, 51);
    renderOf(&b);
    renderOf(&a);
    b.coord()->setRealCoord(0, 0, 1, 1);
    a.coord()->setRealCoord(0, 0, 1, 1);
    QCOMPARE(b.coord()->s2rx(101), 1.0); // DispB: x = W maps to rx1
    QCOMPARE(b.coord()->s2ry(51), 0.0);  // the bottom edge is ry0
    QCOMPARE(b.coord()->s2ry(0), 1.0);
    QCOMPARE(a.coord()->s2rx(100), 1.0); // DispA: x = W - 1
    QCOMPARE(a.coord()->s2ry(50), 0.0);
    QVERIFY(b.coord()->s2rx(100) < 1.0);
}

void TstFrames::altHeldMoveIsIgnored_data()
{
    QTest::addColumn<bool>("useDispA");
    QTest::newRow("DispB") << false;
    QTest::newRow("DispA") << true;
}

void TstFrames::altHeldMoveIsIgnored()
{
    QFETCH(bool, useDispA);
    DispA a;
    DispB b;
    QWidget* w = useDispA ? static_cast<QWidget*>(&a) : &b;
    MouseC* m = useDispA ? a.mouse() : b.mouse();
    QSignalSpy moved(m, &MouseC::mMoved);
    QSignalSpy frameMoved(&b, &DispB::mouseMoved0);
    QSignalSpy framePressed(&b, &DispB::mousePressed0);
    move(w, QPoint(10, 20));
    move(w, QPoint(30, 40), Qt::NoButton, Qt::AltModifier);
    move(w, QPoint(31, 41), Qt::NoButton, Qt::AltModifier | Qt::ShiftModifier);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(m->curPos(), QPoint(10, 20));
    QCOMPARE(frameMoved.count(), useDispA ? 0 : 1);
    press(w, QPoint(5, 6), Qt::LeftButton, Qt::AltModifier);
    QVERIFY(m->isPressed());
    QVERIFY(m->pressedOnlyAlt());
    QCOMPARE(m->pressPos(), QPoint(5, 6));
    QCOMPARE(int(m->pressStat()), 3);
    QCOMPARE(framePressed.count(), useDispA ? 0 : 1);
}

void TstFrames::onlyFlagsMeanExactly()
{
    DispB b;
    MouseC* m = b.mouse();
    press(&b, QPoint(1, 1), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier);
    QVERIFY(m->pressedRight());
    QVERIFY(!m->pressedLeft());
    QVERIFY(!m->pressedOnlyShift());
    QVERIFY(!m->pressedOnlyCtrl());
    move(&b, QPoint(2, 2), Qt::RightButton, Qt::ControlModifier);
    QVERIFY(m->movedOnlyCtrl());
    QVERIFY(!m->movedOnlyShift());
    QCOMPARE(m->prevPos(), QPoint(1, 1));
    release(&b, QPoint(3, 4), Qt::RightButton);
    QVERIFY(!m->isPressed());
    QVERIFY(!m->pressedRight());
    QCOMPARE(m->releasePos(), QPoint(3, 4));
    QCOMPARE(m->releaseButton(), Qt::MouseButtons(Qt::RightButton));
    // A double click leaves the current position alone.
    sendMouse(&b, QEvent::MouseButtonDblClick, QPoint(50, 60), Qt::LeftButton);
    QCOMPARE(m->dClickPos(), QPoint(50, 60));
    QCOMPARE(m->curPos(), QPoint(3, 4));
}

void TstFrames::panFollowsPointer()
{
    DispA d;
    prepare(d);
    ChCoord* c = d.coord();
    QSignalSpy updated(c, &ChCoord::updated);
    QSignalSpy pos(c, &ChCoord::nowPos);
    move(&d, QPoint(50, 50));
    press(&d, QPoint(50, 50), Qt::LeftButton, Qt::ShiftModifier);
    move(&d, QPoint(60, 45), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(near(c->realX0(), -10) && near(c->realX1(), 90));
    QVERIFY(near(c->realY0(), -5) && near(c->realY1(), 95));
    QCOMPARE(pos.count(), 2);
    QCOMPARE(pos.last().at(0).toDouble(), 60.0);
    QCOMPARE(pos.last().at(1).toDouble(), 55.0);
    // The content point under the pointer is the one grabbed at the press.
    QVERIFY(near(c->s2rx(60), 50) && near(c->s2ry(45), 50));
    release(&d, QPoint(60, 45), Qt::LeftButton, Qt::ShiftModifier);
    // Without Shift (or with Ctrl too) a drag does not pan.
    press(&d, QPoint(60, 45), Qt::LeftButton);
    move(&d, QPoint(80, 80), Qt::LeftButton);
    press(&d, QPoint(80, 80), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
    move(&d, QPoint(90, 90), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
    QVERIFY(near(c->realX0(), -10) && near(c->realY0(), -5));
    QVERIFY(updated.count() >= 2);
}

void TstFrames::rectangleZoom_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QRectF>("range"); // (rx0, ry0) and (rx1, ry1) as x, y, x + w, y + h
    QTest::newRow("lower left to upper right flips y")
        << QPoint(20, 80) << QPoint(60, 30) << 0 << QRectF(QPointF(20, 70), QPointF(60, 20));
    QTest::newRow("upper left to lower right keeps y")
        << QPoint(20, 30) << QPoint(60, 80) << 0 << QRectF(QPointF(20, 20), QPointF(60, 70));
    QTest::newRow("upper right to lower left flips y")
        << QPoint(60, 30) << QPoint(20, 80) << 0 << QRectF(QPointF(20, 70), QPointF(60, 20));
    QTest::newRow("with Ctrl nothing changes")
        << QPoint(20, 30) << QPoint(60, 80) << int(Qt::ControlModifier) << QRectF(0, 0, 100, 100);
}

void TstFrames::rectangleZoom()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, mods);
    QFETCH(QRectF, range);
    DispA d;
    prepare(d);
    QSignalSpy updated(d.coord(), &ChCoord::updated);
    press(&d, from, Qt::RightButton, Qt::KeyboardModifiers(mods));
    move(&d, to, Qt::RightButton, Qt::KeyboardModifiers(mods));
    release(&d, to, Qt::RightButton, Qt::KeyboardModifiers(mods));
    const ChCoord* c = d.coord();
    QCOMPARE(c->realX0(), range.left());
    QCOMPARE(c->realY0(), range.top());
    QCOMPARE(c->realX1(), range.right());
    QCOMPARE(c->realY1(), range.bottom());
    QCOMPARE(updated.count(), 2); // press and release
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
    QTest::newRow("right band zooms y only") << QPoint(95, 40) << 120 << false << true << in;
    QTest::newRow("top band zooms x only") << QPoint(30, 5) << 120 << true << false << in;
    QTest::newRow("corner zooms both") << QPoint(5, 95) << 120 << true << true << in;
    QTest::newRow("band edge is inside") << QPoint(10, 50) << 120 << true << true << in;
    QTest::newRow("notch back zooms out") << QPoint(50, 50) << -120 << true << true << 1.1;
    QTest::newRow("partial notch still zooms in") << QPoint(50, 50) << 60 << true << true << in;
    QTest::newRow("partial notch back zooms in too") << QPoint(50, 50) << -60 << true << true << in;
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
    QSignalSpy steps(d.mouse(), &MouseC::wMoved);
    const double cx = d.coord()->s2rx(at.x());
    const double cy = d.coord()->s2ry(at.y());
    wheel(&d, at, angle);
    QCOMPARE(steps.count(), 1);
    QCOMPARE(steps.at(0).at(0).toInt(), angle / 120);
    const ChCoord* c = d.coord();
    const double fx = zoomsX ? factor : 1.0;
    const double fy = zoomsY ? factor : 1.0;
    QVERIFY(near(c->realX0(), (0 - cx) * fx + cx));
    QVERIFY(near(c->realX1(), (100 - cx) * fx + cx));
    QVERIFY(near(c->realY0(), (0 - cy) * fy + cy));
    QVERIFY(near(c->realY1(), (100 - cy) * fy + cy));
    // Switched off, the wheel leaves the range alone.
    d.coord()->setWheelZoom(false);
    const double x0 = c->realX0();
    wheel(&d, at, angle);
    QCOMPARE(c->realX0(), x0);
}

void TstFrames::dispBWheel_data()
{
    QTest::addColumn<int>("angle");
    QTest::addColumn<double>("steps");
    QTest::addColumn<double>("factor");
    QTest::newRow("notch forward") << 120 << 1.0 << 1.0 / 1.1;
    QTest::newRow("half notch") << 60 << 0.5 << 1.0 / 1.1;
    QTest::newRow("notch back") << -120 << -1.0 << 1.1;
    QTest::newRow("half notch back") << -60 << -0.5 << 1.1;
    QTest::newRow("no turn") << 0 << 0.0 << 1.0 / 1.1;
}

void TstFrames::dispBWheel()
{
    QFETCH(int, angle);
    QFETCH(double, steps);
    QFETCH(double, factor);
    DispB b;
    b.resize(100, 100);
    QSignalSpy spy(&b, &DispB::wheelMoved0);
    QSignalSpy mouseSpy(b.mouse(), &MouseC::wMoved);
    const double rx0 = b.coord()->realX0();
    wheel(&b, QPoint(30, 40), angle);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(b.wheelSteps(), steps);
    QCOMPARE(b.zoomFactor(), factor);
    QCOMPARE(b.wheelPos(), QPoint(30, 40));
    QCOMPARE(mouseSpy.count(), 0);          // the MouseC is not involved
    QCOMPARE(b.coord()->realX0(), rx0);     // and DispB's transform does not zoom itself
}

void TstFrames::enterLeave()
{
    DispA d;
    QSignalSpy el(d.mouse(), &MouseC::mEnterLeave);
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QApplication::sendEvent(&d, &enter);
    QVERIFY(d.isInside());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&d, &leave);
    QVERIFY(!d.isInside());
    QCOMPARE(el.count(), 2);
    QCOMPARE(el.at(0).at(0).toBool(), true);
    QCOMPARE(el.at(1).at(0).toBool(), false);
}

void TstFrames::wrapperRepeatsSignals()
{
    DispAWLayout w;
    w.resize(80, 60);
    QSignalSpy pressed(&w, &DispAWLayout::mousePressed0);
    QSignalSpy released(&w, &DispAWLayout::mouseReleased0);
    QSignalSpy dclicked(&w, &DispAWLayout::mouseDoubleClicked0);
    QSignalSpy wheeled(&w, &DispAWLayout::wheelMoved0);
    QSignalSpy drawn(&w, &DispAWLayout::drawImage2);
    press(w.dispB(), QPoint(1, 1), Qt::LeftButton);
    release(w.dispB(), QPoint(1, 1), Qt::LeftButton);
    sendMouse(w.dispB(), QEvent::MouseButtonDblClick, QPoint(1, 1), Qt::LeftButton);
    wheel(w.dispB(), QPoint(1, 1), 120);
    renderOf(&w);
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(released.count(), 1);
    QCOMPARE(dclicked.count(), 1);
    QCOMPARE(wheeled.count(), 1);
    QCOMPARE(drawn.count(), 1);
}

void TstFrames::fittedText_data()
{
    QTest::addColumn<double>("length");
    QTest::addColumn<double>("thickness");
    QTest::addColumn<double>("maxPt");
    QTest::newRow("thin box limits the size") << 95.0 << 6.0 << 0.0;
    QTest::newRow("short box limits the size") << 30.0 << 40.0 << 0.0;
    QTest::newRow("large box, capped") << 400.0 << 200.0 << 10.0;
    QTest::newRow("large box, no cap") << 400.0 << 200.0 << 0.0;
}

void TstFrames::fittedText()
{
    QFETCH(double, length);
    QFETCH(double, thickness);
    QFETCH(double, maxPt);
    const QFont font = QApplication::font();
    const QString text = QStringLiteral("12345.6");
    const double pt = DrawText::fittedPointSize(font, Qt::AlignLeft, text, length, thickness, maxPt);
    QVERIFY(pt > 0.0);
    if (maxPt > 0.0)
        QVERIFY(pt <= maxPt);
    QFont f(font);
    f.setPointSizeF(pt);
    const QRectF m = QFontMetricsF(f).boundingRect(QRectF(0, 0, 5000, 5000), Qt::AlignLeft, text);
    // Font metrics do not scale exactly linearly; a few percent of slack.
    QVERIFY2(m.width() <= length * 1.08 && m.height() <= thickness * 1.08,
             qPrintable(QStringLiteral("%1 x %2 in %3 x %4").arg(m.width()).arg(m.height()).arg(length).arg(thickness)));
    if (maxPt <= 0.0)
        QVERIFY(m.width() >= length * 0.85 || m.height() >= thickness * 0.85); // it fills one way
    // A box of no size draws nothing and does not fail.
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    DrawText().drawText(&p, 90, QPointF(10, 10), QSizeF(0, 0), font, Qt::AlignLeft, 1, text, 0);
    p.end();
    QCOMPARE(img.pixel(10, 10), qRgb(255, 255, 255));
}

QTEST_MAIN(TstFrames)
#include "tst_frames.moc"
