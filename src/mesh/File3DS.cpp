#include "File3DS.h"

#include <QFile>
#include <QIODevice>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace {

constexpr uint16_t MeshDataTag = 0x3D3D;
constexpr uint16_t NamedObjectTag = 0x4000;
constexpr uint16_t HiddenTag = 0x4010;
constexpr uint16_t TriangleMeshTag = 0x4100;
constexpr uint16_t VertexListTag = 0x4110;
constexpr uint16_t FaceListTag = 0x4120;
constexpr uint16_t MaterialGroupTag = 0x4130;
constexpr uint16_t TexVertsTag = 0x4140;
constexpr uint16_t SmoothGroupTag = 0x4150;
constexpr uint16_t MeshMatrixTag = 0x4160;
constexpr uint16_t MaterialEntryTag = 0xAFFF;
constexpr uint16_t MaterialNameTag = 0xA000;
constexpr uint16_t MapFileNameTag = 0xA300;
constexpr uint16_t ExtraDataTag = 0x8001;
constexpr size_t HeaderSize = 6;

bool IsRootTag(uint16_t tag)
{
    return tag == TFile3DS::ModelFileTag || tag == TFile3DS::ProjectFileTag || tag == TFile3DS::MaterialLibraryTag;
}

enum class TOwnData { None, Fixed, String, StringPlus6, WordStringDword, FaceList, Whole };

struct TOwnDataSize
{
    TOwnData Kind;
    size_t Bytes = 0;
};

TOwnDataSize OwnDataOf(uint16_t tag)
{
    switch (tag) {
    case 0x1200: case 0x2100: case 0x2D2D: case 0x2D3D: case 0x3000: case 0x3D3D: case 0x3DAA: case 0x3DFF:
    case 0x4100: case 0x4D4D: case 0x8000: case 0x8001: case 0xA010: case 0xA020: case 0xA030: case 0xA040:
    case 0xA041: case 0xA042: case 0xA050: case 0xA052: case 0xA053: case 0xA084: case 0xA200: case 0xA204:
    case 0xA210: case 0xA220: case 0xA230: case 0xA33A: case 0xA33C: case 0xA33D: case 0xA33E: case 0xA340:
    case 0xA342: case 0xA344: case 0xA346: case 0xA348: case 0xA34A: case 0xA34C: case 0xAFFF: case 0xB000:
    case 0xB001: case 0xB002: case 0xB003: case 0xB004: case 0xB005: case 0xB006: case 0xB007: case 0xC23D:
        return {TOwnData::None};
    case 0x0030: case 0x1420: case 0x1430: case 0xB030:
        return {TOwnData::Fixed, 2};
    case 0x0011:
        return {TOwnData::Fixed, 3};
    case 0x0002: case 0x0031: case 0x0100: case 0x1300: case 0x1400: case 0x1410: case 0x3D3E: case 0xB009:
    case 0xB015: case 0xD000:
        return {TOwnData::Fixed, 4};
    case 0xB008:
        return {TOwnData::Fixed, 8};
    case 0x4641:
        return {TOwnData::Fixed, 10};
    case 0x0010: case 0x1500: case 0x4600: case 0xA310: case 0xB013:
        return {TOwnData::Fixed, 12};
    case 0x7001:
        return {TOwnData::Fixed, 14};
    case 0x2200: case 0x2300: case 0x2302: case 0x3010: case 0x3020: case 0x3030: case 0x3040: case 0x3050:
    case 0x3060:
        return {TOwnData::Fixed, 16};
    case 0x4610:
        return {TOwnData::Fixed, 20};
    case 0xB014:
        return {TOwnData::Fixed, 24};
    case 0x3070:
        return {TOwnData::Fixed, 28};
    case 0x4700:
        return {TOwnData::Fixed, 32};
    case 0x4160:
        return {TOwnData::Fixed, 48};
    case 0x1100: case 0x3080: case 0x4000: case 0x4181: case 0xA000: case 0xA300: case 0xB011:
        return {TOwnData::String};
    case 0xB010:
        return {TOwnData::StringPlus6};
    case 0xB00A:
        return {TOwnData::WordStringDword};
    case 0x4120:
        return {TOwnData::FaceList};
    default:
        return {TOwnData::Whole};
    }
}

QString Hex(uint16_t tag)
{
    return QStringLiteral("0x") + QString::number(tag, 16).rightJustified(4, QLatin1Char('0')).toUpper();
}

T3DSVector Subtract(const T3DSVector& a, const T3DSVector& b)
{
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z};
}

T3DSVector Cross(const T3DSVector& a, const T3DSVector& b)
{
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

void AddTo(T3DSVector& sum, const T3DSVector& v)
{
    sum.X += v.X;
    sum.Y += v.Y;
    sum.Z += v.Z;
}

// A degenerate face has a zero normal; it stays zero instead of becoming NaN.
void Normalize(T3DSVector& v)
{
    const float length = std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
    if (length > 0) {
        v.X /= length;
        v.Y /= length;
        v.Z /= length;
    }
}

} // namespace

// ---------------------------------------------------------------- loading

void TFile3DS::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw E3DSError(QStringLiteral("%1: cannot be opened: %2").arg(fileName, file.errorString()));
    LoadFromStream(file, fileName);
}

void TFile3DS::LoadFromStream(QIODevice& stream, const QString& fileName)
{
    LoadFromBytes(stream.readAll(), fileName);
}

void TFile3DS::LoadFromBytes(const QByteArray& bytes, const QString& fileName)
{
    Clear();
    FFileName = fileName;
    FReader.emplace(bytes, fileName);
    BuildTree();
}

void TFile3DS::Clear()
{
    FReader.reset();
    FChunks.clear();
    FCutChunks.clear();
    FMaterials.reset();
    FMeshObjects.clear();
    FMeshTriangles.clear();
    FMeshesListed = false;
    FMeshes.clear();
}

size_t TFile3DS::OwnDataSize(const T3DSChunk& chunk)
{
    const size_t dataSize = chunk.Length - HeaderSize;
    const TOwnDataSize own = OwnDataOf(chunk.Tag);
    // A string without its terminator leaves the chunk no room for sub-chunks.
    const auto afterString = [&](size_t from) -> size_t {
        TBinaryReader& reader = ReaderAt(chunk);
        if (from > reader.Remaining())
            return dataSize;
        reader.Skip(from, {});
        const std::optional<size_t> size = reader.PeekStringSize();
        return size ? from + *size : dataSize;
    };
    switch (own.Kind) {
    case TOwnData::None:
        return 0;
    case TOwnData::Fixed:
        return own.Bytes;
    case TOwnData::String:
        return afterString(0);
    case TOwnData::StringPlus6:
        return afterString(0) + 6;
    case TOwnData::WordStringDword:
        return afterString(2) + 4;
    case TOwnData::FaceList:
        if (dataSize < 2)
            return dataSize;
        return 2 + size_t{ReaderAt(chunk).ReadU16({})} * 8;
    case TOwnData::Whole:
        break;
    }
    return dataSize;
}

void TFile3DS::BuildTree()
{
    TBinaryReader& reader = *FReader;
    if (reader.Size() < HeaderSize)
        throw E3DSError(QStringLiteral("%1: the file holds %2 bytes, too few for a 3DS chunk header")
                            .arg(FFileName)
                            .arg(reader.Size()));
    reader.SeekWithin(0, HeaderSize);
    const uint16_t rootTag = reader.ReadU16({});
    const uint32_t rootLength = reader.ReadU32({});
    if (!IsRootTag(rootTag))
        return;
    if (rootLength < HeaderSize)
        throw E3DSError(QStringLiteral("%1: the root chunk claims %2 bytes, fewer than its own header")
                            .arg(FFileName)
                            .arg(rootLength));
    // Every chunk inside a root that runs past the file could be cut, so a
    // truncated file is refused instead of quietly losing its last objects.
    if (rootLength > reader.Size())
        throw E3DSError(QStringLiteral("%1: the root chunk claims %2 bytes but the file holds %3: the file is truncated")
                            .arg(FFileName)
                            .arg(rootLength)
                            .arg(reader.Size()));
    FChunks.push_back({rootTag, rootLength, 0});

    struct TPending
    {
        int Node;
        bool ExtraData;
    };
    // An explicit stack: nesting depth is bounded only by the file size, which
    // would be too deep for recursion on a hostile file.
    std::vector<TPending> pending{{0, false}};
    while (!pending.empty()) {
        const TPending parent = pending.back();
        pending.pop_back();
        const T3DSChunk chunk = FChunks[static_cast<size_t>(parent.Node)];
        const size_t end = chunk.Position + chunk.Length;
        const bool childrenExtra = parent.ExtraData || chunk.Tag == ExtraDataTag;
        size_t cursor = chunk.Position + HeaderSize + OwnDataSize(chunk);
        int previous = -1;
        while (cursor < end && end - cursor >= HeaderSize) {
            reader.SeekWithin(cursor, end);
            const uint16_t tag = reader.ReadU16({});
            const uint32_t length = reader.ReadU32({});
            // A length that cannot hold its header or runs past the parent
            // ends this branch: reading on would loop or leave the parent.
            if (length < HeaderSize || length > end - cursor) {
                FCutChunks.push_back({parent.Node, tag, length, cursor});
                break;
            }
            if (childrenExtra && (tag < 0x8002 || tag > 0x800F))
                break;
            const int node = static_cast<int>(FChunks.size());
            FChunks.push_back({tag, length, cursor});
            if (previous < 0)
                FChunks[static_cast<size_t>(parent.Node)].FirstChild = node;
            else
                FChunks[static_cast<size_t>(previous)].NextSibling = node;
            previous = node;
            pending.push_back({node, childrenExtra});
            cursor += length;
        }
    }
}

TBinaryReader& TFile3DS::ReaderAt(const T3DSChunk& chunk)
{
    FReader->SeekWithin(chunk.Position + HeaderSize, chunk.Position + chunk.Length);
    return *FReader;
}

QString TFile3DS::ChunkName(const T3DSChunk& chunk) const
{
    return QStringLiteral("chunk %1 at offset %2").arg(Hex(chunk.Tag)).arg(chunk.Position);
}

int TFile3DS::FindDepthFirst(int from, uint16_t tag) const
{
    if (from < 0)
        return -1;
    std::vector<int> stack{from};
    while (!stack.empty()) {
        const int node = stack.back();
        stack.pop_back();
        const T3DSChunk& chunk = FChunks[static_cast<size_t>(node)];
        if (chunk.Tag == tag)
            return node;
        // Children go on in reverse so that the first child is visited first.
        const size_t mark = stack.size();
        for (int child = chunk.FirstChild; child >= 0; child = FChunks[static_cast<size_t>(child)].NextSibling)
            stack.push_back(child);
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(mark), stack.end());
    }
    return -1;
}

int TFile3DS::FindChild(int parent, uint16_t tag) const
{
    for (int child = FChunks[static_cast<size_t>(parent)].FirstChild; child >= 0;
         child = FChunks[static_cast<size_t>(child)].NextSibling)
        if (FChunks[static_cast<size_t>(child)].Tag == tag)
            return child;
    return -1;
}

QString TFile3DS::DecodeString(int chunk, const QString& what)
{
    const T3DSChunk& node = FChunks[static_cast<size_t>(chunk)];
    return ReaderAt(node).ReadString([&] { return QStringLiteral("%1 in %2").arg(what, ChunkName(node)); });
}

void TFile3DS::FailStructure() const
{
    throw E3DSError(QStringLiteral("An invalid Chunk structure was encountered while reading\r"
                                   "the database. Usually caused by a corrupt database or file."));
}

// ---------------------------------------------------------------- materials

void TFile3DS::ListMaterials()
{
    if (FMaterials)
        return;
    std::vector<T3DSMaterial> materials;
    if (!FChunks.empty()) {
        int library = FindDepthFirst(0, MeshDataTag);
        if (library < 0)
            library = FindDepthFirst(0, MaterialLibraryTag);
        if (library >= 0)
            for (int entry = FChunks[static_cast<size_t>(library)].FirstChild; entry >= 0;
                 entry = FChunks[static_cast<size_t>(entry)].NextSibling)
                if (FChunks[static_cast<size_t>(entry)].Tag == MaterialEntryTag)
                    materials.push_back(DecodeMaterial(entry));
    }
    FMaterials = std::move(materials);
}

int TFile3DS::MaterialCount()
{
    ListMaterials();
    return static_cast<int>(FMaterials->size());
}

const T3DSMaterial& TFile3DS::Material(int index)
{
    ListMaterials();
    if (index < 0 || index >= static_cast<int>(FMaterials->size()))
        throw E3DSError(QStringLiteral("Invalid index %1.").arg(index));
    return (*FMaterials)[static_cast<size_t>(index)];
}

const T3DSMaterial* TFile3DS::FindMaterial(const QString& name)
{
    ListMaterials();
    for (const T3DSMaterial& material : *FMaterials)
        if (material.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &material;
    return nullptr;
}

T3DSMaterial TFile3DS::DecodeMaterial(int entry)
{
    T3DSMaterial material;
    bool shadingOff = false;
    for (int child = FChunks[static_cast<size_t>(entry)].FirstChild; child >= 0;
         child = FChunks[static_cast<size_t>(child)].NextSibling) {
        const T3DSChunk& chunk = FChunks[static_cast<size_t>(child)];
        const uint16_t tag = chunk.Tag;
        switch (tag) {
        case MaterialNameTag:
            material.Name = DecodeString(child, QStringLiteral("a material name"));
            break;
        case 0xA010:
            material.Ambient = DecodeColor(child);
            break;
        case 0xA020:
            material.Diffuse = DecodeColor(child);
            break;
        case 0xA030:
            material.Specular = DecodeColor(child);
            break;
        case 0xA040:
            material.Shininess = DecodePercent(child);
            break;
        case 0xA041:
            material.ShininessStrength = DecodePercent(child);
            break;
        case 0xA050:
            material.Transparency = DecodePercent(child);
            break;
        case 0xA084:
            material.SelfIllumination = DecodePercent(child);
            break;
        case 0xA087:
            material.WireSize = ReaderAt(chunk).ReadFloat([&] { return QStringLiteral("a wire size in %1").arg(ChunkName(chunk)); });
            break;
        case 0xA100:
            material.Shading = ReaderAt(chunk).ReadI16([&] { return QStringLiteral("a shading mode in %1").arg(ChunkName(chunk)); });
            break;
        case 0xA085:
            shadingOff = true;
            break;
        case 0xA200:
            material.Texture = DecodeMap(child);
            break;
        case 0xA33D:
            material.SelfIlluminationMap = DecodeMap(child);
            break;
        // Known but not needed by the conversion.
        case 0xA052: case 0xA053: case 0xA08A:
        case 0xA080: case 0xA081: case 0xA083: case 0xA088: case 0xA08C: case 0xA08E: case 0xA240: case 0xA250:
        case 0xA33A: case 0xA210: case 0xA230: case 0xA204: case 0xA33C: case 0xA220: case 0xA33E: case 0xA340:
        case 0xA342: case 0xA344: case 0xA348: case 0xA346: case 0xA34A: case 0xA34C: case 0xA252: case 0xA310:
        case 0xA320: case 0xA321: case 0xA322: case 0xA324: case 0xA325: case 0xA326: case 0xA328: case 0xA32A:
        case 0xA32C: case 0xA32E: case 0xA330: case 0xA332: case 0xA334: case 0xA336: case 0xA338:
        case 0xA042: case 0xA082:
            break;
        default:
            if (tag < 0x8000 || tag > 0x80FF)
                FailStructure();
        }
    }
    if (shadingOff)
        material.Shading = 0;
    return material;
}

T3DSColor TFile3DS::DecodeColor(int container)
{
    std::optional<T3DSColor> byteColor, floatColor, linearColor;
    for (int child = FChunks[static_cast<size_t>(container)].FirstChild; child >= 0;
         child = FChunks[static_cast<size_t>(child)].NextSibling) {
        const T3DSChunk& chunk = FChunks[static_cast<size_t>(child)];
        const auto what = [&] { return QStringLiteral("a colour in %1").arg(ChunkName(chunk)); };
        if (chunk.Tag == 0x0010) {
            TBinaryReader& reader = ReaderAt(chunk);
            T3DSColor color;
            color.R = reader.ReadFloat(what);
            color.G = reader.ReadFloat(what);
            color.B = reader.ReadFloat(what);
            floatColor = color;
        } else if (chunk.Tag == 0x0011 || chunk.Tag == 0x0012) {
            TBinaryReader& reader = ReaderAt(chunk);
            T3DSColor color;
            color.R = reader.ReadU8(what) / 255.0f;
            color.G = reader.ReadU8(what) / 255.0f;
            color.B = reader.ReadU8(what) / 255.0f;
            (chunk.Tag == 0x0011 ? byteColor : linearColor) = color;
        }
    }
    return linearColor ? *linearColor : floatColor ? *floatColor : byteColor.value_or(T3DSColor{});
}

float TFile3DS::DecodePercent(int container)
{
    std::optional<float> integerPercent, floatPercent;
    for (int child = FChunks[static_cast<size_t>(container)].FirstChild; child >= 0;
         child = FChunks[static_cast<size_t>(child)].NextSibling) {
        const T3DSChunk& chunk = FChunks[static_cast<size_t>(child)];
        const auto what = [&] { return QStringLiteral("a percentage in %1").arg(ChunkName(chunk)); };
        if (chunk.Tag == 0x0030)
            integerPercent = ReaderAt(chunk).ReadI16(what) / 100.0f;
        else if (chunk.Tag == 0x0031)
            floatPercent = ReaderAt(chunk).ReadFloat(what);
    }
    return floatPercent ? *floatPercent : integerPercent.value_or(0.0f);
}

T3DSMap TFile3DS::DecodeMap(int container)
{
    T3DSMap map;
    const int fileName = FindChild(container, MapFileNameTag);
    if (fileName >= 0)
        map.FileName = DecodeString(fileName, QStringLiteral("a map file name"));
    map.Percent = DecodePercent(container);
    return map;
}

// ---------------------------------------------------------------- meshes

void TFile3DS::ListMeshes()
{
    if (FMeshesListed)
        return;
    FMeshesListed = true;
    if (FChunks.empty())
        return;
    const int meshData = FindDepthFirst(0, MeshDataTag);
    for (int object = FindDepthFirst(meshData, NamedObjectTag); object >= 0;
         object = FChunks[static_cast<size_t>(object)].NextSibling) {
        if (FChunks[static_cast<size_t>(object)].Tag != NamedObjectTag)
            continue;
        const int triangles = FindDepthFirst(object, TriangleMeshTag);
        if (triangles >= 0) {
            FMeshObjects.push_back(object);
            FMeshTriangles.push_back(triangles);
        }
    }
    FMeshes.resize(FMeshObjects.size());
}

int TFile3DS::MeshCount()
{
    if (FChunks.empty())
        return 0;
    ListMeshes();
    return static_cast<int>(FMeshObjects.size());
}

const T3DSMesh& TFile3DS::Mesh(int index)
{
    if (FChunks.empty())
        throw E3DSError(QStringLiteral("The database passed as an argument has not be created yet."));
    if (FChunks[0].Tag != ModelFileTag && FChunks[0].Tag != ProjectFileTag)
        throw E3DSError(QStringLiteral("The database passed as an argument is the wrong kind of\r"
                                       "database for this function."));
    ListMeshes();
    if (index < 0 || index >= static_cast<int>(FMeshObjects.size()))
        throw E3DSError(QStringLiteral("Invalid index %1.").arg(index));
    std::optional<T3DSMesh>& mesh = FMeshes[static_cast<size_t>(index)];
    if (!mesh)
        mesh = DecodeMesh(FMeshObjects[static_cast<size_t>(index)], FMeshTriangles[static_cast<size_t>(index)]);
    return *mesh;
}

T3DSMesh TFile3DS::DecodeMesh(int namedObject, int triangleMesh)
{
    T3DSMesh mesh;
    mesh.Name = DecodeString(namedObject, QStringLiteral("an object name"));
    mesh.Hidden = FindChild(namedObject, HiddenTag) >= 0;
    // Vertices first: face corners are checked against them as they are read.
    if (const int vertices = FindChild(triangleMesh, VertexListTag); vertices >= 0)
        DecodeVertices(vertices, mesh);
    if (const int texVerts = FindChild(triangleMesh, TexVertsTag); texVerts >= 0)
        DecodeTexCoords(texVerts, mesh);
    if (const int matrix = FindChild(triangleMesh, MeshMatrixTag); matrix >= 0)
        DecodeMatrix(matrix, mesh);
    if (const int faces = FindChild(triangleMesh, FaceListTag); faces >= 0) {
        DecodeFaces(faces, mesh);
        for (int child = FChunks[static_cast<size_t>(faces)].FirstChild; child >= 0;
             child = FChunks[static_cast<size_t>(child)].NextSibling)
            if (FChunks[static_cast<size_t>(child)].Tag == MaterialGroupTag)
                DecodeMaterialGroup(child, mesh);
        if (const int smoothing = FindChild(faces, SmoothGroupTag); smoothing >= 0)
            DecodeSmoothing(smoothing, mesh);
    }
    return mesh;
}

void TFile3DS::DecodeVertices(int chunk, T3DSMesh& mesh)
{
    const T3DSChunk& node = FChunks[static_cast<size_t>(chunk)];
    TBinaryReader& reader = ReaderAt(node);
    const auto what = [&] { return QStringLiteral("vertices in %1").arg(ChunkName(node)); };
    const uint16_t count = reader.ReadU16(what);
    reader.RequireItems(count, 12, what);
    mesh.Vertices.resize(count);
    for (T3DSVector& vertex : mesh.Vertices) {
        vertex.X = reader.ReadFloat(what);
        vertex.Y = reader.ReadFloat(what);
        vertex.Z = reader.ReadFloat(what);
    }
}

void TFile3DS::DecodeTexCoords(int chunk, T3DSMesh& mesh)
{
    const T3DSChunk& node = FChunks[static_cast<size_t>(chunk)];
    TBinaryReader& reader = ReaderAt(node);
    const auto what = [&] { return QStringLiteral("texture vertices in %1").arg(ChunkName(node)); };
    const uint16_t count = reader.ReadU16(what);
    reader.RequireItems(count, 8, what);
    mesh.TexCoords.resize(count);
    for (T3DSTexPoint& point : mesh.TexCoords) {
        point.S = reader.ReadFloat(what);
        point.T = reader.ReadFloat(what);
    }
}

void TFile3DS::DecodeMatrix(int chunk, T3DSMesh& mesh)
{
    const T3DSChunk& node = FChunks[static_cast<size_t>(chunk)];
    TBinaryReader& reader = ReaderAt(node);
    const auto what = [&] { return QStringLiteral("a mesh matrix in %1").arg(ChunkName(node)); };
    mesh.Matrix.resize(12);
    for (float& value : mesh.Matrix)
        value = reader.ReadFloat(what);
}

void TFile3DS::DecodeFaces(int chunk, T3DSMesh& mesh)
{
    const T3DSChunk& node = FChunks[static_cast<size_t>(chunk)];
    TBinaryReader& reader = ReaderAt(node);
    const auto what = [&] { return QStringLiteral("faces in %1").arg(ChunkName(node)); };
    const uint16_t count = reader.ReadU16(what);
    reader.RequireItems(count, 8, what);
    mesh.Faces.resize(count);
    const size_t vertexCount = mesh.Vertices.size();
    const auto corner = [&] {
        const size_t offset = reader.Position();
        const uint16_t index = reader.ReadU16(what);
        if (index >= vertexCount)
            reader.FailAt(offset, QStringLiteral("a vertex index below %1 in %2, not %3")
                                      .arg(vertexCount)
                                      .arg(ChunkName(node))
                                      .arg(index));
        return index;
    };
    for (T3DSFace& face : mesh.Faces) {
        face.A = corner();
        face.B = corner();
        face.C = corner();
        face.Flags = reader.ReadU16(what);
    }
}

void TFile3DS::DecodeMaterialGroup(int chunk, T3DSMesh& mesh)
{
    const T3DSChunk& node = FChunks[static_cast<size_t>(chunk)];
    TBinaryReader& reader = ReaderAt(node);
    const auto what = [&] { return QStringLiteral("a material group in %1").arg(ChunkName(node)); };
    T3DSMaterialGroup group;
    group.MaterialName = reader.ReadString(what);
    const uint16_t count = reader.ReadU16(what);
    reader.RequireItems(count, 2, what);
    group.Faces.resize(count);
    for (uint16_t& face : group.Faces) {
        const size_t offset = reader.Position();
        face = reader.ReadU16(what);
        if (face >= mesh.Faces.size())
            reader.FailAt(offset, QStringLiteral("a face index below %1 in %2, not %3")
                                      .arg(mesh.Faces.size())
                                      .arg(ChunkName(node))
                                      .arg(face));
    }
    if (!FindMaterial(group.MaterialName))
        throw E3DSError(QStringLiteral("%1: object \"%2\" uses material \"%3\", which the file does not define (%4)")
                            .arg(FFileName, mesh.Name, group.MaterialName, ChunkName(node)));
    mesh.MaterialGroups.push_back(std::move(group));
}

void TFile3DS::DecodeSmoothing(int chunk, T3DSMesh& mesh)
{
    const T3DSChunk& node = FChunks[static_cast<size_t>(chunk)];
    TBinaryReader& reader = ReaderAt(node);
    const auto what = [&] { return QStringLiteral("smoothing groups in %1").arg(ChunkName(node)); };
    mesh.HasSmoothingGroups = true;
    mesh.SmoothingGroups.resize(reader.Remaining() / 4);
    for (uint32_t& group : mesh.SmoothingGroups)
        group = reader.ReadU32(what);
}

// ---------------------------------------------------------------- conversion

namespace {

// Per-vertex smoothing state. The 32 representatives of a vertex are only
// allocated once a smoothed face uses it, so flat meshes pay nothing for them.
class TSmoother
{
public:
    TSmoother(T3DSConvertedMesh& out, size_t vertexCount, bool smoothed)
        : FOut(out), FUsed(vertexCount, 0), FBlock(vertexCount, -1)
    {
        // At most one block per file vertex: reserved once instead of moved
        // on every growth.
        if (smoothed)
            FBlocks.reserve(vertexCount);
    }

    bool Used(int vertex) const { return FUsed[static_cast<size_t>(vertex)] != 0; }

    void FirstUse(int vertex, const T3DSVector& normal)
    {
        FOut.Normals[static_cast<size_t>(vertex)] = normal;
        FUsed[static_cast<size_t>(vertex)] = 1;
    }

    int Copy(int vertex, const T3DSVector& normal)
    {
        const int copy = static_cast<int>(FOut.Vertices.size());
        FOut.Vertices.push_back(FOut.Vertices[static_cast<size_t>(vertex)]);
        FOut.Normals.push_back(normal);
        if (!FOut.TexCoords.empty())
            FOut.TexCoords.push_back(FOut.TexCoords[static_cast<size_t>(vertex)]);
        return copy;
    }

    int Representative(int vertex, int bit) const
    {
        const int block = FBlock[static_cast<size_t>(vertex)];
        return block < 0 ? -1 : FBlocks[static_cast<size_t>(block)][static_cast<size_t>(bit)];
    }

    void SetRepresentative(int vertex, int bit, int representative)
    {
        int& block = FBlock[static_cast<size_t>(vertex)];
        if (block < 0) {
            block = static_cast<int>(FBlocks.size());
            FBlocks.emplace_back();
            FBlocks.back().fill(-1);
        }
        FBlocks[static_cast<size_t>(block)][static_cast<size_t>(bit)] = representative;
    }

private:
    T3DSConvertedMesh& FOut;
    std::vector<uint8_t> FUsed;
    std::vector<int> FBlock;
    std::vector<std::array<int, 32>> FBlocks;
};

// Only called for a non-zero group.
int LowestSetBit(uint32_t group)
{
    return std::countr_zero(group);
}

// Returns the vertex the corner ends up on.
int PlaceCorner(TSmoother& smoother, T3DSConvertedMesh& out, int vertex, const T3DSVector& normal, bool smoothed,
                uint32_t group)
{
    if (!smoother.Used(vertex)) {
        smoother.FirstUse(vertex, normal);
        if (smoothed && group != 0)
            smoother.SetRepresentative(vertex, LowestSetBit(group), vertex);
        return vertex;
    }
    if (!smoothed || group == 0)
        return smoother.Copy(vertex, normal);
    const int bit = LowestSetBit(group);
    if (const int representative = smoother.Representative(vertex, bit); representative >= 0) {
        AddTo(out.Normals[static_cast<size_t>(representative)], normal);
        return representative;
    }
    // The copy would also become its own representative, but corners only ever
    // name the file's vertices, never a copy, so that entry is never looked up.
    const int copy = smoother.Copy(vertex, normal);
    smoother.SetRepresentative(vertex, bit, copy);
    return copy;
}

} // namespace

std::optional<T3DSConvertedMesh> Convert3DSMesh(const T3DSMesh& mesh, bool invertNormals)
{
    if (mesh.Hidden || mesh.Vertices.size() < 3)
        return std::nullopt;
    T3DSConvertedMesh out;
    out.Name = mesh.Name;
    out.Vertices = mesh.Vertices;
    out.Normals.resize(mesh.Vertices.size());
    if (!mesh.TexCoords.empty()) {
        // Vertices beyond the stored texture vertices get (0, 0).
        out.TexCoords.resize(mesh.Vertices.size());
        const size_t stored = std::min(mesh.TexCoords.size(), mesh.Vertices.size());
        for (size_t i = 0; i < stored; ++i)
            out.TexCoords[i] = {mesh.TexCoords[i].S, mesh.TexCoords[i].T, 0};
    }

    std::vector<std::array<int, 3>> corners(mesh.Faces.size());
    TSmoother smoother(out, mesh.Vertices.size(), mesh.HasSmoothingGroups);
    for (size_t f = 0; f < mesh.Faces.size(); ++f) {
        const T3DSFace& face = mesh.Faces[f];
        const T3DSVector& a = mesh.Vertices[face.A];
        const T3DSVector& b = mesh.Vertices[face.B];
        const T3DSVector& c = mesh.Vertices[face.C];
        const T3DSVector normal = invertNormals ? Cross(Subtract(a, b), Subtract(c, b)) : Cross(Subtract(c, b), Subtract(a, b));
        const uint32_t group = f < mesh.SmoothingGroups.size() ? mesh.SmoothingGroups[f] : 0;
        corners[f] = {PlaceCorner(smoother, out, face.A, normal, mesh.HasSmoothingGroups, group),
                      PlaceCorner(smoother, out, face.B, normal, mesh.HasSmoothingGroups, group),
                      PlaceCorner(smoother, out, face.C, normal, mesh.HasSmoothingGroups, group)};
    }
    for (T3DSVector& normal : out.Normals)
        Normalize(normal);

    const auto appendFace = [&](T3DSConvertedMesh::TGroup& group, size_t face) {
        group.Indices.insert(group.Indices.end(), corners[face].begin(), corners[face].end());
    };
    if (mesh.MaterialGroups.empty()) {
        T3DSConvertedMesh::TGroup& all = out.Groups.emplace_back();
        all.Indices.reserve(corners.size() * 3);
        for (size_t f = 0; f < corners.size(); ++f)
            appendFace(all, f);
    } else {
        for (const T3DSMaterialGroup& materialGroup : mesh.MaterialGroups) {
            T3DSConvertedMesh::TGroup& group = out.Groups.emplace_back();
            group.MaterialName = materialGroup.MaterialName;
            group.Indices.reserve(materialGroup.Faces.size() * 3);
            for (const uint16_t face : materialGroup.Faces)
                appendFace(group, face);
        }
    }
    return out;
}

std::vector<T3DSConvertedMesh> Convert3DSMeshes(TFile3DS& file, bool invertNormals)
{
    std::vector<T3DSConvertedMesh> meshes;
    for (int i = 0; i < file.MeshCount(); ++i)
        if (std::optional<T3DSConvertedMesh> mesh = Convert3DSMesh(file.Mesh(i), invertNormals))
            meshes.push_back(std::move(*mesh));
    return meshes;
}
