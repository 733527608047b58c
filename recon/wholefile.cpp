#include "recon/wholefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cstdio>

namespace {
std::atomic<quint64> tempCounter{0};
} // namespace

QString temporaryNameFor(const QString& path)
{
    const QFileInfo fi(path);
    const QString name = QStringLiteral(".%1.%2-%3.part")
                             .arg(fi.fileName())
                             .arg(QCoreApplication::applicationPid())
                             .arg(++tempCounter);
    return fi.path() + QLatin1Char('/') + name;
}

WriteFault writeWholeFile(const QString& path, const std::function<bool(QIODevice&)>& fill)
{
    QFile tmp;
    bool opened = false;
    // A leftover of a killed process that had our process id is stepped over.
    for (int attempt = 0; attempt < 4 && !opened; ++attempt) {
        tmp.setFileName(temporaryNameFor(path));
        opened = tmp.open(QIODevice::WriteOnly | QIODevice::NewOnly);
        if (!opened && !QFile::exists(tmp.fileName()))
            break;
    }
    if (!opened)
        return WriteFault::Open;
    bool ok = fill(tmp) && tmp.flush();
    tmp.close();
    ok = ok && tmp.error() == QFileDevice::NoError;
    if (!ok) {
        tmp.remove();
        return WriteFault::Write;
    }
    // rename(2) replaces an existing file in one step; QFile::rename would
    // refuse or copy.
    if (std::rename(QFile::encodeName(tmp.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        tmp.remove();
        return WriteFault::Rename;
    }
    return WriteFault::None;
}
