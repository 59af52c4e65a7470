#include "MD2.h"
#include "MD2TestFiles.h"

#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>
#include <unistd.h>

namespace
{
// Assimp reads frame 0 with one vertex per triangle corner and its faces
// turned counter-clockwise like ours, so every corner can be compared.
void ExpectAgreementWithAssimp(const std::string& path, bool normalIndicesAreReal)
{
    const TMD2MorphMesh ours = MakeMD2MorphMesh(ReadMD2File(QString::fromStdString(path)));
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    ASSERT_TRUE(scene && scene->mNumMeshes == 1) << path << ": " << importer.GetErrorString();
    // Assimp leaves the file's z-up coordinates in the mesh and makes them
    // y-up in the root node only: (x, y, z) becomes (x, z, -y). We keep the
    // file's coordinates; a scene turns the model as it likes.
    EXPECT_EQ(scene->mRootNode->mTransformation, aiMatrix4x4(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1));
    const aiMesh& theirs = *scene->mMeshes[0];
    ASSERT_EQ(std::size_t(theirs.mNumFaces) * 3, ours.TriangleIndices.size()) << path;
    EXPECT_EQ(theirs.mNumVertices, theirs.mNumFaces * 3) << path;

    std::size_t positionMismatches = 0, texCoordMismatches = 0, normalsWithin45Degrees = 0;
    std::set<std::tuple<float, float, float, float, float>> distinctCorners;
    for (unsigned f = 0; f < theirs.mNumFaces; ++f)
        for (unsigned k = 0; k < 3; ++k)
        {
            const unsigned corner = theirs.mFaces[f].mIndices[k];
            const aiVector3D &p = theirs.mVertices[corner], &uv = theirs.mTextureCoords[0][corner];
            const aiVector3D& n = theirs.mNormals[corner];
            // Assimp starts a face at the file's last corner, we at its first.
            const std::size_t i = std::size_t(ours.TriangleIndices[3 * f + (k + 1) % 3]);
            const TMD2Vector &position = ours.Frames[0].Positions[i], &normal = ours.Frames[0].Normals[i];
            positionMismatches += position != TMD2Vector{p.x, p.y, p.z};
            texCoordMismatches +=
                std::abs(ours.TexCoords[i].S - uv.x) > 1e-6f || std::abs(ours.TexCoords[i].T - uv.y) > 1e-6f;
            // Assimp's normals come from the format's packed-normal table, ours from the geometry.
            normalsWithin45Degrees += normal.X * n.x + normal.Y * n.y + normal.Z * n.z > 0.7071f;
            distinctCorners.insert({p.x, p.y, p.z, uv.x, uv.y});
        }
    EXPECT_EQ(positionMismatches, 0u) << path;
    EXPECT_EQ(texCoordMismatches, 0u) << path;
    // Holds while no two (vertex, texture coordinate) pairs of the file have
    // the same position and texture coordinates, as in these files.
    EXPECT_EQ(ours.TexCoords.size(), distinctCorners.size()) << path;
    if (normalIndicesAreReal)
    {
        EXPECT_GT(normalsWithin45Degrees, ours.TriangleIndices.size() * 95 / 100) << path;
    }
}
} // namespace

TEST(MD2Reader, OurFileAgreesWithAssimpOnFrameZero)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("stickfight-md2-" + std::to_string(getpid()) + ".md2");
    const auto bytes = TSmallMD2::Bytes();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    // Its normal indices are all 0, so Assimp's normals are not worth comparing.
    ExpectAgreementWithAssimp(path.string(), false);
    std::filesystem::remove(path);
}

TEST(MD2Reader, ThirdPartyFilesAgreeWithAssimpOnFrameZero)
{
    const std::filesystem::path corpus = std::filesystem::path(STICKFIGHT_CORPUS_DIR) / "md2" / "assimp";
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "No third-party md2 files at " << corpus;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus))
        if (entry.path().extension() == ".md2")
        {
            ExpectAgreementWithAssimp(entry.path().string(), true);
            ++files;
        }
    EXPECT_GT(files, 0) << corpus;
}
