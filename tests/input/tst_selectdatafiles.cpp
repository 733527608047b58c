#include "input/selectdatafiles.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

// The file list hands the loader exactly the files the user meant: in the
// right order, repeated for "Multi.", appended or replacing for Add/New.
class TstSelectDataFiles : public QObject
{
    Q_OBJECT

private slots:
    void handOver_data();
    void handOver();
    void selectFilesIn_data();
    void selectFilesIn();
    void simpleMode();
    void dialogHandsOver();

private:
    static void fill(SelectDataFiles& p, int n)
    {
        for (int i = 0; i < n; ++i)
            p.addFile(QStringLiteral("/d/old%1.img").arg(i));
    }
};

void TstSelectDataFiles::handOver_data()
{
    QTest::addColumn<bool>("multi");
    QTest::addColumn<QString>("times");
    QTest::addColumn<bool>("newOnLoad");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");
    const QStringList three{"/d/z.img", "/d/b.img", "/d/c.img"};
    QTest::newRow("plain list keeps its order") << false << "180" << true << three << three;
    QTest::newRow("multi 180 of three") << true << "180" << true << three << QStringList(180, "/d/z.img");
    QTest::newRow("multi 1, add") << true << "1" << false << three << QStringList{"/d/z.img"};
    QTest::newRow("multi typing error") << true << "1800000" << true << three << QStringList();
    QTest::newRow("multi at the limit") << true << QString::number(SelectDataFiles::maxMultiTimes) << false
                                        << QStringList{"/d/x.img"}
                                        << QStringList(SelectDataFiles::maxMultiTimes, "/d/x.img");
    QTest::newRow("multi, nothing chosen") << true << "180" << true << QStringList() << QStringList();
}

void TstSelectDataFiles::handOver()
{
    QFETCH(bool, multi);
    QFETCH(QString, times);
    QFETCH(bool, newOnLoad);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    SelectDataFiles p;
    fill(p, 2);
    p.setMulti(multi);
    p.findChild<QLineEdit*>("MultiTimes")->setText(times);
    p.setNewOnLoad(newOnLoad);
    QSignalSpy selected(&p, &SelectDataFiles::filesSelected);
    QSignalSpy cleared(&p, &SelectDataFiles::filesCleared);
    MessageCapture cap;
    p.handOver(files);
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected[0][0].toStringList(), expected);
    QCOMPARE(selected[0][1].toBool(), newOnLoad);
    // "New" empties the list before the loader adds the new images; "Add"
    // keeps what was loaded before.
    QCOMPARE(cleared.count(), newOnLoad ? 1 : 0);
    QCOMPARE(p.count(), newOnLoad ? 0 : 2);
    QCOMPARE(p.findChild<QLabel*>("Count")->text(), QString::number(p.count()));
    QCOMPARE(cap.count("Multi. count out of range"), times == "1800000" ? 1 : 0);
}

void TstSelectDataFiles::selectFilesIn_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QStringList>("expected");
    const QStringList mixed{"proj-00002.img", "proj-00000.img", "notes.txt", "proj-00001.img", "seq.his", "B.img", "d.img/"};
    QTest::newRow("one pattern, name order, case ignored, no directory")
        << mixed << QStringList{"*.img"} << QStringList{"B.img", "proj-00000.img", "proj-00001.img", "proj-00002.img"};
    QTest::newRow("two patterns") << mixed << QStringList{"proj-*.img", "*.his"}
                                  << QStringList{"proj-00000.img", "proj-00001.img", "proj-00002.img", "seq.his"};
    QTest::newRow("no pattern: every file") << QStringList{"b.img", "a.txt", "d/"} << QStringList()
                                            << QStringList{"a.txt", "b.img"};
    QTest::newRow("nothing matches") << QStringList{"a.img"} << QStringList{"*.his"} << QStringList();
}

void TstSelectDataFiles::selectFilesIn()
{
    QFETCH(QStringList, present);
    QFETCH(QStringList, patterns);
    QFETCH(QStringList, expected);
    QTemporaryDir tmp;
    QDir dir(tmp.path());
    for (const QString& name : present)
        QVERIFY(name.endsWith('/') ? dir.mkdir(name.chopped(1)) : QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
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
    QCOMPARE(p.dialogDirectory(), tmp.path());
}

void TstSelectDataFiles::simpleMode()
{
    SelectDataFiles p;
    p.setNewOnLoad(false);
    p.setSimpleMode(true);
    // The hidden "Add" can't be left on: every I0 file set replaces the last.
    QVERIFY(p.isNewOnLoad() && p.findChild<QWidget*>("AddFiles")->isHidden());
    // Texts set by the owner survive a change of language.
    p.setSelectText("Sel. I0 File Set");
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(&p, &change);
    QCOMPARE(p.findChild<QPushButton*>("Select")->text(), QStringLiteral("Sel. I0 File Set"));
}

void TstSelectDataFiles::dialogHandsOver()
{
    SelectDataFiles p;
    QSignalSpy selected(&p, &SelectDataFiles::filesSelected);
    QTest::mouseClick(p.findChild<QPushButton*>("Select"), Qt::LeftButton);
    emit p.dialog()->filesSelected({"/d/p1.img", "/d/p2.img"});
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected[0][0].toStringList(), (QStringList{"/d/p1.img", "/d/p2.img"}));
}

QTEST_MAIN(TstSelectDataFiles)
#include "tst_selectdatafiles.moc"
