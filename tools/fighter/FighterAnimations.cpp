#include "FighterAnimations.h"

namespace Fighter
{

namespace
{

// The fight's clock: one frame every 50 ms, and a walking fighter carried
// forward 0.015 world units per 30 ms tick, that is 25 model units a second
// at the actors' scale of 0.02: 1.25 model units per frame.
constexpr double GroundPerFrame = 1.25;

// Boxing guard, orthodox: left foot and left fist lead, hips bladed 30
// degrees to the right, knees bent, chin down behind the rear fist.
constexpr TVec3 GuardPelvis{-1, 0, -3};
constexpr TVec3 GuardPelvisTurn{0, 0, -30};
constexpr TVec3 GuardSpine{0, 8, 0};
constexpr TVec3 GuardChest{0, 4, 0};
constexpr TVec3 GuardNeck{0, 0, 12};
constexpr TVec3 GuardHead{0, 6, 18};
constexpr TVec3 GuardLeftHand{15, 5, 33};
constexpr TVec3 GuardRightHand{7, -3.5, 34};
constexpr TVec3 GuardLeftFoot{8, 6, -32};
constexpr TVec3 GuardRightFoot{-8, -6, -32};
constexpr TVec3 GuardLeftFootTurn{0, 0, -10};
constexpr TVec3 GuardRightFootTurn{0, 0, -45};

// Lying on the back, knees up, arms spread: the end of a fall.
constexpr TKeyPose Lying{.Pelvis = TVec3{-16, 0, -32},
                         .PelvisTurn = TVec3{0, -82, -20},
                         .Spine = TVec3{0, 0, 0},
                         .Chest = TVec3{0, 0, 0},
                         .Neck = TVec3{0, -5, 0},
                         .Head = TVec3{0, -5, 30},
                         .LeftHand = TVec3{-14, 20, 1},
                         .RightHand = TVec3{-14, -20, 1},
                         .LeftFoot = TVec3{10, 7, -32},
                         .RightFoot = TVec3{12, -7, -32},
                         .LeftFootTurn = TVec3{0, -80, 10},
                         .RightFootTurn = TVec3{0, -80, -10}};

TKeyPose At(TKeyPose pose, const double frame, const TEase ease = eaInOut)
{
    pose.Frame = frame;
    pose.Ease = ease;
    return pose;
}

// A quick bounce on the balls of the feet; the key past the last frame is the
// first pose again, so the loop runs on without a stop.
const TAnimationScript Pause{
    .Name = "Anime_Pause",
    .FrameCount = 7,
    .Keys = {
        {.Frame = 3.5,
         .Pelvis = GuardPelvis + TVec3{0, 0, -1.6},
         .Head = GuardHead + TVec3{0, 4, 0},
         .LeftHand = GuardLeftHand + TVec3{0, 0, 0.8},
         .RightHand = GuardRightHand + TVec3{0, 0, 0.8}},
        {.Frame = 7, .Pelvis = GuardPelvis, .Head = GuardHead, .LeftHand = GuardLeftHand, .RightHand = GuardRightHand},
    }};

// Two steps, rear foot first. A planted foot runs back at the ground's speed
// (linear keys) while the body is carried forward; each swing brings its foot
// 20 units forward in 7 frames. Both feet end where the guard has them.
constexpr double RightLiftOff = 1, RightLanding = 8;
constexpr double LeftLiftOff = 11, LeftLanding = 18;
constexpr double WalkLast = 23;
constexpr double RightLiftX = GuardRightFoot.X - GroundPerFrame * RightLiftOff;
constexpr double RightLandX = GuardRightFoot.X + GroundPerFrame * (WalkLast - RightLanding);
constexpr double LeftLiftX = GuardLeftFoot.X - GroundPerFrame * LeftLiftOff;
constexpr double LeftLandX = GuardLeftFoot.X + GroundPerFrame * (WalkLast - LeftLanding);
constexpr double StepHeight = 3;

const TAnimationScript Pas{
    .Name = "Anime_Pas",
    .FrameCount = 24,
    .Keys = {
        {.Frame = RightLiftOff, .Ease = eaLinear, .RightFoot = TVec3{RightLiftX, -6, -32}, .RightLift = 0},
        {.Frame = 4.5,
         .Pelvis = TVec3{0.5, 0, -2.6},
         .PelvisTurn = TVec3{0, 0, -15},
         .RightFootTurn = TVec3{0, 0, -15},
         .RightLift = StepHeight},
        {.Frame = RightLanding, .RightFoot = TVec3{RightLandX, -6, -32}, .RightLift = 0},
        {.Frame = 9.5, .Pelvis = TVec3{2, 0, -3.3}},
        {.Frame = LeftLiftOff, .Ease = eaLinear, .LeftFoot = TVec3{LeftLiftX, 6, -32}, .LeftLift = 0},
        {.Frame = 14.5, .Pelvis = TVec3{2.5, 0, -2.6}, .PelvisTurn = TVec3{0, 0, -20}, .LeftLift = StepHeight},
        {.Frame = LeftLanding, .LeftFoot = TVec3{LeftLandX, 6, -32}, .LeftLift = 0},
        {.Frame = 20, .Pelvis = TVec3{2, 0, -3.3}},
        {.Frame = WalkLast,
         .Ease = eaLinear,
         .LeftFoot = GuardLeftFoot,
         .RightFoot = GuardRightFoot,
         .RightFootTurn = GuardRightFootTurn},
    }};

// A hop back: dip, both feet off the ground from the fifth frame to the
// thirteenth, while the fight carries the fighter back, then land and settle.
const TAnimationScript Arriere{
    .Name = "Anime_Arriere",
    .FrameCount = 16,
    .Keys = {
        {.Frame = 3,
         .Pelvis = GuardPelvis + TVec3{0, 0, -2.5},
         .Spine = GuardSpine + TVec3{0, 6, 0},
         .LeftLift = 0,
         .RightLift = 0},
        {.Frame = 8,
         .Ease = eaOut,
         .Pelvis = GuardPelvis + TVec3{0, 0, 2.5},
         .Spine = GuardSpine,
         .LeftLift = 4,
         .RightLift = 4},
        {.Frame = 13, .Ease = eaIn, .Pelvis = GuardPelvis + TVec3{0, 0, -2.5}, .LeftLift = 0, .RightLift = 0},
    }};

// Down into a deep crouch, held from the eighth frame to the fourteenth, then up.
constexpr TKeyPose Crouch{.Pelvis = TVec3{-3, 0, -16},
                          .Spine = TVec3{0, 22, 0},
                          .Chest = TVec3{0, 8, 0},
                          .Neck = TVec3{0, -12, 12},
                          .Head = TVec3{0, -6, 18},
                          .LeftHand = TVec3{24, 5, 28},
                          .RightHand = TVec3{17, -3.5, 29}};

const TAnimationScript Accroupi{
    .Name = "Anime_Accroupi",
    .FrameCount = 19,
    .Keys = {At(Crouch, 7), At(Crouch, 13)},
};

// Jab with a step: the lead foot steps while the fight carries the fighter
// forward, the rear foot pushes off, the arm is out from the fourth frame
// to the seventh and back in guard at the tenth, the rear foot drawn up.
const TAnimationScript Combo1_1{.Name = "Combo1_1",
                                .FrameCount = 15,
                                .Keys = {
                                    {.Frame = 1, .LeftHand = TVec3{13, 5, 32}},
                                    {.Frame = 2, .Ease = eaOut, .LeftLift = 2},
                                    {.Frame = 4,
                                     .Pelvis = TVec3{0, 0, -4.5},
                                     .Spine = TVec3{0, 14, 0},
                                     .Chest = TVec3{0, 6, -20},
                                     .LeftHand = TVec3{34, 3, 29.5},
                                     .RightFoot = TVec3{-16, -6, -32},
                                     .LeftLift = 0},
                                    {.Frame = 6,
                                     .Pelvis = TVec3{0, 0, -4.5},
                                     .Spine = TVec3{0, 14, 0},
                                     .Chest = TVec3{0, 6, -20},
                                     .LeftHand = TVec3{35, 3, 30},
                                     .RightLift = 0},
                                    {.Frame = 7.5, .RightLift = 1.5},
                                    {.Frame = 9,
                                     .Pelvis = GuardPelvis,
                                     .Spine = GuardSpine,
                                     .Chest = GuardChest,
                                     .LeftHand = GuardLeftHand,
                                     .RightFoot = GuardRightFoot,
                                     .RightLift = 0},
                                }};

// Jab then cross: the hips turn, the rear heel comes up and the rear fist is
// out from the thirteenth frame to the seventeenth; guard again by the twenty-second.
const TAnimationScript Combo1_2{
    .Name = "Combo1_2",
    .FrameCount = 25,
    .Keys =
        {
            {.Frame = 10, .RightHand = TVec3{6, -3, 33}},
            {.Frame = 13,
             .Pelvis = TVec3{2, 0, -4.5},
             .PelvisTurn = TVec3{0, 0, 5},
             .Spine = TVec3{0, 14, 0},
             .Chest = TVec3{0, 8, 15},
             .LeftHand = TVec3{10, 6, 34},
             .RightHand = TVec3{32, -1, 29},
             .RightFootTurn = TVec3{0, 20, -15}},
            {.Frame = 16,
             .Pelvis = TVec3{2, 0, -4.5},
             .PelvisTurn = TVec3{0, 0, 5},
             .Spine = TVec3{0, 14, 0},
             .Chest = TVec3{0, 8, 15},
             .LeftHand = TVec3{10, 6, 34},
             .RightHand = TVec3{33, -1, 29.5},
             .RightFootTurn = TVec3{0, 20, -15}},
            {.Frame = 21,
             .Pelvis = GuardPelvis,
             .PelvisTurn = GuardPelvisTurn,
             .Spine = GuardSpine,
             .Chest = GuardChest,
             .LeftHand = GuardLeftHand,
             .RightHand = GuardRightHand,
             .RightFootTurn = GuardRightFootTurn},
        },
    .BranchOf = &Combo1_1,
    .BranchFrame = 9,
};

// Jab, cross, then a push kick with the rear leg: knee up at the
// twenty-third frame, foot out from the twenty-fifth to the twenty-eighth,
// drawn back and down by the end.
const TAnimationScript Combo1_3{
    .Name = "Combo1_3",
    .FrameCount = 32,
    .Keys =
        {
            {.Frame = 22,
             .Pelvis = TVec3{-2, 0, -2.5},
             .PelvisTurn = TVec3{0, 0, -10},
             .Spine = TVec3{0, -4, 0},
             .RightFoot = TVec3{-2, -5, -32},
             .RightFootTurn = TVec3{0, 40, -10},
             .RightLift = 10},
            {.Frame = 24,
             .Pelvis = TVec3{-3, 0, -3},
             .PelvisTurn = TVec3{0, -10, -5},
             .Spine = TVec3{0, -8, 0},
             .Chest = TVec3{0, -2, 0},
             .RightFoot = TVec3{24, -3, -32},
             .LeftFootTurn = TVec3{0, 0, -35},
             .RightFootTurn = TVec3{0, -10, 0},
             .RightLift = 30},
            {.Frame = 27,
             .Pelvis = TVec3{-3, 0, -3},
             .PelvisTurn = TVec3{0, -10, -5},
             .Spine = TVec3{0, -8, 0},
             .Chest = TVec3{0, -2, 0},
             .RightFoot = TVec3{25, -3, -32},
             .LeftFootTurn = TVec3{0, 0, -35},
             .RightFootTurn = TVec3{0, -10, 0},
             .RightLift = 30},
            {.Frame = 28,
             .Ease = eaLinear,
             .RightFoot = TVec3{16, -4, -32},
             .RightFootTurn = TVec3{0, 10, -5},
             .RightLift = 22},
            {.Frame = 29,
             .Ease = eaLinear,
             .PelvisTurn = TVec3{0, 0, -20},
             .RightFoot = TVec3{7, -5, -32},
             .RightFootTurn = TVec3{0, 25, -15},
             .RightLift = 14},
            {.Frame = 30,
             .Ease = eaLinear,
             .RightFoot = TVec3{-2, -5.5, -32},
             .RightFootTurn = TVec3{0, 15, -30},
             .RightLift = 6},
        },
    .BranchOf = &Combo1_2,
    .BranchFrame = 21,
};

// Jump: crouch, push off at the eighth frame, knees tucked in the air, legs
// down again for the landing at the twenty-fifth frame, absorb and recover.
const TAnimationScript Saut{
    .Name = "Anime_Saut",
    .FrameCount = 32,
    .Keys = {
        {.Frame = 3, .Pelvis = TVec3{-2, 0, -9}, .Spine = TVec3{0, 16, 0}},
        {.Frame = 6,
         .Pelvis = TVec3{-2, 0, -10},
         .Spine = TVec3{0, 16, 0},
         .LeftFootTurn = GuardLeftFootTurn,
         .RightFootTurn = GuardRightFootTurn,
         .LeftLift = 0,
         .RightLift = 0},
        {.Frame = 7,
         .Ease = eaOut,
         .Pelvis = TVec3{0, 0, -1.5},
         .Spine = TVec3{0, 4, 0},
         .LeftFootTurn = TVec3{0, 20, -10},
         .RightFootTurn = TVec3{0, 20, -30}},
        {.Frame = 9,
         .Ease = eaOut,
         .Pelvis = TVec3{0, 0, 0},
         .LeftHand = TVec3{15, 8, 37},
         .RightHand = TVec3{9, -6, 37},
         .LeftFootTurn = TVec3{0, 25, -10},
         .RightFootTurn = TVec3{0, 25, -30},
         .LeftLift = 6,
         .RightLift = 6},
        {.Frame = 15, .Pelvis = TVec3{0, 0, 1}, .Spine = TVec3{0, 10, 0}, .LeftLift = 11, .RightLift = 11},
        {.Frame = 22,
         .Pelvis = TVec3{-1, 0, -1},
         .Spine = GuardSpine,
         .LeftHand = GuardLeftHand,
         .RightHand = GuardRightHand,
         .LeftFootTurn = TVec3{0, 10, -10},
         .RightFootTurn = TVec3{0, 10, -40},
         .LeftLift = 2,
         .RightLift = 2},
        {.Frame = 24,
         .Ease = eaIn,
         .Pelvis = TVec3{-1, 0, -3},
         .LeftFootTurn = GuardLeftFootTurn,
         .RightFootTurn = GuardRightFootTurn,
         .LeftLift = 0,
         .RightLift = 0},
        {.Frame = 26, .Ease = eaOut, .Pelvis = TVec3{-2, 0, -9}, .Spine = TVec3{0, 16, 0}},
    }};

// Bounced off the opponent: thrown back and up a little, then guard again.
const TAnimationScript Mur{.Name = "Anime_Mur",
                           .FrameCount = 10,
                           .Keys = {
                               {.Frame = 2,
                                .Ease = eaOut,
                                .Pelvis = TVec3{-4, 0, -3.5},
                                .Spine = TVec3{0, -6, 0},
                                .Chest = TVec3{0, -6, 0},
                                .Head = TVec3{0, -10, 18},
                                .LeftHand = TVec3{10, 6, 35},
                                .RightHand = TVec3{4, -4, 35}},
                               {.Frame = 5, .Pelvis = TVec3{-2.5, 0, -4}, .Spine = GuardSpine, .Chest = GuardChest},
                           }};

// Hit: head and chest snap back, the arms fly open, then guard again.
const TAnimationScript Touche{.Name = "Anime_Touche",
                              .FrameCount = 10,
                              .Keys = {
                                  {.Frame = 1,
                                   .Ease = eaOut,
                                   .Pelvis = TVec3{-3, 0, -3.5},
                                   .Spine = TVec3{0, -10, 0},
                                   .Chest = TVec3{0, -14, 8},
                                   .Neck = TVec3{0, -10, 12},
                                   .Head = TVec3{0, -25, 25},
                                   .LeftHand = TVec3{10, 8, 35},
                                   .RightHand = TVec3{4, -7, 35}},
                                  {.Frame = 3,
                                   .Pelvis = TVec3{-3, 0, -3.5},
                                   .Spine = TVec3{0, -8, 0},
                                   .Chest = TVec3{0, -12, 6},
                                   .Neck = TVec3{0, -8, 12},
                                   .Head = TVec3{0, -18, 22}},
                              }};

// Death: the snap of a hit, the knees give, a fall backwards, a last bounce
// on the ground, and still from the twenty-second frame on.
const TAnimationScript Mort{.Name = "Anime_Mort",
                            .FrameCount = 30,
                            .Keys = {
                                {.Frame = 2,
                                 .Ease = eaOut,
                                 .Pelvis = TVec3{-3, 0, -3.5},
                                 .Spine = TVec3{0, -10, 0},
                                 .Chest = TVec3{0, -14, 8},
                                 .Neck = TVec3{0, -10, 12},
                                 .Head = TVec3{0, -25, 25},
                                 .LeftHand = TVec3{8, 9, 36},
                                 .RightHand = TVec3{2, -9, 36}},
                                {.Frame = 7,
                                 .Pelvis = TVec3{-5, 0, -13},
                                 .Spine = TVec3{0, -5, 0},
                                 .Chest = TVec3{0, -10, 0},
                                 .Neck = TVec3{0, 10, 12},
                                 .Head = TVec3{0, 10, 10},
                                 .LeftHand = TVec3{6, 12, 22},
                                 .RightHand = TVec3{0, -12, 22}},
                                {.Frame = 13,
                                 .Ease = eaIn,
                                 .Pelvis = TVec3{-13, 0, -25},
                                 .PelvisTurn = TVec3{0, -45, -25},
                                 .LeftHand = TVec3{-2, 16, 20},
                                 .RightHand = TVec3{-6, -16, 20},
                                 .LeftFoot = TVec3{10, 7, -32},
                                 .RightFoot = TVec3{6, -7, -32}},
                                At(Lying, 17, eaIn),
                                {.Frame = 19, .Pelvis = TVec3{-16, 0, -31}, .Head = TVec3{0, -15, 30}},
                                At(Lying, 22),
                                At(Lying, 29, eaLinear),
                            }};

} // namespace

const TStance Guard{.Pelvis = GuardPelvis,
                    .PelvisTurn = GuardPelvisTurn,
                    .Spine = GuardSpine,
                    .Chest = GuardChest,
                    .Neck = GuardNeck,
                    .Head = GuardHead,
                    .LeftHand = GuardLeftHand,
                    .RightHand = GuardRightHand,
                    .LeftFoot = GuardLeftFoot,
                    .RightFoot = GuardRightFoot,
                    .LeftFootTurn = GuardLeftFootTurn,
                    .RightFootTurn = GuardRightFootTurn};

const std::array<const TAnimationScript*, AnimationCount>& FighterAnimations()
{
    static const std::array<const TAnimationScript*, AnimationCount> animations{
        &Pause, &Pas, &Arriere, &Accroupi, &Combo1_1, &Combo1_2, &Combo1_3, &Saut, &Mur, &Touche, &Mort};
    return animations;
}

} // namespace Fighter
