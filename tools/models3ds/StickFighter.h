#pragma once

// The menu's big stick fighter: round bars and balls in a fighting stance,
// facing +x (towards the menu's words), z up, the side towards the viewer at
// -y, centred on the origin so that it fills the menu's left half at the
// scale the menu shows it.
#include "MeshPart.h"

#include <vector>

std::vector<TMeshPart> StickFighter();
