#include "display/colorscale.h"
#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QImage>
#include <QSignalSpy>
#include <QtTest>

// The image set must hold exactly the images the user meant: of one size,
// in load order, with every frame of a sequence file.
class TstImgDatas : public QObject
{
    Q_OBJECT

private slots:
    void addKeepsOneSize_data();
    void addKeepsOneSize();
    void sequenceFileFramesInOrder();
    void clearResetsSizeClearImgsDoesNot();

private:
    QString image(const QString& name, int w, int h, double value)
    {
        const QString path = dir.filePath(name);
        itexImage(w, h, 2, QVector<double>(w * h, value)).write(path);
        return path;
    }
    QTemporaryDir dir;
};

void TstImgDatas::addKeepsOneSize_data()
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

void TstImgDatas::addKeepsOneSize()
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

void TstImgDatas::sequenceFileFramesInOrder()
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

void TstImgDatas::clearResetsSizeClearImgsDoesNot()
{
    ImgDatas set;
    QVERIFY(set.add(image("a.img", 8, 4, 1), 0));
    set.clearImgs();
    QCOMPARE(set.count(), 0);
    const QString other = image("b.img", 6, 6, 1);
    QVERIFY(!set.add(other, 0));
    set.clear();
    QVERIFY(set.add(other, 0));
    QCOMPARE(set.width(), 6);
}

QTEST_GUILESS_MAIN(TstImgDatas)
#include "tst_imgdatas.moc"
