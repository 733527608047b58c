#include "recon/wholefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace {
std::atomic<quint64> tempCounter{0};

// Below this the page cache's copy costs less than waiting for the disk.
constexpr std::size_t kDirectFrom = std::size_t(1) << 20;
// Alignment O_DIRECT asks of memory, file offset and length on any common
// device (logical blocks of 512 bytes or 4 KiB).
constexpr std::size_t kDirectBlock = 4096;
// Bytes per write(2): Linux takes at most about 2 GiB at once.
constexpr std::size_t kWriteChunk = std::size_t(1) << 30;

// A new temporary file for path; -1 with errno where none can be made.
int openTemporary(const QString& path, bool direct, QByteArray* name)
{
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | (direct ? O_DIRECT : 0);
    // A leftover of a killed process that had our process id is stepped over.
    for (int attempt = 0; attempt < 4; ++attempt) {
        *name = QFile::encodeName(temporaryNameFor(path));
        const int fd = ::open(name->constData(), flags, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}
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

WriteFault writeWholeBytes(const QString& path, const char* data, std::size_t size, std::size_t room, WriteWay* way)
{
    const std::size_t padded = (size + kDirectBlock - 1) / kDirectBlock * kDirectBlock;
    bool direct = size >= kDirectFrom && room >= padded && reinterpret_cast<std::uintptr_t>(data) % kDirectBlock == 0;
    QByteArray tmp;
    int fd = openTemporary(path, direct, &tmp);
    if (fd < 0 && direct && errno == EINVAL) {
        direct = false;
        fd = openTemporary(path, false, &tmp);
    }
    if (fd < 0)
        return WriteFault::Open;
    std::size_t total = direct ? padded : size;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < total) {
        const ssize_t n = ::write(fd, data + done, std::min(total - done, kWriteChunk));
        if (n > 0) {
            done += std::size_t(n);
        } else if (n < 0 && errno == EINVAL && direct) {
            // Opened for O_DIRECT but refused at the write (or a short write
            // left an unaligned rest): the page cache takes the rest.
            direct = fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_DIRECT) != 0;
            ok = !direct;
            total = size;
        } else if (!(n < 0 && errno == EINTR)) {
            ok = false;
        }
    }
    // The padding of the last page goes again.
    if (ok && done > size)
        ok = ftruncate(fd, off_t(size)) == 0;
    if (::close(fd) != 0)
        ok = false;
    if (!ok) {
        ::unlink(tmp.constData());
        return WriteFault::Write;
    }
    if (std::rename(tmp.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(tmp.constData());
        return WriteFault::Rename;
    }
    if (way)
        *way = direct ? WriteWay::Direct : WriteWay::Plain;
    return WriteFault::None;
}
