// Building the corrected sinogram of one slice from the image set, and the
// automatic guess of the centre of rotation. Free of widgets; the sinogram
// panel and every reconstruction worker call into it.
#pragma once

#include "recon/hsgm.h"

class ImgDatas;

// Which images of the set a sinogram uses: `count` images from `start` on,
// wrapping around the end of the set. A start outside the set means 0, the
// count's sign is ignored.
struct SgmRange {
    int start = 0;
    int count = 0;

    // The images a sinogram takes: the partial data set when it is on, else
    // every image of the set from the first.
    static SgmRange of(bool partial, int start, int count, int setCount)
    {
        return partial ? SgmRange{start, count} : SgmRange{0, setCount};
    }
};

// Fills hSgm with the sinogram of detector row `slice` (vertical axis) or
// column `slice` (horizontal axis), resampled so that the CoR is column
// half - 1, and normalised with the set's I0 and BG images. Returns false and
// leaves hSgm empty when the CoR is too close to an edge, the set is empty or
// the range is unreasonable. Reads the set only, so workers may call it at
// once, each with its own holder.
// withRaw false: the resampled intensities are not kept (a worker needs the
// logarithms only).
bool genSinogram0(HSgm& hSgm, const ImgDatas& set, bool rotAxIsV, double cor, int slice, SgmRange range,
                  bool withRaw = true);

// D, the length of a detector line across the rotation axis: the image
// width for a vertical axis, the height for a horizontal one.
int lineLength(const ImgDatas& set, bool rotAxIsV);

// Linear interpolation of line p (n values) at position x; a neighbour
// outside the line counts as 0.
double interpolateLine(const double* p, int n, double x);

// One row of the check image: 2 * n values, value k taken at x = cor - n + k.
void checkImageRow(const double* p, int n, double cor, double* out);

struct CorGuessInput {
    bool rotAxIsV = false;
    double cor = 0.0;       // start of the search
    int slice = 0;
    int startImage = 0;     // first image of the (partial) data set
    double rangeDeg = 180.0;
    double window = 0.35;   // half width of the correlation window, fraction of the line length
};

// Correlates the slice's normalised line of the first image with that of
// the image 180 degrees later, mirrored about each candidate centre: a
// coarse climb in whole pixels from the given CoR, then half pixels and the
// vertex of a parabola. The result is the mirror centre, i.e. the CoR in the
// convention of genSinogram0. On failure (no images, no usable range, no
// structure) returns false and leaves *result untouched.
bool guessCor(const ImgDatas& set, const CorGuessInput& in, double* result);
