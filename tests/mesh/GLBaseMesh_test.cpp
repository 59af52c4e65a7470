#include "TestVectorFile.h"

#include "base/ClassRegistry.h"
#include "base/Exceptions.h"
#include "base/LayoutReader.h"
#include "mesh/GLBaseMesh.h"
#include "scene/GLMaterialLibrary.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <malloc.h>
#include <string>
#include <vector>

namespace
{
class MeshFiles : public ::testing::Test
{
protected:
    void SetUp() override { RegisterTestVectorFiles(); }

    QString File(const QString& name, const QByteArray& text)
    {
        const QString path = FDir.filePath(name);
        WriteTextFile(path, text);
        return path;
    }

    QTemporaryDir FDir;
};

QStringList Names(const TGLBaseMesh& mesh)
{
    QStringList names;
    for (int i = 0; i < mesh.MeshObjects().Count(); ++i)
        names << mesh.MeshObjects()[i].Name;
    return names;
}

class TMeshHost : public QObject, public TLayoutComponent
{
    Q_OBJECT

public:
    TMeshHost() { setObjectName("MeshHost"); }
};
} // namespace

TEST_F(MeshFiles, ASecondLoadReplacesTheFirstAndAnEmptyNameKeepsTheContent)
{
    const QString first = File("first.tst", "o a\nv 0 0 0\no b\nv 1 1 1\n");
    const QString second = File("second.TST", "o c\nv 2 2 2\n");
    TGLFreeForm mesh(nullptr);
    mesh.SetNormalsOrientation(mnoInvert);
    mesh.LoadFromFile(first);
    EXPECT_EQ(Names(mesh), (QStringList{"a", "b"}));
    EXPECT_EQ(mesh.LastLoadedFilename(), first);
    mesh.LoadFromFile(second);
    EXPECT_EQ(Names(mesh), (QStringList{"c"}));
    EXPECT_EQ(mesh.LastLoadedFilename(), second);
    // The format object was handed the name as given and the orientation.
    EXPECT_EQ(TTestVectorFile::LastResourceName, second);
    EXPECT_EQ(TTestVectorFile::LastNormalsOrientation, mnoInvert);
    mesh.LoadFromFile(QString());
    EXPECT_EQ(Names(mesh), (QStringList{"c"}));
    EXPECT_EQ(mesh.LastLoadedFilename(), QString());
}

TEST_F(MeshFiles, FailuresLeaveTheMeshAsEachStepLeftIt)
{
    const QString good = File("good.tst", "o a\nv 1 0 0\n");
    TGLFreeForm mesh(nullptr);
    mesh.LoadFromFile(good);
    // A file that cannot be opened changes nothing.
    EXPECT_THROW(mesh.LoadFromFile(FDir.filePath("missing.tst")), EFOpenError);
    EXPECT_EQ(Names(mesh), (QStringList{"a"}));
    EXPECT_EQ(mesh.LastLoadedFilename(), QString());
    // An unknown format is found only once the mesh has been cleared.
    const QString unknown = File("model.obj", "o b\n");
    EXPECT_THROW(mesh.LoadFromFile(unknown), EInvalidVectorFile);
    EXPECT_EQ(mesh.MeshObjects().Count(), 0);
}

TEST_F(MeshFiles, AReaderFailureKeepsWhatWasReadAndShowsIt)
{
    TGLFreeForm mesh(nullptr);
    mesh.LoadFromFile(File("good.tst", "o a\nv 1 0 0\n"));
    EXPECT_FLOAT_EQ(mesh.HalfExtents().X, 1);
    EXPECT_THROW(mesh.LoadFromFile(File("broken.tst", "o b\nv 10 0 0\nfail\nv 20 0 0\n")), EInvalidVectorFile);
    EXPECT_EQ(Names(mesh), (QStringList{"b"}));
    EXPECT_EQ(mesh.MeshObjects()[0].Vertices.Count(), 1);
    EXPECT_EQ(mesh.LastLoadedFilename(), QString());
    // The cached extents of the previous model must not survive.
    EXPECT_FLOAT_EQ(mesh.HalfExtents().X, 10);
    // The update batch was closed: there is none left to end.
    EXPECT_THROW(mesh.EndUpdate(), EAssertionFailed);
}

TEST_F(MeshFiles, AddingKeepsTheContentAndIsNotCentredAgain)
{
    TGLFreeForm mesh(nullptr);
    mesh.SetAutoCentering(macCenterX);
    mesh.LoadFromFile(File("body.tst", "o body\nv 2 0 0\nv 6 0 0\n"));
    mesh.AddFromFile(File("extra.tst", "o extra\nv 10 0 0\n"));
    EXPECT_EQ(Names(mesh), (QStringList{"body", "extra"}));
    EXPECT_EQ(mesh.MeshObjects()[0].Vertices[0].X, -2);
    EXPECT_EQ(mesh.MeshObjects()[1].Vertices[0].X, 10);
    EXPECT_EQ(mesh.LastLoadedFilename(), FDir.filePath("body.tst"));
    mesh.AddFromFile(QString());
    EXPECT_EQ(mesh.MeshObjects().Count(), 2);
}

TEST_F(MeshFiles, AutoCenteringMovesOnlyTheChosenAxesOrTheBarycentre)
{
    const QString file = File("box.tst", "o a\nv 2 1 5\nv 6 3 5\no b\nv 4 2 8\n");
    TGLFreeForm mesh(nullptr);
    mesh.SetAutoCentering(macCenterX);
    mesh.LoadFromFile(file);
    EXPECT_EQ(mesh.MeshObjects()[0].Vertices[0], (TAffineVector{-2, 1, 5}));
    EXPECT_EQ(mesh.MeshObjects()[0].Vertices[1], (TAffineVector{2, 3, 5}));
    EXPECT_EQ(mesh.MeshObjects()[1].Vertices[0], (TAffineVector{0, 2, 8}));

    mesh.SetAutoCentering(TMeshAutoCenterings(macCenterX | macCenterZ | macUseBarycenter));
    mesh.LoadFromFile(file);
    // The barycentre wins over the axis flags: (4, 2, 6) goes to the origin.
    EXPECT_EQ(mesh.MeshObjects()[0].Vertices[0], (TAffineVector{-2, -1, -1}));
    EXPECT_EQ(mesh.MeshObjects()[1].Vertices[0], (TAffineVector{0, 0, 2}));
}

TEST_F(MeshFiles, AutoScalingOfOneLeavesTheBitsAndOtherwiseScalesVertices)
{
    TGLFreeForm mesh(nullptr);
    mesh.LoadFromFile(File("odd.tst", "o a\nv 0.1 -1.5 3\n"));
    const TAffineVector expected{0.1f, -1.5f, 3};
    EXPECT_EQ(std::memcmp(&expected, &mesh.MeshObjects()[0].Vertices[0], sizeof expected), 0);
    mesh.AutoScaling()->SetX(2);
    mesh.LoadFromFile(File("odd.tst", "o a\nv 0.1 -1.5 3\n"));
    EXPECT_EQ(mesh.MeshObjects()[0].Vertices[0], (TAffineVector{0.2f, -1.5f, 3}));
}

TEST(GLBaseMesh, HalfExtentsAreCentredOnTheOriginAndCachedUntilTheStructureChanges)
{
    TGLFreeForm mesh(nullptr);
    const float far = 1e30f;
    EXPECT_EQ(mesh.HalfExtents(), (TVector{far, far, far, 0}));
    TMeshObject& object = mesh.MeshObjects().Add<TMeshObject>();
    object.Vertices.Add({-1, -2, 0.5f});
    object.Vertices.Add({3, 1, 0.5f});
    mesh.MarkStructureChanged();
    EXPECT_EQ(mesh.HalfExtents(), (TVector{3, 2, 0.5f, 0}));
    object.Vertices.Add({-7, 0, 0});
    EXPECT_EQ(mesh.HalfExtents().X, 3);
    mesh.PrepareMesh();
    EXPECT_EQ(mesh.HalfExtents().X, 7);
}

TEST(GLBaseMesh, ExtentsAndBarycentreOfEmptyAndFilledMeshes)
{
    TGLFreeForm mesh(nullptr);
    TAffineVector min, max;
    mesh.GetExtents(min, max);
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(min, (TAffineVector{inf, inf, inf}));
    EXPECT_EQ(max, (TAffineVector{-inf, -inf, -inf}));
    EXPECT_EQ(mesh.GetBarycenter(), (TAffineVector{0, 0, 0}));
    // Weighted by vertex counts: three vertices at x = 0 and one at x = 4.
    TMeshObject& a = mesh.MeshObjects().Add<TMeshObject>();
    a.Vertices.Add({0, 0, 0});
    a.Vertices.Add({0, 0, 0});
    a.Vertices.Add({0, 4, 0});
    mesh.MeshObjects().Add<TMeshObject>().Vertices.Add({4, 0, 0});
    EXPECT_EQ(mesh.GetBarycenter(), (TAffineVector{1, 1, 0}));
}

TEST(GLBaseMesh, RayHitsTheNearestTriangleInWorldSpace)
{
    TGLFreeForm mesh(nullptr);
    mesh.SetPosition(PointMake(0, 0, 5));
    TMeshObject& object = mesh.MeshObjects().Add<TMeshObject>();
    // Two triangles facing +Z, the far one first in the list.
    for (const float z : {-1.0f, 0.0f})
    {
        object.Vertices.Add({-1, -1, z});
        object.Vertices.Add({1, -1, z});
        object.Vertices.Add({0, 1, z});
    }
    TVector point, normal;
    ASSERT_TRUE(mesh.IntersectRay(PointMake(0, 0, 10), {0, 0, -1, 0}, &point, &normal));
    EXPECT_FLOAT_EQ(point.Z, 5);
    EXPECT_FLOAT_EQ(normal.Z, 1);
    mesh.SetNormalsOrientation(mnoInvert);
    ASSERT_TRUE(mesh.IntersectRay(PointMake(0, 0, 10), {0, 0, -1, 0}, &point, &normal));
    EXPECT_FLOAT_EQ(normal.Z, -1);
    EXPECT_FALSE(mesh.IntersectRay(PointMake(5, 0, 10), {0, 0, -1, 0}));
    // Behind the start is no hit.
    EXPECT_FALSE(mesh.IntersectRay(PointMake(0, 0, 10), {0, 0, 1, 0}));
}

TEST(GLBaseMesh, MaterialCachesFollowTheLibraryAndItsMaterials)
{
    TGLMaterialLibrary* library = new TGLMaterialLibrary(nullptr);
    TGLLibMaterial* red = library->AddMaterial(QStringLiteral("red"));
    TGLFreeForm mesh(nullptr);
    TMeshObject& object = mesh.MeshObjects().Add<TMeshObject>();
    object.SetMode(momFaceGroups);
    auto& known = object.FaceGroups().Add<TFGVertexIndexList>();
    known.MaterialName = QStringLiteral("red");
    auto& unknown = object.FaceGroups().Add<TFGVertexIndexList>();
    unknown.MaterialName = QStringLiteral("blue");
    auto& none = object.FaceGroups().Add<TFGVertexIndexList>();

    mesh.PrepareMaterialCaches();
    EXPECT_EQ(none.MaterialCache(), nullptr);
    mesh.SetMaterialLibrary(library);
    EXPECT_FALSE(mesh.MaterialCachesPrepared());
    mesh.PrepareMaterialCaches();
    EXPECT_EQ(known.MaterialCache(), red);
    EXPECT_EQ(unknown.MaterialCache(), nullptr);
    EXPECT_EQ(none.MaterialCache(), nullptr);

    // Deleting the material drops the caches that point to it.
    delete red;
    EXPECT_FALSE(mesh.MaterialCachesPrepared());
    EXPECT_EQ(known.MaterialCache(), nullptr);

    library->AddMaterial(QStringLiteral("red"));
    mesh.PrepareMaterialCaches();
    ASSERT_NE(known.MaterialCache(), nullptr);
    mesh.SetUseMeshMaterials(false);
    EXPECT_EQ(known.MaterialCache(), nullptr);
    mesh.SetUseMeshMaterials(true);
    mesh.PrepareMaterialCaches();
    // Destroying the library empties the reference and the caches.
    delete library;
    EXPECT_EQ(mesh.MaterialLibrary(), nullptr);
    EXPECT_EQ(known.MaterialCache(), nullptr);
}

TEST_F(MeshFiles, SavingWritesThroughTheFormatAndLeavesFilesNoFormatCanWrite)
{
    TGLFreeForm mesh(nullptr);
    mesh.LoadFromFile(File("in.tst", "o a\nv 1 2 3\n"));
    const QString out = FDir.filePath("out.tst");
    mesh.SaveToFile(out);
    TGLFreeForm copy(nullptr);
    copy.LoadFromFile(out);
    EXPECT_EQ(copy.MeshObjects()[0].Vertices[0], (TAffineVector{1, 2, 3}));
    // A format that cannot write, or none at all: the file keeps its content.
    const QString readOnly = File("keep.rdo", "o kept\n");
    EXPECT_THROW(mesh.SaveToFile(readOnly), EInvalidOperation);
    const QString unknown = File("keep.obj", "o kept\n");
    EXPECT_THROW(mesh.SaveToFile(unknown), EInvalidVectorFile);
    for (const QString& name : {readOnly, unknown})
    {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("o kept\n"));
    }
}

TEST_F(MeshFiles, ReloadingManyTimesDoesNotGrowTheHeap)
{
    QByteArray text = "o a\n";
    for (int i = 0; i < 200; ++i)
        text += "v 1 2 3\n";
    const QString a = File("a.tst", text);
    const QString b = File("b.tst", text + "o b\nv 4 5 6\n");
    TGLMaterialLibrary library(nullptr);
    library.AddMaterial(QStringLiteral("m"));
    TGLFreeForm mesh(nullptr);
    mesh.SetMaterialLibrary(&library);
    const auto reload = [&](int times)
    {
        for (int i = 0; i < times; ++i)
        {
            mesh.LoadFromFile(i % 2 == 0 ? a : b);
            auto& group = mesh.MeshObjects()[0].FaceGroups().Add<TFGVertexIndexList>();
            group.MaterialName = QStringLiteral("m");
            mesh.PrepareMaterialCaches();
        }
    };
    reload(200);
    // A leak grows the heap in every window of reloads; another thread of the
    // process (Qt's, the X connection's) may allocate during one window, so a
    // single window that stays flat is the proof.
    std::vector<std::string> windows;
    for (int window = 0; window < 3; ++window)
    {
        const size_t before = mallinfo2().uordblks;
        reload(1000);
        const size_t after = mallinfo2().uordblks;
        // Every reload allocates and frees tens of kilobytes; what stays must
        // be far less than one model.
        if (after < before + 8 * 1024)
            return;
        windows.push_back(std::to_string(before) + " -> " + std::to_string(after));
    }
    ADD_FAILURE() << "the heap grew in every window of 1,000 reloads: " << windows[0] << ", " << windows[1] << ", "
                  << windows[2];
}

TEST(GLBaseMesh, LayoutsSetTheMeshProperties)
{
    RegisterMeshClasses();
    TClassRegistry::RegisterClass<TGLMaterialLibrary>();
    TMeshHost host;
    TLayoutReader(&host, ":/layouts/MeshHost.json").Read();
    auto* scene = host.findChild<TGLScene*>("GLScene1");
    ASSERT_NE(scene, nullptr);
    auto* mesh = qobject_cast<TGLFreeForm*>(scene->FindSceneObject("Rage"));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->AutoCentering(), TMeshAutoCenterings(macCenterX | macCenterZ));
    EXPECT_EQ(mesh->AutoScaling()->AsVector(), (TVector{2, 1, 0.5f, 0}));
    EXPECT_EQ(mesh->MaterialLibrary(), host.findChild<TGLMaterialLibrary*>("GLMaterialLibrary1"));
    EXPECT_EQ(mesh->LightmapLibrary(), host.findChild<TGLMaterialLibrary*>("GLMaterialLibrary1"));
    EXPECT_FALSE(mesh->UseMeshMaterials());
    EXPECT_EQ(mesh->NormalsOrientation(), mnoInvert);
    // A mesh leaves the states it changes for the render pass to reset.
    EXPECT_NE(mesh->ObjectStyle() & osResetsStates, 0u);
}

#include "GLBaseMesh_test.moc"
