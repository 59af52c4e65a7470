// A real model file drawn by the engine as the game would draw it: loaded
// into a free form, lit by a light source and seen through a camera.
#include "mesh/GLBaseMesh.h"
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

const QString CorpusDir = QStringLiteral(STICKFIGHT_CORPUS_DIR "/3ds");

// The model, turned from the file's Z-up to the scene's Y-up, centred and
// scaled so that its largest side spans two units; the camera and a point
// light stand inside it, near one corner, the camera looking at the far one.
class ModelPicture : public ::testing::Test
{
protected:
    ModelPicture()
    {
        if (FindFormatByExtension(QStringLiteral("3ds")) == nullptr)
            RegisterVectorFileFormats();
        FScene.InsertLayoutChild(FCamera);
        FCamera->Position()->SetPoint(0.6f, 0.2f, 0.5f);
        FCamera->SetFocalLength(20);
        FCamera->SetTargetObject(FTarget);
        FScene.InsertLayoutChild(FTarget);
        FTarget->Position()->SetPoint(-0.7f, -0.3f, -0.6f);
        FScene.InsertLayoutChild(FLight);
        FLight->Position()->SetPoint(0.2f, 0.25f, 0.3f);
        FLight->Diffuse()->SetColor({1, 1, 1, 1});
        FScene.InsertLayoutChild(FModel);
        FModel->Material()->FrontProperties()->Diffuse()->SetColor({0.85f, 0.75f, 0.6f, 1});
        FModel->Material()->FrontProperties()->Ambient()->SetColor({0.25f, 0.22f, 0.2f, 1});
        FViewer.SetBounds(0, 0, ViewWidth, ViewHeight);
        FBuffer->SetBackgroundColor(TColor{0x00302420});
        FBuffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
        FViewer.SetCamera(FCamera);
        FViewer.CreateRenderWindow();
    }

    void Load(const QString& fileName)
    {
        FModel->SetAutoCentering(macCenterX | macCenterY | macCenterZ);
        FModel->LoadFromFile(fileName);
        TAffineVector min, max;
        FModel->GetExtents(min, max);
        const float side = std::max({max.X - min.X, max.Y - min.Y, max.Z - min.Z});
        const float scale = 2 / side;
        FModel->Scale()->SetVector(scale, scale, scale);
        FModel->SetPitchAngle(90);
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
    TGLFreeForm* const FModel = new TGLFreeForm(&FScene);
    TGLSceneViewer FViewer{nullptr};
    TGLSceneBuffer* const FBuffer = FViewer.Buffer();
};
} // namespace

TEST_F(ModelPicture, RoomModelIsDrawnLitAndSavedForReview)
{
    const QString room = CorpusDir + QStringLiteral("/irrlicht/room.3ds");
    if (!QDir().exists(room))
        GTEST_SKIP() << "The shared corpus is not beside the checkout: " << qPrintable(room);
    Load(room);
    const QImage picture = Render();
    ASSERT_TRUE(picture.save(QStringLiteral("room_model.png")));

    // The model fills the middle of the view, and faces turned differently
    // to the light come out in different shades.
    int covered = 0;
    std::set<QRgb> shades;
    for (int y = 0; y < ViewHeight; ++y)
        for (int x = 0; x < ViewWidth; ++x)
            if (const QRgb pixel = picture.pixel(x, y); pixel != Background)
            {
                ++covered;
                shades.insert(pixel);
            }
    EXPECT_NE(picture.pixel(ViewWidth / 2, ViewHeight / 2), Background);
    EXPECT_GT(covered, ViewWidth * ViewHeight / 4) << "too little of the view shows the model";
    EXPECT_GT(shades.size(), 3u) << "the model is drawn flat, without light";
}
