#include "GLSMDVectorFile.h"

#include "Exceptions.h"
#include "FaceGroups.h"
#include "GLActor.h"
#include "GLBaseMesh.h"
#include "GLMaterialLibrary.h"
#include "HashSeed.h"
#include "OpenHashIndex.h"
#include "SMD.h"
#include "Skeleton.h"
#include "SkeletonMeshObject.h"
#include "VectorUnit.h"

#include <cstring>
#include <type_traits>

namespace
{
TAffineVector ToAffine(const TSMDVector& v)
{
    return {v.X, v.Y, v.Z};
}

TSMDVector ToSMD(const TAffineVector& v)
{
    return {v.X, v.Y, v.Z};
}

// Both are three plain floats: a frame's lists are copied in one go.
void CopyVectors(const std::vector<TSMDVector>& from, TAffineVectorList& to)
{
    static_assert(sizeof(TSMDVector) == sizeof(TAffineVector) && std::is_trivially_copyable_v<TSMDVector> &&
                  std::is_trivially_copyable_v<TAffineVector>);
    to.SetCount(static_cast<int>(from.size()));
    if (!from.empty())
        std::memcpy(static_cast<void*>(to.List()), from.data(), from.size() * sizeof(TSMDVector));
}

// Texture coordinates are shared by exact bits, as a linear search for the
// first equal item would share them, but in constant time per corner.
class TTexCoordIndex
{
public:
    TTexCoordIndex(TAffineVectorList& texCoords, int expected) : FTexCoords(texCoords)
    {
        FIndex.Reserve(texCoords.Count() + expected);
        FTexCoords.Reserve(texCoords.Count() + expected);
        for (int i = 0; i < texCoords.Count(); ++i)
            FIndex.TryAdd(KeyOf(texCoords[i]), i);
    }

    int FindOrAdd(const TAffineVector& texCoord)
    {
        const auto [found, added] = FIndex.TryAdd(KeyOf(texCoord), FTexCoords.Count());
        if (added)
            FTexCoords.Add(texCoord);
        return found;
    }

private:
    struct TKey
    {
        std::uint32_t Bits[3];
        friend bool operator==(const TKey&, const TKey&) = default;
    };
    // Keyed, so that no file can pile its coordinates into one probe chain.
    struct THash
    {
        std::uint64_t operator()(const TKey& key) const
        {
            return Mix(std::uint64_t(key.Bits[0]) | (std::uint64_t(key.Bits[1]) << 32), key.Bits[2]);
        }
        TSeededMix Mix;
    };
    static TKey KeyOf(const TAffineVector& v)
    {
        TKey key;
        std::memcpy(key.Bits, &v, sizeof(key.Bits));
        return key;
    }

    TAffineVectorList& FTexCoords;
    TOpenHashIndex<TKey, THash> FIndex;
};

void ReserveCorners(TFGVertexNormalTexIndexList& group, int corners)
{
    group.VertexIndices.Reserve(corners);
    group.NormalIndices.Reserve(corners);
    group.TexCoordIndices.Reserve(corners);
}

int DistinctCorners(const TSMDFile& file)
{
    int distinct = 0;
    for (const TSMDTriangle& triangle : file.Triangles)
        for (const TSMDCorner& corner : triangle.Corners)
            distinct += corner.SameAs < 0 ? 1 : 0;
    return distinct;
}

void CollectNodes(const TSkeletonBoneList& bones, int parentId, std::vector<TSMDNode>& nodes)
{
    for (int i = 0; i < bones.Count(); ++i)
    {
        const TSkeletonBone& bone = bones[i];
        nodes.push_back({bone.BoneID, bone.Name, parentId, 0});
        CollectNodes(bone, bone.BoneID, nodes);
    }
}

TSMDFrame FrameRecord(const TSkeletonFrame& frame)
{
    TSMDFrame record;
    for (int j = 0; j < frame.Position.Count(); ++j)
    {
        record.Positions.push_back(ToSMD(frame.Position[j]));
        record.Rotations.push_back(ToSMD(j < frame.Rotation.Count() ? frame.Rotation[j] : TAffineVector{}));
    }
    return record;
}

// Every complete triple of a face group's corners, with the corner's vertex
// bone in slot 0, its normal and its texture coordinates.
void CollectTriangles(const TSkeletonMeshObject& object, const TFGVertexIndexList& group,
                      std::vector<TSMDTriangle>& triangles)
{
    const auto* const indexed = dynamic_cast<const TFGVertexNormalTexIndexList*>(&group);
    const TIntegerList& vertices = group.VertexIndices;
    auto cornerOf = [&](int position)
    {
        const int vi = vertices[position];
        if (vi < 0 || vi >= object.Vertices.Count())
            throw EAssertionFailed(QStringLiteral("Vertex index %1 out of range").arg(vi));
        const int ni = indexed != nullptr && position < indexed->NormalIndices.Count() ? indexed->NormalIndices[position] : vi;
        const int ti = indexed != nullptr && position < indexed->TexCoordIndices.Count() ? indexed->TexCoordIndices[position] : vi;
        TSMDCorner corner;
        corner.BoneId = vi < object.BoneWeightsCount() && object.BoneSlots() > 0 ? object.VerticesBonesWeights(vi)[0].BoneID : 0;
        corner.Position = ToSMD(object.Vertices[vi]);
        corner.Normal = ni < object.Normals.Count() ? ToSMD(object.Normals[ni]) : TSMDVector{};
        if (ti < object.TexCoords.Count())
        {
            corner.S = object.TexCoords[ti].X;
            corner.T = object.TexCoords[ti].Y;
        }
        return corner;
    };
    for (int first = 0; first + 2 < vertices.Count(); first += 3)
        triangles.push_back({{cornerOf(first), cornerOf(first + 1), cornerOf(first + 2)}});
}
} // namespace

void TGLSMDVectorFile::LoadFromStream(QIODevice& stream)
{
    TGLBaseMesh& owner = Owner();
    TSkeleton& skeleton = owner.Skeleton();
    TSMDContext context;
    context.OwnerHasMeshObjects = owner.MeshObjects().Count() > 0;
    context.BoneCount = skeleton.RootBones().CountBones() - 1;
    context.FrameCount = skeleton.Frames().Count();
    const QByteArray bytes = stream.readAll();
    ClearUpperVectorRegisters();
    const TSMDFile file = ParseSMD(bytes, ResourceName(), context);
    if (!file.IsModel)
        MeshObjectToFill(file);
    CheckCornerBones(file);

    AddBones(file);
    AddFrames(file);
    AddAnimation(file);
    if (file.IsModel)
    {
        TSkeletonMeshObject& object = MeshObjectToFill(file);
        if (file.HasTriangles)
            AddTriangles(file, object);
    }
}

// An animation fills the mesh object a model brought before it.
TSkeletonMeshObject& TGLSMDVectorFile::MeshObjectToFill(const TSMDFile& file)
{
    TMeshObjectList& objects = Owner().MeshObjects();
    if (file.IsModel)
    {
        auto& object = objects.Add<TSkeletonMeshObject>();
        object.SetMode(momFaceGroups);
        return object;
    }
    auto* const object = dynamic_cast<TSkeletonMeshObject*>(&objects[0]);
    if (object == nullptr)
        throw EInvalidVectorFile(QStringLiteral("SMD is an animation, but the first mesh object of the mesh it is "
                                                "added to has no skeleton (in \"%1\")")
                                     .arg(file.FileName));
    return *object;
}

// Corners may name bones of a model loaded earlier, which only the skeleton
// knows; they are checked before anything of the file is added.
void TGLSMDVectorFile::CheckCornerBones(const TSMDFile& file) const
{
    TSkeleton& skeleton = Owner().Skeleton();
    const bool fileBones = !file.Nodes.empty();
    for (const TSMDTriangle& triangle : file.Triangles)
        for (const TSMDCorner& corner : triangle.Corners)
        {
            const bool known = fileBones ? corner.BoneId >= 0 && corner.BoneId < static_cast<int>(file.Nodes.size())
                                         : skeleton.BoneByID(corner.BoneId) != nullptr;
            if (!known)
                throw EInvalidVectorFile(QStringLiteral("Vertex bound to bone %1, which the skeleton does not have "
                                                        "(in \"%2\", line %3)")
                                             .arg(corner.BoneId)
                                             .arg(file.FileName)
                                             .arg(corner.Line));
        }
}

// Nodes list parents before their children, so each parent is found among
// the bones made so far.
void TGLSMDVectorFile::AddBones(const TSMDFile& file)
{
    TSkeleton& skeleton = Owner().Skeleton();
    for (const TSMDNode& node : file.Nodes)
    {
        TSkeletonBoneList* const parent =
            node.ParentId == -1 ? static_cast<TSkeletonBoneList*>(&skeleton.RootBones())
                                : skeleton.RootBones().FindBoneByID(node.ParentId);
        if (parent == nullptr)
            throw EAssertionFailed(QStringLiteral("Bone %1 read before its parent %2").arg(node.Id).arg(node.ParentId));
        auto* const bone = new TSkeletonBone(parent);
        bone->BoneID = node.Id;
        bone->Name = node.Name;
    }
    skeleton.FlushBoneByIDCache();
}

void TGLSMDVectorFile::AddFrames(const TSMDFile& file)
{
    TSkeletonFrameList& frames = Owner().Skeleton().Frames();
    for (const TSMDFrame& record : file.Frames)
    {
        TSkeletonFrame& frame = frames.Add();
        frame.Name = record.Name;
        frame.TransformMode = sftRotation;
        CopyVectors(record.Positions, frame.Position);
        CopyVectors(record.Rotations, frame.Rotation);
    }
}

void TGLSMDVectorFile::AddAnimation(const TSMDFile& file)
{
    auto* const actor = qobject_cast<TGLActor*>(&Owner());
    if (actor == nullptr)
        return;
    TActorAnimation& animation = actor->Animations()->Add();
    animation.SetName(SMDAnimationName(file.FileName));
    animation.SetReference(aarSkeleton);
    animation.SetStartFrame(file.FrameBase);
    animation.SetEndFrame(Owner().Skeleton().Frames().Count() - 1);
}

void TGLSMDVectorFile::AddTriangles(const TSMDFile& file, TSkeletonMeshObject& object)
{
    if (object.BoneSlots() < 1)
        object.SetBoneSlots(1);
    // Corners repeating an earlier corner's text take that one's indices, so
    // only the distinct ones are looked up, and at most that many are new.
    const int distinct = DistinctCorners(file);
    object.ReserveVertices(object.Vertices.Count() + distinct);
    TTexCoordIndex texCoords(object.TexCoords, distinct);
    const size_t corners = 3 * file.Triangles.size();
    std::vector<int> vertexOf(corners, -1), texCoordOf(corners, -1);
    for (const TSMDMaterialRun& run : file.Runs)
    {
        auto& group = object.FaceGroups().Add<TFGVertexNormalTexIndexList>();
        group.SetMode(fgmmTriangles);
        group.MaterialName = run.MaterialName;
        RegisterMaterial(run.MaterialName);
        if (run.FirstTriangle > file.Triangles.size() || run.TriangleCount > file.Triangles.size() - run.FirstTriangle)
            throw EAssertionFailed(QStringLiteral("A material run lies outside the triangles"));
        ReserveCorners(group, static_cast<int>(3 * run.TriangleCount));
        for (size_t number = 3 * run.FirstTriangle; number < 3 * (run.FirstTriangle + run.TriangleCount); ++number)
        {
            const TSMDCorner& corner = file.Triangles[number / 3].Corners[number % 3];
            const bool repeat = corner.SameAs >= 0 && static_cast<size_t>(corner.SameAs) < corners &&
                                vertexOf[static_cast<size_t>(corner.SameAs)] >= 0;
            vertexOf[number] = repeat ? vertexOf[static_cast<size_t>(corner.SameAs)]
                                      : object.FindOrAddVertex(corner.BoneId, ToAffine(corner.Position),
                                                               ToAffine(corner.Normal));
            texCoordOf[number] =
                repeat ? texCoordOf[static_cast<size_t>(corner.SameAs)] : texCoords.FindOrAdd({corner.S, corner.T, 0});
            group.Add(vertexOf[number], vertexOf[number], texCoordOf[number]);
        }
    }
    // The vertices are bound in the pose of the skeleton's first frame.
    Owner().Skeleton().RootBones().UpdateGlobalMatrices();
    object.PrepareInvertedMeshes();
}

void TGLSMDVectorFile::RegisterMaterial(const QString& name)
{
    TGLMaterialLibrary* const library = Owner().MaterialLibrary();
    if (library == nullptr || library->LibMaterialByName(name) != nullptr)
        return;
    if (name.compare(QLatin1String("null.bmp"), Qt::CaseInsensitive) == 0)
    {
        library->AddMaterial(name);
        return;
    }
    try
    {
        library->AddTextureMaterial(name, name);
    }
    catch (const ETextureLoadError&)
    {
        if (!Owner().IgnoreMissingTextures())
            throw;
    }
}

void TGLSMDVectorFile::SaveToStream(QIODevice& stream)
{
    const TGLBaseMesh& owner = Owner();
    const TSkeleton& skeleton = owner.Skeleton();
    TSMDFile file;
    CollectNodes(skeleton.RootBones(), -1, file.Nodes);
    for (int i = 0; i < skeleton.Frames().Count(); ++i)
        file.Frames.push_back(FrameRecord(skeleton.Frames()[i]));
    file.HasTriangles = owner.MeshObjects().Count() > 0;
    for (int i = 0; i < owner.MeshObjects().Count(); ++i)
    {
        const auto* const object = dynamic_cast<const TSkeletonMeshObject*>(&owner.MeshObjects()[i]);
        if (object == nullptr)
            continue;
        for (int g = 0; g < object->FaceGroups().Count(); ++g)
        {
            const auto* const group = dynamic_cast<const TFGVertexIndexList*>(&object->FaceGroups()[g]);
            if (group == nullptr)
                continue;
            const size_t first = file.Triangles.size();
            CollectTriangles(*object, *group, file.Triangles);
            file.Runs.push_back({group->MaterialName, 0, first, file.Triangles.size() - first});
        }
    }
    const QByteArray text = WriteSMD(file, ResourceName());
    if (stream.write(text) != text.size())
        throw EFOpenError(QStringLiteral("Cannot write \"%1\". %2").arg(ResourceName(), stream.errorString()));
}
