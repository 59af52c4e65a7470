#include "ActorTestObjects.h"

#include "base/Exceptions.h"
#include "mesh/GLAnimationControler.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
using TControlerList = std::vector<TGLBaseAnimationControler*>;

// An actor of 30 skeleton frames in a scene whose redraw requests are
// counted.
class Controlers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FScene.AddBuffer(&FRedraws);
        FActor = new TGLActor(nullptr);
        FScene.Objects()->AddChild(FActor);
        AddSkeletonFrames(*FActor, 30);
    }

    void TearDown() override { FScene.RemoveBuffer(&FRedraws); }

    TRedrawCounter FRedraws;
    TGLScene FScene{nullptr};
    TGLActor* FActor = nullptr;
};

void ExpectEntry(const TBlendEntry& entry, int frame1, int frame2, float factor)
{
    EXPECT_EQ(entry.FrameIndex1, frame1);
    EXPECT_EQ(entry.FrameIndex2, frame2);
    EXPECT_FLOAT_EQ(entry.LerpFactor, factor);
    EXPECT_EQ(entry.Weight, 1.0f);
    EXPECT_EQ(entry.ExtraPositions, nullptr);
    EXPECT_EQ(entry.ExtraRotations, nullptr);
    EXPECT_EQ(entry.ExtraQuaternions, nullptr);
}
} // namespace

TEST_F(Controlers, TheActorHoldsAListOnlyWhileControlersAreBound)
{
    EXPECT_EQ(FActor->Controlers(), nullptr);
    TGLAnimationControler first(nullptr);
    auto second = std::make_unique<TGLAnimationControler>(nullptr);
    first.SetActor(FActor);
    second->SetActor(FActor);
    ASSERT_NE(FActor->Controlers(), nullptr);
    EXPECT_EQ(*FActor->Controlers(), (TControlerList{&first, second.get()}));

    first.SetActor(nullptr);
    ASSERT_NE(FActor->Controlers(), nullptr);
    EXPECT_EQ(*FActor->Controlers(), (TControlerList{second.get()}));
    // A destroyed controler leaves its actor.
    second.reset();
    EXPECT_EQ(FActor->Controlers(), nullptr);

    // A destroyed actor leaves its controlers unbound.
    first.SetActor(FActor);
    TGLAnimationControler other(nullptr);
    auto* actor2 = new TGLActor(nullptr);
    other.SetActor(actor2);
    other.SetActor(FActor);
    EXPECT_EQ(actor2->Controlers(), nullptr);
    delete actor2;
    EXPECT_EQ(other.Actor(), FActor);
    delete FActor;
    EXPECT_EQ(first.Actor(), nullptr);
    EXPECT_EQ(other.Actor(), nullptr);
}

TEST_F(Controlers, ANamedControlerContributesThePointOfItsAnimationAtItsRatio)
{
    AddAnimation(*FActor, "Anime_Pas", 10, 20);
    TGLAnimationControler controler(nullptr);
    controler.SetActor(FActor);
    controler.SetAnimationName("anime_pas");
    TBlendEntry entry;
    entry.Weight = 7;
    ASSERT_TRUE(controler.ContributeBlend(entry));
    ExpectEntry(entry, 10, 10, 0);

    controler.SetRatio(1);
    ASSERT_TRUE(controler.ContributeBlend(entry));
    ExpectEntry(entry, 20, 20, 0);

    // (20 - 10) x 0.55 + 10 = 15.5.
    controler.SetRatio(0.55f);
    ASSERT_TRUE(controler.ContributeBlend(entry));
    ExpectEntry(entry, 15, 16, 0.5f);

    controler.SetRatio(0.5f);
    ASSERT_TRUE(controler.ContributeBlend(entry));
    ExpectEntry(entry, 15, 16, 0);
}

TEST_F(Controlers, DisabledUnnamedOrUnboundControlersContributeNothing)
{
    AddAnimation(*FActor, "Anime_Pas", 10, 20);
    TGLAnimationControler controler(nullptr);
    TBlendEntry entry;
    controler.SetAnimationName("Anime_Pas");
    EXPECT_FALSE(controler.ContributeBlend(entry));
    controler.SetActor(FActor);
    EXPECT_TRUE(controler.ContributeBlend(entry));
    controler.SetEnabled(false);
    EXPECT_FALSE(controler.ContributeBlend(entry));
    controler.SetEnabled(true);
    controler.SetAnimationName(QString());
    EXPECT_FALSE(controler.ContributeBlend(entry));
    controler.SetAnimationName("Anime_Saut");
    EXPECT_FALSE(controler.ContributeBlend(entry));

    const TGLBaseAnimationControler base(nullptr);
    EXPECT_FALSE(base.ContributeBlend(entry));
}

TEST_F(Controlers, TheRatioIsClampedAndOnlyANamedControlerAsksForARedraw)
{
    TGLAnimationControler controler(nullptr);
    controler.SetRatio(-2);
    EXPECT_EQ(controler.Ratio(), 0.0f);
    controler.SetRatio(3);
    EXPECT_EQ(controler.Ratio(), 1.0f);
    controler.SetRatio(0.25f);
    EXPECT_EQ(controler.Ratio(), 0.25f);

    int redraws = FRedraws.Redraws;
    controler.SetActor(FActor);
    controler.SetRatio(0.5f);
    controler.SetEnabled(false);
    EXPECT_EQ(FRedraws.Redraws, redraws) << "an unnamed controler changes no pose";
    controler.SetAnimationName("Anime_Pas");
    EXPECT_EQ(FRedraws.Redraws, redraws + 1);
    controler.SetRatio(0.75f);
    controler.SetEnabled(true);
    EXPECT_EQ(FRedraws.Redraws, redraws + 3);
    controler.SetRatio(0.75f);
    controler.SetAnimationName("Anime_Pas");
    EXPECT_EQ(FRedraws.Redraws, redraws + 3);

    // The base controler asks on every change while bound.
    TGLBaseAnimationControler base(nullptr);
    base.SetEnabled(false);
    EXPECT_EQ(FRedraws.Redraws, redraws + 3);
    base.SetActor(FActor);
    EXPECT_EQ(FRedraws.Redraws, redraws + 4);
    base.SetEnabled(true);
    EXPECT_EQ(FRedraws.Redraws, redraws + 5);
}
