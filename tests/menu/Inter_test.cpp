// The menu window with its real layout, real picking and real mouse events:
// what the pointer and the buttons set, what each tick loads, the start
// sequence and its hand-over, Quit, and the failures.

#include "MenuTest.h"

#include "app/Loading.h"
#include "app/Sound.h"
#include "base/Exceptions.h"
#include "fight/Scene.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>

#include <cstring>

namespace
{
QString PlayHoverFile(const int n)
{
    return QStringLiteral("../Anime/Play/Play%1.3ds").arg(n);
}

QString QuitHoverFile(const int n)
{
    return QStringLiteral("../Anime/Quit/Quit%1.3ds").arg(n);
}

QString StartFile(const int n)
{
    return QStringLiteral("../Anime/Play_game/Play_game%1.3ds").arg(n);
}

QStringList SceneOrder(const TGLScene& scene)
{
    QStringList names;
    for (int i = 0; i < scene.Objects()->Count(); ++i)
        names << scene.Objects()->Child(i)->objectName();
    return names;
}

int CountForms(const char* className)
{
    int count = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets())
        count += std::strcmp(widget->metaObject()->className(), className) == 0 ? 1 : 0;
    return count;
}

// A WAV file's length in milliseconds, from its header: data bytes over the
// bytes per second.
double WavDurationMs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    const auto u32 = [&](const qsizetype at) {
        return static_cast<quint32>(static_cast<uchar>(bytes[at])) |
               static_cast<quint32>(static_cast<uchar>(bytes[at + 1])) << 8 |
               static_cast<quint32>(static_cast<uchar>(bytes[at + 2])) << 16 |
               static_cast<quint32>(static_cast<uchar>(bytes[at + 3])) << 24;
    };
    quint32 byteRate = 0;
    for (qsizetype at = 12; at + 8 <= bytes.size(); at += 8 + u32(at + 4))
    {
        if (bytes.mid(at, 4) == "fmt ")
            byteRate = u32(at + 16);
        else if (bytes.mid(at, 4) == "data" && byteRate > 0)
            return 1000.0 * u32(at + 4) / byteRate;
    }
    return 0;
}

// An object drawn in the menu's scene that has no material: not one of the
// menu's own kinds. A square facing the camera on +X.
class TPlainSquare : public TGLBaseSceneObject
{
public:
    explicit TPlainSquare(QObject* AOwner) : TGLBaseSceneObject(AOwner) {}

    void EmitGeometry(TRenderContextInfo&) override
    {
        glBegin(GL_QUADS);
        glVertex3f(0, -1, -1);
        glVertex3f(0, 1, -1);
        glVertex3f(0, 1, 1);
        glVertex3f(0, -1, 1);
        glEnd();
    }
};
} // namespace

class MenuTest : public TMenuTest
{
protected:
    void SetUp() override
    {
        TMenuTest::SetUp();
        MakeDataTree();
    }

    // The pointer onto Play, which then animates from its next frame.
    void HoverPlay()
    {
        MoveTo(PointOn(*FMenu->Play1));
        ASSERT_TRUE(PlayHover);
    }
};

TEST_F(MenuTest, LayoutPlacesTheButtonsAndCreationLoadsThem)
{
    TMenu_Jeu& menu = CreateMenu(true);
    EXPECT_EQ(SceneOrder(*menu.GLScene1),
              (QStringList{"Option1", "GLLightSource1", "GLDummyCube1", "Play1", "Quit1", "Rage"}));
    EXPECT_EQ(menu.GLCamera1->Parent(), menu.GLScene1->Cameras());
    EXPECT_EQ(menu.GLCamera1->TargetObject(), menu.GLDummyCube1);
    EXPECT_EQ(menu.GLSceneViewer1->Camera(), menu.GLCamera1);
    EXPECT_EQ(menu.GLSceneViewer1->geometry(), QRect(56, 18, 1450, 930));
    EXPECT_EQ(menu.Play1->Position()->AsAffineVector(), (TAffineVector{2, -8, 20}));
    EXPECT_EQ(menu.Quit1->Position()->AsAffineVector(), (TAffineVector{-3, -13, -33}));
    EXPECT_EQ(menu.Quit1->Scale()->AsAffineVector(), (TAffineVector{2.5f, 2.5f, 2.5f}));
    EXPECT_EQ(menu.Rage->Scale()->AsAffineVector(), (TAffineVector{55, 55, 55}));
    // The stored orientation is final: the recorded angles are not turned again.
    EXPECT_EQ(menu.Option1->Direction()->AsAffineVector(), (TAffineVector{0, 1, 0}));
    EXPECT_EQ(menu.Option1->Up()->AsAffineVector(), (TAffineVector{-1, 0, 0}));
    EXPECT_EQ(menu.Rage->AutoCentering(), TMeshAutoCenterings(macCenterX));
    for (TGLFreeForm* const mesh : {menu.Option1, menu.Play1, menu.Quit1, menu.Rage})
        EXPECT_EQ(mesh->Material()->FrontProperties()->Emission()->Color(), (TColorVector{0, 0, 0, 0}));
    EXPECT_TRUE(menu.AsyncTimer1->Enabled());
    EXPECT_EQ(menu.AsyncTimer1->Interval(), 5);

    EXPECT_EQ(MeshShape(*menu.Play1), FileShape(PlayHoverFile(1)));
    EXPECT_EQ(MeshShape(*menu.Quit1), FileShape(QuitHoverFile(1)));
    EXPECT_EQ(MeshShape(*menu.Option1), FileShape(QStringLiteral("Option1.3ds")));
    // Centred along X only.
    const TAffineVectorList fighter = menu.Rage->ExtractTriangles();
    float low = fighter[0].X, high = fighter[0].X;
    for (int i = 0; i < fighter.Count(); ++i)
    {
        low = std::min(low, fighter[i].X);
        high = std::max(high, fighter[i].X);
    }
    EXPECT_NEAR(low + high, 0, 1e-4);
    EXPECT_TRUE(SoundIsPlaying()) << "the menu's sound did not start";
    EXPECT_EQ(FApplication->MainForm(), &menu);
    EXPECT_EQ(CountForms("TJeu") + CountForms("TSplashScreen"), 0);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}

TEST_F(MenuTest, PointerSetsTheHoverOfTheButtonUnderIt)
{
    TMenu_Jeu& menu = CreateMenu();
    // Nothing onto Play: only Play's hover is set.
    QuitHover = true;
    MoveTo(PointOn(*menu.Play1));
    EXPECT_TRUE(PlayHover);
    EXPECT_TRUE(QuitHover) << "moving from nothing cleared the other hover";
    EXPECT_EQ(menu.LastPicked, menu.Play1);
    QuitHover = false;

    // Within Play nothing changes, not even a flag set behind its back.
    QuitHover = true;
    MoveTo(PointOn(*menu.Play1, 1));
    EXPECT_TRUE(PlayHover);
    EXPECT_TRUE(QuitHover);
    QuitHover = false;

    // Play straight onto Quit: Play stops where it is, Quit starts.
    Tick();
    Tick();
    MoveTo(PointOn(*menu.Quit1));
    EXPECT_FALSE(PlayHover);
    EXPECT_TRUE(QuitHover);
    EXPECT_EQ(menu.LastPicked, menu.Quit1);
    Tick();
    EXPECT_EQ(PlayFrame, 3);
    EXPECT_EQ(QuitFrame, 2);
    EXPECT_EQ(MeshShape(*menu.Play1), FileShape(PlayHoverFile(2)));

    // Onto the decoration: it animates nothing.
    MoveTo(PointOn(*menu.Option1));
    EXPECT_FALSE(PlayHover);
    EXPECT_FALSE(QuitHover);
    EXPECT_EQ(menu.LastPicked, menu.Option1);

    // Onto the background: both cleared.
    MoveTo(PointOn(*menu.Play1));
    QuitHover = true;
    MoveTo(Background());
    EXPECT_FALSE(PlayHover);
    EXPECT_FALSE(QuitHover);
    EXPECT_EQ(menu.LastPicked, nullptr);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}

TEST_F(MenuTest, HoverLoopsShowTheirFramesInTurnAndResumeWhereTheyStopped)
{
    TMenu_Jeu& menu = CreateMenu();
    HoverPlay();
    for (int frame = 1; frame <= 7; ++frame)
    {
        Tick();
        ASSERT_EQ(MeshShape(*menu.Play1), FileShape(PlayHoverFile(frame))) << "tick " << frame;
    }
    MoveTo(Background());
    Tick();
    EXPECT_EQ(MeshShape(*menu.Play1), FileShape(PlayHoverFile(7))) << "Play moved without the pointer";
    // Frame 7's successor, not frame 1.
    HoverPlay();
    Tick();
    EXPECT_EQ(MeshShape(*menu.Play1), FileShape(PlayHoverFile(8)));
    // On to 25, then 1 again: file 26 is never shown.
    for (int frame = 9; frame <= 25; ++frame)
        Tick();
    EXPECT_EQ(MeshShape(*menu.Play1), FileShape(PlayHoverFile(25)));
    EXPECT_EQ(PlayFrame, 1);
    Tick();
    EXPECT_EQ(PlayFrame, 2);

    // Quit loops over 1 to 11.
    MoveTo(PointOn(*menu.Quit1));
    for (int frame = 1; frame <= 11; ++frame)
    {
        Tick();
        ASSERT_EQ(MeshShape(*menu.Quit1), FileShape(QuitHoverFile(frame))) << "tick " << frame;
    }
    EXPECT_EQ(QuitFrame, 1);
    Tick();
    EXPECT_EQ(QuitFrame, 2);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}

TEST_F(MenuTest, AnyButtonOnPlayStartsTheGameAndNothingElseDoes)
{
    TMenu_Jeu& menu = CreateMenu();
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton})
    {
        Press(button, PointOn(*menu.Option1));
        Press(button, Background());
        EXPECT_FALSE(StartRequested) << "button " << button;
        Press(button, PointOn(*menu.Play1));
        EXPECT_TRUE(StartRequested) << "button " << button;
        StartRequested = false;
    }
    EXPECT_FALSE(FApplication->Terminated());
}

TEST_F(MenuTest, StartSequencePlaysOnceAndHandsOverOnce)
{
    TMenu_Jeu& menu = CreateMenu();
    const QPointer<TMenu_Jeu> alive(&menu);
    // Picked twice, and the pointer stays on Play: its hover frame is loaded
    // too, before the start frame that is shown.
    HoverPlay();
    Press(Qt::LeftButton, PointOn(*menu.Play1));
    Press(Qt::LeftButton, PointOn(*menu.Play1));
    for (int frame = 1; frame <= 25; ++frame)
    {
        Tick();
        ASSERT_EQ(MeshShape(*menu.Play1), FileShape(StartFile(frame))) << "tick " << frame;
        ASSERT_EQ(PlayFrame, frame % 25 + 1) << "the hover loop did not run alongside";
        ASSERT_EQ(Jeu, nullptr) << "handed over at tick " << frame;
        ASSERT_TRUE(SoundIsPlaying()) << "the start sound is not heard at tick " << frame;
    }
    EXPECT_TRUE(SoundStopped);

    Tick();
    ASSERT_NE(Jeu, nullptr);
    EXPECT_EQ(PlayGameFrame, 99);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_TRUE(Jeu->isVisible());
    EXPECT_EQ(SplashScreen->ProgressBar1->Position(), 25);
    // The hand-over ran the creation again: Play shows its first mesh.
    EXPECT_EQ(MeshShape(*menu.Play1), FileShape(PlayHoverFile(1)));
    const std::vector<float> shown = MeshShape(*menu.Play1);

    // Ticks that come before the menu goes load no start frame and hand over
    // no more.
    PlayHover = false;
    Tick();
    Tick();
    EXPECT_EQ(MeshShape(*menu.Play1), shown);
    EXPECT_EQ(CountForms("TJeu"), 1);
    ASSERT_TRUE(RunUntil([&] { return alive.isNull(); }, 5000)) << "the menu was not destroyed";
    RunFor(50);
    EXPECT_FALSE(FApplication->Terminated()) << "destroying the menu ended the program";
    EXPECT_TRUE(Jeu->isVisible());
    EXPECT_EQ(CountForms("TSplashScreen"), 0);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}

TEST_F(MenuTest, QuitWaitsForItsSoundThenEndsTheProgram)
{
    TMenu_Jeu& menu = CreateMenu();
    const double soundMs = WavDurationMs(TreePath("Sons/comeon.wav"));
    ASSERT_GT(soundMs, 200);
    QElapsedTimer elapsed;
    elapsed.start();
    Press(Qt::LeftButton, PointOn(*menu.Quit1));
    const double tookMs = static_cast<double>(elapsed.elapsed());
    EXPECT_GE(tookMs, soundMs - 20) << "Quit did not wait for its sound";
    EXPECT_LT(tookMs, soundMs + 1500);
    EXPECT_TRUE(FApplication->Terminated());
    EXPECT_FALSE(menu.isVisible());
}

TEST_F(MenuTest, ObjectWithoutMaterialUnderThePointerIsATypeError)
{
    TMenu_Jeu& menu = CreateMenu();
    auto* const square = new TPlainSquare(&menu);
    menu.GLScene1->Objects()->AddChild(square);
    square->Position()->SetPoint(5, 0, 0);
    // The square stands on the camera's axis: it covers the viewer's centre.
    const QPoint centre(725, 465);
    MoveTo(centre);
    ASSERT_EQ(FShownFailures.size(), 1);
    EXPECT_EQ(FShownFailures[0], QStringLiteral("Invalid class typecast"));
    Press(Qt::LeftButton, centre);
    EXPECT_EQ(FShownFailures.size(), 2);
    EXPECT_FALSE(FApplication->Terminated());
}

class MenuFailureTest : public TMenuTest
{
};

TEST_F(MenuFailureTest, MissingFirstMeshIsShownAndSkipsTheRestOfTheCreation)
{
    MakeDataTree(QStringLiteral("bin/Option1.3ds"));
    TMenu_Jeu& menu = CreateMenu(true);
    ASSERT_EQ(FShownFailures.size(), 1);
    EXPECT_TRUE(FShownFailures[0].contains("Option1.3ds")) << FShownFailures[0].toStdString();
    EXPECT_FALSE(MeshShape(*menu.Play1).empty()) << "Play is loaded before the failing mesh";
    EXPECT_TRUE(MeshShape(*menu.Quit1).empty());
    EXPECT_TRUE(MeshShape(*menu.Rage).empty());
    EXPECT_FALSE(SoundIsPlaying()) << "the sound started after the failure";
    EXPECT_TRUE(menu.isVisible());
    EXPECT_TRUE(menu.AsyncTimer1->Enabled());
}

// With the real timer: the tick that cannot load its frame ends the timer's
// thread; the window stays and Quit still ends the program.
TEST_F(MenuFailureTest, MissingFrameStopsTheAnimationForGood)
{
    MakeDataTree(QStringLiteral("Anime/Play/Play4.3ds"));
    TMenu_Jeu& menu = CreateMenu(true);
    MoveTo(PointOn(*menu.Play1));
    ASSERT_TRUE(RunUntil([&] { return menu.AsyncTimer1->ThreadFinished(); }, 5000)) << "the timer kept ticking";
    EXPECT_EQ(PlayFrame, 4);
    EXPECT_EQ(MeshShape(*menu.Play1), FileShape(PlayHoverFile(3)));
    MoveTo(PointOn(*menu.Quit1));
    RunFor(100);
    EXPECT_EQ(QuitFrame, 1) << "Quit animated after the timer stopped";
    EXPECT_TRUE(menu.isVisible());
    EXPECT_TRUE(FShownFailures.isEmpty()) << "a failed tick is not shown: " << FShownFailures.join('\n').toStdString();
    Press(Qt::LeftButton, PointOn(*menu.Quit1));
    EXPECT_TRUE(FApplication->Terminated());
}

// A frame that opens but cannot be read: the button keeps showing the frame
// before it, so that Quit can still be picked once the animation has stopped.
TEST_F(MenuFailureTest, UnreadableFrameLeavesTheButtonAsItWasAndQuitStillWorks)
{
    MakeDataTree(QStringLiteral("Anime/Quit/Quit4.3ds"));
    QFile empty(TreePath(QStringLiteral("Anime/Quit/Quit4.3ds")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    TMenu_Jeu& menu = CreateMenu(true);
    MoveTo(PointOn(*menu.Quit1));
    ASSERT_TRUE(RunUntil([&] { return menu.AsyncTimer1->ThreadFinished(); }, 5000)) << "the timer kept ticking";
    EXPECT_EQ(QuitFrame, 4);
    ASSERT_EQ(MeshShape(*menu.Quit1), FileShape(QuitHoverFile(3)));
    EXPECT_TRUE(FShownFailures.isEmpty()) << "a failed tick is not shown: " << FShownFailures.join('\n').toStdString();
    Press(Qt::LeftButton, PointOn(*menu.Quit1));
    EXPECT_TRUE(FApplication->Terminated());
}
