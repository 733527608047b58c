// ITEX files built byte by byte for the reader tests, including broken ones:
// a header may lie about the comment length or the frame size, and a file
// may be cut short.
#pragma once

#include "tools/itexwriter.h"

#include <QByteArray>
#include <QString>
#include <QVector>

struct ItexFixture {
    ItexHeader header;
    QByteArray comment;
    int commentLength = -1;     // written into the header; -1: the real length
    QVector<QByteArray> frames; // frame 0 follows the comment, later ones a 64-byte frame header

    QByteArray bytes() const;
    // Writes the file, cut to truncateTo bytes when that is >= 0.
    bool write(const QString& path, qint64 truncateTo = -1) const;
};

// A valid one-frame file of the given pixel type holding `values` row after
// row (width x height), with the standard properties.
ItexFixture itexImage(int width, int height, int pixelType, const QVector<double>& values, double exposure = 1.0);

// `values` in the stored form of an ITEX pixel type (little-endian).
QByteArray itexPixels(int pixelType, const QVector<double>& values);

// Writes raw bytes to a file.
bool writeBytes(const QString& path, const QByteArray& bytes);
