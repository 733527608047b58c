#include "recon/runscheduler.h"
#include "recon/runslices.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Workers that take a slice later, as queued requests do: only the
// scheduler's own record keeps a handed-out worker busy until its end.
struct FakeHost : RunHost {
    ProcParams p;
    QVector<int> sliceOf;
    QStringList log;
    bool panelOn = false;
    bool panelEndsAtOnce = false; // nothing to reconstruct: ends inside its start
    RunScheduler* s = nullptr;

    int workerCount() const override { return int(sliceOf.size()); }
    bool isWorkerBusy(int) const override { return false; }
    void startSlice(int i, int slice) override
    {
        sliceOf[i] = slice;
        log << QStringLiteral("w%1:%2").arg(i).arg(slice);
    }
    bool isPanelRunning() const override { return panelOn; }
    void startPanel() override
    {
        log << QStringLiteral("panel");
        panelOn = !panelEndsAtOnce;
        if (panelEndsAtOnce)
            s->panelFinished();
    }
    void stopPanel() override
    {
        log << QStringLiteral("panel-stop");
        panelOn = false;
    }
    ProcParams snapshot() override { return p; }
    // Slices whose results are on disk, when results are saved at all.
    std::optional<QSet<int>> saved;
    QStringList missingResults(int slice) const override
    {
        return saved && !saved->contains(slice) ? QStringList{"f"} : QStringList();
    }
    bool savesResults() const override { return saved.has_value(); }
    // Band-wise loading: slices per band, and the band whose lines can't be read.
    int perBand = 0;
    int failingBand = -1;
    int bands = 0;
    int bandSlices(const ProcParams&) override { return perBand; }
    bool holdBand(const QVector<int>& slices) override
    {
        QStringList l;
        for (int s : slices)
            l << QString::number(s);
        log << "hold" + l.join(',');
        return bands++ != failingBand;
    }
};

// Engine "multi": workers with Auto Exec on; "single": workers, one slice; "panel", "empty-panel": the panel.
ProcParams runParams(const QString& from, const QString& to, const QString& step, const QString& engine)
{
    ProcParams p;
    p.from = p.slice = from.toInt();
    p.to = to.toInt();
    p.step = step.toInt();
    p.autoExec = engine == "multi";
    p.useWorkers = !engine.endsWith("panel");
    p.usePanel = !p.useWorkers;
    return p;
}

} // namespace

// Which slices a run (or a part of it) takes, in which order they go to the workers, and which
// files say that a slice is done.
class TstRunScheduler : public QObject
{
    Q_OBJECT

private slots:
    // Row: from to step threads workers engine [part=K/N] [saved=a,b] [skip]
    // [check]; the steps; what each step
    // caused, step by step ("|"): style, start, progress, hand-outs (worker:slice),
    // slices counted (slice:done/total), stop, end (slices:back-projection seconds).
    void script_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ascending, 2 of 3 workers, in order") << "0 10 3 2 3 multi" << "calc done0 done1 done0 done1"
            << "busy start p0% w0:0 w1:3 p25.0% | 0:1/4 w0:6 p50.0% | 3:2/4 w1:9 p75.0% | 6:3/4 p100.0%"
               " | 9:4/4 p100.0% stop idle end4:2";
        QTest::newRow("one thread: one after another") << "4 2 -1 1 3 multi" << "calc done0 done0 done0"
            << "busy start p0% w0:4 p33.3% | 4:1/3 w0:3 p66.6% | 3:2/3 w0:2 p100.0% | 2:3/3 p100.0% stop idle end3:1.5";
        QTest::newRow("start while running, stop twice") << "0 10 1 2 2 multi" << "calc start stop stop done0 done1"
            << "busy start p0% w0:0 w1:1 p9.0% | | stop idle | | 0:1/11 | 1:2/11 end2:1";
        QTest::newRow("Calc while a stopped run ends waits for its workers") << "0 1 1 2 2 multi" << "calc calc calc done1 done0 done0 done1"
            << "busy start p0% w0:0 w1:1 p50.0% | stop idle | busy | 1:1/2"
               " | 0:2/2 end2:1 busy start p0% w0:0 w1:1 p50.0% | 0:1/2 p100.0% | 1:2/2 p100.0% stop idle end2:1";
        QTest::newRow("waiting start dropped: one end after the last slice") << "0 5 1 2 2 multi" << "calc calc calc calc done0 done1"
            << "busy start p0% w0:0 w1:1 p16.6% | stop idle | busy | idle | 0:1/6 | 1:2/6 end2:1";
        QTest::newRow("Calc during a load starts when it ends") << "3 3 1 1 1 multi" << "load calc start loaded done0"
            << " | busy | busy | busy start p0% w0:3 p100.0% | 3:1/1 p100.0% stop idle end1:0.5";
        QTest::newRow("Calc during a load, dropped") << "3 3 1 1 1 multi" << "load calc calc loaded" << " | busy | idle end- |";
        QTest::newRow("one slice, Auto Exec off") << "5 9 1 2 2 single" << "calc done0"
            << "busy start p0% w0:5 | 5:1/1 stop idle end1:0.5";
        QTest::newRow("panel stopped") << "5 9 1 2 2 panel" << "calc calc pdone" << "busy start panel | stop idle panel-stop end0:0 |";
        QTest::newRow("empty part ends at once") << "4 5 1 2 2 multi part=0/3" << "calc" << "busy start p0% stop idle end0:0";
        QTest::newRow("skip saved slices") << "0 5 1 1 1 multi saved=0,1,3 skip" << "calc done0 done0 done0"
            << "busy start p0% w0:2 p66.6% | 2:1/3 w0:4 p83.3% | 4:2/3 w0:5 p100.0% | 5:3/3 p100.0% stop idle end3:1.5";
        QTest::newRow("saved but skip off") << "0 1 1 1 1 multi saved=0" << "calc done0 done0"
            << "busy start p0% w0:0 p50.0% | 0:1/2 w0:1 p100.0% | 1:2/2 p100.0% stop idle end2:1";
        QTest::newRow("all saved") << "0 2 1 2 2 multi saved=0,1,2 skip" << "calc" << "busy start p0% stop idle end0:0";
        QTest::newRow("check lists, runs nothing") << "0 3 1 2 2 multi part=1/2 saved=3 check" << "calc"
            << "miss2 busy start p0% stop idle end0:0";
        QTest::newRow("bands of 2: the next band once the last one is done") << "0 4 1 2 2 multi b2" << "calc done0 done1 done0 done1 done0"
            << "busy start p0% hold0,1 w0:0 w1:1 p20.0% | 0:1/5 p40.0% | 1:2/5 hold2,3 w0:2 w1:3 p60.0% | 2:3/5 p80.0%"
               " | 3:4/5 hold4 w0:4 p100.0% | 4:5/5 p100.0% stop idle end5:2.5";
        QTest::newRow("a band that can't be read stops the run") << "10 4 -2 2 2 multi b2f1" << "calc done1 done0"
            << "busy start p0% hold10,8 w0:10 w1:8 p25.0% | 8:1/4 p50.0% | 10:2/4 hold6,4 stop idle end2:1";
        QTest::newRow("bands hold the part's slices still to do") << "0 9 1 1 1 multi part=1/2 saved=6 skip b2" << "calc done0 done0 done0 done0"
            << "busy start p0% hold5,7 w0:5 p40.0% | 5:1/4 w0:7 p60.0% | 7:2/4 hold8,9 w0:8 p80.0% | 8:3/4 w0:9 p100.0%"
               " | 9:4/4 p100.0% stop idle end4:2";
        QTest::newRow("one slice, its line only") << "5 9 1 2 2 single b3" << "calc done0"
            << "busy start p0% hold5 w0:5 | 5:1/1 stop idle end1:0.5";
        QTest::newRow("panel with nothing to do") << "5 9 1 2 2 empty-panel" << "calc" << "busy start panel stop idle end0:0";
    }

    void script()
    {
        QFETCH(QString, setup);
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        const QStringList a = setup.split(' ');
        FakeHost host;
        RunScheduler s(host);
        host.s = &s;
        host.p = runParams(a[0], a[1], a[2], a[5]);
        host.p.threads = a[3].toInt();
        host.sliceOf.fill(-1, a[4].toInt());
        host.panelEndsAtOnce = a[5] == "empty-panel";
        for (const QString& opt : a.mid(6)) {
            if (opt.startsWith("part="))
                s.setPart(*SlicePart::parse(opt.mid(5)));
            else if (opt.startsWith("saved=")) {
                for (const QString& n : opt.mid(6).split(','))
                    (host.saved ? *host.saved : host.saved.emplace()).insert(n.toInt());
            } else if (QRegularExpression("^b\\d").match(opt).hasMatch()) {
                // "bN": bands of N slices; "bNfK": band K can't be read.
                const QStringList band = opt.mid(1).split('f');
                host.perBand = band[0].toInt();
                host.failingBand = band.size() > 1 ? band[1].toInt() : -1;
            }
            host.p.skipExisting |= opt == "skip";
            s.setCheckOnly(opt == "check" || s.checksOnly());
        }
        QStringList& log = host.log;
        connect(&s, &RunScheduler::busyChanged, this, [&](bool b) { log << (b ? "busy" : "idle"); });
        connect(&s, &RunScheduler::started, this, [&] { log << "start"; });
        connect(&s, &RunScheduler::progress, this, [&](QString t) { log << "p" + t.remove(' '); });
        connect(&s, &RunScheduler::stopped, this, [&] { log << "stop"; });
        connect(&s, &RunScheduler::missingFound, this, [&](int slice) { log << QStringLiteral("miss%1").arg(slice); });
        connect(&s, &RunScheduler::sliceCounted, this,
                [&](int slice, int done, int total) { log << QStringLiteral("%1:%2/%3").arg(slice).arg(done).arg(total); });
        connect(&s, &RunScheduler::ended, this, [&](bool counted, int slices, double, double bp) {
            log << (counted ? QStringLiteral("end%1:%2").arg(slices).arg(bp) : QStringLiteral("end-"));
        });
        QStringList got;
        for (const QString& step : steps.split(' ')) {
            log.clear();
            if (step == "calc")
                s.toggle();
            else if (step == "start")
                s.start();
            else if (step == "stop")
                s.stop();
            else if (step == "load")
                s.loadBegun();
            else if (step == "loaded")
                s.loadEnded();
            else if (step == "pdone")
                host.panelOn = false, s.panelFinished();
            else if (step.startsWith("done")) {
                const int w = step.mid(4).toInt();
                s.sliceDone(host.sliceOf[w], 0.5);
                s.workerFinished(w);
            }
            got << log.join(' ');
        }
        QCOMPARE(got.join(" | ").simplified(), expected.simplified());
        QVERIFY(!s.isRunning() && !s.isStartPending() && !s.holdsImageSet());
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // "" when refused
        QTest::newRow("first of one") << "0/1" << "0/1";
        QTest::newRow("last of four") << "3/4" << "3/4";
        QTest::newRow("leading zeros") << "01/04" << "1/4";
        for (const char* bad : {"3/2", "4/4", "-1/4", "a/b", "0/0", "1/", "/2", " 1/2", "1/2 ", "1.0/2", "", "9999999999/2"})
            QTest::newRow(bad) << bad << "";
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        const std::optional<SlicePart> p = SlicePart::parse(text);
        QCOMPARE(p ? p->text() : QString(), parsed);
    }

    // Every split of every short list: the blocks follow each other without
    // gap or overlap, and their sizes differ by at most one.
    void blocksCoverTheList()
    {
        for (int total = 0; total <= 13; ++total) {
            for (int n = 1; n <= 7; ++n) {
                qint64 next = 0, smallest = total, largest = 0;
                for (int k = 0; k < n; ++k) {
                    const auto [b, e] = partBlock(total, SlicePart{k, n});
                    QCOMPARE(b, next);
                    next = e;
                    smallest = std::min(smallest, e - b);
                    largest = std::max(largest, e - b);
                }
                QCOMPARE(next, qint64(total));
                QVERIFY(largest - smallest <= 1);
            }
        }
    }

    // Row: from to step, engine, part; the part's slices "a..b/step" or "-".
    void runSlices_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("expected");
        QTest::newRow("10 in 3, first") << "0 9 1 multi" << "0/3" << "0..2/1";
        QTest::newRow("10 in 3, last is larger") << "0 9 1 multi" << "2/3" << "6..9/1";
        QTest::newRow("descending, step 5") << "100 90 -5 multi" << "1/2" << "95..90/-5";
        QTest::newRow("step 3 keeps the grid") << "1 22 3 multi" << "1/2" << "13..22/3";
        QTest::newRow("more parts than slices: empty") << "4 5 1 multi" << "0/3" << "-";
        QTest::newRow("more parts than slices: one") << "4 5 1 multi" << "1/3" << "4..4/1";
        QTest::newRow("single slice, part 0") << "7 9 1 single" << "0/4" << "7..7/1";
        QTest::newRow("single slice, part 1") << "7 9 1 single" << "1/4" << "-";
        QTest::newRow("panel, part 0") << "7 9 1 panel" << "0/2" << "7..7/1";
    }

    void runSlices()
    {
        QFETCH(QString, setup);
        QFETCH(QString, part);
        QFETCH(QString, expected);
        const QStringList a = setup.split(' ');
        const std::optional<SliceRange> r =
            ::runSlices(runParams(a[0], a[1], a[2], a[3]), *SlicePart::parse(part));
        QCOMPARE(r ? QString("%1..%2/%3").arg(r->from).arg(r->to).arg(r->step) : QString("-"), expected);
    }

    // The names the saver writes, in every folder it writes them to.
    void resultFiles_data()
    {
        QTest::addColumn<QString>("setup"); // img data tiff sub energy slice
        QTest::addColumn<QStringList>("files");
        QTest::newRow("nothing saved") << "0 0 0 1 0 1" << QStringList();
        QTest::newRow("defaults: slice folders") << "1 1 0 1 0 1" << QStringList{"D/00042/s-T-00042.dat", "I/00042/T-00042.png"};
        QTest::newRow("energy and slice, TIFF, no image")
            << "0 1 1 1 1 1"
            << QStringList{"D/T/s-T-00042.dat", "D/00042/s-T-00042.dat", "D/T/s-T-00042.tif", "D/00042/s-T-00042.tif"};
        QTest::newRow("no sub-folders") << "1 0 1 0 1 1" << QStringList{"I/T-00042.png"};
    }

    void resultFiles()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        const QStringList f = setup.split(' ');
        ResultPlaces r;
        r.image = {f[0] == "1", "I", "", "T"};
        r.data = {f[1] == "1", "D", "s", "T", f[2] == "1"};
        r.inSubFolders = f[3] == "1";
        r.ofEnergy = f[4] == "1";
        r.ofSlice = f[5] == "1";
        QCOMPARE(resultFilesOf(42, r), files);
        // Missing until each is there; an empty file counts as there (the
        // saver renames only whole files into place).
        QCOMPARE(missingResultsOf(42, r), files);
        for (const QString& name : files) {
            QVERIFY(QDir().mkpath(QFileInfo(name).path()));
            QFile out(name);
            QVERIFY(out.open(QIODevice::WriteOnly));
        }
        QCOMPARE(missingResultsOf(42, r), QStringList());
        QCOMPARE(missingResultsOf(43, r), resultFilesOf(43, r));
    }
};

QTEST_GUILESS_MAIN(TstRunScheduler)
#include "tst_runscheduler.moc"
