#include "MeshObject.h"

#include "Exceptions.h"
#include "GLBaseMesh.h"
#include "GLMaterialLibrary.h"
#include "GLRenderContext.h"
#include "GLStateCache.h"
#include "RenderContextInfo.h"
#include "ScopeGuard.h"

#include <algorithm>
#include <limits>

namespace
{
enum TClientArray : unsigned
{
    caVertex = 1u << 0,
    caNormal = 1u << 1,
    caColor = 1u << 2,
};

void AddOptional(TAffineVectorList* out, const TAffineVectorList& source, int index)
{
    if (out != nullptr)
        out->Add(index < source.Count() ? source[index] : TAffineVector{});
}
} // namespace

void TBaseMeshObject::Clear()
{
    Vertices.Clear();
    Normals.Clear();
}

// --------------------------------------------------------------- mesh object

TMeshObject::TMeshObject(TMeshObjectList* owner)
    : FOwner(owner)
{
}

TMeshObject::~TMeshObject() = default;

void TMeshObject::SetMode(int mode)
{
    if (mode < momTriangles || mode > momFaceGroups)
        throw EAssertionFailed(QStringLiteral("Unknown mesh object mode %1").arg(mode));
    FMode = static_cast<TMeshObjectMode>(mode);
}

TVectorList& TMeshObject::ExtraTexCoords(int index)
{
    if (index < 0)
        throw EAssertionFailed(QStringLiteral("Negative texture coordinate set %1").arg(index));
    if (index >= ExtraTexCoordsCount())
        FExtraTexCoords.resize(static_cast<size_t>(index) + 1);
    return FExtraTexCoords[static_cast<size_t>(index)];
}

void TMeshObject::Clear()
{
    TBaseMeshObject::Clear();
    TexCoords.Clear();
    LightMapTexCoords.Clear();
    Colors.Clear();
    FFaceGroups.Clear();
    FExtraTexCoords.clear();
}

int TMeshObject::TriangleCount() const
{
    switch (FMode)
    {
    case momTriangles:
        return Vertices.Count() / 3;
    case momTriangleStrip:
        return std::max(0, Vertices.Count() - 2);
    case momFaceGroups:
        return FFaceGroups.TriangleCount();
    }
    return 0;
}

void TMeshObject::ExtractTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                                   TAffineVectorList* normals) const
{
    switch (FMode)
    {
    case momTriangles:
        // Like the drawing, which leaves out a last incomplete triangle.
        for (int i = 0; i < Vertices.Count() / 3 * 3; ++i)
        {
            vertices.Add(Vertices[i]);
            AddOptional(texCoords, TexCoords, i);
            AddOptional(normals, Normals, i);
        }
        break;
    case momTriangleStrip:
        for (int i = 0; i + 2 < Vertices.Count(); ++i)
        {
            // Every other triangle of a strip is wound the other way.
            const int corners[3] = {i % 2 == 0 ? i : i + 1, i % 2 == 0 ? i + 1 : i, i + 2};
            for (const int corner : corners)
            {
                vertices.Add(Vertices[corner]);
                AddOptional(texCoords, TexCoords, corner);
                AddOptional(normals, Normals, corner);
            }
        }
        break;
    case momFaceGroups:
        FFaceGroups.AddToTriangles(vertices, texCoords, normals);
        break;
    }
}

void TMeshObject::PrepareEmit(TRenderContextInfo& info)
{
    if (FMode != momFaceGroups || info.MaterialLibrary == nullptr || info.Context == nullptr || info.GLStates == nullptr)
        return;
    for (int i = 0; i < FFaceGroups.Count(); ++i)
        if (TGLLibMaterial* material = FFaceGroups[i].MaterialCache())
            if (material->Material()->TextureEnabled())
                material->Material()->Texture()->Handle(*info.Context, *info.GLStates);
}

void TMeshObject::EmitGeometry(TRenderContextInfo& info)
{
    FArraysDeclared = false;
    // Colours given per vertex replace the material's ambient and diffuse
    // colours; the material is reset so that nothing of the previous object's
    // shows through the others.
    const bool trackColors = ColorsMatchVertices();
    if (trackColors)
    {
        glPushAttrib(GL_ENABLE_BIT);
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        if (info.GLStates != nullptr)
            info.GLStates->ResetMaterial();
    }
    const TScopeExit restore(
        [this, &info, trackColors]
        {
            if (trackColors)
                glPopAttrib();
            ReleaseArrays();
            SwitchLightmap(info, -1);
        });
    switch (FMode)
    {
    case momFaceGroups:
        EmitFaceGroups(info);
        break;
    case momTriangles:
    case momTriangleStrip:
        if (!Vertices.Empty())
            EmitVertices(info);
        break;
    }
}

void TMeshObject::EmitFaceGroups(TRenderContextInfo& info)
{
    if (info.MaterialLibrary == nullptr)
    {
        for (int i = 0; i < FFaceGroups.Count(); ++i)
            FFaceGroups[i].EmitGeometry(info);
        return;
    }
    if ((RenderingOptions & moroGroupByMaterial) != 0)
        EmitFaceGroupsByMaterial(info);
    else
    {
        // A material is applied once for each run of groups that share it.
        const int count = FFaceGroups.Count();
        for (int first = 0; first < count;)
        {
            TGLLibMaterial* const material = FFaceGroups[first].MaterialCache();
            if (material == nullptr)
            {
                FFaceGroups[first++].EmitGeometry(info);
                continue;
            }
            int end = first + 1;
            while (end < count && FFaceGroups[end].MaterialCache() == material)
                ++end;
            material->Apply(info);
            const TScopeFailure unApply([material, &info] { material->UnApply(info); });
            do
                for (int i = first; i < end; ++i)
                    FFaceGroups[i].EmitGeometry(info);
            while (material->UnApply(info));
            first = end;
        }
    }
    // Materials may have changed the culling.
    if (info.GLStates != nullptr)
        info.GLStates->SetEnabled(stCullFace, info.BufferFaceCull);
}

void TMeshObject::EmitFaceGroupsByMaterial(TRenderContextInfo& info)
{
    const int mark = ++FRenderMark;
    const int count = FFaceGroups.Count();
    for (int first = 0; first < count; ++first)
    {
        TFaceGroup& group = FFaceGroups[first];
        if (group.RenderMark == mark)
            continue;
        TGLLibMaterial* const material = group.MaterialCache();
        if (material == nullptr)
        {
            group.RenderMark = mark;
            group.EmitGeometry(info);
            continue;
        }
        for (int i = first; i < count; ++i)
            if (FFaceGroups[i].MaterialCache() == material)
                FFaceGroups[i].RenderMark = mark;
        material->Apply(info);
        const TScopeFailure unApply([material, &info] { material->UnApply(info); });
        do
            for (int i = first; i < count; ++i)
                if (FFaceGroups[i].MaterialCache() == material)
                    FFaceGroups[i].EmitGeometry(info);
        while (material->UnApply(info));
    }
}

void TMeshObject::EmitVertices(TRenderContextInfo& info)
{
    DeclareArrays(info, false);
    const bool withNormals = NormalsMatchVertices();
    const bool withColors = ColorsMatchVertices();
    const bool withTexCoords = TexCoordsMatchVertices();
    glBegin(FMode == momTriangles ? GL_TRIANGLES : GL_TRIANGLE_STRIP);
    for (int i = 0; i < Vertices.Count(); ++i)
    {
        if (withNormals)
            glNormal3fv(&Normals[i].X);
        if (withColors)
            glColor4fv(&Colors[i].X);
        if (!FExtraTexCoords.empty())
        {
            for (size_t set = 0; set < FExtraTexCoords.size(); ++set)
                if (i < FExtraTexCoords[set].Count())
                    glMultiTexCoord4fv(GL_TEXTURE0 + static_cast<GLenum>(set), &FExtraTexCoords[set][i].X);
        }
        else if (withTexCoords)
            glTexCoord2fv(&TexCoords[i].X);
        glVertex3fv(&Vertices[i].X);
    }
    glEnd();
}

void TMeshObject::DeclareTexCoordArray(int unit, int size, GLsizei stride, const void* data)
{
    glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(size, GL_FLOAT, stride, data);
    glClientActiveTexture(GL_TEXTURE0);
    FEnabledTexCoordUnits |= 1u << unit;
}

// An array is handed over only when it has an item for every vertex: the
// face groups index it with vertex indices, and a shorter one would be read
// past its end.
void TMeshObject::DeclareArrays(TRenderContextInfo& info, bool force)
{
    if (FArraysDeclared && !force)
        return;
    ReleaseArrays();
    if (!Vertices.Empty())
    {
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, Vertices.List());
        FEnabledClientArrays |= caVertex;
    }
    if (!info.IgnoreMaterials && !Vertices.Empty())
    {
        if (NormalsMatchVertices())
        {
            glEnableClientState(GL_NORMAL_ARRAY);
            glNormalPointer(GL_FLOAT, 0, Normals.List());
            FEnabledClientArrays |= caNormal;
        }
        if (ColorsMatchVertices())
        {
            glEnableClientState(GL_COLOR_ARRAY);
            glColorPointer(4, GL_FLOAT, 0, Colors.List());
            FEnabledClientArrays |= caColor;
        }
        const bool extraSetZero = !FExtraTexCoords.empty() && FExtraTexCoords[0].Count() == Vertices.Count();
        if (TexCoordsMatchVertices() && !extraSetZero)
            DeclareTexCoordArray(0, 2, sizeof(TAffineVector), TexCoords.List());
        const bool lightmap = info.LightmapLibrary != nullptr && LightMapTexCoords.Count() == Vertices.Count();
        if (lightmap)
            DeclareTexCoordArray(1, 2, 0, LightMapTexCoords.List());
        FLightmapEnabled = lightmap;
        for (size_t set = 0; set < FExtraTexCoords.size() && set < TGLStateCache::TextureUnits; ++set)
            if (FExtraTexCoords[set].Count() == Vertices.Count() && !(lightmap && set == 1))
                DeclareTexCoordArray(static_cast<int>(set), 4, 0, FExtraTexCoords[set].List());
    }
    LockArrays(info);
    FArraysDeclared = true;
}

// Locked arrays let the driver transform the shared vertices once for all the
// face groups that index them. Lightmap coordinates stay unlocked: the lock
// would freeze unit 1 while face groups switch their lightmaps.
void TMeshObject::LockArrays(TRenderContextInfo& info)
{
    if (Vertices.Empty() || info.Context == nullptr || FLightmapEnabled)
        return;
    const TGLRenderContext::TLockArrays& lock = info.Context->LockArrays();
    if (lock.Lock == nullptr)
        return;
    lock.Lock(0, Vertices.Count());
    FUnlockArrays = lock.Unlock;
}

void TMeshObject::ReleaseArrays()
{
    if (FUnlockArrays != nullptr)
    {
        FUnlockArrays();
        FUnlockArrays = nullptr;
    }
    if ((FEnabledClientArrays & caVertex) != 0)
        glDisableClientState(GL_VERTEX_ARRAY);
    if ((FEnabledClientArrays & caNormal) != 0)
        glDisableClientState(GL_NORMAL_ARRAY);
    if ((FEnabledClientArrays & caColor) != 0)
        glDisableClientState(GL_COLOR_ARRAY);
    for (int unit = 0; FEnabledTexCoordUnits != 0; ++unit)
        if ((FEnabledTexCoordUnits & (1u << unit)) != 0)
        {
            glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            FEnabledTexCoordUnits &= ~(1u << unit);
        }
    glClientActiveTexture(GL_TEXTURE0);
    FEnabledClientArrays = 0;
    FLightmapEnabled = false;
    FArraysDeclared = false;
}

void TMeshObject::SwitchLightmap(TRenderContextInfo& info, int index)
{
    if (info.LightmapLibrary == nullptr || info.GLStates == nullptr || index == FLastLightMapIndex)
        return;
    FLastLightMapIndex = index;
    TGLStateCache& states = *info.GLStates;
    const TGLLibMaterials& materials = *info.LightmapLibrary->Materials();
    if (index >= 0 && index < materials.Count() && info.Context != nullptr)
    {
        TGLMaterial& material = *materials.Items(index)->Material();
        const GLuint handle = material.TextureEnabled() ? material.Texture()->Handle(*info.Context, states) : 0;
        states.BindTexture(1, GL_TEXTURE_2D, handle);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    else
    {
        states.SetActiveTextureUnit(1);
        glDisable(GL_TEXTURE_2D);
    }
    states.SetActiveTextureUnit(0);
}

// ------------------------------------------------------------ morph targets

TMeshMorphTarget& TMeshMorphTargetList::Add()
{
    FItems.push_back(std::make_unique<TMeshMorphTarget>());
    return *FItems.back();
}

void TMorphableMeshObject::Clear()
{
    TMeshObject::Clear();
    MorphTargets.Clear();
}

TMeshMorphTarget& TMorphableMeshObject::AddMorphTarget(const QString& name)
{
    TMeshMorphTarget& target = MorphTargets.Add();
    target.Name = name;
    target.Vertices.Assign(Vertices);
    target.Normals.Assign(Normals);
    return target;
}

void TMorphableMeshObject::MorphTo(int index)
{
    if (index < 0 || index >= MorphTargets.Count())
        throw EAssertionFailed(QStringLiteral("Morph target %1 out of range").arg(index));
    Vertices.Assign(MorphTargets[index].Vertices);
    Normals.Assign(MorphTargets[index].Normals);
}

void TMorphableMeshObject::Lerp(int index1, int index2, float t)
{
    if (index1 < 0 || index1 >= MorphTargets.Count() || index2 < 0 || index2 >= MorphTargets.Count())
        throw EAssertionFailed(QStringLiteral("Morph targets %1 and %2 out of range").arg(index1).arg(index2));
    Vertices.Lerp(MorphTargets[index1].Vertices, MorphTargets[index2].Vertices, t);
    Normals.Lerp(MorphTargets[index1].Normals, MorphTargets[index2].Normals, t);
}

// ----------------------------------------------------------------- the list

void TMeshObjectList::Remove(TMeshObject& item)
{
    const auto found = std::find_if(FItems.begin(), FItems.end(), [&item](const auto& p) { return p.get() == &item; });
    if (found == FItems.end())
        throw EAssertionFailed(QStringLiteral("Mesh object not in this list"));
    if (FOwner != nullptr)
        FOwner->DropMaterialCaches();
    FItems.erase(found);
}

void TMeshObjectList::Clear()
{
    if (FOwner != nullptr)
        FOwner->DropMaterialCaches();
    FItems.clear();
}

void TMeshObjectList::GetExtents(TAffineVector& min, TAffineVector& max) const
{
    const float infinity = std::numeric_limits<float>::infinity();
    min = {infinity, infinity, infinity};
    max = {-infinity, -infinity, -infinity};
    for (const auto& item : FItems)
    {
        TAffineVector low, high;
        item->GetExtents(low, high);
        min = {std::min(min.X, low.X), std::min(min.Y, low.Y), std::min(min.Z, low.Z)};
        max = {std::max(max.X, high.X), std::max(max.Y, high.Y), std::max(max.Z, high.Z)};
    }
}

void TMeshObjectList::Translate(const TAffineVector& delta)
{
    for (const auto& item : FItems)
        item->Translate(delta);
}

int TMeshObjectList::TriangleCount() const
{
    int count = 0;
    for (const auto& item : FItems)
        count += item->TriangleCount();
    return count;
}

void TMeshObjectList::ExtractTriangles(TAffineVectorList& vertices, TAffineVectorList* texCoords,
                                       TAffineVectorList* normals) const
{
    for (const auto& item : FItems)
        item->ExtractTriangles(vertices, texCoords, normals);
}
