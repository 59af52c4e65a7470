#include "scene/GLCamera.h"
#include "scene/GLSceneViewer.h"
#include "scene/GLSkyBox.h"

#include "Exceptions.h"
#include "JpegFixtures.h"

#include <QOpenGLContext>
#include <QWindow>
#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr int ViewSize = 64;

// A sky box whose six faces are plain colours, seen by a small viewer on a
// black background from a camera at the origin.
class GLSkyBoxTest : public testing::Test
{
protected:
    GLSkyBoxTest()
    {
        FScene.InsertLayoutChild(FSky);
        FScene.InsertLayoutChild(FCamera);
        const std::pair<const char*, TColorVector> faces[] = {
            {"front", {1, 0, 0, 1}}, {"back", {0, 1, 0, 1}},   {"top", {0, 0, 1, 1}},
            {"bottom", {1, 1, 0, 1}}, {"left", {1, 0, 1, 1}}, {"right", {0, 1, 1, 1}}};
        for (const auto& [name, colour] : faces)
            FLibrary.AddMaterial(name)->Material()->FrontProperties()->Diffuse()->SetColor(colour);
        FSky->SetMaterialLibrary(&FLibrary);
        FSky->SetMatNameFront("front");
        FSky->SetMatNameBack("back");
        FSky->SetMatNameTop("top");
        FSky->SetMatNameBottom("bottom");
        FSky->SetMatNameLeft("left");
        FSky->SetMatNameRight("right");
        FCamera->SetFocalLength(ViewSize / 2.0f);
        FViewer.SetBounds(0, 0, ViewSize, ViewSize);
        FBuffer->SetBackgroundColor(clBlack);
        FBuffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
        FViewer.SetCamera(FCamera);
        FViewer.CreateRenderWindow();
    }

    // The colour at the middle of a frame looking along `direction`.
    QRgb CentreLooking(const TVector& direction, const TVector& up = YHmgVector)
    {
        FCamera->SetDirection(direction);
        FCamera->SetUp(up);
        FBuffer->Render();
        FBuffer->RenderingContext()->makeCurrent(FViewer.RenderWindow());
        glReadBuffer(GL_BACK);
        GLubyte pixel[4] = {};
        glReadPixels(ViewSize / 2, ViewSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return qRgb(pixel[0], pixel[1], pixel[2]);
    }

    TGLScene FScene{nullptr};
    TGLSkyBox* const FSky = new TGLSkyBox(&FScene);
    TGLCamera* const FCamera = new TGLCamera(&FScene);
    TGLMaterialLibrary FLibrary{nullptr};
    TGLSceneViewer FViewer{nullptr};
    TGLSceneBuffer* const FBuffer = FViewer.Buffer();
};
} // namespace

TEST_F(GLSkyBoxTest, EachFaceShowsItsMaterialAroundTheCamera)
{
    EXPECT_EQ(CentreLooking({0, 0, -1, 0}), qRgb(255, 0, 0));
    EXPECT_EQ(CentreLooking({0, 0, 1, 0}), qRgb(0, 255, 0));
    EXPECT_EQ(CentreLooking({0, 1, 0, 0}, {0, 0, 1, 0}), qRgb(0, 0, 255));
    EXPECT_EQ(CentreLooking({0, -1, 0, 0}, {0, 0, 1, 0}), qRgb(255, 255, 0));
    EXPECT_EQ(CentreLooking({-1, 0, 0, 0}), qRgb(255, 0, 255));
    EXPECT_EQ(CentreLooking({1, 0, 0, 0}), qRgb(0, 255, 255));
}

TEST_F(GLSkyBoxTest, AMissingFaceNameLeavesOnlyThatFaceUndrawn)
{
    FSky->SetMatNameFront("no such material");
    EXPECT_EQ(CentreLooking({0, 0, -1, 0}), qRgb(0, 0, 0));
    EXPECT_EQ(CentreLooking({0, 0, 1, 0}), qRgb(0, 255, 0));
    EXPECT_EQ(CentreLooking({1, 0, 0, 0}), qRgb(0, 255, 255));
}

TEST_F(GLSkyBoxTest, NeverWritesDepthAndDrawsNothingWithoutALibrary)
{
    CentreLooking({0, 0, -1, 0});
    std::vector<GLfloat> depth(ViewSize * ViewSize);
    glReadPixels(0, 0, ViewSize, ViewSize, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    for (const GLfloat value : depth)
        ASSERT_EQ(value, 1.0f);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_EQ(depthWrites, GL_TRUE);

    FSky->SetMaterialLibrary(nullptr);
    EXPECT_EQ(CentreLooking({0, 0, -1, 0}), qRgb(0, 0, 0));
}

TEST_F(GLSkyBoxTest, TopTwoThirdsStyleStartsAThirdBelowTheCamera)
{
    FSky->SetStyle(sbTopTwoThirds);
    // Straight down the box now ends at a third of its half size: the bottom
    // face is still seen, and the sides reach below the horizon.
    EXPECT_EQ(CentreLooking({0, -1, 0, 0}, {0, 0, 1, 0}), qRgb(255, 255, 0));
    EXPECT_EQ(CentreLooking({0, 0, -1, 0}), qRgb(255, 0, 0));
}

TEST_F(GLSkyBoxTest, FaceWhoseTextureFailsLeavesStatesAndMatricesAndIsDrawnNextFrame)
{
    TGLLibMaterial* const front = FLibrary.LibMaterialByName("front");
    TGLTexture* const texture = front->Material()->Texture();
    texture->Image()->LoadJpeg(JpegFixtures::Flat(4, 4, QColor(0, 0, 255)), QStringLiteral("blue.jpg"));
    texture->SetMinFilter(miNearest);
    texture->SetDisabled(false);
    // An error left pending before the pass stops the upload once. (Qt
    // clears pending errors when it first reads a context's extensions.)
    FBuffer->RenderingContext()->makeCurrent(FViewer.RenderWindow());
    FBuffer->RenderingContext()->hasExtension(QByteArrayLiteral("GL_ARB_multitexture"));
    bool failing = true;
    FBuffer->BeforeRender = [&failing](QObject*)
    {
        if (failing)
            glEnable(0x7FFF);
        failing = false;
    };

    EXPECT_THROW(CentreLooking({0, 0, -1, 0}), EOpenGLError);
    FBuffer->RenderingContext()->makeCurrent(FViewer.RenderWindow());
    GLint stackDepth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackDepth);
    EXPECT_EQ(stackDepth, 1);
    EXPECT_EQ(FBuffer->ModelViewStackDepth(), 0);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_EQ(depthWrites, GL_TRUE);
    for (const TGLState state : {stDepthTest, stLighting})
    {
        EXPECT_TRUE(FBuffer->States().IsEnabled(state));
        EXPECT_TRUE(glIsEnabled(GLCapability(state)));
    }
    EXPECT_FALSE(front->IsApplied());

    // The picture's blue, within JPEG's rounding, instead of the face's red.
    const QRgb centre = CentreLooking({0, 0, -1, 0});
    EXPECT_LE(qRed(centre), 3);
    EXPECT_GE(qBlue(centre), 252);
}
