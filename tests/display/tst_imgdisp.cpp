#include "display/chcoord.h"
#include "display/colorbar.h"
#include "display/dispb.h"
#include "display/imgdisp.h"
#include "display/imgdispwpv.h"
#include "display/rawdisp.h"
#include "tests/display/mouseevents.h"
#include "tests/support/testutil.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Grey image whose pixel (x, y) is (x + 3 y) mod 256, so that every pixel
// tells where it came from.
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

bool nearRect(const QRectF& a, const QRectF& b)
{
    const double eps = 1e-4;
    return std::abs(a.x() - b.x()) < eps && std::abs(a.y() - b.y()) < eps
        && std::abs(a.width() - b.width()) < eps && std::abs(a.height() - b.height()) < eps;
}

} // namespace

class TstImgDisp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<MouseC::MStat>(); }
    void viewKeptUntilReset();
    void degenerateImageAndFrame();
    void mouse_data();
    void mouse();
    void drawnPixels_data();
    void drawnPixels();
    void extremeZoomStaysDefined();
    void saveVisiblePart_data();
    void saveVisiblePart();
    void readOutsAndReset();
};

void TstImgDisp::viewKeptUntilReset()
{
    Shown s(ramp(512, 512));
    QSignalSpy newS(&s.d, &ImgDisp::newS);
    s.d.setImage(ramp(1024, 1024));
    s.d.newImage();
    QCOMPARE(s.d.view(), QRectF(0, 0, 512, 512)); // the upper-left quarter
    s.d.resetScale();
    QCOMPARE(s.d.view(), QRectF(0, 0, 1024, 1024));
    QCOMPARE(newS.count(), 0); // neither a kept view nor a reset is announced
    // An owner that loads a new data set takes the whole next image again.
    s.d.setViewUnset();
    s.d.setImage(ramp(300, 200));
    s.d.newImage();
    QCOMPARE(s.d.view(), QRectF(0, 0, 300, 200));
    QCOMPARE(newS.count(), 1);
    QCOMPARE(newS.at(0).at(0).toRectF(), QRectF(0, 0, 300, 200));
}

// No image, an image of no size, a frame of no size: nothing is announced,
// the view stays, and mouse, wheel and painting are harmless.
void TstImgDisp::degenerateImageAndFrame()
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

// On a 512 x 512 image in a 256 x 256 frame (one frame pixel is two image
// pixels). Completed selections are given as rectangles, clicks as
// "x,y,status".
void TstImgDisp::mouse_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("off"); // m: mouse, w: wheel
    QTest::addColumn<QRectF>("view");
    QTest::addColumn<QRectF>("selection");
    QTest::addColumn<QString>("points");
    QTest::addColumn<int>("views");     // newS
    QTest::addColumn<int>("positions"); // newPos
    const QRectF whole(0, 0, 512, 512), none, rect(80, 80, 120, 60);
    QTest::newRow("left drag pans, ends with a point") << "p100,100 m104,96 m110,90 r110,90" << ""
                                                       << QRectF(-20, 20, 512, 512) << none << "200,200,0" << 2 << 2;
    QTest::newRow("right drag reports status 8") << "q100,100 m110,90 r110,90" << "" << whole << none
                                                 << "220,180,8" << 0 << 1;
    QTest::newRow("ctrl left does nothing") << "p100,100c m110,90c r110,90c" << "" << whole << none << "" << 0 << 1;
    QTest::newRow("alt left does nothing") << "p100,100a m110,90a r110,90a" << "" << whole << none << "" << 0 << 0;
    QTest::newRow("shift left selects, no pan, no point") << "p40,40s m70,55s m100,70s r100,70s" << "" << whole
                                                          << rect << "" << 0 << 2;
    QTest::newRow("no height: not completed") << "p40,40s m100,40s r100,40s" << "" << whole << none << "" << 0 << 1;
    QTest::newRow("Shift let go before the button") << "p100,70s m40,40s r40,40" << "" << whole << rect << "" << 0
                                                    << 1;
    QTest::newRow("a pan keeps a finished selection") << "p10,10s m50,60s r50,60s p100,100 m120,120s r120,120"
                                                      << "" << QRectF(-40, -40, 512, 512)
                                                      << QRectF(20, 20, 80, 100) << "200,200,0" << 1 << 2;
    QTest::newRow("shift right click clears it") << "p10,10s m50,60s r50,60s q30,30s r30,30s" << "" << whole
                                                 << none << "" << 0 << 1;
    // The wheel keeps the image point under the pointer where it is.
    const QRectF zoomed(256 - 0.5 * 512 / 1.1, 256 - 0.5 * 512 / 1.1, 512 / 1.1, 512 / 1.1);
    QTest::newRow("notch forward at (64, 64)") << "w64,64" << "" << QRectF(11.6364, 11.6364, 465.4545, 465.4545)
                                               << none << "" << 1 << 0;
    QTest::newRow("notch back at the centre") << "b128,128" << "" << QRectF(-25.6, -25.6, 563.2, 563.2) << none << ""
                                              << 1 << 0;
    QTest::newRow("wheel off keeps the mouse") << "w128,128 p100,100 m110,90 r110,90" << "w"
                                               << QRectF(-20, 20, 512, 512) << none << "200,200,0" << 1 << 1;
    QTest::newRow("mouse off keeps only the wheel") << "p10,10 m50,50 r50,50 p10,10s m50,60s r50,60s w128,128"
                                                    << "m" << zoomed << none << "" << 1 << 0;
}

void TstImgDisp::mouse()
{
    QFETCH(QString, script);
    QFETCH(QString, off);
    QFETCH(QRectF, view);
    QFETCH(QRectF, selection);
    QFETCH(QString, points);
    QFETCH(int, views);
    QFETCH(int, positions);
    Shown s(ramp(512, 512));
    s.d.setMouseOn(!off.contains('m'));
    s.d.setWheelOn(!off.contains('w'));
    QSignalSpy newS(&s.d, &ImgDisp::newS);
    QSignalSpy pos(&s.d, &ImgDisp::newPos);
    QSignalSpy point(&s.d, &ImgDisp::selectedAPoint);
    gesture(s.d.dispB(), script);
    QVERIFY(nearRect(s.d.view(), view));
    QVERIFY(!s.d.isSelecting());
    QCOMPARE(s.d.isSelected(), !selection.isNull());
    if (s.d.isSelected())
        QCOMPARE(s.d.selection(), selection);
    QStringList clicks;
    for (const auto& a : point)
        clicks << QStringLiteral("%1,%2,%3").arg(a.at(0).toDouble()).arg(a.at(1).toDouble())
                      .arg(int(a.at(2).value<MouseC::MStat>()));
    QCOMPARE(clicks.join(' '), points);
    QCOMPARE(newS.count(), views);
    if (views > 0)
        QCOMPARE(newS.last().at(0).toRectF(), s.d.view());
    QCOMPARE(pos.count(), positions);
}

void TstImgDisp::drawnPixels_data()
{
    QTest::addColumn<QRectF>("view");
    QTest::addColumn<QPoint>("at"); // frame pixel of a 200 x 200 frame
    QTest::addColumn<int>("grey");  // -1: white background
    // Image 4 x 2 stretched (aspect not kept): frame pixel (x, y) shows
    // image pixel (x / 50, y / 100), truncated.
    const QRectF whole(0, 0, 4, 2);
    QTest::newRow("end of the first column") << whole << QPoint(49, 99) << 0;
    QTest::newRow("second row, last column") << whole << QPoint(199, 100) << 6;
    // Panned half the image to the right: the left half is outside.
    const QRectF panned(-2, 0, 4, 2);
    QTest::newRow("left of the image is white") << panned << QPoint(99, 50) << -1;
    QTest::newRow("image starts mid frame") << panned << QPoint(100, 50) << 0;
    QTest::newRow("zoomed onto pixel (3, 1)") << QRectF(3.25, 1.25, 0.5, 0.5) << QPoint(0, 199) << 6;
}

void TstImgDisp::drawnPixels()
{
    QFETCH(QRectF, view);
    QFETCH(QPoint, at);
    QFETCH(int, grey);
    Shown s(ramp(4, 2), 200);
    s.d.setView(view);
    const QRgb want = grey < 0 ? qRgb(255, 255, 255) : qRgb(grey, grey, grey);
    QCOMPARE(renderOf(s.d.dispB()).pixel(at), want);
    // The pointer over a drawn pixel reports that pixel.
    QSignalSpy pos(&s.d, &ImgDisp::newPos);
    move(s.d.dispB(), at);
    const QPoint p(pos.value(0).value(0).toInt(), pos.value(0).value(1).toInt());
    QVERIFY(grey < 0 || (s.d.img().rect().contains(p) && qGray(s.d.img().pixel(p)) == grey));
}

// Zoomed far past the range of doubles, in and out, the view stays usable
// and positions, drawing and saving work without undefined conversions.
void TstImgDisp::extremeZoomStaysDefined()
{
    for (const int angle : {120, -120}) {
        Shown s(ramp(512, 512));
        QWidget* f = s.d.dispB();
        for (int i = 0; i < 9000; ++i)
            wheel(f, QPoint(37, 201), angle);
        const QRectF v = s.d.view();
        QVERIFY(std::isfinite(v.width()) && v.width() > 0.0 && std::isfinite(v.x()) && std::isfinite(v.y()));
        QVERIFY(angle > 0 ? v.width() < 1e-300 : v.width() > 1e300);
        QSignalSpy pos(&s.d, &ImgDisp::newPos);
        move(f, QPoint(255, 0));
        QCOMPARE(pos.count(), 1);
        renderOf(f);
        QTemporaryDir dir;
        MessageCapture log;
        s.d.saveImage(dir.filePath(QStringLiteral("v.png")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("v.png"))));
        QCOMPARE(log.count(QStringLiteral("Can't save image")), 1);
    }
}

void TstImgDisp::saveVisiblePart_data()
{
    QTest::addColumn<QRectF>("view");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("origin"); // image pixel at the saved (0, 0)
    QTest::newRow("zoomed in") << QRectF(100.7, 50.2, 40.9, 30.5) << QSize(40, 30) << QPoint(100, 50);
    QTest::newRow("partly outside") << QRectF(-10, -5, 50, 20) << QSize(50, 20) << QPoint(-10, -5);
}

void TstImgDisp::saveVisiblePart()
{
    QFETCH(QRectF, view);
    QFETCH(QSize, size);
    QFETCH(QPoint, origin);
    const QImage src = ramp(200, 100);
    Shown s(src);
    s.d.setView(view);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("part.png"));
    s.d.saveImage(name);
    QImage saved(name);
    QCOMPARE(saved.size(), size);
    saved = saved.convertToFormat(QImage::Format_Grayscale8);
    for (const QPoint p : {QPoint(0, 0), QPoint(size.width() - 1, size.height() - 1), QPoint(7, 3)}) {
        const QPoint q = p + origin;
        const int want = src.rect().contains(q) ? int(src.constScanLine(q.y())[q.x()]) : 0;
        QCOMPARE(int(saved.constScanLine(p.y())[p.x()]), want);
    }
}

void TstImgDisp::readOutsAndReset()
{
    RawDisp d;
    d.resize(400, 400);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.setImage(ramp(d.dispB()->width() * 3, d.dispB()->height() * 2));
    d.newImage();
    QSignalSpy inv(&d, &ImgDispWPV::newPosInvY);
    move(d.dispB(), QPoint(10, 20));
    auto text = [&](const char* name) { return d.findChild<QLineEdit*>(QLatin1String(name))->text(); };
    QCOMPARE(text("PosX") + ',' + text("PosY"), QStringLiteral("30,40"));
    QCOMPARE(inv.count(), 1);
    QCOMPARE(inv.at(0).at(1).toDouble(), 40.0); // not inverted
    d.setVal(3.14159265);
    QCOMPARE(text("Val"), QStringLiteral("3.14159"));

    const QRectF whole = d.view();
    wheel(d.dispB(), QPoint(10, 10), 120);
    QVERIFY(d.view() != whole);
    d.findChild<QPushButton*>(QStringLiteral("ResetScale"))->click();
    QCOMPARE(d.view(), whole);
}

QTEST_MAIN(TstImgDisp)
#include "tst_imgdisp.moc"
