#pragma once

#include "MeshObject.h"
#include "HashSeed.h"
#include "OpenHashIndex.h"

#include <cstdint>
#include <memory>
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
// every weighted vertex has BoneSlots (bone id, weight) entries.
class TSkeletonMeshObject : public TMorphableMeshObject
{
public:
    explicit TSkeletonMeshObject(TMeshObjectList* owner);
    ~TSkeletonMeshObject() override;

    int BoneSlots() const { return FBoneSlots; }
    // Keeps the overlapping entries of every vertex; new slots are zero.
    // Negative: EAssertionFailed.
    void SetBoneSlots(int count);
    int BoneWeightsCount() const { return FBoneWeightsCount; }
    int BoneWeightsCapacity() const { return FBoneWeightsCapacity; }
    // Keeps the entries of the vertices that still fit.
    void SetBoneWeightsCapacity(int capacity);
    // The BoneSlots entries of weighted vertex `vertex` (below
    // BoneWeightsCount).
    const TVertexBoneWeight* VerticesBonesWeights(int vertex) const { return Entries(vertex); }
    // For writing: drops the lookup index.
    TVertexBoneWeight* VerticesBonesWeights(int vertex);
    // The inverse bind-pose meshes, one per slot, after PrepareInvertedMeshes.
    int InvertedMeshCount() const { return static_cast<int>(FBoneMatrixInvertedMeshes.size()); }
    const TBaseMeshObject& InvertedMesh(int slot) const { return *FBoneMatrixInvertedMeshes[static_cast<size_t>(slot)]; }

    void Clear() override;
    // The index of the first vertex bound to the bone alone with exactly
    // these bits of position and normal; appended with weight 1 when there
    // is none. Vertices, normals and weighted vertices of unequal counts:
    // EInvalidOperation.
    int FindOrAddVertex(int boneID, const TAffineVector& vertex, const TAffineVector& normal);
    // Room for `count` vertices in all, so that that many FindOrAddVertex
    // calls neither grow the lists nor rebuild the lookup index.
    void ReserveVertices(int count);
    // Code that changes vertices, normals or weights in place between two
    // FindOrAddVertex calls drops the lookup index with this.
    void FlushVertexIndex();
    // One more weighted vertex with these entries; raises the slots to their
    // count, the other slots are zero.
    void AppendBoneWeights(const TVertexBoneWeightDynArray& entries);
    // Every vertex and normal in the space of its bones under the current
    // pose. A vertex without weights or bound to a bone id the skeleton lacks:
    // EInvalidVectorFile, and the previous inverse meshes stay.
    void PrepareInvertedMeshes();
    // Vertices and normals from the inverse meshes and the bones' global
    // matrices; nothing with no slots. Inverse meshes that do not match the
    // vertices: EInvalidOperation; a bone id the skeleton lacks:
    // EInvalidVectorFile.
    void ApplyCurrentPose(bool normalize);

private:
    // The bits a vertex is looked up by.
    struct TVertexKey
    {
        std::int32_t BoneID;
        std::uint32_t Bits[6];
        friend bool operator==(const TVertexKey&, const TVertexKey&) = default;
    };
    struct TVertexKeyHash
    {
        std::uint64_t operator()(const TVertexKey& key) const;
        // Two keys, so that words trading places change the hash.
        TSeededMix Mix;
        TSeededMix OtherMix{ProcessHashSeed() * 0x165667B19E3779F9ull};
    };

    // A bone's global matrix inverted, whole for points and without its
    // translation for directions.
    struct TBoneInverses
    {
        TMatrix Point;
        TMatrix Direction;
        bool Valid = false;
    };

    const TBoneInverses& InversesOf(TSkeleton& skeleton, int vertex, int boneID,
                                    std::vector<TBoneInverses>& inverses) const;
    size_t Offset(int vertex) const { return static_cast<size_t>(vertex) * static_cast<size_t>(FBoneSlots); }
    const TVertexBoneWeight* Entries(int vertex) const { return FWeights.data() + Offset(vertex); }
    TSkeleton& Skeleton() const;
    [[noreturn]] void FailMissingBone(int vertex, int boneID) const;
    // Whether the vertex is bound to one bone alone, as FindOrAddVertex binds
    // it, and to which.
    bool SingleBoneOf(int vertex, std::int32_t& boneID) const;
    bool KeyOf(int vertex, TVertexKey& key) const;
    void UpdateVertexIndex();
    void AppendSingleBone(int boneID);
    // The next weighted vertex's entries, zeroed.
    TVertexBoneWeight* AppendZeroWeights();
    void ApplyOneSlot(TSkeleton& skeleton);
    void ApplySlots(TSkeleton& skeleton);

    int FBoneSlots = 0;
    int FBoneWeightsCount = 0;
    int FBoneWeightsCapacity = 0;
    // Capacity x slots entries, vertex after vertex.
    std::vector<TVertexBoneWeight> FWeights;
    std::vector<std::unique_ptr<TBaseMeshObject>> FBoneMatrixInvertedMeshes;
    // First vertex of each key, for the vertices below FIndexedCount, made
    // with FIndexedSlots slots.
    TOpenHashIndex<TVertexKey, TVertexKeyHash> FVertexIndex;
    int FIndexedCount = 0;
    int FIndexedSlots = 0;
};
