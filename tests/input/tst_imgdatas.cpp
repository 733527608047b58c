#include "input/framememory.h"
#include "input/imgdata.h"
#include "input/imgdataitex.h"
#include "input/imgdatatiff.h"
#include "input/pixelformat.h"
#include "input/xafsenergy.h"
#include "tests/display/rowname.h"
#include "tests/support/itexfixture.h"
#include "tests/support/readerfixtures.h"
#include "tests/support/testutil.h"
#include "tests/support/tiffbuilder.h"

#include <QtTest>

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

static QVector<double> ramp(int n, double first, double step)
{
    QVector<double> v;
    for (int i = 0; i < n; ++i)
        v << first + i * step;
    return v;
}

// Every pixel back, by rows and by columns, whether the image is held in memory or streamed.
template <class Reader>
void readsBack(const QString& path, const QVector<double>& values)
{
    for (bool mem : {true, false}) {
        auto d = openReader<Reader>(path, mem);
        QVERIFY(d->ready);
        QCOMPARE(pixelsOf(*d), values);
        QCOMPARE(pixelsOf(*d, true), values);
    }
}

Q_DECLARE_METATYPE(TiffPage)

// Camera files get copied and cut by people: layouts must be exact, broken files refused with one line.
// Also file-type detection, CT-XAFS energies of file names, and frame memory never shared.
class TstImgDatas : public QObject
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

    // The header frame is 16 x 16; the comment's properties decide the size (empty: refused).
    void commentProperties()
    {
        const struct { const char* name; QByteArray comment; QSize size; double exposure; } rows[] = {
            {"plain", "Prop_ImageWidth=8,Prop_ImageHeight=4,", {8, 4}, 1.0},
            {"quoted areSource fallback", "areSource=\"2,3,12,9\",Prop_ExposureTime1=0.5,", {10, 6}, 0.5},
            {"later exposure wins", "Prop_ImageWidth=8,Prop_ExposureTime1=0.1,Prop_ExposureTime2=0.2,"
                                    "Prop_ImageHeight=4,", {8, 4}, 0.2},
            {"comma inside quotes does not split", "Note=\"a,b\",Prop_ImageWidth=8,Prop_ImageHeight=4,", {8, 4},
             1.0},
            {"last item without comma is ignored", "Prop_ImageWidth=8,Prop_ImageHeight=4", {0, 0}, 1.0},
            {"width 2^32 + 8 reads 0, not 8", "Prop_ImageWidth=4294967304,Prop_ImageHeight=4,", {0, 0}, 1.0},
        };
        const QString path = dir.filePath(QStringLiteral("props.img"));
        for (const auto& r : rows) {
            const RowName row{r.name};
            ItexFixture f = itexImage(16, 16, 2, QVector<double>(256, 3.0));
            f.comment = r.comment;
            QVERIFY(f.write(path));
            ImgDataITEX d;
            d.reset();
            int w = -1, h = -1;
            QCOMPARE(d.readProps(path, w, h), !r.size.isEmpty());
            QCOMPARE(QSize(w, h), r.size);
            QCOMPARE(d.exposureTime, r.exposure);
        }
    }

    void brokenFilesRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QString>("diagnostic"); // empty: refused silently
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

        TiffPage t;
        t.width = 8;
        t.height = 6;
        t.pixels = tiffSamples(16, 1, ramp(48, 1, 1));
        auto with = [&](auto change) {
            TiffPage p = t;
            change(p);
            return buildTiff({p});
        };
        QTest::newRow("RGB") << with([](TiffPage& p) {
            p.samplesPerPixel = 3;
            p.photometric = 2;
            p.pixels = tiffSamples(16, 1, ramp(144, 1, 1));
        }) << 0 << "Unsupported TIFF colour layout";
        QTest::newRow("64-bit float") << with([](TiffPage& p) { p.bitsPerSample = 64, p.sampleFormat = 3; })
                                      << 0 << "Unsupported TIFF pixel type (64-bit";
        QTest::newRow("unknown codec") << with([](TiffPage& p) { p.compression = 50123; })
                                       << 0 << "TIFF compression 50123 is not available";
        QTest::newRow("size far beyond the file") << with([](TiffPage& p) { p.width = p.height = 60000; })
                                                  << 0 << "TIFF image (60000 x 60000) needs more data";
        TiffPage tiles = t;
        tiles.tileWidth = tiles.tileHeight = 16;
        QByteArray cut = buildTiff({tiles});
        // Moves the tile offset (tag 324) to near the end of the file.
        const qsizetype at = cut.indexOf(QByteArray::fromHex("4401040001000000"));
        QVERIFY(at > 0);
        qToLittleEndian<quint32>(quint32(cut.size() - 10), cut.data() + at + 8);
        QTest::newRow("tile data beyond the end") << cut << 0 << "Error on reading TIFF pixels";
        QTest::newRow("header without directory") << QByteArray::fromHex("49492a0000000000") << 0
                                                  << "Can not open TIFF file";
    }

    // Refused with one line that names the file, read as zeros, and nothing from libtiff on stderr.
    void brokenFilesRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, frame);
        QFETCH(QString, diagnostic);
        const bool tiff = diagnostic.contains(QStringLiteral("TIFF"));
        const QString path = dir.filePath(tiff ? "bad.tif" : "bad.img"), errPath = dir.filePath("stderr.txt");
        QVERIFY(writeBytes(path, bytes));
        fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        FILE* sink = std::fopen(QFile::encodeName(errPath).constData(), "w");
        dup2(fileno(sink), STDERR_FILENO);
        struct { bool ready; double first, zero; int count; QStringList lines; } got[2];
        for (bool mem : {false, true}) {
            MessageCapture cap;
            std::unique_ptr<ImgData> d;
            if (tiff)
                d = openReader<ImgDataTiff>(path, mem, frame);
            else
                d = openReader<ImgDataITEX>(path, mem, frame);
            std::vector<double> buf(std::max(1, d->width), -1.0);
            d->getLine(0, buf.data());
            got[mem] = {d->ready, buf.front(), d->width > 0 ? 0.0 : -1.0, cap.count(diagnostic), cap.lines()};
        }
        fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        std::fclose(sink);
        QCOMPARE(QFileInfo(errPath).size(), 0);
        for (bool mem : {false, true}) {
            // A streamed TIFF decodes its pixels only on request.
            if (!mem && diagnostic.startsWith(QStringLiteral("Error on reading TIFF")))
                continue;
            const auto& g = got[mem];
            QVERIFY(!g.ready);
            QCOMPARE(g.first, g.zero);
            QCOMPARE(g.count, diagnostic.isEmpty() ? 0 : 1);
            QVERIFY2(diagnostic.isEmpty() ? g.lines.isEmpty() : g.lines.first().endsWith(path),
                     qPrintable(g.lines.join('\n')));
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
            readsBack<ImgDataITEX>(path, v);
        }
    }

    // 20 x 12 pixels: a partial last strip and partial tiles.
    void pixelsAndLayouts_data()
    {
        QTest::addColumn<TiffPage>("page");
        QTest::addColumn<QVector<double>>("values");
        const struct {
            const char* name;
            int bits, format;
            double first, step;
        } kinds[] = {{"u8", 8, 1, 255, -1}, {"s8", 8, 2, -128, 1}, {"u16", 16, 1, 65535, -93}, {"s16", 16, 2, -32768, 93},
                     {"u32", 32, 1, 4294967295.0, -6000011}, {"s32", 32, 2, -2147483648.0, 6000011},
                     {"float", 32, 3, -3.5, 0.125}, {"constant u32, deflated", 32, 1, 7.0, 0.0}};
        const char* layouts[] = {"one strip", "strips of 5 rows", "16 x 16 tiles"};
        for (const auto& k : kinds)
            for (int layout = 0; layout < (k.step == 0 ? 1 : 3); ++layout) {
                TiffPage p;
                p.width = 20;
                p.height = 12;
                p.bitsPerSample = k.bits;
                p.sampleFormat = k.format;
                p.rowsPerStrip = layout == 1 ? 5 : 0;
                p.tileWidth = p.tileHeight = layout == 2 ? 16 : 0;
                const QVector<double> values = ramp(20 * 12, k.first, k.step);
                p.pixels = tiffSamples(k.bits, k.format, values);
                if (k.step == 0) { // the size checks must let through a file far smaller than its pixels
                    p.compression = 8;
                    p.pixels = qCompress(p.pixels).mid(4); // a zlib stream behind Qt's length prefix
                }
                QTest::addRow("%s, %s", k.name, layouts[layout]) << p << values;
            }
    }
    void pixelsAndLayouts()
    {
        QFETCH(TiffPage, page);
        QFETCH(QVector<double>, values);
        const QString path = dir.filePath(QStringLiteral("p.tif"));
        QVERIFY(writeBytes(path, buildTiff({page})));
        readsBack<ImgDataTiff>(path, values);
    }

    void pagesAndExposure()
    {
        QVector<TiffPage> pages;
        for (int k = 0; k < 3; ++k) {
            TiffPage p;
            p.width = 6 + k;
            p.height = 4;
            p.exposure = k == 1 ? 0.25 : 0.0;
            p.pixels = tiffSamples(16, 1, QVector<double>(p.width * 4, 100.0 * (k + 1)));
            pages << p;
        }
        const QString path = dir.filePath(QStringLiteral("pages.tif"));
        QVERIFY(writeBytes(path, buildTiff(pages)));
        QCOMPARE(imageFrameCount(path), 3);
        for (int k = 0; k < 3; ++k) {
            auto d = openReader<ImgDataTiff>(path, true, k);
            QVERIFY(d->ready);
            QCOMPARE(d->exposureTime, k == 1 ? 0.25 : 1.0);
            QCOMPARE(pixelsOf(*d), QVector<double>((6 + k) * 4, 100.0 * (k + 1)));
        }
        MessageCapture cap;
        QVERIFY(!openReader<ImgDataTiff>(path, true, 3)->ready);
        QCOMPARE(cap.count(QStringLiteral("TIFF page 3 does not exist")), 1);
    }

    void detectFileType_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("diagnostics");
        const QStringList unknown{"Unknown file type : "};
        QTest::newRow("IM") << QByteArray("IM\x01\x02") << int(FileType::ITEX) << QStringList();
        QTest::newRow("MM, two bytes only") << QByteArray("MM") << int(FileType::TIFF) << QStringList();
        QTest::newRow("one byte") << QByteArray("I") << int(FileType::Unknown) << unknown;
        QTest::newRow("missing file") << QByteArray() << int(FileType::Unknown)
                                      << QStringList{"Check File Type (ITEX):: Can not open ",
                                                     "Check File Type (TIFF):: Can not open ", "Unknown file type : "};
    }

    void detectFileType()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, type);
        QFETCH(QStringList, diagnostics);
        const QString path = dir.filePath(QStringLiteral("f%1.bin").arg(QTest::currentDataTag()));
        QVERIFY(bytes.isNull() || writeBytes(path, bytes));
        MessageCapture cap;
        QCOMPARE(int(::detectFileType(path)), type);
        for (QString& d : diagnostics)
            d += path;
        QCOMPARE(cap.lines(), diagnostics);
        std::unique_ptr<ImgData> reader(createImgData(FileType(type)));
        QCOMPARE(reader != nullptr, type != int(FileType::Unknown));
    }

    // CT-XAFS sets: the energy a file name carries, and the entry nearest to an energy.
    void energies()
    {
        const struct { const char* row; QString name; double energy; } names[] = {
            {"eV with underscore point", "/data/ct/scan-7112_5eV-0001.img", 7112.5},
            {"keV, any case", "i0-7_1125KeV-0000.img", 7.1125 * 1000},
            {"integer, no unit", "i0-8333-0000.his", 8333.0},
            {"only the second-to-last field counts", "9000eV-scan-7000eV-01.img", 7000.0},
            {"dash in the directory", "/beam-2024/E-7100eV/scan-0001.img", 7100.0},
            {"letters before the number", "scan-E7112eV-0001.img", 0.0},
        };
        for (const auto& r : names) {
            const RowName row{r.row};
            QCOMPARE(energyFromFileName(r.name), r.energy);
        }
        const QVector<double> three = {7100, 7110, 7120};
        const struct { const char* row; QVector<double> energies; double e; int index; } nearest[] = {
            {"tie goes to the earlier entry", three, 7115.0, 1},
            {"below all", three, 5000.0, 0},
            {"unsorted list", {7200, 7000, 7105, 7106}, 7104.0, 2},
            {"unreadable first entry", {qQNaN(), 7000}, 7001.0, 1},
        };
        for (const auto& r : nearest) {
            const RowName row{r.row};
            QCOMPARE(nearestEnergyIndex(r.energies, r.e), r.index);
        }
    }

    void blocksNeverShared_data()
    {
        QTest::addColumn<QList<int>>("kib"); // sizes in KiB, one frame each
        QTest::addColumn<int>("freeEvery");  // free every n-th frame at once (0: keep all)

        QTest::newRow("one size, freed and taken again") << QList<int>(12, 8192) << 2;
        QTest::newRow("sizes change under the helper")
            << QList<int>{8192, 2048, 8192, 3073, 3073, 100, 2048, 8192, 2049, 2049} << 3;
    }

    void blocksNeverShared()
    {
        QFETCH(QList<int>, kib);
        QFETCH(int, freeEvery);
        std::vector<std::unique_ptr<FrameBytes>> live;
        std::vector<uint8_t> marks;
        for (int i = 0; i < kib.size(); ++i) {
            auto f = std::make_unique<FrameBytes>();
            f->resize(std::size_t(kib[i]) * 1024);
            std::memset(f->data(), i + 1, f->size());
            if (freeEvery && i % freeEvery == 0)
                continue; // freed at once; its block may go to a later frame
            live.push_back(std::move(f));
            marks.push_back(uint8_t(i + 1));
        }
        // Every frame still holds what was written into it.
        for (std::size_t k = 0; k < live.size(); ++k) {
            const FrameBytes& f = *live[k];
            QVERIFY(f.front() == marks[k] && f.back() == marks[k] && f[f.size() / 2] == marks[k]);
        }
    }

private:
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TstImgDatas)
#include "tst_imgdatas.moc"
