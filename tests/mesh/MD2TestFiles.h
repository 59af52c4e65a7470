#pragma once

#include "MD2.h"

#include <bit>
#include <ostream>
#include <cstdint>
#include <string>
#include <vector>

inline void PrintTo(const TMD2Vector& v, std::ostream* os)
{
    *os << '(' << v.X << ", " << v.Y << ", " << v.Z << ')';
}
inline void PrintTo(const TMD2TexPoint& p, std::ostream* os)
{
    *os << '(' << p.S << ", " << p.T << ')';
}

// Writes md2 files byte by byte, little-endian.
class TMD2Writer
{
public:
    std::vector<std::uint8_t> Bytes;

    void Int32(std::int32_t v) { Put32(Bytes, Bytes.size(), static_cast<std::uint32_t>(v)); }
    void UInt16(std::uint16_t v) { Bytes.insert(Bytes.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
    void Float(float v) { Int32(std::bit_cast<std::int32_t>(v)); }
    void Name(const std::string& name, std::size_t size)
    {
        Bytes.insert(Bytes.end(), name.begin(), name.end());
        Bytes.resize(Bytes.size() + size - name.size(), 0);
    }
    // Vertices as x, y, z bytes, each with normal index 0.
    void Frame(TMD2Vector scale, TMD2Vector translate, const std::string& name, std::vector<std::uint8_t> xyz)
    {
        for (const float v : {scale.X, scale.Y, scale.Z, translate.X, translate.Y, translate.Z})
            Float(v);
        Name(name, 16);
        for (std::size_t i = 0; i < xyz.size(); i += 3)
            Bytes.insert(Bytes.end(), {xyz[i], xyz[i + 1], xyz[i + 2], 0});
    }

    static void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value)
    {
        bytes.resize(std::max(bytes.size(), offset + 4));
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
};

// A small md2 file: 4 vertices, 5 texture coordinates, 2 triangles that share
// the edge v0-v1 and meet at a right angle, 2 frames, a 64 x 32 skin. Vertex
// v0 has a different texture coordinate in each triangle, like a seam.
struct TSmallMD2
{
    // Offsets of the header fields and tables that tests damage.
    static constexpr std::size_t SkinWidthField = 8, FrameSizeField = 16, SkinCountField = 20, VertexCountField = 24,
                                 TriangleCountField = 32, FrameCountField = 40, FrameOffsetField = 56,
                                 EndOffsetField = 64, TriangleTable = 152, FrameTable = 176;

    static std::vector<std::uint8_t> Bytes()
    {
        TMD2Writer w;
        for (const std::int32_t field : {0x32504449, 8, 64, 32, 56, 1, 4, 5, 2, 1, 2, 68, 132, 152, 176, 288, 292})
            w.Int32(field);
        w.Name("skins/small.pcx", 64);
        for (const std::uint16_t st : {0, 0, 32, 0, 0, 16, 64, 32, 16, 8})
            w.UInt16(st);
        for (const std::uint16_t index : {0, 1, 2, 0, 1, 2, /* second triangle */ 0, 3, 1, 4, 3, 1})
            w.UInt16(index);
        w.Frame({0.5f, 1, 2}, {-1, 10, 3}, "stand01", {0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 2});
        w.Frame({1, 1, 1}, {0, 0, 0}, "stand02", {10, 20, 30, 11, 20, 30, 10, 21, 30, 10, 20, 33});
        w.Int32(0); // the GL command list's terminator
        return w.Bytes;
    }
};
