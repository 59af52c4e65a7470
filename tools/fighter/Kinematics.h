#pragma once

#include "FighterMath.h"
#include "StickSkeleton.h"

#include <array>

// One frame of the skeleton as the model files store it, and the forward
// kinematics that turn it into global bone transforms.
namespace Fighter
{

struct TBonePose
{
    TVec3 Position; // offset from the parent
    TVec3 Angles;   // radians about X, Y, Z
};

using TPose = std::array<TBonePose, BoneCount>;
using TGlobalPose = std::array<TTransform, BoneCount>;

// Every bone at its bind offset, unrotated.
TPose BindPose();

// global := local x parent's global, walking parents before children.
TGlobalPose GlobalTransforms(const TPose& pose);

// Angles (X, Y, Z) that rebuild `rotation` as Rx x Ry x Rz. Of the two angle
// triples that give the same rotation, and of their turns by whole circles,
// the one closest to `near` is chosen, so that angles stay continuous from
// frame to frame.
TVec3 AnglesFromRotation(const TRotation& rotation, const TVec3& near);

} // namespace Fighter
