// Feeds arbitrary bytes through the SMD reader the way a mesh loads a file:
// once as a model into an empty mesh, once as a file added to a five-bone
// model of one frame. A model that reads is written and read back, which must
// give the same counts. Errors are the expected answer to bad bytes; anything
// else (a crash, a sanitizer report, a hang, a failed round trip) is a finding.
#include "SMD.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void CheckRoundTrip(const TSMDFile& file)
{
    QByteArray text;
    try {
        text = WriteSMD(file, QStringLiteral("fuzz.smd"));
    } catch (const ESMDError&) {
        return; // a name the format cannot hold
    }
    const TSMDFile again = ParseSMD(text, QStringLiteral("fuzz.smd"), {});
    if (again.Nodes.size() != file.Nodes.size() || again.Frames.size() != file.Frames.size() ||
        again.Triangles.size() != file.Triangles.size() || again.Runs.size() > file.Runs.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const TSMDFile model = ParseSMD(bytes, QStringLiteral("fuzz.smd"), {});
        if (model.HasTriangles)
            CheckRoundTrip(model);
    } catch (const Exception&) {
    }
    try {
        ParseSMD(bytes, QStringLiteral("fuzz.smd"), {true, 5, 1});
    } catch (const Exception&) {
    }
    return 0;
}
