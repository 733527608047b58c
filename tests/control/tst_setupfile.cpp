#include "app/linetokens.h"
#include "control/batch.h"
#include "control/setupfile.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

class TstSetupFile : public QObject
{
    Q_OBJECT

private slots:
    // A text in a setup line comes back whole, also through a batch file's comment removal.
    void textRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("path with blanks") << "/data/2026B beam time/ct";
        QTest::newRow("hash") << "run#3";
        QTest::newRow("apostrophe and blank") << "Tom's data";
        QTest::newRow("double quote inside") << "a\"b";
        QTest::newRow("empty") << "";
    }

    void textRoundTrip()
    {
        QFETCH(QString, text);
        const QString l = setupLine(QStringLiteral("auto_save_data_name"), {setupQuotedText(text)});
        QCOMPARE(BatchCmd::parse(l).textArg(), text);
        QCOMPARE(BatchCmd::parse(removeComment(l)).textArg(), text);
    }

    // Reals in the text stream's default form; a long name keeps one blank;
    // a relative file is saved with its absolute directory.
    void valueTexts()
    {
        QCOMPARE(setupLine("ct_cor", {setupRealText(1e-6), setupRealText(1e6), setupRealText(123456789.0),
                                      setupRealText(1.0 / 3.0), setupRealText(1e-4), setupIntText(-3)}),
                 QStringLiteral("ct_cor                    1e-06 1e+06 1.23457e+08 0.333333 0.0001 -3"));
        QCOMPARE(setupLine("auto_save_in_sub_folders_of_energy", {setupFlagText(false)}),
                 QStringLiteral("auto_save_in_sub_folders_of_energy 0"));
        const BatchCmd rel = BatchCmd::parse(setupLine("x", setupDirPatterns(QStringLiteral("sub/i0.his"))));
        QCOMPARE(rel.dirArg(), QDir::current().absoluteFilePath("sub"));
        QCOMPARE(rel.patternArgs(), QStringList{"*.his"});
    }

    // A file that can't be opened, or a data file picked by mistake (refused, not read into memory).
    void unreadableFiles()
    {
        QTemporaryDir dir;
        const QString missing = QStringLiteral("/nonexistent/dir/setup.txt"), huge = dir.filePath("huge.cfg");
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(kMaxCommandFileBytes + 1));
        f.close();
        MessageCapture capture;
        SetupFileWriter w;
        QVERIFY(!w.open(missing) && !w.commit());
        for (const QString& name : {missing, huge}) {
            bool ok = true;
            QVERIFY(readSetupFile(name, &ok).isEmpty() && !ok);
        }
        Batch batch;
        batch.batchLoad(huge);
        const QString cantOpen = "can't open save setup file : " + missing;
        QCOMPARE(capture.lines(), (QStringList{cantOpen, cantOpen, "Setup file too large : " + huge,
                                               "Batch file too large " + huge}));
    }

    // The old setup stays until a commit: neither writing nor dropping an uncommitted writer
    // touches it, nor does a disk that fills up half-way (here a file size limit).
    void oldFileKeptUntilCommit()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("setup.txt"));
        QVERIFY(!writeTextFile(name, "old setup\n").isEmpty());
        MessageCapture capture;
        {
            SetupFileWriter dropped;
            QVERIFY(dropped.open(name));
            dropped.command(QStringLiteral("ct_cor"), {setupRealText(1.5)});
        }
        SetupFileWriter w;
        QVERIFY(w.open(name));
        for (int i = 0; i < 100; ++i)
            w.command(QStringLiteral("ct_cor"), {setupRealText(i)});
        QCOMPARE(readSetupFile(name).value(0).name, QStringLiteral("old"));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit small = before;
        small.rlim_cur = 256;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool committed = w.commit();
        setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(!committed);
        QCOMPARE(capture.lines(), QStringList("can't write save setup file : " + name));
        QCOMPARE(readSetupFile(name).value(0).name, QStringLiteral("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList("setup.txt"));
        SetupFileWriter good;
        QVERIFY(good.open(name));
        good.command(QStringLiteral("ct_cor"), {setupRealText(1.5)});
        QVERIFY(good.commit());
        QCOMPARE(readSetupFile(name).value(2).realArg(), 1.5);
    }
};

QTEST_GUILESS_MAIN(TstSetupFile)
#include "tst_setupfile.moc"
