// The generated models drawn by the engine as the menu and the fight show
// them, saved as pictures for review, with the words' places and sizes
// checked against the menu's design.
#include "mesh/GLBaseMesh.h"
#include "mesh/VectorFile.h"
#include "scene/GLCamera.h"
#include "scene/GLCube.h"
#include "scene/GLLightSource.h"
#include "scene/GLMaterial.h"
#include "scene/GLSceneViewer.h"

#include <QImage>
#include <QOpenGLContext>
#include <QRect>
#include <QWindow>
#include "ViewerPixels.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>

namespace
{
const QString GameDir = QStringLiteral(STICKFIGHT_GAME_DIR);

struct TPlacement
{
    TAffineVector Position, Direction, Up;
    float Scale;
};

// The menu's free forms as its layout stores them.
const TPlacement Option1{{2, -8, 0}, {0, 1, 0}, {-1, 0, 0}, 1.5f};
const TPlacement Play1{{2, -8, 20}, {0, 1, 0}, {-1, 0, 0}, 1.5f};
const TPlacement Quit1{{-3, -13, -33}, {0, 1, 0}, {-1, 0, 0}, 2.5f};
const TPlacement Rage{{0, 0, 10}, {0, 1, 0}, {-1, 0, 0}, 55};
// The fight's town free form.
const TPlacement Town{{0, -25, 0}, {0, 1, -4.37114e-08f}, {0, -4.37114e-08f, -1}, 200};

class ScenePicture : public ::testing::Test
{
protected:
    ScenePicture()
    {
        if (FindFormatByExtension(QStringLiteral("3ds")) == nullptr)
            RegisterVectorFileFormats();
        FScene.InsertLayoutChild(FLight);
        FLight->Position()->SetPoint(-1, -1, -1);
        FScene.InsertLayoutChild(FTarget);
        FScene.InsertLayoutChild(FCamera);
        FCamera->SetTargetObject(FTarget);
        FCamera->Direction()->SetVector(0, 0, 1);
        FCamera->Up()->SetVector(0, 1, 0);
    }

    void UseMenuView()
    {
        FCamera->Position()->SetPoint(10, 0, 0);
        FCamera->SetFocalLength(39.9998664855957f);
        FCamera->SetDepthOfView(200);
        Open(1450, 930, TColor{0x00FFFFFF});
    }

    void UseFightView(const TAffineVector cameraPosition)
    {
        FLight->Diffuse()->SetColor({0.75f, 0.75f, 0.75f, 1});
        FCamera->Position()->SetPoint(cameraPosition.X, cameraPosition.Y, cameraPosition.Z);
        FCamera->SetFocalLength(50);
        FCamera->SetDepthOfView(500);
        FCamera->SetNearPlaneBias(0.5f);
        Open(1490, 904, TColor{0x00C08040});
    }

    TGLFreeForm* AddModel(const QString& file, const TPlacement& at, const bool black)
    {
        auto* const model = new TGLFreeForm(&FScene);
        FScene.InsertLayoutChild(model);
        if (black)
            for (TGLColor* colour : {model->Material()->FrontProperties()->Ambient(),
                                     model->Material()->FrontProperties()->Diffuse(),
                                     model->Material()->FrontProperties()->Emission(),
                                     model->Material()->FrontProperties()->Specular()})
                colour->SetColor({0, 0, 0, 0});
        model->Position()->SetPoint(at.Position.X, at.Position.Y, at.Position.Z);
        model->Direction()->SetVector(at.Direction.X, at.Direction.Y, at.Direction.Z);
        model->Up()->SetVector(at.Up.X, at.Up.Y, at.Up.Z);
        model->Scale()->SetVector(at.Scale, at.Scale, at.Scale);
        if (&at == &Rage)
            model->SetAutoCentering(macCenterX);
        model->LoadFromFile(GameDir + QLatin1Char('/') + file);
        return model;
    }

    // The arena's ground block and low walls, for scale.
    void AddArena()
    {
        const auto cube = [&](const TAffineVector at, const TAffineVector size) {
            auto* const block = new TGLCube(&FScene);
            FScene.InsertLayoutChild(block);
            block->Position()->SetPoint(at.X, at.Y, at.Z);
            block->Scale()->SetVector(size.X, size.Y, size.Z);
        };
        cube({0, -12.5f, 0}, {20, 23, 20});
        cube({0, -0.5f, -9.75f}, {20, 1, 0.5f});
        cube({0, -0.5f, 9.75f}, {20, 1, 0.5f});
        cube({-9.75f, -0.5f, 0}, {0.5f, 1, 20});
        cube({9.75f, -0.5f, 0}, {0.5f, 1, 20});
    }

    QImage Render(const QString& savedAs)
    {
        const QImage result = RenderViewerPixels(FViewer, FWidth, FHeight);
        EXPECT_TRUE(result.save(savedAs));
        return result;
    }

    // The smallest rectangle holding every dark pixel; empty when none is.
    static QRect DarkArea(const QImage& picture)
    {
        QRect area;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (qGray(picture.pixel(x, y)) < 128)
                    area |= QRect(x, y, 1, 1);
        return area;
    }

    TGLScene FScene{nullptr};
    TGLLightSource* const FLight = new TGLLightSource(&FScene);
    TGLBaseSceneObject* const FTarget = new TGLBaseSceneObject(&FScene);
    TGLCamera* const FCamera = new TGLCamera(&FScene);
    TGLSceneViewer FViewer{nullptr};
    TGLSceneBuffer* const FBuffer = FViewer.Buffer();
    int FWidth = 0;
    int FHeight = 0;

private:
    void Open(const int width, const int height, const TColor background)
    {
        FWidth = width;
        FHeight = height;
        FViewer.SetBounds(0, 0, width, height);
        FBuffer->SetBackgroundColor(background);
        FBuffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
        FViewer.SetCamera(FCamera);
        FViewer.CreateRenderWindow();
    }
};

// A word as the menu's design places it, for working out by hand where the
// camera shows it: a model unit at distance d with scale s spans
// s / d * 302.36 pixels (focal length 39.99987 at 96 dpi), seen from the
// viewer's centre (725, 465). The front face, half the letters' depth of
// 0.1 nearer, is drawn larger; the back face smaller.
struct TExpectedWord
{
    const char* File;
    const TPlacement* At;
    QPointF Centre;
    double Width, CapHeight, Descent;
};

QRectF SeenArea(const TExpectedWord& word)
{
    const double distance = 10 - word.At->Position.X;
    const double unit = word.At->Scale / distance * 302.36;
    const QPointF offset = word.Centre - QPointF(725, 465);
    const double left = offset.x() - word.Width * unit / 2, right = offset.x() + word.Width * unit / 2;
    const double top = offset.y() - word.CapHeight * unit / 2;
    const double bottom = offset.y() + (word.CapHeight / 2 + word.Descent) * unit;
    const double halfDepth = word.At->Scale * 0.05;
    const double front = distance / (distance - halfDepth), back = distance / (distance + halfDepth);
    return QRectF(QPointF(std::min(left * front, left * back), std::min(top * front, top * back)),
                  QPointF(std::max(right * front, right * back), std::max(bottom * front, bottom * back)))
        .translated(725, 465);
}

void ExpectSeenAsDesigned(const QRect& seen, const TExpectedWord& word)
{
    ASSERT_FALSE(seen.isEmpty()) << word.File << " is not seen";
    const QRectF expected = SeenArea(word);
    EXPECT_NEAR(seen.left(), expected.left(), 4) << word.File;
    EXPECT_NEAR(seen.right() + 1, expected.right(), 4) << word.File;
    EXPECT_NEAR(seen.top(), expected.top(), 4) << word.File;
    EXPECT_NEAR(seen.bottom() + 1, expected.bottom(), 4) << word.File;
}
} // namespace

TEST_F(ScenePicture, MenuWordsAppearWhereTheMenuDesignPutsThem)
{
    UseMenuView();
    // PLAY: letters 1.6 high, 0.76 + 0.62 + 0.9 + 0.86 + 3 gaps of 0.12 = 3.5
    // letter heights wide. OPTIONS: 1 high, 5.78 wide. QUIT: 1.4 high,
    // 0.95 + 0.8 + 0.22 + 0.8 + 3 x 0.12 = 3.13 wide, the Q's tail 0.1 below.
    const TExpectedWord words[] = {
        {"Anime/Play/Play1.3ds", &Play1, {900, 300}, 3.5 * 1.6, 1.6, 0},
        {"bin/Option1.3ds", &Option1, {1060, 480}, 5.78, 1, 0},
        {"Anime/Quit/Quit1.3ds", &Quit1, {1220, 660}, 3.13 * 1.4, 1.4, 0.14},
    };
    for (const TExpectedWord& word : words)
    {
        TGLFreeForm* const model = AddModel(QString::fromLatin1(word.File), *word.At, true);
        ExpectSeenAsDesigned(DarkArea(Render(QStringLiteral("menu_word.png"))), word);
        model->SetVisible(false);
    }
}

TEST_F(ScenePicture, MenuIsDrawnWithItsFourMeshesAndTheFighterFillsTheLeft)
{
    UseMenuView();
    AddModel(QStringLiteral("bin/Stick.3ds"), Rage, true);
    const QRect fighter = DarkArea(Render(QStringLiteral("menu_fighter.png")));
    // Centred along x on Rage's origin at (423, 465); from the feet to the
    // head's top 1.69 body units at 0.267 model units each and 55 / 10 *
    // 302.36 pixels per model unit make 750 pixels.
    EXPECT_NEAR(fighter.center().x(), 423, 20);
    EXPECT_NEAR(fighter.height(), 750, 30);
    EXPECT_GT(fighter.top(), 0);
    EXPECT_LT(fighter.bottom(), 930);

    AddModel(QStringLiteral("Anime/Play/Play1.3ds"), Play1, true);
    AddModel(QStringLiteral("bin/Option1.3ds"), Option1, true);
    AddModel(QStringLiteral("Anime/Quit/Quit1.3ds"), Quit1, true);
    Render(QStringLiteral("menu_rest.png"));
}

TEST_F(ScenePicture, HoverSwellsTheWordAndTheStartSequenceEndsWithTheWordGone)
{
    UseMenuView();
    TGLFreeForm* const play = AddModel(QStringLiteral("Anime/Play/Play1.3ds"), Play1, true);
    const QRect rest = DarkArea(Render(QStringLiteral("menu_play_rest.png")));
    play->LoadFromFile(GameDir + QStringLiteral("/Anime/Play/Play13.3ds"));
    const QRect swollen = DarkArea(Render(QStringLiteral("menu_play_hover.png")));
    EXPECT_GT(swollen.width(), rest.width() * 1.05);

    play->LoadFromFile(GameDir + QStringLiteral("/Anime/Play_game/Play_game12.3ds"));
    Render(QStringLiteral("menu_play_burst.png"));
    play->LoadFromFile(GameDir + QStringLiteral("/Anime/Play_game/Play_game26.3ds"));
    EXPECT_TRUE(DarkArea(Render(QStringLiteral("menu_play_gone.png"))).isEmpty())
        << "a letter is still in the picture at the end of the start sequence";
}

TEST_F(ScenePicture, TownSurroundsTheArenaAndItsWallsFacingTheLightAreLit)
{
    UseFightView({0, 0, 3});
    AddArena();
    AddModel(QStringLiteral("bin/Miniville.3ds"), Town, false);
    const QImage picture = Render(QStringLiteral("fight_town.png"));
    // Above the arena's far wall the town stands against the background;
    // some of its walls face the light and come out bright.
    int town = 0, bright = 0;
    for (int y = 0; y < picture.height() / 2; ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (const QRgb pixel = picture.pixel(x, y); pixel != qRgb(0x40, 0x80, 0xC0))
            {
                ++town;
                bright += qGray(pixel) > 140;
            }
    EXPECT_GT(town, picture.width() * picture.height() / 20);
    EXPECT_GT(bright, town / 20);
}

TEST_F(ScenePicture, TownSeenFromAboveForReview)
{
    UseFightView({-30, 38, 46});
    AddArena();
    AddModel(QStringLiteral("bin/Miniville.3ds"), Town, false);
    Render(QStringLiteral("town_overview.png"));
}
