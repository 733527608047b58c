#include "input/imgdataitex.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QtTest>

#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

// The ITEX reader is the door through which every measured number enters,
// and the files are produced by cameras and copied by people; these tests
// pin the layout rules and make sure a broken file is refused cleanly.
class TstImgDataItex : public QObject
{
    Q_OBJECT

private slots:
    void pixelTypes_data();
    void pixelTypes();
    void commentProperties_data();
    void commentProperties();
    void sequenceFrames_data();
    void sequenceFrames();
    void malformedFilesFailCleanly_data();
    void malformedFilesFailCleanly();
    void indexOutsideImageGivesZeros_data();
    void indexOutsideImageGivesZeros();
    void concurrentStreamingReadsAgree();
    void streamedFileCutAfterLoading();
    void frameBeyondTwoGigabytes();

private:
    std::unique_ptr<ImgDataITEX> open(const QString& path, bool inMemory, int frame = 0)
    {
        auto d = std::make_unique<ImgDataITEX>();
        d->reset();
        d->fileName = path;
        d->inMemory = inMemory;
        d->load(frame);
        return d;
    }
    QTemporaryDir dir;
};

void TstImgDataItex::pixelTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVector<double>>("stored");
    QTest::addColumn<QVector<double>>("expected");
    QTest::addColumn<bool>("inMemory");
    // 3 x 2 images; 0xFFFF is 65535 unsigned and -1 signed.
    const QVector<double> u16 = {0, 1, 65535, 40000, 7, 32768};
    for (bool mem : {true, false}) {
        const char* m = mem ? "memory" : "streaming";
        QTest::addRow("u8 %s", m) << 0 << QVector<double>{0, 1, 255, 128, 7, 200} << QVector<double>{0, 1, 255, 128, 7, 200} << mem;
        QTest::addRow("s16 %s", m) << 1 << QVector<double>{0, 1, -1, -32768, 7, 32767}
                                   << QVector<double>{0, 1, -1, -32768, 7, 32767} << mem;
        QTest::addRow("u16 %s", m) << 2 << u16 << u16 << mem;
        QTest::addRow("s32 %s", m) << 3 << QVector<double>{-2147483648.0, 1, -1, 2147483647.0, 7, 0}
                                   << QVector<double>{-2147483648.0, 1, -1, 2147483647.0, 7, 0} << mem;
        QTest::addRow("float %s", m) << 4 << QVector<double>{0.5, -1.25, 3e10, 0, 7, 1e-3}
                                     << QVector<double>{0.5, -1.25, double(3e10f), 0, 7, double(1e-3f)} << mem;
        QTest::addRow("unknown type 7 %s", m) << 7 << QVector<double>{} << QVector<double>(6, 0.0) << mem;
    }
}

void TstImgDataItex::pixelTypes()
{
    QFETCH(int, type);
    QFETCH(QVector<double>, stored);
    QFETCH(QVector<double>, expected);
    QFETCH(bool, inMemory);
    ItexFixture f = itexImage(3, 2, type, stored);
    if (type == 7)
        f.frames = {QByteArray(12, '\x55')}; // whatever is stored, it reads as zeros
    const QString path = dir.filePath(QStringLiteral("t%1.img").arg(type));
    QVERIFY(f.write(path));
    auto d = open(path, inMemory);
    QVERIFY(d->ready);
    QCOMPARE(d->width, 3);
    QCOMPARE(d->height, 2);
    double row[3], col[2];
    for (int y = 0; y < 2; ++y) {
        d->getLine(y, row);
        for (int x = 0; x < 3; ++x)
            QCOMPARE(row[x], expected[y * 3 + x]);
    }
    for (int x = 0; x < 3; ++x) {
        d->getColumn(x, col);
        for (int y = 0; y < 2; ++y)
            QCOMPARE(col[y], expected[y * 3 + x]);
    }
}

void TstImgDataItex::commentProperties_data()
{
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("exposure");
    // The header frame is 16 x 16 here; the properties decide the size.
    QTest::newRow("plain") << QByteArray("Prop_ImageWidth=8,Prop_ImageHeight=4,") << true << 8 << 4 << 1.0;
    QTest::newRow("quoted areSource fallback")
        << QByteArray("areSource=\"2,3,12,9\",Prop_ExposureTime1=0.5,") << true << 10 << 6 << 0.5;
    QTest::newRow("unquoted areSource: later numbers read 0")
        << QByteArray("areSource=-6,0,12,9,Prop_ImageHeight=5,") << true << 6 << 5 << 1.0;
    QTest::newRow("properties win over areSource")
        << QByteArray("areSource=\"0,0,12,9\",Prop_ImageWidth=7,") << true << 7 << 9 << 1.0;
    QTest::newRow("later exposure wins (2 then 1)")
        << QByteArray("Prop_ExposureTime2=0.2,Prop_ExposureTime1=0.1,Prop_ImageWidth=8,Prop_ImageHeight=4,") << true
        << 8 << 4 << 0.1;
    QTest::newRow("later exposure wins (1 then 2)")
        << QByteArray("Prop_ImageWidth=8,Prop_ExposureTime1=0.1,Prop_ExposureTime2=0.2,Prop_ImageHeight=4,") << true
        << 8 << 4 << 0.2;
    QTest::newRow("comma inside quotes does not split")
        << QByteArray("Note=\"a,b\",Prop_ImageWidth=8,Prop_ImageHeight=4,") << true << 8 << 4 << 1.0;
    QTest::newRow("quoted value") << QByteArray("Prop_ImageWidth=\"8\",Prop_ImageHeight=4 junk,") << true << 8 << 4 << 1.0;
    QTest::newRow("last item without comma is ignored")
        << QByteArray("Prop_ImageWidth=8,Prop_ImageHeight=4") << false << 0 << 0 << 1.0;
    QTest::newRow("empty value reads 0") << QByteArray("Prop_ImageWidth=,Prop_ImageHeight=4,") << false << 0 << 0 << 1.0;
    QTest::newRow("value beyond 32 bits reads 0")
        << QByteArray("Prop_ImageWidth=4294967304,Prop_ImageHeight=4,") << false << 0 << 0 << 1.0;
    QTest::newRow("keys are case-sensitive") << QByteArray("prop_imagewidth=8,Prop_ImageHeight=4,") << false << 0 << 0
                                             << 1.0;
    QTest::newRow("no comment at all, valid header") << QByteArray() << false << 0 << 0 << 1.0;
    QTest::newRow("larger than the header frame")
        << QByteArray("Prop_ImageWidth=17,Prop_ImageHeight=16,") << false << 0 << 0 << 1.0;
}

void TstImgDataItex::commentProperties()
{
    QFETCH(QByteArray, comment);
    QFETCH(bool, ok);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, exposure);
    ItexFixture f = itexImage(16, 16, 2, QVector<double>(256, 3.0));
    f.comment = comment;
    const QString path = dir.filePath(QStringLiteral("props.img"));
    QVERIFY(f.write(path));
    ImgDataITEX d;
    d.reset();
    int w = -1, h = -1;
    QCOMPARE(d.readProps(path, w, h), ok);
    QCOMPARE(w, width);
    QCOMPARE(h, height);
    QCOMPARE(d.exposureTime, exposure);
}

void TstImgDataItex::sequenceFrames_data()
{
    QTest::addColumn<int>("frame");
    QTest::addColumn<bool>("inMemory");
    for (int k : {0, 2, 3})
        for (bool mem : {true, false})
            QTest::addRow("frame %d %s", k, mem ? "memory" : "streaming") << k << mem;
}

void TstImgDataItex::sequenceFrames()
{
    QFETCH(int, frame);
    QFETCH(bool, inMemory);
    // Frame k holds 1000 k + pixel index; frame headers are filled with junk
    // that must never show up as pixels.
    ItexFixture f;
    f.header = {4, 3, 0, 0, 2, 4};
    f.comment = itexComment(4, 3, 1.0) + "Remark=\"long, long text\",";
    for (int k = 0; k < 4; ++k) {
        QVector<double> v;
        for (int i = 0; i < 12; ++i)
            v << 1000 * k + i;
        f.frames << itexPixels(2, v);
    }
    QByteArray bytes = f.bytes();
    const int c = int(f.comment.size());
    for (int k = 1; k < 4; ++k)
        bytes.replace(64 + c + k * 24 + (k - 1) * 64, 64, QByteArray(64, '\x7f'));
    const QString path = dir.filePath(QStringLiteral("seq.his"));
    QVERIFY(writeBytes(path, bytes));
    auto d = open(path, inMemory, frame);
    QVERIFY(d->ready);
    QCOMPARE(d->frameCount, 4);
    QCOMPARE(d->dataOffset, qint64(64 + c + frame * (24 + 64)));
    double row[4], col[3];
    d->getLine(2, row);
    QCOMPARE(row[3], 1000.0 * frame + 11);
    d->getColumn(1, col);
    QCOMPARE(col[0], 1000.0 * frame + 1);
    QCOMPARE(col[2], 1000.0 * frame + 9);
}

void TstImgDataItex::malformedFilesFailCleanly_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("diagnostic");
    const ItexFixture good = itexImage(4, 3, 2, QVector<double>(12, 9.0));
    const QByteArray g = good.bytes();

    QTest::newRow("empty file") << QByteArray() << 0 << "Error on reading ITEX file props.";
    QTest::newRow("shorter than the header") << g.left(39) << 0 << "Error on reading ITEX file props.";
    QTest::newRow("cut inside the comment") << g.left(70) << 0 << "ITEX comment is longer than the file";
    ItexFixture lying = good;
    lying.commentLength = 60000;
    QTest::newRow("comment length beyond the file") << lying.bytes() << 0 << "ITEX comment is longer than the file";
    QTest::newRow("cut inside the frame") << g.left(g.size() - 1) << 0 << "Frame 0 lies beyond the end of ITEX file";
    QTest::newRow("frame index beyond the file") << g << 1 << "Frame 1 lies beyond the end of ITEX file";
    QTest::newRow("negative frame index") << g << -1 << "Frame -1 lies beyond the end of ITEX file";
    QTest::newRow("huge frame index") << g << std::numeric_limits<int>::max()
                                      << "Frame 2147483647 lies beyond the end of ITEX file";
    ItexFixture huge = good;
    huge.header.width = huge.header.height = 65535;
    huge.header.pixelType = 4;
    huge.comment = itexComment(65535, 65535, 1.0);
    QTest::newRow("header asks for 17 GB, file holds 100 bytes") << huge.bytes() << 0
                                                                 << "Frame 0 lies beyond the end of ITEX file";
    ItexFixture wide = good;
    wide.comment = itexComment(2000000000, 1, 1.0);
    QTest::newRow("property width beyond the frame") << wide.bytes() << 0 << "ITEX image size (2000000000 x 1) does not fit";
    ItexFixture bigType7 = good;
    bigType7.header = {65535, 65535, 0, 0, 7, 1};
    bigType7.comment = itexComment(65535 * 2, 65535 / 2, 1.0);
    QTest::newRow("unknown type, property width beyond any ITEX frame")
        << bigType7.bytes() << 0 << "ITEX image size (131070 x 32767) does not fit";
    ItexFixture smallType7 = good;
    smallType7.header = {4, 3, 0, 0, 7, 1};
    smallType7.frames = {QByteArray(11, '\0')};
    QTest::newRow("unknown type, fewer bytes than pixels") << smallType7.bytes() << 0 << "ITEX image of unknown pixel type 7";
    QTest::newRow("not an ITEX file") << QByteArray("XM").append(60, '\0') << 0 << QString();
}

void TstImgDataItex::malformedFilesFailCleanly()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, frame);
    QFETCH(QString, diagnostic);
    const QString path = dir.filePath(QStringLiteral("bad.img"));
    QVERIFY(writeBytes(path, bytes));
    for (bool mem : {true, false}) {
        MessageCapture cap;
        auto d = open(path, mem, frame);
        QVERIFY(!d->ready);
        if (diagnostic.isEmpty()) {
            QCOMPARE(cap.lines().size(), 0);
        } else {
            QCOMPARE(cap.count(diagnostic), 1);
            QVERIFY2(cap.lines().first().endsWith(path), qPrintable(cap.lines().join('\n')));
        }
        // Asking a failed image for pixels gives nothing but zeros.
        std::vector<double> buf(std::max(1, d->width), -1.0);
        d->getLine(0, buf.data());
        QCOMPARE(buf.front(), d->width > 0 ? 0.0 : -1.0);
    }
}

void TstImgDataItex::indexOutsideImageGivesZeros_data()
{
    QTest::addColumn<bool>("inMemory");
    QTest::addColumn<bool>("row");
    QTest::addColumn<int>("index");
    for (bool mem : {true, false}) {
        QTest::addRow("row -1 %d", mem) << mem << true << -1;
        QTest::addRow("row height %d", mem) << mem << true << 3;
        QTest::addRow("column -1 %d", mem) << mem << false << -1;
        QTest::addRow("column width %d", mem) << mem << false << 4;
        QTest::addRow("column INT_MAX %d", mem) << mem << false << std::numeric_limits<int>::max();
    }
}

void TstImgDataItex::indexOutsideImageGivesZeros()
{
    QFETCH(bool, inMemory);
    QFETCH(bool, row);
    QFETCH(int, index);
    const QString path = dir.filePath(QStringLiteral("nine.img"));
    QVERIFY(itexImage(4, 3, 2, QVector<double>(12, 9.0)).write(path));
    auto d = open(path, inMemory);
    QVERIFY(d->ready);
    // One guard value behind the line must stay untouched.
    std::vector<double> buf(5, 1.5);
    row ? d->getLine(index, buf.data()) : d->getColumn(index, buf.data());
    const int n = row ? 4 : 3;
    for (int i = 0; i < n; ++i)
        QCOMPARE(buf[i], 0.0);
    QCOMPARE(buf[n], 1.5);
}

void TstImgDataItex::concurrentStreamingReadsAgree()
{
    const int w = 64, h = 48;
    QVector<double> v;
    for (int i = 0; i < w * h; ++i)
        v << (i * 7919) % 65536;
    const QString path = dir.filePath(QStringLiteral("shared.img"));
    QVERIFY(itexImage(w, h, 2, v).write(path));
    auto streamed = open(path, false);
    QVERIFY(streamed->ready);
    std::atomic<int> wrong{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < 4; ++t) {
        pool.emplace_back([&, t] {
            std::vector<double> line(w), col(h);
            for (int rep = 0; rep < 40; ++rep) {
                const int y = (t * 13 + rep) % h, x = (t * 29 + rep) % w;
                streamed->getLine(y, line.data());
                streamed->getColumn(x, col.data());
                for (int i = 0; i < w; ++i)
                    wrong += line[i] != v[y * w + i];
                for (int i = 0; i < h; ++i)
                    wrong += col[i] != v[i * w + x];
            }
        });
    }
    for (auto& th : pool)
        th.join();
    QCOMPARE(wrong.load(), 0);
}

void TstImgDataItex::streamedFileCutAfterLoading()
{
    const QString path = dir.filePath(QStringLiteral("cut.img"));
    const ItexFixture f = itexImage(4, 3, 2, QVector<double>(12, 9.0));
    QVERIFY(f.write(path));
    auto d = open(path, false);
    QVERIFY(d->ready);
    double row[4];
    d->getLine(2, row);
    QCOMPARE(row[3], 9.0);
    // Cut in the middle of the last row, then behind the frame's start.
    for (qint64 size : {f.bytes().size() - 3, qint64(70)}) {
        QVERIFY(QFile::resize(path, size));
        std::fill(row, row + 4, -1.0);
        d->getLine(2, row);
        QCOMPARE(row[0], size > 70 ? 9.0 : 0.0);
        QCOMPARE(row[3], 0.0);
    }
}

void TstImgDataItex::frameBeyondTwoGigabytes()
{
    // A sequence of 4096 x 4096 16-bit frames: frame 70 starts beyond 2 GiB.
    // The file is sparse; only the row read below is written.
    const int w = 4096, h = 4096, frame = 70;
    ItexFixture f;
    f.header = {quint16(w), quint16(h), 0, 0, 2, 71};
    f.comment = itexComment(w, h, 1.0);
    const qint64 frameBytes = qint64(w) * h * 2;
    const qint64 offset = 64 + f.comment.size() + frame * (frameBytes + 64);
    QVERIFY(offset > std::numeric_limits<qint32>::max());
    const QString path = dir.filePath(QStringLiteral("big.his"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(f.bytes());
    if (!file.resize(offset + frameBytes))
        QSKIP("no room for a sparse 2.4 GB file here");
    const int y = 1234;
    QVERIFY(file.seek(offset + qint64(y) * w * 2));
    QVector<double> v;
    for (int x = 0; x < w; ++x)
        v << (x * 3 + 1) % 65536;
    file.write(itexPixels(2, v));
    file.close();

    auto d = open(path, false, frame);
    QVERIFY(d->ready);
    QCOMPARE(d->dataOffset, offset);
    std::vector<double> line(w);
    d->getLine(y, line.data());
    for (int x = 0; x < w; x += 97)
        QCOMPARE(line[x], v[x]);
}

QTEST_GUILESS_MAIN(TstImgDataItex)
#include "tst_imgdataitex.moc"
