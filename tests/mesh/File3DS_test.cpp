// The chunk tree, the records decoded from it and the errors on bad files,
// on small files built byte by byte.
#include "File3DS.h"
#include "File3DSBuilder.h"
#include "ReadErrorMessage.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace build3ds;

namespace {

using TChunkRow = std::tuple<uint16_t, size_t, int>; // tag, position, depth

std::vector<TChunkRow> TreeRows(const TFile3DS& file)
{
    std::vector<TChunkRow> rows;
    const auto& chunks = file.Chunks();
    if (chunks.empty())
        return rows;
    std::vector<std::pair<int, int>> stack{{0, 0}};
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        rows.emplace_back(chunks[node].Tag, chunks[node].Position, depth);
        std::vector<int> children;
        for (int child = chunks[node].FirstChild; child >= 0; child = chunks[child].NextSibling)
            children.push_back(child);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, depth + 1);
    }
    return rows;
}

TFile3DS Load(const QByteArray& bytes)
{
    TFile3DS file;
    file.LoadFromBytes(bytes, QStringLiteral("test.3ds"));
    return file;
}


} // namespace

TEST(File3DS, TreeHoldsEveryChunkAfterItsParentsOwnData)
{
    const TFile3DS file = Load(TriangleModel());
    // Positions by hand: the object's name (4 bytes) and the 10 bytes of face
    // data lie before the first sub-chunk of their chunks.
    const std::vector<TChunkRow> expected{{0x4D4D, 0, 0},  {0x3D3D, 6, 1},  {0xAFFF, 12, 2},
                                          {0xA000, 18, 3}, {0x4000, 26, 2}, {0x4100, 36, 3},
                                          {0x4110, 42, 4}, {0x4120, 86, 4}, {0x4130, 102, 5}};
    EXPECT_EQ(TreeRows(file), expected);

    // A string, a value and a string, then sub-chunks: 0xB00A holds 2 bytes, a
    // string and 4 bytes; 0xB010 a string and 6 bytes.
    const QByteArray keyframes = Chunk(0x4D4D, {},
        {Chunk(0xB00A, U16(5) + Str("ab") + U32(1), {Chunk(0x0002, U32(3))}),
         Chunk(0xB010, Str("node") + QByteArray(6, '\x7f'), {Chunk(0x0002, U32(3))})});
    const std::vector<TChunkRow> keyframeRows{{0x4D4D, 0, 0}, {0xB00A, 6, 1}, {0x0002, 21, 2},
                                              {0xB010, 31, 1}, {0x0002, 48, 2}};
    EXPECT_EQ(TreeRows(Load(keyframes)), keyframeRows);
}

TEST(File3DS, OtherRootTagsGiveNothingWithoutError)
{
    TFile3DS file = Load(Chunk(0x1234, {}, {Chunk(0x3D3D, {})}));
    EXPECT_TRUE(file.Chunks().empty());
    EXPECT_EQ(file.MeshCount(), 0);
    EXPECT_EQ(file.MaterialCount(), 0);
    EXPECT_EQ(ErrorOf([&] { file.Mesh(0); }), QStringLiteral("The database passed as an argument has not be created yet."));

    // A material library has materials but is the wrong kind for meshes.
    TFile3DS library = Load(Chunk(0x3DAA, {}, {Material("Stone"), Material("Wood")}));
    EXPECT_EQ(library.MaterialCount(), 2);
    EXPECT_EQ(library.Material(1).Name, QStringLiteral("Wood"));
    EXPECT_EQ(library.MeshCount(), 0);
    EXPECT_EQ(ErrorOf([&] { library.Mesh(0); }),
              QStringLiteral("The database passed as an argument is the wrong kind of\rdatabase for this function."));
    EXPECT_EQ(ErrorOf([&] { library.Material(2); }), QStringLiteral("Invalid index 2."));
}

TEST(File3DS, LengthsThatCannotBeRightEndTheirBranch)
{
    // Too short to hold its header: with a length of 0 a reader would loop.
    for (const uint32_t length : {0u, 5u}) {
        const QByteArray tooShort = Chunk(0x4D4D, {}, {Chunk(0x0002, U32(1)), ChunkWithLength(0x0002, length, U32(1)),
                                                        Chunk(0x0002, U32(2))});
        EXPECT_EQ(TreeRows(Load(tooShort)), (std::vector<TChunkRow>{{0x4D4D, 0, 0}, {0x0002, 6, 1}}));
    }

    // Running past its parent: dropped, and the parent's other data with it.
    const QByteArray tooLong = Chunk(0x4D4D, {}, {Chunk(0x3D3D, {}, {Chunk(0x0002, U32(1)),
                                                  ChunkWithLength(0x0002, 11, U32(1))}), Chunk(0x0002, U32(2))});
    EXPECT_EQ(TreeRows(Load(tooLong)),
              (std::vector<TChunkRow>{{0x4D4D, 0, 0}, {0x3D3D, 6, 1}, {0x0002, 12, 2}, {0x0002, 32, 1}}));

    // Trailing bytes too few for a header are ignored.
    EXPECT_EQ(TreeRows(Load(Chunk(0x4D4D, QByteArray(), {Chunk(0x0002, U32(1))}) + QByteArray(3, 0))).size(), 2u);
}

TEST(File3DS, ExtraDataKeepsOnlyItsOwnSubChunks)
{
    const QByteArray bytes = Chunk(0x4D4D, {}, {Chunk(0x8001, {}, {Chunk(0x8002, U32(1)), Chunk(0x800F, U32(2)),
                                                                  Chunk(0x4000, Str("x")), Chunk(0x8003, U32(3))})});
    EXPECT_EQ(TreeRows(Load(bytes)),
              (std::vector<TChunkRow>{{0x4D4D, 0, 0}, {0x8001, 6, 1}, {0x8002, 12, 2}, {0x800F, 22, 2}}));
}

TEST(File3DS, DeeplyNestedChunksDoNotExhaustTheStack)
{
    constexpr int depth = 200000;
    QByteArray bytes;
    bytes.reserve(depth * 6);
    for (int level = depth - 1; level >= 0; --level) {
        const uint32_t length = static_cast<uint32_t>((depth - level) * 6);
        bytes.prepend(U16(level == 0 ? 0x4D4D : 0x3D3D) + U32(length));
    }
    // Built inside out: each header prepended to what it contains.
    TFile3DS file = Load(bytes);
    EXPECT_EQ(file.Chunks().size(), static_cast<size_t>(depth));
    EXPECT_EQ(file.MeshCount(), 0);
    EXPECT_EQ(file.MaterialCount(), 0);
}

TEST(File3DS, MeshRecordsHoldWhatTheFileStores)
{
    const QByteArray bytes = Model({
        Material("Red"), Material("Blue"),
        Object("Camera", {Chunk(0x4700, QByteArray(32, 0))}),
        Object("Quad", {Chunk(0x4010, {}),
                        TriMesh({Vertices({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}}),
                                 TexVertices({{0.25f, 0.5f}}),
                                 Faces({{0, 1, 2, 3}, {0, 2, 3, 6}},
                                       {MaterialGroup("red", {1}), MaterialGroup("Blue", {0, 1}),
                                        Smoothing({1, 6})}),
                                 Chunk(0x4160, QByteArray(48, 0))})}),
        Object("Flat", {TriMesh({Vertices({{5, 6, 7}}), Faces({})})}),
    });
    TFile3DS file = Load(bytes);
    ASSERT_EQ(file.MeshCount(), 2); // the camera has no triangle mesh

    const T3DSMesh& quad = file.Mesh(0);
    EXPECT_EQ(quad.Name, QStringLiteral("Quad"));
    EXPECT_TRUE(quad.Hidden);
    EXPECT_EQ(quad.Vertices, (std::vector<T3DSVector>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}}));
    EXPECT_EQ(quad.TexCoords, (std::vector<T3DSTexPoint>{{0.25f, 0.5f}}));
    ASSERT_EQ(quad.Faces.size(), 2u);
    EXPECT_EQ(quad.Faces[1].A, 0);
    EXPECT_EQ(quad.Faces[1].B, 2);
    EXPECT_EQ(quad.Faces[1].C, 3);
    EXPECT_EQ(quad.Faces[1].Flags, 6);
    ASSERT_EQ(quad.MaterialGroups.size(), 2u);
    EXPECT_EQ(quad.MaterialGroups[0].MaterialName, QStringLiteral("red"));
    EXPECT_EQ(quad.MaterialGroups[1].Faces, (std::vector<uint16_t>{0, 1}));
    EXPECT_TRUE(quad.HasSmoothingGroups);
    EXPECT_EQ(quad.SmoothingGroups, (std::vector<uint32_t>{1, 6}));
    EXPECT_EQ(quad.Matrix.size(), 12u);

    const T3DSMesh& flat = file.Mesh(1);
    EXPECT_EQ(flat.Name, QStringLiteral("Flat"));
    EXPECT_FALSE(flat.Hidden);
    EXPECT_FALSE(flat.HasSmoothingGroups);
    EXPECT_TRUE(flat.MaterialGroups.empty());
    EXPECT_EQ(ErrorOf([&] { file.Mesh(2); }), QStringLiteral("Invalid index 2."));
}

TEST(File3DS, MaterialRecordsHoldWhatTheFileStores)
{
    const QByteArray bytes = Model({
        Material("Brick",
                 {Chunk(0xA010, {}, {ByteColor(0x0012, 255, 0, 51), FloatColor(0.5f, 0.25f, 1), ByteColor(0x0011, 0, 0, 0)}),
                  Chunk(0xA020, {}, {ByteColor(0x0011, 255, 102, 0), FloatColor(0.1f, 0.2f, 0.3f)}),
                  Chunk(0xA030, {}, {ByteColor(0x0011, 51, 0, 255)}),
                  Chunk(0xA040, {}, {Chunk(0x0030, U16(25))}),
                  Chunk(0xA041, {}, {Chunk(0x0030, U16(10)), Chunk(0x0031, F32(0.75f))}),
                  Chunk(0xA050, {}),
                  Chunk(0x8000, U32(0)), Chunk(0xA042, {}), Chunk(0xA082, {}), Chunk(0xA081, {}),
                  Chunk(0xA200, {}, {Chunk(0x0030, U16(60)), Chunk(0xA300, Str("BRICK.JPG")), Chunk(0xA351, U16(0))}),
                  Chunk(0xA33D, {}, {Chunk(0xA300, Str("GLOW.JPG"))}), Chunk(0xA085, {})}),
    });
    TFile3DS file = Load(bytes);
    ASSERT_EQ(file.MaterialCount(), 1);
    const T3DSMaterial& m = file.Material(0);
    EXPECT_EQ(m.Name, QStringLiteral("Brick"));
    EXPECT_EQ(m.Ambient, (T3DSColor{1, 0, 0.2f})); // linear bytes win over float and bytes
    EXPECT_EQ(m.Diffuse, (T3DSColor{0.1f, 0.2f, 0.3f})); // float wins over bytes
    EXPECT_EQ(m.Specular, (T3DSColor{0.2f, 0, 1}));
    EXPECT_FLOAT_EQ(m.Shininess, 0.25f);
    EXPECT_FLOAT_EQ(m.ShininessStrength, 0.75f);
    EXPECT_EQ(m.Transparency, 0.0f); // a container without a percentage
    EXPECT_EQ(m.Texture.FileName, QStringLiteral("BRICK.JPG"));
    EXPECT_FLOAT_EQ(m.Texture.Percent, 0.6f);
    EXPECT_EQ(m.SelfIlluminationMap.FileName, QStringLiteral("GLOW.JPG"));
    EXPECT_EQ(m.Shading, 0);
    EXPECT_EQ(file.FindMaterial(QStringLiteral("bRICK")), &m);
    EXPECT_EQ(file.FindMaterial(QStringLiteral("Bric")), nullptr);

    const QByteArray unexpected = Model({Material("X", {Chunk(0x4000, Str("no"))})});
    EXPECT_EQ(ErrorOf([&] { Load(unexpected).MaterialCount(); }),
              QStringLiteral("An invalid Chunk structure was encountered while reading\r"
                             "the database. Usually caused by a corrupt database or file."));
}

TEST(File3DS, CountsPastTheirChunkAreErrorsNamingFileTagAndOffset)
{
    const auto loadMesh = [](const QByteArray& triMeshChildren) {
        QByteArray object = Chunk(0x4000, Str("O"), {Chunk(0x4100, triMeshChildren)});
        TFile3DS file = Load(Model({Material("M"), object}));
        file.Mesh(0);
    };
    // Vertex list at offset 40 claims 1000 vertices but holds one.
    EXPECT_EQ(ErrorOf([&] { loadMesh(Chunk(0x4110, U16(1000) + QByteArray(12, 0))); }),
              QStringLiteral("test.3ds: at offset 48: expected vertices in chunk 0x4110 at offset 40: "
                             "1000 items of 12 bytes, but only 12 bytes are left"));
    EXPECT_TRUE(ErrorOf([&] { loadMesh(Vertices({{0, 0, 0}}) + Chunk(0x4140, U16(2) + QByteArray(8, 0))); })
                    .contains(QStringLiteral("expected texture vertices in chunk 0x4140 at offset 60")));
    // The face list's own data runs past the chunk: no sub-chunks, and an error
    // when the faces are read.
    EXPECT_TRUE(ErrorOf([&] { loadMesh(Vertices({{0, 0, 0}}) + Chunk(0x4120, U16(3) + QByteArray(8, 0))); })
                    .contains(QStringLiteral("expected faces in chunk 0x4120 at offset 60")));
    EXPECT_TRUE(ErrorOf([&] {
                    loadMesh(Vertices({{0, 0, 0}})
                             + Faces({{0, 0, 0, 0}}, {Chunk(0x4130, Str("M") + U16(9) + U16(0))}));
                }).contains(QStringLiteral("expected a material group in chunk 0x4130 at offset 76")));
    EXPECT_TRUE(ErrorOf([&] { loadMesh(Vertices({{0, 0, 0}}) + Faces({{0, 0, 0, 0}}, {Chunk(0x4130, QByteArray("M", 1))})); })
                    .contains(QStringLiteral("ended by a zero byte")));

    // An object name without terminator leaves no room for a triangle mesh.
    EXPECT_EQ(Load(Model({Chunk(0x4000, QByteArray("Name") + TriMesh({}))})).MeshCount(), 0);
}

TEST(File3DS, IndicesOutOfRangeAreErrors)
{
    const auto meshOf = [](const QByteArray& faces) {
        TFile3DS file = Load(Model({Material("M"), Object("O", {TriMesh({Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), faces})})}));
        file.Mesh(0);
    };
    EXPECT_EQ(ErrorOf([&] { meshOf(Faces({{0, 1, 2, 0}, {0, 3, 2, 0}})); }),
              QStringLiteral("test.3ds: at offset 102: expected a vertex index below 3 in chunk 0x4120 at offset 84, not 3"));
    EXPECT_EQ(ErrorOf([&] { meshOf(Faces({{0, 1, 2, 0}}, {MaterialGroup("M", {0, 1})})); }),
              QStringLiteral("test.3ds: at offset 112: expected a face index below 1 in chunk 0x4130 at offset 100, not 1"));
    EXPECT_EQ(ErrorOf([&] { meshOf(Faces({{0, 1, 2, 0}}, {MaterialGroup("Gold", {0})})); }),
              QStringLiteral("test.3ds: object \"O\" uses material \"Gold\", which the file does not define "
                             "(chunk 0x4130 at offset 100)"));
}

TEST(File3DS, EmptyAndTinyFilesFailClearly)
{
    EXPECT_EQ(ErrorOf([] { Load(QByteArray()); }),
              QStringLiteral("test.3ds: the file holds 0 bytes, too few for a 3DS chunk header"));
    EXPECT_EQ(ErrorOf([] { Load(U16(0x4D4D) + U32(3)); }),
              QStringLiteral("test.3ds: the root chunk claims 3 bytes, fewer than its own header"));
    QByteArray truncated = TriangleModel();
    truncated.chop(4);
    EXPECT_EQ(ErrorOf([&] { Load(truncated); }),
              QStringLiteral("test.3ds: the root chunk claims 114 bytes but the file holds 110: the file is truncated"));
}
