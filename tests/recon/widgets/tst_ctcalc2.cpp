#include "input/imgdatas.h"
#include "recon/widgets/ctcalc.h"
#include "recon/ctcalc2.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "tools/phantomset.h"
#include "tests/support/testutil.h"

#include <QThread>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>

// A worker on its own thread, driven by queued signals as the main window drives it.
class WorkerRig : public QObject
{
    Q_OBJECT

public:
    explicit WorkerRig(const ImgDatas* set)
    {
        worker.setImgDatas(set);
        worker.setParams(&params);
        worker.moveToThread(&thread);
        connect(this, &WorkerRig::startCt, &worker, &CtCalc2::startCt);
        connect(&worker, &CtCalc2::saveDataWDiscard, this, [this](SavingData* d) { dataRecords << d; });
        connect(&worker, &CtCalc2::saveImgWDiscard, this, [this](SavingImg* i) { imgRecords << i; });
        connect(&worker, &CtCalc2::ctImage, this, [this](int slice, const QImage&) { listed << slice; });
        // Counted on this thread: a spy's wait() misses a cross-thread emission that comes before it waits.
        connect(&worker, &CtCalc2::calcFinished, this, [this] { ++finished; });
        thread.start();
    }
    ~WorkerRig() override
    {
        thread.quit();
        thread.wait();
        qDeleteAll(dataRecords);
        qDeleteAll(imgRecords);
    }
    bool run(double cor, int slice, bool rotAxIsV)
    {
        const int before = finished;
        emit startCt(&worker, rotAxIsV, cor, slice, true);
        return QTest::qWaitFor([&] { return finished > before; }, 30000) && !worker.isBusy();
    }
    void call(std::function<void(CtCalc2*)> f)
    {
        QMetaObject::invokeMethod(&worker, [this, f] { f(&worker); }, Qt::BlockingQueuedConnection);
    }

    ProcParams params;
    CtCalc2 worker;
    QThread thread;
    QList<SavingData*> dataRecords;
    QList<SavingImg*> imgRecords;
    QList<int> listed;
    int finished = 0;

signals:
    void startCt(CtCalc2* ctc2, bool rotAxIsV, double cor, int slice, bool genAndDispImage);
};

struct Run { bool rotAxIsV, partial; int start, count; bool atOnce; };
Q_DECLARE_METATYPE(Run)


// Every multi-slice run and batch relies on the worker.
class TstCtCalc2 : public QObject
{
    Q_OBJECT

private slots:
    void panelAndWorkerGiveIdenticalNumbers_data()
    {
        QTest::addColumn<Run>("c");
        QTest::newRow("horizontal axis, one by one") << Run{false, false, 0, 0, false};
        QTest::newRow("partial 10 + 40, at once") << Run{true, true, 10, 40, true};
        QTest::newRow("partial wrapping 50 + 30, one by one") << Run{true, true, 50, 30, false};
    }
    void panelAndWorkerGiveIdenticalNumbers()
    {
        QFETCH(Run, c);
        const bool rotAxIsV = c.rotAxIsV, partial = c.partial;
        ImgDatas set;
        PhantomSet data;
        QVERIFY(data.load(set, phantomModel(rotAxIsV, 96, 10, 60, 47.25)));

        ProcCtrl ctrl;
        ctrl.setRotAxIsV(rotAxIsV);
        ctrl.setSliceNo(4);
        ctrl.setCor(47.25);
        ctrl.setDataSetImages(set.count());
        ctrl.setDataSetStartImageNo(c.start);
        ctrl.setDataSetUsingImages(c.count);
        ctrl.setUsePartialDataSet(partial);
        Sinogram sinogram;
        sinogram.setImgDatas(&set);
        sinogram.setProcCtrl(&ctrl);
        CtCalc panel;
        panel.setSinogram(&sinogram);
        panel.setProcCtrl(&ctrl);
        panel.setAtOnce(c.atOnce);
        QSignalSpy panelDone(&panel, &CtCalc::calcFinished);
        panel.calcCt();
        QVERIFY(panelDone.wait(30000) || panelDone.count() == 1);
        QCOMPARE(panelDone.count(), 1);
        QVERIFY(!panel.isRunning());
        QCOMPARE(panel.runSinogram().rows, partial ? c.count : set.count());

        WorkerRig rig(&set);
        rig.params = ctrl.procParams(false, true);
        QVERIFY(rig.run(47.25, 4, rotAxIsV));
        QVERIFY(rig.worker.hasResult());
        const auto& a = panel.engine().result();
        const auto& b = rig.worker.engine().result();
        QVERIFY(rig.worker.engine().max() > 0.0); // a real slice, not two empty grids
        QVERIFY(a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
    }

    void nothingOfOneSliceUnderAnother_data()
    {
        QTest::addColumn<double>("badCor");
        QTest::addColumn<bool>("emptySet");
        QTest::newRow("CoR not a number") << qQNaN() << false;
        QTest::newRow("CoR leaving no grid") << 95.0 << false;
        QTest::newRow("image set emptied") << 47.25 << true;
    }

    // A slice without a sinogram must not reconstruct, show, list or save what the last slice left.
    void nothingOfOneSliceUnderAnother()
    {
        QFETCH(double, badCor);
        QFETCH(bool, emptySet);
        ImgDatas set;
        PhantomSet data;
        QVERIFY(data.load(set, phantomModel(true, 96, 10, 60, 47.25)));
        QTemporaryDir out;
        WorkerRig rig(&set);
        rig.params.dataSetImages = set.count();
        rig.params.usingImages = set.count();
        const QString path = out.path();
        rig.call([path](CtCalc2* w) {
            w->setSaveData(true, path, QStringLiteral("n"), QStringLiteral("t"));
            w->setSaveImage(true, path, QStringLiteral("n"), QStringLiteral("t"));
        });

        QVERIFY(rig.run(47.25, 3, true));
        QCOMPARE(rig.dataRecords.size(), 1);
        QCOMPARE(rig.imgRecords.size(), 1);
        QCOMPARE(rig.dataRecords[0]->sliceNo, QStringLiteral("00003"));

        if (emptySet)
            set.clearImgs();
        QVERIFY(rig.run(badCor, 7, true));
        QVERIFY(!rig.worker.hasResult());
        QCOMPARE(rig.dataRecords.size(), 1);
        QCOMPARE(rig.imgRecords.size(), 1);
        QCOMPARE(rig.listed, QList<int>{3});
        QCOMPARE(rig.worker.sliceNo(), 7);
        // No value read-out of the old grid either.
        QSignalSpy value(&rig.worker, &CtCalc2::valueAt);
        rig.call([](CtCalc2* w) { w->askValueAt(10, 10); });
        QCOMPARE(value.count(), 1);
        QCOMPARE(value.at(0).at(3).toBool(), false);

        if (emptySet)
            return;
        QVERIFY(rig.run(47.25, 5, true));
        QCOMPARE(rig.dataRecords.size(), 2);
        QCOMPARE(rig.dataRecords[1]->sliceNo, QStringLiteral("00005"));
        QCOMPARE(rig.imgRecords[1]->sliceNo, QStringLiteral("00005"));
        QCOMPARE(rig.listed, (QList<int>{3, 5}));
    }
};

QTEST_MAIN(TstCtCalc2)
#include "tst_ctcalc2.moc"
