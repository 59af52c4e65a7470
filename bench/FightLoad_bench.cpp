// The whole load of a fight beside Assimp's reading of the same files: the
// town (Miniville.3ds) into a free form, then each fighter's model
// (Stick.smd) and its eleven animations into an actor, twice, as the fight
// window's set-up does it (LoadFromFile, then AddFromFile per animation): one
// 3DS load and 24 SMD loads. Our time covers reading and parsing the files
// into meshes, skeletons and animations; nothing is sent to OpenGL (the set-up
// does not either: the town's display list is compiled at its first frame).
// Assimp reads the 25 files without post-processing, with the same options as
// the other load benchmarks.
//   fight_load_bench [--repetitions N]
// Prints the median, minimum and maximum of the CPU time of the whole load
// over the repetitions, and lines "RESULT key value" for scripts/bench.sh.

#include "AssimpSMDLoad.h"
#include "Percentile.h"

#include "GLActor.h"
#include "GLBaseMesh.h"
#include "LargeBlocks.h"
#include "VectorFile.h"
#include "VectorUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace
{
const QString TownFile = QStringLiteral(STICKFIGHT_GAME_DIR "/Miniville.3ds");
// Animations are named after the file name as given: the fighters are read
// from their folder, as the fight reads them.
const QString ComboDir = QStringLiteral(STICKFIGHT_GAME_DIR "/../Combo");
const std::array<const char*, 11> AnimationFiles{
    "Anime_Pause.smd", "Anime_Pas.smd",  "Anime_Arriere.smd", "Anime_Accroupi.smd", "Combo1_1.smd",  "Combo1_2.smd",
    "Combo1_3.smd",    "Anime_Saut.smd", "Anime_Mur.smd",     "Anime_Touche.smd",   "Anime_Mort.smd"};
constexpr int Fighters = 2;

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double WallSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

struct TTimes
{
    double Cpu;
    double Wall;
};

template <class F> TTimes Time(F&& load)
{
    const double cpu = CpuSeconds();
    const double wall = WallSeconds();
    load();
    return {CpuSeconds() - cpu, WallSeconds() - wall};
}

// The objects live until the next load, as the fight's live until it ends;
// their destruction is not part of the load.
struct TOurFight
{
    std::unique_ptr<TGLFreeForm> Town;
    std::array<std::unique_ptr<TGLActor>, Fighters> Actors;
};

void LoadOurs(TOurFight& fight)
{
    fight.Town = std::make_unique<TGLFreeForm>(nullptr);
    fight.Town->LoadFromFile(TownFile);
    for (auto& actor : fight.Actors)
    {
        actor = std::make_unique<TGLActor>(nullptr);
        actor->LoadFromFile(QStringLiteral("Stick.smd"));
        for (const char* file : AnimationFiles)
            actor->AddFromFile(QString::fromLatin1(file));
        actor->SwitchAnimation(QStringLiteral("Anime_Pause"), false);
    }
}

void Check(const aiScene* const scene)
{
    if (scene == nullptr)
    {
        std::fprintf(stderr, "Assimp failed: %s\n", aiGetErrorString());
        std::exit(1);
    }
}

struct TAssimpFight
{
    std::vector<TAssimpScene> Scenes;
};

void LoadWithAssimp(TAssimpFight& fight)
{
    // Our load clears the vector registers before its float work (see
    // VectorUnit.h); Assimp gets the same start.
    ClearUpperVectorRegisters();
    fight.Scenes.emplace_back(aiImportFile(QFile::encodeName(TownFile).constData(), 0));
    Check(fight.Scenes.back().get());
    for (int i = 0; i < Fighters; ++i)
    {
        fight.Scenes.push_back(LoadSMDWithAssimp("Stick.smd"));
        Check(fight.Scenes.back().get());
        for (const char* file : AnimationFiles)
        {
            fight.Scenes.push_back(LoadSMDWithAssimp(file));
            Check(fight.Scenes.back().get());
        }
    }
}

// What each side read, so that a load that silently reads nothing shows.
void PrintContents(const TOurFight& ours, const TAssimpFight& assimp)
{
    std::printf("ours: town %d triangles; each fighter %d triangles, %d frames, %d animations\n",
                ours.Town->MeshObjects().TriangleCount(), ours.Actors[0]->MeshObjects().TriangleCount(),
                ours.Actors[0]->Skeleton().Frames().Count(), ours.Actors[0]->Animations()->Count());
    unsigned faces = 0;
    unsigned animations = 0;
    for (const TAssimpScene& scene : assimp.Scenes)
    {
        for (unsigned m = 0; m < scene->mNumMeshes; ++m)
            faces += scene->mMeshes[m]->mNumFaces;
        animations += scene->mNumAnimations;
    }
    std::printf("Assimp: %zu scenes, %u faces in all, %u animations in all\n", assimp.Scenes.size(), faces,
                animations);
}

int Repetitions(const int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--repetitions") == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    return 15;
}

void Print(const char* name, const std::vector<double>& cpu, const std::vector<double>& wall)
{
    std::printf("%-7s CPU median %7.2f ms (min %7.2f, max %7.2f); wall median %7.2f ms\n", name,
                Percentile(cpu, 0.5) * 1e3, Percentile(cpu, 0) * 1e3, Percentile(cpu, 1) * 1e3,
                Percentile(wall, 0.5) * 1e3);
}
} // namespace

int main(int argc, char** argv)
{
    // As the game does at start: both readers then reuse their large blocks.
    KeepLargeBlocksForReuse();
    QCoreApplication application(argc, argv);
    RegisterVectorFileFormats();
    QDir::setCurrent(ComboDir);
    const int repetitions = Repetitions(argc, argv);
    std::vector<double> oursCpu, oursWall, assimpCpu, assimpWall;
    // One untimed round of each first: the files in the page cache, the
    // heap grown.
    for (int round = -1; round < repetitions; ++round)
    {
        TOurFight ours;
        const TTimes oursTime = Time([&] { LoadOurs(ours); });
        TAssimpFight assimp;
        const TTimes assimpTime = Time([&] { LoadWithAssimp(assimp); });
        if (round < 0)
        {
            PrintContents(ours, assimp);
            continue;
        }
        oursCpu.push_back(oursTime.Cpu);
        oursWall.push_back(oursTime.Wall);
        assimpCpu.push_back(assimpTime.Cpu);
        assimpWall.push_back(assimpTime.Wall);
    }
    std::printf("whole fight load (1 3DS + 24 SMD files), %d repetitions, no OpenGL upload:\n", repetitions);
    Print("ours", oursCpu, oursWall);
    Print("Assimp", assimpCpu, assimpWall);
    const double ratio = Percentile(oursCpu, 0.5) / Percentile(assimpCpu, 0.5);
    std::printf("ours / Assimp (CPU medians) %.2f, target at most 0.50: %s\n", ratio, ratio <= 0.5 ? "met" : "MISSED");
    std::printf("RESULT ours_ms %.3f\nRESULT ours_min_ms %.3f\nRESULT ours_max_ms %.3f\n", Percentile(oursCpu, 0.5) * 1e3,
                Percentile(oursCpu, 0) * 1e3, Percentile(oursCpu, 1) * 1e3);
    std::printf("RESULT assimp_ms %.3f\nRESULT assimp_min_ms %.3f\nRESULT assimp_max_ms %.3f\n",
                Percentile(assimpCpu, 0.5) * 1e3, Percentile(assimpCpu, 0) * 1e3, Percentile(assimpCpu, 1) * 1e3);
    return 0;
}
