#include "FighterChecks.h"
#include "SmdTestReader.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace Fighter;
using testing::HasSubstr;

namespace
{

const std::string FighterDir = STICKFIGHT_FIGHTER_DIR;

struct TPlannedAnimation
{
    const char* Name;
    int Frames;
};

// The load order of the fight and the frame counts that put the crouch hold
// at frame 55 and the back step's push at frames 36 to 44.
constexpr TPlannedAnimation Plan[] = {{"Anime_Pause", 7},     {"Anime_Pas", 24},  {"Anime_Arriere", 16},
                                      {"Anime_Accroupi", 19}, {"Combo1_1", 15},   {"Combo1_2", 25},
                                      {"Combo1_3", 32},       {"Anime_Saut", 32}, {"Anime_Mur", 10},
                                      {"Anime_Touche", 10},   {"Anime_Mort", 30}};

std::string PathOf(const std::string& name)
{
    return FighterDir + "/" + name + ".smd";
}

std::vector<TVec3> Positions(const SmdTest::TSmdFile& file, const std::vector<SmdTest::TBoneKey>& frame)
{
    std::vector<TVec3> positions;
    for (const SmdTest::TGlobal& global : SmdTest::Globals(file.Nodes, frame))
        positions.push_back({global.Position[0], global.Position[1], global.Position[2]});
    return positions;
}

// The generated files, composed the way the actor will: the model's frame,
// then each animation's frames appended in load order.
TFighterMotion MotionFromFiles()
{
    const SmdTest::TSmdFile model = SmdTest::ReadSmd(PathOf("Stick"));
    TFighterMotion motion;
    for (const SmdTest::TNode& node : model.Nodes)
        motion.BoneNames.push_back(node.Name);
    motion.Frames.push_back(Positions(model, model.Frames.at(0)));
    for (const TPlannedAnimation& planned : Plan)
    {
        const SmdTest::TSmdFile animation = SmdTest::ReadSmd(PathOf(planned.Name));
        const int start = static_cast<int>(motion.Frames.size());
        for (const auto& frame : animation.Frames)
            motion.Frames.push_back(Positions(model, frame));
        motion.Animations.push_back({planned.Name, start, static_cast<int>(motion.Frames.size()) - 1});
    }
    return motion;
}

const TFighterMotion& GeneratedMotion()
{
    static const TFighterMotion motion = MotionFromFiles();
    return motion;
}

int Bone(const TFighterMotion& motion, const std::string& name)
{
    return static_cast<int>(std::find(motion.BoneNames.begin(), motion.BoneNames.end(), name) -
                            motion.BoneNames.begin());
}

std::string Joined(const std::vector<std::string>& failures)
{
    std::string text;
    for (const std::string& failure : failures)
        text += failure + "\n";
    return text;
}

std::string FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(FighterData, GeneratedAnimationsKeepEveryTimingTheFightReliesOn)
{
    const TFighterMotion& motion = GeneratedMotion();
    ASSERT_EQ(motion.Frames.size(), 221u);
    EXPECT_EQ(Joined(CheckFighter(motion)), "");

    const TFighterMeasures measures = MeasureFighter(motion);
    EXPECT_EQ(measures.CrouchLowestFrame, 55);
    EXPECT_EQ(measures.BackHopAirborneFrames, (std::vector<int>{36, 37, 38, 39, 40, 41, 42, 43, 44}));
    EXPECT_GE(measures.JumpTakeOffFrame, 6);
    EXPECT_LE(measures.JumpLandingFrame, 24);
    for (const TStrikeMeasure* strike : {&measures.Jab, &measures.Cross, &measures.Kick})
    {
        EXPECT_GE(strike->Reach, 25) << strike->Effector;
        EXPECT_LE(strike->Reach, 45) << strike->Effector;
    }
    EXPECT_EQ(measures.Jab.Effector, "L_Hand");
    EXPECT_EQ(measures.Cross.Effector, "R_Hand");
    EXPECT_EQ(measures.Kick.Effector, "R_Toe");
    // 0.015 world units per 30 ms at scale 0.02.
    EXPECT_NEAR(measures.StrideSpeed, 25, 0.5);
}

TEST(FighterData, ChecksReportBrokenAnimationsAndMalformedInput)
{
    const TFighterMotion& good = GeneratedMotion();

    TFighterMotion lateCrouch = good; // deepest at 58: the held frame 55 would still be on the way down
    for (int frame = 55; frame <= 57; ++frame)
        lateCrouch.Frames[frame] = good.Frames[frame - 3];
    EXPECT_THAT(Joined(CheckFighter(lateCrouch)), HasSubstr("lowest first at frame 58, not 55"));

    TFighterMotion footDown = good; // a foot on the ground while the back step is pushed
    footDown.Frames[40][Bone(good, "L_Foot")].Z = good.Frames[0][Bone(good, "L_Foot")].Z;
    EXPECT_THAT(Joined(CheckFighter(footDown)), HasSubstr("on the ground at frame 40"));

    TFighterMotion longIdle = good;
    longIdle.Animations[0].EndFrame = 8;
    longIdle.Animations[1].StartFrame = 9;
    EXPECT_THAT(Joined(CheckFighter(longIdle)), HasSubstr("Anime_Pause has 8 frames"));

    TFighterMotion shortJab = good; // the fist stops 20 units out
    for (int frame = 67 + 4; frame <= 67 + 7; ++frame)
        shortJab.Frames[frame][Bone(good, "L_Hand")].X = 20;
    EXPECT_THAT(Joined(CheckFighter(shortJab)), HasSubstr("Combo1_1: the strike reaches"));

    TFighterMotion earlyKick = good; // the kick out before the chain window has closed
    earlyKick.Frames[107 + 20][Bone(good, "R_Toe")].X = 30;
    EXPECT_THAT(Joined(CheckFighter(earlyKick)), HasSubstr("Combo1_3: R_Toe is already out"));

    TFighterMotion slip = good; // a planted foot of the walk dragged along
    const int planted = 8 + 14;
    slip.Frames[planted][Bone(good, "R_Foot")].X += 1;
    EXPECT_THAT(Joined(CheckFighter(slip)), HasSubstr("Anime_Pas: a planted foot slips"));

    TFighterMotion sunk = good;
    sunk.Frames[100][Bone(good, "R_Toe")].Z -= 2;
    EXPECT_THAT(Joined(CheckFighter(sunk)), HasSubstr("frame 100: a foot sinks"));

    TFighterMotion noToe = good;
    noToe.BoneNames[Bone(good, "L_Toe")] = "Toe";
    EXPECT_EQ(CheckFighter(noToe), std::vector<std::string>{"bone L_Toe is missing"});

    TFighterMotion shortFrame = good;
    shortFrame.Frames[12].pop_back();
    EXPECT_THAT(Joined(CheckFighter(shortFrame)), HasSubstr("frame 12 has 18 bones, not 19"));

    TFighterMotion outOfRange = good;
    outOfRange.Animations.back().EndFrame = 500;
    EXPECT_THAT(Joined(CheckFighter(outOfRange)), HasSubstr("Anime_Mort is missing or its frames lie outside"));
}

TEST(FighterData, ModelStandsOnTheFloorAndNoPoseSinksItsSkin)
{
    const SmdTest::TSmdFile model = SmdTest::ReadSmd(PathOf("Stick"));
    ASSERT_EQ(model.Frames.size(), 1u);
    ASSERT_FALSE(model.Triangles.empty());
    const auto bind = SmdTest::Globals(model.Nodes, model.Frames[0]);

    double lowest = 1e9, highest = -1e9;
    for (const auto& triangle : model.Triangles)
        for (const SmdTest::TVertex& vertex : triangle)
        {
            ASSERT_GE(vertex.Bone, 0);
            ASSERT_LT(vertex.Bone, static_cast<int>(model.Nodes.size()));
            lowest = std::min(lowest, vertex.Position[2]);
            highest = std::max(highest, vertex.Position[2]);
        }
    EXPECT_NEAR(lowest, -35, 1e-6);
    EXPECT_NEAR(highest, 45, 1e-6);

    for (const TPlannedAnimation& planned : Plan)
    {
        const SmdTest::TSmdFile animation = SmdTest::ReadSmd(PathOf(planned.Name));
        for (std::size_t frame = 0; frame < animation.Frames.size(); ++frame)
        {
            const auto posed = SmdTest::Globals(model.Nodes, animation.Frames[frame]);
            double frameLowest = 1e9;
            for (const auto& triangle : model.Triangles)
                for (const SmdTest::TVertex& vertex : triangle)
                    frameLowest =
                        std::min(frameLowest, SmdTest::Skin(vertex.Position, bind[vertex.Bone], posed[vertex.Bone])[2]);
            EXPECT_GE(frameLowest, -35.05) << planned.Name << " frame " << frame;
        }
    }
}

TEST(FighterData, AnotherReaderLoadsEveryFileWithItsPlannedFrames)
{
    Assimp::Importer importer;
    const aiScene* model = importer.ReadFile(PathOf("Stick"), 0);
    ASSERT_NE(model, nullptr) << importer.GetErrorString();
    unsigned faces = 0;
    for (unsigned i = 0; i < model->mNumMeshes; ++i)
        faces += model->mMeshes[i]->mNumFaces;
    EXPECT_EQ(faces, SmdTest::ReadSmd(PathOf("Stick")).Triangles.size());
    EXPECT_EQ(model->mNumAnimations, 1u);

    for (const TPlannedAnimation& planned : Plan)
    {
        EXPECT_FALSE(SmdTest::ReadSmd(PathOf(planned.Name)).HasTriangleSection) << planned.Name;
        Assimp::Importer animationImporter;
        const aiScene* scene = animationImporter.ReadFile(PathOf(planned.Name), 0);
        ASSERT_NE(scene, nullptr) << planned.Name << ": " << animationImporter.GetErrorString();
        ASSERT_EQ(scene->mNumAnimations, 1u) << planned.Name;
        const aiAnimation* animation = scene->mAnimations[0];
        ASSERT_EQ(animation->mNumChannels, 19u) << planned.Name;
        EXPECT_EQ(animation->mChannels[0]->mNumPositionKeys, static_cast<unsigned>(planned.Frames)) << planned.Name;
    }
}

TEST(FighterData, GeneratorWritesTheSameBytesOnEveryRun)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "fighter_data_test_run";
    std::filesystem::remove_all(folder);
    const std::string command = std::string("\"") + STICKFIGHT_MAKE_FIGHTER + "\" \"" + folder.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : {"Stick", "Anime_Pause", "Combo1_3", "Anime_Mort"})
        EXPECT_EQ(FileBytes(folder / (std::string(name) + ".smd")), FileBytes(PathOf(name))) << name;
    std::filesystem::remove_all(folder);
}
