#include "view3d/viewframe.h"

#include <QMetaType>

#include <cmath>

void registerVec3MetaType()
{
    qRegisterMetaType<Vec3>("Vec3");
}

namespace {
Vec3 rotated(const Vec3& v, const Vec3& k, double c, double s)
{
    return v * c - cross(k, v) * s + k * (dot(k, v) * (1.0 - c));
}
} // namespace

void ViewFrame::updateNvs(const Vec3& k, double th)
{
    const double c = std::cos(th);
    const double s = std::sin(th);
    nx = rotated(nx, k, c, s);
    ny = rotated(ny, k, c, s);
    nz = rotated(nz, k, c, s);
}

bool ViewFrame::turnAbout(const Vec3& axis, double deg)
{
    const double len = norm(axis);
    if (!(len > 0.0) || !std::isfinite(len) || !std::isfinite(deg))
        return false;
    updateNvs(axis / len, deg * M_PI / 180.0);
    return true;
}

bool ViewFrame::dragTurn(double dx, double dy)
{
    if (dx == 0.0 && dy == 0.0)
        return false;
    const double len = std::sqrt(dx * dx + dy * dy);
    updateNvs((nx * dy + ny * dx) / len, M_PI * len);
    return true;
}

void ViewFrame::pan(double dx, double dy, int pw, int ph)
{
    const double w = std::trunc(pw * scale);
    const double h = std::trunc(ph * scale);
    shift = shift - nx * (dx * w) + ny * (dy * h);
}

void ViewFrame::zoom(int step)
{
    if (step > 0)
        scale *= 0.9;
    else if (step < 0)
        scale /= 0.9;
}
