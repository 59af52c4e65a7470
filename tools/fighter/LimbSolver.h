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

// A segment hangs along its local -Z in the bind pose; the solution turns
// each segment's local +X as close to `front` as its direction allows. A
// target out of reach gets a straight limb pointing at it.
TLimbSolution SolveLimb(const TVec3& root, const TVec3& target, double upperLength, double lowerLength,
                        const TVec3& pole, const TVec3& front);

} // namespace Fighter
