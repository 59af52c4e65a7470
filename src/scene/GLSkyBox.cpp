#include "GLSkyBox.h"

#include "ClassRegistry.h"
#include "GLCamera.h"
#include "GLSceneBuffer.h"
#include "GLStateCache.h"
#include "ScopeGuard.h"

namespace
{
// Front, back, top, bottom, left, right: the order the faces are drawn in.
const float FaceCorners[6][4][3] = {
    {{-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}},
    {{1, 1, 1}, {1, -1, 1}, {-1, -1, 1}, {-1, 1, 1}},
    {{-1, 1, 1}, {-1, 1, -1}, {1, 1, -1}, {1, 1, 1}},
    {{-1, -1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, -1, -1}},
    {{-1, 1, 1}, {-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}},
    {{1, 1, -1}, {1, -1, -1}, {1, -1, 1}, {1, 1, 1}},
};

// Texture coordinates kept off the edges, so that no border texel shows.
constexpr float TexCoords[4][2] = {{0.002f, 0.998f}, {0.002f, 0.002f}, {0.998f, 0.002f}, {0.998f, 0.998f}};

void DrawQuad(const float (&corners)[4][3])
{
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i)
    {
        glTexCoord2fv(TexCoords[i]);
        glVertex3fv(corners[i]);
    }
    glEnd();
}

// The side faces continued from y = -1 down to -3 with the texture's bottom row.
void DrawClampedSkirt(const float (&corners)[4][3])
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.002f, 0.002f);
    glVertex3f(corners[0][0], -1, corners[0][2]);
    glTexCoord2f(0.002f, 0.002f);
    glVertex3f(corners[0][0], -3, corners[0][2]);
    glTexCoord2f(0.998f, 0.002f);
    glVertex3f(corners[3][0], -3, corners[3][2]);
    glTexCoord2f(0.998f, 0.002f);
    glVertex3f(corners[3][0], -1, corners[3][2]);
    glEnd();
}
} // namespace

TGLSkyBox::TGLSkyBox(QObject* AOwner)
    : TGLImmaterialSceneObject(AOwner)
{
    SetObjectStyle(ObjectStyle() | osDirectDraw | osNoVisibilityCulling);
}

void TGLSkyBox::SetMaterialLibrary(TGLMaterialLibrary* value)
{
    if (value == FMaterialLibrary)
        return;
    FMaterialLibrary = value;
    MarkStructureChanged();
}

void TGLSkyBox::SetName(QString& field, const QString& value)
{
    if (value == field)
        return;
    field = value;
    MarkStructureChanged();
}

void TGLSkyBox::SetCloudsPlaneOffset(float value)
{
    if (value == FCloudsPlaneOffset)
        return;
    FCloudsPlaneOffset = value;
    MarkStructureChanged();
}

void TGLSkyBox::SetCloudsPlaneSize(float value)
{
    if (value == FCloudsPlaneSize)
        return;
    FCloudsPlaneSize = value;
    MarkStructureChanged();
}

// The camera's view alone (the box's own and its parents' transforms are
// dropped), turned as the box is, moved to the camera and scaled to half the
// far distance.
TMatrix TGLSkyBox::BoxMatrix(const TRenderContextInfo& info, float size)
{
    const TVector up = Up()->AsVector();
    const TVector direction = Direction()->AsVector();
    const TVector left = VectorCrossProduct(up, direction);
    const TVector eye = info.CameraPosition;
    TMatrix box;
    box[0] = {left.X, left.Y, left.Z, 0};
    box[1] = {up.X, up.Y, up.Z, 0};
    box[2] = {direction.X, direction.Y, direction.Z, 0};
    box[3] = {eye.X, eye.Y, eye.Z, 1};
    TMatrix scale = IdentityMatrix();
    scale[0][0] = scale[1][1] = scale[2][2] = size;
    return MatrixMultiply(scale, MatrixMultiply(box, *info.ModelViewMatrix));
}

void TGLSkyBox::ApplyStyle() const
{
    switch (FStyle)
    {
    case sbsTopHalf:
    case sbsTopHalfClamped:
        glTranslatef(0, 0.5f, 0);
        glScalef(1, 0.5f, 1);
        break;
    case sbsBottomHalf:
        glTranslatef(0, -0.5f, 0);
        glScalef(1, 0.5f, 1);
        break;
    case sbTopTwoThirds:
        glTranslatef(0, 0.33333334f, 0);
        glScalef(1, 0.6666667f, 1);
        break;
    case sbsFull:
        break;
    }
}

void TGLSkyBox::DrawFaces(TRenderContextInfo& info)
{
    const QString* const names[6] = {&FMatNameFront,  &FMatNameBack, &FMatNameTop,
                                     &FMatNameBottom, &FMatNameLeft, &FMatNameRight};
    for (int i = 0; i < 6; ++i)
    {
        TGLLibMaterial* const material = FMaterialLibrary->LibMaterialByName(*names[i]);
        if (material == nullptr)
            continue;
        const bool sideFace = i != 2 && i != 3;
        material->Apply(info);
        do
        {
            DrawQuad(FaceCorners[i]);
            if (sideFace && FStyle == sbsTopHalfClamped)
                DrawClampedSkirt(FaceCorners[i]);
        } while (material->UnApply(info));
    }
}

void TGLSkyBox::DrawClouds(TRenderContextInfo& info)
{
    TGLLibMaterial* const material = FMaterialLibrary->LibMaterialByName(FMatNameClouds);
    if (material == nullptr)
        return;
    const float r = FCloudsPlaneSize / 2;
    const float y = FCloudsPlaneOffset;
    const float corners[4][3] = {{-r, y, r}, {-r, y, -r}, {r, y, -r}, {r, y, r}};
    const float texCoords[4][2] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
    material->Apply(info);
    do
    {
        glBegin(GL_QUADS);
        for (int i = 0; i < 4; ++i)
        {
            glTexCoord2fv(texCoords[i]);
            glVertex3fv(corners[i]);
        }
        glEnd();
    } while (material->UnApply(info));
}

void TGLSkyBox::DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    if (FMaterialLibrary == nullptr || info.Buffer == nullptr || info.Buffer->Camera() == nullptr)
        return;
    TGLStateCache& states = *info.GLStates;
    const bool depthTest = states.IsEnabled(stDepthTest);
    const bool lighting = states.IsEnabled(stLighting);
    const bool fog = states.IsEnabled(stFog);
    states.Disable(stDepthTest);
    states.Disable(stLighting);
    states.Disable(stFog);
    glDepthMask(GL_FALSE);

    // Depth test, depth writes, lighting, fog and the buffer's model-view
    // stack come back as they were even when a face's material fails.
    const TScopeExit restoreDepthTest(
        [&states, depthTest]
        {
            if (depthTest)
                states.Enable(stDepthTest);
        });
    const TScopeFailure restoreStates(
        [&states, lighting, fog]
        {
            glDepthMask(GL_TRUE);
            if (lighting)
                states.Enable(stLighting);
            if (fog)
                states.Enable(stFog);
        });

    const TGLCamera* const camera = info.Buffer->Camera();
    const float size = (camera->NearPlane() + camera->DepthOfView()) / 2;
    const TMatrix boxMatrix = BoxMatrix(info, size);
    glLoadMatrixf(boxMatrix.Data());
    info.Buffer->PushModelViewMatrix(boxMatrix);
    {
        // Popped here when the drawing fails; a child that popped too much
        // is told on the way out below.
        const TScopeFailure popModelView(
            [&info]
            {
                if (info.Buffer->ModelViewStackDepth() > 0)
                    info.Buffer->PopModelViewMatrix();
            });
        if (renderSelf)
        {
            glPushMatrix();
            const TScopeExit popMatrix([] { glPopMatrix(); });
            ApplyStyle();
            DrawFaces(info);
            DrawClouds(info);
            // The faces cover the whole view. Handed to the renderer now, they
            // are filled on its other threads while the rest of the scene is
            // prepared, instead of after it.
            glFlush();
        }
        glDepthMask(GL_TRUE);
        if (lighting)
            states.Enable(stLighting);
        if (fog)
            states.Enable(stFog);
        if (renderChildren)
        {
            glScalef(1 / size, 1 / size, 1 / size);
            RenderChildren(info);
        }
    }
    info.Buffer->PopModelViewMatrix();
}

void RegisterSkyBoxClasses()
{
    TClassRegistry::RegisterClass<TGLSkyBox>();
}
