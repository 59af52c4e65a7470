// The generated fighter loaded the way the fight loads it, into an actor of
// our engine, and its motion checked from the actor's own skeleton.
#include "../GameModelPlacement.h"
#include "FighterChecks.h"

#include "mesh/GLActor.h"
#include "mesh/MeshObject.h"
#include "mesh/Skeleton.h"
#include "mesh/VectorFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <vector>

using namespace Fighter;

namespace
{
const QString ComboDir = QStringLiteral(STICKFIGHT_GAME_DIR "/Combo");

// Model units: the soles rest on z = -35 in the standing pose, the head's top
// is at z = 45.
constexpr float FloorZ = -35;
constexpr float StandingHeight = 80;

// Loads by bare file names with the Combo directory current, as the fight
// does, so that each animation is named after its file. Each test loads its
// own actor: a failure to load then fails the test instead of skipping it.
class FighterActor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (FindFormatByExtension(QStringLiteral("smd")) == nullptr)
            RegisterVectorFileFormats();
        try
        {
            FActor->SetReference(aarSkeleton);
            GameModels::LoadFighter(*FActor, ComboDir);
        }
        catch (const std::exception& error)
        {
            FAIL() << error.what();
        }
    }

    void Pose(const int frame) const
    {
        TSkeleton& skeleton = FActor->Skeleton();
        skeleton.SetCurrentFrame(skeleton.Frames()[frame]);
        skeleton.RootBones().UpdateGlobalMatrices();
    }

    TFighterMotion Motion() const
    {
        TSkeleton& skeleton = FActor->Skeleton();
        TFighterMotion motion;
        for (int id = 0; id < skeleton.RootBones().CountBones() - 1; ++id)
            motion.BoneNames.push_back(skeleton.RootBones().FindBoneByID(id)->Name.toStdString());
        for (int frame = 0; frame < skeleton.Frames().Count(); ++frame)
        {
            Pose(frame);
            std::vector<TVec3>& positions = motion.Frames.emplace_back();
            for (const std::string& name : motion.BoneNames)
            {
                const TMatrix& global =
                    skeleton.RootBones().FindBoneByName(QString::fromStdString(name))->GlobalMatrix();
                positions.push_back({global[3][0], global[3][1], global[3][2]});
            }
        }
        const TActorAnimations& animations = *FActor->Animations();
        for (int i = 1; i < animations.Count(); ++i)
            motion.Animations.push_back(
                {animations[i].Name().toStdString(), animations[i].StartFrame(), animations[i].EndFrame()});
        return motion;
    }

    // The skinned mesh's extents in the frame's pose.
    void SkinnedExtents(const int frame, TAffineVector& min, TAffineVector& max) const
    {
        Pose(frame);
        FActor->Skeleton().ApplySkinning(true);
        FActor->MeshObjects().GetExtents(min, max);
    }

    static std::string Joined(const std::vector<std::string>& failures)
    {
        std::string text;
        for (const std::string& failure : failures)
            text += failure + "\n";
        return text;
    }

    const std::unique_ptr<TGLActor> FActor = std::make_unique<TGLActor>(nullptr);
};
} // namespace

TEST_F(FighterActor, LoadsTheElevenAnimationsInTheFightsOrderWithTheirRanges)
{
    // The model's own pose, then each file's frames appended in load order.
    struct TRange
    {
        const char* Name;
        int Start, End;
    };
    const TRange expected[] = {{"Stick", 0, 0},        {"Anime_Pause", 1, 7},     {"Anime_Pas", 8, 31},
                               {"Anime_Arriere", 32, 47}, {"Anime_Accroupi", 48, 66}, {"Combo1_1", 67, 81},
                               {"Combo1_2", 82, 106},   {"Combo1_3", 107, 138},   {"Anime_Saut", 139, 170},
                               {"Anime_Mur", 171, 180}, {"Anime_Touche", 181, 190}, {"Anime_Mort", 191, 220}};
    const TActorAnimations& animations = *FActor->Animations();
    ASSERT_EQ(animations.Count(), 12);
    for (int i = 0; i < animations.Count(); ++i)
    {
        EXPECT_EQ(animations[i].Name().toStdString(), expected[i].Name);
        EXPECT_EQ(animations[i].StartFrame(), expected[i].Start) << expected[i].Name;
        EXPECT_EQ(animations[i].EndFrame(), expected[i].End) << expected[i].Name;
        EXPECT_EQ(animations[i].Reference(), aarSkeleton) << expected[i].Name;
    }
    EXPECT_EQ(FActor->FrameTotal(), 221);
    EXPECT_EQ(FActor->Skeleton().RootBones().CountBones(), 19 + 1);

    FActor->SwitchAnimation(QStringLiteral("Anime_Pause"), false);
    EXPECT_EQ(FActor->StartFrame(), 1);
    EXPECT_EQ(FActor->EndFrame(), 7);
    EXPECT_EQ(FActor->CurrentFrame(), 1);
}

TEST_F(FighterActor, SkeletonPosesKeepEveryDependencyOfTheFight)
{
    const TFighterMotion motion = Motion();
    ASSERT_EQ(motion.Frames.size(), 221u);
    EXPECT_EQ(Joined(CheckFighter(motion)), "");

    // The same poses one frame late break the timings the fight counts on.
    TFighterMotion late = motion;
    std::rotate(late.Frames.begin() + 1, late.Frames.end() - 1, late.Frames.end());
    EXPECT_NE(Joined(CheckFighter(late)), "");
}

TEST_F(FighterActor, SkinnedBodyNeverSinksBelowTheFloorAndDeathEndsLyingDown)
{
    TAffineVector min, max;
    SkinnedExtents(0, min, max);
    EXPECT_NEAR(min.Z, FloorZ, 1e-3);
    EXPECT_NEAR(max.Z - min.Z, StandingHeight, 1e-3);

    std::vector<int> sinking;
    for (int frame = 0; frame < FActor->FrameTotal(); ++frame)
    {
        SkinnedExtents(frame, min, max);
        if (min.Z < FloorZ - 0.05f)
            sinking.push_back(frame);
    }
    EXPECT_EQ(sinking, std::vector<int>{}) << "frames whose skin goes below the floor";

    const TActorAnimation* const death = FActor->Animations()->FindAnimation(QStringLiteral("Anime_Mort"));
    ASSERT_NE(death, nullptr);
    SkinnedExtents(death->EndFrame(), min, max);
    EXPECT_LT(max.Z - FloorZ, StandingHeight / 4) << "the body still stands " << max.Z - FloorZ << " units high";
    EXPECT_GT(std::max(max.X - min.X, max.Y - min.Y), StandingHeight * 0.6f) << "the body does not lie stretched out";
}
