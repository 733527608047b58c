// Three doubles: a point or direction in volume coordinates (x along slice
// columns, y along slice rows, z across slices). Sent across threads.
#pragma once

#include <QMetaType>

#include <cmath>

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(const Vec3& a, double f) { return {a.x * f, a.y * f, a.z * f}; }
inline Vec3 operator*(double f, const Vec3& a) { return a * f; }
inline Vec3 operator/(const Vec3& a, double f) { return {a.x / f, a.y / f, a.z / f}; }
inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }
inline bool operator==(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(const Vec3& a, const Vec3& b) { return !(a == b); }

Q_DECLARE_METATYPE(Vec3)

// Makes Vec3 deliverable through queued connections; safe to call often.
void registerVec3MetaType();
