#include "VectorGeometry.h"

#include <algorithm>

TMatrix IdentityMatrix()
{
    TMatrix m;
    for (int i = 0; i < 4; ++i)
        m[i][i] = 1;
    return m;
}

TVector VectorAdd(const TVector& a, const TVector& b)
{
    return {a.X + b.X, a.Y + b.Y, a.Z + b.Z, 0};
}

TVector VectorSubtract(const TVector& a, const TVector& b)
{
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z, 0};
}

TVector VectorScale(const TVector& v, float factor)
{
    return {v.X * factor, v.Y * factor, v.Z * factor, 0};
}

TVector VectorCrossProduct(const TVector& a, const TVector& b)
{
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X, 0};
}

float VectorDotProduct(const TVector& a, const TVector& b)
{
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}

float VectorNorm(const TVector& v)
{
    return VectorDotProduct(v, v);
}

float VectorLength(const TVector& v)
{
    return std::sqrt(VectorNorm(v));
}

float VectorDistance2(const TVector& a, const TVector& b)
{
    return VectorNorm(VectorSubtract(a, b));
}

TVector VectorNormalize(const TVector& v)
{
    const float length = VectorLength(v);
    if (length == 0)
        return v;
    const float inverse = 1.0f / length;
    return {v.X * inverse, v.Y * inverse, v.Z * inverse, v.W};
}

TVector VectorNegate(const TVector& v)
{
    return {-v.X, -v.Y, -v.Z, -v.W};
}

TMatrix CreateRotationMatrix(const TVector& axis, float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float t = 1 - c;
    const float x = axis.X, y = axis.Y, z = axis.Z;
    TMatrix m;
    m[0] = {t * x * x + c, t * x * y - z * s, t * x * z + y * s, 0};
    m[1] = {t * x * y + z * s, t * y * y + c, t * y * z - x * s, 0};
    m[2] = {t * x * z - y * s, t * y * z + x * s, t * z * z + c, 0};
    m[3] = {0, 0, 0, 1};
    return m;
}

TVector RotateVector(const TVector& v, const TVector& axis, float angle)
{
    const TVector turned = VectorTransform(v, CreateRotationMatrix(VectorNormalize(axis), angle));
    return {turned.X, turned.Y, turned.Z, v.W};
}

TMatrix MatrixMultiply(const TMatrix& a, const TMatrix& b)
{
    TMatrix m;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            m[row][column] = a[row][0] * b[0][column] + a[row][1] * b[1][column] + a[row][2] * b[2][column] +
                             a[row][3] * b[3][column];
    return m;
}

TVector VectorTransform(const TVector& v, const TMatrix& m)
{
    return {v.X * m[0][0] + v.Y * m[1][0] + v.Z * m[2][0] + v.W * m[3][0],
            v.X * m[0][1] + v.Y * m[1][1] + v.Z * m[2][1] + v.W * m[3][1],
            v.X * m[0][2] + v.Y * m[1][2] + v.Z * m[2][2] + v.W * m[3][2],
            v.X * m[0][3] + v.Y * m[1][3] + v.Z * m[2][3] + v.W * m[3][3]};
}

TMatrix TransposeMatrix(const TMatrix& m)
{
    TMatrix t;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            t[row][column] = m[column][row];
    return t;
}

TMatrix InvertMatrix(const TMatrix& m)
{
    // Gauss-Jordan elimination with partial pivoting, in double precision.
    double a[4][8];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
        {
            a[row][column] = m[row][column];
            a[row][column + 4] = row == column ? 1.0 : 0.0;
        }
    for (int column = 0; column < 4; ++column)
    {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::fabs(a[row][column]) > std::fabs(a[pivot][column]))
                pivot = row;
        if (std::fabs(a[pivot][column]) < 1e-12)
            return IdentityMatrix();
        std::swap(a[pivot], a[column]);
        const double scale = 1.0 / a[column][column];
        for (double& value : a[column])
            value *= scale;
        for (int row = 0; row < 4; ++row)
        {
            if (row == column)
                continue;
            const double factor = a[row][column];
            for (int k = 0; k < 8; ++k)
                a[row][k] -= factor * a[column][k];
        }
    }
    TMatrix inverse;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            inverse[row][column] = static_cast<float>(a[row][column + 4]);
    return inverse;
}

TMatrix RigidInverse(const TMatrix& m)
{
    TMatrix inverse;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            inverse[row][column] = m[column][row];
    const TVector t{m[3][0], m[3][1], m[3][2], 0};
    for (int column = 0; column < 3; ++column)
        inverse[3][column] = -(t.X * inverse[0][column] + t.Y * inverse[1][column] + t.Z * inverse[2][column]);
    inverse[3][3] = 1;
    return inverse;
}
