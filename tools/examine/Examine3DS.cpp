#include "Examine3DS.h"

#include "ChunkNames3DS.h"
#include "File3DS.h"

#include <QtEndian>

#include <algorithm>
#include <set>
#include <vector>

namespace
{
constexpr size_t HeaderSize = 6;
constexpr uint16_t NamedObjectTag = 0x4000;
constexpr uint16_t MaterialNameTag = 0xA000;
constexpr uint16_t MapFileNameTag = 0xA300;
constexpr uint16_t InstanceNameTag = 0xB011;
// Each step of naming a cut chunk reads the file again; nesting is never
// deeper than this in a real file.
constexpr int MaxCutDepth = 64;

QString ChunkWhere(const uint16_t tag, const size_t position)
{
    const QString name = ChunkName3DS(tag).value_or(QString());
    return QStringLiteral("chunk %1%2 at offset %3")
        .arg(ChunkTagText(tag), name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name))
        .arg(position);
}

QString ChunkWhere(const T3DSChunk& chunk)
{
    return ChunkWhere(chunk.Tag, chunk.Position);
}

bool HoldsName(const uint16_t tag)
{
    return tag == NamedObjectTag || tag == MaterialNameTag || tag == MapFileNameTag || tag == InstanceNameTag;
}

// The name a chunk starts with, or nothing when it has none or it is cut;
// the reader says what is wrong with it when it decodes it.
std::optional<QString> LabelOf(const QByteArray& bytes, const QString& fileName, const T3DSChunk& chunk)
{
    if (!HoldsName(chunk.Tag))
        return std::nullopt;
    TBinaryReader reader(bytes, fileName);
    reader.SeekWithin(chunk.Position + HeaderSize, chunk.Position + chunk.Length);
    try
    {
        return reader.ReadString(QString());
    }
    catch (const EReadError&)
    {
        return std::nullopt;
    }
}

QJsonObject DescribeChunk(const T3DSChunk& chunk, const int depth, const QByteArray& bytes, const QString& fileName)
{
    const std::optional<QString> name = ChunkName3DS(chunk.Tag);
    QJsonObject entry{{QStringLiteral("tag"), ChunkTagText(chunk.Tag)},
                      {QStringLiteral("name"), name.value_or(QString())},
                      {QStringLiteral("offset"), static_cast<qint64>(chunk.Position)},
                      {QStringLiteral("length"), static_cast<qint64>(chunk.Length)},
                      {QStringLiteral("depth"), depth}};
    if (const std::optional<QString> label = LabelOf(bytes, fileName, chunk))
        entry.insert(QStringLiteral("label"), *label);
    if (!name)
        entry.insert(QStringLiteral("unknown"), true);
    return entry;
}

// Depth first, in file order, without recursion: the nesting of a hostile
// file is bounded only by its size.
void ListChunks(const TFile3DS& file, const QByteArray& bytes, const QString& fileName, TInspection& inspection)
{
    const std::vector<T3DSChunk>& chunks = file.Chunks();
    QJsonArray list;
    struct TVisit
    {
        int Node;
        int Parent;
        int Depth;
    };
    std::vector<TVisit> stack{{0, -1, 0}};
    std::vector<int> children;
    while (!stack.empty())
    {
        const TVisit visit = stack.back();
        stack.pop_back();
        const T3DSChunk& chunk = chunks[static_cast<size_t>(visit.Node)];
        list.append(DescribeChunk(chunk, visit.Depth, bytes, fileName));
        // Root tags are always known, so an unknown chunk has a parent.
        if (!ChunkName3DS(chunk.Tag) && visit.Parent >= 0)
            inspection.Warn(QStringLiteral("unknown %1 (%2 bytes) in %3: the reader skips it")
                                .arg(ChunkWhere(chunk))
                                .arg(chunk.Length)
                                .arg(ChunkWhere(chunks[static_cast<size_t>(visit.Parent)])));
        children.clear();
        for (int child = chunk.FirstChild; child >= 0; child = chunks[static_cast<size_t>(child)].NextSibling)
            children.push_back(child);
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.push_back({*child, visit.Node, visit.Depth + 1});
    }
    inspection.Facts().insert(QStringLiteral("chunks"), list);
}

void ReportCutChunks(const TFile3DS& file, TInspection& inspection)
{
    for (const T3DSCutChunk& cut : file.CutChunks())
    {
        const T3DSChunk& parent = file.Chunks()[static_cast<size_t>(cut.Parent)];
        const size_t room = parent.Position + parent.Length - cut.Position;
        inspection.Warn(QStringLiteral("%1 claims %2 bytes but only %3 are left in %4: the reader ignores it and "
                                       "everything after it in that chunk")
                            .arg(ChunkWhere(cut.Tag, cut.Position))
                            .arg(cut.Length)
                            .arg(room)
                            .arg(ChunkWhere(parent)));
    }
}

void PatchLength(QByteArray& bytes, const size_t position, const uint32_t length)
{
    qToLittleEndian(length, bytes.data() + position + 2);
}

// The reader refuses a file cut short as a whole. Shortening, one chunk at a
// time, the lengths that run past the end lets the same walk go on down to
// the innermost chunk the cut falls in.
void NameTruncatedChunks(const QByteArray& bytes, const QString& fileName, TInspection& inspection)
{
    const size_t size = static_cast<size_t>(bytes.size());
    if (size < HeaderSize || qFromLittleEndian<uint32_t>(bytes.constData() + 2) <= size)
        return;
    QByteArray patched = bytes;
    PatchLength(patched, 0, static_cast<uint32_t>(size));
    QStringList chain{ChunkWhere(qFromLittleEndian<uint16_t>(bytes.constData()), 0)};
    size_t innermost = 0;
    for (int depth = 0; depth < MaxCutDepth; ++depth)
    {
        TFile3DS file;
        try
        {
            file.LoadFromBytes(patched, fileName);
        }
        catch (const EReadError&)
        {
            break;
        }
        const auto cut = std::find_if(file.CutChunks().begin(), file.CutChunks().end(),
                                      [&](const T3DSCutChunk& c) { return c.Position + c.Length > size; });
        if (cut == file.CutChunks().end() || size - cut->Position < HeaderSize)
            break;
        chain.prepend(ChunkWhere(cut->Tag, cut->Position));
        innermost = cut->Position;
        PatchLength(patched, cut->Position, static_cast<uint32_t>(size - cut->Position));
    }
    const uint32_t claimed = qFromLittleEndian<uint32_t>(bytes.constData() + innermost + 2);
    inspection.Fail(QStringLiteral("the file ends inside %1, which claims %2 bytes but has %3 (%4)")
                        .arg(chain.first())
                        .arg(claimed)
                        .arg(size - innermost)
                        .arg(chain.size() > 1 ? QStringLiteral("within ") + chain.mid(1).join(QStringLiteral(", within "))
                                              : QStringLiteral("the root chunk")));
}

void ListMaterials(TFile3DS& file, TInspection& inspection)
{
    QJsonArray materials;
    try
    {
        for (int i = 0; i < file.MaterialCount(); ++i)
        {
            const T3DSMaterial& material = file.Material(i);
            QJsonObject entry{{QStringLiteral("name"), material.Name}};
            if (!material.Texture.FileName.isEmpty())
                entry.insert(QStringLiteral("texture"), material.Texture.FileName);
            materials.append(entry);
        }
    }
    catch (const Exception& e)
    {
        inspection.Fail(QStringLiteral("materials: ") + e.Message());
    }
    inspection.Facts().insert(QStringLiteral("materials"), materials);
}

QJsonArray SmoothingGroupsOf(const T3DSMesh& mesh)
{
    std::set<int> bits;
    for (const uint32_t groups : mesh.SmoothingGroups)
        for (int bit = 0; bit < 32; ++bit)
            if (groups & (uint32_t{1} << bit))
                bits.insert(bit + 1);
    QJsonArray list;
    for (const int bit : bits)
        list.append(bit);
    return list;
}

void CheckFaces(const T3DSMesh& mesh, TInspection& inspection)
{
    QList<int> degenerate;
    QString firstReason;
    for (size_t f = 0; f < mesh.Faces.size(); ++f)
    {
        const T3DSFace& face = mesh.Faces[f];
        const auto corner = [&](const uint16_t index) {
            const T3DSVector& v = mesh.Vertices[index];
            return TCorner{v.X, v.Y, v.Z};
        };
        const QString reason = DegenerateReason({face.A, face.B, face.C}, {corner(face.A), corner(face.B), corner(face.C)});
        if (reason.isEmpty())
            continue;
        if (degenerate.isEmpty())
            firstReason = reason;
        degenerate.append(static_cast<int>(f));
    }
    if (!degenerate.isEmpty())
        inspection.Warn(QStringLiteral("object \"%1\": %2 degenerate faces (face %3 %4): faces %5")
                            .arg(mesh.Name)
                            .arg(degenerate.size())
                            .arg(degenerate.first())
                            .arg(firstReason, ListSome(degenerate)));
}

// With material groups, the reader draws only the faces they list.
void CheckUngroupedFaces(const T3DSMesh& mesh, TInspection& inspection)
{
    if (mesh.MaterialGroups.empty())
        return;
    std::vector<bool> grouped(mesh.Faces.size(), false);
    for (const T3DSMaterialGroup& group : mesh.MaterialGroups)
        for (const uint16_t face : group.Faces)
            grouped[face] = true;
    QList<int> left;
    for (size_t f = 0; f < grouped.size(); ++f)
        if (!grouped[f])
            left.append(static_cast<int>(f));
    if (!left.isEmpty())
        inspection.Warn(QStringLiteral("object \"%1\": %2 faces are in no material group and are not drawn: faces %3")
                            .arg(mesh.Name)
                            .arg(left.size())
                            .arg(ListSome(left)));
}

QJsonObject DescribeMesh(const T3DSMesh& mesh)
{
    QJsonArray groups;
    for (const T3DSMaterialGroup& group : mesh.MaterialGroups)
        groups.append(QJsonObject{{QStringLiteral("material"), group.MaterialName},
                                  {QStringLiteral("faces"), static_cast<int>(group.Faces.size())}});
    QJsonObject entry{{QStringLiteral("name"), mesh.Name},
                      {QStringLiteral("vertices"), static_cast<int>(mesh.Vertices.size())},
                      {QStringLiteral("faces"), static_cast<int>(mesh.Faces.size())},
                      {QStringLiteral("textureVertices"), static_cast<int>(mesh.TexCoords.size())},
                      {QStringLiteral("smoothingGroups"), SmoothingGroupsOf(mesh)},
                      {QStringLiteral("materialGroups"), groups}};
    if (mesh.Hidden)
        entry.insert(QStringLiteral("skipped"), QStringLiteral("hidden"));
    else if (mesh.Vertices.size() < 3)
        entry.insert(QStringLiteral("skipped"), QStringLiteral("fewer than 3 vertices"));
    return entry;
}

void ListObjects(TFile3DS& file, TInspection& inspection)
{
    QJsonArray objects;
    for (int i = 0; i < file.MeshCount(); ++i)
    {
        try
        {
            const T3DSMesh& mesh = file.Mesh(i);
            objects.append(DescribeMesh(mesh));
            CheckFaces(mesh, inspection);
            CheckUngroupedFaces(mesh, inspection);
        }
        catch (const Exception& e)
        {
            inspection.Fail(QStringLiteral("object %1: %2").arg(i).arg(e.Message()));
        }
    }
    inspection.Facts().insert(QStringLiteral("objects"), objects);
}
} // namespace

TInspection Inspect3DS(const QByteArray& bytes, const QString& fileName)
{
    TInspection inspection(fileName, QStringLiteral("3ds"));
    inspection.Facts().insert(QStringLiteral("bytes"), static_cast<qint64>(bytes.size()));
    TFile3DS file;
    try
    {
        file.LoadFromBytes(bytes, fileName);
    }
    catch (const Exception& e)
    {
        inspection.Fail(e.Message());
        NameTruncatedChunks(bytes, fileName, inspection);
        return inspection;
    }
    if (file.Chunks().empty())
    {
        inspection.Fail(QStringLiteral("%1: the file starts with chunk %2, not a model, project or material library: "
                                       "the reader finds nothing in it")
                            .arg(fileName, ChunkTagText(qFromLittleEndian<uint16_t>(bytes.constData()))));
        return inspection;
    }
    ListChunks(file, bytes, fileName, inspection);
    ReportCutChunks(file, inspection);
    ListMaterials(file, inspection);
    ListObjects(file, inspection);
    return inspection;
}
