#include "Shapes.h"
#include "Writer3DS.h"

#include "File3DS.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <stdexcept>

namespace
{
QByteArray BytesOf(const std::vector<uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

TMeshPart Triangle()
{
    TMeshPart part;
    part.Name = "Tri";
    part.Vertices = {{0, 0, 0}, {1.5, 0, 0}, {0, 2.25, -1}};
    part.Triangles = {{0, 1, 2, 0x80000005u}};
    return part;
}
} // namespace

TEST(Writer3DS, ObjectsAreReadBackWithNamesVerticesFacesAndSmoothingGroups)
{
    TMeshPart box = Box({0, 0, 0}, {1, 2, 3});
    box.Name = "Box";
    TFile3DS file;
    file.LoadFromBytes(BytesOf(Encode3DS({Triangle(), box}, {"Grey", 128, 64, 255})), QStringLiteral("written.3ds"));

    ASSERT_EQ(file.MeshCount(), 2);
    const T3DSMesh& tri = file.Mesh(0);
    EXPECT_EQ(tri.Name, QStringLiteral("Tri"));
    EXPECT_EQ(tri.Vertices, (std::vector<T3DSVector>{{0, 0, 0}, {1.5f, 0, 0}, {0, 2.25f, -1}}));
    ASSERT_EQ(tri.Faces.size(), 1u);
    EXPECT_EQ(tri.Faces[0].A, 0);
    EXPECT_EQ(tri.Faces[0].B, 1);
    EXPECT_EQ(tri.Faces[0].C, 2);
    EXPECT_EQ(tri.Faces[0].Flags, 7);
    EXPECT_TRUE(tri.HasSmoothingGroups);
    EXPECT_EQ(tri.SmoothingGroups, std::vector<uint32_t>{0x80000005u});
    ASSERT_EQ(tri.MaterialGroups.size(), 1u);
    EXPECT_EQ(tri.MaterialGroups[0].MaterialName, QStringLiteral("Grey"));
    EXPECT_EQ(tri.MaterialGroups[0].Faces, std::vector<uint16_t>{0});

    // A box: 8 corners, 2 triangles on each of 6 sides, one group per side.
    const T3DSMesh& read = file.Mesh(1);
    EXPECT_EQ(read.Name, QStringLiteral("Box"));
    EXPECT_EQ(read.Vertices.size(), 8u);
    EXPECT_EQ(read.Faces.size(), 12u);
    EXPECT_EQ(read.SmoothingGroups, (std::vector<uint32_t>{1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32}));
    EXPECT_EQ(read.MaterialGroups.at(0).Faces.size(), 12u);

    ASSERT_EQ(file.MaterialCount(), 1);
    EXPECT_EQ(file.Material(0).Name, QStringLiteral("Grey"));
    EXPECT_NEAR(file.Material(0).Diffuse.R, 128 / 255.0, 1e-6);
    EXPECT_NEAR(file.Material(0).Diffuse.G, 64 / 255.0, 1e-6);
    EXPECT_NEAR(file.Material(0).Diffuse.B, 1, 1e-6);
}

TEST(Writer3DS, ChunkLengthsArePatchedWhenClosed)
{
    TChunkWriter out;
    out.Begin(0x4D4D);
    out.Begin(0x0002);
    out.U32(3);
    out.End();
    out.End();
    // Main chunk: 6 header bytes + a 10-byte version chunk.
    EXPECT_EQ(out.Bytes(), (std::vector<uint8_t>{0x4D, 0x4D, 16, 0, 0, 0, 0x02, 0, 10, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_TRUE(out.Closed());
    EXPECT_THROW(out.End(), std::logic_error);
}

TEST(Writer3DS, ObjectsBeyondTheFormatsLimitsAreRefusedByName)
{
    TMeshPart big;
    big.Name = "Big";
    big.Vertices.resize(65536);
    try
    {
        Encode3DS({big}, {"M"});
        FAIL() << "65536 vertices were accepted";
    }
    catch (const std::invalid_argument& error)
    {
        EXPECT_NE(std::string(error.what()).find("\"Big\""), std::string::npos) << error.what();
    }

    TMeshPart named = Triangle();
    named.Name = "ElevenChars";
    EXPECT_THROW(Encode3DS({named}, {"M"}), std::invalid_argument);
    TMeshPart astray = Triangle();
    astray.Triangles[0].C = 3;
    EXPECT_THROW(Encode3DS({astray}, {"M"}), std::invalid_argument);
}
