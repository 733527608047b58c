#include "display/widgets/colorbar.h"
#include "display/widgets/imgdisp.h"
#include "display/widgets/imgdispwpv.h"
#include "input/imgdatas.h"
#include "recon/ctcalc2.h"
#include "recon/ctprogress.h"
#include "recon/widgets/ctcalc.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"
#include "tools/phantomset.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMetaMethod>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <array>
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
struct CheckRows { bool alter; int offset, partialStart; double rangeDeg; QString rows; }; // partialStart -1: off
Q_DECLARE_METATYPE(Run)
Q_DECLARE_METATYPE(CheckRows)

// Records the names of the panel's signals in the order they arrive.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    explicit SignalLog(QObject* source)
    {
        const QMetaObject* mo = source->metaObject();
        const QMetaMethod hit = metaObject()->method(metaObject()->indexOfSlot("hit()"));
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
            if (mo->method(i).methodType() == QMetaMethod::Signal)
                connect(source, mo->method(i), this, hit);
    }
    QStringList names;
public slots:
    void hit() { names << QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()); }
};

namespace {

template <typename T>
T* child(ProcCtrl& p, const QString& name)
{
    T* w = p.findChild<T*>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

// Steps separated by ';': "type FIELD text", "click BUTTON", "call SLOT arg" (a double, int or bool slot).
void perform(ProcCtrl& p, const QString& steps)
{
    for (const QString& step : steps.split(';', Qt::SkipEmptyParts)) {
        const QString verb = step.section(' ', 0, 0, QString::SectionSkipEmpty);
        const QString what = step.section(' ', 1, 1, QString::SectionSkipEmpty);
        const QString arg = step.section(' ', 2, -1, QString::SectionSkipEmpty);
        if (verb == "type") {
            auto* e = child<QLineEdit>(p, what);
            e->selectAll();
            QTest::keyClicks(e, arg);
            QTest::keyClick(e, Qt::Key_Return);
        } else if (verb == "click") {
            child<QAbstractButton>(p, what)->click();
        } else {
            bool ok = false;
            for (const char* type : {"double", "int", "bool"}) {
                const int m = p.metaObject()->indexOfSlot(qPrintable(QStringLiteral("%1(%2)").arg(what, type)));
                QVariant v(arg);
                if (m >= 0 && v.convert(QMetaType::fromName(type)) && !ok)
                    ok = p.metaObject()->method(m).invoke(&p, QGenericArgument(type, v.constData()));
            }
            if (!ok)
                qFatal("cannot do %s", qPrintable(step));
        }
    }
}

} // namespace

// The panels of one slice, wired as the window wires them.
struct Panels {
    Panels(ImgDatas* set, bool rotAxIsV, int slice, double cor, int images)
    {
        ctrl.setRotAxIsV(rotAxIsV);
        ctrl.setSliceNo(slice);
        ctrl.setCor(cor);
        ctrl.setDataSetImages(images);
        sinogram.setImgDatas(set);
        sinogram.setProcCtrl(&ctrl);
        calc.setSinogram(&sinogram);
        calc.setProcCtrl(&ctrl);
    }
    ProcCtrl ctrl;
    Sinogram sinogram;
    CtCalc calc;
};

constexpr int D = 16, images = 6;
constexpr double cor = 7.25;

// The reconstruction panels: parameters that signal only real changes, the sinogram check image, the
// panel's step-by-step run, and a worker that never shows or saves one slice's numbers as another's.
class TstCtPanels : public QObject
{
    Q_OBJECT

private slots:
    // Image i of the sinogram set holds 100 * i + x at every pixel (x, y).
    void initTestCase()
    {
        for (int i = 0; i < images; ++i) {
            QVector<double> v;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < D; ++x)
                    v << 100.0 * i + x;
            const QString path = dir.filePath(QStringLiteral("p%1.img").arg(i));
            QVERIFY(itexImage(D, 3, 2, v).write(path));
            QVERIFY(sgmSet.add(path, 0));
        }
    }

    void signalsOnlyOnRealChanges_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("signalNames");
        const QStringList none;
        QTest::newRow("setCor twice") << "call setCor 1000.5; call setCor 1000.5" << QStringList{"corUpdated"};
        QTest::newRow("typed slice, same number") << "type SliceNo 01000" << none;
        QTest::newRow("typed slice, not a number reads 0") << "type SliceNo abc" << QStringList{"sliceNoUpdated"};
        QTest::newRow("V clicked twice") << "click RotAxV; click RotAxV" << QStringList{"rotAxUpdated"};
        QTest::newRow("axis by command, changed")
            << "call setRotAxIsV 1; call setRotAxIsH 0; call setRotAxIsH 1" << QStringList{"rotAxUpdated", "rotAxUpdated"};
        QTest::newRow("angle origin set silently, then confirmed")
            << "call setAngleOriginDeg 3; type AngleOriginDeg 3" << QStringList{"angleOriginUpdated"};
        QTest::newRow("partial by command")
            << "call setUsePartialDataSet 0; call setUsePartialDataSet 1; call setUsePartialDataSet 1"
            << QStringList{"usePartialDataSetUpdated"};
        QTest::newRow("auto exec") << "call setAutoExec 0; click AutoExecCtCalc; call setAutoExec 0"
                                   << QStringList{"autoExecUpdated", "autoExecUpdated"};
        QTest::newRow("silent setters")
            << "call setSliceFrom 3; call setSliceTo 9; call setSliceStep 2; call setAngleOriginDeg 1; "
               "call setDataSetRangeDeg 360; call setDataSetImages 720; call setDataSetUsingImages 10; "
               "call setDataSetStartImageNo 4; call setThreads 2; call setMaxThreads 8; click RecCoR; click ClearRecCoR"
            << none;
    }

    void signalsOnlyOnRealChanges()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, signalNames);
        ProcCtrl p;
        SignalLog log(&p);
        perform(p, steps);
        QCOMPARE(log.names, signalNames);
    }

    // The recorded CoRs give the CoR law with the typed values, not the six digits shown.
    void recordedCoRs()
    {
        ProcCtrl p;
        perform(p, "type SliceNo 100; type CoR 1000.123456789; click RecCoR; type SliceNo 900; type CoR 1010.25; click RecCoR");
        const ProcParams s = p.procParams(false, true);
        QCOMPARE(QList<double>({double(s.recordedSlice1), s.recordedCor1, double(s.recordedSlice2)}),
                 QList<double>({900, 1010.25, 100}));
        QVERIFY(s.recordedCor2 == 1000.123456789 && s.hasCorLaw());
        child<QAbstractButton>(p, "ClearRecCoR")->click();
        QVERIFY(!p.procParams(false, true).hasCorLaw());
    }
    // A run's step points from From towards To whatever its sign; 0 would hand out one slice for ever.
    void runStep()
    {
        ProcCtrl p;
        const std::array<int, 4> rows[] = {{130, 120, 5, -5}, {-2, 1, 0, 1}, {3, 9, -2, 2}};
        for (const auto& [from, to, step, directed] : rows) {
            p.setSliceFrom(from), p.setSliceTo(to), p.setSliceStep(step);
            const ProcParams params = p.procParams(false, true);
            QCOMPARE(QList<int>({params.from, params.to, params.step}), QList<int>({from, to, directed}));
        }
    }

    // The check image is how a user judges the CoR by eye. Rows as "image", or "image'" for a row mirrored
    // about the CoR.
    void checkImageRows_data()
    {
        QTest::addColumn<CheckRows>("c");
        QTest::newRow("offset -1") << CheckRows{false, -1, -1, 180, "5 0 1 2 3 4 5' 0' 1' 2' 3' 4'"};
        QTest::newRow("alternating") << CheckRows{true, 0, -1, 180, "0 5' 1 4' 2 3' 3 2' 4 1' 5 0'"};
        QTest::newRow("360 degrees: half the images") << CheckRows{false, 0, -1, 360, "0 1 2 0' 1' 2'"};
        QTest::newRow("partial from image 4") << CheckRows{false, 0, 4, 180, "4 5 0 1 2 3 4' 5' 0' 1' 2' 3'"};
    }

    void checkImageRows()
    {
        QFETCH(CheckRows, c);
        const QStringList rows = c.rows.split(' ');
        Panels p(&sgmSet, true, 1, cor, images);
        ProcCtrl& ctrl = p.ctrl;
        Sinogram& panel = p.sinogram;
        ctrl.setDataSetRangeDeg(c.rangeDeg);
        ctrl.setUsePartialDataSet(c.partialStart >= 0);
        ctrl.setDataSetStartImageNo(std::max(0, c.partialStart));
        ctrl.setDataSetUsingImages(images);
        panel.setAlterStack(c.alter);
        panel.setYOffset(c.offset);
        ColorBar* bar = panel.display()->colorBar();
        bar->setFixColorScale(true);
        bar->setMinV(0.0);
        bar->setMaxV(1024.0);
        panel.genSgmImage();

        const QImage& img = panel.display()->img();
        QCOMPARE(img.size(), QSize(2 * D, rows.size()));
        for (int row = 0; row < rows.size(); ++row) {
            for (int k : {9, 12, 20, 23}) {
                // Straight rows show detector position cor - D + k, mirrored rows that of column 2D - 1 - k.
                const double x = rows[row].endsWith('\'') ? cor + D - 1 - k : cor - D + k;
                const double expected = 100.0 * rows[row].left(1).toInt() + x;
                if (x < 0.0 || x > D - 1)
                    continue;
                double v = 0.0;
                QVERIFY(panel.checkImageValue(k, row, &v));
                QCOMPARE(v, expected);
                QCOMPARE(int(img.constScanLine(row)[k]), bar->colorIndex(expected));
            }
        }
        double v = 0.0;
        QVERIFY(!panel.checkImageValue(2 * D, 0, &v));
        QVERIFY(!panel.checkImageValue(0, rows.size(), &v));
    }

    void panelAndWorkerGiveIdenticalNumbers_data()
    {
        QTest::addColumn<Run>("c");
        QTest::newRow("horizontal axis, one by one") << Run{false, false, 0, 0, false};
        QTest::newRow("partial 10 + 40, at once") << Run{true, true, 10, 40, true};
    }
    // Every multi-slice run and batch relies on the worker giving the panel's numbers.
    void panelAndWorkerGiveIdenticalNumbers()
    {
        QFETCH(Run, c);
        ImgDatas set;
        PhantomSet data;
        QVERIFY(data.load(set, phantomModel(c.rotAxIsV, 96, 10, 60, 47.25)));
        Panels p(&set, c.rotAxIsV, 4, 47.25, set.count());
        p.ctrl.setDataSetStartImageNo(c.start);
        p.ctrl.setDataSetUsingImages(c.count);
        p.ctrl.setUsePartialDataSet(c.partial);
        p.calc.setAtOnce(c.atOnce);
        QSignalSpy panelDone(&p.calc, &CtCalc::calcFinished);
        p.calc.calcCt();
        QVERIFY(panelDone.wait(30000) || panelDone.count() == 1);
        QCOMPARE(panelDone.count(), 1);
        QVERIFY(!p.calc.isRunning());
        QCOMPARE(p.calc.runSinogram().rows, c.partial ? c.count : set.count());

        WorkerRig rig(&set);
        rig.params = p.ctrl.procParams(false, true);
        QVERIFY(rig.run(47.25, 4, c.rotAxIsV));
        QVERIFY(rig.worker.hasResult());
        const auto& a = p.calc.engine().result();
        const auto& b = rig.worker.engine().result();
        QVERIFY(rig.worker.engine().max() > 0.0); // a real slice, not two empty grids
        QVERIFY(a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
    }

    // One projection per step with the event loop running between; a stop ends the chain, and the next
    // run starts again from the first projection.
    void sliceGrowsWhileWindowResponds()
    {
        const PhantomSpec ps = phantomModel(true, 96, 6, 40, 47.5);
        ImgDatas set;
        PhantomSet data;
        QVERIFY(data.load(set, ps));
        Panels p(&set, true, 3, 47.5, ps.projections);
        CtCalc& panel = p.calc;
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
        pictures.clear();
        ticks = 0;
        panel.calcCt();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 30000);
        QCOMPARE(pictures.size(), ps.projections);
        QCOMPARE(QSet<qint64>(pictures.begin(), pictures.end()).size(), ps.projections);
        QVERIFY2(ticks >= ps.projections / 2, qPrintable(QString::number(ticks)));
        QCOMPARE(panel.pacer()->getIndex(), ps.projections);
    }

    void nothingOfOneSliceUnderAnother_data()
    {
        QTest::addColumn<double>("badCor");
        QTest::addColumn<bool>("emptySet");
        QTest::newRow("CoR not a number") << qQNaN() << false;
        QTest::newRow("image set emptied") << 47.25 << true;
    }

    // A slice without a sinogram must not reconstruct, show, list or save what the last slice left.
    // (Which CoRs leave no sinogram is tst_sinogramcore's.)
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
private:
    QTemporaryDir dir;
    ImgDatas sgmSet;
};

QTEST_MAIN(TstCtPanels)
#include "tst_ctpanels.moc"
