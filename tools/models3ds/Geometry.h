#pragma once

// Plain double-precision vectors for the model generators: everything is
// computed in double and rounded to single precision only when written, so
// the files come out the same wherever they are made.
#include <cmath>

struct TVec2
{
    double X = 0, Y = 0;
    friend bool operator==(const TVec2&, const TVec2&) = default;
};

struct TVec3
{
    double X = 0, Y = 0, Z = 0;
    friend bool operator==(const TVec3&, const TVec3&) = default;
};

constexpr double Pi = 3.14159265358979323846;

constexpr double Radians(const double degrees) { return degrees * Pi / 180; }

constexpr TVec2 operator+(const TVec2 a, const TVec2 b) { return {a.X + b.X, a.Y + b.Y}; }
constexpr TVec2 operator-(const TVec2 a, const TVec2 b) { return {a.X - b.X, a.Y - b.Y}; }
constexpr TVec2 operator*(const TVec2 a, const double s) { return {a.X * s, a.Y * s}; }
// The z of the 3-D cross product: positive when b turns left from a.
constexpr double Cross(const TVec2 a, const TVec2 b) { return a.X * b.Y - a.Y * b.X; }

constexpr TVec3 operator+(const TVec3 a, const TVec3 b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
constexpr TVec3 operator-(const TVec3 a, const TVec3 b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
constexpr TVec3 operator-(const TVec3 a) { return {-a.X, -a.Y, -a.Z}; }
constexpr TVec3 operator*(const TVec3 a, const double s) { return {a.X * s, a.Y * s, a.Z * s}; }
constexpr double Dot(const TVec3 a, const TVec3 b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
constexpr TVec3 Cross(const TVec3 a, const TVec3 b)
{
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
inline double Length(const TVec3 a) { return std::sqrt(Dot(a, a)); }
inline TVec3 Normalized(const TVec3 a) { return a * (1 / Length(a)); }

// A placement: the images of the local x, y and z axes and of the origin, so
// a local point p lands at Origin + p.X * AxisX + p.Y * AxisY + p.Z * AxisZ.
struct TTransform
{
    TVec3 AxisX{1, 0, 0};
    TVec3 AxisY{0, 1, 0};
    TVec3 AxisZ{0, 0, 1};
    TVec3 Origin{};

    TVec3 Apply(const TVec3 p) const { return Origin + AxisX * p.X + AxisY * p.Y + AxisZ * p.Z; }

    static TTransform Translation(const TVec3 offset) { return {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, offset}; }
    // A turn about the vertical axis, counter-clockwise seen from above.
    static TTransform TurnZ(double radians, TVec3 origin = {});
    static TTransform Scaling(double factor);
    // A turn about any unit axis through the origin, right-handed.
    static TTransform Rotation(TVec3 axis, double radians);
    // The placement that applies `first` and then this one.
    TTransform After(const TTransform& first) const;
};
