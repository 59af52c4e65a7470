#pragma once

#include "FighterMath.h"

#include <array>
#include <string_view>

// The stick figure's bones. Model axes: Z up, the fighter faces +X, its left
// side is +Y, the pelvis sits at the origin and the soles at z = -35. In the
// bind pose every bone's rotation is zero, so bone axes are model axes.
namespace Fighter
{

enum TBone : int
{
    bnPelvis,
    bnSpine,
    bnChest,
    bnNeck,
    bnHead,
    bnLeftUpperArm,
    bnLeftForearm,
    bnLeftHand,
    bnRightUpperArm,
    bnRightForearm,
    bnRightHand,
    bnLeftThigh,
    bnLeftShin,
    bnLeftFoot,
    bnLeftToe,
    bnRightThigh,
    bnRightShin,
    bnRightFoot,
    bnRightToe,
    BoneCount
};

struct TBoneDef
{
    std::string_view Name;
    int Parent;   // -1 for the root
    TVec3 Offset; // from the parent, in the bind pose
};

// Parents come before their children, as the model file needs them.
extern const std::array<TBoneDef, BoneCount> StickBones;

// Sizes the pose builder and the mesh share.
namespace Body
{
constexpr double FloorZ = -35;
constexpr double UpperArmLength = 13;
constexpr double ForearmLength = 12;
constexpr double ThighLength = 15;
constexpr double ShinLength = 15;
constexpr double LimbRadius = 1.6;
constexpr double TorsoRadius = 2.4;
constexpr double FistRadius = 2.8;
constexpr double FistReach = 2.4; // from the wrist to the fist's centre
constexpr double HeadRadius = 6;
constexpr TVec3 HeadCentre{0.8, 0, 6}; // from the head bone
constexpr double SoleRadius = 1.8;
constexpr TVec3 Heel{-2.5, 0, -1.2}; // from the ankle, centre of the heel's ball
constexpr TVec3 Toe{7, 0, -1.2};     // from the ankle, centre of the toe's ball
} // namespace Body

} // namespace Fighter
