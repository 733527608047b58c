// The maximum-intensity picture painted the straightforward way: one ray per
// pixel through every slice, one painter point per coloured pixel. The
// yardstick MipCaster's picture is compared with, bit for bit.
#pragma once

#include "view3d/mipcaster.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

inline void referencePaintADataSet(QPainter& p, const MipCaster& mc, const MipSet& set)
{
    const SliceStack& st = *set.stack;
    const ViewFrame& v = mc.view;
    const int ss = st.count();
    const int sw = st.width;
    const int sh = st.height;
    const int pw = mc.width;
    const int ph = mc.height;
    const double depth = set.slider / 100.0 * ss;
    auto part = [](int comp, double level) { return int(std::trunc(255 + level * (comp / 255.0 - 1))); };
    for (int r = 0; r < ph; ++r) {
        for (int c = 0; c < pw; ++c) {
            const Vec3 p0 = v.nx * ((c - pw / 2.0) * v.scale) + v.ny * ((r - ph / 2.0) * v.scale) + v.shift;
            double mx = 0;
            double sv = 0;
            for (int k = 0; k < ss; ++k) {
                if (v.nz.z == 0)
                    continue;
                const double t = (k - ss / 2.0 - p0.z) / v.nz.z;
                const Vec3 h = p0 + v.nz * t;
                const double fx = std::trunc(h.x + sw / 2.0);
                const double fy = std::trunc(h.y + sh / 2.0);
                if (!(fx >= 0 && fx < sw && fy >= 0 && fy < sh))
                    continue;
                const double val = st.slices[std::size_t(k)].value(int(fx), int(fy));
                double g = (val - set.thMin) / (set.thMax - set.thMin) * 256;
                if (g < 0 || g > 255)
                    g = 0;
                const double d = dot(h, set.csNormal);
                if (!set.showCSection || d < depth)
                    mx = std::max(mx, g);
                if (depth - 1 < d && d < depth + 1)
                    sv = g;
            }
            QColor col;
            if (set.showCSection && sv > 0)
                col = QColor(part(set.sColor.red(), sv), part(set.sColor.green(), sv), part(set.sColor.blue(), sv), set.alpha);
            else if (mx > 0)
                col = QColor(part(set.vColor.red(), mx), part(set.vColor.green(), mx), part(set.vColor.blue(), mx), set.alpha);
            else
                continue;
            p.setPen(col);
            p.drawPoint(c, r);
        }
    }
}

inline QImage referenceMipPicture(const MipCaster& mc)
{
    QImage img(mc.width, mc.height, QImage::Format_ARGB32);
    QPainter p(&img);
    p.fillRect(0, 0, mc.width, mc.height, QColor(255, 255, 255));
    for (const MipSet& set : mc.sets) {
        const SliceStack* st = set.stack.get();
        if (!st || st->width <= 0 || st->height <= 0)
            continue;
        if (set.showFrame)
            mc.paintADataFrame(p, st->count(), st->width, st->height, false, set.vColor);
        if (set.showVolume)
            referencePaintADataSet(p, mc, set);
        if (set.showFrame)
            mc.paintADataFrame(p, st->count(), st->width, st->height, true, set.vColor);
    }
    return img;
}
