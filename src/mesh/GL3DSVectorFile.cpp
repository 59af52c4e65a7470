#include "GL3DSVectorFile.h"

#include "Exceptions.h"
#include "FaceGroups.h"
#include "File3DS.h"
#include "GLBaseMesh.h"
#include "GLMaterial.h"
#include "GLMaterialLibrary.h"
#include "MeshObject.h"

#include <algorithm>
#include <cmath>

namespace
{
TAffineVector ToAffine(const T3DSVector& v)
{
    return {v.X, v.Y, v.Z};
}

void CopyVectors(const std::vector<T3DSVector>& from, TAffineVectorList& to)
{
    const int first = to.Count();
    to.SetCount(first + static_cast<int>(from.size()));
    TAffineVector* const items = to.List() + first;
    for (size_t i = 0; i < from.size(); ++i)
        items[i] = ToAffine(from[i]);
}

void SetOpaqueColor(TGLColor& color, const T3DSColor& value, float factor = 1.0f)
{
    color.SetColor({value.R * factor, value.G * factor, value.B * factor, 1.0f});
}
} // namespace

void TGL3DSVectorFile::LoadFromStream(QIODevice& stream)
{
    TFile3DS file;
    file.LoadFromStream(stream, ResourceName());
    const bool invertNormals = NormalsOrientation() == mnoInvert;
    // Object by object, so that what was read before a damaged object stays.
    for (int i = 0; i < file.MeshCount(); ++i)
        if (const std::optional<T3DSConvertedMesh> mesh = Convert3DSMesh(file.Mesh(i), invertNormals))
            AddMeshObject(file, *mesh);
}

void TGL3DSVectorFile::AddMeshObject(TFile3DS& file, const T3DSConvertedMesh& mesh)
{
    TMeshObject& object = Owner().MeshObjects().Add<TMeshObject>();
    object.Name = mesh.Name;
    object.SetMode(momFaceGroups);
    CopyVectors(mesh.Vertices, object.Vertices);
    CopyVectors(mesh.Normals, object.Normals);
    CopyVectors(mesh.TexCoords, object.TexCoords);
    bool hasLightmap = false;
    for (const T3DSConvertedMesh::TGroup& from : mesh.Groups)
    {
        TFGVertexIndexList& group = object.FaceGroups().Add<TFGVertexIndexList>();
        group.VertexIndices.Reserve(static_cast<int>(from.Indices.size()));
        for (const int index : from.Indices)
            group.Add(index);
        if (!from.MaterialName.isEmpty())
            AssignMaterial(file, group, from.MaterialName);
        hasLightmap = hasLightmap || group.LightMapIndex >= 0;
    }
    if (hasLightmap)
        for (const TAffineVector& st : object.TexCoords)
            object.LightMapTexCoords.Add({st.X, st.Y});
}

void TGL3DSVectorFile::AssignMaterial(TFile3DS& file, TFGVertexIndexList& group, const QString& materialName)
{
    // Without a library the mesh is drawn with its own scene-object material.
    TGLMaterialLibrary* const library = Owner().MaterialLibrary();
    if (library == nullptr)
        return;
    const T3DSMaterial* const material = file.FindMaterial(materialName);
    if (material == nullptr)
        throw EAssertionFailed(QStringLiteral("%1: the material \"%2\" is not defined").arg(ResourceName(), materialName));
    group.MaterialName = material->Name;
    FindOrAddLibraryMaterial(*library, *material);
    if (TGLMaterialLibrary* const lightmaps = Owner().LightmapLibrary())
        group.LightMapIndex = LightmapIndex(*lightmaps, *material);
}

TGLLibMaterial* TGL3DSVectorFile::FindOrAddLibraryMaterial(TGLMaterialLibrary& library, const T3DSMaterial& material)
{
    if (TGLLibMaterial* const existing = library.LibMaterialByName(material.Name))
        return existing;
    TGLLibMaterial* const libMaterial = library.AddMaterial(material.Name);
    TGLFaceProperties* const front = libMaterial->Material()->FrontProperties();
    SetOpaqueColor(*front->Ambient(), material.Ambient);
    SetOpaqueColor(*front->Diffuse(), material.Diffuse);
    SetOpaqueColor(*front->Specular(), material.Specular, 1.0f - material.Shininess);
    front->SetShininess(std::max(0, static_cast<int>(std::lround((1.0f - material.ShininessStrength) * 128.0f))));
    const QString textureFile = material.Texture.FileName.trimmed();
    if (!textureFile.isEmpty())
        LoadTextureUnlessIgnored(*libMaterial, textureFile);
    return libMaterial;
}

int TGL3DSVectorFile::LightmapIndex(TGLMaterialLibrary& library, const T3DSMaterial& material)
{
    const QString lightmapFile = material.SelfIlluminationMap.FileName.trimmed();
    if (lightmapFile.isEmpty())
        return -1;
    TGLLibMaterial* libMaterial = library.LibMaterialByName(lightmapFile);
    if (libMaterial == nullptr)
    {
        libMaterial = library.AddMaterial(lightmapFile);
        LoadTextureUnlessIgnored(*libMaterial, lightmapFile);
    }
    return libMaterial->Index();
}

void TGL3DSVectorFile::LoadTextureUnlessIgnored(TGLLibMaterial& libMaterial, const QString& fileName)
{
    try
    {
        libMaterial.LoadTexture(fileName);
    }
    catch (const ETextureLoadError&)
    {
        if (!Owner().IgnoreMissingTextures())
            throw;
    }
}
