// Game controllers typing the players' keys: which key each control types,
// when a held control repeats, and which pad plays which fighter.

#include "app/Form.h"
#include "app/Gamepads.h"
#include "app/KeyRepeat.h"
#include "app/Sound.h"

#include "TestApplication.h"
#include "VirtualPad.h"
#include "WavFile.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <X11/XKBlib.h>

#include <memory>
#include <vector>

namespace
{
// Short enough that a test holds a control through many repetitions.
constexpr TKeyRepeatTiming TestTiming{300, 40};

// A window that has the keyboard focus and writes down the keys its key
// handler is given.
class TKeyRecordingForm : public TForm
{
public:
    TKeyRecordingForm() : TForm(nullptr)
    {
        SetOnKeyPress([this](QObject*, QChar& key) { Typed += key; });
        SetClientWidth(200);
        SetClientHeight(150);
    }

    QString Typed;
};
} // namespace

TEST(KeyRepeatTest, TypesAtThePressThenAfterTheDelayThenAtTheRate)
{
    TKeyRepeat repeat(TestTiming);
    EXPECT_FALSE(repeat.Update(false, 1000));
    EXPECT_TRUE(repeat.Update(true, 1000));
    EXPECT_FALSE(repeat.Update(true, 1005));
    EXPECT_FALSE(repeat.Update(true, 1299));
    EXPECT_TRUE(repeat.Update(true, 1300));
    EXPECT_FALSE(repeat.Update(true, 1339));
    EXPECT_TRUE(repeat.Update(true, 1340));
    // Seen 3 ms late, the next repetition still comes on the beat.
    EXPECT_TRUE(repeat.Update(true, 1383));
    EXPECT_FALSE(repeat.Update(true, 1419));
    EXPECT_TRUE(repeat.Update(true, 1420));
    // A pass that missed several repetitions types one and starts a new beat.
    EXPECT_TRUE(repeat.Update(true, 1600));
    EXPECT_FALSE(repeat.Update(true, 1639));
    EXPECT_TRUE(repeat.Update(true, 1640));
    // Released and pressed again: at once, then the whole delay again.
    EXPECT_FALSE(repeat.Update(false, 1645));
    EXPECT_TRUE(repeat.Update(true, 1650));
    EXPECT_FALSE(repeat.Update(true, 1949));
    EXPECT_TRUE(repeat.Update(true, 1950));

    // Held two seconds and seen every 5 ms: the press, then repetitions at
    // 300, 340, ..., 1980 ms: 1 + 43 keys.
    TKeyRepeat steady(TestTiming);
    int typed = 0;
    for (int ms = 0; ms <= 2000; ms += 5)
        typed += steady.Update(true, ms) ? 1 : 0;
    EXPECT_EQ(typed, 44);
}

class GamepadsTest : public TApplicationTest
{
protected:
    void SetUp() override
    {
        TApplicationTest::SetUp();
        FForm = std::make_unique<TKeyRecordingForm>();
        FForm->Show();
        ASSERT_TRUE(RunUntil([this] { return QGuiApplication::focusWindow() == FForm->windowHandle(); }));
    }

    void TearDown() override
    {
        FForm.reset();
        TApplicationTest::TearDown();
    }

    // A pass of the pads at `ms`; returns what the window was typed in it.
    QString PollAt(TGamepads& pads, const std::int64_t ms)
    {
        FForm->Typed.clear();
        pads.Poll(ms);
        return FForm->Typed;
    }

    // Presses and releases a button on the pad; returns what the press typed.
    QString Click(TGamepads& pads, TVirtualPad& pad, const SDL_GameControllerButton button)
    {
        pad.SetButton(button, true);
        const QString typed = PollAt(pads, FClockMs += 10);
        pad.SetButton(button, false);
        PollAt(pads, FClockMs += 10);
        return typed;
    }

    QString Push(TGamepads& pads, TVirtualPad& pad, const SDL_GameControllerAxis axis, const Sint16 value)
    {
        pad.SetAxis(axis, value);
        const QString typed = PollAt(pads, FClockMs += 10);
        pad.SetAxis(axis, 0);
        PollAt(pads, FClockMs += 10);
        return typed;
    }

    std::unique_ptr<TKeyRecordingForm> FForm;
    std::int64_t FClockMs = 0;
};

TEST_F(GamepadsTest, EachControlTypesItsPlayersKeyAndNoneEndsTheProgram)
{
    TVirtualPad first;
    TVirtualPad second;
    TGamepads pads(nullptr, TestTiming);
    pads.StopPolling();
    ASSERT_TRUE(pads.Available());
    PollAt(pads, 0);
    ASSERT_EQ(pads.PlayerPad(0), first.InstanceId());
    ASSERT_EQ(pads.PlayerPad(1), second.InstanceId());

    struct TCase
    {
        SDL_GameControllerButton Button;
        const char* First;
        const char* Second;
    };
    const TCase buttons[] = {
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, "a", "j"},  {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, "d", "l"},
        {SDL_CONTROLLER_BUTTON_DPAD_DOWN, "s", "k"},  {SDL_CONTROLLER_BUTTON_DPAD_UP, "w", "i"},
        {SDL_CONTROLLER_BUTTON_A, "w", "i"},          {SDL_CONTROLLER_BUTTON_X, "e", "o"},
        {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, "+", "+"}, {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, "-", "-"},
        {SDL_CONTROLLER_BUTTON_BACK, " ", " "},       {SDL_CONTROLLER_BUTTON_B, "", ""},
        {SDL_CONTROLLER_BUTTON_Y, "", ""},            {SDL_CONTROLLER_BUTTON_START, "", ""},
        {SDL_CONTROLLER_BUTTON_GUIDE, "", ""},        {SDL_CONTROLLER_BUTTON_LEFTSTICK, "", ""},
        {SDL_CONTROLLER_BUTTON_RIGHTSTICK, "", ""},
    };
    for (const TCase& c : buttons)
    {
        SCOPED_TRACE(SDL_GameControllerGetStringForButton(c.Button));
        EXPECT_EQ(Click(pads, first, c.Button), c.First);
        EXPECT_EQ(Click(pads, second, c.Button), c.Second);
    }

    // The left stick counts as the d-pad once pushed past half way.
    struct TStickCase
    {
        SDL_GameControllerAxis Axis;
        Sint16 Value;
        const char* First;
        const char* Second;
    };
    const TStickCase sticks[] = {
        {SDL_CONTROLLER_AXIS_LEFTX, -32768, "a", "j"}, {SDL_CONTROLLER_AXIS_LEFTX, 32767, "d", "l"},
        {SDL_CONTROLLER_AXIS_LEFTY, 32767, "s", "k"},  {SDL_CONTROLLER_AXIS_LEFTY, -32768, "w", "i"},
        {SDL_CONTROLLER_AXIS_LEFTX, -17000, "a", "j"}, {SDL_CONTROLLER_AXIS_LEFTY, 17000, "s", "k"},
        {SDL_CONTROLLER_AXIS_LEFTX, -12000, "", ""},   {SDL_CONTROLLER_AXIS_LEFTX, 12000, "", ""},
        {SDL_CONTROLLER_AXIS_LEFTY, -12000, "", ""},   {SDL_CONTROLLER_AXIS_LEFTY, 12000, "", ""},
        {SDL_CONTROLLER_AXIS_RIGHTX, -32768, "", ""},  {SDL_CONTROLLER_AXIS_RIGHTY, 32767, "", ""},
        {SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767, "", ""}, {SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767, "", ""},
    };
    for (const TStickCase& c : sticks)
    {
        SCOPED_TRACE(std::string(SDL_GameControllerGetStringForAxis(c.Axis)) + " " + std::to_string(c.Value));
        EXPECT_EQ(Push(pads, first, c.Axis, c.Value), c.First);
        EXPECT_EQ(Push(pads, second, c.Axis, c.Value), c.Second);
    }
}

TEST_F(GamepadsTest, HeldControlRepeatsUntilReleasedOrUnplugged)
{
    TVirtualPad pad;
    TGamepads pads(nullptr, TestTiming);
    pads.StopPolling();
    PollAt(pads, 0);

    // Down 1000 ms from 10 ms on, seen every 5 ms: the press, then
    // repetitions at 310, 350, ..., 990 ms.
    pad.SetButton(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    QString typed;
    for (std::int64_t ms = 10; ms < 1010; ms += 5)
        typed += PollAt(pads, ms);
    EXPECT_EQ(typed, QString(1 + 18, QLatin1Char('s')));
    pad.SetButton(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
    EXPECT_EQ(PollAt(pads, 1010), "");
    EXPECT_EQ(PollAt(pads, 1030), "");

    // A stick held over and the d-pad held with it type one key, not two:
    // at 2000, 2300, 2340 and 2380 ms.
    pad.SetAxis(SDL_CONTROLLER_AXIS_LEFTX, -32768);
    pad.SetButton(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    typed.clear();
    for (std::int64_t ms = 2000; ms < 2400; ms += 5)
        typed += PollAt(pads, ms);
    EXPECT_EQ(typed, "aaaa");

    // Unplugged while held: the repetitions stop, and the player is free.
    pad.Unplug();
    typed.clear();
    for (std::int64_t ms = 2400; ms < 3000; ms += 5)
        typed += PollAt(pads, ms);
    EXPECT_EQ(typed, "");
    EXPECT_EQ(pads.PlayerPad(0), TGamepads::NoPad);
}

TEST_F(GamepadsTest, PadsTakeTheFirstFreePlayerAndAThirdWaitsForOne)
{
    TGamepads pads(nullptr, TestTiming);
    pads.StopPolling();
    auto first = std::make_unique<TVirtualPad>();
    PollAt(pads, 0);
    EXPECT_EQ(pads.PlayerPad(0), first->InstanceId());
    EXPECT_EQ(pads.PlayerPad(1), TGamepads::NoPad);

    auto second = std::make_unique<TVirtualPad>();
    auto third = std::make_unique<TVirtualPad>();
    PollAt(pads, 10);
    EXPECT_EQ(pads.PlayerPad(0), first->InstanceId());
    EXPECT_EQ(pads.PlayerPad(1), second->InstanceId());
    EXPECT_EQ(Click(pads, *third, SDL_CONTROLLER_BUTTON_X), "") << "a waiting pad plays nobody";

    // The first player's pad goes: the waiting pad takes its place.
    first.reset();
    PollAt(pads, 20);
    EXPECT_EQ(pads.PlayerPad(0), third->InstanceId());
    EXPECT_EQ(pads.PlayerPad(1), second->InstanceId());
    EXPECT_EQ(Click(pads, *third, SDL_CONTROLLER_BUTTON_X), "e");
    EXPECT_EQ(Click(pads, *second, SDL_CONTROLLER_BUTTON_X), "o");

    // The second player's pad goes, and one plugged in later plays fighter 2.
    second.reset();
    PollAt(pads, 30);
    EXPECT_EQ(pads.PlayerPad(1), TGamepads::NoPad);
    auto fourth = std::make_unique<TVirtualPad>();
    PollAt(pads, 40);
    EXPECT_EQ(pads.PlayerPad(0), third->InstanceId());
    EXPECT_EQ(pads.PlayerPad(1), fourth->InstanceId());
    EXPECT_EQ(Click(pads, *fourth, SDL_CONTROLLER_BUTTON_DPAD_RIGHT), "l");
}

TEST_F(GamepadsTest, PadPluggedInJustBeforeAnotherIsUnpluggedIsSeen)
{
    TGamepads pads(nullptr, TestTiming);
    pads.StopPolling();
    auto first = std::make_unique<TVirtualPad>();
    TVirtualPad second;
    PollAt(pads, 0);
    // Both between two passes: the new pad is announced as device 2, which
    // is device 1 once the first pad has gone.
    TVirtualPad third;
    first.reset();
    PollAt(pads, 10);
    EXPECT_EQ(pads.PlayerPad(0), third.InstanceId());
    EXPECT_EQ(pads.PlayerPad(1), second.InstanceId());
    EXPECT_EQ(Click(pads, third, SDL_CONTROLLER_BUTTON_DPAD_LEFT), "a");
}

TEST_F(GamepadsTest, KeysGoOnlyToTheWindowWithTheFocus)
{
    TVirtualPad pad;
    TGamepads pads(nullptr, TestTiming);
    pads.StopPolling();
    PollAt(pads, 0);
    TKeyRecordingForm other;
    other.Show();
    ASSERT_TRUE(RunUntil([&] { return QGuiApplication::focusWindow() == other.windowHandle(); }));
    EXPECT_EQ(Click(pads, pad, SDL_CONTROLLER_BUTTON_X), "");
    EXPECT_EQ(other.Typed, "e");
}

TEST_F(GamepadsTest, PadsAndSoundStartAndStopWithoutEachOther)
{
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("long.wav").toStdString();
    ASSERT_TRUE(WavFile::Write(path, 22050, std::vector<std::int16_t>(22050 * 3, 8000)));
    const std::u16string name(path.begin(), path.end());

    TVirtualPad pad;
    auto pads = std::make_unique<TGamepads>(nullptr, TestTiming);
    pads->StopPolling();
    PollAt(*pads, 0);
    ASSERT_TRUE(PlaySoundW(name.c_str(), HInstance, SND_ASYNC));
    ShutdownSound();
    EXPECT_EQ(Click(*pads, pad, SDL_CONTROLLER_BUTTON_X), "e") << "closing the sound leaves the pads alone";

    ASSERT_TRUE(PlaySoundW(name.c_str(), HInstance, SND_ASYNC));
    pads.reset();
    EXPECT_TRUE(SoundIsPlaying()) << "closing the pads leaves the sound alone";
    ShutdownSound();
}

TEST(DesktopKeyRepeatTest, IsReadFromTheXServer)
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    Display* const display = x11->display();
    unsigned int delayMs = 0;
    unsigned int intervalMs = 0;
    ASSERT_TRUE(XkbGetAutoRepeatRate(display, XkbUseCoreKbd, &delayMs, &intervalMs));
    // Another rate than the defaults, so that the defaults cannot pass.
    ASSERT_TRUE(XkbSetAutoRepeatRate(display, XkbUseCoreKbd, 250, 33));
    XSync(display, False);
    const TKeyRepeatTiming timing = DesktopKeyRepeatTiming();
    XkbSetAutoRepeatRate(display, XkbUseCoreKbd, delayMs, intervalMs);
    XSync(display, False);
    EXPECT_EQ(timing.DelayMs, 250);
    EXPECT_EQ(timing.IntervalMs, 33);
}
