// Per-frame cost of skinning one actor: a 2,000-vertex mesh bound one bone
// per vertex to a 24-bone skeleton, the pose alone and interpolated from two
// frames; and the vertex sharing of a model load, hashed against the plain
// first-match search. Heap allocations inside the timed loops are counted.
//   skinning_bench [--benchmark_filter=...]

#include "GLBaseMesh.h"
#include "SkeletonMeshObject.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>

namespace
{
std::atomic<long> Allocations{0};
} // namespace

void* operator new(std::size_t size)
{
    ++Allocations;
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
constexpr int BoneCount = 24;
constexpr int VertexCount = 2000;

float Random(std::mt19937& random, float low, float high)
{
    return std::uniform_real_distribution<float>(low, high)(random);
}

TAffineVector RandomVector(std::mt19937& random, float size)
{
    return {Random(random, -size, size), Random(random, -size, size), Random(random, -size, size)};
}

// A binary tree of bones, two frames of random turns, and one mesh object
// bound in frame 0.
struct TSkinnedActor
{
    TGLFreeForm Mesh{nullptr};
    TSkeletonMeshObject* Object = nullptr;

    TSkinnedActor()
    {
        std::mt19937 random(1);
        TSkeleton& skeleton = Mesh.Skeleton();
        std::vector<TSkeletonBone*> bones;
        for (int id = 0; id < BoneCount; ++id)
        {
            TSkeletonBoneList* const owner = id == 0 ? static_cast<TSkeletonBoneList*>(&skeleton.RootBones())
                                                     : bones[static_cast<size_t>((id - 1) / 2)];
            bones.push_back(new TSkeletonBone(owner));
            bones.back()->BoneID = id;
        }
        for (int f = 0; f < 2; ++f)
        {
            TSkeletonFrame& frame = skeleton.Frames().Add();
            for (int id = 0; id < BoneCount; ++id)
            {
                frame.Position.Add(RandomVector(random, 1));
                frame.Rotation.Add(RandomVector(random, 1.5f));
            }
        }
        Object = &Mesh.MeshObjects().Add<TSkeletonMeshObject>();
        for (int i = 0; i < VertexCount; ++i)
            Object->FindOrAddVertex(static_cast<int>(random() % BoneCount), RandomVector(random, 5),
                                    RandomVector(random, 1));
        skeleton.RootBones().UpdateGlobalMatrices();
        Object->PrepareInvertedMeshes();
    }
};

void BM_ApplySkinning(benchmark::State& state)
{
    TSkinnedActor actor;
    actor.Mesh.Skeleton().LerpFrames(0, 1, 0.3f);
    actor.Mesh.Skeleton().ApplySkinning(true);
    const long before = Allocations;
    for (auto _ : state)
    {
        actor.Mesh.Skeleton().ApplySkinning(true);
        benchmark::DoNotOptimize(actor.Object->Vertices.List());
    }
    state.counters["allocs/frame"] = benchmark::Counter(static_cast<double>(Allocations - before),
                                                        benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ApplySkinning)->Unit(benchmark::kMicrosecond);

void BM_LerpFramesAndApplySkinning(benchmark::State& state)
{
    TSkinnedActor actor;
    actor.Mesh.Skeleton().LerpFrames(0, 1, 0.5f);
    actor.Mesh.Skeleton().ApplySkinning(true);
    float t = 0;
    const long before = Allocations;
    for (auto _ : state)
    {
        t = t > 0.9f ? 0.05f : t + 0.01f;
        actor.Mesh.Skeleton().LerpFrames(0, 1, t);
        actor.Mesh.Skeleton().ApplySkinning(true);
        benchmark::DoNotOptimize(actor.Object->Vertices.List());
    }
    state.counters["allocs/frame"] = benchmark::Counter(static_cast<double>(Allocations - before),
                                                        benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LerpFramesAndApplySkinning)->Unit(benchmark::kMicrosecond);

// A model's triangle corners: 2,000 distinct vertices, each met three times.
struct TCorner
{
    int BoneID;
    TAffineVector Position, Normal;
};

std::vector<TCorner> Corners()
{
    std::mt19937 random(2);
    std::vector<TCorner> distinct;
    for (int i = 0; i < VertexCount; ++i)
        distinct.push_back({static_cast<int>(random() % BoneCount), RandomVector(random, 5), RandomVector(random, 1)});
    std::vector<TCorner> corners;
    for (int pass = 0; pass < 3; ++pass)
        for (int i = 0; i < VertexCount; ++i)
            corners.push_back(distinct[static_cast<size_t>((i * 7 + pass * 13) % VertexCount)]);
    return corners;
}

void BM_FindOrAddVertexHashed(benchmark::State& state)
{
    const std::vector<TCorner> corners = Corners();
    for (auto _ : state)
    {
        TMeshObjectList list;
        auto& object = list.Add<TSkeletonMeshObject>();
        for (const TCorner& c : corners)
            benchmark::DoNotOptimize(object.FindOrAddVertex(c.BoneID, c.Position, c.Normal));
        if (object.Vertices.Count() != VertexCount)
            state.SkipWithError("wrong vertex count");
    }
}
BENCHMARK(BM_FindOrAddVertexHashed)->Unit(benchmark::kMillisecond);

// The first-match search over the vertices added so far, as a plain loop.
void BM_FindOrAddVertexLinear(benchmark::State& state)
{
    const std::vector<TCorner> corners = Corners();
    for (auto _ : state)
    {
        std::vector<TCorner> vertices;
        for (const TCorner& c : corners)
        {
            int found = -1;
            for (size_t i = 0; i < vertices.size() && found < 0; ++i)
                if (vertices[i].BoneID == c.BoneID && std::memcmp(&vertices[i].Position, &c.Position, 12) == 0 &&
                    std::memcmp(&vertices[i].Normal, &c.Normal, 12) == 0)
                    found = static_cast<int>(i);
            if (found < 0)
                vertices.push_back(c);
            benchmark::DoNotOptimize(found);
        }
        if (vertices.size() != VertexCount)
            state.SkipWithError("wrong vertex count");
    }
}
BENCHMARK(BM_FindOrAddVertexLinear)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
