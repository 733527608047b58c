// What the fuzz targets share: the input as a file, for readers that take a
// file name, and a silent message channel (readers write a line per fault).
#pragma once

#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

inline QString fuzzInputFile(const char* target, const std::uint8_t* data, std::size_t size)
{
    const QString path = QStringLiteral("/tmp/fenu2-%1-%2.txt").arg(QLatin1String(target)).arg(getpid());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    f.write(reinterpret_cast<const char*>(data), qint64(size));
    return path;
}

inline void fuzzQuiet()
{
    static const bool once =
        (qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}), true);
    (void)once;
}
