#include "Skeleton.h"

#include "Exceptions.h"
#include "GLBaseMesh.h"

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

void TSkeletonFrame::BuildLocalMatrices() const
{
    FLocalMatricesValid = true;
}

TSkeletonFrame& TSkeletonFrameList::Add()
{
    return *new TSkeletonFrame(this);
}

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
}

void TSkeletonRootBoneList::DrawSkeleton(TRenderContextInfo& info)
{
    DrawChildren(info);
}

TSkeletonBone::TSkeletonBone(TSkeletonBoneList* owner) : TSkeletonBoneList(owner->Skeleton()), FOwner(owner)
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
    DrawChildren(info);
}

void TSkeletonBone::UpdateGlobalMatrices()
{
    TSkeletonBoneList::UpdateGlobalMatrices();
}

void TSkeletonCollider::AlignCollider(const TMatrix& ownerWorldMatrix)
{
    FGlobalMatrix = ownerWorldMatrix;
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

TSkeleton::TSkeleton(TGLBaseMesh* owner) : FOwner(owner) {}

TSkeleton::~TSkeleton() = default;

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
    FCurrentFrame = std::make_unique<TSkeletonFrame>();
    FCurrentFrame->Assign(frame);
}

void TSkeleton::LerpFrames(int, int, float) {}
void TSkeleton::BlendFrames(const std::vector<TBlendEntry>&) {}
void TSkeleton::ApplySkinning(bool) {}

void TSkeleton::Synchronize(const TSkeleton& other)
{
    if (other.FCurrentFrame)
        SetCurrentFrame(*other.FCurrentFrame);
    ApplySkinning(true);
}

TSkeletonBone* TSkeleton::BoneByID(int id)
{
    return FRootBones.FindBoneByID(id);
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

void TSkeleton::BuildBoneByIDCache() {}
