#include "display/colorbar.h"
#include "display/dispb.h"
#include "display/imgdispwpv.h"
#include "input/imgdatas.h"
#include "recon/procctrl.h"
#include "recon/sinogram.h"
#include "tests/display/mouseevents.h"
#include "tests/support/itexfixture.h"
#include "tests/support/phantomset.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The check image is how a user judges the CoR by eye: each row must show
// the right projection, straight or mirrored about the CoR at the right
// place, and dragging in it must move the CoR and the offset the right way.
class TstSinogram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checkImageRows_data();
    void checkImageRows();
    void corDrag_data();
    void corDrag();
    void guessButtonSetsTheCentre();

private:
    // Six 16 x 3 images; image i holds 100 * i + x at every pixel (x, y).
    QTemporaryDir dir;
    ImgDatas set;
};

namespace {
constexpr int D = 16;
constexpr int images = 6;
constexpr double cor = 7.25;

QList<int> ints(std::initializer_list<int> v)
{
    return QList<int>(v);
}
} // namespace

void TstSinogram::initTestCase()
{
    for (int i = 0; i < images; ++i) {
        QVector<double> v;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < D; ++x)
                v << 100.0 * i + x;
        const QString path = dir.filePath(QStringLiteral("p%1.img").arg(i));
        QVERIFY(itexImage(D, 3, 2, v).write(path));
        QVERIFY(set.add(path, 0));
    }
}

void TstSinogram::checkImageRows_data()
{
    QTest::addColumn<bool>("alter");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("partialStart"); // -1: partial data set off
    QTest::addColumn<double>("rangeDeg");
    QTest::addColumn<QList<int>>("rowImages"); // image of check-image row 0, 1, ...
    QTest::addColumn<QList<int>>("mirrored");  // 1 where that row is mirrored

    const QList<int> lowerHalf = ints({0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1});
    QTest::newRow("plain") << false << 0 << -1 << 180.0 << ints({0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5}) << lowerHalf;
    QTest::newRow("offset 2") << false << 2 << -1 << 180.0 << ints({2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1}) << lowerHalf;
    QTest::newRow("offset -1") << false << -1 << -1 << 180.0 << ints({5, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4})
                               << lowerHalf;
    QTest::newRow("alternating") << true << 0 << -1 << 180.0 << ints({0, 5, 1, 4, 2, 3, 3, 2, 4, 1, 5, 0})
                                 << ints({0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1});
    QTest::newRow("alternating, offset 1") << true << 1 << -1 << 180.0 << ints({1, 0, 2, 5, 3, 4, 4, 3, 5, 2, 0, 1})
                                           << ints({0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1});
    QTest::newRow("360 degrees: half the images") << false << 0 << -1 << 360.0 << ints({0, 1, 2, 0, 1, 2})
                                                  << ints({0, 0, 0, 1, 1, 1});
    QTest::newRow("partial from image 4") << false << 0 << 4 << 180.0 << ints({4, 5, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3})
                                          << lowerHalf;
}

void TstSinogram::checkImageRows()
{
    QFETCH(bool, alter);
    QFETCH(int, offset);
    QFETCH(int, partialStart);
    QFETCH(double, rangeDeg);
    QFETCH(QList<int>, rowImages);
    QFETCH(QList<int>, mirrored);
    ProcCtrl ctrl;
    ctrl.setRotAxIsV(true);
    ctrl.setSliceNo(1);
    ctrl.setCor(cor);
    ctrl.setDataSetRangeDeg(rangeDeg);
    ctrl.setDataSetImages(images);
    ctrl.setUsePartialDataSet(partialStart >= 0);
    ctrl.setDataSetStartImageNo(std::max(0, partialStart));
    ctrl.setDataSetUsingImages(images);
    Sinogram panel;
    panel.setImgDatas(&set);
    panel.setProcCtrl(&ctrl);
    panel.setAlterStack(alter);
    panel.setYOffset(offset);
    ColorBar* bar = panel.display()->colorBar();
    bar->setFixColorScale(true);
    bar->setMinV(0.0);
    bar->setMaxV(1024.0);
    panel.genSgmImage();

    const QImage& img = panel.display()->img();
    QCOMPARE(img.size(), QSize(2 * D, rowImages.size()));
    auto* val = panel.display()->findChild<QLineEdit*>(QStringLiteral("Val"));
    QVERIFY(val);
    for (int row = 0; row < rowImages.size(); ++row) {
        for (int k : {9, 12, 20, 23}) {
            // Straight rows show detector position cor - D + k, mirrored rows
            // the position of column 2D - 1 - k.
            const double x = mirrored[row] ? cor + D - 1 - k : cor - D + k;
            const double expected = 100.0 * rowImages[row] + x;
            if (x < 0.0 || x > D - 1)
                continue;
            double v = 0.0;
            QVERIFY(panel.checkImageValue(k, row, &v));
            QCOMPARE(v, expected);
            QCOMPARE(int(img.constScanLine(row)[k]), bar->colorIndex(expected));
            panel.newPos(k + 0.5, row + 0.5);
            QCOMPARE(val->text(), QString::number(expected, 'g', 6));
        }
    }
    double v = 0.0;
    QVERIFY(!panel.checkImageValue(2 * D, 0, &v));
    QVERIFY(!panel.checkImageValue(0, rowImages.size(), &v));
}

void TstSinogram::corDrag_data()
{
    QTest::addColumn<int>("pressY");  // frame pixels; two frame pixels make one image pixel
    QTest::addColumn<QPoint>("drag"); // frame pixels
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<double>("corChange");
    QTest::addColumn<int>("offset");
    const int left = Qt::LeftButton, none = Qt::NoModifier;
    QTest::newRow("upper half, right") << 4 << QPoint(6, 0) << left << none << 3.0 << 0;
    QTest::newRow("mirrored half, right") << 16 << QPoint(6, 0) << left << none << -3.0 << 0;
    QTest::newRow("down") << 4 << QPoint(0, 5) << left << none << 0.0 << 2;
    QTest::newRow("up wraps into the images") << 4 << QPoint(0, -5) << left << none << 0.0 << 4;
    QTest::newRow("diagonal in the mirrored half") << 16 << QPoint(-4, 9) << left << none << 2.0 << 4;
    QTest::newRow("shift: no drag") << 4 << QPoint(6, 5) << left << int(Qt::ShiftModifier) << 0.0 << 0;
    QTest::newRow("right button: no drag") << 4 << QPoint(6, 5) << int(Qt::RightButton) << none << 0.0 << 0;
}

void TstSinogram::corDrag()
{
    QFETCH(int, pressY);
    QFETCH(QPoint, drag);
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(double, corChange);
    QFETCH(int, offset);
    ProcCtrl ctrl;
    ctrl.setRotAxIsV(true);
    ctrl.setSliceNo(1);
    ctrl.setCor(cor);
    Sinogram panel;
    panel.setImgDatas(&set);
    panel.setProcCtrl(&ctrl);
    panel.resize(700, 700);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.genSgmImage();
    DispB* frame = panel.display()->dispB();
    QVERIFY(frame->width() > 100 && frame->height() > 100);
    // Half an image pixel per frame pixel.
    panel.display()->setView(QRectF(0, 0, frame->width() / 2.0, frame->height() / 2.0));
    QSignalSpy corSpy(&ctrl, &ProcCtrl::corUpdated);

    const auto b = Qt::MouseButton(button);
    const auto m = Qt::KeyboardModifiers(modifiers);
    const QPoint p0(10, pressY);
    sendMouse(frame, QEvent::MouseButtonPress, p0, b, m);
    move(frame, p0 + drag / 2, b, m);
    move(frame, p0 + drag, b, m);
    sendMouse(frame, QEvent::MouseButtonRelease, p0 + drag, b, m);

    QCOMPARE(ctrl.cor(), cor + corChange);
    QCOMPARE(panel.yOffset(), offset);
    QCOMPARE(corSpy.isEmpty(), corChange == 0.0);
    // The sinogram and the CoR field follow the new CoR.
    const int half = int(std::floor(std::min(ctrl.cor(), D - ctrl.cor() - 1)));
    QCOMPARE(panel.hSgm().width, 2 * half - 1);
    QCOMPARE(panel.findChild<QLineEdit*>(QStringLiteral("CoR"))->text(), QString::number(cor + corChange, 'g', 6));
}

void TstSinogram::guessButtonSetsTheCentre()
{
    PhantomSpec spec;
    spec.width = 128;
    spec.height = 6;
    spec.projections = 90;
    spec.cor = 61.75;
    ImgDatas phantomSet;
    PhantomSet data;
    QVERIFY(data.load(phantomSet, spec));
    ProcCtrl ctrl;
    ctrl.setRotAxIsV(true);
    ctrl.setSliceNo(3);
    ctrl.setCor(58.0);
    ctrl.setDataSetImages(spec.projections);
    Sinogram panel;
    panel.setImgDatas(&phantomSet);
    panel.setProcCtrl(&ctrl);
    panel.findChild<QPushButton*>(QStringLiteral("GuessCor"))->click();
    QVERIFY(std::abs(ctrl.cor() - spec.cor) < 0.25);
    QCOMPARE(panel.findChild<QLineEdit*>(QStringLiteral("CoR"))->text(), ProcCtrl::doubleText(ctrl.cor()));
}

QTEST_MAIN(TstSinogram)
#include "tst_sinogram.moc"
