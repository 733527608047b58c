// Loading a data set through the main window's loader against a plain
// sequential read of the same files ("cat" to /dev/null), both from a cold
// page cache, in the same run. Loading is bounded by the disk, so the
// loader's rate should come close to cat's.
//
// The data set (720 projections of 2048 x 2048 16-bit pixels, about 6 GB,
// by default) is written once into FENU2_BM_LOAD_DIR (default
// <tmp>/fenu2-bm-load) and kept for later runs; FENU2_BM_LOAD_COUNT and
// FENU2_BM_LOAD_SIZE choose a smaller set. Before every timed read the
// files' pages are dropped from the cache (written back, then
// POSIX_FADV_DONTNEED), and the share still resident is reported.
#include "input/imgdatas.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/body.h"
#include "tools/itexwriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

struct DataSet {
    QStringList files;
    qint64 bytes = 0;
};

DataSet* dataSet = nullptr;

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

// Cheap content: the loader's speed does not depend on it.
QByteArray frameOf(int size, int index)
{
    QVector<uint16_t> px(size * size);
    for (int i = 0; i < px.size(); ++i)
        px[i] = uint16_t((index + i % size) & 0x0fff);
    return itexFrameU16(px);
}

bool makeDataSet(DataSet& set)
{
    const QString dir = qEnvironmentVariable("FENU2_BM_LOAD_DIR", QDir::tempPath() + QStringLiteral("/fenu2-bm-load"));
    const int count = envInt("FENU2_BM_LOAD_COUNT", 720);
    const int size = envInt("FENU2_BM_LOAD_SIZE", 2048);
    if (!QDir().mkpath(dir))
        return false;
    ItexHeader h;
    h.width = h.height = uint16_t(size);
    const QByteArray comment = itexComment(size, size, 1.0);
    const qint64 fileBytes = 64 + comment.size() + qint64(size) * size * 2;
    QByteArray frame;
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(dir).filePath(QStringLiteral("proj-%1.img").arg(i, 5, 10, QLatin1Char('0')));
        if (QFileInfo(path).size() != fileBytes) {
            if (frame.isEmpty())
                frame = frameOf(size, i);
            if (!writeItexFile(path, h, comment, {frame}))
                return false;
        }
        set.files << path;
        set.bytes += fileBytes;
    }
    return true;
}

// Writes the files' pages back and drops them from the page cache.
void dropFromCache(const QStringList& files)
{
    for (const QString& f : files) {
        const int fd = ::open(QFile::encodeName(f).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

// Share of the files' pages in the page cache (0 = cold).
double residentShare(const QStringList& files)
{
    const long page = ::sysconf(_SC_PAGESIZE);
    qint64 pages = 0, resident = 0;
    std::vector<unsigned char> in;
    for (const QString& f : files) {
        const int fd = ::open(QFile::encodeName(f).constData(), O_RDONLY);
        const qint64 size = QFileInfo(f).size();
        if (fd < 0 || size <= 0) {
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        void* m = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
        const size_t n = size_t((size + page - 1) / page);
        in.assign(n, 0);
        if (m != MAP_FAILED && ::mincore(m, size_t(size), in.data()) == 0)
            for (unsigned char c : in)
                resident += c & 1;
        pages += qint64(n);
        if (m != MAP_FAILED)
            ::munmap(m, size_t(size));
        ::close(fd);
    }
    return pages ? double(resident) / double(pages) : 0.0;
}

double catSeconds(const QStringList& files)
{
    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    cat.start(QStringLiteral("cat"), files);
    cat.waitForFinished(-1);
    return t.nsecsElapsed() * 1e-9;
}

// Through the window's own slots, from the selection to the notice that the
// set is loaded (which includes showing the first projection).
double loaderSeconds(Body& b, const QStringList& files, int* loaded)
{
    QEventLoop loop;
    const auto conn = QObject::connect(&b, &Body::finishedLoadingCTFiles, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    b.dataFilesSelected(files, true);
    loop.exec();
    const double s = t.nsecsElapsed() * 1e-9;
    QObject::disconnect(conn);
    *loaded = b.imageSet()->count();
    // The set's memory is given back before the next read.
    b.imageSet()->clear();
    b.ctFiles()->clearFiles();
    return s;
}

void BM_LoadColdCache(benchmark::State& state)
{
    if (!dataSet) {
        state.SkipWithError("could not write the data set");
        return;
    }
    Body b(nullptr, 1);
    double catS = 0.0, loaderS = 0.0, warmest = 0.0;
    int loaded = 0;
    int turn = 0;
    const auto cold = [&] {
        dropFromCache(dataSet->files);
        warmest = std::max(warmest, residentShare(dataSet->files));
    };
    for (auto _ : state) {
        // The order alternates, so that neither read always comes second.
        double l = 0.0;
        for (int k = 0; k < 2; ++k) {
            cold();
            if ((k + turn) % 2 == 0)
                catS += catSeconds(dataSet->files);
            else
                loaderS += (l = loaderSeconds(b, dataSet->files, &loaded));
        }
        ++turn;
        state.SetIterationTime(l);
    }
    const double mb = double(dataSet->bytes) * double(state.iterations()) / 1e6;
    state.counters["files"] = double(dataSet->files.size());
    state.counters["images_loaded"] = loaded;
    state.counters["set_MB"] = double(dataSet->bytes) / 1e6;
    state.counters["cat_MB_per_s"] = mb / catS;
    state.counters["loader_MB_per_s"] = mb / loaderS;
    state.counters["loader_vs_cat"] = catS / loaderS;
    state.counters["resident_share_before_reads"] = warmest;
}

// The 720 small frames of bench/end_to_end.sh (1024 x 32), from a warm
// cache: what the loader spends on each file besides reading it.
void BM_LoadSmallFiles(benchmark::State& state)
{
    QTemporaryDir tmp;
    const QDir dir(qEnvironmentVariable("FENU2_BM_SMALL_DIR", tmp.path()));
    dir.mkpath(QStringLiteral("."));
    ItexHeader h;
    h.width = 1024;
    h.height = 32;
    const QByteArray comment = itexComment(h.width, h.height, 1.0);
    QVector<uint16_t> px(h.width * h.height, 1000);
    const QByteArray frame = itexFrameU16(px);
    QStringList files;
    for (int i = 0; i < 720; ++i) {
        files << dir.filePath(QStringLiteral("proj-%1.img").arg(i, 5, 10, QLatin1Char('0')));
        if (!QFileInfo::exists(files.last()) && !writeItexFile(files.last(), h, comment, {frame})) {
            state.SkipWithError("could not write the small frames");
            return;
        }
    }
    Body b(nullptr, 1);
    int loaded = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        const double s = loaderSeconds(b, files, &loaded);
        seconds += s;
        state.SetIterationTime(s);
    }
    state.counters["images_loaded"] = loaded;
    state.counters["ms_per_file"] = seconds * 1e3 / double(state.iterations()) / double(files.size());
}

} // namespace

BENCHMARK(BM_LoadColdCache)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSmallFiles)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// FENU2_BENCH_OWN_MAIN: the main window needs an application object.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    DataSet set;
    if (makeDataSet(set))
        dataSet = &set;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dataSet = nullptr;
    return 0;
}
