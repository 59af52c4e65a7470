#include "base/Exceptions.h"
#include "mesh/GLBaseMesh.h"
#include "mesh/GLGLSMVectorFile.h"

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

    ASSERT_EQ(mesh.MeshObjects().Count(), 2);
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
