#include "base/Quaternion.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr float Tolerance = 1e-5f;

void ExpectMatrixNear(const TMatrix& actual, const TMatrix& expected)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], Tolerance) << "row " << r << " column " << c;
}

TMatrix Rows(std::array<float, 3> r0, std::array<float, 3> r1, std::array<float, 3> r2)
{
    TMatrix m = IdentityMatrix();
    m[0] = {r0[0], r0[1], r0[2], 0};
    m[1] = {r1[0], r1[1], r1[2], 0};
    m[2] = {r2[0], r2[1], r2[2], 0};
    return m;
}

// The scene's rotations about one axis, written out by hand.
TMatrix Rx(float a) { return Rows({1, 0, 0}, {0, std::cos(a), std::sin(a)}, {0, -std::sin(a), std::cos(a)}); }
TMatrix Ry(float a) { return Rows({std::cos(a), 0, -std::sin(a)}, {0, 1, 0}, {std::sin(a), 0, std::cos(a)}); }
TMatrix Rz(float a) { return Rows({std::cos(a), std::sin(a), 0}, {-std::sin(a), std::cos(a), 0}, {0, 0, 1}); }
} // namespace

TEST(Quaternion, ProductOfAxisRotationsGivesTheMatrixOfTheAnglesInXYZOrder)
{
    const float x = 0.3f, y = -1.1f, z = 2.0f;
    const TQuaternion q = QuaternionMultiply(QuaternionMultiply(QuaternionFromAxisAngle({0, 0, 1}, z),
                                                                QuaternionFromAxisAngle({0, 1, 0}, y)),
                                             QuaternionFromAxisAngle({1, 0, 0}, x));
    ExpectMatrixNear(QuaternionToMatrix(q), MatrixMultiply(MatrixMultiply(Rx(x), Ry(y)), Rz(z)));
}

TEST(Quaternion, MatrixRoundTripReturnsTheRotationWhateverComponentDominates)
{
    // Each case makes a different one of w, x, y, z the largest.
    const TQuaternion cases[] = {
        QuaternionFromAxisAngle({0, 0, 1}, 0.4f),
        QuaternionFromAxisAngle({1, 0, 0}, 3.0f),
        QuaternionFromAxisAngle({0, 1, 0}, 3.0f),
        QuaternionFromAxisAngle({0, 0, 1}, 3.0f),
        QuaternionNormalize({{0.5f, -0.3f, 0.7f}, -0.2f}),
    };
    for (const TQuaternion& q : cases)
    {
        const TQuaternion back = QuaternionFromMatrix(QuaternionToMatrix(q));
        // q and -q are the same rotation.
        const float sign = back.RealPart * q.RealPart + back.ImagPart.X * q.ImagPart.X +
                                       back.ImagPart.Y * q.ImagPart.Y + back.ImagPart.Z * q.ImagPart.Z <
                                   0
                               ? -1.0f
                               : 1.0f;
        EXPECT_NEAR(sign * back.ImagPart.X, q.ImagPart.X, Tolerance);
        EXPECT_NEAR(sign * back.ImagPart.Y, q.ImagPart.Y, Tolerance);
        EXPECT_NEAR(sign * back.ImagPart.Z, q.ImagPart.Z, Tolerance);
        EXPECT_NEAR(sign * back.RealPart, q.RealPart, Tolerance);
    }
}

TEST(Quaternion, SlerpTakesTheShorterArcAndHandlesEqualEnds)
{
    const TQuaternion a = QuaternionFromAxisAngle({0, 1, 0}, 0.2f);
    // The same rotation as b written with the opposite sign: the result must
    // not swing the long way round.
    const TQuaternion b = QuaternionFromAxisAngle({0, 1, 0}, 0.6f);
    const TQuaternion minusB{{-b.ImagPart.X, -b.ImagPart.Y, -b.ImagPart.Z}, -b.RealPart};
    const TQuaternion half = QuaternionSlerp(a, minusB, 0.5f);
    EXPECT_NEAR(half.ImagPart.Y, std::sin(0.2f), Tolerance);
    EXPECT_NEAR(half.RealPart, std::cos(0.2f), Tolerance);
    // Equal ends would divide by sin(0).
    const TQuaternion same = QuaternionSlerp(a, a, 0.3f);
    EXPECT_FALSE(std::isnan(same.RealPart));
    EXPECT_NEAR(same.RealPart, a.RealPart, Tolerance);
}

TEST(Quaternion, NormalisingAZeroQuaternionGivesTheIdentity)
{
    EXPECT_EQ(QuaternionNormalize({{0, 0, 0}, 0}), IdentityQuaternion);
    ExpectMatrixNear(QuaternionToMatrix({{0, 0, 0}, 0}), IdentityMatrix());
}
