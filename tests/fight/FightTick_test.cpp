// The fight tick: movement by state, jumps, bounces, hits, deaths, the arena's
// limits, the texts and the camera. Expected positions are the layout's
// singles moved by the tick's constants and rounded to singles again.

#include "FightTest.h"

#include <QLocale>

#include <map>

namespace
{
QString Pending(const TGLActor& actor)
{
    return actor.PendingAnimation() != nullptr ? actor.PendingAnimation()->Name() : QString();
}
} // namespace

class FightTickTest : public TFightTest
{
protected:
    void SetUp() override
    {
        TFightTest::SetUp();
        MakeDataTree();
        CreateFight();
        ASSERT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
    }

    // Puts a fighter into an animation now, as the key handler names it.
    void Start(const char16_t key, TGLActor& actor, const QString& name)
    {
        Press(key);
        ASSERT_TRUE(StepUntilPlaying(actor, name)) << name.toStdString();
    }
};

TEST_F(FightTickTest, FirstTickSetsTheFrameIntervalToFiftyExceptOnFrameFiftyFive)
{
    TGLActor& actor1 = *FFight->GLActor1;
    EXPECT_EQ(actor1.Interval(), 30);
    Tick();
    EXPECT_EQ(actor1.Interval(), 50);
    actor1.SetInterval(500);
    actor1.SetCurrentFrame(55);
    Tick();
    EXPECT_EQ(actor1.Interval(), 500);
    actor1.SetCurrentFrame(54);
    Tick();
    EXPECT_EQ(actor1.Interval(), 50);
    // The same rule holds for fighter 2.
    TGLActor& actor2 = *FFight->GLActor2;
    actor2.SetInterval(500);
    actor2.SetCurrentFrame(55);
    Tick();
    EXPECT_EQ(actor2.Interval(), 500);
    actor2.SetCurrentFrame(56);
    Tick();
    EXPECT_EQ(actor2.Interval(), 50);
}

TEST_F(FightTickTest, CaptionShowsTheFrameRateSinceThePreviousTick)
{
    Tick();
    EXPECT_EQ(FFight->Caption(), "0.0 FPS");
    FFight->Show();
    TGLSceneBuffer* const buffer = FFight->GLSceneViewer1->Buffer();
    FFight->GLCadencer1->SetMode(cmASAP);
    ASSERT_TRUE(RunUntil([&] { return buffer->FrameCount() > 3; }, 5000));
    FFight->GLCadencer1->SetMode(cmManual);
    Tick();
    const QString caption = FFight->Caption();
    EXPECT_TRUE(caption.endsWith(" FPS")) << caption.toStdString();
    EXPECT_GT(caption.chopped(4).toDouble(), 0.0) << caption.toStdString();
    EXPECT_EQ(caption.chopped(4).section('.', 1).size(), 1) << caption.toStdString();
    // Read and reset: nothing drawn since.
    Tick();
    EXPECT_EQ(FFight->Caption(), "0.0 FPS");
}

TEST_F(FightTickTest, WalkingMovesEachFighterTowardsTheOther)
{
    Start(u'a', *FFight->GLActor1, "Anime_Pas");
    Start(u'l', *FFight->GLActor2, "Anime_Pas");
    Tick();
    EXPECT_EQ(X(*FFight->GLActor1), 0.985f);
    EXPECT_EQ(X(*FFight->GLActor2), -0.985f);
    Tick();
    EXPECT_EQ(X(*FFight->GLActor1), static_cast<float>(0.985f - 0.015));
    EXPECT_EQ(X(*FFight->GLActor2), static_cast<float>(-0.985f + 0.015));
}

TEST_F(FightTickTest, WalkingBackPushesOnlyBetweenFrames35And45)
{
    TGLActor& actor1 = *FFight->GLActor1;
    TGLActor& actor2 = *FFight->GLActor2;
    Start(u'd', actor1, "Anime_Arriere");
    Start(u'j', actor2, "Anime_Arriere");
    const struct
    {
        int Frame;
        float X1;
        float X2;
    } cases[] = {{35, 1.0f, -1.0f},
                 {36, 1.05f, -1.05f},
                 {44, static_cast<float>(1.05f + 0.05), static_cast<float>(-1.05f - 0.05)},
                 {45, static_cast<float>(1.05f + 0.05), static_cast<float>(-1.05f - 0.05)}};
    for (const auto& step : cases)
    {
        actor1.SetCurrentFrame(step.Frame);
        actor2.SetCurrentFrame(step.Frame);
        Tick();
        EXPECT_EQ(X(actor1), step.X1) << "frame " << step.Frame;
        EXPECT_EQ(X(actor2), step.X2) << "frame " << step.Frame;
    }
}

TEST_F(FightTickTest, HitsLungeInTheirFirstFiveFramesAndTheThirdAgainAtItsFrame29)
{
    TGLActor& actor1 = *FFight->GLActor1;
    TGLActor& actor2 = *FFight->GLActor2;
    Place(actor2, -5, -0.3f);
    Start(u'e', actor1, "Combo1_1");
    actor1.SetCurrentFrame(67 + 4);
    Tick();
    EXPECT_EQ(X(actor1), 0.97f);
    actor1.SetCurrentFrame(67 + 5);
    Tick();
    EXPECT_EQ(X(actor1), 0.97f);

    Start(u'o', actor2, "Combo1_1");
    Press(u'o');
    Press(u'o');
    ASSERT_EQ(FFight->BaseAnimation2(), "Combo1_2");
    Place(actor1, 1, -0.3f);
    actor1.SetCurrentFrame(actor1.StartFrame() + 10); // lets fighter 2's third hit through
    actor2.SetCurrentFrame(82 + 3);
    Press(u'o');
    ASSERT_EQ(FFight->BaseAnimation2(), "Combo1_3");
    ASSERT_EQ(actor2.CurrentFrame(), 107 + 3);
    Place(actor2, -5, -0.3f);
    Tick();
    EXPECT_EQ(X(actor2), -4.97f);
    for (const int frame : {107 + 28, 107 + 30})
    {
        actor2.SetCurrentFrame(frame);
        Tick();
        EXPECT_EQ(X(actor2), -4.97f) << frame;
    }
    actor2.SetCurrentFrame(107 + 29);
    Tick();
    EXPECT_EQ(X(actor2), static_cast<float>(-4.97f + 0.08));
}

// Take-off once the jump is more than 6 frames in; then one curve entry per
// tick, 0.59964 at the top, landing on the tick that reads entry 29.
TEST_F(FightTickTest, JumpFromIdleFollowsTheCurveAndLandsOnEntry29)
{
    TGLActor& actor1 = *FFight->GLActor1;
    Start(u'w', actor1, "Anime_Saut");
    ASSERT_EQ(actor1.StartFrame(), 139);
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 139 + 6; }));
    Tick();
    EXPECT_FALSE(Airborne1);
    EXPECT_TRUE(JumpRequested1);
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 139 + 7; }));
    Tick();
    EXPECT_TRUE(Airborne1);
    EXPECT_FALSE(JumpRequested1);
    EXPECT_EQ(Y(actor1), -0.3f) << "the take-off tick reads entry 1";

    // -0.3 + 4.2 t - 4.9 t^2 at t = 0.03 (i - 1).
    const std::map<int, double> entries{{2, -0.17841}, {4, 0.03831}, {15, 0.59964}, {27, -0.00516}, {28, -0.11289}};
    double highest = -1;
    for (int entry = 2; entry <= 28; ++entry)
    {
        Tick();
        ASSERT_TRUE(Airborne1) << "entry " << entry;
        highest = std::max(highest, Y(actor1));
        if (entries.contains(entry))
        {
            EXPECT_NEAR(Y(actor1), entries.at(entry), 1e-5) << "entry " << entry;
        }
    }
    EXPECT_NEAR(highest, 0.59964, 1e-5);
    Tick(); // entry 29: -0.22944
    EXPECT_FALSE(Airborne1);
    EXPECT_EQ(Y(actor1), -0.3f);
    EXPECT_EQ(JumpIndex1, 2);

    // The next jump starts from entry 2.
    ASSERT_TRUE(StepUntil([&] { return FFight->BaseAnimation1() == "Anime_Pause"; }));
    Start(u'w', actor1, "Anime_Saut");
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 139 + 7; }));
    Tick();
    EXPECT_TRUE(Airborne1);
    EXPECT_NEAR(Y(actor1), -0.17841, 1e-5);
}

// Until the actor adopts a smooth switch, the tick tests the previous
// animation's frames: fighter 2, landed but still late in its jump, jumps
// again and takes off at the very next tick.
TEST_F(FightTickTest, JumpKeyTestsThePreviousFramesUntilTheSwitchIsAdopted)
{
    TGLActor& actor2 = *FFight->GLActor2;
    Start(u'i', actor2, "Anime_Saut");
    ASSERT_TRUE(StepUntil([&] { return actor2.CurrentFrame() == 139 + 10; }));
    for (int entry = 1; entry <= 29; ++entry)
        Tick();
    ASSERT_FALSE(Airborne2);
    Press(u'i');
    Tick();
    EXPECT_TRUE(Airborne2);
    EXPECT_FALSE(JumpRequested2);
    EXPECT_EQ(Pending(actor2), "Anime_Saut");
    EXPECT_EQ(actor2.CurrentFrame(), 139 + 10);
}

TEST_F(FightTickTest, FighterTwoJumpsAndLandsByTheSameCurve)
{
    TGLActor& actor2 = *FFight->GLActor2;
    Start(u'i', actor2, "Anime_Saut");
    ASSERT_TRUE(StepUntil([&] { return actor2.CurrentFrame() == 139 + 7; }));
    Tick();
    ASSERT_TRUE(Airborne2);
    for (int entry = 2; entry <= 15; ++entry)
        Tick();
    EXPECT_NEAR(Y(actor2), 0.59964, 1e-5);
    for (int entry = 16; entry <= 29; ++entry)
        Tick();
    EXPECT_FALSE(Airborne2);
    EXPECT_EQ(Y(actor2), -0.3f);
}

TEST_F(FightTickTest, WalkerBouncesWithinSixTenthsAndBothActorsPlayTheBounce)
{
    TGLActor& actor1 = *FFight->GLActor1;
    TGLActor& actor2 = *FFight->GLActor2;
    Tick();
    EXPECT_FALSE(Blocked) << "1 and -1 are far apart";
    Start(u'a', actor1, "Anime_Pas");
    // -0.38 - 0.015 stays right of -1 + 0.6; -0.39 - 0.015 does not.
    Place(actor1, -0.38f, -0.3f);
    Tick();
    EXPECT_FALSE(Blocked);
    Place(actor1, -0.39f, -0.3f);
    Tick();
    EXPECT_TRUE(Blocked);
    EXPECT_EQ(FFight->BaseAnimation1(), "Anime_Pas");
    Tick();
    EXPECT_EQ(FFight->BaseAnimation1(), "Anime_Mur");
    EXPECT_EQ(FFight->BaseAnimation2(), "Anime_Pause");
    EXPECT_EQ(Pending(actor1), "Anime_Mur");
    EXPECT_EQ(Pending(actor2), "Anime_Mur");
    // The bounce pushes the walker back.
    const float before = X(actor1);
    Tick();
    EXPECT_EQ(X(actor1), static_cast<float>(before + 0.01));
}

TEST_F(FightTickTest, FighterTwoWalkingIntoFighterOneBouncesToo)
{
    TGLActor& actor1 = *FFight->GLActor1;
    TGLActor& actor2 = *FFight->GLActor2;
    Start(u'l', actor2, "Anime_Pas");
    Place(actor2, 0.39f, -0.3f);
    Tick();
    EXPECT_TRUE(Blocked);
    Tick();
    EXPECT_EQ(FFight->BaseAnimation2(), "Anime_Mur");
    EXPECT_EQ(FFight->BaseAnimation1(), "Anime_Pause");
    EXPECT_EQ(Pending(actor1), "Anime_Mur");
    EXPECT_EQ(Pending(actor2), "Anime_Mur");
}

TEST_F(FightTickTest, FighterOneLeftOfFighterTwoNeitherBlocksNorHits)
{
    TGLActor& actor1 = *FFight->GLActor1;
    Place(actor1, -1.2f, -0.3f);
    Tick();
    EXPECT_FALSE(Blocked);
    Press(u'e');
    EXPECT_FALSE(Hit2);
    Press(u'o');
    EXPECT_FALSE(Hit1);
    Tick();
    EXPECT_EQ(FFight->Vie1->Position(), 100);
    EXPECT_EQ(FFight->Vie2->Position(), 100);
}

TEST_F(FightTickTest, TenHitsEmptyAGaugeTheDeathPlaysOnceAndTheFightGoesOn)
{
    TGLActor& actor2 = *FFight->GLActor2;
    for (int hit = 1; hit <= 9; ++hit)
    {
        Hit2 = true;
        Tick();
        EXPECT_EQ(FFight->Vie2->Position(), 100 - 10 * hit);
        EXPECT_EQ(FFight->BaseAnimation2(), "Anime_Touche");
        EXPECT_FALSE(Hit2) << "applied in one tick";
    }
    Hit2 = true;
    Tick();
    EXPECT_EQ(FFight->Vie2->Position(), 0);
    EXPECT_TRUE(Dead2);
    EXPECT_EQ(FFight->BaseAnimation2(), "Anime_Mort");
    EXPECT_EQ(Pending(actor2), "Anime_Mort") << "the death replaces the hit reaction";
    EXPECT_EQ(FFight->Vie1->Position(), 100);
    EXPECT_FALSE(Dead1);

    ASSERT_TRUE(StepUntil([&] { return FFight->BaseAnimation2() == "Anime_Pause"; }, 3000));
    Hit2 = true;
    Tick();
    EXPECT_EQ(FFight->Vie2->Position(), 0);
    EXPECT_EQ(FFight->BaseAnimation2(), "Anime_Touche");
    // Dead, the fighter still walks.
    ASSERT_TRUE(StepUntil([&] { return FFight->BaseAnimation2() == "Anime_Pause"; }, 3000));
    Press(u'l');
    EXPECT_EQ(FFight->BaseAnimation2(), "Anime_Pas");
}

TEST_F(FightTickTest, StandingFighterIsKeptInsideTheArenaButNotInTheAir)
{
    TGLActor& actor1 = *FFight->GLActor1;
    TGLActor& actor2 = *FFight->GLActor2;
    Place(actor1, 9.5f, 0.5f);
    Place(actor2, -9.5f, 0.5f);
    Tick();
    EXPECT_EQ(X(actor1), 9.5f);
    EXPECT_EQ(X(actor2), -9.5f);
    Place(actor1, 9.5f, -0.3f);
    Place(actor2, -9.5f, -0.3f);
    Tick();
    EXPECT_EQ(X(actor1), 9.1f);
    EXPECT_EQ(X(actor2), -9.12f);
    Place(actor1, -9.5f, -0.3f);
    Place(actor2, 9.5f, -0.3f);
    Tick();
    EXPECT_EQ(X(actor1), -9.12f);
    EXPECT_EQ(X(actor2), 9.1f);
}

TEST_F(FightTickTest, FighterOneInTheAirOnFighterTwosLineHitsBoth)
{
    TGLActor& actor1 = *FFight->GLActor1;
    Place(actor1, -1, 0.2f);
    Tick();
    EXPECT_TRUE(Hit1);
    EXPECT_TRUE(Hit2);
    Tick();
    EXPECT_EQ(FFight->Vie1->Position(), 90);
    EXPECT_EQ(FFight->Vie2->Position(), 90);
    EXPECT_EQ(FFight->BaseAnimation1(), "Anime_Touche");
    EXPECT_EQ(FFight->BaseAnimation2(), "Anime_Touche");
}

TEST_F(FightTickTest, ReactionsPushBothFightersBackwards)
{
    TGLActor& actor1 = *FFight->GLActor1;
    TGLActor& actor2 = *FFight->GLActor2;
    Hit1 = Hit2 = true;
    Place(actor1, 3, -0.3f);
    Tick();
    ASSERT_TRUE(StepUntilPlaying(actor1, "Anime_Touche"));
    Tick();
    EXPECT_EQ(X(actor1), 3.013f);
    EXPECT_EQ(X(actor2), -1.013f);
}

TEST_F(FightTickTest, CameraAndItsTargetFollowTheMidpoint)
{
    Place(*FFight->GLActor1, 3, -0.3f);
    Tick();
    EXPECT_EQ(X(*FFight->GLDummyCube1), 1.0f);
    EXPECT_EQ(X(*FFight->GLCamera1), 1.0f);
    Place(*FFight->GLActor2, -4, -0.3f);
    Tick();
    EXPECT_EQ(X(*FFight->GLDummyCube1), -0.5f);
    EXPECT_EQ(X(*FFight->GLCamera1), -0.5f);
}

TEST_F(FightTickTest, DebugTextsShowEachFightersPlaceFrameAndState)
{
    Tick();
    EXPECT_EQ(FFight->GLHUDText1->Text(), "Position X : -1\r\nPosition Y : -0.300000011920929\r\n"
                                          "CurrentFrame : 1\r\nbaseAnimation2 : Anime_Pause");
    EXPECT_EQ(FFight->GLHUDText2->Text(), "Position X : 1\r\nPosition Y : -0.300000011920929\r\n"
                                          "CurrentFrame : 1\r\nbaseAnimation1 : Anime_Pause");
    Start(u'a', *FFight->GLActor1, "Anime_Pas");
    Tick();
    EXPECT_EQ(FFight->GLHUDText2->Text(), "Position X : 0.985000014305115\r\nPosition Y : -0.300000011920929\r\n"
                                          "CurrentFrame : 8\r\nbaseAnimation1 : Anime_Pas");
}

TEST_F(FightTickTest, EndOfEveryAnimationReturnsToIdle)
{
    TGLActor& actor1 = *FFight->GLActor1;
    Start(u'a', actor1, "Anime_Pas");
    ASSERT_TRUE(StepUntil([&] { return FFight->BaseAnimation1() == "Anime_Pause"; }));
    EXPECT_EQ(actor1.CurrentFrame(), 31) << "at the walk's last frame";
    ASSERT_TRUE(StepUntilPlaying(actor1, "Anime_Pause"));
    // Idle itself restarts through the same handler.
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 7; }));
    ASSERT_TRUE(StepUntil([&] { return actor1.CurrentFrame() == 1; }));
    EXPECT_EQ(FFight->BaseAnimation1(), "Anime_Pause");
}

class FightTickLocaleTest : public FightTickTest
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        FightTickTest::SetUp();
    }
    void TearDown() override
    {
        FightTickTest::TearDown();
        QLocale::setDefault(QLocale::c());
    }
};

TEST_F(FightTickLocaleTest, NumbersUseTheLocalesDecimalSeparator)
{
    Tick();
    EXPECT_EQ(FFight->Caption(), "0,0 FPS");
    EXPECT_TRUE(FFight->GLHUDText1->Text().contains("-0,300000011920929"));
}
