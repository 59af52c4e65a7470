#pragma once

#include "BinaryReader.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class QIODevice;

// A 3DS file whose structure is wrong, or a request the file cannot answer.
class E3DSError : public EReadError
{
public:
    using EReadError::EReadError;
};

struct T3DSVector
{
    float X = 0, Y = 0, Z = 0;
    friend bool operator==(const T3DSVector&, const T3DSVector&) = default;
};

struct T3DSColor
{
    float R = 0, G = 0, B = 0;
    friend bool operator==(const T3DSColor&, const T3DSColor&) = default;
};

struct T3DSTexPoint
{
    float S = 0, T = 0;
    friend bool operator==(const T3DSTexPoint&, const T3DSTexPoint&) = default;
};

// One node per chunk met while building the tree: only its header and where it
// lies, so that the tree costs a few bytes per chunk whatever the chunk holds.
struct T3DSChunk
{
    uint16_t Tag = 0;
    uint32_t Length = 0;
    size_t Position = 0;
    int FirstChild = -1;
    int NextSibling = -1;
};

// A chunk header the tree stops at: its length cannot hold the header or runs
// past its parent, so neither it nor the parent's later chunks are read.
struct T3DSCutChunk
{
    int Parent = 0;
    uint16_t Tag = 0;
    uint32_t Length = 0;
    size_t Position = 0;
};

struct T3DSMap
{
    QString FileName;
    float Percent = 0;
};

struct T3DSMaterial
{
    QString Name;
    T3DSColor Ambient, Diffuse, Specular;
    float Shininess = 0;
    float ShininessStrength = 0;
    float Transparency = 0;
    float SelfIllumination = 0;
    float WireSize = 1;
    int16_t Shading = 3;
    T3DSMap Texture;
    T3DSMap SelfIlluminationMap;
};

struct T3DSFace
{
    uint16_t A = 0, B = 0, C = 0;
    uint16_t Flags = 0;
};

struct T3DSMaterialGroup
{
    QString MaterialName;
    std::vector<uint16_t> Faces;
};

struct T3DSMesh
{
    QString Name;
    bool Hidden = false;
    std::vector<T3DSVector> Vertices;
    std::vector<T3DSTexPoint> TexCoords;
    std::vector<T3DSFace> Faces;
    std::vector<T3DSMaterialGroup> MaterialGroups;
    // Empty when the file has no smoothing chunk, which means flat shading.
    std::vector<uint32_t> SmoothingGroups;
    bool HasSmoothingGroups = false;
    std::vector<float> Matrix;
};

// Reader of the 3DS chunk format. Loading builds the chunk tree (headers and
// positions only); the material and mesh records are decoded on first request
// and cached until Clear. The whole file is held in memory, so the reader needs
// no open stream afterwards.
class TFile3DS
{
public:
    static constexpr uint16_t ModelFileTag = 0x4D4D;
    static constexpr uint16_t ProjectFileTag = 0xC23D;
    static constexpr uint16_t MaterialLibraryTag = 0x3DAA;

    void LoadFromFile(const QString& fileName);
    void LoadFromStream(QIODevice& stream, const QString& fileName);
    void LoadFromBytes(const QByteArray& bytes, const QString& fileName);
    void Clear();

    // The chunk tree; empty when the root tag is not a model, project or
    // material library file.
    const std::vector<T3DSChunk>& Chunks() const { return FChunks; }
    // Where the tree stopped early, for tools that show what was left out.
    const std::vector<T3DSCutChunk>& CutChunks() const { return FCutChunks; }

    int MaterialCount();
    const T3DSMaterial& Material(int index);
    const T3DSMaterial* FindMaterial(const QString& name);

    int MeshCount();
    const T3DSMesh& Mesh(int index);

private:
    int FindDepthFirst(int from, uint16_t tag) const;
    int FindChild(int parent, uint16_t tag) const;
    size_t OwnDataSize(const T3DSChunk& chunk);
    void BuildTree();
    TBinaryReader& ReaderAt(const T3DSChunk& chunk);
    QString ChunkName(const T3DSChunk& chunk) const;
    [[noreturn]] void FailStructure() const;

    void ListMaterials();
    T3DSMaterial DecodeMaterial(int entry);
    T3DSColor DecodeColor(int container);
    float DecodePercent(int container);
    T3DSMap DecodeMap(int container);
    QString DecodeString(int chunk, const QString& what);

    void ListMeshes();
    T3DSMesh DecodeMesh(int namedObject, int triangleMesh);
    void DecodeVertices(int chunk, T3DSMesh& mesh);
    void DecodeTexCoords(int chunk, T3DSMesh& mesh);
    void DecodeFaces(int chunk, T3DSMesh& mesh);
    void DecodeMaterialGroup(int chunk, T3DSMesh& mesh);
    void DecodeSmoothing(int chunk, T3DSMesh& mesh);
    void DecodeMatrix(int chunk, T3DSMesh& mesh);

    QString FFileName;
    std::optional<TBinaryReader> FReader;
    std::vector<T3DSChunk> FChunks;
    std::vector<T3DSCutChunk> FCutChunks;
    std::optional<std::vector<T3DSMaterial>> FMaterials;
    std::vector<int> FMeshObjects;
    std::vector<int> FMeshTriangles;
    bool FMeshesListed = false;
    std::vector<std::optional<T3DSMesh>> FMeshes;
};

// A mesh record turned into what a mesh object draws: one vertex per distinct
// (position, normal) the smoothing groups ask for, normals normalised, and one
// index list per material group.
struct T3DSConvertedMesh
{
    struct TGroup
    {
        QString MaterialName;
        std::vector<int> Indices;
    };

    QString Name;
    std::vector<T3DSVector> Vertices;
    std::vector<T3DSVector> Normals;
    // Empty when the file has no texture vertices; else one (s, t, 0) per vertex.
    std::vector<T3DSVector> TexCoords;
    std::vector<TGroup> Groups;
};

// Nothing for a hidden object or one with fewer than 3 vertices.
std::optional<T3DSConvertedMesh> Convert3DSMesh(const T3DSMesh& mesh, bool invertNormals);

// Every mesh of the file converted in order, skipped objects left out: what a
// free form receives from the file.
std::vector<T3DSConvertedMesh> Convert3DSMeshes(TFile3DS& file, bool invertNormals);
