// A slice set's values classified once for the picture: a pixel's colour
// depends on its level only through the truncated shade components of the
// set's two colours, so levels fall into at most a few thousand colour
// classes, ordered like the levels. The highest class along a ray gives the
// colour of the highest level, and the rays read two bytes a sample instead
// of eight.
#pragma once

#include "view3d/slicedata.h"

#include <QColor>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

class MipClasses
{
public:
    MipClasses(const QColor& a, const QColor& b);
    // 0 for a level that draws nothing (0, which invisible values get too).
    int classOf(double level) const
    {
        if (!(level > 0))
            return 0;
        int i = first[std::size_t(std::min(255.0, level))];
        while (i < int(steps.size()) && steps[std::size_t(i)] <= level)
            ++i;
        return 1 + i;
    }
    // A level of class c > 0; every level of the class shades both colours alike.
    double levelOf(int c) const;
    int count() const { return int(steps.size()) + 2; }

private:
    std::vector<double> steps; // ascending: the least levels where a shade component drops
    std::vector<int> first;    // per whole level: the steps below it
};

// The classes carried over to the values for a pair of thresholds: the
// class of a value is the count of class thresholds at or below it, which a
// grid over the visible window finds in one or two comparisons.
class MipValueClasses
{
public:
    MipValueClasses(const MipClasses& classes, double thMin, double thMax);
    // classes.classOf(MipCaster::level(v, thMin, thMax)), bit for bit.
    int classOf(double v) const
    {
        const double w = descending ? -v : v; // the levels rise with w
        if (!(w >= lo && w <= hi))
            return 0;
        const std::size_t c = std::size_t(std::min(double(cells - 1), (w - lo) * perCell));
        int i = first[c];
        for (const int end = first[c + 1]; i < end && bounds[std::size_t(i)] <= w;)
            ++i;
        return 1 + i;
    }

private:
    bool descending = false;
    double lo = 1, hi = 0;   // the values with a level in (0, 255], as w
    double perCell = 0;
    int cells = 1;
    std::vector<double> bounds; // ascending: the least w of each class from the second on
    std::vector<int> first;     // per cell: the bounds in the cells before it
};

struct MipLevelVolume {
    int ss = 0, sw = 0, sh = 0;
    MipClasses classes;
    std::uint16_t* data = nullptr; // ss slices of sw x sh
    std::size_t bytes = 0;
    std::vector<const std::uint16_t*> slices;

    MipLevelVolume(const QColor& a, const QColor& b) : classes(a, b) {}
    ~MipLevelVolume();
    MipLevelVolume(const MipLevelVolume&) = delete;
    MipLevelVolume& operator=(const MipLevelVolume&) = delete;
};

// When the picture classifies a set: never, when the thresholds and colours
// of its stack are rendered a second time in a row (a turn, a pan, a zoom),
// or always.
enum class MipLevelUse { Never, Settled, Always };
void setMipLevelUse(MipLevelUse use);

// The classes of the stack's values for these thresholds and colours, kept
// from render to render; null while the picture should use the values (not
// settled yet, the memory is short, or the slices differ in size).
std::shared_ptr<const MipLevelVolume> mipLevelsFor(const SliceStackPtr& stack, double thMin, double thMax,
                                                   const QColor& vColor, const QColor& sColor);
