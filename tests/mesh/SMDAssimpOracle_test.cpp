// The Assimp witness must be right on its own before our reader is held to
// it: every expected value here is read off the files' text by hand, or
// worked out from it with the bone-matrix rule (local := Rx · Ry · Rz on row
// vectors with the position in row 3, global := local × parent's global).
#include "SMDAssimpOracle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace
{
const std::filesystem::path CorpusDir = std::filesystem::path(STICKFIGHT_CORPUS_DIR) / "smd";

#define SKIP_WITHOUT_CORPUS()                                                                                   \
    do                                                                                                          \
    {                                                                                                           \
        if (!std::filesystem::is_directory(CorpusDir))                                                          \
            GTEST_SKIP() << "The shared corpus is not beside the checkout: " << CorpusDir;                      \
    } while (false)

std::string CorpusFile(const char* const name)
{
    return (CorpusDir / name).string();
}

using TVec3 = std::array<float, 3>;

void ExpectNear(const TVec3& actual, const TVec3& expected, const float tolerance, const std::string& what)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " component " << i;
}

void ExpectCorner(const TOracleCorner& corner, const TVec3& position, const TVec3& normal,
                  const std::array<float, 2>& texCoord, const int bone, const std::string& what)
{
    ExpectNear(corner.Position, position, 1e-6f, what + " position");
    ExpectNear(corner.Normal, normal, 1e-6f, what + " normal");
    EXPECT_NEAR(corner.TexCoord[0], texCoord[0], 1e-6f) << what << " s";
    EXPECT_NEAR(corner.TexCoord[1], texCoord[1], 1e-6f) << what << " t";
    EXPECT_EQ(corner.Bone, bone) << what;
}

struct TTemporaryFile
{
    const std::filesystem::path Path;
    TTemporaryFile(const std::string& name, const std::string& text)
        : Path(std::filesystem::temp_directory_path() /
               ("stickfight-" + std::to_string(getpid()) + "-" + name))
    {
        std::ofstream(Path, std::ios::binary) << text;
    }
    ~TTemporaryFile() { std::filesystem::remove(Path); }
};

void ExpectRefusal(const std::string& path, const std::string& reason)
{
    try
    {
        ReadSMDWithAssimp(path);
        ADD_FAILURE() << path << " was read";
    }
    catch (const std::runtime_error& error)
    {
        const std::string message = error.what();
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(reason), std::string::npos) << message;
    }
}
} // namespace

TEST(SMDAssimpOracle, OneBoneFilesGiveTheirBoneFrameAndTriangles)
{
    SKIP_WITHOUT_CORPUS();
    // The blank line after "version 1" does not trouble Assimp.
    const TOracleSMD triangle = ReadSMDWithAssimp(CorpusFile("assimp/triangle.smd"));
    ASSERT_EQ(triangle.Bones.size(), 1u);
    EXPECT_EQ(triangle.Bones[0].Name, "TriangleTest0");
    EXPECT_EQ(triangle.Bones[0].Parent, -1);
    EXPECT_EQ(triangle.FrameCount, 1);
    ExpectNear(triangle.GlobalPosition(0, 0), {0, 0, 0}, 1e-6f, "TriangleTest0");
    ASSERT_EQ(triangle.Triangles.size(), 1u);
    EXPECT_EQ(triangle.Triangles[0].Material, "none.quak");
    ExpectCorner(triangle.Triangles[0].Corners[0], {0, 0, 0}, {1, 1, 1}, {0, 0}, 0, "triangle corner 0");
    ExpectCorner(triangle.Triangles[0].Corners[1], {1, 0, 0}, {1, 1, 1}, {1, 0}, 0, "triangle corner 1");
    ExpectCorner(triangle.Triangles[0].Corners[2], {1, 1, 0}, {1, 1, 1}, {1, 1}, 0, "triangle corner 2");

    const TOracleSMD wuson = ReadSMDWithAssimp(CorpusFile("assimp/WusonSMD.smd"));
    ASSERT_EQ(wuson.Bones.size(), 1u);
    EXPECT_EQ(wuson.Bones[0].Name, "root");
    EXPECT_EQ(wuson.FrameCount, 1);
    // 14938 lines: 9 before the triangles, "end" after them, 4 per triangle.
    ASSERT_EQ(wuson.Triangles.size(), 3732u);
    EXPECT_EQ(wuson.Triangles[0].Material, "default.bmp");
    const auto& w = wuson.Triangles[0].Corners;
    ExpectCorner(w[0], {0.163313f, 0.268688f, 0.540615f}, {0.321888f, 0.000550f, -0.946777f}, {0, 1}, 0, "wuson 0");
    ExpectCorner(w[1], {0.000000f, 0.278300f, 0.498178f}, {0.000000f, -0.227892f, -0.973687f}, {0, 1}, 0, "wuson 1");
    ExpectCorner(w[2], {0.144773f, 0.369613f, 0.521976f}, {0.453446f, -0.184596f, -0.871958f}, {0, 1}, 0, "wuson 2");

    // Corners in the extended form with one bone link.
    const TOracleSMD grail = ReadSMDWithAssimp(CorpusFile("assimp/holy_grailref.smd"));
    ASSERT_EQ(grail.Bones.size(), 1u);
    EXPECT_EQ(grail.Bones[0].Name, "Cylinder01");
    ExpectNear(grail.GlobalPosition(0, 0), {0, 0, 6.268408f}, 1e-6f, "Cylinder01");
    ASSERT_EQ(grail.Triangles.size(), 896u);
    EXPECT_EQ(grail.Triangles[0].Material, "holygrail.tga");
    const auto& g = grail.Triangles[0].Corners;
    ExpectCorner(g[0], {4.642112f, 0.000006f, 0.109110f}, {0.194769f, 0, -0.980834f}, {0.367188f, 0.382813f}, 0,
                 "grail 0");
    ExpectCorner(g[2], {3.556062f, -2.983890f, 0.109111f}, {0.149174f, -0.125187f, -0.980834f},
                 {0.406250f, 0.335938f}, 0, "grail 2");
}

TEST(SMDAssimpOracle, BarneyBonesFollowTheNodesSection)
{
    SKIP_WITHOUT_CORPUS();
    const std::vector<TOracleBone> expected = {
        {"Bip01", -1},         {"Bip01 Pelvis", 0},  {"Bip01 L Leg", 1},   {"Bip01 L Leg1", 2},
        {"Bip01 L Foot", 3},   {"Bip01 R Leg", 1},   {"Bip01 R Leg1", 5},  {"Bip01 R Foot", 6},
        {"Bip01 Spine", 1},    {"Bip01 Spine1", 8},  {"Bip01 Spine2", 9},  {"Bip01 Spine3", 10},
        {"Bip01 Neck", 11},    {"Bip01 L Arm", 12},  {"Bip01 L Arm1", 13}, {"Bip01 L Arm2", 14},
        {"Bip01 L Hand", 15},  {"Bip01 R Arm", 12},  {"Bip01 R Arm1", 17}, {"Bip01 R Arm2", 18},
        {"Bip01 R Hand", 19},  {"Bip01 Head", 12},   {"Bone05", 21},       {"Bone03", 1}};
    const TOracleSMD model = ReadSMDWithAssimp(CorpusFile("hl1-barney/barney_reference.smd"));
    ASSERT_EQ(model.Bones.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(model.Bones[i].Name, expected[i].Name) << "bone " << i;
        EXPECT_EQ(model.Bones[i].Parent, expected[i].Parent) << "bone " << i;
    }
    EXPECT_EQ(model.FrameCount, 1);

    // The animations list the same skeleton without Bone03.
    const TOracleSMD run = ReadSMDWithAssimp(CorpusFile("hl1-barney/animations/run.smd"));
    ASSERT_EQ(run.Bones.size(), 23u);
    for (std::size_t i = 0; i < run.Bones.size(); ++i)
    {
        EXPECT_EQ(run.Bones[i].Name, expected[i].Name) << "bone " << i;
        EXPECT_EQ(run.Bones[i].Parent, expected[i].Parent) << "bone " << i;
    }
}

// Worked out from the "time" lines: the pelvis sits at the root's position
// (its own is zero), and, for the model's left leg, the root's Rz(-pi/2) and
// the pelvis' Rx(-pi/2) · Ry(-pi/2) take (x, y, z) to (z, -y, x) before the
// root's position is added: (4.427393, -0.000008, -0.000007) + (0.420091,
// 1.059590, 41.444572), up to the angles not being exactly pi/2.
TEST(SMDAssimpOracle, GlobalPositionsComposeTheFrameDownTheBones)
{
    SKIP_WITHOUT_CORPUS();
    const TOracleSMD model = ReadSMDWithAssimp(CorpusFile("hl1-barney/barney_reference.smd"));
    ExpectNear(model.GlobalPosition(0, 0), {0.420091f, 1.059590f, 41.444572f}, 1e-4f, "model Bip01");
    ExpectNear(model.GlobalPosition(0, 1), {0.420091f, 1.059590f, 41.444572f}, 1e-4f, "model Pelvis");
    ExpectNear(model.GlobalPosition(0, 2), {4.847484f, 1.059594f, 41.444565f}, 1e-4f, "model L Leg");
    ExpectNear(model.GlobalPosition(0, 3), {3.890151f, -0.764966f, 23.259851f}, 1e-4f, "model L Leg1");
    ExpectNear(model.GlobalPosition(0, 4), {3.023630f, 1.833153f, 6.373753f}, 1e-4f, "model L Foot");
    ExpectNear(model.GlobalPosition(0, 16), {25.278429f, -3.662308f, 53.877891f}, 1e-4f, "model L Hand");

    // An animation read alone: sixteen frames, frame 3 being the fourth "time" block.
    const TOracleSMD run = ReadSMDWithAssimp(CorpusFile("hl1-barney/animations/run.smd"));
    EXPECT_EQ(run.FrameCount, 16);
    ExpectNear(run.GlobalPosition(0, 0), {0.157219f, 2.950017f, 42.902176f}, 1e-4f, "run 0 Bip01");
    ExpectNear(run.GlobalPosition(3, 0), {0.571292f, -41.955036f, 41.092735f}, 1e-4f, "run 3 Bip01");
    ExpectNear(run.GlobalPosition(3, 1), {0.571292f, -41.955036f, 41.092735f}, 1e-4f, "run 3 Pelvis");
    ExpectNear(run.GlobalPosition(3, 2), {4.998475f, -41.964457f, 41.134802f}, 1e-4f, "run 3 L Leg");
    ExpectNear(run.GlobalPosition(3, 3), {4.126803f, -51.990869f, 25.849508f}, 1e-4f, "run 3 L Leg1");
    ExpectNear(run.GlobalPosition(3, 4), {3.260574f, -62.649862f, 12.497479f}, 1e-4f, "run 3 L Foot");
    ExpectNear(run.GlobalPosition(3, 16), {12.788092f, -30.164564f, 48.863161f}, 1e-4f, "run 3 L Hand");
    EXPECT_TRUE(run.Triangles.empty());
}

// The file's runs: ... 102 BX_Arm1 (533 to 634), 2 BX_Knuckles (635, 636),
// 34 BX_Hand1 (637 to 670), 2 BX_Knuckles (671, 672), 34 BX_Hand1 (673 to
// 706), 2 BX_Pstl; so file triangle 671 comes right after 636.
TEST(SMDAssimpOracle, TrianglesComeGroupedByMaterialInOrderOfFirstUse)
{
    SKIP_WITHOUT_CORPUS();
    const TOracleSMD model = ReadSMDWithAssimp(CorpusFile("hl1-barney/barney_reference.smd"));
    ASSERT_EQ(model.Triangles.size(), 709u);
    EXPECT_EQ(model.Triangles[0].Material, "BX_Front_Mid1.bmp");
    const auto& first = model.Triangles[0].Corners;
    ExpectCorner(first[0], {5.490057f, -1.458778f, 18.866776f}, {0.557187f, -0.807480f, -0.193696f},
                 {0.823529f, 0.051546f}, 3, "barney 0 corner 0");
    ExpectCorner(first[1], {4.497471f, -4.399183f, 24.901917f}, {0.095285f, -0.979751f, -0.176096f},
                 {0.720588f, 0.226804f}, 2, "barney 0 corner 1");
    EXPECT_EQ(model.Triangles[636].Material, "BX_Knuckles.bmp");
    EXPECT_EQ(model.Triangles[637].Material, "BX_Knuckles.bmp");
    ExpectCorner(model.Triangles[637].Corners[0], {-29.725662f, -3.009559f, 51.504097f},
                 {-0.587686f, 0.503698f, -0.633177f}, {0, 1}, 20, "barney 671 corner 0");
    ExpectCorner(model.Triangles[637].Corners[2], {-30.188404f, -3.456825f, 53.477524f},
                 {-0.898327f, 0.220106f, 0.380213f}, {0.916667f, 0.941176f}, 20, "barney 671 corner 2");
    EXPECT_EQ(model.Triangles[639].Material, "BX_Hand1.bmp");
    EXPECT_EQ(model.Triangles[707].Material, "BX_Pstl.bmp");
    ExpectCorner(model.Triangles[707].Corners[2], {-5.026418f, -1.565626f, 57.926918f},
                 {0.893087f, 0.121503f, -0.433166f}, {0.044118f, 0.977778f}, 18, "barney 707 corner 2");

    EXPECT_EQ(AssimpTriangleOrder({"skin", "cloth", "skin", "belt", "cloth", "skin"}),
              (std::vector<std::size_t>{0, 2, 5, 1, 4, 3}));
    EXPECT_TRUE(AssimpTriangleOrder({}).empty());
}

TEST(SMDAssimpOracle, RefusesFilesItCannotVouchFor)
{
    SKIP_WITHOUT_CORPUS();
    ExpectRefusal(CorpusFile("assimp/invalid/empty.smd"), "File is empty");
    ExpectRefusal(CorpusFile("assimp/absent.smd"), "Assimp cannot read it");
    // Assimp keys bone 1 only in the second frame, so its keys no longer
    // line up with the frames.
    const TTemporaryFile gap("gap.smd", "version 1\nnodes\n0 \"a\" -1\n1 \"b\" 0\nend\nskeleton\n"
                                        "time 0\n0 1 2 3 0 0 0\ntime 1\n0 1 2 3 0 0 0\n1 0 1 0 0 0 0\nend\n");
    ExpectRefusal(gap.Path.string(), "bone \"b\" is missing from some frames");
}
