#include "app/boundedread.h"

#include <QIODevice>

#include <algorithm>

bool readAtMost(QIODevice& device, qint64 maxBytes, QByteArray* out)
{
    // Read in pieces: one read of the whole ceiling would reserve all of it
    // for every small file. One byte beyond the ceiling tells a full file
    // from a larger one; a device's size says nothing (0 for /dev/zero), so
    // it is not asked.
    constexpr qint64 piece = 1 << 16;
    QByteArray bytes;
    for (;;) {
        const qint64 want = std::min(piece, maxBytes + 1 - qint64(bytes.size()));
        const QByteArray more = device.read(want);
        if (more.isEmpty())
            break;
        bytes += more;
        if (bytes.size() > maxBytes) {
            out->clear();
            return false;
        }
    }
    *out = std::move(bytes);
    return true;
}
