// Multi-slice runs through the main window's dispatcher and the real
// workers on their threads: a phantom of 1028-pixel lines (grid 1024) and
// 720 projections in memory, 8 slices per run, with 1 and 2 threads, with
// automatic saving of data and images off and on. Time is taken from
// "Calc" to the run's end notice; what the saver still has to write after
// that is drained outside the timing and reported as a counter, and so is
// the CPU time the worker threads spent per slice. The counters give the
// rates of the four configurations and their ratios.
#include "input/imgdatas.h"
#include "input/widgets/selectafile.h"
#include "recon/ctcalc2.h"
#include "mainwindow/body.h"
#include "recon/datasaver.h"
#include "recon/widgets/procctrl.h"
#include "tools/phantomset.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>

namespace {

constexpr int kSlices = 8;

// Destination of automatic saving, as the user sets it in a selector.
void setSaveDir(SelectAFile* s, const QString& dir, const QString& name, const QString& tag)
{
    s->setDir(dir);
    s->setName(name);
    s->setTag(tag);
}

struct Rig {
    std::unique_ptr<Body> body;
    PhantomSet data;
    QTemporaryDir out;
    bool ok = false;

    Rig()
    {
        body = std::make_unique<Body>(nullptr, 2);
        PhantomSpec ps;
        ps.width = 1028;
        ps.height = kSlices;
        ps.projections = 720;
        ps.cor = 513.5;
        ok = data.load(*body->imageSet(), ps);
        ProcCtrl* p = body->procCtrlPanel();
        p->setRotAxIsV(true);
        p->setCor(ps.cor);
        p->setDataSetImages(ps.projections);
        p->setAutoExec(true);
        p->setSliceFrom(0);
        p->setSliceTo(kSlices - 1);
        p->setSliceStep(1);
        setSaveDir(body->dataSaveDirSelector(), out.filePath(QStringLiteral("data")), QStringLiteral("bm"), QStringLiteral("E"));
        setSaveDir(body->imageSaveDirSelector(), out.filePath(QStringLiteral("img")), QStringLiteral("bm"), QStringLiteral("E"));
    }
};

Rig* rig = nullptr;

// CPU time the worker threads have used so far, read on each of them.
double workerCpuMs(Body& b)
{
    double total = 0.0;
    for (CtCalc2* w : b.workers()) {
        double ms = 0.0;
        QMetaObject::invokeMethod(
            w,
            [&ms] {
                timespec ts{};
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
                ms = ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
            },
            Qt::BlockingQueuedConnection);
        total += ms;
    }
    return total;
}

struct Config {
    int threads;
    bool save;
    const char* name;
    double seconds = 0.0;
    double workerCpuMs = 0.0;
    double drainMs = 0.0;
};

// One run of kSlices slices; its wall time, the workers' CPU time and the
// time the saver still needed afterwards are added to c.
void runOnce(Body& b, Config& c)
{
    b.procCtrlPanel()->setThreads(c.threads);
    b.setAutoSaveData(c.save);
    b.setAutoSaveImage(c.save);
    bool ended = false;
    const auto conn = QObject::connect(&b, &Body::calcFinished, [&ended] { ended = true; });
    const double cpu0 = workerCpuMs(b);
    QElapsedTimer t;
    t.start();
    b.toggleCalcCt();
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    c.seconds += t.nsecsElapsed() * 1e-9;
    c.workerCpuMs += workerCpuMs(b) - cpu0;
    QObject::disconnect(conn);
    // Whatever the saver still holds is written before the next run.
    QElapsedTimer d;
    d.start();
    QMetaObject::invokeMethod(b.saver(), [] {}, Qt::BlockingQueuedConnection);
    c.drainMs += d.nsecsElapsed() * 1e-6;
}

// The four configurations take turns within every iteration, so that the
// ratios between them hold even while the shared machine's load drifts.
void BM_MultiSlice(benchmark::State& state)
{
    if (!rig->ok) {
        state.SkipWithError("could not build the phantom data set");
        return;
    }
    Body& b = *rig->body;
    Config configs[] = {{1, false, "1t"}, {2, false, "2t"}, {1, true, "1t_save"}, {2, true, "2t_save"}};
    for (auto _ : state) {
        double iteration = 0.0;
        for (Config& c : configs) {
            const double before = c.seconds;
            runOnce(b, c);
            iteration += c.seconds - before;
        }
        state.SetIterationTime(iteration);
    }
    const double runs = double(state.iterations());
    auto rate = [&](const Config& c) { return runs * kSlices / c.seconds; };
    for (const Config& c : configs) {
        state.counters[std::string("slices_per_s_") + c.name] = rate(c);
        state.counters[std::string("worker_cpu_ms_per_slice_") + c.name] = c.workerCpuMs / (runs * kSlices);
        state.counters[std::string("saver_backlog_ms_") + c.name] = c.drainMs / runs;
    }
    state.counters["speedup_2t"] = rate(configs[1]) / rate(configs[0]);
    // What saving costs: slower runs, and more CPU in the worker threads.
    state.counters["save_cost_pct_1t"] = 100.0 * (1.0 - rate(configs[2]) / rate(configs[0]));
    state.counters["save_cost_pct_2t"] = 100.0 * (1.0 - rate(configs[3]) / rate(configs[1]));
    state.counters["save_worker_cpu_pct_1t"] = 100.0 * (configs[2].workerCpuMs / configs[0].workerCpuMs - 1.0);
    state.counters["save_worker_cpu_pct_2t"] = 100.0 * (configs[3].workerCpuMs / configs[1].workerCpuMs - 1.0);
}

} // namespace

BENCHMARK(BM_MultiSlice)->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);

// FENU2_BENCH_OWN_MAIN: the main window needs an application object.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Rig r;
    rig = &r;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rig = nullptr;
    return 0;
}
