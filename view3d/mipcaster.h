// The maximum-intensity picture of the 3-D view: every picture pixel casts a
// ray along the viewing direction through each slice set, keeps the highest
// level inside the threshold window (or the level at the cut plane), and the
// sets are laid over a white picture in list order with each set's opacity,
// between the hidden and the visible edges of its box.
#pragma once

#include "view3d/slicedata.h"
#include "view3d/viewframe.h"

#include <QColor>
#include <QImage>
#include <QVector>

#include <cmath>

class QPainter;

// One slice set as the picture sees it.
struct MipSet {
    SliceStackPtr stack;
    double thMin = 0.0;      // values at level 0 and 256 (256 itself invisible)
    double thMax = 1.0;
    int alpha = 255;         // opacity 0..255
    bool showFrame = true;
    bool showVolume = true;
    bool showCSection = false;
    int slider = 0;          // cut position, -100..100 of the slice count
    Vec3 csNormal;           // normal of the cut plane
    QColor vColor{0, 127, 127};
    QColor sColor{127, 0, 0};

    // Thresholds from the range and the percentages of the set's edits.
    void setThresholds(double rmin, double rmax, double pmin, double pmax);
    double depth() const;
};

class MipCaster
{
public:
    ViewFrame view;
    QVector<MipSet> sets;
    int width = 256;  // picture size in pixels
    int height = 256;

    // The whole picture, ARGB32; null for a size below 1 x 1.
    QImage render() const;
    // Paints the picture onto p (white, then per set the hidden edges, the
    // volume, the visible edges). pointsPerPixel draws each coloured pixel
    // as its own point (the SVG form) instead of laying a set over at once.
    void paintPImg0(QPainter& p, bool pointsPerPixel) const;
    // The picture as SVG: a point per coloured pixel, the box edges as lines.
    bool saveSvg(const QString& fname) const;

    // One set's colours: ARGB32, transparent where the set adds nothing.
    QImage castSet(const MipSet& set) const;
    void paintADataFrame(QPainter& p, int ss, int sw, int sh, bool temae, const QColor& color) const;

    // Where the ray of picture pixel (c, r) starts.
    Vec3 rayStart(int c, int r) const;
    // The level of value v between the thresholds; 0 outside [0, 255], NaN included.
    static double level(double v, double thMin, double thMax)
    {
        const double g = (v - thMin) / (thMax - thMin) * 256;
        return (g >= 0 && g <= 255) ? g : 0.0;
    }
    // White at level 0 running to colour c at level 255, with opacity alpha.
    static QRgb shade(const QColor& c, double level, int alpha);
    // One component of the shade: falls as the level rises (comp <= 255).
    static int shadePart(int comp, double level) { return int(std::trunc(255 + level * (comp / 255.0 - 1))); }
};
