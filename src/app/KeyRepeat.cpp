#include "KeyRepeat.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <X11/XKBlib.h>

#include <algorithm>

TKeyRepeatTiming DesktopKeyRepeatTiming()
{
    const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* const display = x11 != nullptr ? x11->display() : nullptr;
    unsigned int delayMs = 0;
    unsigned int intervalMs = 0;
    if (display == nullptr || !XkbGetAutoRepeatRate(display, XkbUseCoreKbd, &delayMs, &intervalMs) || intervalMs == 0)
        return DefaultKeyRepeatTiming;
    // A server may report absurd values; keep them within what a keyboard does.
    return {static_cast<int>(std::min(delayMs, 10000u)), static_cast<int>(std::clamp(intervalMs, 1u, 10000u))};
}

bool TKeyRepeat::Update(const bool held, const std::int64_t nowMs)
{
    const bool wasHeld = FHeld;
    FHeld = held;
    if (!held)
        return false;
    if (!wasHeld)
    {
        FNextMs = nowMs + FTiming.DelayMs;
        return true;
    }
    if (nowMs < FNextMs)
        return false;
    // Polled a few milliseconds late, the rate keeps its beat; a pass that
    // missed whole repetitions types one, not a burst, and the beat restarts.
    FNextMs += FTiming.IntervalMs;
    if (FNextMs <= nowMs)
        FNextMs = nowMs + FTiming.IntervalMs;
    return true;
}
