// PNG bytes of a result image, made by the worker that computed the slice so
// that compression runs on as many cores as there are workers and the saver
// thread only writes. libdeflate instead of zlib: several times faster at
// the same level, and the pixels read back are the same.
#pragma once

#include <QByteArray>
#include <QImage>

// The DEFLATE level for a configured zlib level: 0 .. 9 as given, anything
// else the default, 6 (zlib's default, which the image writer used).
int pngDeflateLevel(int zlibLevel);

// A complete PNG file of img. 8-bit grey images (every result picture) are
// encoded here: IHDR, pHYs when the image has a resolution, one IDAT, IEND,
// rows filtered by the smallest sum of absolute differences like libpng.
// Other formats go through the image writer at the same level. Empty for a
// null image or when memory runs out.
QByteArray encodePng(const QImage& img, int zlibLevel = -1);
