#include "File3DSBuilder.h"

#include "base/Exceptions.h"
#include "mesh/FaceGroups.h"
#include "mesh/GL3DSVectorFile.h"
#include "mesh/GLBaseMesh.h"
#include "mesh/MeshObject.h"
#include "mesh/VectorFile.h"
#include "scene/GLMaterial.h"
#include "scene/GLMaterialLibrary.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace build3ds;

namespace
{
class ThreeDSModels : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (FindFormatByExtension(QStringLiteral("3ds")) == nullptr)
            RegisterVectorFileFormats();
    }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = FDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QString WritePicture(const QString& name)
    {
        QImage picture(4, 2, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString path = FDir.filePath(name);
        EXPECT_TRUE(picture.save(path, "PNG"));
        return path;
    }

    QTemporaryDir FDir;
};

QByteArray Percent(uint16_t tag, int16_t percent)
{
    return Chunk(tag, {}, {Chunk(0x0030, U16(static_cast<uint16_t>(percent)))});
}

QByteArray Map(uint16_t tag, const QString& fileName)
{
    return Chunk(tag, {}, {Chunk(0xA300, Str(fileName.toLatin1().constData()))});
}

// A square of two faces, only the first one in a material group.
QByteArray SquareObject(const char* name, const char* material, std::initializer_list<QByteArray> extra = {})
{
    QByteArray object = Object(name, {TriMesh({Vertices({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}),
                                               TexVertices({{0, 0}, {1, 0}, {1, 1}, {0, 1}}),
                                               Faces({{0, 1, 2, 0}, {0, 2, 3, 0}}, {MaterialGroup(material, {0})})})});
    for (const QByteArray& chunk : extra)
        object += chunk;
    return object;
}
} // namespace

TEST_F(ThreeDSModels, ObjectsBecomeFaceGroupObjectsAndFacesInNoGroupAreNotDrawn)
{
    const QByteArray hidden = Object("Hidden", {Chunk(0x4010, {}),
                                                TriMesh({Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                                                         Faces({{0, 1, 2, 0}})})});
    TGLFreeForm mesh(nullptr);
    mesh.LoadFromFile(Write("square.3ds", Model({Material("Brick"), SquareObject("Square", "Brick"), hidden})));

    ASSERT_EQ(mesh.MeshObjects().Count(), 1);
    const TMeshObject& object = mesh.MeshObjects()[0];
    EXPECT_EQ(object.Name, QStringLiteral("Square"));
    EXPECT_EQ(object.Mode(), momFaceGroups);
    // Flat shading: the second face copies the two corners it shares.
    EXPECT_EQ(object.Vertices.Count(), 6);
    EXPECT_EQ(object.Normals.Count(), 6);
    EXPECT_EQ(object.TexCoords.Count(), 6);
    ASSERT_EQ(object.FaceGroups().Count(), 1);
    const auto& group = dynamic_cast<const TFGVertexIndexList&>(object.FaceGroups()[0]);
    EXPECT_EQ(group.VertexIndices.Count(), 3);
    // No library: drawn with the free form's own material, no texture opened.
    EXPECT_TRUE(group.MaterialName.isEmpty());
    EXPECT_EQ(object.LightMapTexCoords.Count(), 0);
}

TEST_F(ThreeDSModels, LibraryGainsTheFilesMaterialsWithTheirColoursTexturesAndLightmaps)
{
    WritePicture("brick.png");
    WritePicture("glow.png");
    const QByteArray brick =
        Material("Brick", {Chunk(0xA010, {}, {FloatColor(0.1f, 0.2f, 0.3f)}),
                           Chunk(0xA020, {}, {FloatColor(0.4f, 0.5f, 0.6f)}),
                           Chunk(0xA030, {}, {FloatColor(1, 1, 1)}), Percent(0xA040, 25), Percent(0xA041, 50),
                           Map(0xA200, FDir.filePath("BRICK.PNG")), Map(0xA33D, FDir.filePath("glow.png"))});
    TGLMaterialLibrary library(nullptr);
    TGLMaterialLibrary lightmaps(nullptr);
    TGLLibMaterial* const stone = library.AddMaterial(QStringLiteral("Stone"));
    TGLFreeForm mesh(nullptr);
    mesh.SetMaterialLibrary(&library);
    mesh.SetLightmapLibrary(&lightmaps);
    mesh.LoadFromFile(Write("lit.3ds", Model({brick, Material("Stone", {Map(0xA200, "nothing.png")}),
                                              SquareObject("A", "Brick"), SquareObject("B", "Stone")})));

    ASSERT_EQ(mesh.MeshObjects().Count(), 2);
    const auto& group = dynamic_cast<const TFGVertexIndexList&>(mesh.MeshObjects()[0].FaceGroups()[0]);
    EXPECT_EQ(group.MaterialName, QStringLiteral("Brick"));
    TGLLibMaterial* const added = library.LibMaterialByName(QStringLiteral("Brick"));
    ASSERT_NE(added, nullptr);
    const TGLFaceProperties* const front = added->Material()->FrontProperties();
    EXPECT_EQ(front->Ambient()->Color(), (TColorVector{0.1f, 0.2f, 0.3f, 1}));
    EXPECT_EQ(front->Diffuse()->Color(), (TColorVector{0.4f, 0.5f, 0.6f, 1}));
    // Specular scaled by 1 - shininess (0.25); shininess from the strength.
    EXPECT_EQ(front->Specular()->Color(), (TColorVector{0.75f, 0.75f, 0.75f, 1}));
    EXPECT_EQ(front->Shininess(), 64);
    TGLTexture* const texture = added->Material()->Texture();
    EXPECT_FALSE(texture->Disabled());
    EXPECT_EQ(texture->TextureMode(), tmModulate);
    EXPECT_EQ(texture->Image()->Width(), 4);

    // The lightmap is a material of the lightmap library named by its file.
    ASSERT_EQ(lightmaps.Materials()->Count(), 1);
    EXPECT_EQ(group.LightMapIndex, 0);
    EXPECT_EQ(lightmaps.Materials()->Items(0)->Name(), FDir.filePath("glow.png"));
    EXPECT_EQ(mesh.MeshObjects()[0].LightMapTexCoords.Count(), mesh.MeshObjects()[0].TexCoords.Count());

    // A material the library already holds is used as it is: its missing
    // texture is never opened.
    EXPECT_EQ(library.LibMaterialByName(QStringLiteral("Stone")), stone);
    EXPECT_FALSE(stone->Material()->HasTexture());
    const auto& stoneGroup = dynamic_cast<const TFGVertexIndexList&>(mesh.MeshObjects()[1].FaceGroups()[0]);
    EXPECT_EQ(stoneGroup.LightMapIndex, -1);
    EXPECT_EQ(mesh.MeshObjects()[1].LightMapTexCoords.Count(), 0);
}

TEST_F(ThreeDSModels, MissingTextureFailsTheLoadUnlessTheMeshIgnoresIt)
{
    const QString path =
        Write("missing.3ds", Model({Material("Brick", {Map(0xA200, FDir.filePath("NOWHERE.PNG"))}),
                                    SquareObject("A", "Brick")}));
    {
        TGLMaterialLibrary library(nullptr);
        TGLFreeForm mesh(nullptr);
        mesh.SetMaterialLibrary(&library);
        EXPECT_THROW(mesh.LoadFromFile(path), ETextureLoadError);
    }
    TGLMaterialLibrary library(nullptr);
    TGLFreeForm mesh(nullptr);
    mesh.SetMaterialLibrary(&library);
    mesh.SetIgnoreMissingTextures(true);
    mesh.LoadFromFile(path);
    EXPECT_EQ(mesh.MeshObjects().Count(), 1);
    EXPECT_NE(library.LibMaterialByName(QStringLiteral("Brick")), nullptr);
}

TEST_F(ThreeDSModels, BothExtensionsReachTheReaderAndAFileWithoutOneIsRefused)
{
    EXPECT_EQ(FindFormatByFileName(QStringLiteral("town.3DS")).MetaObject, &TGL3DSVectorFile::staticMetaObject);
    EXPECT_EQ(FindFormatByFileName(QStringLiteral("town.prj")).MetaObject, &TGL3DSVectorFile::staticMetaObject);
    TGLFreeForm mesh(nullptr);
    EXPECT_THROW(mesh.LoadFromFile(Write("testFormatDetection", TriangleModel())), EInvalidVectorFile);
    // Another root tag: nothing, and no failure.
    mesh.LoadFromFile(Write("other.3ds", Chunk(0x1234, {}, {Chunk(0x3D3D, {})})));
    EXPECT_EQ(mesh.MeshObjects().Count(), 0);
}

TEST_F(ThreeDSModels, EveryCorpusModelLoadsIntoAFreeFormAndTheEmptyFileIsRefused)
{
    const QString corpus = QStringLiteral(STICKFIGHT_CORPUS_DIR "/3ds");
    if (!QFileInfo::exists(corpus))
        GTEST_SKIP() << "no third-party model files at " << corpus.toStdString();
    int loaded = 0;
    QDirIterator files(corpus, {"*.3ds", "*.3DS", "*.prj"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
    {
        const QString path = files.next();
        TGLFreeForm mesh(nullptr);
        if (path.endsWith(QStringLiteral("invalid/empty.3ds")))
        {
            try
            {
                mesh.LoadFromFile(path);
                ADD_FAILURE() << "the empty file loaded";
            }
            catch (const Exception& error)
            {
                EXPECT_TRUE(error.Message().contains(QStringLiteral("empty.3ds"))) << error.Message().toStdString();
            }
            continue;
        }
        EXPECT_NO_THROW(mesh.LoadFromFile(path)) << path.toStdString();
        EXPECT_GT(mesh.MeshObjects().Count(), 0) << path.toStdString();
        EXPECT_GT(mesh.MeshObjects().TriangleCount(), 0) << path.toStdString();
        ++loaded;
    }
    EXPECT_GE(loaded, 20);
}
