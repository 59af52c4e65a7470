// The menu and the fight as their windows show them: each window built from
// its stored layout loads its own generated models; the viewer's pixels saved
// for review.
#include "GameModelPlacement.h"

#include "fight/Scene.h"
#include "menu/Inter.h"
#include "mesh/VectorFile.h"

#include "TestApplication.h"

#include <QDir>
#include <QImage>
#include <QScreen>

#include <algorithm>
#include <functional>
#include <tuple>

using namespace GameModels;

namespace
{
const QString GameDir = QStringLiteral(STICKFIGHT_GAME_DIR);

class GameScenes : public TApplicationTest
{
protected:
    void SetUp() override
    {
        TApplicationTest::SetUp();
        if (FindFormatByExtension(QStringLiteral("3ds")) == nullptr)
            RegisterVectorFileFormats();
    }

    // The viewer's pixels once it has drawn a frame after `change`.
    QImage ViewerPixels(TForm& form, TGLSceneViewer& viewer, const std::function<void()>& change)
    {
        TGLSceneBuffer* const buffer = viewer.Buffer();
        RunUntil([&] { return buffer->FrameCount() > 0; }, 5000);
        const int before = buffer->FrameCount();
        change();
        viewer.update();
        EXPECT_TRUE(RunUntil([&] { return buffer->FrameCount() > before; }, 5000)) << "the viewer did not redraw";
        RunFor(100);
        const QImage screen = form.screen()->grabWindow(0).toImage();
        const QPoint origin = viewer.mapTo(&form, QPoint(0, 0)) + form.geometry().topLeft();
        return screen.copy(QRect(origin, viewer.size())).convertToFormat(QImage::Format_RGB32);
    }
};

// The pixels where two pictures differ, as a rectangle, within `part`.
QRect ChangedArea(const QImage& a, const QImage& b, const QRect& part)
{
    QRect area;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                area |= QRect(x, y, 1, 1);
    return area;
}

int CountPixels(const QImage& picture, const QRect& part, const std::function<bool(QRgb)>& wanted)
{
    int count = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            count += wanted(picture.pixel(x, y)) ? 1 : 0;
    return count;
}

bool IsDark(const QRgb pixel)
{
    return qGray(pixel) < 60;
}

bool IsRed(const QRgb pixel)
{
    return qRed(pixel) > 150 && qGreen(pixel) < 70 && qBlue(pixel) < 70;
}
} // namespace

TEST_F(GameScenes, MenuShowsItsWordsAndTheFighterWhereItsLayoutPutsThem)
{
    // The menu loads its meshes from the program's directory.
    TMenu_Jeu* menu = nullptr;
    InDirectory(GameDir + QStringLiteral("/bin"), [&] { FApplication->CreateForm(menu); });
    ASSERT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
    // The picture is of the menu at rest.
    menu->AsyncTimer1->SetEnabled(false);
    menu->Show();
    const QImage picture =
        ViewerPixels(*menu, *menu->GLSceneViewer1, [&] { menu->GLSceneViewer1->Buffer()->NotifyChanged(); });
    ASSERT_EQ(picture.size(), QSize(1450, 930));
    EXPECT_TRUE(picture.save(QStringLiteral("menu_scene.png")));

    // White background; the words black where the camera on +X, looking at
    // the origin, shows them (a model unit at distance d with scale s spans
    // s / d * 302.36 pixels from the centre (725, 465), larger z to the
    // left): PLAY centred near (900, 300), OPTIONS near (1060, 480), QUIT near
    // (1220, 660), the fighter centred on x = 423 and 750 pixels tall.
    EXPECT_EQ(picture.pixel(5, 5), qRgb(255, 255, 255));
    const QRect words[] = {QRect(820, 280, 160, 40), QRect(960, 465, 200, 30), QRect(1140, 640, 160, 40)};
    for (const QRect& word : words)
        EXPECT_GT(CountPixels(picture, word, IsDark), word.width() * word.height() / 5)
            << "no word at " << word.x() << ", " << word.y();
    // Left of the words only the fighter is drawn.
    QRect fighter;
    for (int y = 0; y < 930; ++y)
        for (int x = 0; x < 700; ++x)
            if (IsDark(picture.pixel(x, y)))
                fighter |= QRect(x, y, 1, 1);
    EXPECT_NEAR(fighter.center().x(), 423, 12);
    EXPECT_NEAR(fighter.height(), 750, 30);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}

TEST_F(GameScenes, FightShowsBothFightersOnTheArenaFloorFacingEachOtherBeforeTheTown)
{
    // The fight loads its town from the start-up directory and the fighters
    // from beside the program, as the game runs from its data tree.
    FApplication->SetExeName(GameDir + QStringLiteral("/bin/stickfight"));
    const QString startDirectory = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(GameDir + QStringLiteral("/bin")));
    TJeu* fight = nullptr;
    FApplication->CreateForm(fight);
    QDir::setCurrent(startDirectory);
    // The picture is of one moment: the frame clock and the fight's tick
    // would move the actors on.
    fight->GLCadencer1->SetEnabled(false);
    fight->AsyncTimer1->SetEnabled(false);
    fight->Show();
    ASSERT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();

    TGLFreeForm* const town = fight->GLFreeForm3;
    TGLActor* const fighter1 = fight->GLActor1;
    TGLActor* const fighter2 = fight->GLActor2;
    const QImage bare = ViewerPixels(*fight, *fight->GLSceneViewer1, [&] {
        for (TGLBaseSceneObject* const object : std::initializer_list<TGLBaseSceneObject*>{town, fighter1, fighter2})
            object->SetVisible(false);
    });
    const QImage arena = ViewerPixels(*fight, *fight->GLSceneViewer1, [&] { town->SetVisible(true); });
    const QImage picture = ViewerPixels(*fight, *fight->GLSceneViewer1, [&] {
        fighter1->SetVisible(true);
        fighter2->SetVisible(true);
        // Two moments of the idle, so that the fighters are not mirror images.
        fighter1->SetCurrentFrame(fighter1->StartFrame() + 2);
        fighter2->SetCurrentFrame(fighter2->StartFrame() + 5);
    });
    EXPECT_GT(ChangedArea(bare, arena, QRect(0, 0, 1490, 450)).width(), 1000) << "the town is not seen behind the arena";
    ASSERT_EQ(picture.size(), QSize(1490, 904));
    EXPECT_TRUE(picture.save(QStringLiteral("fight_scene.png")));

    // The camera at (0, 0, 3) looks at the origin with focal length 50 on a
    // 1490-pixel width: tan = 1490 * 25.4 / (4 * 50 * 96) = 1.971 each side,
    // so a unit at distance 3 spans 745 / (3 * 1.971) = 126 pixels, the same
    // across and up. Fighter 1 stands at x = 1 (column 871), fighter 2 at
    // x = -1 (column 619). Their soles rest on the floor y = -1, which is row
    // 452 + 126 = 578 at z = 0; the feet reach 0.2 units either side of it,
    // rows 571 to 587. Standing straight the head's top would be at y = 0.6
    // (row 376); the guard bends the knees a little.
    const QRect right = ChangedArea(arena, picture, QRect(745, 250, 300, 400));
    const QRect left = ChangedArea(arena, picture, QRect(445, 250, 300, 400));
    for (const auto& [area, column, name] : {std::tuple{right, 871, "fighter 1"}, std::tuple{left, 619, "fighter 2"}})
    {
        ASSERT_FALSE(area.isEmpty()) << name << " is not seen";
        EXPECT_GE(area.bottom(), 571) << name << " floats above the floor";
        EXPECT_LE(area.bottom(), 587) << name << " sinks into the floor";
        EXPECT_GE(area.top(), 372) << name;
        EXPECT_LE(area.top(), 420) << name;
        EXPECT_NEAR(area.center().x(), column, 30) << name;
    }
    EXPECT_GT(CountPixels(picture, right, IsDark), 200) << "fighter 1 is not black";
    EXPECT_GT(CountPixels(picture, left, IsRed), 200) << "fighter 2 is not red";
    EXPECT_EQ(CountPixels(picture, right, IsRed), 0);

    // Each faces the other: in the first hit's strike the fist reaches 25 to
    // 45 model units (63 to 113 pixels at scale 0.02) towards the opponent.
    const QImage strike = ViewerPixels(*fight, *fight->GLSceneViewer1, [&] {
        for (TGLActor* const fighter : {fighter1, fighter2})
        {
            fighter->SwitchAnimation(QStringLiteral("Combo1_1"), false);
            fighter->SetCurrentFrame(fighter->StartFrame() + 5);
        }
    });
    const QRect rightStrike = ChangedArea(arena, strike, QRect(700, 250, 345, 400));
    const QRect leftStrike = ChangedArea(arena, strike, QRect(445, 250, 345, 400));
    const int forward1 = 871 - rightStrike.left(), back1 = rightStrike.right() - 871;
    const int forward2 = leftStrike.right() - 619, back2 = 619 - leftStrike.left();
    EXPECT_GE(forward1, 63) << "fighter 1 does not strike towards fighter 2";
    EXPECT_GT(forward1, back1 + 20);
    EXPECT_GE(forward2, 63) << "fighter 2 does not strike towards fighter 1";
    EXPECT_GT(forward2, back2 + 20);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}
