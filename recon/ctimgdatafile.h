// The CT image data file ("#FENU-CTImg": a header and one "x z value" line
// per pixel) that every reconstructed slice is saved as, and the reader of
// the "## 240301" text matrix that other programs write.
#pragma once

#include <QByteArray>
#include <QString>

#include <cfloat>
#include <cstddef>
#include <vector>

class PageBytes;
class QIODevice;

// A row-major matrix of doubles owned elsewhere: row index z, column index x.
struct MatrixView {
    const double* data = nullptr;
    int rows = 0;
    int cols = 0;
};

// The part of the grid that is written, in grid pixels: x from trunc(x0)
// while x < x1, z from trunc(z0) while z < z1.
struct DataRegion {
    double x0 = 0.0;
    double z0 = 0.0;
    double x1 = 0.0;
    double z1 = 0.0;
};

// Values above upper or below lower become 0; the offset is added to all.
struct DataLimits {
    double upper = 10.0;
    double lower = -10.0;
    double offset = 10.0;
};

// A matrix read back from a text file.
struct DataMatrix {
    std::vector<double> values; // ny rows of nx values; row y (z), column x
    int nx = 0;
    int ny = 0;
    double min = DBL_MAX;  // of the values read
    double max = -DBL_MAX;

    double at(int x, int y) const { return values[std::size_t(y) * std::size_t(nx) + std::size_t(x)]; }
    const double* row(int y) const { return values.data() + std::size_t(y) * std::size_t(nx); }
};

// Longest text formatDouble6 writes ("-1.23457e-308"), and the room it
// needs at out: it stores in fixed-size pieces, some behind the text's end.
constexpr int kDouble6MaxChars = 13;
constexpr int kDouble6Room = 16;

// Writes v exactly as QTextStream writes a double by default (6 significant
// digits, fixed or scientific like %g, ties away from zero, "0" for -0,
// "nan", "inf"). No terminating zero; returns the end of the text.
char* formatDouble6(double v, char* out);

// The whole file text. Empty (with one diagnostic line) only for a region
// that is not finite or would need an absurd amount of text.
QByteArray buildCtImgDataText(const MatrixView& result, const DataRegion& region, const DataLimits& limits);
// The same into page memory, for writing without the page cache; false
// where the above is empty. A worker refills the same memory slice after
// slice (warm memory is several times faster to fill than fresh pages); it
// makes sure no other thread reads *text meanwhile.
bool buildCtImgDataText(const MatrixView& result, const DataRegion& region, const DataLimits& limits,
                        PageBytes* text);

// Readers. name is used in diagnostics only. A file that is not of the
// format (wrong first line) fails without a message, so that callers can
// try one format after another; real trouble writes one line.
bool readCtImgData(QIODevice* dev, DataMatrix* m, const QString& name = QString());
bool readCtImgDataFile(const QString& path, DataMatrix* m);
bool readMatrixData(QIODevice* dev, DataMatrix* m, const QString& name = QString());
bool readMatrixDataFile(const QString& path, DataMatrix* m);
