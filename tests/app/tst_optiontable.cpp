#include "app/optiontable.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QtTest>

// Every entry as "key=value|extra", in table order.
static QStringList dump(const OptionTable& t)
{
    QStringList out;
    for (const auto& e : t.entries())
        out << e.key + '=' + e.value + '|' + e.extra;
    return out;
}

class TstOptionTable : public QObject
{
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void parseArgs_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("negative numbers are values and switches")
            << QStringList{"prog", "-d", "-5", "-f", "-.5"} << QStringList{"-d=-5|", "-5=|", "-f=-.5|", "-.5=|"};
        QTest::newRow("extra collects plain args, switch after switch")
            << QStringList{"prog", "-b", "a.bat", "more", "words", "-x", "-nw"}
            << QStringList{"-b=a.bat|a.bat more words", "-x=|", "-nw=|"};
    }

    void parseArgs()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, entries);
        OptionTable t;
        t.parseArgs(args);
        QCOMPARE(dump(t), entries);
    }

    // main.cfg and inner.cfg in the temporary directory %D; a null main
    // text leaves main.cfg missing.
    void configFile_data()
    {
        QTest::addColumn<QString>("mainText");
        QTest::addColumn<QString>("innerText");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("diagnostic");
        QTest::newRow("comments, blanks, quotes, last setting wins")
            << "# DataRoot /commented\n\nDataRoot /a # old\n   \t\nDataRoot \"/data/my beam time\"\n"
               "Tessela   beam-pc  7000  # viewer\nempty_key\n"
            << "" << QStringList{"DataRoot=/data/my beam time|\"/data/my beam time\"", "Tessela=beam-pc|beam-pc  7000",
                                 "empty_key=|"}
            << "";
        QTest::newRow("include read at its place")
            << "a 1\nINCLUDE \"%D/inner.cfg\"\nc outer\n" << "b 2\nc inner\n"
            << QStringList{"a=1|1", "b=2|2", "c=outer|outer"} << "";
        QTest::newRow("same file included twice is no loop")
            << "include %D/inner.cfg\ninclude %D/inner.cfg\n" << "b 2\n" << QStringList{"b=2|2"} << "";
        QTest::newRow("include loop refused")
            << "x 1\nInclude %D/inner.cfg\ny 2\n" << "z 3\nINCLUDE %D/main.cfg\n"
            << QStringList{"x=1|1", "z=3|3", "y=2|2"}
            << "Refused to include a config file that is already being read : %D/main.cfg";
        QTest::newRow("missing include") << "a 1\nINCLUDE %D/nope.cfg\nb 2\n" << "" << QStringList{"a=1|1", "b=2|2"}
                                         << "Can't open config file : %D/nope.cfg";
        QTest::newRow("missing file") << QString() << "" << QStringList{} << "Can't open config file : %D/main.cfg";
        QTest::newRow("longer than one read") << "# " + QString(200000, 'x') + "\nlast 1\n" << "" << QStringList{"last=1|1"} << "";
        QTest::newRow("endless device refused") << "a 1\nINCLUDE /dev/zero\nb 2\n" << "" << QStringList{"a=1|1", "b=2|2"}
                                                << "Config file too large : /dev/zero";
    }

    void configFile()
    {
        QFETCH(QString, mainText);
        QFETCH(QString, innerText);
        QFETCH(QStringList, entries);
        QFETCH(QString, diagnostic);
        const QString d = tmp.path();
        const QString main = tmp.filePath("main.cfg");
        QFile::remove(main);
        if (!mainText.isNull())
            QVERIFY(!writeTextFile(main, mainText.replace("%D", d)).isEmpty());
        QVERIFY(!writeTextFile(tmp.filePath("inner.cfg"), innerText.replace("%D", d)).isEmpty());
        MessageCapture capture;
        OptionTable t;
        QCOMPARE(t.readConfigFile(main), !mainText.isNull());
        QCOMPARE(dump(t), entries);
        QCOMPARE(capture.lines().join('\n'), diagnostic.replace("%D", d));
    }

    // Options the program reads however the user wrote their names.
    void noCaseLookups()
    {
        OptionTable t;
        t.set("native_dialog", "1", "1");
        QCOMPARE(t.valueNoCase("NATIVE_Dialog", "0"), QStringLiteral("1"));
        QCOMPARE(t.value("NATIVE_DIALOG", "0"), QStringLiteral("0"));
        QCOMPARE(t.valueNoCase("missing", "d"), QStringLiteral("d"));
    }
};

QTEST_GUILESS_MAIN(TstOptionTable)
#include "tst_optiontable.moc"
