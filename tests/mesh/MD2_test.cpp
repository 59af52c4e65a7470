#include "MD2.h"
#include "MD2TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

// Every allocation of this test program is measured, so that a reader that
// sizes a table from a count before checking it is caught even when the
// system would grant the memory.
namespace
{
std::size_t LargestAllocation = 0;
}

void* operator new(std::size_t size)
{
    LargestAllocation = std::max(LargestAllocation, size);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{
// Copies the bytes to end where an inaccessible page begins, so that a read
// past them crashes the test.
std::span<const std::uint8_t> BeforeGuardPage(const std::vector<std::uint8_t>& bytes)
{
    static const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE)), arena = std::size_t(4) << 20;
    static std::uint8_t* const base = []
    {
        auto* p = static_cast<std::uint8_t*>(
            mmap(nullptr, arena + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (p == MAP_FAILED || mprotect(p + arena, page, PROT_NONE) != 0)
            std::abort();
        return p;
    }();
    std::uint8_t* const start = base + arena - bytes.size();
    std::copy(bytes.begin(), bytes.end(), start);
    return {start, bytes.size()};
}

// The first failure a damaged file gives, with the largest allocation made meanwhile.
std::string Refusal(const std::vector<std::uint8_t>& bytes, std::size_t* largestAllocation = nullptr)
{
    const auto guarded = BeforeGuardPage(bytes);
    LargestAllocation = 0;
    try
    {
        MakeMD2MorphMesh(ReadMD2(guarded, QStringLiteral("model.md2")));
    }
    catch (const EMD2Error& e)
    {
        if (largestAllocation)
            *largestAllocation = LargestAllocation;
        return e.Message().toStdString();
    }
    return "read without failure";
}

void ExpectNear(const TMD2Vector& actual, const TMD2Vector& expected)
{
    EXPECT_NEAR(actual.X, expected.X, 1e-6f);
    EXPECT_NEAR(actual.Y, expected.Y, 1e-6f);
    EXPECT_NEAR(actual.Z, expected.Z, 1e-6f);
}
} // namespace

TEST(MD2Reader, SmallFileDecodesFramesWithTheirScaleAndTranslate)
{
    const auto bytes = TSmallMD2::Bytes();
    const TMD2Model model = ReadMD2(bytes, QStringLiteral("model.md2"));

    EXPECT_EQ(model.Skins, std::vector<QString>{QStringLiteral("skins/small.pcx")});
    ASSERT_EQ(model.Frames.size(), 2u);
    EXPECT_EQ(model.Frames[0].Name, QStringLiteral("stand01"));
    EXPECT_EQ(model.Frames[1].Name, QStringLiteral("stand02"));
    // Bytes (4, 0, 0) and (0, 0, 2) scaled by (0.5, 1, 2) and moved by (-1, 10, 3).
    EXPECT_EQ(model.Frames[0].Positions, (std::vector<TMD2Vector>{{-1, 10, 3}, {1, 10, 3}, {-1, 12, 3}, {-1, 10, 7}}));
    EXPECT_EQ(model.Frames[1].Positions,
              (std::vector<TMD2Vector>{{10, 20, 30}, {11, 20, 30}, {10, 21, 30}, {10, 20, 33}}));
}

TEST(MD2MorphMesh, PairsBecomeVerticesInFirstUseOrderWithAreaWeightedNormalsOfEachFrame)
{
    const auto bytes = TSmallMD2::Bytes();
    const TMD2MorphMesh mesh = MakeMD2MorphMesh(ReadMD2(bytes, QStringLiteral("model.md2")));

    // Corners reversed to counter-clockwise: (v0 st0, v2 st2, v1 st1), then
    // (v0 st4, v1 st1, v3 st3); v0 appears twice because its texture
    // coordinate differs, v1 once because its pair repeats.
    EXPECT_EQ(mesh.TriangleIndices, (std::vector<std::int32_t>{0, 1, 2, 3, 2, 4}));
    EXPECT_EQ(mesh.TexCoords, (std::vector<TMD2TexPoint>{{0, 1}, {0, 0.5f}, {0.5f, 1}, {0.25f, 0.75f}, {1, 0}}));
    ASSERT_EQ(mesh.Frames.size(), 2u);
    EXPECT_EQ(mesh.Frames[0].Positions,
              (std::vector<TMD2Vector>{{-1, 10, 3}, {-1, 12, 3}, {1, 10, 3}, {-1, 10, 3}, {-1, 10, 7}}));

    // Frame 0: the faces' cross products are (0, 0, -4) and (0, -8, 0); the
    // shared edge's vertices take their sum, so the larger face weighs more.
    const std::vector<TMD2Vector>& normals0 = mesh.Frames[0].Normals;
    ASSERT_EQ(normals0.size(), 5u);
    const TMD2Vector edge0{0, -2 / std::sqrt(5.0f), -1 / std::sqrt(5.0f)};
    for (const auto& [vertex, expected] :
         std::vector<std::pair<int, TMD2Vector>>{{0, edge0}, {1, {0, 0, -1}}, {2, edge0}, {3, edge0}, {4, {0, -1, 0}}})
        ExpectNear(normals0[vertex], expected);
    // Frame 1 has other proportions: cross products (0, 0, -1) and (0, -3, 0).
    ASSERT_EQ(mesh.Frames[1].Normals.size(), 5u);
    ExpectNear(mesh.Frames[1].Normals[0], {0, -3 / std::sqrt(10.0f), -1 / std::sqrt(10.0f)});
    ExpectNear(mesh.Frames[1].Normals[1], {0, 0, -1});
}

TEST(MD2Reader, DamagedFilesAreRefusedNamingTheFileAndTheFault)
{
    using TEdit = std::function<void(std::vector<std::uint8_t>&)>;
    const auto truncate = [](std::size_t size) { return TEdit([size](auto& b) { b.resize(size); }); };
    const auto set = [](std::size_t offset, std::uint32_t value)
    { return TEdit([=](auto& b) { TMD2Writer::Put32(b, offset, value); }); };
    const std::vector<std::pair<TEdit, std::string>> cases{
        {truncate(0), "it has 0 bytes, fewer than the 68 of the header"},
        {truncate(40), "it has 40 bytes, fewer than the 68 of the header"},
        {truncate(140), "5 texture coordinates of 4 bytes at offset 132 run past the end of the file (140 bytes)"},
        {truncate(160), "2 triangles of 12 bytes at offset 152 run past the end of the file (160 bytes)"},
        {truncate(250), "2 frames of 56 bytes at offset 176 run past the end of the file (250 bytes)"},
        {truncate(290), "1 GL commands of 4 bytes at offset 288 run past the end of the file (290 bytes)"},
        {set(0, 0x32504448), "it does not start with \"IDP2\""},
        {set(4, 7), "it has version 7, but only version 8 is read"},
        {set(TSmallMD2::VertexCountField, 0), "it has no vertices"},
        {set(TSmallMD2::VertexCountField, 70000), "it has 70000 vertices, more than 65536"},
        {set(TSmallMD2::SkinCountField, 0xFFFFFFFF), "it has -1 skins"},
        {set(TSmallMD2::TriangleCountField, 0x7FFFFFFF), "it has 2147483647 triangles, more than 24"},
        {set(TSmallMD2::FrameCountField, 0x80000000), "it has -2147483648 frames"},
        {set(TSmallMD2::FrameCountField, 3),
         "3 frames of 56 bytes at offset 176 run past the end of the file (292 bytes)"},
        {[](auto& b)
         {
             b.resize(4292);
             TMD2Writer::Put32(b, TSmallMD2::VertexCountField, 65536);
             TMD2Writer::Put32(b, TSmallMD2::FrameCountField, 100);
         },
         "its 100 frames of 65536 vertices make more than the 4194304 vertex positions accepted"},
        {[](auto& b)
         {
             b.resize(2400068);
             TMD2Writer::Put32(b, TSmallMD2::TriangleCountField, 200000);
             TMD2Writer::Put32(b, TSmallMD2::FrameCountField, 100);
         },
         "its 100 frames of 200000 triangles make more than the 16777216 frame triangles accepted"},
        {set(TSmallMD2::FrameSizeField, 60), "its frames are 60 bytes long, but frames of 4 vertices take 56"},
        {set(TSmallMD2::SkinWidthField, 0), "its skin of 0 x 32 pixels cannot scale texture coordinates"},
        {set(TSmallMD2::FrameOffsetField, 0xFFFFFFF8), "2 frames at offset -8 start outside the file (292 bytes)"},
        {set(TSmallMD2::EndOffsetField, 1000), "its header gives 1000 bytes, but the file has 292"},
        {[](auto& b) { b[TSmallMD2::TriangleTable + 12 + 2] = 4; }, "triangle 1 uses vertex 4 of 4"},
        {[](auto& b) { b[TSmallMD2::TriangleTable + 6] = 5; }, "triangle 0 uses texture coordinate 5 of 5"},
        {set(TSmallMD2::FrameTable + 56 + 4, 0x7F800000),
         "frame 1 gives vertex 0 a position that is not a finite number"},
    };
    for (const auto& [edit, fault] : cases)
    {
        auto bytes = TSmallMD2::Bytes();
        edit(bytes);
        std::size_t largestAllocation = 0;
        EXPECT_EQ(Refusal(bytes, &largestAllocation), "The md2 file \"model.md2\" is damaged: " + fault);
        EXPECT_LT(largestAllocation, 4096u) << fault;
    }
}

TEST(MD2Reader, AnyDamageIsEitherReadOrRefusedWithoutReadingPastTheData)
{
    const auto original = TSmallMD2::Bytes();
    for (std::size_t size = 0; size < original.size(); ++size)
        EXPECT_NE(Refusal({original.begin(), original.begin() + std::ptrdiff_t(size)}), "read without failure") << size;

    std::mt19937 random(20261208);
    int refused = 0;
    for (int round = 0; round < 20000; ++round)
    {
        auto bytes = original;
        // Half the changes hit the header, where one byte moves whole tables.
        const std::size_t span = round % 2 ? 68 : bytes.size();
        for (int n = 1 + int(random() % 4); n > 0; --n)
            bytes[random() % span] = static_cast<std::uint8_t>(random());
        try
        {
            const TMD2MorphMesh mesh = MakeMD2MorphMesh(ReadMD2(BeforeGuardPage(bytes), QStringLiteral("model.md2")));
            for (const TMD2MorphFrame& frame : mesh.Frames)
                ASSERT_EQ(frame.Positions.size(), mesh.TexCoords.size());
            for (const std::int32_t index : mesh.TriangleIndices)
                ASSERT_LT(std::size_t(index), mesh.TexCoords.size());
        }
        catch (const EMD2Error&)
        {
            ++refused;
        }
    }
    EXPECT_GT(refused, 1000);  // the changes do reach the checks
    EXPECT_LT(refused, 19000); // and leave many files readable
}

TEST(MD2MorphMesh, ModelTooLargeForMorphTargetsIsRefusedBeforeItsFramesAreMade)
{
    // One vertex with 65536 texture coordinates makes 65536 output vertices:
    // 65 frames of them pass the limit though the file holds only 65 positions.
    constexpr int texCoords = 65536, triangles = 21846, frames = 65;
    constexpr int triangleOffset = 68 + 4 * texCoords, frameOffset = triangleOffset + 12 * triangles,
                  end = frameOffset + 44 * frames;
    TMD2Writer w;
    for (const int field : {0x32504449, 8, 64, 32, 44, 0, 1, texCoords, triangles, 0, frames, 68, 68, triangleOffset,
                            frameOffset, end, end})
        w.Int32(field);
    w.Bytes.resize(triangleOffset);
    for (int corner = 0; corner < 3 * triangles; corner += 3)
        for (const int st : {0, 0, 0, corner, corner + 1, corner + 2})
            w.UInt16(std::uint16_t(std::min(st, texCoords - 1)));
    for (int f = 0; f < frames; ++f)
        w.Frame({1, 1, 1}, {0, 0, 0}, "frame", {0, 0, 0});
    EXPECT_EQ(Refusal(w.Bytes),
              "The md2 file \"model.md2\" is too large: 65 frames of 65536 vertices, more than 4194304 in all");
}
