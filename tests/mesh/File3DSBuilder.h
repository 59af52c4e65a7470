#pragma once

// Builds 3DS bytes for tests: every chunk's length is computed from what it
// holds, unless a test overrides it to make the file lie.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <ostream>
#include <vector>

namespace build3ds {

inline QByteArray U8(uint8_t value)
{
    return QByteArray(1, static_cast<char>(value));
}

inline QByteArray U16(uint16_t value)
{
    QByteArray bytes(2, 0);
    bytes[0] = static_cast<char>(value & 0xFF);
    bytes[1] = static_cast<char>(value >> 8);
    return bytes;
}

inline QByteArray U32(uint32_t value)
{
    return U16(static_cast<uint16_t>(value & 0xFFFF)) + U16(static_cast<uint16_t>(value >> 16));
}

inline QByteArray F32(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return U32(bits);
}

inline QByteArray Str(const char* text)
{
    return QByteArray(text) + QByteArray(1, '\0');
}

inline QByteArray Chunk(uint16_t tag, const QByteArray& data, std::initializer_list<QByteArray> children = {})
{
    QByteArray body = data;
    for (const QByteArray& child : children)
        body += child;
    return U16(tag) + U32(static_cast<uint32_t>(6 + body.size())) + body;
}

// A chunk whose length field says `length`, whatever follows it.
inline QByteArray ChunkWithLength(uint16_t tag, uint32_t length, const QByteArray& body)
{
    return U16(tag) + U32(length) + body;
}

inline QByteArray Model(std::initializer_list<QByteArray> meshData)
{
    QByteArray body;
    for (const QByteArray& child : meshData)
        body += child;
    return Chunk(0x4D4D, {}, {Chunk(0x3D3D, body)});
}

inline QByteArray Vertices(const std::vector<std::array<float, 3>>& vertices)
{
    QByteArray data = U16(static_cast<uint16_t>(vertices.size()));
    for (const auto& v : vertices)
        data += F32(v[0]) + F32(v[1]) + F32(v[2]);
    return Chunk(0x4110, data);
}

inline QByteArray TexVertices(const std::vector<std::array<float, 2>>& points)
{
    QByteArray data = U16(static_cast<uint16_t>(points.size()));
    for (const auto& p : points)
        data += F32(p[0]) + F32(p[1]);
    return Chunk(0x4140, data);
}

inline QByteArray Faces(const std::vector<std::array<uint16_t, 4>>& faces, std::initializer_list<QByteArray> children = {})
{
    QByteArray data = U16(static_cast<uint16_t>(faces.size()));
    for (const auto& f : faces)
        data += U16(f[0]) + U16(f[1]) + U16(f[2]) + U16(f[3]);
    return Chunk(0x4120, data, children);
}

inline QByteArray MaterialGroup(const char* name, const std::vector<uint16_t>& faces)
{
    QByteArray data = Str(name) + U16(static_cast<uint16_t>(faces.size()));
    for (const uint16_t face : faces)
        data += U16(face);
    return Chunk(0x4130, data);
}

inline QByteArray Smoothing(const std::vector<uint32_t>& groups)
{
    QByteArray data;
    for (const uint32_t group : groups)
        data += U32(group);
    return Chunk(0x4150, data);
}

inline QByteArray Object(const char* name, std::initializer_list<QByteArray> children)
{
    return Chunk(0x4000, Str(name), children);
}

inline QByteArray TriMesh(std::initializer_list<QByteArray> children)
{
    return Chunk(0x4100, {}, children);
}

inline QByteArray Material(const char* name, std::initializer_list<QByteArray> children = {})
{
    QByteArray body = Chunk(0xA000, Str(name));
    for (const QByteArray& child : children)
        body += child;
    return Chunk(0xAFFF, body);
}

inline QByteArray FloatColor(float r, float g, float b)
{
    return Chunk(0x0010, F32(r) + F32(g) + F32(b));
}

inline QByteArray ByteColor(uint16_t tag, uint8_t r, uint8_t g, uint8_t b)
{
    return Chunk(tag, U8(r) + U8(g) + U8(b));
}

// A single-triangle object using material "M", and that material.
inline QByteArray TriangleModel()
{
    return Model({Material("M"),
                  Object("Tri", {TriMesh({Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                                          Faces({{0, 1, 2, 7}}, {MaterialGroup("M", {0})})})})});
}

} // namespace build3ds

// Readable failure messages for strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
