#include "input/imgdataitex.h"
#include "tests/support/itexfixture.h"
#include "tests/support/readerfixtures.h"
#include "tests/support/testutil.h"

#include <QtTest>

#include <limits>

#include <fcntl.h>
#include <unistd.h>

// Camera files get copied and cut by people: layouts must be exact, broken files refused.
class TstImgDataItex : public QObject
{
    Q_OBJECT

private slots:
    void pixelTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QVector<double>>("values"); // 3 x 2, stored and read back
        QTest::newRow("u8") << 0 << QVector<double>{0, 1, 255, 128, 7, 200};
        QTest::newRow("s16") << 1 << QVector<double>{0, 1, -1, -32768, 7, 32767};
        QTest::newRow("u16") << 2 << QVector<double>{0, 1, 65535, 40000, 7, 32768};
        QTest::newRow("s32") << 3 << QVector<double>{-2147483648.0, 1, -1, 2147483647.0, 7, 0};
        QTest::newRow("float") << 4 << QVector<double>{0.5, -1.25, 1e10, 0, 7, 1e-3f};
        QTest::newRow("unknown type 7 reads zeros") << 7 << QVector<double>(6, 0.0);
    }
    void pixelTypes()
    {
        QFETCH(int, type);
        QFETCH(QVector<double>, values);
        ItexFixture f = itexImage(3, 2, type, values);
        if (type == 7)
            f.frames = {QByteArray(12, '\x55')};
        const QString path = dir.filePath(QStringLiteral("t%1.img").arg(type));
        QVERIFY(f.write(path));
        for (bool inMemory : {true, false}) {
            auto d = openReader<ImgDataITEX>(path, inMemory);
            QVERIFY(d->ready);
            QCOMPARE(pixelsOf(*d), values);
            QCOMPARE(pixelsOf(*d, true), values);
            // Outside the image: zeros, and nothing written past the line.
            auto outside = [&](bool row, int i) {
                std::vector<double> b(4, 1.5);
                row ? d->getLine(i, b.data()) : d->getColumn(i, b.data());
                return b;
            };
            for (int i : {-1, 2})
                QCOMPARE(outside(true, i), (std::vector<double>{0, 0, 0, 1.5}));
            for (int i : {-1, 3, std::numeric_limits<int>::max()})
                QCOMPARE(outside(false, i), (std::vector<double>{0, 0, 1.5, 1.5}));
        }
    }

    void commentProperties_data()
    {
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<QSize>("size"); // empty: refused
        QTest::addColumn<double>("exposure");
        // The header frame is 16 x 16; the properties decide the size.
        QTest::newRow("plain") << QByteArray("Prop_ImageWidth=8,Prop_ImageHeight=4,") << QSize(8, 4) << 1.0;
        QTest::newRow("quoted areSource fallback")
            << QByteArray("areSource=\"2,3,12,9\",Prop_ExposureTime1=0.5,") << QSize(10, 6) << 0.5;
        QTest::newRow("later exposure wins")
            << QByteArray("Prop_ImageWidth=8,Prop_ExposureTime1=0.1,Prop_ExposureTime2=0.2,Prop_ImageHeight=4,") << QSize(8, 4) << 0.2;
        QTest::newRow("comma inside quotes does not split")
            << QByteArray("Note=\"a,b\",Prop_ImageWidth=8,Prop_ImageHeight=4,") << QSize(8, 4) << 1.0;
        QTest::newRow("last item without comma is ignored") << QByteArray("Prop_ImageWidth=8,Prop_ImageHeight=4") << QSize(0, 0) << 1.0;
        QTest::newRow("width 2^32 + 8 reads 0, not 8")
            << QByteArray("Prop_ImageWidth=4294967304,Prop_ImageHeight=4,") << QSize(0, 0) << 1.0;
    }

    void commentProperties()
    {
        QFETCH(QByteArray, comment);
        QFETCH(QSize, size);
        QFETCH(double, exposure);
        ItexFixture f = itexImage(16, 16, 2, QVector<double>(256, 3.0));
        f.comment = comment;
        const QString path = dir.filePath(QStringLiteral("props.img"));
        QVERIFY(f.write(path));
        ImgDataITEX d;
        d.reset();
        int w = -1, h = -1;
        QCOMPARE(d.readProps(path, w, h), !size.isEmpty());
        QCOMPARE(QSize(w, h), size);
        QCOMPARE(d.exposureTime, exposure);
    }

    void malformedFilesFailCleanly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QString>("diagnostic");
        const ItexFixture good = itexImage(4, 3, 2, QVector<double>(12, 9.0));
        const QByteArray g = good.bytes();

        QTest::newRow("shorter than the header") << g.left(39) << 0 << "Error on reading ITEX file props.";
        ItexFixture lying = good;
        lying.commentLength = 60000;
        QTest::newRow("comment length beyond the file") << lying.bytes() << 0 << "ITEX comment is longer than the file";
        QTest::newRow("cut inside the frame") << g.left(g.size() - 1) << 0 << "Frame 0 lies beyond the end of ITEX file";
        QTest::newRow("huge frame index") << g << std::numeric_limits<int>::max()
                                          << "Frame 2147483647 lies beyond the end of ITEX file";
        ItexFixture huge = good;
        huge.header = {65535, 65535, 0, 0, 4, 1};
        huge.comment = itexComment(65535, 65535, 1.0);
        QTest::newRow("header asks for 17 GB") << huge.bytes() << 0 << "Frame 0 lies beyond the end of ITEX file";
        ItexFixture wide = good;
        wide.comment = itexComment(2000000000, 1, 1.0);
        QTest::newRow("property width beyond the frame") << wide.bytes() << 0 << "ITEX image size (2000000000 x 1) does not fit";
        ItexFixture type7 = good;
        type7.header = {4, 3, 0, 0, 7, 1};
        type7.frames = {QByteArray(11, '\0')};
        QTest::newRow("unknown type, fewer bytes than pixels") << type7.bytes() << 0 << "ITEX image of unknown pixel type 7";
        QTest::newRow("not an ITEX file") << QByteArray("XM").append(60, '\0') << 0 << QString();
    }

    void malformedFilesFailCleanly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, frame);
        QFETCH(QString, diagnostic);
        const QString path = dir.filePath(QStringLiteral("bad.img"));
        QVERIFY(writeBytes(path, bytes));
        for (bool mem : {true, false}) {
            MessageCapture cap;
            auto d = openReader<ImgDataITEX>(path, mem, frame);
            QVERIFY(!d->ready);
            QCOMPARE(cap.count(diagnostic), diagnostic.isEmpty() ? 0 : 1);
            QVERIFY(diagnostic.isEmpty() ? cap.lines().isEmpty() : cap.lines().first().endsWith(path));
            // A failed image gives nothing but zeros.
            std::vector<double> buf(std::max(1, d->width), -1.0);
            d->getLine(0, buf.data());
            QCOMPARE(buf.front(), d->width > 0 ? 0.0 : -1.0);
        }
    }

    void frameBeyondTwoGigabytes()
    {
        // Frame 70 of 4096 x 4096 x 16 bits starts beyond 2 GiB; the sparse file holds only the row read.
        const int w = 4096, h = 4096, frame = 70, y = 1234;
        ItexFixture f;
        f.header = {quint16(w), quint16(h), 0, 0, 2, 71};
        f.comment = itexComment(w, h, 1.0);
        const qint64 frameBytes = qint64(w) * h * 2;
        const qint64 offset = 64 + f.comment.size() + frame * (frameBytes + 64);
        const QString path = dir.filePath(QStringLiteral("big.his"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(f.bytes());
        if (!file.resize(offset + frameBytes))
            QSKIP("no room for a sparse 2.4 GB file here");
        QVERIFY(file.seek(offset + qint64(y) * w * 2));
        QVector<double> v;
        for (int x = 0; x < w; ++x)
            v << (x * 3 + 1) % 65536;
        file.write(itexPixels(2, v));
        file.close();

        for (bool mem : {true, false}) {
            auto d = openReader<ImgDataITEX>(path, mem, frame);
            QVERIFY(d->ready);
            std::vector<double> line(w);
            d->getLine(y, line.data());
            QCOMPARE(QVector<double>(line.begin(), line.end()), v);
        }
    }

    // A large frame read from a cold cache goes straight from the disk into
    // memory in blocks aligned for it, although its pixels start anywhere;
    // from a warm cache it is copied as usual. Both give the same pixels.
    void largeFrameColdOrWarm()
    {
        const int w = 1030, h = 1100;
        QVector<double> v(w * h);
        for (int i = 0; i < v.size(); ++i)
            v[i] = (i * 7 + i / w) % 65536;
        ItexFixture f = itexImage(w, h, 2, v);
        f.comment += "Note=odd length,";
        const QString path = dir.filePath(QStringLiteral("large.img"));
        QVERIFY(f.write(path));
        for (const bool cold : {true, false}) {
            if (cold) {
                const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
                QVERIFY(fd >= 0);
                ::fdatasync(fd);
                ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
                ::close(fd);
            }
            auto d = openReader<ImgDataITEX>(path, true);
            QVERIFY(d->ready);
            QCOMPARE(pixelsOf(*d), v);
            QCOMPARE(pixelsOf(*d, true), v);
        }
    }

private:
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TstImgDataItex)
#include "tst_imgdataitex.moc"
