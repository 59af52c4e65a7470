// The engine's two clocks created and destroyed a thousand times each while
// their ticks are under way, in every order the program allows. A hang ends
// the test through its watchdog; leaks show as threads or resident memory
// that do not come back (LeakSanitizer judges the sanitized build).

#include "app/AsyncTimer.h"
#include "app/GLCadencer.h"

#include "GLDummyCube.h"
#include "HangWatchdog.h"
#include "ProcessUsage.h"
#include "SceneObjects.h"
#include "TestApplication.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace
{
constexpr int Cycles = 1000;
// Cycles after which allocator caches and Qt's lazily made objects are in place.
constexpr int WarmUpCycles = 100;
// Resident growth allowed over the 900 cycles after the warm-up: a timer
// thread left behind keeps its stack's touched pages and its wake-up counter
// (some kilobytes each), which passes it; leaks of a few bytes a cycle are
// LeakSanitizer's to find.
constexpr double ResidentGrowthLimitMb = 4.0;
#if defined(__SANITIZE_ADDRESS__)
constexpr auto HangLimit = std::chrono::seconds(400);
#else
constexpr auto HangLimit = std::chrono::seconds(100);
#endif

// What a handler does: some arithmetic on a small table, as the fight's tick
// and the frame clock's redraw request do on theirs.
double Work(std::vector<double>& table, int seed)
{
    std::iota(table.begin(), table.end(), static_cast<double>(seed));
    return std::accumulate(table.begin(), table.end(), 0.0);
}

enum class TTimerEnd
{
    FromOutside,
    WhileATickWaits,
    FromItsOwnTick,
    AfterDisablingInItsTick,
};

enum class TClockEnd
{
    FromOutside,
    FromItsOwnStep,
    AfterDisablingInItsStep,
    SceneFirst,
    FromATimerTick,
};
} // namespace

class TimerLifeCycleTest : public TApplicationTest
{
protected:
    int Between(int low, int high) { return std::uniform_int_distribution(low, high)(FRandom); }

    void RunTimerCycle(TTimerEnd end);
    void RunClockCycle(TClockEnd end);
    // The handlers may destroy their timer or clock through `owner`.
    void MakeTimer(std::unique_ptr<TAsyncTimer>& owner, int& ticks, int lastTick, TTimerEnd end);
    void MakeClock(std::unique_ptr<TGLCadencer>& owner, TGLScene& scene, int& steps, int lastStep, TClockEnd end);

    // Checked after every cycle: its clocks' pump has gone and, once the
    // warm-up is over, its threads have ended and closed their files.
    void ExpectCycleLeftNothing(const char* what)
    {
        EXPECT_TRUE(RunUntil([] { return !TGLCadencer::PumpExists(); }, 2000)) << what << ": the pump stays";
        if (FBaseThreads == 0)
            return;
        EXPECT_TRUE(RunUntil([this] { return ThreadCount() == FBaseThreads; }, 2000))
            << what << ": " << ThreadCount() << " threads, " << FBaseThreads << " after the warm-up";
        EXPECT_TRUE(RunUntil([this] { return OpenFileCount() == FBaseFiles; }, 2000))
            << what << ": " << OpenFileCount() << " open files, " << FBaseFiles << " after the warm-up";
    }

    // Qt opens some connections of its own lazily, during the first cycles.
    void EndWarmUp()
    {
        FBaseThreads = ThreadCount();
        FBaseFiles = OpenFileCount();
        FWarmResidentMb = ResidentMegabytes();
    }

    void ExpectResidentSizeFlat() const
    {
        std::printf("%.1f MB resident after the warm-up, %.1f MB at the end\n", FWarmResidentMb, ResidentMegabytes());
        if (!ResidentSizeTellsLeaks)
            return;
        EXPECT_LT(ResidentMegabytes() - FWarmResidentMb, ResidentGrowthLimitMb)
            << "resident memory after the warm-up: " << FWarmResidentMb << " MB, at the end: " << ResidentMegabytes();
    }

    std::mt19937 FRandom{20261208};
    std::vector<double> FTable = std::vector<double>(256);
    double FSum = 0;
    int FBaseThreads = 0;
    int FBaseFiles = 0;
    double FWarmResidentMb = 0;
};

void TimerLifeCycleTest::MakeTimer(std::unique_ptr<TAsyncTimer>& owner, int& ticks, const int lastTick,
                                   const TTimerEnd end)
{
    owner = std::make_unique<TAsyncTimer>(nullptr);
    owner->SetInterval(static_cast<ushort>(Between(1, 3)));
    TAsyncTimer* const self = owner.get();
    owner->SetOnTimer([this, &ticks, &owner, self, lastTick, end](QObject*) {
        ++ticks;
        FSum += Work(FTable, ticks);
        if (ticks != lastTick)
            return;
        if (end == TTimerEnd::AfterDisablingInItsTick)
            self->SetEnabled(false);
        // The handler goes with its timer: nothing of it is touched afterwards.
        else if (end == TTimerEnd::FromItsOwnTick)
            owner.reset();
    });
}

void TimerLifeCycleTest::RunTimerCycle(const TTimerEnd end)
{
    int ticks = 0;
    const int lastTick = Between(1, 3);
    std::unique_ptr<TAsyncTimer> timer;
    MakeTimer(timer, ticks, lastTick, end);
    timer->SetEnabled(true);
    switch (end)
    {
    case TTimerEnd::FromOutside:
        RunUntil([&] { return ticks >= lastTick - 1; });
        RunFor(Between(0, 3));
        break;
    case TTimerEnd::WhileATickWaits:
        ASSERT_TRUE(RunUntil([&] { return ticks >= 1; }));
        // The user-interface thread looks away: the timer's thread hands over
        // its next tick and waits for it.
        std::this_thread::sleep_for(std::chrono::milliseconds(Between(3, 6)));
        break;
    case TTimerEnd::FromItsOwnTick:
        ASSERT_TRUE(RunUntil([&] { return timer == nullptr; }));
        break;
    case TTimerEnd::AfterDisablingInItsTick:
        ASSERT_TRUE(RunUntil([&] { return ticks >= lastTick; }));
        RunFor(Between(2, 6));
        EXPECT_EQ(ticks, lastTick) << "ticks of a timer disabled by its own tick";
        break;
    }
    const int ticksAtEnd = ticks;
    timer.reset();
    RunFor(2);
    EXPECT_EQ(ticks, ticksAtEnd) << "a tick after the timer's destruction began";
    ExpectCycleLeftNothing("timer");
}

TEST_F(TimerLifeCycleTest, TimersCreatedAndDestroyedWithTicksInFlightLeaveNothingBehind)
{
    const THangWatchdog watchdog(HangLimit, "a thousand timer life cycles");
    constexpr TTimerEnd Ends[] = {TTimerEnd::FromOutside, TTimerEnd::WhileATickWaits, TTimerEnd::FromItsOwnTick,
                                  TTimerEnd::AfterDisablingInItsTick};
    for (int cycle = 0; cycle < Cycles && !HasFailure(); ++cycle)
    {
        if (cycle == WarmUpCycles)
            EndWarmUp();
        RunTimerCycle(Ends[cycle % 4]);
    }
    EXPECT_GT(FSum, 0.0);
    ExpectResidentSizeFlat();
}

void TimerLifeCycleTest::MakeClock(std::unique_ptr<TGLCadencer>& owner, TGLScene& scene, int& steps,
                                   const int lastStep, const TClockEnd end)
{
    owner = std::make_unique<TGLCadencer>(nullptr);
    TGLCadencer* const self = owner.get();
    owner->SetOnProgress([this, &steps, &owner, self, lastStep, end](QObject*, double, double) {
        ++steps;
        FSum += Work(FTable, steps);
        if (self->Scene() != nullptr)
            self->Scene()->NotifyChanged(nullptr);
        if (steps != lastStep)
            return;
        if (end == TClockEnd::AfterDisablingInItsStep)
            self->SetEnabled(false);
        else if (end == TClockEnd::FromItsOwnStep)
            owner.reset();
    });
    self->SetScene(&scene);
}

void TimerLifeCycleTest::RunClockCycle(const TClockEnd end)
{
    auto scene = std::make_unique<TGLScene>(nullptr);
    scene->Objects()->AddChild(new TGLDummyCube(nullptr));
    int steps = 0;
    const int lastStep = Between(1, 4);
    std::unique_ptr<TGLCadencer> clock;
    MakeClock(clock, *scene, steps, lastStep, end);
    std::unique_ptr<TAsyncTimer> timer;
    switch (end)
    {
    case TClockEnd::FromOutside:
        ASSERT_TRUE(RunUntil([&] { return steps >= lastStep; }));
        break;
    case TClockEnd::FromItsOwnStep:
        ASSERT_TRUE(RunUntil([&] { return clock == nullptr; }));
        break;
    case TClockEnd::AfterDisablingInItsStep:
        ASSERT_TRUE(RunUntil([&] { return steps >= lastStep; }));
        RunFor(2);
        EXPECT_EQ(steps, lastStep) << "steps of a clock disabled by its own step";
        break;
    case TClockEnd::SceneFirst:
        ASSERT_TRUE(RunUntil([&] { return steps >= lastStep; }));
        scene.reset();
        RunFor(Between(0, 2));
        break;
    case TClockEnd::FromATimerTick:
        // The tick is delivered while the clock lets the loop run inside its
        // step, and destroys it there.
        timer = std::make_unique<TAsyncTimer>(nullptr);
        timer->SetInterval(1);
        timer->SetOnTimer([&clock](QObject*) { clock.reset(); });
        timer->SetEnabled(true);
        ASSERT_TRUE(RunUntil([&] { return clock == nullptr; }));
        break;
    }
    const int stepsAtEnd = steps;
    clock.reset();
    timer.reset();
    RunFor(2);
    EXPECT_EQ(steps, stepsAtEnd) << "a step after the clock's destruction began";
    ExpectCycleLeftNothing("clock");
}

TEST_F(TimerLifeCycleTest, ClocksCreatedAndDestroyedWhileRunningLeaveNothingBehind)
{
    const THangWatchdog watchdog(HangLimit, "a thousand frame clock life cycles");
    constexpr TClockEnd Ends[] = {TClockEnd::FromOutside, TClockEnd::FromItsOwnStep, TClockEnd::AfterDisablingInItsStep,
                                  TClockEnd::SceneFirst, TClockEnd::FromATimerTick};
    for (int cycle = 0; cycle < Cycles && !HasFailure(); ++cycle)
    {
        if (cycle == WarmUpCycles)
            EndWarmUp();
        RunClockCycle(Ends[cycle % 5]);
    }
    EXPECT_GT(FSum, 0.0);
    ExpectResidentSizeFlat();
}
