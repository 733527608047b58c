// Loading slice stacks on their own thread: file order, skipped files,
// range, the memory guard, and the histogram.
#include "recon/ctimgdatafile.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"
#include "tests/support/tiffbuilder.h"
#include "view3d/slicedatas.h"

#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A w x h data file with values lo..hi running along the rows (and the given extras at the start).
bool writeDataFile(const QString& path, int w, int h, double lo, double hi, QVector<double> extras = {})
{
    std::vector<double> m(std::size_t(w) * std::size_t(h));
    for (std::size_t i = 0; i < m.size(); ++i)
        m[i] = i < std::size_t(extras.size()) ? extras[int(i)] : lo + (hi - lo) * double(i) / double(m.size() - 1);
    const DataRegion all{0, 0, double(w), double(h)};
    return writeBytes(path, buildCtImgDataText({m.data(), h, w}, all, {HUGE_VAL, -HUGE_VAL, 0}));
}

// The files loaded together, the memory limit (0: none), which ones the stack
// takes and the value range it finds.
struct LoadRow {
    QStringList files;
    qint64 memoryLimit;
    QStringList accepted;
    double vmin, vmax;
};

} // namespace

Q_DECLARE_METATYPE(LoadRow)

class TstSliceDatas : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(writeDataFile(dir.filePath("A.dat"), 256, 256, 0, 5));
        QVERIFY(writeDataFile(dir.filePath("C.dat"), 256, 256, -1, 2));
        QVERIFY(writeDataFile(dir.filePath("small.dat"), 4, 4, 0, 3));
        QVERIFY(writeDataFile(dir.filePath("nan.dat"), 8, 8, 1, 2, {kNaN, HUGE_VAL, -HUGE_VAL}));
        QImage black(8, 8, QImage::Format_Grayscale8);
        black.fill(0);
        QVERIFY(black.save(dir.filePath("black.png")));
        QImage grey(8, 8, QImage::Format_Grayscale8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                grey.scanLine(y)[x] = uchar(10 + 8 * y + x);
        QVERIFY(grey.save(dir.filePath("grey.png")));
        QVERIFY(writeBytes(dir.filePath("junk.dat"), "#FENU-CTImg\n# Range_X1 : 3\nnot numbers at all\n"));
        QVector<double> u16(64, 7.0), f32(64, 0.25);
        u16[5] = 60000;
        f32[9] = -0.5;
        for (auto [name, bits, format, values] : {std::tuple{"u16.tif", 16, 1, u16}, std::tuple{"f32.tif", 32, 3, f32}}) {
            TiffPage page;
            page.width = page.height = 8;
            page.bitsPerSample = bits;
            page.sampleFormat = format;
            page.pixels = tiffSamples(bits, format, values);
            QVERIFY(writeBytes(dir.filePath(name), buildTiff({page})));
        }
    }

    void load_data()
    {
        QTest::addColumn<LoadRow>("row");
        QTest::newRow("constant first image sets the size")
            << LoadRow{{"black.png", "small.dat", "grey.png"}, 0, {"grey.png"}, 10, 73};
        QTest::newRow("unreadable files; NaN and inf out of the range")
            << LoadRow{{"missing.dat", "junk.dat", "nan.dat"}, 0, {"nan.dat"}, 1.04762, 2};
        QTest::newRow("TIFF values") << LoadRow{{"u16.tif", "f32.tif"}, 0, {"u16.tif", "f32.tif"}, -0.5, 60000};
        QTest::newRow("more than the memory") << LoadRow{{"A.dat", "C.dat"}, 1000000, {}, 0, 1};
    }

    // Through a thread of its own, with every signal queued to this thread.
    void load()
    {
        QFETCH(LoadRow, row);
        QStringList files;
        for (const QString& f : row.files)
            files << dir.filePath(f);
        SliceDatas* datas = new SliceDatas;
        datas->setMemoryLimit(row.memoryLimit);
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

        QCOMPARE(events, (QStringList{"cleared"} + row.accepted + QStringList{"stack", "finished"}));
        QVERIFY(stack);
        QCOMPARE(stack->loaded, !row.accepted.isEmpty());
        QCOMPARE(stack->count(), row.accepted.size());
        QCOMPARE(stack->vmin, row.vmin);
        QCOMPARE(stack->vmax, row.vmax);
        QCOMPARE(stack->histogramReady, !row.accepted.isEmpty());
        QCOMPARE(messages.count("Slice stack of"), row.memoryLimit > 0 ? 1 : 0);
    }

    // 50 bins from 0 to 49: one value per bin, 48.6 joins 49 in the last bin;
    // NaN and infinities have no bin.
    void histogram()
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
        QCOMPARE(st.histImage.pixel(49, 0), bar); // the highest count reaches the top
        QCOMPARE(st.histImage.pixel(0, 49), bar); // half of it: trunc(99 - 49.5)
        QCOMPARE(st.histImage.pixel(0, 48), qRgb(255, 255, 255));
    }
};

QTEST_MAIN(TstSliceDatas)
#include "tst_slicedatas.moc"
