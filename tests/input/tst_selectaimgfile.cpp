#include "display/colorbar.h"
#include "display/imgdispwpv.h"
#include "input/imgdata.h"
#include "input/selectaimgfile.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

// The flat and dark image panels: the image they hold is the one the
// normalisation reads, so a failed choice must never cost the good image,
// and what the display shows must be that image.
class TstSelectAImgFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadSequence_data();
    void loadSequence();
    void valueReadout_data();
    void valueReadout();
    void clearDropsImage();
    void holdDefersChange_data();
    void holdDefersChange();
    void colourBarRendersAgain();
    void showImgAndForeignOwnerOfDisplay();

private:
    QString path(const QString& name) const { return QDir(tmp.path()).filePath(name); }
    static QString style(SelectAImgFile& p) { return p.findChild<QLineEdit*>("FilePath")->styleSheet(); }
    static QString val(SelectAImgFile& p) { return p.display()->findChild<QLineEdit*>("Val")->text(); }
    QTemporaryDir tmp;
};

void TstSelectAImgFile::initTestCase()
{
    // ramp.img: 4 x 3, pixel (x, y) = 100 + 10 y + x.
    QVector<double> ramp;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            ramp << 100 + 10 * y + x;
    QVERIFY(itexImage(4, 3, 2, ramp).write(path("ramp.img")));
    QVERIFY(itexImage(6, 2, 2, QVector<double>(12, 7)).write(path("wide.img")));
    QVERIFY(itexImage(4, 3, 2, ramp).write(path("cut.img"), 30));
    QVERIFY(writeBytes(path("text.txt"), "hello, no image"));

    PhantomSpec phantomSpec;
    phantomSpec.width = 24;
    phantomSpec.height = 8;
    phantomSpec.projections = 2;
    phantomSpec.cor = 11.5;
    PhantomOutput out;
    out.dir = tmp.path();
    out.threads = 1;
    QVERIFY(!writePhantomDataSet(Phantom(phantomSpec), out).isEmpty());
    QCOMPARE(phantomFlatName(out), QStringLiteral("flat.img"));
    QCOMPARE(phantomDarkName(out), QStringLiteral("dark.img"));
}

void TstSelectAImgFile::loadSequence_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("held");  // file held after each choice; empty: none
    QTest::addColumn<QString>("finalStyle");

    const QString good = SelectAFile::goodStyle;
    const QString bad = SelectAFile::badStyle;
    QTest::newRow("readable") << QStringList{"ramp.img"} << QStringList{"ramp.img"} << good;
    QTest::newRow("missing, nothing held") << QStringList{"missing.img"} << QStringList{""} << bad;
    QTest::newRow("unknown type, then readable")
        << QStringList{"text.txt", "ramp.img"} << QStringList{"", "ramp.img"} << good;
    QTest::newRow("cut file keeps the good image")
        << QStringList{"ramp.img", "cut.img"} << QStringList{"ramp.img", "ramp.img"} << bad;
    QTest::newRow("missing keeps, then replaced by another size")
        << QStringList{"ramp.img", "missing.img", "wide.img"} << QStringList{"ramp.img", "ramp.img", "wide.img"}
        << good;
    QTest::newRow("phantom flat, then dark") << QStringList{"flat.img", "dark.img"}
                                             << QStringList{"flat.img", "dark.img"} << good;
}

void TstSelectAImgFile::loadSequence()
{
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, held);
    QFETCH(QString, finalStyle);

    SelectAImgFile p;
    ImgData** slot = p.imageSlot();
    QVERIFY(!p.display()->isVisible());
    for (int i = 0; i < chosen.size(); ++i) {
        ImgData* before = p.image();
        MessageCapture cap;
        p.fileSelected0(path(chosen[i]));
        QCOMPARE(p.imageSlot(), slot);
        QCOMPARE(*slot, p.image());
        if (held[i].isEmpty()) {
            QVERIFY(!p.image());
            QCOMPARE(style(p), QLatin1String(SelectAFile::badStyle));
            QVERIFY(!cap.lines().isEmpty()); // the reader said why
            continue;
        }
        ImgData* img = p.image();
        QVERIFY(img);
        QCOMPARE(img->fileName, path(held[i]));
        if (held[i] == held.value(i - 1) && chosen[i] != held[i]) {
            QCOMPARE(img, before); // the same object: not reloaded, not replaced
            QCOMPARE(style(p), QLatin1String(SelectAFile::badStyle));
        } else {
            QCOMPARE(style(p), QLatin1String(SelectAFile::goodStyle));
        }
        // Held whole in memory, so workers may read it side by side.
        QVERIFY(img->ready);
        QVERIFY(img->inMemory);
        // The display shows this image, scaled to its extremes.
        ImgDispWPV* d = p.display();
        QVERIFY(d->isVisible());
        QCOMPARE(d->img().size(), QSize(img->width, img->height));
        QCOMPARE(d->colorBar()->minV(), img->minValue);
        QCOMPARE(d->colorBar()->maxV(), img->maxValue);
    }
    QCOMPARE(style(p), finalStyle);
}

void TstSelectAImgFile::valueReadout_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("expected");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("origin") << 0.0 << 0.0 << 100.0;
    QTest::newRow("last pixel") << 3.0 << 2.0 << 123.0;
    QTest::newRow("fractions truncate") << 1.9 << 2.9 << 121.0;
    QTest::newRow("just left of 0 truncates to 0") << -0.5 << 1.0 << 110.0;
    QTest::newRow("x -1") << -1.0 << 0.0 << 0.0;
    QTest::newRow("x = width") << 4.0 << 0.0 << 0.0;
    QTest::newRow("y = height") << 0.0 << 3.0 << 0.0;
    QTest::newRow("far outside") << 1e300 << -1e300 << 0.0;
    QTest::newRow("not a number") << nan << 1.0 << 0.0;
}

void TstSelectAImgFile::valueReadout()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, expected);

    SelectAImgFile p;
    p.fileSelected0(path("ramp.img"));
    QVERIFY(p.image());
    p.display()->setVal(-42);
    p.noticedNewPos(x, y);
    QCOMPARE(val(p), QString::number(expected, 'g', 6));

    // The pointer over the panel's own display reaches the read-out.
    p.display()->noticedNewPos(2, 1);
    QCOMPARE(val(p), QStringLiteral("112"));
}

void TstSelectAImgFile::clearDropsImage()
{
    SelectAImgFile p;
    auto* exp = p.findChild<QLineEdit*>("ExpTimeLE");
    QCOMPARE(exp->text(), QStringLiteral("0.05"));
    p.fileSelected0(path("ramp.img"));
    QVERIFY(p.image());
    p.setExpTime(2.5e-7);
    QCOMPARE(exp->text(), QStringLiteral("2.5e-07"));
    QCOMPARE(p.expTime(), 2.5e-7);

    QTest::mouseClick(p.findChild<QPushButton*>("Clear"), Qt::LeftButton);
    QVERIFY(!p.image());
    QVERIFY(!*p.imageSlot());
    QCOMPARE(exp->text(), QStringLiteral("0.05"));
    QCOMPARE(p.filePath(), QString());
    QCOMPARE(style(p), QLatin1String(SelectAFile::neutralStyle));
    QVERIFY(p.display()->img().isNull());
    // Without an image the pointer shows nothing new.
    p.display()->setVal(5);
    p.noticedNewPos(1, 1);
    QCOMPARE(val(p), QStringLiteral("5"));
}

void TstSelectAImgFile::holdDefersChange_data()
{
    QTest::addColumn<QStringList>("during"); // choices while held; "-" clears
    QTest::addColumn<QString>("after");      // file held after the hold; empty: none

    QTest::newRow("new file") << QStringList{"wide.img"} << "wide.img";
    QTest::newRow("clear") << QStringList{"-"} << "";
    QTest::newRow("the last request wins") << QStringList{"-", "wide.img", "flat.img"} << "flat.img";
    QTest::newRow("unreadable keeps the image") << QStringList{"missing.img"} << "ramp.img";
    QTest::newRow("nothing asked") << QStringList() << "ramp.img";
}

void TstSelectAImgFile::holdDefersChange()
{
    QFETCH(QStringList, during);
    QFETCH(QString, after);

    SelectAImgFile p;
    p.fileSelected0(path("ramp.img"));
    ImgData* running = p.image();
    p.setHold(true);
    for (const QString& f : during) {
        if (f == "-")
            p.clear0();
        else
            p.fileSelected0(path(f));
        // What the workers read stays in place for the whole run.
        QCOMPARE(*p.imageSlot(), running);
        QCOMPARE(running->fileName, path("ramp.img"));
    }
    p.setHold(false);
    if (after.isEmpty())
        QVERIFY(!p.image());
    else
        QCOMPARE(p.image()->fileName, path(after));
}

void TstSelectAImgFile::colourBarRendersAgain()
{
    SelectAImgFile p;
    p.fileSelected0(path("ramp.img"));
    ImgDispWPV* d = p.display();
    auto grey = [d](int x, int y) { return int(d->img().constScanLine(y)[x]); };
    QCOMPARE(grey(0, 0), 0);
    QCOMPARE(grey(3, 2), 255);

    // A fixed range survives the re-rendering that its edit asks for.
    ColorBar* bar = d->colorBar();
    bar->fixBox()->setChecked(true);
    auto* minEdit = bar->controls()->findChild<QLineEdit*>("CMinLE");
    auto* maxEdit = bar->controls()->findChild<QLineEdit*>("CMaxLE");
    QVERIFY(minEdit && maxEdit);
    minEdit->setText("100");
    emit minEdit->editingFinished();
    maxEdit->setText("110.5");
    emit maxEdit->editingFinished();
    QCOMPARE(bar->minV(), 100.0);
    QCOMPARE(bar->maxV(), 110.5);
    QCOMPARE(grey(1, 0), int(1 / 10.5 * 256));
    QCOMPARE(grey(0, 1), int(10 / 10.5 * 256));
    QCOMPARE(grey(1, 1), 255);

    // Not fixed: the image's own extremes come back into the bar.
    bar->fixBox()->setChecked(false);
    emit maxEdit->editingFinished();
    QCOMPARE(bar->minV(), 100.0);
    QCOMPARE(bar->maxV(), 123.0);
    QCOMPARE(maxEdit->text(), QStringLiteral("123"));
    QCOMPARE(grey(1, 1), int(11 / 23.0 * 256));
}

void TstSelectAImgFile::showImgAndForeignOwnerOfDisplay()
{
    auto* p = new SelectAImgFile;
    QSignalSpy ask(p, &SelectAImgFile::askToShowImage);
    QVERIFY(!p->display()->isVisible());
    QTest::mouseClick(p->findChild<QPushButton*>("ShowImg"), Qt::LeftButton);
    QVERIFY(p->display()->isVisible());
    QCOMPARE(ask.count(), 1);

    // An owner that places the display in its own page may delete it first.
    auto* page = new QWidget;
    p->display()->setParent(page);
    p->fileSelected0(path("ramp.img"));
    delete page;
    QVERIFY(!p->display());
    p->fileSelected0(path("wide.img"));
    QCOMPARE(p->image()->width, 6);
    p->noticedNewPos(1, 1);
    delete p;
}

QTEST_MAIN(TstSelectAImgFile)
#include "tst_selectaimgfile.moc"
