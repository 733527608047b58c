#include "recon/resimage.h"

#include "recon/bigbuffer.h"

#include <cstdint>
#include <utility>

QImage makeResImage(const double* result, int n, const ColorScale& scale, QImage* reuse)
{
    if (!result || n <= 0)
        return QImage();
    QImage img;
    if (reuse && reuse->isDetached() && reuse->size() == QSize(n, n) && reuse->format() == QImage::Format_Grayscale8)
        std::swap(img, *reuse);
    else
        img = QImage(n, n, QImage::Format_Grayscale8);
    if (img.isNull())
        return img;
    adviseHugePages(img.bits(), std::size_t(img.sizeInBytes()));
    for (int z = 0; z < n; ++z)
        scale.mapToGrey(result + std::size_t(z) * std::size_t(n), std::size_t(n),
                        reinterpret_cast<uint8_t*>(img.scanLine(z)));
    return img;
}
