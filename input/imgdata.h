// One projection, flat or dark image read from a file. Everything above the
// readers sees only this interface: sizes, exposure time, and rows and
// columns of pixels as doubles.
#pragma once

#include "input/linestore.h"

#include <QString>

#include <memory>
#include <vector>

class ColorScale;
class QImage;

enum class FileType { ITEX = 0, TIFF = 1, Unknown = 2 };

class ImgData
{
public:
    virtual ~ImgData();

    // Puts every field back to its initial value.
    virtual void reset();
    // Reads the file's header: sets width and height (and exposureTime).
    virtual bool readProps(const QString& fileName, int& width, int& height) = 0;
    // Opens the file for pixel access at frameIndex.
    virtual bool openData() = 0;
    // Row y into buf[0..width) and column x into buf[0..height). An index
    // outside the image gives zeros. In memory mode only buf is written, so
    // several threads may read one image at once, each with its own buffer;
    // streaming reads are serialised inside the reader.
    virtual double* getLine(int y, double* buf) = 0;
    virtual double* getColumn(int x, double* buf) = 0;

    // Reads frame `frameIndex` of fileName (set fileName and inMemory first).
    bool load(int frameIndex);
    // Window-less runs: checks the frame as load does but reads no pixel and
    // keeps no file open; rows and columns then read as zeros except the
    // lines held by holdLines.
    bool probe(int frameIndex);
    // Reads the selected lines of the frame from the file, in place of those
    // held before. scratch: reusable buffer for cutting out columns; into:
    // heldBytes(sel) of block's memory to hold them in (null: memory of its own).
    bool holdLines(const std::shared_ptr<const LineSelection>& sel, std::vector<uint8_t>& scratch,
                   uint8_t* into = nullptr, const std::shared_ptr<const uint8_t>& block = {});
    int64_t heldBytes(const LineSelection& sel) const;
    void dropLines() { held.clear(); }
    // Stored rows y0 .. y0 + rows - 1 straight from the file (little-endian
    // pixels of pixelKind(), rows of width pixels).
    virtual bool readRows(int y0, int rows, uint8_t* dst) = 0;
    virtual PixelKind pixelKind() const = 0;
    // Scans every pixel for minValue and maxValue.
    void findMinMax();
    // Renders the image as width x height 8-bit grey through scale. Unless
    // fixedScale, the scale's range becomes the image's extremes first.
    void toImage(QImage& target, ColorScale& scale, bool fixedScale);

    bool ready = false;
    bool inMemory = true;       // whole frame read at load; false: every request reads the file
    double exposureTime = 1.0;  // seconds
    int width = 0;              // pixels per row
    int height = 0;             // rows
    QString fileName;
    int frameIndex = 0;         // frame of a multi-frame file (page of a TIFF)
    bool minMaxValid = false;
    double minValue = 0.0;
    double maxValue = 0.0;
    std::vector<double> lineBuf;   // width scratch values, for this object's own use
    std::vector<double> columnBuf; // height scratch values

protected:
    ImgData();
    // Closes a file that streaming mode keeps open.
    virtual void releaseFile() {}

    HeldLines held; // probed frames only
};

// "IM" at the start of the file.
bool isItexFile(const QString& path);
// A TIFF byte-order mark ("II" or "MM") at the start of the file.
bool isTiffFile(const QString& path);
FileType detectFileType(const QString& path);
// A new reset reader for the type, nullptr for Unknown. The caller owns it.
ImgData* createImgData(FileType type);
// Detects the type, creates the reader and loads frame `frame`; nullptr
// (after the reader's diagnostic) when that fails. The caller owns the
// result. Flat and dark images are loaded with inMemory true, so that the
// reconstruction workers read them at once without touching the file.
ImgData* loadImgData(const QString& path, int frame, bool inMemory);
// Number of frames (ITEX) or pages (TIFF) in the file; 0 when unreadable.
int imageFrameCount(const QString& path);
