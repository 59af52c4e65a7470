#include "SkeletonMeshObject.h"

#include "Exceptions.h"
#include "GLBaseMesh.h"
#include "Skeleton.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr size_t MaxKeptBoneInverses = 4096;

std::uint32_t Bits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TAffineVector TransformPoint(const TAffineVector& p, const TMatrix& m)
{
    return {p.X * m[0][0] + p.Y * m[1][0] + p.Z * m[2][0] + m[3][0],
            p.X * m[0][1] + p.Y * m[1][1] + p.Z * m[2][1] + m[3][1],
            p.X * m[0][2] + p.Y * m[1][2] + p.Z * m[2][2] + m[3][2]};
}

TAffineVector TransformDirection(const TAffineVector& d, const TMatrix& m)
{
    return {d.X * m[0][0] + d.Y * m[1][0] + d.Z * m[2][0], d.X * m[0][1] + d.Y * m[1][1] + d.Z * m[2][1],
            d.X * m[0][2] + d.Y * m[1][2] + d.Z * m[2][2]};
}

void AddScaled(TAffineVector& sum, const TAffineVector& v, float w)
{
    sum = {sum.X + w * v.X, sum.Y + w * v.Y, sum.Z + w * v.Z};
}

TMatrix WithoutTranslation(TMatrix m)
{
    m[3] = {0, 0, 0, 1};
    return m;
}
} // namespace

std::uint64_t TSkeletonMeshObject::TVertexKeyHash::operator()(const TVertexKey& key) const
{
    // Two keyed mixes of two words each, independent of each other; the key
    // keeps crafted files from colliding.
    const auto pair = [](std::uint32_t low, std::uint32_t high)
    { return std::uint64_t(low) | (std::uint64_t(high) << 32); };
    return Mix(pair(static_cast<std::uint32_t>(key.BoneID), key.Bits[0]), pair(key.Bits[1], key.Bits[2])) +
           OtherMix(pair(key.Bits[3], key.Bits[4]), key.Bits[5]);
}

TSkeletonMeshObject::TSkeletonMeshObject(TMeshObjectList* owner) : TMorphableMeshObject(owner) {}

TSkeletonMeshObject::~TSkeletonMeshObject() = default;

TSkeleton& TSkeletonMeshObject::Skeleton() const
{
    if (!Owner() || !Owner()->Owner())
        throw EInvalidOperation(QStringLiteral("Mesh object \"%1\" belongs to no mesh with a skeleton").arg(Name));
    return Owner()->Owner()->Skeleton();
}

void TSkeletonMeshObject::FailMissingBone(int vertex, int boneID) const
{
    throw EInvalidVectorFile(QStringLiteral("Vertex %1 of mesh object \"%2\" is bound to bone id %3, which the "
                                            "skeleton does not have")
                                 .arg(vertex)
                                 .arg(Name)
                                 .arg(boneID));
}

// ------------------------------------------------------------------ weights

TVertexBoneWeight* TSkeletonMeshObject::VerticesBonesWeights(int vertex)
{
    FlushVertexIndex();
    return FWeights.data() + Offset(vertex);
}

// Frees the index, which only loading needs.
void TSkeletonMeshObject::FlushVertexIndex()
{
    FVertexIndex.Release();
    FIndexedCount = 0;
}

void TSkeletonMeshObject::SetBoneSlots(int count)
{
    if (count < 0)
        throw EAssertionFailed(QStringLiteral("Negative bone slot count %1").arg(count));
    if (count == FBoneSlots)
        return;
    std::vector<TVertexBoneWeight> weights(static_cast<size_t>(FBoneWeightsCapacity) * static_cast<size_t>(count));
    const int kept = std::min(count, FBoneSlots);
    for (int i = 0; i < FBoneWeightsCapacity; ++i)
        std::copy_n(FWeights.begin() + static_cast<std::ptrdiff_t>(Offset(i)), kept,
                    weights.begin() + static_cast<std::ptrdiff_t>(i) * count);
    FWeights = std::move(weights);
    FBoneSlots = count;
    FlushVertexIndex();
}

void TSkeletonMeshObject::SetBoneWeightsCapacity(int capacity)
{
    capacity = std::max(capacity, 0);
    FWeights.resize(static_cast<size_t>(capacity) * static_cast<size_t>(FBoneSlots));
    FBoneWeightsCapacity = capacity;
    FBoneWeightsCount = std::min(FBoneWeightsCount, capacity);
}

void TSkeletonMeshObject::AppendBoneWeights(const TVertexBoneWeightDynArray& entries)
{
    if (static_cast<int>(entries.size()) > FBoneSlots)
        SetBoneSlots(static_cast<int>(entries.size()));
    TVertexBoneWeight* const vertexWeights = AppendZeroWeights();
    std::copy(entries.begin(), entries.end(), vertexWeights);
}

// As AppendBoneWeights({{boneID, 1}}), without a list per vertex.
void TSkeletonMeshObject::AppendSingleBone(int boneID)
{
    if (FBoneSlots < 1)
        SetBoneSlots(1);
    *AppendZeroWeights() = {boneID, 1.0f};
}

TVertexBoneWeight* TSkeletonMeshObject::AppendZeroWeights()
{
    const int count = FBoneWeightsCount + 1;
    if (count > FBoneWeightsCapacity)
        SetBoneWeightsCapacity(count + 16);
    FBoneWeightsCount = count;
    TVertexBoneWeight* const vertexWeights = FWeights.data() + Offset(count - 1);
    std::fill_n(vertexWeights, FBoneSlots, TVertexBoneWeight{});
    return vertexWeights;
}

void TSkeletonMeshObject::Clear()
{
    TMorphableMeshObject::Clear();
    FWeights.clear();
    FBoneSlots = 0;
    FBoneWeightsCount = 0;
    FBoneWeightsCapacity = 0;
    FBoneMatrixInvertedMeshes.clear();
    FlushVertexIndex();
}

// ---------------------------------------------------------- vertex sharing

bool TSkeletonMeshObject::SingleBoneOf(int vertex, std::int32_t& boneID) const
{
    if (FBoneSlots == 0 || vertex >= FBoneWeightsCount)
        return false;
    const TVertexBoneWeight* const vertexWeights = Entries(vertex);
    boneID = vertexWeights[0].BoneID;
    if (FBoneSlots == 1)
        return true;
    // With several vertexWeights the whole list must be what appending (id, 1) makes.
    const TVertexBoneWeight zero{};
    return Bits(vertexWeights[0].Weight) == Bits(1.0f) &&
           std::all_of(vertexWeights + 1, vertexWeights + FBoneSlots,
                       [&zero](const TVertexBoneWeight& w) { return std::memcmp(&w, &zero, sizeof w) == 0; });
}

bool TSkeletonMeshObject::KeyOf(int vertex, TVertexKey& key) const
{
    if (vertex >= Normals.Count() || !SingleBoneOf(vertex, key.BoneID))
        return false;
    const TAffineVector& p = Vertices[vertex];
    const TAffineVector& n = Normals[vertex];
    const std::uint32_t bits[6] = {Bits(p.X), Bits(p.Y), Bits(p.Z), Bits(n.X), Bits(n.Y), Bits(n.Z)};
    std::copy(std::begin(bits), std::end(bits), key.Bits);
    return true;
}

// Vertices appended by other means since the last call are indexed too;
// anything that shrank or re-shaped the entries rebuilds the index.
void TSkeletonMeshObject::UpdateVertexIndex()
{
    if (FIndexedSlots != FBoneSlots || FIndexedCount > Vertices.Count())
    {
        FVertexIndex.Clear();
        FIndexedCount = 0;
        FIndexedSlots = FBoneSlots;
    }
    for (; FIndexedCount < Vertices.Count(); ++FIndexedCount)
    {
        TVertexKey key;
        if (KeyOf(FIndexedCount, key))
            FVertexIndex.TryAdd(key, FIndexedCount);
    }
}

void TSkeletonMeshObject::ReserveVertices(int count)
{
    Vertices.Reserve(count);
    Normals.Reserve(count);
    FWeights.reserve(static_cast<size_t>(std::max(count, 0)) * static_cast<size_t>(std::max(FBoneSlots, 1)));
    FVertexIndex.Reserve(count);
}

int TSkeletonMeshObject::FindOrAddVertex(int boneID, const TAffineVector& vertex, const TAffineVector& normal)
{
    const TVertexKey key{boneID, {Bits(vertex.X), Bits(vertex.Y), Bits(vertex.Z), Bits(normal.X), Bits(normal.Y), Bits(normal.Z)}};
    UpdateVertexIndex();
    int found = FVertexIndex.Find(key);
    TVertexKey stored;
    if (found >= 0 && !(KeyOf(found, stored) && stored == key))
    {
        // The vertex was changed in place: the index no longer holds.
        FlushVertexIndex();
        UpdateVertexIndex();
        found = FVertexIndex.Find(key);
    }
    if (found >= 0)
        return found;
    if (Normals.Count() != Vertices.Count() || FBoneWeightsCount != Vertices.Count())
        throw EInvalidOperation(QStringLiteral("Cannot add a vertex to mesh object \"%1\" with %2 vertices, %3 normals "
                                               "and %4 weighted vertices")
                                    .arg(Name)
                                    .arg(Vertices.Count())
                                    .arg(Normals.Count())
                                    .arg(FBoneWeightsCount));
    AppendSingleBone(boneID);
    Normals.Add(normal);
    const int index = Vertices.Add(vertex);
    // The new vertex is bound to the bone alone, so its key is the one
    // looked up; adding a first slot re-shapes the entries and reindexes.
    if (FIndexedSlots == FBoneSlots && FIndexedCount == index)
    {
        FVertexIndex.TryAdd(key, index);
        ++FIndexedCount;
    }
    else
        UpdateVertexIndex();
    return index;
}

// ------------------------------------------------------------------ skinning

void TSkeletonMeshObject::PrepareInvertedMeshes()
{
    TSkeleton& skeleton = Skeleton();
    if (FBoneSlots > 0 && FBoneWeightsCount < Vertices.Count())
        throw EInvalidVectorFile(
            QStringLiteral("Vertex %1 of mesh object \"%2\" has no bone weights").arg(FBoneWeightsCount).arg(Name));
    // Many vertices share a bone: each bone's inverses are worked out once.
    std::vector<TBoneInverses> inverses;
    std::vector<std::unique_ptr<TBaseMeshObject>> meshes;
    for (int k = 0; k < FBoneSlots; ++k)
    {
        auto mesh = std::make_unique<TBaseMeshObject>();
        mesh->Vertices.Reserve(Vertices.Count());
        mesh->Normals.Reserve(Normals.Count());
        for (int i = 0; i < Vertices.Count(); ++i)
        {
            const TBoneInverses& bone = InversesOf(skeleton, i, Entries(i)[k].BoneID, inverses);
            mesh->Vertices.Add(TransformPoint(Vertices[i], bone.Point));
            if (i < Normals.Count())
                mesh->Normals.Add(TransformDirection(Normals[i], bone.Direction));
        }
        // Normals beyond the vertices have no bone and stay as they are.
        for (int i = Vertices.Count(); i < Normals.Count(); ++i)
            mesh->Normals.Add(Normals[i]);
        meshes.push_back(std::move(mesh));
    }
    FBoneMatrixInvertedMeshes = std::move(meshes);
}

const TSkeletonMeshObject::TBoneInverses& TSkeletonMeshObject::InversesOf(TSkeleton& skeleton, int vertex, int boneID,
                                                                          std::vector<TBoneInverses>& inverses) const
{
    const TSkeletonBone* const bone = skeleton.BoneByID(boneID);
    if (!bone)
        FailMissingBone(vertex, boneID);
    const auto invert = [bone]
    {
        return TBoneInverses{InvertMatrix(bone->GlobalMatrix()), InvertMatrix(WithoutTranslation(bone->GlobalMatrix())),
                             true};
    };
    // Kept by id for the ids a skeleton numbers densely; a stray large id is
    // worked out each time in the last slot rather than sizing the table
    // after it.
    const size_t index = std::min(static_cast<size_t>(boneID), MaxKeptBoneInverses);
    if (index >= inverses.size())
        inverses.resize(index + 1);
    if (index == MaxKeptBoneInverses || !inverses[index].Valid)
        inverses[index] = invert();
    return inverses[index];
}

void TSkeletonMeshObject::ApplyCurrentPose(bool normalize)
{
    if (FBoneSlots == 0)
        return;
    const bool prepared =
        InvertedMeshCount() == FBoneSlots && FBoneWeightsCount >= Vertices.Count() &&
        std::all_of(FBoneMatrixInvertedMeshes.begin(), FBoneMatrixInvertedMeshes.end(),
                    [this](const auto& mesh)
                    { return mesh->Vertices.Count() == Vertices.Count() && mesh->Normals.Count() == Normals.Count(); });
    if (!prepared)
        throw EInvalidOperation(
            QStringLiteral("Mesh object \"%1\" has no bind pose for its %2 vertices").arg(Name).arg(Vertices.Count()));
    TSkeleton& skeleton = Skeleton();
    if (FBoneSlots == 1)
        ApplyOneSlot(skeleton);
    else
        ApplySlots(skeleton);
    if (normalize)
        Normals.Normalize();
    FlushVertexIndex();
}

// One point and one direction transform per vertex.
void TSkeletonMeshObject::ApplyOneSlot(TSkeleton& skeleton)
{
    const TBaseMeshObject& bind = *FBoneMatrixInvertedMeshes.front();
    const int normals = Normals.Count();
    for (int i = 0; i < Vertices.Count(); ++i)
    {
        const int boneID = FWeights[static_cast<size_t>(i)].BoneID;
        const TSkeletonBone* const bone = skeleton.BoneByID(boneID);
        if (!bone)
            FailMissingBone(i, boneID);
        const TMatrix& m = bone->GlobalMatrix();
        Vertices[i] = TransformPoint(bind.Vertices[i], m);
        if (i < normals)
            Normals[i] = TransformDirection(bind.Normals[i], m);
    }
}

void TSkeletonMeshObject::ApplySlots(TSkeleton& skeleton)
{
    const int normals = Normals.Count();
    for (int i = 0; i < Vertices.Count(); ++i)
    {
        TAffineVector vertex{}, normal{};
        const TVertexBoneWeight* const vertexWeights = Entries(i);
        for (int k = 0; k < FBoneSlots; ++k)
        {
            const float w = vertexWeights[k].Weight;
            if (w == 0)
                continue;
            const TSkeletonBone* const bone = skeleton.BoneByID(vertexWeights[k].BoneID);
            if (!bone)
                FailMissingBone(i, vertexWeights[k].BoneID);
            const TBaseMeshObject& bind = *FBoneMatrixInvertedMeshes[static_cast<size_t>(k)];
            AddScaled(vertex, TransformPoint(bind.Vertices[i], bone->GlobalMatrix()), w);
            if (i < normals)
                AddScaled(normal, TransformDirection(bind.Normals[i], bone->GlobalMatrix()), w);
        }
        Vertices[i] = vertex;
        if (i < normals)
            Normals[i] = normal;
    }
}
