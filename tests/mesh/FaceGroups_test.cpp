#include "MeshTestObjects.h"

#include "base/Exceptions.h"
#include "mesh/MeshObject.h"

#include <gtest/gtest.h>

namespace
{

std::vector<float> ExtractedXs(const TMeshObject& object)
{
    TAffineVectorList out;
    object.ExtractTriangles(out);
    return Xs(out);
}
} // namespace

TEST(FaceGroups, EachModeCountsAndSplitsItsPrimitivesIntoTriangles)
{
    struct TCase
    {
        int Mode;
        std::vector<int> Indices;
        int Triangles;
        std::vector<float> Corners;
    };
    const TCase cases[] = {
        {fgmmTriangles, {0, 1, 2, 3}, 1, {0, 1, 2}},
        {fgmmFlatTriangles, {2, 1, 0}, 1, {2, 1, 0}},
        {fgmmTriangleStrip, {0, 1, 2, 3}, 2, {0, 1, 2, 2, 1, 3}},
        {fgmmTriangleFan, {4, 0, 1, 2}, 2, {4, 0, 1, 4, 1, 2}},
        {fgmmQuads, {0, 1, 2, 3}, 2, {0, 1, 2, 0, 2, 3}},
        {fgmmTriangleFan, {1}, 0, {}},
    };
    for (const TCase& c : cases)
    {
        TMeshObjectList list;
        TMeshObject& object = GroupedObject(list, 5);
        auto& group = object.FaceGroups().Add<TFGVertexIndexList>();
        group.SetMode(c.Mode);
        for (const int index : c.Indices)
            group.Add(index);
        EXPECT_EQ(object.TriangleCount(), c.Triangles) << "mode " << c.Mode;
        EXPECT_EQ(ExtractedXs(object), c.Corners) << "mode " << c.Mode;
    }
    TMeshObjectList list;
    EXPECT_THROW(GroupedObject(list, 1).FaceGroups().Add<TFGVertexIndexList>().SetMode(5), EAssertionFailed);
}

TEST(FaceGroups, NormalAndTextureIndicesFallBackToTheVertexIndexWhenEmpty)
{
    TMeshObjectList list;
    TMeshObject& object = GroupedObject(list, 3);
    for (int i = 0; i < 3; ++i)
    {
        object.Normals.Add({0, 0, static_cast<float>(i)});
        object.TexCoords.Add({static_cast<float>(i) / 10, 0, 0});
    }
    auto& own = object.FaceGroups().Add<TFGVertexNormalTexIndexList>();
    own.Add(0, 2, 1);
    own.Add(1, 1, 2);
    own.Add(2, 0, 0);
    auto& shared = object.FaceGroups().Add<TFGVertexNormalTexIndexList>();
    shared.VertexIndices.Add(2);
    shared.VertexIndices.Add(1);
    shared.VertexIndices.Add(0);
    TAffineVectorList vertices, texCoords, normals;
    object.ExtractTriangles(vertices, &texCoords, &normals);
    EXPECT_EQ(Xs(vertices), (std::vector<float>{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(Xs(texCoords), (std::vector<float>{0.1f, 0.2f, 0, 0.2f, 0.1f, 0}));
    EXPECT_EQ(normals[0].Z, 2);
    EXPECT_EQ(normals[3].Z, 2);
    // A non-empty list shorter than the vertex indices is inconsistent.
    own.NormalIndices.SetCount(2);
    EXPECT_THROW(object.ExtractTriangles(vertices), EAssertionFailed);
}

TEST(FaceGroups, IndexTexCoordListsCarryOneCoordinatePairPerIndex)
{
    TMeshObjectList list;
    TMeshObject& object = GroupedObject(list, 3);
    auto& group = object.FaceGroups().Add<TFGIndexTexCoordList>();
    group.Add(2, 0.5f, 0.25f);
    group.Add(0, 1, 0);
    group.Add(1, 0, 1);
    EXPECT_EQ(group.TexCoords[0], (TAffineVector{0.5f, 0.25f, 0}));
    TAffineVectorList vertices, texCoords;
    object.ExtractTriangles(vertices, &texCoords);
    EXPECT_EQ(Xs(vertices), (std::vector<float>{2, 0, 1}));
    EXPECT_EQ(texCoords[2], (TAffineVector{0, 1, 0}));
    group.TexCoords.SetCount(2);
    EXPECT_THROW(object.ExtractTriangles(vertices), EAssertionFailed);
}

TEST(FaceGroups, PerVertexListsOfAnotherLengthGiveZeroVectorsAsWhenDrawn)
{
    // Drawing declares normals and texture coordinates read at the vertex's
    // own index only when there is one per vertex; extraction agrees.
    TMeshObjectList list;
    TMeshObject& object = GroupedObject(list, 3);
    object.Normals.Add({0, 0, 1});
    object.TexCoords.Add({0.5f, 0.5f, 0});
    object.TexCoords.Add({0.5f, 0.5f, 0});
    auto& plain = object.FaceGroups().Add<TFGVertexIndexList>();
    plain.Add(0);
    plain.Add(1);
    plain.Add(2);
    auto& ownCoordinates = object.FaceGroups().Add<TFGIndexTexCoordList>();
    ownCoordinates.Add(2, 1, 0);
    ownCoordinates.Add(1, 0, 1);
    ownCoordinates.Add(0, 0, 0);
    TAffineVectorList vertices, texCoords, normals;
    object.ExtractTriangles(vertices, &texCoords, &normals);
    ASSERT_EQ(normals.Count(), 6);
    ASSERT_EQ(texCoords.Count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(normals[i], (TAffineVector{0, 0, 0})) << "corner " << i;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(texCoords[i], (TAffineVector{0, 0, 0})) << "corner " << i;
    EXPECT_EQ(texCoords[3], (TAffineVector{1, 0, 0}));
}

TEST(FaceGroups, AnIndexOutsideTheVerticesIsRefused)
{
    TMeshObjectList list;
    TMeshObject& object = GroupedObject(list, 3);
    auto& group = object.FaceGroups().Add<TFGVertexIndexList>();
    group.Add(0);
    group.Add(1);
    group.Add(3);
    TAffineVectorList out;
    EXPECT_THROW(object.ExtractTriangles(out), EAssertionFailed);
    group.VertexIndices[2] = -1;
    EXPECT_THROW(object.ExtractTriangles(out), EAssertionFailed);
}
