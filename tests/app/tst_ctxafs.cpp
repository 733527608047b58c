#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QFile>
#include <QtTest>

// A CT-XAFS energy series reconstructed by a window-less batch loop, set by
// set, against the same sets reconstructed one by one with the I0 image
// nearest in energy chosen by hand.
class TstCtXafs : public QObject
{
    Q_OBJECT

private slots:
    // Sets in sub-directories: tst_seqexec and tst_bodyseq.
    void seriesLoop()
    {
        QTemporaryDir dir;
        const QStringList phantomArgs{"--energies", "7105,7115,7125", "--i0-energies", "7100,7110,7120,7150",
                                      "-W", "128", "-H", "32", "-n", "90", "-o", "series"};
        const ProcessResult made = runProcess(FENU2_PHANTOM_EXE, phantomArgs, dir.path());
        QVERIFY2(made.exitCode == 0, qPrintable(made.output));
        const QString batch = FENU2_SOURCE_DIR "/resources/ctxafs.bat";
        const ProcessResult loop = runProcess(FENU2_EXE, {"-nw", "-e", "-b", batch, "-x"}, dir.path(), 300000);
        QVERIFY2(loop.finished && loop.exitCode == 0, qPrintable(loop.output));

        // The same settings, each set alone with the I0 image nearest in
        // energy (the earlier one on a tie).
        const QStringList tags{"7105_0eV", "7115_0eV", "7125_0eV"};
        const QStringList nearestI0{"7100_0eV", "7110_0eV", "7120_0eV"};
        QString single = "images_new_on_load 1\n" + readShipped();
        single.truncate(single.indexOf("add_inf_VKR_standard"));
        single.replace("auto_save_data_path       results", "auto_save_data_path       single");
        QStringList expected;
        for (int k = 0; k < tags.size(); ++k) {
            const QString& tag = tags[k];
            single += QString("images_load series/data proj-%1-*.img\n").arg(tag);
            single += QString("i0_load series/i0/i0-%1-00000.img\nauto_save_data_tag %2\ncalc_exec\n").arg(nearestI0[k], tag);
            for (const char* s : {"00008", "00016", "00024"})
                expected << QString("%1/%1-%2.dat").arg(tag, s);
            QVERIFY2(loop.output.contains(QString("Set %1 of 3 (%2) done: ").arg(k + 1).arg(tag)), qPrintable(loop.output));
        }
        const ProcessResult alone =
            runProcess(FENU2_EXE, {"-nw", "-e", "-b", writeTextFile(dir.filePath("single.bat"), single), "-x"}, dir.path(), 300000);
        QVERIFY2(alone.finished && alone.exitCode == 0, qPrintable(alone.output));

        expected.sort();
        QCOMPARE(filesUnder(dir.filePath("results")), expected);
        QCOMPARE(filesUnder(dir.filePath("single")), expected);
        for (const QString& f : expected)
            QVERIFY2(bytes(dir.filePath("results/" + f)) == bytes(dir.filePath("single/" + f)), qPrintable(f));
    }

private:
    static QString readShipped()
    {
        QFile f(FENU2_SOURCE_DIR "/resources/ctxafs.bat");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    static QByteArray bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
    }
};

QTEST_GUILESS_MAIN(TstCtXafs)
#include "tst_ctxafs.moc"
