#include "base/Exceptions.h"
#include "mesh/Skeleton.h"
#include "AssertionMessage.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr float HalfPi = 1.57079632679f;

void ExpectMatrixNear(const TMatrix& actual, const TMatrix& expected, float tolerance = 1e-6f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], tolerance) << "row " << r << " column " << c;
}

TMatrix Rows(std::array<float, 3> r0, std::array<float, 3> r1, std::array<float, 3> r2,
             std::array<float, 3> translation = {0, 0, 0})
{
    TMatrix m;
    m[0] = {r0[0], r0[1], r0[2], 0};
    m[1] = {r1[0], r1[1], r1[2], 0};
    m[2] = {r2[0], r2[1], r2[2], 0};
    m[3] = {translation[0], translation[1], translation[2], 1};
    return m;
}

// Rotations about one axis and their product, in double precision, written
// out by hand for the checks that need arbitrary angles.
using TMatrix3 = std::array<std::array<double, 3>, 3>;

TMatrix3 Multiply(const TMatrix3& a, const TMatrix3& b)
{
    TMatrix3 m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                m[r][c] += a[r][k] * b[k][c];
    return m;
}

TMatrix3 Transposed(const TMatrix3& a)
{
    TMatrix3 m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m[r][c] = a[c][r];
    return m;
}

TMatrix3 AnglesMatrix3(double x, double y, double z)
{
    const TMatrix3 rx{{{1, 0, 0}, {0, std::cos(x), std::sin(x)}, {0, -std::sin(x), std::cos(x)}}};
    const TMatrix3 ry{{{std::cos(y), 0, -std::sin(y)}, {0, 1, 0}, {std::sin(y), 0, std::cos(y)}}};
    const TMatrix3 rz{{{std::cos(z), std::sin(z), 0}, {-std::sin(z), std::cos(z), 0}, {0, 0, 1}}};
    return Multiply(Multiply(rx, ry), rz);
}

TMatrix3 AnglesMatrix3(const TAffineVector& a)
{
    return AnglesMatrix3(a.X, a.Y, a.Z);
}

double Trace(const TMatrix3& m)
{
    return m[0][0] + m[1][1] + m[2][2];
}

void ExpectMatrix3Near(const TMatrix3& actual, const TMatrix3& expected, double tolerance)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], tolerance) << "row " << r << " column " << c;
}

double MaxDifference(const TMatrix3& a, const TMatrix3& b)
{
    double d = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            d = std::max(d, std::fabs(a[r][c] - b[r][c]));
    return d;
}

// A frame with one (position, rotation) pair per bone.
TSkeletonFrame& AddFrame(TSkeleton& skeleton, std::initializer_list<std::pair<TAffineVector, TAffineVector>> bones)
{
    TSkeletonFrame& frame = skeleton.Frames().Add();
    for (const auto& [position, rotation] : bones)
    {
        frame.Position.Add(position);
        frame.Rotation.Add(rotation);
    }
    return frame;
}

TSkeletonBone& AddBone(TSkeletonBoneList& owner, int id, const char* name)
{
    auto* const bone = new TSkeletonBone(&owner);
    bone->BoneID = id;
    bone->Name = QString::fromLatin1(name);
    return *bone;
}

// The rotation a one-bone interpolation between two angle triples gives.
TAffineVector Interpolated(const TAffineVector& a, const TAffineVector& b, float t)
{
    TSkeleton skeleton(nullptr);
    AddFrame(skeleton, {{{}, a}});
    AddFrame(skeleton, {{{}, b}});
    skeleton.LerpFrames(0, 1, t);
    return skeleton.CurrentFrame().Rotation[0];
}
} // namespace

TEST(Skeleton, LocalMatricesApplyXThenYThenZAndCarryThePosition)
{
    TSkeleton skeleton(nullptr);
    const TSkeletonFrame& frame = AddFrame(skeleton, {
                                                         {{1, 2, 3}, {HalfPi, 0, 0}},
                                                         {{0, 0, 0}, {0, HalfPi, 0}},
                                                         {{0, 0, 0}, {0, 0, HalfPi}},
                                                         {{0, 0, 0}, {HalfPi, HalfPi, 0}},
                                                         {{0, 0, 0}, {HalfPi, 0, HalfPi}},
                                                         {{0, 0, 0}, {0, HalfPi, HalfPi}},
                                                         {{4, 5, 6}, {0, 0, 0}},
                                                     });
    const std::vector<TMatrix>& m = frame.LocalMatrices();
    ASSERT_EQ(m.size(), 7u);
    ExpectMatrixNear(m[0], Rows({1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {1, 2, 3}));
    ExpectMatrixNear(m[1], Rows({0, 0, -1}, {0, 1, 0}, {1, 0, 0}));
    ExpectMatrixNear(m[2], Rows({0, 1, 0}, {-1, 0, 0}, {0, 0, 1}));
    // Rx(90) x Ry(90), Rx(90) x Rz(90) and Ry(90) x Rz(90), multiplied out
    // by hand.
    ExpectMatrixNear(m[3], Rows({0, 0, -1}, {1, 0, 0}, {0, -1, 0}));
    ExpectMatrixNear(m[4], Rows({0, 1, 0}, {0, 0, 1}, {1, 0, 0}));
    ExpectMatrixNear(m[5], Rows({0, 0, -1}, {-1, 0, 0}, {0, 1, 0}));
    // No angle: an exact identity rotation.
    EXPECT_EQ(m[6], Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {4, 5, 6}));
}

TEST(Skeleton, LocalMatricesAreCachedUntilFlushedAndFollowTheQuaternionsInThatMode)
{
    TSkeleton skeleton(nullptr);
    TSkeletonFrame& frame = AddFrame(skeleton, {{{1, 0, 0}, {0, 0, 0}}});
    const TMatrix first = frame.LocalMatrices()[0];
    frame.Rotation[0] = {0, 0, HalfPi};
    EXPECT_EQ(frame.LocalMatrices()[0], first);
    frame.FlushLocalMatrixList();
    ExpectMatrixNear(frame.LocalMatrices()[0], Rows({0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}));

    // 90 degrees about Z as a quaternion; the count follows the quaternions.
    frame.TransformMode = sftQuaternion;
    const float h = std::sqrt(0.5f);
    frame.Quaternion.Add({{0, 0, h}, h});
    frame.Quaternion.Add(IdentityQuaternion);
    frame.FlushLocalMatrixList();
    const std::vector<TMatrix>& m = frame.LocalMatrices();
    ASSERT_EQ(m.size(), 2u);
    ExpectMatrixNear(m[0], Rows({0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}));
    // A quaternion without a position stays at the origin.
    ExpectMatrixNear(m[1], Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}));
}

TEST(Skeleton, BonesAreFoundDepthFirstByIdAndByExactNameAndCounted)
{
    TSkeleton skeleton(nullptr);
    TSkeletonBone& hip = AddBone(skeleton.RootBones(), 0, "Hip");
    TSkeletonBone& spine = AddBone(hip, 1, "Spine");
    TSkeletonBone& head = AddBone(spine, 2, "Head");
    TSkeletonBone& prop = AddBone(skeleton.RootBones(), 3, "Prop");
    TSkeletonBone& twin = AddBone(prop, 1, "Twin");
    TSkeletonBone& far = AddBone(prop, 100000, "Far");

    EXPECT_EQ(spine.Owner(), &hip);
    EXPECT_EQ(hip.Owner(), &skeleton.RootBones());
    EXPECT_EQ(head.Skeleton(), &skeleton);
    EXPECT_EQ(skeleton.RootBones().CountBones(), 7);
    EXPECT_EQ(hip.CountBones(), 3);
    EXPECT_EQ(head.CountBones(), 1);

    EXPECT_EQ(skeleton.RootBones().FindBoneByID(2), &head);
    EXPECT_EQ(skeleton.RootBones().FindBoneByID(1), &spine);
    EXPECT_EQ(prop.FindBoneByID(1), &twin);
    EXPECT_EQ(spine.FindBoneByID(3), nullptr);
    EXPECT_EQ(skeleton.RootBones().FindBoneByName(QStringLiteral("Head")), &head);
    EXPECT_EQ(skeleton.RootBones().FindBoneByName(QStringLiteral("head")), nullptr);
    EXPECT_EQ(skeleton.RootBones().FindBoneByName(QStringLiteral("Twin")), &twin);

    // The cache answers as the tree search does, also for ids far apart,
    // negative ones and ones no bone has.
    EXPECT_EQ(skeleton.BoneByID(1), &spine);
    EXPECT_EQ(skeleton.BoneByID(3), &prop);
    EXPECT_EQ(skeleton.BoneByID(100000), &far);
    EXPECT_EQ(skeleton.BoneByID(4), nullptr);
    EXPECT_EQ(skeleton.BoneByID(-1), nullptr);
    EXPECT_EQ(skeleton.BoneByID(2147483647), nullptr);
    EXPECT_NE(AssertionMessage([] { TSkeletonBone orphan(nullptr); }), "(no assertion failure)");
    // A bone added after a lookup is found.
    TSkeletonBone& tail = AddBone(hip, 5, "Tail");
    EXPECT_EQ(skeleton.BoneByID(5), &tail);
}

TEST(Skeleton, ClearingDropsBonesFramesPoseAndTheIdCache)
{
    TSkeleton skeleton(nullptr);
    AddBone(skeleton.RootBones(), 0, "Hip");
    AddFrame(skeleton, {{{1, 0, 0}, {}}});
    skeleton.Colliders().Add();
    ASSERT_NE(skeleton.BoneByID(0), nullptr);
    skeleton.CurrentFrame();
    skeleton.Clear();
    EXPECT_EQ(skeleton.RootBones().Count(), 0);
    EXPECT_EQ(skeleton.Frames().Count(), 0);
    EXPECT_EQ(skeleton.Colliders().Count(), 0);
    EXPECT_FALSE(skeleton.HasCurrentFrame());
    EXPECT_EQ(skeleton.BoneByID(0), nullptr);
}

TEST(Skeleton, GlobalMatricesChainTheLocalsOfTheCurrentPoseFromTheRoot)
{
    TSkeleton skeleton(nullptr);
    TSkeletonBone& hip = AddBone(skeleton.RootBones(), 0, "Hip");
    TSkeletonBone& spine = AddBone(hip, 1, "Spine");
    TSkeletonBone& head = AddBone(spine, 2, "Head");
    TSkeletonBone& stray = AddBone(spine, 9, "Stray");
    AddFrame(skeleton, {{{1, 0, 0}, {0, 0, HalfPi}}, {{1, 0, 0}, {0, 0, 0}}, {{0, 2, 0}, {HalfPi, 0, 0}}});
    EXPECT_FALSE(skeleton.HasCurrentFrame());
    skeleton.RootBones().UpdateGlobalMatrices();
    // The pose is made from frame 0 on first use.
    ASSERT_TRUE(skeleton.HasCurrentFrame());
    EXPECT_EQ(skeleton.CurrentFrame().Position, skeleton.Frames()[0].Position);

    ExpectMatrixNear(skeleton.RootBones().GlobalMatrix(), Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}));
    ExpectMatrixNear(hip.GlobalMatrix(), Rows({0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}));
    // (1, 0, 0) turned by the hip's 90 degrees about Z, plus the hip.
    ExpectMatrixNear(spine.GlobalMatrix(), Rows({0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {1, 1, 0}));
    // Rx(90) x Rz(90); (0, 2, 0) turned to (-2, 0, 0), plus the spine.
    ExpectMatrixNear(head.GlobalMatrix(), Rows({0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {-1, 1, 0}));
    // An id the pose has no data for: placed with its parent.
    ExpectMatrixNear(stray.GlobalMatrix(), spine.GlobalMatrix());
}

TEST(Skeleton, ASkeletonWithoutFramesPlacesEveryBoneAtTheOrigin)
{
    TSkeleton skeleton(nullptr);
    TSkeletonBone& hip = AddBone(skeleton.RootBones(), 0, "Hip");
    TSkeletonBone& knee = AddBone(hip, -5, "Knee");
    skeleton.RootBones().UpdateGlobalMatrices();
    EXPECT_EQ(skeleton.CurrentFrame().Position.Count(), 0);
    ExpectMatrixNear(knee.GlobalMatrix(), Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}));
    skeleton.ApplySkinning(true);
}

TEST(Skeleton, AngleInterpolationTakesTheShorterArcAndCopiesEndsAndEqualTriples)
{
    const TAffineVector quarter = Interpolated({0, 0, 0}, {0, 0, HalfPi}, 0.5f);
    EXPECT_NEAR(quarter.X, 0, 1e-6f);
    EXPECT_NEAR(quarter.Y, 0, 1e-6f);
    EXPECT_NEAR(quarter.Z, HalfPi / 2, 1e-6f);

    // Half-way between Rx(90) and Ry(90), 120 degrees apart: M is the midpoint
    // when A^T M = M^T B, a turn of 60 degrees (trace 1 + 2 cos 60 = 2).
    const TAffineVector a{HalfPi, 0, 0}, b{0, HalfPi, 0};
    const TMatrix3 m = AnglesMatrix3(Interpolated(a, b, 0.5f));
    const TMatrix3 fromA = Multiply(Transposed(AnglesMatrix3(a)), m);
    const TMatrix3 toB = Multiply(Transposed(m), AnglesMatrix3(b));
    ExpectMatrix3Near(fromA, toB, 1e-5);
    EXPECT_NEAR(Trace(fromA), 2, 1e-5);
    // 3.5 radians about Z is reached faster the other way round.
    EXPECT_NEAR(Interpolated({0, 0, 0}, {0, 0, 3.5f}, 0.5f).Z, -(2 * 3.14159265f - 3.5f) / 2, 1e-5f);
    // Not what averaging the angles gives.
    EXPECT_GT(MaxDifference(m, AnglesMatrix3(HalfPi / 2, HalfPi / 2, 0)), 0.1);

    // Ends and equal triples are copied, not brought back into one turn.
    EXPECT_EQ(Interpolated({0, 0, 7}, {0, 0, -7}, 0), (TAffineVector{0, 0, 7}));
    EXPECT_EQ(Interpolated({0, 0, 7}, {0, 0, -7}, 1), (TAffineVector{0, 0, -7}));
    EXPECT_EQ(Interpolated({0, 0, 7}, {0, 0, 7}, 0.5f), (TAffineVector{0, 0, 7}));
}

TEST(Skeleton, AngleInterpolationAtTheVerticalPoleGivesTheMidpointRotation)
{
    const float pole = DegToRad(90);
    ASSERT_EQ(RadToDeg(pole), 90.0f);
    const TAffineVector a{0.2f, pole, 0}, b{0, -pole, 0.6f};
    const TAffineVector r = Interpolated(a, b, 0.5f);
    ASSERT_TRUE(std::isfinite(r.X) && std::isfinite(r.Y) && std::isfinite(r.Z));
    // Angles are ill-conditioned at the pole; the rotation is not.
    const TMatrix3 m = AnglesMatrix3(r);
    const TMatrix3 fromA = Multiply(Transposed(AnglesMatrix3(a)), m);
    const TMatrix3 toB = Multiply(Transposed(m), AnglesMatrix3(b));
    ExpectMatrix3Near(fromA, toB, 2e-3);
}

TEST(Skeleton, LerpFramesInterpolatesPositionsAndRefusesMismatchedFrames)
{
    TSkeleton skeleton(nullptr);
    AddFrame(skeleton, {{{0, 0, 0}, {}}, {{1, 1, 1}, {}}});
    AddFrame(skeleton, {{{2, 4, 6}, {}}, {{1, 1, 1}, {}}});
    AddFrame(skeleton, {{{2, 4, 6}, {}}});
    skeleton.LerpFrames(0, 1, 0.25f);
    EXPECT_EQ(skeleton.CurrentFrame().Position[0], (TAffineVector{0.5f, 1, 1.5f}));
    EXPECT_EQ(skeleton.CurrentFrame().Position[1], (TAffineVector{1, 1, 1}));
    EXPECT_EQ(skeleton.CurrentFrame().TransformMode, sftRotation);
    // The pose's matrices follow the new pose.
    EXPECT_EQ(skeleton.CurrentFrame().LocalMatrices()[0][3], (std::array<float, 4>{0.5f, 1, 1.5f, 1}));
    skeleton.LerpFrames(0, 1, 0.5f);
    EXPECT_EQ(skeleton.CurrentFrame().LocalMatrices()[0][3], (std::array<float, 4>{1, 2, 3, 1}));

    EXPECT_NE(AssertionMessage([&] { skeleton.LerpFrames(0, 2, 0.5f); }), "(no assertion failure)");
    EXPECT_NE(AssertionMessage([&] { skeleton.LerpFrames(0, 3, 0.5f); }), "(no assertion failure)");
    EXPECT_NE(AssertionMessage([&] { skeleton.LerpFrames(-1, 0, 0.5f); }), "(no assertion failure)");
}

TEST(Skeleton, LerpFramesInQuaternionModeInterpolatesSpherically)
{
    TSkeleton skeleton(nullptr);
    const float h = std::sqrt(0.5f);
    for (const TQuaternion& q : {IdentityQuaternion, TQuaternion{{0, 0, h}, h}})
    {
        TSkeletonFrame& frame = skeleton.Frames().Add();
        frame.TransformMode = sftQuaternion;
        frame.Position.Add({});
        frame.Quaternion.Add(q);
    }
    skeleton.LerpFrames(0, 1, 0.5f);
    const TQuaternion q = skeleton.CurrentFrame().Quaternion[0];
    EXPECT_EQ(skeleton.CurrentFrame().TransformMode, sftQuaternion);
    // 45 degrees about Z.
    EXPECT_NEAR(q.ImagPart.Z, std::sin(3.14159265 / 8), 1e-6);
    EXPECT_NEAR(q.RealPart, std::cos(3.14159265 / 8), 1e-6);
}

TEST(Skeleton, BlendFramesWeighsTheFirstEntryAndAddsTheOthersWhole)
{
    TSkeleton skeleton(nullptr);
    AddFrame(skeleton, {{{1, 0, 0}, {0, 0, 0}}});
    AddFrame(skeleton, {{{3, 0, 0}, {0, 0, HalfPi}}});
    AddFrame(skeleton, {{{0, 10, 0}, {0.1f, 0, 0}}});

    // One entry is a plain interpolation: its weight plays no part.
    skeleton.BlendFrames({{0, 1, 0.5f, 0.3f}});
    EXPECT_EQ(skeleton.CurrentFrame().Position[0], (TAffineVector{2, 0, 0}));
    EXPECT_NEAR(skeleton.CurrentFrame().Rotation[0].Z, HalfPi / 2, 1e-6f);

    skeleton.BlendFrames({{0, 1, 0.5f, 0.5f}, {2, 2, 0, 0.25f}});
    EXPECT_EQ(skeleton.CurrentFrame().Position[0], (TAffineVector{1, 10, 0}));
    const TAffineVector rotation = skeleton.CurrentFrame().Rotation[0];
    EXPECT_NEAR(rotation.X, 0.1f, 1e-6f);
    EXPECT_NEAR(rotation.Z, HalfPi / 2, 1e-6f);

    TAffineVectorList positions, rotations;
    positions.Add({5, 5, 5});
    rotations.Add({0, 0.2f, 0});
    TBlendEntry overriding{2, 2, 0, 1};
    overriding.ExtraPositions = &positions;
    overriding.ExtraRotations = &rotations;
    skeleton.BlendFrames({{0, 0, 0, 1}, overriding});
    EXPECT_EQ(skeleton.CurrentFrame().Position[0], (TAffineVector{6, 5, 5}));
    EXPECT_EQ(skeleton.CurrentFrame().Rotation[0], (TAffineVector{0, 0.2f, 0}));

    EXPECT_NE(AssertionMessage([&] { skeleton.BlendFrames({}); }), "(no assertion failure)");
}

TEST(Skeleton, BlendFramesInQuaternionModeCombinesTheRotations)
{
    TSkeleton skeleton(nullptr);
    const float h = std::sqrt(0.5f);
    for (const TQuaternion& q : {IdentityQuaternion, TQuaternion{{0, 0, h}, h}})
    {
        TSkeletonFrame& frame = skeleton.Frames().Add();
        frame.TransformMode = sftQuaternion;
        frame.Position.Add({1, 0, 0});
        frame.Quaternion.Add(q);
    }
    skeleton.BlendFrames({{1, 1, 0, 1}, {1, 1, 0, 1}});
    // 90 degrees and 90 degrees about Z: 180 degrees.
    const TQuaternion q = skeleton.CurrentFrame().Quaternion[0];
    EXPECT_NEAR(std::fabs(q.ImagPart.Z), 1, 1e-6f);
    EXPECT_NEAR(q.RealPart, 0, 1e-6f);
    EXPECT_EQ(skeleton.CurrentFrame().Position[0], (TAffineVector{2, 0, 0}));
}

TEST(Skeleton, CollidersFollowTheirBonesAfterTheGlobalMatrices)
{
    TSkeleton skeleton(nullptr);
    TSkeletonBone& hip = AddBone(skeleton.RootBones(), 0, "Hip");
    AddFrame(skeleton, {{{0, 0, 5}, {0, 0, 0}}});
    TSkeletonCollider& collider = skeleton.Colliders().Add();
    collider.Bone = &hip;
    collider.LocalMatrix = Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0});
    TSkeletonCollider& fixed = skeleton.Colliders().Add();
    fixed.AutoUpdate = false;
    skeleton.RootBones().UpdateGlobalMatrices();
    skeleton.Colliders().AlignColliders(Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 2, 0}));
    ExpectMatrixNear(collider.GlobalMatrix(), Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 5}));
    ExpectMatrixNear(fixed.GlobalMatrix(), Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}));
}
