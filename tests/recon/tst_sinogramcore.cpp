#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "recon/sinogramcore.h"
#include "tests/display/rowname.h"
#include "tests/support/itexfixture.h"
#include "tools/phantomset.h"
#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QtTest>

#include <cmath>
#include <memory>
#include <thread>

struct Positions { bool rotAxIsV; double cor; int width; double firstPosition; bool refused; };
struct Guess { bool vertical; double cor; int across; double start; bool noisy, references; };
Q_DECLARE_METATYPE(Positions)
Q_DECLARE_METATYPE(Guess)

// Every pixel holds 16 x its position across the axis: a resampled value tells where it was taken.
static void positionCodedSet(ImgDatas& set, const QString& path, bool rotAxIsV, int d)
{
    const int w = rotAxIsV ? d : 3, h = rotAxIsV ? 3 : d;
    QVector<double> v;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            v << 16.0 * (rotAxIsV ? x : y);
    QVERIFY(itexImage(w, h, 2, v).write(path));
    QVERIFY(set.add(path, 0));
    QVERIFY(set.add(path, 0));
}


// Columns at the right detector positions, rows the right projections, values the corrected attenuation.
class TstSinogramCore : public QObject
{
    Q_OBJECT

private slots:
    // Axis, CoR, sinogram width (0: none), first sample's position, refused with a diagnostic.
    void samplePositions_data()
    {
        QTest::addColumn<Positions>("c");
        for (bool v : {true, false}) {
            const char* ax = v ? "V" : "H";
            QTest::addRow("%s cor 1500.25: from 955.25", ax) << Positions{v, 1500.25, 1091, 955.25, false};
            QTest::addRow("%s cor 1.0, smallest accepted", ax) << Positions{v, 1.0, 1, 1.0, false};
            QTest::addRow("%s cor 2046.0, largest with a sample", ax) << Positions{v, 2046.0, 1, 2046.0, false};
            QTest::addRow("%s cor 2046.5 leaves no sample", ax) << Positions{v, 2046.5, 0, 0.0, false};
        }
        QTest::newRow("cor 0.5 refused") << Positions{true, 0.5, 0, 0.0, true};
        QTest::newRow("NaN refused") << Positions{true, qQNaN(), 0, 0.0, true};
        QTest::newRow("1e300 refused") << Positions{true, 1e300, 0, 0.0, true};
    }

    void samplePositions()
    {
        QFETCH(Positions, c);
        ImgDatas set;
        positionCodedSet(set, dir.filePath("pos.img"), c.rotAxIsV, 2048);
        HSgm h;
        QVERIFY(genSinogram0(h, set, c.rotAxIsV, 30.0, 5, {0, 2}));
        MessageCapture cap;
        QCOMPARE(genSinogram0(h, set, c.rotAxIsV, c.cor, 1, {0, 2}), c.width > 0);
        QCOMPARE(cap.count("Centre of rotation"), c.refused ? 1 : 0);
        // Never the previous slice's sinogram under the new slice number.
        QCOMPARE(h.slice, 1);
        QCOMPARE(h.width, c.width);
        QCOMPARE(h.isEmpty(), c.width == 0);
        for (int k = 0; !h.isEmpty() && k < h.rows; ++k) {
            QCOMPARE(h.rawRow(k)[0], 16.0 * c.firstPosition);
            QCOMPARE(h.rawRow(k)[(c.width - 1) / 2], 16.0 * c.cor);
            for (int col = 1; col < c.width; ++col)
                QCOMPARE(h.rawRow(k)[col] - h.rawRow(k)[col - 1], 16.0);
        }
    }

    // Images taken from the start image on, wrapping at the end of the set; image i is constant i + 1,
    // which its sinogram row must show.
    void dataSetRangeWraps()
    {
        auto span = [](std::initializer_list<std::pair<int, int>> parts) {
            QVector<int> v;
            for (auto [a, b] : parts)
                for (int i = a; i <= b; ++i)
                    v << i;
            return v;
        };
        const struct { const char* name; int start, count; QVector<int> images; } rows[] = {
            {"350 of 360, 20 images", 350, 20, span({{350, 359}, {0, 9}})},
            {"negative start means 0", -1, 3, span({{0, 2}})},
            {"sign of the count ignored", 5, -4, span({{5, 8}})},
            {"twice around", 359, 721, span({{359, 359}, {0, 359}, {0, 359}})},
            {"absurd count refused", 0, 360 * 16 + 1, {}},
        };
        ImgDatas set;
        for (int i = 0; i < 360; ++i)
            QVERIFY(set.add(write(QStringLiteral("c%1.img").arg(i), 8, 2, QVector<double>(16, i + 1)), 0));
        for (const auto& r : rows) {
            const RowName row{r.name};
            HSgm h;
            QCOMPARE(genSinogram0(h, set, true, 4.0, 0, {r.start, r.count}), !r.images.isEmpty());
            QCOMPARE(h.rows, int(r.images.size()));
            for (int k = 0; k < h.rows; ++k)
                QCOMPARE(h.rawRow(k)[h.width - 1], double(r.images[k] + 1));
        }
    }

    void normalisation_data()
    {
        QTest::addColumn<QString>("i0"); // "", "streamed", "memory", "wrong size"
        QTest::addColumn<QString>("bg");
        QTest::addColumn<QVector<double>>("expected"); // for I = 250, 100, 0, 1000
        using std::log;
        const QVector<double> noRefs = {-log(250.0), -log(100.0), 0.0, -log(1000.0)};
        QTest::newRow("neither") << "" << "" << noRefs;
        QTest::newRow("I0 of another size not used") << "wrong size" << "" << noRefs;
        QTest::newRow("BG only: I0 - BG <= 0 counts as 1")
            << "" << "memory" << QVector<double>{-log(150.0), 0.0, 0.0, -log(900.0)};
        QTest::newRow("both, streamed; I <= BG gives ln(I0 - BG)") << "streamed" << "streamed"
                                       << QVector<double>{log(900 / 150.0), log(900.0), log(900.0), log(900 / 900.0)};
    }

    void normalisation()
    {
        QFETCH(QString, i0);
        QFETCH(QString, bg);
        QFETCH(QVector<double>, expected);
        ImgDatas set;
        const double intensities[] = {250, 100, 0, 1000};
        for (double v : intensities)
            QVERIFY(set.add(write(QStringLiteral("n%1.img").arg(v), 8, 2, QVector<double>(16, v)), 0));
        auto makeRef = [&](const QString& kind, double level) -> std::unique_ptr<ImgData> {
            if (kind.isEmpty())
                return nullptr;
            const bool wrong = kind == "wrong size";
            const QString path = write(QStringLiteral("ref%1.img").arg(level), wrong ? 9 : 8, 2,
                                       QVector<double>(wrong ? 18 : 16, level));
            return std::unique_ptr<ImgData>(loadImgData(path, 0, kind != "streamed"));
        };
        std::unique_ptr<ImgData> i0Img = makeRef(i0, 1000), bgImg = makeRef(bg, 100);
        ImgData* i0Slot = i0Img.get();
        ImgData* bgSlot = bgImg.get();
        set.setI0Handle(&i0Slot);
        set.setBgHandle(&bgSlot);
        MessageCapture cap;
        HSgm h;
        QVERIFY(genSinogram0(h, set, true, 4.0, 1, {0, 4}));
        for (int k = 0; k < 4; ++k)
            for (int c = 0; c < h.width; ++c)
                QCOMPARE(h.sgmRow(k)[c], expected[k]);
        QCOMPARE(cap.count("I0 image size (9, 2) differs"), i0 == "wrong size" ? 1 : 0);
    }

    void concurrentCallsMatchSerial()
    {
        // Streamed flat and dark images share one file position between
        // threads. The threads keep no intensities, as workers do.
        ImgDatas set;
        PhantomSet ps;
        QVERIFY(ps.load(set, phantomModel(false, 64, 6, 30, 31.5), false));
        const int slices = 6;
        std::vector<HSgm> serial(slices), parallel(slices);
        for (int s = 0; s < slices; ++s)
            QVERIFY(genSinogram0(serial[size_t(s)], set, false, 31.5 - 0.25 * s, s, {3, 30}));
        std::vector<std::thread> pool;
        for (int t = 0; t < 3; ++t)
            pool.emplace_back([&, t] {
                for (int rep = 0; rep < 4; ++rep)
                    for (int s = t; s < slices; s += 3)
                        genSinogram0(parallel[size_t(s)], set, false, 31.5 - 0.25 * s, s, {3, 30}, false);
            });
        for (auto& th : pool)
            th.join();
        for (int s = 0; s < slices; ++s)
            QVERIFY(parallel[size_t(s)].slice == s && parallel[size_t(s)].sgm == serial[size_t(s)].sgm
                    && parallel[size_t(s)].raw.empty() && !serial[size_t(s)].raw.empty());
    }

    // Axis, true CoR, detector width, starting guess, noise, I0 and BG.
    void guessCorFindsTrueCentre_data()
    {
        QTest::addColumn<Guess>("c");
        QTest::newRow("H 100.3 from 118, two coarse sweeps") << Guess{false, 100.3, 208, 118.0, false, true};
        QTest::newRow("V 100.3 noisy, no I0 or BG") << Guess{true, 100.3, 208, 103.0, true, false};
        QTest::newRow("H 163.75 noisy") << Guess{false, 163.75, 320, 160.0, true, true};
    }

    void guessCorFindsTrueCentre()
    {
        QFETCH(Guess, c);
        PhantomSpec model = phantomModel(c.vertical, c.across, 6, 180, c.cor);
        model.noise = c.noisy;
        ImgDatas set;
        PhantomSet ps;
        QVERIFY(ps.load(set, model));
        if (!c.references) {
            set.setI0Handle(nullptr);
            set.setBgHandle(nullptr);
        }
        CorGuessInput in;
        in.rotAxIsV = c.vertical;
        in.cor = c.start;
        in.slice = 2;
        double found = -1;
        QVERIFY(guessCor(set, in, &found));
        QVERIFY2(std::abs(found - c.cor) <= 0.1, qPrintable(QString::number(found)));
    }

    void guessCorRefusesWithoutInformation()
    {
        ImgDatas set;
        CorGuessInput in;
        in.rotAxIsV = true;
        in.cor = 20;
        double found = 7;
        MessageCapture cap;
        QVERIFY(!guessCor(set, in, &found));
        for (int i = 0; i < 4; ++i)
            QVERIFY(set.add(write("flat-field.img", 40, 3, QVector<double>(120, 4000)), 0));
        QVERIFY(!guessCor(set, in, &found));
        in.rangeDeg = qQNaN();
        QVERIFY(!guessCor(set, in, &found));
        QCOMPARE(found, 7.0);
        QCOMPARE(cap.lines(), QStringList({"No image to guess the centre of rotation from",
                                           "No structure in the slice to guess the centre of rotation from",
                                           "Can not guess the centre of rotation with a range of nan degrees from 20"}));
    }

private:
    QString write(const QString& name, int w, int h, const QVector<double>& values)
    {
        const QString path = dir.filePath(name);
        itexImage(w, h, 2, values).write(path);
        return path;
    }
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TstSinogramCore)
#include "tst_sinogramcore.moc"
