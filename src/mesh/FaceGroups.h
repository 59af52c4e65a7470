#pragma once

#include "MeshTypes.h"
#include "VectorLists.h"

#include <GL/gl.h>

#include <QString>

#include <memory>
#include <vector>

class TFaceGroups;
class TGLLibMaterial;
class TGLMaterialLibrary;
class TMeshObject;
struct TRenderContextInfo;

// Part of a mesh object's topology drawn under one material. Made and owned
// by a TFaceGroups list (see TFaceGroups::Add).
class TFaceGroup
{
public:
    explicit TFaceGroup(TFaceGroups* owner);
    virtual ~TFaceGroup() = default;
    TFaceGroup(const TFaceGroup&) = delete;
    TFaceGroup& operator=(const TFaceGroup&) = delete;

    TFaceGroups* Owner() const { return FOwner; }
    TMeshObject& MeshObject() const;

    // Empty: drawn under the object's own material.
    QString MaterialName;
    int LightMapIndex = -1;
    // Marks the groups emitted in the present group-by-material pass.
    int RenderMark = 0;

    // The library material of that name, found when the mesh prepares its
    // caches; not owned.
    TGLLibMaterial* MaterialCache() const { return FMaterialCache; }
    void PrepareMaterialLibraryCache(const TGLMaterialLibrary* library);
    void DropMaterialLibraryCache() { FMaterialCache = nullptr; }

    virtual int TriangleCount() const = 0;
    // Appends the group's triangles, three corners each.
    virtual void AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                                TAffineVectorList* normals) const = 0;
    virtual void EmitGeometry(TRenderContextInfo& info) = 0;

protected:
    // Declares the mesh object's arrays and switches its lightmap as this
    // group needs.
    void PrepareToEmit(TRenderContextInfo& info) const;

private:
    TFaceGroups* const FOwner;
    TGLLibMaterial* FMaterialCache = nullptr;
};

// Indices into the mesh object's arrays, drawn with one glDrawElements.
class TFGVertexIndexList : public TFaceGroup
{
public:
    using TFaceGroup::TFaceGroup;

    TIntegerList VertexIndices;

    TFaceGroupMeshMode Mode() const { return FMode; }
    // A value outside the listed modes: EAssertionFailed.
    void SetMode(int mode);
    void Add(int vertexIndex) { VertexIndices.Add(vertexIndex); }

    int TriangleCount() const override;
    void AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                        TAffineVectorList* normals) const override;
    void EmitGeometry(TRenderContextInfo& info) override;

protected:
    // Calls back with the three positions into VertexIndices of each triangle.
    template <class F> void ForEachTriangle(F&& corner) const;

private:
    TFaceGroupMeshMode FMode = fgmmTriangles;
};

// Vertex indices with their own normal and texture-coordinate indices; an
// empty normal or texture list means the vertex index serves.
class TFGVertexNormalTexIndexList : public TFGVertexIndexList
{
public:
    using TFGVertexIndexList::TFGVertexIndexList;

    TIntegerList NormalIndices;
    TIntegerList TexCoordIndices;

    void Add(int vertexIndex, int normalIndex, int texCoordIndex);

    void AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                        TAffineVectorList* normals) const override;
    void EmitGeometry(TRenderContextInfo& info) override;

private:
    void CheckParallelLists() const;
};

// Vertex indices with texture coordinates of their own, one per index.
class TFGIndexTexCoordList : public TFGVertexIndexList
{
public:
    using TFGVertexIndexList::TFGVertexIndexList;

    TAffineVectorList TexCoords;

    void Add(int vertexIndex, float s, float t);

    void AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                        TAffineVectorList* normals) const override;
    void EmitGeometry(TRenderContextInfo& info) override;

private:
    void CheckParallelLists() const;
};

// The face groups of one mesh object, in drawing order; owns them.
class TFaceGroups
{
public:
    explicit TFaceGroups(TMeshObject* owner) : FOwner(owner) {}
    TFaceGroups(const TFaceGroups&) = delete;
    TFaceGroups& operator=(const TFaceGroups&) = delete;

    TMeshObject& Owner() const { return *FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TFaceGroup& operator[](int index) const { return *FItems[static_cast<size_t>(index)]; }
    // A new group of class T, appended.
    template <class T> T& Add()
    {
        FItems.push_back(std::make_unique<T>(this));
        return static_cast<T&>(*FItems.back());
    }
    void Delete(int index) { FItems.erase(FItems.begin() + index); }
    void Clear() { FItems.clear(); }

    int TriangleCount() const;
    void AddToTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords, TAffineVectorList* normals) const;
    void PrepareMaterialLibraryCache(const TGLMaterialLibrary* library);
    void DropMaterialLibraryCache();

private:
    TMeshObject* const FOwner;
    std::vector<std::unique_ptr<TFaceGroup>> FItems;
};

// The OpenGL primitive of a face-group mode.
GLenum FaceGroupPrimitive(TFaceGroupMeshMode mode);
