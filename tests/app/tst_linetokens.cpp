#include "app/linetokens.h"
#include "tests/support/testutil.h"

#include <QtTest>

class TstLineTokens : public QObject
{
    Q_OBJECT

private slots:
    void comments_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<bool>("blank");
        QTest::newRow("quoted hash") << "key \"a # b\" # note" << "key \"a # b\" " << " note" << false;
        QTest::newRow("apostrophe opens quotes") << "it's # x" << "it's # x" << "" << false;
        QTest::newRow("mixed quote kinds close each other") << "a 'b\" # c" << "a 'b\" " << " c" << false;
        QTest::newRow("first hash wins") << "a # b # c" << "a " << " b # c" << false;
        QTest::newRow("indented comment") << "\t  # DataRoot /a" << "\t  " << " DataRoot /a" << true;
    }

    void comments()
    {
        QFETCH(QString, line);
        QFETCH(QString, body);
        QFETCH(QString, comment);
        QFETCH(bool, blank);
        QString c = QStringLiteral("stale");
        QCOMPARE(::removeComment(line, &c), body);
        QCOMPARE(c, comment);
        QCOMPARE(::isBlankLine(line), blank);
    }

    void takeItem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("rest");
        QTest::addColumn<QString>("diagnostic");
        const QString open = QStringLiteral("In a line [%1] item is started from quote but not ended by quote");
        const QString close = QStringLiteral("In a line [%1] item is started from not quote but ended by quote");
        QTest::newRow("quote in the middle is text") << "a\"b c" << "a\"b" << " c" << "";
        QTest::newRow("unclosed quote") << "  \"a b  " << "a b  " << "" << open.arg("  \"a b  ");
        QTest::newRow("ends with quote") << "abc\" def" << "abc\"" << " def" << close.arg("abc\" def");
        QTest::newRow("only blanks") << " \t " << "" << "" << "";
    }

    void takeItem()
    {
        QFETCH(QString, text);
        QFETCH(QString, item);
        QFETCH(QString, rest);
        QFETCH(QString, diagnostic);
        MessageCapture capture;
        QString r = QStringLiteral("stale");
        QCOMPARE(::takeItem(text, &r), item);
        QCOMPARE(r, rest);
        QCOMPARE(capture.lines().join('\n'), diagnostic);
    }
};

QTEST_GUILESS_MAIN(TstLineTokens)
#include "tst_linetokens.moc"
