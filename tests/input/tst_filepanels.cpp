#include "input/selectafile.h"
#include "input/selectdatafiles.h"
#include "input/selectdir.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>


// The single-file, directory and I0 panels: what a choice leaves in the
// fields, which directories it creates, and how their dialogs are set up.
class TstFilePanels : public QObject
{
    Q_OBJECT

private slots:
    void fileChoice_data();
    void fileChoice();
    void setDir_data();
    void setDir();
    void selectDirFieldBeforeSignal();

private:
    QTemporaryDir tmp;
};

void TstFilePanels::fileChoice_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("chosen"); // relative to the temporary directory
    QTest::addColumn<QString>("shown");  // likewise; "=" for the chosen text itself
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("dirExists"); // the directory shown, afterwards
    QTest::newRow("save into missing parents") << 1 << "new/deep/c.dat" << "new/deep" << "c" << true;
    QTest::newRow("save, two dots") << 1 << "out/scan.v2.dat" << "out" << "scan.v2" << true;
    QTest::newRow("save under a file fails") << 1 << "plain.txt/sub/c.dat" << "plain.txt/sub" << "c" << false;
    QTest::newRow("open creates nothing") << 0 << "nothere/flat.img" << "=" << "flat" << false;
}

void TstFilePanels::fileChoice()
{
    QFETCH(int, mode);
    QFETCH(QString, chosen);
    QFETCH(QString, shown);
    QFETCH(QString, name);
    QFETCH(bool, dirExists);
    QVERIFY(writeBytes(tmp.filePath("plain.txt"), ""));
    SelectAFile p;
    p.setMode(mode);
    QSignalSpy selected(&p, &SelectAFile::fileSelected);
    MessageCapture cap;
    const QString fname = tmp.filePath(chosen);
    p.fileSelected0(fname);
    QCOMPARE(p.filePath(), shown == "=" ? fname : tmp.filePath(shown));
    QCOMPARE(p.name(), name);
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected[0][0].toString(), fname);
    QCOMPARE(QFileInfo(QFileInfo(fname).path()).isDir(), dirExists);
    // A save location that can't be made is shown as a failure.
    const bool failed = mode == 1 && !dirExists;
    QCOMPARE(cap.count("Can't create directory : "), failed ? 1 : 0);
    const QString style = p.findChild<QLineEdit*>("FilePath")->styleSheet();
    QCOMPARE(style, QLatin1String(failed ? SelectAFile::badStyle : SelectAFile::neutralStyle));
}

void TstFilePanels::setDir_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("created");
    QTest::newRow("save mode, trailing slash") << 1 << "dat/out/" << true;
    QTest::newRow("open mode") << 0 << "other/out" << false;
    QTest::newRow("empty") << 1 << "" << false;
}

void TstFilePanels::setDir()
{
    QFETCH(int, mode);
    QFETCH(QString, dir);
    QFETCH(bool, created);
    SelectAFile p;
    p.setMode(mode);
    const QString full = dir.isEmpty() ? QString() : tmp.filePath(dir);
    QVERIFY(p.setDir(full));
    // The directory given, not its parent as for a chosen file name.
    QCOMPARE(p.filePath(), full.isEmpty() ? QString() : QDir::cleanPath(full));
    QCOMPARE(!full.isEmpty() && QFileInfo(full).isDir(), created);
}

void TstFilePanels::selectDirFieldBeforeSignal()
{
    SelectDir p;
    QString fieldAtSignal;
    connect(&p, &SelectDir::aDirSelected, this, [&] { fieldAtSignal = p.dirName(); });
    p.selectDir(tmp.path());
    QCOMPARE(fieldAtSignal, tmp.path());
    QCOMPARE(p.dialogDirectory(), tmp.path());
}

QTEST_MAIN(TstFilePanels)
#include "tst_filepanels.moc"
