// Multi-slice runs through the main window's dispatcher and the real
// workers on their threads: a phantom of 1028-pixel lines (grid 1024) and
// 720 projections in memory, 8 slices per run, with 1 and 2 threads, with
// automatic saving of data and images off and on. Time is taken from
// "Calc" to the run's end notice; what the saver still has to write after
// that is drained outside the timing and reported as a counter, and so is
// the CPU time the worker threads spent per slice, which shows what saving
// costs them independently of the machine's other load.
#include "input/imgdatas.h"
#include "recon/ctcalc2.h"
#include "mainwindow/body.h"
#include "recon/datasaver.h"
#include "recon/procctrl.h"
#include "tests/support/phantomset.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

namespace {

constexpr int kSlices = 8;

struct Rig {
    std::unique_ptr<Body> body;
    PhantomSet data;
    QTemporaryDir out;
    bool ok = false;

    Rig()
    {
        body = std::make_unique<Body>(nullptr, 2);
        PhantomSpec spec;
        spec.width = 1028;
        spec.height = kSlices;
        spec.projections = 720;
        spec.cor = 513.5;
        ok = data.load(*body->imageSet(), spec);
        ProcCtrl* p = body->procCtrlPanel();
        p->setRotAxIsV(true);
        p->setCor(spec.cor);
        p->setDataSetImages(spec.projections);
        p->setAutoExec(true);
        p->setSliceFrom(0);
        p->setSliceTo(kSlices - 1);
        p->setSliceStep(1);
        body->setDataSaveDir(out.filePath(QStringLiteral("data")), QStringLiteral("bm"), QStringLiteral("E"));
        body->setImageSaveDir(out.filePath(QStringLiteral("img")), QStringLiteral("bm"), QStringLiteral("E"));
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

void BM_MultiSlice(benchmark::State& state)
{
    if (!rig->ok) {
        state.SkipWithError("could not build the phantom data set");
        return;
    }
    Body& b = *rig->body;
    const int threads = int(state.range(0));
    const bool save = state.range(1) != 0;
    b.procCtrlPanel()->setThreads(threads);
    b.setAutoSaveData(save);
    b.setAutoSaveImage(save);
    bool ended = false;
    const auto conn = QObject::connect(&b, &Body::calcFinished, [&ended] { ended = true; });
    double drainMs = 0.0;
    const double cpu0 = workerCpuMs(b);
    for (auto _ : state) {
        ended = false;
        QElapsedTimer t;
        t.start();
        b.toggleCalcCt();
        while (!ended)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        state.SetIterationTime(t.nsecsElapsed() * 1e-9);
        // Whatever the saver still holds is written before the next run.
        QElapsedTimer d;
        d.start();
        QMetaObject::invokeMethod(b.saver(), [] {}, Qt::BlockingQueuedConnection);
        drainMs += d.nsecsElapsed() * 1e-6;
    }
    QObject::disconnect(conn);
    state.SetItemsProcessed(state.iterations() * kSlices);
    // What a slice costs the workers themselves, whatever else the machine
    // runs at the time.
    state.counters["worker_cpu_ms_per_slice"] = (workerCpuMs(b) - cpu0) / double(state.iterations() * kSlices);
    state.counters["saver_backlog_ms"] = drainMs / double(state.iterations());
}

} // namespace

BENCHMARK(BM_MultiSlice)
    ->ArgNames({"threads", "save"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

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
