#include "GLDummyCube.h"

#include "Exceptions.h"
#include "ScopeGuard.h"

#include <cmath>

TGLDummyCube::TGLDummyCube(QObject* AOwner)
    : TGLCameraInvariantObject(AOwner), FEdgeColor(new TGLColor(this, {1, 1, 1, 1}))
{
    SetObjectStyle(ObjectStyle() | osDirectDraw);
    FEdgeColor->OnNotifyChange = [this] { ++FGroupRevision; };
}

TGLDummyCube::~TGLDummyCube()
{
    ReleaseGroupList();
}

void TGLDummyCube::SetCubeSize(float value)
{
    if (value == FCubeSize)
        return;
    FCubeSize = value;
    ++FGroupRevision;
    MarkStructureChanged();
}

void TGLDummyCube::SetVisibleAtRunTime(bool value)
{
    if (value == FVisibleAtRunTime)
        return;
    FVisibleAtRunTime = value;
    ++FGroupRevision;
    MarkStructureChanged();
}

void TGLDummyCube::SetAmalgamate(bool value)
{
    if (value == FAmalgamate)
        return;
    FAmalgamate = value;
    if (!FAmalgamate)
        ReleaseGroupList();
    ++FGroupRevision;
    MarkStructureChanged();
}

void TGLDummyCube::SetCamInvarianceMode(TGLCameraInvarianceMode value)
{
    if (value == FCamInvarianceMode)
        return;
    FCamInvarianceMode = value;
    NotifyChanged();
}

TVector TGLDummyCube::BarycenterWorldPosition()
{
    if (Count() == 0)
        return WorldPosition();
    TVector sum{};
    for (int i = 0; i < Count(); ++i)
        sum = VectorAdd(sum, Child(i)->BarycenterWorldPosition());
    TVector mean = VectorScale(sum, 1.0f / static_cast<float>(Count()));
    mean.W = 1;
    return mean;
}

TVector TGLDummyCube::HalfExtents() const
{
    const float half = std::fabs(FCubeSize) * 0.5f;
    return {half, half, half, 0};
}

void TGLDummyCube::EmitGeometry(TRenderContextInfo&)
{
    if (FVisibleAtRunTime)
        DrawWireCube();
}

// Lit or textured state left by earlier objects must not tint the edges, and
// whatever is switched here is given back as it was.
void TGLDummyCube::DrawWireCube() const
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(1);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glColor4fv(FEdgeColor->Data());
    const float h = FCubeSize * 0.5f;
    glBegin(GL_LINE_LOOP);
    glVertex3f(h, h, h);
    glVertex3f(-h, h, h);
    glVertex3f(-h, -h, h);
    glVertex3f(h, -h, h);
    glEnd();
    glBegin(GL_LINE_LOOP);
    glVertex3f(h, h, -h);
    glVertex3f(-h, h, -h);
    glVertex3f(-h, -h, -h);
    glVertex3f(h, -h, -h);
    glEnd();
    glBegin(GL_LINES);
    glVertex3f(h, h, h);
    glVertex3f(h, h, -h);
    glVertex3f(-h, h, h);
    glVertex3f(-h, h, -h);
    glVertex3f(-h, -h, h);
    glVertex3f(-h, -h, -h);
    glVertex3f(h, -h, h);
    glVertex3f(h, -h, -h);
    glEnd();
    glPopAttrib();
}

void TGLDummyCube::DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    if (FOnVisibilityDetermination)
    {
        bool isVisible = true;
        FOnVisibilityDetermination(this, info, isVisible);
        if (!isVisible)
            return;
    }
    if (FAmalgamate)
        DrawAmalgamated(info, renderSelf, renderChildren);
    else
        DrawCameraInvariant(info, renderSelf, renderChildren);
}

// Replaces the model-view matrix the render step built: kept at the camera's
// position, or with the camera's turn taken away.
void TGLDummyCube::DrawCameraInvariant(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    if (FCamInvarianceMode == cimNone)
    {
        TGLCameraInvariantObject::DrawObject(info, renderSelf, renderChildren);
        return;
    }
    glPushMatrix();
    const TScopeExit popMatrix([] { glPopMatrix(); });
    if (FCamInvarianceMode == cimPosition)
    {
        if (info.ModelViewMatrix != nullptr)
            glLoadMatrixf(info.ModelViewMatrix->Data());
        else
            glLoadIdentity();
        glTranslatef(info.CameraPosition.X, info.CameraPosition.Y, info.CameraPosition.Z);
    }
    else
    {
        glLoadIdentity();
        glScalef(1, -1, -1);
    }
    glMultMatrixf(LocalMatrix().Data());
    TGLCameraInvariantObject::DrawObject(info, renderSelf, renderChildren);
}

// Self and children are compiled once into one list, drawn directly while
// compiling so that no other list is nested in it.
void TGLDummyCube::DrawAmalgamated(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    if (info.Context == nullptr)
        throw EInvalidOperation(QStringLiteral("A display list is drawn only in a rendering context"));
    TGLContextNames::TEntry& entry = FGroupLists.Acquire(*info.Context);
    if (entry.Revision != FGroupRevision)
    {
        const unsigned revision = FGroupRevision;
        {
            // A failed compile leaves the list out of date and OpenGL drawing.
            glNewList(entry.Name, GL_COMPILE);
            const TScopeExit endList(
                [&info, savedDirectDraw = info.ObjectsDirectDraw]
                {
                    glEndList();
                    info.ObjectsDirectDraw = savedDirectDraw;
                });
            info.ObjectsDirectDraw = true;
            DrawCameraInvariant(info, renderSelf, renderChildren);
        }
        entry.Revision = revision;
    }
    glCallList(entry.Name);
}

void TGLDummyCube::ReleaseGroupList()
{
    FGroupLists.ReleaseAll();
    ++FGroupRevision;
}
