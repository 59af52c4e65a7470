#include "base/Exceptions.h"
#include "mesh/GLBaseMesh.h"
#include "scene/GLMaterialLibrary.h"
#include "scene/GLStateCache.h"

#include "GLTestContext.h"

#include <gtest/gtest.h>

#include <QOpenGLContext>

#include <map>

namespace
{
constexpr int Size = 64;

// Draws meshes into the test context under an orthographic view of
// [-1, 1] on both axes, with the pass record a scene buffer would fill.
class MeshDrawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FContext = &TGLTestContext::Use(Size, Size);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (int state = 0; state < StateCount; ++state)
            FStates.ForceState(static_cast<TGLState>(state), false);
        FInfo.GLStates = &FStates;
        FInfo.Context = &FContext->RenderContext();
    }

    void TearDown() override
    {
        glDisable(GL_LIGHT0);
        for (int state = 0; state < StateCount; ++state)
            FStates.ForceState(static_cast<TGLState>(state), false);
    }

    void Render(TGLBaseMesh& mesh)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        mesh.RenderObject(FInfo);
        glFinish();
        FPixels = FContext->Pixels();
    }

    QRgb Left() const { return FPixels.pixel(Size / 4, Size / 2); }
    QRgb Right() const { return FPixels.pixel(3 * Size / 4, Size / 2); }

    TGLTestContext* FContext = nullptr;
    TGLStateCache FStates;
    TRenderContextInfo FInfo;
    QImage FPixels;
};

// A face-group object with two counter-clockwise quads facing the viewer:
// the left half and the right half of the view.
TMeshObject& AddHalves(TGLBaseMesh& mesh)
{
    TMeshObject& object = mesh.MeshObjects().Add<TMeshObject>();
    object.SetMode(momFaceGroups);
    for (const float x : {-1.0f, 0.0f})
    {
        const int first = object.Vertices.Count();
        object.Vertices.Add({x, -1, 0});
        object.Vertices.Add({x + 1, -1, 0});
        object.Vertices.Add({x + 1, 1, 0});
        object.Vertices.Add({x, 1, 0});
        auto& group = object.FaceGroups().Add<TFGVertexIndexList>();
        group.SetMode(fgmmQuads);
        for (int i = 0; i < 4; ++i)
            group.Add(first + i);
    }
    for (int i = 0; i < object.Vertices.Count(); ++i)
        object.Normals.Add({0, 0, 1});
    return object;
}

void SetDiffuse(TGLMaterial& material, float r, float g, float b)
{
    material.FrontProperties()->Diffuse()->SetColor({r, g, b, 1});
}

// Records the front face the state cache holds when it is drawn.
class TWindingProbe : public TGLSceneObject
{
public:
    using TGLSceneObject::TGLSceneObject;
    void DrawObject(TRenderContextInfo& info, bool, bool) override { FrontFace = info.GLStates->FrontFace(); }
    GLenum FrontFace = 0;
};
} // namespace

TEST_F(MeshDrawing, FreeFormsReplayTheirDisplayListUntilTheStructureChanges)
{
    TGLFreeForm mesh(nullptr);
    SetDiffuse(*mesh.Material(), 1, 1, 1);
    TMeshObject& object = AddHalves(mesh);
    object.FaceGroups().Delete(1);
    Render(mesh);
    EXPECT_EQ(qRed(Left()), 255);
    EXPECT_EQ(qRed(Right()), 0);
    // The arrays handed to OpenGL are taken back after the draw.
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));

    object.Vertices.Translate({1, 0, 0});
    Render(mesh);
    EXPECT_EQ(qRed(Left()), 255) << "drawn again from the compiled list";
    mesh.PrepareMesh();
    Render(mesh);
    EXPECT_EQ(qRed(Left()), 0);
    EXPECT_EQ(qRed(Right()), 255);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDrawing, AnIndexPastTheVerticesIsRefusedBeforeAnythingIsDrawn)
{
    TGLFreeForm mesh(nullptr);
    TMeshObject& object = AddHalves(mesh);
    static_cast<TFGVertexIndexList&>(object.FaceGroups()[1]).VertexIndices[3] = 1000000;
    EXPECT_THROW(mesh.RenderObject(FInfo), EAssertionFailed);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDrawing, VertexColoursReplaceTheMaterialUnderLightingOnlyWhenThereIsOnePerVertex)
{
    FStates.Enable(stLighting);
    glEnable(GL_LIGHT0);
    TGLFreeForm mesh(nullptr);
    SetDiffuse(*mesh.Material(), 0, 0, 1);
    TMeshObject& object = AddHalves(mesh);
    for (int i = 0; i < object.Vertices.Count(); ++i)
        object.Colors.Add({1, 0, 0, 1});
    Render(mesh);
    EXPECT_GT(qRed(Left()), 200);
    EXPECT_LT(qBlue(Left()), 60);

    // Without colours the object's own material shows.
    object.Colors.Clear();
    mesh.PrepareMesh();
    Render(mesh);
    EXPECT_LT(qRed(Left()), 60);
    EXPECT_GT(qBlue(Left()), 200);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
}

TEST_F(MeshDrawing, InvertedNormalsTurnTheWindingRoundForTheMeshAloneAndBackForItsChildren)
{
    FStates.Enable(stCullFace);
    FInfo.BufferFaceCull = true;
    TGLFreeForm mesh(nullptr);
    SetDiffuse(*mesh.Material(), 1, 1, 1);
    AddHalves(mesh);
    auto* child = new TWindingProbe(nullptr);
    mesh.AddChild(child);
    Render(mesh);
    EXPECT_EQ(qRed(Left()), 255);
    EXPECT_EQ(child->FrontFace, static_cast<GLenum>(GL_CCW));

    mesh.SetNormalsOrientation(mnoInvert);
    Render(mesh);
    EXPECT_EQ(qRed(Left()), 0) << "its faces now face away and are culled";
    EXPECT_EQ(child->FrontFace, static_cast<GLenum>(GL_CCW));
    EXPECT_EQ(FStates.FrontFace(), static_cast<GLenum>(GL_CCW));
}

TEST_F(MeshDrawing, FaceGroupsTakeTheirLibraryMaterialOrStayUnderTheObjectsOwn)
{
    TGLMaterialLibrary library(nullptr);
    SetDiffuse(*library.AddMaterial(QStringLiteral("green"))->Material(), 0, 1, 0);
    TGLFreeForm mesh(nullptr);
    SetDiffuse(*mesh.Material(), 1, 0, 0);
    TMeshObject& object = AddHalves(mesh);
    object.FaceGroups()[0].MaterialName = QStringLiteral("absent");
    object.FaceGroups()[1].MaterialName = QStringLiteral("green");
    mesh.SetMaterialLibrary(&library);
    Render(mesh);
    EXPECT_EQ(Left(), qRgb(255, 0, 0));
    EXPECT_EQ(Right(), qRgb(0, 255, 0));
    EXPECT_TRUE(mesh.MaterialCachesPrepared());
    EXPECT_EQ(FInfo.MaterialLibrary, nullptr) << "the pass forgets the mesh's library after it";

    mesh.SetUseMeshMaterials(false);
    Render(mesh);
    EXPECT_EQ(Left(), qRgb(255, 0, 0));
    EXPECT_EQ(Right(), qRgb(255, 0, 0));

    // A picking pass right after a change must not leave a list without the
    // materials for the frames that follow.
    mesh.SetUseMeshMaterials(true);
    FInfo.IgnoreMaterials = true;
    FInfo.DrawState = dsPicking;
    Render(mesh);
    FInfo.IgnoreMaterials = false;
    FInfo.DrawState = dsRendering;
    Render(mesh);
    EXPECT_EQ(Right(), qRgb(0, 255, 0));
}

TEST_F(MeshDrawing, TrianglesAndStripsDrawTheirVerticesDirectly)
{
    TGLFreeForm mesh(nullptr);
    SetDiffuse(*mesh.Material(), 1, 1, 1);
    TMeshObject& strip = mesh.MeshObjects().Add<TMeshObject>();
    strip.SetMode(momTriangleStrip);
    for (const TAffineVector& v : {TAffineVector{-1, -1, 0}, {0, -1, 0}, {-1, 1, 0}, {0, 1, 0}})
        strip.Vertices.Add(v);
    TMeshObject& hidden = mesh.MeshObjects().Add<TMeshObject>();
    for (const TAffineVector& v : {TAffineVector{0, -1, 0}, {1, -1, 0}, {1, 1, 0}})
        hidden.Vertices.Add(v);
    hidden.Visible = false;
    FInfo.ObjectsDirectDraw = true;
    Render(mesh);
    EXPECT_EQ(qRed(Left()), 255);
    EXPECT_EQ(qRed(Right()), 0) << "invisible objects are not drawn";
}

namespace
{
std::map<GLenum, int> EnableCalls;

const TGLStateDriver CountingDriver{
    [](GLenum capability)
    {
        ++EnableCalls[capability];
        glEnable(capability);
    },
    glDisable,
    glMaterialfv,
    glMateriali,
    glPolygonMode,
    glBindTexture,
    glActiveTexture,
    glMatrixMode,
    glLoadMatrixf,
    glLoadIdentity,
    glFrontFace,
};

// A texture of flat texels, drawn as they are.
void SetTexture(TGLMaterial& material, const QImage& picture)
{
    material.Texture()->Image()->SetPicture(picture);
    material.Texture()->SetMagFilter(maNearest);
    material.Texture()->SetMinFilter(miNearest);
    material.Texture()->SetDisabled(false);
}

QImage Flat(int width, int height, QColor color)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(color);
    return picture;
}

// Vertical strips side by side across the view, one face group each.
TMeshObject& AddStrips(TGLBaseMesh& mesh, int count)
{
    TMeshObject& object = mesh.MeshObjects().Add<TMeshObject>();
    object.SetMode(momFaceGroups);
    const float width = 2.0f / static_cast<float>(count);
    for (int strip = 0; strip < count; ++strip)
    {
        const float x = -1 + width * static_cast<float>(strip);
        const int first = object.Vertices.Count();
        for (const TAffineVector& corner : {TAffineVector{x, -1, 0}, {x + width, -1, 0}, {x + width, 1, 0}, {x, 1, 0}})
        {
            object.Vertices.Add(corner);
            object.Normals.Add({0, 0, 1});
            object.TexCoords.Add({0.5f, 0.5f, 0});
        }
        auto& group = object.FaceGroups().Add<TFGVertexIndexList>();
        group.SetMode(fgmmQuads);
        for (int i = 0; i < 4; ++i)
            group.Add(first + i);
    }
    return object;
}

constexpr GLenum ArrayElementLockCount = 0x81A9;

GLint LockedCount()
{
    GLint count = -1;
    glGetIntegerv(ArrayElementLockCount, &count);
    return count;
}
} // namespace

TEST_F(MeshDrawing, ARunOfGroupsSharingALibraryMaterialAppliesItOnce)
{
    EnableCalls.clear();
    TGLStateCache counting(CountingDriver);
    for (int state = 0; state < StateCount; ++state)
        counting.ForceState(static_cast<TGLState>(state), false);
    FInfo.GLStates = &counting;
    TGLMaterialLibrary library(nullptr);
    TGLLibMaterial* const textured = library.AddMaterial(QStringLiteral("blue"));
    SetDiffuse(*textured->Material(), 1, 1, 1);
    SetTexture(*textured->Material(), Flat(2, 2, Qt::blue));
    SetDiffuse(*library.AddMaterial(QStringLiteral("red"))->Material(), 1, 0, 0);
    TGLFreeForm mesh(nullptr);
    TMeshObject& object = AddStrips(mesh, 4);
    const char* const names[] = {"blue", "blue", "red", "blue"};
    for (int i = 0; i < 4; ++i)
        object.FaceGroups()[i].MaterialName = QString::fromLatin1(names[i]);
    mesh.SetMaterialLibrary(&library);
    FInfo.ObjectsDirectDraw = true;
    Render(mesh);
    EXPECT_EQ(EnableCalls[GL_TEXTURE_2D], 2) << "once for the first two groups, once for the last";
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(FPixels.pixel(Size / 8 + i * Size / 4, Size / 2), i == 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255))
            << "strip " << i;
    FInfo.GLStates = &FStates;
}

TEST_F(MeshDrawing, LightmapsModulateTheirFaceGroupsAndAreSwitchedOffAfterTheMesh)
{
    TGLMaterialLibrary lightmaps(nullptr);
    SetTexture(*lightmaps.AddMaterial(QStringLiteral("shade"))->Material(), Flat(2, 2, QColor(128, 128, 128)));
    TGLFreeForm mesh(nullptr);
    SetDiffuse(*mesh.Material(), 1, 1, 1);
    TMeshObject& object = AddHalves(mesh);
    for (int i = 0; i < object.Vertices.Count(); ++i)
        object.LightMapTexCoords.Add({0.5f, 0.5f});
    object.FaceGroups()[1].LightMapIndex = 0;
    mesh.SetLightmapLibrary(&lightmaps);
    for (const bool direct : {true, false})
    {
        FInfo.ObjectsDirectDraw = direct;
        Render(mesh);
        EXPECT_EQ(Left(), qRgb(255, 255, 255)) << "no lightmap on the left group";
        EXPECT_NEAR(qRed(Right()), 128, 2) << "the right group is shaded by its lightmap";
        glActiveTexture(GL_TEXTURE1);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "the lightmap unit is left off";
        glActiveTexture(GL_TEXTURE0);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDrawing, TheFirstExtraTexCoordSetTakesThePlaceOfTheMainCoordinates)
{
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 255, 0));
    TGLFreeForm mesh(nullptr);
    SetDiffuse(*mesh.Material(), 1, 1, 1);
    SetTexture(*mesh.Material(), picture);
    TMeshObject& object = mesh.MeshObjects().Add<TMeshObject>();
    const TAffineVector corners[] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    for (const TAffineVector& corner : corners)
    {
        object.Vertices.Add(corner);
        // The main coordinates all point at the red texel.
        object.TexCoords.Add({0.25f, 0.5f, 0});
    }
    FInfo.ObjectsDirectDraw = true;
    Render(mesh);
    EXPECT_EQ(Left(), qRgb(255, 0, 0));
    EXPECT_EQ(Right(), qRgb(255, 0, 0));

    for (const TAffineVector& corner : corners)
        object.ExtraTexCoords(0).Add({(corner.X + 1) / 2, (corner.Y + 1) / 2, 0, 1});
    Render(mesh);
    EXPECT_EQ(Left(), qRgb(255, 0, 0));
    EXPECT_EQ(Right(), qRgb(0, 255, 0)) << "the extra set spreads the texture across the quad";
}

TEST_F(MeshDrawing, DeclaredArraysAreLockedUnlessLightmapsAreDeclared)
{
    if (!FContext->Context()->hasExtension(QByteArrayLiteral("GL_EXT_compiled_vertex_array")))
        GTEST_SKIP() << "the driver cannot lock arrays";
    TGLFreeForm mesh(nullptr);
    TMeshObject& object = AddHalves(mesh);
    object.DeclareArrays(FInfo, true);
    EXPECT_EQ(LockedCount(), object.Vertices.Count());
    object.ReleaseArrays();
    EXPECT_EQ(LockedCount(), 0);

    TGLMaterialLibrary lightmaps(nullptr);
    for (int i = 0; i < object.Vertices.Count(); ++i)
        object.LightMapTexCoords.Add({0, 0});
    FInfo.LightmapLibrary = &lightmaps;
    object.DeclareArrays(FInfo, true);
    EXPECT_EQ(LockedCount(), 0);
    object.ReleaseArrays();
    FInfo.LightmapLibrary = nullptr;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
