#include "FightTest.h"

#include "app/Loading.h"
#include "app/Sound.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace
{
const QString GameDir = QStringLiteral(STICKFIGHT_GAME_DIR);

const QStringList FighterFiles{
    "Stick.smd",  "Anime_Pause.smd", "Anime_Pas.smd",  "Anime_Arriere.smd", "Anime_Accroupi.smd", "Combo1_1.smd",
    "Combo1_2.smd", "Combo1_3.smd",  "Anime_Saut.smd", "Anime_Mur.smd",     "Anime_Touche.smd",   "Anime_Mort.smd"};

void Link(const QString& source, const QString& target, const QString& missing)
{
    if (QFileInfo(target).fileName() == missing)
        return;
    ASSERT_TRUE(QFile::link(source, target)) << target.toStdString();
}
} // namespace

void ResetFightState()
{
    JumpRequested1 = JumpRequested2 = false;
    Airborne1 = Airborne2 = false;
    JumpIndex1 = JumpIndex2 = 1;
    Blocked = false;
    Hit1 = Hit2 = false;
    Dead1 = Dead2 = false;
    WallRects = {};
    BodyRects = {};
    JumpBase = {};
}

void TFightTest::SetUp()
{
    TApplicationTest::SetUp();
    ResetFightState();
    FStartDirectory = QDir::currentPath();
    SplashScreen = nullptr;
    Jeu = nullptr;
}

void TFightTest::TearDown()
{
    TApplicationTest::TearDown();
    SplashScreen = nullptr;
    Jeu = nullptr;
    ShutdownSound();
    QDir::setCurrent(FStartDirectory);
    FTree.reset();
}

void TFightTest::MakeDataTree(const QString& missing)
{
    FTree = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(FTree->isValid());
    const QDir root(FTree->path());
    for (const char* folder : {"away/start", "bin", "Combo", "Sons"})
        ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
    Link(GameDir + "/bin/Miniville.3ds", TreePath("away/start/Miniville.3ds"), missing);
    // The menu's first meshes, which the hand-over loads again.
    for (const char* file : {"Option1.3ds", "Stick.3ds"})
        Link(GameDir + "/bin/" + file, TreePath("away/start/") + file, missing);
    Link(GameDir + "/Anime", TreePath("away/Anime"), missing);
    for (const QString& file : FighterFiles)
        Link(GameDir + "/Combo/" + file, TreePath("Combo/" + file), missing);
    Link(GameDir + "/Sons/amamaison.wav", TreePath("Sons/amamaison.wav"), missing);
    FApplication->SetExeName(TreePath("bin/stickfight"));
    ASSERT_TRUE(QDir::setCurrent(TreePath("away/start")));
}

QString TFightTest::TreePath(const QString& relative) const
{
    return QDir(FTree->path()).filePath(relative);
}

TJeu& TFightTest::CreateFight()
{
    SplashScreen = new TSplashScreen(FApplication.get());
    SplashScreen->Initialize();
    FApplication->CreateForm(Jeu);
    FFight = Jeu;
    FFight->AsyncTimer1->SetEnabled(false);
    // An outside time for the frame clock; the first step takes up the time
    // the loading took, without the scene.
    TGLCadencer* const clock = FFight->GLCadencer1;
    clock->SetMode(cmManual);
    clock->SetTimeReference(cmExternal);
    clock->SetScene(nullptr);
    FClockTime = 0;
    clock->SetCurrentTime(FClockTime);
    clock->Progress();
    clock->SetScene(FFight->GLScene1);
    return *FFight;
}

void TFightTest::Tick()
{
    FFight->AsyncTimer1Timer(FFight->AsyncTimer1);
}

QChar TFightTest::Press(const char16_t key)
{
    QChar character(key);
    FFight->FormKeyPress(FFight, character);
    return character;
}

void TFightTest::StepClock(const double ms)
{
    FClockTime += ms / 1000.0;
    FFight->GLCadencer1->SetCurrentTime(FClockTime);
    FFight->GLCadencer1->Progress();
}

bool TFightTest::StepUntil(const std::function<bool()>& done, const double limitMs)
{
    for (double elapsed = 0; !done() && elapsed < limitMs; elapsed += 5)
        StepClock(5);
    return done();
}

bool TFightTest::StepUntilPlaying(const TGLActor& actor, const QString& name)
{
    const TActorAnimation* const animation = actor.Animations()->FindAnimation(name);
    if (animation == nullptr)
        return false;
    return StepUntil([&] {
        return actor.PendingAnimation() == nullptr && actor.StartFrame() == animation->StartFrame() &&
               actor.EndFrame() == animation->EndFrame();
    });
}

void TFightTest::Place(TGLBaseSceneObject& object, const float x, const float y)
{
    object.Position()->SetComponent(0, x);
    object.Position()->SetComponent(1, y);
}
