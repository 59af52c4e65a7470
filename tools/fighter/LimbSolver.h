#pragma once

#include "FighterMath.h"

// Two-segment limbs (thigh and shin, upper arm and forearm) placed so that
// their end reaches a target: the middle joint bends towards a pole.
namespace Fighter
{

struct TLimbSolution
{
    TRotation Upper, Lower; // global rotations of the two segments
    TVec3 Joint, End;       // where the middle joint and the end land
};

// A segment hangs along its local -Z in the bind pose. Both segments take the
// bend's hinge as their local Y, signed so that local +X, seen along the line
// from root to target, leans towards `front`. A target out of reach gets a
// straight limb pointing at it.
TLimbSolution SolveLimb(const TVec3& root, const TVec3& target, double upperLength, double lowerLength,
                        const TVec3& pole, const TVec3& front);

} // namespace Fighter
