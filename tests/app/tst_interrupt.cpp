#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

// Ctrl+C or SIGTERM on a long window-less batch: begun slices reach the disk
// whole, nothing new starts, the exit status says the run was cut short.
class TstInterrupt : public QObject
{
    Q_OBJECT

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
        QTemporaryDir dir;
        QVERIFY(writePhantomFiles(dir.filePath("phantom"), 1024, 64, 360));
        const QString batch = writeTextFile(dir.filePath("run.bat"),
                                            "ct_rot_ax_is_h 0\nct_cor 511.5\nimages_load phantom proj-*.img\n"
                                            "i0_load phantom/flat.img\nbg_load phantom/dark.img\n"
                                            "calc_ct2 1\nct_auto_exec 1\nct_threads 64\n"
                                            "ct_slice_from 0\nct_slice_to 63\nct_slice_step 1\n"
                                            "auto_save_in_sub_folders 0\n"
                                            "auto_save_data 1\nauto_save_data_path out\nauto_save_data_tag t\n"
                                            "auto_save_image 1\nauto_save_image_path out\nauto_save_image_tag t\n"
                                            "calc_exec\n:echo still going\n");
        QVERIFY(!batch.isEmpty());
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(FENU2_EXE, {"-nw", "-e", "-b", batch, "-x"});
        QVERIFY(p.waitForStarted());
        QByteArray console;
        QVERIFY(QTest::qWaitFor([&] {
            console += p.readAllStandardOutput();
            return console.contains(" done: ") || p.state() == QProcess::NotRunning;
        }, 120000));
        ::kill(pid_t(p.processId()), signo);
        QVERIFY(p.waitForFinished(60000));
        console += p.readAllStandardOutput();
        const QByteArray diagnostics = p.readAllStandardError();
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
        QCOMPARE(filesUnder(dir.filePath("out")), expected);
        for (const QString& f : expected) {
            const QString path = dir.filePath("out/" + f);
            QVERIFY2(f.endsWith(".png") ? !QImage(path).isNull() : dataFileWhole(path), qPrintable(f));
        }
    }

    // SIGKILL gives the program no chance to tidy up: whatever carries a
    // result's name must still be that result, whole, byte for byte.
    void killLeavesOnlyWholeFiles()
    {
        QTemporaryDir dir;
        QVERIFY(writePhantomFiles(dir.filePath("phantom"), 256, 64, 180));
        const QString body = "ct_rot_ax_is_h 0\nct_cor 127.5\nimages_load phantom proj-*.img\n"
                             "i0_load phantom/flat.img\nbg_load phantom/dark.img\ncalc_ct2 1\nct_auto_exec 1\n"
                             "ct_threads 2\nct_slice_from 0\nct_slice_to 63\nct_slice_step 1\n"
                             "auto_save_data 1\nauto_save_data_tiff 1\nauto_save_data_path %1\nauto_save_data_tag t\n"
                             "auto_save_image 1\nauto_save_image_path %1\nauto_save_image_tag t\ncalc_exec\n";
        const QString refBatch = writeTextFile(dir.filePath("ref.bat"), body.arg("ref"));
        const QString killBatch = writeTextFile(dir.filePath("kill.bat"), body.arg("out"));
        QVERIFY(!refBatch.isEmpty() && !killBatch.isEmpty());
        const ProcessResult ref = runProcess(FENU2_EXE, {"-nw", "-e", "-b", refBatch, "-x"}, dir.path(), 300000);
        QVERIFY2(ref.finished && ref.exitCode == 0, qPrintable(ref.output));
        const QStringList all = filesUnder(dir.filePath("ref"));
        QCOMPARE(all.size(), 3 * 64);

        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(FENU2_EXE, {"-nw", "-e", "-b", killBatch, "-x"});
        QVERIFY(p.waitForStarted());
        QByteArray console;
        QVERIFY(QTest::qWaitFor([&] {
            console += p.readAllStandardOutput();
            return console.count(" done: ") >= 2 || p.state() == QProcess::NotRunning;
        }, 120000));
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);

        int whole = 0;
        QDirIterator it(dir.filePath("out"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString rel = QDir(dir.filePath("out")).relativeFilePath(it.next());
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
