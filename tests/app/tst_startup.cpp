#include "app/optiontable.h"
#include "app/startup.h"
#include "tests/support/testutil.h"

#include <QtTest>

// Start-up as a user meets it: the program run as a process, and the
// translation decision in-process.
class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void windowlessRunEndsByItself_data();
    void windowlessRunEndsByItself();
    void translationInstalledUnlessEnglish_data();
    void translationInstalledUnlessEnglish();
    void catalogueIsCompiledIn();
};

void TstStartup::windowlessRunEndsByItself_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no config file") << QString() << QStringList{"-nw", "-e"}
                                    << QStringList{"Can't open config file : config.cfg"};
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
    if (!config.isEmpty()) {
        QFile f(dir.filePath("my.cfg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(config.toUtf8());
    }
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

void TstStartup::translationInstalledUnlessEnglish_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("installed");
    QTest::newRow("default") << QStringList{"fenu2", "-c", "/nonexistent.cfg"} << true;
    QTest::newRow("-e") << QStringList{"fenu2", "-e", "-c", "/nonexistent.cfg"} << false;
}

void TstStartup::translationInstalledUnlessEnglish()
{
    QFETCH(QStringList, args);
    QFETCH(bool, installed);
    OptionTable table;
    const StartupPlan plan = prepareStartup(table, args);
    QTranslator translator;
    QCOMPARE(installTranslation(*QCoreApplication::instance(), translator, plan), installed);
    QCOMPARE(plan.english, !installed);
    // removeTranslator only succeeds for an installed translator.
    QCOMPARE(QCoreApplication::removeTranslator(&translator), installed);
}

void TstStartup::catalogueIsCompiledIn()
{
    QVERIFY(QFile::exists(":/Fenu2_ja_JP.qm"));
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":Fenu2_ja_JP")));
    QCOMPARE(translator.language(), QStringLiteral("ja_JP"));
}

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
