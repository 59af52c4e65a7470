// The two players' keys and the mouse: what each key changes, and when it
// changes nothing.

#include "FightTest.h"

#include <cmath>

namespace
{
QString Pending(const TGLActor& actor)
{
    return actor.PendingAnimation() != nullptr ? actor.PendingAnimation()->Name() : QString();
}

// Distance of a point from the origin, where the camera's target stands.
double Distance(const TGLCoordinates& position)
{
    return std::hypot(position.X(), position.Y(), position.Z());
}
} // namespace

class FightControlsTest : public TFightTest
{
protected:
    void SetUp() override
    {
        TFightTest::SetUp();
        MakeDataTree();
        CreateFight();
        ASSERT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
    }

    // Both fighters back to idle, as at the end of an animation.
    void BothIdle()
    {
        FFight->GLActor1EndFrameReached(FFight->GLActor1);
        FFight->GLActor2EndFrameReached(FFight->GLActor2);
    }
};

TEST_F(FightControlsTest, ViewKeysShowBothSkeletonsZoomAndEndTheProgram)
{
    TJeu& fight = *FFight;
    // Both skeletons follow fighter 1's setting.
    fight.GLActor2->SetOverlaySkeleton(true);
    EXPECT_EQ(Press(u' '), QChar(0));
    EXPECT_TRUE(fight.GLActor1->OverlaySkeleton());
    EXPECT_TRUE(fight.GLActor2->OverlaySkeleton());
    Press(u' ');
    EXPECT_FALSE(fight.GLActor1->OverlaySkeleton());
    EXPECT_FALSE(fight.GLActor2->OverlaySkeleton());

    // The camera starts 3 from its target at the origin.
    EXPECT_EQ(Press(u'+'), QChar(0));
    EXPECT_NEAR(Distance(*fight.GLCamera1->Position()), 2.7, 1e-5);
    EXPECT_EQ(Press(u'-'), QChar(0));
    EXPECT_NEAR(Distance(*fight.GLCamera1->Position()), 2.97, 1e-5);

    EXPECT_FALSE(FApplication->Terminated());
    EXPECT_EQ(Press(u'p'), QChar(0));
    EXPECT_TRUE(FApplication->Terminated());
}

TEST_F(FightControlsTest, UpperCaseAndOtherKeysChangeNothingButAreConsumed)
{
    TJeu& fight = *FFight;
    for (const char16_t key : {u'A', u'D', u'S', u'W', u'E', u'L', u'J', u'K', u'I', u'O', u'P', u'x', u'1', u'\r'})
    {
        SCOPED_TRACE(QString(QChar(key)).toStdString());
        EXPECT_EQ(Press(key), QChar(0));
        EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pause");
        EXPECT_EQ(fight.BaseAnimation2(), "Anime_Pause");
        EXPECT_EQ(fight.GLActor1->PendingAnimation(), nullptr);
        EXPECT_EQ(fight.GLActor2->PendingAnimation(), nullptr);
        EXPECT_FALSE(JumpRequested1 || JumpRequested2 || Hit1 || Hit2);
        EXPECT_NEAR(Distance(*fight.GLCamera1->Position()), 3, 1e-6);
        EXPECT_FALSE(fight.GLActor1->OverlaySkeleton());
        EXPECT_FALSE(FApplication->Terminated());
    }
}

TEST_F(FightControlsTest, WalkKeysRefuseWhileBlockedOrInsideAWall)
{
    TJeu& fight = *FFight;
    EXPECT_EQ(Press(u'a'), QChar(0));
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pas");
    EXPECT_EQ(Pending(*fight.GLActor1), "Anime_Pas");
    Press(u'l');
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Pas");
    EXPECT_EQ(Pending(*fight.GLActor2), "Anime_Pas");

    // Blocked stops walking forward only.
    BothIdle();
    Blocked = true;
    Press(u'a');
    Press(u'l');
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pause");
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Pause");
    Press(u'd');
    Press(u'j');
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Arriere");
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Arriere");

    // Inside the low walls (in the air) neither walk key starts.
    BothIdle();
    Blocked = false;
    Place(*fight.GLActor1, 9.5f, 0.5f);
    Place(*fight.GLActor2, -9.5f, 0.5f);
    for (const char16_t key : {u'a', u'd', u'l', u'j'})
        Press(key);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pause");
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Pause");
    // Crouching knows no walls.
    Press(u's');
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Accroupi");
}

TEST_F(FightControlsTest, FighterOneMayWalkOutOfAJumpAndFighterTwoMayJumpAgain)
{
    TJeu& fight = *FFight;
    Press(u'w');
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Saut");
    EXPECT_TRUE(JumpRequested1);
    Press(u'a');
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pas");
    EXPECT_TRUE(JumpRequested1) << "walking leaves the jump flags alone";

    Press(u'i');
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Saut");
    Press(u'l');
    EXPECT_EQ(fight.BaseAnimation2(), "Anime_Saut");

    // Fighter 2, already in the air, restarts its jump.
    TGLActor& actor2 = *fight.GLActor2;
    ASSERT_TRUE(StepUntil([&] { return actor2.StartFrame() == 139 && actor2.CurrentFrame() == 146; }));
    Tick();
    EXPECT_TRUE(Airborne2);
    EXPECT_FALSE(JumpRequested2);
    Press(u'i');
    EXPECT_TRUE(JumpRequested2);
    EXPECT_EQ(Pending(actor2), "Anime_Saut");
    ASSERT_TRUE(StepUntil([&] { return actor2.PendingAnimation() == nullptr; }));
    EXPECT_EQ(actor2.CurrentFrame(), 139);

    // Fighter 1 cannot.
    BothIdle();
    Press(u'w');
    JumpRequested1 = false;
    ASSERT_TRUE(StepUntilPlaying(*fight.GLActor1, "Anime_Saut"));
    Press(u'w');
    EXPECT_FALSE(JumpRequested1);
    EXPECT_EQ(fight.GLActor1->PendingAnimation(), nullptr);
}

TEST_F(FightControlsTest, HoldingCrouchPinsFrameFiftyFiveUntilReleased)
{
    TJeu& fight = *FFight;
    TGLActor& actor1 = *fight.GLActor1;
    Press(u's');
    ASSERT_TRUE(StepUntilPlaying(actor1, "Anime_Accroupi"));
    ASSERT_EQ(actor1.StartFrame(), 48);
    // Held: the key repeats every 30 ms between ticks, for two seconds.
    int highest = 0;
    for (int repeat = 0; repeat < 66; ++repeat)
    {
        Press(u's');
        EXPECT_EQ(actor1.CurrentFrame(), 55);
        EXPECT_EQ(actor1.Interval(), 500);
        StepClock(30);
        highest = std::max(highest, actor1.CurrentFrame());
        Tick();
    }
    EXPECT_LE(highest, 56);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Accroupi");

    // Released: the crouch goes on at its speed and ends in idle.
    for (int tick = 0; tick < 40 && fight.BaseAnimation1() == "Anime_Accroupi"; ++tick)
    {
        StepClock(30);
        Tick();
    }
    EXPECT_EQ(actor1.Interval(), 50);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pause");
}

TEST_F(FightControlsTest, ThreeComboPressesChainTheHitsFromTheSameRelativeFrame)
{
    TJeu& fight = *FFight;
    TGLActor& actor1 = *fight.GLActor1;
    Press(u'e');
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_1");
    ASSERT_TRUE(StepUntilPlaying(actor1, "Combo1_1"));
    ASSERT_EQ(actor1.StartFrame(), 67);
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 67 + 3; }));

    Press(u'e');
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_2");
    EXPECT_EQ(actor1.StartFrame(), 82);
    EXPECT_EQ(actor1.CurrentFrame(), 82 + 3);
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 82 + 21; }));

    // Fighter 2 is idle, under ten frames into its animation: fighter 1's
    // third hit does not care.
    Press(u'e');
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_3");
    EXPECT_EQ(actor1.StartFrame(), 107);
    EXPECT_EQ(actor1.CurrentFrame(), 107 + 21);

    Press(u'e');
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_3");
    EXPECT_EQ(actor1.StartFrame(), 107);
    EXPECT_EQ(actor1.CurrentFrame(), 107 + 21);
}

TEST_F(FightControlsTest, ComboKeyTooLateInAHitDoesNothing)
{
    TJeu& fight = *FFight;
    TGLActor& actor1 = *fight.GLActor1;
    Press(u'e');
    ASSERT_TRUE(StepUntilPlaying(actor1, "Combo1_1"));
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 67 + 10; }));
    Press(u'e');
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_1");
    EXPECT_EQ(actor1.StartFrame(), 67);
    ASSERT_TRUE(StepUntil([&] { return fight.BaseAnimation1() == "Anime_Pause"; }));

    // The second hit's limit: frame 22 is too late, 21 is not.
    Press(u'e');
    ASSERT_TRUE(StepUntilPlaying(actor1, "Combo1_1"));
    Press(u'e');
    ASSERT_EQ(fight.BaseAnimation1(), "Combo1_2");
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 82 + 22; }));
    Press(u'e');
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_2");
    EXPECT_EQ(actor1.StartFrame(), 82);
}

TEST_F(FightControlsTest, FighterTwosThirdHitWaitsForFighterOneTenFramesIntoItsAnimation)
{
    TJeu& fight = *FFight;
    TGLActor& actor1 = *fight.GLActor1;
    TGLActor& actor2 = *fight.GLActor2;
    Press(u'o');
    ASSERT_TRUE(StepUntilPlaying(actor2, "Combo1_1"));
    Press(u'o');
    ASSERT_EQ(fight.BaseAnimation2(), "Combo1_2");
    // Fighter 1 idles: its animation has only seven frames.
    Press(u'o');
    EXPECT_EQ(fight.BaseAnimation2(), "Combo1_2");

    Press(u'a');
    ASSERT_TRUE(StepUntilPlaying(actor1, "Anime_Pas"));
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == actor1.StartFrame() + 9; }));
    Press(u'o');
    EXPECT_EQ(fight.BaseAnimation2(), "Combo1_2");
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == actor1.StartFrame() + 10; }));
    ASSERT_LT(actor2.CurrentFrame(), 82 + 22);
    const int k = actor2.CurrentFrame() - 82;
    Press(u'o');
    EXPECT_EQ(fight.BaseAnimation2(), "Combo1_3");
    EXPECT_EQ(actor2.CurrentFrame(), 107 + k);
}

TEST_F(FightControlsTest, HitsAreDecidedAtThePressFromFighterOnesPlaceAgainstFighterTwosBody)
{
    TJeu& fight = *FFight;
    Tick(); // builds fighter 2's body at x = -1
    // The first hit reaches 0.8 right of fighter 2's line, the others 1.0.
    Place(*fight.GLActor1, -0.25f, -0.3f);
    Press(u'e');
    EXPECT_TRUE(Hit2);
    Hit2 = false;
    BothIdle();
    Place(*fight.GLActor1, -0.15f, -0.3f);
    Press(u'e');
    EXPECT_FALSE(Hit2);
    BothIdle();
    Place(*fight.GLActor1, -0.05f, -0.3f);
    Press(u'e');
    EXPECT_FALSE(Hit2);
    Press(u'e');
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_2");
    EXPECT_TRUE(Hit2);

    // Fighter 2 attacks: the same test of fighter 1's place.
    Place(*fight.GLActor1, -0.25f, -0.3f);
    Press(u'o');
    EXPECT_TRUE(Hit1);
    Place(*fight.GLActor1, -0.15f, -0.3f);
    BothIdle();
    Press(u'o');
    EXPECT_FALSE(Hit1);

    // Out of the combo's states the key leaves the flag as it was.
    BothIdle();
    Hit2 = true;
    Press(u'a');
    Press(u'e');
    EXPECT_TRUE(Hit2);
    EXPECT_EQ(fight.BaseAnimation1(), "Anime_Pas");
}

TEST_F(FightControlsTest, TwoComboPressesWithinOneFrameLeaveTheActorInTheFirstHit)
{
    TJeu& fight = *FFight;
    TGLActor& actor1 = *fight.GLActor1;
    Press(u'e');
    Press(u'e');
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_2");
    // Measured against idle's frames, still playing: k = 0.
    EXPECT_EQ(actor1.StartFrame(), 82);
    EXPECT_EQ(actor1.CurrentFrame(), 82);
    // The pending first hit wins at the next whole frame.
    ASSERT_TRUE(StepUntil([&] { return actor1.PendingAnimation() == nullptr; }));
    EXPECT_EQ(actor1.StartFrame(), 67);
    EXPECT_EQ(actor1.EndFrame(), 81);
    EXPECT_EQ(fight.BaseAnimation1(), "Combo1_2");
}

TEST_F(FightControlsTest, DraggingWithTheLeftButtonOrbitsTheCamera)
{
    TJeu& fight = *FFight;
    TGLSceneViewer* const viewer = fight.GLSceneViewer1;
    const TGLCoordinates& camera = *fight.GLCamera1->Position();
    // The first drag starts from (0, 0): 90 pixels right is a quarter turn.
    fight.GLSceneViewer1MouseMove(viewer, ssLeft, -90, 0);
    EXPECT_NEAR(camera.X(), 3, 1e-4);
    EXPECT_NEAR(camera.Z(), 0, 1e-4);
    // Moves without the button only remember where the pointer is.
    fight.GLSceneViewer1MouseMove(viewer, TShiftState(), 100, 50);
    EXPECT_NEAR(camera.X(), 3, 1e-4);
    fight.GLSceneViewer1MouseMove(viewer, ssLeft, 190, 50);
    EXPECT_NEAR(camera.X(), 0, 1e-4);
    EXPECT_NEAR(camera.Z(), 3, 1e-4);
    // Vertical moves pitch around the target at the same distance.
    fight.GLSceneViewer1MouseMove(viewer, ssLeft | ssShift, 190, 20);
    EXPECT_NEAR(std::abs(camera.Y()), 1.5, 1e-4);
    EXPECT_NEAR(Distance(camera), 3, 1e-4);
}
