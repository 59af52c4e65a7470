#pragma once

#include <array>
#include <cmath>

// Single-precision vectors and matrices of the scene. Matrices are stored row
// by row; points are row vectors multiplied on the left (p' = p x M), so the
// translation is the fourth row and the memory layout is what the OpenGL
// matrix calls take as is.

struct TAffineVector
{
    float X = 0, Y = 0, Z = 0;

    friend bool operator==(const TAffineVector&, const TAffineVector&) = default;
};

struct TVector
{
    float X = 0, Y = 0, Z = 0, W = 0;

    friend bool operator==(const TVector&, const TVector&) = default;
    TAffineVector Affine() const { return {X, Y, Z}; }
};

struct TMatrix
{
    std::array<std::array<float, 4>, 4> Rows{};

    std::array<float, 4>& operator[](int row) { return Rows[static_cast<size_t>(row)]; }
    const std::array<float, 4>& operator[](int row) const { return Rows[static_cast<size_t>(row)]; }
    const float* Data() const { return &Rows[0][0]; }
    float* Data() { return &Rows[0][0]; }
    friend bool operator==(const TMatrix&, const TMatrix&) = default;
};

constexpr float Pi = 3.14159265358979f;
constexpr TVector XHmgVector{1, 0, 0, 0};
constexpr TVector YHmgVector{0, 1, 0, 0};
constexpr TVector ZHmgVector{0, 0, 1, 0};
constexpr TVector NullHmgVector{0, 0, 0, 0};
constexpr TVector NullHmgPoint{0, 0, 0, 1};

TMatrix IdentityMatrix();

inline TVector VectorMake(float x, float y, float z, float w = 0) { return {x, y, z, w}; }
inline TVector PointMake(float x, float y, float z) { return {x, y, z, 1}; }

// These act on x, y and z and give w = 0, unless said otherwise.
TVector VectorAdd(const TVector& a, const TVector& b);
TVector VectorSubtract(const TVector& a, const TVector& b);
TVector VectorScale(const TVector& v, float factor);
TVector VectorCrossProduct(const TVector& a, const TVector& b);
float VectorDotProduct(const TVector& a, const TVector& b);
float VectorLength(const TVector& v);
float VectorNorm(const TVector& v); // squared length
float VectorDistance2(const TVector& a, const TVector& b);
// A zero vector stays zero; w is kept.
TVector VectorNormalize(const TVector& v);
TVector VectorNegate(const TVector& v);

// The rotation for a unit axis and an angle in radians, as row-vector matrix:
// transforming by it turns a vector by -angle about the axis.
TMatrix CreateRotationMatrix(const TVector& axis, float angle);
// Rotates v by angle about axis in the same sense as CreateRotationMatrix.
TVector RotateVector(const TVector& v, const TVector& axis, float angle);

TMatrix MatrixMultiply(const TMatrix& a, const TMatrix& b); // a x b
// Row vector times matrix, all four components.
TVector VectorTransform(const TVector& v, const TMatrix& m);
TMatrix TransposeMatrix(const TMatrix& m);
// General inverse; a singular matrix gives the identity.
TMatrix InvertMatrix(const TMatrix& m);
// Inverse of a rotation plus translation: transposed 3x3, translation -t x R^T.
TMatrix RigidInverse(const TMatrix& m);

inline float DegToRad(float degrees) { return degrees * (Pi / 180.0f); }
inline float RadToDeg(float radians) { return radians * (180.0f / Pi); }
