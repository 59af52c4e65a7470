#include "GLLightSource.h"

#include "ClassRegistry.h"
#include "GLDummyCube.h"
#include "GLStateCache.h"

#include <algorithm>

TGLLightSource::TGLLightSource(QObject* AOwner)
    : TGLBaseSceneObject(AOwner), FAmbient(new TGLColor(this, {0, 0, 0, 1})),
      FDiffuse(new TGLColor(this, {1, 1, 1, 1})), FSpecular(new TGLColor(this, {0, 0, 0, 1})),
      FSpotDirection(new TGLCoordinates(this, {0, 0, -1, 0}, csVector))
{
}

TGLLightSource::~TGLLightSource()
{
    // The base destructor leaves the scene without reaching this override.
    LeaveLightTable();
}

void TGLLightSource::SetShining(bool value)
{
    if (value == FShining)
        return;
    FShining = value;
    NotifyChanged();
}

void TGLLightSource::SetLightStyle(TLightStyle value)
{
    if (value == FLightStyle)
        return;
    FLightStyle = value;
    NotifyChanged();
}

void TGLLightSource::SetAndNotify(float& field, float value)
{
    if (value == field)
        return;
    field = value;
    NotifyChanged();
}

void TGLLightSource::SetConstAttenuation(float value)
{
    SetAndNotify(FConstAttenuation, value);
}

void TGLLightSource::SetLinearAttenuation(float value)
{
    SetAndNotify(FLinearAttenuation, value);
}

void TGLLightSource::SetQuadraticAttenuation(float value)
{
    SetAndNotify(FQuadraticAttenuation, value);
}

void TGLLightSource::SetSpotDirection(const TVector& value)
{
    FSpotDirection->SetVector(value.X, value.Y, value.Z);
}

void TGLLightSource::SetSpotCutOff(float value)
{
    // OpenGL refuses any other cone angle; a NaN fails both tests as well.
    const bool valid = (value >= 0 && value <= 90) || value == 180;
    if (valid)
        SetAndNotify(FSpotCutOff, value);
}

void TGLLightSource::SetSpotExponent(float value)
{
    SetAndNotify(FSpotExponent, value);
}

void TGLLightSource::CoordinateChanged(TGLCoordinates* sender)
{
    if (sender == FSpotDirection)
        MarkTransformChanged();
    else
        TGLBaseSceneObject::CoordinateChanged(sender);
}

void TGLLightSource::DrawObject(TRenderContextInfo& info, bool, bool renderChildren)
{
    if (renderChildren)
        RenderChildren(info);
}

void TGLLightSource::LeaveLightTable()
{
    if (Scene() != nullptr)
        Scene()->RemoveLight(this);
    FLightID = 0;
}

void TGLLightSource::SetScene(TGLScene* scene)
{
    if (scene == Scene())
        return;
    LeaveLightTable();
    TGLBaseSceneObject::SetScene(scene);
    if (scene == nullptr)
        return;
    const int slot = scene->AddLight(this);
    if (slot >= 0)
        FLightID = GL_LIGHT0 + static_cast<GLenum>(slot);
}

// ------------------------------------------------------------- per pass

namespace
{
void SendLight(TGLLightSource& light, GLenum id)
{
    light.RebuildLocalMatrix();
    // A parallel light shines along its spot direction turned with the light
    // itself; the others sit at their position in the parent's space.
    TVector position;
    if (light.LightStyle() == lsParallel)
    {
        glMultMatrixf(light.WorldMatrix().Data());
        position = light.SpotDirection()->AsVector();
        position.W = 0;
    }
    else
    {
        if (light.Parent() != nullptr)
            glMultMatrixf(light.Parent()->WorldMatrix().Data());
        position = light.Position()->AsVector();
    }
    const GLfloat positionData[4] = {position.X, position.Y, position.Z, position.W};
    glLightfv(id, GL_POSITION, positionData);
    glLightfv(id, GL_AMBIENT, light.Ambient()->Data());
    glLightfv(id, GL_DIFFUSE, light.Diffuse()->Data());
    glLightfv(id, GL_SPECULAR, light.Specular()->Data());
    if (light.LightStyle() == lsSpot)
    {
        if (light.SpotCutOff() != 180)
        {
            const TVector direction = light.SpotDirection()->AsVector();
            const GLfloat directionData[3] = {direction.X, direction.Y, direction.Z};
            glLightfv(id, GL_SPOT_DIRECTION, directionData);
            glLightf(id, GL_SPOT_EXPONENT, light.SpotExponent());
        }
        glLightf(id, GL_SPOT_CUTOFF, light.SpotCutOff());
    }
    else
        glLightf(id, GL_SPOT_CUTOFF, 180);
    glLightf(id, GL_CONSTANT_ATTENUATION, light.ConstAttenuation());
    glLightf(id, GL_LINEAR_ATTENUATION, light.LinearAttenuation());
    glLightf(id, GL_QUADRATIC_ATTENUATION, light.QuadraticAttenuation());
}
} // namespace

// Light numbers are not among the capabilities the state cache records, so
// they are switched directly.
void SetupLights(TGLScene& scene, int maxLights, TGLStateCache&)
{
    const int limit = std::max(maxLights, 0);
    const int usable = std::min(TGLScene::LightSlots, limit);
    const auto& lights = scene.Lights();
    glPushMatrix();
    for (int i = 0; i < usable; ++i)
    {
        const GLenum id = GL_LIGHT0 + static_cast<GLenum>(i);
        TGLLightSource* const light = lights[static_cast<size_t>(i)];
        if (light == nullptr || !light->Shining())
        {
            glDisable(id);
            continue;
        }
        glEnable(id);
        // Each light starts again from the camera view.
        glPopMatrix();
        glPushMatrix();
        SendLight(*light, id);
    }
    glPopMatrix();
    // Every OpenGL offers at least the table's eight lights, so its slots
    // beyond a smaller limit can be switched off too: a light left on by an
    // earlier pass must not shine past the limit.
    const int last = std::max(limit, TGLScene::LightSlots);
    for (int i = usable; i < last; ++i)
        glDisable(GL_LIGHT0 + static_cast<GLenum>(i));
}

void RegisterLightAndDummyClasses()
{
    TClassRegistry::RegisterClass<TGLLightSource>();
    TClassRegistry::RegisterClass<TGLDummyCube>();
}
