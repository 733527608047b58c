#include "input/framememory.h"
#include "input/imgdata.h"
#include "input/pixelformat.h"
#include "input/xafsenergy.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QtTest>
#include <cstring>
#include <memory>

// File-type detection, CT-XAFS energies of file names, and frame memory never shared.
class TstImgDatas : public QObject
{
    Q_OBJECT

private slots:
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
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TstImgDatas)
#include "tst_imgdatas.moc"
