#include "input/selectdatafiles.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// The loader gets exactly the files meant: in order, repeated for "Multi.", appended or replacing for Add/New.
class TstSelectDataFiles : public QObject
{
    Q_OBJECT

private slots:
    void handOver_data()
    {
        QTest::addColumn<QString>("times"); // "": Multi. off
        QTest::addColumn<bool>("newOnLoad");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        const QStringList three{"/d/z.img", "/d/b.img", "/d/c.img"};
        const int most = SelectDataFiles::maxMultiTimes;
        QTest::newRow("plain list keeps its order") << "" << true << three << three;
        QTest::newRow("multi 180 of three") << "180" << true << three << QStringList(180, "/d/z.img");
        QTest::newRow("multi typing error") << "1800000" << true << three << QStringList();
        QTest::newRow("multi at the limit, add") << QString::number(most) << false << QStringList{"/d/x.img"}
                                                 << QStringList(most, "/d/x.img");
    }
    void handOver()
    {
        QFETCH(QString, times);
        QFETCH(bool, newOnLoad);
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        SelectDataFiles p;
        p.addFile("/d/old0.img");
        p.addFile("/d/old1.img");
        p.setMulti(!times.isEmpty());
        p.findChild<QLineEdit*>("MultiTimes")->setText(times.isEmpty() ? "180" : times);
        p.setNewOnLoad(newOnLoad);
        QSignalSpy selected(&p, &SelectDataFiles::filesSelected);
        QSignalSpy cleared(&p, &SelectDataFiles::filesCleared);
        MessageCapture cap;
        p.handOver(files);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected[0][0].toStringList(), expected);
        QCOMPARE(selected[0][1].toBool(), newOnLoad);
        // "New" empties the list before the loader adds the new images; "Add" keeps the old ones.
        QCOMPARE(cleared.count(), newOnLoad ? 1 : 0);
        QCOMPARE(p.count(), newOnLoad ? 0 : 2);
        QCOMPARE(cap.count("Multi. count out of range"), times == "1800000" ? 1 : 0);
    }

    void selectFilesIn_data()
    {
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one pattern, name order, case ignored, no directory")
            << QStringList{"*.img"} << QStringList{"B.img", "proj-00000.img", "proj-00001.img", "proj-00002.img"};
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
        for (const char* name : {"proj-00002.img", "proj-00000.img", "notes.txt", "proj-00001.img", "seq.his", "B.img"})
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
};

QTEST_MAIN(TstSelectDataFiles)
#include "tst_selectdatafiles.moc"
