#include "input/widgets/selectdatafiles.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

// A folder hands the loader the files that match, in name order.
class TstSelectDataFiles : public QObject
{
    Q_OBJECT

private slots:
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
