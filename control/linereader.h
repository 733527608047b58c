// Cuts a stream of received bytes into lines for the line-oriented links,
// holding at most one line's worth of bytes however the peer behaves.
#pragma once

#include <QByteArray>
#include <QList>

class LineReader
{
public:
    static constexpr qsizetype defaultMaxLine = qsizetype(1) << 20; // 1 MiB

    explicit LineReader(qsizetype maxLineBytes = defaultMaxLine);

    // The lines completed by bytes, in order, without their line feed (a
    // carriage return stays). A line longer than the limit is dropped with
    // one debug line, and its bytes up to the next line feed are skipped.
    QList<QByteArray> feed(const char* bytes, qsizetype size);
    QList<QByteArray> feed(const QByteArray& bytes) { return feed(bytes.constData(), bytes.size()); }

    void clear();
    qsizetype pending() const { return buffer.size(); }
    qsizetype maxLine() const { return limit; }
    int droppedLines() const { return dropped; }

private:
    void drop();

    QByteArray buffer;
    qsizetype limit;
    bool skipping = false; // inside a dropped line
    int dropped = 0;
};
