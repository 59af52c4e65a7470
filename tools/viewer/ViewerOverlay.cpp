#include "ViewerOverlay.h"

#include "GLBaseMesh.h"
#include "ScopeGuard.h"

#include <GL/gl.h>

TViewerOverlay::TViewerOverlay(TGLBaseMesh* mesh) : TGLBaseSceneObject(mesh), FMesh(mesh)
{
    // The pose changes every frame: nothing is worth a display list.
    SetObjectStyle(ObjectStyle() | osDirectDraw);
    mesh->AddChild(this);
}

void TViewerOverlay::SetShowNormals(const bool value)
{
    FShowNormals = value;
    NotifyChanged();
}

void TViewerOverlay::SetShowBoundingBox(const bool value)
{
    FShowBoundingBox = value;
    NotifyChanged();
}

// Plain coloured lines: lighting, textures and the polygon mode of the mesh
// would tint or hide them. The attribute stack gives the mesh's states back.
void TViewerOverlay::EmitGeometry(TRenderContextInfo&)
{
    if (!FShowNormals && !FShowBoundingBox)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    const TScopeExit popAttributes([] { glPopAttrib(); });
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_COLOR_MATERIAL);
    if (FShowNormals)
        DrawNormals();
    if (FShowBoundingBox)
        DrawBoundingBox();
}

void TViewerOverlay::DrawNormals() const
{
    glColor3f(0.2f, 0.9f, 1.0f);
    glBegin(GL_LINES);
    const TMeshObjectList& objects = FMesh->MeshObjects();
    for (int o = 0; o < objects.Count(); ++o)
    {
        const TMeshObject& object = objects[o];
        if (!object.Visible || !object.NormalsMatchVertices())
            continue;
        for (int i = 0; i < object.Vertices.Count(); ++i)
        {
            const TAffineVector& v = object.Vertices[i];
            const TAffineVector& n = object.Normals[i];
            glVertex3f(v.X, v.Y, v.Z);
            glVertex3f(v.X + n.X * FNormalLength, v.Y + n.Y * FNormalLength, v.Z + n.Z * FNormalLength);
        }
    }
    glEnd();
}

void TViewerOverlay::DrawBoundingBox() const
{
    TAffineVector low, high;
    FMesh->MeshObjects().GetExtents(low, high);
    if (low.X > high.X)
        return;
    const float x[2] = {low.X, high.X}, y[2] = {low.Y, high.Y}, z[2] = {low.Z, high.Z};
    glColor3f(1.0f, 0.85f, 0.1f);
    glBegin(GL_LINES);
    // The four edges along each axis.
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
        {
            glVertex3f(x[0], y[a], z[b]);
            glVertex3f(x[1], y[a], z[b]);
            glVertex3f(x[a], y[0], z[b]);
            glVertex3f(x[a], y[1], z[b]);
            glVertex3f(x[a], y[b], z[0]);
            glVertex3f(x[a], y[b], z[1]);
        }
    glEnd();
}
