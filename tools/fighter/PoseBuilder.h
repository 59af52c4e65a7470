#pragma once

#include "KeyPose.h"
#include "Kinematics.h"

#include <vector>

// Turns a stance into bone angles: the torso and head take their angles as
// given, arms and legs are solved to reach their wrists' and ankles' targets.
namespace Fighter
{

// `previous` is the frame before (or any nearby pose): of the equivalent angle
// triples the builder keeps those closest to it.
TPose BuildPose(const TStance& stance, const TPose& previous);

} // namespace Fighter

namespace Fighter
{

// Every frame of an animation, each built from the one before so that the
// angles run on without turning a whole circle.
std::vector<TPose> BuildAnimationFrames(const TAnimationScript& script, const TStance& guard);

} // namespace Fighter
