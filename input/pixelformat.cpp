#include "input/pixelformat.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

int pixelBytes(PixelKind kind)
{
    switch (kind) {
    case PixelKind::U8:
    case PixelKind::S8:
        return 1;
    case PixelKind::U16:
    case PixelKind::S16:
        return 2;
    case PixelKind::U32:
    case PixelKind::S32:
    case PixelKind::F32:
        return 4;
    case PixelKind::None:
        break;
    }
    return 0;
}

template <typename T>
static inline T loadLE(const uint8_t* p)
{
    return qFromLittleEndian<T>(p);
}

template <>
inline float loadLE<float>(const uint8_t* p)
{
    const quint32 bits = qFromLittleEndian<quint32>(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

template <typename T>
static void convertAs(const uint8_t* src, std::size_t n, std::ptrdiff_t stride, double* dst)
{
    if (stride == std::ptrdiff_t(sizeof(T))) {
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = double(loadLE<T>(src + i * sizeof(T)));
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = double(loadLE<T>(src + std::ptrdiff_t(i) * stride));
}

void convertPixels(const uint8_t* src, PixelKind kind, std::size_t n, std::ptrdiff_t strideBytes, double* dst)
{
    switch (kind) {
    case PixelKind::U8:
        return convertAs<quint8>(src, n, strideBytes, dst);
    case PixelKind::S8:
        return convertAs<qint8>(src, n, strideBytes, dst);
    case PixelKind::U16:
        return convertAs<quint16>(src, n, strideBytes, dst);
    case PixelKind::S16:
        return convertAs<qint16>(src, n, strideBytes, dst);
    case PixelKind::U32:
        return convertAs<quint32>(src, n, strideBytes, dst);
    case PixelKind::S32:
        return convertAs<qint32>(src, n, strideBytes, dst);
    case PixelKind::F32:
        return convertAs<float>(src, n, strideBytes, dst);
    case PixelKind::None:
        break;
    }
    std::fill(dst, dst + n, 0.0);
}

void hostToLittleEndian(uint8_t* data, PixelKind kind, std::size_t n)
{
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian)
        return;
    const int b = pixelBytes(kind);
    for (std::size_t i = 0; i < n; ++i)
        std::reverse(data + i * b, data + (i + 1) * b);
}

void RawFrame::row(int y, double* dst) const
{
    if (width <= 0)
        return;
    const int64_t b = pixelBytes(kind);
    if (y < 0 || y >= height || int64_t(bytes.size()) - int64_t(start) < pixelBytesNeeded()) {
        std::fill(dst, dst + width, 0.0);
        return;
    }
    convertPixels(bytes.data() + start + int64_t(y) * width * b, kind, std::size_t(width), dst);
}

void RawFrame::column(int x, double* dst) const
{
    if (height <= 0)
        return;
    const int64_t b = pixelBytes(kind);
    if (x < 0 || x >= width || int64_t(bytes.size()) - int64_t(start) < pixelBytesNeeded()) {
        std::fill(dst, dst + height, 0.0);
        return;
    }
    convertPixels(bytes.data() + start + x * b, kind, std::size_t(height), std::ptrdiff_t(width * b), dst);
}
