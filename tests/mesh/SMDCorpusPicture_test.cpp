// A skinned character from the corpus drawn by the engine as the game draws
// its fighters: an actor posed between two frames of a run, lit, with its
// skeleton drawn over the body.
#include "mesh/GLActor.h"
#include "mesh/VectorFile.h"
#include "scene/GLCamera.h"
#include "scene/GLLightSource.h"
#include "scene/GLMaterial.h"
#include "scene/GLSceneViewer.h"

#include <QDir>
#include <QImage>
#include <QOpenGLContext>
#include <QWindow>
#include "ViewerPixels.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <set>

namespace
{
constexpr int ViewWidth = 480;
constexpr int ViewHeight = 360;
constexpr QRgb Background = qRgb(0x20, 0x24, 0x30);
constexpr QRgb Overlay = qRgb(0xFF, 0xFF, 0xFF);
// Barney is about 75 file units tall; this makes him about two.
constexpr float Scale = 0.025f;

const QString BarneyDir = QStringLiteral(STICKFIGHT_CORPUS_DIR "/smd/hl1-barney");

// The camera stands to the runner's side, a little ahead and above, looking
// at his pelvis, with a light beside it.
class ActorPicture : public ::testing::Test
{
protected:
    ActorPicture()
    {
        if (FindFormatByExtension(QStringLiteral("smd")) == nullptr)
            RegisterVectorFileFormats();
        FScene.InsertLayoutChild(FCamera);
        FCamera->Position()->SetPoint(2.6f, 0.4f, 0.9f);
        FCamera->SetFocalLength(55);
        FCamera->SetTargetObject(FTarget);
        FScene.InsertLayoutChild(FTarget);
        FScene.InsertLayoutChild(FLight);
        FLight->Position()->SetPoint(3, 2.5f, 3);
        FLight->Diffuse()->SetColor({1, 1, 1, 1});
        FScene.InsertLayoutChild(FActor);
        FActor->Material()->FrontProperties()->Diffuse()->SetColor({0.35f, 0.5f, 0.85f, 1});
        FActor->Material()->FrontProperties()->Ambient()->SetColor({0.1f, 0.12f, 0.2f, 1});
        FViewer.SetBounds(0, 0, ViewWidth, ViewHeight);
        FBuffer->SetBackgroundColor(TColor{0x00302420});
        FBuffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
        FViewer.SetCamera(FCamera);
        FViewer.CreateRenderWindow();
    }

    // Loaded from the character's folder, as the game loads its fighters
    // from the current directory.
    void LoadWithAnimation(const QString& animation)
    {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(BarneyDir);
        FActor->LoadFromFile(QStringLiteral("barney_reference.smd"));
        // From its own folder, so that the animation is named after the file.
        QDir::setCurrent(BarneyDir + QStringLiteral("/animations"));
        FActor->AddFromFile(animation + QStringLiteral(".smd"));
        QDir::setCurrent(previous);
    }

    // The file is Z-up and the scene Y-up; the run carries the body far
    // from the origin, so the actor is moved to bring the pelvis (bone 1)
    // of the pose shown back to it.
    void PlaceUpright()
    {
        FActor->Scale()->SetVector(Scale, Scale, Scale);
        FActor->SetPitchAngle(90);
        TSkeleton& skeleton = FActor->Skeleton();
        skeleton.LerpFrames(FActor->CurrentFrame(), FActor->FollowingFrame(), FActor->CurrentFrameDelta());
        skeleton.RootBones().UpdateGlobalMatrices();
        const TMatrix& pelvis = skeleton.BoneByID(1)->GlobalMatrix();
        const TMatrix& world = FActor->WorldMatrix();
        TAffineVector at;
        for (int c = 0; c < 3; ++c)
            (&at.X)[c] = pelvis[3][0] * world[0][c] + pelvis[3][1] * world[1][c] + pelvis[3][2] * world[2][c] + world[3][c];
        FActor->Position()->SetPoint(-at.X, -at.Y, -at.Z);
    }

    // The frame's pixels, top row first.
    QImage Render()
    {
        return RenderViewerPixels(FViewer, ViewWidth, ViewHeight);
    }

    TGLScene FScene{nullptr};
    TGLCamera* const FCamera = new TGLCamera(&FScene);
    TGLBaseSceneObject* const FTarget = new TGLBaseSceneObject(&FScene);
    TGLLightSource* const FLight = new TGLLightSource(&FScene);
    TGLActor* const FActor = new TGLActor(&FScene);
    TGLSceneViewer FViewer{nullptr};
    TGLSceneBuffer* const FBuffer = FViewer.Buffer();
};

struct TBox
{
    int Left = ViewWidth, Top = ViewHeight, Right = -1, Bottom = -1;
    void Add(const int x, const int y)
    {
        Left = std::min(Left, x);
        Top = std::min(Top, y);
        Right = std::max(Right, x);
        Bottom = std::max(Bottom, y);
    }
    bool Holds(const TBox& other) const
    {
        return other.Left >= Left && other.Right <= Right && other.Top >= Top && other.Bottom <= Bottom;
    }
};

bool IsBody(const QRgb pixel)
{
    return pixel != Background && pixel != Overlay;
}
} // namespace

TEST_F(ActorPicture, RunningCharacterIsDrawnWithItsSkeletonOverTheBody)
{
    if (!QDir(BarneyDir).exists(QStringLiteral("animations/run.smd")))
        GTEST_SKIP() << "The shared corpus is not beside the checkout: " << qPrintable(BarneyDir);
    LoadWithAnimation(QStringLiteral("run"));
    FActor->SwitchAnimation(QStringLiteral("run"));
    const TActorAnimation* const run = FActor->Animations()->FindAnimation(QStringLiteral("run"));
    ASSERT_NE(run, nullptr);
    FActor->SetCurrentFrame((run->StartFrame() + run->EndFrame()) / 2);
    FActor->SetCurrentFrameDelta(0.5f);
    FActor->SetOverlaySkeleton(true);
    PlaceUpright();
    const QImage picture = Render();
    ASSERT_TRUE(picture.save(QStringLiteral("barney_skeleton.png")));

    // The body takes a standing figure's share of the view, in more than a
    // few shades; the bones' white points and lines lie over it, inside its
    // outline, many of them touching body pixels since the depth test is off.
    int body = 0, overlay = 0, overlayOnBody = 0;
    std::set<QRgb> shades;
    TBox bodyBox, overlayBox;
    for (int y = 1; y < ViewHeight - 1; ++y)
        for (int x = 1; x < ViewWidth - 1; ++x)
        {
            const QRgb pixel = picture.pixel(x, y);
            if (IsBody(pixel))
            {
                ++body;
                shades.insert(pixel);
                bodyBox.Add(x, y);
            }
            else if (pixel == Overlay)
            {
                ++overlay;
                overlayBox.Add(x, y);
                overlayOnBody += IsBody(picture.pixel(x - 1, y)) || IsBody(picture.pixel(x + 1, y)) ||
                                 IsBody(picture.pixel(x, y - 1)) || IsBody(picture.pixel(x, y + 1));
            }
        }
    EXPECT_GT(body, ViewWidth * ViewHeight / 25) << "too little of the view shows the body";
    EXPECT_LT(body, ViewWidth * ViewHeight / 2) << "the body fills the view";
    EXPECT_GT(bodyBox.Bottom - bodyBox.Top, bodyBox.Right - bodyBox.Left) << "the figure is not upright";
    EXPECT_GT(shades.size(), 10u) << "the body is drawn flat, without light";
    // 24 points of 5 x 5 pixels, less where they overlap, and the lines.
    EXPECT_GT(overlay, 200) << "the skeleton is not drawn";
    EXPECT_TRUE(bodyBox.Holds(overlayBox)) << "the skeleton strays outside the body";
    EXPECT_GT(overlayOnBody, overlay / 4) << "the skeleton is not drawn over the body";
}
