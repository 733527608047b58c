#include "control/batchcmd.h"

#include <QtTest>

class TstBatchCmd : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("parsed"); // name|arg|arg
        QTest::newRow("name and values") << "ct_recorded_cor_1 100 12.5" << "ct_recorded_cor_1|100|12.5";
        QTest::newRow("quoted value keeps blanks")
            << "auto_save_data_path \"/data/my beam time\" x" << "auto_save_data_path|/data/my beam time|x";
        QTest::newRow("empty quoted item ends the args") << "cmd a \"\" b" << "cmd|a";
        QTest::newRow("empty quoted name drops the rest") << "\"\" a b" << "";
        QTest::newRow("comment is not removed") << "#images_load /data *.img # x" << "#images_load|/data|*.img|#|x";
    }

    void parse()
    {
        QFETCH(QString, line);
        QFETCH(QString, parsed);
        const BatchCmd cmd = BatchCmd::parse(line);
        QCOMPARE(cmd.line, line);
        QCOMPARE((QStringList{cmd.name} + cmd.args).join('|'), parsed);
    }

    // One argument read as int, flag and real (the last row: a missing argument).
    void argReadings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readings"); // int flag real
        QTest::newRow("one") << "1" << "1 1 1";
        QTest::newRow("real is no int") << "12.5" << "0 0 12.5";
        QTest::newRow("1.0 is not a flag") << "1.0" << "0 0 1";
        QTest::newRow("trailing junk") << "5abc" << "0 0 0";
        QTest::newRow("above int range") << "2147483648" << "0 0 2147483648";
        QTest::newRow("real overflow") << "1e400" << "0 0 0";
        QTest::newRow("empty") << "" << "0 0 0";
    }

    void argReadings()
    {
        QFETCH(QString, text);
        QFETCH(QString, readings);
        const BatchCmd cmd = BatchCmd::parse(QStringLiteral("x skip \"%1\"").arg(text));
        const QString read = QString("%1 %2 %3").arg(cmd.intArg(1)).arg(int(cmd.flagArg(1))).arg(cmd.realArg(1), 0, 'g', 12);
        QCOMPARE(read, readings);
        QCOMPARE(QString("%1 %2").arg(readIntArg(text)).arg(readRealArg(text), 0, 'g', 12),
                 readings.section(' ', 0, 0) + ' ' + readings.section(' ', 2));
    }
};

QTEST_GUILESS_MAIN(TstBatchCmd)
#include "tst_batchcmd.moc"
