#pragma once

// The menu's solid words and their frame sequences. Each word is placed
// inside its model file so that, seen through the menu's camera, it lands
// where the menu wants it although the object's own origin lies elsewhere.
#include "ExtrudedText.h"

struct TMenuButton
{
    const char* Text;
    const char* ObjectPrefix;
    // The free form's position and scale in the menu scene.
    TVec3 Position;
    double Scale;
    // Where the word's centre is seen, in viewer pixels, and its letter height
    // in model units.
    TVec2 ScreenCentre;
    double CapHeight;
};

extern const TMenuButton PlayButton;
extern const TMenuButton OptionsButton;
extern const TMenuButton QuitButton;

// The model point (word's own axes: reading along +x, z up, facing -y) at
// depth y = 0 that the menu camera shows at the given viewer pixel.
TVec3 ModelPointSeenAt(const TMenuButton& button, TVec2 pixel);

// The word at rest, one object per letter.
std::vector<TMeshPart> ButtonAtRest(const TMenuButton& button);

// Frame `frame` (1 based) of a hover loop of `period` frames: the word
// swells and sways while its letters bob in a wave. Frame 1 and frame
// period + 1 are the word at rest, so the loop closes without a jump.
std::vector<TMeshPart> HoverFrame(const TMenuButton& button, int frame, int period);

// Frame `frame` (1 based) of the start sequence of `frames` frames: the word
// gathers itself, then its letters burst off one after another, spinning
// outwards and towards the viewer until they have left the picture.
std::vector<TMeshPart> BurstFrame(const TMenuButton& button, int frame, int frames);
