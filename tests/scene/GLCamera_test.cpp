#include "GLCamera.h"

#include <gtest/gtest.h>

#include <QOffscreenSurface>
#include <QOpenGLContext>

#include <GL/gl.h>

#include <cmath>
#include <limits>

namespace
{
// A context of the test's own for the matrix stacks, gone with the test.
struct TMatrixContext
{
    QOffscreenSurface Surface;
    QOpenGLContext Context;

    TMatrixContext()
    {
        Surface.create();
        Context.create();
        Context.makeCurrent(&Surface);
    }
    ~TMatrixContext() { Context.doneCurrent(); }
};

// A camera at (0, 0, 3) and a plain object at the origin, both in one scene.
struct TCameraScene
{
    TGLScene Scene{nullptr};
    TGLCamera* Camera = new TGLCamera(&Scene);
    TGLBaseSceneObject* Target = new TGLBaseSceneObject(&Scene);

    TCameraScene()
    {
        Scene.InsertLayoutChild(Camera);
        Scene.InsertLayoutChild(Target);
        Camera->Position()->SetPoint(0, 0, 3);
    }
};

void ExpectPosition(TGLBaseSceneObject* object, float x, float y, float z)
{
    const TVector position = object->Position()->AsVector();
    EXPECT_NEAR(position.X, x, 1e-4f);
    EXPECT_NEAR(position.Y, y, 1e-4f);
    EXPECT_NEAR(position.Z, z, 1e-4f);
    EXPECT_EQ(position.W, 1.0f);
}

// The projection the camera multiplies into an identity projection matrix,
// in OpenGL's column-major order.
std::array<GLfloat, 16> ProjectionOf(TGLCamera& camera, int width, int height)
{
    const TMatrixContext context;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    camera.ApplyProjection({0, 0, width, height}, width, height, 96);
    std::array<GLfloat, 16> matrix{};
    glGetFloatv(GL_PROJECTION_MATRIX, matrix.data());
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    return matrix;
}

std::array<GLfloat, 16> ViewOf(TGLCamera& camera)
{
    const TMatrixContext context;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    camera.ApplyView();
    std::array<GLfloat, 16> matrix{};
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix.data());
    glLoadIdentity();
    return matrix;
}

// Eye coordinates of a world point under a column-major model-view matrix.
TVector EyePoint(const std::array<GLfloat, 16>& m, float x, float y, float z)
{
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14], 1};
}
} // namespace

TEST(GLCameraTest, FieldOfViewFollowsFocalLengthAndViewportSize)
{
    TGLCamera camera(nullptr);
    camera.SetFocalLength(50);
    EXPECT_NEAR(camera.GetFieldOfView(904), 167.375f, 0.001f);
    camera.SetFocalLength(39.99987f);
    EXPECT_NEAR(camera.GetFieldOfView(930), 170.167f, 0.001f);

    camera.SetFieldOfView(167.3752746582031f, 904);
    EXPECT_NEAR(camera.FocalLength(), 50.0f, 0.001f);
}

TEST(GLCameraTest, SettersReplaceUnusableLensValues)
{
    TGLCamera camera(nullptr);
    EXPECT_EQ(camera.FocalLength(), 50.0f);
    EXPECT_EQ(camera.DepthOfView(), 100.0f);
    EXPECT_EQ(camera.NearPlaneBias(), 1.0f);
    EXPECT_EQ(camera.SceneScale(), 1.0f);
    EXPECT_EQ(camera.CameraStyle(), csPerspective);
    EXPECT_EQ(camera.Direction()->AsVector(), (TVector{0, 0, -1, 0}));

    camera.SetFocalLength(0);
    EXPECT_EQ(camera.FocalLength(), 1.0f);
    camera.SetFocalLength(-5);
    EXPECT_EQ(camera.FocalLength(), 1.0f);
    camera.SetNearPlaneBias(-0.5f);
    EXPECT_EQ(camera.NearPlaneBias(), 1.0f);
    camera.SetSceneScale(0);
    EXPECT_EQ(camera.SceneScale(), 1.0f);
    camera.SetDepthOfView(-3);
    EXPECT_EQ(camera.DepthOfView(), -3.0f);
}

TEST(GLCameraTest, FieldOfViewWithoutAFiniteFocalLengthGivesOne)
{
    TGLCamera camera(nullptr);
    // tan(0) = 0: the length would be 904 / 0.
    camera.SetFieldOfView(0, 904);
    EXPECT_EQ(camera.FocalLength(), 1.0f);
    camera.SetFocalLength(50);
    // 0 / 0 over an empty viewport.
    camera.SetFieldOfView(0, 0);
    EXPECT_EQ(camera.FocalLength(), 1.0f);
    camera.SetFocalLength(std::numeric_limits<float>::infinity());
    EXPECT_EQ(camera.FocalLength(), 1.0f);
    // 90 degrees over 904 pixels is an ordinary 452.
    camera.SetFieldOfView(90, 904);
    EXPECT_NEAR(camera.FocalLength(), 452.0f, 0.01f);
}

TEST(GLCameraTest, FightCameraProjectsBetweenItsNearAndFarPlanes)
{
    TGLCamera camera(nullptr);
    camera.SetFocalLength(50);
    camera.SetDepthOfView(500);
    camera.SetNearPlaneBias(0.5f);

    const auto m = ProjectionOf(camera, 1490, 904);

    // glFrustum stores -(f + n) / (f - n) and -2fn / (f - n).
    const double nearPlane = m[14] / (m[10] - 1.0);
    const double farPlane = m[14] / (m[10] + 1.0);
    EXPECT_NEAR(nearPlane, 0.12683, 1e-5);
    EXPECT_NEAR(farPlane, 500.12683, 0.05);
    EXPECT_NEAR(camera.NearPlane(), 0.12683f, 1e-5f);
    // Symmetric frustum: right = 1490 * 0.5 / 2980 = 0.25, top = 904 * 0.5 / 2980.
    EXPECT_NEAR(m[0], 2 * 0.12683 / 0.5, 1e-4);
    EXPECT_NEAR(m[5], 0.12683 / (904 * 0.5 / 2980), 1e-4);
    EXPECT_FLOAT_EQ(m[8], 0.0f);
    EXPECT_FLOAT_EQ(m[9], 0.0f);
}

TEST(GLCameraTest, ProjectionOfAnEmptyWindowLeavesTheMatrixAlone)
{
    TGLCamera camera(nullptr);
    const auto m = ProjectionOf(camera, 0, 904);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
}

TEST(GLCameraTest, OrthogonalStyleScalesTheFrustumByTheFocalLength)
{
    TGLCamera camera(nullptr);
    camera.SetCameraStyle(csOrthogonal);

    const auto m = ProjectionOf(camera, 100, 100);

    // Half width 100 / 50 / 2 = 1; near 50 * 2 * 96 / 2540, far near + 100.
    EXPECT_NEAR(m[0], 1.0f, 1e-5f);
    EXPECT_NEAR(m[5], 1.0f, 1e-5f);
    EXPECT_NEAR(m[10], -2.0f / 100, 1e-6f);
    EXPECT_NEAR(m[15], 1.0f, 1e-6f);
    EXPECT_NEAR(camera.NearPlane(), 3.77953f, 1e-4f);
}

TEST(GLCameraTest, ViewLooksAtTheTargetOrAlongDirection)
{
    TCameraScene scene;
    scene.Camera->SetTargetObject(scene.Target);
    scene.Target->Position()->SetPoint(0, 0, -2);

    const auto towardsTarget = ViewOf(*scene.Camera);
    const TVector target = EyePoint(towardsTarget, 0, 0, -2);
    EXPECT_NEAR(target.X, 0, 1e-5f);
    EXPECT_NEAR(target.Y, 0, 1e-5f);
    EXPECT_NEAR(target.Z, -5, 1e-5f);
    EXPECT_NEAR(scene.Camera->LastDirection().Z, -1, 1e-6f);

    scene.Camera->SetTargetObject(nullptr);
    scene.Camera->Direction()->SetVector(1, 0, 0);
    const auto alongDirection = ViewOf(*scene.Camera);
    const TVector ahead = EyePoint(alongDirection, 5, 0, 3);
    EXPECT_NEAR(ahead.X, 0, 1e-5f);
    EXPECT_NEAR(ahead.Y, 0, 1e-5f);
    EXPECT_NEAR(ahead.Z, -5, 1e-5f);
    EXPECT_NEAR(scene.Camera->LastDirection().X, 1, 1e-6f);
}

TEST(GLCameraTest, ScaleDistanceToTargetMovesAlongTheLineToIt)
{
    TCameraScene scene;
    scene.Camera->ScaleDistanceToTarget(0.9f);
    ExpectPosition(scene.Camera, 0, 0, 3);

    scene.Camera->SetTargetObject(scene.Target);
    scene.Camera->ScaleDistanceToTarget(0.9f);
    ExpectPosition(scene.Camera, 0, 0, 2.7f);

    scene.Camera->Position()->SetPoint(0, 0, 3);
    scene.Camera->ScaleDistanceToTarget(1.1f);
    ExpectPosition(scene.Camera, 0, 0, 3.3f);
    EXPECT_EQ(scene.Camera->Direction()->AsVector(), (TVector{0, 0, -1, 0}));
}

TEST(GLCameraTest, OrbitTargetTurnsAboutTheUpAxisAndStopsShortOfThePole)
{
    TCameraScene scene;
    scene.Camera->OrbitTarget(0, 90);
    ExpectPosition(scene.Camera, 0, 0, 3);

    scene.Camera->SetTargetObject(scene.Target);
    scene.Camera->OrbitTarget(0, 90);
    ExpectPosition(scene.Camera, 3, 0, 0);

    // 200 degrees of pitch from the equator would pass the lower pole.
    scene.Camera->OrbitTarget(200, 0);
    const TVector position = scene.Camera->Position()->AsVector();
    EXPECT_NEAR(position.Y, -3 * std::cos(0.025f), 1e-4f);
    EXPECT_NEAR(std::hypot(position.X, position.Z), 3 * std::sin(0.025f), 1e-4f);
}

TEST(GLCameraTest, DestroyedTargetIsForgotten)
{
    TCameraScene scene;
    scene.Camera->SetTargetObject(scene.Target);
    delete scene.Target;
    EXPECT_EQ(scene.Camera->TargetObject(), nullptr);
    scene.Camera->ScaleDistanceToTarget(0.5f);
    ExpectPosition(scene.Camera, 0, 0, 3);
}
