#pragma once

#include "VectorFile.h"

struct T3DSConvertedMesh;
struct T3DSMaterial;
class TFGVertexIndexList;
class TFile3DS;
class TGLLibMaterial;
class TGLMaterialLibrary;

// Reads 3D Studio model and project files into mesh objects of face groups,
// one per named object that has a triangle mesh.
class TGL3DSVectorFile : public TVectorFile
{
    Q_OBJECT

public:
    using TVectorFile::TVectorFile;

    void LoadFromStream(QIODevice& stream) override;

private:
    void AddMeshObject(TFile3DS& file, const T3DSConvertedMesh& mesh);
    void AssignMaterial(TFile3DS& file, TFGVertexIndexList& group, const QString& materialName);
    TGLLibMaterial* FindOrAddLibraryMaterial(TGLMaterialLibrary& library, const T3DSMaterial& material);
    int LightmapIndex(TGLMaterialLibrary& library, const T3DSMaterial& material);
    void LoadTextureUnlessIgnored(TGLLibMaterial& libMaterial, const QString& fileName);
};
