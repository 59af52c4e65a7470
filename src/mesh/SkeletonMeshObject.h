#pragma once

#include "MeshObject.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TSkeleton;

// One (bone, weight) pair of a vertex.
struct TVertexBoneWeight
{
    std::int32_t BoneID = 0;
    float Weight = 0;

    friend bool operator==(const TVertexBoneWeight&, const TVertexBoneWeight&) = default;
};

using TVertexBoneWeightDynArray = std::vector<TVertexBoneWeight>;

// A mesh object whose vertices follow the bones of its owner's skeleton:
// every vertex has BoneSlots (bone id, weight) entries.
class TSkeletonMeshObject : public TMorphableMeshObject
{
public:
    explicit TSkeletonMeshObject(TMeshObjectList* owner);
    ~TSkeletonMeshObject() override;

    int BoneSlots() const { return FBoneSlots; }
    // Keeps the overlapping entries of every vertex; new slots are zero.
    void SetBoneSlots(int count);
    int BoneWeightsCount() const { return FBoneWeightsCount; }
    int BoneWeightsCapacity() const { return FBoneWeightsCapacity; }
    void SetBoneWeightsCapacity(int capacity);
    // The BoneSlots entries of weighted vertex `vertex`.
    const TVertexBoneWeight* VerticesBonesWeights(int vertex) const { return FWeights.data() + Offset(vertex); }
    TVertexBoneWeight* VerticesBonesWeights(int vertex) { return FWeights.data() + Offset(vertex); }
    // The inverse bind-pose meshes, one per slot, after PrepareInvertedMeshes.
    int InvertedMeshCount() const { return static_cast<int>(FBoneMatrixInvertedMeshes.size()); }
    const TBaseMeshObject& InvertedMesh(int slot) const { return *FBoneMatrixInvertedMeshes[static_cast<size_t>(slot)]; }

    void Clear() override;
    // The index of the first vertex bound to the bone alone with exactly
    // these bits of position and normal, appended when there is none.
    int FindOrAddVertex(int boneID, const TAffineVector& vertex, const TAffineVector& normal);
    // One more weighted vertex with these entries; raises the slots to their
    // count.
    void AppendBoneWeights(const TVertexBoneWeightDynArray& entries);
    // Every vertex and normal in the space of its bones under the current
    // pose. A bone id the skeleton lacks: EInvalidVectorFile.
    void PrepareInvertedMeshes();
    // Vertices and normals from the inverse meshes and the bones' global
    // matrices.
    void ApplyCurrentPose(bool normalize);

private:
    size_t Offset(int vertex) const { return static_cast<size_t>(vertex) * static_cast<size_t>(FBoneSlots); }
    TSkeleton& Skeleton() const;

    int FBoneSlots = 0;
    int FBoneWeightsCount = 0;
    int FBoneWeightsCapacity = 0;
    // Capacity x slots entries, vertex after vertex.
    std::vector<TVertexBoneWeight> FWeights;
    std::vector<std::unique_ptr<TBaseMeshObject>> FBoneMatrixInvertedMeshes;
};
