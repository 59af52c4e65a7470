// Two pads playing a real fight: the same state changes as the same keys
// typed on the keyboard, pads plugged in and unplugged mid-fight, and a menu
// that pads cannot disturb.

#include "FightTest.h"

#include "app/Gamepads.h"
#include "menu/Inter.h"

#include "VirtualPad.h"

#include <QDir>
#include <QGuiApplication>
#include <QWindow>

#include <array>
#include <optional>

namespace
{
constexpr TKeyRepeatTiming TestTiming{300, 40};
constexpr int StepMs = 10;
constexpr int TickMs = 30;

// A control held from `FromMs` until `ToMs` (excluded) on pad `Pad`.
struct THold
{
    int Pad;
    int FromMs;
    int ToMs;
    std::optional<SDL_GameControllerButton> Button;
    std::optional<SDL_GameControllerAxis> Axis = std::nullopt;
    Sint16 AxisValue = 0;
    // The key the keyboard player types for it.
    char16_t Key = 0;
};

// Walks, a long crouch, a jump, two combos, zooms and the skeletons, both
// fighters at once, on d-pad, stick and buttons.
const std::vector<THold> Scenario{
    {0, 0, 200, SDL_CONTROLLER_BUTTON_DPAD_LEFT, std::nullopt, 0, u'a'},
    {1, 0, 200, std::nullopt, SDL_CONTROLLER_AXIS_LEFTX, 32767, u'l'},
    {0, 1500, 3500, std::nullopt, SDL_CONTROLLER_AXIS_LEFTY, 32767, u's'},
    {1, 1600, 1700, SDL_CONTROLLER_BUTTON_A, std::nullopt, 0, u'i'},
    {0, 4500, 4550, SDL_CONTROLLER_BUTTON_X, std::nullopt, 0, u'e'},
    {0, 4700, 4750, SDL_CONTROLLER_BUTTON_X, std::nullopt, 0, u'e'},
    {0, 4900, 4950, SDL_CONTROLLER_BUTTON_X, std::nullopt, 0, u'e'},
    {1, 6500, 6550, SDL_CONTROLLER_BUTTON_X, std::nullopt, 0, u'o'},
    {1, 6700, 6750, SDL_CONTROLLER_BUTTON_X, std::nullopt, 0, u'o'},
    {0, 7800, 7810, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, std::nullopt, 0, u'+'},
    {1, 7900, 7910, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, std::nullopt, 0, u'-'},
    {1, 8000, 8010, SDL_CONTROLLER_BUTTON_BACK, std::nullopt, 0, u' '},
};
constexpr int ScenarioEndMs = 8500;

// When a held key types, by the test timing: at the press, 300 ms later,
// then every 40 ms while held.
bool KeyTypedAt(const THold& hold, const int ms)
{
    if (ms < hold.FromMs || ms >= hold.ToMs)
        return false;
    const int held = ms - hold.FromMs;
    return held == 0 || (held >= TestTiming.DelayMs && (held - TestTiming.DelayMs) % TestTiming.IntervalMs == 0);
}

// The window or its viewer has the keyboard focus.
bool HasFocus(const QWidget& form)
{
    const QWindow* window = QGuiApplication::focusWindow();
    while (window != nullptr && window->parent() != nullptr)
        window = window->parent();
    return window != nullptr && window == form.windowHandle();
}

QString Name(const TActorAnimation* animation)
{
    return animation != nullptr ? animation->Name() : QStringLiteral("-");
}
} // namespace

class FightGamepadTest : public TFightTest
{
protected:
    void SetUp() override
    {
        TFightTest::SetUp();
        MakeDataTree();
        CreateFocusedFight();
    }

    void CreateFocusedFight()
    {
        CreateFight();
        ASSERT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
        FFight->Show();
        ASSERT_TRUE(RunUntil([this] { return HasFocus(*FFight); }));
    }

    // Everything of the fight that a key or a tick changes.
    QString Snapshot() const
    {
        const TJeu& fight = *FFight;
        const auto actor = [](const TGLActor& a) {
            return QStringLiteral("%1..%2@%3/%4ms pending %5 at (%6, %7) skeleton %8")
                .arg(a.StartFrame())
                .arg(a.EndFrame())
                .arg(a.CurrentFrame())
                .arg(a.Interval())
                .arg(Name(a.PendingAnimation()))
                .arg(X(a), 0, 'g', 9)
                .arg(Y(a), 0, 'g', 9)
                .arg(a.OverlaySkeleton());
        };
        const TGLCoordinates& camera = *fight.GLCamera1->Position();
        return QStringList{fight.BaseAnimation1(), actor(*fight.GLActor1), fight.BaseAnimation2(),
                           actor(*fight.GLActor2),
                           QStringLiteral("jump %1 %2 air %3 %4 hit %5 %6 blocked %7 life %8 %9 camera %10 %11 %12")
                               .arg(JumpRequested1)
                               .arg(JumpRequested2)
                               .arg(Airborne1)
                               .arg(Airborne2)
                               .arg(Hit1)
                               .arg(Hit2)
                               .arg(Blocked)
                               .arg(fight.Vie1->Position())
                               .arg(fight.Vie2->Position())
                               .arg(camera.X(), 0, 'g', 9)
                               .arg(camera.Y(), 0, 'g', 9)
                               .arg(camera.Z(), 0, 'g', 9)}
            .join(QStringLiteral(" | "));
    }

    // One 10 ms step of simulated time after the input of `ms`.
    void Step(const int ms)
    {
        StepClock(StepMs);
        if (ms % TickMs == 0)
            Tick();
    }

    QStringList PlayWithPads()
    {
        std::array<TVirtualPad, 2> pads;
        TGamepads gamepads(nullptr, TestTiming);
        gamepads.StopPolling();
        QStringList trace;
        for (int ms = 0; ms < ScenarioEndMs; ms += StepMs)
        {
            for (const THold& hold : Scenario)
                if (ms == hold.FromMs || ms == hold.ToMs)
                {
                    const bool down = ms == hold.FromMs;
                    if (hold.Button)
                        pads[hold.Pad].SetButton(*hold.Button, down);
                    else
                        pads[hold.Pad].SetAxis(*hold.Axis, down ? hold.AxisValue : 0);
                }
            gamepads.Poll(ms);
            Step(ms);
            trace << Snapshot();
        }
        return trace;
    }

    QStringList PlayWithKeys()
    {
        QStringList trace;
        for (int ms = 0; ms < ScenarioEndMs; ms += StepMs)
        {
            for (int pad = 0; pad < 2; ++pad)
                for (const THold& hold : Scenario)
                    if (hold.Pad == pad && KeyTypedAt(hold, ms))
                        Press(hold.Key);
            Step(ms);
            trace << Snapshot();
        }
        return trace;
    }
};

TEST_F(FightGamepadTest, PadsPlayBothFightersExactlyAsTheirKeysDo)
{
    const QStringList padTrace = PlayWithPads();

    // The scenario did what it is meant to show.
    const auto seen = [&](const QString& part) { return padTrace.filter(part).size(); };
    EXPECT_GT(seen(QStringLiteral("Anime_Pas | ")), 0) << "fighter 1 walked";
    EXPECT_GT(seen(QStringLiteral(" | Anime_Pas | ")), 0) << "fighter 2 walked";
    // Pinned on frame 55 at 500 ms a frame for the 1.7 s of repetitions.
    EXPECT_GT(seen(QStringLiteral("Anime_Accroupi | 48..")), 150);
    EXPECT_GT(seen(QStringLiteral("@55/500ms")), 150);
    EXPECT_GT(seen(QStringLiteral("air 0 1")), 0) << "fighter 2 jumped";
    EXPECT_GT(seen(QStringLiteral("Combo1_3 | ")), 0) << "fighter 1 reached its third hit";
    EXPECT_GT(seen(QStringLiteral("| Combo1_2 | ")), 0) << "fighter 2 reached its second hit";
    EXPECT_GT(seen(QStringLiteral("life 80 70")), 0) << "both fighters' hits landed";
    // Zoomed in by 0.9, then out by 1.1, from 3.
    EXPECT_TRUE(padTrace.back().endsWith(QStringLiteral(" 0 2.96999979")));
    EXPECT_TRUE(padTrace.back().contains(QStringLiteral("skeleton 1")));

    delete FFight;
    FFight = Jeu = nullptr;
    ResetFightState();
    // The fight window moved to the program's directory.
    ASSERT_TRUE(QDir::setCurrent(TreePath("away/start")));
    CreateFocusedFight();
    const QStringList keyTrace = PlayWithKeys();

    ASSERT_EQ(padTrace.size(), keyTrace.size());
    for (qsizetype i = 0; i < padTrace.size(); ++i)
        ASSERT_EQ(padTrace[i], keyTrace[i]) << "first difference at " << i * StepMs << " ms";
}

TEST_F(FightGamepadTest, PadsPluggedInAndOutMidFightChangeOnlyTheirOwnFighter)
{
    TJeu& fight = *FFight;
    TGamepads gamepads(nullptr, TestTiming);
    gamepads.StopPolling();
    int ms = 0;
    const auto run = [&](const int forMs) {
        for (const int end = ms + forMs; ms < end; ms += StepMs)
        {
            gamepads.Poll(ms);
            Step(ms);
        }
    };

    auto first = std::make_unique<TVirtualPad>();
    run(100);
    first->SetButton(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    run(800);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Accroupi");
    EXPECT_EQ(fight.GLActor1->CurrentFrame(), 55);
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Pause");

    // A second pad plugged in mid-fight plays fighter 2.
    TVirtualPad second;
    run(20);
    EXPECT_EQ(gamepads.PlayerPad(1), second.InstanceId());
    second.SetButton(SDL_CONTROLLER_BUTTON_X, true);
    run(20);
    second.SetButton(SDL_CONTROLLER_BUTTON_X, false);
    EXPECT_EQ(fight.BaseAnimation2(), "Combo1_1");
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Accroupi");

    // Fighter 1's pad unplugged with the crouch held: the repetitions stop,
    // the crouch plays on and ends in idle.
    first.reset();
    run(20);
    EXPECT_EQ(gamepads.PlayerPad(0), TGamepads::NoPad);
    run(2000);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pause");
    EXPECT_EQ(fight.GLActor1->Interval(), 50);

    // A pad plugged in now plays fighter 1 again; fighter 2 keeps its pad.
    TVirtualPad third;
    run(20);
    EXPECT_EQ(gamepads.PlayerPad(0), third.InstanceId());
    EXPECT_EQ(gamepads.PlayerPad(1), second.InstanceId());
    third.SetButton(SDL_CONTROLLER_BUTTON_A, true);
    run(20);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Saut");
    EXPECT_TRUE(JumpRequested1);
    EXPECT_FALSE(JumpRequested2);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}

// The menu has no key handler: pads typing into it change nothing there.
class MenuGamepadTest : public TFightTest
{
};

TEST_F(MenuGamepadTest, PadsOnTheMenuChangeNothing)
{
    MakeDataTree();
    Menu_Jeu = nullptr;
    FApplication->CreateForm(Menu_Jeu);
    ASSERT_NE(Menu_Jeu, nullptr);
    Menu_Jeu->AsyncTimer1->SetEnabled(false);
    Menu_Jeu->Show();
    ASSERT_TRUE(RunUntil([] { return HasFocus(*Menu_Jeu); }));

    std::array<TVirtualPad, 2> pads;
    // Polled by its own timer, as in the program.
    TGamepads gamepads(nullptr, TestTiming);
    for (TVirtualPad& pad : pads)
    {
        for (int button = 0; button < SDL_CONTROLLER_BUTTON_MISC1; ++button)
            pad.SetButton(static_cast<SDL_GameControllerButton>(button), true);
        pad.SetAxis(SDL_CONTROLLER_AXIS_LEFTX, -32768);
        pad.SetAxis(SDL_CONTROLLER_AXIS_LEFTY, 32767);
    }
    RunFor(800);
    EXPECT_EQ(gamepads.PlayerPad(0), pads[0].InstanceId());
    EXPECT_EQ(gamepads.PlayerPad(1), pads[1].InstanceId());

    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
    EXPECT_FALSE(FApplication->Terminated());
    EXPECT_FALSE(StartRequested);
    EXPECT_EQ(PlayFrame, 1);
    EXPECT_EQ(QuitFrame, 1);
    EXPECT_EQ(Jeu, nullptr);
    EXPECT_TRUE(Menu_Jeu->isVisible());
    Menu_Jeu = nullptr;
}
