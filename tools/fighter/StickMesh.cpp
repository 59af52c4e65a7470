#include "StickMesh.h"

#include "StickSkeleton.h"

#include <cmath>

namespace Fighter
{

using namespace Body;

namespace
{

// Multiples of four, so that a ring has points straight down, up and to
// either side: a foot's sole then reaches the floor exactly.
constexpr int LimbSides = 12;
constexpr int LimbCapRings = 3;
constexpr int HeadSides = 16;
constexpr int HeadCapRings = 6;

struct TSurfaceFrame
{
    TVec3 Axis, Side, Across;
};

TSurfaceFrame FrameAround(const TVec3& axis)
{
    const TVec3 helper = std::abs(axis.Z) < 0.9 ? TVec3{0, 0, 1} : TVec3{1, 0, 0};
    const TVec3 side = Normalized(Cross(helper, axis));
    return {axis, side, Cross(axis, side)};
}

// One ring of the profile: where along the axis, how far out, and the
// normal's share along the axis (its share outwards follows).
struct TRing
{
    TVec3 Centre;
    double Radius, NormalAlong, NormalOut;
};

// From the pole at `from` round the cap, along the tube, round the far cap.
std::vector<TRing> CapsuleProfile(const TVec3& from, const TVec3& to, const TVec3& axis, const double radius,
                                  const int capRings)
{
    std::vector<TRing> rings;
    const double quarter = std::numbers::pi / 2;
    for (int i = 0; i <= capRings; ++i)
    {
        const double angle = -quarter + quarter * i / capRings;
        rings.push_back(
            {from + axis * (radius * std::sin(angle)), radius * std::cos(angle), std::sin(angle), std::cos(angle)});
    }
    // A ball has no tube between its caps: its equator is one ring, not two.
    for (int i = from == to ? 1 : 0; i <= capRings; ++i)
    {
        const double angle = quarter * i / capRings;
        rings.push_back(
            {to + axis * (radius * std::sin(angle)), radius * std::cos(angle), std::sin(angle), std::cos(angle)});
    }
    return rings;
}

TSkinVertex RingVertex(const int bone, const TRing& ring, const TSurfaceFrame& frame, const int side, const int sides,
                       const double t)
{
    const double angle = 2 * std::numbers::pi * side / sides;
    const TVec3 out = frame.Side * std::cos(angle) + frame.Across * std::sin(angle);
    const TVec3 normal = Normalized(frame.Axis * ring.NormalAlong + out * ring.NormalOut);
    return {bone, ring.Centre + out * ring.Radius, normal, static_cast<double>(side) / sides, t};
}

// Counter-clockwise seen from outside.
void AddBand(std::vector<TSkinTriangle>& mesh, const int bone, const TRing& lower, const TRing& upper,
             const TSurfaceFrame& frame, const int sides, const double t0, const double t1)
{
    for (int side = 0; side < sides; ++side)
    {
        const TSkinVertex a = RingVertex(bone, lower, frame, side, sides, t0);
        const TSkinVertex b = RingVertex(bone, lower, frame, side + 1, sides, t0);
        const TSkinVertex c = RingVertex(bone, upper, frame, side + 1, sides, t1);
        const TSkinVertex d = RingVertex(bone, upper, frame, side, sides, t1);
        if (lower.Radius > 1e-9)
            mesh.push_back({a, b, c});
        if (upper.Radius > 1e-9)
            mesh.push_back({a, c, d});
    }
}

void AddCapsule(std::vector<TSkinTriangle>& mesh, const int bone, const TVec3& from, const TVec3& to, const TVec3& axis,
                const double radius, const int sides, const int capRings)
{
    const TSurfaceFrame frame = FrameAround(axis);
    const std::vector<TRing> rings = CapsuleProfile(from, to, axis, radius, capRings);
    const double last = static_cast<double>(rings.size() - 1);
    for (std::size_t i = 1; i < rings.size(); ++i)
        AddBand(mesh, bone, rings[i - 1], rings[i], frame, sides, (i - 1) / last, i / last);
}

void AddLimb(std::vector<TSkinTriangle>& mesh, const int bone, const TVec3& from, const TVec3& to, const double radius)
{
    AddCapsule(mesh, bone, from, to, Normalized(to - from), radius, LimbSides, LimbCapRings);
}

void AddBall(std::vector<TSkinTriangle>& mesh, const int bone, const TVec3& centre, const double radius,
             const int sides, const int capRings)
{
    AddCapsule(mesh, bone, centre, centre, {0, 0, 1}, radius, sides, capRings);
}

// Where each bone sits in the bind pose, where nothing is rotated.
TVec3 BindPosition(const int bone)
{
    const TBoneDef& def = StickBones[bone];
    return def.Parent < 0 ? def.Offset : BindPosition(def.Parent) + def.Offset;
}

void AddArm(std::vector<TSkinTriangle>& mesh, const int upper, const int lower, const int hand)
{
    AddLimb(mesh, upper, BindPosition(upper), BindPosition(lower), LimbRadius);
    AddLimb(mesh, lower, BindPosition(lower), BindPosition(hand), LimbRadius);
    AddBall(mesh, hand, BindPosition(hand) + TVec3{0, 0, -FistReach}, FistRadius, LimbSides, LimbCapRings);
}

void AddLeg(std::vector<TSkinTriangle>& mesh, const int thigh, const int shin, const int foot)
{
    AddLimb(mesh, thigh, BindPosition(thigh), BindPosition(shin), LimbRadius);
    AddLimb(mesh, shin, BindPosition(shin), BindPosition(foot), LimbRadius);
    AddLimb(mesh, foot, BindPosition(foot) + Heel, BindPosition(foot) + Toe, SoleRadius);
}

} // namespace

std::vector<TSkinTriangle> BuildStickMesh()
{
    std::vector<TSkinTriangle> mesh;
    const TVec3 hips = BindPosition(bnLeftThigh);
    AddLimb(mesh, bnPelvis, hips, BindPosition(bnRightThigh), TorsoRadius);
    AddLimb(mesh, bnPelvis, {0, 0, hips.Z}, BindPosition(bnSpine), TorsoRadius);
    AddLimb(mesh, bnSpine, BindPosition(bnSpine), BindPosition(bnChest), TorsoRadius);
    AddLimb(mesh, bnChest, BindPosition(bnChest), BindPosition(bnNeck), TorsoRadius);
    AddLimb(mesh, bnChest, BindPosition(bnLeftUpperArm), BindPosition(bnRightUpperArm), TorsoRadius);
    AddLimb(mesh, bnNeck, BindPosition(bnNeck), BindPosition(bnHead), LimbRadius);
    AddBall(mesh, bnHead, BindPosition(bnHead) + HeadCentre, HeadRadius, HeadSides, HeadCapRings);
    AddArm(mesh, bnLeftUpperArm, bnLeftForearm, bnLeftHand);
    AddArm(mesh, bnRightUpperArm, bnRightForearm, bnRightHand);
    AddLeg(mesh, bnLeftThigh, bnLeftShin, bnLeftFoot);
    AddLeg(mesh, bnRightThigh, bnRightShin, bnRightFoot);
    return mesh;
}

} // namespace Fighter
