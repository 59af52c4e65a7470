#pragma once

#include "Exceptions.h"

#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

// Reader of md2 model files: keyframed meshes whose frames store each vertex
// as three bytes scaled and translated per frame. The records below are the
// file's content, decoded and checked; TMD2MorphMesh is the same model as
// flat per-frame arrays, ready to become morph targets.

// An md2 file that cannot be read: missing, damaged or absurd. The message
// names the file and the fault.
class EMD2Error : public Exception
{
public:
    using Exception::Exception;
};

struct TMD2Vector
{
    float X = 0, Y = 0, Z = 0;

    friend bool operator==(const TMD2Vector&, const TMD2Vector&) = default;
};

struct TMD2TexPoint
{
    float S = 0, T = 0;

    friend bool operator==(const TMD2TexPoint&, const TMD2TexPoint&) = default;
};

struct TMD2Header
{
    std::int32_t Ident = 0, Version = 0;
    std::int32_t SkinWidth = 0, SkinHeight = 0, FrameSize = 0;
    std::int32_t SkinCount = 0, VertexCount = 0, TexCoordCount = 0, TriangleCount = 0, GLCommandCount = 0,
                 FrameCount = 0;
    std::int32_t SkinOffset = 0, TexCoordOffset = 0, TriangleOffset = 0, FrameOffset = 0, GLCommandOffset = 0,
                 EndOffset = 0;
};

// Texture coordinates in skin pixels, as stored.
struct TMD2TexCoord
{
    std::int16_t S = 0, T = 0;
};

// Corners index vertices and texture coordinates separately.
struct TMD2Triangle
{
    std::array<std::uint16_t, 3> VertexIndices{};
    std::array<std::uint16_t, 3> TexCoordIndices{};
};

struct TMD2Frame
{
    QString Name;
    TMD2Vector Scale, Translate;
    std::vector<TMD2Vector> Positions;       // decoded: byte * Scale + Translate
    std::vector<std::uint8_t> NormalIndices; // into the format's packed-normal table, kept as stored
};

struct TMD2Model
{
    QString FileName;
    TMD2Header Header;
    std::vector<QString> Skins;
    std::vector<TMD2TexCoord> TexCoords;
    std::vector<TMD2Triangle> Triangles;
    std::vector<TMD2Frame> Frames;
};

struct TMD2MorphFrame
{
    QString Name;
    std::vector<TMD2Vector> Positions; // one per output vertex
    std::vector<TMD2Vector> Normals;   // unit, or zero for a vertex on degenerate triangles only
};

// Output vertex i is one (vertex, texture coordinate) pair of the file; pairs
// are numbered in the order the triangles first use them.
struct TMD2MorphMesh
{
    std::vector<TMD2TexPoint> TexCoords;       // s / width, 1 - t / height: the skin's rows run top-down
    std::vector<std::int32_t> TriangleIndices; // three per triangle, counter-clockwise seen from the front
    std::vector<TMD2MorphFrame> Frames;
};

// Largest model accepted, in vertices times frames, both as stored and as
// output: bounds the memory any file, damaged or not, can make us allocate.
constexpr std::int64_t MD2MaxVertexFrames = std::int64_t(1) << 22;
// Larger files are refused before they are read.
constexpr std::int64_t MD2MaxFileSize = std::int64_t(64) << 20;

// Parses and checks a whole file held in memory; fileName only names it in errors.
TMD2Model ReadMD2(std::span<const std::uint8_t> bytes, const QString& fileName);
TMD2Model ReadMD2File(const QString& fileName);

// Takes a model as ReadMD2 returns it, its indices already checked.
TMD2MorphMesh MakeMD2MorphMesh(const TMD2Model& model);
