#pragma once

#include <SDL.h>

#include <gtest/gtest.h>

// A game controller made of nothing, plugged in for as long as it lives.
// Declared as a game controller, SDL maps its buttons and axes in the order of
// its own button and axis names.
class TVirtualPad
{
public:
    TVirtualPad()
    {
        // Keeps the subsystem up while the pad exists, whoever else uses it.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        EXPECT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
        SDL_VirtualJoystickDesc description{};
        description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        description.naxes = SDL_CONTROLLER_AXIS_MAX;
        description.nbuttons = SDL_CONTROLLER_BUTTON_MISC1;
        description.name = "virtual pad";
        const int deviceIndex = SDL_JoystickAttachVirtualEx(&description);
        EXPECT_GE(deviceIndex, 0) << SDL_GetError();
        EXPECT_TRUE(SDL_IsGameController(deviceIndex));
        FJoystick = SDL_JoystickOpen(deviceIndex);
        EXPECT_NE(FJoystick, nullptr) << SDL_GetError();
        FInstanceId = SDL_JoystickInstanceID(FJoystick);
    }
    TVirtualPad(const TVirtualPad&) = delete;
    TVirtualPad& operator=(const TVirtualPad&) = delete;
    ~TVirtualPad()
    {
        Unplug();
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }

    SDL_JoystickID InstanceId() const { return FInstanceId; }

    // Takes effect at the next poll of the joysticks.
    void SetButton(const SDL_GameControllerButton button, const bool down)
    {
        SDL_JoystickSetVirtualButton(FJoystick, button, down ? SDL_PRESSED : SDL_RELEASED);
    }
    void SetAxis(const SDL_GameControllerAxis axis, const Sint16 value)
    {
        SDL_JoystickSetVirtualAxis(FJoystick, axis, value);
    }

    void Unplug()
    {
        if (FJoystick == nullptr)
            return;
        SDL_JoystickClose(FJoystick);
        FJoystick = nullptr;
        for (int index = 0; index < SDL_NumJoysticks(); ++index)
            if (SDL_JoystickGetDeviceInstanceID(index) == FInstanceId)
                SDL_JoystickDetachVirtual(index);
    }

private:
    SDL_Joystick* FJoystick = nullptr;
    SDL_JoystickID FInstanceId = -1;
};
