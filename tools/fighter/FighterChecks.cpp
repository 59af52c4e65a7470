#include "FighterChecks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <sstream>

namespace Fighter
{

namespace
{

// The fight's clock and movement, in model units (the actors are drawn at
// scale 0.02): a frame lasts 50 ms, the walk carries the actor 0.015 world
// units per 30 ms tick, 25 model units a second.
constexpr double FramesPerSecond = 20;
constexpr double GroundPerFrame = 25 / FramesPerSecond;

// The animations in the order the fight adds them after the model, so the
// first starts at frame 1.
constexpr std::array<const char*, 11> LoadOrder{"Anime_Pause", "Anime_Pas",    "Anime_Arriere", "Anime_Accroupi",
                                                "Combo1_1",    "Combo1_2",     "Combo1_3",      "Anime_Saut",
                                                "Anime_Mur",   "Anime_Touche", "Anime_Mort"};

// Absolute frames the fight tests: the back step's push runs while
// 35 < frame < 45, holding the crouch key pins frame 55, and the key's repeat
// delay lets the crouch run on to about 61 first.
constexpr int BackPushFirst = 36, BackPushLast = 44;
constexpr int CrouchHold = 55, CrouchHoldRunOn = 61;
// The take-off test compares the frame against start + 6 even under the idle
// animation, before a smooth switch to the jump is adopted.
constexpr int LongestIdle = 7;
constexpr int JumpTakeOffAfter = 6;
// Airborne for 28 ticks of 30 ms from the first tick past +6: about 17 frames.
constexpr int JumpLandingLatest = 24, JumpLandingEarliest = 20;

// Hits are decided at the key press 0 to 0.8 (first) or 1.0 world units in
// front of the opponent, and the lunge then closes about 0.25.
constexpr double ReachMin = 25, ReachMax = 45;
// A strike that must not have started yet stays this far back.
constexpr double NotYetStruck = 20;

// Tolerances, in model units.
constexpr double OnGround = 0.3;
constexpr double UnderFloor = 0.25;
constexpr double StrideSlip = 0.3;
constexpr double HeldStill = 0.3;
constexpr double PelvisReturn = 0.5;
constexpr double LargestStep = 20;
constexpr double SameFrame = 0.05;
constexpr double JumpTuck = 2;

enum TSide
{
    sdLeft,
    sdRight
};

struct THit
{
    const char* Name;
    int ContactFirst, ContactLast; // relative frames where the strike lands
    int ClearUntil;                // up to this frame the strike has not landed yet:
    double ClearBelow;             // its limb (every limb, for the first hit) stays short of this reach
    bool EveryLimbClear;
    int FramesNeeded;        // the fight reads the hit up to this length
    const char* ChainedFrom; // the hit it may be switched from at the same relative frame,
    int SharedUntil;         // up to the end of that hit's chain window
};

// The first hit lands after the lunge's first frames; the chain windows close
// at +10 and +22, and the later hits land after them; the third hit's push
// comes at +29.
constexpr THit Jab{"Combo1_1", 4, 7, 2, ReachMin, true, 11, nullptr, 0};
constexpr THit Cross{"Combo1_2", 12, 16, 10, NotYetStruck, false, 23, "Combo1_1", 9};
constexpr THit Kick{"Combo1_3", 24, 28, 22, NotYetStruck, false, 30, "Combo1_2", 21};

std::string Words(const auto&... parts)
{
    std::ostringstream out;
    out.precision(3);
    (out << ... << parts);
    return out.str();
}

class TMotionView
{
public:
    explicit TMotionView(const TFighterMotion& motion) : FMotion(motion) {}

    // Reports what makes the motion unreadable; the rest needs none of it.
    bool Readable(std::vector<std::string>& failures)
    {
        for (const auto& [name, bone] : {std::pair{"Pelvis", &FPelvis},
                                         {"Chest", &FChest},
                                         {"Head", &FHead},
                                         {"L_Hand", &FHands[0]},
                                         {"R_Hand", &FHands[1]},
                                         {"L_Foot", &FAnkles[0]},
                                         {"R_Foot", &FAnkles[1]},
                                         {"L_Toe", &FToes[0]},
                                         {"R_Toe", &FToes[1]}})
        {
            const auto found = std::find(FMotion.BoneNames.begin(), FMotion.BoneNames.end(), name);
            if (found == FMotion.BoneNames.end())
                failures.push_back(Words("bone ", name, " is missing"));
            else
                *bone = static_cast<int>(found - FMotion.BoneNames.begin());
        }
        if (FMotion.Frames.empty())
            failures.push_back("there are no frames, not even the model's");
        for (std::size_t frame = 0; frame < FMotion.Frames.size(); ++frame)
            if (FMotion.Frames[frame].size() != FMotion.BoneNames.size())
                failures.push_back(Words("frame ", frame, " has ", FMotion.Frames[frame].size(), " bones, not ",
                                         FMotion.BoneNames.size()));
        return failures.empty();
    }

    // The animation of that name if its range lies within the frames.
    std::optional<TAnimationRange> Animation(const std::string& name) const
    {
        for (const TAnimationRange& range : FMotion.Animations)
            if (range.Name == name && range.StartFrame >= 1 && range.StartFrame <= range.EndFrame &&
                range.EndFrame < FrameCount())
                return range;
        return std::nullopt;
    }

    int FrameCount() const { return static_cast<int>(FMotion.Frames.size()); }
    int BoneCount() const { return static_cast<int>(FMotion.BoneNames.size()); }
    const std::string& BoneName(const int bone) const { return FMotion.BoneNames[bone]; }
    const TVec3& At(const int frame, const int bone) const { return FMotion.Frames[frame][bone]; }
    const TVec3& Pelvis(const int frame) const { return At(frame, FPelvis); }
    const TVec3& Chest(const int frame) const { return At(frame, FChest); }
    const TVec3& Head(const int frame) const { return At(frame, FHead); }

    // Height of an ankle over where it stands in the model's own frame.
    double Lift(const int frame, const TSide side) const { return At(frame, FAnkles[side]).Z - At(0, FAnkles[side]).Z; }
    bool Grounded(const int frame, const TSide side) const { return Lift(frame, side) <= OnGround; }
    bool BothGrounded(const int frame) const { return Grounded(frame, sdLeft) && Grounded(frame, sdRight); }
    bool BothLifted(const int frame) const { return !Grounded(frame, sdLeft) && !Grounded(frame, sdRight); }
    const TVec3& Ankle(const int frame, const TSide side) const { return At(frame, FAnkles[side]); }

    // Depth of the lowest foot point (ankle or toe) under its height in the model's frame.
    double SinkDepth(const int frame) const
    {
        double depth = 0;
        for (const int bone : {FAnkles[0], FAnkles[1], FToes[0], FToes[1]})
            depth = std::max(depth, At(0, bone).Z - At(frame, bone).Z);
        return depth;
    }

    std::array<int, 4> Effectors() const { return {FHands[0], FHands[1], FToes[0], FToes[1]}; }

    double PoseDistance(const int a, const int b) const
    {
        double largest = 0;
        for (int bone = 0; bone < BoneCount(); ++bone)
            largest = std::max(largest, Length(At(a, bone) - At(b, bone)));
        return largest;
    }

    double LargestStep(const TAnimationRange& range) const
    {
        double largest = 0;
        for (int frame = range.StartFrame + 1; frame <= range.EndFrame; ++frame)
            largest = std::max(largest, PoseDistance(frame - 1, frame));
        return largest;
    }

private:
    const TFighterMotion& FMotion;
    int FPelvis = -1, FChest = -1, FHead = -1;
    std::array<int, 2> FHands{-1, -1}, FAnkles{-1, -1}, FToes{-1, -1};
};

TStrikeMeasure MeasureStrike(const TMotionView& view, const THit& hit)
{
    TStrikeMeasure strike;
    const auto range = view.Animation(hit.Name);
    if (!range || range->StartFrame + hit.ContactLast > range->EndFrame)
        return strike;
    for (int frame = hit.ContactFirst; frame <= hit.ContactLast; ++frame)
        for (const int bone : view.Effectors())
        {
            const double reach = view.At(range->StartFrame + frame, bone).X;
            if (reach > strike.Reach)
                strike = {view.BoneName(bone), frame, reach};
        }
    return strike;
}

void MeasureCrouch(const TMotionView& view, TFighterMeasures& measures)
{
    const auto range = view.Animation("Anime_Accroupi");
    if (!range)
        return;
    int lowest = range->StartFrame;
    for (int frame = range->StartFrame; frame <= range->EndFrame; ++frame)
        if (view.Pelvis(frame).Z < view.Pelvis(lowest).Z - SameFrame)
            lowest = frame;
    measures.CrouchLowestFrame = lowest;
    measures.CrouchDepth = view.Pelvis(range->StartFrame).Z - view.Pelvis(lowest).Z;
}

void MeasureBackHop(const TMotionView& view, TFighterMeasures& measures)
{
    if (const auto range = view.Animation("Anime_Arriere"))
        for (int frame = range->StartFrame; frame <= range->EndFrame; ++frame)
            if (view.BothLifted(frame))
                measures.BackHopAirborneFrames.push_back(frame);
}

void MeasureJump(const TMotionView& view, TFighterMeasures& measures)
{
    const auto range = view.Animation("Anime_Saut");
    if (!range)
        return;
    int frame = range->StartFrame;
    while (frame <= range->EndFrame && !view.BothLifted(frame))
        ++frame;
    if (frame > range->EndFrame)
        return;
    measures.JumpTakeOffFrame = frame - 1 - range->StartFrame;
    while (frame <= range->EndFrame && !view.BothGrounded(frame))
        ++frame;
    if (frame <= range->EndFrame)
        measures.JumpLandingFrame = frame - range->StartFrame;
}

void MeasureStride(const TMotionView& view, TFighterMeasures& measures)
{
    const auto range = view.Animation("Anime_Pas");
    if (!range)
        return;
    double sum = 0;
    int steps = 0;
    for (int frame = range->StartFrame; frame < range->EndFrame; ++frame)
        for (const TSide side : {sdLeft, sdRight})
            if (view.Grounded(frame, side) && view.Grounded(frame + 1, side))
            {
                const double step = view.Ankle(frame, side).X - view.Ankle(frame + 1, side).X;
                sum += step;
                ++steps;
                measures.StrideDeviation = std::max(measures.StrideDeviation, std::abs(step - GroundPerFrame));
            }
    measures.StrideSpeed = steps > 0 ? sum / steps * FramesPerSecond : 0;
}

class TChecker
{
public:
    TChecker(const TMotionView& view, const TFighterMeasures& measures) : FView(view), FMeasures(measures) {}

    std::vector<std::string> Run()
    {
        CheckLoadOrder();
        for (const char* name : LoadOrder)
            if (const auto range = FView.Animation(name))
                CheckEveryAnimation(*range);
        CheckFloor();
        CheckIdle();
        CheckWalk();
        CheckBackHop();
        CheckCrouch();
        CheckHits();
        CheckJump();
        CheckHitTaken();
        CheckDeath();
        return std::move(FFailures);
    }

private:
    void Fail(std::string text) { FFailures.push_back(std::move(text)); }

    void CheckLoadOrder()
    {
        int expectedStart = 1;
        for (const char* name : LoadOrder)
        {
            const auto range = FView.Animation(name);
            if (!range)
            {
                Fail(Words(name, " is missing or its frames lie outside the ", FView.FrameCount(), " frames"));
                return;
            }
            if (range->StartFrame != expectedStart)
                Fail(Words(name, " starts at frame ", range->StartFrame, ", not ", expectedStart,
                           " as the load order gives"));
            expectedStart = range->EndFrame + 1;
        }
        if (expectedStart != FView.FrameCount())
            Fail(Words("the animations end at frame ", expectedStart - 1, " but there are ", FView.FrameCount(),
                       " frames"));
    }

    void CheckEveryAnimation(const TAnimationRange& range)
    {
        const double step = FView.LargestStep(range);
        if (step > LargestStep)
            Fail(Words(range.Name, ": a bone jumps ", step, " units from one frame to the next"));
        const TVec3 move = FView.Pelvis(range.EndFrame) - FView.Pelvis(range.StartFrame);
        if (range.Name != "Anime_Mort" && std::hypot(move.X, move.Y) > PelvisReturn)
            Fail(Words(range.Name, ": the pelvis ends ", std::hypot(move.X, move.Y),
                       " units away from where it started"));
    }

    void CheckFloor()
    {
        for (int frame = 0; frame < FView.FrameCount(); ++frame)
            if (FView.SinkDepth(frame) > UnderFloor)
                Fail(Words("frame ", frame, ": a foot sinks ", FView.SinkDepth(frame), " units into the floor"));
    }

    void CheckIdle()
    {
        const auto range = FView.Animation("Anime_Pause");
        if (!range)
            return;
        const int length = range->EndFrame - range->StartFrame + 1;
        if (length > LongestIdle)
            Fail(Words("Anime_Pause has ", length, " frames: fighters could take off before their jump starts"));
        const double seam = FView.PoseDistance(range->EndFrame, range->StartFrame);
        if (seam > 1.5 * FView.LargestStep(*range) + SameFrame)
            Fail(Words("Anime_Pause jumps ", seam, " units from its last frame back to its first"));
    }

    void CheckWalk()
    {
        const auto range = FView.Animation("Anime_Pas");
        if (!range)
            return;
        if (FMeasures.StrideDeviation > StrideSlip)
            Fail(Words("Anime_Pas: a planted foot slips, moving back up to ", FMeasures.StrideDeviation,
                       " units a frame off the ground's ", GroundPerFrame));
        for (const TSide side : {sdLeft, sdRight})
        {
            bool stepped = false;
            for (int frame = range->StartFrame; frame <= range->EndFrame; ++frame)
                stepped = stepped || !FView.Grounded(frame, side);
            if (!stepped)
                Fail(Words("Anime_Pas: the ", side == sdLeft ? "left" : "right", " foot never steps"));
        }
    }

    void CheckBackHop()
    {
        const auto range = FView.Animation("Anime_Arriere");
        if (!range)
            return;
        if (range->StartFrame >= BackPushFirst - 1 || range->EndFrame <= BackPushLast + 1)
        {
            Fail(Words("Anime_Arriere covers frames ", range->StartFrame, " to ", range->EndFrame,
                       ", not the push from ", BackPushFirst, " to ", BackPushLast, " with a frame either side"));
            return;
        }
        for (int frame = BackPushFirst; frame <= BackPushLast; ++frame)
            if (!FView.BothLifted(frame))
                Fail(Words("Anime_Arriere: a foot is on the ground at frame ", frame,
                           " while the fighter is pushed back"));
        for (const int frame : {BackPushFirst - 1, BackPushLast + 1})
            if (!FView.BothGrounded(frame))
                Fail(Words("Anime_Arriere: a foot is off the ground at frame ", frame, ", outside the push"));
    }

    void CheckCrouch()
    {
        const auto range = FView.Animation("Anime_Accroupi");
        if (!range)
            return;
        if (range->StartFrame >= CrouchHold || range->EndFrame <= CrouchHoldRunOn)
        {
            Fail(Words("Anime_Accroupi covers frames ", range->StartFrame, " to ", range->EndFrame, ", not ",
                       CrouchHold, " to ", CrouchHoldRunOn, " and back up"));
            return;
        }
        if (FMeasures.CrouchLowestFrame != CrouchHold)
            Fail(Words("Anime_Accroupi: the pelvis is lowest first at frame ", FMeasures.CrouchLowestFrame, ", not ",
                       CrouchHold));
        for (int frame = CrouchHold + 1; frame <= CrouchHoldRunOn; ++frame)
            if (FView.PoseDistance(frame, CrouchHold) > HeldStill)
                Fail(Words("Anime_Accroupi: frame ", frame, " differs from the held crouch of frame ", CrouchHold,
                           " by ", FView.PoseDistance(frame, CrouchHold), " units"));
        for (int frame = range->StartFrame; frame <= range->EndFrame; ++frame)
            if (!FView.BothGrounded(frame))
                Fail(Words("Anime_Accroupi: a foot leaves the ground at frame ", frame));
    }

    void CheckHits()
    {
        CheckHit(Jab, FMeasures.Jab);
        CheckHit(Cross, FMeasures.Cross);
        CheckHit(Kick, FMeasures.Kick);
        for (const THit* hit : {&Jab, &Cross, &Kick})
            CheckChainKeepsPose(*hit);
    }

    void CheckHit(const THit& hit, const TStrikeMeasure& strike)
    {
        const auto range = FView.Animation(hit.Name);
        if (!range)
            return;
        if (range->EndFrame - range->StartFrame + 1 < hit.FramesNeeded)
        {
            Fail(Words(hit.Name, " has fewer than the ", hit.FramesNeeded, " frames the fight reads"));
            return;
        }
        if (strike.Reach < ReachMin || strike.Reach > ReachMax)
            Fail(Words(hit.Name, ": the strike reaches ", strike.Reach, " units between +", hit.ContactFirst, " and +",
                       hit.ContactLast, ", not ", ReachMin, " to ", ReachMax));
        for (int frame = range->StartFrame; frame <= range->EndFrame; ++frame)
            for (const int bone : FView.Effectors())
                if (FView.At(frame, bone).X > ReachMax)
                    Fail(Words(hit.Name, ": ", FView.BoneName(bone), " reaches past ", ReachMax, " at +",
                               frame - range->StartFrame));
        CheckStrikeNotEarly(hit, *range, strike);
    }

    void CheckStrikeNotEarly(const THit& hit, const TAnimationRange& range, const TStrikeMeasure& strike)
    {
        for (int frame = 0; frame <= hit.ClearUntil; ++frame)
            for (const int bone : FView.Effectors())
            {
                const double reach = FView.At(range.StartFrame + frame, bone).X;
                const bool watched = hit.EveryLimbClear || FView.BoneName(bone) == strike.Effector;
                if (watched && reach >= hit.ClearBelow)
                    Fail(Words(hit.Name, ": ", FView.BoneName(bone), " is already out ", reach, " units at +", frame));
            }
    }

    // The next hit starts at the same relative frame: up to the end of the
    // chain window both must show the same pose.
    void CheckChainKeepsPose(const THit& hit)
    {
        if (!hit.ChainedFrom)
            return;
        const auto from = FView.Animation(hit.ChainedFrom);
        const auto to = FView.Animation(hit.Name);
        if (!from || !to)
            return;
        for (int frame = 0; frame <= hit.SharedUntil; ++frame)
        {
            if (from->StartFrame + frame > from->EndFrame || to->StartFrame + frame > to->EndFrame)
                return;
            const double gap = FView.PoseDistance(from->StartFrame + frame, to->StartFrame + frame);
            if (gap > HeldStill)
                Fail(Words(hit.Name, " differs by ", gap, " units from ", hit.ChainedFrom, " at +", frame,
                           ", where the combo may switch"));
        }
    }

    void CheckJump()
    {
        const auto range = FView.Animation("Anime_Saut");
        if (!range)
            return;
        for (int frame = 0; frame <= JumpTakeOffAfter && range->StartFrame + frame <= range->EndFrame; ++frame)
            if (!FView.BothGrounded(range->StartFrame + frame))
                Fail(Words("Anime_Saut: the feet leave the ground at +", frame, ", before the take-off"));
        if (FMeasures.JumpLandingFrame < JumpLandingEarliest || FMeasures.JumpLandingFrame > JumpLandingLatest)
            Fail(Words("Anime_Saut: the feet are back on the ground at +", FMeasures.JumpLandingFrame, ", not +",
                       JumpLandingEarliest, " to +", JumpLandingLatest));
        double tuck = 0;
        for (int frame = range->StartFrame; frame <= range->EndFrame; ++frame)
            tuck = std::max(tuck, std::min(FView.Lift(frame, sdLeft), FView.Lift(frame, sdRight)));
        if (tuck < JumpTuck)
            Fail(Words("Anime_Saut: the feet are never tucked up (", tuck, " units)"));
        for (int frame = range->StartFrame + JumpLandingLatest; frame <= range->EndFrame; ++frame)
            if (!FView.BothGrounded(frame))
                Fail(Words("Anime_Saut: a foot is off the ground at +", frame - range->StartFrame,
                           " after the landing"));
    }

    void CheckHitTaken()
    {
        const auto range = FView.Animation("Anime_Touche");
        if (!range)
            return;
        double head = 0, chest = 0;
        for (int frame = range->StartFrame; frame <= std::min(range->EndFrame, range->StartFrame + 3); ++frame)
        {
            head = std::min(head, FView.Head(frame).X - FView.Head(range->StartFrame).X);
            chest = std::min(chest, FView.Chest(frame).X - FView.Chest(range->StartFrame).X);
        }
        if (head > -3 || chest > -2)
            Fail(Words("Anime_Touche: head and chest snap back only ", -head, " and ", -chest, " units"));
    }

    void CheckDeath()
    {
        const auto range = FView.Animation("Anime_Mort");
        if (!range)
            return;
        for (int frame = std::max(range->StartFrame, range->EndFrame - 3); frame < range->EndFrame; ++frame)
            if (FView.PoseDistance(frame, range->EndFrame) > SameFrame)
                Fail(Words("Anime_Mort: still moving at +", frame - range->StartFrame));
        const double headHeight = FView.Head(range->EndFrame).Z - FView.Ankle(0, sdLeft).Z;
        if (headHeight > 10)
            Fail(Words("Anime_Mort: the head ends ", headHeight, " units above the ankles' standing height"));
    }

    const TMotionView& FView;
    const TFighterMeasures& FMeasures;
    std::vector<std::string> FFailures;
};

TFighterMeasures Measure(const TMotionView& view)
{
    TFighterMeasures measures;
    MeasureCrouch(view, measures);
    MeasureBackHop(view, measures);
    MeasureJump(view, measures);
    measures.Jab = MeasureStrike(view, Jab);
    measures.Cross = MeasureStrike(view, Cross);
    measures.Kick = MeasureStrike(view, Kick);
    MeasureStride(view, measures);
    return measures;
}

} // namespace

std::vector<std::string> CheckFighter(const TFighterMotion& motion)
{
    TMotionView view(motion);
    std::vector<std::string> failures;
    if (!view.Readable(failures))
        return failures;
    const TFighterMeasures measures = Measure(view);
    return TChecker(view, measures).Run();
}

TFighterMeasures MeasureFighter(const TFighterMotion& motion)
{
    TMotionView view(motion);
    std::vector<std::string> failures;
    return view.Readable(failures) ? Measure(view) : TFighterMeasures{};
}

} // namespace Fighter
