#include "fight/phys.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace phys;

namespace
{

// A fighter's height as the scene stores it: the single nearest -0.3,
// -0.30000001192092896, which lies below the double -0.3.
const double StandingY = static_cast<double>(-0.3f);

TRectTable FreeRects()
{
    TRectTable rects;
    for (int i = 1; i <= 50; ++i)
    {
        rects[i] = {FreeMark, FreeMark};
    }
    return rects;
}

TRectTable OneRect(const double xLow, const double xHigh, const double yLow, const double yHigh)
{
    TRectTable rects = FreeRects();
    rects[1] = {xLow, xHigh};
    rects[2] = {yLow, yHigh};
    return rects;
}

} // namespace

TEST(Phys, TablesStartAtZeroAndRejectIndexesOutsideOneToCount)
{
    TPointTable points;
    const TRectTable rects;
    EXPECT_EQ(points[1], (TCurvePoint{0.0, 0.0}));
    EXPECT_EQ(points[500], (TCurvePoint{0.0, 0.0}));
    EXPECT_EQ(rects[50], (TRange{0.0, 0.0}));
    EXPECT_THROW(points[0], std::out_of_range);
    EXPECT_THROW(points[501] = TCurvePoint{}, std::out_of_range);
    EXPECT_THROW(rects[0], std::out_of_range);
    EXPECT_THROW(rects[51], std::out_of_range);
}

TEST(Phys, FightJumpFollowsTwentyNineCurvePointsThenFiller)
{
    const TPointTable jumpBase;
    const TPointTable curve = JumpCurve(jumpBase, 6.0, -0.3);

    EXPECT_EQ(curve[1].Y, -0.3);
    EXPECT_NEAR(curve[2].Y, -0.17841, 1e-9);
    EXPECT_NEAR(curve[4].Y, 0.03831, 1e-9);
    EXPECT_NEAR(curve[15].Y, 0.59964, 1e-9);
    EXPECT_NEAR(curve[27].Y, -0.00516, 1e-9);
    EXPECT_NEAR(curve[28].Y, -0.11289, 1e-9);
    EXPECT_NEAR(curve[29].Y, -0.22944, 1e-9);
    for (int i = 1; i <= 29; ++i)
    {
        EXPECT_LE(curve[i].Y, curve[15].Y) << "entry " << i;
        EXPECT_NEAR(curve[i].X, 0.0, 1e-15) << "entry " << i;
    }
    for (int i = 30; i <= 500; ++i)
    {
        ASSERT_EQ(curve[i], (TCurvePoint{-0.3, -0.3})) << "entry " << i;
    }
}

TEST(Phys, TrajectoryEndsOnFirstPointBelowStartAndLeavesLaterEntries)
{
    TPointTable points;
    for (int i = 1; i <= 500; ++i)
    {
        points[i] = {7.0, 7.0};
    }
    const TPointTable copy = Trajectory(points, 6.0, -0.3);

    EXPECT_EQ(copy, points);
    EXPECT_NEAR(points[29].Y, -0.22944, 1e-9);
    EXPECT_NEAR(points[30].Y, -0.35481, 1e-9);
    EXPECT_EQ(points[31], (TCurvePoint{7.0, 7.0}));
    EXPECT_EQ(points[500], (TCurvePoint{7.0, 7.0}));
}

TEST(Phys, CurveThatNeverFallsStopsFillingAtEntry500)
{
    // Rising at 700 units per second, the curve is still above its start after
    // 500 steps: at T = 14.97, Y = 700 × 14.97 - 4.9 × 14.97² = 9380.90559.
    TPointTable points;
    Trajectory(points, 1000.0, 0.0);
    EXPECT_NEAR(points[500].Y, 9380.90559, 1e-6);

    const TPointTable curve = JumpCurve(TPointTable{}, 1000.0, 0.0);
    EXPECT_NEAR(curve[500].Y, 9380.90559, 1e-6);
}

TEST(Phys, AddRectFillsFirstFreePairAndNeverWritesPastEntry50)
{
    TRectTable rects = FreeRects();
    AddRect(rects, 1.0, 2.0, 3.0, 4.0);
    AddRect(rects, 5.0, 6.0, 7.0, 8.0);
    EXPECT_EQ(rects[1], (TRange{1.0, 2.0}));
    EXPECT_EQ(rects[2], (TRange{3.0, 4.0}));
    EXPECT_EQ(rects[3], (TRange{5.0, 6.0}));
    EXPECT_EQ(rects[4], (TRange{7.0, 8.0}));
    EXPECT_EQ(rects[5], (TRange{FreeMark, FreeMark}));

    TRectTable full;
    AddRect(full, 1.0, 2.0, 3.0, 4.0);
    EXPECT_EQ(full, TRectTable{});

    TRectTable lastFree;
    lastFree[50] = {FreeMark, FreeMark};
    const TRectTable before = lastFree;
    AddRect(lastFree, 1.0, 2.0, 3.0, 4.0);
    EXPECT_EQ(lastFree, before);
}

TEST(Phys, InRectsStopsAtFirstFreeEntry)
{
    TRectTable rects = FreeRects();
    rects[3] = {-1.0, 1.0};
    rects[4] = {-1.0, 1.0};
    EXPECT_FALSE(InRects(rects, 0.0, 0.0, 0.0));

    rects = OneRect(5.0, 6.0, 5.0, 6.0);
    rects[5] = {-1.0, 1.0};
    rects[6] = {-1.0, 1.0};
    EXPECT_FALSE(InRects(rects, 0.0, 0.0, 0.0));
}

TEST(Phys, InRectsFindsRectangleInLastPair)
{
    TRectTable rects;
    for (int i = 1; i <= 47; i += 2)
    {
        rects[i] = {5.0, 6.0};
        rects[i + 1] = {5.0, 6.0};
    }
    rects[49] = {-1.0, 1.0};
    rects[50] = {-1.0, 1.0};
    EXPECT_TRUE(InRects(rects, 0.0, 0.0, 0.0));
}

TEST(Phys, MarginWidensToTheRightAndBelowOnly)
{
    const TRectTable rects = OneRect(0.0, 1.0, 0.0, 1.0);
    EXPECT_TRUE(InRects(rects, 1.5, 0.5, 0.5));
    EXPECT_FALSE(InRects(rects, 1.6, 0.5, 0.5));
    EXPECT_FALSE(InRects(rects, -0.1, 0.5, 0.5));
    EXPECT_TRUE(InRects(rects, 0.5, 0.9, 0.5));
    EXPECT_TRUE(InRects(rects, 0.5, -0.5, 0.5));
    EXPECT_FALSE(InRects(rects, 0.5, -0.6, 0.5));
    EXPECT_FALSE(InRects(rects, 0.5, 1.1, 0.5));
}

TEST(Phys, ZeroWidthRectangleIsHitAtItsXOrWithinMarginToTheRight)
{
    const TRectTable rects = OneRect(2.0, 2.0, 0.0, 1.0);
    EXPECT_TRUE(InRects(rects, 2.0, 0.5, 0.0));
    EXPECT_FALSE(InRects(rects, 2.0000001, 0.5, 0.0));
    EXPECT_FALSE(InRects(rects, 1.9999999, 0.5, 0.0));
    EXPECT_TRUE(InRects(rects, 2.0, 0.5, 0.8));
    EXPECT_TRUE(InRects(rects, 2.8, 0.5, 0.8));
    EXPECT_FALSE(InRects(rects, 2.8000001, 0.5, 0.8));
    EXPECT_FALSE(InRects(rects, 1.9999999, 0.5, 0.8));
}

TEST(Phys, StandingHeightInSinglePrecisionIsBelowRangeStartingAtMinusPointThree)
{
    const TRectTable body = OneRect(-1.0, -1.0, -0.3, 0.7);
    EXPECT_FALSE(InRects(body, -1.0, StandingY, 0.0));
    EXPECT_TRUE(InRects(body, -1.0, StandingY, 0.6));
    EXPECT_TRUE(InRects(body, -1.0, StandingY, 1e-6));
}

TEST(Phys, VilleArenaHasFloorAndTwoSideWallsThatAStandingFighterMisses)
{
    const TRectTable arena = ArenaRects(u"ville");
    EXPECT_EQ(arena[1], (TRange{-9.6, 9.6}));
    EXPECT_EQ(arena[2], (TRange{-23.0, -0.4}));
    EXPECT_EQ(arena[3], (TRange{9.12, 10.3}));
    EXPECT_EQ(arena[4], (TRange{0.0, 1.0}));
    EXPECT_EQ(arena[5], (TRange{-10.3, -9.12}));
    EXPECT_EQ(arena[6], (TRange{0.0, 1.0}));
    for (int i = 7; i <= 50; ++i)
    {
        EXPECT_EQ(arena[i], (TRange{FreeMark, FreeMark})) << "entry " << i;
    }

    for (const double x : {-10.0, -9.5, 0.0, 9.5, 10.0})
    {
        EXPECT_FALSE(InRects(arena, x, StandingY, 0.0)) << "x " << x;
    }
    EXPECT_TRUE(InRects(arena, 0.0, -1.0, 0.0));
    EXPECT_TRUE(InRects(arena, 9.5, 0.5, 0.0));
    EXPECT_TRUE(InRects(arena, -9.5, 0.5, 0.0));
}

TEST(Phys, AnyOtherArenaNameGivesEmptyTable)
{
    for (const std::u16string_view name : {u"Ville", u"", u"ville ", u"town"})
    {
        const TRectTable arena = ArenaRects(name);
        EXPECT_EQ(arena, FreeRects());
        EXPECT_FALSE(InRects(arena, 0.0, -1.0, 0.0));
    }
}
