#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

// A window-less run of 64 slices of the phantom in folder %1 (CoR %2) on %3
// threads, saving data (also as TIFF when %4 is 1) and pictures into %5.
// The interrupt runs use many threads, so that many slices are under way.
static const QString kRun = "ct_rot_ax_is_h 0\nct_cor %2\nimages_load %1 proj-*.img\n"
                            "i0_load %1/flat.img\nbg_load %1/dark.img\ncalc_ct2 1\nct_auto_exec 1\n"
                            "ct_threads %3\nct_slice_from 0\nct_slice_to 63\nct_slice_step 1\n"
                            "auto_save_in_sub_folders 0\nauto_save_data 1\nauto_save_data_tiff %4\n"
                            "auto_save_data_path %5\nauto_save_data_tag t\nauto_save_image 1\n"
                            "auto_save_image_path %5\nauto_save_image_tag t\ncalc_exec\n:echo still going\n";

// Ctrl+C or SIGTERM on a long window-less batch: begun slices reach the disk
// whole, nothing new starts, the exit status says the run was cut short.
class TstInterrupt : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    // kRun over the phantom of the given width, as <out>.bat.
    QString runBatch(const QString& out, int width, int threads, int tiff)
    {
        const QString phantom = QString("phantom%1").arg(width);
        const bool made = QFile::exists(dir.filePath(phantom))
                          || writePhantomFiles(dir.filePath(phantom), width, 64, width < 1024 ? 180 : 360);
        if (!made)
            return QString();
        return writeTextFile(dir.filePath(out + ".bat"),
                             kRun.arg(phantom).arg(0.5 * (width - 1)).arg(threads).arg(tiff).arg(out));
    }

    // Starts the batch and sends signo once `doneLines` slices are reported
    // done. Returns the console output; stderr goes to *diagnostics.
    QByteArray signalMidRun(QProcess& p, const QString& batch, int doneLines, int signo, QByteArray* diagnostics)
    {
        if (batch.isEmpty())
            return QByteArray();
        p.setWorkingDirectory(dir.path());
        p.start(FENU2_EXE, {"-nw", "-e", "-b", batch, "-x"});
        QByteArray console;
        const bool reached = p.waitForStarted() && QTest::qWaitFor([&] {
            console += p.readAllStandardOutput();
            return console.count(" done: ") >= doneLines || p.state() == QProcess::NotRunning;
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
        const QByteArray console = signalMidRun(p, runBatch(out, 1024, 64, 0), 1, signo, &diagnostics);
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

    // SIGKILL gives the program no chance to tidy up: whatever carries a
    // result's name must still be that result, whole, byte for byte.
    void killLeavesOnlyWholeFiles()
    {
        const QStringList args{"-nw", "-e", "-b", runBatch("ref", 256, 2, 1), "-x"};
        const ProcessResult ref = runProcess(FENU2_EXE, args, dir.path(), 300000);
        QVERIFY2(ref.finished && ref.exitCode == 0, qPrintable(ref.output));
        const QStringList all = filesUnder(dir.filePath("ref"));
        QCOMPARE(all.size(), 3 * 64);

        QProcess p;
        QByteArray diagnostics;
        signalMidRun(p, runBatch("killed", 256, 2, 1), 2, SIGKILL, &diagnostics);
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        int whole = 0;
        QDirIterator it(dir.filePath("killed"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString rel = QDir(dir.filePath("killed")).relativeFilePath(it.next());
            if (it.fileName().startsWith('.')) {
                QVERIFY2(rel.endsWith(".part"), qPrintable(rel)); // a temporary file, never a result's name
                continue;
            }
            QVERIFY2(all.contains(rel), qPrintable(rel));
            QFile a(it.filePath()), b(dir.filePath("ref/" + rel));
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QVERIFY2(a.readAll() == b.readAll(), qPrintable(rel + " differs from the run that was not killed"));
            ++whole;
        }
        QVERIFY2(whole > 0 && whole < all.size(), "the kill must fall inside the run");
    }
};

QTEST_GUILESS_MAIN(TstInterrupt)
#include "tst_interrupt.moc"
