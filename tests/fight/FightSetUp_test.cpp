// The fight window's layout and set-up: what it loads, from where, in which
// order, and what a file that cannot be read leaves behind.

#include "FightTest.h"

#include "app/HandOver.h"
#include "app/Loading.h"
#include "app/Sound.h"
#include "menu/Inter.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>

#include <vector>

namespace
{
// The files the set-up reads, in its order: the town, then each fighter's
// body and eleven animations.
QStringList LoadOrder()
{
    const QStringList fighter{"Stick.smd",      "Anime_Pause.smd",  "Anime_Pas.smd",  "Anime_Arriere.smd",
                              "Anime_Accroupi.smd", "Combo1_1.smd", "Combo1_2.smd",   "Combo1_3.smd",
                              "Anime_Saut.smd", "Anime_Mur.smd",    "Anime_Touche.smd", "Anime_Mort.smd"};
    return QStringList{"Miniville.3ds"} + fighter + fighter;
}

QStringList AnimationNames(const TGLActor& actor)
{
    QStringList names;
    for (int i = 0; i < actor.Animations()->Count(); ++i)
        names << (*actor.Animations())[i].Name();
    return names;
}

QStringList SceneOrder(const TGLScene& scene)
{
    QStringList names;
    for (int i = 0; i < scene.Objects()->Count(); ++i)
        names << scene.Objects()->Child(i)->objectName();
    return names;
}
} // namespace

class FightSetUpTest : public TFightTest
{
};

TEST_F(FightSetUpTest, LayoutHoldsTheTownFightersTimerAndHandlers)
{
    MakeDataTree();
    TJeu& fight = CreateFight();
    const QStringList expectedOrder{"GLLightSource1", "GLSkyBox1", "GLDummyCube1", "GLCube1",    "GLCube2",
                                    "GLCube3",        "GLCube4",   "GLCube5",      "GLFreeForm3", "GLActor1",
                                    "GLActor2",       "GLHUDText1", "GLHUDText2"};
    EXPECT_EQ(SceneOrder(*fight.GLScene1), expectedOrder);

    EXPECT_EQ(fight.GLFreeForm3->Position()->AsAffineVector(), (TAffineVector{0, -25, 0}));
    EXPECT_EQ(fight.GLFreeForm3->Scale()->AsAffineVector(), (TAffineVector{200, 200, 200}));
    EXPECT_GT(fight.GLFreeForm3->MeshObjects().Count(), 0);

    TGLActor& actor1 = *fight.GLActor1;
    TGLActor& actor2 = *fight.GLActor2;
    EXPECT_EQ(actor1.Position()->AsAffineVector(), (TAffineVector{1, -0.3f, 0}));
    EXPECT_EQ(actor2.Position()->AsAffineVector(), (TAffineVector{-1, -0.3f, 0}));
    EXPECT_EQ(actor1.Scale()->AsAffineVector(), (TAffineVector{0.02f, 0.02f, 0.02f}));
    EXPECT_EQ(actor1.Material()->FrontProperties()->Diffuse()->Color(), (TColorVector{0, 0, 0, 0}));
    EXPECT_EQ(actor2.Material()->FrontProperties()->Diffuse()->Color(), (TColorVector{1, 0, 0, 0}));
    EXPECT_EQ(actor1.Hint(), "0");
    EXPECT_EQ(actor1.AnimationMode(), aamLoop);
    EXPECT_EQ(actor2.AnimationMode(), aamLoop);
    EXPECT_EQ(actor1.Interval(), 30);
    EXPECT_EQ(actor2.Interval(), 50);
    EXPECT_EQ(actor1.Options(), TGLActorOptions());
    EXPECT_EQ(actor2.Options(), TGLActorOptions(aoSkeletonNormalizeNormals));
    EXPECT_EQ(fight.GLAnimationControler1->Actor(), &actor1);
    EXPECT_EQ(fight.GLAnimationControler2->Actor(), &actor2);
    EXPECT_TRUE(fight.GLAnimationControler1->AnimationName().isEmpty());

    TAsyncTimer& timer = *fight.AsyncTimer1;
    EXPECT_EQ(timer.Interval(), 30);
    EXPECT_EQ(timer.ThreadPriority(), tpNormal);

    // Every handler is bound: each one, called through its event, acts.
    fight.SetCaption(QString());
    timer.OnTimer()(&timer);
    EXPECT_EQ(fight.Caption(), "0.0 FPS");
    QChar key(u'w');
    fight.OnKeyPress()(&fight, key);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Saut");
    actor1.OnEndFrameReached()(&actor1);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pause");
    key = u'i';
    fight.OnKeyPress()(&fight, key);
    actor2.OnEndFrameReached()(&actor2);
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Pause");
    fight.GLSceneViewer1->OnMouseMove()(fight.GLSceneViewer1, ssLeft, -90, 0);
    EXPECT_NEAR(fight.GLCamera1->Position()->X(), 3, 1e-4);
    ASSERT_TRUE(fight.GLCadencer1->OnProgress());
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}

TEST_F(FightSetUpTest, SetUpLoadsEveryFileInOrderAndLeavesBothFightersIdle)
{
    MakeDataTree();
    // Each advance of the bar records what has been loaded by then. The bar's
    // top is raised so that the last advance shows as well.
    struct TSnapshot
    {
        int Position;
        bool Town;
        int Animations1;
        int Animations2;
    };
    std::vector<TSnapshot> snapshots;
    SplashScreen = new TSplashScreen(FApplication.get());
    SplashScreen->Initialize();
    SplashScreen->ProgressBar1->SetMax(100);
    QProgressBar* const bar = SplashScreen->ProgressBar1->findChild<QProgressBar*>();
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        snapshots.push_back({value, Jeu->GLFreeForm3->MeshObjects().Count() > 0, Jeu->GLActor1->Animations()->Count(),
                             Jeu->GLActor2->Animations()->Count()});
    });
    FApplication->CreateForm(Jeu);
    TJeu& fight = *Jeu;
    ASSERT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();

    ASSERT_EQ(snapshots.size(), 25u);
    EXPECT_EQ(snapshots[0].Position, 2);
    EXPECT_TRUE(snapshots[0].Town);
    EXPECT_EQ(snapshots[0].Animations1, 0);
    for (int i = 1; i <= 12; ++i)
    {
        EXPECT_EQ(snapshots[i].Position, 2 + i);
        EXPECT_EQ(snapshots[i].Animations1, i) << "advance " << i + 1;
        EXPECT_EQ(snapshots[i].Animations2, 0) << "advance " << i + 1;
        EXPECT_EQ(snapshots[i + 12].Animations1, 12) << "advance " << i + 13;
        EXPECT_EQ(snapshots[i + 12].Animations2, i) << "advance " << i + 13;
    }
    EXPECT_EQ(snapshots[24].Position, 26);

    // Each fighter holds the body's frame then the animations' frames in
    // loading order: idle 1-7, walk 8-31, walk back 32-47, crouch 48-66,
    // hits 67-81, 82-106, 107-138, jump 139-170, bounce 171-180, hit taken
    // 181-190, death 191-220.
    const QStringList expectedNames{"Stick",    "Anime_Pause", "Anime_Pas",  "Anime_Arriere", "Anime_Accroupi",
                                    "Combo1_1", "Combo1_2",    "Combo1_3",   "Anime_Saut",    "Anime_Mur",
                                    "Anime_Touche", "Anime_Mort"};
    for (TGLActor* actor : {fight.GLActor1, fight.GLActor2})
    {
        EXPECT_EQ(AnimationNames(*actor), expectedNames);
        EXPECT_EQ(actor->Skeleton().Frames().Count(), 221);
        EXPECT_EQ(actor->Animations()->FindAnimation("Anime_Accroupi")->StartFrame(), 48);
        EXPECT_EQ(actor->Animations()->FindAnimation("Anime_Mort")->EndFrame(), 220);
        EXPECT_EQ(actor->StartFrame(), 1);
        EXPECT_EQ(actor->EndFrame(), 7);
        EXPECT_EQ(actor->CurrentFrame(), 1);
        EXPECT_EQ(actor->Reference(), aarSkeleton);
        EXPECT_FALSE(actor->OverlaySkeleton());
    }
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pause");
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Pause");
    EXPECT_EQ(fight.Vie1->Position(), 100);
    EXPECT_EQ(fight.Vie2->Position(), 100);
    EXPECT_FALSE(JumpRequested1 || JumpRequested2 || Airborne1 || Airborne2 || Blocked || Hit1 || Hit2 || Dead1 ||
                 Dead2);
    EXPECT_EQ(JumpIndex1, 1);
    EXPECT_EQ(JumpIndex2, 1);
    // The arena of the town: the floor below the fighters and both low walls.
    EXPECT_TRUE(phys::InRects(WallRects, 0, -0.5, 0));
    EXPECT_TRUE(phys::InRects(WallRects, 9.5, 0.5, 0));
    EXPECT_TRUE(phys::InRects(WallRects, -9.5, 0.5, 0));
    EXPECT_FALSE(phys::InRects(WallRects, 1, -0.3f, 0));
    EXPECT_EQ(fight.BorderStyle(), bsNone);
    EXPECT_EQ(fight.WindowState(), wsMaximized);
    EXPECT_TRUE(SoundIsPlaying()) << "the arena music";
}

TEST_F(FightSetUpTest, WindowedFightKeepsItsFrameAndDesignedSize)
{
    MakeDataTree();
    FApplication->SetWindowed(true);
    TJeu& windowed = CreateFight();
    EXPECT_EQ(windowed.BorderStyle(), bsSizeable);
    EXPECT_EQ(windowed.WindowState(), wsNormal);
    windowed.Show();
    EXPECT_FALSE(windowed.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(RunUntil([&] { return windowed.geometry() == QRect(0, 0, 1436, 864); }));
    EXPECT_TRUE(windowed.GLActor2->Animations()->Count() > 0) << "the set-up went on to the fighters";
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
    // Without the option: SetUpLoadsEveryFileInOrderAndLeavesBothFightersIdle.
}

TEST_F(FightSetUpTest, FilesComeFromTheStartUpDirectoryAndFromComboBesideTheProgram)
{
    MakeDataTree();
    // Decoys where the files must not be looked for: an unreadable body in the
    // start-up directory, and a town beside the fighters that is not a model.
    QFile decoy(TreePath("away/start/Stick.smd"));
    ASSERT_TRUE(decoy.open(QIODevice::WriteOnly));
    decoy.write("not a model\n");
    decoy.close();
    QFile notTown(TreePath("Combo/Miniville.3ds"));
    ASSERT_TRUE(notTown.open(QIODevice::WriteOnly));
    notTown.write("not a model\n");
    notTown.close();

    const TJeu& fight = CreateFight();
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
    EXPECT_GT(fight.GLFreeForm3->MeshObjects().Count(), 0) << "the town, not the decoy";
    EXPECT_EQ(SplashScreen->ProgressBar1->Position(), 25);
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(TreePath("Combo")).canonicalPath());
}

TEST_F(FightSetUpTest, StartedFromAnotherDirectoryTheTownIsMissingAndNothingElseLoads)
{
    MakeDataTree();
    ASSERT_TRUE(QDir::setCurrent(TreePath("bin")));
    TJeu& fight = CreateFight();
    ASSERT_EQ(FShownFailures.size(), 1);
    EXPECT_TRUE(FShownFailures[0].contains("\"Miniville.3ds\"")) << FShownFailures[0].toStdString();
    EXPECT_EQ(SplashScreen->ProgressBar1->Position(), 1);
    EXPECT_EQ(fight.GLActor1->Animations()->Count(), 0);
    EXPECT_EQ(fight.Vie1->Position(), 100);
}

// Each of the 25 files in turn cannot be read when its turn comes: the set-up
// stops there with the file's name shown, the window is there with what was
// loaded, and the fight runs on without a failure.
TEST_F(FightSetUpTest, EachFileThatCannotBeReadStopsTheSetUpThereAndTheFightGoesOn)
{
    const QStringList order = LoadOrder();
    for (int load = 0; load < order.size(); ++load)
    {
        const QString& file = order[load];
        SCOPED_TRACE(QStringLiteral("load %1, %2").arg(load + 1).arg(file).toStdString());
        ResetFightState();
        MakeDataTree(load == 0 ? file : QString());
        SplashScreen = new TSplashScreen(FApplication.get());
        SplashScreen->Initialize();
        // The file goes just before its load: the bar stands at load + 1.
        QProgressBar* const bar = SplashScreen->ProgressBar1->findChild<QProgressBar*>();
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
            if (value == load + 1)
                QFile::remove(TreePath("Combo/" + file));
        });
        FShownFailures.clear();
        FApplication->CreateForm(Jeu);
        ASSERT_NE(Jeu, nullptr);
        FFight = Jeu;
        ASSERT_EQ(FShownFailures.size(), 1);
        EXPECT_TRUE(FShownFailures[0].contains('"' + file + '"')) << FShownFailures[0].toStdString();
        EXPECT_EQ(SplashScreen->ProgressBar1->Position(), load + 1);
        // Later steps are not done: no names, no arena, no music.
        EXPECT_EQ(Jeu->BaseAnimation2(), QString());
        EXPECT_EQ(WallRects[1].First, 0.0);
        EXPECT_FALSE(SoundIsPlaying());

        // Keys and ticks, then the window on screen with its frame clock
        // running in real time, so that the actors play what they hold.
        Jeu->AsyncTimer1->SetEnabled(false);
        for (const char16_t key : u"adswelkjio s k+- ")
        {
            Press(key);
            Tick();
        }
        Jeu->Show();
        TGLSceneBuffer* const buffer = Jeu->GLSceneViewer1->Buffer();
        EXPECT_TRUE(RunUntil([&] { return buffer->FrameCount() > 2; }, 5000));
        EXPECT_EQ(FShownFailures.size(), 1) << FShownFailures.join('\n').toStdString();

        delete Jeu;
        Jeu = nullptr;
        delete SplashScreen;
        SplashScreen = nullptr;
        QDir::setCurrent(FStartDirectory);
    }
}

// Inside the real hand-over from the menu: the failure is shown, and the
// fight window comes up while the loading window goes.
TEST_F(FightSetUpTest, HandOverGoesOnWhenAFighterFileIsMissing)
{
    MakeDataTree("Anime_Saut.smd");
    TMenu_Jeu* menu = nullptr;
    FApplication->CreateForm(menu);
    menu->Show();
    HandOver(*menu, [this] {
        FApplication->CreateForm(Jeu);
        return Jeu;
    });
    QPointer<TSplashScreen> loading(SplashScreen);
    ASSERT_TRUE(RunUntil([&] { return loading.isNull(); }, 5000));
    ASSERT_EQ(FShownFailures.size(), 1);
    EXPECT_TRUE(FShownFailures[0].contains("\"Anime_Saut.smd\"")) << FShownFailures[0].toStdString();
    ASSERT_NE(Jeu, nullptr);
    EXPECT_TRUE(Jeu->isVisible());
    EXPECT_FALSE(FApplication->Terminated());
}
