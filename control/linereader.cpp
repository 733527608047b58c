#include "control/linereader.h"

#include <QDebug>

#include <cstring>

LineReader::LineReader(qsizetype maxLineBytes) : limit(qMax<qsizetype>(1, maxLineBytes)) {}

void LineReader::clear()
{
    buffer.clear();
    skipping = false;
}

void LineReader::drop()
{
    ++dropped;
    buffer.clear();
    buffer.squeeze();
    skipping = true;
    qDebug().noquote() << QStringLiteral("Received line longer than %1 bytes dropped").arg(limit);
}

QList<QByteArray> LineReader::feed(const char* bytes, qsizetype size)
{
    QList<QByteArray> lines;
    const char* p = bytes;
    const char* const end = bytes + qMax<qsizetype>(0, size);
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const qsizetype part = (lf ? lf : end) - p;
        if (!skipping) {
            if (buffer.size() + part > limit)
                drop();
            else
                buffer.append(p, part);
        }
        if (!lf)
            break;
        if (!skipping)
            lines.append(buffer);
        buffer.clear();
        skipping = false;
        p = lf + 1;
    }
    return lines;
}
