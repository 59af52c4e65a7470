#pragma once

#include "KeyPose.h"

#include <array>

// The fighter's guard and its eleven animations, in the order the fight loads
// them after the model.
namespace Fighter
{

extern const TStance Guard;

constexpr int AnimationCount = 11;
const std::array<const TAnimationScript*, AnimationCount>& FighterAnimations();

} // namespace Fighter
