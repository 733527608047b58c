// Batch interpreter costs per line: loading, control words, commands with
// an executor that answers at once, and :goto loops in long batches. The
// figures across sizes show whether the work per line stays constant.
#include "control/batch.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir* tmp = nullptr;

QString writeBatch(const QString& name, const QString& text)
{
    const QString path = tmp->filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text.toUtf8());
    return path;
}

QString repeatLines(const QString& line, int n)
{
    QString text;
    text.reserve((line.size() + 1) * n);
    for (int i = 0; i < n; ++i)
        text += line + QLatin1Char('\n');
    return text;
}

void runToEnd(Batch& batch)
{
    batch.batchStart();
    while (batch.isRunning())
        QCoreApplication::processEvents();
}

void BM_BatchLoad(benchmark::State& state)
{
    const int n = int(state.range(0));
    const QString file = writeBatch(QStringLiteral("load.bat"),
                                    repeatLines(QStringLiteral("ct_recorded_cor_1 100 \"12.5\" # note"), n));
    Batch batch;
    for (auto _ : state)
        batch.batchLoad(file);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_BatchEchoRun(benchmark::State& state)
{
    const int n = int(state.range(0));
    Batch batch;
    batch.batchLoad(writeBatch(QStringLiteral("echo.bat"), repeatLines(QStringLiteral(":echo x"), n)));
    for (auto _ : state)
        runToEnd(batch);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_BatchCommandRun(benchmark::State& state)
{
    const int n = int(state.range(0));
    Batch batch;
    batch.batchLoad(writeBatch(QStringLiteral("cmd.bat"), repeatLines(QStringLiteral("ct_cor 12.5"), n)));
    QObject::connect(&batch, &Batch::batchExCmd, &batch, [&batch] { batch.batchCheckEnd(); });
    for (auto _ : state)
        runToEnd(batch);
    state.SetItemsProcessed(state.iterations() * n);
}

// 1000 rounds of a loop at the top of a batch with range(0) lines below it:
// the time should not depend on the lines below.
void BM_BatchGotoLoop(benchmark::State& state)
{
    const int rounds = 1000;
    const QString text = QStringLiteral(":top\nstep\n:goto :top\n")
                         + repeatLines(QStringLiteral("filler 1 2 3"), int(state.range(0)));
    Batch batch;
    batch.batchLoad(writeBatch(QStringLiteral("goto.bat"), text));
    int steps = 0;
    QObject::connect(&batch, &Batch::batchExCmd, &batch, [&](const BatchCmd& cmd) {
        if (cmd.name == QLatin1String("step") && ++steps >= rounds)
            batch.batchStop();
        batch.batchCheckEnd();
    });
    for (auto _ : state) {
        steps = 0;
        runToEnd(batch);
    }
    state.SetItemsProcessed(state.iterations() * rounds);
}

} // namespace

BENCHMARK(BM_BatchLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchEchoRun)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchCommandRun)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchGotoLoop)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond);

// FENU2_BENCH_OWN_MAIN: the batch thread needs an application object.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Every line writes "cmd ..." to the debug channel; keep the report readable.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QTemporaryDir dir;
    tmp = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
