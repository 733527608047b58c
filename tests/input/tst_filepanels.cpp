#include "app/optiontable.h"
#include "input/i0ofimage.h"
#include "input/selectafile.h"
#include "input/selectaimgfile.h"
#include "input/selectdatafiles.h"
#include "input/selectdir.h"
#include "tests/support/testutil.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
    void clearKeepsTag();
    void selectDirFieldBeforeSignal();
    void i0PanelDefaults();
    void dialogs_data();
    void dialogs();

private:
    QTemporaryDir tmp;
};

void TstFilePanels::fileChoice_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("chosen");    // relative to the temporary directory
    QTest::addColumn<QString>("shownPath"); // likewise; "=" for the chosen text itself
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("createdDir"); // must exist afterwards; empty: none
    QTest::addColumn<QString>("absentDir");  // must not exist afterwards
    QTest::addColumn<bool>("failed");

    QTest::newRow("save into missing parents") << 1 << "new/deep/c.dat" << "new/deep" << "c" << "new/deep" << "" << false;
    QTest::newRow("save into existing dir") << 1 << "c.png" << "" << "c" << "" << "" << false;
    QTest::newRow("save, two dots") << 1 << "out/scan.v2.dat" << "out" << "scan.v2" << "out" << "" << false;
    QTest::newRow("save under a file") << 1 << "plain.txt/sub/c.dat" << "plain.txt/sub" << "c" << ""
                                       << "plain.txt/sub" << true;
    QTest::newRow("open creates nothing") << 0 << "nothere/flat.img" << "=" << "flat" << "" << "nothere" << false;
}

void TstFilePanels::fileChoice()
{
    QFETCH(int, mode);
    QFETCH(QString, chosen);
    QFETCH(QString, shownPath);
    QFETCH(QString, name);
    QFETCH(QString, createdDir);
    QFETCH(QString, absentDir);
    QFETCH(bool, failed);

    const QDir base(tmp.path());
    QFile plain(base.filePath("plain.txt"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    SelectAFile p;
    p.setMode(mode);
    QSignalSpy selected(&p, &SelectAFile::fileSelected);
    MessageCapture cap;
    const QString fname = base.filePath(chosen);
    p.fileSelected0(fname);

    const QString expectedPath = shownPath == "=" ? fname : QDir::cleanPath(base.filePath(shownPath));
    QCOMPARE(p.filePath(), expectedPath);
    QCOMPARE(p.name(), name);
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected[0][0].toString(), fname);
    if (!createdDir.isEmpty())
        QVERIFY(QFileInfo(base.filePath(createdDir)).isDir());
    if (!absentDir.isEmpty())
        QVERIFY(!QFileInfo::exists(base.filePath(absentDir)));
    // A save location that can't be made is shown as a failure.
    QCOMPARE(cap.count("Can't create directory : "), failed ? 1 : 0);
    const QString style = p.findChild<QLineEdit*>("FilePath")->styleSheet();
    QCOMPARE(style, QLatin1String(failed ? SelectAFile::badStyle : SelectAFile::neutralStyle));
}

void TstFilePanels::setDir_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("created");

    QTest::newRow("save mode, missing") << 1 << "img/out" << true;
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
    const QString full = dir.isEmpty() ? QString() : QDir(tmp.path()).filePath(dir);
    QVERIFY(p.setDir(full));
    // The directory given, not its parent as for a chosen file name.
    QCOMPARE(p.filePath(), full.isEmpty() ? QString() : QDir::cleanPath(full));
    if (!full.isEmpty())
        QCOMPARE(QFileInfo(full).isDir(), created);
}

void TstFilePanels::clearKeepsTag()
{
    SelectAFile p;
    p.setMode(1);
    p.setNameTagVisible(true);
    p.fileSelected0(QDir(tmp.path()).filePath("x/scan.dat"));
    p.setTag("7112_5eV");
    QSignalSpy cleared(&p, &SelectAFile::clear);
    QTest::mouseClick(p.findChild<QPushButton*>("Clear"), Qt::LeftButton);
    QCOMPARE(cleared.count(), 1);
    QCOMPARE(p.filePath(), QString());
    QCOMPARE(p.name(), QString());
    // The tag belongs to the data set, which a cleared location doesn't change.
    QCOMPARE(p.tag(), QStringLiteral("7112_5eV"));
}

void TstFilePanels::selectDirFieldBeforeSignal()
{
    SelectDir p;
    QString fieldAtSignal;
    connect(&p, &SelectDir::aDirSelected, this, [&] { fieldAtSignal = p.dirName(); });
    QSignalSpy spy(&p, &SelectDir::aDirSelected);
    p.selectDir(tmp.path());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toString(), tmp.path());
    QCOMPARE(fieldAtSignal, tmp.path());
    QCOMPARE(p.dialogDirectory(), tmp.path());
}

void TstFilePanels::i0PanelDefaults()
{
    I0ofImage p;
    QCOMPARE(p.windowTitle(), QStringLiteral("I0 of Image"));
    QCOMPARE(p.title(), QStringLiteral("I0 of Image"));
    QCOMPARE(p.findChild<QLineEdit*>("I0Val")->text(), QStringLiteral("1.0"));
    QCOMPARE(p.i0Val(), 1.0);
    QVERIFY(p.calcFromXafs());
    QVERIFY(p.xafsFile());
    QCOMPARE(p.xafsFile()->filePath(), QString());
    QCOMPARE(p.xafsFile()->mode(), 0);
    QCOMPARE(p.engPattern(), QStringLiteral("####_####"));
    QCOMPARE(p.layout()->contentsMargins(), QMargins());

    // What the add_inf_* commands do to it.
    p.setTitle("I0 of Raw Image");
    p.setI0Val(12345.678);
    p.setCalcFromXafs(false);
    p.setEngPattern("####_#");
    p.xafsFile()->fileSelected0("/scan/xafs.dat");
    QCOMPARE(p.findChild<QLineEdit*>("I0Val")->text(), QStringLiteral("12345.7"));
    QVERIFY(!p.calcFromXafs());
    QCOMPARE(p.engPattern(), QStringLiteral("####_#"));
    QCOMPARE(p.xafsFile()->filePath(), QStringLiteral("/scan/xafs.dat"));
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(&p, &change);
    QCOMPARE(p.title(), QStringLiteral("I0 of Raw Image"));
    p.xafsFile()->clear0();
    QCOMPARE(p.xafsFile()->filePath(), QString());
}

void TstFilePanels::dialogs_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("native");
    QTest::addColumn<int>("acceptMode");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QStringList>("filters");

    const QStringList openFilters{"Img file (*.img)", "Tiff file (*.tif *.tiff)", "Any file (* *.*)"};
    QTest::newRow("file, open") << "open" << "0" << int(QFileDialog::AcceptOpen) << int(QFileDialog::ExistingFile)
                                << openFilters;
    QTest::newRow("file, save") << "save" << "0" << int(QFileDialog::AcceptSave) << int(QFileDialog::AnyFile)
                                << QStringList{"Any file (* *.*)"};
    QTest::newRow("reference image") << "image" << "" << int(QFileDialog::AcceptOpen)
                                     << int(QFileDialog::ExistingFile) << openFilters;
    QTest::newRow("data files, native") << "data" << "1" << int(QFileDialog::AcceptOpen)
                                        << int(QFileDialog::ExistingFiles)
                                        << QStringList{"Itex File (*.img *.his)", "Tiff File (*.tif *.tiff)",
                                                       "Any Files (* *.*)"};
    QTest::newRow("directory, native 2 is not 1") << "dir" << "2" << int(QFileDialog::AcceptOpen)
                                                  << int(QFileDialog::Directory) << QStringList{"(*)"};
}

void TstFilePanels::dialogs()
{
    QFETCH(QString, panel);
    QFETCH(QString, native);
    QFETCH(int, acceptMode);
    QFETCH(int, fileMode);
    QFETCH(QStringList, filters);

    // Looked up in any case.
    options().set("Native_Dialog", native.isEmpty() ? QStringLiteral("0") : native, native);
    setDataRoot(tmp.path());
    std::unique_ptr<QWidget> w;
    std::function<QFileDialog*()> dialog;
    if (panel == "data") {
        auto* p = new SelectDataFiles;
        dialog = [p] { return p->dialog(); };
        w.reset(p);
    } else if (panel == "dir") {
        auto* p = new SelectDir;
        dialog = [p] { return p->dialog(); };
        w.reset(p);
    } else {
        auto* p = panel == "image" ? new SelectAImgFile : new SelectAFile;
        p->setMode(panel == "save" ? 1 : 0);
        dialog = [p] { return p->dialog(); };
        w.reset(p);
    }
    QVERIFY(!dialog());
    QTest::mouseClick(w->findChild<QPushButton*>("Select"), Qt::LeftButton);
    QPointer<QFileDialog> d = dialog();
    QVERIFY(d);
    QVERIFY(!d->isModal());
    QVERIFY(!d->parent());
    QCOMPARE(d->testOption(QFileDialog::DontUseNativeDialog), native != "1");
    QCOMPARE(int(d->acceptMode()), acceptMode);
    QCOMPARE(int(d->fileMode()), fileMode);
    QCOMPARE(d->nameFilters(), filters);
    QCOMPARE(d->directory().absolutePath(), QDir(tmp.path()).absolutePath());

    // Opening again replaces the dialog.
    QTest::mouseClick(w->findChild<QPushButton*>("Select"), Qt::LeftButton);
    QVERIFY(!d);
    QVERIFY(dialog());
    options().set("native_dialog", "0", "0");
}

QTEST_MAIN(TstFilePanels)
#include "tst_filepanels.moc"
