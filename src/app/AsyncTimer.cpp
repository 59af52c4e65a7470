#include "AsyncTimer.h"

#include "ClassRegistry.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace
{
constexpr std::int64_t CounterFrequency = 1'000'000'000;
constexpr std::int64_t PollingStep = CounterFrequency / 1000;
} // namespace

TTimerClock TTimerClock::System()
{
    return {[]
            {
                return std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                    .count();
            },
            [](std::int64_t nanoseconds) { std::this_thread::sleep_for(std::chrono::nanoseconds(nanoseconds)); }};
}

TTimerThread::TTimerThread(TAsyncTimer& owner) : FOwner(owner) {}

TTimerThread::~TTimerThread()
{
    EndAndWait();
}

void TTimerThread::Execute()
{
    const auto oneInterval = [this] { return static_cast<std::int64_t>(FInterval) * CounterFrequency / 1000; };
    std::int64_t deadline = FClock.Now() + oneInterval();
    while (!Terminated())
    {
        if (!WaitForDeadline(deadline))
            return;
        Synchronize([this] { FOwner.Timer(); });
        const std::int64_t now = FClock.Now();
        // From the deadline, not from the moment it was seen: the thread's
        // lateness in waking would otherwise add up, period after period.
        // Deadlines missed while the tick ran are dropped, not made up.
        deadline += oneInterval();
        if (deadline <= now)
            deadline = now + oneInterval();
    }
}

// Polls the clock until the deadline; false when asked to terminate.
bool TTimerThread::WaitForDeadline(std::int64_t deadline)
{
    for (;;)
    {
        SuspensionPoint();
        if (Terminated())
            return false;
        const std::int64_t now = FClock.Now();
        if (now >= deadline)
            return true;
        // Never past the deadline: a whole millisecond's sleep would make
        // each period up to a millisecond long.
        FClock.Sleep(std::min(deadline - now, PollingStep));
    }
}

TAsyncTimer::TAsyncTimer(QObject* AOwner) : TComponent(AOwner), FTimerThread(std::make_unique<TTimerThread>(*this)) {}

TAsyncTimer::~TAsyncTimer()
{
    SetEnabled(false);
    TThread::Free(std::move(FTimerThread));
}

void TAsyncTimer::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    FEnabled = value;
    // A timer read from a layout starts once the whole layout is read: a
    // layout that fails half-way leaves no timer ticking into a half-built
    // window, and the stored order of Enabled and Interval does not matter.
    if (!IsLoading())
        ApplyEnabled();
}

void TAsyncTimer::Loaded()
{
    TComponent::Loaded();
    ApplyEnabled();
}

void TAsyncTimer::ApplyEnabled()
{
    if (!FEnabled)
        FTimerThread->Suspend();
    else if (FTimerThread->Interval() > 0)
        FTimerThread->Resume();
}

void TAsyncTimer::SetInterval(ushort value)
{
    if (value != FTimerThread->Interval())
        FTimerThread->SetInterval(value);
}

void TAsyncTimer::Timer()
{
    if (FEnabled && FOnTimer)
        FOnTimer(this);
}

void RegisterAsyncTimer()
{
    TClassRegistry::RegisterClass<TAsyncTimer>();
}
