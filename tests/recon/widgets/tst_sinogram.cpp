#include "display/widgets/colorbar.h"
#include "display/widgets/imgdispwpv.h"
#include "input/imgdatas.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "tests/support/itexfixture.h"

#include <QtTest>

struct CheckRows { bool alter; int offset, partialStart; double rangeDeg; QString rows; }; // partialStart -1: off
Q_DECLARE_METATYPE(CheckRows)

constexpr int D = 16, images = 6;
constexpr double cor = 7.25;

// The check image is how a user judges the CoR by eye.
class TstSinogram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (int i = 0; i < images; ++i) {
            QVector<double> v;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < D; ++x)
                    v << 100.0 * i + x;
            const QString path = dir.filePath(QStringLiteral("p%1.img").arg(i));
            QVERIFY(itexImage(D, 3, 2, v).write(path));
            QVERIFY(set.add(path, 0));
        }
    }

    // Rows as "image" or "image'" for a row mirrored about the CoR.
    void checkImageRows_data()
    {
        QTest::addColumn<CheckRows>("c");
        const QString plain = "0 1 2 3 4 5 0' 1' 2' 3' 4' 5'";
        QTest::newRow("plain") << CheckRows{false, 0, -1, 180, plain};
        QTest::newRow("offset 2") << CheckRows{false, 2, -1, 180, "2 3 4 5 0 1 2' 3' 4' 5' 0' 1'"};
        QTest::newRow("offset -1") << CheckRows{false, -1, -1, 180, "5 0 1 2 3 4 5' 0' 1' 2' 3' 4'"};
        QTest::newRow("alternating") << CheckRows{true, 0, -1, 180, "0 5' 1 4' 2 3' 3 2' 4 1' 5 0'"};
        QTest::newRow("alternating, offset 1") << CheckRows{true, 1, -1, 180, "1 0' 2 5' 3 4' 4 3' 5 2' 0 1'"};
        QTest::newRow("360 degrees: half the images") << CheckRows{false, 0, -1, 360, "0 1 2 0' 1' 2'"};
        QTest::newRow("partial from image 4") << CheckRows{false, 0, 4, 180, "4 5 0 1 2 3 4' 5' 0' 1' 2' 3'"};
    }

    void checkImageRows()
    {
        QFETCH(CheckRows, c);
        const QStringList rows = c.rows.split(' ');
        ProcCtrl ctrl;
        Sinogram panel;
        ctrl.setRotAxIsV(true);
        ctrl.setSliceNo(1);
        ctrl.setCor(cor);
        panel.setImgDatas(&set);
        panel.setProcCtrl(&ctrl);
        ctrl.setDataSetRangeDeg(c.rangeDeg);
        ctrl.setDataSetImages(images);
        ctrl.setUsePartialDataSet(c.partialStart >= 0);
        ctrl.setDataSetStartImageNo(std::max(0, c.partialStart));
        ctrl.setDataSetUsingImages(images);
        panel.setAlterStack(c.alter);
        panel.setYOffset(c.offset);
        ColorBar* bar = panel.display()->colorBar();
        bar->setFixColorScale(true);
        bar->setMinV(0.0);
        bar->setMaxV(1024.0);
        panel.genSgmImage();

        const QImage& img = panel.display()->img();
        QCOMPARE(img.size(), QSize(2 * D, rows.size()));
        for (int row = 0; row < rows.size(); ++row) {
            for (int k : {9, 12, 20, 23}) {
                // Straight rows show detector position cor - D + k, mirrored rows that of column 2D - 1 - k.
                const double x = rows[row].endsWith('\'') ? cor + D - 1 - k : cor - D + k;
                const double expected = 100.0 * rows[row].left(1).toInt() + x;
                if (x < 0.0 || x > D - 1)
                    continue;
                double v = 0.0;
                QVERIFY(panel.checkImageValue(k, row, &v));
                QCOMPARE(v, expected);
                QCOMPARE(int(img.constScanLine(row)[k]), bar->colorIndex(expected));
            }
        }
        double v = 0.0;
        QVERIFY(!panel.checkImageValue(2 * D, 0, &v));
        QVERIFY(!panel.checkImageValue(0, rows.size(), &v));
    }

private:
    // Image i holds 100 * i + x at every pixel (x, y).
    QTemporaryDir dir;
    ImgDatas set;
};

QTEST_MAIN(TstSinogram)
#include "tst_sinogram.moc"
