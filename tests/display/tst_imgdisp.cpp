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

bool nearRect(const QRectF& a, const QRectF& b, double eps = 1e-4)
{
    return std::abs(a.x() - b.x()) < eps && std::abs(a.y() - b.y()) < eps
        && std::abs(a.width() - b.width()) < eps && std::abs(a.height() - b.height()) < eps;
}

QString str(const QRectF& r)
{
    return QStringLiteral("(%1, %2, %3, %4)").arg(r.x(), 0, 'g', 10).arg(r.y(), 0, 'g', 10)
        .arg(r.width(), 0, 'g', 10).arg(r.height(), 0, 'g', 10);
}

} // namespace

class TstImgDisp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstImageAndWheel_data();
    void firstImageAndWheel();
    void viewKeptUntilReset();
    void nullImageDoesNothing();
    void pointerPosition_data();
    void pointerPosition();
    void panAndClicks_data();
    void panAndClicks();
    void selection_data();
    void selection();
    void selectionClearedByShiftRightClick();
    void mouseOffKeepsWheel();
    void drawnPixels_data();
    void drawnPixels();
    void extremeZoomStaysDefined_data();
    void extremeZoomStaysDefined();
    void zeroSizeFrame();
    void saveVisiblePart_data();
    void saveVisiblePart();
    void readOutsAndReset();
};

void TstImgDisp::initTestCase()
{
    qRegisterMetaType<MouseC::MStat>();
}

void TstImgDisp::firstImageAndWheel_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("angle");
    QTest::addColumn<QRectF>("view");
    QTest::newRow("notch forward at (64, 64)") << QPoint(64, 64) << 120
                                               << QRectF(11.6364, 11.6364, 465.4545, 465.4545);
    QTest::newRow("partial notch zooms in as well") << QPoint(64, 64) << 30
                                                    << QRectF(11.6364, 11.6364, 465.4545, 465.4545);
    QTest::newRow("notch back at the centre") << QPoint(128, 128) << -120 << QRectF(-25.6, -25.6, 563.2, 563.2);
    QTest::newRow("notch forward at the corner") << QPoint(0, 0) << 120 << QRectF(0, 0, 465.4545, 465.4545);
}

void TstImgDisp::firstImageAndWheel()
{
    QFETCH(QPoint, at);
    QFETCH(int, angle);
    QFETCH(QRectF, view);
    ImgDisp d;
    d.resize(256, 256);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QSignalSpy newS(&d, &ImgDisp::newS);
    d.setImage(ramp(512, 512));
    d.newImage();
    QCOMPARE(newS.count(), 1);
    QCOMPARE(newS.at(0).at(0).toRectF(), QRectF(0, 0, 512, 512));
    QVERIFY(d.isViewSet());
    // The image point under the pointer stays under it.
    const double cx = d.coord()->s2rx(at.x()), cy = d.coord()->s2ry(at.y());
    wheel(d.dispB(), at, angle);
    QCOMPARE(newS.count(), 2);
    const QRectF got = newS.at(1).at(0).toRectF();
    QVERIFY2(nearRect(got, view), qPrintable(str(got)));
    QCOMPARE(d.view(), got);
    QVERIFY(std::abs(d.coord()->s2rx(at.x()) - cx) < 1e-9);
    QVERIFY(std::abs(d.coord()->s2ry(at.y()) - cy) < 1e-9);
    // With the wheel switched off nothing moves.
    d.setWheelOn(false);
    wheel(d.dispB(), at, angle);
    QCOMPARE(newS.count(), 2);
    QCOMPARE(d.view(), got);
}

void TstImgDisp::viewKeptUntilReset()
{
    Shown s(ramp(512, 512));
    QSignalSpy newS(&s.d, &ImgDisp::newS);
    s.d.setImage(ramp(1024, 1024));
    s.d.newImage();
    QCOMPARE(s.d.view(), QRectF(0, 0, 512, 512)); // the upper-left quarter
    QCOMPARE(newS.count(), 0);
    s.d.resetScale();
    QCOMPARE(s.d.view(), QRectF(0, 0, 1024, 1024));
    QCOMPARE(newS.count(), 0); // a reset is not announced
    // An owner that loads a new data set takes the whole next image again.
    s.d.setViewUnset();
    s.d.setImage(ramp(300, 200));
    s.d.newImage();
    QCOMPARE(s.d.view(), QRectF(0, 0, 300, 200));
    QCOMPARE(newS.count(), 1);
}

void TstImgDisp::nullImageDoesNothing()
{
    ImgDisp d;
    d.dispB()->resize(64, 64);
    QSignalSpy newS(&d, &ImgDisp::newS);
    d.newImage();
    d.setImage(QImage(0, 5, QImage::Format_Grayscale8));
    d.newImage();
    QCOMPARE(newS.count(), 0);
    QVERIFY(!d.isViewSet());
    // Drawing an unset view paints only the white background.
    const QImage img = renderOf(d.dispB());
    QCOMPARE(img.pixel(32, 32), qRgb(255, 255, 255));
    // Mouse and wheel on a view of size 0 are harmless.
    QSignalSpy pos(&d, &ImgDisp::newPos);
    move(d.dispB(), QPoint(10, 10));
    wheel(d.dispB(), QPoint(10, 10), 120);
    press(d.dispB(), QPoint(10, 10), Qt::LeftButton);
    release(d.dispB(), QPoint(12, 12), Qt::LeftButton);
    QCOMPARE(pos.count(), 1);
}

void TstImgDisp::pointerPosition_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QPoint>("pixel");
    // A 500 x 300 image over a 256 x 256 frame.
    QTest::newRow("top left") << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("bottom right") << QPoint(255, 255) << QPoint(498, 298); // 255 * 500 / 256, 255 * 300 / 256
    QTest::newRow("middle") << QPoint(128, 128) << QPoint(250, 150);
}

void TstImgDisp::pointerPosition()
{
    QFETCH(QPoint, at);
    QFETCH(QPoint, pixel);
    Shown s(ramp(500, 300));
    QSignalSpy pos(&s.d, &ImgDisp::newPos);
    move(s.d.dispB(), at);
    QCOMPARE(pos.count(), 1);
    QCOMPARE(QPoint(pos.at(0).at(0).toInt(), pos.at(0).at(1).toInt()), pixel);
}

void TstImgDisp::panAndClicks_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QPointF>("shift"); // view movement of a drag from (100, 100) to (110, 90)
    QTest::addColumn<int>("status");    // of selectedAPoint, -1: none
    // 512 x 512 in 256 x 256: one frame pixel is two image pixels.
    QTest::newRow("left drag pans") << int(Qt::LeftButton) << 0 << QPointF(-20, 20) << 0;
    QTest::newRow("right drag reports status 8") << int(Qt::RightButton) << 0 << QPointF(0, 0) << 8;
    QTest::newRow("ctrl left does nothing") << int(Qt::LeftButton) << int(Qt::ControlModifier) << QPointF(0, 0) << -1;
    QTest::newRow("alt left does nothing") << int(Qt::LeftButton) << int(Qt::AltModifier) << QPointF(0, 0) << -1;
    QTest::newRow("shift left selects, no pan, no point")
        << int(Qt::LeftButton) << int(Qt::ShiftModifier) << QPointF(0, 0) << -1;
    QTest::newRow("middle does nothing") << int(Qt::MiddleButton) << 0 << QPointF(0, 0) << -1;
}

void TstImgDisp::panAndClicks()
{
    QFETCH(int, button);
    QFETCH(int, mods);
    QFETCH(QPointF, shift);
    QFETCH(int, status);
    Shown s(ramp(512, 512));
    QSignalSpy newS(&s.d, &ImgDisp::newS);
    QSignalSpy point(&s.d, &ImgDisp::selectedAPoint);
    const auto b = Qt::MouseButton(button);
    const auto m = Qt::KeyboardModifiers(mods);
    QWidget* f = s.d.dispB();
    press(f, QPoint(100, 100), b, m);
    move(f, QPoint(104, 96), b, m);
    move(f, QPoint(110, 90), b, m);
    release(f, QPoint(110, 90), b, m);
    QCOMPARE(s.d.view().topLeft(), shift);
    QCOMPARE(s.d.view().size(), QSizeF(512, 512));
    QCOMPARE(newS.count(), shift.isNull() ? 0 : 2);
    QCOMPARE(point.count(), status < 0 ? 0 : 1);
    if (status >= 0) {
        // The release point in image pixels, after the pan.
        QCOMPARE(point.at(0).at(0).toDouble(), 110 * 2.0 + shift.x());
        QCOMPARE(point.at(0).at(1).toDouble(), 90 * 2.0 + shift.y());
        QCOMPARE(int(point.at(0).at(2).value<MouseC::MStat>()), status);
    }
}

void TstImgDisp::selection_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("releaseMods");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QRectF>("rect");
    const int shift = Qt::ShiftModifier;
    QTest::newRow("down right") << QPoint(40, 40) << QPoint(100, 70) << shift << true << QRectF(80, 80, 120, 60);
    QTest::newRow("up left is normalised") << QPoint(100, 70) << QPoint(40, 40) << shift << true << QRectF(80, 80, 120, 60);
    QTest::newRow("up right is normalised") << QPoint(40, 70) << QPoint(100, 40) << shift << true << QRectF(80, 80, 120, 60);
    QTest::newRow("no height: not completed") << QPoint(40, 40) << QPoint(100, 40) << shift << false << QRectF(80, 80, 120, 0);
    QTest::newRow("click: not completed") << QPoint(40, 40) << QPoint(40, 40) << shift << false << QRectF(80, 80, 0, 0);
    QTest::newRow("Shift let go before the button") << QPoint(40, 40) << QPoint(100, 70) << 0 << true << QRectF(80, 80, 120, 60);
}

void TstImgDisp::selection()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, releaseMods);
    QFETCH(bool, selected);
    QFETCH(QRectF, rect);
    Shown s(ramp(512, 512));
    QWidget* f = s.d.dispB();
    press(f, from, Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(s.d.isSelecting());
    QVERIFY(!s.d.isSelected());
    move(f, (from + to) / 2, Qt::LeftButton, Qt::ShiftModifier);
    move(f, to, Qt::LeftButton, Qt::ShiftModifier);
    // While dragging the size carries the direction.
    QCOMPARE(s.d.selection().width(), 2.0 * (to.x() - from.x()));
    QCOMPARE(s.d.selection().height(), 2.0 * (to.y() - from.y()));
    release(f, to, Qt::LeftButton, Qt::KeyboardModifiers(releaseMods));
    QVERIFY(!s.d.isSelecting());
    QCOMPARE(s.d.isSelected(), selected);
    if (selected)
        QCOMPARE(s.d.selection(), rect);
    QCOMPARE(s.d.view(), QRectF(0, 0, 512, 512));
}

void TstImgDisp::selectionClearedByShiftRightClick()
{
    Shown s(ramp(512, 512));
    QWidget* f = s.d.dispB();
    press(f, QPoint(10, 10), Qt::LeftButton, Qt::ShiftModifier);
    move(f, QPoint(50, 60), Qt::LeftButton, Qt::ShiftModifier);
    release(f, QPoint(50, 60), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(s.d.isSelected());
    // A pan afterwards leaves the finished rectangle alone, Shift or not.
    press(f, QPoint(100, 100), Qt::LeftButton);
    move(f, QPoint(120, 120), Qt::LeftButton, Qt::ShiftModifier);
    release(f, QPoint(120, 120), Qt::LeftButton);
    QCOMPARE(s.d.selection(), QRectF(20, 20, 80, 100));
    QSignalSpy point(&s.d, &ImgDisp::selectedAPoint);
    press(f, QPoint(30, 30), Qt::RightButton, Qt::ShiftModifier);
    release(f, QPoint(30, 30), Qt::RightButton, Qt::ShiftModifier);
    QVERIFY(!s.d.isSelected());
    QVERIFY(!s.d.isSelecting());
    QCOMPARE(s.d.selection(), QRectF());
    QCOMPARE(point.count(), 0);
}

void TstImgDisp::mouseOffKeepsWheel()
{
    Shown s(ramp(512, 512));
    s.d.setMouseOn(false);
    QSignalSpy pos(&s.d, &ImgDisp::newPos);
    QSignalSpy point(&s.d, &ImgDisp::selectedAPoint);
    QWidget* f = s.d.dispB();
    press(f, QPoint(10, 10), Qt::LeftButton);
    move(f, QPoint(50, 50), Qt::LeftButton);
    release(f, QPoint(50, 50), Qt::LeftButton);
    QCOMPARE(pos.count(), 0);
    QCOMPARE(point.count(), 0);
    QCOMPARE(s.d.view(), QRectF(0, 0, 512, 512));
    wheel(f, QPoint(128, 128), 120);
    QVERIFY(s.d.view().width() < 512);
}

void TstImgDisp::drawnPixels_data()
{
    QTest::addColumn<QRectF>("view");
    QTest::addColumn<QPoint>("at");      // frame pixel of a 200 x 200 frame
    QTest::addColumn<int>("grey");       // -1: white background
    // Image 4 x 2 stretched (aspect not kept): frame pixel (x, y) shows
    // image pixel (x / 50, y / 100).
    const QRectF whole(0, 0, 4, 2);
    QTest::newRow("first pixel") << whole << QPoint(0, 0) << 0;
    QTest::newRow("end of the first column") << whole << QPoint(49, 99) << 0;
    QTest::newRow("second column") << whole << QPoint(50, 0) << 1;
    QTest::newRow("second row, last column") << whole << QPoint(199, 100) << 6;
    // Panned half the image to the right: the left half is outside.
    const QRectF panned(-2, 0, 4, 2);
    QTest::newRow("left of the image is white") << panned << QPoint(99, 50) << -1;
    QTest::newRow("image starts mid frame") << panned << QPoint(100, 50) << 0;
    // Zoomed onto image pixel (3, 1).
    QTest::newRow("zoomed in") << QRectF(3.25, 1.25, 0.5, 0.5) << QPoint(0, 199) << 6;
}

void TstImgDisp::drawnPixels()
{
    QFETCH(QRectF, view);
    QFETCH(QPoint, at);
    QFETCH(int, grey);
    Shown s(ramp(4, 2), 200);
    s.d.setView(view);
    const QImage img = renderOf(s.d.dispB());
    const QRgb want = grey < 0 ? qRgb(255, 255, 255) : qRgb(grey, grey, grey);
    QCOMPARE(img.pixel(at), want);
}

void TstImgDisp::extremeZoomStaysDefined_data()
{
    QTest::addColumn<int>("angle");
    QTest::newRow("far in") << 120;
    QTest::newRow("far out") << -120;
}

void TstImgDisp::extremeZoomStaysDefined()
{
    QFETCH(int, angle);
    Shown s(ramp(512, 512));
    QWidget* f = s.d.dispB();
    for (int i = 0; i < 9000; ++i)
        wheel(f, QPoint(37, 201), angle);
    const QRectF v = s.d.view();
    QVERIFY(std::isfinite(v.width()) && v.width() > 0.0);
    QVERIFY(std::isfinite(v.x()) && std::isfinite(v.y()));
    QVERIFY(angle > 0 ? v.width() < 1e-300 : v.width() > 1e300);
    // Positions, drawing and saving still work without undefined conversions.
    QSignalSpy pos(&s.d, &ImgDisp::newPos);
    move(f, QPoint(255, 0));
    QCOMPARE(pos.count(), 1);
    renderOf(f);
    QTemporaryDir dir;
    MessageCapture log;
    s.d.saveImage(dir.filePath(QStringLiteral("v.png")));
    QCOMPARE(QFileInfo::exists(dir.filePath(QStringLiteral("v.png"))), false);
    QCOMPARE(log.count(QStringLiteral("Can't save image")), 1);
}

void TstImgDisp::zeroSizeFrame()
{
    ImgDisp d;
    d.setImage(ramp(64, 64));
    d.newImage();
    d.dispB()->resize(0, 0);
    const QRectF v = d.view();
    wheel(d.dispB(), QPoint(0, 0), 120);
    move(d.dispB(), QPoint(0, 0));
    QCOMPARE(d.view(), v);
    QImage img(1, 1, QImage::Format_RGB32);
    d.dispB()->render(&img); // nothing to draw, nothing to divide
}

void TstImgDisp::saveVisiblePart_data()
{
    QTest::addColumn<QRectF>("view");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("origin"); // image pixel at the saved (0, 0)
    QTest::newRow("zoomed in") << QRectF(100.7, 50.2, 40.9, 30.5) << QSize(40, 30) << QPoint(100, 50);
    QTest::newRow("whole image") << QRectF(0, 0, 200, 100) << QSize(200, 100) << QPoint(0, 0);
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
        const bool inside = src.rect().contains(q);
        QCOMPARE(int(saved.constScanLine(p.y())[p.x()]), inside ? int(src.constScanLine(q.y())[q.x()]) : 0);
    }
}

void TstImgDisp::readOutsAndReset()
{
    RawDisp d;
    QCOMPARE(d.imgDatas(), nullptr);
    QCOMPARE(d.windowTitle(), QStringLiteral("Image Display with Position and Value"));
    d.resize(400, 400);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    auto* bar = d.findChild<ColorBar*>(QStringLiteral("CBar"));
    QVERIFY(bar);
    QCOMPARE(bar, d.colorBar());
    // The bar stands to the right of the image, its controls below it.
    QVERIFY(bar->geometry().left() >= d.dispB()->geometry().right());
    QVERIFY(bar->controls()->geometry().top() >= bar->geometry().bottom());
    QSignalSpy barSpy(&d, &ImgDispWCBar::newBar);
    emit bar->newBar();
    QCOMPARE(barSpy.count(), 1);

    d.setImage(ramp(d.dispB()->width() * 3, d.dispB()->height() * 2));
    d.newImage();
    QSignalSpy inv(&d, &ImgDispWPV::newPosInvY);
    move(d.dispB(), QPoint(10, 20));
    auto text = [&](const char* name) { return d.findChild<QLineEdit*>(QLatin1String(name))->text(); };
    QCOMPARE(text("PosX"), QStringLiteral("30"));
    QCOMPARE(text("PosY"), QStringLiteral("40"));
    QCOMPARE(inv.count(), 1);
    QCOMPARE(inv.at(0).at(1).toDouble(), 40.0); // not inverted
    d.setVal(3.14159265);
    QCOMPARE(text("Val"), QStringLiteral("3.14159"));
    QVERIFY(d.findChild<QLineEdit*>(QStringLiteral("Val"))->isReadOnly());

    const QRectF whole = d.view();
    wheel(d.dispB(), QPoint(10, 10), 120);
    QVERIFY(d.view() != whole);
    auto* reset = d.findChild<QPushButton*>(QStringLiteral("ResetScale"));
    QCOMPARE(reset->text(), QStringLiteral("Scale Reset"));
    reset->click();
    QCOMPARE(d.view(), whole);
}

QTEST_MAIN(TstImgDisp)
#include "tst_imgdisp.moc"
