#include "app/linetokens.h"
#include "control/setupfile.h"
#include "tests/support/testutil.h"

#include <QtTest>

class TstSetupFile : public QObject
{
    Q_OBJECT

private slots:
    void line_data();
    void line();
    void realText_data();
    void realText();
    void textRoundTrip_data();
    void textRoundTrip();
    void dirPatterns();
    void writeAndRead();
    void failedOpen_data();
    void failedOpen();
    void saveKeepsOldFileUntilCommit();
};

void TstSetupFile::line_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short name padded") << "ct_cor" << QStringList{"12.5"}
                                       << "ct_cor" + QString(19, ' ') + " 12.5";
    QTest::newRow("name of 25") << "auto_save_data_lower_limi" << QStringList{"-1"}
                                << "auto_save_data_lower_limi -1";
    QTest::newRow("name of 34 still gets a blank") << "auto_save_in_sub_folders_of_energy" << QStringList{"1"}
                                                   << "auto_save_in_sub_folders_of_energy 1";
    QTest::newRow("two values") << "ct_recorded_cor_1" << QStringList{"100", "255.5"}
                                << "ct_recorded_cor_1" + QString(8, ' ') + " 100 255.5";
}

void TstSetupFile::line()
{
    QFETCH(QString, name);
    QFETCH(QStringList, values);
    QFETCH(QString, expected);
    const QString l = setupLine(name, values);
    QCOMPARE(l, expected);
    const BatchCmd cmd = BatchCmd::parse(l);
    QCOMPARE(cmd.name, name);
    QCOMPARE(cmd.args, values);
}

void TstSetupFile::realText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("12.5") << 12.5 << "12.5";
    QTest::newRow("1e-06") << 1e-6 << "1e-06";
    QTest::newRow("100000") << 100000.0 << "100000";
    QTest::newRow("1e+06") << 1e6 << "1e+06";
    QTest::newRow("rounded to 6 digits") << 123456789.0 << "1.23457e+08";
    QTest::newRow("third") << 1.0 / 3.0 << "0.333333";
    QTest::newRow("negative") << -0.25 << "-0.25";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("0.0001") << 1e-4 << "0.0001";
}

void TstSetupFile::realText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(setupRealText(value), text);
}

// A text written into a setup line comes back whole when the line is parsed,
// also when the line was pasted into a batch file (comment removal first).
void TstSetupFile::textRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "proj";
    QTest::newRow("path with blanks") << "/data/2026B beam time/ct";
    QTest::newRow("leading and trailing blanks") << "  tag ";
    QTest::newRow("tab") << "a\tb";
    QTest::newRow("hash") << "run#3";
    QTest::newRow("apostrophe") << "it's";
    QTest::newRow("apostrophe and blank") << "Tom's data";
    QTest::newRow("double quote inside") << "a\"b";
    QTest::newRow("empty") << "";
}

void TstSetupFile::textRoundTrip()
{
    QFETCH(QString, text);
    const QString l = setupLine(QStringLiteral("auto_save_data_name"), {setupQuotedText(text)});
    QCOMPARE(BatchCmd::parse(l).textArg(), text);
    QCOMPARE(BatchCmd::parse(removeComment(l)).textArg(), text);
}

void TstSetupFile::dirPatterns()
{
    const QStringList abs = setupDirPatterns(QStringLiteral("/data/my set/proj-00000.img"));
    const BatchCmd cmd = BatchCmd::parse(setupLine(QStringLiteral("seq_exec_select_i0"), abs));
    QCOMPARE(cmd.dirArg(), QStringLiteral("/data/my set"));
    QCOMPARE(cmd.patternArgs(), QStringList{"*.img"});

    const QStringList rel = setupDirPatterns(QStringLiteral("sub/i0.his"));
    QCOMPARE(BatchCmd::parse(setupLine(QStringLiteral("x"), rel)).dirArg(), QDir::current().absoluteFilePath("sub"));
    QCOMPARE(rel.value(1), QStringLiteral("*.his"));
}

void TstSetupFile::writeAndRead()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("setup.txt"));
    SetupFileWriter w;
    QVERIFY(w.open(name));
    w.section(QStringLiteral("## Original Images"));
    w.command(QStringLiteral("#images_load"), setupDirPatterns(QStringLiteral("/d/p.img")));
    w.command(QStringLiteral("images_new_on_load"), {setupFlagText(true)});
    w.section(QStringLiteral("## CT Reconstruction setting"));
    w.command(QStringLiteral("ct_proc_slice"), {setupIntText(-3)});
    w.command(QStringLiteral("auto_save_data_path"), {setupQuotedText(QStringLiteral("/r/a b"))});
    QVERIFY(w.commit());

    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString expected = QStringLiteral("### Fenu2 setup saving setup file\n\n"
                                            "## Original Images\n\n"
                                            "#images_load              /d *.img\n"
                                            "images_new_on_load        1\n"
                                            "\n## CT Reconstruction setting\n\n"
                                            "ct_proc_slice             -3\n"
                                            "auto_save_data_path       \"/r/a b\"\n");
    QCOMPARE(QString::fromUtf8(f.readAll()), expected);

    bool ok = false;
    const QList<BatchCmd> cmds = readSetupFile(name, &ok);
    QVERIFY(ok);
    QStringList names;
    for (const BatchCmd& c : cmds)
        names << c.name;
    QCOMPARE(names, (QStringList{"###", "", "##", "", "#images_load", "images_new_on_load", "", "##", "",
                                 "ct_proc_slice", "auto_save_data_path"}));
    QCOMPARE(cmds.at(9).intArg(), -3);
    QCOMPARE(cmds.at(10).textArg(), QStringLiteral("/r/a b"));
}

void TstSetupFile::failedOpen_data()
{
    QTest::addColumn<bool>("forWriting");
    QTest::newRow("save") << true;
    QTest::newRow("load") << false;
}

void TstSetupFile::failedOpen()
{
    QFETCH(bool, forWriting);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("no/such/dir/setup.txt"));
    MessageCapture capture;
    if (forWriting) {
        SetupFileWriter w;
        QVERIFY(!w.open(name));
        QVERIFY(!w.commit());
    } else {
        bool ok = true;
        QVERIFY(readSetupFile(name, &ok).isEmpty());
        QVERIFY(!ok);
    }
    QCOMPARE(capture.lines(), QStringList{"can't open save setup file : " + name});
}

void TstSetupFile::saveKeepsOldFileUntilCommit()
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("setup.txt"));
    {
        QFile old(name);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old setup\n");
    }
    {
        SetupFileWriter w;
        QVERIFY(w.open(name));
        w.command(QStringLiteral("ct_cor"), {setupRealText(1.5)});
        QCOMPARE(readSetupFile(name).value(0).name, QStringLiteral("old"));
        // Dropped without commit: the old file stays.
    }
    QCOMPARE(readSetupFile(name).value(0).name, QStringLiteral("old"));
    SetupFileWriter w;
    QVERIFY(w.open(name));
    w.command(QStringLiteral("ct_cor"), {setupRealText(1.5)});
    QVERIFY(w.commit());
    const QList<BatchCmd> cmds = readSetupFile(name);
    QCOMPARE(cmds.value(2).name, QStringLiteral("ct_cor"));
    QCOMPARE(cmds.value(2).realArg(), 1.5);
}

QTEST_GUILESS_MAIN(TstSetupFile)
#include "tst_setupfile.moc"
