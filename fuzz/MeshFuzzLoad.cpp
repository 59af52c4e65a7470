#include "MeshFuzzLoad.h"

#include "Exceptions.h"
#include "FuzzRefusal.h"
#include "GLBaseMesh.h"
#include "MeshObject.h"
#include "VectorFile.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdlib>

namespace
{
// Drawing and picking index the vertex lists with the face groups' indices;
// the reader promised they fit.
void UseMeshObjects(TGLBaseMesh& mesh)
{
    TAffineVector min, max;
    mesh.GetExtents(min, max);
    TAffineVectorList texCoords, normals;
    const TAffineVectorList triangles = mesh.ExtractTriangles(&texCoords, &normals);
    if (triangles.Count() % 3 != 0)
        std::abort();
    TMeshObjectList& objects = mesh.MeshObjects();
    for (int i = 0; i < objects.Count(); ++i)
        if (auto* morphable = dynamic_cast<TMorphableMeshObject*>(&objects[i]))
            for (int target = 0; target < morphable->MorphTargets.Count(); ++target)
                morphable->MorphTo(target);
}
} // namespace

void FuzzLoadMesh(TGLBaseMesh& mesh, const QString& fileName, const std::uint8_t* data, std::size_t size)
{
    static const bool registered = (RegisterVectorFileFormats(), true);
    (void)registered;
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    try
    {
        mesh.LoadFromStream(fileName, stream);
    }
    catch (const Exception& refusal)
    {
        NoteRefusal(refusal);
        return;
    }
    UseMeshObjects(mesh);
}
