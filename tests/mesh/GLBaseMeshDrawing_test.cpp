#include "base/Exceptions.h"
#include "mesh/GLBaseMesh.h"
#include "scene/GLMaterialLibrary.h"
#include "scene/GLStateCache.h"

#include "GLTestContext.h"

#include <gtest/gtest.h>

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
