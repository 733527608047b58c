// Loading slice stacks on their own thread: file order, skipped files,
// range, the memory guard, and the histogram.
#include "recon/ctimgdatafile.h"
#include "tests/support/testutil.h"
#include "tests/support/tiffbuilder.h"
#include "view3d/slicedatas.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A w x h data file with values lo..hi running along the rows (and the given extras at the start).
void writeDataFile(const QString& path, int w, int h, double lo, double hi, QVector<double> extras = {})
{
    std::vector<double> m(std::size_t(w) * std::size_t(h));
    for (std::size_t i = 0; i < m.size(); ++i)
        m[i] = i < std::size_t(extras.size()) ? extras[int(i)] : lo + (hi - lo) * double(i) / double(m.size() - 1);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(buildCtImgDataText({m.data(), h, w}, {0, 0, double(w), double(h)}, {HUGE_VAL, -HUGE_VAL, 0}));
}

} // namespace

class TstSliceDatas : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void load_data();
    void load();
    void histogram();

private:
    QTemporaryDir dir;
};

void TstSliceDatas::initTestCase()
{
    QVERIFY(dir.isValid());
    writeDataFile(dir.filePath("A.dat"), 256, 256, 0, 5);
    writeDataFile(dir.filePath("B.dat"), 128, 128, 0, 9);
    writeDataFile(dir.filePath("C.dat"), 256, 256, -1, 2);
    writeDataFile(dir.filePath("small.dat"), 4, 4, 0, 3);
    writeDataFile(dir.filePath("nan.dat"), 8, 8, 1, 2, {kNaN, HUGE_VAL, -HUGE_VAL});
    QImage black(8, 8, QImage::Format_Grayscale8);
    black.fill(0);
    QVERIFY(black.save(dir.filePath("black.png")));
    QImage grey(8, 8, QImage::Format_Grayscale8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            grey.scanLine(y)[x] = uchar(10 + 8 * y + x);
    QVERIFY(grey.save(dir.filePath("grey.png")));
    QFile junk(dir.filePath("junk.dat"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("#FENU-CTImg\n# Range_X1 : 3\nnot numbers at all\n");
    QVector<double> u16(64, 7.0), f32(64, 0.25);
    u16[5] = 60000;
    f32[9] = -0.5;
    for (auto [name, bits, format, values] : {std::tuple{"u16.tif", 16, 1, u16}, std::tuple{"f32.tif", 32, 3, f32}}) {
        TiffPage page;
        page.width = page.height = 8;
        page.bitsPerSample = bits;
        page.sampleFormat = format;
        page.pixels = tiffSamples(bits, format, values);
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(buildTiff({page}));
    }
}

void TstSliceDatas::load_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<qint64>("memoryLimit");
    QTest::addColumn<QStringList>("accepted");
    QTest::addColumn<double>("vmin");
    QTest::addColumn<double>("vmax");
    QTest::newRow("other size skipped") << QStringList{"A.dat", "B.dat", "C.dat"} << 0LL
                                        << QStringList{"A.dat", "C.dat"} << -1.0 << 5.0;
    QTest::newRow("constant first image sets the size")
        << QStringList{"black.png", "small.dat", "grey.png"} << 0LL << QStringList{"grey.png"} << 10.0 << 73.0;
    QTest::newRow("empty list") << QStringList{} << 0LL << QStringList{} << 0.0 << 1.0;
    QTest::newRow("unreadable files; NaN and inf out of the range")
        << QStringList{"missing.dat", "junk.dat", "nan.dat"} << 0LL << QStringList{"nan.dat"} << 1.04762 << 2.0;
    QTest::newRow("TIFF values") << QStringList{"u16.tif", "f32.tif"} << 0LL << QStringList{"u16.tif", "f32.tif"}
                                 << -0.5 << 60000.0;
    QTest::newRow("more than the memory") << QStringList{"A.dat", "C.dat"} << qint64(1000000) << QStringList{}
                                          << 0.0 << 1.0;
}

// Through a thread of its own, with every signal queued to this thread.
void TstSliceDatas::load()
{
    QFETCH(QStringList, files);
    QFETCH(qint64, memoryLimit);
    QFETCH(QStringList, accepted);
    QFETCH(double, vmin);
    QFETCH(double, vmax);
    for (QString& f : files)
        f = dir.filePath(f);
    SliceDatas* datas = new SliceDatas;
    datas->setMemoryLimit(memoryLimit);
    QThread thread;
    datas->moveToThread(&thread);
    connect(&thread, &QThread::finished, datas, &QObject::deleteLater);
    thread.start();

    QStringList events;
    SliceStackPtr stack;
    connect(datas, &SliceDatas::cleared, this, [&] { events << "cleared"; });
    connect(datas, &SliceDatas::loadedNewFile, this, [&](const QString& f) { events << QFileInfo(f).fileName(); });
    connect(datas, &SliceDatas::stackUpdated, this, [&](const SliceStackPtr& s) { stack = s; events << "stack"; });
    connect(datas, &SliceDatas::loadFilesFinished, this, [&] { events << "finished"; });
    MessageCapture messages;
    QMetaObject::invokeMethod(datas, "filesSelected", Qt::QueuedConnection, Q_ARG(QStringList, files));
    QTRY_VERIFY_WITH_TIMEOUT(events.contains("finished"), 20000);
    thread.quit();
    thread.wait();

    QCOMPARE(events, (QStringList{"cleared"} + accepted + QStringList{"stack", "finished"}));
    QVERIFY(stack);
    QCOMPARE(stack->loaded, !accepted.isEmpty());
    QCOMPARE(stack->count(), accepted.size());
    QCOMPARE(stack->vmin, vmin);
    QCOMPARE(stack->vmax, vmax);
    QCOMPARE(stack->histogramReady, !accepted.isEmpty());
    QCOMPARE(messages.count("Slice stack of"), memoryLimit > 0 ? 1 : 0);
}

// 50 bins from 0 to 49: one value per bin, 48.6 joins 49 in the last bin;
// NaN and infinities have no bin.
void TstSliceDatas::histogram()
{
    SliceStack st;
    SliceData s;
    for (int k = 0; k < 50; ++k)
        s.values.push_back(k);
    s.values.insert(s.values.end(), {48.6, kNaN, HUGE_VAL, -HUGE_VAL});
    s.width = int(s.values.size());
    s.height = 1;
    st.slices.push_back(s);
    st.vmin = 0;
    st.vmax = 49;
    st.makeHistogram();
    QVERIFY(st.histogramReady);
    QCOMPARE(st.binWidth, 1.0);
    std::vector<qint64> expected(50, 1);
    expected[49] = 2;
    QCOMPARE(st.counts, expected);
    QCOMPARE(st.histImage.size(), QSize(50, 100));
    const QRgb bar = qRgb(0, 220, 160);
    QCOMPARE(st.histImage.pixel(49, 0), bar);        // the highest count reaches the top
    QCOMPARE(st.histImage.pixel(0, 49), bar);        // half of it: trunc(99 - 49.5)
    QCOMPARE(st.histImage.pixel(0, 48), qRgb(255, 255, 255));
}

QTEST_MAIN(TstSliceDatas)
#include "tst_slicedatas.moc"
