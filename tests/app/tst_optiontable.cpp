#include "app/optiontable.h"
#include "app/startup.h"
#include "tests/support/testutil.h"

#include <QtTest>

class TstOptionTable : public QObject
{
    Q_OBJECT

private slots:
    void parseArgs_data();
    void parseArgs();
    void replaceKeepsPlace();
    void noCaseLookups();
    void configFile();
    void includePlacementAndCase();
    void includeLoopIsRefused();
    void unreadableFiles();
    void startupPrecedence_data();
    void startupPrecedence();

private:
    QString write(const QString& name, const QString& text);
    QTemporaryDir tmp;
};

QString TstOptionTable::write(const QString& name, const QString& text)
{
    const QString path = tmp.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("can't write fixture");
    f.write(text.toUtf8());
    return path;
}

void TstOptionTable::parseArgs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("extra");
    QTest::newRow("negative number is a value") << QStringList{"prog", "-d", "-5"} << "-d" << true << "-5" << "";
    QTest::newRow("negative fraction is a value") << QStringList{"prog", "-d", "-.5"} << "-d" << true << "-.5" << "";
    QTest::newRow("switch after switch") << QStringList{"prog", "-b", "-x"} << "-b" << true << "" << "";
    QTest::newRow("following switch is kept") << QStringList{"prog", "-b", "-x"} << "-x" << true << "" << "";
    QTest::newRow("extra collects plain args") << QStringList{"prog", "-b", "a.bat", "more", "words", "-nw"}
                                               << "-b" << true << "a.bat" << "a.bat more words";
    QTest::newRow("negative number stops extra") << QStringList{"prog", "-b", "a", "-3"} << "-b" << true << "a"
                                                 << "a";
    QTest::newRow("negative number is also a switch") << QStringList{"prog", "-b", "a", "-3"} << "-3" << true << ""
                                                      << "";
    QTest::newRow("program path is not a key") << QStringList{"prog", "-e"} << "prog" << false << "" << "";
    QTest::newRow("last setting wins") << QStringList{"prog", "-d", "/a", "-d", "/b"} << "-d" << true << "/b"
                                       << "/b";
    QTest::newRow("lone dash") << QStringList{"prog", "-", "v"} << "-" << true << "v" << "v";
}

void TstOptionTable::parseArgs()
{
    QFETCH(QStringList, args);
    QFETCH(QString, key);
    QFETCH(bool, present);
    QFETCH(QString, value);
    QFETCH(QString, extra);
    OptionTable t;
    t.parseArgs(args);
    QCOMPARE(t.contains(key), present);
    QCOMPARE(t.value(key, QStringLiteral("<none>")), present ? value : QStringLiteral("<none>"));
    if (present)
        QCOMPARE(t.extraNoCase(key), extra);
}

void TstOptionTable::replaceKeepsPlace()
{
    OptionTable t;
    t.set("a", "1", "1 x");
    t.set("b", "2", "2");
    t.set("a", "3", "3 y");
    QCOMPARE(t.entries().size(), 2);
    QCOMPARE(t.entries().at(0).key, QStringLiteral("a"));
    QCOMPARE(t.entries().at(0).value, QStringLiteral("3"));
    QCOMPARE(t.entries().at(0).extra, QStringLiteral("3 y"));
    QCOMPARE(t.valueNoCase("A"), QStringLiteral("3"));
}

void TstOptionTable::noCaseLookups()
{
    const QString cfg = write("case.cfg",
                              "native_dialog 1\n"
                              "dataroot /a\n"
                              "Tessela   beam-pc  7000  # viewer\n");
    OptionTable t;
    QVERIFY(t.readConfigFile(cfg));
    QCOMPARE(t.valueNoCase("NATIVE_DIALOG", "0"), QStringLiteral("1"));
    QCOMPARE(t.valueNoCase("Native_Dialog", "0"), QStringLiteral("1"));
    QVERIFY(!t.contains("DataRoot"));
    QCOMPARE(t.value("DataRoot", "def"), QStringLiteral("def"));
    QCOMPARE(t.extraNoCase("tessela"), QStringLiteral("beam-pc  7000"));
    QCOMPARE(t.valueNoCase("tessela"), QStringLiteral("beam-pc"));
    QCOMPARE(t.valueNoCase("missing", "d"), QStringLiteral("d"));
}

void TstOptionTable::configFile()
{
    const QString cfg = write("main.cfg",
                              "# DataRoot /commented\n"
                              "\n"
                              "DataRoot /a # old\n"
                              "   \t\n"
                              "DataRoot \"/data/my beam time\"\n"
                              "show_all_ct2_images 1\n"
                              "empty_key\n");
    OptionTable t;
    QVERIFY(t.readConfigFile(cfg));
    QCOMPARE(t.value("DataRoot"), QStringLiteral("/data/my beam time"));
    QCOMPARE(t.entries().size(), 3);
    QVERIFY(t.contains("empty_key"));
    QCOMPARE(t.value("empty_key", "x"), QString());
}

void TstOptionTable::includePlacementAndCase()
{
    const QString inner = write("inner.cfg", "b 2\nc inner\n");
    const QString lower = write("lower.cfg", "d 4\n");
    const QString cfg = write("outer.cfg", QStringLiteral("a 1\nINCLUDE \"%1\"\nc outer\ninclude %2\n").arg(inner, lower));
    OptionTable t;
    QVERIFY(t.readConfigFile(cfg));
    QStringList keys;
    for (const auto& e : t.entries())
        keys << e.key;
    QCOMPARE(keys, (QStringList{"a", "b", "c", "d"}));
    QCOMPARE(t.value("c"), QStringLiteral("outer"));
}

void TstOptionTable::includeLoopIsRefused()
{
    const QString a = tmp.filePath("loop_a.cfg");
    const QString b = tmp.filePath("loop_b.cfg");
    write("loop_a.cfg", QStringLiteral("x 1\nInclude %1\ny 2\n").arg(b));
    write("loop_b.cfg", QStringLiteral("z 3\nINCLUDE %1\n").arg(a));
    MessageCapture capture;
    OptionTable t;
    QVERIFY(t.readConfigFile(a));
    QCOMPARE(capture.lines().size(), 1);
    QVERIFY(capture.lines().first().contains(a));
    QCOMPARE(t.value("y"), QStringLiteral("2"));
    QCOMPARE(t.value("z"), QStringLiteral("3"));

    // A file included twice side by side is not a loop.
    const QString once = write("once.cfg", "k 1\n");
    const QString twice = write("twice.cfg", QStringLiteral("include %1\ninclude %1\n").arg(once));
    capture.clear();
    OptionTable t2;
    QVERIFY(t2.readConfigFile(twice));
    QVERIFY(capture.lines().isEmpty());
}

void TstOptionTable::unreadableFiles()
{
    const QString missing = tmp.filePath("nope.cfg");
    const QString cfg = write("withmissing.cfg", QStringLiteral("a 1\nINCLUDE %1\nb 2\n").arg(missing));
    MessageCapture capture;
    OptionTable t;
    QVERIFY(!t.readConfigFile(missing));
    QCOMPARE(capture.lines(), QStringList{"Can't open config file : " + missing});
    capture.clear();
    QVERIFY(t.readConfigFile(cfg));
    QCOMPARE(capture.lines(), QStringList{"Can't open config file : " + missing});
    QCOMPARE(t.value("b"), QStringLiteral("2"));
}

void TstOptionTable::startupPrecedence_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("dataRoot");
    QTest::addColumn<bool>("noWindow");
    QTest::newRow("later DataRoot wins") << "DataRoot /a\nDataRoot /b\n" << QStringList{} << "/b" << false;
    QTest::newRow("-d wins over file") << "DataRoot /a\n" << QStringList{"-d", "/x"} << "/x" << false;
    QTest::newRow("lower-case key is not DataRoot") << "dataroot /a\n" << QStringList{} << "<home>" << false;
    QTest::newRow("-nw from the file") << "-nw\n" << QStringList{} << "<home>" << true;
}

void TstOptionTable::startupPrecedence()
{
    QFETCH(QString, config);
    QFETCH(QStringList, args);
    QFETCH(QString, dataRoot);
    QFETCH(bool, noWindow);
    const QString cfg = write("start.cfg", config);
    setDataRoot(QDir::home().filePath("Data"));
    OptionTable t;
    const StartupPlan plan = prepareStartup(t, QStringList{"fenu2", "-config", cfg, "-c", "/nonexistent"} + args);
    QCOMPARE(plan.configFile, cfg);
    QCOMPARE(::dataRoot(), dataRoot == "<home>" ? QDir::home().filePath("Data") : dataRoot);
    QCOMPARE(plan.noWindow, noWindow);
}

QTEST_GUILESS_MAIN(TstOptionTable)
#include "tst_optiontable.moc"
