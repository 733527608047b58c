// A stack of reconstructed slices for the 3-D view: one slice read back from
// a data file, an image or a TIFF, and the whole stack with its value range
// and histogram. A stack handed to the window is never changed again.
#pragma once

#include <QImage>
#include <QMetaType>
#include <QString>

#include <memory>
#include <vector>

struct SliceData {
    int width = 0;
    int height = 0;
    bool isImage = false; // values are the lowest 8 bits of image's pixel colours
    QImage image;         // image slices only
    double vmin = 0.0;    // over the finite values
    double vmax = 1.0;
    std::vector<double> values; // height rows of width values, image slices too

    double value(int x, int y) const { return values[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    const double* row(int y) const { return values.data() + std::size_t(y) * std::size_t(width); }
};

// Reads a TIFF through the program's own reader (its real values), else any
// image the image library recognises by content, else a "#FENU-CTImg" data
// file, else a "## 240301" matrix. False when none of them can read it.
bool readSliceFile(const QString& path, SliceData* s);

struct SliceStack {
    bool loaded = false;          // at least one slice was accepted
    std::vector<SliceData> slices; // file order
    int width = 0;                // common size, from the first sized slice
    int height = 0;
    double vmin = 0.0;            // over every finite value of the stack
    double vmax = 1.0;
    double thresholdLow = 0.0;    // vmin and vmax after a load
    double thresholdHigh = 1.0;

    bool histogramReady = false;
    int bins = 50;
    int histImageHeight = 100;
    std::vector<qint64> counts;
    double binWidth = 1.0;
    double highestCount = 0.0;
    QImage histImage;             // bins x histImageHeight, RGB32

    // Smallest and largest value (NaN left out) of each brick of
    // kBrick x kBrick x kBrick voxels, x fastest; empty until makeBricks().
    static constexpr int kBrick = 8;
    int bricksX = 0, bricksY = 0, bricksZ = 0;
    std::vector<double> brickMin, brickMax;

    int count() const { return int(slices.size()); }
    // Lets the picture pass over bricks whose values all lie outside the
    // threshold window.
    void makeBricks();
    // Counts the finite values into bins centred on vmin + k * binWidth and
    // draws the bar picture.
    void makeHistogram();
};

using SliceStackPtr = std::shared_ptr<const SliceStack>;
Q_DECLARE_METATYPE(SliceStackPtr)

// MemAvailable of the system in bytes, -1 when unknown.
qint64 availableMemoryBytes();
