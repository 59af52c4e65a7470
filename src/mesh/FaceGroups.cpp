#include "FaceGroups.h"

#include "Exceptions.h"
#include "GLMaterialLibrary.h"
#include "MeshObject.h"
#include "RenderContextInfo.h"

namespace
{
// Drawing reads the arrays at every index: one out of range would read past
// them, so a list that holds one is refused before anything is emitted.
void CheckIndices(const TIntegerList& indices, int count, const char* what)
{
    for (const std::int32_t index : indices)
        if (index < 0 || index >= count)
            throw EAssertionFailed(
                QStringLiteral("Face group %1 index %2 out of range (%3 items)").arg(QLatin1String(what)).arg(index).arg(count));
}

const TAffineVector& ItemAt(const TAffineVectorList& list, int index, const char* what)
{
    if (index < 0 || index >= list.Count())
        throw EAssertionFailed(
            QStringLiteral("Face group %1 index %2 out of range (%3 items)").arg(QLatin1String(what)).arg(index).arg(list.Count()));
    return list[index];
}

// Texture coordinates and normals go along with the corners only when the
// caller asks and the mesh object has them; missing ones are zero, so that
// the output lists stay parallel.
void AddOptional(TAffineVectorList* out, const TAffineVectorList& source, int index, const char* what)
{
    if (out == nullptr)
        return;
    out->Add(source.Empty() ? TAffineVector{} : ItemAt(source, index, what));
}

// A list read at the vertex's own index. Drawing declares such a list only
// when it holds one item per vertex; otherwise the corners get zero vectors,
// as they get no value when drawn.
void AddPerVertex(TAffineVectorList* out, const TAffineVectorList& source, const int vertexCount, const int index)
{
    if (out == nullptr)
        return;
    out->Add(source.Count() == vertexCount ? source[index] : TAffineVector{});
}
} // namespace

GLenum FaceGroupPrimitive(TFaceGroupMeshMode mode)
{
    switch (mode)
    {
    case fgmmTriangles:
    case fgmmFlatTriangles:
        return GL_TRIANGLES;
    case fgmmTriangleStrip:
        return GL_TRIANGLE_STRIP;
    case fgmmTriangleFan:
        return GL_TRIANGLE_FAN;
    case fgmmQuads:
        return GL_QUADS;
    }
    throw EAssertionFailed(QStringLiteral("Unknown face group mode %1").arg(static_cast<int>(mode)));
}

// ---------------------------------------------------------------- face group

TFaceGroup::TFaceGroup(TFaceGroups* owner)
    : FOwner(owner)
{
}

TMeshObject& TFaceGroup::MeshObject() const
{
    return FOwner->Owner();
}

void TFaceGroup::PrepareMaterialLibraryCache(const TGLMaterialLibrary* library)
{
    FMaterialCache = library != nullptr && !MaterialName.isEmpty() ? library->LibMaterialByName(MaterialName) : nullptr;
}

void TFaceGroup::PrepareToEmit(TRenderContextInfo& info) const
{
    TMeshObject& meshObject = MeshObject();
    meshObject.DeclareArrays(info, false);
    meshObject.SwitchLightmap(info, LightMapIndex);
}

// ------------------------------------------------------------ vertex indices

void TFGVertexIndexList::SetMode(int mode)
{
    if (mode < fgmmTriangles || mode > fgmmQuads)
        throw EAssertionFailed(QStringLiteral("Unknown face group mode %1").arg(mode));
    FMode = static_cast<TFaceGroupMeshMode>(mode);
}

int TFGVertexIndexList::TriangleCount() const
{
    const int n = VertexIndices.Count();
    switch (FMode)
    {
    case fgmmTriangleStrip:
    case fgmmTriangleFan:
        return std::max(0, n - 2);
    case fgmmQuads:
        return n / 2;
    case fgmmTriangles:
    case fgmmFlatTriangles:
        break;
    }
    return n / 3;
}

// Strips alternate their winding so that every triangle faces the same way
// as the first; quads split along their first diagonal.
template <class F> void TFGVertexIndexList::ForEachTriangle(F&& corner) const
{
    const int n = VertexIndices.Count();
    switch (FMode)
    {
    case fgmmTriangles:
    case fgmmFlatTriangles:
        for (int i = 0; i + 2 < n; i += 3)
            corner(i, i + 1, i + 2);
        break;
    case fgmmTriangleStrip:
        for (int i = 0; i + 2 < n; ++i)
            if (i % 2 == 0)
                corner(i, i + 1, i + 2);
            else
                corner(i + 1, i, i + 2);
        break;
    case fgmmTriangleFan:
        for (int i = 1; i + 1 < n; ++i)
            corner(0, i, i + 1);
        break;
    case fgmmQuads:
        for (int i = 0; i + 3 < n; i += 4)
        {
            corner(i, i + 1, i + 2);
            corner(i, i + 2, i + 3);
        }
        break;
    }
}

void TFGVertexIndexList::AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                                        TAffineVectorList* normals) const
{
    const TMeshObject& meshObject = MeshObject();
    ForEachTriangle(
        [&](int a, int b, int c)
        {
            for (const int position : {a, b, c})
            {
                const int index = VertexIndices[position];
                vertices.Add(ItemAt(meshObject.Vertices, index, "vertex"));
                AddPerVertex(texCoords, meshObject.TexCoords, meshObject.Vertices.Count(), index);
                AddPerVertex(normals, meshObject.Normals, meshObject.Vertices.Count(), index);
            }
        });
}

void TFGVertexIndexList::EmitGeometry(TRenderContextInfo& info)
{
    CheckIndices(VertexIndices, MeshObject().Vertices.Count(), "vertex");
    PrepareToEmit(info);
    if (VertexIndices.Empty())
        return;
    glDrawElements(FaceGroupPrimitive(FMode), VertexIndices.Count(), GL_UNSIGNED_INT, VertexIndices.List());
}

// --------------------------------------------------- vertex, normal, texture

void TFGVertexNormalTexIndexList::Add(int vertexIndex, int normalIndex, int texCoordIndex)
{
    VertexIndices.Add(vertexIndex);
    NormalIndices.Add(normalIndex);
    TexCoordIndices.Add(texCoordIndex);
}

void TFGVertexNormalTexIndexList::CheckParallelLists() const
{
    const int n = VertexIndices.Count();
    if ((!NormalIndices.Empty() && NormalIndices.Count() < n) || (!TexCoordIndices.Empty() && TexCoordIndices.Count() < n))
        throw EAssertionFailed(QStringLiteral("Face group normal or texture indices shorter than its vertex indices"));
}

void TFGVertexNormalTexIndexList::AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                                                 TAffineVectorList* normals) const
{
    CheckParallelLists();
    const TMeshObject& meshObject = MeshObject();
    ForEachTriangle(
        [&](int a, int b, int c)
        {
            for (const int position : {a, b, c})
            {
                const int vertex = VertexIndices[position];
                vertices.Add(ItemAt(meshObject.Vertices, vertex, "vertex"));
                AddOptional(texCoords, meshObject.TexCoords, TexCoordIndices.Empty() ? vertex : TexCoordIndices[position],
                            "texture coordinate");
                AddOptional(normals, meshObject.Normals, NormalIndices.Empty() ? vertex : NormalIndices[position], "normal");
            }
        });
}

void TFGVertexNormalTexIndexList::EmitGeometry(TRenderContextInfo& info)
{
    CheckParallelLists();
    const TMeshObject& meshObject = MeshObject();
    CheckIndices(VertexIndices, meshObject.Vertices.Count(), "vertex");
    const bool withNormals = !meshObject.Normals.Empty();
    const bool withTexCoords = !meshObject.TexCoords.Empty();
    if (withNormals)
        CheckIndices(NormalIndices.Empty() ? VertexIndices : NormalIndices, meshObject.Normals.Count(), "normal");
    if (withTexCoords)
        CheckIndices(TexCoordIndices.Empty() ? VertexIndices : TexCoordIndices, meshObject.TexCoords.Count(),
                     "texture coordinate");
    PrepareToEmit(info);
    glBegin(FaceGroupPrimitive(Mode()));
    for (int i = 0; i < VertexIndices.Count(); ++i)
    {
        const int vertex = VertexIndices[i];
        if (withNormals)
            glNormal3fv(&meshObject.Normals[NormalIndices.Empty() ? vertex : NormalIndices[i]].X);
        if (withTexCoords)
            glTexCoord2fv(&meshObject.TexCoords[TexCoordIndices.Empty() ? vertex : TexCoordIndices[i]].X);
        glVertex3fv(&meshObject.Vertices[vertex].X);
    }
    glEnd();
}

// -------------------------------------------- indices with own coordinates

void TFGIndexTexCoordList::Add(int vertexIndex, float s, float t)
{
    VertexIndices.Add(vertexIndex);
    TexCoords.Add({s, t, 0});
}

void TFGIndexTexCoordList::CheckParallelLists() const
{
    if (TexCoords.Count() != VertexIndices.Count())
        throw EAssertionFailed(QStringLiteral("Face group has %1 texture coordinates for %2 indices")
                                   .arg(TexCoords.Count())
                                   .arg(VertexIndices.Count()));
}

void TFGIndexTexCoordList::AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                                          TAffineVectorList* normals) const
{
    CheckParallelLists();
    const TMeshObject& meshObject = MeshObject();
    ForEachTriangle(
        [&](int a, int b, int c)
        {
            for (const int position : {a, b, c})
            {
                const int vertex = VertexIndices[position];
                vertices.Add(ItemAt(meshObject.Vertices, vertex, "vertex"));
                if (texCoords != nullptr)
                    texCoords->Add(TexCoords[position]);
                AddPerVertex(normals, meshObject.Normals, meshObject.Vertices.Count(), vertex);
            }
        });
}

void TFGIndexTexCoordList::EmitGeometry(TRenderContextInfo& info)
{
    CheckParallelLists();
    const TMeshObject& meshObject = MeshObject();
    CheckIndices(VertexIndices, meshObject.Vertices.Count(), "vertex");
    PrepareToEmit(info);
    const bool withNormals = meshObject.NormalsMatchVertices();
    const bool withColors = meshObject.ColorsMatchVertices();
    glBegin(FaceGroupPrimitive(Mode()));
    for (int i = 0; i < VertexIndices.Count(); ++i)
    {
        const int vertex = VertexIndices[i];
        glTexCoord2f(TexCoords[i].X, TexCoords[i].Y);
        if (withColors)
            glColor4fv(&meshObject.Colors[vertex].X);
        if (withNormals)
            glNormal3fv(&meshObject.Normals[vertex].X);
        glVertex3fv(&meshObject.Vertices[vertex].X);
    }
    glEnd();
}

// ------------------------------------------------------------------ the list

int TFaceGroups::TriangleCount() const
{
    int count = 0;
    for (const auto& group : FItems)
        count += group->TriangleCount();
    return count;
}

void TFaceGroups::AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                                 TAffineVectorList* normals) const
{
    for (const auto& group : FItems)
        group->AddToTriangles(vertices, texCoords, normals);
}

void TFaceGroups::PrepareMaterialLibraryCache(const TGLMaterialLibrary* library)
{
    for (const auto& group : FItems)
        group->PrepareMaterialLibraryCache(library);
}

void TFaceGroups::DropMaterialLibraryCache()
{
    for (const auto& group : FItems)
        group->DropMaterialLibraryCache();
}
