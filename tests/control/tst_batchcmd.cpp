#include "control/batch.h"
#include "control/batchcmd.h"
#include "tests/support/testutil.h"

#include <QtTest>

class TstBatchCmd : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void argReadings_data();
    void argReadings();
    void missingArgsAndDirPatterns();
    void nameMatch_data();
    void nameMatch();
    void metaType();
};

void TstBatchCmd::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("name and values") << "ct_recorded_cor_1 100 12.5" << "ct_recorded_cor_1"
                                     << QStringList{"100", "12.5"};
    QTest::newRow("padded setup line") << "ct_cor                    12.5" << "ct_cor" << QStringList{"12.5"};
    QTest::newRow("tabs and leading blanks") << " \tct_cor\t12.5 " << "ct_cor" << QStringList{"12.5"};
    QTest::newRow("quoted value keeps blanks")
        << "auto_save_data_path \"/data/my beam time\" x" << "auto_save_data_path"
        << QStringList{"/data/my beam time", "x"};
    QTest::newRow("empty quoted item ends the args") << "cmd a \"\" b" << "cmd" << QStringList{"a"};
    QTest::newRow("name only") << "calc_exec" << "calc_exec" << QStringList{};
    QTest::newRow("empty line") << "" << "" << QStringList{};
    QTest::newRow("blank line") << "   \t" << "" << QStringList{};
    QTest::newRow("empty quoted name drops the rest") << "\"\" a b" << "" << QStringList{};
    QTest::newRow("comment is not removed") << "#images_load /data *.img # x" << "#images_load"
                                            << QStringList{"/data", "*.img", "#", "x"};
    QTest::newRow("quoted name") << "\"my cmd\" 1" << "my cmd" << QStringList{"1"};
}

void TstBatchCmd::parse()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(QStringList, args);
    const BatchCmd cmd = BatchCmd::parse(line);
    QCOMPARE(cmd.line, line);
    QCOMPARE(cmd.name, name);
    QCOMPARE(cmd.args, args);
}

// One argument text read as int, flag and real.
void TstBatchCmd::argReadings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<bool>("asFlag");
    QTest::addColumn<double>("asReal");
    QTest::newRow("one") << "1" << 1 << true << 1.0;
    QTest::newRow("two is not on") << "2" << 2 << false << 2.0;
    QTest::newRow("negative") << "-5" << -5 << false << -5.0;
    QTest::newRow("real is no int") << "12.5" << 0 << false << 12.5;
    QTest::newRow("1.0 is not a flag") << "1.0" << 0 << false << 1.0;
    QTest::newRow("exponent") << "1e-6" << 0 << false << 1e-6;
    QTest::newRow("word") << "abc" << 0 << false << 0.0;
    QTest::newRow("trailing junk") << "5abc" << 0 << false << 0.0;
    QTest::newRow("decimal comma") << "12,5" << 0 << false << 0.0;
    QTest::newRow("int max") << "2147483647" << 2147483647 << false << 2147483647.0;
    QTest::newRow("above int range") << "2147483648" << 0 << false << 2147483648.0;
    QTest::newRow("real overflow") << "1e400" << 0 << false << 0.0;
    QTest::newRow("inf") << "inf" << 0 << false << 0.0;
    QTest::newRow("nan") << "nan" << 0 << false << 0.0;
    QTest::newRow("empty") << "" << 0 << false << 0.0;
}

void TstBatchCmd::argReadings()
{
    QFETCH(QString, text);
    QFETCH(int, asInt);
    QFETCH(bool, asFlag);
    QFETCH(double, asReal);
    const BatchCmd cmd = BatchCmd::parse(QStringLiteral("x skip \"%1\"").arg(text));
    QCOMPARE(cmd.intArg(1), asInt);
    QCOMPARE(cmd.flagArg(1), asFlag);
    QCOMPARE(cmd.realArg(1), asReal);
    QCOMPARE(readIntArg(text), asInt);
    QCOMPARE(readRealArg(text), asReal);
}

void TstBatchCmd::missingArgsAndDirPatterns()
{
    const BatchCmd cmd = BatchCmd::parse(QStringLiteral("images_load \"/data/run 3\" *.img *.his"));
    QCOMPARE(cmd.dirArg(), QStringLiteral("/data/run 3"));
    QCOMPARE(cmd.patternArgs(), (QStringList{"*.img", "*.his"}));
    QCOMPARE(cmd.intArg(3), 0);
    QCOMPARE(cmd.flagArg(3), false);
    QCOMPARE(cmd.realArg(3), 0.0);
    QCOMPARE(cmd.textArg(3), QString());
    const BatchCmd bare = BatchCmd::parse(QStringLiteral("images_load"));
    QCOMPARE(bare.dirArg(), QString());
    QVERIFY(bare.patternArgs().isEmpty());
}

void TstBatchCmd::nameMatch_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("match");
    QTest::newRow("upper case") << "CT_COR 12.5" << "ct_cor" << true;
    QTest::newRow("control word") << ":IfOk x" << ":ifok" << true;
    QTest::newRow("longer name") << "ct_cor2 1" << "ct_cor" << false;
    QTest::newRow("saved comment line") << "#images_load /d *.img" << "images_load" << false;
    QTest::newRow("quoted name") << "\"calc_exec\"" << "calc_exec" << true;
}

void TstBatchCmd::nameMatch()
{
    QFETCH(QString, line);
    QFETCH(QString, command);
    QFETCH(bool, match);
    QCOMPARE(BatchCmd::parse(line).is(command.toLatin1().constData()), match);
}

// The record travels in queued signals and is found by its name.
void TstBatchCmd::metaType()
{
    Batch batch;
    const QMetaType byName = QMetaType::fromName("BatchCmd");
    QVERIFY(byName.isValid());
    QCOMPARE(byName.id(), qMetaTypeId<BatchCmd>());

    const BatchCmd cmd = BatchCmd::parse(QStringLiteral("ct_recorded_cor_1 7 \"1 2\""));
    const QVariant v = QVariant::fromValue(cmd);
    const BatchCmd back = v.value<BatchCmd>();
    QCOMPARE(back.line, cmd.line);
    QCOMPARE(back.name, cmd.name);
    QCOMPARE(back.args, cmd.args);
}

QTEST_GUILESS_MAIN(TstBatchCmd)
#include "tst_batchcmd.moc"
