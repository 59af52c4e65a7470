#include "MD2.h"

#include <QFile>
#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>

namespace
{
constexpr std::int64_t HeaderSize = 68;
constexpr std::int32_t Magic = 0x32504449; // "IDP2" read as a little-endian integer
constexpr std::int32_t SupportedVersion = 8;
constexpr std::int64_t SkinNameSize = 64;
constexpr std::int64_t TexCoordSize = 4;
constexpr std::int64_t TriangleSize = 12;
constexpr std::int64_t FrameNameSize = 16;
constexpr std::int64_t FrameHeaderSize = 24 + FrameNameSize;
constexpr std::int64_t FrameVertexSize = 4;
constexpr std::int64_t GLCommandSize = 4;
// Triangles index with 16 bits, so larger tables cannot be reached.
constexpr std::int64_t MaxIndexedCount = 65536;
// Far above what the format's own tools write, and low enough that the
// tables, the pairing of corners and the normals of every frame stay small
// and quick for any file.
constexpr std::int64_t MaxSkins = 256;
constexpr std::int64_t MaxTriangles = 1 << 18;
constexpr std::int64_t MaxFrames = 1 << 14;
constexpr std::int64_t MaxTriangleFrames = 1 << 24;

QString DamagedMessage(const QString& fileName, const QString& fault)
{
    return QStringLiteral("The md2 file \"%1\" is damaged: %2").arg(fileName, fault);
}

// Little-endian reads from a file held in memory. Every read and every table
// is checked against the end of the data first, so no input can make us read
// past it or size a table from a count the file cannot hold.
class TMD2ByteReader
{
public:
    TMD2ByteReader(std::span<const std::uint8_t> bytes, const QString& fileName) : FBytes(bytes), FFileName(fileName) {}

    [[noreturn]] void Fail(const QString& fault) const { throw EMD2Error(DamagedMessage(FFileName, fault)); }

    std::int64_t Size() const { return static_cast<std::int64_t>(FBytes.size()); }

    // Moves to a table of count records, refusing one that does not fit in the file.
    void SeekTable(std::int64_t offset, std::int64_t count, std::int64_t recordSize, const QString& records)
    {
        if (offset < 0 || offset > Size())
            Fail(QStringLiteral("%1 %2 at offset %3 start outside the file (%4 bytes)")
                     .arg(count)
                     .arg(records)
                     .arg(offset)
                     .arg(Size()));
        if (count * recordSize > Size() - offset)
            Fail(QStringLiteral("%1 %2 of %3 bytes at offset %4 run past the end of the file (%5 bytes)")
                     .arg(count)
                     .arg(records)
                     .arg(recordSize)
                     .arg(offset)
                     .arg(Size()));
        FPosition = offset;
    }

    std::uint8_t UInt8() { return Take(1, "a byte")[0]; }

    std::uint16_t UInt16()
    {
        const auto b = Take(2, "a 16-bit integer");
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }

    std::int16_t Int16() { return static_cast<std::int16_t>(UInt16()); }

    std::uint32_t UInt32()
    {
        const auto b = Take(4, "a 32-bit integer");
        return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
    }

    std::int32_t Int32() { return static_cast<std::int32_t>(UInt32()); }
    float Float() { return std::bit_cast<float>(UInt32()); }

    // A name in a fixed-size field, ending at its first zero byte if it has one.
    QString FixedString(std::int64_t size)
    {
        const auto b = Take(size, "a name");
        std::int64_t length = 0;
        while (length < size && b[static_cast<size_t>(length)] != 0)
            ++length;
        return QString::fromLatin1(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(length));
    }

private:
    std::span<const std::uint8_t> Take(std::int64_t size, const char* expected)
    {
        if (size > Size() - FPosition)
            Fail(QStringLiteral("expected %1 at offset %2, but the file ends after %3 bytes")
                     .arg(QLatin1String(expected))
                     .arg(FPosition)
                     .arg(Size()));
        const auto taken = FBytes.subspan(static_cast<size_t>(FPosition), static_cast<size_t>(size));
        FPosition += size;
        return taken;
    }

    const std::span<const std::uint8_t> FBytes;
    const QString FFileName;
    std::int64_t FPosition = 0;
};

TMD2Header ReadHeader(TMD2ByteReader& reader)
{
    if (reader.Size() < HeaderSize)
        reader.Fail(
            QStringLiteral("it has %1 bytes, fewer than the %2 of the header").arg(reader.Size()).arg(HeaderSize));
    TMD2Header h;
    for (std::int32_t* field :
         {&h.Ident, &h.Version, &h.SkinWidth, &h.SkinHeight, &h.FrameSize, &h.SkinCount, &h.VertexCount,
          &h.TexCoordCount, &h.TriangleCount, &h.GLCommandCount, &h.FrameCount, &h.SkinOffset, &h.TexCoordOffset,
          &h.TriangleOffset, &h.FrameOffset, &h.GLCommandOffset, &h.EndOffset})
        *field = reader.Int32();
    return h;
}

void CheckCount(TMD2ByteReader& reader, std::int64_t count, std::int64_t minimum, std::int64_t maximum,
                const QString& records)
{
    if (count < minimum)
        reader.Fail(count == 0 ? QStringLiteral("it has no %1").arg(records)
                               : QStringLiteral("it has %1 %2").arg(count).arg(records));
    if (count > maximum)
        reader.Fail(QStringLiteral("it has %1 %2, more than %3").arg(count).arg(records).arg(maximum));
}

// Everything the header claims is checked before any table is sized from it.
void CheckHeader(TMD2ByteReader& reader, const TMD2Header& h)
{
    if (h.Ident != Magic)
        reader.Fail(QStringLiteral("it does not start with \"IDP2\""));
    if (h.Version != SupportedVersion)
        reader.Fail(
            QStringLiteral("it has version %1, but only version %2 is read").arg(h.Version).arg(SupportedVersion));
    const std::int64_t size = reader.Size();
    CheckCount(reader, h.SkinCount, 0, std::min(MaxSkins, size / SkinNameSize), QStringLiteral("skins"));
    CheckCount(reader, h.VertexCount, 1, MaxIndexedCount, QStringLiteral("vertices"));
    CheckCount(reader, h.TexCoordCount, 1, MaxIndexedCount, QStringLiteral("texture coordinates"));
    CheckCount(reader, h.TriangleCount, 1, std::min(MaxTriangles, size / TriangleSize), QStringLiteral("triangles"));
    CheckCount(reader, h.GLCommandCount, 0, size / GLCommandSize, QStringLiteral("GL commands"));
    CheckCount(reader, h.FrameCount, 1, std::min(MaxFrames, size / FrameHeaderSize), QStringLiteral("frames"));
    if (std::int64_t(h.FrameCount) * h.VertexCount > MD2MaxVertexFrames)
        reader.Fail(QStringLiteral("its %1 frames of %2 vertices make more than the %3 vertex positions accepted")
                        .arg(h.FrameCount)
                        .arg(h.VertexCount)
                        .arg(MD2MaxVertexFrames));
    if (std::int64_t(h.FrameCount) * h.TriangleCount > MaxTriangleFrames)
        reader.Fail(QStringLiteral("its %1 frames of %2 triangles make more than the %3 frame triangles accepted")
                        .arg(h.FrameCount)
                        .arg(h.TriangleCount)
                        .arg(MaxTriangleFrames));
    const std::int64_t frameSize = FrameHeaderSize + FrameVertexSize * h.VertexCount;
    if (h.FrameSize != frameSize)
        reader.Fail(QStringLiteral("its frames are %1 bytes long, but frames of %2 vertices take %3")
                        .arg(h.FrameSize)
                        .arg(h.VertexCount)
                        .arg(frameSize));
    if (h.SkinWidth <= 0 || h.SkinHeight <= 0)
        reader.Fail(QStringLiteral("its skin of %1 x %2 pixels cannot scale texture coordinates")
                        .arg(h.SkinWidth)
                        .arg(h.SkinHeight));
    reader.SeekTable(h.SkinOffset, h.SkinCount, SkinNameSize, QStringLiteral("skins"));
    reader.SeekTable(h.TexCoordOffset, h.TexCoordCount, TexCoordSize, QStringLiteral("texture coordinates"));
    reader.SeekTable(h.TriangleOffset, h.TriangleCount, TriangleSize, QStringLiteral("triangles"));
    reader.SeekTable(h.FrameOffset, h.FrameCount, h.FrameSize, QStringLiteral("frames"));
    reader.SeekTable(h.GLCommandOffset, h.GLCommandCount, GLCommandSize, QStringLiteral("GL commands"));
    if (h.EndOffset > reader.Size())
        reader.Fail(
            QStringLiteral("its header gives %1 bytes, but the file has %2").arg(h.EndOffset).arg(reader.Size()));
}

std::vector<QString> ReadSkins(TMD2ByteReader& reader, const TMD2Header& h)
{
    reader.SeekTable(h.SkinOffset, h.SkinCount, SkinNameSize, QStringLiteral("skins"));
    std::vector<QString> skins(static_cast<size_t>(h.SkinCount));
    for (QString& skin : skins)
        skin = reader.FixedString(SkinNameSize);
    return skins;
}

std::vector<TMD2TexCoord> ReadTexCoords(TMD2ByteReader& reader, const TMD2Header& h)
{
    reader.SeekTable(h.TexCoordOffset, h.TexCoordCount, TexCoordSize, QStringLiteral("texture coordinates"));
    std::vector<TMD2TexCoord> texCoords(static_cast<size_t>(h.TexCoordCount));
    for (TMD2TexCoord& texCoord : texCoords)
    {
        texCoord.S = reader.Int16();
        texCoord.T = reader.Int16();
    }
    return texCoords;
}

std::uint16_t ReadIndex(TMD2ByteReader& reader, std::int32_t count, int triangle, const char* table)
{
    const std::uint16_t index = reader.UInt16();
    if (index >= count)
        reader.Fail(QStringLiteral("triangle %1 uses %2 %3 of %4")
                        .arg(triangle)
                        .arg(QLatin1String(table))
                        .arg(index)
                        .arg(count));
    return index;
}

std::vector<TMD2Triangle> ReadTriangles(TMD2ByteReader& reader, const TMD2Header& h)
{
    reader.SeekTable(h.TriangleOffset, h.TriangleCount, TriangleSize, QStringLiteral("triangles"));
    std::vector<TMD2Triangle> triangles(static_cast<size_t>(h.TriangleCount));
    for (int t = 0; t < h.TriangleCount; ++t)
    {
        for (std::uint16_t& index : triangles[static_cast<size_t>(t)].VertexIndices)
            index = ReadIndex(reader, h.VertexCount, t, "vertex");
        for (std::uint16_t& index : triangles[static_cast<size_t>(t)].TexCoordIndices)
            index = ReadIndex(reader, h.TexCoordCount, t, "texture coordinate");
    }
    return triangles;
}

TMD2Vector ReadVector(TMD2ByteReader& reader)
{
    TMD2Vector v;
    v.X = reader.Float();
    v.Y = reader.Float();
    v.Z = reader.Float();
    return v;
}

TMD2Frame ReadFrame(TMD2ByteReader& reader, const TMD2Header& h, int index)
{
    TMD2Frame frame;
    frame.Scale = ReadVector(reader);
    frame.Translate = ReadVector(reader);
    frame.Name = reader.FixedString(FrameNameSize);
    frame.Positions.resize(static_cast<size_t>(h.VertexCount));
    frame.NormalIndices.resize(static_cast<size_t>(h.VertexCount));
    for (int i = 0; i < h.VertexCount; ++i)
    {
        TMD2Vector& p = frame.Positions[static_cast<size_t>(i)];
        p.X = float(reader.UInt8()) * frame.Scale.X + frame.Translate.X;
        p.Y = float(reader.UInt8()) * frame.Scale.Y + frame.Translate.Y;
        p.Z = float(reader.UInt8()) * frame.Scale.Z + frame.Translate.Z;
        frame.NormalIndices[static_cast<size_t>(i)] = reader.UInt8();
        // Infinite or undefined positions would poison normals and bounding boxes downstream.
        if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z))
            reader.Fail(
                QStringLiteral("frame %1 gives vertex %2 a position that is not a finite number").arg(index).arg(i));
    }
    return frame;
}

std::vector<TMD2Frame> ReadFrames(TMD2ByteReader& reader, const TMD2Header& h)
{
    reader.SeekTable(h.FrameOffset, h.FrameCount, h.FrameSize, QStringLiteral("frames"));
    std::vector<TMD2Frame> frames;
    frames.reserve(static_cast<size_t>(h.FrameCount));
    for (int f = 0; f < h.FrameCount; ++f)
        frames.push_back(ReadFrame(reader, h, f));
    return frames;
}

TMD2Vector Subtract(const TMD2Vector& a, const TMD2Vector& b)
{
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z};
}

TMD2Vector Cross(const TMD2Vector& a, const TMD2Vector& b)
{
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

// The file's triangles face the viewer when their corners run clockwise;
// we emit them counter-clockwise, the OpenGL default front face.
constexpr std::array<int, 3> CornerOrder{0, 2, 1};

// Area-weighted: the unnormalised cross product of a triangle's edges is
// twice its area times its unit normal, so summing it weights each face by
// its area and a degenerate face adds nothing.
std::vector<TMD2Vector> VertexNormals(const TMD2Model& model, const TMD2Frame& frame)
{
    std::vector<TMD2Vector> normals(frame.Positions.size());
    for (const TMD2Triangle& triangle : model.Triangles)
    {
        const auto& idx = triangle.VertexIndices;
        const TMD2Vector& a = frame.Positions[idx[CornerOrder[0]]];
        const TMD2Vector& b = frame.Positions[idx[CornerOrder[1]]];
        const TMD2Vector& c = frame.Positions[idx[CornerOrder[2]]];
        const TMD2Vector n = Cross(Subtract(b, a), Subtract(c, a));
        for (const std::uint16_t i : idx)
        {
            normals[i].X += n.X;
            normals[i].Y += n.Y;
            normals[i].Z += n.Z;
        }
    }
    for (TMD2Vector& n : normals)
    {
        const float length = std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z);
        if (length > 0 && std::isfinite(length))
            n = {n.X / length, n.Y / length, n.Z / length};
        else
            n = {};
    }
    return normals;
}
} // namespace

TMD2Model ReadMD2(std::span<const std::uint8_t> bytes, const QString& fileName)
{
    if (static_cast<std::int64_t>(bytes.size()) > MD2MaxFileSize)
        throw EMD2Error(QStringLiteral("The md2 file \"%1\" is too large: %2 bytes, more than %3")
                            .arg(fileName)
                            .arg(bytes.size())
                            .arg(MD2MaxFileSize));
    TMD2ByteReader reader(bytes, fileName);
    TMD2Model model;
    model.FileName = fileName;
    model.Header = ReadHeader(reader);
    CheckHeader(reader, model.Header);
    model.Skins = ReadSkins(reader, model.Header);
    model.TexCoords = ReadTexCoords(reader, model.Header);
    model.Triangles = ReadTriangles(reader, model.Header);
    model.Frames = ReadFrames(reader, model.Header);
    return model;
}

TMD2Model ReadMD2File(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EMD2Error(QStringLiteral("The md2 file \"%1\" cannot be opened: %2").arg(fileName, file.errorString()));
    if (file.size() > MD2MaxFileSize)
        throw EMD2Error(QStringLiteral("The md2 file \"%1\" is too large: %2 bytes, more than %3")
                            .arg(fileName)
                            .arg(file.size())
                            .arg(MD2MaxFileSize));
    const QByteArray bytes = file.readAll();
    return ReadMD2({reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())},
                   fileName);
}

TMD2MorphMesh MakeMD2MorphMesh(const TMD2Model& model)
{
    TMD2MorphMesh mesh;
    std::vector<std::uint16_t> sourceVertex;
    std::unordered_map<std::uint32_t, std::int32_t> outputOfPair;
    outputOfPair.reserve(model.Triangles.size() * 3);
    mesh.TriangleIndices.reserve(model.Triangles.size() * 3);
    const float width = float(model.Header.SkinWidth), height = float(model.Header.SkinHeight);
    for (const TMD2Triangle& triangle : model.Triangles)
        for (const int corner : CornerOrder)
        {
            const std::uint16_t vertex = triangle.VertexIndices[corner];
            const std::uint16_t texCoord = triangle.TexCoordIndices[corner];
            const auto [entry, isNew] =
                outputOfPair.try_emplace(std::uint32_t(vertex) << 16 | texCoord, std::int32_t(sourceVertex.size()));
            if (isNew)
            {
                sourceVertex.push_back(vertex);
                const TMD2TexCoord& st = model.TexCoords[texCoord];
                mesh.TexCoords.push_back({float(st.S) / width, 1.0f - float(st.T) / height});
            }
            mesh.TriangleIndices.push_back(entry->second);
        }

    const std::int64_t vertexFrames = std::int64_t(sourceVertex.size()) * std::int64_t(model.Frames.size());
    if (vertexFrames > MD2MaxVertexFrames)
        throw EMD2Error(
            QStringLiteral("The md2 file \"%1\" is too large: %2 frames of %3 vertices, more than %4 in all")
                .arg(model.FileName)
                .arg(model.Frames.size())
                .arg(sourceVertex.size())
                .arg(MD2MaxVertexFrames));
    mesh.Frames.reserve(model.Frames.size());
    for (const TMD2Frame& frame : model.Frames)
    {
        const std::vector<TMD2Vector> normals = VertexNormals(model, frame);
        TMD2MorphFrame& out = mesh.Frames.emplace_back();
        out.Name = frame.Name;
        out.Positions.reserve(sourceVertex.size());
        out.Normals.reserve(sourceVertex.size());
        for (const std::uint16_t vertex : sourceVertex)
        {
            out.Positions.push_back(frame.Positions[vertex]);
            out.Normals.push_back(normals[vertex]);
        }
    }
    return mesh;
}
