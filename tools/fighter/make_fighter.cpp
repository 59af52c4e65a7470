// Writes the fighter's model "Stick.smd" and its eleven animations into the
// folder given as the first argument, after checking that the animations
// give the fight what it relies on. With "--report" it also prints the
// measured timings and reaches.
//
// Placement, worked out from the fight's layout: an actor is drawn at scale
// 0.02 with Direction (0, 1, 0) and Up (0, 0, 1) for fighter 1, Up (0, 0, -1)
// for fighter 2 (rounding residues aside). Its matrix rows are Left = Up x
// Direction, Up and Direction, each times 0.02, then the position:
//   fighter 1: Left = (-1, 0, 0), so (x, y, z) lands at (1 - 0.02x, -0.3 + 0.02z, 0.02y);
//   fighter 2: Left = (1, 0, 0),  so (x, y, z) lands at (-1 + 0.02x, -0.3 + 0.02z, -0.02y).
// Model +Z is world up for both; model +X, the way the fighter faces, is world
// -x for fighter 1 and +x for fighter 2: each faces the other. Soles at
// z = -35 land at y = -0.3 - 0.7 = -1.0, the top of the ground block (centre
// -12.5, height 23); the head's top at z = +45 lands at y = 0.6. A reach of
// 25 to 45 model units is 0.5 to 0.9 world units.

#include "FighterAnimations.h"
#include "FighterChecks.h"
#include "PoseBuilder.h"
#include "SmdWriter.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Fighter;

namespace
{

void WriteFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::vector<TVec3> BonePositions(const TPose& pose)
{
    const TGlobalPose globals = GlobalTransforms(pose);
    std::vector<TVec3> positions;
    for (const TTransform& global : globals)
        positions.push_back(global.Position);
    return positions;
}

TFighterMotion MotionOf(const TPose& bind, const std::vector<std::vector<TPose>>& animations)
{
    TFighterMotion motion;
    for (const TBoneDef& bone : StickBones)
        motion.BoneNames.emplace_back(bone.Name);
    motion.Frames.push_back(BonePositions(bind));
    for (std::size_t i = 0; i < animations.size(); ++i)
    {
        const int start = static_cast<int>(motion.Frames.size());
        for (const TPose& pose : animations[i])
            motion.Frames.push_back(BonePositions(pose));
        motion.Animations.push_back(
            {std::string(FighterAnimations()[i]->Name), start, static_cast<int>(motion.Frames.size()) - 1});
    }
    return motion;
}

void PrintStrike(const char* what, const TStrikeMeasure& strike)
{
    std::printf("%s: %s reaches %.1f model units (%.2f world) at +%d\n", what, strike.Effector.c_str(), strike.Reach,
                strike.Reach * 0.02, strike.Frame);
}

void PrintReport(const TFighterMotion& motion)
{
    const TFighterMeasures measures = MeasureFighter(motion);
    std::printf("crouch: pelvis lowest at frame %d, %.1f units down\n", measures.CrouchLowestFrame,
                measures.CrouchDepth);
    std::printf("back hop: both feet off the ground at frames");
    for (const int frame : measures.BackHopAirborneFrames)
        std::printf(" %d", frame);
    std::printf("\njump: last on the ground at +%d, back down at +%d\n", measures.JumpTakeOffFrame,
                measures.JumpLandingFrame);
    PrintStrike("jab", measures.Jab);
    PrintStrike("cross", measures.Cross);
    PrintStrike("kick", measures.Kick);
    std::printf("walk: planted feet move back %.2f units/s (ground 25), worst step off by %.3f units\n",
                measures.StrideSpeed, measures.StrideDeviation);
}

int Run(const std::filesystem::path& folder, const bool report)
{
    const TPose bind = BindPose();
    std::vector<std::vector<TPose>> animations;
    for (const TAnimationScript* script : FighterAnimations())
        animations.push_back(BuildAnimationFrames(*script, Guard));
    const TFighterMotion motion = MotionOf(bind, animations);
    if (report)
        PrintReport(motion);
    const std::vector<std::string> failures = CheckFighter(motion);
    for (const std::string& failure : failures)
        std::fprintf(stderr, "make_fighter: %s\n", failure.c_str());
    if (!failures.empty())
        return 1;
    std::filesystem::create_directories(folder);
    WriteFile(folder / "Stick.smd", SmdModel(bind, BuildStickMesh()));
    for (std::size_t i = 0; i < animations.size(); ++i)
        WriteFile(folder / (std::string(FighterAnimations()[i]->Name) + ".smd"), SmdAnimation(animations[i]));
    return 0;
}

} // namespace

int main(const int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: make_fighter <output folder> [--report]\n");
        return 2;
    }
    try
    {
        return Run(argv[1], argc > 2 && std::string(argv[2]) == "--report");
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "make_fighter: %s\n", error.what());
        return 1;
    }
}
