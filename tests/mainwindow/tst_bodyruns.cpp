#include "display/imgdispwpv.h"
#include "input/imgdatas.h"
#include "input/selectafile.h"
#include "mainwindow/body.h"
#include "recon/ctcalc.h"
#include "recon/ctcalc2.h"
#include "recon/ctcalc2ui.h"
#include "recon/ctdisp.h"
#include "recon/ctfft.h"
#include "recon/ctimgdatafile.h"
#include "recon/procctrl.h"
#include "recon/sinogram.h"
#include "recon/sinogramcore.h"
#include "mainwindow/framing/closablebase.h"
#include "mainwindow/framing/popdockbase.h"
#include "tests/support/phantomset.h"
#include "tests/support/testutil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QDir>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <memory>

// Records what a run does: which slice went to which worker with which CoR,
// in which order images arrived, and how the run ended.
struct RunLog {
    QList<int> handed;
    QList<int> handedWorker;
    QList<double> handedCor;
    QList<int> arrived;
    int finished = 0;
    int batchFinished = 0;
    bool busyAtFinish = false;

    void attach(Body& body, QObject* ctx)
    {
        QObject::connect(&body, &Body::startCt, ctx, [this, &body](CtCalc2* w, bool, double cor, int s, bool) {
            handed << s;
            handedWorker << int(body.workers().indexOf(w));
            handedCor << cor;
        });
        for (CtCalc2* w : body.workers())
            QObject::connect(w, &CtCalc2::ctImage, ctx, [this](int s, const QImage&) { arrived << s; });
        QObject::connect(&body, &Body::calcFinished, ctx, [this, &body] {
            ++finished;
            busyAtFinish = busyAtFinish || body.anyWorkerBusy();
        });
        QObject::connect(&body, &Body::batchCalcFinished, ctx, [this] { ++batchFinished; });
    }
};

// Runs of the main window: slices handed out in the right order to idle
// workers, progress, stop, end notices, bad input, regions kept in step,
// and a phantom reconstructed and saved under the right names.
class TstBodyRuns : public QObject
{
    Q_OBJECT

private slots:
    void threadCountDefault_data();
    void threadCountDefault();
    void engineSelection_data();
    void engineSelection();
    void autoExecHandsOutInOrder_data();
    void autoExecHandsOutInOrder();
    void progressReadOut_data();
    void progressReadOut();
    void stopLetsStartedSlicesFinish();
    void stopTwiceAndCalcWhileEnding();
    void badInputEndsCleanly_data();
    void badInputEndsCleanly();
    void regionsStayInStep();
    void panelRunThroughBody_data();
    void panelRunThroughBody();
    void phantomRunSavesEverySlice_data();
    void phantomRunSavesEverySlice();
    void closingKeepsEveryStartedSlice();
};

namespace {

PhantomSpec tallPhantom(int width = 64, int projections = 36)
{
    PhantomSpec s;
    s.width = width;
    s.height = 128;
    s.projections = projections;
    s.cor = (width - 1) / 2.0;
    s.rotAxisVertical = true;
    return s;
}

// Destination of automatic saving, as the user sets it in a selector.
void setSaveDir(SelectAFile* s, const QString& dir, const QString& name, const QString& tag)
{
    s->setDir(dir);
    s->setName(name);
    s->setTag(tag);
}

template <typename T>
T* child(QObject& o, const char* name)
{
    T* c = o.findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

QString text(Body& b, const char* name)
{
    return child<QLineEdit>(b, name)->text();
}

void setRange(ProcCtrl* p, int from, int to, int step, int threads)
{
    p->setAutoExec(true);
    p->setSliceFrom(from);
    p->setSliceTo(to);
    p->setSliceStep(step);
    p->setThreads(threads);
}

void prepare(Body& b, const PhantomSpec& spec)
{
    ProcCtrl* p = b.procCtrlPanel();
    p->setRotAxIsV(spec.rotAxisVertical);
    p->setCor(spec.cor);
    p->setDataSetImages(spec.projections);
}

bool waitFinished(const RunLog& log, int count, int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (log.finished < count && t.elapsed() < ms)
        QTest::qWait(5);
    return log.finished == count;
}

QList<int> listed(const Body& b)
{
    QList<int> out;
    for (int i = 0; i < b.ctImages()->count(); ++i)
        out << b.ctImages()->sliceAt(i);
    return out;
}

QStringList filesUnder(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

void TstBodyRuns::threadCountDefault_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<int>("threads");
    QTest::newRow("1: at least one") << 1 << 1;
    QTest::newRow("2") << 2 << 1;
    QTest::newRow("5") << 5 << 4;
    QTest::newRow("8") << 8 << 6;
}

void TstBodyRuns::threadCountDefault()
{
    QFETCH(int, workers);
    QFETCH(int, threads);
    Body b(nullptr, workers);
    QCOMPARE(b.workers().size(), workers);
    QCOMPARE(b.procCtrlPanel()->threads(), threads);
    QCOMPARE(b.procCtrlPanel()->maxThreads(), workers);
    QCOMPARE(child<QLabel>(*b.procCtrlPanel(), "MaxThreads")->text(), QStringLiteral("/%1").arg(workers));
    // The spin box keeps "Threads" inside 1 .. workers.
    b.procCtrlPanel()->setThreads(0);
    QCOMPARE(b.procCtrlPanel()->threads(), 1);
    b.procCtrlPanel()->setThreads(workers + 5);
    QCOMPARE(b.procCtrlPanel()->threads(), workers);
}

void TstBodyRuns::engineSelection_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("ct2");
    QTest::addColumn<bool>("autoExec");
    QTest::newRow("Auto Exec on selects the workers") << "autoExecOn" << true << true;
    QTest::newRow("CT1 switches Auto Exec off") << "clickCt1" << false << false;
    QTest::newRow("CT2 leaves Auto Exec alone") << "clickCt2" << true << false;
}

void TstBodyRuns::engineSelection()
{
    QFETCH(QString, action);
    QFETCH(bool, ct2);
    QFETCH(bool, autoExec);
    Body b(nullptr, 2);
    QVERIFY(child<QAbstractButton>(b, "SelectCt1")->isChecked());
    if (action == QLatin1String("autoExecOn")) {
        b.procCtrlPanel()->setAutoExec(true);
    } else if (action == QLatin1String("clickCt1")) {
        b.procCtrlPanel()->setAutoExec(true);
        child<QAbstractButton>(b, "SelectCt1")->click();
    } else {
        child<QAbstractButton>(b, "SelectCt2")->click();
    }
    QCOMPARE(child<QAbstractButton>(b, "SelectCt2")->isChecked(), ct2);
    QCOMPARE(child<QAbstractButton>(b, "SelectCt1")->isChecked(), !ct2);
    QCOMPARE(b.procCtrlPanel()->autoExec(), autoExec);
}

void TstBodyRuns::autoExecHandsOutInOrder_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("100 -> 90 step 5") << 3 << 3 << 100 << 90 << 5 << QList<int>{100, 95, 90};
    QTest::newRow("From = To") << 3 << 3 << 7 << 7 << 1 << QList<int>{7};
    QTest::newRow("0 -> 10 step 3") << 3 << 2 << 0 << 10 << 3 << QList<int>{0, 3, 6, 9};
    QTest::newRow("10 -> 0 step 4") << 2 << 2 << 10 << 0 << 4 << QList<int>{10, 6, 2};
    QTest::newRow("90 -> 100 step -5") << 2 << 2 << 90 << 100 << -5 << QList<int>{90, 95, 100};
    QTest::newRow("step 0 counts as 1") << 2 << 2 << 3 << 5 << 0 << QList<int>{3, 4, 5};
    QTest::newRow("one thread of three") << 3 << 1 << 20 << 25 << 1 << QList<int>{20, 21, 22, 23, 24, 25};
    QTest::newRow("one thread, descending") << 2 << 1 << 12 << 9 << 1 << QList<int>{12, 11, 10, 9};
}

void TstBodyRuns::autoExecHandsOutInOrder()
{
    QFETCH(int, workers);
    QFETCH(int, threads);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, step);
    QFETCH(QList<int>, expected);
    Body b(nullptr, workers);
    PhantomSet data;
    QVERIFY(data.load(*b.imageSet(), tallPhantom()));
    prepare(b, tallPhantom());
    setRange(b.procCtrlPanel(), from, to, step, threads);
    RunLog log;
    log.attach(b, this);
    b.toggleCalcCt();
    QVERIFY(b.isRunning());
    QVERIFY(waitFinished(log, 1));
    QCOMPARE(log.handed, expected);
    QVERIFY(!log.busyAtFinish);
    QVERIFY(!b.isRunning());
    for (int w : log.handedWorker)
        QVERIFY(w >= 0 && w < threads);
    if (threads == 1)
        QCOMPARE(log.arrived, expected); // strictly one after another
    QList<int> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(listed(b), sorted);
    QCOMPARE(text(b, "ProgPerCent"), QStringLiteral("100.0 %"));
    QCOMPARE(log.finished, 1);
}

void TstBodyRuns::progressReadOut_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("shown");
    const QStringList fifths{"0 %", "20.0 %", "40.0 %", "60.0 %", "80.0 %", "100.0 %"};
    QTest::newRow("0 .. 4, one thread") << 1 << 0 << 4 << 1 << fifths;
    QTest::newRow("4 .. 0, one thread") << 1 << 4 << 0 << 1 << fifths;
    QTest::newRow("0 .. 10 step 5") << 1 << 0 << 10 << 5 << QStringList{"0 %", "33.3 %", "66.6 %", "100.0 %"};
    QTest::newRow("10 .. 0 step 5") << 1 << 10 << 0 << 5 << QStringList{"0 %", "33.3 %", "66.6 %", "100.0 %"};
    QTest::newRow("0 .. 10, two threads")
        << 2 << 0 << 10 << 1
        << QStringList{"0 %",    "9.0 %",  "18.1 %", "27.2 %", "36.3 %", "45.4 %",
                       "54.5 %", "63.6 %", "72.7 %", "81.8 %", "90.9 %", "100.0 %"};
}

// The read-out counts the running slices as not done and the next one as
// started, so it reaches 100.0 % while the last slice is still running.
void TstBodyRuns::progressReadOut()
{
    QFETCH(int, threads);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, step);
    QFETCH(QStringList, shown);
    Body b(nullptr, 2);
    PhantomSet data;
    QVERIFY(data.load(*b.imageSet(), tallPhantom()));
    prepare(b, tallPhantom());
    setRange(b.procCtrlPanel(), from, to, step, threads);
    RunLog log;
    log.attach(b, this);
    QStringList texts;
    int imagesAtFull = -1;
    connect(child<QLineEdit>(b, "ProgPerCent"), &QLineEdit::textChanged, this, [&](const QString& t) {
        texts << t;
        if (t == QLatin1String("100.0 %"))
            imagesAtFull = int(log.arrived.size());
    });
    b.toggleCalcCt();
    QVERIFY(waitFinished(log, 1));
    QCOMPARE(texts, shown);
    QCOMPARE(imagesAtFull, int(log.handed.size()) - 1);
}

// Stop hands out nothing more; what was started finishes, is listed and
// saved under its own number, and only then is the run announced as ended.
void TstBodyRuns::stopLetsStartedSlicesFinish()
{
    Body b(nullptr, 2);
    PhantomSet data;
    const PhantomSpec spec = tallPhantom(320, 180);
    QVERIFY(data.load(*b.imageSet(), spec));
    prepare(b, spec);
    setRange(b.procCtrlPanel(), 10, 60, 1, 2);
    QTemporaryDir out;
    setSaveDir(b.dataSaveDirSelector(), out.path(), QString(), QStringLiteral("T"));
    b.setAutoSaveData(true);
    RunLog log;
    log.attach(b, this);
    QString endAtStop;
    int handedAtStop = -1;
    connect(b.workers()[0], &CtCalc2::ctImage, this, [&] {
        if (handedAtStop >= 0)
            return;
        b.stopCalcCt();
        handedAtStop = int(log.handed.size());
        endAtStop = text(b, "CalcEndT");
    });
    b.toggleCalcCt();
    QVERIFY(waitFinished(log, 1));
    QVERIFY(handedAtStop >= 1 && handedAtStop < 51);
    QCOMPARE(int(log.handed.size()), handedAtStop);
    QVERIFY(!log.busyAtFinish);
    QVERIFY(endAtStop != QLatin1String("--") && !endAtStop.isEmpty());
    QCOMPARE(text(b, "CalcEndT"), endAtStop);
    QList<int> sorted = log.handed;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(listed(b), sorted);
    QStringList expectedFiles;
    for (int s : sorted)
        expectedFiles << QStringLiteral("%1/T-%1.dat").arg(s, 5, 10, QLatin1Char('0'));
    QTRY_COMPARE(filesUnder(out.path()), expectedFiles);
    QTest::qWait(100);
    QCOMPARE(filesUnder(out.path()), expectedFiles);
    QCOMPARE(log.finished, 1);
}

void TstBodyRuns::stopTwiceAndCalcWhileEnding()
{
    Body b(nullptr, 2);
    PhantomSet data;
    const PhantomSpec spec = tallPhantom(320, 180);
    QVERIFY(data.load(*b.imageSet(), spec));
    prepare(b, spec);
    setRange(b.procCtrlPanel(), 0, 40, 1, 2);
    RunLog log;
    log.attach(b, this);

    b.toggleCalcCt();
    b.stopCalcCt();
    b.stopCalcCt();
    QVERIFY(waitFinished(log, 1));
    QTest::qWait(50);
    QCOMPARE(log.finished, 1);
    QVERIFY(!b.isRunning() && !b.anyWorkerBusy());

    // Calc pressed while the stopped run's slices are still running: the new
    // run waits for them, then runs whole.
    b.procCtrlPanel()->setSliceTo(5);
    b.toggleCalcCt();
    b.toggleCalcCt();                // stop: slices 0 and 1 keep running
    QVERIFY(b.anyWorkerBusy());
    b.toggleCalcCt();                // Calc again
    QVERIFY(b.isStartPending() && !b.isRunning());
    QVERIFY(waitFinished(log, 3));
    QVERIFY(!log.busyAtFinish);
    QCOMPARE(listed(b), (QList<int>{0, 1, 2, 3, 4, 5}));
    QVERIFY(!b.isStartPending() && !b.isRunning() && !b.anyWorkerBusy());
}

void TstBodyRuns::badInputEndsCleanly_data()
{
    QTest::addColumn<bool>("loadImages");
    QTest::addColumn<bool>("panel");
    QTest::addColumn<double>("cor");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("images");
    QTest::newRow("no images") << false << false << 31.5 << 0 << 3 << 0;
    QTest::newRow("CoR 0.5") << true << false << 0.5 << 0 << 3 << 0;
    QTest::newRow("CoR beyond the image") << true << false << 70.0 << 0 << 3 << 0;
    QTest::newRow("CoR leaving no grid") << true << false << 63.0 << 0 << 3 << 0;
    QTest::newRow("slices outside the image") << true << false << 31.5 << 200 << 203 << 4;
    QTest::newRow("negative slices") << true << false << 31.5 << -2 << 1 << 4;
    QTest::newRow("panel, no images") << false << true << 31.5 << 0 << 0 << 0;
    QTest::newRow("panel, CoR 0.5") << true << true << 0.5 << 0 << 0 << 0;
}

void TstBodyRuns::badInputEndsCleanly()
{
    QFETCH(bool, loadImages);
    QFETCH(bool, panel);
    QFETCH(double, cor);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, images);
    Body b(nullptr, 2);
    PhantomSet data;
    if (loadImages)
        QVERIFY(data.load(*b.imageSet(), tallPhantom()));
    prepare(b, tallPhantom());
    b.procCtrlPanel()->setCor(cor);
    setRange(b.procCtrlPanel(), from, to, 1, 2);
    if (panel)
        child<QAbstractButton>(b, "SelectCt1")->click();
    QTemporaryDir out;
    setSaveDir(b.dataSaveDirSelector(), out.path(), QStringLiteral("n"), QStringLiteral("t"));
    setSaveDir(b.imageSaveDirSelector(), out.path(), QStringLiteral("n"), QStringLiteral("t"));
    b.setAutoSaveData(true);
    b.setAutoSaveImage(true);
    RunLog log;
    log.attach(b, this);
    b.toggleCalcCt();
    if (!loadImages) {
        // "Calc" with nothing loaded does nothing.
        QVERIFY(!b.isRunning());
        QTest::qWait(20);
        QCOMPARE(log.finished, 0);
        // A batch starts the run regardless; it ends at once.
        b.setBatchCalcRunning(true);
        emit b.batchCalcStart();
    }
    QVERIFY(waitFinished(log, 1));
    QTest::qWait(50);
    QCOMPARE(log.finished, 1);
    QCOMPARE(log.batchFinished, loadImages ? 0 : 1);
    QVERIFY(!b.isRunning() && !b.anyWorkerBusy() && !log.busyAtFinish);
    QVERIFY(!b.ctCalcPanel()->isRunning());
    QCOMPARE(b.ctImages()->count(), images);
    if (images == 0)
        QCOMPARE(filesUnder(out.path()), QStringList());
    else
        QTRY_COMPARE(filesUnder(out.path()).size(), 2 * images);
}

// Changing one coordinate of a region in one panel reaches every panel and
// every worker, and the panels do not echo it back and forth.
void TstBodyRuns::regionsStayInStep()
{
    Body b(nullptr, 3);
    QList<CtResPanel*> panels{b.ctCalcPanel()};
    for (CtCalc2Ui* p : b.workerPanels())
        panels << p;
    QList<QSharedPointer<QSignalSpy>> crSpies, drSpies;
    for (CtResPanel* p : panels) {
        crSpies << QSharedPointer<QSignalSpy>::create(p, &CtResPanel::cRUpdated);
        drSpies << QSharedPointer<QSignalSpy>::create(p, &CtResPanel::dRUpdated);
    }
    b.workerPanels()[0]->setCR(0, 0, 128, 128);
    QLineEdit* rz1 = child<QLineEdit>(*b.workerPanels()[1], "Crz1");
    rz1->setText(QStringLiteral("100"));
    rz1->setModified(true);
    emit rz1->editingFinished();
    for (int i = 0; i < panels.size(); ++i) {
        const CalcRegion r = panels[i]->calcRegion();
        QCOMPARE(QList<double>({r.x0, r.z0, r.x1, r.z1}), QList<double>({0, 0, 128, 100}));
        QCOMPARE(crSpies[i]->count(), 2);
        QCOMPARE(child<QLineEdit>(*panels[i], "Crz1")->text(), QStringLiteral("100"));
    }
    for (CtCalc2* w : b.workers()) {
        CalcRegion r;
        QMetaObject::invokeMethod(w, [w, &r] { r = w->calcRegion(); }, Qt::BlockingQueuedConnection);
        QCOMPARE(r.z1, 100.0);
        QCOMPARE(r.x1, 128.0);
    }
    // A zoom in the interactive panel becomes every panel's display region.
    b.ctCalcPanel()->noticedNewS(QRectF(10, 20, 30, 40));
    for (int i = 0; i < panels.size(); ++i) {
        const CalcRegion r = panels[i]->dispRegion();
        QCOMPARE(QList<double>({r.x0, r.z0, r.x1, r.z1}), QList<double>({10, 20, 40, 60}));
        QCOMPARE(panels[i]->display()->view(), QRectF(10, 20, 30, 40));
        QCOMPARE(drSpies[i]->count(), 1);
    }
}

void TstBodyRuns::panelRunThroughBody_data()
{
    QTest::addColumn<bool>("atOnce");
    QTest::addColumn<bool>("stop");
    QTest::newRow("at once") << true << false;
    QTest::newRow("one by one") << false << false;
    QTest::newRow("one by one, stopped") << false << true;
}

void TstBodyRuns::panelRunThroughBody()
{
    QFETCH(bool, atOnce);
    QFETCH(bool, stop);
    Body b(nullptr, 2);
    PhantomSet data;
    QVERIFY(data.load(*b.imageSet(), tallPhantom()));
    prepare(b, tallPhantom());
    b.procCtrlPanel()->setSliceNo(60);
    b.ctCalcPanel()->setAtOnce(atOnce);
    RunLog log;
    log.attach(b, this);
    int steps = 0;
    connect(b.ctCalcPanel(), &CtCalc::finishedCalcOne, this, [&] {
        if (++steps == 3 && stop)
            b.toggleCalcCt();
    });
    b.toggleCalcCt();
    QVERIFY(b.isRunning());
    QVERIFY(waitFinished(log, 1));
    QTest::qWait(50);
    QCOMPARE(log.finished, 1);
    QVERIFY(!b.ctCalcPanel()->isRunning());
    QCOMPARE(steps, atOnce ? 0 : stop ? 3 : 36);
    QVERIFY(log.handed.isEmpty());
    QCOMPARE(child<QLineEdit>(*b.ctCalcPanel(), "ShowSliceNo")->text(), QStringLiteral("60"));
}

void TstBodyRuns::phantomRunSavesEverySlice_data()
{
    QTest::addColumn<bool>("corLaw");
    QTest::newRow("CoR field") << false;
    QTest::newRow("recorded CoRs: CoR follows the slice") << true;
}

// The whole road: a phantom in the image set, every worker busy over a
// slice range, data and images saved under their names and folders, and
// the numbers in each file those of the slice it is named after.
void TstBodyRuns::phantomRunSavesEverySlice()
{
    QFETCH(bool, corLaw);
    const int workers = std::max(2, QThread::idealThreadCount());
    Body b(nullptr, workers);
    PhantomSet data;
    const PhantomSpec spec = tallPhantom(96, 60);
    QVERIFY(data.load(*b.imageSet(), spec));
    prepare(b, spec);
    ProcCtrl* p = b.procCtrlPanel();
    if (corLaw) {
        p->setRecordedCoR1(40, 46.5);
        p->setRecordedCoR2(47, 48.25);
    }
    setRange(p, 40, 47, 1, workers);
    b.workerPanels()[0]->setCR(0, 0, 94, 94);
    QTemporaryDir out;
    const QString dataDir = out.filePath(QStringLiteral("data/run1"));
    const QString imgDir = out.filePath(QStringLiteral("img"));
    setSaveDir(b.dataSaveDirSelector(), dataDir, QStringLiteral("scan"), QStringLiteral("E7112"));
    setSaveDir(b.imageSaveDirSelector(), imgDir, QString(), QStringLiteral("E7112"));
    b.setAutoSaveData(true);
    b.setAutoSaveImage(true);
    // Data limits other than the defaults: values above 0.1 or below
    // -0.05 become 0, then 3 is added.
    child<QLineEdit>(b, "DataUpperLimit")->setText(QStringLiteral("0.1"));
    child<QLineEdit>(b, "DataLowerLimit")->setText(QStringLiteral("-0.05"));
    child<QLineEdit>(b, "DataOffset")->setText(QStringLiteral("3"));
    RunLog log;
    log.attach(b, this);
    b.toggleCalcCt();
    QVERIFY(waitFinished(log, 1));
    QCOMPARE(QSet<int>(log.handedWorker.begin(), log.handedWorker.end()).size(), std::min(workers, 8));
    QCOMPARE(listed(b), (QList<int>{40, 41, 42, 43, 44, 45, 46, 47}));

    QStringList dataFiles, imgFiles;
    for (int s = 40; s <= 47; ++s) {
        dataFiles << QStringLiteral("%1/scan-E7112-%1.dat").arg(s, 5, 10, QLatin1Char('0'));
        imgFiles << QStringLiteral("%1/E7112-%1.png").arg(s, 5, 10, QLatin1Char('0'));
    }
    QTRY_COMPARE(filesUnder(dataDir), dataFiles);
    QTRY_COMPARE(filesUnder(imgDir), imgFiles);

    // Angles of a full 180-degree set of 60 images.
    ProcParams params;
    params.dataSetImages = 60;
    params.dataSetRangeDeg = 180.0;
    for (int k = 0; k < log.handed.size(); ++k) {
        const int s = log.handed[k];
        const double cor = corLaw ? 46.5 + (48.25 - 46.5) * (s - 40) / 7.0 : spec.cor;
        QCOMPARE(log.handedCor[k], cor);
        HSgm sgm;
        QVERIFY(genSinogram0(sgm, *b.imageSet(), true, cor, s, {0, spec.projections}));
        CtFft engine;
        QVERIFY(engine.runAll(sgm, params, CalcRegion{0, 0, 94, 94}));
        const int n = engine.n();
        DataMatrix m;
        QVERIFY(readCtImgDataFile(QDir(dataDir).filePath(dataFiles[s - 40]), &m));
        QCOMPARE(m.nx, 94);
        QCOMPARE(m.ny, 94);
        double worst = 0.0;
        int clipped = 0;
        for (int z = 0; z < 94; ++z)
            for (int x = 0; x < 94; ++x) {
                double v = x < n && z < n ? engine.resultRow(z)[x] : 0.0;
                if (v > 0.1 || v < -0.05) {
                    v = 0.0;
                    ++clipped;
                }
                v += 3.0;
                worst = std::max(worst, std::abs(m.at(x, z) - v) / std::max(1.0, std::abs(v)));
            }
        QVERIFY2(worst < 1e-5, qPrintable(QStringLiteral("slice %1: %2").arg(s).arg(worst)));
        // The phantom is in the slice, and the limits really cut some of it.
        QVERIFY(m.max > 3.0);
        QVERIFY2(clipped > 0 && clipped < 94 * 94 / 2, qPrintable(QStringLiteral("%1 clipped, max %2").arg(clipped).arg(engine.max())));
        const QImage img(QDir(imgDir).filePath(imgFiles[s - 40]));
        QCOMPARE(img.size(), QSize(n, n));
    }
}

// Closing the window in the middle of a run: slices a worker has begun are
// finished and their files written before the program is gone, and nothing
// reaches a panel that is already half taken down.
void TstBodyRuns::closingKeepsEveryStartedSlice()
{
    auto b = std::make_unique<Body>(nullptr, 2);
    PhantomSet data;
    const PhantomSpec spec = tallPhantom(320, 180);
    QVERIFY(data.load(*b->imageSet(), spec));
    prepare(*b, spec);
    setRange(b->procCtrlPanel(), 0, 30, 1, 2);
    QTemporaryDir out;
    setSaveDir(b->dataSaveDirSelector(), out.path(), QString(), QStringLiteral("T"));
    b->setAutoSaveData(true);
    QMutex mutex;
    QList<int> begun;
    for (CtCalc2* w : b->workers())
        connect(w, &CtCalc2::sliceStarted, w, [&](int s) {
            QMutexLocker lock(&mutex);
            begun << s;
        }, Qt::DirectConnection);
    int images = 0;
    connect(b->workers()[0], &CtCalc2::ctImage, this, [&] { ++images; });
    // A shown window with the focus in a field: closing it moves the focus
    // while the panels are being taken down.
    // The sinogram panel is in the popped-out image window.
    b->show();
    QWidget* imageWindow = b->imgsPopDocBase()->popWindow();
    QVERIFY(QTest::qWaitForWindowExposed(imageWindow));
    QApplication::setActiveWindow(imageWindow);
    QVERIFY(QTest::qWaitForWindowActive(imageWindow));
    QLineEdit* corField = child<QLineEdit>(*b->sinogramPanel(), "CoR");
    b->imgsTab()->setCurrentIndex(1); // "Sinogram"
    corField->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), corField);
    b->toggleCalcCt();
    QTRY_VERIFY(images >= 1);
    b.reset();
    std::sort(begun.begin(), begun.end());
    QStringList expected;
    for (int s : begun)
        expected << QStringLiteral("%1/T-%1.dat").arg(s, 5, 10, QLatin1Char('0'));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(filesUnder(out.path()), expected);
}

QTEST_MAIN(TstBodyRuns)
#include "tst_bodyruns.moc"
