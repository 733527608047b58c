#include "display/colorbar.h"
#include "display/imgdispwpv.h"
#include "input/imgdata.h"
#include "input/selectaimgfile.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

// The flat and dark image panels: the image they hold is the one the
// normalisation reads, so a failed choice must never cost the good image,
// and the display must show that image.
class TstSelectAImgFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadSequence_data();
    void loadSequence();
    void valueReadout_data();
    void valueReadout();
    void holdDefersChange_data();
    void holdDefersChange();
    void colourBarRendersAgain();
    void showImgAndForeignOwnerOfDisplay();

private:
    QString path(const QString& name) const { return tmp.filePath(name); }
    static QString style(SelectAImgFile& p) { return p.findChild<QLineEdit*>("FilePath")->styleSheet(); }
    static QString val(SelectAImgFile& p) { return p.display()->findChild<QLineEdit*>("Val")->text(); }
    QTemporaryDir tmp;
};

void TstSelectAImgFile::initTestCase()
{
    // ramp.img: 4 x 3, pixel (x, y) = 100 + 10 y + x.
    QVector<double> ramp;
    for (int i = 0; i < 12; ++i)
        ramp << 100 + 10 * (i / 4) + i % 4;
    QVERIFY(itexImage(4, 3, 2, ramp).write(path("ramp.img")));
    QVERIFY(itexImage(6, 2, 2, QVector<double>(12, 7)).write(path("wide.img")));
    QVERIFY(itexImage(4, 3, 2, ramp).write(path("cut.img"), 30));
    QVERIFY(writeBytes(path("text.txt"), "hello, no image"));
}

void TstSelectAImgFile::loadSequence_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("held"); // file held after each choice; empty: none
    QTest::newRow("readable") << QStringList{"ramp.img"} << QStringList{"ramp.img"};
    QTest::newRow("missing, nothing held") << QStringList{"missing.img"} << QStringList{""};
    QTest::newRow("unknown type, then readable") << QStringList{"text.txt", "ramp.img"} << QStringList{"", "ramp.img"};
    QTest::newRow("cut file keeps the good image") << QStringList{"ramp.img", "cut.img"} << QStringList{"ramp.img", "ramp.img"};
    QTest::newRow("missing keeps, then another size replaces")
        << QStringList{"ramp.img", "missing.img", "wide.img"} << QStringList{"ramp.img", "ramp.img", "wide.img"};
}

void TstSelectAImgFile::loadSequence()
{
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, held);
    SelectAImgFile p;
    ImgData** slot = p.imageSlot();
    QVERIFY(!p.display()->isVisible());
    for (int i = 0; i < chosen.size(); ++i) {
        ImgData* before = p.image();
        p.fileSelected0(path(chosen[i]));
        QCOMPARE(p.imageSlot(), slot);
        QCOMPARE(*slot, p.image());
        const bool loaded = chosen[i] == held[i];
        QCOMPARE(style(p), QLatin1String(loaded ? SelectAFile::goodStyle : SelectAFile::badStyle));
        if (held[i].isEmpty()) {
            QVERIFY(!p.image());
            continue;
        }
        ImgData* img = p.image();
        QCOMPARE(img->fileName, path(held[i]));
        if (!loaded)
            QCOMPARE(img, before); // not reloaded, not replaced
        // Held whole in memory, so workers may read it side by side.
        QVERIFY(img->ready && img->inMemory);
        // The display shows this image, scaled to its extremes.
        ImgDispWPV* d = p.display();
        QVERIFY(d->isVisible());
        QCOMPARE(d->img().size(), QSize(img->width, img->height));
        QCOMPARE(d->colorBar()->minV(), img->minValue);
        QCOMPARE(d->colorBar()->maxV(), img->maxValue);
    }
}

void TstSelectAImgFile::valueReadout_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("expected");
    QTest::newRow("fractions truncate") << 1.9 << 2.9 << 121.0;
    QTest::newRow("just left of 0 truncates to 0") << -0.5 << 1.0 << 110.0;
    QTest::newRow("x = width") << 4.0 << 0.0 << 0.0;
    QTest::newRow("far outside") << 1e300 << -1e300 << 0.0;
    QTest::newRow("not a number") << qQNaN() << 1.0 << 0.0;
}

void TstSelectAImgFile::valueReadout()
{
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, expected);
    SelectAImgFile p;
    p.fileSelected0(path("ramp.img"));
    p.display()->setVal(-42);
    p.noticedNewPos(x, y);
    QCOMPARE(val(p), QString::number(expected));
    // The pointer over the panel's own display reaches the read-out.
    p.display()->noticedNewPos(2, 1);
    QCOMPARE(val(p), QStringLiteral("112"));
}

void TstSelectAImgFile::holdDefersChange_data()
{
    QTest::addColumn<bool>("hold");
    QTest::addColumn<QStringList>("during"); // choices (while held); "-" clears
    QTest::addColumn<QString>("after");      // file held in the end; empty: none
    QTest::addColumn<QString>("finalStyle");
    const QString neutral = SelectAFile::neutralStyle, good = SelectAFile::goodStyle;
    QTest::newRow("clear") << false << QStringList{"-"} << "" << neutral;
    QTest::newRow("held: new file") << true << QStringList{"wide.img"} << "wide.img" << good;
    QTest::newRow("held: clear") << true << QStringList{"-"} << "" << neutral;
    QTest::newRow("held: the last request wins") << true << QStringList{"-", "wide.img", "cut.img", "ramp.img"}
                                                 << "ramp.img" << good;
    QTest::newRow("held: unreadable keeps the image") << true << QStringList{"missing.img"} << "ramp.img"
                                                      << QString(SelectAFile::badStyle);
}

void TstSelectAImgFile::holdDefersChange()
{
    QFETCH(bool, hold);
    QFETCH(QStringList, during);
    QFETCH(QString, after);
    QFETCH(QString, finalStyle);
    SelectAImgFile p;
    auto* exp = p.findChild<QLineEdit*>("ExpTimeLE");
    const QString defaultExp = exp->text();
    p.fileSelected0(path("ramp.img"));
    p.setExpTime(2.5e-7);
    QCOMPARE(p.expTime(), 2.5e-7);
    ImgData* running = p.image();
    p.setHold(hold);
    for (const QString& f : during) {
        f == "-" ? p.clear0() : p.fileSelected0(path(f));
        if (!hold)
            continue;
        // What the workers read stays in place for the whole run.
        QCOMPARE(*p.imageSlot(), running);
        QCOMPARE(running->fileName, path("ramp.img"));
    }
    p.setHold(false);
    QCOMPARE(p.image() ? p.image()->fileName : QString(), after.isEmpty() ? QString() : path(after));
    QCOMPARE(style(p), finalStyle);
    if (!after.isEmpty())
        return;
    QCOMPARE(exp->text(), defaultExp);
    QVERIFY(p.display()->img().isNull());
    // Without an image the pointer shows nothing new.
    p.display()->setVal(5);
    p.noticedNewPos(1, 1);
    QCOMPARE(val(p), QStringLiteral("5"));
}

void TstSelectAImgFile::colourBarRendersAgain()
{
    SelectAImgFile p;
    p.fileSelected0(path("ramp.img"));
    ColorBar* bar = p.display()->colorBar();
    auto grey = [&p](int x, int y) { return int(p.display()->img().constScanLine(y)[x]); };
    auto* maxEdit = bar->controls()->findChild<QLineEdit*>("CMaxLE");
    // A fixed range survives the re-rendering that its edit asks for ...
    bar->fixBox()->setChecked(true);
    maxEdit->setText("110.5");
    emit maxEdit->editingFinished();
    QCOMPARE(grey(1, 0), int(1 / 10.5 * 256));
    QCOMPARE(grey(1, 1), 255);
    // ... and without it the image's own extremes come back into the bar.
    bar->fixBox()->setChecked(false);
    emit maxEdit->editingFinished();
    QCOMPARE(maxEdit->text(), QStringLiteral("123"));
    QCOMPARE(grey(1, 1), int(11 / 23.0 * 256));
}

void TstSelectAImgFile::showImgAndForeignOwnerOfDisplay()
{
    auto* p = new SelectAImgFile;
    QSignalSpy ask(p, &SelectAImgFile::askToShowImage);
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
