#pragma once

#include "Easing.h"
#include "FighterMath.h"

#include <optional>
#include <string_view>
#include <vector>

// Animations are written as key poses: a key sets only the channels it names,
// and each channel moves from key to key with the easing of the key it goes
// to. Angles are in degrees, lengths in model units.
namespace Fighter
{

// Everything that decides a pose; the pose builder turns it into bone angles.
struct TStance
{
    TVec3 Pelvis;     // position of the pelvis
    TVec3 PelvisTurn; // angles of the pelvis
    TVec3 Spine, Chest, Neck, Head;
    TVec3 LeftHand, RightHand;          // wrists, from the pelvis, along the model axes
    TVec3 LeftFoot, RightFoot;          // ankles where they stand on the ground
    TVec3 LeftFootTurn, RightFootTurn;  // feet angles in the model's axes
    double LeftLift = 0, RightLift = 0; // ankles raised above where they stand
};

struct TKeyPose
{
    double Frame = 0;
    TEase Ease = eaInOut;
    std::optional<TVec3> Pelvis{}, PelvisTurn{};
    std::optional<TVec3> Spine{}, Chest{}, Neck{}, Head{};
    std::optional<TVec3> LeftHand{}, RightHand{};
    std::optional<TVec3> LeftFoot{}, RightFoot{};
    std::optional<TVec3> LeftFootTurn{}, RightFootTurn{};
    std::optional<double> LeftLift{}, RightLift{};
};

struct TAnimationScript
{
    std::string_view Name;
    int FrameCount = 0;
    // A channel starts at frame 0 and ends at the last frame in the guard
    // stance unless a key sets it there (or, at the end, beyond: a loop keys
    // the frame after its last to reach its first pose again).
    std::vector<TKeyPose> Keys;
    // A combo step shares the first frames of the hit it continues, up to and
    // including BranchFrame, so a switch to it at the same relative frame
    // shows no jump; its own keys then start from that hit's stance there.
    const TAnimationScript* BranchOf = nullptr;
    int BranchFrame = 0;
};

// Keys must come in rising frame order; a script whose keys do not fails
// with the animation's name and the offending frame.
void CheckKeyOrder(const TAnimationScript& script);

TStance SampleStance(const TAnimationScript& script, double frame, const TStance& guard);

} // namespace Fighter
