// One Assimp read of an SMD file, shared by the load benchmark (which times
// it beside our reader) and the tests' Assimp witness (which reads what our
// reader must match), so the two never drift apart.
#pragma once

#include <assimp/cimport.h>
#include <assimp/config.h>
#include <assimp/scene.h>

#include <memory>

struct TAssimpSceneRelease
{
    void operator()(const aiScene* scene) const { aiReleaseImport(scene); }
};
using TAssimpScene = std::unique_ptr<const aiScene, TAssimpSceneRelease>;

// No post-processing: the importer already hands out triangles with one
// vertex per corner holding the file's own position, normal and texture
// coordinates, and every post-step would only add work or move vertices.
inline constexpr unsigned AssimpSMDImportFlags = 0;

// Null on failure; aiGetErrorString() then says why.
// - No dummy skeleton mesh for a file without triangles: our reader builds
//   none either, and it would count as geometry.
// - No search for a side file listing further animations beside the model:
//   the result must depend on the named file alone.
inline TAssimpScene LoadSMDWithAssimp(const char* const path)
{
    aiPropertyStore* const properties = aiCreatePropertyStore();
    aiSetImportPropertyInteger(properties, AI_CONFIG_IMPORT_NO_SKELETON_MESHES, 1);
    aiSetImportPropertyInteger(properties, AI_CONFIG_IMPORT_SMD_LOAD_ANIMATION_LIST, 0);
    TAssimpScene scene(aiImportFileExWithProperties(path, AssimpSMDImportFlags, nullptr, properties));
    aiReleasePropertyStore(properties);
    return scene;
}
