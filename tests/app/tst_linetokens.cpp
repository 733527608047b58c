#include "app/linetokens.h"
#include "tests/support/testutil.h"

#include <QtTest>

class TstLineTokens : public QObject
{
    Q_OBJECT

private slots:
    void removeComment_data();
    void removeComment();
    void isBlankLine_data();
    void isBlankLine();
    void takeItem_data();
    void takeItem();
    void itemsUntilEmpty();
    void cutContinuation_data();
    void cutContinuation();
    void padRight_data();
    void padRight();
};

void TstLineTokens::removeComment_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("comment");
    QTest::newRow("quoted hash") << "key \"a # b\" # note" << "key \"a # b\" " << " note";
    QTest::newRow("apostrophe opens quotes") << "it's # x" << "it's # x" << "";
    QTest::newRow("mixed quote kinds close each other") << "a 'b\" # c" << "a 'b\" " << " c";
    QTest::newRow("first hash wins") << "a # b # c" << "a " << " b # c";
    QTest::newRow("hash at start") << "# DataRoot /a" << "" << " DataRoot /a";
    QTest::newRow("no comment") << "DataRoot /a" << "DataRoot /a" << "";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("hash right after text") << "x#y" << "x" << "y";
}

void TstLineTokens::removeComment()
{
    QFETCH(QString, line);
    QFETCH(QString, body);
    QFETCH(QString, comment);
    QString c = QStringLiteral("stale");
    QCOMPARE(::removeComment(line, &c), body);
    QCOMPARE(c, comment);
    QCOMPARE(::removeComment(line), body);
}

void TstLineTokens::isBlankLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("blank");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blanks and tabs") << "  \t \t " << true;
    QTest::newRow("comment only") << "# comment" << true;
    QTest::newRow("indented comment") << "\t  # comment" << true;
    QTest::newRow("quoted hash is text") << "\"#\"" << false;
    QTest::newRow("empty quotes are text") << "\"\"" << false;
    QTest::newRow("word") << " x " << false;
}

void TstLineTokens::isBlankLine()
{
    QFETCH(QString, line);
    QFETCH(bool, blank);
    QCOMPARE(::isBlankLine(line), blank);
}

void TstLineTokens::takeItem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("rest");
    QTest::addColumn<QString>("diagnostic");
    const QString open = QStringLiteral("In a line [%1] item is started from quote but not ended by quote");
    const QString close = QStringLiteral("In a line [%1] item is started from not quote but ended by quote");
    QTest::newRow("leading blanks") << "   abc  def" << "abc" << "  def" << "";
    QTest::newRow("quoted with blank") << "\"a b\" c" << "a b" << " c" << "";
    QTest::newRow("unclosed quote") << "\"abc" << "abc" << "" << open.arg("\"abc");
    QTest::newRow("unclosed quote keeps blanks") << "  \"a b  " << "a b  " << "" << open.arg("  \"a b  ");
    QTest::newRow("ends with quote") << "abc\"" << "abc\"" << "" << close.arg("abc\"");
    QTest::newRow("quote inside then blank") << "abc\" def" << "abc\"" << " def" << close.arg("abc\" def");
    QTest::newRow("quote in the middle is text") << "a\"b c" << "a\"b" << " c" << "";
    QTest::newRow("empty quoted item") << "\"\" x" << "" << " x" << "";
    QTest::newRow("tab separated") << "\tkey\tvalue" << "key" << "\tvalue" << "";
    QTest::newRow("only blanks") << " \t " << "" << "" << "";
    QTest::newRow("empty") << "" << "" << "" << "";
    QTest::newRow("single item") << "abc" << "abc" << "" << "";
    QTest::newRow("quoted hugging next item") << "\"a\"b c" << "a" << "b c" << "";
}

void TstLineTokens::takeItem()
{
    QFETCH(QString, text);
    QFETCH(QString, item);
    QFETCH(QString, rest);
    QFETCH(QString, diagnostic);
    MessageCapture capture;
    QString r = QStringLiteral("stale");
    QCOMPARE(::takeItem(text, &r), item);
    QCOMPARE(r, rest);
    if (diagnostic.isEmpty())
        QVERIFY(capture.lines().isEmpty());
    else
        QCOMPARE(capture.lines(), QStringList{diagnostic});
}

// Callers read items until the first empty one; an empty quoted item ends
// the list even when text follows.
void TstLineTokens::itemsUntilEmpty()
{
    QString rest = QStringLiteral("cmd a \"b c\" \"\" d");
    QStringList items;
    for (QString item = ::takeItem(rest, &rest); !item.isEmpty(); item = ::takeItem(rest, &rest))
        items << item;
    QCOMPARE(items, (QStringList{"cmd", "a", "b c"}));
}

void TstLineTokens::cutContinuation_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QString>("after");
    QTest::newRow("blanks after backslash") << "images_load a \\  " << true << "images_load a ";
    QTest::newRow("tab after backslash") << "x\\\t" << true << "x";
    QTest::newRow("backslash inside") << "a\\b" << false << "a\\b";
    QTest::newRow("only backslash") << "\\" << true << "";
    QTest::newRow("two backslashes cut one") << "a\\\\" << true << "a\\";
    QTest::newRow("no mark") << "abc  " << false << "abc  ";
    QTest::newRow("empty") << "" << false << "";
}

void TstLineTokens::cutContinuation()
{
    QFETCH(QString, line);
    QFETCH(bool, cut);
    QFETCH(QString, after);
    QCOMPARE(::cutContinuation(line), cut);
    QCOMPARE(line, after);
}

void TstLineTokens::padRight_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("length");
    QTest::newRow("25 characters stay") << QString(25, 'a') << 25 << 25;
    QTest::newRow("longer stays") << QString(30, 'a') << 25 << 30;
    QTest::newRow("short is padded") << "ct_cor" << 25 << 25;
    QTest::newRow("empty is padded") << "" << 10 << 10;
    QTest::newRow("at most 101 blanks") << "a" << 500 << 102;
    QTest::newRow("negative width") << "ab" << -3 << 2;
}

void TstLineTokens::padRight()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(int, length);
    const QString padded = ::padRight(text, width);
    QCOMPARE(padded.size(), length);
    QVERIFY(padded.startsWith(text));
    QCOMPARE(padded.mid(text.size()).trimmed(), QString());
}

QTEST_GUILESS_MAIN(TstLineTokens)
#include "tst_linetokens.moc"
