// Arbitrary bytes for both data-file readers: no crash, no read past the
// input, no write outside the matrix, and a result that is consistent.
// The first eight bytes also go through the data-text number formatter,
// which must agree with QTextStream for every bit pattern.
#include "recon/ctimgdatafile.h"
#include "tests/fuzz/fuzztempfile.h"

#include <QBuffer>
#include <QByteArray>
#include <QTextStream>

#include <cstdint>
#include <cstring>

namespace {
void checkReader(bool (*reader)(QIODevice*, DataMatrix*, const QString&), const QByteArray& bytes)
{
    QBuffer buf;
    buf.setData(bytes);
    buf.open(QIODevice::ReadOnly);
    DataMatrix m;
    if (!reader(&buf, &m, QStringLiteral("fuzz"))) {
        if (!m.values.empty() || m.nx != 0 || m.ny != 0)
            __builtin_trap();
        return;
    }
    if (m.nx < 1 || m.ny < 1 || m.values.size() != std::size_t(m.nx) * std::size_t(m.ny))
        __builtin_trap();
}

void checkFormat(const std::uint8_t* data, std::size_t size)
{
    if (size < sizeof(double))
        return;
    double v;
    std::memcpy(&v, data, sizeof v);
    char buf[32];
    const QByteArray fast(buf, int(formatDouble6(v, buf) - buf));
    QByteArray ref;
    QTextStream ts(&ref);
    ts << v;
    ts.flush();
    if (fast != ref)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzQuiet();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    checkReader(&readCtImgData, bytes);
    checkReader(&readMatrixData, bytes);
    checkFormat(data, size);
    return 0;
}

void fenu2FuzzSeeds(QList<QByteArray>* seeds)
{
    const double v[12] = {0.5, -1e-7, 3.25, 12.0, -12.0, 1e300, 0.0, 2.0, 7.5, -0.125, 4.0, 1.0};
    const MatrixView m{v, 3, 4};
    *seeds << buildCtImgDataText(m, DataRegion{0, 0, 4, 3}, DataLimits{})
           << buildCtImgDataText(m, DataRegion{1, 1, 3, 2}, DataLimits{5.0, -5.0, 0.0})
           << QByteArray("## 240301\n3 2\n1 2 3\n4 5 nan\n");
}
