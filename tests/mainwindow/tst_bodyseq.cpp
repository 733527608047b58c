#include "app/optiontable.h"
#include "control/batch.h"
#include "control/tesselalink.h"
#include "control/widgets/selectdatadir.h"
#include "input/imgdatas.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/body.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

const QString idleStyle = "background-color: rgb(213, 245, 255);";

// Sets of 64 x 24 at 7105, 7115, ... eV; I0 images at 7100, 7110, 7120, 7150.
bool writeSeries(const QString& root, int sets, bool subDirs)
{
    if (sets == 0)
        return QDir().mkpath(root + "/data");
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
    return QString("ct_rot_ax_is_h 0\nct_cor 31.5\ncalc_ct2 1\nct_auto_exec 1\nct_slice_from 8\nct_slice_to 16\nct_slice_step 8\n"
                   "auto_save_data 1\nauto_save_data_path %1\n%2")
        .arg(out, extra);
}

// A stand-in for the viewer: records every line and answers every request
// with a busy report and then its end.
struct StandInViewer {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QStringList received;
    QByteArray rest;

    bool listen()
    {
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [this] {
                rest += peer->readAll();
                for (int nl; (nl = rest.indexOf('\n')) >= 0; rest.remove(0, nl + 1)) {
                    const QString line = QString::fromLatin1(rest.left(nl));
                    received << line;
                    if (!line.startsWith("myName"))
                        peer->write("ISBUSY 1\nISBUSY 0 " + line.section(' ', 0, 0).toLatin1() + "\n");
                }
            });
        });
        return server.listen(QHostAddress::LocalHost);
    }
};

} // namespace

// Sequential execution and the viewer link through the main window's wiring.
class TstBodySeq : public QObject
{
    Q_OBJECT

private slots:
    // Each row: sets, standard naming, range (set before the directory when
    // kept), stop when the first set is calculating, tags reconstructed,
    // I0 images chosen (energies of their names), lines.
    void seqCalc_data()
    {
        QTest::addColumn<int>("sets");
        QTest::addColumn<bool>("vkr");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QStringList>("i0s");
        QTest::addColumn<QString>("line");
        // 7115 lies between 7110 and 7120: the earlier entry wins.
        QTest::newRow("From 2 To 3 of five, standard naming")
            << 5 << true << 2 << 3 << false << false << QStringList{"7115_0eV", "7125_0eV"}
            << QStringList{"7110_0eV", "7120_0eV"} << QString();
        QTest::newRow("sub-directories, range kept on the new list")
            << 5 << false << 4 << 5 << true << false << QStringList{"7135_0", "7145_0"}
            << QStringList{"7120_0eV", "7150_0eV"} << QString();
        QTest::newRow("SeqCalc pressed again at once, then once more")
            << 3 << true << 1 << 3 << false << true << QStringList{"7105_0eV", "7115_0eV", "7125_0eV"}
            << QStringList{"7100_0eV", "7100_0eV", "7110_0eV", "7120_0eV"}
            << "Sequential calculation stopped";
        QTest::newRow("empty directory") << 0 << false << 1 << 1 << false << false << QStringList() << QStringList()
                                         << QString();
    }

    void seqCalc()
    {
        QFETCH(int, sets);
        QFETCH(bool, vkr);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, keep);
        QFETCH(bool, stop);
        QFETCH(QStringList, tags);
        QFETCH(QStringList, i0s);
        QFETCH(QString, line);
        QTemporaryDir dir;
        QVERIFY(writeSeries(dir.filePath("series"), sets, !vkr));
        const QString out = dir.filePath("out");
        Body b(nullptr, 2);
        b.loadSetup(writeTextFile(dir.filePath("s.cfg"),
                                  setup(out, QString("auto_save_in_sub_folders 0\nseq_exec_select_i0 %1 *.img\n")
                                                 .arg(dir.filePath("series/i0")))));
        SelectDataDir* panel = b.dataDirPanel();
        auto* fromBox = b.findChild<QSpinBox*>("SeqCalcFrom");
        auto* toBox = b.findChild<QSpinBox*>("SeqCalcTo");
        panel->setIsVKRStandard(vkr);
        if (keep) {
            b.findChild<QAbstractButton*>("keepOnNewSet")->setChecked(true);
            fromBox->setValue(from);
            toBox->setValue(to);
        }
        panel->selectDirectory(dir.filePath("series/data"));
        QCOMPARE(panel->dataSets()->count(), sets);
        if (!keep) {
            QCOMPARE(toBox->value(), std::max(sets, 1));
            fromBox->setValue(from);
            toBox->setValue(to);
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
        if (stop) {
            // Stopped while the first set loads: the load ends, nothing is
            // reconstructed, and the next start runs the whole range.
            seqCalc->click();
            seqCalc->click();
            sequence();
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(capture.count(line), 1);
            QTRY_COMPARE(filesUnder(out), QStringList());
            progress->clear();
        }
        seqCalc->click();
        sequence();
        if (QTest::currentTestFailed())
            return;

        QStringList expected;
        for (const QString& t : tags)
            expected << t + "-00008.dat" << t + "-00016.dat";
        expected.sort();
        QTRY_COMPARE(filesUnder(out), expected);
        QStringList chosen;
        for (const QList<QVariant>& args : i0Spy)
            chosen << args.at(0).toString().section('-', -2, -2);
        QCOMPARE(chosen, i0s);
        QCOMPARE(b.dataSaveDirSelector()->tag(), tags.isEmpty() ? QString() : tags.last());
        QCOMPARE(capture.count("Sequential calculation stopped"), line.isEmpty() ? 0 : 1);
    }

    // Slices 10, 15, 20 saved in folders of their own, then handed to a
    // stand-in viewer: by the Cont2DA button, by the batch command (which
    // holds the batch until the range is done), by a click on the raw
    // image; a viewer that is not running lets the batch go on.
    void viewerLink_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("viewerUp");
        QTest::addColumn<QList<int>>("slices");
        QTest::addColumn<bool>("analysed");
        QTest::newRow("Cont2DA button") << "button" << true << QList<int>{10, 15, 20} << true;
        QTest::newRow("tesselaLink_cont_2da") << "batch" << true << QList<int>{10, 15, 20} << true;
        QTest::newRow("raw image click, Send Msg. on") << "click" << true << QList<int>{15} << false;
        QTest::newRow("tesselaLink_cont_2da, no viewer") << "batch" << false << QList<int>() << false;
    }

    void viewerLink()
    {
        QFETCH(QString, how);
        QFETCH(bool, viewerUp);
        QFETCH(QList<int>, slices);
        QFETCH(bool, analysed);
        QTemporaryDir dir;
        QVERIFY(writeSeries(dir.filePath("series"), 1, false));
        StandInViewer viewer;
        QVERIFY(viewer.listen());
        const quint16 port = viewer.server.serverPort();
        if (!viewerUp)
            viewer.server.close();
        options().set("Tessela", "127.0.0.1", QString("127.0.0.1 %1").arg(port));
        Body b(nullptr, 2);
        if (viewerUp)
            QTRY_VERIFY(b.viewerLink()->isLinked() && viewer.received.size() == 1);
        const QString out = dir.filePath("out");
        b.loadSetup(writeTextFile(dir.filePath("s.cfg"), setup(out, "ct_slice_from 10\nct_slice_to 20\nct_slice_step 5\n")));
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
            connect(b.batchInterpreter(), &Batch::batchRunEnded, this, [&] { heardAtEnd = int(viewer.received.size()); });
            b.batchLoad(writeTextFile(dir.filePath("b.bat"), "tesselaLink_cont_2da\n"));
            b.batchExec();
            QTRY_VERIFY(heardAtEnd >= 0);
        }
        QStringList expected;
        if (viewerUp)
            expected << "myName Fenu2";
        for (int s : slices) {
            const QString folder = QDir::toNativeSeparators(QDir(out).absoluteFilePath(QString("%1").arg(s, 5, 10, QChar('0')))) + QDir::separator();
            expected << QString("LOAD_I1_FILES_OF_PATTERN new %1 *.dat").arg(folder);
            if (analysed)
                expected << QString("ANALYZER_EXEC_2DA %1").arg(s, 5, 10, QChar('0'));
        }
        QTRY_COMPARE(viewer.received, expected);
        QTRY_COMPARE(b.findChild<QWidget*>("Cont2DA")->styleSheet(), idleStyle);
        QTRY_COMPARE(b.findChild<QWidget*>("TSLIsBusy")->styleSheet(), QString("background-color: rgb(211, 255, 241);"));
        if (how == "batch")
            QCOMPARE(heardAtEnd, int(expected.size()));
        if (!viewerUp)
            QCOMPARE(capture.count("Tessela is not linked; continuous 2DA not started"), 1);
    }

    void cleanupTestCase() { options().set("Tessela", "localhost", "localhost 6078"); }
};

QTEST_MAIN(TstBodySeq)
#include "tst_bodyseq.moc"
