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

    // Each set is taken with the flat shape of the I0 file nearest in energy,
    // the earlier one on a tie: where the ray misses the sample, its counts
    // are that I0 file's, and no other one's.
    void energySeriesUsesNearestFlat()
    {
        QTemporaryDir dir;
        PhantomSpec s;
        s.width = 32;
        s.height = 4;
        s.projections = 2;
        s.cor = 15.5;
        PhantomSeries series;
        series.energies = {7100, 7105, 7125};
        series.i0Energies = {7095, 7115, 7130};
        PhantomOutput out;
        out.dir = dir.path();
        QVERIFY(writePhantomEnergySeries(s, series, out));

        auto firstRow = [](const QString& path) { // first, middle and last pixel
            QFile f(path);
            const QByteArray b = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(128, '\0');
            const int at = 64 + u16(b, 2);
            return QList<int>{u16(b, at), u16(b, at + 32), u16(b, at + 62)};
        };
        QList<QList<int>> flats;
        for (const char* e : {"7095_0eV", "7115_0eV", "7130_0eV"})
            flats << firstRow(dir.filePath(QStringLiteral("i0/i0-%1-00000.img").arg(e)));
        QVERIFY(flats[0].first() > flats[1].first() && flats[1].first() > flats[2].first());
        QVERIFY(flats[0].last() < flats[2].last());
        const QStringList sets{"7100_0eV", "7105_0eV", "7125_0eV"};
        const QList<int> nearest{0, 0, 2};
        for (int k = 0; k < 3; ++k) {
            const QList<int> row = firstRow(dir.filePath(QStringLiteral("data/proj-%1-00001.img").arg(sets[k])));
            for (int j = 0; j < 3; ++j)
                QCOMPARE(row.first() == flats[j].first() && row.last() == flats[j].last(), j == nearest[k]);
            QVERIFY(row[1] < flats[nearest[k]][1]); // the sample is there
        }
    }
};

QTEST_GUILESS_MAIN(TstPhantom)
#include "tst_phantom.moc"
