#include "GLBaseMesh.h"

#include "ClassRegistry.h"
#include "Exceptions.h"
#include "FileStream.h"
#include "GLActor.h"
#include "GLAnimationControler.h"
#include "GLMaterialLibrary.h"
#include "GLStateCache.h"
#include "ScopeGuard.h"
#include "VectorFile.h"

#include <algorithm>
#include <cmath>

namespace
{
// The start values of the half-extents: an empty mesh reports them.
constexpr float FarAway = 1e30f;

std::unique_ptr<TVectorFile> CreateFormatObject(TGLBaseMesh& mesh, const QString& fileName)
{
    std::unique_ptr<TVectorFile> file = FindFormatByFileName(fileName).Create(mesh);
    file->SetResourceName(fileName);
    file->SetNormalsOrientation(mesh.NormalsOrientation());
    return file;
}

std::unique_ptr<TVectorFile> CreateWriter(TGLBaseMesh& mesh, const QString& fileName)
{
    std::unique_ptr<TVectorFile> file = CreateFormatObject(mesh, fileName);
    if ((file->Capabilities() & dfcWrite) == 0)
        throw EInvalidOperation(QStringLiteral("%1 cannot write files").arg(QLatin1String(file->metaObject()->className())));
    return file;
}

// Möller and Trumbore's test: the distance along the ray, or a negative
// number when the ray misses the triangle or it lies behind the start.
float RayTriangleDistance(const TAffineVector& start, const TAffineVector& direction, const TAffineVector& v0,
                          const TAffineVector& v1, const TAffineVector& v2)
{
    const TVector d{direction.X, direction.Y, direction.Z, 0};
    const TVector e1{v1.X - v0.X, v1.Y - v0.Y, v1.Z - v0.Z, 0};
    const TVector e2{v2.X - v0.X, v2.Y - v0.Y, v2.Z - v0.Z, 0};
    const TVector p = VectorCrossProduct(d, e2);
    const float determinant = VectorDotProduct(e1, p);
    if (std::fabs(determinant) < 1e-12f)
        return -1;
    const float inverse = 1 / determinant;
    const TVector s{start.X - v0.X, start.Y - v0.Y, start.Z - v0.Z, 0};
    const float u = VectorDotProduct(s, p) * inverse;
    if (u < 0 || u > 1)
        return -1;
    const TVector q = VectorCrossProduct(s, e1);
    const float v = VectorDotProduct(d, q) * inverse;
    if (v < 0 || u + v > 1)
        return -1;
    return VectorDotProduct(e2, q) * inverse;
}
} // namespace

TGLBaseMesh::TGLBaseMesh(QObject* AOwner)
    : TGLSceneObject(AOwner),
      FAutoScaling(new TGLCoordinates(this, {1, 1, 1, 0}, csVector)),
      FMeshObjects(std::make_unique<TMeshObjectList>(this)),
      FSkeleton(std::make_unique<TSkeleton>(this))
{
    // Colour tracking and winding changes must not outlive the mesh's draw.
    SetObjectStyle(ObjectStyle() | osResetsStates);
}

TGLBaseMesh::~TGLBaseMesh()
{
    DropMaterialCaches();
    disconnect(FMaterialLibraryConnection);
    disconnect(FMaterialDeletingConnection);
    disconnect(FLightmapLibraryConnection);
    FSkeleton->Clear();
    FMeshObjects->Clear();
}

// ---------------------------------------------------------------- properties

void TGLBaseMesh::SetNormalsOrientation(TMeshNormalsOrientation value)
{
    if (value == FNormalsOrientation)
        return;
    FNormalsOrientation = value;
    MarkStructureChanged();
}

void TGLBaseMesh::ListenToLibrary(TGLMaterialLibrary* library, QMetaObject::Connection& connection)
{
    disconnect(connection);
    if (library != nullptr)
        connection = connect(library, &QObject::destroyed, this, [this](QObject* gone) { LibraryDestroyed(gone); });
}

void TGLBaseMesh::SetMaterialLibrary(TGLMaterialLibrary* value)
{
    if (value == FMaterialLibrary)
        return;
    DropMaterialCaches();
    if (FMaterialLibrary != nullptr)
        FMaterialLibrary->DestroyHandles();
    FMaterialLibrary = value;
    ListenToLibrary(value, FMaterialLibraryConnection);
    disconnect(FMaterialDeletingConnection);
    if (value != nullptr)
        FMaterialDeletingConnection =
            connect(value, &TGLMaterialLibrary::LibMaterialDeleting, this, [this] { DropMaterialCaches(); });
    MarkStructureChanged();
}

void TGLBaseMesh::SetLightmapLibrary(TGLMaterialLibrary* value)
{
    if (value == FLightmapLibrary)
        return;
    if (FLightmapLibrary != nullptr)
        FLightmapLibrary->DestroyHandles();
    FLightmapLibrary = value;
    ListenToLibrary(value, FLightmapLibraryConnection);
    MarkStructureChanged();
}

// The caches point into the library: they go with it.
void TGLBaseMesh::LibraryDestroyed(QObject* library)
{
    if (library == FMaterialLibrary)
    {
        DropMaterialCaches();
        FMaterialLibrary = nullptr;
    }
    if (library == FLightmapLibrary)
        FLightmapLibrary = nullptr;
    MarkStructureChanged();
}

void TGLBaseMesh::SetUseMeshMaterials(bool value)
{
    if (value == FUseMeshMaterials)
        return;
    FUseMeshMaterials = value;
    if (!value)
        DropMaterialCaches();
    MarkStructureChanged();
}

// The bones are drawn over the geometry, which stays as it is.
void TGLBaseMesh::SetOverlaySkeleton(bool value)
{
    if (value == FOverlaySkeleton)
        return;
    FOverlaySkeleton = value;
    NotifyChanged();
}

void TGLBaseMesh::CoordinateChanged(TGLCoordinates* sender)
{
    // Auto scaling takes effect at the next load; it moves nothing now.
    if (sender != FAutoScaling)
        TGLSceneObject::CoordinateChanged(sender);
}

// ------------------------------------------------------------------- loading

void TGLBaseMesh::LoadFromFile(const QString& fileName)
{
    FLastLoadedFilename.clear();
    if (fileName.isEmpty())
        return;
    const std::unique_ptr<QFile> stream = CreateFileStream(fileName, fmOpenReadShareDenyWrite);
    LoadFromStream(fileName, *stream);
    FLastLoadedFilename = fileName;
}

void TGLBaseMesh::LoadFromStream(const QString& fileName, QIODevice& stream)
{
    FLastLoadedFilename.clear();
    if (fileName.isEmpty())
        return;
    FMeshObjects->Clear();
    FSkeleton->Clear();
    ReadWithFormat(fileName, stream);
    FLastLoadedFilename = fileName;
    ApplyAutoScaling();
    ApplyAutoCentering();
    PrepareMesh();
}

void TGLBaseMesh::AddFromFile(const QString& fileName)
{
    if (fileName.isEmpty())
        return;
    const std::unique_ptr<QFile> stream = CreateFileStream(fileName, fmOpenReadShareDenyWrite);
    AddFromStream(fileName, *stream);
}

void TGLBaseMesh::AddFromStream(const QString& fileName, QIODevice& stream)
{
    if (fileName.isEmpty())
        return;
    ReadWithFormat(fileName, stream);
    PrepareMesh();
}

// Whatever the reader managed to add stays; the structure change makes the
// next frame show that rather than the display list of the previous model.
void TGLBaseMesh::ReadWithFormat(const QString& fileName, QIODevice& stream)
{
    const TScopeFailure showWhatIsLeft([this] { MarkStructureChanged(); });
    const std::unique_ptr<TVectorFile> file = CreateFormatObject(*this, fileName);
    BeginUpdate();
    const TScopeExit endUpdate([this] { EndUpdate(); });
    file->LoadFromStream(stream);
}

// The format is looked up and checked before the file is created, so that a
// name no format can write leaves an existing file alone.
void TGLBaseMesh::SaveToFile(const QString& fileName)
{
    if (fileName.isEmpty())
        return;
    const std::unique_ptr<TVectorFile> file = CreateWriter(*this, fileName);
    const std::unique_ptr<QFile> stream = CreateFileStream(fileName, fmCreate);
    file->SaveToStream(*stream);
}

void TGLBaseMesh::SaveToStream(const QString& fileName, QIODevice& stream)
{
    CreateWriter(*this, fileName)->SaveToStream(stream);
}

void TGLBaseMesh::ApplyAutoScaling()
{
    const TVector scaling = FAutoScaling->AsVector();
    if (scaling.X == 1 && scaling.Y == 1 && scaling.Z == 1)
        return;
    for (int i = 0; i < FMeshObjects->Count(); ++i)
        (*FMeshObjects)[i].Vertices.Scale(scaling.Affine());
}

void TGLBaseMesh::ApplyAutoCentering()
{
    TAffineVector delta;
    if (FAutoCentering.testFlag(macUseBarycenter))
    {
        const TAffineVector barycenter = GetBarycenter();
        delta = {-barycenter.X, -barycenter.Y, -barycenter.Z};
    }
    else
    {
        TAffineVector min, max;
        GetExtents(min, max);
        if (FAutoCentering.testFlag(macCenterX))
            delta.X = -(min.X + max.X) / 2;
        if (FAutoCentering.testFlag(macCenterY))
            delta.Y = -(min.Y + max.Y) / 2;
        if (FAutoCentering.testFlag(macCenterZ))
            delta.Z = -(min.Z + max.Z) / 2;
    }
    FMeshObjects->Translate(delta);
}

void TGLBaseMesh::PrepareMesh()
{
    MarkStructureChanged();
}

void TGLBaseMesh::MarkStructureChanged()
{
    FAxisAlignedDimensionsCache.X = -1;
    DropMaterialCaches();
    TGLSceneObject::MarkStructureChanged();
}

// ----------------------------------------------------------------- geometry

void TGLBaseMesh::GetExtents(TAffineVector& min, TAffineVector& max) const
{
    FMeshObjects->GetExtents(min, max);
}

TAffineVector TGLBaseMesh::GetBarycenter() const
{
    TAffineVector sum;
    int count = 0;
    for (int i = 0; i < FMeshObjects->Count(); ++i)
    {
        const TAffineVectorList& vertices = (*FMeshObjects)[i].Vertices;
        const TAffineVector objectSum = vertices.Sum();
        sum = {sum.X + objectSum.X, sum.Y + objectSum.Y, sum.Z + objectSum.Z};
        count += vertices.Count();
    }
    if (count == 0)
        return {};
    return {sum.X / count, sum.Y / count, sum.Z / count};
}

TVector TGLBaseMesh::HalfExtents() const
{
    if (FAxisAlignedDimensionsCache.X < 0)
    {
        TAffineVector min{FarAway, FarAway, FarAway}, max{-FarAway, -FarAway, -FarAway};
        for (int i = 0; i < FMeshObjects->Count(); ++i)
        {
            TAffineVector low, high;
            (*FMeshObjects)[i].GetExtents(low, high);
            min = {std::min(min.X, low.X), std::min(min.Y, low.Y), std::min(min.Z, low.Z)};
            max = {std::max(max.X, high.X), std::max(max.Y, high.Y), std::max(max.Z, high.Z)};
        }
        FAxisAlignedDimensionsCache = {std::max(std::fabs(min.X), std::fabs(max.X)),
                                       std::max(std::fabs(min.Y), std::fabs(max.Y)),
                                       std::max(std::fabs(min.Z), std::fabs(max.Z)), 0};
    }
    return FAxisAlignedDimensionsCache;
}

TAffineVectorList TGLBaseMesh::ExtractTriangles(TAffineVectorList* texCoords, TAffineVectorList* normals) const
{
    TAffineVectorList vertices;
    FMeshObjects->ExtractTriangles(vertices, texCoords, normals);
    return vertices;
}

bool TGLBaseMesh::IntersectRay(const TVector& rayStart, const TVector& rayVector, TVector* intersectPoint,
                               TVector* intersectNormal)
{
    const TVector localStart = WorldToLocal({rayStart.X, rayStart.Y, rayStart.Z, 1});
    const TVector localVector = WorldToLocal({rayVector.X, rayVector.Y, rayVector.Z, 0});
    const TAffineVectorList triangles = ExtractTriangles();
    const TAffineVector start = localStart.Affine();
    const TAffineVector direction = localVector.Affine();
    bool found = false;
    float bestDistance2 = 0;
    TVector bestPoint, bestNormal;
    for (int i = 0; i + 2 < triangles.Count(); i += 3)
    {
        const TAffineVector &v0 = triangles[i], &v1 = triangles[i + 1], &v2 = triangles[i + 2];
        const float t = RayTriangleDistance(start, direction, v0, v1, v2);
        if (t < 0)
            continue;
        const TVector point{start.X + t * direction.X, start.Y + t * direction.Y, start.Z + t * direction.Z, 1};
        const float distance2 = VectorDistance2(point, localStart);
        // The first of equally near hits is kept.
        if (found && distance2 >= bestDistance2)
            continue;
        found = true;
        bestDistance2 = distance2;
        bestPoint = point;
        bestNormal = VectorCrossProduct({v1.X - v0.X, v1.Y - v0.Y, v1.Z - v0.Z, 0}, {v2.X - v0.X, v2.Y - v0.Y, v2.Z - v0.Z, 0});
    }
    if (!found)
        return false;
    if (intersectPoint != nullptr)
        *intersectPoint = LocalToWorld(bestPoint);
    if (intersectNormal != nullptr)
    {
        TVector normal = VectorNormalize(LocalToWorld(bestNormal));
        normal.W = 0;
        *intersectNormal = FNormalsOrientation == mnoInvert ? VectorNegate(normal) : normal;
    }
    return true;
}

// ---------------------------------------------------------- material caches

void TGLBaseMesh::PrepareMaterialCaches()
{
    DropMaterialCaches();
    for (int i = 0; i < FMeshObjects->Count(); ++i)
        (*FMeshObjects)[i].PrepareMaterialLibraryCache(FMaterialLibrary);
    FMaterialCachesPrepared = true;
}

void TGLBaseMesh::DropMaterialCaches()
{
    if (!FMaterialCachesPrepared)
        return;
    for (int i = 0; i < FMeshObjects->Count(); ++i)
        (*FMeshObjects)[i].DropMaterialLibraryCache();
    FMaterialCachesPrepared = false;
}

// ------------------------------------------------------------------- drawing

void TGLBaseMesh::DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    if (renderSelf)
    {
        if (Scene() != nullptr)
            Scene()->SetLastDrawnObject(this);
        // Inside out: the winding turns round for this mesh's own faces only.
        const bool invert = FNormalsOrientation == mnoInvert && info.GLStates != nullptr;
        if (invert)
            info.GLStates->InvertFrontFace();
        const TScopeExit restoreWinding(
            [&info, invert]
            {
                if (invert)
                    info.GLStates->InvertFrontFace();
            });
        // A list compiled while picking would lack the normals, colours and
        // face-group materials that later frames replay: an out-of-date one
        // is left for the next rendering pass to compile.
        if (info.IgnoreMaterials && StructureChanged())
            EmitGeometry(info);
        else if (info.IgnoreMaterials)
            DrawSelf(info);
        else
        {
            const bool meshMaterials = FUseMeshMaterials && FMaterialLibrary != nullptr;
            if (meshMaterials && !FMaterialCachesPrepared)
                PrepareMaterialCaches();
            info.MaterialLibrary = meshMaterials ? FMaterialLibrary : nullptr;
            info.LightmapLibrary = FLightmapLibrary;
            const TScopeExit clearLibraries(
                [&info]
                {
                    info.MaterialLibrary = nullptr;
                    info.LightmapLibrary = nullptr;
                });
            const bool directDraw = (ObjectStyle() & osDirectDraw) != 0;
            // Textures are made before a display list is compiled, which must
            // not record their upload.
            if (info.ObjectsDirectDraw || (StructureChanged() && !directDraw))
                for (int i = 0; i < FMeshObjects->Count(); ++i)
                    if ((*FMeshObjects)[i].Visible)
                        (*FMeshObjects)[i].PrepareEmit(info);
            ApplyMaterial(info);
            const TScopeFailure unApply([this, &info] { UnApplyMaterial(info); });
            do
                DrawSelf(info);
            while (UnApplyMaterial(info));
        }
    }
    if (renderChildren)
        RenderChildren(info);
}

void TGLBaseMesh::EmitGeometry(TRenderContextInfo& info)
{
    for (int i = 0; i < FMeshObjects->Count(); ++i)
        if ((*FMeshObjects)[i].Visible)
            (*FMeshObjects)[i].EmitGeometry(info);
}

// ---------------------------------------------------------------- free form

TGLFreeForm::TGLFreeForm(QObject* AOwner)
    : TGLBaseMesh(AOwner)
{
    SetUseMeshMaterials(true);
}

void RegisterMeshClasses()
{
    TClassRegistry::RegisterClass<TGLFreeForm>();
    TClassRegistry::RegisterClass<TGLActor>();
    TClassRegistry::RegisterClass<TGLAnimationControler>();
}
