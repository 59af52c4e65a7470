#pragma once

#include "SceneTypes.h"
#include "VectorGeometry.h"

#include <array>

class TGLRenderContext;
class TGLScene;
class TGLSceneBuffer;
class TGLStateCache;
class TGLMaterialLibrary;

enum TDrawState
{
    dsRendering,
    dsPicking,
    dsPrinting,
};

// What every object is handed while one pass draws the scene; filled anew for
// each pass.
struct TRenderContextInfo
{
    TGLScene* Scene = nullptr;
    TGLSceneBuffer* Buffer = nullptr;
    // The rendering context drawn in, where textures and display lists find
    // their names.
    TGLRenderContext* Context = nullptr;
    TVector CameraPosition{};
    TVector CameraDirection{};
    TVector CameraUp{};
    std::array<TVector, 6> FrustumPlanes{};
    float ViewportRadius = 0;
    float FarDistance = 0;
    int ViewportWidth = 0;
    int ViewportHeight = 0;
    int RenderDPI = 0;
    const TMatrix* ModelViewMatrix = nullptr;
    TGLStateCache* GLStates = nullptr;
    TDrawState DrawState = dsRendering;
    TGLObjectsSorting ObjectsSorting = osNone;
    TGLVisibilityCulling VisibilityCulling = vcNone;
    bool BufferFaceCull = false;
    std::array<float, 4> SceneAmbientColor{};
    bool IgnoreMaterials = false;
    // The libraries the face groups of the mesh being drawn take their
    // materials and lightmaps from; none outside a mesh.
    TGLMaterialLibrary* MaterialLibrary = nullptr;
    TGLMaterialLibrary* LightmapLibrary = nullptr;
    bool IgnoreBlendingRequests = false;
    bool ObjectsDirectDraw = false;
    bool Proxy = false;
    // How many applied materials have switched lighting and fog off.
    int LightingDisabledCounter = 0;
    int FogDisabledCounter = 0;
};
