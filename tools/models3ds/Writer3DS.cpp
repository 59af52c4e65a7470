#include "Writer3DS.h"

#include <bit>
#include <fstream>
#include <stdexcept>

namespace
{
constexpr uint16_t MainTag = 0x4D4D;
constexpr uint16_t VersionTag = 0x0002;
constexpr uint16_t MeshDataTag = 0x3D3D;
constexpr uint16_t MeshVersionTag = 0x3D3E;
constexpr uint16_t MasterScaleTag = 0x0100;
constexpr uint16_t MaterialTag = 0xAFFF;
constexpr uint16_t MaterialNameTag = 0xA000;
constexpr uint16_t AmbientTag = 0xA010;
constexpr uint16_t DiffuseTag = 0xA020;
constexpr uint16_t SpecularTag = 0xA030;
constexpr uint16_t ByteColorTag = 0x0011;
constexpr uint16_t NamedObjectTag = 0x4000;
constexpr uint16_t TriangleMeshTag = 0x4100;
constexpr uint16_t VertexListTag = 0x4110;
constexpr uint16_t FaceListTag = 0x4120;
constexpr uint16_t MaterialGroupTag = 0x4130;
constexpr uint16_t SmoothingTag = 0x4150;
constexpr uint16_t MeshMatrixTag = 0x4160;

constexpr size_t MaxCount = 0xFFFF;
constexpr size_t MaxNameLength = 10;
// Every edge of a face visible, as modelling programs write lone triangles.
constexpr uint16_t AllEdgesVisible = 7;

void CheckLimits(const TMeshPart& part)
{
    const auto fail = [&](const std::string& what) {
        throw std::invalid_argument("3DS object \"" + part.Name + "\": " + what);
    };
    if (part.Name.empty() || part.Name.size() > MaxNameLength)
        fail("a name must have 1 to 10 characters");
    if (part.Vertices.size() > MaxCount)
        fail(std::to_string(part.Vertices.size()) + " vertices, more than 65535");
    if (part.Triangles.size() > MaxCount)
        fail(std::to_string(part.Triangles.size()) + " faces, more than 65535");
    for (const TTriangle& t : part.Triangles)
        if (t.A >= part.Vertices.size() || t.B >= part.Vertices.size() || t.C >= part.Vertices.size())
            fail("a face names a vertex it does not have");
}

void WriteColor(TChunkWriter& out, const uint16_t tag, const T3DSMaterialSpec& m)
{
    out.Begin(tag);
    out.Begin(ByteColorTag);
    out.U8(m.Red);
    out.U8(m.Green);
    out.U8(m.Blue);
    out.End();
    out.End();
}

void WriteMaterial(TChunkWriter& out, const T3DSMaterialSpec& material)
{
    out.Begin(MaterialTag);
    out.Begin(MaterialNameTag);
    out.String(material.Name);
    out.End();
    WriteColor(out, AmbientTag, material);
    WriteColor(out, DiffuseTag, material);
    WriteColor(out, SpecularTag, {material.Name, 0, 0, 0});
    out.End();
}

void WriteVertices(TChunkWriter& out, const TMeshPart& part)
{
    out.Begin(VertexListTag);
    out.U16(static_cast<uint16_t>(part.Vertices.size()));
    for (const TVec3 v : part.Vertices)
    {
        out.F32(static_cast<float>(v.X));
        out.F32(static_cast<float>(v.Y));
        out.F32(static_cast<float>(v.Z));
    }
    out.End();
}

// The identity: vertices are stored where they are drawn.
void WriteMatrix(TChunkWriter& out)
{
    out.Begin(MeshMatrixTag);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            out.F32(row == column ? 1.0f : 0.0f);
    out.End();
}

void WriteFaces(TChunkWriter& out, const TMeshPart& part, const std::string& materialName)
{
    const auto count = static_cast<uint16_t>(part.Triangles.size());
    out.Begin(FaceListTag);
    out.U16(count);
    for (const TTriangle& t : part.Triangles)
    {
        out.U16(static_cast<uint16_t>(t.A));
        out.U16(static_cast<uint16_t>(t.B));
        out.U16(static_cast<uint16_t>(t.C));
        out.U16(AllEdgesVisible);
    }
    out.Begin(MaterialGroupTag);
    out.String(materialName);
    out.U16(count);
    for (uint16_t i = 0; i < count; ++i)
        out.U16(i);
    out.End();
    out.Begin(SmoothingTag);
    for (const TTriangle& t : part.Triangles)
        out.U32(t.Smoothing);
    out.End();
    out.End();
}

void WriteObject(TChunkWriter& out, const TMeshPart& part, const std::string& materialName)
{
    out.Begin(NamedObjectTag);
    out.String(part.Name);
    out.Begin(TriangleMeshTag);
    WriteVertices(out, part);
    WriteMatrix(out);
    WriteFaces(out, part, materialName);
    out.End();
    out.End();
}
} // namespace

void TChunkWriter::Begin(const uint16_t tag)
{
    FOpen.push_back(FBytes.size());
    U16(tag);
    U32(0);
}

void TChunkWriter::End()
{
    if (FOpen.empty())
        throw std::logic_error("3DS chunk closed that was never opened");
    const size_t start = FOpen.back();
    FOpen.pop_back();
    const size_t length = FBytes.size() - start;
    if (length > UINT32_MAX)
        throw std::length_error("3DS chunk longer than 4 GiB");
    for (int i = 0; i < 4; ++i)
        FBytes[start + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

void TChunkWriter::U8(const uint8_t value)
{
    FBytes.push_back(value);
}

void TChunkWriter::U16(const uint16_t value)
{
    U8(static_cast<uint8_t>(value));
    U8(static_cast<uint8_t>(value >> 8));
}

void TChunkWriter::U32(const uint32_t value)
{
    U16(static_cast<uint16_t>(value));
    U16(static_cast<uint16_t>(value >> 16));
}

void TChunkWriter::F32(const float value)
{
    U32(std::bit_cast<uint32_t>(value));
}

void TChunkWriter::String(const std::string& text)
{
    for (const char c : text)
        U8(static_cast<uint8_t>(c));
    U8(0);
}

std::vector<uint8_t> Encode3DS(const std::vector<TMeshPart>& parts, const T3DSMaterialSpec& material)
{
    for (const TMeshPart& part : parts)
        CheckLimits(part);
    TChunkWriter out;
    out.Begin(MainTag);
    out.Begin(VersionTag);
    out.U32(3);
    out.End();
    out.Begin(MeshDataTag);
    out.Begin(MeshVersionTag);
    out.U32(3);
    out.End();
    WriteMaterial(out, material);
    out.Begin(MasterScaleTag);
    out.F32(1);
    out.End();
    for (const TMeshPart& part : parts)
        WriteObject(out, part, material.Name);
    out.End();
    out.End();
    return out.Bytes();
}

void Save3DS(const std::filesystem::path& fileName, const std::vector<TMeshPart>& parts,
             const T3DSMaterialSpec& material)
{
    const std::vector<uint8_t> bytes = Encode3DS(parts, material);
    if (fileName.has_parent_path())
        std::filesystem::create_directories(fileName.parent_path());
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        throw std::runtime_error("Cannot write \"" + fileName.string() + "\"");
}
