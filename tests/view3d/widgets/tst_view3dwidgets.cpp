// The slice-set panel and the 3-D view: thresholds in values and percent,
// opacity, the histogram grab, colours of new sets, the cut direction, the
// mouse turns, coalesced renders and saving.
#include "recon/ctimgdatafile.h"
#include "tests/display/mouseevents.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"
#include "ui_CtView.h"
#include "ui_SlicesCtrl.h"
#include "view3d/widgets/ctview.h"
#include "view3d/widgets/slicesctrl.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

// An 8 x 8 slice whose values run from lo to hi along the rows.
QString writeSlice(const QString& path, double lo, double hi)
{
    std::vector<double> m(64);
    for (std::size_t i = 0; i < m.size(); ++i)
        m[i] = lo + (hi - lo) * double(i) / 63.0;
    const QByteArray text = buildCtImgDataText({m.data(), 8, 8}, {0, 0, 8, 8}, {HUGE_VAL, -HUGE_VAL, 0});
    return writeBytes(path, text) ? path : QString();
}

bool loadInto(SlicesCtrl* s, const QStringList& files)
{
    QSignalSpy done(s, &SlicesCtrl::loadFilesFinished);
    s->loadFiles(files);
    return done.wait(10000);
}

QLineEdit* edit(SlicesCtrl* s, const QString& name)
{
    return s->findChild<QLineEdit*>(name);
}

void typeInto(QLineEdit* e, const QString& text)
{
    e->setText(text);
    emit e->editingFinished();
}

// A drag or wheel on the 201 x 201 display and the view frame it should leave.
struct MouseRow {
    QString gesture;
    double roll; // of the frame about the viewing direction, radians
    bool nzKept;
    double shiftX;
    double scale;
};

} // namespace

Q_DECLARE_METATYPE(MouseRow)

class TstView3dWidgets : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QStringList files;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        files << writeSlice(dir.filePath("a.dat"), -2, 3) << writeSlice(dir.filePath("b.dat"), 0, 6);
        QVERIFY(!files.contains(QString()));
    }

    void thresholds_data()
    {
        QTest::addColumn<QString>("range"); // "rmin rmax" typed over the loaded range, or empty
        QTest::addColumn<QString>("typed"); // edit=text
        QTest::addColumn<QString>("other"); // edit=text expected
        QTest::newRow("4 is 75 %") << "" << "maxTh_=4" << "maxThPC_=75";
        QTest::newRow("below the range") << "" << "minTh_=-4" << "minThPC_=-25";
        QTest::newRow("beyond 100 %") << "" << "maxThPC_=125" << "maxTh_=8";
        QTest::newRow("empty range, value") << "3 3" << "maxTh_=5" << "maxThPC_=0";
        QTest::newRow("empty range, percent") << "3 3" << "minThPC_=40" << "minTh_=3";
    }

    void thresholds()
    {
        QFETCH(QString, range);
        QFETCH(QString, typed);
        QFETCH(QString, other);
        SlicesCtrl s(dir.path());
        QVERIFY(loadInto(&s, files));
        const QStringList loaded{edit(&s, "rMinV_")->text(), edit(&s, "rMaxV_")->text(), edit(&s, "minTh_")->text(),
                                 edit(&s, "maxTh_")->text()};
        QCOMPARE(loaded, (QStringList{"-2", "6", "-2", "6"}));
        if (!range.isEmpty()) {
            edit(&s, "rMinV_")->setText(range.section(' ', 0, 0));
            edit(&s, "rMaxV_")->setText(range.section(' ', 1, 1));
        }
        QSignalSpy paint(&s, &SlicesCtrl::paintPImg);
        typeInto(edit(&s, typed.section('=', 0, 0)), typed.section('=', 1));
        QCOMPARE(edit(&s, other.section('=', 0, 0))->text(), other.section('=', 1));
        QCOMPARE(paint.count(), 1);
    }

    // Typed one after the other into one panel: clamped to 0..255, text left as typed.
    void opacity()
    {
        SlicesCtrl s(dir.path());
        for (const auto& [typed, kept] : {std::pair{"256", "255"}, {"-5", "0"}, {"abc", "abc"}}) {
            typeInto(edit(&s, "alpha_"), typed);
            QCOMPARE(edit(&s, "alpha_")->text(), QString(kept));
        }
    }

    void histogramGrab_data()
    {
        QTest::addColumn<QString>("gesture"); // on a 101 pixel wide histogram: one pixel per percent
        QTest::addColumn<QStringList>("thresholds"); // lower, upper in percent afterwards
        QTest::newRow("halfway grabs the upper line") << "p40,5 m50,5 r50,5" << QStringList{"20", "50"};
        QTest::newRow("nearer the lower line") << "p39,5 m10,5 r10,5" << QStringList{"10", "60"};
        QTest::newRow("with Shift nothing") << "p40,5s m50,5s r50,5s" << QStringList{"20", "60"};
    }

    void histogramGrab()
    {
        QFETCH(QString, gesture);
        QFETCH(QStringList, thresholds);
        SlicesCtrl s(dir.path());
        typeInto(edit(&s, "minThPC_"), "20");
        typeInto(edit(&s, "maxThPC_"), "60");
        s.form()->dispH_->setFixedSize(101, 40);
        ::gesture(s.form()->dispH_, gesture);
        QCOMPARE((QStringList{edit(&s, "minThPC_")->text(), edit(&s, "maxThPC_")->text()}), thresholds);
    }

    void setColours()
    {
        CtView v(dir.path());
        for (int i = 0; i < 3; ++i)
            v.form()->addSliceSet_->click();
        const QList<SlicesCtrl*>& sets = v.sliceSets();
        QCOMPARE(sets.size(), 4);
        const QList<QColor> want{QColor(0, 127, 127), QColor(127, 0, 0), QColor(127, 0, 127), QColor(0, 127, 0),
                                 QColor(127, 127, 0), QColor(0, 0, 127), QColor(0, 127, 127), QColor(127, 0, 0)};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(sets[i]->vColor(), want[2 * i]);
            QCOMPARE(sets[i]->sColor(), want[2 * i + 1]);
            QCOMPARE(sets[i]->alpha(), i == 0 ? 255 : 128);
        }
    }

    void cutDirection_data()
    {
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<bool>("linked");
        QTest::newRow("fixed, linked") << true << true;
        QTest::newRow("fixed, not linked") << true << false;
    }

    void cutDirection()
    {
        QFETCH(bool, fixed);
        QFETCH(bool, linked);
        CtView v(dir.path());
        SlicesCtrl* second = v.addSliceSet();
        SlicesCtrl* first = v.sliceSets().first();
        v.form()->linkCSection_->setChecked(linked);
        first->setFixDir(fixed);
        first->setSliderValue(-30);
        QCOMPARE(second->sliderValue(), linked ? -30 : 0);
        QCOMPARE(second->fixDir(), linked && fixed);
        const Vec3 before = v.viewFrame().nz;
        v.updateNvs(Vec3{0, 1, 0}, 0.7);
        const Vec3 after = v.viewFrame().nz;
        QVERIFY(after != before);
        QVERIFY(first->csNormal() == (fixed ? before : after));
        QVERIFY(second->csNormal() == (linked && fixed ? before : after));
    }

    void mouse_data()
    {
        // Pixel 20 is 0.1 of the way, 100 halfway, y upward.
        QTest::addColumn<MouseRow>("row");
        QTest::newRow("roll at the top") << MouseRow{"p100,20 m120,20 r120,20", 0.1 * M_PI, true, 0, 1};
        QTest::newRow("roll at the bottom") << MouseRow{"p100,180 m120,180 r120,180", -0.1 * M_PI, true, 0, 1};
        QTest::newRow("roll at the left") << MouseRow{"p20,100 m20,80 r20,80", 0.1 * M_PI, true, 0, 1};
        QTest::newRow("roll at the right") << MouseRow{"p180,100 m180,80 r180,80", -0.1 * M_PI, true, 0, 1};
        QTest::newRow("free turn") << MouseRow{"p100,100 m120,100 r120,100", 0, false, 0, 1};
        QTest::newRow("pan, right button") << MouseRow{"q100,100 m120,100 r120,100", 0, true, -25.6, 1};
        QTest::newRow("pan, left with Shift") << MouseRow{"p100,100s m120,100s r120,100s", 0, true, -25.6, 1};
        QTest::newRow("Ctrl does nothing") << MouseRow{"p100,100c m120,100c r120,100c", 0, true, 0, 1};
        QTest::newRow("wheel in and out") << MouseRow{"w100,100 b100,100", 0, true, 0, 1};
        QTest::newRow("wheel in") << MouseRow{"w100,100", 0, true, 0, 0.9};
    }

    void mouse()
    {
        QFETCH(MouseRow, row);
        CtView v(dir.path());
        v.form()->dispA_->setFixedSize(201, 201);
        ::gesture(v.form()->dispA_, row.gesture);
        const ViewFrame& f = v.viewFrame();
        QVERIFY(std::abs(std::atan2(-f.nx.y, f.nx.x) - row.roll) < 1e-12);
        QCOMPARE(f.nz == Vec3({0, 0, 1}), row.nzKept);
        if (!row.nzKept) // a horizontal drag turns about the picture's vertical
            QVERIFY(std::abs(f.nz.x + std::sin(0.1 * M_PI)) < 1e-12 && f.ny == Vec3({0, 1, 0}));
        QVERIFY(std::abs(f.shift.x - row.shiftX) < 1e-9);
        QVERIFY(std::abs(f.scale - row.scale) < 1e-12);
    }

    void coalescedRender()
    {
        CtView v(dir.path());
        QVERIFY(loadInto(v.sliceSets().first(), files));
        v.setImgSize(24, 16);
        QSignalSpy rendered(&v, &CtView::rendered);
        QTRY_COMPARE(rendered.count(), 1); // the load's request
        for (int i = 0; i < 5; ++i)
            v.updateNvs(Vec3{1, 0, 0}, 0.1);
        QVERIFY(rendered.wait(5000));
        QTest::qWait(50);
        QCOMPARE(rendered.count(), 2);
        QCOMPARE(v.projectionImage(), v.caster().render()); // the latest view
        QVERIFY(!(v.caster().view.nz == ViewFrame().nz));   // which the turns reach
        QVERIFY(v.projectionImage().pixel(12, 8) != qRgb(255, 255, 255));

        v.form()->imgPixWidth_->setText("abc");
        v.renderNow();
        QVERIFY(v.projectionImage().isNull());
        v.setImgSize(100000, 16);
        MessageCapture log;
        v.renderNow();
        QVERIFY(v.projectionImage().isNull());
        QCOMPARE(log.count("Picture size 100000 x 16 is too large"), 1);
    }

    // The suffix, in any case, picks the type; anything else writes nothing.
    void save()
    {
        CtView v(dir.path());
        QVERIFY(loadInto(v.sliceSets().first(), files));
        v.setImgSize(20, 12);
        QTemporaryDir out;
        for (const auto& [name, type] : {std::pair{"pic.PNG", "\x89PNG"}, {"pic.svg", "<?xml"}, {"pic.xyz", ""},
                                         {"none/pic.png", ""}}) {
            const QString path = out.filePath(name);
            QVERIFY2(v.saveImage(path) == (*type != '\0'), name);
            QFile f(path);
            QVERIFY2(f.open(QIODevice::ReadOnly) == (*type != '\0'), name);
            QVERIFY2(f.readAll().startsWith(type), name);
        }
        QCOMPARE(QImage(out.filePath("pic.PNG")).convertToFormat(QImage::Format_ARGB32), v.caster().render());
        QFile svg(out.filePath("pic.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly) && svg.readAll().contains("viewBox=\"0 0 20 12\""));
    }
};

QTEST_MAIN(TstView3dWidgets)
#include "tst_view3dwidgets.moc"
