#include "Gamepads.h"

#include "ScopeGuard.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace
{
// Polled often enough that a press is typed well within a frame.
constexpr int PollIntervalMs = 5;
// Half way out: a resting or slightly worn stick types nothing, a deliberate
// push does.
constexpr Sint16 StickDeadZone = 16384;
// SDL numbers the joystick and game-controller events 0x600 to 0x6FF.
constexpr Uint32 FirstPadEvent = SDL_JOYAXISMOTION;
constexpr Uint32 LastPadEvent = SDL_FINGERDOWN - 1;

enum TPadAction
{
    paLeft,
    paRight,
    paDown,
    paUp,
    paCombo,
    paZoomIn,
    paZoomOut,
    paSkeletons,
    paCount
};

// Directions are fixed on screen, like the keys: whichever side a fighter
// stands on, left types the key that moves it to the left. No control types
// the key that ends the program.
constexpr std::array<std::array<char16_t, paCount>, TGamepads::PlayerCount> PlayerKeys{{
    {u'a', u'd', u's', u'w', u'e', u'+', u'-', u' '},
    {u'j', u'l', u'k', u'i', u'o', u'+', u'-', u' '},
}};

bool Button(SDL_GameController* const controller, const SDL_GameControllerButton button)
{
    return SDL_GameControllerGetButton(controller, button) != 0;
}

bool StickBelow(SDL_GameController* const controller, const SDL_GameControllerAxis axis)
{
    return SDL_GameControllerGetAxis(controller, axis) <= -StickDeadZone;
}

bool StickAbove(SDL_GameController* const controller, const SDL_GameControllerAxis axis)
{
    return SDL_GameControllerGetAxis(controller, axis) >= StickDeadZone;
}

// The stick's y grows downwards.
bool Held(SDL_GameController* const controller, const TPadAction action)
{
    switch (action)
    {
    case paLeft:
        return Button(controller, SDL_CONTROLLER_BUTTON_DPAD_LEFT) || StickBelow(controller, SDL_CONTROLLER_AXIS_LEFTX);
    case paRight:
        return Button(controller, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) || StickAbove(controller, SDL_CONTROLLER_AXIS_LEFTX);
    case paDown:
        return Button(controller, SDL_CONTROLLER_BUTTON_DPAD_DOWN) || StickAbove(controller, SDL_CONTROLLER_AXIS_LEFTY);
    case paUp:
        return Button(controller, SDL_CONTROLLER_BUTTON_DPAD_UP) || StickBelow(controller, SDL_CONTROLLER_AXIS_LEFTY) ||
               Button(controller, SDL_CONTROLLER_BUTTON_A);
    case paCombo:
        return Button(controller, SDL_CONTROLLER_BUTTON_X);
    case paZoomIn:
        return Button(controller, SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
    case paZoomOut:
        return Button(controller, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER);
    case paSkeletons:
        return Button(controller, SDL_CONTROLLER_BUTTON_BACK);
    case paCount:
        break;
    }
    return false;
}

// Sent to the focus window as the window system sends a key: a focused
// viewer hands it on to its window's key handler like any other key.
void TypeKey(const char16_t key, const bool autoRepeat)
{
    QWindow* const window = QGuiApplication::focusWindow();
    if (window == nullptr)
        return;
    const QChar character(key);
    // Qt's key codes of printable characters are their upper-case codes.
    const int code = character.toUpper().unicode();
    QKeyEvent event(QEvent::KeyPress, code, Qt::NoModifier, QString(character), autoRepeat);
    QCoreApplication::sendEvent(window, &event);
}
} // namespace

struct TGamepads::TPad
{
    std::unique_ptr<SDL_GameController, decltype(&SDL_GameControllerClose)> Controller;
    SDL_JoystickID InstanceId = NoPad;
    int Player = -1;
    // One per action, in the order of `TPadAction`.
    std::vector<TKeyRepeat> Repeats;
};

TGamepads::TGamepads(QObject* const parent, const TKeyRepeatTiming timing) : QObject(parent), FTiming(timing)
{
    // SDL would otherwise turn SIGTERM and SIGINT into quit events that
    // nothing reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Counted apart from the audio subsystem: either may start and stop
    // without the other.
    FAvailable = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!FAvailable)
    {
        std::fprintf(stderr, "stickfight: no gamepads: %s\n", SDL_GetError());
        return;
    }
    FClock.start();
    connect(&FPollTimer, &QTimer::timeout, this, [this] { Poll(FClock.elapsed()); });
    FPollTimer.start(PollIntervalMs);
}

TGamepads::~TGamepads()
{
    FPads.clear();
    if (FAvailable)
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void TGamepads::Poll(const std::int64_t nowMs)
{
    // A key handler that opens a message box runs a nested message loop, in
    // which this timer fires again.
    if (!FAvailable || FPolling)
        return;
    FPolling = true;
    const TScopeExit pollDone([this] { FPolling = false; });
    SDL_PumpEvents();
    TakeDeviceEvents();
    for (int player = 0; player < PlayerCount; ++player)
        for (const std::unique_ptr<TPad>& pad : FPads)
            if (pad->Player == player)
                TypeHeldControls(*pad, nowMs);
}

std::int32_t TGamepads::PlayerPad(const int player) const
{
    for (const std::unique_ptr<TPad>& pad : FPads)
        if (pad->Player == player)
            return pad->InstanceId;
    return NoPad;
}

// Only the controllers' own events are taken from SDL's queue; the state of
// the buttons and sticks is read directly.
void TGamepads::TakeDeviceEvents()
{
    bool devicesChanged = false;
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, FirstPadEvent, LastPadEvent) > 0)
    {
        if (event.type == SDL_CONTROLLERDEVICEREMOVED)
            Unplug(event.cdevice.which);
        devicesChanged = devicesChanged || event.type == SDL_CONTROLLERDEVICEADDED ||
                         event.type == SDL_CONTROLLERDEVICEREMOVED;
    }
    // An added event names a device index, which a removal shifts; SDL even
    // drops the added event of a pad plugged in just before another is
    // unplugged. So every device is looked at after either.
    if (devicesChanged)
        PlugNewPads();
}

void TGamepads::PlugNewPads()
{
    for (int deviceIndex = 0; deviceIndex < SDL_NumJoysticks(); ++deviceIndex)
        if (SDL_IsGameController(deviceIndex) && !IsPlugged(SDL_JoystickGetDeviceInstanceID(deviceIndex)))
            Plug(deviceIndex);
}

bool TGamepads::IsPlugged(const std::int32_t instanceId) const
{
    return std::ranges::any_of(FPads, [instanceId](const std::unique_ptr<TPad>& pad) { return pad->InstanceId == instanceId; });
}

void TGamepads::Plug(const int deviceIndex)
{
    const SDL_JoystickID instanceId = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    SDL_GameController* const controller = SDL_GameControllerOpen(deviceIndex);
    // Unplugged again before it could be opened.
    if (controller == nullptr)
        return;
    FPads.push_back(std::make_unique<TPad>(
        TPad{{controller, SDL_GameControllerClose}, instanceId, FreePlayer(), std::vector<TKeyRepeat>(paCount, TKeyRepeat(FTiming))}));
}

void TGamepads::Unplug(const std::int32_t instanceId)
{
    std::erase_if(FPads, [instanceId](const std::unique_ptr<TPad>& pad) { return pad->InstanceId == instanceId; });
    SeatWaitingPads();
}

int TGamepads::FreePlayer() const
{
    for (int player = 0; player < PlayerCount; ++player)
        if (PlayerPad(player) == NoPad)
            return player;
    return -1;
}

void TGamepads::SeatWaitingPads()
{
    for (const std::unique_ptr<TPad>& pad : FPads)
        if (pad->Player < 0)
            pad->Player = FreePlayer();
}

void TGamepads::TypeHeldControls(TPad& pad, const std::int64_t nowMs) const
{
    SDL_GameController* const controller = pad.Controller.get();
    for (int action = 0; action < paCount; ++action)
    {
        const bool held = Held(controller, static_cast<TPadAction>(action));
        TKeyRepeat& repeat = pad.Repeats[static_cast<std::size_t>(action)];
        const bool wasHeld = repeat.Held();
        if (repeat.Update(held, nowMs))
            TypeKey(PlayerKeys[static_cast<std::size_t>(pad.Player)][static_cast<std::size_t>(action)], wasHeld);
    }
}
