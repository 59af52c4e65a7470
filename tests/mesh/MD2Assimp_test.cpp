#include "MD2.h"
#include "MD2TestFiles.h"

#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <tuple>
#include <unistd.h>

// Assimp reads frame 0 with one vertex per triangle corner and faces already
// turned counter-clockwise, so every corner can be compared with ours.
namespace
{
struct TAgreement
{
    std::size_t Corners = 0, PositionMismatches = 0, TexCoordMismatches = 0, NormalsWithin45Degrees = 0;
    std::size_t AssimpDistinctCorners = 0; // distinct (position, texture coordinates) pairs
};

TAgreement CompareWithAssimp(const std::string& path, const TMD2MorphMesh& ours)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    if (!scene || scene->mNumMeshes != 1)
        throw std::runtime_error("Assimp cannot read " + path + ": " + importer.GetErrorString());
    // Assimp leaves the file's z-up coordinates in the mesh and makes them
    // y-up in the root node only: (x, y, z) becomes (x, z, -y). We keep the
    // file's coordinates; a scene turns the model as it likes.
    const aiMatrix4x4& root = scene->mRootNode->mTransformation;
    EXPECT_EQ(root, aiMatrix4x4(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1)) << path;

    const aiMesh& theirs = *scene->mMeshes[0];
    EXPECT_EQ(std::size_t(theirs.mNumFaces) * 3, ours.TriangleIndices.size()) << path;
    EXPECT_EQ(theirs.mNumVertices, theirs.mNumFaces * 3) << path;
    TAgreement agreement;
    std::set<std::tuple<float, float, float, float, float>> distinct;
    for (unsigned f = 0; f < std::min<std::size_t>(theirs.mNumFaces, ours.TriangleIndices.size() / 3); ++f)
        for (unsigned k = 0; k < 3; ++k)
        {
            const unsigned corner = theirs.mFaces[f].mIndices[k];
            const aiVector3D& p = theirs.mVertices[corner];
            const aiVector3D& uv = theirs.mTextureCoords[0][corner];
            const aiVector3D& n = theirs.mNormals[corner];
            // Assimp starts a face at the file's last corner, we at its first; both turn the same way.
            const std::size_t i = std::size_t(ours.TriangleIndices[3 * f + (k + 1) % 3]);
            const TMD2Vector& position = ours.Frames[0].Positions[i];
            const TMD2Vector& normal = ours.Frames[0].Normals[i];
            const TMD2TexPoint& texCoord = ours.TexCoords[i];
            ++agreement.Corners;
            agreement.PositionMismatches += position != TMD2Vector{p.x, p.y, p.z};
            agreement.TexCoordMismatches += std::abs(texCoord.S - uv.x) > 1e-6f || std::abs(texCoord.T - uv.y) > 1e-6f;
            // Assimp takes its normals from the format's table with y and z swapped.
            // Assimp's normals come from the format's table of packed
            // normals; ours from the geometry. They should point alike.
            agreement.NormalsWithin45Degrees += normal.X * n.x + normal.Y * n.y + normal.Z * n.z > 0.7071f;
            distinct.insert({p.x, p.y, p.z, uv.x, uv.y});
        }
    agreement.AssimpDistinctCorners = distinct.size();
    return agreement;
}

void ExpectAgreementWithAssimp(const std::string& path, bool normalIndicesAreReal)
{
    const TMD2MorphMesh ours = MakeMD2MorphMesh(ReadMD2File(QString::fromStdString(path)));
    const TAgreement agreement = CompareWithAssimp(path, ours);
    std::cout << path << ": " << agreement.Corners << " corners, " << ours.TexCoords.size() << " vertices, "
              << agreement.NormalsWithin45Degrees << " normals within 45 degrees of Assimp's\n";
    EXPECT_GT(agreement.Corners, 0u) << path;
    EXPECT_EQ(agreement.PositionMismatches, 0u) << path;
    EXPECT_EQ(agreement.TexCoordMismatches, 0u) << path;
    // Holds while no two of the file's (vertex, texture coordinate) pairs
    // have the same position and texture coordinates, as in these files.
    EXPECT_EQ(ours.TexCoords.size(), agreement.AssimpDistinctCorners) << path;
    if (normalIndicesAreReal)
    {
        EXPECT_GT(agreement.NormalsWithin45Degrees, agreement.Corners * 95 / 100) << path;
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
