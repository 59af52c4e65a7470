// The fight window created with its fighters loaded, played for a moment on
// real time (its tick thread and frame clock running, keys of both players
// pressed) and destroyed, over and over: from outside, released by its own
// tick or by its frame clock's step. A hang ends the test through its
// watchdog; leaks show as threads or resident memory that do not come back
// (LeakSanitizer judges the sanitized build).
//
// A cycle loads 25 model files and takes half a second; every fifth shows the
// window, whose first picture (its context, textures and display lists) takes
// two seconds more with software OpenGL. The default run makes 50 cycles;
// STICKFIGHT_FIGHT_CYCLES asks for more (the FightLifeCycleThousand test,
// outside the default run).

#include "FightTest.h"

#include "app/Loading.h"

#include "HangWatchdog.h"
#include "ProcessUsage.h"

#include <QPointer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace
{
int CycleCount()
{
    const char* const asked = std::getenv("STICKFIGHT_FIGHT_CYCLES");
    return asked != nullptr ? std::max(1, std::atoi(asked)) : 50;
}

// Cycles after which the driver's and the allocator's caches are filled.
constexpr int WarmUpCycles = 10;
constexpr int ShownEvery = 5;
// After the warm-up the resident size stays within some 7 MB over a thousand
// cycles (the software OpenGL driver's and the allocator's caches settling);
// both fighters left behind each cycle, about 0.9 MB, pass this bound within
// the 40 cycles of the default run.
constexpr double ResidentGrowthLimitMb = 24.0;
#if defined(__SANITIZE_ADDRESS__)
constexpr int SecondsPerCycleLimit = 30;
#else
constexpr int SecondsPerCycleLimit = 8;
#endif

// Keys of both fighters and of the view; "p" would end the program.
constexpr char16_t PlayKeys[] = u"adswelkjio +-";

enum class TFightEnd
{
    DeletedFromOutside,
    ReleasedByItsTick,
    ReleasedByItsFrameClock,
};
} // namespace

class FightLifeCycleTest : public TFightTest
{
protected:
    void RunCycle(TFightEnd end, bool shown);
    void CreateRunningFight(bool shown);
    void PlayFor(int ms);
    void ReleaseFromItsTick();
    void ReleaseFromItsFrameClock();

    int Between(int low, int high) { return std::uniform_int_distribution(low, high)(FRandom); }

    std::mt19937 FRandom{20261208};
    QString FStartUpDirectory;
};

// As the hand-over does it: the loading window, then the fight, which loads
// and starts ticking on real time.
void FightLifeCycleTest::CreateRunningFight(const bool shown)
{
    ResetFightState();
    ASSERT_TRUE(QDir::setCurrent(FStartUpDirectory));
    SplashScreen = new TSplashScreen(FApplication.get());
    SplashScreen->Initialize();
    FApplication->CreateForm(Jeu);
    FFight = Jeu;
    if (shown)
        FFight->Show();
    SplashScreen->Close();
    SplashScreen->Release();
}

void FightLifeCycleTest::PlayFor(const int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms)
    {
        QChar key(PlayKeys[Between(0, static_cast<int>(std::size(PlayKeys)) - 2)]);
        FFight->FormKeyPress(FFight, key);
        RunFor(Between(1, 10));
    }
}

// The fight's own tick releases the window, as the menu's tick releases the
// menu during the hand-over.
void FightLifeCycleTest::ReleaseFromItsTick()
{
    TAsyncTimer* const timer = FFight->AsyncTimer1;
    const TNotifyEvent tick = timer->OnTimer();
    TJeu* const fight = FFight;
    timer->SetOnTimer([tick, fight](QObject* sender) {
        tick(sender);
        fight->Release();
    });
}

void FightLifeCycleTest::ReleaseFromItsFrameClock()
{
    TGLCadencer* const clock = FFight->GLCadencer1;
    const TGLProgressEvent step = clock->OnProgress();
    TJeu* const fight = FFight;
    clock->SetOnProgress([step, fight](QObject* sender, double deltaTime, double newTime) {
        step(sender, deltaTime, newTime);
        fight->Release();
    });
}

void FightLifeCycleTest::RunCycle(const TFightEnd end, const bool shown)
{
    CreateRunningFight(shown);
    ASSERT_NE(FFight, nullptr);
    // Both fighters loaded, each with its body's pose and eleven animations,
    // and nothing failed.
    ASSERT_EQ(FFight->GLActor1->Animations()->Count(), 12);
    ASSERT_EQ(FFight->GLActor2->Animations()->Count(), 12);
    ASSERT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join(u'\n').toStdString();
    const QPointer<TJeu> fight(FFight);
    PlayFor(Between(20, 80));
    ASSERT_FALSE(fight.isNull()) << "the fight window went away on its own";
    switch (end)
    {
    case TFightEnd::DeletedFromOutside:
        delete FFight;
        break;
    case TFightEnd::ReleasedByItsTick:
        ReleaseFromItsTick();
        break;
    case TFightEnd::ReleasedByItsFrameClock:
        ReleaseFromItsFrameClock();
        break;
    }
    EXPECT_TRUE(RunUntil([&] { return fight.isNull(); }, 5000)) << "the fight window was not destroyed";
    FFight = nullptr;
    Jeu = nullptr;
    SplashScreen = nullptr;
    EXPECT_TRUE(RunUntil([] { return !TGLCadencer::PumpExists(); }, 2000)) << "the frame clock's pump stays";
}

TEST_F(FightLifeCycleTest, FightWindowsCreatedPlayedAndDestroyedLeaveNothingBehind)
{
    const int cycles = CycleCount();
    const THangWatchdog watchdog(std::chrono::seconds(SecondsPerCycleLimit * (cycles + 5)),
                                 "the fight window's life cycles");
    MakeDataTree();
    FStartUpDirectory = QDir::currentPath();
    constexpr TFightEnd Ends[] = {TFightEnd::DeletedFromOutside, TFightEnd::ReleasedByItsTick,
                                  TFightEnd::ReleasedByItsFrameClock};
    int warmThreads = 0;
    double warmResidentMb = 0;
    for (int cycle = 0; cycle < cycles && !HasFailure(); ++cycle)
    {
        if (cycle == std::min(WarmUpCycles, cycles - 1))
        {
            warmThreads = ThreadCount();
            warmResidentMb = ResidentMegabytes();
        }
        if (cycle % 50 == 0)
            std::printf("cycle %d: %d threads, %.1f MB resident\n", cycle, ThreadCount(), ResidentMegabytes());
        RunCycle(Ends[cycle % 3], cycle % ShownEvery == 0);
        if (cycle >= WarmUpCycles)
        {
            EXPECT_TRUE(RunUntil([&] { return ThreadCount() == warmThreads; }, 2000))
                << "cycle " << cycle << ": " << ThreadCount() << " threads, " << warmThreads << " after the warm-up";
        }
    }
    if (HasFailure())
        return;
    std::printf("%d cycles: %d threads and %.1f MB resident after the warm-up, %d and %.1f MB at the end\n", cycles,
                warmThreads, warmResidentMb, ThreadCount(), ResidentMegabytes());
    if (ResidentSizeTellsLeaks)
    {
        EXPECT_LT(ResidentMegabytes() - warmResidentMb, ResidentGrowthLimitMb)
            << "resident memory after the warm-up: " << warmResidentMb << " MB, at the end: " << ResidentMegabytes();
    }
}
