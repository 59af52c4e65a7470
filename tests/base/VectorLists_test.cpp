#include "base/Exceptions.h"
#include "base/VectorLists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(VectorLists, FindComparesTheStoredBitsSoSignedZerosAndNaNsAreDistinctItems)
{
    TAffineVectorList list;
    EXPECT_EQ(list.FindOrAdd({0, 1, 2}), 0);
    EXPECT_EQ(list.FindOrAdd({-0.0f, 1, 2}), 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(list.FindOrAdd({nan, 0, 0}), 2);
    // A NaN is never equal to itself, yet it is the same stored item.
    EXPECT_EQ(list.FindOrAdd({nan, 0, 0}), 2);
    EXPECT_EQ(list.FindOrAdd({0, 1, 2}), 0);
    EXPECT_EQ(list.IndexOf({5, 5, 5}), -1);
    ASSERT_EQ(list.Count(), 3);

    TIntegerList integers;
    integers.Add(7);
    integers.Add(7);
    EXPECT_EQ(integers.IndexOf(7), 0);
    EXPECT_EQ(integers.FindOrAdd(8), 2);
}

TEST(VectorLists, ItemsAreContiguousAndSetCountZeroesNewOnes)
{
    TAffineVectorList list;
    list.Add({1, 2, 3});
    list.SetCount(3);
    // OpenGL reads the list as one float array.
    const float* floats = &list.List()[0].X;
    const float expected[9] = {1, 2, 3, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(floats[i], expected[i]);
    list.SetCount(-4);
    EXPECT_EQ(list.Count(), 0);
}

TEST(VectorLists, TranslateScaleAndNormaliseActOnEveryItem)
{
    TAffineVectorList list;
    list.Add({3, 0, 4});
    list.Add({0, 0, 0});
    list.Normalize();
    EXPECT_FLOAT_EQ(list[0].X, 0.6f);
    EXPECT_FLOAT_EQ(list[0].Z, 0.8f);
    EXPECT_EQ(list[1], (TAffineVector{0, 0, 0}));
    list.Scale(TAffineVector{2, 3, 4});
    list.Translate({1, 1, 1});
    EXPECT_EQ(list[0], (TAffineVector{2.2f, 1, 4.2f}));
    EXPECT_EQ(list[1], (TAffineVector{1, 1, 1}));
    list.Scale(0.5f);
    EXPECT_EQ(list[1], (TAffineVector{0.5f, 0.5f, 0.5f}));

    TVectorList colours;
    colours.Add({0, 3, 4, 0.25f});
    colours.Normalize();
    EXPECT_EQ(colours[0], (TVector{0, 0.6f, 0.8f, 0.25f}));
    colours.Translate({1, 1, 1});
    EXPECT_EQ(colours[0], (TVector{1, 1.6f, 1.8f, 0.25f}));
}

TEST(VectorLists, SumAndExtentsOfEmptyAndFilledLists)
{
    TAffineVectorList list;
    TAffineVector min, max;
    list.GetExtents(min, max);
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(min, (TAffineVector{inf, inf, inf}));
    EXPECT_EQ(max, (TAffineVector{-inf, -inf, -inf}));
    list.Add({-1, 5, 2});
    list.Add({3, -2, 2});
    list.GetExtents(min, max);
    EXPECT_EQ(min, (TAffineVector{-1, -2, 2}));
    EXPECT_EQ(max, (TAffineVector{3, 5, 2}));
    EXPECT_EQ(list.Sum(), (TAffineVector{2, 3, 4}));

    TIntegerList integers;
    integers.Add(-3);
    integers.Add(9);
    std::int32_t low = 0, high = 0;
    integers.GetExtents(low, high);
    EXPECT_EQ(low, -3);
    EXPECT_EQ(high, 9);
    EXPECT_EQ(integers.Sum(), 6);
}

TEST(VectorLists, LerpFillsTheReceiverAndRefusesUnequalCounts)
{
    TAffineVectorList a, b, result;
    a.Add({0, 0, 0});
    a.Add({2, 2, 2});
    b.Add({4, -4, 8});
    b.Add({2, 2, 2});
    result.Add({9, 9, 9});
    result.Add({9, 9, 9});
    result.Add({9, 9, 9});
    result.Lerp(a, b, 0.25f);
    ASSERT_EQ(result.Count(), 2);
    EXPECT_EQ(result[0], (TAffineVector{1, -1, 2}));
    EXPECT_EQ(result[1], (TAffineVector{2, 2, 2}));
    b.Add({0, 0, 0});
    EXPECT_THROW(result.Lerp(a, b, 0.5f), EAssertionFailed);

    TTexPointList s, t, u;
    s.Add({0, 1});
    t.Add({1, 3});
    u.Lerp(s, t, 0.5f);
    EXPECT_EQ(u[0], (TTexPoint{0.5f, 2}));
}

TEST(VectorLists, QuaternionListsInterpolateAlongTheArc)
{
    TQuaternionList a, b, result;
    a.Add(IdentityQuaternion);
    b.Add(QuaternionFromAxisAngle({0, 0, 1}, Pi / 2));
    result.Lerp(a, b, 0.5f);
    // Half of a quarter turn about Z: an eighth, with unit length.
    EXPECT_NEAR(result[0].ImagPart.Z, std::sin(Pi / 8), 1e-6f);
    EXPECT_NEAR(result[0].RealPart, std::cos(Pi / 8), 1e-6f);

    // Combining with a full factor composes the two rotations.
    result.Combine(result, 1);
    EXPECT_NEAR(result[0].ImagPart.Z, std::sin(Pi / 4), 1e-6f);
    EXPECT_NEAR(result[0].RealPart, std::cos(Pi / 4), 1e-6f);
}
