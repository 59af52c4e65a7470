#include "MeshTestObjects.h"

#include "base/Exceptions.h"
#include "mesh/MeshObject.h"

#include <gtest/gtest.h>

TEST(MeshObject, TrianglesAndStripsCountAndExtractAsTheirModeSays)
{
    TMeshObjectList list;
    TMeshObject& triangles = ObjectWithVertices(list, 7);
    EXPECT_EQ(triangles.TriangleCount(), 2);
    TMeshObject& strip = ObjectWithVertices(list, 5);
    strip.SetMode(momTriangleStrip);
    EXPECT_EQ(strip.TriangleCount(), 3);
    TMeshObject& shortStrip = ObjectWithVertices(list, 1);
    shortStrip.SetMode(momTriangleStrip);
    EXPECT_EQ(shortStrip.TriangleCount(), 0);
    EXPECT_EQ(list.TriangleCount(), 5);

    TAffineVectorList out;
    strip.ExtractTriangles(out);
    // The second triangle of a strip turns round to face the same way.
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 1, 2, 2, 1, 3, 2, 3, 4}));
    EXPECT_THROW(strip.SetMode(3), EAssertionFailed);
}

// Vertices past the last whole triangle are not drawn; extracting them would
// shift every later object's corners by one or two.
TEST(MeshObject, TrianglesModeExtractsOnlyWholeTriangles)
{
    TMeshObjectList list;
    ObjectWithVertices(list, 5);
    ObjectWithVertices(list, 3);
    TAffineVectorList out;
    list.ExtractTriangles(out);
    EXPECT_EQ(Xs(out), (std::vector<float>{0, 1, 2, 0, 1, 2}));
}

TEST(MeshObject, ExtractedTexCoordsAndNormalsStayParallelToTheCorners)
{
    TMeshObjectList list;
    TMeshObject& object = ObjectWithVertices(list, 3);
    object.Normals.Add({0, 0, 1});
    object.Normals.Add({0, 1, 0});
    object.Normals.Add({1, 0, 0});
    TAffineVectorList vertices, texCoords, normals;
    object.ExtractTriangles(vertices, &texCoords, &normals);
    ASSERT_EQ(texCoords.Count(), 3);
    ASSERT_EQ(normals.Count(), 3);
    EXPECT_EQ(normals[1], (TAffineVector{0, 1, 0}));
    EXPECT_EQ(texCoords[2], (TAffineVector{0, 0, 0}));
}

TEST(MeshObject, ListExtentsCoverEveryObjectAndRemoveDestroysOne)
{
    TMeshObjectList list;
    TMeshObject& a = list.Add<TMeshObject>();
    a.Vertices.Add({-1, 2, 0});
    TMeshObject& b = list.Add<TMeshObject>();
    b.Vertices.Add({3, -2, 5});
    b.Visible = false;
    TAffineVector min, max;
    list.GetExtents(min, max);
    // Invisible objects count too.
    EXPECT_EQ(min, (TAffineVector{-1, -2, 0}));
    EXPECT_EQ(max, (TAffineVector{3, 2, 5}));
    list.Translate({1, 1, 1});
    EXPECT_EQ(b.Vertices[0], (TAffineVector{4, -1, 6}));
    list.Remove(a);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(&list[0], &b);
    TMeshObjectList other;
    EXPECT_THROW(other.Remove(b), EAssertionFailed);
}

TEST(MeshObject, MorphTargetsKeepCopiesAndInterpolate)
{
    TMeshObjectList list;
    auto& object = list.Add<TMorphableMeshObject>();
    object.Vertices.Add({0, 0, 0});
    object.Normals.Add({0, 0, 1});
    object.AddMorphTarget(QStringLiteral("rest"));
    object.Vertices[0] = {4, 0, 0};
    object.AddMorphTarget(QStringLiteral("stretched"));
    object.MorphTo(0);
    EXPECT_EQ(object.Vertices[0], (TAffineVector{0, 0, 0}));
    object.Lerp(0, 1, 0.25f);
    EXPECT_EQ(object.Vertices[0], (TAffineVector{1, 0, 0}));
    EXPECT_EQ(object.MorphTargets[1].Name, QStringLiteral("stretched"));
    EXPECT_THROW(object.MorphTo(2), EAssertionFailed);
}
