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

TEST(Quaternion, AnglesBecomeTheRotationOfTheirMatricesAndExactlyAtThePoleStayExact)
{
    const float x = 0.3f, z = -1.1f;
    for (const float y : {0.5f, DegToRad(90), -DegToRad(90)})
    {
        SCOPED_TRACE(y);
        ExpectMatrixNear(QuaternionToMatrix(QuaternionFromAngles({x, y, z})), MatrixMultiply(MatrixMultiply(Rx(x), Ry(y)), Rz(z)));
    }
    // At the pole the rotation is the half-way one between 0.001 degree
    // either side, the exact one; a step to one side would be 1.7e-5 away.
    ASSERT_EQ(RadToDeg(DegToRad(90)), 90.0f);
    const double h = 0.5 * 3.14159265358979 / 2;
    // qY(90) x qX(0.3), the real and X parts, by hand.
    const TQuaternion q = QuaternionFromAngles({0.3f, DegToRad(90), 0});
    EXPECT_NEAR(q.RealPart, std::cos(h) * std::cos(0.15), 1e-6);
    EXPECT_NEAR(q.ImagPart.X, std::cos(h) * std::sin(0.15), 1e-6);
    EXPECT_NEAR(q.ImagPart.Y, std::sin(h) * std::cos(0.15), 1e-6);
    EXPECT_NEAR(q.ImagPart.Z, -std::sin(h) * std::sin(0.15), 1e-6);
}

TEST(Quaternion, AnglesFromAMatrixRebuildItAndSurviveRoundingPastThePole)
{
    const TAffineVector angles = AnglesFromRotationMatrix(MatrixMultiply(MatrixMultiply(Rx(0.3f), Ry(-0.7f)), Rz(1.2f)));
    EXPECT_NEAR(angles.X, 0.3f, Tolerance);
    EXPECT_NEAR(angles.Y, -0.7f, Tolerance);
    EXPECT_NEAR(angles.Z, 1.2f, Tolerance);
    // -m02 a hair above 1: Y is 90 degrees, not a NaN.
    const TMatrix past = Rows({0, 0, -1.0000001f}, {0, 1, 0}, {1, 0, 0});
    const TAffineVector pole = AnglesFromRotationMatrix(past);
    EXPECT_NEAR(pole.Y, 3.14159265f / 2, Tolerance);
    EXPECT_TRUE(std::isfinite(pole.X) && std::isfinite(pole.Z));
}
