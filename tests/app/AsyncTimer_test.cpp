#include "app/AsyncTimer.h"
#include "app/Form.h"
#include "base/Exceptions.h"

#include "HangWatchdog.h"
#include "TestApplication.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct TTick
{
    Clock::time_point Start;
    Clock::time_point End;
};

// Time that moves only when the timer's thread sleeps, each sleep ending a
// fixed lateness after the time asked for, as on a busy system.
class TLateWakingClock
{
public:
    explicit TLateWakingClock(std::int64_t latenessNs) : FLateness(latenessNs) {}

    TTimerClock Clock()
    {
        return {[this] { return FNow.load(); }, [this](std::int64_t nanoseconds) { FNow += nanoseconds + FLateness; }};
    }
    std::int64_t Now() const { return FNow; }

private:
    const std::int64_t FLateness;
    std::atomic<std::int64_t> FNow{0};
};
} // namespace

// Windows whose layouts hold timers, counting the ticks of all of them.
class TTimerOrderForm : public TForm
{
    Q_OBJECT
    Q_PROPERTY(TAsyncTimer* AsyncTimer1 MEMBER AsyncTimer1)
    Q_PROPERTY(TAsyncTimer* AsyncTimer2 MEMBER AsyncTimer2)

public:
    explicit TTimerOrderForm(QObject* AOwner) : TForm(AOwner) {}
    Q_INVOKABLE void AsyncTimer1Timer(QObject* Sender) { FTicks << Sender->objectName(); }

    TAsyncTimer* AsyncTimer1 = nullptr;
    TAsyncTimer* AsyncTimer2 = nullptr;
    QStringList FTicks;
};

class TBrokenTimerForm : public TForm
{
    Q_OBJECT

public:
    explicit TBrokenTimerForm(QObject* AOwner) : TForm(AOwner) {}
    ~TBrokenTimerForm() override { ++Destroyed; }
    Q_INVOKABLE void AsyncTimer1Timer(QObject*) { ++Ticks; }

    static inline int Ticks = 0;
    static inline int Destroyed = 0;
};

class AsyncTimerTest : public TApplicationTest
{
protected:
    // A timer whose ticks are recorded, each lasting `workMs`.
    std::unique_ptr<TAsyncTimer> MakeTimer(ushort interval, int workMs = 0)
    {
        auto timer = std::make_unique<TAsyncTimer>(nullptr);
        timer->SetInterval(interval);
        timer->SetOnTimer([this, workMs](QObject*) {
            const Clock::time_point start = Clock::now();
            if (workMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(workMs));
            FTicks.push_back({start, Clock::now()});
        });
        return timer;
    }

    std::vector<TTick> FTicks;
};

TEST_F(AsyncTimerTest, TicksAtItsIntervalOnTheUserInterfaceThread)
{
    auto timer = MakeTimer(20);
    Qt::HANDLE tickThread = nullptr;
    auto record = timer->OnTimer();
    timer->SetOnTimer([&](QObject* sender) {
        tickThread = QThread::currentThreadId();
        record(sender);
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return FTicks.size() >= 15; }, 3000));
    std::vector<double> periods;
    for (size_t i = 1; i < FTicks.size(); ++i)
        periods.push_back(Ms(FTicks[i].Start - FTicks[i - 1].Start));
    // Never early; late only as much as a busy machine makes it. The real
    // period is measured by the timer benchmark.
    EXPECT_GE(Median(periods), 19.5);
    EXPECT_LE(Median(periods), 60.0);
    EXPECT_EQ(tickThread, QThread::currentThreadId());
}

TEST_F(AsyncTimerTest, TicksKeepTheirCadenceWhenTheThreadWakesLate)
{
    constexpr std::int64_t Interval = 30'000'000;
    constexpr std::int64_t Lateness = 300'000;
    TLateWakingClock clock(Lateness);
    std::vector<std::int64_t> tickTimes;
    auto timer = std::make_unique<TAsyncTimer>(nullptr);
    timer->SetInterval(30);
    timer->SetClock(clock.Clock());
    timer->SetOnTimer([&](QObject*) { tickTimes.push_back(clock.Now()); });
    timer->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return tickTimes.size() >= 20; }, 5000));
    timer->SetEnabled(false);
    // Tick k comes k intervals after the start plus one sleep's lateness: its
    // last sleep ends at the deadline, not up to a polling step past it, and
    // the lateness of one tick does not push back the next.
    for (std::int64_t k = 1; k <= 20; ++k)
    {
        EXPECT_GE(tickTimes[k - 1], k * Interval) << "tick " << k;
        EXPECT_LE(tickTimes[k - 1], k * Interval + Lateness) << "tick " << k;
    }
}

TEST_F(AsyncTimerTest, SlowHandlerNeverOverlapsAndMissedDeadlinesAreDropped)
{
    auto timer = MakeTimer(5, 20);
    timer->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return FTicks.size() >= 12; }, 3000));
    timer->SetEnabled(false);
    std::vector<double> gaps;
    for (size_t i = 1; i < FTicks.size(); ++i)
    {
        EXPECT_GE(FTicks[i].Start, FTicks[i - 1].End) << "tick " << i << " overlapped";
        gaps.push_back(Ms(FTicks[i].Start - FTicks[i - 1].End));
    }
    // Each tick begins about one interval after the previous one ended; no
    // burst of back-to-back ticks makes up the deadlines missed meanwhile.
    EXPECT_GE(*std::min_element(gaps.begin(), gaps.end()), 4.0);
    EXPECT_LE(Median(gaps), 40.0);
}

TEST_F(AsyncTimerTest, EnablingWithIntervalZeroStartsNothing)
{
    auto timer = MakeTimer(0);
    timer->SetEnabled(true);
    RunFor(100);
    EXPECT_TRUE(FTicks.empty());
    // Setting the value it already has changes nothing either.
    timer->SetEnabled(true);
    RunFor(50);
    EXPECT_TRUE(FTicks.empty());
    EXPECT_TRUE(timer->Enabled());
}

TEST_F(AsyncTimerTest, DisablingSuspendsAndReEnablingFiresAPassedDeadlineAtOnce)
{
    auto timer = MakeTimer(200);
    timer->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return FTicks.size() >= 1; }));
    timer->SetEnabled(false);
    const size_t ticksWhenDisabled = FTicks.size();
    RunFor(300);
    EXPECT_EQ(FTicks.size(), ticksWhenDisabled);
    const Clock::time_point enabledAt = Clock::now();
    timer->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return FTicks.size() > ticksWhenDisabled; }));
    // Well within the interval a new wait would take.
    EXPECT_LT(Ms(FTicks.back().Start - enabledAt), 100.0);
}

TEST_F(AsyncTimerTest, DestroyingWhileATickWaitsReturnsPromptlyAndDeliversNoMoreTicks)
{
    auto timer = MakeTimer(1);
    timer->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return FTicks.size() >= 2; }));
    // Keep the user-interface thread away from its messages so that the
    // timer's thread is surely blocked handing over its next tick.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const size_t ticksBefore = FTicks.size();
    QElapsedTimer elapsed;
    elapsed.start();
    timer.reset();
    EXPECT_LT(elapsed.elapsed(), 1000);
    RunFor(50);
    EXPECT_EQ(FTicks.size(), ticksBefore);
}

TEST_F(AsyncTimerTest, RaisingHandlerStopsTheTimerForGoodWithoutAMessage)
{
    auto failing = std::make_unique<TAsyncTimer>(nullptr);
    int failingTicks = 0;
    failing->SetInterval(5);
    failing->SetOnTimer([&](QObject*) {
        if (++failingTicks == 3)
            throw std::runtime_error("tick failed");
    });
    auto healthy = MakeTimer(5);
    failing->SetEnabled(true);
    healthy->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return failing->ThreadFinished(); }));
    RunFor(100);
    EXPECT_EQ(failingTicks, 3);
    EXPECT_TRUE(failing->FatalException() != nullptr);
    EXPECT_TRUE(FShownFailures.isEmpty());
    // The rest of the program goes on ticking.
    const size_t healthyTicks = FTicks.size();
    RunFor(50);
    EXPECT_GT(FTicks.size(), healthyTicks);
    failing.reset();
}

TEST_F(AsyncTimerTest, IntervalChangeTakesEffectAtTheNextDeadline)
{
    auto timer = MakeTimer(60);
    timer->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return FTicks.size() >= 1; }));
    timer->SetInterval(10);
    ASSERT_TRUE(RunUntil([&] { return FTicks.size() >= 8; }));
    // Five periods of the old interval would take 300 ms.
    EXPECT_LT(Ms(FTicks[7].Start - FTicks[2].Start), 5 * 40.0);
}

TEST_F(AsyncTimerTest, TimerDestroyedByItsOwnTickEndsWithoutWaitingForThatTick)
{
    const THangWatchdog watchdog(std::chrono::seconds(5), "destroying a timer from its own tick");
    auto timer = std::make_unique<TAsyncTimer>(nullptr);
    int ticks = 0;
    timer->SetInterval(5);
    timer->SetOnTimer([&](QObject*) {
        ++ticks;
        timer.reset();
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(RunUntil([&] { return timer == nullptr; }));
    RunFor(50);
    EXPECT_EQ(ticks, 1);
}

TEST_F(AsyncTimerTest, TimersOfALayoutStartOnlyOnceTheWholeLayoutIsRead)
{
    // Enabled is stored before Interval: the first timer, of interval 0,
    // never starts; the second starts at its stored interval.
    TTimerOrderForm* form = nullptr;
    FApplication->CreateForm(form);
    ASSERT_TRUE(RunUntil([&] { return form->FTicks.size() >= 5; }));
    EXPECT_EQ(form->FTicks.count("AsyncTimer1"), 0);
    EXPECT_EQ(form->AsyncTimer2->Interval(), 5);

    // A layout that fails after its timer leaves no window and no tick behind.
    TBrokenTimerForm* broken = nullptr;
    EXPECT_THROW(FApplication->CreateForm(broken), ELayoutError);
    EXPECT_EQ(broken, nullptr);
    EXPECT_EQ(TBrokenTimerForm::Destroyed, 1);
    RunFor(100);
    EXPECT_EQ(TBrokenTimerForm::Ticks, 0);
}

#include "AsyncTimer_test.moc"
