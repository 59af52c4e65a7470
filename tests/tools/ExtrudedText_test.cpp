#include "ExtrudedText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

namespace
{
using TPoint = std::tuple<double, double, double>;

TPoint Key(const TVec3 v)
{
    // Points made by the same arithmetic are equal; rounding only merges
    // the last bits of separately computed copies.
    const auto round = [](const double x) { return std::round(x * 1e9) / 1e9; };
    return {round(v.X), round(v.Y), round(v.Z)};
}

// Enclosed volume by the divergence theorem: positive when every face
// points outwards.
double SignedVolume(const TMeshPart& part)
{
    double sum = 0;
    for (const TTriangle& t : part.Triangles)
        sum += Dot(part.Vertices[t.A], Cross(part.Vertices[t.B], part.Vertices[t.C])) / 6;
    return sum;
}

// Every edge, taken by position, is used once each way: the solid is closed
// and its faces agree on which side is out.
void ExpectClosed(const TMeshPart& part, const char letter)
{
    std::map<std::pair<TPoint, TPoint>, int> edges;
    for (const TTriangle& t : part.Triangles)
    {
        const uint32_t corners[] = {t.A, t.B, t.C};
        for (int i = 0; i < 3; ++i)
            ++edges[{Key(part.Vertices[corners[i]]), Key(part.Vertices[corners[(i + 1) % 3]])}];
    }
    for (const auto& [edge, count] : edges)
    {
        const auto reverse = edges.find({edge.second, edge.first});
        ASSERT_TRUE(count == 1 && reverse != edges.end() && reverse->second == 1)
            << letter << ": an edge is open or used twice the same way";
    }
}
} // namespace

TEST(ExtrudedText, LettersAreClosedSolidsOfTheirOutlinesAreaTimesDepth)
{
    // L: a 0.62 x 0.22 foot and a 0.22 x 0.78 stem. O: the ring between
    // ellipses of half-axes 0.42, 0.5 and 0.2, 0.28, drawn with 32 corners,
    // which keeps sin(2 pi / 32) * 16 / pi = 0.99359 of the true area.
    EXPECT_NEAR(SignedVolume(ExtrudeGlyph(Glyph('L'), 0.5)), (0.62 * 0.22 + 0.22 * 0.78) * 0.5, 1e-12);
    EXPECT_NEAR(SignedVolume(ExtrudeGlyph(Glyph('O'), 0.5)), Pi * (0.42 * 0.5 - 0.2 * 0.28) * 0.99359 * 0.5, 1e-4);
    for (const char letter : std::string("PLAYQUITONS"))
    {
        const TMeshPart solid = ExtrudeGlyph(Glyph(letter), 0.3);
        ExpectClosed(solid, letter);
        EXPECT_GT(SignedVolume(solid), 0.3 * 0.15) << letter;
    }
}

TEST(ExtrudedText, FrontBackAndSidesHaveSmoothingGroupsOfTheirOwn)
{
    const TMeshPart solid = ExtrudeGlyph(Glyph('A'), 0.4);
    std::map<uint32_t, int> facesByGroup;
    for (const TTriangle& t : solid.Triangles)
    {
        const TVec3 a = solid.Vertices[t.A];
        const TVec3 normal = Normalized(Cross(solid.Vertices[t.B] - a, solid.Vertices[t.C] - a));
        const uint32_t expected = normal.Y < -0.999 ? 1u : normal.Y > 0.999 ? 2u : 4u;
        EXPECT_EQ(t.Smoothing, expected);
        if (expected == SideGroup)
        {
            EXPECT_NEAR(normal.Y, 0, 1e-9) << "a side is not upright";
        }
        ++facesByGroup[t.Smoothing];
    }
    // 11 corners: 11 front and 11 - 2 + 2 = 11 cap triangles, two per side edge.
    EXPECT_EQ(facesByGroup, (std::map<uint32_t, int>{{1, 11}, {2, 11}, {4, 22}}));

    // Round sides share their vertices, so they look round; the sides of an L
    // meet at right angles and share none.
    const TMeshPart o = ExtrudeGlyph(Glyph('O'), 0.4);
    const TMeshPart l = ExtrudeGlyph(Glyph('L'), 0.4);
    const auto sideVertices = [](const TMeshPart& part) {
        std::map<uint32_t, int> uses;
        for (const TTriangle& t : part.Triangles)
            if (t.Smoothing == SideGroup)
                for (const uint32_t v : {t.A, t.B, t.C})
                    ++uses[v];
        return uses.size();
    };
    EXPECT_EQ(sideVertices(o), 2u * (32 + 32));
    EXPECT_EQ(sideVertices(l), 2u * 2 * 6);
}

TEST(ExtrudedText, WordIsCentredWithOneNamedObjectPerLetter)
{
    // O .84, P .76, T .8, I .22, O .84, N .8, S .8 and six gaps of .12: 5.78.
    const TSolidWord word = ExtrudeWord("OPTIONS", "Options", 2, 0.35);
    EXPECT_NEAR(word.Width, 2 * 5.78, 1e-12);
    std::vector<std::string> names;
    double minX = 1e9, maxX = -1e9, minZ = 1e9, maxZ = -1e9, minY = 1e9, maxY = -1e9;
    for (const TMeshPart& letter : word.Letters)
    {
        names.push_back(letter.Name);
        for (const TVec3 v : letter.Vertices)
        {
            minX = std::min(minX, v.X), maxX = std::max(maxX, v.X);
            minY = std::min(minY, v.Y), maxY = std::max(maxY, v.Y);
            minZ = std::min(minZ, v.Z), maxZ = std::max(maxZ, v.Z);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Options_O1", "Options_P", "Options_T", "Options_I", "Options_O2",
                                               "Options_N", "Options_S"}));
    EXPECT_NEAR(minX, -5.78, 1e-9);
    // The S ends in a curve whose outermost point falls between two corners.
    EXPECT_NEAR(maxX, 5.78, 2e-3);
    EXPECT_NEAR(minZ, -1, 1e-9);
    EXPECT_NEAR(maxZ, 1, 1e-9);
    EXPECT_NEAR(minY, -0.175, 1e-12);
    EXPECT_NEAR(maxY, 0.175, 1e-12);
}
