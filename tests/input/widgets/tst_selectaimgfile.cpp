#include "display/widgets/imgdispwpv.h"
#include "input/imgdata.h"
#include "input/widgets/selectaimgfile.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QLineEdit>
#include <QtTest>

// The flat or dark image the normalisation reads: a failed choice never costs the good image.
class TstSelectAImgFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
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

    void choices_data()
    {
        QTest::addColumn<QStringList>("steps"); // files chosen; "-" clears; "hold" and "release" a run's hold
        QTest::addColumn<QString>("after");     // file held in the end; empty: none
        QTest::addColumn<QString>("finalStyle");
        const QString good = SelectAFile::goodStyle, bad = SelectAFile::badStyle, neutral = SelectAFile::neutralStyle;
        QTest::newRow("unknown type, then readable") << QStringList{"text.txt", "ramp.img"} << "ramp.img" << good;
        QTest::newRow("cut file keeps the good image") << QStringList{"ramp.img", "cut.img"} << "ramp.img" << bad;
        QTest::newRow("another size replaces") << QStringList{"ramp.img", "missing.img", "wide.img"} << "wide.img" << good;
        QTest::newRow("clear") << QStringList{"ramp.img", "-"} << "" << neutral;
        QTest::newRow("held: new file") << QStringList{"ramp.img", "hold", "wide.img", "release"} << "wide.img" << good;
        QTest::newRow("held: the last request wins")
            << QStringList{"ramp.img", "hold", "-", "wide.img", "cut.img", "ramp.img", "release"} << "ramp.img" << good;
        QTest::newRow("held: unreadable keeps the image") << QStringList{"ramp.img", "hold", "missing.img", "release"}
                                                          << "ramp.img" << bad;
    }

    void choices()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, after);
        QFETCH(QString, finalStyle);
        SelectAImgFile p;
        ImgData** slot = p.imageSlot();
        ImgData* running = nullptr;
        for (const QString& step : steps) {
            ImgData* before = p.image();
            if (step == "hold" || step == "release") {
                running = step == "hold" ? p.image() : nullptr;
                p.setHold(step == "hold");
                continue;
            }
            step == "-" ? p.clear0() : p.fileSelected0(path(step));
            QCOMPARE(p.imageSlot(), slot);
            // What the workers read stays in place for the whole run.
            if (running)
                QVERIFY(*slot == running && running->fileName == path("ramp.img"));
            else if (QStringList{"missing.img", "cut.img", "text.txt"}.contains(step))
                QCOMPARE(*slot, before);
        }
        ImgData* img = p.image();
        QCOMPARE(img ? img->fileName : QString(), after.isEmpty() ? QString() : path(after));
        QCOMPARE(style(p), finalStyle);
        QCOMPARE(p.display()->img().isNull(), !img);
        // Held whole in memory, so workers may read it side by side.
        QVERIFY(!img || (img->ready && img->inMemory));
    }

    // An owner that places the display in its own page may delete it first.
    void foreignOwnerOfDisplay()
    {
        auto* p = new SelectAImgFile;
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

private:
    QString path(const QString& name) const { return tmp.filePath(name); }
    static QString style(SelectAImgFile& p) { return p.findChild<QLineEdit*>("FilePath")->styleSheet(); }
    QTemporaryDir tmp;
};

QTEST_MAIN(TstSelectAImgFile)
#include "tst_selectaimgfile.moc"
