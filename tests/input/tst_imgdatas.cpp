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
    void renderImage();

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
    QTest::addColumn<QVector<QSize>>("sizes");
    QTest::addColumn<QVector<bool>>("accepted");
    QTest::newRow("second of three differs")
        << QVector<QSize>{{8, 4}, {6, 4}, {8, 4}} << QVector<bool>{true, false, true};
    QTest::newRow("transposed") << QVector<QSize>{{8, 4}, {4, 8}} << QVector<bool>{true, false};
    QTest::newRow("first unreadable, second sets the size")
        << QVector<QSize>{{0, 0}, {5, 3}, {5, 3}} << QVector<bool>{false, true, true};
}

void TstImgDatas::addKeepsOneSize()
{
    QFETCH(QVector<QSize>, sizes);
    QFETCH(QVector<bool>, accepted);
    ImgDatas set;
    MessageCapture cap;
    int expectedCount = 0;
    QSize setSize;
    for (int i = 0; i < sizes.size(); ++i) {
        const QSize s = sizes[i];
        QString path = dir.filePath(QStringLiteral("broken%1.img").arg(i));
        if (s.isEmpty())
            writeBytes(path, "IM broken");
        else
            path = image(QStringLiteral("s%1.img").arg(i), s.width(), s.height(), i + 1);
        QCOMPARE(set.add(path, 0), accepted[i]);
        if (accepted[i]) {
            ++expectedCount;
            setSize = s;
        } else if (!s.isEmpty()) {
            QCOMPARE(cap.lines().last(), QStringLiteral("Mismatch image size: (%1, %2) != (%3, %4) : %5")
                                             .arg(setSize.width()).arg(setSize.height())
                                             .arg(s.width()).arg(s.height()).arg(path));
        } else {
            QCOMPARE(cap.lines().last(), QStringLiteral("File is not ready to access ") + path);
        }
    }
    QCOMPARE(set.count(), expectedCount);
    QCOMPARE(QSize(set.width(), set.height()), setSize);
    // The accepted images are in load order.
    std::vector<double> row(size_t(setSize.width()));
    for (int i = 0, k = 0; i < sizes.size(); ++i) {
        if (!accepted[i])
            continue;
        set.image(k++)->getLine(0, row.data());
        QCOMPARE(row.front(), double(i + 1));
    }
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
    const QString imgPath = image(QStringLiteral("last.img"), 3, 2, 99);

    ImgDatas set;
    QCOMPARE(imageFrameCount(hisPath), 4);
    for (int k = 0; k < imageFrameCount(hisPath); ++k)
        QVERIFY(set.add(hisPath, k));
    QVERIFY(set.add(imgPath, 0));
    QVERIFY(!set.add(hisPath, 4));
    QCOMPARE(set.count(), 5);
    const double expected[] = {10, 20, 30, 40, 99};
    double col[2];
    for (int i = 0; i < 5; ++i) {
        set.image(i)->getColumn(2, col);
        QCOMPARE(col[1], expected[i]);
    }
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

void TstImgDatas::renderImage()
{
    ImgDatas set;
    QVERIFY(set.add(image("r0.img", 5, 3, 10), 0));
    QVERIFY(set.add(image("r1.img", 5, 3, 20), 0));
    QSignalSpy spy(&set, &ImgDatas::imageUpdated);
    QImage img;
    ColorScale scale;
    QVERIFY(!set.renderImage(2, img, scale, false));
    QVERIFY(!set.renderImage(-1, img, scale, false));
    QCOMPARE(spy.count(), 0);
    QVERIFY(set.renderImage(1, img, scale, false));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(img.size(), QSize(5, 3));
    QCOMPARE(scale.vmin, 20.0);
    QCOMPARE(scale.vmax, 20.0);
}

QTEST_GUILESS_MAIN(TstImgDatas)
#include "tst_imgdatas.moc"
