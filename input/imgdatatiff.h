// Reader of greyscale TIFF files through libtiff: 8-, 16- and 32-bit
// unsigned and signed integers and 32-bit floats, in strips or tiles, with
// any codec libtiff has; each page of a multi-page file is one frame.
#pragma once

#include "input/imgdata.h"
#include "input/pixelformat.h"

#include <QMutex>

#include <cstdint>

struct tiff;

class ImgDataTiff : public ImgData
{
public:
    ImgDataTiff();
    ~ImgDataTiff() override;

    void reset() override;
    bool readProps(const QString& fileName, int& width, int& height) override;
    bool openData() override;
    double* getLine(int y, double* buf) override;
    double* getColumn(int x, double* buf) override;
    bool readRows(int y0, int rows, uint8_t* dst) override;
    PixelKind pixelKind() const override { return layout.kind; }

    // Pages in the file, 0 when it can't be read.
    static int pageCount(const QString& path);

    // How the pixels of the page are stored (filled by readProps).
    struct Layout {
        PixelKind kind = PixelKind::None;
        bool tiled = false;
        int tileWidth = 0;
        int tileHeight = 0;
        int rowsPerStrip = 0;
        int64_t blockBytes = 0; // one decoded strip or tile
    };

protected:
    void releaseFile() override { closeFile(); }

private:
    bool decodeRows(tiff* t, int y0, int rows, uint8_t* dst);
    void closeFile();

    Layout layout;
    tiff* tif = nullptr;  // streaming mode only
    QString tiffError;    // first libtiff complaint of the current open
    QMutex streamLock;
    RawFrame frameData;   // memory mode
};
