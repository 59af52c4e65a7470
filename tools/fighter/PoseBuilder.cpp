#include "PoseBuilder.h"

#include "LimbSolver.h"

#include <algorithm>

namespace Fighter
{

using namespace Body;

namespace
{

// Elbows hang down, a little back and out, as seen from the chest; an arm
// raised or dropped straight along that line points its elbow out and back.
constexpr TVec3 LeftElbowPole{-0.35, 0.45, -1};
constexpr TVec3 RightElbowPole{-0.35, -0.45, -1};
constexpr TVec3 LeftElbowOut{-0.3, 1, 0};
constexpr TVec3 RightElbowOut{-0.3, -1, 0};
// Knees follow the toes, turned a little outwards; a leg stretched along the
// toes' line bends its knee upwards.
constexpr double KneeSplay = 0.2;
constexpr TVec3 KneeUp{0, 0, 1};

// A limb running along its pole would bend to a side picked by rounding and
// flip from frame to frame: the nearer the limb comes to the pole's line, the
// more the second choice takes over, which lies square to that line.
TVec3 BendDirection(const TVec3& root, const TVec3& target, const TVec3& pole, const TVec3& fallback)
{
    const double along = Dot(Normalized(target - root), Normalized(pole));
    const double share = along * along;
    return Normalized(pole) * (1 - share) + Normalized(fallback) * share;
}

struct TLimbBones
{
    TBone Upper, Lower, End;
};

constexpr TLimbBones LeftArm{bnLeftUpperArm, bnLeftForearm, bnLeftHand};
constexpr TLimbBones RightArm{bnRightUpperArm, bnRightForearm, bnRightHand};
constexpr TLimbBones LeftLeg{bnLeftThigh, bnLeftShin, bnLeftFoot};
constexpr TLimbBones RightLeg{bnRightThigh, bnRightShin, bnRightFoot};

void SetGlobalRotation(TPose& pose, TGlobalPose& globals, const TBone bone, const TRotation& rotation,
                       const TPose& previous)
{
    const TTransform& parent = globals[StickBones[bone].Parent];
    const TRotation local = rotation * Transposed(parent.Rotation);
    pose[bone].Angles = AnglesFromRotation(local, previous[bone].Angles);
    globals[bone] = TTransform{RotationFromAngles(pose[bone].Angles), pose[bone].Position} * parent;
}

void PlaceLimb(TPose& pose, TGlobalPose& globals, const TLimbBones& limb, const TLimbSolution& solution,
               const TRotation& endRotation, const TPose& previous)
{
    SetGlobalRotation(pose, globals, limb.Upper, solution.Upper, previous);
    SetGlobalRotation(pose, globals, limb.Lower, solution.Lower, previous);
    SetGlobalRotation(pose, globals, limb.End, endRotation, previous);
}

void PlaceArm(TPose& pose, TGlobalPose& globals, const TLimbBones& arm, const TVec3& wrist, const TVec3& pole,
              const TVec3& out, const TPose& previous)
{
    const TRotation& chest = globals[bnChest].Rotation;
    const TVec3 shoulder = pose[arm.Upper].Position * globals[bnChest];
    const TVec3 bend = BendDirection(shoulder, wrist, Normalized(pole) * chest, Normalized(out) * chest);
    // A forearm folds forwards, away from its elbow.
    const TLimbSolution solution = SolveLimb(shoulder, wrist, UpperArmLength, ForearmLength, bend, -bend);
    PlaceLimb(pose, globals, arm, solution, solution.Lower, previous);
}

// The ankle is raised where the turned foot's heel or toe would reach under the floor.
TVec3 AnkleAboveFloor(const TVec3& ankle, const TRotation& foot)
{
    const double lowest = std::min((Heel * foot).Z, (Toe * foot).Z);
    return {ankle.X, ankle.Y, std::max(ankle.Z, FloorZ + SoleRadius - lowest)};
}

void PlaceLeg(TPose& pose, TGlobalPose& globals, const TLimbBones& leg, const TVec3& ankle, const TVec3& footTurn,
              const double side, const TPose& previous)
{
    const TRotation foot = RotationFromAngles(Radians(footTurn));
    const TVec3 hip = pose[leg.Upper].Position * globals[bnPelvis];
    const TVec3 target = AnkleAboveFloor(ankle, foot);
    const TVec3 knee = BendDirection(hip, target, foot.Row[0] + TVec3{0, side * KneeSplay, 0}, KneeUp);
    const TLimbSolution solution = SolveLimb(hip, target, ThighLength, ShinLength, knee, knee);
    PlaceLimb(pose, globals, leg, solution, foot, previous);
}

} // namespace

TPose BuildPose(const TStance& stance, const TPose& previous)
{
    TPose pose = BindPose();
    pose[bnPelvis].Position = stance.Pelvis;
    pose[bnPelvis].Angles = Radians(stance.PelvisTurn);
    pose[bnSpine].Angles = Radians(stance.Spine);
    pose[bnChest].Angles = Radians(stance.Chest);
    pose[bnNeck].Angles = Radians(stance.Neck);
    pose[bnHead].Angles = Radians(stance.Head);
    TGlobalPose globals = GlobalTransforms(pose);
    PlaceArm(pose, globals, LeftArm, stance.Pelvis + stance.LeftHand, LeftElbowPole, LeftElbowOut, previous);
    PlaceArm(pose, globals, RightArm, stance.Pelvis + stance.RightHand, RightElbowPole, RightElbowOut, previous);
    const TVec3 leftAnkle = stance.LeftFoot + TVec3{0, 0, stance.LeftLift};
    const TVec3 rightAnkle = stance.RightFoot + TVec3{0, 0, stance.RightLift};
    PlaceLeg(pose, globals, LeftLeg, leftAnkle, stance.LeftFootTurn, 1, previous);
    PlaceLeg(pose, globals, RightLeg, rightAnkle, stance.RightFootTurn, -1, previous);
    return pose;
}

} // namespace Fighter

namespace Fighter
{

std::vector<TPose> BuildAnimationFrames(const TAnimationScript& script, const TStance& guard)
{
    CheckKeyOrder(script);
    std::vector<TPose> frames;
    TPose previous = BindPose();
    for (int frame = 0; frame < script.FrameCount; ++frame)
    {
        previous = BuildPose(SampleStance(script, frame, guard), previous);
        frames.push_back(previous);
    }
    return frames;
}

} // namespace Fighter
