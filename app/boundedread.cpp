#include "app/boundedread.h"

#include <QIODevice>

bool readAtMost(QIODevice& device, qint64 maxBytes, QByteArray* out)
{
    // One byte beyond the ceiling tells a full file from a larger one; a
    // device's size says nothing (0 for /dev/zero), so it is not asked.
    QByteArray bytes = device.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        out->clear();
        return false;
    }
    *out = std::move(bytes);
    return true;
}
