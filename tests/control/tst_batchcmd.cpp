#include "control/batchcmd.h"

#include <QtTest>

class TstBatchCmd : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void argReadings_data();
    void argReadings();
};

void TstBatchCmd::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("name and values") << "ct_recorded_cor_1 100 12.5" << "ct_recorded_cor_1"
                                     << QStringList{"100", "12.5"};
    QTest::newRow("quoted value keeps blanks")
        << "auto_save_data_path \"/data/my beam time\" x" << "auto_save_data_path"
        << QStringList{"/data/my beam time", "x"};
    QTest::newRow("empty quoted item ends the args") << "cmd a \"\" b" << "cmd" << QStringList{"a"};
    QTest::newRow("empty quoted name drops the rest") << "\"\" a b" << "" << QStringList{};
    QTest::newRow("comment is not removed") << "#images_load /data *.img # x" << "#images_load"
                                            << QStringList{"/data", "*.img", "#", "x"};
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

// One argument text read as int, flag and real; an empty quoted item ends
// the arguments, so the last row reads a missing argument.
void TstBatchCmd::argReadings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<bool>("asFlag");
    QTest::addColumn<double>("asReal");
    QTest::newRow("one") << "1" << 1 << true << 1.0;
    QTest::newRow("real is no int") << "12.5" << 0 << false << 12.5;
    QTest::newRow("1.0 is not a flag") << "1.0" << 0 << false << 1.0;
    QTest::newRow("trailing junk") << "5abc" << 0 << false << 0.0;
    QTest::newRow("above int range") << "2147483648" << 0 << false << 2147483648.0;
    QTest::newRow("real overflow") << "1e400" << 0 << false << 0.0;
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

QTEST_GUILESS_MAIN(TstBatchCmd)
#include "tst_batchcmd.moc"
