#pragma once

#include "MeshObject.h"
#include "MeshTypes.h"
#include "SceneObjects.h"
#include "Skeleton.h"

#include <QIODevice>
#include <QMetaObject>
#include <QString>

#include <memory>
#include <vector>

class TGLMaterialLibrary;

// A scene object drawn from mesh objects that model files fill through the
// format registry.
class TGLBaseMesh : public TGLSceneObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("GLMaterialLibrary.h")
    Q_PROPERTY(MeshTypes::TMeshAutoCenterings AutoCentering READ AutoCentering WRITE SetAutoCentering)
    Q_PROPERTY(TGLCoordinates* AutoScaling READ AutoScaling)
    Q_PROPERTY(TGLMaterialLibrary* MaterialLibrary READ MaterialLibrary WRITE SetMaterialLibrary)
    Q_PROPERTY(TGLMaterialLibrary* LightmapLibrary READ LightmapLibrary WRITE SetLightmapLibrary)
    Q_PROPERTY(bool UseMeshMaterials READ UseMeshMaterials WRITE SetUseMeshMaterials)
    Q_PROPERTY(MeshTypes::TMeshNormalsOrientation NormalsOrientation READ NormalsOrientation WRITE SetNormalsOrientation)

public:
    explicit TGLBaseMesh(QObject* AOwner);
    ~TGLBaseMesh() override;

    TMeshObjectList& MeshObjects() { return *FMeshObjects; }
    const TMeshObjectList& MeshObjects() const { return *FMeshObjects; }
    TSkeleton& Skeleton() { return *FSkeleton; }
    const TSkeleton& Skeleton() const { return *FSkeleton; }

    TMeshNormalsOrientation NormalsOrientation() const { return FNormalsOrientation; }
    void SetNormalsOrientation(TMeshNormalsOrientation value);
    TGLMaterialLibrary* MaterialLibrary() const { return FMaterialLibrary; }
    void SetMaterialLibrary(TGLMaterialLibrary* value);
    TGLMaterialLibrary* LightmapLibrary() const { return FLightmapLibrary; }
    void SetLightmapLibrary(TGLMaterialLibrary* value);
    bool UseMeshMaterials() const { return FUseMeshMaterials; }
    void SetUseMeshMaterials(bool value);
    bool OverlaySkeleton() const { return FOverlaySkeleton; }
    void SetOverlaySkeleton(bool value);
    // Readers consult it before failing on a texture they cannot find.
    bool IgnoreMissingTextures() const { return FIgnoreMissingTextures; }
    void SetIgnoreMissingTextures(bool value) { FIgnoreMissingTextures = value; }
    TMeshAutoCenterings AutoCentering() const { return FAutoCentering; }
    void SetAutoCentering(TMeshAutoCenterings value) { FAutoCentering = value; }
    // Applied to the vertices by the next load.
    TGLCoordinates* AutoScaling() const { return FAutoScaling; }
    // The file of the last load that succeeded; empty after a failed one.
    QString LastLoadedFilename() const { return FLastLoadedFilename; }

    // Replaces the content with the file's.
    void LoadFromFile(const QString& fileName);
    virtual void LoadFromStream(const QString& fileName, QIODevice& stream);
    // Reads the file into the present content.
    void AddFromFile(const QString& fileName);
    void AddFromStream(const QString& fileName, QIODevice& stream);
    void SaveToFile(const QString& fileName);
    void SaveToStream(const QString& fileName, QIODevice& stream);

    void ApplyAutoScaling();
    void ApplyAutoCentering();
    virtual void PrepareMesh();

    // Min starts at +inf and max at -inf on every axis: no vertices give
    // those back.
    void GetExtents(TAffineVector& min, TAffineVector& max) const;
    // The average of all vertices; the origin when there are none.
    TAffineVector GetBarycenter() const;
    // The larger of |min| and |max| on each axis, so that the box is centred
    // on the origin; cached until the next structure change.
    TVector HalfExtents() const override;
    int TriangleCount() const { return FMeshObjects->TriangleCount(); }
    TAffineVectorList ExtractTriangles(TAffineVectorList* texCoords = nullptr, TAffineVectorList* normals = nullptr) const;
    // A world-space ray against every triangle; the nearest hit's point and
    // normal in world space.
    bool IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint = nullptr,
                      TVector* intersectNormal = nullptr);

    void PrepareMaterialCaches();
    void DropMaterialCaches();
    bool MaterialCachesPrepared() const { return FMaterialCachesPrepared; }

    void MarkStructureChanged() override;
    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override;
    void EmitGeometry(TRenderContextInfo& info) override;
    void CoordinateChanged(TGLCoordinates* sender) override;

private:
    // Looks the format up, reads the stream with it and closes the update
    // batch and frees the format whatever happens.
    void ReadWithFormat(const QString& fileName, QIODevice& stream);
    void ListenToLibrary(TGLMaterialLibrary* library, QMetaObject::Connection& connection);
    void LibraryDestroyed(QObject* library);

    TMeshNormalsOrientation FNormalsOrientation = mnoDefault;
    TGLMaterialLibrary* FMaterialLibrary = nullptr;
    TGLMaterialLibrary* FLightmapLibrary = nullptr;
    QMetaObject::Connection FMaterialLibraryConnection;
    QMetaObject::Connection FLightmapLibraryConnection;
    mutable TVector FAxisAlignedDimensionsCache{-1, -1, -1, 0};
    bool FUseMeshMaterials = true;
    bool FOverlaySkeleton = false;
    bool FIgnoreMissingTextures = false;
    TMeshAutoCenterings FAutoCentering;
    TGLCoordinates* const FAutoScaling;
    bool FMaterialCachesPrepared = false;
    // A material deleted from the library on its own leaves the library in
    // place; the caches that may point to it are dropped.
    QMetaObject::Connection FMaterialDeletingConnection;
    QString FLastLoadedFilename;
    const std::unique_ptr<TMeshObjectList> FMeshObjects;
    const std::unique_ptr<TSkeleton> FSkeleton;
};

// A mesh for static models, drawn from a display list.
class TGLFreeForm : public TGLBaseMesh
{
    Q_OBJECT

public:
    explicit TGLFreeForm(QObject* AOwner);
};

// Registers the mesh classes by name.
void RegisterMeshClasses();
