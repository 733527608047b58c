#include "app/optiontable.h"
#include "control/batch.h"
#include "control/tesselalink.h"
#include "control/widgets/selectdatadir.h"
#include "input/imgdatas.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/body.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/standinviewer.h"
#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

namespace {

const QString idleStyle = "background-color: rgb(213, 245, 255);";

// Sets of 64 x 24 at 7105, 7115, ... eV; I0 images at 7100, 7110, 7120, 7150.
bool writeSeries(const QString& root, int sets, bool subDirs)
{
    PhantomSpec s;
    s.width = 64;
    s.height = 24;
    s.projections = 24;
    s.cor = 31.5;
    PhantomSeries series;
    for (int k = 0; k < sets; ++k)
        series.energies << 7105 + 10 * k;
    series.i0Energies = {7100, 7110, 7120, 7150};
    series.subDirs = subDirs;
    PhantomOutput out;
    out.dir = root;
    return writePhantomEnergySeries(s, series, out);
}

QString setup(const QString& out, const QString& extra)
{
    return QString("ct_rot_ax_is_h 0\nct_cor 31.5\ncalc_ct2 1\nct_auto_exec 1\n"
                   "ct_slice_from 8\nct_slice_to 16\nct_slice_step 8\n"
                   "auto_save_data 1\nauto_save_data_path %1\n%2")
        .arg(out, extra);
}

} // namespace

// Sequential execution and the viewer link through the main window's wiring.
class TstBodySeq : public QObject
{
    Q_OBJECT

private slots:
    // Sets in sub-directories, From 4 To 5 of five set before the directory
    // and kept on the new list, the I0 image nearest in energy for each (the
    // earlier on a tie). Set lists, ranges and stops are tst_seqexec's.
    void seqCalc()
    {
        QTemporaryDir dir;
        QVERIFY(writeSeries(dir.filePath("series"), 5, true));
        const QString out = dir.filePath("out");
        Body b(nullptr, 2);
        b.loadSetup(writeTextFile(dir.filePath("s.cfg"),
                                  setup(out, QString("auto_save_in_sub_folders 0\nseq_exec_select_i0 %1 *.img\n")
                                                 .arg(dir.filePath("series/i0")))));
        SelectDataDir* panel = b.dataDirPanel();
        panel->setIsVKRStandard(false);
        b.findChild<QAbstractButton*>("keepOnNewSet")->setChecked(true);
        b.findChild<QSpinBox*>("SeqCalcFrom")->setValue(4);
        b.findChild<QSpinBox*>("SeqCalcTo")->setValue(5);
        panel->selectDirectory(dir.filePath("series/data"));
        QCOMPARE(panel->dataSets()->count(), 5);
        QSignalSpy i0Spy(b.i0ImgSel(), &SelectAFile::fileSelected);
        auto* seqCalc = b.findChild<QAbstractButton*>("SeqCalc");
        seqCalc->click();
        auto* progress = b.findChild<QLineEdit*>("ProgressMsg");
        QTRY_COMPARE_WITH_TIMEOUT(progress->text(), QString("Finished"), 120000);
        QTRY_VERIFY_WITH_TIMEOUT(!b.isRunning() && !b.anyWorkerBusy() && !b.isLoading(), 60000);
        QCOMPARE(seqCalc->styleSheet(), idleStyle);
        const QStringList files{"7135_0-00008.dat", "7135_0-00016.dat",
                                "7145_0-00008.dat", "7145_0-00016.dat"};
        QTRY_COMPARE(filesUnder(out), files);
        QStringList chosen;
        for (const QList<QVariant>& args : i0Spy)
            chosen << args.at(0).toString().section('-', -2, -2);
        QCOMPARE(chosen, (QStringList{"7120_0eV", "7150_0eV"}));
        QCOMPARE(b.dataSaveDirSelector()->tag(), QStringLiteral("7145_0"));
    }

    // Slices 10, 15, 20 saved in folders of their own, then handed to a
    // stand-in viewer: by the Cont2DA button, by the batch command (which
    // holds the batch until the range is done), by a click on the raw
    // image (loaded, not analysed); a viewer that is not running lets the
    // batch go on.
    void viewerLink_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("viewerUp");
        QTest::addColumn<QList<int>>("slices");
        QTest::newRow("Cont2DA button") << "button" << true << QList<int>{10, 15, 20};
        QTest::newRow("tesselaLink_cont_2da") << "batch" << true << QList<int>{10, 15, 20};
        QTest::newRow("raw image click, Send Msg. on") << "click" << true << QList<int>{15};
        QTest::newRow("tesselaLink_cont_2da, no viewer") << "batch" << false << QList<int>();
    }

    void viewerLink()
    {
        QFETCH(QString, how);
        QFETCH(bool, viewerUp);
        QFETCH(QList<int>, slices);
        QTemporaryDir dir;
        QVERIFY(writeSeries(dir.filePath("series"), 1, false));
        StandInViewer viewer;
        QVERIFY(viewer.server.isListening());
        const quint16 port = viewer.server.serverPort();
        if (!viewerUp)
            viewer.server.close();
        options().set("Tessela", "127.0.0.1", QString("127.0.0.1 %1").arg(port));
        Body b(nullptr, 2);
        if (viewerUp)
            QTRY_VERIFY(b.viewerLink()->isLinked() && viewer.got.size() == 1);
        const QString out = dir.filePath("out");
        b.loadSetup(writeTextFile(dir.filePath("s.cfg"),
                                  setup(out, "ct_slice_from 10\nct_slice_to 20\nct_slice_step 5\n")));
        b.ctFiles()->selectFilesIn(dir.filePath("series/data"), {"*.img"});
        QTRY_VERIFY(!b.isLoading());
        b.startCalcCt();
        QTRY_VERIFY_WITH_TIMEOUT(!b.isRunning() && !b.anyWorkerBusy(), 60000);

        MessageCapture capture;
        int heardAtEnd = -1;
        if (how == "button") {
            b.findChild<QAbstractButton*>("Cont2DA")->click();
        } else if (how == "click") {
            b.selectedAPointInRawImg(3, 15.4, MouseC::MStat(0));
        } else {
            connect(b.batchInterpreter(), &Batch::batchRunEnded, this,
                    [&] { heardAtEnd = int(viewer.got.size()); });
            b.batchLoad(writeTextFile(dir.filePath("b.bat"), "tesselaLink_cont_2da\n"));
            b.batchExec();
            QTRY_VERIFY(heardAtEnd >= 0);
        }
        QStringList expected;
        if (viewerUp)
            expected << "myName Fenu2";
        for (int s : slices) {
            const QString name = QString("%1").arg(s, 5, 10, QChar('0'));
            const QString folder = QDir::toNativeSeparators(QDir(out).absoluteFilePath(name) + '/');
            expected << QString("LOAD_I1_FILES_OF_PATTERN new %1 *.dat").arg(folder);
            if (how != "click")
                expected << "ANALYZER_EXEC_2DA " + name;
        }
        QTRY_COMPARE(viewer.got, expected);
        QTRY_COMPARE(b.findChild<QWidget*>("Cont2DA")->styleSheet(), idleStyle);
        QTRY_COMPARE(b.findChild<QWidget*>("TSLIsBusy")->styleSheet(),
                     QString("background-color: rgb(211, 255, 241);"));
        if (how == "batch")
            QCOMPARE(heardAtEnd, int(expected.size()));
        if (!viewerUp)
            QCOMPARE(capture.count("Tessela is not linked; continuous 2DA not started"), 1);
    }

    void cleanupTestCase() { options().set("Tessela", "localhost", "localhost 6078"); }
};

QTEST_MAIN(TstBodySeq)
#include "tst_bodyseq.moc"
