// The converter run as model makers run it: round trips through the native
// format that load back to the same mesh, within what the writers round to,
// and clear failures.
#include "ToolProcess.h"

#include "mesh/File3DS.h"
#include "mesh/FaceGroups.h"
#include "mesh/GLBaseMesh.h"
#include "mesh/GLGLSMVectorFile.h"
#include "mesh/MD2.h"
#include "mesh/SMD.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace
{
const QString CorpusDir = QStringLiteral(STICKFIGHT_CORPUS_DIR);
const QString GameDir = QStringLiteral(STICKFIGHT_GAME_DIR);

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// What `decimals` decimals written from a float and read back can be off by.
void ExpectNear(const float expected, const float actual, const int decimals, const char* what)
{
    const double tolerance = 0.5 * std::pow(10.0, -decimals) + 4 * std::ldexp(std::abs(double(expected)), -24);
    EXPECT_NEAR(actual, expected, tolerance) << what;
}

void ExpectNear(const TSMDVector& expected, const TSMDVector& actual, const int decimals, const char* what)
{
    ExpectNear(expected.X, actual.X, decimals, what);
    ExpectNear(expected.Y, actual.Y, decimals, what);
    ExpectNear(expected.Z, actual.Z, decimals, what);
}

TSMDFile ParseFile(const QString& path)
{
    return ParseSMD(ReadAll(path), path, TSMDContext{});
}

void ExpectSameSkeleton(const TSMDFile& expected, const TSMDFile& actual)
{
    ASSERT_EQ(actual.Nodes.size(), expected.Nodes.size());
    for (size_t i = 0; i < expected.Nodes.size(); ++i)
    {
        EXPECT_EQ(actual.Nodes[i].Id, expected.Nodes[i].Id);
        EXPECT_EQ(actual.Nodes[i].Name, expected.Nodes[i].Name);
        EXPECT_EQ(actual.Nodes[i].ParentId, expected.Nodes[i].ParentId);
    }
    ASSERT_EQ(actual.Frames.size(), expected.Frames.size());
    for (size_t f = 0; f < expected.Frames.size(); ++f)
        for (size_t b = 0; b < expected.Frames[f].Positions.size(); ++b)
        {
            ExpectNear(expected.Frames[f].Positions[b], actual.Frames[f].Positions[b], 6, "bone position");
            ExpectNear(expected.Frames[f].Rotations[b], actual.Frames[f].Rotations[b], 6, "bone rotation");
        }
}

QString MaterialOf(const TSMDFile& file, const size_t triangle)
{
    for (const TSMDMaterialRun& run : file.Runs)
        if (triangle >= run.FirstTriangle && triangle < run.FirstTriangle + run.TriangleCount)
            return run.MaterialName;
    return {};
}

void ExpectSameTriangles(const TSMDFile& expected, const TSMDFile& actual)
{
    ASSERT_EQ(actual.Triangles.size(), expected.Triangles.size());
    for (size_t t = 0; t < expected.Triangles.size(); ++t)
    {
        SCOPED_TRACE("triangle " + std::to_string(t));
        EXPECT_EQ(MaterialOf(actual, t), MaterialOf(expected, t));
        for (size_t k = 0; k < 3; ++k)
        {
            const TSMDCorner& want = expected.Triangles[t].Corners[k];
            const TSMDCorner& got = actual.Triangles[t].Corners[k];
            EXPECT_EQ(got.BoneId, want.BoneId);
            ExpectNear(want.Position, got.Position, 4, "position");
            ExpectNear(want.Normal, got.Normal, 4, "normal");
            ExpectNear(want.S, got.S, 4, "s");
            ExpectNear(want.T, got.T, 4, "t");
        }
    }
}

QStringList SmdModels()
{
    QStringList models{GameDir + QStringLiteral("/Combo/Stick.smd")};
    if (QDir(CorpusDir).exists())
        models << CorpusDir + QStringLiteral("/smd/hl1-barney/barney_reference.smd")
               << CorpusDir + QStringLiteral("/smd/assimp/WusonSMD.smd");
    return models;
}

void ExpectSameLists(const TAffineVectorList& expected, const std::vector<T3DSVector>& actual, const char* what)
{
    ASSERT_EQ(static_cast<size_t>(expected.Count()), actual.size()) << what;
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_EQ((TAffineVector{actual[i].X, actual[i].Y, actual[i].Z}), expected[static_cast<int>(i)]) << what << " " << i;
}

void ReadNative(const QString& path, TGLBaseMesh& mesh)
{
    ReadGLSM(ReadAll(path), path, mesh.MeshObjects());
}
} // namespace

TEST(ConvertTool, SmdThroughTheNativeFormatComesBackWithItsBonesFramesAndTriangles)
{
    const QTemporaryDir dir;
    for (const QString& model : SmdModels())
    {
        SCOPED_TRACE(model.toStdString());
        const QString native = dir.filePath(QStringLiteral("model.glsm"));
        const QString back = dir.filePath(QStringLiteral("back.smd"));
        const TToolRun there = Convert({model, native});
        ASSERT_EQ(there.ExitCode, 0) << there.Err.toStdString();
        const TToolRun again = Convert({native, back, QStringLiteral("--skeleton"), model});
        ASSERT_EQ(again.ExitCode, 0) << again.Err.toStdString();
        const TSMDFile expected = ParseFile(model);
        const TSMDFile actual = ParseFile(back);
        ExpectSameSkeleton(expected, actual);
        ExpectSameTriangles(expected, actual);

        // Straight from SMD to SMD, the same.
        const QString rewritten = dir.filePath(QStringLiteral("rewritten.smd"));
        const TToolRun direct = Convert({model, rewritten});
        ASSERT_EQ(direct.ExitCode, 0) << direct.Err.toStdString();
        const TSMDFile rewrittenFile = ParseFile(rewritten);
        ExpectSameSkeleton(expected, rewrittenFile);
        ExpectSameTriangles(expected, rewrittenFile);
    }
}

TEST(ConvertTool, ThreeDSIntoTheNativeFormatKeepsWhatTheReaderMakesOfIt)
{
    QStringList models{GameDir + QStringLiteral("/bin/Miniville.3ds")};
    if (QDir(CorpusDir).exists())
        models << CorpusDir + QStringLiteral("/3ds/irrlicht/room.3ds") << CorpusDir + QStringLiteral("/3ds/assimp/test1.3ds");
    const QTemporaryDir dir;
    for (const QString& model : models)
    {
        SCOPED_TRACE(model.toStdString());
        const QString native = dir.filePath(QStringLiteral("model.glsm"));
        const TToolRun run = Convert({model, native});
        ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        TFile3DS file;
        file.LoadFromFile(model);
        const std::vector<T3DSConvertedMesh> expected = Convert3DSMeshes(file, false);
        TGLFreeForm mesh(nullptr);
        ReadNative(native, mesh);
        ASSERT_EQ(static_cast<size_t>(mesh.MeshObjects().Count()), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
        {
            const TMeshObject& object = mesh.MeshObjects()[static_cast<int>(i)];
            EXPECT_EQ(object.Name, expected[i].Name);
            ExpectSameLists(object.Vertices, expected[i].Vertices, "vertices");
            ExpectSameLists(object.Normals, expected[i].Normals, "normals");
            ExpectSameLists(object.TexCoords, expected[i].TexCoords, "texture coordinates");
            ASSERT_EQ(static_cast<size_t>(object.FaceGroups().Count()), expected[i].Groups.size());
            for (size_t g = 0; g < expected[i].Groups.size(); ++g)
            {
                const auto& group = dynamic_cast<const TFGVertexIndexList&>(object.FaceGroups()[static_cast<int>(g)]);
                EXPECT_EQ(group.MaterialName, expected[i].Groups[g].MaterialName);
                EXPECT_EQ(std::vector<int>(group.VertexIndices.begin(), group.VertexIndices.end()), expected[i].Groups[g].Indices);
            }
        }
    }
}

TEST(ConvertTool, Md2IntoTheNativeFormatKeepsEveryFrame)
{
    if (!QDir(CorpusDir).exists())
        GTEST_SKIP() << "The shared corpus is not beside the checkout: " << CorpusDir.toStdString();
    const QTemporaryDir dir;
    const QString model = CorpusDir + QStringLiteral("/md2/assimp/faerie.md2");
    const QString native = dir.filePath(QStringLiteral("faerie.glsm"));
    const TToolRun run = Convert({model, native});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const TMD2MorphMesh expected = MakeMD2MorphMesh(ReadMD2File(model));
    TGLFreeForm mesh(nullptr);
    ReadNative(native, mesh);
    ASSERT_EQ(mesh.MeshObjects().Count(), 1);
    const auto& object = dynamic_cast<const TMorphableMeshObject&>(mesh.MeshObjects()[0]);
    EXPECT_EQ(object.Name, QStringLiteral("faerie"));
    // The shape drawn without morphing is the first frame's.
    ASSERT_EQ(static_cast<size_t>(object.Vertices.Count()), expected.Frames.front().Positions.size());
    for (size_t v = 0; v < expected.Frames.front().Positions.size(); ++v)
    {
        const TMD2Vector& p = expected.Frames.front().Positions[v];
        EXPECT_EQ(object.Vertices[static_cast<int>(v)], (TAffineVector{p.X, p.Y, p.Z}));
    }
    ASSERT_EQ(static_cast<size_t>(object.MorphTargets.Count()), expected.Frames.size());
    for (size_t f = 0; f < expected.Frames.size(); ++f)
    {
        const TMeshMorphTarget& target = object.MorphTargets[static_cast<int>(f)];
        EXPECT_EQ(target.Name, expected.Frames[f].Name);
        ASSERT_EQ(static_cast<size_t>(target.Vertices.Count()), expected.Frames[f].Positions.size());
        for (size_t v = 0; v < expected.Frames[f].Positions.size(); ++v)
        {
            const TMD2Vector& p = expected.Frames[f].Positions[v];
            EXPECT_EQ(target.Vertices[static_cast<int>(v)], (TAffineVector{p.X, p.Y, p.Z}));
        }
    }
    const auto& group = dynamic_cast<const TFGVertexIndexList&>(object.FaceGroups()[0]);
    EXPECT_EQ(std::vector<int>(group.VertexIndices.begin(), group.VertexIndices.end()),
              std::vector<int>(expected.TriangleIndices.begin(), expected.TriangleIndices.end()));
}

TEST(ConvertTool, FailuresSayWhatIsWrongAndLeaveTheOutputAlone)
{
    const QTemporaryDir dir;
    const QString stick = GameDir + QStringLiteral("/Combo/Stick.smd");
    const QString town = GameDir + QStringLiteral("/bin/Miniville.3ds");

    const TToolRun pair = Convert({town, dir.filePath(QStringLiteral("town.smd"))});
    EXPECT_NE(pair.ExitCode, 0);
    EXPECT_TRUE(pair.Err.contains(QStringLiteral("cannot convert .3ds to .smd"))) << pair.Err.toStdString();
    EXPECT_TRUE(pair.Err.contains(QStringLiteral(".3ds to .glsm")));
    EXPECT_TRUE(pair.Err.contains(QStringLiteral(".glsm to .smd")));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("town.smd"))));

    const TToolRun absent = Convert({dir.filePath(QStringLiteral("absent.smd")), dir.filePath(QStringLiteral("x.glsm"))});
    EXPECT_NE(absent.ExitCode, 0);
    EXPECT_TRUE(absent.Err.contains(QStringLiteral("absent.smd: cannot be read"))) << absent.Err.toStdString();

    const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/stick.glsm"));
    const TToolRun blocked = Convert({stick, unwritable});
    EXPECT_NE(blocked.ExitCode, 0);
    EXPECT_TRUE(blocked.Err.contains(unwritable + QStringLiteral(": cannot be written"))) << blocked.Err.toStdString();

    // The native format holds no bones: SMD needs them from a model file.
    const QString native = dir.filePath(QStringLiteral("stick.glsm"));
    ASSERT_EQ(Convert({stick, native}).ExitCode, 0);
    const QString out = dir.filePath(QStringLiteral("stick.smd"));
    const TToolRun boneless = Convert({native, out});
    EXPECT_NE(boneless.ExitCode, 0);
    EXPECT_TRUE(boneless.Err.contains(QStringLiteral("--skeleton"))) << boneless.Err.toStdString();
    EXPECT_FALSE(QFile::exists(out));

    // A damaged input fails with the reader's own words and keeps an older output.
    QFile damaged(dir.filePath(QStringLiteral("damaged.smd")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("version 1\nnodes\n0 \"a\" 3\nend\nskeleton\nend\ntriangles\nend\n");
    damaged.close();
    const QByteArray before = ReadAll(native);
    const TToolRun refused = Convert({damaged.fileName(), native});
    EXPECT_NE(refused.ExitCode, 0);
    EXPECT_TRUE(refused.Err.contains(QStringLiteral("line 3"))) << refused.Err.toStdString();
    EXPECT_EQ(ReadAll(native), before);
}
