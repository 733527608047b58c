#include "display/colorscale.h"
#include "input/imgdata.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QImage>
#include <QtTest>

#include <memory>

// File-type detection decides which reader a file gets; toImage is what
// the user sees of every projection.
class TstImgData : public QObject
{
    Q_OBJECT

private slots:
    void detectFileType_data();
    void detectFileType();
    void toImage();

private:
    QTemporaryDir dir;
};

void TstImgData::detectFileType_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("diagnostics");
    const QStringList unknown{"Unknown file type : "};
    QTest::newRow("IM") << QByteArray("IM\x01\x02") << int(FileType::ITEX) << QStringList();
    QTest::newRow("II") << QByteArray("II*\0", 4) << int(FileType::TIFF) << QStringList();
    QTest::newRow("MM, two bytes only") << QByteArray("MM") << int(FileType::TIFF) << QStringList();
    QTest::newRow("one byte") << QByteArray("I") << int(FileType::Unknown) << unknown;
    QTest::newRow("im lower case") << QByteArray("im") << int(FileType::Unknown) << unknown;
    QTest::newRow("missing file") << QByteArray() << int(FileType::Unknown)
                                  << QStringList{"Check File Type (ITEX):: Can not open ",
                                                 "Check File Type (TIFF):: Can not open ", "Unknown file type : "};
}

void TstImgData::detectFileType()
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

// Pixels 100, 150, 200 / 300, 500, 900 on a 3-pixel-wide image, whose
// QImage rows are padded to 4 bytes.
void TstImgData::toImage()
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

QTEST_GUILESS_MAIN(TstImgData)
#include "tst_imgdata.moc"
