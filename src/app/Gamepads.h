#pragma once

#include "KeyRepeat.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

struct _SDL_GameController;

// Game controllers for the fight's two players. Each pad types the characters
// of its player's keys into the window that has the keyboard focus, through
// the path a key press takes, so the game's rules stay those of the keys.
// The first pad plugged in plays fighter 1, the second fighter 2; a pad
// plugged in later takes the first free player. A third pad waits, and takes
// the place of the first player whose pad is unplugged.
class TGamepads : public QObject
{
    Q_OBJECT

public:
    static constexpr int PlayerCount = 2;
    static constexpr std::int32_t NoPad = -1;

    // Opens the game-controller subsystem and polls it every few
    // milliseconds. Without it the game goes on without pads, after one line
    // on the error stream.
    explicit TGamepads(QObject* parent, TKeyRepeatTiming timing = DesktopKeyRepeatTiming());
    ~TGamepads() override;

    bool Available() const { return FAvailable; }
    // One pass: plugged and unplugged pads, then the players' controls as
    // held at `nowMs`.
    void Poll(std::int64_t nowMs);
    // Leaves the passes to the caller, who runs them on a clock of its own.
    void StopPolling() { FPollTimer.stop(); }
    // The instance id of the pad playing `player` (0 or 1), or `NoPad`.
    std::int32_t PlayerPad(int player) const;

private:
    struct TPad;

    void TakeDeviceEvents();
    void PlugNewPads();
    bool IsPlugged(std::int32_t instanceId) const;
    void Plug(int deviceIndex);
    void Unplug(std::int32_t instanceId);
    int FreePlayer() const;
    void SeatWaitingPads();
    void TypeHeldControls(TPad& pad, std::int64_t nowMs) const;

    const TKeyRepeatTiming FTiming;
    bool FAvailable = false;
    bool FPolling = false;
    // In the order they were plugged in: the first waiting pad is seated first.
    std::vector<std::unique_ptr<TPad>> FPads;
    QElapsedTimer FClock;
    QTimer FPollTimer;
};
