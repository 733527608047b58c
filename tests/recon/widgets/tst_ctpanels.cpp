#include "display/widgets/imgdisp.h"
#include "display/widgets/imgdispwpv.h"
#include "input/imgdatas.h"
#include "recon/widgets/ctcalc.h"
#include "recon/ctprogress.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "tools/phantomset.h"

#include <QTimer>
#include <QtTest>

class TstCtPanels : public QObject
{
    Q_OBJECT

private slots:
    // One projection per step with the event loop running between; a stop ends the chain.
    void sliceGrowsWhileWindowResponds()
    {
        const PhantomSpec ps = phantomModel(true, 96, 6, 40, 47.5);
        ImgDatas set;
        PhantomSet data;
        QVERIFY(data.load(set, ps));
        ProcCtrl ctrl;
        ctrl.setRotAxIsV(true);
        ctrl.setSliceNo(3);
        ctrl.setCor(47.5);
        ctrl.setDataSetImages(ps.projections);
        Sinogram sinogram;
        sinogram.setImgDatas(&set);
        sinogram.setProcCtrl(&ctrl);
        CtCalc panel;
        panel.setSinogram(&sinogram);
        panel.setProcCtrl(&ctrl);
        panel.setAtOnce(false);
        QList<qint64> pictures;
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(0);
        QSignalSpy done(&panel, &CtCalc::calcFinished);
        connect(&panel, &CtCalc::finishedCalcOne, this, [&] {
            pictures << panel.display()->img().cacheKey();
            if (pictures.size() == 5 && done.isEmpty())
                panel.calcCt(); // the stop
        });
        panel.calcCt();
        QVERIFY(panel.isRunning());
        QTRY_COMPARE(done.count(), 1);
        QTest::qWait(50);
        QCOMPARE(pictures.size(), 5);
        QVERIFY(!panel.isRunning());
        // A new run goes through every projection from the first.
        pictures.clear();
        ticks = 0;
        panel.calcCt();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 30000);
        QCOMPARE(pictures.size(), ps.projections);
        QCOMPARE(QSet<qint64>(pictures.begin(), pictures.end()).size(), ps.projections);
        QVERIFY2(ticks >= ps.projections / 2, qPrintable(QString::number(ticks)));
        QCOMPARE(panel.pacer()->getIndex(), ps.projections);
    }
};

QTEST_MAIN(TstCtPanels)
#include "tst_ctpanels.moc"
