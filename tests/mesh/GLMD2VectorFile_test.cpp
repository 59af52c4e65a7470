#include "MD2TestFiles.h"

#include "base/Exceptions.h"
#include "mesh/GLBaseMesh.h"
#include "mesh/MD2.h"
#include "mesh/MeshObject.h"
#include "mesh/VectorFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace
{
class MD2Models : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (FindFormatByExtension(QStringLiteral("md2")) == nullptr)
            RegisterVectorFileFormats();
    }

    QString Write(const QString& name, const std::vector<std::uint8_t>& bytes)
    {
        const QString path = FDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }

    QTemporaryDir FDir;
};

bool Holds(const TAffineVectorList& list, const TAffineVector& v)
{
    return std::any_of(list.begin(), list.end(),
                       [&](const TAffineVector& item) { return item.X == v.X && item.Y == v.Y && item.Z == v.Z; });
}
} // namespace

TEST_F(MD2Models, ModelBecomesOneMorphableObjectWithATargetPerFrame)
{
    TGLFreeForm mesh(nullptr);
    mesh.LoadFromFile(Write(QStringLiteral("small.MD2"), TSmallMD2::Bytes()));

    ASSERT_EQ(mesh.MeshObjects().Count(), 1);
    auto* object = dynamic_cast<TMorphableMeshObject*>(&mesh.MeshObjects()[0]);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Name, QStringLiteral("small"));
    EXPECT_EQ(object->Mode(), momFaceGroups);
    // Four vertices, one of them on a texture seam: five (vertex, texture
    // coordinate) pairs.
    EXPECT_EQ(object->Vertices.Count(), 5);
    EXPECT_EQ(object->Normals.Count(), 5);
    EXPECT_EQ(object->TexCoords.Count(), 5);
    EXPECT_EQ(mesh.MeshObjects().TriangleCount(), 2);
    // The first frame, scaled by (0.5, 1, 2) and moved by (-1, 10, 3).
    for (const TAffineVector& corner : {TAffineVector{-1, 10, 3}, TAffineVector{1, 10, 3}, TAffineVector{-1, 12, 3},
                                        TAffineVector{-1, 10, 7}})
        EXPECT_TRUE(Holds(object->Vertices, corner)) << corner.X << ' ' << corner.Y << ' ' << corner.Z;

    ASSERT_EQ(object->MorphTargets.Count(), 2);
    EXPECT_EQ(object->MorphTargets[0].Name, QStringLiteral("stand01"));
    EXPECT_EQ(object->MorphTargets[1].Name, QStringLiteral("stand02"));
    EXPECT_TRUE(Holds(object->MorphTargets[1].Vertices, {10, 20, 33}));
    object->MorphTo(1);
    EXPECT_TRUE(Holds(object->Vertices, {11, 20, 30}));
}

TEST_F(MD2Models, InvertedOrientationTurnsEveryNormalAround)
{
    const QString path = Write(QStringLiteral("small.md2"), TSmallMD2::Bytes());
    TGLFreeForm outward(nullptr);
    outward.LoadFromFile(path);
    TGLFreeForm inward(nullptr);
    inward.SetNormalsOrientation(mnoInvert);
    inward.LoadFromFile(path);
    const TAffineVectorList& out = outward.MeshObjects()[0].Normals;
    const TAffineVectorList& in = inward.MeshObjects()[0].Normals;
    ASSERT_EQ(out.Count(), in.Count());
    for (int i = 0; i < out.Count(); ++i)
    {
        EXPECT_EQ(in[i].X, -out[i].X);
        EXPECT_EQ(in[i].Y, -out[i].Y);
        EXPECT_EQ(in[i].Z, -out[i].Z);
    }
    EXPECT_NE(out[0].X * out[0].X + out[0].Y * out[0].Y + out[0].Z * out[0].Z, 0.0f);
}

TEST_F(MD2Models, DamagedFileFailsTheLoadWithItsNameAndLeavesNoObject)
{
    std::vector<std::uint8_t> bytes = TSmallMD2::Bytes();
    bytes.resize(TSmallMD2::FrameTable + 10);
    const QString path = Write(QStringLiteral("cut.md2"), bytes);
    TGLFreeForm mesh(nullptr);
    try
    {
        mesh.LoadFromFile(path);
        FAIL() << "a cut file loaded";
    }
    catch (const EMD2Error& error)
    {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("cut.md2"))) << error.Message().toStdString();
    }
    EXPECT_EQ(mesh.MeshObjects().Count(), 0);
}
