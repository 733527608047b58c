#include "display/colorscale.h"
#include "input/framememory.h"
#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "input/pixelformat.h"
#include "input/xafsenergy.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QImage>
#include <QSignalSpy>
#include <QtTest>
#include <cstring>
#include <memory>


class TstImgDatas : public QObject
{
    Q_OBJECT

private slots:
    void addKeepsOneSize_data()
    {
        QTest::addColumn<QVector<QSize>>("sizes"); // empty size: unreadable file
        QTest::addColumn<QStringList>("diagnostics");
        QTest::newRow("second of three differs") << QVector<QSize>{{8, 4}, {6, 4}, {8, 4}}
                                                 << QStringList{"", "Mismatch image size: (8, 4) != (6, 4) : ", ""};
        QTest::newRow("transposed") << QVector<QSize>{{8, 4}, {4, 8}}
                                    << QStringList{"", "Mismatch image size: (8, 4) != (4, 8) : "};
        QTest::newRow("first unreadable, second sets the size")
            << QVector<QSize>{{0, 0}, {5, 3}, {5, 3}} << QStringList{"File is not ready to access ", "", ""};
    }

    void addKeepsOneSize()
    {
        QFETCH(QVector<QSize>, sizes);
        QFETCH(QStringList, diagnostics);
        ImgDatas set;
        QVector<double> accepted; // the value each accepted image holds
        QSize setSize;
        for (int i = 0; i < sizes.size(); ++i) {
            QString path = dir.filePath(QStringLiteral("broken%1.img").arg(i));
            if (sizes[i].isEmpty())
                writeBytes(path, "IM broken");
            else
                path = image(QStringLiteral("s%1.img").arg(i), sizes[i].width(), sizes[i].height(), i + 1);
            MessageCapture cap;
            QCOMPARE(set.add(path, 0), diagnostics[i].isEmpty());
            if (diagnostics[i].isEmpty() && accepted.isEmpty())
                setSize = sizes[i];
            if (diagnostics[i].isEmpty())
                accepted << i + 1;
            else
                QCOMPARE(cap.lines().last(), diagnostics[i] + path);
        }
        QCOMPARE(set.count(), int(accepted.size()));
        QCOMPARE(QSize(set.width(), set.height()), setSize);
        // In load order.
        std::vector<double> row(size_t(setSize.width()));
        for (int k = 0; k < set.count(); ++k)
            QCOMPARE(set.image(k)->getLine(0, row.data())[0], accepted[k]);
    }

    void sequenceFileFramesInOrder()
    {
        ItexFixture his;
        his.header = {3, 2, 0, 0, 2, 4};
        his.comment = itexComment(3, 2, 1.0);
        for (int k = 0; k < 4; ++k)
            his.frames << itexPixels(2, QVector<double>(6, 10.0 * (k + 1)));
        const QString hisPath = dir.filePath(QStringLiteral("seq.his"));
        QVERIFY(his.write(hisPath));

        ImgDatas set;
        QCOMPARE(imageFrameCount(hisPath), 4);
        for (int k = 0; k < 4; ++k)
            QVERIFY(set.add(hisPath, k));
        QVERIFY(set.add(image(QStringLiteral("last.img"), 3, 2, 99), 0));
        QVERIFY(!set.add(hisPath, 4));
        QCOMPARE(set.count(), 5);
        const double expected[] = {10, 20, 30, 40, 99};
        double col[2];
        for (int i = 0; i < 5; ++i)
            QCOMPARE(set.image(i)->getColumn(2, col)[1], expected[i]);
        // Rendering one of them says so; one beyond the set is refused.
        QSignalSpy spy(&set, &ImgDatas::imageUpdated);
        QImage img;
        ColorScale scale;
        QVERIFY(set.renderImage(4, img, scale, false) && !set.renderImage(5, img, scale, false));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(scale.vmax, 99.0);
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

    // Pixels 100, 150, 200 / 300, 500, 900 on a 3-pixel-wide image, whose QImage rows are padded to 4 bytes.
    void toImage()
    {
        const QString path = dir.filePath(QStringLiteral("img.img"));
        QVERIFY(itexImage(3, 2, 2, {100, 150, 200, 300, 500, 900}).write(path));
        std::unique_ptr<ImgData> d(loadImgData(path, 0, true));
        ColorScale scale;
        scale.vmin = 200;
        scale.vmax = 300;
        auto greys = [&](bool fixed) {
            QImage img(1, 1, QImage::Format_RGB32);
            d->toImage(img, scale, fixed);
            QVector<int> g;
            for (int i = 0; i < 6; ++i)
                g << img.constScanLine(i / 3)[i % 3];
            return g;
        };
        QCOMPARE(greys(true), (QVector<int>{0, 0, 0, 255, 255, 255}));
        QCOMPARE(greys(false), (QVector<int>{0, 16, 32, 64, 128, 255}));
        QCOMPARE(scale.vmin, 100.0);
        QCOMPARE(scale.vmax, 900.0);
    }

    void energyFromFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("energy");
        QTest::newRow("eV with underscore point") << "/data/ct/scan-7112_5eV-0001.img" << 7112.5;
        QTest::newRow("keV, any case") << "i0-7_1125KeV-0000.img" << 7.1125 * 1000;
        QTest::newRow("integer, no unit") << "i0-8333-0000.his" << 8333.0;
        QTest::newRow("only the second-to-last field counts") << "9000eV-scan-7000eV-01.img" << 7000.0;
        QTest::newRow("dash in the directory") << "/beam-2024/E-7100eV/scan-0001.img" << 7100.0;
        QTest::newRow("letters before the number") << "scan-E7112eV-0001.img" << 0.0;
    }

    void energyFromFileName()
    {
        QFETCH(QString, name);
        QFETCH(double, energy);
        QCOMPARE(::energyFromFileName(name), energy);
    }

    void nearestEnergyIndex_data()
    {
        QTest::addColumn<QVector<double>>("energies");
        QTest::addColumn<double>("e");
        QTest::addColumn<int>("index");
        const QVector<double> three = {7100, 7110, 7120};
        QTest::newRow("tie goes to the earlier entry") << three << 7115.0 << 1;
        QTest::newRow("below all") << three << 5000.0 << 0;
        QTest::newRow("unsorted list") << QVector<double>{7200, 7000, 7105, 7106} << 7104.0 << 2;
        QTest::newRow("unreadable first entry") << QVector<double>{qQNaN(), 7000} << 7001.0 << 1;
    }

    void nearestEnergyIndex()
    {
        QFETCH(QVector<double>, energies);
        QFETCH(double, e);
        QFETCH(int, index);
        QCOMPARE(::nearestEnergyIndex(energies, e), index);
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
    QString image(const QString& name, int w, int h, double value)
    {
        const QString path = dir.filePath(name);
        itexImage(w, h, 2, QVector<double>(w * h, value)).write(path);
        return path;
    }
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TstImgDatas)
#include "tst_imgdatas.moc"
