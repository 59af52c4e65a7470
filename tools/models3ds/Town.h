#pragma once

// The town square around the fight's arena. Laid out in town units, which
// are the fight scene's world units: x east (world x), y north (world -z), z
// up from the arena's floor; then turned into the model's own units, where
// the fight's free form (scale 200, z up, 25 units lowered) puts model
// z = 0.12 on the arena's floor.
#include "MeshPart.h"

#include <vector>

// Half the side of the arena: nothing of the town comes inside it.
constexpr double ArenaHalfSide = 10;
constexpr double TownUnitsPerModelUnit = 200;
constexpr double FloorModelHeight = 0.12;

// Every object of the town, in model units.
std::vector<TMeshPart> Town();

// Town units to model units.
TVec3 TownToModel(TVec3 point);
