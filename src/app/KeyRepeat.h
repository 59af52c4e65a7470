#pragma once

#include <cstdint>

// When a held key repeats: the first repetition after `DelayMs`, then one
// every `IntervalMs`.
struct TKeyRepeatTiming
{
    int DelayMs = 660;
    int IntervalMs = 40;
};

// The X server's defaults, used when the desktop cannot be asked.
constexpr TKeyRepeatTiming DefaultKeyRepeatTiming{660, 40};

// The desktop's key-repeat delay and rate, read from the X server the
// application is connected to; the defaults without one.
TKeyRepeatTiming DesktopKeyRepeatTiming();

// A held control typed like a held key: one press when it goes down, then
// repetitions while it stays down. Times are milliseconds of any steady clock.
class TKeyRepeat
{
public:
    explicit TKeyRepeat(TKeyRepeatTiming timing) : FTiming(timing) {}

    // Whether the control, seen `held` at `nowMs`, types its key now.
    bool Update(bool held, std::int64_t nowMs);
    bool Held() const { return FHeld; }

private:
    TKeyRepeatTiming FTiming;
    bool FHeld = false;
    std::int64_t FNextMs = 0;
};
