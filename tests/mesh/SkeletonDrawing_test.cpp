#include "mesh/Skeleton.h"
#include "scene/RenderContextInfo.h"

#include "GLTestContext.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace
{
constexpr int Size = 64;
// Pixel centres: the hip at column 16, the knee at column 48, both on row 32
// counted from the bottom.
constexpr float HipX = 16.5f / 32 - 1, KneeX = 48.5f / 32 - 1, BoneY = 32.5f / 32 - 1;
constexpr std::uint32_t Red = 0xFF0000FF;

QRgb At(const QImage& pixels, int column, int rowFromBottom)
{
    return pixels.pixel(column, Size - 1 - rowFromBottom) & 0xFFFFFF;
}

// A lit quad over the whole view at depth 0.25, in front of the bones.
void DrawLitQuadInFront()
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glNormal3f(0, 0, 1);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 0.5f);
    glVertex3f(1, -1, 0.5f);
    glVertex3f(1, 1, 0.5f);
    glVertex3f(-1, 1, 0.5f);
    glEnd();
}

bool Enabled(GLenum state)
{
    return glIsEnabled(state) == GL_TRUE;
}
} // namespace

TEST(SkeletonDrawing, BonesAreDrawnUnlitAsPointsAndLinesInTheirColoursAndTheEnableStateIsKept)
{
    TGLTestContext& context = TGLTestContext::Use(Size, Size);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DrawLitQuadInFront();

    TSkeleton skeleton(nullptr);
    auto* const hip = new TSkeletonBone(&skeleton.RootBones());
    auto* const knee = new TSkeletonBone(hip);
    knee->BoneID = 1;
    knee->Color = Red;
    TSkeletonFrame& frame = skeleton.Frames().Add();
    frame.Position.Add({HipX, BoneY, -0.5f});
    frame.Position.Add({KneeX - HipX, 0, 0});
    frame.Rotation.SetCount(2);
    skeleton.RootBones().UpdateGlobalMatrices();

    // Colour tracking left on by an earlier object must not let the bone
    // colours into the material.
    glColor4f(0.5f, 0.5f, 0.5f, 1);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    GLfloat diffuseBefore[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuseBefore);
    // As a mesh overlays its skeleton.
    TRenderContextInfo info;
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    skeleton.RootBones().DrawSkeleton(info);
    EXPECT_TRUE(Enabled(GL_LIGHTING));
    EXPECT_TRUE(Enabled(GL_COLOR_MATERIAL));
    glPopAttrib();
    glFinish();
    GLfloat diffuseAfter[4], pointSize;
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuseAfter);
    glGetFloatv(GL_POINT_SIZE, &pointSize);
    const QImage pixels = context.Pixels();
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);

    EXPECT_EQ(std::vector<GLfloat>(diffuseAfter, diffuseAfter + 4), std::vector<GLfloat>(diffuseBefore, diffuseBefore + 4));
    EXPECT_EQ(pointSize, 1.0f);
    // Points five pixels wide, white by default, in the bone colour
    // otherwise; the lit quad elsewhere.
    EXPECT_EQ(At(pixels, 16, 34), 0xFFFFFFu);
    EXPECT_EQ(At(pixels, 14, 34), 0xFFFFFFu);
    EXPECT_EQ(At(pixels, 18, 30), 0xFFFFFFu);
    EXPECT_EQ(At(pixels, 48, 34), 0xFF0000u);
    EXPECT_EQ(At(pixels, 50, 30), 0xFF0000u);
    const QRgb quad = At(pixels, 16, 36);
    EXPECT_EQ(qRed(quad), qGreen(quad));
    EXPECT_GT(qRed(quad), 100);
    EXPECT_LT(qRed(quad), 250);
    EXPECT_EQ(At(pixels, 48, 28), quad);
    // The line from the hip to the knee, in the knee's colour, one pixel wide.
    EXPECT_EQ(At(pixels, 16, 32), 0xFF0000u);
    EXPECT_EQ(At(pixels, 32, 32), 0xFF0000u);
    EXPECT_EQ(At(pixels, 32, 33), quad);
}
