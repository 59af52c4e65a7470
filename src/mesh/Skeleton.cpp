#include "Skeleton.h"

#include "Exceptions.h"
#include "GLBaseMesh.h"
#include "RenderContextInfo.h"
#include "SkeletonMeshObject.h"
#include "VectorUnit.h"

#include <GL/gl.h>

namespace
{
// Ids from files can be anything; only this many get a slot in the dense
// id-indexed table, the rare others are looked up in the tree.
constexpr int MaxCachedBoneID = 1 << 16;

TMatrix RotationX(float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    TMatrix m = IdentityMatrix();
    m[1] = {0, c, s, 0};
    m[2] = {0, -s, c, 0};
    return m;
}

TMatrix RotationY(float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    TMatrix m = IdentityMatrix();
    m[0] = {c, 0, -s, 0};
    m[2] = {s, 0, c, 0};
    return m;
}

TMatrix RotationZ(float angle)
{
    const float c = std::cos(angle), s = std::sin(angle);
    TMatrix m = IdentityMatrix();
    m[0] = {c, s, 0, 0};
    m[1] = {-s, c, 0, 0};
    return m;
}

// Zero angles are skipped rather than multiplied in as identities, which
// keeps their matrices exact.
TMatrix AnglesMatrix(const TAffineVector& angles)
{
    TMatrix m = angles.X != 0 ? RotationX(angles.X) : IdentityMatrix();
    if (angles.Y != 0)
        m = MatrixMultiply(m, RotationY(angles.Y));
    if (angles.Z != 0)
        m = MatrixMultiply(m, RotationZ(angles.Z));
    return m;
}

void CheckFrameIndex(const TSkeletonFrameList& frames, int index)
{
    if (index < 0 || index >= frames.Count())
        throw EAssertionFailed(QStringLiteral("Skeleton frame %1 out of range (%2 frames)").arg(index).arg(frames.Count()));
}

void CheckSameBoneCounts(const TSkeletonFrame& a, const TSkeletonFrame& b)
{
    const bool quaternions = a.TransformMode == sftQuaternion;
    const int countA = quaternions ? a.Quaternion.Count() : a.Rotation.Count();
    const int countB = quaternions ? b.Quaternion.Count() : b.Rotation.Count();
    if (a.Position.Count() != b.Position.Count() || countA != countB)
        throw EAssertionFailed(QStringLiteral("Cannot interpolate frames of %1 and %2 bones")
                                   .arg(a.Position.Count())
                                   .arg(b.Position.Count()));
}

// The angles or the quaternions, by the pose's mode.
void InterpolateRotations(const TSkeletonFrame& a, const TSkeletonFrame& b, float t, TSkeletonFrame& pose)
{
    if (pose.TransformMode == sftRotation)
    {
        pose.Rotation.AngleLerp(a.Rotation, b.Rotation, t);
        pose.Quaternion.Clear();
    }
    else
    {
        pose.Quaternion.Lerp(a.Quaternion, b.Quaternion, t);
        pose.Rotation.Clear();
    }
}

void SetColor(std::uint32_t color)
{
    glColor4ub(static_cast<GLubyte>(color), static_cast<GLubyte>(color >> 8), static_cast<GLubyte>(color >> 16),
               static_cast<GLubyte>(color >> 24));
}

// A bone lives in a list: its owner must exist before it.
TSkeletonBoneList& CheckedOwner(TSkeletonBoneList* owner)
{
    if (!owner)
        throw EAssertionFailed(QStringLiteral("A skeleton bone needs an owner"));
    return *owner;
}

const float* Translation(const TMatrix& m)
{
    return m[3].data();
}
} // namespace

// ------------------------------------------------------------------- frames

TSkeletonFrame::TSkeletonFrame(TSkeletonFrameList* owner) : FOwner(owner)
{
    if (owner)
        owner->Adopt(this);
}

const std::vector<TMatrix>& TSkeletonFrame::LocalMatrices() const
{
    if (!FLocalMatricesValid)
        BuildLocalMatrices();
    return FLocalMatrices;
}

void TSkeletonFrame::FlushLocalMatrixList()
{
    FLocalMatrices.clear();
    FLocalMatricesValid = false;
}

void TSkeletonFrame::Assign(const TSkeletonFrame& other)
{
    Name = other.Name;
    Position.Assign(other.Position);
    Rotation.Assign(other.Rotation);
    Quaternion.Assign(other.Quaternion);
    TransformMode = other.TransformMode;
    FlushLocalMatrixList();
}

// A bone without a position (lists of unequal lengths) stays at the origin.
void TSkeletonFrame::BuildLocalMatrices() const
{
    const bool quaternions = TransformMode == sftQuaternion;
    const int count = quaternions ? Quaternion.Count() : Rotation.Count();
    FLocalMatrices.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
    {
        TMatrix& m = FLocalMatrices[static_cast<size_t>(i)];
        m = quaternions ? QuaternionToMatrix(Quaternion[i]) : AnglesMatrix(Rotation[i]);
        const TAffineVector p = i < Position.Count() ? Position[i] : TAffineVector{};
        m[3] = {p.X, p.Y, p.Z, 1};
    }
    FLocalMatricesValid = true;
}

TSkeletonFrame& TSkeletonFrameList::Add()
{
    return *new TSkeletonFrame(this);
}

// -------------------------------------------------------------------- bones

TSkeletonBoneList::~TSkeletonBoneList() = default;

TSkeletonBone* TSkeletonBoneList::FindBoneByID(int id)
{
    for (const auto& bone : FItems)
        if (TSkeletonBone* const found = bone->FindBoneByID(id))
            return found;
    return nullptr;
}

TSkeletonBone* TSkeletonBoneList::FindBoneByName(const QString& name)
{
    for (const auto& bone : FItems)
        if (TSkeletonBone* const found = bone->FindBoneByName(name))
            return found;
    return nullptr;
}

int TSkeletonBoneList::CountBones() const
{
    int count = 1;
    for (const auto& bone : FItems)
        count += bone->CountBones();
    return count;
}

void TSkeletonBoneList::UpdateGlobalMatrices()
{
    for (const auto& bone : FItems)
        bone->UpdateGlobalMatrices();
}

void TSkeletonBoneList::DrawChildren(TRenderContextInfo& info)
{
    for (const auto& bone : FItems)
        bone->DrawSkeleton(info);
}

void TSkeletonBoneList::Adopt(TSkeletonBone* bone)
{
    FItems.emplace_back(bone);
    if (FSkeleton)
        FSkeleton->FlushBoneByIDCache();
}

// The current colour is given back before colour tracking comes back on:
// re-enabling it copies the current colour into the material, which would
// otherwise take the last bone's colour.
void TSkeletonRootBoneList::DrawSkeleton(TRenderContextInfo& info)
{
    GLfloat color[4];
    glGetFloatv(GL_CURRENT_COLOR, color);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    DrawChildren(info);
    glColor4fv(color);
    glPopAttrib();
}

TSkeletonBone::TSkeletonBone(TSkeletonBoneList* owner) : TSkeletonBoneList(CheckedOwner(owner).Skeleton()), FOwner(owner)
{
    owner->Adopt(this);
}

TSkeletonBone* TSkeletonBone::FindBoneByID(int id)
{
    return BoneID == id ? this : TSkeletonBoneList::FindBoneByID(id);
}

TSkeletonBone* TSkeletonBone::FindBoneByName(const QString& name)
{
    return Name == name ? this : TSkeletonBoneList::FindBoneByName(name);
}

void TSkeletonBone::DrawSkeleton(TRenderContextInfo& info)
{
    glPointSize(5);
    glBegin(GL_POINTS);
    SetColor(Color);
    glVertex3fv(Translation(FGlobalMatrix));
    glEnd();
    glPointSize(1);
    if (dynamic_cast<const TSkeletonBone*>(FOwner))
    {
        glBegin(GL_LINES);
        glVertex3fv(Translation(FOwner->GlobalMatrix()));
        glVertex3fv(Translation(FGlobalMatrix));
        glEnd();
    }
    DrawChildren(info);
}

// A bone whose id the pose has no data for keeps its parent's placement.
void TSkeletonBone::UpdateGlobalMatrices()
{
    const std::vector<TMatrix>& locals = Skeleton()->CurrentFrame().LocalMatrices();
    if (BoneID >= 0 && BoneID < static_cast<int>(locals.size()))
        FGlobalMatrix = MatrixMultiply(locals[static_cast<size_t>(BoneID)], FOwner->GlobalMatrix());
    else
        FGlobalMatrix = FOwner->GlobalMatrix();
    TSkeletonBoneList::UpdateGlobalMatrices();
}

// ---------------------------------------------------------------- colliders

void TSkeletonCollider::AlignCollider(const TMatrix& ownerWorldMatrix)
{
    const TMatrix& boneMatrix = Bone ? Bone->GlobalMatrix() : IdentityMatrix();
    FGlobalMatrix = MatrixMultiply(MatrixMultiply(LocalMatrix, boneMatrix), ownerWorldMatrix);
}

TSkeletonCollider& TSkeletonColliderList::Add()
{
    FItems.push_back(std::make_unique<TSkeletonCollider>());
    return *FItems.back();
}

void TSkeletonColliderList::AlignColliders(const TMatrix& ownerWorldMatrix)
{
    for (const auto& collider : FItems)
        if (collider->AutoUpdate)
            collider->AlignCollider(ownerWorldMatrix);
}

// ----------------------------------------------------------------- skeleton

TSkeleton::TSkeleton(TGLBaseMesh* owner) : FOwner(owner) {}

TSkeleton::~TSkeleton()
{
    Clear();
}

TSkeletonFrame& TSkeleton::CurrentFrame()
{
    if (!FCurrentFrame)
    {
        FCurrentFrame = std::make_unique<TSkeletonFrame>();
        if (FFrames.Count() > 0)
            FCurrentFrame->Assign(FFrames[0]);
    }
    return *FCurrentFrame;
}

void TSkeleton::SetCurrentFrame(const TSkeletonFrame& frame)
{
    CurrentFrame().Assign(frame);
}

// The pose object is reused from frame to frame: its lists keep their
// storage, so interpolating allocates nothing once the sizes are reached.
TSkeletonFrame& TSkeleton::ResetCurrentFrame(TSkeletonFrameTransform mode)
{
    TSkeletonFrame& pose = CurrentFrame();
    pose.Name.clear();
    pose.TransformMode = mode;
    pose.FlushLocalMatrixList();
    return pose;
}

void TSkeleton::LerpFrames(int frameIndex1, int frameIndex2, float t)
{
    ClearUpperVectorRegisters();
    CheckFrameIndex(FFrames, frameIndex1);
    CheckFrameIndex(FFrames, frameIndex2);
    const TSkeletonFrame& a = FFrames[frameIndex1];
    const TSkeletonFrame& b = FFrames[frameIndex2];
    CheckSameBoneCounts(a, b);
    TSkeletonFrame& pose = ResetCurrentFrame(a.TransformMode);
    pose.Position.Lerp(a.Position, b.Position, t);
    InterpolateRotations(a, b, t, pose);
}

void TSkeleton::BlendFrames(const std::vector<TBlendEntry>& entries)
{
    ClearUpperVectorRegisters();
    if (entries.empty())
        throw EAssertionFailed(QStringLiteral("Blending skeleton frames needs at least one entry"));
    const TBlendEntry& first = entries.front();
    if (entries.size() == 1)
    {
        LerpFrames(first.FrameIndex1, first.FrameIndex2, first.LerpFactor);
        return;
    }
    for (const TBlendEntry& entry : entries)
    {
        CheckFrameIndex(FFrames, entry.FrameIndex1);
        CheckFrameIndex(FFrames, entry.FrameIndex2);
        CheckSameBoneCounts(FFrames[entry.FrameIndex1], FFrames[entry.FrameIndex2]);
    }
    const TSkeletonFrame& a = FFrames[first.FrameIndex1];
    const TSkeletonFrame& b = FFrames[first.FrameIndex2];
    TSkeletonFrame& pose = ResetCurrentFrame(a.TransformMode);
    pose.Position.Lerp(a.Position, b.Position, first.LerpFactor);
    if (first.Weight != 1)
        pose.Position.Scale(first.Weight);
    InterpolateRotations(a, b, first.LerpFactor, pose);
    for (size_t i = 1; i < entries.size(); ++i)
        AddBlendEntry(entries[i], pose);
}

// Later entries are added with factor 1 whatever their weight.
void TSkeleton::AddBlendEntry(const TBlendEntry& entry, TSkeletonFrame& pose)
{
    const TSkeletonFrame& a = FFrames[entry.FrameIndex1];
    const TSkeletonFrame& b = FFrames[entry.FrameIndex2];
    const float t = entry.LerpFactor;
    if (!entry.ExtraPositions)
        FBlendPositions.Lerp(a.Position, b.Position, t);
    pose.Position.Combine(entry.ExtraPositions ? *entry.ExtraPositions : FBlendPositions, 1);
    if (pose.TransformMode == sftRotation)
    {
        if (!entry.ExtraRotations)
            FBlendRotations.AngleLerp(a.Rotation, b.Rotation, t);
        pose.Rotation.Combine(entry.ExtraRotations ? *entry.ExtraRotations : FBlendRotations, 1);
    }
    else
    {
        if (!entry.ExtraQuaternions)
            FBlendQuaternions.Lerp(a.Quaternion, b.Quaternion, t);
        pose.Quaternion.Combine(entry.ExtraQuaternions ? *entry.ExtraQuaternions : FBlendQuaternions, 1);
    }
}

void TSkeleton::ApplySkinning(bool normalize)
{
    if (!FOwner || FOwner->MeshObjects().Count() == 0)
        return;
    ClearUpperVectorRegisters();
    FRootBones.UpdateGlobalMatrices();
    if (FColliders.Count() > 0)
        FColliders.AlignColliders(FOwner->WorldMatrix());
    const TMeshObjectList& objects = FOwner->MeshObjects();
    for (int i = 0; i < objects.Count(); ++i)
        if (auto* const object = dynamic_cast<TSkeletonMeshObject*>(&objects[i]))
            object->ApplyCurrentPose(normalize);
}

void TSkeleton::Synchronize(const TSkeleton& other)
{
    if (other.FCurrentFrame)
        SetCurrentFrame(*other.FCurrentFrame);
    ApplySkinning(true);
}

TSkeletonBone* TSkeleton::BoneByID(int id)
{
    if (!FBonesByIDCacheValid)
        BuildBoneByIDCache();
    if (id >= 0 && id < static_cast<int>(FBonesByID.size()))
        return FBonesByID[static_cast<size_t>(id)];
    return id >= MaxCachedBoneID || id < 0 ? FRootBones.FindBoneByID(id) : nullptr;
}

void TSkeleton::Clear()
{
    FBonesByID.clear();
    FBonesByIDCacheValid = false;
    FRootBones.Clear();
    FFrames.Clear();
    FCurrentFrame.reset();
    FColliders.Clear();
}

void TSkeleton::BuildBoneByIDCache()
{
    FBonesByID.clear();
    CacheBones(FRootBones);
    FBonesByIDCacheValid = true;
}

// Depth-first, the first bone of an id keeps its slot, as FindBoneByID
// would find it.
void TSkeleton::CacheBones(const TSkeletonBoneList& bones)
{
    for (int i = 0; i < bones.Count(); ++i)
    {
        TSkeletonBone& bone = bones[i];
        const int id = bone.BoneID;
        if (id >= 0 && id < MaxCachedBoneID)
        {
            if (id >= static_cast<int>(FBonesByID.size()))
                FBonesByID.resize(static_cast<size_t>(id) + 1, nullptr);
            if (!FBonesByID[static_cast<size_t>(id)])
                FBonesByID[static_cast<size_t>(id)] = &bone;
        }
        CacheBones(bone);
    }
}
