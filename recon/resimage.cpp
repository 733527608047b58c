#include "recon/resimage.h"

#include "recon/bigbuffer.h"

#include <cstdint>

QImage makeResImage(const double* result, int n, const ColorScale& scale)
{
    if (!result || n <= 0)
        return QImage();
    QImage img(n, n, QImage::Format_Grayscale8);
    if (img.isNull())
        return img;
    adviseHugePages(img.bits(), std::size_t(img.sizeInBytes()));
    for (int z = 0; z < n; ++z)
        scale.mapToGrey(result + std::size_t(z) * std::size_t(n), std::size_t(n),
                        reinterpret_cast<uint8_t*>(img.scanLine(z)));
    return img;
}
