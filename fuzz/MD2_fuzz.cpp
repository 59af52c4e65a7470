// Feeds arbitrary bytes through the md2 reader the way a free form loads a
// file: the reader, the pairing of corners into output vertices, the morph
// targets and the mesh they fill, then the extents, triangles and every
// morph target of that mesh. Errors are the expected answer to bad bytes;
// anything else (a crash, a sanitizer report, a hang) is a finding.
#include "GLBaseMesh.h"
#include "MeshFuzzLoad.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TGLFreeForm mesh(nullptr);
    FuzzLoadMesh(mesh, QStringLiteral("fuzz.md2"), data, size);
    return 0;
}
