#pragma once

#include "VectorGeometry.h"
#include "VectorLists.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class TGLBaseMesh;
class TSkeleton;
class TSkeletonBone;
class TSkeletonFrameList;
struct TRenderContextInfo;

enum TSkeletonFrameTransform : std::uint8_t
{
    sftRotation,
    sftQuaternion,
};

// One pose of the whole skeleton; its lists are indexed by bone id. A frame
// made with an owner belongs to that list.
class TSkeletonFrame
{
public:
    explicit TSkeletonFrame(TSkeletonFrameList* owner = nullptr);
    TSkeletonFrame(const TSkeletonFrame&) = delete;
    TSkeletonFrame& operator=(const TSkeletonFrame&) = delete;

    TSkeletonFrameList* Owner() const { return FOwner; }

    QString Name;
    TAffineVectorList Position;
    // Angles in radians about X, Y and Z.
    TAffineVectorList Rotation;
    TQuaternionList Quaternion;
    TSkeletonFrameTransform TransformMode = sftRotation;

    // One matrix per bone id, built on first use; whoever changes the lists
    // afterwards flushes it.
    const std::vector<TMatrix>& LocalMatrices() const;
    void FlushLocalMatrixList();
    // Name, lists and mode; the cache is flushed.
    void Assign(const TSkeletonFrame& other);

private:
    void BuildLocalMatrices() const;

    TSkeletonFrameList* const FOwner;
    mutable std::vector<TMatrix> FLocalMatrices;
    mutable bool FLocalMatricesValid = false;
};

// The frames of a skeleton, in order; owns them.
class TSkeletonFrameList
{
public:
    explicit TSkeletonFrameList(TSkeleton* owner = nullptr) : FOwner(owner) {}
    TSkeletonFrameList(const TSkeletonFrameList&) = delete;
    TSkeletonFrameList& operator=(const TSkeletonFrameList&) = delete;

    TSkeleton* Owner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TSkeletonFrame& operator[](int index) const { return *FItems[static_cast<size_t>(index)]; }
    // A new frame, appended.
    TSkeletonFrame& Add();
    void Clear() { FItems.clear(); }

private:
    friend class TSkeletonFrame;
    void Adopt(TSkeletonFrame* frame) { FItems.emplace_back(frame); }

    TSkeleton* const FOwner;
    std::vector<std::unique_ptr<TSkeletonFrame>> FItems;
};

// A list of bones, owning them. A bone is itself the list of its children;
// the skeleton's root list holds the bones without parent.
class TSkeletonBoneList
{
public:
    explicit TSkeletonBoneList(TSkeleton* skeleton) : FSkeleton(skeleton) {}
    virtual ~TSkeletonBoneList();
    TSkeletonBoneList(const TSkeletonBoneList&) = delete;
    TSkeletonBoneList& operator=(const TSkeletonBoneList&) = delete;

    TSkeleton* Skeleton() const { return FSkeleton; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TSkeletonBone& operator[](int index) const { return *FItems[static_cast<size_t>(index)]; }
    const TMatrix& GlobalMatrix() const { return FGlobalMatrix; }

    // Depth-first: the first bone with the id, or none.
    virtual TSkeletonBone* FindBoneByID(int id);
    // Depth-first, exact and case-sensitive.
    virtual TSkeletonBone* FindBoneByName(const QString& name);
    // 1 + the sum over the children: the root list of n bones counts n + 1.
    int CountBones() const;
    virtual void DrawSkeleton(TRenderContextInfo& info) = 0;
    // The children's global matrices from this list's.
    virtual void UpdateGlobalMatrices();
    void Clear() { FItems.clear(); }

protected:
    void DrawChildren(TRenderContextInfo& info);

    TMatrix FGlobalMatrix = IdentityMatrix();

private:
    friend class TSkeletonBone;
    void Adopt(TSkeletonBone* bone);

    TSkeleton* const FSkeleton;
    std::vector<std::unique_ptr<TSkeletonBone>> FItems;
};

// The bones without parent; its global matrix stays identity.
class TSkeletonRootBoneList : public TSkeletonBoneList
{
public:
    using TSkeletonBoneList::TSkeletonBoneList;

    // Lighting and colour tracking off, then every bone; the enable state is
    // restored afterwards.
    void DrawSkeleton(TRenderContextInfo& info) override;
};

class TSkeletonBone : public TSkeletonBoneList
{
public:
    // Belongs to `owner` (the parent bone or the root list) and takes its
    // skeleton.
    explicit TSkeletonBone(TSkeletonBoneList* owner);

    TSkeletonBoneList* Owner() const { return FOwner; }

    QString Name;
    // Where this bone's data sits in every frame.
    int BoneID = 0;
    // Red, green, blue, alpha from the low byte up.
    std::uint32_t Color = 0xFFFFFFFF;

    TSkeletonBone* FindBoneByID(int id) override;
    TSkeletonBone* FindBoneByName(const QString& name) override;
    void DrawSkeleton(TRenderContextInfo& info) override;
    void UpdateGlobalMatrices() override;

private:
    TSkeletonBoneList* const FOwner;
};

// A volume attached to a bone, for physics that follow the pose.
class TSkeletonCollider
{
public:
    TSkeletonBone* Bone = nullptr;
    TMatrix LocalMatrix = IdentityMatrix();
    bool AutoUpdate = true;

    // local x bone global x the mesh's world matrix.
    const TMatrix& GlobalMatrix() const { return FGlobalMatrix; }
    void AlignCollider(const TMatrix& ownerWorldMatrix);

private:
    TMatrix FGlobalMatrix = IdentityMatrix();
};

class TSkeletonColliderList
{
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TSkeletonCollider& operator[](int index) const { return *FItems[static_cast<size_t>(index)]; }
    TSkeletonCollider& Add();
    void Clear() { FItems.clear(); }
    // The colliders with AutoUpdate set.
    void AlignColliders(const TMatrix& ownerWorldMatrix);

private:
    std::vector<std::unique_ptr<TSkeletonCollider>> FItems;
};

// One contribution to a blended pose; the override lists, when given, replace
// the interpolated data of the entry.
struct TBlendEntry
{
    int FrameIndex1 = 0, FrameIndex2 = 0;
    float LerpFactor = 0, Weight = 1;
    const TAffineVectorList* ExtraPositions = nullptr;
    const TAffineVectorList* ExtraRotations = nullptr;
    const TQuaternionList* ExtraQuaternions = nullptr;
};

// Bones, frames and the current pose of a mesh.
class TSkeleton
{
public:
    explicit TSkeleton(TGLBaseMesh* owner);
    ~TSkeleton();
    TSkeleton(const TSkeleton&) = delete;
    TSkeleton& operator=(const TSkeleton&) = delete;

    TGLBaseMesh* Owner() const { return FOwner; }
    TSkeletonRootBoneList& RootBones() { return FRootBones; }
    const TSkeletonRootBoneList& RootBones() const { return FRootBones; }
    TSkeletonFrameList& Frames() { return FFrames; }
    const TSkeletonFrameList& Frames() const { return FFrames; }
    TSkeletonColliderList& Colliders() { return FColliders; }
    const TSkeletonColliderList& Colliders() const { return FColliders; }

    // Made as a copy of frame 0 when absent (an empty pose without frames).
    TSkeletonFrame& CurrentFrame();
    bool HasCurrentFrame() const { return FCurrentFrame != nullptr; }
    void SetCurrentFrame(const TSkeletonFrame& frame);
    // Frame indices out of range or frames of different bone counts:
    // EAssertionFailed.
    void LerpFrames(int frameIndex1, int frameIndex2, float t);
    // No entries: EAssertionFailed.
    void BlendFrames(const std::vector<TBlendEntry>& entries);
    // Global matrices, colliders, then every skeleton mesh object of the
    // owner takes the current pose.
    void ApplySkinning(bool normalize);
    // Takes a copy of the other's current pose and skins with it.
    void Synchronize(const TSkeleton& other);
    // Through a cache indexed by id, built on first use; none for an id no
    // bone has.
    TSkeletonBone* BoneByID(int id);
    // Drops the cache, the bones, the frames, the current pose and the
    // colliders.
    void Clear();
    // Bones added or renumbered after a lookup must drop the cache.
    void FlushBoneByIDCache() { FBonesByIDCacheValid = false; }

private:
    TSkeletonFrame& ResetCurrentFrame(TSkeletonFrameTransform mode);
    void AddBlendEntry(const TBlendEntry& entry, TSkeletonFrame& pose);
    void BuildBoneByIDCache();
    void CacheBones(const TSkeletonBoneList& bones);

    TGLBaseMesh* const FOwner;
    TSkeletonRootBoneList FRootBones{this};
    TSkeletonFrameList FFrames{this};
    std::unique_ptr<TSkeletonFrame> FCurrentFrame;
    std::vector<TSkeletonBone*> FBonesByID;
    bool FBonesByIDCacheValid = false;
    TSkeletonColliderList FColliders;
    // Scratch lists of BlendFrames, kept between frames.
    TAffineVectorList FBlendPositions;
    TAffineVectorList FBlendRotations;
    TQuaternionList FBlendQuaternions;
};
