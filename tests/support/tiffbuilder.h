// Little-endian TIFF files built byte by byte for the reader tests: strips or
// tiles, several pages, an EXIF exposure time, and tags that libtiff would
// refuse to write (unknown codecs, lying sizes).
#pragma once

#include <QByteArray>
#include <QVector>

struct TiffPage {
    int width = 0;
    int height = 0;
    int bitsPerSample = 16;
    int sampleFormat = 1;     // 1 unsigned, 2 signed, 3 float
    int samplesPerPixel = 1;
    int photometric = 1;      // 1 black is zero, 2 RGB
    int compression = 1;      // written as given; the pixels are stored as they are
    int rowsPerStrip = 0;     // 0: one strip
    int tileWidth = 0;        // > 0: tiled (multiples of 16)
    int tileHeight = 0;
    double exposure = 0.0;    // > 0: EXIF ExposureTime
    QByteArray pixels;        // stored samples, row after row, little-endian
};

QByteArray buildTiff(const QVector<TiffPage>& pages);

// `values` as little-endian samples of the given size and format.
QByteArray tiffSamples(int bitsPerSample, int sampleFormat, const QVector<double>& values);
