// The grey picture of a reconstructed slice, made by the worker on its own
// thread and by the interactive panel alike.
#pragma once

#include "display/colorscale.h"

#include <QImage>
#include <QMetaType>

// N x N 8-bit grey image of an N x N result (row z, column x), pixel (x, z)
// at column x and row z, its level the colour scale's colorIndex. A null
// image when there is no result.
QImage makeResImage(const double* result, int n, const ColorScale& scale);

// Colour scales cross from a panel's colour bar to its worker's thread.
Q_DECLARE_METATYPE(ColorScale)
