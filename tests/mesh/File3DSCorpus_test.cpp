// Every 3DS file of the shared corpus, read by us and by lib3ds and Assimp:
// what the files store must come out the same.
#include "File3DS.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <map>
#include <memory>
#include <set>

namespace {

const QString CorpusDir = QStringLiteral(STICKFIGHT_CORPUS_DIR "/3ds");

bool CorpusPresent()
{
    return QDir(CorpusDir).exists();
}

#define SKIP_WITHOUT_CORPUS()                                                                                   \
    do {                                                                                                        \
        if (!CorpusPresent()) {                                                                                 \
            GTEST_SKIP() << "The shared corpus is not beside the checkout: " << qPrintable(CorpusDir);          \
        }                                                                                                       \
    } while (false)

// The model files: every .3ds in any case, plus the one stored without extension.
QStringList ModelFiles()
{
    QStringList files;
    QDirIterator it(CorpusDir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if ((suffix == QLatin1String("3ds") || QFileInfo(path).fileName() == QLatin1String("testFormatDetection"))
            && !path.endsWith(QLatin1String("invalid/empty.3ds")))
            files << path;
    }
    files.sort();
    return files;
}

struct TLib3dsFileDeleter
{
    void operator()(Lib3dsFile* file) const { lib3ds_file_free(file); }
};

// The material each face ends up with: the last group listing it wins, as in a
// reader that stores one material name per face.
std::vector<QString> FaceMaterials(const T3DSMesh& mesh)
{
    std::vector<QString> materials(mesh.Faces.size());
    for (const T3DSMaterialGroup& group : mesh.MaterialGroups)
        for (const uint16_t face : group.Faces)
            materials[face] = group.MaterialName;
    return materials;
}

// A colour the file does not store is black for us and a grey of lib3ds's own
// choosing for lib3ds; only stored colours are compared.
void ExpectSameColor(const T3DSColor& ours, const Lib3dsRgba theirs, float lib3dsDefault)
{
    if (ours == T3DSColor{} && theirs[0] == lib3dsDefault && theirs[1] == lib3dsDefault && theirs[2] == lib3dsDefault)
        return;
    EXPECT_EQ(ours, (T3DSColor{theirs[0], theirs[1], theirs[2]}));
}

void ExpectSameAsLib3ds(const QString& path)
{
    SCOPED_TRACE(qPrintable(path));
    TFile3DS file;
    file.LoadFromFile(path);
    const std::unique_ptr<Lib3dsFile, TLib3dsFileDeleter> oracle(lib3ds_file_load(QFile::encodeName(path).constData()));
    ASSERT_TRUE(oracle) << "lib3ds cannot read it";

    // lib3ds keeps meshes and materials sorted by name, so they are matched by
    // name, in file order among equal names.
    std::vector<const Lib3dsMesh*> theirMeshes;
    for (const Lib3dsMesh* theirs = oracle->meshes; theirs; theirs = theirs->next)
        theirMeshes.push_back(theirs);
    ASSERT_EQ(file.MeshCount(), static_cast<int>(theirMeshes.size()));
    for (int index = 0; index < file.MeshCount(); ++index) {
        const T3DSMesh& ours = file.Mesh(index);
        SCOPED_TRACE(qPrintable(ours.Name));
        const auto match = std::find_if(theirMeshes.begin(), theirMeshes.end(), [&](const Lib3dsMesh* mesh) {
            return mesh && ours.Name == QLatin1String(mesh->name);
        });
        ASSERT_NE(match, theirMeshes.end());
        const Lib3dsMesh* const theirs = *match;
        *match = nullptr;
        EXPECT_EQ(ours.Name.toStdString(), std::string(theirs->name));
        ASSERT_EQ(ours.Vertices.size(), theirs->points);
        for (size_t i = 0; i < ours.Vertices.size(); ++i) {
            const T3DSVector& v = ours.Vertices[i];
            ASSERT_EQ(v, (T3DSVector{theirs->pointL[i].pos[0], theirs->pointL[i].pos[1], theirs->pointL[i].pos[2]}))
                << "vertex " << i;
        }
        ASSERT_EQ(ours.TexCoords.size(), theirs->texels);
        for (size_t i = 0; i < ours.TexCoords.size(); ++i)
            ASSERT_EQ(ours.TexCoords[i], (T3DSTexPoint{theirs->texelL[i][0], theirs->texelL[i][1]})) << "texel " << i;
        ASSERT_EQ(ours.Faces.size(), theirs->faces);
        const std::vector<QString> materials = FaceMaterials(ours);
        for (size_t i = 0; i < ours.Faces.size(); ++i) {
            const Lib3dsFace& face = theirs->faceL[i];
            const T3DSFace& our = ours.Faces[i];
            ASSERT_EQ((std::array{our.A, our.B, our.C}), (std::array{face.points[0], face.points[1], face.points[2]}))
                << "face " << i;
            ASSERT_EQ(our.Flags, face.flags) << "face " << i;
            const uint32_t smoothing = i < ours.SmoothingGroups.size() ? ours.SmoothingGroups[i] : 0;
            ASSERT_EQ(smoothing, face.smoothing) << "face " << i;
            ASSERT_EQ(materials[i].toStdString(), std::string(face.material)) << "face " << i;
        }
    }

    int materialCount = 0;
    for (const Lib3dsMaterial* theirs = oracle->materials; theirs; theirs = theirs->next, ++materialCount) {
        SCOPED_TRACE(theirs->name);
        const T3DSMaterial* const found = file.FindMaterial(QString::fromLatin1(theirs->name));
        ASSERT_TRUE(found);
        const T3DSMaterial& ours = *found;
        EXPECT_EQ(ours.Name.toStdString(), std::string(theirs->name));
        ExpectSameColor(ours.Ambient, theirs->ambient, 0.588235f);
        ExpectSameColor(ours.Diffuse, theirs->diffuse, 0.588235f);
        ExpectSameColor(ours.Specular, theirs->specular, 0.898039f);
        if (!(ours.Shininess == 0 && theirs->shininess == 0.1f)) {
            EXPECT_FLOAT_EQ(ours.Shininess, theirs->shininess);
        }
        EXPECT_FLOAT_EQ(ours.ShininessStrength, theirs->shin_strength);
        EXPECT_EQ(ours.Texture.FileName.toStdString(), std::string(theirs->texture1_map.name));
        EXPECT_EQ(ours.SelfIlluminationMap.FileName.toStdString(), std::string(theirs->self_illum_map.name));
    }
    EXPECT_EQ(materialCount, file.MaterialCount());
}

} // namespace

TEST(File3DSCorpus, EveryFileReadsAsLib3dsReadsIt)
{
    SKIP_WITHOUT_CORPUS();
    const QStringList files = ModelFiles();
    ASSERT_GE(files.size(), 24); // the corpus as shipped: a lower count means files went unseen
    for (const QString& path : files)
        ExpectSameAsLib3ds(path);
}

// Assimp splits objects by material and unrolls faces, so only what keeps its
// meaning is compared: the faces per object and the material names.
TEST(File3DSCorpus, FacesPerObjectAndMaterialNamesAgreeWithAssimp)
{
    SKIP_WITHOUT_CORPUS();
    for (const QString& path : ModelFiles()) {
        SCOPED_TRACE(qPrintable(path));
        TFile3DS file;
        file.LoadFromFile(path);
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(QFile::encodeName(path).constData(), 0);
        ASSERT_TRUE(scene) << importer.GetErrorString();

        std::map<std::string, unsigned> theirFaces;
        std::vector<const aiNode*> nodes{scene->mRootNode};
        while (!nodes.empty()) {
            const aiNode* node = nodes.back();
            nodes.pop_back();
            for (unsigned i = 0; i < node->mNumMeshes; ++i)
                theirFaces[node->mName.C_Str()] += scene->mMeshes[node->mMeshes[i]]->mNumFaces;
            for (unsigned i = 0; i < node->mNumChildren; ++i)
                nodes.push_back(node->mChildren[i]);
        }
        std::map<std::string, unsigned> ourFaces;
        for (int i = 0; i < file.MeshCount(); ++i)
            if (!file.Mesh(i).Faces.empty())
                ourFaces[file.Mesh(i).Name.toStdString()] += static_cast<unsigned>(file.Mesh(i).Faces.size());
        for (const auto& [name, faces] : ourFaces) {
            if (theirFaces.count(name)) {
                EXPECT_EQ(faces, theirFaces[name]) << name;
            }
        }
        unsigned ourTotal = 0, theirTotal = 0;
        for (const auto& [name, faces] : ourFaces)
            ourTotal += faces;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i)
            theirTotal += scene->mMeshes[i]->mNumFaces;
        EXPECT_EQ(ourTotal, theirTotal);

        std::set<std::string> theirMaterials;
        for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
            aiString name;
            scene->mMaterials[i]->Get(AI_MATKEY_NAME, name);
            theirMaterials.insert(name.C_Str());
        }
        for (int i = 0; i < file.MaterialCount(); ++i)
            EXPECT_TRUE(theirMaterials.count(file.Material(i).Name.toStdString())) << file.Material(i).Name.toStdString();
    }
}

TEST(File3DSCorpus, EmptyFileFailsWithClearError)
{
    SKIP_WITHOUT_CORPUS();
    TFile3DS file;
    const QString path = CorpusDir + QStringLiteral("/assimp/invalid/empty.3ds");
    try {
        file.LoadFromFile(path);
        FAIL() << "an empty file loaded";
    } catch (const E3DSError& error) {
        EXPECT_EQ(error.Message(), path + QStringLiteral(": the file holds 0 bytes, too few for a 3DS chunk header"));
    }
}
