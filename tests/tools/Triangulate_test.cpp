#include "Triangulate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace
{
double TriangleArea(const TVec2 a, const TVec2 b, const TVec2 c)
{
    return ((b.X - a.X) * (c.Y - a.Y) - (b.Y - a.Y) * (c.X - a.X)) / 2;
}

bool InsideBox(const TVec2 p, const TVec2 min, const TVec2 max)
{
    return p.X > min.X && p.X < max.X && p.Y > min.Y && p.Y < max.Y;
}

// Sums the triangles' areas, failing on any that runs clockwise or flat.
double CoveredArea(const TTriangulation& cut)
{
    double sum = 0;
    for (const auto& t : cut.Triangles)
    {
        const double area = TriangleArea(cut.Points[t[0]], cut.Points[t[1]], cut.Points[t[2]]);
        EXPECT_GT(area, 0) << "triangle " << t[0] << ", " << t[1] << ", " << t[2] << " is not counter-clockwise";
        sum += area;
    }
    return sum;
}

TVec2 Centroid(const TTriangulation& cut, const std::array<int, 3>& t)
{
    return (cut.Points[t[0]] + cut.Points[t[1]] + cut.Points[t[2]]) * (1.0 / 3);
}
} // namespace

TEST(Triangulate, SquareWithSquareHoleIsCoveredExceptTheHole)
{
    // 4 x 4 less 2 x 2; a polygon of n corners and h holes cuts into n + 2h - 2
    // triangles. The hole is given counter-clockwise, like the outline.
    const TTriangulation cut = Triangulate({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{{1, 1}, {3, 1}, {3, 3}, {1, 3}}});
    EXPECT_EQ(cut.Triangles.size(), 8u);
    EXPECT_NEAR(CoveredArea(cut), 12, 1e-12);
    for (const auto& t : cut.Triangles)
        EXPECT_FALSE(InsideBox(Centroid(cut, t), {1, 1}, {3, 3})) << "a triangle lies in the hole";
}

TEST(Triangulate, LetterAWithItsHole)
{
    // Outline: the trapezoid under the apex, (0.9 + 0.22) / 2 = 0.56, less
    // the notch between the legs, (0.46 + 0.3104) / 2 * 0.22 = 0.084744.
    // Hole: base 0.188, height 0.2765, area 0.025991.
    const TPolygon2 outline{{0, 0},    {0.22, 0}, {0.2948, 0.22}, {0.6052, 0.22},
                            {0.68, 0}, {0.9, 0},  {0.56, 1},      {0.34, 1}};
    const TPolygon2 hole{{0.45, 0.6765}, {0.544, 0.40}, {0.356, 0.40}};
    const TTriangulation cut = Triangulate(outline, {hole});
    EXPECT_EQ(cut.Triangles.size(), 11u);
    EXPECT_NEAR(CoveredArea(cut), 0.56 - 0.084744 - 0.025991, 1e-9);
}

TEST(Triangulate, ConcaveOutlinesEitherWayRoundAndSeveralHoles)
{
    // A U: 3 x 3 less the 1 x 2 slot, given clockwise.
    TPolygon2 u{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    std::reverse(u.begin(), u.end());
    const TTriangulation uCut = Triangulate(u);
    EXPECT_EQ(uCut.Triangles.size(), 6u);
    EXPECT_NEAR(CoveredArea(uCut), 7, 1e-12);
    for (const auto& t : uCut.Triangles)
        EXPECT_FALSE(InsideBox(Centroid(uCut, t), {1, 1}, {2, 3})) << "a triangle fills the slot";

    // An arrow head: shoelace 0 - 4 + 16 + 0 = 12, half of it.
    const TTriangulation arrow = Triangulate({{0, 0}, {2, 1}, {4, 0}, {2, 4}});
    EXPECT_EQ(arrow.Triangles.size(), 2u);
    EXPECT_NEAR(CoveredArea(arrow), 6, 1e-12);

    // A 10 x 4 plate with two 2 x 2 holes, the left one given first.
    const TTriangulation plate = Triangulate({{0, 0}, {10, 0}, {10, 4}, {0, 4}},
                                             {{{1, 1}, {3, 1}, {3, 3}, {1, 3}}, {{6, 1}, {8, 1}, {8, 3}, {6, 3}}});
    EXPECT_EQ(plate.Triangles.size(), 14u);
    EXPECT_NEAR(CoveredArea(plate), 32, 1e-12);
}

TEST(Triangulate, CrossingOutlineIsRefused)
{
    EXPECT_THROW(Triangulate({{0, 0}, {2, 2}, {2, 0}, {0, 2}}), std::invalid_argument);
    EXPECT_THROW(Triangulate({{0, 0}, {1, 0}}), std::invalid_argument);
}
