#include "tests/support/itexfixture.h"

#include <QFile>
#include <QtEndian>


QByteArray ItexFixture::bytes() const
{
    QByteArray b = itexFileHeader(header, commentLength < 0 ? int(comment.size()) : commentLength);
    b += comment;
    for (int k = 0; k < frames.size(); ++k) {
        if (k > 0)
            b += QByteArray(64, '\0');
        b += frames[k];
    }
    return b;
}

bool ItexFixture::write(const QString& path, qint64 truncateTo) const
{
    const QByteArray b = bytes();
    return writeBytes(path, truncateTo >= 0 ? b.left(truncateTo) : b);
}

template <typename T>
static void appendLittleEndian(QByteArray& out, T v)
{
    char c[sizeof v];
    qToLittleEndian(v, c);
    out.append(c, sizeof v);
}

QByteArray itexPixels(int pixelType, const QVector<double>& values)
{
    QByteArray out;
    for (double v : values) {
        switch (pixelType) {
        case 0: appendLittleEndian(out, quint8(v)); break;
        case 1: appendLittleEndian(out, qint16(v)); break;
        case 2: appendLittleEndian(out, quint16(v)); break;
        case 3: appendLittleEndian(out, qint32(v)); break;
        case 4: appendLittleEndian(out, float(v)); break;
        default: break;
        }
    }
    return out;
}

ItexFixture itexImage(int width, int height, int pixelType, const QVector<double>& values, double exposure)
{
    ItexFixture f;
    f.header.width = quint16(width);
    f.header.height = quint16(height);
    f.header.pixelType = quint16(pixelType);
    f.comment = itexComment(width, height, exposure);
    f.frames = {itexPixels(pixelType, values)};
    return f;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
