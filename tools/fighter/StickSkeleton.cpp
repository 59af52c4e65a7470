#include "StickSkeleton.h"

namespace Fighter
{

using namespace Body;

// Standing straight: hips 2 below the pelvis, ankles 30 below the hips and the
// soles one heel ball lower, at -35; the head's ball tops out at +45.
const std::array<TBoneDef, BoneCount> StickBones{{
    {"Pelvis", -1, {0, 0, 0}},
    {"Spine", bnPelvis, {0, 0, 6}},
    {"Chest", bnSpine, {0, 0, 10}},
    {"Neck", bnChest, {0, 0, 12}},
    {"Head", bnNeck, {0, 0, 5}},
    {"L_UpperArm", bnChest, {0, 8, 10}},
    {"L_Forearm", bnLeftUpperArm, {0, 0, -UpperArmLength}},
    {"L_Hand", bnLeftForearm, {0, 0, -ForearmLength}},
    {"R_UpperArm", bnChest, {0, -8, 10}},
    {"R_Forearm", bnRightUpperArm, {0, 0, -UpperArmLength}},
    {"R_Hand", bnRightForearm, {0, 0, -ForearmLength}},
    {"L_Thigh", bnPelvis, {0, 4.5, -2}},
    {"L_Shin", bnLeftThigh, {0, 0, -ThighLength}},
    {"L_Foot", bnLeftShin, {0, 0, -ShinLength}},
    {"L_Toe", bnLeftFoot, Toe},
    {"R_Thigh", bnPelvis, {0, -4.5, -2}},
    {"R_Shin", bnRightThigh, {0, 0, -ThighLength}},
    {"R_Foot", bnRightShin, {0, 0, -ShinLength}},
    {"R_Toe", bnRightFoot, Toe},
}};

} // namespace Fighter
