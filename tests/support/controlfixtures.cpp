#include "tests/support/controlfixtures.h"

#include "tools/phantom.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

QString writeTextFile(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    const QByteArray bytes = text.toUtf8();
    return f.write(bytes) == bytes.size() ? path : QString();
}

bool writePhantomFiles(const QString& dir, int width, int height, int projections, bool sequenceFile)
{
    PhantomSpec ps;
    ps.width = width;
    ps.height = height;
    ps.projections = projections;
    ps.cor = 0.5 * (width - 1);
    PhantomOutput out;
    out.dir = dir;
    out.sequenceFile = sequenceFile;
    return !writePhantomDataSet(Phantom(ps), out).isEmpty();
}

QStringList filesUnder(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

bool dataFileWhole(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = f.readAll().split('\n');
    static const QRegularExpression range("^# sx,sy, ex,ey   : (\\d+)\\t(\\d+)\\t(\\d+)\\t(\\d+)$");
    const QRegularExpressionMatch m = range.match(QString::fromLatin1(lines.value(5)));
    if (!m.hasMatch())
        return false;
    const qsizetype pixels = (m.captured(3).toInt() - m.captured(1).toInt() + 1)
                             * (m.captured(4).toInt() - m.captured(2).toInt() + 1);
    // The last line ends in a line break: split leaves one empty item.
    return lines.size() == 6 + pixels + 1 && lines.last().isEmpty();
}
