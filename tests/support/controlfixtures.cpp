#include "tests/support/controlfixtures.h"

#include <QFile>

QString writeTextFile(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    const QByteArray bytes = text.toUtf8();
    return f.write(bytes) == bytes.size() ? path : QString();
}
