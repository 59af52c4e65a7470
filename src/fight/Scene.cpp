#include "Scene.h"

#include "Application.h"
#include "Loading.h"
#include "Sound.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <array>

TJeu* Jeu = nullptr;

bool JumpRequested1 = false;
bool JumpRequested2 = false;
bool Airborne1 = false;
bool Airborne2 = false;
int JumpIndex1 = 1;
int JumpIndex2 = 1;
bool Blocked = false;
bool Hit1 = false;
bool Hit2 = false;
bool Dead1 = false;
bool Dead2 = false;
phys::TRectTable WallRects;
phys::TRectTable BodyRects;
phys::TPointTable JumpBase;

namespace
{
const QString AnimePause = QStringLiteral("Anime_Pause");
const QString AnimePas = QStringLiteral("Anime_Pas");
const QString AnimeArriere = QStringLiteral("Anime_Arriere");
const QString AnimeAccroupi = QStringLiteral("Anime_Accroupi");
const QString Combo1_1 = QStringLiteral("Combo1_1");
const QString Combo1_2 = QStringLiteral("Combo1_2");
const QString Combo1_3 = QStringLiteral("Combo1_3");
const QString AnimeSaut = QStringLiteral("Anime_Saut");
const QString AnimeMur = QStringLiteral("Anime_Mur");
const QString AnimeTouche = QStringLiteral("Anime_Touche");
const QString AnimeMort = QStringLiteral("Anime_Mort");

// In loading order: each file's frames follow the previous ones, which fixes
// the absolute frames the rules below test.
const std::array<QString, 11> AnimationFiles{
    QStringLiteral("Anime_Pause.smd"), QStringLiteral("Anime_Pas.smd"),    QStringLiteral("Anime_Arriere.smd"),
    QStringLiteral("Anime_Accroupi.smd"), QStringLiteral("Combo1_1.smd"), QStringLiteral("Combo1_2.smd"),
    QStringLiteral("Combo1_3.smd"),    QStringLiteral("Anime_Saut.smd"),    QStringLiteral("Anime_Mur.smd"),
    QStringLiteral("Anime_Touche.smd"), QStringLiteral("Anime_Mort.smd")};

// Absolute frames of the walk back's push and the crouch hold.
constexpr int WalkBackPushAfter = 35;
constexpr int WalkBackPushBefore = 45;
constexpr int CrouchHoldFrame = 55;
constexpr int CrouchHoldInterval = 500;
constexpr int FrameInterval = 50;

constexpr double StandingY = -0.3;
constexpr double JumpSpeed = 6.0;
// A fighter coming down lands once the curve is this low.
constexpr double LandingY = -0.2;
constexpr double ArenaLeft = -9.12;
constexpr double ArenaRight = 9.1;
constexpr qint64 HitDamage = 10;

double X(const TGLBaseSceneObject& object)
{
    return object.Position()->X();
}

double Y(const TGLBaseSceneObject& object)
{
    return object.Position()->Y();
}

// Positions are singles: the value is rounded as it is stored.
void SetX(TGLBaseSceneObject& object, const double value)
{
    object.Position()->SetComponent(0, static_cast<float>(value));
}

void SetY(TGLBaseSceneObject& object, const double value)
{
    object.Position()->SetComponent(1, static_cast<float>(value));
}

void MoveX(TGLBaseSceneObject& object, const double by)
{
    SetX(object, X(object) + by);
}

void Play(TGLActor& actor, QString& baseAnimation, const QString& name)
{
    baseAnimation = name;
    actor.SwitchAnimation(baseAnimation, true);
}

bool IsComboHit(const QString& name)
{
    return name == Combo1_1 || name == Combo1_2 || name == Combo1_3;
}

bool WallTest(const TGLActor& actor)
{
    return phys::InRects(WallRects, X(actor), Y(actor), 0);
}

// The next hit starts as far into its animation as the previous one had run.
void ChainCombo(TGLActor& actor, QString& baseAnimation, const QString& name)
{
    const int k = actor.CurrentFrame() - actor.StartFrame();
    baseAnimation = name;
    actor.SwitchAnimation(baseAnimation, false);
    actor.SetCurrentFrame(actor.StartFrame() + k);
}

// Each repetition of the key holds the crouch on one frame for half a second.
void Crouch(TGLActor& actor, QString& baseAnimation)
{
    if (baseAnimation != AnimeAccroupi)
    {
        Play(actor, baseAnimation, AnimeAccroupi);
        return;
    }
    actor.SetCurrentFrame(CrouchHoldFrame);
    actor.SetInterval(CrouchHoldInterval);
}

void AdvanceLoadingBar()
{
    // Without a loading window (the window made on its own) nothing shows progress.
    if (SplashScreen == nullptr)
        return;
    TProgressBar* const bar = SplashScreen->ProgressBar1;
    bar->SetPosition(bar->Position() + 1);
}

QString ProgramDirectory()
{
    return QFileInfo(Application->ExeName()).absolutePath() + QLatin1Char('/');
}

// A fighter as the tick's movement rules see it.
struct TFighter
{
    TGLActor& Actor;
    const QString& BaseAnimation;
    bool& JumpRequested;
    bool& Airborne;
    // -1 for fighter 1, who faces -x; +1 for fighter 2.
    double Forward;
};

void MoveByState(const TFighter& fighter)
{
    TGLActor& actor = fighter.Actor;
    const int cf = actor.CurrentFrame();
    const int sf = actor.StartFrame();
    // Restores the speed after a crouch hold, and replaces the layout's 30.
    if (cf != CrouchHoldFrame && actor.Interval() != FrameInterval)
        actor.SetInterval(FrameInterval);
    const QString& name = fighter.BaseAnimation;
    const double forward = fighter.Forward;
    if (name == AnimePas)
        MoveX(actor, forward * 0.015);
    if (name == AnimeArriere && WalkBackPushAfter < cf && cf < WalkBackPushBefore)
        MoveX(actor, -forward * 0.05);
    if (IsComboHit(name) && cf < sf + 5)
        MoveX(actor, forward * 0.03);
    if (name == Combo1_3 && sf + 28 < cf && cf < sf + 30)
        MoveX(actor, forward * 0.08);
    if (fighter.JumpRequested && name == AnimeSaut && cf > sf + 6)
    {
        fighter.Airborne = true;
        fighter.JumpRequested = false;
    }
}

// Only at standing height: a single -0.3 lies below the double -0.3.
void KeepInArena(TGLActor& actor)
{
    if (X(actor) <= ArenaLeft && Y(actor) <= StandingY)
        SetX(actor, ArenaLeft);
    if (X(actor) >= ArenaRight && Y(actor) <= StandingY)
        SetX(actor, ArenaRight);
}

// The first entry is the start height itself, so it cannot mean a landing;
// the index moves on in the landing tick too, so a later jump starts from
// entry 2.
void FollowJumpCurve(TGLActor& actor, bool& airborne, int& jumpIndex)
{
    if (!airborne)
        return;
    const phys::TPointTable curve = phys::JumpCurve(JumpBase, JumpSpeed, StandingY);
    SetY(actor, curve[jumpIndex].Y);
    if (Y(actor) <= LandingY && jumpIndex != 1)
    {
        jumpIndex = 1;
        airborne = false;
        SetY(actor, StandingY);
    }
    ++jumpIndex;
}

void WriteDebugText(QString& text, const TGLActor& actor, const QString& label, const QString& baseAnimation,
                    const QChar decimalPoint)
{
    text += QLatin1String("Position X : ");
    AppendGeneral(text, X(actor), decimalPoint);
    text += QLatin1String("\r\nPosition Y : ");
    AppendGeneral(text, Y(actor), decimalPoint);
    text += QLatin1String("\r\nCurrentFrame : ");
    AppendGeneral(text, actor.CurrentFrame(), decimalPoint);
    text += QLatin1String("\r\n");
    text += label;
    text += baseAnimation;
}
} // namespace

TJeu::TJeu(QObject* AOwner)
    : TForm(AOwner), FDecimalPoint(QLocale().decimalPoint().front())
{
}

void TJeu::FormCreate(QObject*)
{
    Vie1->SetPosition(Vie1->Max());
    Vie2->SetPosition(Vie2->Max());
    // The town comes from the start-up directory, everything else from the
    // fighters' directory beside the program's.
    GLFreeForm3->LoadFromFile(QStringLiteral("Miniville.3ds"));
    AdvanceLoadingBar();
    QDir::setCurrent(ProgramDirectory() + QStringLiteral("../Combo"));
    // A player who asked for a window keeps it; F11 still gives full screen.
    if (!Application->Windowed())
    {
        SetBorderStyle(bsNone);
        SetWindowState(wsMaximized);
    }
    LoadFighter(*GLActor1, baseAnimation1, Dead1);
    LoadFighter(*GLActor2, baseAnimation2, Dead2);
    WallRects = phys::ArenaRects(u"ville");
    PlaySoundW(u"../Sons/amamaison.wav", HInstance, SND_ASYNC);
}

void TJeu::LoadFighter(TGLActor& actor, QString& baseAnimation, bool& dead)
{
    actor.LoadFromFile(QStringLiteral("Stick.smd"));
    AdvanceLoadingBar();
    for (const QString& file : AnimationFiles)
    {
        actor.AddFromFile(file);
        AdvanceLoadingBar();
    }
    actor.SetOverlaySkeleton(false);
    baseAnimation = AnimePause;
    actor.SwitchAnimation(baseAnimation, false);
    dead = false;
}

void TJeu::FormKeyPress(QObject*, QChar& Key)
{
    HandleViewKey(Key);
    HandleFighter1Key(Key);
    HandleFighter2Key(Key);
    // Nothing else of the window sees a key.
    Key = QChar(0);
}

void TJeu::HandleViewKey(const QChar key)
{
    switch (key.unicode())
    {
    case u' ':
    {
        // Both follow fighter 1's setting.
        const bool overlay = !GLActor1->OverlaySkeleton();
        GLActor1->SetOverlaySkeleton(overlay);
        GLActor2->SetOverlaySkeleton(overlay);
        break;
    }
    case u'+':
        GLCamera1->ScaleDistanceToTarget(0.9f);
        break;
    case u'-':
        GLCamera1->ScaleDistanceToTarget(1.1f);
        break;
    case u'p':
        Application->Terminate();
        break;
    default:
        break;
    }
}

// Fighter 1 may start walking in the air; fighter 2 may not.
void TJeu::HandleFighter1Key(const QChar key)
{
    switch (key.unicode())
    {
    case u'a':
        if ((baseAnimation1 == AnimePause || baseAnimation1 == AnimeSaut) && !Blocked && !WallTest(*GLActor1))
            Play(*GLActor1, baseAnimation1, AnimePas);
        break;
    case u'd':
        if (baseAnimation1 == AnimePause && !WallTest(*GLActor1))
            Play(*GLActor1, baseAnimation1, AnimeArriere);
        break;
    case u's':
        Crouch(*GLActor1, baseAnimation1);
        break;
    case u'w':
        if (baseAnimation1 == AnimePause)
        {
            Play(*GLActor1, baseAnimation1, AnimeSaut);
            JumpRequested1 = true;
        }
        break;
    case u'e':
        HandleComboKey(*GLActor1, baseAnimation1, Hit2, true);
        break;
    default:
        break;
    }
}

// Fighter 2 may jump again in the air, and its third hit waits for fighter 1
// to be ten frames into its own animation.
void TJeu::HandleFighter2Key(const QChar key)
{
    switch (key.unicode())
    {
    case u'l':
        if (baseAnimation2 == AnimePause && !Blocked && !WallTest(*GLActor2))
            Play(*GLActor2, baseAnimation2, AnimePas);
        break;
    case u'j':
        if (baseAnimation2 == AnimePause && !WallTest(*GLActor2))
            Play(*GLActor2, baseAnimation2, AnimeArriere);
        break;
    case u'k':
        Crouch(*GLActor2, baseAnimation2);
        break;
    case u'i':
        if (baseAnimation2 == AnimePause || baseAnimation2 == AnimeSaut)
        {
            Play(*GLActor2, baseAnimation2, AnimeSaut);
            JumpRequested2 = true;
        }
        break;
    case u'o':
        HandleComboKey(*GLActor2, baseAnimation2, Hit1,
                       GLActor1->CurrentFrame() >= GLActor1->StartFrame() + 10);
        break;
    default:
        break;
    }
}

// The hit is decided now and only stored; the tick applies it.
void TJeu::HandleComboKey(TGLActor& actor, QString& baseAnimation, bool& opponentHit, const bool thirdHitAllowed)
{
    const int cf = actor.CurrentFrame();
    const int sf = actor.StartFrame();
    if (baseAnimation == AnimePause)
    {
        Play(actor, baseAnimation, Combo1_1);
        opponentHit = BodyTest(0.8);
    }
    else if (baseAnimation == Combo1_1)
    {
        if (cf < sf + 10)
        {
            ChainCombo(actor, baseAnimation, Combo1_2);
            opponentHit = BodyTest(1.0);
        }
    }
    else if (baseAnimation == Combo1_2)
    {
        if (cf < sf + 22 && thirdHitAllowed)
        {
            ChainCombo(actor, baseAnimation, Combo1_3);
            opponentHit = BodyTest(1.0);
        }
    }
}

// Whichever fighter attacks, the test is fighter 1's place against fighter 2's body.
bool TJeu::BodyTest(const double margin) const
{
    return phys::InRects(BodyRects, X(*GLActor1), Y(*GLActor1), margin);
}

void TJeu::GLSceneViewer1MouseMove(QObject*, const TShiftState Shift, const int X, const int Y)
{
    if (Shift.testFlag(ssLeft))
        GLCamera1->OrbitTarget(static_cast<float>(LastMouseY - Y), static_cast<float>(LastMouseX - X));
    LastMouseX = X;
    LastMouseY = Y;
}

void TJeu::AsyncTimer1Timer(QObject*)
{
    ShowFrameRate();
    MoveByState(TFighter{*GLActor1, baseAnimation1, JumpRequested1, Airborne1, -1.0});
    MoveByState(TFighter{*GLActor2, baseAnimation2, JumpRequested2, Airborne2, +1.0});
    DriftReactions();
    BounceWalkers();
    ApplyDamage();
    ShowDebugTexts();
    RebuildBodyRect();
    KeepInArena(*GLActor1);
    KeepInArena(*GLActor2);
    FollowJumpCurve(*GLActor1, Airborne1, JumpIndex1);
    Blocked = phys::InRects(BodyRects, X(*GLActor1), Y(*GLActor1), 0.6);
    FollowJumpCurve(*GLActor2, Airborne2, JumpIndex2);
    // Within one tick the death comes after the hit reaction, so a hit that
    // empties a gauge shows the death.
    ReactToHits();
    PlayDeaths();
    // At standing height fighter 1 is never inside with no margin, so a
    // stored hit is applied in exactly one tick.
    const bool inside = BodyTest(0);
    Hit2 = inside;
    Hit1 = inside;
    CentreCamera();
}

// Each tick shows the rate measured since the previous one.
void TJeu::ShowFrameRate()
{
    QString& caption = FCaption.Begin();
    AppendFixed1(caption, GLSceneViewer1->GetFrameRate(), FDecimalPoint);
    caption += QLatin1String(" FPS");
    SetCaption(caption);
    GLSceneViewer1->ResetFrameRate();
}

// Both reactions push the fighter backwards.
void TJeu::DriftReactions()
{
    if (baseAnimation1 == AnimeTouche)
        MoveX(*GLActor1, 0.013);
    if (baseAnimation2 == AnimeTouche)
        MoveX(*GLActor2, -0.013);
    if (baseAnimation1 == AnimeMur)
        MoveX(*GLActor1, 0.01);
    if (baseAnimation2 == AnimeMur)
        MoveX(*GLActor2, -0.01);
}

// Both actors play the bounce, but only the walker's state changes name.
void TJeu::BounceWalkers()
{
    if (Blocked && baseAnimation1 == AnimePas)
    {
        baseAnimation1 = AnimeMur;
        GLActor1->SwitchAnimation(baseAnimation1, true);
        GLActor2->SwitchAnimation(baseAnimation1, true);
    }
    if (Blocked && baseAnimation2 == AnimePas)
    {
        baseAnimation2 = AnimeMur;
        GLActor1->SwitchAnimation(baseAnimation2, true);
        GLActor2->SwitchAnimation(baseAnimation2, true);
    }
}

// A gauge ignores a position below its minimum, so an empty one stays at 0.
void TJeu::ApplyDamage()
{
    if (Hit2)
        Vie2->SetPosition(Vie2->Position() - HitDamage);
    if (Hit1)
        Vie1->SetPosition(Vie1->Position() - HitDamage);
}

void TJeu::ShowDebugTexts()
{
    QString& text1 = FText1.Begin();
    WriteDebugText(text1, *GLActor2, QStringLiteral("baseAnimation2 : "), baseAnimation2, FDecimalPoint);
    GLHUDText1->SetText(text1);
    QString& text2 = FText2.Begin();
    WriteDebugText(text2, *GLActor1, QStringLiteral("baseAnimation1 : "), baseAnimation1, FDecimalPoint);
    GLHUDText2->SetText(text2);
}

// Fighter 2's body is a vertical segment at its x; entry 3 stays free and
// ends the list.
void TJeu::RebuildBodyRect()
{
    constexpr phys::TRange free{phys::FreeMark, phys::FreeMark};
    BodyRects[1] = free;
    BodyRects[2] = free;
    BodyRects[3] = free;
    const double x2 = X(*GLActor2);
    phys::AddRect(BodyRects, x2, x2, StandingY, Y(*GLActor2) + 1.0);
}

void TJeu::ReactToHits()
{
    if (Hit2)
        Play(*GLActor2, baseAnimation2, AnimeTouche);
    if (Hit1)
        Play(*GLActor1, baseAnimation1, AnimeTouche);
}

// A death plays once; the bout itself never ends.
void TJeu::PlayDeaths()
{
    if (Vie1->Position() == 0 && !Dead1)
    {
        Play(*GLActor1, baseAnimation1, AnimeMort);
        Dead1 = true;
    }
    if (Vie2->Position() == 0 && !Dead2)
    {
        Play(*GLActor2, baseAnimation2, AnimeMort);
        Dead2 = true;
    }
}

// The camera keeps looking at the dummy cube, so it follows the midpoint sideways.
void TJeu::CentreCamera()
{
    const double middle = (X(*GLActor1) + X(*GLActor2)) / 2;
    SetX(*GLDummyCube1, middle);
    SetX(*GLCamera1, middle);
}

void TJeu::GLCadencer1Progress(QObject*, double, double)
{
    GLScene1->NotifyChanged(nullptr);
}

void TJeu::GLActor1EndFrameReached(QObject*)
{
    Play(*GLActor1, baseAnimation1, AnimePause);
}

void TJeu::GLActor2EndFrameReached(QObject*)
{
    Play(*GLActor2, baseAnimation2, AnimePause);
}

void TJeu::SystemCloseRequested()
{
    Application->Terminate();
}
