// Reader of the camera's ITEX files: .img holds one frame, .his a sequence
// of frames, each behind a 64-byte header; the image size and exposure time
// come from the comment's properties.
#pragma once

#include "input/imgdata.h"
#include "input/pixelformat.h"

#include <QFile>
#include <QMutex>

#include <cstdint>
#include <memory>

class ImgDataITEX : public ImgData
{
public:
    ImgDataITEX();
    ~ImgDataITEX() override;

    void reset() override;
    bool readProps(const QString& fileName, int& width, int& height) override;
    bool openData() override;
    double* getLine(int y, double* buf) override;
    double* getColumn(int x, double* buf) override;
    bool readRows(int y0, int rows, uint8_t* dst) override;
    PixelKind pixelKind() const override { return kindOf(pixelType); }

    // Header fields. Offsets are 64-bit: late frames of a large sequence
    // file lie beyond 2 GiB.
    int headerSize = 0;      // 64 + comment length
    int64_t dataOffset = 0;  // file offset of this frame's first pixel
    int hdrWidth = 0;
    int hdrHeight = 0;
    int hdrOffsetX = 0;
    int hdrOffsetY = 0;
    int pixelType = 0;       // 0 u8, 1 s16, 2 u16, 3 s32, 4 float; others read as zeros
    int bytesPerPixel = 0;
    int frameCount = 0;
    int64_t frameBytes = 0;  // header width x header height x bytes per pixel

    // The stored format of a pixel type of the header.
    static PixelKind kindOf(int pixelType);
    // Frames of the file by its header, without a word when it is no ITEX
    // file (-1); 0 when the header can't be read (after the reader's line).
    static int sequenceFrames(const QString& path);

protected:
    void releaseFile() override { file.reset(); }

private:
    // readProps on a file opened at its start.
    bool readPropsFrom(QFile& f, int& width, int& height);
    bool readStreamed(int64_t offset, int64_t count, uint8_t* dst);

    // Streaming mode only: the open file, one stored row, and the lock that
    // keeps concurrent requests from sharing the file position.
    std::unique_ptr<QFile> file;
    std::vector<uint8_t> rawLine;
    QMutex streamLock;
    // Memory mode: the whole frame as stored.
    RawFrame frameData;
};
