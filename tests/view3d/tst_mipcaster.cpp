// The maximum-intensity picture: the threshold edges, and the fast picture
// against the per-pixel painter loop.
#include "tools/mipreference.h"
#include "tests/support/testutil.h"
#include "view3d/mipcaster.h"
#include "view3d/mipkernel.h"
#include "view3d/miplevels.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// hollow: outside the inscribed ellipsoid values below 1 (whole bricks lie
// below the thresholds of the pictures), on one side some just above it.
SliceStackPtr randomStack(int sw, int sh, int ss, quint32 seed, double nanShare = 0.0, bool hollow = false)
{
    QRandomGenerator rng(seed);
    auto st = std::make_shared<SliceStack>();
    st->width = sw;
    st->height = sh;
    for (int k = 0; k < ss; ++k) {
        SliceData s;
        s.width = sw;
        s.height = sh;
        for (int i = 0; i < sw * sh; ++i) {
            const double x = (i % sw + 0.5) / sw * 2 - 1, y = (i / sw + 0.5) / sh * 2 - 1, z = (k + 0.5) / ss * 2 - 1;
            const double v = rng.generateDouble() < nanShare ? std::nan("") : rng.generateDouble() * 10;
            const double outside = x > 0.3 ? v * 0.105 : v / 11; // barely visible, invisible
            s.values.push_back(hollow && x * x + y * y + z * z > 0.5 ? outside : v);
        }
        st->slices.push_back(s);
    }
    st->loaded = true;
    st->makeBricks();
    return st;
}

MipSet plainSet(const SliceStackPtr& st, double thMin, double thMax)
{
    MipSet set;
    set.stack = st;
    set.thMin = thMin;
    set.thMax = thMax;
    set.showFrame = false;
    return set;
}

// The view and the sets of a picture compared with the reference.
struct CastRow {
    Vec3 axis;
    double degrees;
    bool cut, twoSets, inverted;
    double scale;
    Vec3 shift;
    Vec3 cutNormal; // zero: the viewing direction
    bool hollow;
};

} // namespace

Q_DECLARE_METATYPE(CastRow)

class TstMipCaster : public QObject
{
    Q_OBJECT
private slots:
    void thresholdEdge_data();
    void thresholdEdge();
    void sameAsReference_data();
    void sameAsReference();
    void kernelsAgree();
    void levelClasses();
    void turnAbout();
    void svg();
};

void TstMipCaster::thresholdEdge_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("at the upper threshold") << 10.0 << false;
    QTest::newRow("at level 255") << 10.0 * 255 / 256 << true;
    QTest::newRow("just above level 255") << std::nextafter(10.0 * 255 / 256, 10.0) << false;
    QTest::newRow("NaN") << std::nan("") << false;
    QTest::newRow("infinity") << HUGE_VAL << false;
}

// Level 255 (the highest drawn) shows the set's colour itself; levels above it are not drawn.
void TstMipCaster::thresholdEdge()
{
    QFETCH(double, value);
    QFETCH(bool, drawn);
    auto st = std::make_shared<SliceStack>();
    st->width = st->height = 4;
    st->slices.resize(2);
    for (SliceData& s : st->slices) {
        s.width = s.height = 4;
        s.values.assign(16, value);
    }
    MipCaster mc;
    mc.width = mc.height = 4;
    mc.sets << plainSet(st, 0, 10);
    const QColor got = mc.render().pixelColor(1, 2);
    const QColor want = drawn ? QColor(0, 127, 127) : QColor(Qt::white);
    QVERIFY2(std::abs(got.red() - want.red()) <= 1 && std::abs(got.green() - want.green()) <= 1
                 && std::abs(got.blue() - want.blue()) <= 1,
             qPrintable(got.name()));
}

void TstMipCaster::sameAsReference_data()
{
    QTest::addColumn<CastRow>("row");
    const Vec3 mid{1.5, -2.25, 0.5};
    QTest::newRow("oblique, cut") << CastRow{{1, 2, 0.5}, 35, true, false, false, 0.9, mid, {}, false};
    QTest::newRow("inverted thresholds, cut")
        << CastRow{{0.2, 1, 0.1}, 20, true, true, true, 0.9, mid, {}, false};
    QTest::newRow("edge on: frames only") << CastRow{{1, 0, 0}, 90, false, true, false, 0.9, mid, {}, false};
    // Many rays per voxel: the rays are cast in many groups, some of them
    // only partly over the stack, some leaving it through its sides.
    QTest::newRow("zoomed in, off centre, cut")
        << CastRow{{1, -2, 0.7}, 50, true, true, false, 0.12, {-9, 4, 3}, {}, false};
    // The cut plane facing away from the viewer, and lying along the view:
    // the slices that skip the cut's test sit at the other end of the rays, or nowhere.
    QTest::newRow("cut facing away")
        << CastRow{{1, 2, 0.5}, 35, true, true, false, 0.9, mid, {0.3, -0.2, -1}, false};
    QTest::newRow("cut along the view")
        << CastRow{{0, 0, 1}, 20, true, true, false, 0.9, mid, {0.6, 0.8, 0}, false};
    // Bricks of the first set hold no visible value: the rays pass over them.
    QTest::newRow("hollow, oblique, cut") << CastRow{{1, 2, 0.5}, 35, true, true, false, 0.9, mid, {}, true};
    QTest::newRow("hollow, steep, inverted") << CastRow{{1, 1, 0}, 80, false, true, true, 0.9, mid, {}, true};
    QTest::newRow("hollow, zoomed in, cut facing away")
        << CastRow{{1, -2, 0.7}, 50, true, false, false, 0.12, {-9, 4, 3}, {0.3, -0.2, -1}, true};
}

void TstMipCaster::sameAsReference()
{
    QFETCH(CastRow, row);
    MipCaster mc;
    mc.width = row.scale < 0.5 ? 210 : 45;
    mc.height = row.scale < 0.5 ? 170 : 38;
    mc.view.turnAbout(row.axis, row.degrees);
    mc.view.scale = row.scale;
    mc.view.shift = row.shift;
    MipSet a = plainSet(randomStack(30, 24, 20, 1, 0.0, row.hollow), row.inverted ? 9 : 1,
                        row.inverted ? 1 : 9);
    MipSet b = plainSet(randomStack(16, 20, 12, 2, 0.05), 2, 11);
    for (MipSet* s : {&a, &b}) {
        s->showFrame = true;
        s->showCSection = row.cut;
        s->csNormal = row.cutNormal == Vec3{} ? mc.view.nz : row.cutNormal;
        s->slider = 15;
    }
    b.alpha = 128;
    b.vColor = QColor(127, 0, 127);
    b.sColor = QColor(0, 127, 0);
    mc.sets << a;
    if (row.twoSets)
        mc.sets << b;
    const QImage reference = referenceMipPicture(mc);
    // From the values, and from the colour classes of a settled view.
    for (MipLevelUse use : {MipLevelUse::Never, MipLevelUse::Always}) {
        setMipLevelUse(use);
        const QImage fast = mc.render();
        setMipLevelUse(MipLevelUse::Settled);
        QCOMPARE(fast.size(), reference.size());
        int differ = 0;
        int coloured = 0;
        for (int r = 0; r < fast.height(); ++r) {
            for (int c = 0; c < fast.width(); ++c) {
                differ += fast.pixel(c, r) != reference.pixel(c, r);
                coloured += fast.pixel(c, r) != qRgb(255, 255, 255);
            }
        }
        QCOMPARE(differ, 0);
        QVERIFY(coloured > 100); // not a blank picture compared with a blank one
    }
}

// The vector loop gives the plain loop's bits (the picture tests above run only one of them).
void TstMipCaster::kernelsAgree()
{
#if defined(__x86_64__)
    if (!mipAvx512Available())
        QSKIP("no AVX-512 here");
    const SliceStackPtr st = randomStack(23, 17, 15, 9, 0.05);
    std::vector<const double*> slices;
    for (const SliceData& s : st->slices)
        slices.push_back(s.values.data());
    QRandomGenerator rng(11);
    const int n = 400;
    std::vector<double> px(n), py(n), pz(n), best[2], band[2];
    for (int i = 0; i < n; ++i) {
        px[std::size_t(i)] = rng.bounded(40.0) - 20;
        py[std::size_t(i)] = rng.bounded(30.0) - 15;
        pz[std::size_t(i)] = rng.bounded(20.0) - 10;
    }
    for (int cut = 0; cut < 2; ++cut) {
        MipTileJob j{};
        j.slices = slices.data();
        j.ss = st->count(), j.sw = st->width, j.sh = st->height;
        j.k0 = 1, j.k1 = j.ss;
        j.count = n;
        j.px = px.data(), j.py = py.data(), j.pz = pz.data();
        j.nzx = 0.3, j.nzy = -0.5, j.nzz = 0.81;
        j.vlo = 2, j.vhi = 8;
        j.cut = cut;
        j.mx = 0.3, j.my = -0.5, j.mz = 0.81;
        j.depth = 1.5;
        for (int which = 0; which < 2; ++which) {
            best[which].assign(n, -HUGE_VAL);
            band[which].assign(n, std::nan(""));
            j.best = best[which].data();
            j.band = band[which].data();
            which ? castMipTileAvx512(j) : castMipTileScalar(j);
        }
        QVERIFY(std::memcmp(best[0].data(), best[1].data(), n * sizeof(double)) == 0);
        QVERIFY(std::memcmp(band[0].data(), band[1].data(), n * sizeof(double)) == 0);
        QVERIFY(std::count_if(best[0].begin(), best[0].end(), [](double v) { return v > 2; }) > n / 4);
        // The same rays over colour classes (here the values' integer parts).
        std::vector<std::vector<std::uint16_t>> classes;
        std::vector<const std::uint16_t*> levels;
        for (const SliceData& sl : st->slices) {
            classes.emplace_back();
            for (double v : sl.values)
                classes.back().push_back(std::uint16_t(std::isnan(v) ? 0 : v));
        }
        for (const auto& c : classes)
            levels.push_back(c.data());
        j.levels = levels.data();
        std::vector<std::int32_t> bestLevel[2], bandLevel[2];
        for (int which = 0; which < 2; ++which) {
            bestLevel[which].assign(n, 0);
            bandLevel[which].assign(n, 0);
            j.bestLevel = bestLevel[which].data();
            j.bandLevel = bandLevel[which].data();
            which ? castMipLevelTileAvx512(j) : castMipLevelTileScalar(j);
        }
        QCOMPARE(bestLevel[1], bestLevel[0]);
        QCOMPARE(bandLevel[1], bandLevel[0]);
        QVERIFY(std::count_if(bestLevel[0].begin(), bestLevel[0].end(), [](int c) { return c > 2; }) > n / 4);
    }
#else
    QSKIP("one loop only");
#endif
}

// A colour class stands for every level in it: same class, same shades of
// both colours; class 0 exactly where nothing is drawn. The class of a value
// is found without its level and must agree with it.
void TstMipCaster::levelClasses()
{
    QRandomGenerator rng(5);
    const struct {
        QColor a, b;
        double thMin, thMax;
    } rows[] = {
        {{0, 127, 127}, {127, 0, 0}, 1, 9},
        {{127, 0, 127}, {0, 127, 0}, 9, 1},
        {{3, 200, 254}, {255, 255, 255}, -1e-300, 1e-300},
        {{rng.bounded(256), rng.bounded(256), rng.bounded(256)}, {rng.bounded(256), 0, 1}, 1e6, 1e6 + 1e-9},
        {{0, 0, 0}, {1, 1, 1}, -3, 1e300},
    };
    for (const auto& r : rows) {
        const MipClasses classes(r.a, r.b);
        const MipValueClasses byValue(classes, r.thMin, r.thMax);
        QVERIFY(classes.count() < 65536);
        for (int c = 1; c < classes.count(); ++c)
            QCOMPARE(classes.classOf(classes.levelOf(c)), c);
        const double span = r.thMax - r.thMin;
        std::vector<double> values = {r.thMin, r.thMax, std::nextafter(r.thMin, r.thMax),
                                      r.thMin + span * 255 / 256, std::nan(""), HUGE_VAL, -HUGE_VAL, -0.0, 0.0};
        for (int i = 0; i < 20000; ++i) {
            const double v = r.thMin + span * (rng.generateDouble() * 1.2 - 0.1);
            values.push_back(v);
            values.push_back(std::nextafter(v, HUGE_VAL));
        }
        int drawn = 0;
        for (double v : values) {
            const double g = MipCaster::level(v, r.thMin, r.thMax);
            const int c = classes.classOf(g);
            QCOMPARE(byValue.classOf(v), c);
            QCOMPARE(c > 0, g > 0);
            if (c == 0)
                continue;
            ++drawn;
            for (const QColor& col : {r.a, r.b})
                QCOMPARE(MipCaster::shade(col, classes.levelOf(c), 255), MipCaster::shade(col, g, 255));
        }
        QVERIFY(drawn > 10000);
    }
}

void TstMipCaster::turnAbout()
{
    ViewFrame v;
    QVERIFY(!v.turnAbout({0, 0, 0}, 30));
    QVERIFY(!v.turnAbout({std::nan(""), 0, 0}, 30));
    QCOMPARE(v.nx, (Vec3{1, 0, 0}));
    QVERIFY(v.turnAbout({0, 0, 2}, 90));
    QVERIFY(norm(v.nx - Vec3{0, -1, 0}) < 1e-15);
    QVERIFY(norm(v.ny - Vec3{1, 0, 0}) < 1e-15);
    QCOMPARE(v.nz, (Vec3{0, 0, 1}));
}

// One element per coloured pixel and the box edges as lines.
void TstMipCaster::svg()
{
    QTemporaryDir dir;
    MipCaster mc;
    mc.width = mc.height = 8;
    MipSet set = plainSet(randomStack(6, 6, 2, 3), 0, 20);
    set.showFrame = true;
    mc.sets << set;
    QVERIFY(mc.saveSvg(dir.filePath("p.svg")));
    QFile f(dir.filePath("p.svg"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray svg = f.readAll();
    const QImage img = mc.castSet(set);
    int coloured = 0;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            coloured += img.pixel(c, r) != 0;
    QVERIFY(coloured > 0);
    QCOMPARE(int(svg.count("<rect")), 1 + coloured); // the white ground, then a pixel each
    QCOMPARE(int(svg.count("<polyline")), 8);       // the far face, then the near one
    MessageCapture messages;
    QVERIFY(!mc.saveSvg(dir.filePath("no/such/dir/p.svg")));
    QCOMPARE(messages.count("Can't write SVG file"), 1);
}

QTEST_MAIN(TstMipCaster)
#include "tst_mipcaster.moc"
