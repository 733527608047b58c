#include "app/optiontable.h"
#include "app/runfaults.h"
#include "input/imgdatas.h"
#include "input/widgets/selectafile.h"
#include "mainwindow/framing/popdockbase.h"
#include "recon/ctcalc2.h"
#include "recon/widgets/ctdisp.h"
#include "recon/ctfft.h"
#include "recon/ctimgdatafile.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "recon/sinogramcore.h"
#include "tests/support/bodyfixtures.h"
#include "tests/support/testutil.h"
#include "tools/phantomset.h"

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>

#include <memory>

// Which slice went to which worker with which CoR, the ends.
struct RunLog {
    QList<int> handed, handedWorker;
    QList<double> handedCor;
    int finished = 0;
    bool busyAtFinish = false;

    void attach(Body& body, QObject* ctx)
    {
        QObject::connect(&body, &Body::startCt, ctx, [this, &body](CtCalc2* w, bool, double cor, int s, bool) {
            handed << s;
            handedWorker << int(body.workers().indexOf(w));
            handedCor << cor;
        });
        QObject::connect(&body, &Body::calcFinished, ctx, [this, &body] {
            ++finished;
            busyAtFinish = busyAtFinish || body.anyWorkerBusy();
        });
    }
    bool waitEnds(int n) { return QTest::qWaitFor([&] { return finished >= n; }, 60000) && finished == n; }
};

namespace {

// Loads the phantom (unless data is null), sets an automatic run from .. to by step.
bool prepare(Body& b, PhantomSet* data, const PhantomSpec& ps, int from, int to, int step = 1, int threads = 2)
{
    ProcCtrl* p = b.procCtrlPanel();
    p->setRotAxIsV(ps.rotAxisVertical);
    p->setCor(ps.cor);
    p->setDataSetImages(ps.projections);
    p->setAutoExec(true);
    p->setSliceFrom(from);
    p->setSliceTo(to);
    p->setSliceStep(step);
    p->setThreads(threads);
    return !data || data->load(*b.imageSet(), ps);
}

void saveTo(SelectAFile* s, const QString& dir, const QString& name, const QString& tag)
{
    s->setDir(dir), s->setName(name), s->setTag(tag);
}

QList<int> listed(const Body& b)
{
    QList<int> out;
    for (int i = 0; i < b.ctImages()->count(); ++i)
        out << b.ctImages()->sliceAt(i);
    return out;
}

// pattern's %1 is the five-digit slice number, the sub-folder of each file.
QStringList sliceFiles(QList<int> slices, const QString& pattern)
{
    std::sort(slices.begin(), slices.end());
    QStringList out;
    for (int s : slices)
        out << (QStringLiteral("%1/") + pattern).arg(s, 5, 10, QLatin1Char('0'));
    return out;
}

// A phantom sequence file with its flat and dark images, loaded into a
// window as its loader and reference panels would.
struct SeqSet {
    QTemporaryDir dir;
    QString his;
    std::unique_ptr<ImgData> flat, dark;
    ImgData* flatSlot = nullptr;
    ImgData* darkSlot = nullptr;

    bool write(const PhantomSpec& ps)
    {
        PhantomOutput out;
        out.dir = dir.path();
        out.sequenceFile = true;
        const QStringList files = writePhantomDataSet(Phantom(ps), out);
        his = files.value(0);
        flat.reset(loadImgData(dir.filePath(phantomFlatName(out)), 0, true));
        dark.reset(loadImgData(dir.filePath(phantomDarkName(out)), 0, true));
        flatSlot = flat.get(), darkSlot = dark.get();
        return files.size() == 1 && flat && dark;
    }
    bool load(Body& b, int frames)
    {
        b.imageSet()->setI0Handle(&flatSlot);
        b.imageSet()->setBgHandle(&darkSlot);
        for (int k = 0; k < frames; ++k)
            if (!b.imageSet()->add(his, k))
                return false;
        return true;
    }
};

} // namespace

// Runs of the whole window: the scheduler wired to the fields, the workers,
// the panel and the saver (its states are tested without a window).
class TstBodyRuns : public QObject
{
    Q_OBJECT

private slots:
    // A worker's queued image may outlive its row; its lambda holds the row's locals.
    void cleanup() { QCoreApplication::removePostedEvents(this); }

    // The interactive panel as CT1 selects it, stopped after three steps: one
    // end notice, nothing busy, nothing listed or saved. Calc with nothing
    // loaded does nothing. The run states are tst_runscheduler's.
    void panelRunStopped()
    {
        Body b(nullptr, 3);
        PhantomSet data;
        const PhantomSpec ps = phantomModel(true, 64, 128, 36, 31.5);
        QVERIFY(prepare(b, nullptr, ps, 60, 63));
        RunLog log;
        log.attach(b, this);
        b.toggleCalcCt();
        QVERIFY(!b.isRunning());
        QVERIFY(data.load(*b.imageSet(), ps));
        child<QAbstractButton>(b, "SelectCt1")->click();
        QVERIFY(!b.procCtrlPanel()->autoExec()); // CT1 switches Auto Exec off
        QTemporaryDir out;
        for (SelectAFile* s : {b.dataSaveDirSelector(), b.imageSaveDirSelector()})
            saveTo(s, out.path(), QStringLiteral("n"), QStringLiteral("t"));
        b.setAutoSaveData(true), b.setAutoSaveImage(true);
        int done = 0;
        connect(b.ctCalcPanel(), &CtCalc::finishedCalcOne, this, [&] {
            if (++done == 3)
                b.toggleCalcCt();
        });
        b.toggleCalcCt();
        QVERIFY(log.waitEnds(1));
        QTest::qWait(50);
        QCOMPARE(log.finished, 1);
        QCOMPARE(done, 3);
        QVERIFY(!b.isRunning() && !b.anyWorkerBusy() && !log.busyAtFinish && !b.ctCalcPanel()->isRunning());
        QVERIFY(log.handed.isEmpty());
        QVERIFY(child<QLineEdit>(b, "CalcEndT")->text() != QLatin1String("--"));
        QCOMPARE(b.ctImages()->count(), 0);
        QCOMPARE(filesUnder(out.path()), QStringList());
    }

    // Closing the window during a run: begun slices finish and are saved, and the
    // focus moves while panels go down.
    void closeSavesStartedSlices()
    {
        auto b = std::make_unique<Body>(nullptr, 2);
        PhantomSet data;
        QVERIFY(prepare(*b, &data, phantomModel(true, 320, 128, 180, 159.5), 10, 60));
        QTemporaryDir out;
        saveTo(b->dataSaveDirSelector(), out.path(), QString(), QStringLiteral("T"));
        b->setAutoSaveData(true);
        QMutex mutex;
        QList<int> begun;
        for (CtCalc2* w : b->workers())
            connect(w, &CtCalc2::sliceStarted, w, [&](int s) {
                QMutexLocker lock(&mutex);
                begun << s;
            }, Qt::DirectConnection);
        b->show();
        QWidget* imageWindow = b->imgsPopDocBase()->popWindow();
        QVERIFY(QTest::qWaitForWindowExposed(imageWindow));
        QApplication::setActiveWindow(imageWindow);
        QVERIFY(QTest::qWaitForWindowActive(imageWindow));
        QLineEdit* corField = child<QLineEdit>(*b->sinogramPanel(), "CoR");
        b->imgsTab()->setCurrentIndex(1); // "Sinogram"
        corField->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), corField);
        int images = 0;
        connect(b->workers()[0], &CtCalc2::ctImage, this, [&] { ++images; });
        b->toggleCalcCt();
        QTRY_VERIFY_WITH_TIMEOUT(images >= 1, 60000);
        b.reset();
        QVERIFY(!begun.isEmpty());
        QCOMPARE(filesUnder(out.path()), sliceFiles(begun, "T-%1.dat"));
    }

    // Every worker busy, CoR following the recorded ones, each file under its
    // name holding its slice after the limits (outside [-0.05, 0.1] -> 0, +3).
    void phantomRunSavesEverySlice()
    {
        const int workers = std::max(2, QThread::idealThreadCount());
        Body b(nullptr, workers);
        PhantomSet data;
        const PhantomSpec ps = phantomModel(true, 96, 128, 60, 47.5);
        QVERIFY(prepare(b, &data, ps, 40, 47, 1, workers));
        b.procCtrlPanel()->setRecordedCoR1(40, 46.5);
        b.procCtrlPanel()->setRecordedCoR2(47, 48.25);
        b.workerPanels()[0]->setCR(0, 0, 94, 94);
        QTemporaryDir out;
        const QString dataDir = out.filePath(QStringLiteral("data/run1"));
        saveTo(b.dataSaveDirSelector(), dataDir, QStringLiteral("scan"), QStringLiteral("E7112"));
        b.setAutoSaveData(true);
        for (const QString f : {"DataUpperLimit=0.1", "DataLowerLimit=-0.05", "DataOffset=3"})
            child<QLineEdit>(b, qPrintable(f.section('=', 0, 0)))->setText(f.section('=', 1));
        RunLog log;
        log.attach(b, this);
        b.toggleCalcCt();
        QVERIFY(log.waitEnds(1));
        QVERIFY(!b.isRunning() && !b.anyWorkerBusy() && !log.busyAtFinish);
        QCOMPARE(child<QLineEdit>(b, "ProgPerCent")->text(), QStringLiteral("100.0 %"));
        QCOMPARE(QSet<int>(log.handedWorker.begin(), log.handedWorker.end()).size(), std::min(workers, 8));
        const QList<int> slices{40, 41, 42, 43, 44, 45, 46, 47};
        QCOMPARE(listed(b), slices);
        const QStringList dataFiles = sliceFiles(slices, "scan-E7112-%1.dat");
        QTRY_COMPARE(filesUnder(dataDir), dataFiles);

        ProcParams params; // a full 180-degree set of 60 images
        params.dataSetImages = 60;
        params.dataSetRangeDeg = 180.0;
        for (int k = 0; k < log.handed.size(); ++k) {
            const int s = log.handed[k];
            const double cor = 46.5 + (48.25 - 46.5) * (s - 40) / 7.0;
            QCOMPARE(log.handedCor[k], cor);
            HSgm sgm;
            QVERIFY(genSinogram0(sgm, *b.imageSet(), true, cor, s, {0, ps.projections}));
            CtFft engine;
            QVERIFY(engine.runAll(sgm, params, CalcRegion{0, 0, 94, 94}));
            const int n = engine.n();
            DataMatrix m;
            QVERIFY(readCtImgDataFile(QDir(dataDir).filePath(dataFiles[s - 40]), &m));
            QCOMPARE(QSize(m.nx, m.ny), QSize(94, 94));
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
            QVERIFY(m.max > 3.0 && clipped > 0 && clipped < 94 * 94 / 2);
        }
    }

    // Band-wise loading: the set holds only the run's detector lines, a band
    // of slices at a time when a small memory budget says so, and the saved
    // files are those of a run on whole frames.
    void bandWiseEqualsWholeFrames_data()
    {
        QTest::addColumn<QList<int>>("row"); // vertical axis, from, to, step, slices per band
        QTest::newRow("vertical axis, bands of 2 slices") << QList<int>{1, 20, 26, 1, 2};
        QTest::newRow("horizontal axis, step 3, bands of 1") << QList<int>{0, 30, 14, 3, 1};
    }

    void bandWiseEqualsWholeFrames()
    {
        QFETCH(QList<int>, row);
        const bool vertical = row[0];
        const int from = row[1], to = row[2], step = row[3], perBand = row[4];
        const int projections = 24;
        const PhantomSpec ps = phantomModel(vertical, 48, 40, projections, 23.5);
        SeqSet data;
        QVERIFY(data.write(ps));
        QTemporaryDir out;
        QList<QByteArray> saved[2];
        for (const bool lines : {false, true}) {
            Body b(nullptr, 2);
            b.setBandWiseLoading(lines);
            // One slice's lines: 48 pixels of 2 bytes in every projection.
            options().set("band_memory", QString::number(perBand * projections * 48 * 2), QString());
            QVERIFY(data.load(b, projections) && prepare(b, nullptr, ps, from, to, step));
            const QString dir = out.filePath(lines ? "lines" : "whole");
            saveTo(b.dataSaveDirSelector(), dir, QStringLiteral("s"), QStringLiteral("t"));
            b.setAutoSaveData(true);
            RunLog log;
            log.attach(b, this);
            b.toggleCalcCt();
            QVERIFY(log.waitEnds(1));
            QTRY_COMPARE(filesUnder(dir).size(), (std::abs(to - from) / step + 1));
            for (const QString& f : filesUnder(dir)) {
                QFile file(QDir(dir).filePath(f));
                QVERIFY(file.open(QIODevice::ReadOnly));
                saved[lines] << file.readAll();
            }
            // Lines-only frames hold nothing once the run is over.
            std::vector<double> line(std::size_t(48));
            ImgData* img = b.imageSet()->image(0);
            vertical ? img->getLine(from, line.data()) : img->getColumn(from, line.data());
            QCOMPARE(*std::max_element(line.begin(), line.end()) == 0.0, lines);
        }
        options().set(QStringLiteral("band_memory"), QString(), QString());
        QCOMPARE(saved[1], saved[0]);
    }

    // A set whose lines can't be read when the run needs them: one line, no
    // slice, and a window-less run's own exit status.
    void unreadableLinesEndTheRun()
    {
        SeqSet data;
        const PhantomSpec ps = phantomModel(true, 32, 16, 6, 15.5);
        QVERIFY(data.write(ps));
        Body b(nullptr, 1);
        b.setBandWiseLoading(true);
        QVERIFY(data.load(b, 6) && prepare(b, nullptr, ps, 4, 9));
        QFile his(data.his);
        QVERIFY(his.resize(his.size() / 2));
        RunLog log;
        log.attach(b, this);
        MessageCapture cap;
        b.toggleCalcCt();
        QVERIFY(log.waitEnds(1));
        QVERIFY(log.handed.isEmpty());
        QCOMPARE(cap.count(QStringLiteral("Can not read the detector lines of ")), 1);
        QCOMPARE(exitStatusOf(b.runFaults()), int(kExitLinesUnreadable));
    }
};

QTEST_MAIN(TstBodyRuns)
#include "tst_bodyruns.moc"
