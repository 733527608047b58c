#include "control/setupfile.h"

#include "app/linetokens.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {
const int setupNameWidth = 25;
const QString cantOpen = QStringLiteral("can't open save setup file : ");
} // namespace

QString setupFlagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString setupIntText(int value)
{
    return QString::number(value);
}

QString setupRealText(double v)
{
    QString s;
    QTextStream ts(&s);
    ts << v;
    ts.flush();
    return s;
}

QString setupQuotedText(const QString& text)
{
    if (text.contains(QLatin1Char('"')))
        return text;
    bool needsQuotes = false;
    for (const QChar c : text) {
        if (c.isSpace() || c == QLatin1Char('#') || c == QLatin1Char('\'')) {
            needsQuotes = true;
            break;
        }
    }
    return needsQuotes ? QLatin1Char('"') + text + QLatin1Char('"') : text;
}

QString setupLine(const QString& name, const QStringList& values)
{
    return padRight(name, setupNameWidth) + QLatin1Char(' ') + values.join(QLatin1Char(' '));
}

QStringList setupDirPatterns(const QString& file)
{
    const QFileInfo fi(file);
    return {setupQuotedText(fi.absolutePath()), setupQuotedText(QStringLiteral("*.") + fi.suffix())};
}

bool SetupFileWriter::open(const QString& fileName)
{
    file.setFileName(fileName);
    firstSection = true;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug().noquote() << cantOpen + fileName;
        return false;
    }
    out.setDevice(&file);
    out << "### Fenu2 setup saving setup file" << '\n' << '\n';
    return true;
}

void SetupFileWriter::section(const QString& title)
{
    if (!firstSection)
        out << '\n';
    firstSection = false;
    out << title << '\n' << '\n';
}

void SetupFileWriter::command(const QString& name, const QStringList& values)
{
    out << setupLine(name, values) << '\n';
}

bool SetupFileWriter::commit()
{
    if (!file.isOpen())
        return false; // open() has already said why
    out.flush();
    const bool ok = out.status() == QTextStream::Ok && file.commit();
    if (!ok) {
        file.cancelWriting();
        qDebug().noquote() << QStringLiteral("can't write save setup file : ") + file.fileName();
    }
    out.setDevice(nullptr);
    return ok;
}

QList<BatchCmd> readSetupFile(const QString& fileName, bool* ok)
{
    QList<BatchCmd> cmds;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug().noquote() << cantOpen + fileName;
        if (ok)
            *ok = false;
        return cmds;
    }
    if (file.size() > kMaxCommandFileBytes) {
        qDebug().noquote() << QStringLiteral("Setup file too large : %1").arg(fileName);
        if (ok)
            *ok = false;
        return cmds;
    }
    QTextStream in(&file);
    while (!in.atEnd())
        cmds << BatchCmd::parse(in.readLine());
    if (ok)
        *ok = true;
    return cmds;
}
