#include "base/Exceptions.h"
#include "mesh/GLBaseMesh.h"
#include "mesh/SkeletonMeshObject.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

namespace
{
constexpr float HalfPi = 1.57079632679f;

void ExpectNear(const TAffineVector& actual, const TAffineVector& expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.X, expected.X, tolerance);
    EXPECT_NEAR(actual.Y, expected.Y, tolerance);
    EXPECT_NEAR(actual.Z, expected.Z, tolerance);
}

TSkeletonBone& AddBone(TSkeletonBoneList& owner, int id)
{
    auto* const bone = new TSkeletonBone(&owner);
    bone->BoneID = id;
    return *bone;
}

void AddFrame(TSkeleton& skeleton, std::initializer_list<std::pair<TAffineVector, TAffineVector>> bones)
{
    TSkeletonFrame& frame = skeleton.Frames().Add();
    for (const auto& [position, rotation] : bones)
    {
        frame.Position.Add(position);
        frame.Rotation.Add(rotation);
    }
}

// Bone 0 at (1, 0, 0) and its child bone 1 one unit above it. In frame 1
// the hip turns 90 degrees about Z and the spine turns back, so that the
// spine ends at the origin unturned.
void BuildHipAndSpine(TSkeleton& skeleton)
{
    AddBone(AddBone(skeleton.RootBones(), 0), 1);
    AddFrame(skeleton, {{{1, 0, 0}, {0, 0, 0}}, {{0, 1, 0}, {0, 0, 0}}});
    AddFrame(skeleton, {{{1, 0, 0}, {0, 0, HalfPi}}, {{0, 1, 0}, {0, 0, -HalfPi}}});
}

// The first-match search that sharing must answer like.
int LinearFind(const TSkeletonMeshObject& object, int boneID, const TAffineVector& v, const TAffineVector& n)
{
    for (int i = 0; i < object.Vertices.Count(); ++i)
        if (object.VerticesBonesWeights(i)[0].BoneID == boneID && std::memcmp(&object.Vertices[i], &v, sizeof v) == 0 &&
            std::memcmp(&object.Normals[i], &n, sizeof n) == 0)
            return i;
    return -1;
}

QString ErrorOf(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (const Exception& error)
    {
        return error.Message();
    }
    return QStringLiteral("no exception");
}
} // namespace

TEST(SkeletonMeshObject, VerticesAreSharedOnlyWhenBoneAndBitsAreEqual)
{
    TMeshObjectList list;
    auto& object = list.Add<TSkeletonMeshObject>();
    EXPECT_EQ(object.BoneSlots(), 0);
    EXPECT_EQ(object.FindOrAddVertex(3, {1, 0, 0}, {0, 0, 1}), 0);
    EXPECT_EQ(object.BoneSlots(), 1);
    EXPECT_EQ(object.FindOrAddVertex(3, {1, 0, 0}, {0, 0, 1}), 0);
    EXPECT_EQ(object.FindOrAddVertex(4, {1, 0, 0}, {0, 0, 1}), 1);
    EXPECT_EQ(object.FindOrAddVertex(3, {1, -0.0f, 0}, {0, 0, 1}), 2);
    EXPECT_EQ(object.FindOrAddVertex(3, {1, 0, 0}, {0, -0.0f, 1}), 3);
    EXPECT_EQ(object.FindOrAddVertex(3, {1, -0.0f, 0}, {0, 0, 1}), 2);
    EXPECT_EQ(object.Vertices.Count(), 4);
    EXPECT_EQ(object.Normals.Count(), 4);
    EXPECT_EQ(object.BoneWeightsCount(), 4);
    EXPECT_EQ(object.VerticesBonesWeights(1)[0], (TVertexBoneWeight{4, 1.0f}));

    // A vertex appended by other means is found; one changed in place is
    // found no more under its old bits.
    object.Vertices.Add({7, 7, 7});
    object.Normals.Add({0, 1, 0});
    object.AppendBoneWeights({{5, 1.0f}});
    EXPECT_EQ(object.FindOrAddVertex(5, {7, 7, 7}, {0, 1, 0}), 4);
    object.Vertices[0] = {9, 9, 9};
    EXPECT_EQ(object.FindOrAddVertex(3, {1, 0, 0}, {0, 0, 1}), 5);

    // With several slots only a vertex bound to the bone alone is shared.
    object.SetBoneSlots(2);
    object.Vertices.Add({8, 8, 8});
    object.Normals.Add({0, 1, 0});
    object.AppendBoneWeights({{6, 1.0f}, {2, 0.5f}});
    EXPECT_EQ(object.FindOrAddVertex(6, {8, 8, 8}, {0, 1, 0}), 7);
    EXPECT_EQ(object.FindOrAddVertex(6, {8, 8, 8}, {0, 1, 0}), 7);
    EXPECT_EQ(object.FindOrAddVertex(5, {7, 7, 7}, {0, 1, 0}), 4);
    EXPECT_EQ(object.VerticesBonesWeights(7)[1], (TVertexBoneWeight{0, 0}));

    // Counts that no longer line up cannot take a new vertex.
    object.Normals.Add({});
    EXPECT_TRUE(ErrorOf([&] { object.FindOrAddVertex(1, {}, {}); }).contains(QStringLiteral("9 normals")));
}

TEST(SkeletonMeshObject, SharingAnswersLikeTheFirstMatchOfALinearSearch)
{
    TMeshObjectList list;
    auto& object = list.Add<TSkeletonMeshObject>();
    std::mt19937 random(7);
    const float values[] = {0.0f, -0.0f, 1.0f, 0.5f};
    for (int n = 0; n < 20000; ++n)
    {
        const auto pick = [&] { return values[random() % 4]; };
        const int bone = static_cast<int>(random() % 3);
        const TAffineVector v{pick(), pick(), 0}, normal{0, pick(), pick()};
        const int expected = LinearFind(object, bone, v, normal);
        const int index = object.FindOrAddVertex(bone, v, normal);
        ASSERT_EQ(index, expected < 0 ? object.Vertices.Count() - 1 : expected) << "call " << n;
    }
    // 3 bones, 16 positions, 16 normals.
    EXPECT_EQ(object.Vertices.Count(), 3 * 16 * 16);
}

TEST(SkeletonMeshObject, WeightStorageGrowsSixteenPastTheCountAndKeepsEntriesAcrossSlotChanges)
{
    TMeshObjectList list;
    auto& object = list.Add<TSkeletonMeshObject>();
    object.AppendBoneWeights({{1, 1.0f}});
    EXPECT_EQ(object.BoneWeightsCount(), 1);
    EXPECT_EQ(object.BoneWeightsCapacity(), 17);
    for (int i = 0; i < 16; ++i)
        object.AppendBoneWeights({{2, 1.0f}});
    EXPECT_EQ(object.BoneWeightsCapacity(), 17);
    object.AppendBoneWeights({{3, 1.0f}});
    EXPECT_EQ(object.BoneWeightsCount(), 18);
    EXPECT_EQ(object.BoneWeightsCapacity(), 34);

    object.AppendBoneWeights({{4, 0.25f}, {5, 0.5f}, {6, 0.25f}});
    EXPECT_EQ(object.BoneSlots(), 3);
    EXPECT_EQ(object.VerticesBonesWeights(0)[0], (TVertexBoneWeight{1, 1.0f}));
    EXPECT_EQ(object.VerticesBonesWeights(0)[2], (TVertexBoneWeight{0, 0}));
    EXPECT_EQ(object.VerticesBonesWeights(17)[0], (TVertexBoneWeight{3, 1.0f}));
    EXPECT_EQ(object.VerticesBonesWeights(18)[1], (TVertexBoneWeight{5, 0.5f}));
    // Fewer entries than slots leave the rest zero.
    object.AppendBoneWeights({{7, 1.0f}});
    EXPECT_EQ(object.BoneSlots(), 3);
    EXPECT_EQ(object.VerticesBonesWeights(19)[1], (TVertexBoneWeight{0, 0}));

    object.SetBoneSlots(1);
    EXPECT_EQ(object.VerticesBonesWeights(18)[0], (TVertexBoneWeight{4, 0.25f}));
    EXPECT_EQ(object.VerticesBonesWeights(19)[0], (TVertexBoneWeight{7, 1.0f}));
    object.Clear();
    EXPECT_EQ(object.BoneSlots(), 0);
    EXPECT_EQ(object.BoneWeightsCount(), 0);
}

TEST(SkeletonMeshObject, SkinningReturnsTheBindPoseAndFollowsATurnedFrame)
{
    TGLFreeForm mesh(nullptr);
    TSkeleton& skeleton = mesh.Skeleton();
    BuildHipAndSpine(skeleton);
    auto& single = mesh.MeshObjects().Add<TSkeletonMeshObject>();
    single.FindOrAddVertex(0, {2, 0, 0}, {1, 0, 0});
    single.FindOrAddVertex(1, {1, 2, 0}, {0, 1, 0});
    auto& blended = mesh.MeshObjects().Add<TSkeletonMeshObject>();
    blended.Vertices.Add({2, 2, 0});
    blended.Normals.Add({1, 0, 0});
    blended.AppendBoneWeights({{0, 0.25f}, {1, 0.75f}});
    skeleton.RootBones().UpdateGlobalMatrices();
    single.PrepareInvertedMeshes();
    blended.PrepareInvertedMeshes();
    ASSERT_EQ(blended.InvertedMeshCount(), 2);
    // In the spine's space (it sits at (1, 1, 0)) the blended vertex is (1, 1, 0).
    ExpectNear(blended.InvertedMesh(1).Vertices[0], {1, 1, 0});

    skeleton.ApplySkinning(true);
    ExpectNear(single.Vertices[0], {2, 0, 0});
    ExpectNear(single.Vertices[1], {1, 2, 0});
    ExpectNear(single.Normals[1], {0, 1, 0});
    ExpectNear(blended.Vertices[0], {2, 2, 0});

    // The hip turned 90 degrees about (1, 0, 0): (2, 0, 0) goes to (1, 1, 0)
    // and its normal to +Y; the spine ends at the origin unturned.
    skeleton.LerpFrames(1, 1, 0);
    skeleton.ApplySkinning(true);
    ExpectNear(single.Vertices[0], {1, 1, 0});
    ExpectNear(single.Normals[0], {0, 1, 0});
    ExpectNear(single.Vertices[1], {0, 1, 0});
    ExpectNear(single.Normals[1], {0, 1, 0});
    // 0.25 of the hip's (-1, 1, 0) and 0.75 of the spine's (1, 1, 0).
    ExpectNear(blended.Vertices[0], {0.5f, 1, 0});
    ExpectNear(blended.Normals[0], {0.948683f, 0.316228f, 0});
}

TEST(SkeletonMeshObject, NormalsAreRenormalisedOnlyWhenAsked)
{
    TGLFreeForm mesh(nullptr);
    TSkeleton& skeleton = mesh.Skeleton();
    BuildHipAndSpine(skeleton);
    auto& blended = mesh.MeshObjects().Add<TSkeletonMeshObject>();
    blended.Vertices.Add({2, 2, 0});
    blended.Normals.Add({1, 0, 0});
    blended.AppendBoneWeights({{0, 0.25f}, {1, 0.75f}});
    skeleton.RootBones().UpdateGlobalMatrices();
    blended.PrepareInvertedMeshes();
    skeleton.LerpFrames(1, 1, 0);
    skeleton.ApplySkinning(false);
    ExpectNear(blended.Normals[0], {0.75f, 0.25f, 0});
    skeleton.ApplySkinning(true);
    ExpectNear(blended.Normals[0], {0.948683f, 0.316228f, 0});
}

TEST(SkeletonMeshObject, SynchronizeTakesTheOthersPoseAndSkins)
{
    TGLFreeForm source(nullptr), mesh(nullptr);
    BuildHipAndSpine(source.Skeleton());
    BuildHipAndSpine(mesh.Skeleton());
    auto& object = mesh.MeshObjects().Add<TSkeletonMeshObject>();
    object.FindOrAddVertex(0, {2, 0, 0}, {2, 0, 0});
    mesh.Skeleton().RootBones().UpdateGlobalMatrices();
    object.PrepareInvertedMeshes();
    source.Skeleton().LerpFrames(0, 1, 1);
    mesh.Skeleton().Synchronize(source.Skeleton());
    ExpectNear(object.Vertices[0], {1, 1, 0});
    ExpectNear(object.Normals[0], {0, 1, 0});
}

TEST(SkeletonMeshObject, BoneIdsTheSkeletonLacksAreRefusedByName)
{
    TGLFreeForm mesh(nullptr);
    TSkeleton& skeleton = mesh.Skeleton();
    BuildHipAndSpine(skeleton);
    auto& object = mesh.MeshObjects().Add<TSkeletonMeshObject>();
    object.Name = QStringLiteral("Body");
    object.FindOrAddVertex(0, {2, 0, 0}, {1, 0, 0});
    // Skinning before any bind pose is refused, not read past.
    EXPECT_TRUE(ErrorOf([&] { skeleton.ApplySkinning(true); }).contains(QStringLiteral("no bind pose")));
    for (const int id : {7, -1, 2147483647})
    {
        object.FindOrAddVertex(id, {1, 2, 3}, {0, 0, 1});
        const QString error = ErrorOf([&] { object.PrepareInvertedMeshes(); });
        EXPECT_EQ(error, QStringLiteral("Vertex 1 of mesh object \"Body\" is bound to bone id %1, which the skeleton "
                                        "does not have")
                             .arg(id));
        EXPECT_EQ(object.InvertedMeshCount(), 0);
        object.Vertices.SetCount(1);
        object.Normals.SetCount(1);
        object.SetBoneWeightsCapacity(1);
    }
    object.PrepareInvertedMeshes();
    skeleton.ApplySkinning(true);

    // Bones replaced by others after binding: the next skinning names the
    // missing id.
    skeleton.Clear();
    AddBone(skeleton.RootBones(), 4);
    AddFrame(skeleton, {{{}, {}}});
    EXPECT_EQ(ErrorOf([&] { skeleton.ApplySkinning(true); }),
              QStringLiteral("Vertex 0 of mesh object \"Body\" is bound to bone id 0, which the skeleton does not have"));

    // A skeleton without bones or frames binds nothing.
    skeleton.Clear();
    EXPECT_TRUE(ErrorOf([&] { object.PrepareInvertedMeshes(); }).contains(QStringLiteral("bone id 0")));
}

TEST(SkeletonMeshObject, VerticesWithoutWeightsAreRefusedAndObjectsWithoutSlotsStayPut)
{
    TGLFreeForm mesh(nullptr);
    BuildHipAndSpine(mesh.Skeleton());
    auto& object = mesh.MeshObjects().Add<TSkeletonMeshObject>();
    object.Name = QStringLiteral("Body");
    object.Vertices.Add({5, 5, 5});
    mesh.Skeleton().LerpFrames(1, 1, 0);
    mesh.Skeleton().ApplySkinning(true);
    EXPECT_EQ(object.Vertices[0], (TAffineVector{5, 5, 5}));

    object.AppendBoneWeights({{0, 1.0f}});
    object.Vertices.Add({6, 6, 6});
    EXPECT_EQ(ErrorOf([&] { object.PrepareInvertedMeshes(); }),
              QStringLiteral("Vertex 1 of mesh object \"Body\" has no bone weights"));
}

TEST(SkeletonMeshObject, MeshLoadsClearTheSkeletonWithTheObjects)
{
    TGLFreeForm mesh(nullptr);
    BuildHipAndSpine(mesh.Skeleton());
    mesh.MeshObjects().Add<TSkeletonMeshObject>();
    mesh.Skeleton().BoneByID(0);
    QByteArray nothing;
    QBuffer stream(&nothing);
    stream.open(QIODevice::ReadOnly);
    EXPECT_THROW(mesh.LoadFromStream(QStringLiteral("missing.unknownformat"), stream), Exception);
    EXPECT_EQ(mesh.MeshObjects().Count(), 0);
    EXPECT_EQ(mesh.Skeleton().RootBones().Count(), 0);
    EXPECT_EQ(mesh.Skeleton().Frames().Count(), 0);
    EXPECT_EQ(mesh.Skeleton().BoneByID(0), nullptr);
    EXPECT_EQ(mesh.Skeleton().Owner(), &mesh);
}
