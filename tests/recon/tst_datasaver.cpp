#include "recon/datasaver.h"
#include "recon/pngencode.h"
#include "recon/wholefile.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <memory>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <vector>

// Stands in for a reconstruction worker: emits records the way it does.
class RecordSender : public QObject
{
    Q_OBJECT
signals:
    void saveDataWDiscard(SavingData* data);
    void saveImgWDiscard(SavingImg* img);
};

namespace {

QImage greyImage(int w, int h)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.scanLine(y)[x] = uchar((x * 7 + y * 13) & 0xff);
    return img;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const double kMatrix[4] = {1.5, -2.0, 12.0, 0.25};
const DataRegion kRegion{0, 0, 2, 2};

SavingData* dataRecord(const SaveSettings& s, int slice)
{
    return makeSavingData(s, slice, {kMatrix, 2, 2}, kRegion, DataLimits());
}

// Runs fn with a saver on its own thread; returns once every record fn sent has been handled.
// (files written, files failed)
template <typename Fn>
QPair<int, int> withSaverThread(bool inSub, bool ofEnergy, bool ofSlice, Fn fn)
{
    QThread thread;
    auto* saver = new DataSaver;
    saver->setSubFolders(inSub, ofEnergy, ofSlice);
    saver->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, saver, &QObject::deleteLater);
    thread.start();
    RecordSender sender;
    QObject::connect(&sender, &RecordSender::saveDataWDiscard, saver, &DataSaver::saveDataWDiscard);
    QObject::connect(&sender, &RecordSender::saveImgWDiscard, saver, &DataSaver::saveImgWDiscard);
    fn(sender);
    QMetaObject::invokeMethod(saver, [] {}, Qt::BlockingQueuedConnection);
    const QPair<int, int> counts{saver->writtenFiles(), saver->failedFiles()};
    thread.quit();
    thread.wait();
    return counts;
}

// Hidden files too: what a killed or failed write could have left.
QStringList leftovers(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        if (it.next().contains(".part"))
            out << it.filePath();
    return out;
}

} // namespace

struct Saved { QVector<bool> switches; QString name, tag; int slice; QStringList dirs; QString stem; };
Q_DECLARE_METATYPE(Saved)

// A lost or misplaced file is a lost measurement: names, folders and failures are checked on disk.
class TstDataSaver : public QObject
{
    Q_OBJECT

private slots:
    // Sub-folder switches (in sub-folders, of energy, of slice), name, tag, slice, folders, file stem.
    void savedFiles_data()
    {
        QTest::addColumn<Saved>("c");
        QTest::newRow("defaults: slice folder") << Saved{{1, 0, 1}, "scan", "E7112", 42, {"00042/"}, "scan-E7112-00042"};
        QTest::newRow("neither switch: slice folder, no name") << Saved{{1, 0, 0}, "", "E7112", 42, {"00042/"}, "E7112-00042"};
        QTest::newRow("energy folder") << Saved{{1, 1, 0}, "scan", "T", 42, {"T/"}, "scan-T-00042"};
        QTest::newRow("energy and slice folders, six digits") << Saved{{1, 1, 1}, "", "T", 123456, {"T/", "123456/"}, "T-123456"};
        QTest::newRow("no sub-folders, negative slice, percent signs")
            << Saved{{0, 1, 1}, "a%1", "%2", -7, {""}, "a%1-%2--0007"};
    }
    void savedFiles()
    {
        QFETCH(Saved, c);
        QTemporaryDir tmp;
        const QString base = tmp.filePath("run");
        const int liveBefore = SavingRecord::live();
        const QImage img = greyImage(5, 3);
        // Big enough for the writer's way past the page cache.
        std::vector<double> grid(400 * 400);
        for (std::size_t i = 0; i < grid.size(); ++i)
            grid[i] = 0.001 * double(i % 977) - 0.3;
        const MatrixView next{grid.data(), 400, 400};
        const DataRegion nextRegion{3, 1, 400, 399};
        std::shared_ptr<PageBytes> buffer; // one worker's, reused for every slice
        MessageCapture cap;
        withSaverThread(c.switches[0], c.switches[1], c.switches[2], [&](RecordSender& s) {
            emit s.saveDataWDiscard(makeSavingData({true, base, c.name, c.tag}, c.slice, {kMatrix, 2, 2}, kRegion, {}, &buffer));
            emit s.saveImgWDiscard(makeSavingImg({true, base, c.name, c.tag}, c.slice, img));
            // The next slice fills the buffer while the saver may still hold the last text.
            emit s.saveDataWDiscard(makeSavingData({true, tmp.filePath("next"), "", "T"}, 1, next, nextRegion, {}, &buffer));
        });
        QStringList want;
        for (const QString& d : c.dirs)
            want << d + c.stem + ".dat" << d + c.stem + ".png";
        want.sort();
        QCOMPARE(filesUnder(base), want);
        for (const QString& d : c.dirs) {
            QCOMPARE(fileBytes(base + "/" + d + c.stem + ".dat"), buildCtImgDataText({kMatrix, 2, 2}, kRegion, {}));
            QCOMPARE(fileBytes(base + "/" + d + c.stem + ".png"), encodePng(img)); // the worker's bytes, as they were
        }
        const QStringList nextFiles = filesUnder(tmp.filePath("next"));
        QCOMPARE(nextFiles.size(), c.dirs.size());
        for (const QString& f : nextFiles)
            QCOMPARE(fileBytes(tmp.filePath("next/" + f)), buildCtImgDataText(next, nextRegion, {}));
        QCOMPARE(cap.lines(), QStringList());
        QCOMPARE(SavingRecord::live(), liveBefore);
    }

    // Each row puts one obstacle in the way of slice 42 (data file, or the
    // image or the TIFF where named); slices 41 and 43 must not notice.
    void failuresAreReportedAndNothingElseIsLost_data()
    {
        QTest::addColumn<QString>("obstacle"); // what is in the way, and where
        QTest::addColumn<QString>("diagnostic"); // empty: slice 42 is saved after all
        QTest::newRow("folder cannot be made") << "file bad" << "Can't create directory : %1/bad/00042 (T-00042.dat not saved)";
        QTest::newRow("unwritable folder") << "unwritable bad/00042"
                                           << "Can't open data file for writing : %1/bad/00042/T-00042.dat";
        QTest::newRow("directory under the file's name") << "dir bad/00042/T-00042.dat"
                                                         << "Can't put the written data file in place : %1/bad/00042/T-00042.dat";
        QTest::newRow("image cannot be put in place") << "dir bad/00042/T-00042.png"
                                                      << "Can't put the written image file in place : %1/bad/00042/T-00042.png";
        QTest::newRow("TIFF write fails half-way (file size limit)")
            << "fsize bad/00042" << "Can't write the whole TIFF file : %1/bad/00042/T-00042.tif";
        // Written whole elsewhere and renamed: the link itself is replaced.
        QTest::newRow("result name links to /dev/full") << "full bad/00042/T-00042.dat" << "";
    }

    void failuresAreReportedAndNothingElseIsLost()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, diagnostic);
        QTemporaryDir tmp;
        const QString root = tmp.path(), kind = obstacle.section(' ', 0, 0), where = tmp.filePath(obstacle.section(' ', 1));
        if (kind == "full" && !QFile::exists("/dev/full"))
            QSKIP("no /dev/full on this system");
        QVERIFY(QDir().mkpath(QFileInfo(where).path()));
        if (kind == "file")
            QVERIFY(QFile(where).open(QIODevice::WriteOnly));
        else if (kind == "dir" || kind == "fsize")
            QVERIFY(QDir().mkpath(where));
        else if (kind == "full")
            QVERIFY(QFile::link("/dev/full", where));
        else if (kind == "unwritable") // not even root may create files in /proc
            QVERIFY(QFile::link("/proc/self", where));
        const int liveBefore = SavingRecord::live();
        const QImage img = greyImage(4, 4);
        std::vector<double> big(64 * 64, 0.5);
        MessageCapture cap;
        const SaveSettings good{true, root + "/good", "", "T"}, bad{true, root + "/bad", "", "T"};
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const QPair<int, int> counts = withSaverThread(true, false, true, [&](RecordSender& s) {
            emit s.saveDataWDiscard(dataRecord(good, 41));
            if (kind == "fsize") {
                // 16 KiB of pixels against an 8 KiB limit: the kernel takes half.
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit small = before;
                small.rlim_cur = 8192;
                setrlimit(RLIMIT_FSIZE, &small);
                emit s.saveDataWDiscard(makeSavingTiff(bad, 42, {big.data(), 64, 64}, {0, 0, 64, 64}));
            } else if (diagnostic.contains("image")) {
                emit s.saveImgWDiscard(makeSavingImg(bad, 42, img));
            } else {
                emit s.saveDataWDiscard(dataRecord(bad, 42));
            }
            emit s.saveDataWDiscard(dataRecord(good, 43));
            emit s.saveImgWDiscard(makeSavingImg(good, 43, img));
        });
        setrlimit(RLIMIT_FSIZE, &before);
        QCOMPARE(cap.lines(), diagnostic.isEmpty() ? QStringList() : QStringList{diagnostic.arg(root)});
        QCOMPARE(counts, qMakePair(diagnostic.isEmpty() ? 4 : 3, diagnostic.isEmpty() ? 0 : 1));
        QCOMPARE(filesUnder(root + "/good"), QStringList({"00041/T-00041.dat", "00043/T-00043.dat", "00043/T-00043.png"}));
        const QString badData = root + "/bad/00042/T-00042.dat";
        if (diagnostic.isEmpty())
            QVERIFY(!QFileInfo(badData).isSymLink() && dataFileWhole(badData));
        for (const char* ext : {"dat", "png", "tif"})
            QVERIFY(!QFileInfo(root + "/bad/00042/T-00042." + ext).isFile() || diagnostic.isEmpty());
        QCOMPARE(leftovers(root), QStringList());
        QCOMPARE(SavingRecord::live(), liveBefore);
    }

    // Past the page cache or through it, the file holds exactly the bytes.
    void wholeBytesEitherWay_data()
    {
        QTest::addColumn<QString>("where");    // "disk" (the build folder) or "tmpfs"
        QTest::addColumn<qulonglong>("size");
        QTest::addColumn<bool>("pageMemory");  // else a byte array (not page-aligned)
        QTest::addColumn<qulonglong>("limit"); // file size limit, 0: none
        QTest::addColumn<int>("way");          // -1: the write fails; 2: direct where the folder takes it
        const qulonglong mib = 1 << 20;
        QTest::newRow("disk, last page part-filled: direct, cut to size") << "disk" << 3 * mib + 5 << true << 0ull << int(WriteWay::Direct);
        QTest::newRow("disk, whole pages: direct") << "disk" << 2 * mib << true << 0ull << int(WriteWay::Direct);
        QTest::newRow("disk, byte array: plain") << "disk" << 3 * mib + 5 << false << 0ull << int(WriteWay::Plain);
        QTest::newRow("disk, small file: plain") << "disk" << 1000ull << true << 0ull << int(WriteWay::Plain);
        // Before Linux 6.6 tmpfs refuses O_DIRECT; later ones take it.
        QTest::newRow("tmpfs: direct if taken, else plain") << "tmpfs" << 3 * mib + 5 << true << 0ull << 2;
        QTest::newRow("disk, direct write fails half-way") << "disk" << 3 * mib + 5 << true << mib + 4096 << -1;
        QTest::newRow("tmpfs, plain write fails half-way") << "tmpfs" << 3 * mib + 5 << true << mib + 100 << -1;
    }
    void wholeBytesEitherWay()
    {
        QFETCH(QString, where);
        QFETCH(qulonglong, size);
        QFETCH(bool, pageMemory);
        QFETCH(qulonglong, limit);
        QFETCH(int, way);
        // The build folder is where a disk is most likely; tmpfs is what
        // refuses O_DIRECT everywhere.
        QTemporaryDir tmp(where == "disk" ? QDir::current().filePath("wholebytes-XXXXXX") : "/dev/shm/wholebytes-XXXXXX");
        struct statfs fs{};
        if (!tmp.isValid() || statfs(QFile::encodeName(tmp.path()).constData(), &fs) != 0)
            QSKIP("no such folder here");
        if ((fs.f_type == 0x01021994) != (where == "tmpfs"))
            QSKIP("folder on another file system than the row is about");
        if (way == 2) {
            const int probe = ::open(QFile::encodeName(tmp.filePath("probe")).constData(), O_WRONLY | O_CREAT | O_DIRECT, 0600);
            way = int(probe >= 0 ? WriteWay::Direct : WriteWay::Plain);
            if (probe >= 0)
                ::close(probe);
            QFile::remove(tmp.filePath("probe"));
        }
        PageBytes pages;
        QByteArray array(qsizetype(size), Qt::Uninitialized);
        char* bytes = pageMemory ? pages.reserve(size) : array.data();
        for (qulonglong i = 0; i < size; ++i)
            bytes[i] = char('a' + (i * 7 + i / 4096) % 26);
        if (pageMemory)
            pages.setSize(size);
        const QString path = tmp.filePath("r.dat");
        QVERIFY(!writeTextFile(path, "old\n").isEmpty());

        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        if (limit) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = before;
            small.rlim_cur = limit;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        WriteWay used = WriteWay(-1);
        const WriteFault fault = writeWholeBytes(path, bytes, size, pageMemory ? pages.capacity() : size, &used);
        setrlimit(RLIMIT_FSIZE, &before);

        QCOMPARE(fault, way < 0 ? WriteFault::Write : WriteFault::None);
        if (way >= 0)
            QCOMPARE(int(used), way);
        QCOMPARE(fileBytes(path), way < 0 ? QByteArray("old\n") : QByteArray::fromRawData(bytes, qsizetype(size)));
        QCOMPARE(leftovers(tmp.path()), QStringList());
    }
};

QTEST_MAIN(TstDataSaver)
#include "tst_datasaver.moc"
