// The files the build generates, as the game and other programs read them.
#include "File3DS.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace
{
const QString GameDir = QStringLiteral(STICKFIGHT_GAME_DIR);

QStringList GeneratedFiles()
{
    QStringList files{QStringLiteral("bin/Miniville.3ds"), QStringLiteral("bin/Option1.3ds"),
                      QStringLiteral("bin/Stick.3ds")};
    for (int n = 1; n <= 26; ++n)
        files << QStringLiteral("Anime/Play/Play%1.3ds").arg(n) << QStringLiteral("Anime/Play_game/Play_game%1.3ds").arg(n);
    for (int n = 1; n <= 12; ++n)
        files << QStringLiteral("Anime/Quit/Quit%1.3ds").arg(n);
    return files;
}

QByteArray Contents(const QString& fileName)
{
    QFile file(fileName);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(fileName);
    return file.readAll();
}

std::vector<QString> ObjectNames(TFile3DS& file)
{
    std::vector<QString> names;
    for (int i = 0; i < file.MeshCount(); ++i)
        names.push_back(file.Mesh(i).Name);
    return names;
}

size_t FaceCount(TFile3DS& file)
{
    size_t faces = 0;
    for (int i = 0; i < file.MeshCount(); ++i)
        faces += file.Mesh(i).Faces.size();
    return faces;
}

std::set<uint32_t> SmoothingGroups(TFile3DS& file)
{
    std::set<uint32_t> groups;
    for (int i = 0; i < file.MeshCount(); ++i)
    {
        const T3DSMesh& mesh = file.Mesh(i);
        EXPECT_TRUE(mesh.HasSmoothingGroups) << qPrintable(mesh.Name);
        EXPECT_EQ(mesh.SmoothingGroups.size(), mesh.Faces.size()) << qPrintable(mesh.Name);
        groups.insert(mesh.SmoothingGroups.begin(), mesh.SmoothingGroups.end());
    }
    return groups;
}

TFile3DS Load(const QString& relative)
{
    TFile3DS file;
    file.LoadFromFile(GameDir + QLatin1Char('/') + relative);
    return file;
}

std::vector<QString> Names(std::initializer_list<const char*> names)
{
    std::vector<QString> result;
    for (const char* name : names)
        result.push_back(QString::fromLatin1(name));
    return result;
}
} // namespace

TEST(GeneratedModels, MenuFilesHoldOneSolidLetterPerObject)
{
    const auto play = Names({"Play_P", "Play_L", "Play_A", "Play_Y"});
    const auto quit = Names({"Quit_Q", "Quit_U", "Quit_I", "Quit_T"});
    for (const QString& relative : GeneratedFiles())
    {
        if (relative.endsWith(QStringLiteral("Miniville.3ds")) || relative.endsWith(QStringLiteral("Stick.3ds")))
            continue;
        TFile3DS file = Load(relative);
        const auto names = ObjectNames(file);
        if (relative.contains(QStringLiteral("Quit")))
            EXPECT_EQ(names, quit) << qPrintable(relative);
        else if (relative.contains(QStringLiteral("Option1")))
            EXPECT_EQ(names, Names({"Options_O1", "Options_P", "Options_T", "Options_I", "Options_O2", "Options_N",
                                    "Options_S"}));
        else
            EXPECT_EQ(names, play) << qPrintable(relative);
        // Front, back and sides, each in its own group.
        EXPECT_EQ(SmoothingGroups(file), (std::set<uint32_t>{1, 2, 4})) << qPrintable(relative);
    }
    // I is a bar: 2 triangles in front, 2 behind, 2 on each of 4 sides.
    TFile3DS quit1 = Load(QStringLiteral("Anime/Quit/Quit1.3ds"));
    EXPECT_EQ(quit1.Mesh(2).Faces.size(), 12u);
    EXPECT_EQ(quit1.Mesh(2).Vertices.size(), 4u + 4u + 16u);
}

TEST(GeneratedModels, TownHasNamedBuildingsSmoothingGroupsAndNothingInsideTheArena)
{
    TFile3DS town = Load(QStringLiteral("bin/Miniville.3ds"));
    const auto names = ObjectNames(town);
    for (const char* expected : {"House01", "Church", "Tower", "Tree01", "Fountain", "Well", "Ground", "Square",
                                 "Streets"})
        EXPECT_NE(std::find(names.begin(), names.end(), QString::fromLatin1(expected)), names.end()) << expected;
    EXPECT_GT(FaceCount(town), 5000u);
    // Boxes keep a group per side; round things share group 1.
    const std::set<uint32_t> groups = SmoothingGroups(town);
    for (const uint32_t group : {1u, 2u, 4u, 8u, 16u, 32u})
        EXPECT_TRUE(groups.count(group)) << group;

    // The arena's walls enclose x and y within 10 / 200 of the origin: no
    // face may have its middle there. The ground lies below the floor at
    // model z = 0.12, and houses rise above it.
    float lowest = 1, highest = 0;
    for (int i = 0; i < town.MeshCount(); ++i)
    {
        const T3DSMesh& mesh = town.Mesh(i);
        for (const T3DSFace& face : mesh.Faces)
        {
            const T3DSVector& a = mesh.Vertices[face.A];
            const T3DSVector& b = mesh.Vertices[face.B];
            const T3DSVector& c = mesh.Vertices[face.C];
            const float x = (a.X + b.X + c.X) / 3, y = (a.Y + b.Y + c.Y) / 3;
            EXPECT_FALSE(std::abs(x) < 0.05f && std::abs(y) < 0.05f) << qPrintable(mesh.Name) << " reaches into the arena";
        }
        for (const T3DSVector& v : mesh.Vertices)
            lowest = std::min(lowest, v.Z), highest = std::max(highest, v.Z);
    }
    EXPECT_LT(lowest, 0.12f);
    EXPECT_GT(lowest, 0.12f - 1 / 200.0f) << "the ground is more than a unit below the floor";
    EXPECT_GT(highest, 0.12f + 30 / 200.0f) << "no tower stands over the square";
}

TEST(GeneratedModels, AssimpReadsEveryFileWithTheSameObjectsAndTriangles)
{
    for (const QString& relative : GeneratedFiles())
    {
        const QString path = GameDir + QLatin1Char('/') + relative;
        Assimp::Importer importer;
        const aiScene* const scene = importer.ReadFile(path.toStdString(), 0);
        ASSERT_NE(scene, nullptr) << qPrintable(relative) << ": " << importer.GetErrorString();
        size_t triangles = 0;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i)
            triangles += scene->mMeshes[i]->mNumFaces;
        TFile3DS file = Load(relative);
        EXPECT_EQ(static_cast<int>(scene->mNumMeshes), file.MeshCount()) << qPrintable(relative);
        EXPECT_EQ(triangles, FaceCount(file)) << qPrintable(relative);
    }
}

TEST(GeneratedModels, HoverLoopsCloseOnTheirFirstFrame)
{
    // The menu shows Play 1 to 25 and Quit 1 to 11 over and over: the files
    // after the loops' ends are their first frames again, and the middles move.
    const auto bytes = [](const char* relative) { return Contents(GameDir + QLatin1Char('/') + relative); };
    EXPECT_EQ(bytes("Anime/Play/Play26.3ds"), bytes("Anime/Play/Play1.3ds"));
    EXPECT_EQ(bytes("Anime/Quit/Quit12.3ds"), bytes("Anime/Quit/Quit1.3ds"));
    EXPECT_NE(bytes("Anime/Play/Play13.3ds"), bytes("Anime/Play/Play1.3ds"));
    EXPECT_NE(bytes("Anime/Quit/Quit6.3ds"), bytes("Anime/Quit/Quit1.3ds"));
    EXPECT_EQ(bytes("Anime/Play_game/Play_game1.3ds"), bytes("Anime/Play/Play1.3ds"));
}

TEST(GeneratedModels, GeneratorMakesTheSameBytesEveryRunWithinTenSeconds)
{
    QTemporaryDir first, second;
    for (const QTemporaryDir* dir : {&first, &second})
    {
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(QProcess::execute(QStringLiteral(MAKE_MODELS), {dir->path()}), 0);
        EXPECT_LT(clock.elapsed(), 10000);
    }
    for (const QString& relative : GeneratedFiles())
    {
        const QByteArray made = Contents(first.filePath(relative));
        EXPECT_FALSE(made.isEmpty()) << qPrintable(relative);
        EXPECT_EQ(made, Contents(second.filePath(relative))) << qPrintable(relative);
        EXPECT_EQ(made, Contents(GameDir + QLatin1Char('/') + relative)) << qPrintable(relative);
    }
}
