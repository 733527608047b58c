#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

// A window-less run of 64 slices of a 1024-pixel-wide phantom on 64 threads
// (so that many slices are under way), saving data and pictures into %1.
static const QString kRun = "ct_rot_ax_is_h 0\nct_cor 511.5\nimages_load phantom proj-*.img\n"
                            "i0_load phantom/flat.img\nbg_load phantom/dark.img\ncalc_ct2 1\nct_auto_exec 1\n"
                            "ct_threads 64\nct_slice_from 0\nct_slice_to 63\nct_slice_step 1\n"
                            "auto_save_in_sub_folders 0\nauto_save_data 1\n"
                            "auto_save_data_path %1\nauto_save_data_tag t\nauto_save_image 1\n"
                            "auto_save_image_path %1\nauto_save_image_tag t\ncalc_exec\n:echo still going\n";

// Ctrl+C or SIGTERM on a long window-less batch: begun slices reach the disk
// whole, nothing new starts, the exit status says the run was cut short.
// (What a SIGKILL leaves is tst_parts' resumed run and tst_datasaver's.)
class TstInterrupt : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    // Starts kRun and sends signo once a slice is reported done. Returns the
    // console output; stderr goes to *diagnostics.
    QByteArray signalMidRun(QProcess& p, const QString& out, int signo, QByteArray* diagnostics)
    {
        const QString phantom = dir.filePath("phantom");
        const bool made = QFile::exists(phantom) || writePhantomFiles(phantom, 1024, 64, 360);
        const QString batch = made ? writeTextFile(dir.filePath(out + ".bat"), kRun.arg(out)) : QString();
        if (batch.isEmpty())
            return QByteArray();
        p.setWorkingDirectory(dir.path());
        p.start(FENU2_EXE, {"-nw", "-e", "-b", batch, "-x"});
        QByteArray console;
        const bool reached = p.waitForStarted() && QTest::qWaitFor([&] {
            console += p.readAllStandardOutput();
            return console.contains(" done: ") || p.state() == QProcess::NotRunning;
        }, 120000);
        // processId() is 0 once the program has ended, and kill(0) would hit this test's own group.
        if (!reached || p.processId() <= 0 || ::kill(pid_t(p.processId()), signo) != 0)
            return QByteArray();
        p.waitForFinished(60000);
        *diagnostics = p.readAllStandardError();
        return console + p.readAllStandardOutput();
    }

private slots:
    void interruptKeepsBegunSlices_data()
    {
        QTest::addColumn<int>("signo");
        QTest::newRow("Ctrl+C") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }

    void interruptKeepsBegunSlices()
    {
        QFETCH(int, signo);
        const QString out = QString("out%1").arg(signo);
        QProcess p;
        QByteArray diagnostics;
        const QByteArray console = signalMidRun(p, out, signo, &diagnostics);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == 128 + signo, console + diagnostics);
        QVERIFY(!diagnostics.contains(":echo still going"));

        // Exactly the slices reported done are on disk, each one whole.
        QStringList expected;
        static const QRegularExpression doneLine("^Slice (\\d+) done: ", QRegularExpression::MultilineOption);
        for (const QRegularExpressionMatch& m : doneLine.globalMatch(QString::fromUtf8(console))) {
            const QString s = QString::asprintf("t-%05d", m.captured(1).toInt());
            expected << s + ".dat" << s + ".png";
        }
        QVERIFY2(!expected.isEmpty() && expected.size() < 2 * 64, "the interrupt must fall inside the run");
        QVERIFY(console.contains(QString("Reconstruction run ended: %1 slices").arg(expected.size() / 2).toUtf8()));
        expected.sort();
        QCOMPARE(filesUnder(dir.filePath(out)), expected);
        for (const QString& f : expected) {
            const QString path = dir.filePath(out + "/" + f);
            QVERIFY2(f.endsWith(".png") ? !QImage(path).isNull() : dataFileWhole(path), qPrintable(f));
        }
    }
};

QTEST_GUILESS_MAIN(TstInterrupt)
#include "tst_interrupt.moc"
