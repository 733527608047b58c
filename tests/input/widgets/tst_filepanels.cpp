#include "display/widgets/imgdispwpv.h"
#include "input/imgdata.h"
#include "input/widgets/selectafile.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// What a chosen file or folder leaves in the fields, which directories it creates, what it hands on;
// a failed choice of the flat or dark image never costs the good one.
class TstFilePanels : public QObject
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

    void fileChoice_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("paths"); // chosen, shown ("=": the chosen text), both under the temporary dir
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("dirExists"); // the directory shown, afterwards
        QTest::newRow("save into missing parents") << 1 << QStringList{"new/deep/c.dat", "new/deep"} << "c" << true;
        QTest::newRow("save, two dots") << 1 << QStringList{"out/scan.v2.dat", "out"} << "scan.v2" << true;
        QTest::newRow("save under a file fails") << 1 << QStringList{"text.txt/sub/c.dat", "text.txt/sub"} << "c" << false;
        QTest::newRow("open creates nothing") << 0 << QStringList{"nothere/flat.img", "="} << "flat" << false;
    }
    void fileChoice()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, paths);
        QFETCH(QString, name);
        QFETCH(bool, dirExists);
        SelectAFile p;
        p.setMode(mode);
        QSignalSpy selected(&p, &SelectAFile::fileSelected);
        MessageCapture cap;
        const QString fname = path(paths[0]);
        p.fileSelected0(fname);
        QCOMPARE(p.filePath(), paths[1] == "=" ? fname : path(paths[1]));
        QCOMPARE(p.name(), name);
        QCOMPARE(QList<QVariantList>(selected), QList<QVariantList>{{fname}});
        QCOMPARE(QFileInfo(QFileInfo(fname).path()).isDir(), dirExists);
        // A save location that can't be made is shown as a failure.
        const bool failed = mode == 1 && !dirExists;
        QCOMPARE(cap.count("Can't create directory : "), failed ? 1 : 0);
        QCOMPARE(style(p), QLatin1String(failed ? SelectAFile::badStyle : SelectAFile::neutralStyle));
    }

    // A folder hands the loader the files that match, in name order.
    void selectFilesIn_data()
    {
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one pattern, name order, case ignored, no directory")
            << QStringList{"*.img"}
            << QStringList{"a.img", "B.img", "proj-00000.img", "proj-00001.img", "proj-00002.img"};
        QTest::newRow("two patterns") << QStringList{"proj-*.img", "*.his"}
                                      << QStringList{"proj-00000.img", "proj-00001.img", "proj-00002.img", "seq.his"};
        QTest::newRow("nothing matches") << QStringList{"*.tif"} << QStringList();
    }
    void selectFilesIn()
    {
        QFETCH(QStringList, patterns);
        QFETCH(QStringList, expected);
        QTemporaryDir tmp;
        QDir dir(tmp.path());
        for (const char* name :
             {"proj-00002.img", "a.img", "proj-00000.img", "notes.txt", "proj-00001.img", "seq.his", "B.img"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        QVERIFY(dir.mkdir("d.img"));
        SelectDataFiles p;
        QSignalSpy selected(&p, &SelectDataFiles::filesSelected);
        MessageCapture cap;
        p.selectFilesIn(tmp.path(), patterns);
        QStringList paths;
        for (const QString& name : expected)
            paths << dir.absoluteFilePath(name);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected[0][0].toStringList(), paths);
        QCOMPARE(cap.count("No files match"), expected.isEmpty() ? 1 : 0);
    }

    void imageChoices_data()
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
    void imageChoices()
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
    static QString style(SelectAFile& p) { return p.findChild<QLineEdit*>("FilePath")->styleSheet(); }
    QTemporaryDir tmp;
};

QTEST_MAIN(TstFilePanels)
#include "tst_filepanels.moc"
