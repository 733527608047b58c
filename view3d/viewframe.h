// Where the 3-D view looks from: the orthonormal frame (nx along image
// columns, ny along image rows running down, nz the viewing direction), the
// pan shift and the zoom, with the turns, pans and zooms of the mouse.
#pragma once

#include "view3d/vec3.h"

struct ViewFrame {
    Vec3 nx{1.0, 0.0, 0.0};
    Vec3 ny{0.0, 1.0, 0.0};
    Vec3 nz{0.0, 0.0, 1.0};
    Vec3 shift;          // translation in volume coordinates
    double scale = 1.0;  // volume units per picture pixel

    // Turns the frame about the unit axis k by th radians (the shift stays).
    void updateNvs(const Vec3& k, double th);
    // Turns about any axis by deg degrees; false (and no change) for a zero
    // or non-finite axis.
    bool turnAbout(const Vec3& axis, double deg);
    // A free drag by (dx, dy) in normalised display units (y upward): half a
    // turn across the whole display. False when there is no movement.
    bool dragTurn(double dx, double dy);
    // A pan drag over a picture of pw x ph pixels.
    void pan(double dx, double dy, int pw, int ph);
    // A wheel step: positive zooms in.
    void zoom(int step);
};
