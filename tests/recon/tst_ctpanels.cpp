#include "display/imgdisp.h"
#include "display/imgdispwpv.h"
#include "input/imgdatas.h"
#include "recon/ctcalc.h"
#include "recon/ctcalc2ui.h"
#include "recon/ctprogress.h"
#include "recon/procctrl.h"
#include "recon/sinogram.h"
#include "tests/support/phantomset.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TstCtPanels : public QObject
{
    Q_OBJECT

private slots:

    // Regions are announced exactly when they change; the display's region rounds outwards to whole pixels.
    void regionAnnouncedOnlyWhenChanged()
    {
        CtCalc2Ui panel;
        auto field = [&](const char* name) { return panel.findChild<QLineEdit*>(QLatin1String(name)); };
        QSignalSpy cr(&panel, &CtResPanel::cRUpdated);
        QSignalSpy dr(&panel, &CtResPanel::dRUpdated);
        panel.setDR(-0.5, 10.4, 0.1, 99.6);
        for (int k = 0; k < 2; ++k)
            panel.findChild<QPushButton*>(QStringLiteral("SetCRegion"))->click();
        QCOMPARE(cr.count(), 1);
        QCOMPARE(cr.at(0), (QList<QVariant>{-1.0, 10.0, 1.0, 100.0}));
        QCOMPARE(field("Crx0")->text(), QStringLiteral("-1"));
        panel.setCR(0, 0, 128, 128);
        QCOMPARE(cr.count(), 2);
        // Leaving a field without typing is no edit; typing one edge changes only that edge.
        emit field("Crz1")->editingFinished();
        QCOMPARE(cr.count(), 2);
        field("Crz1")->setText(QStringLiteral("100"));
        field("Crz1")->setModified(true);
        emit field("Crz1")->editingFinished();
        QCOMPARE(cr.count(), 3);
        QCOMPARE(cr.at(2), (QList<QVariant>{0.0, 0.0, 128.0, 100.0}));
        dr.clear();
        panel.noticedNewS(QRectF(8, 8, 64, 32));
        panel.noticedNewS(QRectF(8, 8, 64, 32));
        QCOMPARE(dr.count(), 1);
        QCOMPARE(dr.at(0), (QList<QVariant>{8.0, 8.0, 72.0, 40.0}));
        // Not-a-number edges are announced once, not over and over.
        panel.setCR(qQNaN(), 0, 128, 100);
        panel.setCR(qQNaN(), 0, 128, 100);
        QCOMPARE(cr.count(), 4);
    }

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
