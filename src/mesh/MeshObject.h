#pragma once

#include "FaceGroups.h"
#include "MeshTypes.h"
#include "VectorLists.h"

#include <QString>

#include <memory>
#include <vector>

class TGLBaseMesh;
class TGLMaterialLibrary;
class TMeshObjectList;
struct TRenderContextInfo;

// Named vertex and normal arrays.
class TBaseMeshObject
{
public:
    TBaseMeshObject() = default;
    virtual ~TBaseMeshObject() = default;
    TBaseMeshObject(const TBaseMeshObject&) = delete;
    TBaseMeshObject& operator=(const TBaseMeshObject&) = delete;

    QString Name;
    TAffineVectorList Vertices;
    TAffineVectorList Normals;
    // Invisible objects are neither prepared nor drawn.
    bool Visible = true;

    virtual void Clear();
    // Min starts at +inf and max at -inf: no vertices give those back.
    void GetExtents(TAffineVector& min, TAffineVector& max) const { Vertices.GetExtents(min, max); }
    void Translate(const TAffineVector& delta) { Vertices.Translate(delta); }
};

// Vertex data with its topology: plain triangles, one strip, or face groups
// that index the arrays. Made and owned by a TMeshObjectList (see
// TMeshObjectList::Add).
class TMeshObject : public TBaseMeshObject
{
public:
    explicit TMeshObject(TMeshObjectList* owner);
    ~TMeshObject() override;

    TMeshObjectList* Owner() const { return FOwner; }

    // s and t in x and y.
    TAffineVectorList TexCoords;
    TTexPointList LightMapTexCoords;
    // RGBA, one per vertex when used.
    TVectorList Colors;
    int TangentsTexCoordIndex = 1;
    int BinormalsTexCoordIndex = 2;
    unsigned RenderingOptions = 0;

    TMeshObjectMode Mode() const { return FMode; }
    // A value outside the listed modes: EAssertionFailed.
    void SetMode(int mode);
    TFaceGroups& FaceGroups() { return FFaceGroups; }
    const TFaceGroups& FaceGroups() const { return FFaceGroups; }
    // Extra texture-coordinate sets, made empty up to `index` when asked for.
    TVectorList& ExtraTexCoords(int index);
    int ExtraTexCoordsCount() const { return static_cast<int>(FExtraTexCoords.size()); }

    void Clear() override;
    int TriangleCount() const;
    // Appends the triangles, three corners each; texture coordinates and
    // normals go along when asked for and present.
    void ExtractTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords = nullptr,
                          TAffineVectorList* normals = nullptr) const;

    void PrepareMaterialLibraryCache(const TGLMaterialLibrary* library) { FFaceGroups.PrepareMaterialLibraryCache(library); }
    void DropMaterialLibraryCache() { FFaceGroups.DropMaterialLibraryCache(); }

    // Lets face-group materials make their textures before a display list is
    // compiled.
    void PrepareEmit(TRenderContextInfo& info);
    virtual void EmitGeometry(TRenderContextInfo& info);
    // Hands the arrays to OpenGL, once per emit unless forced.
    void DeclareArrays(TRenderContextInfo& info, bool force);
    // Takes back exactly what DeclareArrays enabled.
    void ReleaseArrays();
    // Switches the lightmap texture unit to the library material at `index`
    // (-1: off) when it differs from the last one.
    void SwitchLightmap(TRenderContextInfo& info, int index);

    // Whether each array has one item per vertex, so that drawing may read
    // it at any vertex index.
    bool NormalsMatchVertices() const { return Normals.Count() == Vertices.Count(); }
    bool ColorsMatchVertices() const { return Colors.Count() == Vertices.Count(); }
    bool TexCoordsMatchVertices() const { return TexCoords.Count() == Vertices.Count(); }

private:
    void EmitFaceGroups(TRenderContextInfo& info);
    void EmitFaceGroupsByMaterial(TRenderContextInfo& info);
    void EmitVertices(TRenderContextInfo& info);
    void DeclareTexCoordArray(int unit, int size, GLsizei stride, const void* data);
    void LockArrays(TRenderContextInfo& info);

    TMeshObjectList* const FOwner;
    TMeshObjectMode FMode = momTriangles;
    TFaceGroups FFaceGroups{this};
    std::vector<TVectorList> FExtraTexCoords;
    // Drawing state, valid during one emit.
    bool FArraysDeclared = false;
    int FLastLightMapIndex = -1;
    bool FLightmapEnabled = false;
    unsigned FEnabledClientArrays = 0;
    unsigned FEnabledTexCoordUnits = 0;
    // Set while the arrays are locked: the call that unlocks them.
    void (*FUnlockArrays)() = nullptr;
    int FRenderMark = 0;
};

// A full copy of a mesh object's vertices and normals, one shape it can take.
class TMeshMorphTarget : public TBaseMeshObject
{
};

class TMeshMorphTargetList
{
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TMeshMorphTarget& operator[](int index) const { return *FItems[static_cast<size_t>(index)]; }
    TMeshMorphTarget& Add();
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TMeshMorphTarget>> FItems;
};

// A mesh object that can take the shape of its morph targets.
class TMorphableMeshObject : public TMeshObject
{
public:
    using TMeshObject::TMeshObject;

    TMeshMorphTargetList MorphTargets;

    void Clear() override;
    // A target holding a copy of the present vertices and normals.
    TMeshMorphTarget& AddMorphTarget(const QString& name);
    // Takes the target's vertices and normals; EAssertionFailed for an index
    // out of range.
    void MorphTo(int index);
    // Between two targets; EAssertionFailed for an index out of range.
    void Lerp(int index1, int index2, float t);
};

// The mesh objects of a mesh, in drawing order; owns them.
class TMeshObjectList
{
public:
    explicit TMeshObjectList(TGLBaseMesh* owner = nullptr) : FOwner(owner) {}
    ~TMeshObjectList() = default;
    TMeshObjectList(const TMeshObjectList&) = delete;
    TMeshObjectList& operator=(const TMeshObjectList&) = delete;

    TGLBaseMesh* Owner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TMeshObject& operator[](int index) const { return *FItems[static_cast<size_t>(index)]; }
    // A new mesh object of class T, appended.
    template <class T = TMeshObject> T& Add()
    {
        FItems.push_back(std::make_unique<T>(this));
        return static_cast<T&>(*FItems.back());
    }
    // Destroys the object, which must be one of the list's.
    void Remove(TMeshObject& item);
    // Drops the owner's material caches, which point into the face groups'
    // materials, then destroys every object.
    void Clear();

    void GetExtents(TAffineVector& min, TAffineVector& max) const;
    void Translate(const TAffineVector& delta);
    int TriangleCount() const;
    void ExtractTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords = nullptr,
                          TAffineVectorList* normals = nullptr) const;

private:
    TGLBaseMesh* const FOwner;
    std::vector<std::unique_ptr<TMeshObject>> FItems;
};
