// Speed of reading SMD files into an actor, side by side with Assimp's import
// of the same files, and of skinning an actor for one frame (the pose between
// two frames, then every vertex and normal moved by its bone).
//   smd_load_bench [CORPUS_SMD_DIR] [benchmark options]
// Each case is repeated and its median kept; the summary holds the medians of
// the CPU time (on a shared machine the wall time also counts the waits for a
// core) to the targets: our load at most half of Assimp's, skinning under
// 20 us.

#include "AssimpSMDLoad.h"

#include "GLActor.h"
#include "LargeBlocks.h"
#include "VectorFile.h"
#include "VectorUnit.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace
{
constexpr int Repetitions = 9;
constexpr double SkinningTargetUs = 20;

QString CorpusDir = QStringLiteral(STICKFIGHT_CORPUS_DIR "/smd");

struct TLoadCase
{
    const char* Label;
    const char* Model;     // relative to the corpus
    const char* Animation; // added to the model; null for a model alone
};

const TLoadCase LoadCases[] = {
    {"WusonSMD", "assimp/WusonSMD.smd", nullptr},
    {"barney_reference", "hl1-barney/barney_reference.smd", nullptr},
    {"run", "hl1-barney/barney_reference.smd", "hl1-barney/animations/run.smd"},
};

QString CorpusFile(const char* name)
{
    return QDir(CorpusDir).filePath(QString::fromLatin1(name));
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void LoadFromBytes(TGLActor& actor, const QString& name, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    actor.LoadFromStream(name, buffer);
}

// A model on its own: one load replaces the last.
void OursModel(benchmark::State& state, const TLoadCase& load)
{
    const QString path = CorpusFile(load.Model);
    TGLActor actor(nullptr);
    for (auto _ : state)
        actor.LoadFromFile(path);
    state.counters["triangles"] = actor.TriangleCount();
}

// An animation needs its model loaded first, and every add appends frames
// and an animation, so each add goes into a fresh actor holding the model
// alone; making that actor (from the model's bytes in memory) and throwing
// it away are left out of the time.
void OursAnimation(benchmark::State& state, const TLoadCase& load)
{
    const QString model = CorpusFile(load.Model);
    const QByteArray modelBytes = ReadBytes(model);
    const QString animation = CorpusFile(load.Animation);
    std::unique_ptr<TGLActor> actor;
    int frames = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        actor = std::make_unique<TGLActor>(nullptr);
        LoadFromBytes(*actor, model, modelBytes);
        state.ResumeTiming();
        actor->AddFromFile(animation);
        state.PauseTiming();
        frames = actor->Skeleton().Frames().Count();
        actor.reset();
        state.ResumeTiming();
    }
    state.counters["frames"] = frames;
}

void Assimp(benchmark::State& state, const TLoadCase& load)
{
    const QByteArray path = QFile::encodeName(CorpusFile(load.Animation ? load.Animation : load.Model));
    for (auto _ : state)
    {
        // Our load clears the vector registers before its float work (see
        // VectorUnit.h); Assimp gets the same start.
        ClearUpperVectorRegisters();
        const TAssimpScene scene = LoadSMDWithAssimp(path.constData());
        if (!scene)
            state.SkipWithError(aiGetErrorString());
        benchmark::DoNotOptimize(scene.get());
    }
}

// ------------------------------------------------------------ skinning

void AppendLine(QByteArray& text, const QString& line)
{
    text.append(line.toLatin1());
    text.append('\n');
}

// A chain of bones bending a little more in the second frame, and a strip of
// triangles whose corners are all different vertices, each bound to one bone
// along the chain: `vertices` vertices in one bone slot.
QByteArray SyntheticModel(const int vertices, const int bones)
{
    QByteArray text = "version 1\nnodes\n";
    for (int b = 0; b < bones; ++b)
        AppendLine(text, QStringLiteral("%1 \"bone%1\" %2").arg(b).arg(b - 1));
    text.append("end\nskeleton\n");
    for (int frame = 0; frame < 2; ++frame)
    {
        AppendLine(text, QStringLiteral("time %1").arg(frame));
        for (int b = 0; b < bones; ++b)
            AppendLine(text, QStringLiteral("%1 0 0 %2 %3 0 %4").arg(b).arg(b == 0 ? 0 : 1).arg(0.05 * frame).arg(0.1 * (frame + 1)));
    }
    text.append("end\ntriangles\n");
    const auto vertexLine = [&](const int v)
    {
        const double angle = 2 * std::numbers::pi * v / 7;
        const double height = double(v) * bones / vertices;
        return QStringLiteral("%1 %2 %3 %4 %5 %6 0 0.5 0.5")
            .arg(int(height))
            .arg(std::cos(angle), 0, 'f', 6)
            .arg(std::sin(angle), 0, 'f', 6)
            .arg(height, 0, 'f', 6)
            .arg(std::cos(angle), 0, 'f', 6)
            .arg(std::sin(angle), 0, 'f', 6);
    };
    // The corners run through the vertices once, the last triangle closing
    // on the first vertex again.
    const int corners = (vertices + 2) / 3 * 3;
    for (int c = 0; c < corners; ++c)
    {
        if (c % 3 == 0)
            text.append("skin.bmp\n");
        AppendLine(text, vertexLine(c < vertices ? c : 0));
    }
    text.append("end\n");
    return text;
}

// The work an actor's pose update does for a skeleton each frame, between
// two frames at a fraction that changes every time.
void SkinFrames(benchmark::State& state, TGLActor& actor, const int first, const int second)
{
    TSkeleton& skeleton = actor.Skeleton();
    float t = 0.1f;
    for (auto _ : state)
    {
        skeleton.LerpFrames(first, second, t);
        skeleton.ApplySkinning(true);
        t = t > 0.8f ? 0.1f : t + 0.05f;
    }
    state.counters["vertices"] = actor.MeshObjects()[0].Vertices.Count();
}

void SkinBarney(benchmark::State& state)
{
    TGLActor actor(nullptr);
    actor.LoadFromFile(CorpusFile("hl1-barney/barney_reference.smd"));
    actor.AddFromFile(CorpusFile("hl1-barney/animations/run.smd"));
    SkinFrames(state, actor, 4, 5);
}

// The pose alone, to tell its share from the vertices'.
void LerpBarney(benchmark::State& state)
{
    TGLActor actor(nullptr);
    actor.LoadFromFile(CorpusFile("hl1-barney/barney_reference.smd"));
    actor.AddFromFile(CorpusFile("hl1-barney/animations/run.smd"));
    float t = 0.1f;
    for (auto _ : state)
    {
        actor.Skeleton().LerpFrames(4, 5, t);
        t = t > 0.8f ? 0.1f : t + 0.05f;
    }
}

void SkinSynthetic(benchmark::State& state)
{
    TGLActor actor(nullptr);
    LoadFromBytes(actor, QStringLiteral("synthetic.smd"), SyntheticModel(2000, 24));
    if (actor.MeshObjects()[0].Vertices.Count() != 2000)
        state.SkipWithError("the synthetic model does not have 2,000 vertices");
    SkinFrames(state, actor, 0, 1);
}

// ------------------------------------------------------------ summary

// Keeps the median of every case for the summary, and prints as usual.
class TMedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                FMediansUs[run.run_name.function_name] = run.GetAdjustedCPUTime(); // in the cases' unit, us
        ConsoleReporter::ReportRuns(runs);
    }

    double MedianUs(const std::string& name) const
    {
        const auto found = FMediansUs.find(name);
        return found == FMediansUs.end() ? NAN : found->second;
    }

private:
    std::map<std::string, double> FMediansUs;
};

void RegisterBenchmarks()
{
    for (const TLoadCase& load : LoadCases)
    {
        const std::string label = load.Label;
        benchmark::RegisterBenchmark(("load/ours/" + label).c_str(),
                                     [load](benchmark::State& state)
                                     { load.Animation ? OursAnimation(state, load) : OursModel(state, load); })
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(Repetitions);
        benchmark::RegisterBenchmark(("load/assimp/" + label).c_str(),
                                     [load](benchmark::State& state) { Assimp(state, load); })
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(Repetitions);
    }
    benchmark::RegisterBenchmark("skinning/barney", SkinBarney)->Unit(benchmark::kMicrosecond)->Repetitions(Repetitions);
    benchmark::RegisterBenchmark("skinning/barney_pose_only", LerpBarney)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(Repetitions);
    benchmark::RegisterBenchmark("skinning/2000_vertices", SkinSynthetic)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(Repetitions);
}

bool PrintSummary(const TMedianReporter& reporter)
{
    bool allHold = true;
    std::printf("\n%-18s %10s %10s %8s  %s\n", "file (CPU)", "ours us", "assimp us", "ratio", "target ours <= assimp / 2");
    for (const TLoadCase& load : LoadCases)
    {
        const double ours = reporter.MedianUs(std::string("load/ours/") + load.Label);
        const double assimp = reporter.MedianUs(std::string("load/assimp/") + load.Label);
        const bool holds = ours <= assimp / 2;
        allHold = allHold && holds;
        std::printf("%-18s %10.1f %10.1f %8.2f  %s\n", load.Label, ours, assimp, ours / assimp, holds ? "holds" : "MISSED");
    }
    for (const char* name : {"skinning/barney", "skinning/2000_vertices"})
    {
        const double us = reporter.MedianUs(name);
        const bool holds = us < SkinningTargetUs;
        allHold = allHold && holds;
        std::printf("%-22s %8.2f us per frame, target < %.0f us: %s\n", name, us, SkinningTargetUs,
                    holds ? "holds" : "MISSED");
    }
    return allHold;
}
} // namespace

int main(int argc, char** argv)
{
    // As the game does at start: both readers then reuse their large blocks.
    KeepLargeBlocksForReuse();
    QCoreApplication application(argc, argv);
    RegisterVectorFileFormats();
    if (argc > 1 && argv[1][0] != '-')
    {
        CorpusDir = QString::fromLocal8Bit(argv[1]);
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    if (!QDir(CorpusDir).exists(QStringLiteral("hl1-barney/barney_reference.smd")))
    {
        std::fprintf(stderr, "no SMD corpus in %s\n", qPrintable(CorpusDir));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RegisterBenchmarks();
    TMedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool allHold = PrintSummary(reporter);
    std::printf("\nevery target %s\n", allHold ? "holds" : "is NOT met");
    benchmark::Shutdown();
    return 0;
}
