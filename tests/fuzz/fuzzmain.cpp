// A driver for the fuzz targets without libFuzzer, so that every build runs
// them: each seed once, then mutated seeds for a bounded time with a fixed
// random sequence, so a failure repeats. A fault shows as a trap or a crash.
//   fuzzrun_<target> [--seconds S] [--write-seeds DIR] [seed file or dir ...]
// --write-seeds writes the target's built-in seeds for a libFuzzer run.
#include <QDir>
#include <QElapsedTimer>

#include <cstdint>
#include <cstdio>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
// Seeds a target makes in code (image files, for instance).
void fenu2FuzzSeeds(QList<QByteArray>* seeds) __attribute__((weak));

namespace {

void addFiles(const QString& path, QList<QByteArray>* seeds)
{
    for (const QFileInfo& f : QDir(path).entryInfoList(QDir::Files, QDir::Name))
        addFiles(f.filePath(), seeds);
    QFile f(path);
    if (!QFileInfo(path).isDir() && f.open(QIODevice::ReadOnly))
        *seeds << f.read(16 << 20);
}

QByteArray mutate(QByteArray in, const QList<QByteArray>& seeds, std::mt19937& rng)
{
    const auto pick = [&rng](qsizetype n) { return n > 0 ? qsizetype(rng() % std::uint32_t(n)) : 0; };
    for (int edits = 1 + int(rng() % 4); edits > 0; --edits) {
        const qsizetype at = pick(in.size() + 1);
        const QByteArray& other = seeds[pick(seeds.size())];
        switch (rng() % 5) {
        case 0: // flip a bit, or write an interesting byte
            if (!in.isEmpty())
                in[pick(in.size())] = rng() % 2 ? char(in[pick(in.size())] ^ (1 << (rng() % 8)))
                                                : "\0\x01\x7f\x80\xff\n\r #\"\\"[rng() % 11];
            break;
        case 1: in.insert(at, char(rng())); break;
        case 2: in.remove(at, 1 + pick(16)); break;
        case 3: in.insert(at, other.mid(pick(other.size()), 1 + pick(64))); break; // a piece of another seed
        default: in.truncate(at); break;
        }
    }
    return in;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 3.0;
    QString seedsOut;
    QList<QByteArray> seeds;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--seconds") && i + 1 < argc)
            seconds = QString::fromLocal8Bit(argv[++i]).toDouble();
        else if (a == QLatin1String("--write-seeds") && i + 1 < argc)
            seedsOut = QString::fromLocal8Bit(argv[++i]);
        else
            addFiles(a, &seeds);
    }
    QList<QByteArray> builtIn;
    if (fenu2FuzzSeeds)
        fenu2FuzzSeeds(&builtIn);
    if (!seedsOut.isEmpty()) {
        QDir().mkpath(seedsOut);
        for (int k = 0; k < builtIn.size(); ++k) {
            QFile f(QDir(seedsOut).filePath(QStringLiteral("builtin-%1").arg(k)));
            if (!f.open(QIODevice::WriteOnly) || f.write(builtIn[k]) != builtIn[k].size())
                return 1;
        }
        return 0;
    }
    seeds << builtIn;
    if (seeds.isEmpty())
        seeds << QByteArray();
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    const auto run = [](const QByteArray& in) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(in.constData()), std::size_t(in.size()));
    };
    for (const QByteArray& s : seeds)
        run(s);
    std::mt19937 rng(1);
    QElapsedTimer t;
    t.start();
    long long inputs = seeds.size();
    for (; t.elapsed() < qint64(seconds * 1000.0); ++inputs)
        run(mutate(seeds[qsizetype(rng() % std::uint32_t(seeds.size()))], seeds, rng));
    std::printf("%lld inputs in %.1f s, no fault\n", inputs, t.elapsed() / 1000.0);
    return 0;
}
