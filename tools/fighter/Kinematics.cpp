#include "Kinematics.h"

#include <algorithm>
#include <cmath>

namespace Fighter
{

namespace
{

constexpr double TwoPi = 2 * std::numbers::pi;

double NearestTurn(const double angle, const double near)
{
    return angle + TwoPi * std::round((near - angle) / TwoPi);
}

TVec3 NearestTurns(const TVec3& angles, const TVec3& near)
{
    return {NearestTurn(angles.X, near.X), NearestTurn(angles.Y, near.Y), NearestTurn(angles.Z, near.Z)};
}

double Distance2(const TVec3& a, const TVec3& b)
{
    return Dot(a - b, a - b);
}

} // namespace

TPose BindPose()
{
    TPose pose;
    for (int bone = 0; bone < BoneCount; ++bone)
        pose[bone].Position = StickBones[bone].Offset;
    return pose;
}

TGlobalPose GlobalTransforms(const TPose& pose)
{
    TGlobalPose globals;
    for (int bone = 0; bone < BoneCount; ++bone)
    {
        const TTransform local{RotationFromAngles(pose[bone].Angles), pose[bone].Position};
        const int parent = StickBones[bone].Parent;
        globals[bone] = parent < 0 ? local : local * globals[parent];
    }
    return globals;
}

TVec3 AnglesFromRotation(const TRotation& m, const TVec3& near)
{
    const double y = std::asin(std::clamp(-m.Row[0].Z, -1.0, 1.0));
    const bool gimbalLock = std::abs(std::cos(y)) < 1e-9;
    const double x = gimbalLock ? std::atan2(m.Row[1].X, m.Row[1].Y) : std::atan2(m.Row[1].Z, m.Row[2].Z);
    const double z = gimbalLock ? 0.0 : std::atan2(m.Row[0].Y, m.Row[0].X);
    const TVec3 first = NearestTurns({x, y, z}, near);
    const TVec3 second = NearestTurns({x + std::numbers::pi, std::numbers::pi - y, z + std::numbers::pi}, near);
    return Distance2(first, near) <= Distance2(second, near) ? first : second;
}

} // namespace Fighter
