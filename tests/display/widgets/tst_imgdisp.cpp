#include "display/chcoord.h"
#include "display/widgets/colorbar.h"
#include "display/widgets/dispa.h"
#include "display/widgets/dispb.h"
#include "display/widgets/imgdisp.h"
#include "tests/display/mouseevents.h"
#include "tests/display/rowname.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// Pixel (x, y) is (x + 3 y) mod 256: every pixel tells where it came from.
QImage ramp(int w, int h)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.scanLine(y)[x] = uchar((x + 3 * y) % 256);
    return img;
}

// An ImgDisp whose inner frame is exactly size x size, showing `img`.
struct Shown {
    explicit Shown(const QImage& img, int size = 256)
    {
        d.resize(size, size);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(d.dispB()->size(), QSize(size, size));
        d.setImage(img);
        d.newImage();
    }
    ImgDisp d;
};

struct Gesture {
    QString script, off; // off: m mouse, w wheel
    QRectF view, selection;
    QString points; // "x,y,status" of each selected point
    int views, positions; // newS, newPos
};

// Real range 0..100 on a 0..100 screen area (101 x 101), painted once so that the area is in force.
void prepare(DispA& d)
{
    d.resize(101, 101);
    renderOf(&d);
    d.coord()->setRealCoord(0, 0, 100, 100);
}

} // namespace

Q_DECLARE_METATYPE(Gesture)

// Frames and image displays: view kept or reset, degenerate images and frames, mouse and wheel gestures,
// saving the visible part.
class TstImgDisp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<MouseC::MStat>(); }

    // Shift + left pans, a plain right drag zooms; the move reports its position in the range before it.
    void drags()
    {
        const QRectF whole(0, 0, 100, 100);
        // Range as the corners (rx0, ry0) and (rx1, ry1).
        const struct { const char* name; QString script; QRectF range; QPointF at; } rows[] = {
            {"shift left pans", "p50,50s m60,45s r60,45s", QRectF(QPointF(-10, -5), QPointF(90, 95)),
             {60, 55}},
            {"shift ctrl left does not pan", "p50,50sc m60,45sc r60,45sc", whole, {60, 55}},
            {"right: lower left to upper right flips y", "q20,80 m60,30 r60,30",
             QRectF(QPointF(20, 70), QPointF(60, 20)), {60, 70}},
            {"right: upper left to lower right keeps y", "q20,30 m60,80 r60,80",
             QRectF(QPointF(20, 20), QPointF(60, 70)), {60, 20}},
        };
        for (const auto& r : rows) {
            const RowName row{r.name};
            DispA d;
            prepare(d);
            QSignalSpy pos(d.coord(), &ChCoord::nowPos);
            gesture(&d, r.script);
            const ChCoord* c = d.coord();
            QCOMPARE(QRectF(QPointF(c->realX0(), c->realY0()), QPointF(c->realX1(), c->realY1())), r.range);
            QCOMPARE(pos.count(), 1);
            QCOMPARE(QPointF(pos.at(0).at(0).toDouble(), pos.at(0).at(1).toDouble()), r.at);
        }
    }

    // The wheel zooms about the pointer; in the 10-pixel bands at the left and top only along that axis.
    void wheelZoomBands()
    {
        const double in = 1.0 / 1.1;
        const struct { const char* name; QPoint at; int angle; QPointF factor; } rows[] = {
            {"left band zooms y only", {5, 40}, 120, {1, in}},
            {"top band zooms x only", {30, 5}, 120, {in, 1}},
            {"band edge is inside", {10, 50}, 120, {in, in}},
            {"notch back zooms out", {50, 50}, -120, {1.1, 1.1}},
            {"partial notch back zooms in", {50, 50}, -60, {in, in}},
        };
        auto near = [](double a, double b) { return std::abs(a - b) < 1e-9 * std::max(1.0, std::abs(b)); };
        for (const auto& r : rows) {
            const RowName row{r.name};
            DispA d;
            prepare(d);
            const ChCoord* c = d.coord();
            const double cx = c->s2rx(r.at.x()), cy = c->s2ry(r.at.y());
            wheel(&d, r.at, r.angle);
            const QPointF f = r.factor;
            QVERIFY(near(c->realX0(), -cx * f.x() + cx) && near(c->realX1(), (100 - cx) * f.x() + cx));
            QVERIFY(near(c->realY0(), -cy * f.y() + cy) && near(c->realY1(), (100 - cy) * f.y() + cy));
            d.coord()->setWheelZoom(false);
            const double x0 = c->realX0(), y0 = c->realY0();
            wheel(&d, r.at, r.angle);
            QCOMPARE(QPointF(c->realX0(), c->realY0()), QPointF(x0, y0));
        }
    }
    void viewKeptUntilReset()
    {
        Shown s(ramp(512, 512));
        QSignalSpy newS(&s.d, &ImgDisp::newS);
        s.d.setImage(ramp(1024, 1024));
        s.d.newImage();
        QCOMPARE(s.d.view(), QRectF(0, 0, 512, 512));
        s.d.resetScale();
        QCOMPARE(s.d.view(), QRectF(0, 0, 1024, 1024));
        QCOMPARE(newS.count(), 0);
        // A new data set takes the whole next image again.
        s.d.setViewUnset();
        s.d.setImage(ramp(300, 200));
        s.d.newImage();
        QCOMPARE(newS.count(), 1);
        QCOMPARE(newS.at(0).at(0).toRectF(), QRectF(0, 0, 300, 200));
    }

    // No image, an image of no size, a frame of no size: mouse, wheel and painting are harmless.
    void degenerateImageAndFrame()
    {
        ImgDisp d;
        d.dispB()->resize(64, 64);
        QSignalSpy newS(&d, &ImgDisp::newS);
        d.newImage();
        d.setImage(QImage(0, 5, QImage::Format_Grayscale8));
        d.newImage();
        QCOMPARE(newS.count(), 0);
        QVERIFY(!d.isViewSet());
        QCOMPARE(renderOf(d.dispB()).pixel(32, 32), qRgb(255, 255, 255));
        gesture(d.dispB(), "h10,10 w10,10 p10,10 m12,12 r12,12");
        d.setImage(ramp(64, 64));
        d.newImage();
        d.dispB()->resize(0, 0);
        const QRectF v = d.view();
        gesture(d.dispB(), "w0,0 p0,0 m0,0 r0,0");
        QCOMPARE(d.view(), v);
        QImage img(1, 1, QImage::Format_RGB32);
        d.dispB()->render(&img);
    }

    // A 512 x 512 image in a 256 x 256 frame: one frame pixel is two image pixels.
    void mouse_data()
    {
        QTest::addColumn<Gesture>("g");
        const QRectF whole(0, 0, 512, 512), none, rect(80, 80, 120, 60);
        // The wheel keeps the image point under the pointer in place.
        const QRectF zoomed(11.6364, 11.6364, 465.4545, 465.4545);
        QTest::newRow("right drag reports status 8")
            << Gesture{"q100,100 m110,90 r110,90", "", whole, none, "220,180,8", 0, 1};
        QTest::newRow("alt left does nothing") << Gesture{"p100,100a m110,90a r110,90a", "", whole, none, "", 0, 0};
        QTest::newRow("Shift let go before the button") << Gesture{"p100,70s m40,40s r40,40", "", whole, rect, "", 0, 1};
        QTest::newRow("a pan keeps a finished selection")
            << Gesture{"p10,10s m50,60s r50,60s p100,100 m120,120s r120,120", "", QRectF(-40, -40, 512, 512),
                       QRectF(20, 20, 80, 100), "200,200,0", 1, 2};
        QTest::newRow("shift right click clears it")
            << Gesture{"p10,10s m50,60s r50,60s q30,30s r30,30s", "", whole, none, "", 0, 1};
        // Each move pans from the one before it, and the drag ends with a point.
        QTest::newRow("wheel off keeps the mouse")
            << Gesture{"w128,128 p100,100 m104,96 m110,90 r110,90", "w", QRectF(-20, 20, 512, 512), none,
                       "200,200,0", 2, 2};
        QTest::newRow("mouse off keeps only the wheel")
            << Gesture{"p10,10 m50,50 r50,50 p10,10s m50,60s r50,60s w64,64", "m", zoomed, none, "", 1, 0};
    }
    void mouse()
    {
        QFETCH(Gesture, g);
        Shown s(ramp(512, 512));
        s.d.setMouseOn(!g.off.contains('m'));
        s.d.setWheelOn(!g.off.contains('w'));
        QSignalSpy newS(&s.d, &ImgDisp::newS);
        QSignalSpy pos(&s.d, &ImgDisp::newPos);
        QSignalSpy point(&s.d, &ImgDisp::selectedAPoint);
        gesture(s.d.dispB(), g.script);
        const QRectF v = s.d.view();
        QVERIFY(QLineF(v.topLeft(), g.view.topLeft()).length() < 1e-4 && QLineF(v.bottomRight(), g.view.bottomRight()).length() < 1e-4);
        QVERIFY(!s.d.isSelecting());
        QCOMPARE(s.d.isSelected() ? s.d.selection() : QRectF(), g.selection);
        QStringList clicks;
        for (const auto& a : point)
            clicks << QStringLiteral("%1,%2,%3").arg(a.at(0).toDouble()).arg(a.at(1).toDouble())
                          .arg(int(a.at(2).value<MouseC::MStat>()));
        QCOMPARE(clicks.join(' '), g.points);
        QCOMPARE(newS.count(), g.views);
        if (g.views > 0)
            QCOMPARE(newS.last().at(0).toRectF(), s.d.view());
        QCOMPARE(pos.count(), g.positions);
    }

    void saveVisiblePart_data()
    {
        QTest::addColumn<QRectF>("view");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("origin"); // image pixel at the saved (0, 0)
        QTest::newRow("zoomed in") << QRectF(100.7, 50.2, 40.9, 30.5) << QSize(40, 30) << QPoint(100, 50);
        QTest::newRow("partly outside") << QRectF(-10, -5, 50, 20) << QSize(50, 20) << QPoint(-10, -5);
    }
    void saveVisiblePart()
    {
        QFETCH(QRectF, view);
        QFETCH(QSize, size);
        QFETCH(QPoint, origin);
        const QImage src = ramp(200, 100);
        Shown s(src);
        s.d.setView(view);
        QTemporaryDir dir;
        s.d.saveImage(dir.filePath(QStringLiteral("part.png")));
        const QImage saved = QImage(dir.filePath(QStringLiteral("part.png"))).convertToFormat(QImage::Format_Grayscale8);
        QCOMPARE(saved.size(), size);
        for (const QPoint p : {QPoint(0, 0), QPoint(size.width() - 1, size.height() - 1), QPoint(7, 3)}) {
            const QPoint q = p + origin;
            QCOMPARE(int(saved.constScanLine(p.y())[p.x()]), src.rect().contains(q) ? int(src.constScanLine(q.y())[q.x()]) : 0);
        }
    }
};

QTEST_MAIN(TstImgDisp)
#include "tst_imgdisp.moc"
