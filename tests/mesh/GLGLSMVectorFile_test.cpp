#include "base/Exceptions.h"
#include "mesh/GLBaseMesh.h"
#include "mesh/GLGLSMVectorFile.h"
#include "mesh/SkeletonMeshObject.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace
{
// One object of each mesh class, with every field set and face groups of
// every class.
void FillMesh(TMeshObjectList& objects)
{
    TMeshObject& plain = objects.Add<TMeshObject>();
    plain.Name = QStringLiteral("Bâton");
    plain.SetMode(momFaceGroups);
    for (int i = 0; i < 4; ++i)
    {
        const float f = static_cast<float>(i);
        plain.Vertices.Add({f, -f, 0.5f});
        plain.Normals.Add({0, 0, 1});
        plain.TexCoords.Add({f / 4, 1, 0});
        plain.LightMapTexCoords.Add({f, 2});
        plain.Colors.Add({1, f / 4, 0, 1});
    }
    plain.TangentsTexCoordIndex = 3;
    plain.BinormalsTexCoordIndex = 4;
    plain.RenderingOptions = moroGroupByMaterial;
    plain.ExtraTexCoords(1).Add({1, 2, 3, 4});
    auto& indices = plain.FaceGroups().Add<TFGVertexIndexList>();
    indices.MaterialName = QStringLiteral("wood");
    indices.LightMapIndex = 2;
    indices.SetMode(fgmmQuads);
    for (int i = 0; i < 4; ++i)
        indices.Add(i);
    auto& own = plain.FaceGroups().Add<TFGVertexNormalTexIndexList>();
    own.SetMode(fgmmTriangleFan);
    own.Add(3, 0, 1);
    own.Add(2, 1, 2);
    own.Add(1, 2, 3);
    auto& texCoords = plain.FaceGroups().Add<TFGIndexTexCoordList>();
    texCoords.Add(0, 0.25f, 0.75f);
    texCoords.Add(1, 1, 0);
    texCoords.Add(2, 0, 1);

    auto& morphable = objects.Add<TMorphableMeshObject>();
    morphable.Name = QStringLiteral("morph");
    morphable.Visible = false;
    morphable.SetMode(momTriangleStrip);
    morphable.Vertices.Add({1, 2, 3});
    morphable.AddMorphTarget(QStringLiteral("rest"));

    auto& skinned = objects.Add<TSkeletonMeshObject>();
    skinned.Name = QStringLiteral("skin");
    skinned.FindOrAddVertex(1, {2, 0, 0}, {1, 0, 0});
    skinned.FindOrAddVertex(-3, {0, 2, 0}, {0, 1, 0});
    skinned.AppendBoneWeights({{0, 0.25f}, {1, 0.75f}});
    skinned.Vertices.Add({0, 0, 2});
    skinned.Normals.Add({0, 0, 1});
    skinned.AddMorphTarget(QStringLiteral("bind"));
}

QByteArray SampleFile()
{
    TMeshObjectList objects;
    FillMesh(objects);
    return WriteGLSM(objects);
}

QString ReadError(const QByteArray& data)
{
    TMeshObjectList objects;
    try
    {
        ReadGLSM(data, QStringLiteral("sample.glsm"), objects);
    }
    catch (const EInvalidVectorFile& error)
    {
        return error.Message();
    }
    return QStringLiteral("no exception");
}
} // namespace

TEST(GLSMVectorFile, SavedMeshesLoadBackWithEveryClassAndField)
{
    RegisterVectorFileFormats();
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("model.GLSM"));
    TGLFreeForm original(nullptr);
    FillMesh(original.MeshObjects());
    original.SaveToFile(name);
    TGLFreeForm mesh(nullptr);
    mesh.LoadFromFile(name);

    ASSERT_EQ(mesh.MeshObjects().Count(), 3);
    const TMeshObject& plain = mesh.MeshObjects()[0];
    const TMeshObject& expected = original.MeshObjects()[0];
    EXPECT_EQ(plain.Name, QStringLiteral("Bâton"));
    EXPECT_EQ(plain.Mode(), momFaceGroups);
    EXPECT_EQ(plain.Vertices, expected.Vertices);
    EXPECT_EQ(plain.Normals, expected.Normals);
    EXPECT_EQ(plain.TexCoords, expected.TexCoords);
    EXPECT_EQ(plain.LightMapTexCoords, expected.LightMapTexCoords);
    EXPECT_EQ(plain.Colors, expected.Colors);
    EXPECT_EQ(plain.TangentsTexCoordIndex, 3);
    EXPECT_EQ(plain.BinormalsTexCoordIndex, 4);
    EXPECT_EQ(plain.RenderingOptions, unsigned(moroGroupByMaterial));
    ASSERT_EQ(plain.ExtraTexCoordsCount(), 2);
    ASSERT_EQ(const_cast<TMeshObject&>(plain).ExtraTexCoords(1).Count(), 1);
    EXPECT_EQ(const_cast<TMeshObject&>(plain).ExtraTexCoords(1)[0], (TVector{1, 2, 3, 4}));
    ASSERT_EQ(plain.FaceGroups().Count(), 3);
    const auto* indices = dynamic_cast<const TFGVertexIndexList*>(&plain.FaceGroups()[0]);
    ASSERT_NE(indices, nullptr);
    EXPECT_EQ(indices->MaterialName, QStringLiteral("wood"));
    EXPECT_EQ(indices->LightMapIndex, 2);
    EXPECT_EQ(indices->Mode(), fgmmQuads);
    EXPECT_EQ(indices->VertexIndices.Count(), 4);
    const auto* own = dynamic_cast<const TFGVertexNormalTexIndexList*>(&plain.FaceGroups()[1]);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Mode(), fgmmTriangleFan);
    EXPECT_EQ(own->TexCoordIndices[2], 3);
    EXPECT_EQ(own->NormalIndices[1], 1);
    const auto* texCoords = dynamic_cast<const TFGIndexTexCoordList*>(&plain.FaceGroups()[2]);
    ASSERT_NE(texCoords, nullptr);
    EXPECT_EQ(texCoords->TexCoords[0], (TAffineVector{0.25f, 0.75f, 0}));

    const auto* morphable = dynamic_cast<const TMorphableMeshObject*>(&mesh.MeshObjects()[1]);
    ASSERT_NE(morphable, nullptr);
    EXPECT_FALSE(morphable->Visible);
    EXPECT_EQ(morphable->Mode(), momTriangleStrip);
    ASSERT_EQ(morphable->MorphTargets.Count(), 1);
    EXPECT_EQ(morphable->MorphTargets[0].Name, QStringLiteral("rest"));
    EXPECT_EQ(morphable->MorphTargets[0].Vertices[0], (TAffineVector{1, 2, 3}));
}

TEST(GLSMVectorFile, EveryTruncationIsRefusedWithoutReadingPastTheEnd)
{
    const QByteArray data = SampleFile();
    for (qsizetype size = 0; size < data.size(); ++size)
        EXPECT_TRUE(ReadError(data.left(size)).startsWith(QStringLiteral("sample.glsm: offset ")))
            << "truncated to " << size;
    EXPECT_EQ(ReadError(data), QStringLiteral("no exception"));
}

TEST(GLSMVectorFile, ForeignMarksVersionsCountsAndIndicesAreRefused)
{
    const QByteArray data = SampleFile();
    QByteArray foreign = data;
    foreign[0] = 'X';
    EXPECT_EQ(ReadError(foreign), QStringLiteral("sample.glsm: offset 4: not a GLSM file"));

    QByteArray future = data;
    qToLittleEndian<quint32>(2, future.data() + 4);
    EXPECT_EQ(ReadError(future), QStringLiteral("sample.glsm: offset 8: file version 2 is not known"));

    // A count that the file cannot hold is refused before anything is made.
    QByteArray huge = data;
    qToLittleEndian<quint32>(0xFFFFFFFFu, huge.data() + 12);
    EXPECT_EQ(ReadError(huge),
              QStringLiteral("sample.glsm: offset 16: mesh objects of 4294967295 items passes the end of the file"));

    // The first face group's first vertex index is found by its position
    // before the normal indices of the second group; 4 vertices exist.
    TMeshObjectList objects;
    FillMesh(objects);
    static_cast<TFGVertexIndexList&>(objects[0].FaceGroups()[0]).VertexIndices[0] = 4;
    EXPECT_TRUE(ReadError(WriteGLSM(objects)).endsWith(QStringLiteral("vertex index 4 is outside the 4 items")));
}

// Morphing copies a target over its object, whose face groups index it.
TEST(GLSMVectorFile, MorphTargetsOfAnotherSizeThanTheirObjectAreRefused)
{
    TMeshObjectList objects;
    auto& morphable = objects.Add<TMorphableMeshObject>();
    for (int i = 0; i < 3; ++i)
    {
        morphable.Vertices.Add({static_cast<float>(i), 0, 0});
        morphable.Normals.Add({0, 0, 1});
    }
    morphable.AddMorphTarget(QStringLiteral("rest"));
    morphable.AddMorphTarget(QStringLiteral("short"));
    EXPECT_EQ(ReadError(WriteGLSM(objects)), QStringLiteral("no exception"));

    morphable.MorphTargets[1].Vertices.SetCount(2);
    EXPECT_TRUE(ReadError(WriteGLSM(objects))
                    .endsWith(QStringLiteral("morph target 1 has 2 vertices and 3 normals, but its object 3 and 3")));
    morphable.MorphTargets[1].Vertices.Add({2, 0, 0});
    morphable.MorphTargets[0].Normals.Clear();
    EXPECT_TRUE(ReadError(WriteGLSM(objects))
                    .endsWith(QStringLiteral("morph target 0 has 3 vertices and 0 normals, but its object 3 and 3")));
}

// The slot count ends the file when no vertex is weighted; a huge one would
// size every vertex's entries.
TEST(GLSMVectorFile, BoneSlotsBeyondAnyModelAreRefusedEvenWithoutWeights)
{
    TMeshObjectList objects;
    objects.Add<TSkeletonMeshObject>();
    QByteArray data = WriteGLSM(objects);
    qToLittleEndian<quint32>(1u << 26, data.data() + data.size() - 8);
    EXPECT_EQ(ReadError(data), QStringLiteral("sample.glsm: offset %1: 67108864 bone slots are more than the 1024 a "
                                              "vertex may have")
                                   .arg(data.size()));
    qToLittleEndian<quint32>(1024, data.data() + data.size() - 8);
    EXPECT_EQ(ReadError(data), QStringLiteral("no exception"));
}

TEST(GLSMVectorFile, SkeletonMeshObjectsKeepTheirWeightsAndBindToAPresentSkeleton)
{
    TGLFreeForm mesh(nullptr);
    ReadGLSM(SampleFile(), QStringLiteral("sample.glsm"), mesh.MeshObjects());
    ASSERT_EQ(mesh.MeshObjects().Count(), 3);
    const auto* skinned = dynamic_cast<const TSkeletonMeshObject*>(&mesh.MeshObjects()[2]);
    ASSERT_NE(skinned, nullptr);
    EXPECT_EQ(skinned->Name, QStringLiteral("skin"));
    EXPECT_EQ(skinned->MorphTargets.Count(), 1);
    EXPECT_EQ(skinned->Vertices[2], (TAffineVector{0, 0, 2}));
    ASSERT_EQ(skinned->BoneSlots(), 2);
    ASSERT_EQ(skinned->BoneWeightsCount(), 3);
    EXPECT_EQ(skinned->VerticesBonesWeights(0)[0], (TVertexBoneWeight{1, 1.0f}));
    EXPECT_EQ(skinned->VerticesBonesWeights(1)[0], (TVertexBoneWeight{-3, 1.0f}));
    EXPECT_EQ(skinned->VerticesBonesWeights(1)[1], (TVertexBoneWeight{0, 0}));
    EXPECT_EQ(skinned->VerticesBonesWeights(2)[1], (TVertexBoneWeight{1, 0.75f}));
    // No skeleton to bind to.
    EXPECT_EQ(skinned->InvertedMeshCount(), 0);

    // Added to a mesh whose skeleton has bones 0 and 1 at (1, 0, 0) and one
    // frame: bound to that pose, until an id the skeleton lacks.
    TGLFreeForm skinnedMesh(nullptr);
    auto* const hip = new TSkeletonBone(&skinnedMesh.Skeleton().RootBones());
    (new TSkeletonBone(hip))->BoneID = 1;
    TSkeletonFrame& frame = skinnedMesh.Skeleton().Frames().Add();
    frame.Position.Add({1, 0, 0});
    frame.Position.Add({0, 0, 0});
    frame.Rotation.SetCount(2);
    TMeshObjectList objects;
    auto& bound = objects.Add<TSkeletonMeshObject>();
    bound.FindOrAddVertex(1, {2, 0, 0}, {1, 0, 0});
    ReadGLSM(WriteGLSM(objects), QStringLiteral("bound.glsm"), skinnedMesh.MeshObjects());
    const auto& read = static_cast<const TSkeletonMeshObject&>(skinnedMesh.MeshObjects()[0]);
    ASSERT_EQ(read.InvertedMeshCount(), 1);
    EXPECT_EQ(read.InvertedMesh(0).Vertices[0], (TAffineVector{1, 0, 0}));
    try
    {
        ReadGLSM(SampleFile(), QStringLiteral("sample.glsm"), skinnedMesh.MeshObjects());
        ADD_FAILURE() << "no exception";
    }
    catch (const EInvalidVectorFile& error)
    {
        EXPECT_TRUE(error.Message().startsWith(QStringLiteral("sample.glsm: offset ")));
        EXPECT_TRUE(error.Message().contains(QStringLiteral("bone id -3")));
    }
}

TEST(GLSMVectorFile, BoneWeightCountsThatTheFileCannotHoldAreRefused)
{
    TMeshObjectList objects;
    auto& skinned = objects.Add<TSkeletonMeshObject>();
    for (int i = 0; i < 3; ++i)
        skinned.FindOrAddVertex(i, {static_cast<float>(i), 0, 0}, {});
    const QByteArray data = WriteGLSM(objects);
    // Slots, count, then three entries of 8 bytes.
    const qsizetype slotsAt = data.size() - 3 * 8 - 8;
    QByteArray manySlots = data;
    qToLittleEndian<quint32>(0x40000000u, manySlots.data() + slotsAt);
    EXPECT_TRUE(ReadError(manySlots).endsWith(
        QStringLiteral("3 weighted vertices of 1073741824 bone slots pass the end of the file")));
    QByteArray manyVertices = data;
    qToLittleEndian<quint32>(0xFFFFFFFFu, manyVertices.data() + slotsAt + 4);
    EXPECT_TRUE(ReadError(manyVertices).endsWith(QStringLiteral("4294967295 weighted vertices for 3 vertices")));
}
