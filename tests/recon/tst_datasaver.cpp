#include "recon/datasaver.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <memory>

// Stands in for a reconstruction worker: emits records the way it does.
class RecordSender : public QObject
{
    Q_OBJECT
signals:
    void saveDataWDiscard(SavingData* data);
    void saveImgWDiscard(SavingImg* img);
};

// Every slice of a beam time ends up here; a lost or misplaced file is a
// lost measurement, so names, folders and failures are checked on disk.
class TstDataSaver : public QObject
{
    Q_OBJECT

private slots:
    void fileNames_data();
    void fileNames();
    void foldersForEverySwitchCombination_data();
    void foldersForEverySwitchCombination();
    void failuresAreReportedAndNothingElseIsLost_data();
    void failuresAreReportedAndNothingElseIsLost();
    void builtRecords();
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

QStringList filesUnder(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

SaveSettings settings(const QString& path, const QString& name, const QString& tag)
{
    SaveSettings s;
    s.enabled = true;
    s.path = path;
    s.name = name;
    s.tag = tag;
    return s;
}

const double kMatrix[4] = {1.5, -2.0, 12.0, 0.25};

SavingData* dataRecord(const SaveSettings& s, int slice)
{
    return makeSavingData(s, slice, {kMatrix, 2, 2}, {0, 0, 2, 2}, DataLimits());
}

// Runs fn with a saver living on its own thread, as in the program, and
// returns once every record sent by fn has been handled.
template <typename Fn>
void withSaverThread(bool inSub, bool ofEnergy, bool ofSlice, Fn fn)
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
    thread.quit();
    thread.wait();
}

} // namespace

void TstDataSaver::fileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("slice");
    QTest::addColumn<QString>("dat");
    QTest::newRow("name and tag") << "scan" << "E7112" << 42 << "scan-E7112-00042.dat";
    QTest::newRow("no name") << "" << "E7112" << 42 << "E7112-00042.dat";
    QTest::newRow("no tag keeps the hyphen") << "scan" << "" << 42 << "scan--00042.dat";
    QTest::newRow("six digits are not cut") << "" << "T" << 123456 << "T-123456.dat";
    QTest::newRow("negative slice") << "" << "T" << -7 << "T--0007.dat";
    QTest::newRow("percent signs stay") << "a%1" << "%2" << 1 << "a%1-%2-00001.dat";
}

void TstDataSaver::fileNames()
{
    QFETCH(QString, name);
    QFETCH(QString, tag);
    QFETCH(int, slice);
    QFETCH(QString, dat);
    SavingRecord r;
    r.name = name;
    r.tag = tag;
    r.sliceNo = SavingRecord::sliceText(slice);
    QCOMPARE(r.fileName("dat"), dat);
    QCOMPARE(r.fileName("png"), dat.chopped(3) + "png");
}

void TstDataSaver::foldersForEverySwitchCombination_data()
{
    QTest::addColumn<bool>("inSub");
    QTest::addColumn<bool>("ofEnergy");
    QTest::addColumn<bool>("ofSlice");
    QTest::addColumn<QStringList>("dirs");
    const QStringList slice{"00042"};
    const QStringList tag{"T"};
    const QStringList both{"T", "00042"};
    const QStringList base{""};
    QTest::newRow("defaults: sub-folders of slice") << true << false << true << slice;
    QTest::newRow("sub-folders, neither switch: slice") << true << false << false << slice;
    QTest::newRow("sub-folders of energy only") << true << true << false << tag;
    QTest::newRow("sub-folders of energy and slice") << true << true << true << both;
    for (bool e : {false, true})
        for (bool s : {false, true})
            QTest::addRow("no sub-folders, energy %d slice %d", int(e), int(s)) << false << e << s << base;
}

void TstDataSaver::foldersForEverySwitchCombination()
{
    QFETCH(bool, inSub);
    QFETCH(bool, ofEnergy);
    QFETCH(bool, ofSlice);
    QFETCH(QStringList, dirs);
    QTemporaryDir tmp;
    const QString base = tmp.filePath("run");
    QVERIFY(QDir().mkpath(base));
    const int liveBefore = SavingRecord::live();
    const QImage img = greyImage(5, 3);
    MessageCapture cap;
    withSaverThread(inSub, ofEnergy, ofSlice, [&](RecordSender& s) {
        emit s.saveDataWDiscard(dataRecord(settings(base, "", "T"), 42));
        emit s.saveImgWDiscard(makeSavingImg(settings(base, "", "T"), 42, img));
    });
    QStringList want;
    for (const QString& d : dirs) {
        const QString prefix = d.isEmpty() ? QString() : d + "/";
        want << prefix + "T-00042.dat" << prefix + "T-00042.png";
    }
    want.sort();
    QCOMPARE(filesUnder(base), want);
    const QByteArray text = buildCtImgDataText({kMatrix, 2, 2}, {0, 0, 2, 2}, DataLimits());
    for (const QString& f : want) {
        if (f.endsWith(".dat"))
            QCOMPARE(fileBytes(base + "/" + f), text);
        else
            QCOMPARE(QImage(base + "/" + f).convertToFormat(QImage::Format_Grayscale8), img);
    }
    QCOMPARE(cap.lines(), QStringList());
    QCOMPARE(SavingRecord::live(), liveBefore);
}

void TstDataSaver::failuresAreReportedAndNothingElseIsLost_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("diagnostic");
    QTest::newRow("folder cannot be made") << "folder" << "Can't create directory : %1/blocked/00042";
    QTest::newRow("file cannot be opened") << "open" << "Can't open data file for writing : %1/bad/00042/T-00042.dat";
    QTest::newRow("disk full") << "full" << "Can't write the whole data file : %1/bad/00042/T-00042.dat";
    QTest::newRow("image cannot be saved") << "image" << "Can't save image file : %1/bad/00042/T-00042.png";
}

void TstDataSaver::failuresAreReportedAndNothingElseIsLost()
{
    QFETCH(QString, kind);
    QFETCH(QString, diagnostic);
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QString badBase = root + "/bad";
    if (kind == "folder") {
        // A regular file where a folder should go: not even root can make it.
        QFile blocker(root + "/blocked");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        badBase = root + "/blocked";
    } else if (kind == "open") {
        QVERIFY(QDir().mkpath(badBase + "/00042/T-00042.dat"));
    } else if (kind == "full") {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full on this system");
        QVERIFY(QDir().mkpath(badBase + "/00042"));
        QVERIFY(QFile::link("/dev/full", badBase + "/00042/T-00042.dat"));
    } else {
        QVERIFY(QDir().mkpath(badBase + "/00042/T-00042.png"));
    }
    const int liveBefore = SavingRecord::live();
    const QImage img = greyImage(4, 4);
    MessageCapture cap;
    withSaverThread(true, false, true, [&](RecordSender& s) {
        emit s.saveDataWDiscard(dataRecord(settings(root + "/good", "", "T"), 41));
        if (kind == "image")
            emit s.saveImgWDiscard(makeSavingImg(settings(badBase, "", "T"), 42, img));
        else
            emit s.saveDataWDiscard(dataRecord(settings(badBase, "", "T"), 42));
        emit s.saveDataWDiscard(dataRecord(settings(root + "/good", "", "T"), 43));
        emit s.saveImgWDiscard(makeSavingImg(settings(root + "/good", "", "T"), 43, img));
    });
    QCOMPARE(cap.lines(), QStringList{diagnostic.arg(root)});
    QCOMPARE(filesUnder(root + "/good"), QStringList({"00041/T-00041.dat", "00043/T-00043.dat", "00043/T-00043.png"}));
    QCOMPARE(SavingRecord::live(), liveBefore);
}

void TstDataSaver::builtRecords()
{
    const int liveBefore = SavingRecord::live();
    const QByteArray text = buildCtImgDataText({kMatrix, 2, 2}, {0, 0, 2, 2}, DataLimits());
    const double other[4] = {0, 0, 0, 0};
    QByteArray buffer;
    // The worker's next slice reuses its buffer while the saver still holds this one.
    std::unique_ptr<SavingData> d(
        makeSavingData(settings("/p", "n", "t"), 9, {kMatrix, 2, 2}, {0, 0, 2, 2}, DataLimits(), &buffer));
    std::unique_ptr<SavingData> d2(
        makeSavingData(settings("/p", "n", "t"), 10, {other, 2, 2}, {0, 0, 2, 2}, DataLimits(), &buffer));
    QCOMPARE(d->data, text);
    QCOMPARE(d2->data, buildCtImgDataText({other, 2, 2}, {0, 0, 2, 2}, DataLimits()));
    QCOMPARE(SavingRecord::live(), liveBefore + 2);
    MessageCapture cap;
    QVERIFY(!makeSavingData(settings("/p", "", "t"), 1, {kMatrix, 2, 2}, {0, 0, qQNaN(), 2}, DataLimits()));
    QVERIFY(!makeSavingImg(settings("/p", "", "t"), 1, QImage()));
    // A copy, not a view of the worker's image.
    QImage img = greyImage(3, 3);
    std::unique_ptr<SavingImg> r(makeSavingImg(settings("/p", "", "t"), 1, img));
    img.fill(0);
    QCOMPARE(r->img, greyImage(3, 3));
    d.reset();
    d2.reset();
    r.reset();
    QCOMPARE(SavingRecord::live(), liveBefore);
}

QTEST_MAIN(TstDataSaver)
#include "tst_datasaver.moc"
