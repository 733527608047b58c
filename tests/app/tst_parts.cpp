#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

namespace {

const QString kBatch = "ct_rot_ax_is_h 0\nct_cor 127.5\nimages_load phantom proj-*.img\n"
                       "i0_load phantom/flat.img\nbg_load phantom/dark.img\ncalc_ct2 1\nct_auto_exec 1\n"
                       "ct_threads 2\nct_slice_from 0\nct_slice_to 39\nct_slice_step 1\n"
                       "auto_save_in_sub_folders 1\nauto_save_in_sub_folders_of_energy 1\n"
                       "auto_save_data 1\nauto_save_data_tiff 1\nauto_save_data_path %1\nauto_save_data_tag t\n"
                       "auto_save_image 1\nauto_save_image_path %1\nauto_save_image_tag t\n%2calc_exec\n";

// Files (hidden ones too) below root with their bytes.
QMap<QString, QByteArray> contents(const QString& root)
{
    QMap<QString, QByteArray> m;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        m.insert(QDir(root).relativeFilePath(f.fileName()), f.open(QIODevice::ReadOnly) ? f.readAll() : "unreadable");
    }
    return m;
}

int count(const QString& text, const char* pattern)
{
    return int(text.count(QRegularExpression(pattern, QRegularExpression::MultilineOption)));
}

QStringList nw(const QString& batch, const QStringList& more = {})
{
    return QStringList{"-nw", "-e", "-b", batch, "-x"} + more;
}

} // namespace

// A batch split over several processes (as Slurm array tasks do) and a run
// resumed after a kill must leave exactly the files of one plain run.
class TstParts : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QMap<QString, QByteArray> reference; // slices 0..39 of kBatch

    QString batch(const QString& name, const QString& out, const QString& extra = {})
    {
        return writeTextFile(dir.filePath(name), kBatch.arg(out, extra));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(writePhantomFiles(dir.filePath("phantom"), 256, 40, 120));
        const ProcessResult r = runProcess(FENU2_EXE, nw(batch("ref.bat", "ref")), dir.path(), 300000);
        QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.output));
        reference = contents(dir.filePath("ref"));
        QCOMPARE(reference.size(), 40 * 3 * 2); // dat, tif, png; tag and slice folders
    }

    // Three parts of 40 slices run at the same time into one folder (the tag
    // folder is shared); every part ends with status 0. Empty parts are
    // tst_runscheduler's.
    void partsMakeOneRun()
    {
        const QList<int> slicesOfPart{13, 13, 14};
        const int parts = int(slicesOfPart.size());
        const QString b = batch("parts.bat", "parts");
        std::vector<std::unique_ptr<QProcess>> ps;
        for (int k = 0; k < parts; ++k) {
            ps.push_back(std::make_unique<QProcess>());
            ps.back()->setWorkingDirectory(dir.path());
            ps.back()->setProcessChannelMode(QProcess::MergedChannels);
            ps.back()->start(FENU2_EXE, nw(b, {"-part", QString("%1/%2").arg(k).arg(parts)}));
        }
        for (int k = 0; k < parts; ++k) {
            QProcess& p = *ps[size_t(k)];
            QVERIFY(p.waitForFinished(300000));
            const QString output = QString::fromLocal8Bit(p.readAll());
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(output));
            QVERIFY2(output.contains(QString("Reconstruction run ended: %1 slices").arg(slicesOfPart[k])), qPrintable(output));
        }
        const QMap<QString, QByteArray> got = contents(dir.filePath("parts"));
        QCOMPARE(got.keys(), reference.keys());
        QVERIFY(got == reference);
    }

    // Killed mid-run, then started again with auto_save_skip_existing: only
    // the missing slices are made; -check tells which ones are missing.
    void resumeAfterKill()
    {
        const QString b = batch("resume.bat", "resume", "auto_save_skip_existing 1\n");
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(FENU2_EXE, nw(b));
        QVERIFY(p.waitForStarted());
        // A slice counts as done when all six of its files are there.
        const auto completeSlices = [&] {
            QMap<QString, int> filesOfSlice;
            for (const QString& f : filesUnder(dir.filePath("resume")))
                ++filesOfSlice[f.right(9).left(5)];
            return int(std::count(filesOfSlice.cbegin(), filesOfSlice.cend(), 6));
        };
        QVERIFY(QTest::qWaitFor([&] { return completeSlices() >= 2 || p.state() == QProcess::NotRunning; }, 120000));
        QVERIFY2(p.processId() > 0, "the run ended before the kill"); // kill(0) would hit this test's own group
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        const int done = completeSlices();
        QVERIFY2(done >= 1 && done < 40, qPrintable(QString("the kill must fall inside the run: %1 slices done").arg(done)));

        const ProcessResult check = runProcess(FENU2_EXE, nw(b, {"-check"}), dir.path(), 120000);
        QVERIFY2(check.finished && check.exitCode == 6, qPrintable(check.output));
        QCOMPARE(count(check.output, "^Slice \\d+ misses \\d of its result files: "), 40 - done);
        QVERIFY2(check.output.contains(QString("Checked 40 slices: %1 without all their result files").arg(40 - done)),
                 qPrintable(check.output));

        const ProcessResult again = runProcess(FENU2_EXE, nw(b), dir.path(), 300000);
        QVERIFY2(again.finished && again.exitCode == 0, qPrintable(again.output));
        QCOMPARE(count(again.output, "^Slice \\d+ done: "), 40 - done);
        QVERIFY2(again.output.contains(QString("Reconstruction run ended: %1 slices, ").arg(40 - done))
                     && again.output.contains(QString(", %1 slices skipped").arg(done)),
                 qPrintable(again.output));

        QMap<QString, QByteArray> got = contents(dir.filePath("resume"));
        got.removeIf([](const auto& it) { return it.key().section('/', -1).startsWith('.'); }); // the killed run's temporaries
        QCOMPARE(got.keys(), reference.keys());
        QVERIFY(got == reference);
        const ProcessResult after = runProcess(FENU2_EXE, nw(b, {"-check"}), dir.path(), 120000);
        QVERIFY2(after.finished && after.exitCode == 0, qPrintable(after.output));
    }
};

QTEST_GUILESS_MAIN(TstParts)
#include "tst_parts.moc"
