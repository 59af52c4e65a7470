// Speed of reading SMD text into records (lines, tokens, numbers, padding;
// no skeleton or mesh is filled): a large static model, a skinned reference
// model and an animation of the shared corpus, each read from memory.
//   smd_parse_bench [google-benchmark options]

#include "SMD.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

const std::filesystem::path CorpusDir = std::filesystem::path(STICKFIGHT_CORPUS_DIR) / "smd";

void ParseFile(benchmark::State& state, const char* relativePath, const TSMDContext context)
{
    std::ifstream in(CorpusDir / relativePath, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes.empty()) {
        state.SkipWithError("corpus file missing");
        return;
    }
    const QString name = QString::fromUtf8(relativePath);
    for (auto _ : state) {
        const TSMDFile file = ParseSMD(std::string_view(bytes), name, context);
        benchmark::DoNotOptimize(file.Triangles.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

} // namespace

BENCHMARK_CAPTURE(ParseFile, WusonSMD, "assimp/WusonSMD.smd", TSMDContext{})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParseFile, barney_reference, "hl1-barney/barney_reference.smd", TSMDContext{})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParseFile, run, "hl1-barney/animations/run.smd", (TSMDContext{true, 0, 1}))
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
