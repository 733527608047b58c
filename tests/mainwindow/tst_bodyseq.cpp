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

// Sets, standard naming, range (set before the directory when kept), stop
// when the first set is calculating, tags reconstructed, I0 images chosen
// (energies of their names), line.
struct SeqRow {
    int sets;
    bool vkr;
    int from, to;
    bool keep, stop;
    QStringList tags, i0s;
    QString line;
};

} // namespace

Q_DECLARE_METATYPE(SeqRow)

// Sequential execution and the viewer link through the main window's wiring.
class TstBodySeq : public QObject
{
    Q_OBJECT

private slots:
    void seqCalc_data()
    {
        QTest::addColumn<SeqRow>("r");
        // 7115 lies between 7110 and 7120: the earlier entry wins.
        QTest::newRow("From 2 To 3 of five, standard naming")
            << SeqRow{5, true, 2, 3, false, false, {"7115_0eV", "7125_0eV"}, {"7110_0eV", "7120_0eV"}, ""};
        QTest::newRow("sub-directories, range kept on the new list")
            << SeqRow{5, false, 4, 5, true, false, {"7135_0", "7145_0"}, {"7120_0eV", "7150_0eV"}, ""};
        QTest::newRow("SeqCalc pressed again at once, then once more")
            << SeqRow{3, true, 1, 3, false, true, {"7105_0eV", "7115_0eV", "7125_0eV"},
                      {"7100_0eV", "7100_0eV", "7110_0eV", "7120_0eV"}, "Sequential calculation stopped"};
    }

    void seqCalc()
    {
        QFETCH(SeqRow, r);
        QTemporaryDir dir;
        QVERIFY(writeSeries(dir.filePath("series"), r.sets, !r.vkr));
        const QString out = dir.filePath("out");
        Body b(nullptr, 2);
        b.loadSetup(writeTextFile(dir.filePath("s.cfg"),
                                  setup(out, QString("auto_save_in_sub_folders 0\nseq_exec_select_i0 %1 *.img\n")
                                                 .arg(dir.filePath("series/i0")))));
        SelectDataDir* panel = b.dataDirPanel();
        auto* fromBox = b.findChild<QSpinBox*>("SeqCalcFrom");
        auto* toBox = b.findChild<QSpinBox*>("SeqCalcTo");
        panel->setIsVKRStandard(r.vkr);
        if (r.keep) {
            b.findChild<QAbstractButton*>("keepOnNewSet")->setChecked(true);
            fromBox->setValue(r.from);
            toBox->setValue(r.to);
        }
        panel->selectDirectory(dir.filePath("series/data"));
        QCOMPARE(panel->dataSets()->count(), r.sets);
        if (!r.keep) {
            QCOMPARE(toBox->value(), std::max(r.sets, 1));
            fromBox->setValue(r.from);
            toBox->setValue(r.to);
        }
        QSignalSpy i0Spy(b.i0ImgSel(), &SelectAFile::fileSelected);
        MessageCapture capture;
        auto* seqCalc = b.findChild<QAbstractButton*>("SeqCalc");
        auto* progress = b.findChild<QLineEdit*>("ProgressMsg");
        const auto sequence = [&] {
            QTRY_COMPARE_WITH_TIMEOUT(progress->text(), QString("Finished"), 120000);
            QTRY_VERIFY_WITH_TIMEOUT(!b.isRunning() && !b.anyWorkerBusy() && !b.isLoading(), 60000);
            QCOMPARE(seqCalc->styleSheet(), idleStyle);
        };
        if (r.stop) {
            // Stopped while the first set loads: the load ends, nothing is
            // reconstructed, and the next start runs the whole range.
            seqCalc->click();
            seqCalc->click();
            sequence();
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(capture.count(r.line), 1);
            QTRY_COMPARE(filesUnder(out), QStringList());
            progress->clear();
        }
        seqCalc->click();
        sequence();
        if (QTest::currentTestFailed())
            return;

        QStringList expected;
        for (const QString& t : r.tags)
            expected << t + "-00008.dat" << t + "-00016.dat";
        expected.sort();
        QTRY_COMPARE(filesUnder(out), expected);
        QStringList chosen;
        for (const QList<QVariant>& args : i0Spy)
            chosen << args.at(0).toString().section('-', -2, -2);
        QCOMPARE(chosen, r.i0s);
        QCOMPARE(b.dataSaveDirSelector()->tag(), r.tags.isEmpty() ? QString() : r.tags.last());
        QCOMPARE(capture.count("Sequential calculation stopped"), r.line.isEmpty() ? 0 : 1);
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
