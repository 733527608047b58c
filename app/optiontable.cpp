#include "app/optiontable.h"

#include "app/boundedread.h"
#include "app/linetokens.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

void OptionTable::set(const QString& key, const QString& value, const QString& extra, const QString& comment)
{
    const auto it = exactIndex.constFind(key);
    int idx;
    if (it != exactIndex.constEnd()) {
        idx = *it;
        table[idx].value = value;
        table[idx].extra = extra;
    } else {
        idx = int(table.size());
        table.append(Entry{key, value, extra, comment});
        exactIndex.insert(key, idx);
    }
    upperIndex.insert(key.toUpper(), idx);
}

bool OptionTable::contains(const QString& key) const
{
    return exactIndex.contains(key);
}

QString OptionTable::value(const QString& key, const QString& def) const
{
    const auto it = exactIndex.constFind(key);
    return it == exactIndex.constEnd() ? def : table.at(*it).value;
}

QString OptionTable::valueNoCase(const QString& key, const QString& def) const
{
    const auto it = upperIndex.constFind(key.toUpper());
    return it == upperIndex.constEnd() ? def : table.at(*it).value;
}

QString OptionTable::extraNoCase(const QString& key, const QString& def) const
{
    const auto it = upperIndex.constFind(key.toUpper());
    return it == upperIndex.constEnd() ? def : table.at(*it).extra;
}

void OptionTable::parseArgs(int argc, const char* const* argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    parseArgs(args);
}

static bool isSwitch(const QString& arg)
{
    return arg.startsWith(QLatin1Char('-'));
}

// "-5" and "-.5" are values, "-x" is the next switch.
static bool isNegativeNumber(const QString& arg)
{
    if (arg.size() < 2 || !isSwitch(arg))
        return false;
    const QChar c = arg.at(1);
    return c.isDigit() || c == QLatin1Char('.');
}

void OptionTable::parseArgs(const QStringList& args)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!isSwitch(arg))
            continue;
        QString value;
        if (i + 1 < args.size() && (!isSwitch(args.at(i + 1)) || isNegativeNumber(args.at(i + 1))))
            value = args.at(i + 1);
        QStringList extra;
        for (int j = i + 1; j < args.size() && !isSwitch(args.at(j)); ++j)
            extra << args.at(j);
        set(arg, value, extra.join(QLatin1Char(' ')));
    }
}

bool OptionTable::readConfigFile(const QString& path)
{
    return readConfigFileGuarded(path);
}

bool OptionTable::readConfigFileGuarded(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug().noquote() << QStringLiteral("Can't open config file : ") + path;
        return false;
    }
    const QString id = QFileInfo(file).canonicalFilePath();
    if (filesBeingRead.contains(id)) {
        qDebug().noquote() << QStringLiteral("Refused to include a config file that is already being read : ") + path;
        return false;
    }
    // Settings are a few lines; a data file or a device named by mistake
    // is not read into memory.
    QByteArray bytes;
    if (!readAtMost(file, qint64(64) << 20, &bytes)) {
        qDebug().noquote() << QStringLiteral("Config file too large : ") + path;
        return false;
    }
    filesBeingRead.insert(id);

    QTextStream in(&bytes);
    QString line;
    while (in.readLineInto(&line)) {
        const QString body = removeComment(line);
        if (isBlankLine(body))
            continue;
        QString afterKey;
        const QString key = takeItem(body, &afterKey);
        QString unused;
        const QString value = takeItem(afterKey, &unused);
        if (key.toUpper() == QLatin1String("INCLUDE"))
            readConfigFileGuarded(value);
        else
            set(key, value, afterKey.trimmed());
    }
    filesBeingRead.remove(id);
    return true;
}

OptionTable& options()
{
    static OptionTable table;
    return table;
}

static QString& dataRootStore()
{
    static QString dir = QDir::home().filePath(QStringLiteral("Data"));
    return dir;
}

QString dataRoot()
{
    return dataRootStore();
}

void setDataRoot(const QString& dir)
{
    dataRootStore() = dir;
}
