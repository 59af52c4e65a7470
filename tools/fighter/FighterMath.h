#pragma once

#include <cmath>
#include <numbers>

// Double-precision vectors and rigid transforms of the fighter generator. They
// follow the engine's convention: points are row vectors multiplied on the
// left (p' = p x M), so a rotation's rows are the images of the x, y and z axes
// and a child's global transform is its local transform times its parent's.
namespace Fighter
{

struct TVec3
{
    double X = 0, Y = 0, Z = 0;

    friend TVec3 operator+(const TVec3& a, const TVec3& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
    friend TVec3 operator-(const TVec3& a, const TVec3& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
    friend TVec3 operator-(const TVec3& a) { return {-a.X, -a.Y, -a.Z}; }
    friend TVec3 operator*(const TVec3& a, const double f) { return {a.X * f, a.Y * f, a.Z * f}; }
    friend bool operator==(const TVec3&, const TVec3&) = default;
};

inline double Dot(const TVec3& a, const TVec3& b)
{
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}
inline TVec3 Cross(const TVec3& a, const TVec3& b)
{
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
inline double Length(const TVec3& a)
{
    return std::sqrt(Dot(a, a));
}
inline TVec3 Normalized(const TVec3& a)
{
    const double length = Length(a);
    return length > 0 ? a * (1.0 / length) : a;
}

constexpr double Radians(const double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}
inline TVec3 Radians(const TVec3& degrees)
{
    return {Radians(degrees.X), Radians(degrees.Y), Radians(degrees.Z)};
}

// A 3x3 rotation; Row[i] is where the local axis i points.
struct TRotation
{
    TVec3 Row[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

inline TVec3 operator*(const TVec3& v, const TRotation& m)
{
    return m.Row[0] * v.X + m.Row[1] * v.Y + m.Row[2] * v.Z;
}

// a then b.
inline TRotation operator*(const TRotation& a, const TRotation& b)
{
    return {{a.Row[0] * b, a.Row[1] * b, a.Row[2] * b}};
}

inline TRotation Transposed(const TRotation& m)
{
    return {{{m.Row[0].X, m.Row[1].X, m.Row[2].X},
             {m.Row[0].Y, m.Row[1].Y, m.Row[2].Y},
             {m.Row[0].Z, m.Row[1].Z, m.Row[2].Z}}};
}

// The bone rotation of a frame: Rx(x), then Ry(y), then Rz(z), angles in radians.
inline TRotation RotationFromAngles(const TVec3& angles)
{
    const double cx = std::cos(angles.X), sx = std::sin(angles.X);
    const double cy = std::cos(angles.Y), sy = std::sin(angles.Y);
    const double cz = std::cos(angles.Z), sz = std::sin(angles.Z);
    const TRotation rx{{{1, 0, 0}, {0, cx, sx}, {0, -sx, cx}}};
    const TRotation ry{{{cy, 0, -sy}, {0, 1, 0}, {sy, 0, cy}}};
    const TRotation rz{{{cz, sz, 0}, {-sz, cz, 0}, {0, 0, 1}}};
    return rx * ry * rz;
}

struct TTransform
{
    TRotation Rotation;
    TVec3 Position;
};

inline TVec3 operator*(const TVec3& p, const TTransform& t)
{
    return p * t.Rotation + t.Position;
}

// local then parent: the global transform of a child.
inline TTransform operator*(const TTransform& local, const TTransform& parent)
{
    return {local.Rotation * parent.Rotation, local.Position * parent};
}

} // namespace Fighter
