#include "display/imgdisp.h"
#include "display/imgdispwpv.h"
#include "input/imgdatas.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/ctcalc.h"
#include "recon/ctcalc2ui.h"
#include "recon/ctdisp.h"
#include "recon/ctprogress.h"
#include "recon/procctrl.h"
#include "recon/sinogram.h"
#include "tests/support/phantomset.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The result panels: the CT images list must keep slices in order, the
// regions must be announced exactly when they change, and the interactive
// panel must grow its slice step by step without freezing the window.
class TstCtPanels : public QObject
{
    Q_OBJECT

private slots:
    void ctImagesListOrder_data();
    void ctImagesListOrder();
    void calcRegionFromDisplay_data();
    void calcRegionFromDisplay();
    void regionAnnouncedOnlyWhenChanged();
    void sliceGrowsWhileWindowResponds();
};

namespace {

QImage tagged(int tag)
{
    QImage img(4, 4, QImage::Format_Grayscale8);
    img.fill(uint(tag));
    return img;
}

QList<int> sliceOrder(const CtDisp& d)
{
    QList<int> out;
    for (int i = 0; i < d.count(); ++i)
        out << d.sliceAt(i);
    return out;
}

QLineEdit* field(QWidget& w, const char* name)
{
    return w.findChild<QLineEdit*>(QLatin1String(name));
}

} // namespace

void TstCtPanels::ctImagesListOrder_data()
{
    QTest::addColumn<QList<int>>("arrivals");
    QTest::addColumn<QList<int>>("slices");  // listed order
    QTest::addColumn<QList<int>>("tags");    // arrival index of each listed entry
    QTest::addColumn<QList<int>>("shown");   // slice shown after each arrival
    QTest::newRow("30, 10, 20") << QList<int>{30, 10, 20} << QList<int>{10, 20, 30} << QList<int>{1, 2, 0}
                                << QList<int>{30, 30, 30};
    QTest::newRow("equal numbers keep arrival order")
        << QList<int>{20, 10, 20, 10} << QList<int>{10, 10, 20, 20} << QList<int>{1, 3, 0, 2}
        << QList<int>{20, 20, 20, 20};
    QTest::newRow("ascending run") << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << QList<int>{0, 1, 2}
                                   << QList<int>{1, 2, 3};
}

void TstCtPanels::ctImagesListOrder()
{
    QFETCH(QList<int>, arrivals);
    QFETCH(QList<int>, slices);
    QFETCH(QList<int>, tags);
    QFETCH(QList<int>, shown);
    CtDisp d;
    // A list left from an earlier run must not leak into this one.
    d.addImg(99, tagged(99));
    d.clear();
    QList<int> shownAfter;
    for (int i = 0; i < arrivals.size(); ++i) {
        d.addImg(arrivals[i], tagged(i));
        shownAfter << d.sliceAt(d.shownIndex());
        QCOMPARE(d.seeker()->maximum(), i);
        QCOMPARE(d.seeker()->value(), i);
    }
    QCOMPARE(sliceOrder(d), slices);
    QCOMPARE(shownAfter, shown);
    QCOMPARE(int(d.display()->img().constScanLine(0)[0]), tags.last());
    const QList<QImage> imgs = d.getQImages();
    for (int i = 0; i < imgs.size(); ++i)
        QCOMPARE(int(imgs[i].constScanLine(0)[0]), tags[i]);
    // Paging shows the entry at the index.
    d.seeker()->setIndex(0);
    QCOMPARE(int(d.display()->img().constScanLine(0)[0]), tags[0]);
}

void TstCtPanels::calcRegionFromDisplay_data()
{
    QTest::addColumn<QRectF>("display"); // x0, z0, x1, z1 as a rectangle's corners
    QTest::addColumn<QRectF>("calc");
    QTest::newRow("10.4 .. 99.6") << QRectF(QPointF(10.4, 10.4), QPointF(99.6, 99.6))
                                  << QRectF(QPointF(10, 10), QPointF(100, 100));
    QTest::newRow("whole pixels stay") << QRectF(QPointF(0, 16), QPointF(512, 480))
                                       << QRectF(QPointF(0, 16), QPointF(512, 480));
    QTest::newRow("beyond the grid's origin") << QRectF(QPointF(-0.5, -3.2), QPointF(0.1, 7.0))
                                              << QRectF(QPointF(-1, -4), QPointF(1, 7));
}

void TstCtPanels::calcRegionFromDisplay()
{
    QFETCH(QRectF, display);
    QFETCH(QRectF, calc);
    CtCalc2Ui panel;
    QSignalSpy cr(&panel, &CtResPanel::cRUpdated);
    panel.setDR(display.left(), display.top(), display.right(), display.bottom());
    QCOMPARE(panel.display()->view(), QRectF(display.left(), display.top(), display.width(), display.height()));
    panel.findChild<QPushButton*>(QStringLiteral("SetCRegion"))->click();
    QCOMPARE(cr.count(), 1);
    const CalcRegion r = panel.calcRegion();
    QCOMPARE(QRectF(QPointF(r.x0, r.z0), QPointF(r.x1, r.z1)), calc);
    QVERIFY(panel.isRegionSet());
    QCOMPARE(field(panel, "Crx0")->text(), QString::number(calc.left()));
    // The same region again is no change.
    panel.findChild<QPushButton*>(QStringLiteral("SetCRegion"))->click();
    QCOMPARE(cr.count(), 1);
}

void TstCtPanels::regionAnnouncedOnlyWhenChanged()
{
    CtCalc2Ui panel;
    QSignalSpy cr(&panel, &CtResPanel::cRUpdated);
    QSignalSpy dr(&panel, &CtResPanel::dRUpdated);
    panel.setCR(0, 0, 128, 128);
    QCOMPARE(cr.count(), 1);
    // Leaving a field without typing is no edit.
    emit field(panel, "Crz1")->editingFinished();
    QCOMPARE(cr.count(), 1);
    // Typing only the lower edge announces the region with only that changed.
    field(panel, "Crz1")->setText(QStringLiteral("100"));
    field(panel, "Crz1")->setModified(true);
    emit field(panel, "Crz1")->editingFinished();
    QCOMPARE(cr.count(), 2);
    QCOMPARE(cr.at(1), (QList<QVariant>{0.0, 0.0, 128.0, 100.0}));
    // A zoom is announced once; the same view again is not.
    panel.noticedNewS(QRectF(8, 8, 64, 32));
    panel.noticedNewS(QRectF(8, 8, 64, 32));
    QCOMPARE(dr.count(), 1);
    QCOMPARE(dr.at(0), (QList<QVariant>{8.0, 8.0, 72.0, 40.0}));
    // Not-a-number edges are announced once, not over and over.
    panel.setCR(qQNaN(), 0, 128, 100);
    panel.setCR(qQNaN(), 0, 128, 100);
    QCOMPARE(cr.count(), 3);
}

// One by one, each projection is a step of its own: the picture changes
// after each, the event loop runs between them, and a stop ends the chain
// so that a new run starts from its first projection.
void TstCtPanels::sliceGrowsWhileWindowResponds()
{
    PhantomSpec spec;
    spec.width = 96;
    spec.height = 6;
    spec.projections = 40;
    spec.cor = 47.5;
    ImgDatas set;
    PhantomSet data;
    QVERIFY(data.load(set, spec));
    ProcCtrl ctrl;
    ctrl.setRotAxIsV(true);
    ctrl.setSliceNo(3);
    ctrl.setCor(47.5);
    ctrl.setDataSetImages(spec.projections);
    Sinogram sinogram;
    sinogram.setImgDatas(&set);
    sinogram.setProcCtrl(&ctrl);
    CtCalc panel;
    panel.setSinogram(&sinogram);
    panel.setProcCtrl(&ctrl);
    panel.setAtOnce(false);

    QList<qint64> pictures;
    connect(&panel, &CtCalc::finishedCalcOne, this, [&] { pictures << panel.display()->img().cacheKey(); });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(0);
    QSignalSpy done(&panel, &CtCalc::calcFinished);

    // Stop after a few steps: the chain ends there.
    connect(&panel, &CtCalc::finishedCalcOne, this, [&] {
        if (pictures.size() == 5 && done.isEmpty())
            panel.calcCt();
    });
    panel.calcCt();
    QVERIFY(panel.isRunning());
    QTRY_COMPARE(done.count(), 1);
    QTest::qWait(50);
    QCOMPARE(pictures.size(), 5);
    QVERIFY(!panel.isRunning());

    // A new run goes through every projection.
    pictures.clear();
    ticks = 0;
    panel.calcCt();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 30000);
    QCOMPARE(pictures.size(), spec.projections);
    QCOMPARE(QSet<qint64>(pictures.begin(), pictures.end()).size(), spec.projections);
    QVERIFY2(ticks >= spec.projections / 2, qPrintable(QString::number(ticks)));
    QCOMPARE(panel.pacer()->getIndex(), spec.projections);
}

QTEST_MAIN(TstCtPanels)
#include "tst_ctpanels.moc"
