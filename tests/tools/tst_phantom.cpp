#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QtTest>

#include <cmath>

static quint16 u16(const QByteArray& b, int at)
{
    return quint16(uchar(b[at])) | quint16(uchar(b[at + 1]) << 8);
}

// The generator is the ground truth of many tests.
class TstPhantom : public QObject
{
    Q_OBJECT

private slots:
    void fileLayoutByteByByte_data()
    {
        QTest::addColumn<bool>("his"); // a sequence file, horizontal axis; else one file per image, vertical axis
        QTest::newRow("img, vertical axis") << false;
        QTest::newRow("his, horizontal axis") << true;
    }
    void fileLayoutByteByByte()
    {
        QFETCH(bool, his);
        const bool vertical = !his;
        QTemporaryDir dir;
        PhantomSpec s;
        s.width = 40;
        s.height = 24;
        s.projections = 5;
        s.cor = vertical ? 19.5 : 11.5;
        s.rotAxisVertical = vertical;
        PhantomOutput out;
        out.dir = dir.path();
        out.sequenceFile = his;
        out.exposureTime = 0.25;
        const Phantom ph(s);
        const QStringList files = writePhantomDataSet(ph, out);
        QCOMPARE(files.size(), his ? 1 : 5);

        QFile f(files.last());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        const QByteArray comment = "Prop_ImageWidth=40,Prop_ImageHeight=24,Prop_ExposureTime1=0.25,";
        QCOMPARE(b.left(2), QByteArray("IM"));
        QCOMPARE(int(u16(b, 2)), int(comment.size()));
        // width, height, pixel type (u16) and frame count
        const QList<int> fields{u16(b, 4), u16(b, 6), u16(b, 12), u16(b, 14)};
        QCOMPARE(fields, (QList<int>{40, 24, 2, his ? 5 : 1}));
        QCOMPARE(b.mid(16, 48), QByteArray(48, '\0'));
        QCOMPARE(b.mid(64, comment.size()), comment);
        const int frameBytes = 40 * 24 * 2, frames = his ? 5 : 1;
        QCOMPARE(int(b.size()), 64 + int(comment.size()) + frames * frameBytes + (frames - 1) * 64);

        // The last frame is the last angle's projection: Beer-Lambert between the dark and the flat level.
        const QVector<uint16_t> expect = ph.projection(4);
        const int start = 64 + int(comment.size()) + (frames - 1) * (frameBytes + 64);
        for (int i = 0; i < expect.size(); ++i)
            QCOMPARE(u16(b, start + 2 * i), expect[i]);
        for (int x : {0, 12, 19, 30}) {
            const double mu = ph.lineIntegral(x - s.cor, 12, ph.theta(4));
            if (vertical)
                QCOMPARE(int(expect[12 * 40 + x]), int(std::lround(s.dark + (s.flat - s.dark) * std::exp(-mu))));
        }
        QCOMPARE(ph.darkImage(), QVector<uint16_t>(40 * 24, 100));
    }

};

QTEST_GUILESS_MAIN(TstPhantom)
#include "tst_phantom.moc"
