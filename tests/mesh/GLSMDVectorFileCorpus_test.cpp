// SMD files made by other tools, loaded into actors the way the game loads
// its fighters, against what Assimp reads from the same files: bones, frames,
// triangles in the file's order, the bind pose, the poses of every animation
// frame, and the vertices the load shares.
#include "SMDAssimpOracle.h"

#include "mesh/FaceGroups.h"
#include "mesh/GLActor.h"
#include "mesh/SkeletonMeshObject.h"
#include "mesh/VectorFile.h"

#include "ReadErrorMessage.h"

#include <QDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
const std::filesystem::path CorpusDir = std::filesystem::path(STICKFIGHT_CORPUS_DIR) / "smd";
const std::filesystem::path BarneyDir = CorpusDir / "hl1-barney";
// The animations in the order they are added; every one lists the model's
// bones but its last.
const std::vector<std::string> BarneyAnimations = {"barn_wave", "diesimple", "idle2", "run", "turnleft"};

#define SKIP_WITHOUT_CORPUS()                                                                                    \
    do                                                                                                           \
    {                                                                                                            \
        if (!std::filesystem::is_directory(CorpusDir))                                                           \
            GTEST_SKIP() << "The shared corpus is not beside the checkout: " << CorpusDir;                       \
    } while (false)

using TVec3 = std::array<float, 3>;

// One triangle corner as our load holds it, read back through the indices.
struct TLoadedCorner
{
    QString Material;
    int VertexIndex = 0;
    int TexCoordIndex = 0;
    int Bone = 0;
    TVec3 Position{};
    TVec3 Normal{};
    std::array<float, 2> TexCoord{};
};

TVec3 ToArray(const TAffineVector& v)
{
    return {v.X, v.Y, v.Z};
}

QString ToQString(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

bool HasTrianglesLine(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (line == "triangles" || line == "triangles\r")
            return true;
    return false;
}

std::vector<std::filesystem::path> CorpusFiles()
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(CorpusDir))
        if (entry.path().extension() == ".smd" && entry.path().filename() != "empty.smd")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

const TSkeletonMeshObject& OnlyMeshObject(const TGLActor& actor)
{
    const auto* const object = dynamic_cast<const TSkeletonMeshObject*>(&actor.MeshObjects()[0]);
    if (object == nullptr)
        throw std::runtime_error("the actor's mesh object has no skeleton");
    return *object;
}

// Face group after face group, which is the file's triangle order.
std::vector<TLoadedCorner> LoadedCorners(const TGLActor& actor)
{
    std::vector<TLoadedCorner> corners;
    const TSkeletonMeshObject& object = OnlyMeshObject(actor);
    for (int g = 0; g < object.FaceGroups().Count(); ++g)
    {
        const auto& group = dynamic_cast<const TFGVertexNormalTexIndexList&>(object.FaceGroups()[g]);
        for (int k = 0; k < group.VertexIndices.Count(); ++k)
        {
            const int vi = group.VertexIndices[k];
            const int ti = group.TexCoordIndices[k];
            const TAffineVector& texCoord = object.TexCoords[ti];
            corners.push_back({group.MaterialName, vi, ti, object.VerticesBonesWeights(vi)[0].BoneID,
                               ToArray(object.Vertices[vi]), ToArray(object.Normals[group.NormalIndices[k]]),
                               {texCoord.X, texCoord.Y}});
        }
    }
    return corners;
}

std::vector<std::string> MaterialPerTriangle(const std::vector<TLoadedCorner>& ours)
{
    std::vector<std::string> materials;
    for (size_t i = 0; i < ours.size(); i += 3)
        materials.push_back(ours[i].Material.toStdString());
    return materials;
}

// Assimp's corners put back in the file's order, which our groups keep.
std::vector<TOracleCorner> OracleCornersInFileOrder(const TOracleSMD& oracle, const std::vector<TLoadedCorner>& ours)
{
    const std::vector<size_t> order = AssimpTriangleOrder(MaterialPerTriangle(ours));
    std::vector<TOracleCorner> corners(3 * order.size());
    for (size_t i = 0; i < order.size() && i < oracle.Triangles.size(); ++i)
        for (size_t k = 0; k < 3; ++k)
            corners[3 * order[i] + k] = oracle.Triangles[i].Corners[k];
    return corners;
}

// Our groups, regrouped the way Assimp groups, give Assimp's materials.
void ExpectMaterialsOf(const TOracleSMD& oracle, const std::vector<TLoadedCorner>& ours)
{
    const std::vector<std::string> materials = MaterialPerTriangle(ours);
    const std::vector<size_t> order = AssimpTriangleOrder(materials);
    ASSERT_EQ(order.size(), oracle.Triangles.size());
    int wrong = 0;
    for (size_t i = 0; i < order.size(); ++i)
        wrong += materials[order[i]] != oracle.Triangles[i].Material;
    EXPECT_EQ(wrong, 0) << "triangles of another material than Assimp reads";
}

// Both readers round the same decimal text, perhaps a last bit apart.
void ExpectClose(const TVec3& actual, const TVec3& expected, const float tolerance, const std::string& what)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " component " << i;
}

float Size(const std::vector<TOracleCorner>& corners)
{
    TVec3 min{1e30f, 1e30f, 1e30f}, max{-1e30f, -1e30f, -1e30f};
    for (const TOracleCorner& corner : corners)
        for (int i = 0; i < 3; ++i)
        {
            min[i] = std::min(min[i], corner.Position[i]);
            max[i] = std::max(max[i], corner.Position[i]);
        }
    return std::max({max[0] - min[0], max[1] - min[1], max[2] - min[2]});
}

void ExpectBonesOf(TGLActor& actor, const TOracleSMD& oracle)
{
    TSkeleton& skeleton = actor.Skeleton();
    ASSERT_EQ(skeleton.RootBones().CountBones() - 1, int(oracle.Bones.size()));
    for (int id = 0; id < int(oracle.Bones.size()); ++id)
    {
        const TSkeletonBone* const bone = skeleton.RootBones().FindBoneByID(id);
        ASSERT_NE(bone, nullptr) << "bone " << id;
        EXPECT_EQ(bone->Name.toStdString(), oracle.Bones[id].Name) << "bone " << id;
        const auto* const parent = dynamic_cast<const TSkeletonBone*>(bone->Owner());
        EXPECT_EQ(parent ? parent->BoneID : -1, oracle.Bones[id].Parent) << "parent of bone " << id;
    }
}

void ExpectTrianglesOf(const std::vector<TLoadedCorner>& ours, const std::vector<TOracleCorner>& theirs,
                       const float tolerance)
{
    ASSERT_EQ(ours.size(), theirs.size());
    for (size_t i = 0; i < ours.size(); ++i)
    {
        const std::string what = "corner " + std::to_string(i);
        ExpectClose(ours[i].Position, theirs[i].Position, tolerance, what + " position");
        ExpectClose(ours[i].Normal, theirs[i].Normal, 1e-6f, what + " normal");
        EXPECT_NEAR(ours[i].TexCoord[0], theirs[i].TexCoord[0], 1e-6f) << what << " s";
        EXPECT_NEAR(ours[i].TexCoord[1], theirs[i].TexCoord[1], 1e-6f) << what << " t";
        EXPECT_EQ(ours[i].Bone, theirs[i].Bone) << what;
    }
}

// The frame-0 pose takes every vertex and normal from the space of its bone
// back to where the file put it.
void ExpectFrameZeroSkinsBackToTheFile(TGLActor& actor, const std::vector<TOracleCorner>& theirs)
{
    TSkeleton& skeleton = actor.Skeleton();
    skeleton.SetCurrentFrame(skeleton.Frames()[0]);
    skeleton.ApplySkinning(false);
    const std::vector<TLoadedCorner> skinned = LoadedCorners(actor);
    ASSERT_EQ(skinned.size(), theirs.size());
    for (size_t i = 0; i < skinned.size(); ++i)
    {
        ExpectClose(skinned[i].Position, theirs[i].Position, 1e-4f, "skinned corner " + std::to_string(i));
        ExpectClose(skinned[i].Normal, theirs[i].Normal, 1e-4f, "skinned normal " + std::to_string(i));
    }
}

uint32_t Bits(const float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// For each corner, the index of the first earlier corner with the same key,
// counted among the distinct keys: what a plain linear search hands out.
template <class TKey>
std::vector<int> FirstMatchIndices(const std::vector<TKey>& keys)
{
    std::vector<TKey> distinct;
    std::vector<int> indices;
    for (const TKey& key : keys)
    {
        int found = -1;
        for (size_t j = 0; j < distinct.size() && found < 0; ++j)
            if (distinct[j] == key)
                found = int(j);
        if (found < 0)
        {
            found = int(distinct.size());
            distinct.push_back(key);
        }
        indices.push_back(found);
    }
    return indices;
}

void ExpectSharingOf(const TGLActor& actor, const std::vector<TLoadedCorner>& ours,
                     const std::vector<TOracleCorner>& theirs)
{
    using TVertexKey = std::array<uint32_t, 7>;
    using TTexKey = std::array<uint32_t, 2>;
    std::vector<TVertexKey> vertexKeys;
    std::vector<TTexKey> texKeys;
    for (const TOracleCorner& c : theirs)
    {
        vertexKeys.push_back({uint32_t(c.Bone), Bits(c.Position[0]), Bits(c.Position[1]), Bits(c.Position[2]),
                              Bits(c.Normal[0]), Bits(c.Normal[1]), Bits(c.Normal[2])});
        texKeys.push_back({Bits(c.TexCoord[0]), Bits(c.TexCoord[1])});
    }
    const std::vector<int> vertexIndices = FirstMatchIndices(vertexKeys);
    const std::vector<int> texIndices = FirstMatchIndices(texKeys);
    const TSkeletonMeshObject& object = OnlyMeshObject(actor);
    EXPECT_EQ(object.Vertices.Count(), *std::max_element(vertexIndices.begin(), vertexIndices.end()) + 1);
    EXPECT_EQ(object.TexCoords.Count(), *std::max_element(texIndices.begin(), texIndices.end()) + 1);
    ASSERT_EQ(ours.size(), theirs.size());
    int wrongVertex = 0, wrongTex = 0;
    for (size_t i = 0; i < ours.size(); ++i)
    {
        wrongVertex += ours[i].VertexIndex != vertexIndices[i];
        wrongTex += ours[i].TexCoordIndex != texIndices[i];
    }
    EXPECT_EQ(wrongVertex, 0) << "corners whose vertex is not the first of its kind";
    EXPECT_EQ(wrongTex, 0) << "corners whose texture coordinates are not the first of their kind";
}

// Runs an action with the working directory set to `dir`, as the game loads
// its fighters from the current directory, and restores it.
template <class F>
void InDirectory(const std::filesystem::path& dir, F&& action)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(ToQString(dir)));
    action();
    QDir::setCurrent(previous);
}

class SMDCorpusActor : public ::testing::Test
{
protected:
    SMDCorpusActor()
    {
        if (FindFormatByExtension(QStringLiteral("smd")) == nullptr)
            RegisterVectorFileFormats();
    }
};
} // namespace

TEST_F(SMDCorpusActor, ModelsLoadWithTheBonesFramesAndTrianglesAssimpReads)
{
    SKIP_WITHOUT_CORPUS();
    int models = 0;
    for (const std::filesystem::path& path : CorpusFiles())
    {
        SCOPED_TRACE(path.string());
        TGLActor actor(nullptr);
        if (!HasTrianglesLine(path))
        {
            EXPECT_EQ(ErrorOf([&] { actor.LoadFromFile(ToQString(path)); }),
                      QStringLiteral("SMD is an animation, load model SMD first. (in \"%1\", at the end of the file)")
                          .arg(ToQString(path)));
            continue;
        }
        ++models;
        actor.LoadFromFile(ToQString(path));
        const TOracleSMD oracle = ReadSMDWithAssimp(path.string());
        ExpectBonesOf(actor, oracle);
        EXPECT_EQ(actor.Skeleton().Frames().Count(), oracle.FrameCount);
        ASSERT_EQ(actor.MeshObjects().Count(), 1);

        const std::vector<TLoadedCorner> ours = LoadedCorners(actor);
        const std::vector<TOracleCorner> theirs = OracleCornersInFileOrder(oracle, ours);
        ASSERT_EQ(ours.size(), 3 * oracle.Triangles.size());
        ExpectMaterialsOf(oracle, ours);
        const float tolerance = 1e-6f * std::max(1.0f, Size(theirs));
        ExpectTrianglesOf(ours, theirs, tolerance);
        ExpectSharingOf(actor, ours, theirs);
        ExpectFrameZeroSkinsBackToTheFile(actor, theirs);
    }
    EXPECT_EQ(models, 4);
}

TEST_F(SMDCorpusActor, EmptyFileFailsNamingIt)
{
    const std::filesystem::path empty = CorpusDir / "assimp/invalid/empty.smd";
    if (!std::filesystem::exists(empty))
        GTEST_SKIP() << "no corpus file " << empty;
    TGLActor actor(nullptr);
    EXPECT_EQ(ErrorOf([&] { actor.LoadFromFile(ToQString(empty)); }),
              QStringLiteral("SMD version 1 required (in \"%1\", at the end of the file)").arg(ToQString(empty)));
    EXPECT_EQ(actor.MeshObjects().Count(), 0);
}

// Each animation read on its own by Assimp poses the bones as our actor does
// when its current pose is that animation's frame.
TEST_F(SMDCorpusActor, BarneyAnimationsPoseTheBonesAsAssimpDoes)
{
    SKIP_WITHOUT_CORPUS();
    TGLActor actor(nullptr);
    InDirectory(BarneyDir, [&] { actor.LoadFromFile(QStringLiteral("barney_reference.smd")); });
    InDirectory(BarneyDir / "animations", [&] {
        for (const std::string& name : BarneyAnimations)
            actor.AddFromFile(QString::fromStdString(name + ".smd"));
    });
    const TOracleSMD model = ReadSMDWithAssimp((BarneyDir / "barney_reference.smd").string());
    const float tolerance = 1e-3f * Size(OracleCornersInFileOrder(model, LoadedCorners(actor)));

    TActorAnimations& animations = *actor.Animations();
    ASSERT_EQ(animations.Count(), 1 + int(BarneyAnimations.size()));
    EXPECT_EQ(animations[0].Name(), QStringLiteral("barney_reference"));
    EXPECT_EQ(animations[0].StartFrame(), 0);
    EXPECT_EQ(animations[0].EndFrame(), 0);
    int start = 1;
    for (size_t a = 0; a < BarneyAnimations.size(); ++a)
    {
        const std::string& name = BarneyAnimations[a];
        SCOPED_TRACE(name);
        const TOracleSMD oracle = ReadSMDWithAssimp((BarneyDir / "animations" / (name + ".smd")).string());
        const TActorAnimation& animation = animations[int(a) + 1];
        EXPECT_EQ(animation.Name().toStdString(), name);
        EXPECT_EQ(animation.Reference(), aarSkeleton);
        EXPECT_EQ(animation.StartFrame(), start);
        EXPECT_EQ(animation.EndFrame(), start + oracle.FrameCount - 1);
        // The animation lists the model's bones by the same ids, without the last.
        ASSERT_EQ(oracle.Bones.size() + 1, model.Bones.size());
        for (size_t id = 0; id < oracle.Bones.size(); ++id)
            EXPECT_EQ(oracle.Bones[id].Name, model.Bones[id].Name) << "bone " << id;

        TSkeleton& skeleton = actor.Skeleton();
        for (int f = 0; f < oracle.FrameCount; ++f)
        {
            skeleton.SetCurrentFrame(skeleton.Frames()[start + f]);
            skeleton.RootBones().UpdateGlobalMatrices();
            for (int id = 0; id < int(oracle.Bones.size()); ++id)
            {
                const TMatrix& global = skeleton.BoneByID(id)->GlobalMatrix();
                ExpectClose({global[3][0], global[3][1], global[3][2]}, oracle.GlobalPosition(f, id), tolerance,
                            "frame " + std::to_string(f) + " bone " + std::to_string(id));
            }
        }
        start += oracle.FrameCount;
    }
    EXPECT_EQ(actor.Skeleton().Frames().Count(), start);
    // The files' "time" lines, counted by eye.
    EXPECT_EQ(start, 1 + 56 + 31 + 51 + 16 + 13);
}
