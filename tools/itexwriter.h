// Writes ITEX camera files (.img one frame, .his a sequence of frames) as
// the readers expect them: 64-byte header, comment, then the pixels of each
// frame, every further frame behind a 64-byte frame header.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>

struct ItexHeader {
    uint16_t width = 0;      // header width (sizes the frame stride)
    uint16_t height = 0;
    uint16_t offsetX = 0;
    uint16_t offsetY = 0;
    uint16_t pixelType = 2;  // 0 u8, 1 s16, 2 u16, 3 s32, 4 float
    uint16_t frameCount = 1;
};

// The comment the readers look for: each property followed by a comma,
// since the text after the last comma is never read.
QByteArray itexComment(int width, int height, double exposureTime);

// The 64-byte file header with the given comment length.
QByteArray itexFileHeader(const ItexHeader& h, int commentLength);

// One 16-bit unsigned little-endian frame.
QByteArray itexFrameU16(const QVector<uint16_t>& pixels);

// Writes a whole file: file header, comment, frame 0, then each further
// frame after a 64-byte frame header. False when the file can't be written.
bool writeItexFile(const QString& path, const ItexHeader& h, const QByteArray& comment,
                   const QVector<QByteArray>& frames);
