// Feeds arbitrary bytes through the native mesh reader the way a free form
// loads a file, uses the mesh it made (extents, triangles, morph targets),
// then writes it and reads it back, which must give as many objects.
// Errors are the expected answer to bad bytes; anything else (a crash, a
// sanitizer report, a hang, a failed round trip) is a finding.
#include "Exceptions.h"
#include "GLBaseMesh.h"
#include "GLGLSMVectorFile.h"
#include "MeshFuzzLoad.h"
#include "MeshObject.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TGLFreeForm mesh(nullptr);
    FuzzLoadMesh(mesh, QStringLiteral("fuzz.glsm"), data, size);
    if (mesh.LastLoadedFilename().isEmpty())
        return 0;
    TGLFreeForm again(nullptr);
    try
    {
        ReadGLSM(WriteGLSM(mesh.MeshObjects()), QStringLiteral("again.glsm"), again.MeshObjects());
    }
    catch (const Exception& refusal)
    {
        std::fprintf(stderr, "what was read cannot be read again: %s\n", qPrintable(refusal.Message()));
        std::abort();
    }
    if (again.MeshObjects().Count() != mesh.MeshObjects().Count())
        std::abort();
    return 0;
}
