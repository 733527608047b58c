#include "input/widgets/selectafile.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// What a chosen file leaves in the fields and which directories it creates.
class TstFilePanels : public QObject
{
    Q_OBJECT

private slots:
    void fileChoice_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("paths"); // chosen, shown ("=": the chosen text), both under the temporary dir
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("dirExists"); // the directory shown, afterwards
        QTest::newRow("save into missing parents") << 1 << QStringList{"new/deep/c.dat", "new/deep"} << "c" << true;
        QTest::newRow("save, two dots") << 1 << QStringList{"out/scan.v2.dat", "out"} << "scan.v2" << true;
        QTest::newRow("save under a file fails") << 1 << QStringList{"plain.txt/sub/c.dat", "plain.txt/sub"} << "c" << false;
        QTest::newRow("open creates nothing") << 0 << QStringList{"nothere/flat.img", "="} << "flat" << false;
    }
    void fileChoice()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, paths);
        QFETCH(QString, name);
        QFETCH(bool, dirExists);
        QVERIFY(writeBytes(tmp.filePath("plain.txt"), ""));
        SelectAFile p;
        p.setMode(mode);
        QSignalSpy selected(&p, &SelectAFile::fileSelected);
        MessageCapture cap;
        const QString fname = tmp.filePath(paths[0]);
        p.fileSelected0(fname);
        QCOMPARE(p.filePath(), paths[1] == "=" ? fname : tmp.filePath(paths[1]));
        QCOMPARE(p.name(), name);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected[0][0].toString(), fname);
        QCOMPARE(QFileInfo(QFileInfo(fname).path()).isDir(), dirExists);
        // A save location that can't be made is shown as a failure.
        const bool failed = mode == 1 && !dirExists;
        QCOMPARE(cap.count("Can't create directory : "), failed ? 1 : 0);
        QCOMPARE(p.findChild<QLineEdit*>("FilePath")->styleSheet(),
                 QLatin1String(failed ? SelectAFile::badStyle : SelectAFile::neutralStyle));
    }

private:
    QTemporaryDir tmp;
};

QTEST_MAIN(TstFilePanels)
#include "tst_filepanels.moc"
