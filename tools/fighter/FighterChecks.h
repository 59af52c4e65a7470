#pragma once

#include "FighterMath.h"

#include <string>
#include <vector>

// What the fight relies on in the fighter's animations, checked on plain data:
// the global position of every bone in every frame, in model units (Z up,
// facing +X, the actor's position at the origin), and the animations' frame
// ranges. Frame 0 is the model's own standing pose with both feet flat on the
// floor; it gives the height of a foot on the ground.
namespace Fighter
{

struct TAnimationRange
{
    std::string Name;
    int StartFrame = 0, EndFrame = 0;
};

struct TFighterMotion
{
    std::vector<std::string> BoneNames;
    std::vector<std::vector<TVec3>> Frames; // [absolute frame][bone]
    std::vector<TAnimationRange> Animations;
};

// A strike: the fist or foot that reaches farthest within its contact frames
// (relative to the hit's start), and how far in front of the actor it gets.
struct TStrikeMeasure
{
    std::string Effector;
    int Frame = -1;
    double Reach = 0;
};

struct TFighterMeasures
{
    int CrouchLowestFrame = -1;             // absolute
    double CrouchDepth = 0;                 // pelvis drop below its first frame
    std::vector<int> BackHopAirborneFrames; // absolute frames with both feet off the ground
    int JumpTakeOffFrame = -1;              // relative: the last frame on the ground before the feet leave it
    int JumpLandingFrame = -1;              // relative: the first frame back on the ground
    TStrikeMeasure Jab, Cross, Kick;
    double StrideSpeed = 0;     // mean backward speed of planted feet in the walk, model units a second
    double StrideDeviation = 0; // largest departure of one planted step from 1.25 units a frame
};

// Every broken dependency, in words; empty when all hold. Malformed input
// (missing bones or animations, short frames) is reported, never read past.
std::vector<std::string> CheckFighter(const TFighterMotion& motion);

// The values behind the checks, for reports; entries whose animation or bones
// are missing keep their defaults.
TFighterMeasures MeasureFighter(const TFighterMotion& motion);

} // namespace Fighter
