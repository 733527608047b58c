#include "app/linetokens.h"

#include <QDebug>

QString removeComment(const QString& line, QString* comment)
{
    bool inQuotes = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
        } else if (c == QLatin1Char('#') && !inQuotes) {
            if (comment)
                *comment = line.mid(i + 1);
            return line.left(i);
        }
    }
    if (comment)
        comment->clear();
    return line;
}

bool isBlankLine(const QString& line)
{
    return removeComment(line).simplified().isEmpty();
}

QString takeItem(const QString& text, QString* rest)
{
    QString dummy;
    QString& r = rest ? *rest : dummy;
    int start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    if (start >= text.size()) {
        r.clear();
        return QString();
    }
    if (text.at(start) == QLatin1Char('"')) {
        const int close = text.indexOf(QLatin1Char('"'), start + 1);
        if (close < 0) {
            qDebug().noquote()
                << QStringLiteral("In a line [%1] item is started from quote but not ended by quote").arg(text);
            const QString item = text.mid(start + 1);
            r.clear();
            return item;
        }
        const QString item = text.mid(start + 1, close - start - 1);
        r = text.mid(close + 1);
        return item;
    }
    int end = start;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    const QString item = text.mid(start, end - start);
    if (item.endsWith(QLatin1Char('"'))) {
        qDebug().noquote()
            << QStringLiteral("In a line [%1] item is started from not quote but ended by quote").arg(text);
    }
    r = text.mid(end);
    return item;
}

bool cutContinuation(QString& line)
{
    int last = line.size() - 1;
    while (last >= 0 && line.at(last).isSpace())
        --last;
    if (last < 0 || line.at(last) != QLatin1Char('\\'))
        return false;
    line.truncate(last);
    return true;
}

QString padRight(const QString& text, int width)
{
    const int missing = qMin(width - int(text.size()), 101);
    if (missing <= 0)
        return text;
    return text + QString(missing, QLatin1Char(' '));
}
