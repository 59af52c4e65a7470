#pragma once

#include "SceneObjects.h"

class TGLBaseMesh;

// Lines drawn over a mesh to check its data: each vertex's normal and the box
// round its present vertices. A child of the mesh, so that it takes the
// mesh's placement, and drawn after it, so that it sees the pose just drawn.
class TViewerOverlay : public TGLBaseSceneObject
{
    Q_OBJECT

public:
    explicit TViewerOverlay(TGLBaseMesh* mesh);

    bool ShowNormals() const { return FShowNormals; }
    void SetShowNormals(bool value);
    bool ShowBoundingBox() const { return FShowBoundingBox; }
    void SetShowBoundingBox(bool value);
    // In the mesh's own units.
    void SetNormalLength(float value) { FNormalLength = value; }

    void EmitGeometry(TRenderContextInfo& info) override;

private:
    void DrawNormals() const;
    void DrawBoundingBox() const;

    TGLBaseMesh* const FMesh;
    bool FShowNormals = false;
    bool FShowBoundingBox = false;
    float FNormalLength = 1;
};
