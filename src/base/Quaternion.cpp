#include "Quaternion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// Below this a length or an angle is treated as zero; the same bound as the
// rotation interpolation of the animations uses.
constexpr float Epsilon = 1e-30f;
} // namespace

TQuaternion QuaternionFromAxisAngle(const TAffineVector& axis, float angle)
{
    const float s = std::sin(angle * 0.5f);
    return {{axis.X * s, axis.Y * s, axis.Z * s}, std::cos(angle * 0.5f)};
}

TQuaternion QuaternionMultiply(const TQuaternion& a, const TQuaternion& b)
{
    const TAffineVector& u = a.ImagPart;
    const TAffineVector& v = b.ImagPart;
    const float aw = a.RealPart, bw = b.RealPart;
    return {{aw * v.X + bw * u.X + (u.Y * v.Z - u.Z * v.Y),
             aw * v.Y + bw * u.Y + (u.Z * v.X - u.X * v.Z),
             aw * v.Z + bw * u.Z + (u.X * v.Y - u.Y * v.X)},
            aw * bw - (u.X * v.X + u.Y * v.Y + u.Z * v.Z)};
}

float QuaternionMagnitude(const TQuaternion& q)
{
    const TAffineVector& v = q.ImagPart;
    return std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z + q.RealPart * q.RealPart);
}

TQuaternion QuaternionNormalize(const TQuaternion& q)
{
    const float length = QuaternionMagnitude(q);
    if (length <= Epsilon)
        return IdentityQuaternion;
    const float f = 1.0f / length;
    return {{q.ImagPart.X * f, q.ImagPart.Y * f, q.ImagPart.Z * f}, q.RealPart * f};
}

TQuaternion QuaternionSlerp(const TQuaternion& q1, const TQuaternion& q2, float t)
{
    const TAffineVector& a = q1.ImagPart;
    TAffineVector b = q2.ImagPart;
    float bw = q2.RealPart;
    float c = a.X * b.X + a.Y * b.Y + a.Z * b.Z + q1.RealPart * bw;
    // q and -q are the same rotation: take the one on the shorter arc.
    if (c < 0)
    {
        b = {-b.X, -b.Y, -b.Z};
        bw = -bw;
        c = -c;
    }
    float f1 = 1 - t, f2 = t;
    if (1 - c > Epsilon)
    {
        const float omega = std::acos(c);
        const float sinOmega = std::sin(omega);
        f1 = std::sin((1 - t) * omega) / sinOmega;
        f2 = std::sin(t * omega) / sinOmega;
    }
    return {{f1 * a.X + f2 * b.X, f1 * a.Y + f2 * b.Y, f1 * a.Z + f2 * b.Z}, f1 * q1.RealPart + f2 * bw};
}

TMatrix QuaternionToMatrix(const TQuaternion& q)
{
    const TQuaternion n = QuaternionNormalize(q);
    const float x = n.ImagPart.X, y = n.ImagPart.Y, z = n.ImagPart.Z, w = n.RealPart;
    TMatrix m = IdentityMatrix();
    m[0] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0};
    m[1] = {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0};
    m[2] = {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0};
    return m;
}

// Starts from the largest of w, x, y, z, found from the diagonal, so that the
// division is never by a small number.
TQuaternion QuaternionFromMatrix(const TMatrix& m)
{
    const float trace = m[0][0] + m[1][1] + m[2][2];
    TQuaternion q;
    if (trace > 0)
    {
        const float s = 2 * std::sqrt(trace + 1);
        q = {{(m[1][2] - m[2][1]) / s, (m[2][0] - m[0][2]) / s, (m[0][1] - m[1][0]) / s}, 0.25f * s};
    }
    else if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2])
    {
        const float s = 2 * std::sqrt(1 + m[0][0] - m[1][1] - m[2][2]);
        q = {{0.25f * s, (m[0][1] + m[1][0]) / s, (m[2][0] + m[0][2]) / s}, (m[1][2] - m[2][1]) / s};
    }
    else if (m[1][1] >= m[2][2])
    {
        const float s = 2 * std::sqrt(1 + m[1][1] - m[0][0] - m[2][2]);
        q = {{(m[0][1] + m[1][0]) / s, 0.25f * s, (m[1][2] + m[2][1]) / s}, (m[2][0] - m[0][2]) / s};
    }
    else
    {
        const float s = 2 * std::sqrt(1 + m[2][2] - m[0][0] - m[1][1]);
        q = {{(m[2][0] + m[0][2]) / s, (m[1][2] + m[2][1]) / s, 0.25f * s}, (m[0][1] - m[1][0]) / s};
    }
    return QuaternionNormalize(q);
}

namespace
{
TQuaternion QuaternionFromDegrees(float x, float y, float z)
{
    const TQuaternion qx = QuaternionFromAxisAngle({1, 0, 0}, DegToRad(x));
    const TQuaternion qy = QuaternionFromAxisAngle({0, 1, 0}, DegToRad(y));
    const TQuaternion qz = QuaternionFromAxisAngle({0, 0, 1}, DegToRad(z));
    return QuaternionMultiply(QuaternionMultiply(qz, qy), qx);
}
} // namespace

TQuaternion QuaternionFromAngles(const TAffineVector& angles)
{
    const float x = RadToDeg(angles.X), y = RadToDeg(angles.Y), z = RadToDeg(angles.Z);
    constexpr float PoleStep = 0.001f;
    if (std::fabs(std::fabs(y) - 90) <= Epsilon)
        return QuaternionSlerp(QuaternionFromDegrees(x, y - PoleStep, z), QuaternionFromDegrees(x, y + PoleStep, z),
                               0.5f);
    return QuaternionFromDegrees(x, y, z);
}

TAffineVector AnglesFromRotationMatrix(const TMatrix& m)
{
    // Rounding can carry |m02| a hair past 1, where arcsin has no value.
    const float sinY = std::clamp(-m[0][2], -1.0f, 1.0f);
    const float y = std::asin(sinY);
    if (std::cos(y) != 0)
        return {std::atan2(m[1][2], m[2][2]), y, std::atan2(m[0][1], m[0][0])};
    return {std::atan2(m[1][0], m[1][1]), y, 0};
}

TAffineVector InterpolateAngles(const TAffineVector& a, const TAffineVector& b, float t)
{
    if (std::memcmp(&a, &b, sizeof a) == 0)
        return a;
    const TQuaternion q = QuaternionSlerp(QuaternionFromAngles(a), QuaternionFromAngles(b), t);
    return AnglesFromRotationMatrix(QuaternionToMatrix(q));
}
