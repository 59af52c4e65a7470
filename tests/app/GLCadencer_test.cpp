#include "app/AsyncTimer.h"
#include "app/GLCadencer.h"

#include "ClassRegistry.h"
#include "Exceptions.h"
#include "SceneObjects.h"
#include "TestApplication.h"

#include <QPointer>
#include <QTimer>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace
{
constexpr double Tolerance = 1e-9;

struct TStep
{
    double DeltaTime;
    double NewTime;
};

// Records the steps it is given and can stand for any subscribed component.
class TRecordingComponent : public QObject, public TGLProgressable
{
public:
    void DoProgress(const TProgressTimes& times) override { Steps.push_back({times.DeltaTime, times.NewTime}); }
    std::vector<TStep> Steps;
};
} // namespace

class GLCadencerTest : public TApplicationTest
{
protected:
    // A manual clock on an outside time, brought to a first step at outside
    // time 0 so that every later step is exactly the outside time elapsed.
    std::unique_ptr<TGLCadencer> MakeExternalClock()
    {
        auto clock = std::make_unique<TGLCadencer>(nullptr);
        clock->SetMode(cmManual);
        clock->SetTimeReference(cmExternal);
        clock->SetCurrentTime(0);
        clock->Progress();
        FBase = clock->LastTime();
        clock->SetOnProgress(
            [this](QObject*, double deltaTime, double newTime) {
                FSteps.push_back({deltaTime, newTime - FBase});
            });
        return clock;
    }

    static void AdvanceTo(TGLCadencer& clock, double time)
    {
        clock.SetCurrentTime(time);
        clock.Progress();
    }

    // A clock that runs as soon as possible and counts its steps.
    std::unique_ptr<TGLCadencer> MakeRunningClock(TGLScene* scene, int& steps)
    {
        auto clock = std::make_unique<TGLCadencer>(nullptr);
        clock->SetOnProgress([&steps](QObject*, double, double) { ++steps; });
        clock->SetScene(scene);
        return clock;
    }

    // Each test leaves no pump behind: a pump frees itself at the tick after
    // its last clock has gone.
    void TearDown() override
    {
        EXPECT_TRUE(RunUntil([] { return !TGLCadencer::PumpExists(); }, 500));
        TApplicationTest::TearDown();
    }

    double FBase = 0;
    std::vector<TStep> FSteps;
};

TEST_F(GLCadencerTest, FirstStepSpansTheTimeSinceCreation)
{
    TGLCadencer clock(nullptr);
    clock.SetMode(cmManual);
    std::vector<TStep> steps;
    clock.SetOnProgress([&](QObject*, double deltaTime, double newTime) { steps.push_back({deltaTime, newTime}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    clock.Progress();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_GE(steps[0].DeltaTime, 0.040);
    EXPECT_LT(steps[0].DeltaTime, 0.5);
    // Clock time 0 is the moment of creation, so the time reached is the step.
    EXPECT_DOUBLE_EQ(steps[0].NewTime, steps[0].DeltaTime);
}

TEST_F(GLCadencerTest, TimeSpentDisabledDoesNotCount)
{
    auto clock = MakeExternalClock();
    AdvanceTo(*clock, 0.5);
    clock->SetEnabled(false);
    AdvanceTo(*clock, 1.5);
    clock->SetCurrentTime(2.5);
    clock->SetEnabled(true);
    AdvanceTo(*clock, 2.6);
    ASSERT_EQ(FSteps.size(), 2u);
    EXPECT_NEAR(FSteps[0].DeltaTime, 0.5, Tolerance);
    EXPECT_NEAR(FSteps[1].DeltaTime, 0.1, Tolerance);
    EXPECT_NEAR(FSteps[1].NewTime, 0.6, Tolerance);
}

TEST_F(GLCadencerTest, MaxDeltaTimeDropsTheExcessOfAStallForGood)
{
    auto clock = MakeExternalClock();
    clock->SetMaxDeltaTime(0.1);
    AdvanceTo(*clock, 1.0);
    AdvanceTo(*clock, 1.05);
    ASSERT_EQ(FSteps.size(), 2u);
    EXPECT_NEAR(FSteps[0].DeltaTime, 0.1, Tolerance);
    EXPECT_NEAR(FSteps[0].NewTime, 0.1, Tolerance);
    // 0.9 behind the outside time, and still so afterwards.
    EXPECT_NEAR(FSteps[1].DeltaTime, 0.05, Tolerance);
    EXPECT_NEAR(FSteps[1].NewTime, 0.15, Tolerance);
}

TEST_F(GLCadencerTest, FixedDeltaTimeMakesWholeStepsAndCarriesTheRest)
{
    TGLScene scene(nullptr);
    std::vector<TStep> sceneSteps;
    scene.Objects()->SetOnProgress(
        [&](QObject*, double deltaTime, double newTime) {
            sceneSteps.push_back({deltaTime, newTime});
        });
    auto clock = MakeExternalClock();
    clock->SetScene(&scene);
    clock->SetFixedDeltaTime(0.01);

    AdvanceTo(*clock, 0.035);
    ASSERT_EQ(FSteps.size(), 3u);
    ASSERT_EQ(sceneSteps.size(), 3u);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_NEAR(FSteps[i].DeltaTime, 0.01, Tolerance);
        EXPECT_NEAR(FSteps[i].NewTime, 0.035, Tolerance);
        EXPECT_NEAR(sceneSteps[i].DeltaTime, 0.01, Tolerance);
        EXPECT_NEAR(sceneSteps[i].NewTime - FBase, 0.01 * (i + 1), Tolerance);
    }

    // 0.005 carried plus 0.003 is still short of a step; plus 0.010 is one.
    AdvanceTo(*clock, 0.038);
    EXPECT_EQ(FSteps.size(), 3u);
    AdvanceTo(*clock, 0.045);
    ASSERT_EQ(FSteps.size(), 4u);
    EXPECT_NEAR(clock->LastTime() - FBase, 0.04, Tolerance);
}

TEST_F(GLCadencerTest, TimeMultiplierChangesTheSpeedWithoutAJump)
{
    auto clock = MakeExternalClock();
    AdvanceTo(*clock, 1.0);
    clock->SetTimeMultiplier(2.0);
    AdvanceTo(*clock, 1.5);
    ASSERT_EQ(FSteps.size(), 2u);
    EXPECT_NEAR(FSteps[1].DeltaTime, 1.0, Tolerance);
    EXPECT_NEAR(FSteps[1].NewTime, 2.0, Tolerance);

    // 0 stops the clock; the next multiplier restarts it where it stood.
    clock->SetTimeMultiplier(0);
    EXPECT_FALSE(clock->Enabled());
    AdvanceTo(*clock, 3.0);
    EXPECT_EQ(FSteps.size(), 2u);
    clock->SetTimeMultiplier(0.5);
    EXPECT_TRUE(clock->Enabled());
    AdvanceTo(*clock, 4.0);
    ASSERT_EQ(FSteps.size(), 3u);
    EXPECT_NEAR(FSteps[2].DeltaTime, 0.5, Tolerance);
    EXPECT_NEAR(FSteps[2].NewTime, 2.5, Tolerance);
}

TEST_F(GLCadencerTest, MinDeltaTimeWaitsForEnoughElapsedTime)
{
    auto clock = MakeExternalClock();
    clock->SetMinDeltaTime(0.02);
    AdvanceTo(*clock, 0.015);
    EXPECT_TRUE(FSteps.empty());
    AdvanceTo(*clock, 0.025);
    ASSERT_EQ(FSteps.size(), 1u);
    EXPECT_NEAR(FSteps[0].DeltaTime, 0.025, Tolerance);
}

TEST_F(GLCadencerTest, StepAdvancesSceneThenSubscribersThenOnProgressAndIgnoresNestedSteps)
{
    TGLScene scene(nullptr);
    auto clock = MakeExternalClock();
    clock->SetScene(&scene);
    std::vector<const char*> order;
    scene.Objects()->SetOnProgress(
        [&](QObject*, double, double)
        {
            order.push_back("scene");
            // Asked to step again while it advances its scene, the clock ignores it.
            clock->Progress();
        });
    auto subscriber = std::make_unique<TRecordingComponent>();
    clock->Subscribe(subscriber.get());
    auto leaving = std::make_unique<TRecordingComponent>();
    clock->Subscribe(leaving.get());
    clock->SetOnProgress(
        [&](QObject* sender, double, double)
        {
            EXPECT_EQ(sender, clock.get());
            order.push_back("clock");
        });

    AdvanceTo(*clock, 0.25);
    EXPECT_EQ(order, (std::vector<const char*>{"scene", "clock"}));
    ASSERT_EQ(subscriber->Steps.size(), 1u);
    EXPECT_NEAR(subscriber->Steps[0].DeltaTime, 0.25, Tolerance);
    EXPECT_NEAR(subscriber->Steps[0].NewTime - FBase, 0.25, Tolerance);

    leaving.reset();
    clock->Unsubscribe(subscriber.get());
    AdvanceTo(*clock, 0.5);
    EXPECT_EQ(subscriber->Steps.size(), 1u);
    EXPECT_EQ(order.size(), 4u);
}

TEST_F(GLCadencerTest, ClockWhoseSceneIsDestroyedKeepsCallingOnProgress)
{
    auto scene = std::make_unique<TGLScene>(nullptr);
    int steps = 0;
    auto clock = MakeRunningClock(scene.get(), steps);
    ASSERT_TRUE(RunUntil([&] { return steps >= 3; }));
    scene.reset();
    EXPECT_EQ(clock->Scene(), nullptr);
    const int stepsBefore = steps;
    EXPECT_TRUE(RunUntil([&] { return steps >= stepsBefore + 10; }));
    EXPECT_TRUE(TGLCadencer::PumpExists());
    // Its next registration update finds no scene and lets the pump go.
    clock->SetEnabled(false);
    clock->SetEnabled(true);
    EXPECT_TRUE(RunUntil([] { return !TGLCadencer::PumpExists(); }));
}

TEST_F(GLCadencerTest, ClockThatNeverHadASceneIsNeverRegistered)
{
    int steps = 0;
    auto clock = MakeRunningClock(nullptr, steps);
    clock->SetEnabled(false);
    clock->SetEnabled(true);
    clock->SetMode(cmApplicationIdle);
    clock->SetMode(cmASAP);
    EXPECT_FALSE(TGLCadencer::PumpExists());
    RunFor(30);
    EXPECT_EQ(steps, 0);
}

TEST_F(GLCadencerTest, PumpGoesAwayWithTheLastClock)
{
    TGLScene scene(nullptr);
    int firstSteps = 0;
    int secondSteps = 0;
    auto first = MakeRunningClock(&scene, firstSteps);
    auto second = MakeRunningClock(&scene, secondSteps);
    EXPECT_TRUE(TGLCadencer::PumpExists());
    ASSERT_TRUE(RunUntil([&] { return firstSteps >= 3 && secondSteps >= 3; }));

    first.reset();
    RunFor(20);
    EXPECT_TRUE(TGLCadencer::PumpExists());
    second->SetMode(cmManual);
    EXPECT_TRUE(RunUntil([] { return !TGLCadencer::PumpExists(); }));
    const int stepsAfter = secondSteps;
    RunFor(20);
    EXPECT_EQ(secondSteps, stepsAfter);

    // A clock coming back brings a new pump.
    second->SetMode(cmASAP);
    EXPECT_TRUE(TGLCadencer::PumpExists());
    second.reset();
    EXPECT_TRUE(RunUntil([] { return !TGLCadencer::PumpExists(); }));
}

TEST_F(GLCadencerTest, TimerTicksAreDeliveredWhileAClockRunsAsFastAsItCan)
{
    TGLScene scene(nullptr);
    int steps = 0;
    auto clock = MakeRunningClock(&scene, steps);
    TAsyncTimer timer(nullptr);
    int ticks = 0;
    timer.SetInterval(30);
    timer.SetOnTimer([&](QObject*) { ++ticks; });
    timer.SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return ticks >= 5; }, 1500));
    // Many clock steps for each tick: the clock runs far faster than 30 ms.
    EXPECT_GT(steps, 10 * ticks);
    timer.SetEnabled(false);
}

TEST_F(GLCadencerTest, FailingOnProgressIsReportedOnceAndDisablesOnlyThatClock)
{
    TGLScene scene(nullptr);
    int failingSteps = 0;
    int steps = 0;
    auto failing = MakeRunningClock(&scene, failingSteps);
    failing->SetOnProgress(
        [&](QObject*, double, double)
        {
            ++failingSteps;
            throw EInvalidOperation(QStringLiteral("Clock broke"));
        });
    auto healthy = MakeRunningClock(&scene, steps);
    ASSERT_TRUE(RunUntil([&] { return steps >= 50; }));
    EXPECT_EQ(failingSteps, 1);
    EXPECT_FALSE(failing->Enabled());
    EXPECT_EQ(FShownFailures, QStringList{QStringLiteral("Clock broke")});
}

TEST_F(GLCadencerTest, TerminatingApplicationDisablesClocksInsteadOfAdvancingThem)
{
    TGLScene scene(nullptr);
    int steps = 0;
    auto clock = MakeRunningClock(&scene, steps);
    ASSERT_TRUE(RunUntil([&] { return steps >= 3; }));
    FApplication->Terminate();
    const int stepsAtTermination = steps;
    RunUntil([&] { return !clock->Enabled(); });
    RunUntil([&] { return !clock->Enabled(); });
    EXPECT_FALSE(clock->Enabled());
    EXPECT_EQ(steps, stepsAtTermination);
    EXPECT_TRUE(RunUntil([] { return !TGLCadencer::PumpExists(); }));
}

TEST_F(GLCadencerTest, IdleClockStepsWhileTheLoopIsIdleUntilMadeManual)
{
    TGLScene scene(nullptr);
    int steps = 0;
    auto clock = MakeRunningClock(&scene, steps);
    clock->SetMode(cmApplicationIdle);
    EXPECT_TRUE(RunUntil([&] { return steps >= 10; }));
    clock->SetMode(cmManual);
    const int stepsAfter = steps;
    RunFor(20);
    EXPECT_EQ(steps, stepsAfter);
}

TEST_F(GLCadencerTest, RegistrationWaitsForTheEndOfLoading)
{
    RegisterCadencer();
    std::unique_ptr<QObject> created(TClassRegistry::Create(QStringLiteral("TGLCadencer"), nullptr));
    auto* clock = qobject_cast<TGLCadencer*>(created.get());
    ASSERT_NE(clock, nullptr);
    TGLScene scene(nullptr);
    clock->BeginLoading();
    EXPECT_TRUE(clock->setProperty("Mode", QStringLiteral("cmApplicationIdle")));
    EXPECT_TRUE(clock->setProperty("Mode", QStringLiteral("cmASAP")));
    clock->SetScene(&scene);
    EXPECT_FALSE(TGLCadencer::PumpExists());
    clock->Loaded();
    EXPECT_TRUE(TGLCadencer::PumpExists());
    created.reset();
    EXPECT_TRUE(RunUntil([] { return !TGLCadencer::PumpExists(); }));
}

TEST_F(GLCadencerTest, EventsPendingAtAStepAreHandledBeforeTheNextStep)
{
    TGLScene scene(nullptr);
    int steps = 0;
    auto clock = MakeRunningClock(&scene, steps);
    QObject receiver;
    int postedRanAtStep = -1;
    int timerRanAtStep = -1;
    clock->SetOnProgress(
        [&](QObject*, double, double)
        {
            if (++steps != 1)
                return;
            QMetaObject::invokeMethod(
                &receiver, [&] { postedRanAtStep = steps; }, Qt::QueuedConnection);
            QTimer::singleShot(0, &receiver, [&] { timerRanAtStep = steps; });
        });
    ASSERT_TRUE(RunUntil([&] { return postedRanAtStep >= 0 && timerRanAtStep >= 0; }));
    EXPECT_EQ(postedRanAtStep, 1);
    EXPECT_EQ(timerRanAtStep, 1);
}

TEST_F(GLCadencerTest, SleepLengthDelaysEachStep)
{
    TGLCadencer clock(nullptr);
    clock.SetMode(cmManual);
    clock.SetSleepLength(25);
    const auto start = std::chrono::steady_clock::now();
    clock.Progress();
    clock.Progress();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}
