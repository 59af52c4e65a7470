#pragma once

#include "Component.h"
#include "Events.h"
#include "Thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class TAsyncTimer;

// What a timer's thread reads the time from and sleeps by, in nanoseconds:
// the system's monotonic clock, or a clock a test drives.
struct TTimerClock
{
    std::function<std::int64_t()> Now;
    std::function<void(std::int64_t nanoseconds)> Sleep;

    static TTimerClock System();
};

// The timer's clock: waits for each deadline on its own thread, polling a
// monotonic counter with sleeps of at most 1 ms, then hands the tick to the
// user-interface thread and waits until it has run.
class TTimerThread : public TThread
{
public:
    explicit TTimerThread(TAsyncTimer& owner);
    ~TTimerThread() override;

    std::uint16_t Interval() const { return FInterval; }
    void SetInterval(std::uint16_t value) { FInterval = value; }
    // Before the thread first runs.
    void SetClock(TTimerClock clock) { FClock = std::move(clock); }

protected:
    void Execute() override;

private:
    bool WaitForDeadline(std::int64_t deadline);

    TAsyncTimer& FOwner;
    std::atomic<std::uint16_t> FInterval{1000};
    TTimerClock FClock = TTimerClock::System();
};

// A component that fires OnTimer every Interval milliseconds on the
// user-interface thread. Ticks never overlap and never queue up: a tick that
// runs late is followed by the next one an interval after it ended.
class TAsyncTimer : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(ushort Interval READ Interval WRITE SetInterval)
    Q_PROPERTY(TNotifyEvent OnTimer READ OnTimer WRITE SetOnTimer)
    Q_PROPERTY(ThreadTypes::TThreadPriority ThreadPriority READ ThreadPriority WRITE SetThreadPriority)

public:
    explicit TAsyncTimer(QObject* AOwner);
    ~TAsyncTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    ushort Interval() const { return FTimerThread->Interval(); }
    void SetInterval(ushort value);
    TNotifyEvent OnTimer() const { return FOnTimer; }
    void SetOnTimer(const TNotifyEvent& value) { FOnTimer = value; }
    TThreadPriority ThreadPriority() const { return FTimerThread->Priority(); }
    void SetThreadPriority(TThreadPriority value) { FTimerThread->SetPriority(value); }

    // The tick as run on the user-interface thread.
    void Timer();

    void Loaded() override;

    // Before the timer is first enabled.
    void SetClock(TTimerClock clock) { FTimerThread->SetClock(std::move(clock)); }

    // The failure that stopped the ticks, if a handler raised one.
    std::exception_ptr FatalException() const { return FTimerThread->FatalException(); }
    bool ThreadFinished() const { return FTimerThread->Finished(); }

private:
    void ApplyEnabled();

    bool FEnabled = false;
    TNotifyEvent FOnTimer;
    std::unique_ptr<TTimerThread> FTimerThread;
};

// Registers the components of this module by class name.
void RegisterAsyncTimer();
