#include "control/batchcmd.h"

#include "app/linetokens.h"

#include <cmath>

BatchCmd BatchCmd::parse(const QString& line)
{
    BatchCmd cmd;
    cmd.line = line;
    QString rest;
    cmd.name = takeItem(line, &rest);
    if (cmd.name.isEmpty())
        return cmd;
    for (;;) {
        QString after;
        const QString item = takeItem(rest, &after);
        if (item.isEmpty())
            break;
        cmd.args << item;
        rest = after;
    }
    return cmd;
}

bool BatchCmd::is(const char* commandName) const
{
    return name.toUpper() == QString::fromLatin1(commandName).toUpper();
}

int readIntArg(const QString& text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : 0;
}

double readRealArg(const QString& text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    // "inf" and "nan" parse, but no field of the program can hold them.
    return ok && std::isfinite(v) ? v : 0.0;
}

int BatchCmd::intArg(int i) const
{
    return readIntArg(textArg(i));
}

bool BatchCmd::flagArg(int i) const
{
    return intArg(i) == 1;
}

double BatchCmd::realArg(int i) const
{
    return readRealArg(textArg(i));
}

QString BatchCmd::textArg(int i) const
{
    return args.value(i);
}

QString BatchCmd::dirArg() const
{
    return textArg(0);
}

QStringList BatchCmd::patternArgs() const
{
    return args.mid(1);
}

void registerBatchCmdType()
{
    // Function-local static: thread-safe, done once, independent of the
    // order in which static libraries run their initialisers.
    static const int id = qRegisterMetaType<BatchCmd>("BatchCmd");
    Q_UNUSED(id);
}
