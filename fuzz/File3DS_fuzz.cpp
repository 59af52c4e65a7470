// Feeds arbitrary bytes through the 3DS reader the way a free form loads a
// file: build the tree, decode every material and mesh, convert the meshes.
// Errors are the expected answer to bad bytes; anything else (a crash, a
// sanitizer report, a hang) is a finding.
#include "File3DS.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFile3DS file;
    try {
        file.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                           QStringLiteral("fuzz.3ds"));
        for (int i = 0; i < file.MaterialCount(); ++i)
            file.Material(i);
        // The orientation only flips a cross product; the input's first bit
        // picks it, so both are covered at the cost of one conversion.
        Convert3DSMeshes(file, size > 0 && (data[0] & 1));
    } catch (const Exception&) {
    }
    return 0;
}
