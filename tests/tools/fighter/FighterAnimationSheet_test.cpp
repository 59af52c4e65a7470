// Every animation of the generated fighter drawn by the engine, a row of
// evenly spaced frames per animation, seen from the side as the fight's
// camera sees it; saved as a contact sheet for review.
#include "../GameModelPlacement.h"

#include "mesh/GLActor.h"
#include "mesh/VectorFile.h"
#include "scene/GLCamera.h"
#include "scene/GLCube.h"
#include "scene/GLLightSource.h"
#include "scene/GLSceneViewer.h"

#include <QFont>
#include <QImage>
#include <QOpenGLContext>
#include <QPainter>
#include <QRect>
#include <QWindow>
#include "ViewerPixels.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <vector>

using namespace GameModels;

namespace
{
const QString ComboDir = QStringLiteral(STICKFIGHT_GAME_DIR "/Combo");

constexpr int Cell = 160;
constexpr int Samples = 8;
constexpr int LabelWidth = 190;
constexpr QRgb Background = qRgb(0xE8, 0xE8, 0xE0);

// Each fighter stands where the fight puts it; the camera looks at it from
// the fight camera's side, 6.5 units off. With focal length 50 at 96 dpi a
// 160-pixel view spans tan = 160 * 25.4 / (4 * 50 * 96) = 0.2117 each side of
// its centre, so a world unit at 6.5 units is 58.1 pixels.
constexpr float CameraDistance = 6.5f;
constexpr float CameraHeight = -0.2f;
// The soles rest on the arena's floor, y = -1: 0.8 below the camera, seen
// 0.8 * 58.1 = 46.5 pixels under the centre row.
constexpr double FloorRow = Cell / 2.0 + 0.8 * 58.1;

struct TFighter
{
    const TPlacement* At;
    TColorVector Colour;
};
const TFighter Fighters[] = {{&GLActor1, Fighter1Colour}, {&GLActor2, Fighter2Colour}};

class FighterAnimationSheet : public ::testing::Test
{
protected:
    FighterAnimationSheet()
    {
        if (FindFormatByExtension(QStringLiteral("smd")) == nullptr)
            RegisterVectorFileFormats();
        for (QObject* const object : {static_cast<QObject*>(FLight), static_cast<QObject*>(FTarget),
                                      static_cast<QObject*>(FCamera), static_cast<QObject*>(FFloor),
                                      static_cast<QObject*>(FActor)})
            FScene.InsertLayoutChild(object);
        FLight->Position()->SetPoint(-1, -1, -1);
        FLight->Diffuse()->SetColor({0.75f, 0.75f, 0.75f, 1});
        FCamera->SetTargetObject(FTarget);
        FCamera->SetFocalLength(50);
        FCamera->SetDepthOfView(500);
        FCamera->SetNearPlaneBias(0.5f);
        FCamera->Direction()->SetVector(0, 0, 1);
        FCamera->Up()->SetVector(0, 1, 0);
        // A slab of the arena's floor under the fighter.
        FFloor->Scale()->SetVector(3, 0.1f, 1);
        Colour(*FFloor, {0.55f, 0.5f, 0.45f, 1});
        FActor->SetReference(aarSkeleton);
        FViewer.SetBounds(0, 0, Cell, Cell);
        FBuffer->SetBackgroundColor(TColor{0x00E0E8E8});
        FBuffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
        FViewer.SetCamera(FCamera);
        FViewer.CreateRenderWindow();
    }

    void Stand(const TFighter& fighter)
    {
        Place(*FActor, *fighter.At);
        Colour(*FActor, fighter.Colour);
        const TAffineVector at = fighter.At->Position;
        FTarget->Position()->SetPoint(at.X, CameraHeight, at.Z);
        FCamera->Position()->SetPoint(at.X, CameraHeight, at.Z + CameraDistance);
        FFloor->Position()->SetPoint(at.X, -1.05f, at.Z);
    }

    QImage Render(const int frame)
    {
        FActor->SetCurrentFrame(frame);
        return RenderViewerPixels(FViewer, Cell, Cell);
    }

    TGLScene FScene{nullptr};
    TGLLightSource* const FLight = new TGLLightSource(&FScene);
    TGLBaseSceneObject* const FTarget = new TGLBaseSceneObject(&FScene);
    TGLCamera* const FCamera = new TGLCamera(&FScene);
    TGLCube* const FFloor = new TGLCube(&FScene);
    TGLActor* const FActor = new TGLActor(&FScene);
    TGLSceneViewer FViewer{nullptr};
    TGLSceneBuffer* const FBuffer = FViewer.Buffer();
};

// Pixels of the fighter's colour: near black for fighter 1, strong red for
// fighter 2; the floor and the background are neither.
bool IsFighterPixel(const QRgb pixel, const TColorVector& colour)
{
    if (colour[0] > 0.5f)
        return qRed(pixel) > 150 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
    return qGray(pixel) < 40;
}

QRect FighterArea(const QImage& picture, const TColorVector& colour)
{
    QRect area;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (IsFighterPixel(picture.pixel(x, y), colour))
                area |= QRect(x, y, 1, 1);
    return area;
}

// The frames of a row: first and last of the animation and evenly between.
std::vector<int> SampleFrames(const TActorAnimation& animation)
{
    std::vector<int> frames;
    const int span = animation.EndFrame() - animation.StartFrame();
    for (int i = 0; i < Samples; ++i)
        frames.push_back(animation.StartFrame() + (span * i + (Samples - 1) / 2) / (Samples - 1));
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}
} // namespace

TEST_F(FighterAnimationSheet, EveryAnimationIsDrawnOnTheFloorInBothFightersColours)
{
    ASSERT_NO_THROW(LoadFighter(*FActor, ComboDir));
    const TActorAnimations& animations = *FActor->Animations();
    ASSERT_EQ(animations.Count(), 12);

    QImage sheet(LabelWidth + Samples * Cell, (animations.Count() - 1) * Cell, QImage::Format_RGB32);
    sheet.fill(Background);
    QPainter painter(&sheet);
    for (int row = 0; row < animations.Count() - 1; ++row)
    {
        const TActorAnimation& animation = animations[row + 1];
        const TFighter& fighter = Fighters[row % 2];
        Stand(fighter);
        const std::vector<int> frames = SampleFrames(animation);
        for (size_t column = 0; column < frames.size(); ++column)
        {
            const QImage picture = Render(frames[column]);
            const QRect body = FighterArea(picture, fighter.Colour);
            ASSERT_FALSE(body.isEmpty()) << qPrintable(animation.Name()) << " frame " << frames[column];
            // Nothing of the body below the floor, and whatever the pose, the
            // body keeps to the middle of its place.
            EXPECT_LE(body.bottom(), FloorRow + 3) << qPrintable(animation.Name()) << " frame " << frames[column];
            EXPECT_NEAR(body.center().x(), Cell / 2, Cell / 4)
                << qPrintable(animation.Name()) << " frame " << frames[column];
            if (column == 0)
            {
                EXPECT_NEAR(body.bottom(), FloorRow, 3) << qPrintable(animation.Name()) << " starts off the floor";
            }
            painter.drawImage(LabelWidth + static_cast<int>(column) * Cell, row * Cell, picture);
            painter.setPen(Qt::darkGray);
            painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
            painter.drawText(LabelWidth + static_cast<int>(column) * Cell + 6, row * Cell + 16,
                             QString::number(frames[column]));
        }
        if (animation.Name() == QStringLiteral("Anime_Mort"))
        {
            const QRect lying = FighterArea(Render(animation.EndFrame()), fighter.Colour);
            EXPECT_GT(lying.width(), lying.height() * 2) << "the dead fighter does not lie down";
        }
        painter.setPen(Qt::black);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 12, QFont::Bold));
        painter.drawText(QRect(10, row * Cell, LabelWidth - 10, Cell / 2), Qt::AlignLeft | Qt::AlignBottom,
                         animation.Name());
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        painter.drawText(QRect(10, row * Cell + Cell / 2 + 4, LabelWidth - 10, Cell / 2), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("frames %1 to %2\n%3")
                             .arg(animation.StartFrame())
                             .arg(animation.EndFrame())
                             .arg(row % 2 == 0 ? QStringLiteral("fighter 1 (black)") : QStringLiteral("fighter 2 (red)")));
        painter.setPen(QColor(0xC0, 0xC0, 0xB8));
        painter.drawLine(0, row * Cell, sheet.width(), row * Cell);
    }
    painter.end();
    EXPECT_TRUE(sheet.save(QStringLiteral("fighter_animations.png")));
}
