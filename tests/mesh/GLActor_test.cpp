#include "ActorTestObjects.h"
#include "TestVectorFile.h"

#include "base/ClassRegistry.h"
#include "base/Exceptions.h"
#include "base/LayoutReader.h"
#include "mesh/GLAnimationControler.h"
#include "mesh/SkeletonMeshObject.h"
#include "scene/GLMaterial.h"
#include "scene/GLStateCache.h"

#include "GLTestContext.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace
{
// An actor of 30 skeleton frames driven by hand-made clock steps.
class ActorClock : public ::testing::Test
{
protected:
    void SetUp() override { AddSkeletonFrames(FActor, 30); }

    void SetRange(int start, int end)
    {
        FActor.SetStartFrame(start);
        FActor.SetEndFrame(end);
    }

    void Tick(double seconds)
    {
        FNow += seconds;
        FActor.AdvanceTime({seconds, FNow});
    }

    TGLActor FActor{nullptr};
    double FNow = 0;
};

using TFrameAndMode = std::pair<int, TActorAnimationMode>;
} // namespace

TEST_F(ActorClock, LoopWrapsFromTheEndToTheStartAndFiresTheEndEventAtEveryPass)
{
    SetRange(10, 20);
    FActor.SetAnimationMode(aamLoop);
    FActor.SetCurrentFrame(20);
    EXPECT_EQ(FActor.FollowingFrame(), 10);
    // Outside the range: min(20, 25 + 10 - 20).
    FActor.SetCurrentFrame(25);
    EXPECT_EQ(FActor.FollowingFrame(), 15);

    FActor.SetCurrentFrame(10);
    std::vector<int> ends, starts;
    FActor.SetOnEndFrameReached([&](QObject* sender) {
        EXPECT_EQ(sender, &FActor);
        ends.push_back(FActor.CurrentFrame());
    });
    FActor.SetOnStartFrameReached([&](QObject*) { starts.push_back(FActor.CurrentFrame()); });
    FActor.AdvanceFrames(22);
    EXPECT_EQ(ends, (std::vector<int>{20, 20}));
    EXPECT_EQ(starts, (std::vector<int>{10, 10}));
    EXPECT_EQ(FActor.CurrentFrame(), 10);
    EXPECT_EQ(FActor.AnimationMode(), aamLoop);
}

TEST_F(ActorClock, BounceRunsToEachEndAndTurnsRoundThere)
{
    SetRange(0, 3);
    FActor.SetAnimationMode(aamBounceForward);
    std::vector<TFrameAndMode> path;
    for (int i = 0; i < 7; ++i)
    {
        FActor.AdvanceFrames(1);
        path.emplace_back(FActor.CurrentFrame(), FActor.AnimationMode());
    }
    EXPECT_EQ(path, (std::vector<TFrameAndMode>{{1, aamBounceForward},
                                                {2, aamBounceForward},
                                                {3, aamBounceBackward},
                                                {2, aamBounceBackward},
                                                {1, aamBounceBackward},
                                                {0, aamBounceForward},
                                                {1, aamBounceForward}}));
}

TEST_F(ActorClock, BackwardModesRunDownAndLoopBackwardWrapsToTheEnd)
{
    SetRange(10, 20);
    FActor.SetAnimationMode(aamLoopBackward);
    FActor.SetCurrentFrame(15);
    EXPECT_EQ(FActor.FollowingFrame(), 14);
    // Below the range: max(10, 20 + 5 - 10).
    FActor.SetCurrentFrame(5);
    EXPECT_EQ(FActor.FollowingFrame(), 15);

    FActor.SetCurrentFrame(11);
    std::vector<int> path;
    for (int i = 0; i < 3; ++i)
    {
        FActor.AdvanceFrames(1);
        path.push_back(FActor.CurrentFrame());
    }
    EXPECT_EQ(path, (std::vector<int>{10, 20, 19}));
    EXPECT_EQ(FActor.AnimationMode(), aamLoopBackward);

    FActor.SetAnimationMode(aamBounceBackward);
    FActor.SetCurrentFrame(11);
    FActor.AdvanceFrames(1);
    EXPECT_EQ(FActor.CurrentFrame(), 10);
    EXPECT_EQ(FActor.AnimationMode(), aamBounceForward);
    EXPECT_EQ(FActor.FollowingFrame(), 11);
}

TEST_F(ActorClock, PlayOnceStopsTheClockAtTheEnd)
{
    SetRange(0, 3);
    FActor.SetAnimationMode(aamPlayOnce);
    Tick(0.25);
    EXPECT_EQ(FActor.CurrentFrame(), 2);
    EXPECT_EQ(FActor.AnimationMode(), aamPlayOnce);
    Tick(0.25);
    EXPECT_EQ(FActor.CurrentFrame(), 3);
    EXPECT_EQ(FActor.AnimationMode(), aamNone);
    EXPECT_EQ(FActor.CurrentFrameDelta(), 0.0f);
    // The last frame stays, and the delta no longer grows.
    Tick(1);
    EXPECT_EQ(FActor.CurrentFrame(), 3);
    EXPECT_EQ(FActor.CurrentFrameDelta(), 0.0f);
}

TEST_F(ActorClock, ExternalModeKeepsTheFrameAndIgnoresAPendingSwitch)
{
    SetRange(10, 20);
    FActor.SetAnimationMode(aamExternal);
    FActor.SetCurrentFrame(12);
    EXPECT_EQ(FActor.FollowingFrame(), 12);
    Tick(0.35);
    EXPECT_EQ(FActor.CurrentFrame(), 12);
    EXPECT_FLOAT_EQ(FActor.CurrentFrameDelta(), 0.5f);

    AddAnimation(FActor, "Other", 0, 3);
    FActor.SwitchAnimation("Other", true);
    EXPECT_EQ(FActor.FollowingFrame(), 12);
    FActor.SetAnimationMode(aamLoop);
    EXPECT_EQ(FActor.FollowingFrame(), 0);
}

TEST_F(ActorClock, AStepOfSeveralIntervalsAdvancesWholeFramesWithTheirEventsAndKeepsTheFraction)
{
    SetRange(0, 2);
    FActor.SetAnimationMode(aamLoop);
    FActor.SetInterval(30);
    QStringList events;
    FActor.SetOnProgress([&](QObject*, double, double) { events << QString("progress %1").arg(FActor.CurrentFrame()); });
    FActor.SetOnFrameChanged([&](QObject*) { events << QString("frame %1").arg(FActor.CurrentFrame()); });
    FActor.SetOnEndFrameReached([&](QObject*) { events << QString("end %1").arg(FActor.CurrentFrame()); });
    FActor.SetOnStartFrameReached([&](QObject*) { events << QString("start %1").arg(FActor.CurrentFrame()); });
    Tick(0.1);
    EXPECT_EQ(events, (QStringList{"progress 0", "frame 1", "frame 2", "end 2", "frame 0", "start 0"}));
    // 100 / 30 rounded to a single is 3.33333325386; its fraction is exact.
    EXPECT_EQ(FActor.CurrentFrameDelta(), 0.3333332538604736f);
}

TEST_F(ActorClock, ADeltaOfExactlyOneDoesNotStepYet)
{
    SetRange(0, 5);
    FActor.SetAnimationMode(aamLoop);
    FActor.SetInterval(250);
    Tick(0.25);
    EXPECT_EQ(FActor.CurrentFrameDelta(), 1.0f);
    EXPECT_EQ(FActor.CurrentFrame(), 0);
    Tick(0.025);
    EXPECT_EQ(FActor.CurrentFrame(), 1);
    EXPECT_NEAR(FActor.CurrentFrameDelta(), 0.1f, 1e-6f);
}

TEST_F(ActorClock, TheClockStandsStillWithoutAModeAnIntervalARangeOrTwoFrames)
{
    const auto expectStill = [this](const char* why) {
        const int frame = FActor.CurrentFrame();
        Tick(0.15);
        EXPECT_EQ(FActor.CurrentFrame(), frame) << why;
        EXPECT_EQ(FActor.CurrentFrameDelta(), 0.0f) << why;
    };
    SetRange(4, 4);
    FActor.SetAnimationMode(aamLoop);
    expectStill("a range of one frame");

    SetRange(4, 8);
    FActor.SetAnimationMode(aamNone);
    expectStill("no mode");
    FActor.SetAnimationMode(aamLoop);
    FActor.SetInterval(0);
    expectStill("an interval below 1");

    FActor.SetInterval(100);
    FActor.Skeleton().Frames().Clear();
    FActor.Skeleton().Frames().Add();
    expectStill("a single frame");
}

TEST_F(ActorClock, AnimationsAreFoundIgnoringAsciiCaseAndAnUnknownNameDoesNothing)
{
    AddAnimation(FActor, "Anime_Pause", 5, 9);
    TActorAnimation& walk = AddAnimation(FActor, "Anime_Pas", 10, 14);
    TActorAnimation& defeat = AddAnimation(FActor, "Défaite", 15, 16);
    // The range is counted in the frames of the animation's reference, which
    // the switch takes first.
    FActor.SetReference(aarMorph);
    FActor.SwitchAnimation("anime_pause");
    EXPECT_EQ(FActor.Reference(), aarSkeleton);
    EXPECT_EQ(FActor.StartFrame(), 5);
    EXPECT_EQ(FActor.EndFrame(), 9);
    EXPECT_EQ(FActor.CurrentFrame(), 5);

    FActor.SetCurrentFrame(7);
    FActor.SwitchAnimation("Anime_Inconnue");
    FActor.SwitchAnimation("Anime_Inconnue", true);
    EXPECT_EQ(FActor.StartFrame(), 5);
    EXPECT_EQ(FActor.EndFrame(), 9);
    EXPECT_EQ(FActor.CurrentFrame(), 7);
    EXPECT_EQ(FActor.PendingAnimation(), nullptr);

    EXPECT_EQ(FActor.Animations()->FindAnimation("ANIME_PAS"), &walk);
    EXPECT_EQ(FActor.Animations()->FindAnimation("DéFAITE"), &defeat);
    EXPECT_EQ(FActor.Animations()->FindAnimation("DÉFAITE"), nullptr);
    EXPECT_EQ(FActor.Animations()->FindAnimation("Anime_Pa"), nullptr);
}

TEST_F(ActorClock, ASmoothSwitchFromTheEndEventIsAdoptedAtTheFirstFrameOfTheNewRange)
{
    AddAnimation(FActor, "Combo1_1", 0, 3);
    TActorAnimation& idle = AddAnimation(FActor, "Anime_Pause", 10, 15);
    FActor.SwitchAnimation("Combo1_1");
    FActor.SetAnimationMode(aamLoop);
    FActor.SetCurrentFrame(2);
    int ends = 0;
    FActor.SetOnEndFrameReached([&](QObject*) {
        ++ends;
        FActor.SwitchAnimation("Anime_Pause", true);
    });
    Tick(0.15);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(FActor.CurrentFrame(), 3);
    EXPECT_EQ(FActor.PendingAnimation(), &idle);
    // The next interval moves the pose towards the new animation's first frame.
    EXPECT_EQ(FActor.FollowingFrame(), 10);
    EXPECT_EQ(FActor.StartFrame(), 0);
    EXPECT_FLOAT_EQ(FActor.CurrentFrameDelta(), 0.5f);

    // Three intervals' worth: the adoption restarts the delta, so none of
    // them steps past the first frame.
    Tick(0.25);
    EXPECT_EQ(FActor.CurrentFrame(), 10);
    EXPECT_EQ(FActor.StartFrame(), 10);
    EXPECT_EQ(FActor.EndFrame(), 15);
    EXPECT_EQ(FActor.PendingAnimation(), nullptr);
    EXPECT_EQ(FActor.CurrentFrameDelta(), 0.0f);
    EXPECT_EQ(ends, 1);
}

TEST_F(ActorClock, AnImmediateSwitchLeavesAPendingOneToWinAtTheNextWholeFrame)
{
    AddAnimation(FActor, "Anime_Pause", 0, 5);
    AddAnimation(FActor, "Combo1_1", 10, 15);
    TActorAnimation& second = AddAnimation(FActor, "Combo1_2", 20, 25);
    FActor.SwitchAnimation("Anime_Pause");
    FActor.SetAnimationMode(aamLoop);
    FActor.SwitchAnimation("Combo1_1", true);
    FActor.SwitchAnimation("Combo1_2");
    EXPECT_EQ(FActor.StartFrame(), 20);
    EXPECT_EQ(FActor.PendingAnimation(), FActor.Animations()->FindAnimation("Combo1_1"));
    Tick(0.15);
    EXPECT_EQ(FActor.StartFrame(), 10);
    EXPECT_EQ(FActor.CurrentFrame(), 10);
    (void)second;
}

TEST_F(ActorClock, SettingTheCurrentFrameClampsItAndTheSameFrameChangesNothing)
{
    SetRange(0, 5);
    FActor.SetCurrentFrame(2);
    int changes = 0;
    FActor.SetOnFrameChanged([&](QObject*) { ++changes; });
    FActor.SetCurrentFrameDelta(0.5f);
    FActor.SetCurrentFrame(2);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(FActor.CurrentFrameDelta(), 0.5f);
    FActor.SetCurrentFrame(3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(FActor.CurrentFrameDelta(), 0.0f);

    // Clamped to the frames, not to the range.
    FActor.SetCurrentFrame(99);
    EXPECT_EQ(FActor.CurrentFrame(), 29);
    FActor.SetCurrentFrame(-4);
    EXPECT_EQ(FActor.CurrentFrame(), 0);

    TGLActor empty(nullptr);
    empty.SetCurrentFrame(3);
    EXPECT_EQ(empty.CurrentFrame(), -1);

    // The setter turns the modes round at the ends of the range.
    FActor.SetAnimationMode(aamPlayOnce);
    FActor.SetCurrentFrame(5);
    EXPECT_EQ(FActor.AnimationMode(), aamNone);
}

TEST_F(ActorClock, RangeSettersIgnoreFramesOutsideTheFramesButStillAdjust)
{
    // Loaded without frames: the range ends before it starts.
    TGLActor actor(nullptr);
    actor.PrepareMesh();
    EXPECT_EQ(actor.EndFrame(), -1);
    AddSkeletonFrames(actor, 10);
    actor.SetStartFrame(50);
    EXPECT_EQ(actor.StartFrame(), 0);
    EXPECT_EQ(actor.EndFrame(), 0);
    actor.SetStartFrame(-1);
    EXPECT_EQ(actor.StartFrame(), 0);

    SetRange(6, 8);
    FActor.SetCurrentFrame(12);
    FActor.SetEndFrame(50);
    EXPECT_EQ(FActor.EndFrame(), 8);
    EXPECT_EQ(FActor.CurrentFrame(), 8);
    // The end setter does not raise the start.
    FActor.SetEndFrame(3);
    EXPECT_EQ(FActor.EndFrame(), 3);
    EXPECT_EQ(FActor.StartFrame(), 6);
    EXPECT_EQ(FActor.CurrentFrame(), 3);
    // The start setter raises the end and the current frame.
    FActor.SetStartFrame(9);
    EXPECT_EQ(FActor.EndFrame(), 9);
    EXPECT_EQ(FActor.CurrentFrame(), 9);
}

TEST_F(ActorClock, AnimationRangesClampToTheFramesOfTheirReference)
{
    TActorAnimation& animation = FActor.Animations()->Add();
    animation.SetName("Walk");
    EXPECT_EQ(animation.Reference(), aarMorph);
    animation.SetReference(aarSkeleton);
    animation.SetStartFrame(-5);
    EXPECT_EQ(animation.StartFrame(), 0);
    animation.SetStartFrame(12);
    animation.SetEndFrame(40);
    EXPECT_EQ(animation.StartFrame(), 12);
    EXPECT_EQ(animation.EndFrame(), 29);
    animation.SetEndFrame(3);
    EXPECT_EQ(animation.StartFrame(), 3);
    EXPECT_EQ(animation.EndFrame(), 3);
    animation.SetStartFrame(31);
    EXPECT_EQ(animation.StartFrame(), 29);
    EXPECT_EQ(animation.EndFrame(), 29);
    FActor.Animations()->Add().SetName("Other");
    EXPECT_EQ(animation.DisplayName(), "0 - Walk [29 - 29]");
    EXPECT_EQ((*FActor.Animations())[1].DisplayName(), "1 - Other [0 - 0]");

    // The actor has no morph targets: both ends come back to the last of none.
    animation.SetReference(aarMorph);
    EXPECT_EQ(animation.StartFrame(), -1);
    EXPECT_EQ(animation.EndFrame(), -1);

    TActorAnimation& copy = FActor.Animations()->Add();
    copy.Assign(animation);
    EXPECT_EQ(copy.Name(), "Walk");
    EXPECT_EQ(copy.StartFrame(), -1);
    EXPECT_EQ(copy.EndFrame(), -1);
    EXPECT_EQ(copy.Reference(), aarMorph);
}

TEST_F(ActorClock, DestroyingThePendingAnimationCancelsTheSwitch)
{
    AddAnimation(FActor, "Keep", 0, 3);
    AddAnimation(FActor, "Gone", 5, 9);
    FActor.SwitchAnimation("Keep", true);
    FActor.Animations()->Delete(1);
    EXPECT_NE(FActor.PendingAnimation(), nullptr);
    FActor.SwitchAnimation("Keep", true);
    FActor.Animations()->Delete(0);
    EXPECT_EQ(FActor.PendingAnimation(), nullptr);
    FActor.SetAnimationMode(aamLoop);
    SetRange(0, 3);
    EXPECT_EQ(FActor.FollowingFrame(), 1);
}

TEST_F(ActorClock, PreparingTheMeshResetsTheRangeToAllFramesWithoutSetterLogic)
{
    SetRange(10, 20);
    FActor.SetCurrentFrame(15);
    FActor.SetAnimationMode(aamBounceBackward);
    int changes = 0;
    FActor.SetOnFrameChanged([&](QObject*) { ++changes; });
    FActor.PrepareMesh();
    EXPECT_EQ(FActor.StartFrame(), 0);
    EXPECT_EQ(FActor.EndFrame(), 29);
    EXPECT_EQ(FActor.CurrentFrame(), 0);
    EXPECT_EQ(changes, 1);
    // Reaching the start through the setter would have turned the mode round.
    EXPECT_EQ(FActor.AnimationMode(), aamBounceBackward);
}

TEST(GLActor, LoadingAModelDropsTheAnimationsButAddingOneKeepsThem)
{
    RegisterTestVectorFiles();
    QTemporaryDir dir;
    const QString body = dir.filePath("Stick.tst");
    const QString walk = dir.filePath("Anime_Pas.tst");
    WriteTextFile(body, "f a\nf b\nf c\n");
    WriteTextFile(walk, "f d\nf e\n");
    TGLActor actor(nullptr);
    actor.SetReference(aarSkeleton);
    actor.LoadFromFile(body);
    EXPECT_EQ(actor.EndFrame(), 2);
    AddAnimation(actor, "Stick", 0, 2);

    actor.SetCurrentFrame(2);
    actor.AddFromFile(walk);
    EXPECT_EQ(actor.Animations()->Count(), 1);
    EXPECT_EQ(actor.Skeleton().Frames().Count(), 5);
    EXPECT_EQ(actor.StartFrame(), 0);
    EXPECT_EQ(actor.EndFrame(), 4);
    EXPECT_EQ(actor.CurrentFrame(), 0);

    actor.LoadFromFile(QString());
    EXPECT_EQ(actor.Animations()->Count(), 1);
    actor.SwitchAnimation("Stick", true);
    actor.LoadFromFile(body);
    EXPECT_EQ(actor.Animations()->Count(), 0);
    EXPECT_EQ(actor.PendingAnimation(), nullptr);
    EXPECT_EQ(actor.Skeleton().Frames().Count(), 3);
}

TEST(GLActor, MorphFramesAreTheFewestTargetsOfTheObjectsThatCanMorph)
{
    TGLActor actor(nullptr);
    EXPECT_EQ(actor.FrameTotal(), 0);
    actor.MeshObjects().Add<TMeshObject>();
    auto& first = actor.MeshObjects().Add<TMorphableMeshObject>();
    auto& second = actor.MeshObjects().Add<TMorphableMeshObject>();
    for (int i = 0; i < 4; ++i)
        first.AddMorphTarget(QString());
    for (int i = 0; i < 3; ++i)
        second.AddMorphTarget(QString());
    EXPECT_EQ(actor.FrameTotal(), 3);
    AddSkeletonFrames(actor, 7);
    EXPECT_EQ(actor.FrameTotal(), 7);
    actor.SetReference(aarNone);
    EXPECT_EQ(actor.FrameTotal(), 0);
}

TEST(GLActor, TheSkeletonOverlaySetterAsksForARedrawOnlyOnAChange)
{
    TRedrawCounter counter;
    TGLScene scene(nullptr);
    scene.AddBuffer(&counter);
    auto* actor = new TGLActor(nullptr);
    scene.Objects()->AddChild(actor);
    const int before = counter.Redraws;
    actor->SetOverlaySkeleton(true);
    EXPECT_EQ(counter.Redraws, before + 1);
    actor->SetOverlaySkeleton(true);
    EXPECT_EQ(counter.Redraws, before + 1);
    actor->SetOverlaySkeleton(false);
    EXPECT_EQ(counter.Redraws, before + 2);
    scene.RemoveBuffer(&counter);
}

TEST(GLActor, SynchronizingCopiesTheAnimationStateThatFitsTheFrames)
{
    TGLActor source(nullptr), copy(nullptr);
    AddSkeletonFrames(source, 30);
    AddSkeletonFrames(copy, 24);
    AddAnimation(source, "Anime_Mort", 20, 25);
    AddAnimation(copy, "anime_mort", 2, 5);
    source.SwitchAnimation("Anime_Mort");
    source.SetCurrentFrame(22);
    source.SwitchAnimation("Anime_Mort", true);
    source.SetCurrentFrameDelta(0.25f);
    source.SetAnimationMode(aamBounceForward);
    source.SetFrameInterpolation(afpNone);
    source.SetReference(aarNone);
    copy.SynchronizeWith(&source);
    EXPECT_EQ(copy.StartFrame(), 20);
    // Frame 25 is not the copy's: its end is left as it was.
    EXPECT_EQ(copy.EndFrame(), 0);
    EXPECT_EQ(copy.CurrentFrame(), 22);
    EXPECT_EQ(copy.Reference(), aarNone);
    EXPECT_EQ(copy.CurrentFrameDelta(), 0.25f);
    EXPECT_EQ(copy.AnimationMode(), aamBounceForward);
    EXPECT_EQ(copy.FrameInterpolation(), afpNone);
    EXPECT_EQ(copy.PendingAnimation(), copy.Animations()->FindAnimation("anime_mort"));

    TGLActor assigned(nullptr);
    AddSkeletonFrames(assigned, 30);
    assigned.SetUseMeshMaterials(false);
    source.SetOverlaySkeleton(true);
    assigned.Assign(source);
    ASSERT_EQ(assigned.Animations()->Count(), 1);
    EXPECT_EQ(assigned.PendingAnimation(), &(*assigned.Animations())[0]);
    EXPECT_EQ(assigned.StartFrame(), 20);
    EXPECT_EQ(assigned.EndFrame(), 25);
    EXPECT_EQ(assigned.AnimationMode(), aamBounceForward);
    EXPECT_TRUE(assigned.OverlaySkeleton());
    EXPECT_TRUE(assigned.UseMeshMaterials());
}

TEST(GLActor, ActorsAreDrawnDirectlyAndStartWithTheirDefaults)
{
    const TGLActor actor(nullptr);
    EXPECT_NE(actor.ObjectStyle() & osDirectDraw, 0u);
    EXPECT_EQ(actor.Reference(), aarMorph);
    EXPECT_EQ(actor.FrameInterpolation(), afpLinear);
    EXPECT_EQ(actor.AnimationMode(), aamNone);
    EXPECT_EQ(actor.Interval(), 100);
    EXPECT_EQ(actor.Options(), TGLActorOptions(aoSkeletonNormalizeNormals));
    EXPECT_FALSE(actor.OverlaySkeleton());
}

namespace
{
constexpr int Size = 64;

// Draws actors into the test context under an orthographic view of
// [-1, 1] on every axis (z towards the viewer), with the pass record a scene
// buffer would fill.
class ActorDrawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FContext = &TGLTestContext::Use(Size, Size);
        glClearColor(0, 0, 0, 1);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (int state = 0; state < StateCount; ++state)
            FStates.ForceState(static_cast<TGLState>(state), false);
        FInfo.GLStates = &FStates;
        FInfo.Context = &FContext->RenderContext();
    }

    void TearDown() override
    {
        for (int state = 0; state < StateCount; ++state)
            FStates.ForceState(static_cast<TGLState>(state), false);
    }

    void Render(TGLActor& actor)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        actor.RenderObject(FInfo);
        glFinish();
        FPixels = FContext->Pixels();
    }

    // Pixels of the square of half-width 6 around a point of the view that
    // pass the test.
    int CountAround(float x, float y, const std::function<bool(QRgb)>& test) const
    {
        const int column = static_cast<int>((x + 1) / 2 * Size);
        const int row = Size - static_cast<int>((y + 1) / 2 * Size);
        int count = 0;
        for (int r = row - 6; r <= row + 6; ++r)
            for (int c = column - 6; c <= column + 6; ++c)
                count += test(FPixels.pixel(c, r)) ? 1 : 0;
        return count;
    }

    TGLTestContext* FContext = nullptr;
    TGLStateCache FStates;
    TRenderContextInfo FInfo;
    QImage FPixels;
};

bool IsWhite(QRgb p)
{
    return qRed(p) > 250 && qGreen(p) > 250 && qBlue(p) > 250;
}

bool IsGreen(QRgb p)
{
    return qRed(p) < 5 && qGreen(p) > 250 && qBlue(p) < 5;
}

// A frame that places each bone by a translation alone.
void AddTranslationFrame(TGLActor& actor, std::initializer_list<TAffineVector> positions)
{
    TSkeletonFrame& frame = actor.Skeleton().Frames().Add();
    for (const TAffineVector& position : positions)
    {
        frame.Position.Add(position);
        frame.Rotation.Add({0, 0, 0});
    }
}

// Bone 0 and its child bone 1, which is green.
void AddBonePair(TGLActor& actor)
{
    auto* const root = new TSkeletonBone(&actor.Skeleton().RootBones());
    root->BoneID = 0;
    auto* const child = new TSkeletonBone(root);
    child->BoneID = 1;
    child->Color = 0xFF00FF00;
}

// A skinned triangle bound to bone 0, whose normals are twice unit length.
TSkeletonMeshObject& AddSkinnedTriangle(TGLActor& actor)
{
    new TSkeletonBone(&actor.Skeleton().RootBones());
    AddTranslationFrame(actor, {{0, 0, 0}});
    AddTranslationFrame(actor, {{2, 0, 0}});
    auto& object = actor.MeshObjects().Add<TSkeletonMeshObject>();
    object.FindOrAddVertex(0, {0, 0, 0}, {0, 0, 2});
    object.FindOrAddVertex(0, {1, 0, 0}, {0, 0, 2});
    object.FindOrAddVertex(0, {0, 1, 0}, {0, 0, 2});
    object.PrepareInvertedMeshes();
    actor.SetReference(aarSkeleton);
    actor.PrepareMesh();
    actor.SetAnimationMode(aamLoop);
    return object;
}
} // namespace

TEST_F(ActorDrawing, TheOverlayDrawsTheBonesOverTheMeshWithoutDepthTestOrLighting)
{
    TGLActor actor(nullptr);
    actor.Material()->FrontProperties()->Emission()->SetColor({1, 0, 0, 1});
    TMeshObject& screen = actor.MeshObjects().Add<TMeshObject>();
    for (const TAffineVector& corner : std::initializer_list<TAffineVector>{
             {-1, -1, 0.5f}, {1, -1, 0.5f}, {1, 1, 0.5f}, {-1, -1, 0.5f}, {1, 1, 0.5f}, {-1, 1, 0.5f}})
    {
        screen.Vertices.Add(corner);
        screen.Normals.Add({0, 0, 1});
    }
    // Both bones lie behind the mesh.
    AddBonePair(actor);
    AddTranslationFrame(actor, {{-0.5f, 0, -0.5f}, {1, 0.5f, 0}});
    actor.SetReference(aarSkeleton);
    FStates.Enable(stDepthTest);
    FStates.Enable(stLighting);

    Render(actor);
    EXPECT_EQ(CountAround(-0.5f, 0, IsWhite), 0) << "hidden without the overlay";
    const QRgb body = FPixels.pixel(4, 4);
    EXPECT_GT(qRed(body), 250);
    EXPECT_LT(qGreen(body), 40);

    actor.SetOverlaySkeleton(true);
    Render(actor);
    EXPECT_GE(CountAround(-0.5f, 0, IsWhite), 4) << "the root bone's point, in white";
    EXPECT_GE(CountAround(0.5f, 0.5f, IsGreen), 9) << "the child bone's point, in its colour";
    EXPECT_GE(CountAround(0, 0.25f, IsGreen), 2) << "the line from the child to its parent";
    EXPECT_EQ(FPixels.pixel(4, 4), body);
    // The pass's states are as they were.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ActorDrawing, ThePoseFollowsTheFramesAndNormalsAreRenormalisedUnlessTheOptionsAreEmpty)
{
    TGLActor actor(nullptr);
    TSkeletonMeshObject& object = AddSkinnedTriangle(actor);
    // A quarter of the way from the bone at x = 0 to the bone at x = 2.
    actor.SetCurrentFrameDelta(0.25f);
    Render(actor);
    EXPECT_EQ(object.Vertices[1], (TAffineVector{1.5f, 0, 0}));
    EXPECT_EQ(object.Normals[1], (TAffineVector{0, 0, 1}));

    actor.SetOptions({});
    Render(actor);
    EXPECT_EQ(object.Vertices[1], (TAffineVector{1.5f, 0, 0}));
    EXPECT_EQ(object.Normals[1], (TAffineVector{0, 0, 2}));

    actor.SetFrameInterpolation(afpNone);
    Render(actor);
    EXPECT_EQ(object.Vertices[1], (TAffineVector{1, 0, 0}));

    // The pose is left to whoever drives the skeleton.
    actor.SetFrameInterpolation(afpLinear);
    actor.SetAnimationMode(aamExternal);
    actor.SetCurrentFrameDelta(0.5f);
    Render(actor);
    EXPECT_EQ(object.Vertices[1], (TAffineVector{1, 0, 0}));
}

TEST_F(ActorDrawing, ControlersAddThePointOfTheirAnimationToThePose)
{
    TGLActor actor(nullptr);
    TSkeletonMeshObject& object = AddSkinnedTriangle(actor);
    actor.SetCurrentFrameDelta(0.25f);
    TGLAnimationControler unnamed(nullptr);
    unnamed.SetActor(&actor);
    Render(actor);
    EXPECT_EQ(object.Vertices[1], (TAffineVector{1.5f, 0, 0}));

    AddAnimation(actor, "Pose", 1, 1);
    TGLAnimationControler named(nullptr);
    named.SetAnimationName("Pose");
    named.SetActor(&actor);
    // 0.5 from the actor's own frames, 2 from frame 1.
    Render(actor);
    EXPECT_EQ(object.Vertices[1], (TAffineVector{3.5f, 0, 0}));
}

TEST_F(ActorDrawing, MorphTargetsAreInterpolatedWithTheirNormalsRenormalised)
{
    TGLActor actor(nullptr);
    auto& object = actor.MeshObjects().Add<TMorphableMeshObject>();
    object.Vertices.Add({0, 0, 0});
    object.Vertices.Add({1, 0, 0});
    object.Vertices.Add({0, 1, 0});
    for (int i = 0; i < 3; ++i)
        object.Normals.Add({0, 0, 1});
    object.AddMorphTarget("rest");
    object.Vertices.Translate({2, 0, 0});
    for (TAffineVector& normal : object.Normals)
        normal = {1, 0, 0};
    object.AddMorphTarget("moved");
    actor.PrepareMesh();
    EXPECT_EQ(actor.EndFrame(), 1);
    actor.SetAnimationMode(aamLoop);
    actor.SetCurrentFrameDelta(0.5f);
    Render(actor);
    EXPECT_EQ(object.Vertices[1], (TAffineVector{2, 0, 0}));
    EXPECT_FLOAT_EQ(object.Normals[1].X, std::sqrt(0.5f));
    EXPECT_FLOAT_EQ(object.Normals[1].Z, std::sqrt(0.5f));

    actor.SetFrameInterpolation(afpNone);
    actor.SetCurrentFrame(1);
    Render(actor);
    EXPECT_EQ(object.Vertices[1], (TAffineVector{3, 0, 0}));
    EXPECT_EQ(object.Normals[1], (TAffineVector{1, 0, 0}));
}

namespace
{
class TActorHost : public QObject, public TLayoutComponent
{
    Q_OBJECT

public:
    TActorHost() { setObjectName("ActorHost"); }

    Q_INVOKABLE void GLActor1EndFrameReached(QObject* Sender) { EndSenders.push_back(Sender); }

    std::vector<QObject*> EndSenders;
};
} // namespace

TEST(GLActor, LayoutsSetTheActorPropertiesBindItsEventAndItsControlers)
{
    RegisterMeshClasses();
    TActorHost host;
    TLayoutReader(&host, ":/layouts/ActorHost.json").Read();
    auto* scene = host.findChild<TGLScene*>("GLScene1");
    ASSERT_NE(scene, nullptr);
    auto* first = qobject_cast<TGLActor*>(scene->FindSceneObject("GLActor1"));
    auto* second = qobject_cast<TGLActor*>(scene->FindSceneObject("GLActor2"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->Reference(), aarSkeleton);
    EXPECT_EQ(first->AnimationMode(), aamLoop);
    EXPECT_EQ(first->Interval(), 30);
    EXPECT_EQ(first->Options(), TGLActorOptions());
    EXPECT_EQ(second->Reference(), aarMorph);
    EXPECT_EQ(second->Interval(), 50);
    EXPECT_EQ(second->Options(), TGLActorOptions(aoSkeletonNormalizeNormals));

    // Stored ranges are kept although no model is loaded yet.
    ASSERT_EQ(first->Animations()->Count(), 1);
    const TActorAnimation& idle = (*first->Animations())[0];
    EXPECT_EQ(idle.Name(), "Anime_Pause");
    EXPECT_EQ(idle.StartFrame(), 2);
    EXPECT_EQ(idle.EndFrame(), 5);
    EXPECT_EQ(idle.Reference(), aarSkeleton);
    EXPECT_EQ(second->Animations()->Count(), 0);

    auto* controler1 = host.findChild<TGLAnimationControler*>("GLAnimationControler1");
    auto* controler2 = host.findChild<TGLAnimationControler*>("GLAnimationControler2");
    ASSERT_NE(controler1, nullptr);
    ASSERT_NE(controler2, nullptr);
    EXPECT_EQ(controler1->Actor(), first);
    EXPECT_EQ(controler1->AnimationName(), QString());
    EXPECT_EQ(controler2->AnimationName(), "Anime_Mort");
    EXPECT_EQ(controler2->Ratio(), 0.5f);
    EXPECT_FALSE(controler2->Enabled());
    ASSERT_NE(first->Controlers(), nullptr);
    EXPECT_EQ(*first->Controlers(), (std::vector<TGLBaseAnimationControler*>{controler1}));
    ASSERT_NE(second->Controlers(), nullptr);
    EXPECT_EQ(*second->Controlers(), (std::vector<TGLBaseAnimationControler*>{controler2}));

    AddSkeletonFrames(*first, 8);
    first->SwitchAnimation("Anime_Pause");
    first->SetCurrentFrame(4);
    first->AdvanceFrames(1);
    EXPECT_EQ(host.EndSenders, (std::vector<QObject*>{first}));
}

#include "GLActor_test.moc"
