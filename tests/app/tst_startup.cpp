#include "app/optiontable.h"
#include "app/startup.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QtTest>

// Start-up as a user meets it: the program run as a process, and the plan
// with the translation decision in-process.
class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void windowlessRunEndsByItself_data();
    void windowlessRunEndsByItself();
    void plan_data();
    void plan();

private:
    QTemporaryDir tmp;
};

void TstStartup::windowlessRunEndsByItself_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("config with missing include and bad quotes")
        << "DataRoot \"/a b\nINCLUDE missing.cfg\nkey value\"\n" << QStringList{"-nw", "-e", "-c", "my.cfg"}
        << QStringList{"In a line [ \"/a b] item is started from quote but not ended by quote",
                       "Can't open config file : missing.cfg",
                       "In a line [ value\"] item is started from not quote but ended by quote"};
    QTest::newRow("-nw from the config file") << "-nw\n" << QStringList{"-e", "-config", "my.cfg"} << QStringList{};
    QTest::newRow("with -x and a missing batch") << QString() << QStringList{"-nw", "-e", "-b", "none.bat", "-x"}
                                                 << QStringList{"Can't open config file : config.cfg"};
}

void TstStartup::windowlessRunEndsByItself()
{
    QFETCH(QString, config);
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    if (!config.isEmpty())
        QVERIFY(!writeTextFile(dir.filePath("my.cfg"), config).isEmpty());
    // No display at all: the window-less run must not need one.
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    const ProcessResult r = runProcess(FENU2_EXE, args, dir.path(), 30000);
    QVERIFY2(r.finished, "fenu2 -nw did not end by itself");
    QCOMPARE(r.exitStatus, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.output.split('\n');
    int at = 0;
    for (const QString& want : expected) {
        while (at < lines.size() && lines.at(at) != want)
            ++at;
        QVERIFY2(at < lines.size(), qPrintable("missing or out of order: " + want + "\n" + r.output));
    }
}

// Every row reads start.cfg through -config, which wins over -c whatever
// their order.
void TstStartup::plan_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("dataRoot");
    QTest::addColumn<bool>("noWindow");
    QTest::addColumn<bool>("english");
    QTest::newRow("later DataRoot wins") << "DataRoot /a\nDataRoot /b\n" << QStringList{} << "/b" << false << false;
    QTest::newRow("-d wins over file") << "DataRoot /a\n" << QStringList{"-d", "/x"} << "/x" << false << false;
    QTest::newRow("lower-case key is not DataRoot") << "dataroot /a\n" << QStringList{} << "<home>" << false
                                                    << false;
    QTest::newRow("-nw and -e from the file") << "-nw\n-e\n" << QStringList{} << "<home>" << true << true;
    QTest::newRow("-e") << "" << QStringList{"-e"} << "<home>" << false << true;
}

void TstStartup::plan()
{
    QFETCH(QString, config);
    QFETCH(QStringList, args);
    QFETCH(QString, dataRoot);
    QFETCH(bool, noWindow);
    QFETCH(bool, english);
    const QString home = QDir::home().filePath("Data");
    const QString cfg = writeTextFile(tmp.filePath("start.cfg"), config);
    setDataRoot(home);
    OptionTable table;
    const StartupPlan plan = prepareStartup(table, QStringList{"fenu2", "-config", cfg, "-c", "/none.cfg"} + args);
    QCOMPARE(plan.configFile, cfg);
    QCOMPARE(::dataRoot(), dataRoot == "<home>" ? home : dataRoot);
    QCOMPARE(plan.noWindow, noWindow);
    QTranslator translator;
    QCOMPARE(installTranslation(*QCoreApplication::instance(), translator, plan), !english);
    // removeTranslator only succeeds for an installed translator; the
    // language is set only when the compiled-in catalogue was loaded.
    QCOMPARE(QCoreApplication::removeTranslator(&translator), !english);
    QCOMPARE(translator.language(), english ? QString() : QStringLiteral("ja_JP"));
}

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
