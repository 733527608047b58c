#include "tests/support/itexfixture.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

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

QByteArray itexPixels(int pixelType, const QVector<double>& values)
{
    QByteArray out;
    for (double v : values) {
        char buf[4];
        int n = 0;
        switch (pixelType) {
        case 0:
            buf[0] = char(quint8(v));
            n = 1;
            break;
        case 1:
            qToLittleEndian<qint16>(qint16(v), buf);
            n = 2;
            break;
        case 2:
            qToLittleEndian<quint16>(quint16(v), buf);
            n = 2;
            break;
        case 3:
            qToLittleEndian<qint32>(qint32(v), buf);
            n = 4;
            break;
        case 4: {
            const float f = float(v);
            quint32 bits;
            std::memcpy(&bits, &f, 4);
            qToLittleEndian<quint32>(bits, buf);
            n = 4;
            break;
        }
        default:
            break;
        }
        out.append(buf, n);
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
