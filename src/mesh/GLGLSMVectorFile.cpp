#include "GLGLSMVectorFile.h"

#include "Exceptions.h"
#include "GLBaseMesh.h"
#include "SkeletonMeshObject.h"

#include <QtEndian>

#include <cstring>

namespace
{
constexpr char Magic[4] = {'G', 'L', 'S', 'M'};
constexpr quint32 FileVersion = 1;
// Each class's present version; a reader accepts this one and older ones.
constexpr quint32 MeshObjectListVersion = 1;
constexpr quint32 BaseMeshObjectVersion = 1;
constexpr quint32 MeshObjectVersion = 1;
constexpr quint32 MorphableMeshObjectVersion = 1;
constexpr quint32 SkeletonMeshObjectVersion = 1;
constexpr quint32 FaceGroupVersion = 1;
constexpr quint32 VertexIndexListVersion = 1;
constexpr quint32 VertexNormalTexIndexListVersion = 1;
constexpr quint32 IndexTexCoordListVersion = 1;

// ------------------------------------------------------------------- writing

class TWriter
{
public:
    QByteArray Data;

    void U8(quint8 value) { Data.append(static_cast<char>(value)); }
    void U32(quint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        Data.append(bytes, 4);
    }
    void I32(qint32 value) { U32(static_cast<quint32>(value)); }
    void F32(float value)
    {
        quint32 bits;
        std::memcpy(&bits, &value, 4);
        U32(bits);
    }
    void String(const QString& value)
    {
        const QByteArray utf8 = value.toUtf8();
        U32(static_cast<quint32>(utf8.size()));
        Data.append(utf8);
    }
    template <class L> void FloatList(const L& list)
    {
        constexpr int floats = sizeof(typename L::TItem) / sizeof(float);
        U32(static_cast<quint32>(list.Count()));
        const float* values = reinterpret_cast<const float*>(list.List());
        for (int i = 0; i < list.Count() * floats; ++i)
            F32(values[i]);
    }
    void IntegerList(const TIntegerList& list)
    {
        U32(static_cast<quint32>(list.Count()));
        for (const qint32 value : list)
            I32(value);
    }
};

void WriteBaseMeshObject(TWriter& out, const TBaseMeshObject& object)
{
    out.U32(BaseMeshObjectVersion);
    out.String(object.Name);
    out.U8(object.Visible ? 1 : 0);
    out.FloatList(object.Vertices);
    out.FloatList(object.Normals);
}

void WriteFaceGroup(TWriter& out, const TFaceGroup& group)
{
    out.U32(FaceGroupVersion);
    out.String(group.MaterialName);
    out.I32(group.LightMapIndex);
}

void WriteVertexIndexList(TWriter& out, const TFGVertexIndexList& group)
{
    out.U32(VertexIndexListVersion);
    WriteFaceGroup(out, group);
    out.U8(group.Mode());
    out.IntegerList(group.VertexIndices);
}

void WriteFaceGroupOfAnyClass(TWriter& out, const TFaceGroup& group)
{
    if (const auto* own = dynamic_cast<const TFGVertexNormalTexIndexList*>(&group))
    {
        out.String(QStringLiteral("TFGVertexNormalTexIndexList"));
        out.U32(VertexNormalTexIndexListVersion);
        WriteVertexIndexList(out, *own);
        out.IntegerList(own->NormalIndices);
        out.IntegerList(own->TexCoordIndices);
    }
    else if (const auto* texCoords = dynamic_cast<const TFGIndexTexCoordList*>(&group))
    {
        out.String(QStringLiteral("TFGIndexTexCoordList"));
        out.U32(IndexTexCoordListVersion);
        WriteVertexIndexList(out, *texCoords);
        out.FloatList(texCoords->TexCoords);
    }
    else if (const auto* indices = dynamic_cast<const TFGVertexIndexList*>(&group))
    {
        out.String(QStringLiteral("TFGVertexIndexList"));
        WriteVertexIndexList(out, *indices);
    }
    else
        throw EInvalidOperation(QStringLiteral("This face group class cannot be written"));
}

void WriteMeshObject(TWriter& out, const TMeshObject& object)
{
    out.U32(MeshObjectVersion);
    WriteBaseMeshObject(out, object);
    out.U8(object.Mode());
    out.FloatList(object.TexCoords);
    out.FloatList(object.LightMapTexCoords);
    out.FloatList(object.Colors);
    out.I32(object.TangentsTexCoordIndex);
    out.I32(object.BinormalsTexCoordIndex);
    out.U32(object.RenderingOptions);
    out.U32(static_cast<quint32>(object.ExtraTexCoordsCount()));
    for (int i = 0; i < object.ExtraTexCoordsCount(); ++i)
        out.FloatList(const_cast<TMeshObject&>(object).ExtraTexCoords(i));
    const TFaceGroups& groups = object.FaceGroups();
    out.U32(static_cast<quint32>(groups.Count()));
    for (int i = 0; i < groups.Count(); ++i)
        WriteFaceGroupOfAnyClass(out, groups[i]);
}

void WriteMorphableMeshObject(TWriter& out, const TMorphableMeshObject& object)
{
    out.U32(MorphableMeshObjectVersion);
    WriteMeshObject(out, object);
    out.U32(static_cast<quint32>(object.MorphTargets.Count()));
    for (int i = 0; i < object.MorphTargets.Count(); ++i)
        WriteBaseMeshObject(out, object.MorphTargets[i]);
}

void WriteSkeletonMeshObject(TWriter& out, const TSkeletonMeshObject& object)
{
    out.U32(SkeletonMeshObjectVersion);
    WriteMorphableMeshObject(out, object);
    out.U32(static_cast<quint32>(object.BoneSlots()));
    out.U32(static_cast<quint32>(object.BoneWeightsCount()));
    for (int i = 0; i < object.BoneWeightsCount(); ++i)
        for (int k = 0; k < object.BoneSlots(); ++k)
        {
            out.I32(object.VerticesBonesWeights(i)[k].BoneID);
            out.F32(object.VerticesBonesWeights(i)[k].Weight);
        }
}

void WriteMeshObjectOfAnyClass(TWriter& out, const TMeshObject& object)
{
    if (const auto* skinned = dynamic_cast<const TSkeletonMeshObject*>(&object))
    {
        out.String(QStringLiteral("TSkeletonMeshObject"));
        WriteSkeletonMeshObject(out, *skinned);
    }
    else if (const auto* morphable = dynamic_cast<const TMorphableMeshObject*>(&object))
    {
        out.String(QStringLiteral("TMorphableMeshObject"));
        WriteMorphableMeshObject(out, *morphable);
    }
    else
    {
        out.String(QStringLiteral("TMeshObject"));
        WriteMeshObject(out, object);
    }
}

// ------------------------------------------------------------------- reading

// Reads little-endian values and refuses any that would pass the end; every
// count is checked against the bytes left before anything is made for it.
class TReader
{
public:
    TReader(const QByteArray& data, const QString& sourceName) : FData(data), FSourceName(sourceName) {}

    [[noreturn]] void Fail(const QString& what) const
    {
        throw EInvalidVectorFile(QStringLiteral("%1: offset %2: %3").arg(FSourceName).arg(FOffset).arg(what));
    }

    qsizetype Left() const { return FData.size() - FOffset; }

    const char* Take(qsizetype count, const char* what)
    {
        if (count > Left())
            Fail(QStringLiteral("%1 passes the end of the file").arg(QLatin1String(what)));
        const char* bytes = FData.constData() + FOffset;
        FOffset += count;
        return bytes;
    }
    quint8 U8(const char* what) { return static_cast<quint8>(*Take(1, what)); }
    quint32 U32(const char* what) { return qFromLittleEndian<quint32>(Take(4, what)); }
    qint32 I32(const char* what) { return static_cast<qint32>(U32(what)); }
    float F32(const char* what)
    {
        const quint32 bits = U32(what);
        float value;
        std::memcpy(&value, &bits, 4);
        return value;
    }
    // A count of items of `itemSize` bytes each that the file still holds.
    int Count(qsizetype itemSize, const char* what)
    {
        const quint32 count = U32(what);
        if (static_cast<qsizetype>(count) > Left() / itemSize)
            Fail(QStringLiteral("%1 of %2 items passes the end of the file").arg(QLatin1String(what)).arg(count));
        return static_cast<int>(count);
    }
    QString String(const char* what)
    {
        const int length = Count(1, what);
        return QString::fromUtf8(Take(length, what), length);
    }
    void Version(quint32 supported, const char* what)
    {
        const quint32 version = U32(what);
        if (version == 0 || version > supported)
            Fail(QStringLiteral("%1 version %2 is not known").arg(QLatin1String(what)).arg(version));
    }
    template <class L> void FloatList(L& list, const char* what)
    {
        constexpr int floats = sizeof(typename L::TItem) / sizeof(float);
        const int count = Count(4 * floats, what);
        list.SetCount(count);
        float* values = reinterpret_cast<float*>(list.List());
        for (int i = 0; i < count * floats; ++i)
            values[i] = F32(what);
    }
    void IntegerList(TIntegerList& list, const char* what)
    {
        const int count = Count(4, what);
        list.SetCount(count);
        for (int i = 0; i < count; ++i)
            list[i] = I32(what);
    }

private:
    const QByteArray& FData;
    const QString FSourceName;
    qsizetype FOffset = 0;
};

void ReadBaseMeshObject(TReader& in, TBaseMeshObject& object)
{
    in.Version(BaseMeshObjectVersion, "mesh object base");
    object.Name = in.String("mesh object name");
    object.Visible = in.U8("visibility") != 0;
    in.FloatList(object.Vertices, "vertices");
    in.FloatList(object.Normals, "normals");
}

void ReadFaceGroup(TReader& in, TFaceGroup& group)
{
    in.Version(FaceGroupVersion, "face group");
    group.MaterialName = in.String("material name");
    group.LightMapIndex = in.I32("lightmap index");
}

void CheckIndices(TReader& in, const TIntegerList& indices, int count, const char* what)
{
    for (const qint32 index : indices)
        if (index < 0 || index >= count)
            in.Fail(QStringLiteral("%1 %2 is outside the %3 items").arg(QLatin1String(what)).arg(index).arg(count));
}

void ReadVertexIndexList(TReader& in, TFGVertexIndexList& group)
{
    in.Version(VertexIndexListVersion, "vertex index list");
    ReadFaceGroup(in, group);
    const quint8 mode = in.U8("face group mode");
    if (mode > fgmmQuads)
        in.Fail(QStringLiteral("face group mode %1 is not known").arg(mode));
    group.SetMode(mode);
    in.IntegerList(group.VertexIndices, "vertex indices");
    CheckIndices(in, group.VertexIndices, group.MeshObject().Vertices.Count(), "vertex index");
}

void ReadFaceGroupOfAnyClass(TReader& in, TFaceGroups& groups)
{
    const QString className = in.String("face group class");
    const TMeshObject& object = groups.Owner();
    if (className == QLatin1String("TFGVertexIndexList"))
        ReadVertexIndexList(in, groups.Add<TFGVertexIndexList>());
    else if (className == QLatin1String("TFGVertexNormalTexIndexList"))
    {
        auto& group = groups.Add<TFGVertexNormalTexIndexList>();
        in.Version(VertexNormalTexIndexListVersion, "vertex, normal and texture index list");
        ReadVertexIndexList(in, group);
        in.IntegerList(group.NormalIndices, "normal indices");
        in.IntegerList(group.TexCoordIndices, "texture coordinate indices");
        const int n = group.VertexIndices.Count();
        if ((!group.NormalIndices.Empty() && group.NormalIndices.Count() != n) ||
            (!group.TexCoordIndices.Empty() && group.TexCoordIndices.Count() != n))
            in.Fail(QStringLiteral("normal or texture indices do not match the %1 vertex indices").arg(n));
        CheckIndices(in, group.NormalIndices, object.Normals.Count(), "normal index");
        CheckIndices(in, group.TexCoordIndices, object.TexCoords.Count(), "texture coordinate index");
    }
    else if (className == QLatin1String("TFGIndexTexCoordList"))
    {
        auto& group = groups.Add<TFGIndexTexCoordList>();
        in.Version(IndexTexCoordListVersion, "index and texture coordinate list");
        ReadVertexIndexList(in, group);
        in.FloatList(group.TexCoords, "face group texture coordinates");
        if (group.TexCoords.Count() != group.VertexIndices.Count())
            in.Fail(QStringLiteral("%1 texture coordinates for %2 indices")
                        .arg(group.TexCoords.Count())
                        .arg(group.VertexIndices.Count()));
    }
    else
        in.Fail(QStringLiteral("face group class \"%1\" is not known").arg(className));
}

void ReadMeshObject(TReader& in, TMeshObject& object)
{
    in.Version(MeshObjectVersion, "mesh object");
    ReadBaseMeshObject(in, object);
    const quint8 mode = in.U8("mesh object mode");
    if (mode > momFaceGroups)
        in.Fail(QStringLiteral("mesh object mode %1 is not known").arg(mode));
    object.SetMode(mode);
    in.FloatList(object.TexCoords, "texture coordinates");
    in.FloatList(object.LightMapTexCoords, "lightmap coordinates");
    in.FloatList(object.Colors, "colours");
    object.TangentsTexCoordIndex = in.I32("tangents set");
    object.BinormalsTexCoordIndex = in.I32("binormals set");
    object.RenderingOptions = in.U32("rendering options");
    // Each set takes at least its count's four bytes.
    const int sets = in.Count(4, "texture coordinate sets");
    for (int i = 0; i < sets; ++i)
        in.FloatList(object.ExtraTexCoords(i), "texture coordinate set");
    // Each group takes at least its class name's length.
    const int groups = in.Count(4, "face groups");
    for (int i = 0; i < groups; ++i)
        ReadFaceGroupOfAnyClass(in, object.FaceGroups());
}

// Morphing copies a target's vertices and normals over the object's, which
// its face groups index.
void CheckMorphTarget(TReader& in, const TMorphableMeshObject& object, const TBaseMeshObject& target, int index)
{
    if (target.Vertices.Count() != object.Vertices.Count() || target.Normals.Count() != object.Normals.Count())
        in.Fail(QStringLiteral("morph target %1 has %2 vertices and %3 normals, but its object %4 and %5")
                    .arg(index)
                    .arg(target.Vertices.Count())
                    .arg(target.Normals.Count())
                    .arg(object.Vertices.Count())
                    .arg(object.Normals.Count()));
}

void ReadMorphableMeshObject(TReader& in, TMorphableMeshObject& object)
{
    in.Version(MorphableMeshObjectVersion, "morphable mesh object");
    ReadMeshObject(in, object);
    const int targets = in.Count(4, "morph targets");
    for (int i = 0; i < targets; ++i)
    {
        TBaseMeshObject& target = object.MorphTargets.Add();
        ReadBaseMeshObject(in, target);
        CheckMorphTarget(in, object, target, i);
    }
}

// No model weights a vertex by more bones. The slots are checked even with no
// weighted vertex: they size the entries of every vertex added later.
constexpr quint32 MaxBoneSlots = 1024;

// Bone ids are kept as they are: skinning checks them against the skeleton
// of the moment.
void ReadBoneWeights(TReader& in, TSkeletonMeshObject& object)
{
    const quint32 boneSlots = in.U32("bone slots");
    const quint32 count = in.U32("weighted vertices");
    constexpr qsizetype EntrySize = 8;
    if (count > static_cast<quint32>(object.Vertices.Count()))
        in.Fail(QStringLiteral("%1 weighted vertices for %2 vertices").arg(count).arg(object.Vertices.Count()));
    if (boneSlots > 0 && static_cast<qsizetype>(count) > in.Left() / EntrySize / boneSlots)
        in.Fail(QStringLiteral("%1 weighted vertices of %2 bone slots pass the end of the file").arg(count).arg(boneSlots));
    if (boneSlots > MaxBoneSlots)
        in.Fail(QStringLiteral("%1 bone slots are more than the %2 a vertex may have").arg(boneSlots).arg(MaxBoneSlots));
    object.SetBoneSlots(static_cast<int>(boneSlots));
    object.SetBoneWeightsCapacity(static_cast<int>(count));
    TVertexBoneWeightDynArray entries(boneSlots);
    for (quint32 i = 0; i < count; ++i)
    {
        for (TVertexBoneWeight& entry : entries)
            entry = {in.I32("bone id"), in.F32("bone weight")};
        object.AppendBoneWeights(entries);
    }
}

// Binds the vertices to the pose of the moment when the mesh already has a
// skeleton to bind them to (a file added to a skinned mesh).
void BindToSkeleton(TReader& in, TSkeletonMeshObject& object, TGLBaseMesh* owner)
{
    if (!owner || owner->Skeleton().RootBones().Count() == 0 || owner->Skeleton().Frames().Count() == 0)
        return;
    owner->Skeleton().RootBones().UpdateGlobalMatrices();
    try
    {
        object.PrepareInvertedMeshes();
    }
    catch (const EInvalidVectorFile& e)
    {
        in.Fail(e.Message());
    }
}

void ReadSkeletonMeshObject(TReader& in, TSkeletonMeshObject& object)
{
    in.Version(SkeletonMeshObjectVersion, "skeleton mesh object");
    ReadMorphableMeshObject(in, object);
    ReadBoneWeights(in, object);
    BindToSkeleton(in, object, object.Owner()->Owner());
}

void ReadMeshObjectOfAnyClass(TReader& in, TMeshObjectList& objects)
{
    const QString className = in.String("mesh object class");
    if (className == QLatin1String("TMeshObject"))
        ReadMeshObject(in, objects.Add<TMeshObject>());
    else if (className == QLatin1String("TMorphableMeshObject"))
        ReadMorphableMeshObject(in, objects.Add<TMorphableMeshObject>());
    else if (className == QLatin1String("TSkeletonMeshObject"))
        ReadSkeletonMeshObject(in, objects.Add<TSkeletonMeshObject>());
    else
        in.Fail(QStringLiteral("mesh object class \"%1\" is not known").arg(className));
}
} // namespace

QByteArray WriteGLSM(const TMeshObjectList& objects)
{
    TWriter out;
    out.Data.append(Magic, sizeof Magic);
    out.U32(FileVersion);
    out.U32(MeshObjectListVersion);
    out.U32(static_cast<quint32>(objects.Count()));
    for (int i = 0; i < objects.Count(); ++i)
        WriteMeshObjectOfAnyClass(out, objects[i]);
    return out.Data;
}

void ReadGLSM(const QByteArray& data, const QString& sourceName, TMeshObjectList& objects)
{
    TReader in(data, sourceName);
    if (std::memcmp(in.Take(sizeof Magic, "the GLSM mark"), Magic, sizeof Magic) != 0)
        in.Fail(QStringLiteral("not a GLSM file"));
    in.Version(FileVersion, "file");
    in.Version(MeshObjectListVersion, "mesh object list");
    // Each object takes at least its class name's length.
    const int count = in.Count(4, "mesh objects");
    for (int i = 0; i < count; ++i)
        ReadMeshObjectOfAnyClass(in, objects);
}

void TGLGLSMVectorFile::LoadFromStream(QIODevice& stream)
{
    ReadGLSM(stream.readAll(), ResourceName(), Owner().MeshObjects());
}

void TGLGLSMVectorFile::SaveToStream(QIODevice& stream)
{
    const QByteArray data = WriteGLSM(Owner().MeshObjects());
    if (stream.write(data) != data.size())
        throw EFOpenError(QStringLiteral("Cannot write \"%1\". %2").arg(ResourceName(), stream.errorString()));
}
