// Arbitrary bytes, cut into arbitrary segments, through the line reader of
// the viewer link and its ISBUSY parser: no crash, the held bytes never
// exceed the line limit, and the lines are exactly the short lines of the
// input. The first byte picks the segment length.
#include "control/linereader.h"
#include "control/tesselalink.h"
#include "tests/fuzz/fuzztempfile.h"

#include <QByteArray>

#include <cstdint>

namespace {
// What the reader must give: every line ended by a line feed that is not
// longer than the limit.
QList<QByteArray> expectedLines(const QByteArray& input, qsizetype limit)
{
    QList<QByteArray> out;
    qsizetype start = 0;
    for (qsizetype lf = input.indexOf('\n'); lf >= 0; lf = input.indexOf('\n', start)) {
        if (lf - start <= limit)
            out << input.mid(start, lf - start);
        start = lf + 1;
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzQuiet();
    if (size < 1)
        return 0;
    const qsizetype segment = data[0] % 17 + 1;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    // A small limit, so that short inputs reach the dropping path too.
    constexpr qsizetype limit = 24;
    LineReader reader(limit);
    QList<QByteArray> lines;
    for (qsizetype at = 0; at < input.size(); at += segment) {
        lines << reader.feed(input.constData() + at, qMin(segment, input.size() - at));
        if (reader.pending() > limit)
            __builtin_trap();
    }
    if (lines != expectedLines(input, limit))
        __builtin_trap();
    for (const QByteArray& line : lines) {
        const std::optional<IsBusyReply> r = TesselaLink::parseIsBusy(line);
        if (r && r->busy && !r->finished.isEmpty())
            __builtin_trap();
    }
    return 0;
}
