// A slice's calculation region as a single-page 32-bit IEEE float TIFF: the
// reconstructed values as they are, for image tools (ImageJ/Fiji, Python's
// tifffile) that want numbers without the data file's text.
#pragma once

#include "recon/ctimgdatafile.h"

#include <QByteArray>

class PageBytes;

// The same pixels as the data file of the region (x from trunc(x0) while
// x < x1, z likewise; outside the grid 0), one TIFF row per z, without
// limits or offset. Uncompressed, strips of about 8 KiB, little-endian
// classic TIFF. Empty, with one diagnostic line, for a region that is not
// usable or would not fit a classic TIFF.
QByteArray buildFloatTiff(const MatrixView& result, const DataRegion& region);
// The same into page memory (see PageBytes); false where the above is empty.
bool buildFloatTiff(const MatrixView& result, const DataRegion& region, PageBytes* out);
