#include "base/Exceptions.h"
#include "mesh/GL3DSVectorFile.h"
#include "mesh/GLActor.h"
#include "mesh/GLBaseMesh.h"
#include "mesh/GLGLSMVectorFile.h"
#include "mesh/GLMD2VectorFile.h"
#include "mesh/GLSMDVectorFile.h"
#include "mesh/Skeleton.h"
#include "mesh/SkeletonMeshObject.h"
#include "mesh/VectorFile.h"
#include "scene/GLMaterial.h"
#include "scene/GLMaterialLibrary.h"
#include "scene/GLTexture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
// Three bones in a row along X: root at the origin, arm at 1, hand at 2.
// Frame 1 turns the arm a quarter turn about Z.
const char* const ArmModel = "version 1\n"
                             "nodes\n"
                             "  0 \"root\" -1\n"
                             "  1 \"arm\" 0\n"
                             "  2 \"hand\" 1\n"
                             "end\n"
                             "skeleton\n"
                             "time 0\n"
                             "  0 0 0 0 0 0 0\n"
                             "  1 1 0 0 0 0 0\n"
                             "  2 1 0 0 0 0 0\n"
                             "time 1\n"
                             "  0 0 0 0 0 0 0\n"
                             "  1 1 0 0 0 0 1.5707963\n"
                             "  2 1 0 0 0 0 0\n"
                             "end\n"
                             "triangles\n"
                             "skin.bmp\n"
                             "2 2 1 0 0 1 0 0.5 0.5\n"
                             "0 0 0 0 0 0 1 0 0\n"
                             "1 1 0 0 0 0 1 1 0\n"
                             "skin.bmp\n"
                             "0 0 0 0 0 0 1 0.25 0.25\n"
                             "1 1 0 0 0 0 1 1 0\n"
                             "0 -0 0 0 0 0 1 0 0\n"
                             "cloth.bmp\n"
                             "0 0 0 0 0 0 1 0 0\n"
                             "0 1 1 1 0 0 1 0 0 1 2 1.0\n"
                             "1 1 0 0 0 0 1 1 0\n"
                             "skin.bmp\n"
                             "0 0 0 0 0 0 1 0 0\n"
                             "1 1 0 0 0 0 1 1 0\n"
                             "2 2 1 0 0 1 0 0.5 0.5\n"
                             "end\n";

// A frame per line of `frames`, each giving the arm's angle about Z.
QByteArray Animation(int frames)
{
    QByteArray text = "version 1\nnodes\n  0 \"root\" -1\n  1 \"arm\" 0\n  2 \"hand\" 1\nend\nskeleton\n";
    for (int i = 0; i < frames; ++i)
        text += QStringLiteral("time %1\n  0 0 0 0 0 0 0\n  1 1 0 0 0 0 %2\n  2 1 0 0 0 0 0\n")
                    .arg(i)
                    .arg(0.05 * i)
                    .toLatin1();
    return text + "end\n";
}

// Files are loaded by bare name from the current directory, as the fight
// loads them, so that animations are named after the file alone.
class SMDFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (FindFormatByExtension(QStringLiteral("smd")) == nullptr)
            RegisterVectorFileFormats();
        FPrevious = QDir::currentPath();
        ASSERT_TRUE(QDir().mkpath(FDir.filePath(QStringLiteral("models"))));
        QDir::setCurrent(FDir.filePath(QStringLiteral("models")));
    }
    void TearDown() override { QDir::setCurrent(FPrevious); }

    static void Write(const QString& name, const QByteArray& text)
    {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    static QString ErrorOf(const std::function<void()>& action)
    {
        try
        {
            action();
        }
        catch (const Exception& error)
        {
            return error.Message();
        }
        return QStringLiteral("(no error)");
    }

    QTemporaryDir FDir;
    QString FPrevious;
};

TSkeletonMeshObject& BodyOf(TGLBaseMesh& mesh)
{
    return dynamic_cast<TSkeletonMeshObject&>(mesh.MeshObjects()[0]);
}

void ExpectNear(const TAffineVector& actual, const TAffineVector& expected, const char* what)
{
    EXPECT_NEAR(actual.X, expected.X, 1e-5) << what;
    EXPECT_NEAR(actual.Y, expected.Y, 1e-5) << what;
    EXPECT_NEAR(actual.Z, expected.Z, 1e-5) << what;
}
} // namespace

TEST_F(SMDFiles, TheFormatIsRegisteredForReadingAndWriting)
{
    const TVectorFileClass* const found = FindFormatByExtension(QStringLiteral("smd"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->MetaObject, &TGLSMDVectorFile::staticMetaObject);
    // Other tests of this program may have registered test formats after the
    // game's own: only the game's formats are looked at for the order.
    const std::vector<const QMetaObject*> gameFormats = {
        &TGLGLSMVectorFile::staticMetaObject, &TGL3DSVectorFile::staticMetaObject,
        &TGLMD2VectorFile::staticMetaObject, &TGLSMDVectorFile::staticMetaObject};
    const TVectorFileFormat* lastGameFormat = nullptr;
    for (const TVectorFileFormat& format : GetVectorFileFormats().Formats())
        if (std::find(gameFormats.begin(), gameFormats.end(), format.VectorFileClass.MetaObject) != gameFormats.end())
            lastGameFormat = &format;
    ASSERT_NE(lastGameFormat, nullptr);
    EXPECT_EQ(lastGameFormat->VectorFileClass.MetaObject, &TGLSMDVectorFile::staticMetaObject)
        << "registered after the other formats";
    EXPECT_EQ(lastGameFormat->Extension, QStringLiteral("smd"));
    EXPECT_EQ(lastGameFormat->Description, QStringLiteral("Half-Life SMD files"));
}

TEST_F(SMDFiles, AModelAndItsAnimationsBecomeNamedRangesOfOneSkeleton)
{
    Write(QStringLiteral("Stick.smd"), ArmModel);
    Write(QStringLiteral("Anime_Pas.smd"), Animation(31));
    Write(QStringLiteral("../x.smd"), Animation(2));
    TGLActor actor(nullptr);
    // As the first fighter is set up: the frame range counts skeleton frames.
    actor.SetReference(aarSkeleton);
    actor.LoadFromFile(QStringLiteral("Stick.smd"));
    actor.AddFromFile(QStringLiteral("Anime_Pas.smd"));
    actor.AddFromFile(QStringLiteral("../x.smd"));

    const TSkeleton& skeleton = actor.Skeleton();
    EXPECT_EQ(skeleton.RootBones().CountBones(), 4);
    ASSERT_EQ(skeleton.Frames().Count(), 35);
    EXPECT_EQ(skeleton.Frames()[1].Name, QStringLiteral("time 1 Stick.smd"));
    EXPECT_EQ(skeleton.Frames()[32].Name, QStringLiteral("time 30 Anime_Pas.smd"));
    EXPECT_FLOAT_EQ(skeleton.Frames()[4].Rotation[1].Z, 0.1f);
    ASSERT_EQ(actor.Animations()->Count(), 3);
    const TActorAnimation& model = (*actor.Animations())[0];
    const TActorAnimation& steps = (*actor.Animations())[1];
    const TActorAnimation& relative = (*actor.Animations())[2];
    EXPECT_EQ(model.Name(), QStringLiteral("Stick"));
    EXPECT_EQ(model.StartFrame(), 0);
    EXPECT_EQ(model.EndFrame(), 1);
    EXPECT_EQ(steps.Name(), QStringLiteral("Anime_Pas"));
    EXPECT_EQ(steps.StartFrame(), 2);
    EXPECT_EQ(steps.EndFrame(), 32);
    EXPECT_EQ(steps.Reference(), aarSkeleton);
    EXPECT_EQ(relative.Name(), QString()) << "the name ends at the first dot, here the path's";
    EXPECT_EQ(relative.StartFrame(), 33);

    // Each add leaves the whole range active from frame 0.
    EXPECT_EQ(actor.StartFrame(), 0);
    EXPECT_EQ(actor.EndFrame(), 34);
    actor.SwitchAnimation(QStringLiteral("anime_pas"), false);
    EXPECT_EQ(actor.Reference(), aarSkeleton);
    EXPECT_EQ(actor.StartFrame(), 2);
    EXPECT_EQ(actor.EndFrame(), 32);
    EXPECT_EQ(actor.CurrentFrame(), 2);

    // A new model replaces bones, frames and animations.
    actor.LoadFromFile(QStringLiteral("Stick.smd"));
    EXPECT_EQ(actor.Skeleton().Frames().Count(), 2);
    EXPECT_EQ(actor.Animations()->Count(), 1);
    EXPECT_EQ(actor.MeshObjects().Count(), 1);
}

TEST_F(SMDFiles, AnAnimationNeedsAModelWithASkeletonMeshFirst)
{
    Write(QStringLiteral("Anime_Pas.smd"), Animation(3));
    TGLActor actor(nullptr);
    EXPECT_TRUE(ErrorOf([&] { actor.LoadFromFile(QStringLiteral("Anime_Pas.smd")); })
                    .startsWith(QStringLiteral("SMD is an animation, load model SMD first.")));
    EXPECT_EQ(actor.Skeleton().Frames().Count(), 0);
    EXPECT_EQ(actor.Animations()->Count(), 0);

    // A mesh object of another kind cannot take the frames either.
    actor.MeshObjects().Add<TMeshObject>();
    const QString error = ErrorOf([&] { actor.AddFromFile(QStringLiteral("Anime_Pas.smd")); });
    EXPECT_TRUE(error.contains(QStringLiteral("Anime_Pas.smd"))) << qPrintable(error);
    EXPECT_EQ(actor.Skeleton().Frames().Count(), 0);
}

TEST_F(SMDFiles, TrianglesFormAGroupPerRunOfOneMaterialAndShareVerticesByExactBits)
{
    Write(QStringLiteral("arm.smd"), ArmModel);
    TGLActor actor(nullptr);
    actor.LoadFromFile(QStringLiteral("arm.smd"));
    ASSERT_EQ(actor.MeshObjects().Count(), 1);
    TSkeletonMeshObject& body = BodyOf(actor);
    EXPECT_EQ(body.Mode(), momFaceGroups);
    EXPECT_EQ(body.BoneSlots(), 1);
    ASSERT_EQ(body.FaceGroups().Count(), 3);
    const char* const materials[] = {"skin.bmp", "cloth.bmp", "skin.bmp"};
    const int triangles[] = {2, 1, 1};
    for (int g = 0; g < 3; ++g)
    {
        auto& group = dynamic_cast<TFGVertexNormalTexIndexList&>(body.FaceGroups()[g]);
        EXPECT_EQ(group.MaterialName, QLatin1String(materials[g]));
        EXPECT_EQ(group.Mode(), fgmmTriangles);
        EXPECT_EQ(group.VertexIndices.Count(), 3 * triangles[g]);
        EXPECT_EQ(group.NormalIndices.Items(), group.VertexIndices.Items());
    }
    // Distinct (bone, position, normal): the hand corner, the origin, -0 as
    // its own bits, (1, 0, 0) on bone 1, and the 12-token line's corner,
    // bound to bone 2 by its tenth token.
    ASSERT_EQ(body.Vertices.Count(), 5);
    EXPECT_EQ(body.VerticesBonesWeights(4)[0].BoneID, 2);
    EXPECT_EQ(body.VerticesBonesWeights(4)[0].Weight, 1.0f);
    ExpectNear(body.Vertices[4], {1, 1, 1}, "the 12-token corner");
    // The origin comes with (0, 0) and (0.25, 0.25): one vertex, two
    // texture coordinates.
    EXPECT_EQ(body.TexCoords.Count(), 4);
    auto& first = dynamic_cast<TFGVertexNormalTexIndexList&>(body.FaceGroups()[0]);
    EXPECT_EQ(first.VertexIndices[1], first.VertexIndices[3]);
    EXPECT_NE(first.TexCoordIndices[1], first.TexCoordIndices[3]);
    EXPECT_EQ(actor.TriangleCount(), 4);
}

// A corner whose text came before takes that corner's vertex and texture
// coordinates; a corner of other text but equal numbers finds them by value.
TEST_F(SMDFiles, RepeatedCornerTextsTakeTheIndicesOfTheirFirstCorner)
{
    Write(QStringLiteral("strip.smd"), "version 1\nnodes\n  0 \"root\" -1\n  1 \"arm\" 0\nend\n"
                                       "skeleton\ntime 0\n  0 0 0 0 0 0 0\n  1 1 0 0 0 0 0\nend\ntriangles\n"
                                       "skin.bmp\n"
                                       "0 0 0 0 0 0 1 0 0\n"       // vertex 0, tex 0
                                       "1 1 0 0 0 0 1 1 0\n"       // vertex 1, tex 1
                                       "1 1 1 0 0 0 1 1 1\n"       // vertex 2, tex 2
                                       "cloth.bmp\n"
                                       "1 1 1 0 0 0 1 1 1\n"       // as corner 2
                                       "1 1 0 0 0 0 1 0 0\n"       // vertex 1, tex 0
                                       "0 0 0 0 0 0 1 0 0\n"       // as corner 0
                                       "skin.bmp\n"
                                       "0 0.0 0 0 0 0 1.0 0 0\n"   // vertex 0 by value, tex 0
                                       "1 1 1 0 0 0 1 1 1\n"       // as corner 2
                                       "0 0 0 0 0 0 1 0.5 0\n"     // vertex 0, tex 3
                                       "end\n");
    TGLActor actor(nullptr);
    actor.LoadFromFile(QStringLiteral("strip.smd"));
    TSkeletonMeshObject& body = BodyOf(actor);
    EXPECT_EQ(body.Vertices.Count(), 3);
    EXPECT_EQ(body.TexCoords.Count(), 4);
    ASSERT_EQ(body.FaceGroups().Count(), 3);
    const std::vector<int> vertices[] = {{0, 1, 2}, {2, 1, 0}, {0, 2, 0}};
    const std::vector<int> texCoords[] = {{0, 1, 2}, {2, 0, 0}, {0, 2, 3}};
    for (int g = 0; g < 3; ++g)
    {
        auto& group = dynamic_cast<TFGVertexNormalTexIndexList&>(body.FaceGroups()[g]);
        EXPECT_EQ(group.VertexIndices.Items(), vertices[g]) << "group " << g;
        EXPECT_EQ(group.NormalIndices.Items(), vertices[g]) << "group " << g;
        EXPECT_EQ(group.TexCoordIndices.Items(), texCoords[g]) << "group " << g;
    }
    EXPECT_EQ(body.VerticesBonesWeights(2)[0].BoneID, 1);
}

TEST_F(SMDFiles, SkinningTheFirstFramePutsVerticesBackAndLaterFramesTurnThem)
{
    Write(QStringLiteral("arm.smd"), ArmModel);
    TGLActor actor(nullptr);
    actor.LoadFromFile(QStringLiteral("arm.smd"));
    TSkeletonMeshObject& body = BodyOf(actor);
    TSkeleton& skeleton = actor.Skeleton();
    skeleton.SetCurrentFrame(skeleton.Frames()[0]);
    skeleton.ApplySkinning(true);
    ExpectNear(body.Vertices[0], {2, 1, 0}, "bind pose");
    ExpectNear(body.Normals[0], {0, 1, 0}, "bind pose normal");

    // The arm turns a quarter about Z and carries the hand: (2, 1, 0) is 1
    // above the hand, which moves from (2, 0, 0) to (1, 1, 0); the offset
    // turns to (-1, 0, 0).
    skeleton.SetCurrentFrame(skeleton.Frames()[1]);
    skeleton.ApplySkinning(true);
    ExpectNear(body.Vertices[0], {0, 1, 0}, "turned hand corner");
    ExpectNear(body.Normals[0], {-1, 0, 0}, "turned normal");
    ExpectNear(body.Vertices[1], {0, 0, 0}, "the root's corner stays");
}

TEST_F(SMDFiles, AVertexOnAnUnknownBoneIsRefusedWithItsLineAndAddsNothing)
{
    QByteArray text = ArmModel;
    text.replace("2 2 1 0 0 1 0 0.5 0.5\n0 0 0", "7 2 1 0 0 1 0 0.5 0.5\n0 0 0");
    Write(QStringLiteral("bad.smd"), text);
    TGLActor actor(nullptr);
    const QString error = ErrorOf([&] { actor.LoadFromFile(QStringLiteral("bad.smd")); });
    EXPECT_TRUE(error.contains(QStringLiteral("bone 7"))) << qPrintable(error);
    EXPECT_TRUE(error.contains(QStringLiteral("\"bad.smd\", line 19"))) << qPrintable(error);
    EXPECT_EQ(actor.MeshObjects().Count(), 0);
    EXPECT_EQ(actor.Skeleton().RootBones().Count(), 0);
    EXPECT_EQ(actor.Skeleton().Frames().Count(), 0);
    EXPECT_EQ(actor.Animations()->Count(), 0);
}

TEST_F(SMDFiles, MaterialsJoinTheLibraryAsTexturesOrPlainWhenNamedNull)
{
    QByteArray text = ArmModel;
    text.replace("cloth.bmp", "NULL.BMP");
    Write(QStringLiteral("arm.smd"), text);
    TGLMaterialLibrary library(nullptr);
    TGLActor actor(nullptr);
    actor.SetMaterialLibrary(&library);
    EXPECT_TRUE(ErrorOf([&] { actor.LoadFromFile(QStringLiteral("arm.smd")); }).contains(QStringLiteral("skin.bmp")));

    library.Materials()->Clear();
    actor.SetIgnoreMissingTextures(true);
    actor.LoadFromFile(QStringLiteral("arm.smd"));
    ASSERT_EQ(library.Materials()->Count(), 2) << "a material comes back later without a second entry";
    EXPECT_TRUE(library.LibMaterialByName(QStringLiteral("skin.bmp"))->Material()->Texture()->Image()->Empty());
    EXPECT_NE(library.LibMaterialByName(QStringLiteral("NULL.BMP")), nullptr);

    library.Materials()->Clear();
    QImage skin(4, 4, QImage::Format_RGB32);
    skin.fill(Qt::red);
    ASSERT_TRUE(skin.save(QStringLiteral("skin.bmp")));
    actor.SetIgnoreMissingTextures(false);
    actor.LoadFromFile(QStringLiteral("arm.smd"));
    EXPECT_EQ(library.LibMaterialByName(QStringLiteral("skin.bmp"))->Material()->Texture()->Image()->Width(), 4);

    TGLActor plain(nullptr);
    plain.LoadFromFile(QStringLiteral("arm.smd"));
    EXPECT_EQ(library.Materials()->Count(), 2) << "a mesh without a library registers nothing";
}

TEST_F(SMDFiles, ASavedModelReadsBackWithTheSameBonesFramesAndTriangles)
{
    // The load's centring turns -0 into 0, which a reload would then share.
    QByteArray text = ArmModel;
    text.replace("0 -0 0", "0 0.5 0");
    Write(QStringLiteral("arm.smd"), text);
    TGLActor actor(nullptr);
    actor.LoadFromFile(QStringLiteral("arm.smd"));
    actor.SaveToFile(QStringLiteral("copy.smd"));
    QFile saved(QStringLiteral("copy.smd"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray written = saved.readAll();
    EXPECT_TRUE(written.startsWith("version 1\r\nnodes\r\n  0 \"root\"  -1\r\n")) << written.left(60).constData();
    EXPECT_TRUE(written.contains("  1 1.000000 0.000000 0.000000 0.000000 0.000000 1.570796\r\n"));
    EXPECT_TRUE(written.contains("cloth.bmp\r\n  0 0.0000 0.0000 0.0000 0.0000 0.0000 1.0000 0.0000 0.0000\r\n"));

    TGLActor copy(nullptr);
    copy.LoadFromFile(QStringLiteral("copy.smd"));
    const TSkeleton& a = actor.Skeleton();
    const TSkeleton& b = copy.Skeleton();
    ASSERT_EQ(b.RootBones().CountBones(), a.RootBones().CountBones());
    for (int id = 0; id < 3; ++id)
    {
        const TSkeletonBone* const original = const_cast<TSkeleton&>(a).BoneByID(id);
        const TSkeletonBone* const read = const_cast<TSkeleton&>(b).BoneByID(id);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->Name, original->Name);
        EXPECT_EQ(dynamic_cast<const TSkeletonBone*>(read->Owner()) == nullptr,
                  dynamic_cast<const TSkeletonBone*>(original->Owner()) == nullptr);
    }
    ASSERT_EQ(b.Frames().Count(), 2);
    EXPECT_NEAR(b.Frames()[1].Rotation[1].Z, 1.5707963f, 1e-6);
    TSkeletonMeshObject& body = BodyOf(actor);
    TSkeletonMeshObject& readBody = BodyOf(copy);
    EXPECT_EQ(readBody.FaceGroups().Count(), 3);
    EXPECT_EQ(readBody.Vertices.Items(), body.Vertices.Items());
    EXPECT_EQ(readBody.TexCoords.Items(), body.TexCoords.Items());
    for (int i = 0; i < body.Vertices.Count(); ++i)
        EXPECT_EQ(readBody.VerticesBonesWeights(i)[0].BoneID, body.VerticesBonesWeights(i)[0].BoneID);
}
