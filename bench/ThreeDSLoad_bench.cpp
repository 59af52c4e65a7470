// Speed and heap of loading 3DS files into a free form, the whole path the
// game takes (file, chunk tree, records, smoothing and normals, mesh objects),
// side by side with lib3ds (load and its normals) and Assimp (import without
// post-processing), plus the menu's reload of two button meshes and the heap
// left in use after many reloads.
//   three_ds_load_bench [CORPUS_3DS_DIR]

#include "GLBaseMesh.h"
#include "VectorFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <assimp/cimport.h>
#include <assimp/scene.h>
#include <lib3ds/file.h>
#include <lib3ds/mesh.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

// Each load is timed alone; small files get more loads so that their median
// is not at the mercy of one scheduler tick.
constexpr int MinimumLoads = 20;
constexpr int MaximumLoads = 2000;
constexpr double MeasureSecondsPerReader = 0.5;
constexpr double MenuTickMs = 5.0;

double MedianMs(const std::function<void()>& load, const int loads)
{
    std::vector<double> times;
    times.reserve(static_cast<size_t>(loads));
    for (int i = 0; i < loads; ++i)
    {
        const Clock::time_point start = Clock::now();
        load();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + loads / 2, times.end());
    return times[static_cast<size_t>(loads / 2)];
}

// As many loads as fit the measuring time at the speed of a first load.
int LoadsFor(const std::function<void()>& load)
{
    load();
    const Clock::time_point start = Clock::now();
    load();
    const double seconds = std::max(1e-6, std::chrono::duration<double>(Clock::now() - start).count());
    return std::clamp(static_cast<int>(MeasureSecondsPerReader / seconds), MinimumLoads, MaximumLoads);
}

void LoadWithLib3ds(const QByteArray& path)
{
    Lib3dsFile* const file = lib3ds_file_load(path.constData());
    if (file == nullptr)
        return;
    for (Lib3dsMesh* mesh = file->meshes; mesh != nullptr; mesh = mesh->next)
    {
        const std::unique_ptr<Lib3dsVector[]> normals(new Lib3dsVector[3 * size_t{mesh->faces} + 1]);
        lib3ds_mesh_calculate_normals(mesh, normals.get());
    }
    lib3ds_file_free(file);
}

void LoadWithAssimp(const QByteArray& path)
{
    if (const aiScene* const scene = aiImportFile(path.constData(), 0))
        aiReleaseImport(scene);
}

int FaceCount(const QString& path)
{
    TGLFreeForm freeForm(nullptr);
    freeForm.LoadFromFile(path);
    return freeForm.TriangleCount();
}

// ------------------------------------------------------------ stand-in buttons

void AppendU16(QByteArray& bytes, const uint16_t value)
{
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>(value >> 8));
}

void AppendU32(QByteArray& bytes, const uint32_t value)
{
    AppendU16(bytes, static_cast<uint16_t>(value & 0xFFFF));
    AppendU16(bytes, static_cast<uint16_t>(value >> 16));
}

void AppendFloat(QByteArray& bytes, const float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    AppendU32(bytes, bits);
}

QByteArray Chunk(const uint16_t tag, const QByteArray& body)
{
    QByteArray bytes;
    AppendU16(bytes, tag);
    AppendU32(bytes, static_cast<uint32_t>(6 + body.size()));
    return bytes + body;
}

// A rounded slab of `rings` x `segments` quads on a squashed sphere, smoothed
// in one group, as a menu button might be modelled.
QByteArray ButtonModel(const char* name, const int rings, const int segments)
{
    QByteArray vertices;
    AppendU16(vertices, static_cast<uint16_t>((rings + 1) * (segments + 1)));
    for (int ring = 0; ring <= rings; ++ring)
    {
        const double polar = std::numbers::pi * ring / rings;
        for (int segment = 0; segment <= segments; ++segment)
        {
            const double azimuth = 2 * std::numbers::pi * segment / segments;
            AppendFloat(vertices, static_cast<float>(2.0 * std::sin(polar) * std::cos(azimuth)));
            AppendFloat(vertices, static_cast<float>(0.6 * std::sin(polar) * std::sin(azimuth)));
            AppendFloat(vertices, static_cast<float>(0.3 * std::cos(polar)));
        }
    }
    QByteArray faces;
    QByteArray smoothing;
    AppendU16(faces, static_cast<uint16_t>(2 * rings * segments));
    const auto addFace = [&](const std::array<uint16_t, 3> corners)
    {
        for (const uint16_t corner : corners)
            AppendU16(faces, corner);
        AppendU16(faces, 7);
        AppendU32(smoothing, 1);
    };
    for (int ring = 0; ring < rings; ++ring)
        for (int segment = 0; segment < segments; ++segment)
        {
            const auto at = [&](int r, int s) { return static_cast<uint16_t>(r * (segments + 1) + s); };
            addFace({at(ring, segment), at(ring + 1, segment), at(ring + 1, segment + 1)});
            addFace({at(ring, segment), at(ring + 1, segment + 1), at(ring, segment + 1)});
        }
    const QByteArray triangles = Chunk(0x4100, Chunk(0x4110, vertices) + Chunk(0x4120, faces + Chunk(0x4150, smoothing)));
    const QByteArray object = Chunk(0x4000, QByteArray(name) + QByteArray(1, '\0') + triangles);
    return Chunk(0x4D4D, Chunk(0x3D3D, object));
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return path;
}

// ------------------------------------------------------------ the three parts

QStringList BenchmarkFiles(const QString& corpusDir)
{
    QStringList files;
    for (const char* name : {"irrlicht/sphere.3ds", "irrlicht/room.3ds"})
        files << QDir(corpusDir).filePath(QString::fromLatin1(name));
    // Then the largest of the rest.
    QFileInfoList others;
    QDirIterator it(corpusDir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QFileInfo info(it.next());
        if (info.suffix().compare(QLatin1String("3ds"), Qt::CaseInsensitive) == 0 && info.size() > 0
            && !files.contains(info.filePath()))
            others << info;
    }
    std::sort(others.begin(), others.end(), [](const QFileInfo& a, const QFileInfo& b) { return a.size() > b.size(); });
    for (int i = 0; i < std::min<qsizetype>(4, others.size()); ++i)
        files << others[i].filePath();
    return files;
}

bool CompareReaders(const QStringList& files, const QString& corpusDir)
{
    std::printf("%-34s %7s %9s %9s %9s %8s %8s  %s\n", "file", "faces", "ours ms", "lib3ds ms", "assimp ms",
                "/lib3ds", "/assimp", "targets (<= lib3ds, <= assimp / 2)");
    bool allHold = true;
    for (const QString& path : files)
    {
        const QByteArray native = QFile::encodeName(path);
        TGLFreeForm freeForm(nullptr);
        const std::function<void()> ours = [&] { freeForm.LoadFromFile(path); };
        const std::function<void()> lib3ds = [&] { LoadWithLib3ds(native); };
        const std::function<void()> assimp = [&] { LoadWithAssimp(native); };
        const double oursMs = MedianMs(ours, LoadsFor(ours));
        const double lib3dsMs = MedianMs(lib3ds, LoadsFor(lib3ds));
        const double assimpMs = MedianMs(assimp, LoadsFor(assimp));
        const bool beatsLib3ds = oursMs <= lib3dsMs;
        const bool halfOfAssimp = oursMs <= assimpMs / 2;
        allHold = allHold && beatsLib3ds && halfOfAssimp;
        std::printf("%-34s %7d %9.3f %9.3f %9.3f %8.2f %8.2f  %s %s\n",
                    qPrintable(QDir(corpusDir).relativeFilePath(path).right(34)), FaceCount(path), oursMs, lib3dsMs,
                    assimpMs, oursMs / lib3dsMs, oursMs / assimpMs, beatsLib3ds ? "holds" : "MISSED",
                    halfOfAssimp ? "holds" : "MISSED");
    }
    return allHold;
}

bool ReloadButtons()
{
    const QTemporaryDir dir;
    const QString first = WriteFile(dir, QStringLiteral("button1.3ds"), ButtonModel("Button1", 40, 48));
    const QString second = WriteFile(dir, QStringLiteral("button2.3ds"), ButtonModel("Button2", 36, 44));
    TGLFreeForm firstButton(nullptr);
    TGLFreeForm secondButton(nullptr);
    const std::function<void()> reload = [&]
    {
        firstButton.LoadFromFile(first);
        secondButton.LoadFromFile(second);
    };
    const double ms = MedianMs(reload, std::max(200, LoadsFor(reload)));
    const double budget = MenuTickMs / 10;
    std::printf("\nmenu buttons: %d + %d faces reloaded in %.3f ms median, target < %.2f ms (10 %% of a %.0f ms tick): %s\n",
                firstButton.TriangleCount(), secondButton.TriangleCount(), ms, budget, MenuTickMs,
                ms < budget ? "holds" : "MISSED");
    return ms < budget;
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

bool HeapAfterReloads(const QString& path)
{
    TGLFreeForm freeForm(nullptr);
    int reloads = 0;
    const auto reloadUntil = [&](int count)
    {
        for (; reloads < count; ++reloads)
            freeForm.LoadFromFile(path);
        malloc_trim(0);
        return HeapInUse();
    };
    const size_t after100 = reloadUntil(100);
    const size_t after10000 = reloadUntil(10000);
    const double change = 100.0 * (static_cast<double>(after10000) - static_cast<double>(after100)) / after100;
    std::printf("\nheap in use reloading %s: %zu bytes after 100, %zu after 10,000: %+.3f %%, target within 1 %%: %s\n",
                qPrintable(QFileInfo(path).fileName()), after100, after10000, change,
                std::abs(change) <= 1.0 ? "holds" : "MISSED");
    return std::abs(change) <= 1.0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    RegisterVectorFileFormats();
    const QString corpusDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(STICKFIGHT_CORPUS_DIR "/3ds");
    if (!QDir(corpusDir).exists(QStringLiteral("irrlicht/sphere.3ds")))
    {
        std::fprintf(stderr, "no 3DS corpus in %s\n", qPrintable(corpusDir));
        return 1;
    }
    const bool readers = CompareReaders(BenchmarkFiles(corpusDir), corpusDir);
    const bool buttons = ReloadButtons();
    const bool heap = HeapAfterReloads(QDir(corpusDir).filePath(QStringLiteral("irrlicht/room.3ds")));
    std::printf("\nevery target %s\n", readers && buttons && heap ? "holds" : "is NOT met");
    return 0;
}
