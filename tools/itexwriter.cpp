#include "tools/itexwriter.h"

#include <QFile>

static void putU16(QByteArray& b, int at, uint16_t v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

QByteArray itexComment(int width, int height, double exposureTime)
{
    return QStringLiteral("Prop_ImageWidth=%1,Prop_ImageHeight=%2,Prop_ExposureTime1=%3,")
        .arg(width)
        .arg(height)
        .arg(exposureTime, 0, 'g', 6)
        .toLatin1();
}

QByteArray itexFileHeader(const ItexHeader& h, int commentLength)
{
    QByteArray b(64, '\0');
    b[0] = 'I';
    b[1] = 'M';
    putU16(b, 2, uint16_t(commentLength));
    putU16(b, 4, h.width);
    putU16(b, 6, h.height);
    putU16(b, 8, h.offsetX);
    putU16(b, 10, h.offsetY);
    putU16(b, 12, h.pixelType);
    putU16(b, 14, h.frameCount);
    return b;
}

QByteArray itexFrameU16(const QVector<uint16_t>& pixels)
{
    QByteArray b(pixels.size() * 2, '\0');
    for (int i = 0; i < pixels.size(); ++i)
        putU16(b, 2 * i, pixels[i]);
    return b;
}

bool writeItexFile(const QString& path, const ItexHeader& h, const QByteArray& comment,
                   const QVector<QByteArray>& frames)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    bool ok = f.write(itexFileHeader(h, int(comment.size()))) == 64;
    ok = ok && f.write(comment) == comment.size();
    for (int k = 0; ok && k < frames.size(); ++k) {
        if (k > 0)
            ok = f.write(QByteArray(64, '\0')) == 64;
        ok = ok && f.write(frames[k]) == frames[k].size();
    }
    f.close();
    return ok && f.error() == QFileDevice::NoError;
}
