#include "input/imgdataitex.h"

#include "app/linetokens.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

#ifdef __linux__
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace {

// An ITEX header stores sizes in 16 bits, so no image can be larger.
constexpr int maxItexSide = 65535;

struct CommentProps {
    int width = 0;
    int height = 0;
    int areaWidth = 0;   // "areSource=" fallbacks
    int areaHeight = 0;
    bool hasExposure = false;
    double exposure = 1.0;
};

int toInt32(const QString& text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : 0;
}

int clampedDifference(int a, int b)
{
    const int64_t d = int64_t(a) - int64_t(b);
    return d > INT_MAX || d < INT_MIN ? 0 : int(d);
}

void matchProperty(const QString& item, CommentProps& p)
{
    static const QString width = QStringLiteral("Prop_ImageWidth=");
    static const QString height = QStringLiteral("Prop_ImageHeight=");
    static const QString exp1 = QStringLiteral("Prop_ExposureTime1=");
    static const QString exp2 = QStringLiteral("Prop_ExposureTime2=");
    static const QString area = QStringLiteral("areSource=");

    QString rest;
    if (item.startsWith(width)) {
        p.width = toInt32(takeItem(item.mid(width.size()), &rest));
    } else if (item.startsWith(height)) {
        p.height = toInt32(takeItem(item.mid(height.size()), &rest));
    } else if (item.startsWith(exp1) || item.startsWith(exp2)) {
        p.exposure = takeItem(item.mid(exp1.size()), &rest).toDouble();
        p.hasExposure = true;
    } else if (item.startsWith(area)) {
        QString v = item.mid(area.size());
        v.replace(QLatin1Char(','), QLatin1Char(' '));
        v.remove(QLatin1Char('"'));
        int n[4];
        for (int& k : n) {
            k = toInt32(takeItem(v, &rest));
            v = rest;
        }
        p.areaWidth = clampedDifference(n[2], n[0]);
        p.areaHeight = clampedDifference(n[3], n[1]);
    }
}

// Items are separated by commas outside double quotes; the quotes stay in
// the item. Text after the last comma is not an item.
CommentProps parseComment(const QString& text)
{
    CommentProps p;
    QString item;
    bool inQuotes = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
            item += c;
        } else if (c == QLatin1Char(',') && !inQuotes) {
            matchProperty(item, p);
            item.clear();
        } else {
            item += c;
        }
    }
    return p;
}

// The comment as text when it is all there in the header's bytes and plain
// ASCII without carriage returns, which text-mode reading would drop; a null
// string otherwise.
QString plainComment(const QByteArray& head, int length)
{
    if (head.size() < 64 + length)
        return QString();
    const char* c = head.constData() + 64;
    for (int i = 0; i < length; ++i)
        if (uchar(c[i]) >= 0x80 || c[i] == '\r')
            return QString();
    return QString::fromLatin1(c, length);
}

// A large frame that is not in the page cache is read with O_DIRECT, from
// the disk straight into the frame's memory: no copy through the cache and
// no cache pages to allocate and drop, which on a busy machine is several
// times the rate. Frames in the cache (and systems without O_DIRECT) are
// read as usual (false).
bool readUncached(const QString& path, int64_t offset, int64_t count, RawFrame& frame)
{
#if defined(__linux__) && defined(O_DIRECT) && defined(RWF_NOWAIT)
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // The frame's last bytes: reading the header has brought its first
    // pages in already.
    char probe[512];
    iovec v{probe, sizeof probe};
    const bool cold = ::preadv2(fd, &v, 1, offset + count - int64_t(sizeof probe), RWF_NOWAIT) < 0 && errno == EAGAIN;
    ::close(fd);
    if (!cold)
        return false;
    fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_DIRECT);
    if (fd < 0)
        return false;
    constexpr int64_t align = 4096;
    const int64_t first = offset / align * align;
    const int64_t need = offset - first + count;
    const int64_t len = (need + align - 1) / align * align;
    frame.bytes.resize(std::size_t(len));
    int64_t got = 0;
    if (reinterpret_cast<std::uintptr_t>(frame.bytes.data()) % align == 0) {
        while (got < need) {
            const ssize_t n = ::pread(fd, frame.bytes.data() + got, std::size_t(len - got), first + got);
            if (n <= 0)
                break;
            got += n;
        }
    }
    ::close(fd);
    if (got < need)
        return false;
    frame.start = std::size_t(offset - first);
    return true;
#else
    Q_UNUSED(path), Q_UNUSED(offset), Q_UNUSED(count), Q_UNUSED(frame);
    return false;
#endif
}

} // namespace

ImgDataITEX::ImgDataITEX() = default;

ImgDataITEX::~ImgDataITEX() = default;

PixelKind ImgDataITEX::kindOf(int type)
{
    switch (type) {
    case 0:
        return PixelKind::U8;
    case 1:
        return PixelKind::S16;
    case 2:
        return PixelKind::U16;
    case 3:
        return PixelKind::S32;
    case 4:
        return PixelKind::F32;
    default:
        return PixelKind::None;
    }
}

void ImgDataITEX::reset()
{
    ImgData::reset();
    headerSize = 0;
    dataOffset = 0;
    hdrWidth = hdrHeight = hdrOffsetX = hdrOffsetY = 0;
    pixelType = bytesPerPixel = frameCount = 0;
    frameBytes = 0;
    file.reset();
    rawLine.clear();
    frameData = RawFrame();
}

bool ImgDataITEX::readProps(const QString& name, int& w, int& h)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        w = h = 0;
        headerSize = 0;
        qDebug().noquote() << "Can not open ITEX file to read props." << name;
        return false;
    }
    return readPropsFrom(f, w, h);
}

bool ImgDataITEX::readPropsFrom(QFile& f, int& w, int& h)
{
    const QString name = f.fileName();
    w = h = 0;
    headerSize = 0;
    // The header and, in the same read, a comment of the usual size.
    const QByteArray head = f.read(64 + 1024);
    if (head.size() < 40) {
        qDebug().noquote() << "Error on reading ITEX file props." << name;
        return false;
    }
    const uchar* b = reinterpret_cast<const uchar*>(head.constData());
    if (b[0] != 0x49 || b[1] != 0x4D)
        return false;
    const int commentLength = qFromLittleEndian<quint16>(b + 2);
    hdrWidth = qFromLittleEndian<quint16>(b + 4);
    hdrHeight = qFromLittleEndian<quint16>(b + 6);
    hdrOffsetX = qFromLittleEndian<quint16>(b + 8);
    hdrOffsetY = qFromLittleEndian<quint16>(b + 10);
    pixelType = qFromLittleEndian<quint16>(b + 12);
    frameCount = qFromLittleEndian<quint16>(b + 14);
    headerSize = 64 + commentLength;
    dataOffset = headerSize;
    bytesPerPixel = pixelBytes(kindOf(pixelType));
    frameBytes = int64_t(hdrWidth) * hdrHeight * bytesPerPixel;

    if (commentLength == 0) {
        qDebug().noquote() << "ITEX file has no comment, so no image size :" << name;
        return false;
    }
    QString comment = plainComment(head, commentLength);
    if (comment.isNull()) {
        // Text mode: an end-of-line sequence in the comment counts as one
        // character.
        QFile t(name);
        if (!t.open(QIODevice::ReadOnly | QIODevice::Text)) {
            qDebug().noquote() << "Can not open ITEX file to read props." << name;
            return false;
        }
        t.seek(64);
        QTextStream ts(&t);
        ts.setEncoding(QStringConverter::Utf8);
        ts.setAutoDetectUnicode(false);
        comment = ts.read(commentLength);
    }
    if (comment.size() < commentLength) {
        qDebug().noquote() << "ITEX comment is longer than the file :" << name;
        return false;
    }

    const CommentProps p = parseComment(comment);
    if (p.hasExposure)
        exposureTime = p.exposure;
    w = p.width < 1 ? p.areaWidth : p.width;
    h = p.height < 1 ? p.areaHeight : p.height;
    if (w < 1 || h < 1) {
        qDebug().noquote() << "ITEX file props give no image size :" << name;
        w = h = 0;
        return false;
    }
    // Rows are addressed with the property width inside the frame the header
    // describes; an image larger than that frame would be read past its end.
    if (w > maxItexSide || h > maxItexSide || int64_t(w) * h > int64_t(hdrWidth) * hdrHeight) {
        qDebug().noquote() << QStringLiteral("ITEX image size (%1 x %2) does not fit its frame (%3 x %4) : %5")
                                  .arg(w).arg(h).arg(hdrWidth).arg(hdrHeight).arg(name);
        w = h = 0;
        return false;
    }
    rawLine.assign(std::size_t(w) * std::size_t(bytesPerPixel), 0);
    return true;
}

bool ImgDataITEX::openData()
{
    auto f = std::make_unique<QFile>(fileName);
    if (!f->open(inMemory ? QIODevice::ReadOnly | QIODevice::Unbuffered : QIODevice::ReadOnly)) {
        qDebug().noquote() << "Can not open ITEX file" << fileName;
        return false;
    }
    // Checked by division first: a huge frame index must not overflow.
    const int64_t size = f->size();
    const int64_t stride = frameBytes + 64;
    const bool inFile = frameIndex >= 0 && int64_t(frameIndex) <= (size - headerSize) / stride;
    if (inFile)
        dataOffset = headerSize + int64_t(frameIndex) * stride;
    if (!inFile || dataOffset + frameBytes > size) {
        qDebug().noquote() << QStringLiteral("Frame %1 lies beyond the end of ITEX file : %2").arg(frameIndex).arg(fileName);
        return false;
    }
    // Pixels of an unknown type read as zeros, but the image is still held to
    // at least a byte per pixel of the file, so a 100-byte file can't claim
    // gigapixels.
    if (bytesPerPixel == 0 && int64_t(width) * height > size - dataOffset) {
        qDebug().noquote() << QStringLiteral("ITEX image of unknown pixel type %1 (%2 x %3) is larger than the file : %4")
                                  .arg(pixelType).arg(width).arg(height).arg(fileName);
        return false;
    }
    frameData = RawFrame();
    frameData.kind = kindOf(pixelType);
    frameData.width = width;
    frameData.height = height;
    if (!inMemory) {
        file = std::move(f);
        return true;
    }
    // The frame is in memory, so the file is closed again: a data set of
    // thousands of files must not hold thousands of open handles.
    if (frameBytes >= int64_t(frameBlockMinBytes) && readUncached(fileName, dataOffset, frameBytes, frameData))
        return true;
    frameData.start = 0;
    frameData.bytes.resize(std::size_t(frameBytes));
    if (!f->seek(dataOffset) || f->read(reinterpret_cast<char*>(frameData.bytes.data()), frameBytes) != frameBytes) {
        qDebug().noquote() << "Error on reading ITEX frame" << fileName;
        frameData = RawFrame();
        return false;
    }
    return true;
}

bool ImgDataITEX::readStreamed(int64_t offset, int64_t count, uint8_t* dst)
{
    int64_t got = 0;
    if (file && file->seek(offset))
        got = std::max<int64_t>(file->read(reinterpret_cast<char*>(dst), count), 0);
    // The file shrank since it was opened: what is missing reads as zeros.
    std::fill(dst + got, dst + count, uint8_t(0));
    return got == count;
}

double* ImgDataITEX::getLine(int y, double* buf)
{
    if (!ready) {
        std::fill(buf, buf + std::max(width, 0), 0.0);
        return buf;
    }
    if (inMemory) {
        frameData.row(y, buf);
        return buf;
    }
    if (held.row(y, buf))
        return buf;
    // A probed frame keeps no file: what it does not hold reads as zeros.
    if (y < 0 || y >= height || !file) {
        std::fill(buf, buf + width, 0.0);
        return buf;
    }
    QMutexLocker lock(&streamLock);
    const int64_t rowBytes = int64_t(width) * bytesPerPixel;
    readStreamed(dataOffset + rowBytes * y, rowBytes, rawLine.data());
    convertPixels(rawLine.data(), frameData.kind, std::size_t(width), buf);
    return buf;
}

double* ImgDataITEX::getColumn(int x, double* buf)
{
    if (!ready) {
        std::fill(buf, buf + std::max(height, 0), 0.0);
        return buf;
    }
    if (inMemory) {
        frameData.column(x, buf);
        return buf;
    }
    if (held.column(x, buf))
        return buf;
    if (x < 0 || x >= width || !file) {
        std::fill(buf, buf + height, 0.0);
        return buf;
    }
    RawFrame whole;
    whole.kind = frameData.kind;
    whole.width = width;
    whole.height = height;
    whole.bytes.resize(std::size_t(whole.pixelBytesNeeded()));
    {
        QMutexLocker lock(&streamLock);
        readStreamed(dataOffset, whole.pixelBytesNeeded(), whole.bytes.data());
    }
    whole.column(x, buf);
    return buf;
}

bool ImgDataITEX::readRows(int y0, int rows, uint8_t* dst)
{
    if (!ready || y0 < 0 || rows < 0 || int64_t(y0) + rows > height)
        return false;
    const int64_t rowBytes = int64_t(width) * bytesPerPixel;
    const int64_t count = rowBytes * rows;
    // Its own handle: workers' streaming requests may use the kept one.
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && f.seek(dataOffset + rowBytes * y0)
           && f.read(reinterpret_cast<char*>(dst), count) == count;
}

int ImgDataITEX::sequenceFrames(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || f.read(2) != "IM" || !f.seek(0))
        return -1;
    ImgDataITEX itex;
    itex.reset();
    int w = 0, h = 0;
    return itex.readPropsFrom(f, w, h) ? std::max(1, itex.frameCount) : 0;
}
