// Every SMD file of the shared corpus, made by other tools, reads without
// error into as many nodes, frames and triangles as a plain count of its
// lines finds; the empty file fails with its name in the message.
#include "SMD.h"
#include "ReadErrorMessage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

const std::filesystem::path CorpusDir = std::filesystem::path(STICKFIGHT_CORPUS_DIR) / "smd";

struct TLineCounts
{
    size_t Nodes = 0;
    size_t Frames = 0;
    size_t Triangles = 0;
    bool HasTriangles = false;
};

// Sections by their keyword lines, the way one reads the file by eye: node
// lines between "nodes" and "end", one frame per "time" line, four lines per
// triangle between "triangles" and "end".
TLineCounts CountLines(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    TLineCounts counts;
    enum { Other, Nodes, Triangles } section = Other;
    size_t triangleLines = 0;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "end")
            section = Other;
        else if (line == "nodes")
            section = Nodes;
        else if (line == "triangles")
            section = Triangles, counts.HasTriangles = true;
        else if (section == Nodes && !line.empty())
            ++counts.Nodes;
        else if (section == Triangles)
            ++triangleLines;
        else if (line.starts_with("time "))
            ++counts.Frames;
    }
    counts.Triangles = triangleLines / 4;
    return counts;
}

QByteArray Bytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
}

} // namespace

TEST(SMDCorpus, EveryFileReadsIntoTheCountsOfItsLines)
{
    if (!std::filesystem::is_directory(CorpusDir))
        GTEST_SKIP() << "no corpus at " << CorpusDir;
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(CorpusDir)) {
        if (entry.path().extension() != ".smd" || entry.path().filename() == "empty.smd")
            continue;
        SCOPED_TRACE(entry.path().string());
        const TLineCounts expected = CountLines(entry.path());
        // Animations are read as if added to a model without bones yet, so
        // that their nodes are read too.
        const TSMDContext context{!expected.HasTriangles, 0, 0};
        const QString name = QString::fromStdString(entry.path().filename().string());
        TSMDFile file;
        EXPECT_EQ(ErrorOf([&] { file = ParseSMD(Bytes(entry.path()), name, context); }), QStringLiteral("(no error)"));
        EXPECT_EQ(file.IsModel, expected.HasTriangles);
        EXPECT_EQ(file.Nodes.size(), expected.Nodes);
        EXPECT_EQ(file.Frames.size(), expected.Frames);
        EXPECT_EQ(file.Triangles.size(), expected.Triangles);
        for (const TSMDFrame& frame : file.Frames)
            EXPECT_EQ(frame.Positions.size(), expected.Nodes);
        ++files;
    }
    EXPECT_GE(files, 9);

    // Two by hand: Assimp's one-triangle test file and a run cycle of 16 frames.
    const TLineCounts triangle = CountLines(CorpusDir / "assimp/triangle.smd");
    EXPECT_EQ(triangle.Nodes, 1u);
    EXPECT_EQ(triangle.Frames, 1u);
    EXPECT_EQ(triangle.Triangles, 1u);
    EXPECT_EQ(CountLines(CorpusDir / "hl1-barney/animations/run.smd").Frames, 16u);
}

TEST(SMDCorpus, EmptyFileFailsNamingIt)
{
    const std::filesystem::path empty = CorpusDir / "assimp/invalid/empty.smd";
    if (!std::filesystem::exists(empty))
        GTEST_SKIP() << "no corpus file " << empty;
    const QString name = QString::fromStdString(empty.string());
    EXPECT_EQ(ErrorOf([&] { ParseSMD(Bytes(empty), name, {}); }),
              QStringLiteral("SMD version 1 required (in \"%1\", at the end of the file)").arg(name));
}
