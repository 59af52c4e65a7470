// The conversion of mesh records into drawable arrays: flat and smoothed
// normals, material groups and the objects that are skipped.
#include "File3DS.h"
#include "File3DSBuilder.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// A unit cube, each side two triangles wound counter-clockwise seen from
// outside (the normal (c - b) x (a - b) then points outwards).
T3DSMesh Cube()
{
    T3DSMesh mesh;
    mesh.Name = QStringLiteral("Cube");
    mesh.Vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const auto side = [&](uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
        mesh.Faces.push_back({a, b, c, 0});
        mesh.Faces.push_back({a, c, d, 0});
    };
    side(0, 3, 2, 1); // z = 0, seen from below
    side(4, 5, 6, 7); // z = 1
    side(0, 1, 5, 4); // y = 0
    side(3, 7, 6, 2); // y = 1
    side(0, 4, 7, 3); // x = 0
    side(1, 2, 6, 5); // x = 1
    return mesh;
}

T3DSConvertedMesh Convert(const T3DSMesh& mesh, bool invert = false)
{
    std::optional<T3DSConvertedMesh> converted = Convert3DSMesh(mesh, invert);
    EXPECT_TRUE(converted);
    return converted.value_or(T3DSConvertedMesh{});
}

// The outward normal of the cube side a triangle lies on: the axis along which
// its three corners agree, pointing away from the centre.
T3DSVector SideNormal(const T3DSVector& a, const T3DSVector& b, const T3DSVector& c)
{
    if (a.X == b.X && b.X == c.X)
        return {a.X == 0 ? -1.0f : 1.0f, 0, 0};
    if (a.Y == b.Y && b.Y == c.Y)
        return {0, a.Y == 0 ? -1.0f : 1.0f, 0};
    return {0, 0, a.Z == 0 ? -1.0f : 1.0f};
}

void ExpectNear(const T3DSVector& actual, const T3DSVector& expected)
{
    EXPECT_NEAR(actual.X, expected.X, 1e-6f);
    EXPECT_NEAR(actual.Y, expected.Y, 1e-6f);
    EXPECT_NEAR(actual.Z, expected.Z, 1e-6f);
}

} // namespace

TEST(File3DSConversion, WithoutSmoothingEveryCornerHasItsFacesFlatNormal)
{
    for (const bool withGroupZero : {false, true}) {
        SCOPED_TRACE(withGroupZero ? "all faces in group 0" : "no smoothing chunk");
        T3DSMesh cube = Cube();
        if (withGroupZero) {
            cube.HasSmoothingGroups = true;
            cube.SmoothingGroups.assign(12, 0);
        }
        const T3DSConvertedMesh out = Convert(cube);
        EXPECT_EQ(out.Vertices.size(), 36u); // 8 first uses and 28 copies
        ASSERT_EQ(out.Groups.size(), 1u);
        EXPECT_EQ(out.Groups[0].MaterialName, QString());
        const std::vector<int>& indices = out.Groups[0].Indices;
        ASSERT_EQ(indices.size(), 36u);
        for (size_t f = 0; f < 12; ++f) {
            const T3DSFace& face = cube.Faces[f];
            const T3DSVector expected = SideNormal(cube.Vertices[face.A], cube.Vertices[face.B], cube.Vertices[face.C]);
            const uint16_t originals[3] = {face.A, face.B, face.C};
            for (int corner = 0; corner < 3; ++corner) {
                const int vertex = indices[f * 3 + corner];
                EXPECT_EQ(out.Vertices[vertex], cube.Vertices[originals[corner]]);
                ExpectNear(out.Normals[vertex], expected);
            }
        }
    }
}

TEST(File3DSConversion, OneSmoothingGroupSharesVerticesWithAreaWeightedNormals)
{
    T3DSMesh cube = Cube();
    cube.HasSmoothingGroups = true;
    cube.SmoothingGroups.assign(12, 1);
    const T3DSConvertedMesh out = Convert(cube);
    ASSERT_EQ(out.Vertices.size(), 8u);
    for (size_t v = 0; v < 8; ++v) {
        // Every corner meets three sides; each normal leans towards the corner
        // away from the centre and has unit length.
        const T3DSVector& n = out.Normals[v];
        const T3DSVector& p = cube.Vertices[v];
        EXPECT_GT(n.X * (p.X - 0.5f), 0);
        EXPECT_GT(n.Y * (p.Y - 0.5f), 0);
        EXPECT_GT(n.Z * (p.Z - 0.5f), 0);
        EXPECT_NEAR(n.X * n.X + n.Y * n.Y + n.Z * n.Z, 1.0f, 1e-6f);
    }

    // Two triangles on a shared edge: (0, 0, 1) from the triangle of area 1/2
    // in the xy plane and (0, 2, 0) from the one of area 1 in the xz plane; the
    // shared corners get their normalised sum (0, 2, 1) / sqrt(5).
    T3DSMesh hinge;
    hinge.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}};
    hinge.Faces = {{0, 1, 2, 0}, {0, 3, 1, 0}};
    hinge.HasSmoothingGroups = true;
    hinge.SmoothingGroups = {4, 4};
    const T3DSConvertedMesh bent = Convert(hinge);
    ASSERT_EQ(bent.Vertices.size(), 4u);
    const float s = 1 / std::sqrt(5.0f);
    ExpectNear(bent.Normals[0], {0, 2 * s, s});
    ExpectNear(bent.Normals[1], {0, 2 * s, s});
    ExpectNear(bent.Normals[2], {0, 0, 1});
    ExpectNear(bent.Normals[3], {0, 1, 0});
    EXPECT_EQ(bent.Groups[0].Indices, (std::vector<int>{0, 1, 2, 0, 3, 1}));
}

TEST(File3DSConversion, OnlyTheLowestSetBitDecidesSharing)
{
    T3DSMesh hinge;
    hinge.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}};
    hinge.Faces = {{0, 1, 2, 0}, {0, 3, 1, 0}};
    hinge.HasSmoothingGroups = true;

    hinge.SmoothingGroups = {0b10, 0b11}; // bits 1 and 0: not shared
    T3DSConvertedMesh out = Convert(hinge);
    EXPECT_EQ(out.Vertices.size(), 6u);
    EXPECT_EQ(out.Groups[0].Indices, (std::vector<int>{0, 1, 2, 4, 3, 5}));
    ExpectNear(out.Normals[0], {0, 0, 1});
    ExpectNear(out.Normals[4], {0, 1, 0});
    EXPECT_EQ(out.Vertices[4], hinge.Vertices[0]);
    EXPECT_EQ(out.Vertices[5], hinge.Vertices[1]);

    hinge.SmoothingGroups = {0b10, 0b110}; // both bit 1: shared
    EXPECT_EQ(Convert(hinge).Vertices.size(), 4u);

    // Groups 1, 2, 1, 2 around vertex 0: each face joins the vertex its bit
    // already has (0 for bit 0, the copy 5 for bit 1); vertices first used
    // under the other bit are copied.
    T3DSMesh fan;
    fan.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
    fan.Faces = {{0, 1, 2, 0}, {0, 2, 3, 0}, {0, 3, 4, 0}, {0, 4, 1, 0}};
    fan.HasSmoothingGroups = true;
    fan.SmoothingGroups = {1, 2, 1, 2};
    out = Convert(fan);
    EXPECT_EQ(out.Groups[0].Indices, (std::vector<int>{0, 1, 2, 5, 6, 3, 0, 7, 4, 5, 8, 9}));
    EXPECT_EQ(out.Vertices.size(), 10u);
}

TEST(File3DSConversion, HiddenAndTinyObjectsAreSkipped)
{
    T3DSMesh hidden = Cube();
    hidden.Hidden = true;
    EXPECT_FALSE(Convert3DSMesh(hidden, false));

    T3DSMesh twoVertices;
    twoVertices.Vertices = {{0, 0, 0}, {1, 0, 0}};
    twoVertices.Faces = {{0, 1, 1, 0}};
    EXPECT_FALSE(Convert3DSMesh(twoVertices, false));

    T3DSMesh threeVertices = twoVertices;
    threeVertices.Vertices.push_back({0, 1, 0});
    EXPECT_TRUE(Convert3DSMesh(threeVertices, false));
}

TEST(File3DSConversion, MaterialGroupsDrawOnlyTheirFaces)
{
    T3DSMesh mesh;
    mesh.Name = QStringLiteral("Strip");
    mesh.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
    mesh.Faces = {{0, 1, 2, 0}, {1, 3, 2, 0}, {1, 4, 3, 0}};
    mesh.MaterialGroups = {{QStringLiteral("Red"), {2, 0}}, {QStringLiteral("Empty"), {}}};
    const T3DSConvertedMesh out = Convert(mesh);
    EXPECT_EQ(out.Name, QStringLiteral("Strip"));
    ASSERT_EQ(out.Groups.size(), 2u);
    EXPECT_EQ(out.Groups[0].MaterialName, QStringLiteral("Red"));
    // Face 1 is in no group and is not drawn; its corners were still placed.
    const std::vector<int> expected{7, 4, 8, 0, 1, 2};
    EXPECT_EQ(out.Groups[0].Indices, expected);
    EXPECT_EQ(out.Groups[1].MaterialName, QStringLiteral("Empty"));
    EXPECT_TRUE(out.Groups[1].Indices.empty());
}

TEST(File3DSConversion, InvertedOrientationFlipsEveryNormal)
{
    T3DSMesh cube = Cube();
    cube.HasSmoothingGroups = true;
    cube.SmoothingGroups.assign(12, 1);
    const T3DSConvertedMesh normal = Convert(cube);
    const T3DSConvertedMesh inverted = Convert(cube, true);
    ASSERT_EQ(inverted.Normals.size(), normal.Normals.size());
    for (size_t i = 0; i < normal.Normals.size(); ++i)
        ExpectNear(inverted.Normals[i], {-normal.Normals[i].X, -normal.Normals[i].Y, -normal.Normals[i].Z});

    const T3DSConvertedMesh flat = Convert(Cube(), true);
    ExpectNear(flat.Normals[flat.Groups[0].Indices[0]], {0, 0, 1}); // the bottom side now faces up
}

TEST(File3DSConversion, TextureCoordinatesFollowTheirVertexAndMissingOnesAreZero)
{
    T3DSMesh mesh;
    mesh.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    mesh.TexCoords = {{0.5f, 0.25f}, {1, 0}};
    mesh.Faces = {{0, 1, 2, 0}, {1, 3, 2, 0}};
    const T3DSConvertedMesh out = Convert(mesh);
    const std::vector<T3DSVector> expected{{0.5f, 0.25f, 0}, {1, 0, 0}, {0, 0, 0}, {0, 0, 0},
                                           {1, 0, 0}, {0, 0, 0}}; // copies of vertices 1 and 2
    EXPECT_EQ(out.TexCoords, expected);

    mesh.TexCoords.clear();
    EXPECT_TRUE(Convert(mesh).TexCoords.empty());
}

TEST(File3DSConversion, MoreThan65535VerticesAfterCopiesKeepTheirIndices)
{
    T3DSMesh mesh;
    mesh.Vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.Faces.assign(30000, T3DSFace{0, 1, 2, 0});
    const T3DSConvertedMesh out = Convert(mesh);
    ASSERT_EQ(out.Vertices.size(), 90000u);
    const std::vector<int>& indices = out.Groups[0].Indices;
    ASSERT_EQ(indices.size(), 90000u);
    EXPECT_EQ(indices[89997], 89997);
    EXPECT_EQ(indices[89999], 89999);
    EXPECT_EQ(out.Vertices[89999], (T3DSVector{0, 1, 0}));
    ExpectNear(out.Normals[89999], {0, 0, 1});
}

TEST(File3DSConversion, DegenerateFacesGetZeroNormalsNotNaN)
{
    T3DSMesh mesh;
    mesh.Vertices = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    mesh.Faces = {{0, 1, 2, 0}};
    const T3DSConvertedMesh out = Convert(mesh);
    for (const T3DSVector& n : out.Normals)
        EXPECT_EQ(n, (T3DSVector{0, 0, 0}));
}
