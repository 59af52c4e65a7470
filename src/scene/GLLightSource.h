#pragma once

#include "GLColor.h"
#include "SceneObjects.h"

#include <GL/gl.h>

class TGLStateCache;

namespace LightSourceTypes
{
Q_NAMESPACE
enum TLightStyle
{
    lsSpot,
    lsOmni,
    lsParallel,
};
Q_ENUM_NS(TLightStyle)
} // namespace LightSourceTypes
using namespace LightSourceTypes;

// One OpenGL light. It draws nothing itself, only its children; it takes a
// slot of its scene's light table while it belongs to a scene.
class TGLLightSource : public TGLBaseSceneObject
{
    Q_OBJECT
    Q_PROPERTY(bool Shining READ Shining WRITE SetShining)
    Q_PROPERTY(LightSourceTypes::TLightStyle LightStyle READ LightStyle WRITE SetLightStyle)
    Q_PROPERTY(TGLColor* Ambient READ Ambient)
    Q_PROPERTY(TGLColor* Diffuse READ Diffuse)
    Q_PROPERTY(TGLColor* Specular READ Specular)
    Q_PROPERTY(float ConstAttenuation READ ConstAttenuation WRITE SetConstAttenuation)
    Q_PROPERTY(float LinearAttenuation READ LinearAttenuation WRITE SetLinearAttenuation)
    Q_PROPERTY(float QuadraticAttenuation READ QuadraticAttenuation WRITE SetQuadraticAttenuation)
    Q_PROPERTY(TGLCoordinates* SpotDirection READ SpotDirection)
    Q_PROPERTY(float SpotCutOff READ SpotCutOff WRITE SetSpotCutOff)
    Q_PROPERTY(float SpotExponent READ SpotExponent WRITE SetSpotExponent)

public:
    explicit TGLLightSource(QObject* AOwner);
    ~TGLLightSource() override;

    bool Shining() const { return FShining; }
    void SetShining(bool value);
    TLightStyle LightStyle() const { return FLightStyle; }
    void SetLightStyle(TLightStyle value);

    TGLColor* Ambient() const { return FAmbient; }
    TGLColor* Diffuse() const { return FDiffuse; }
    TGLColor* Specular() const { return FSpecular; }
    void SetAmbient(const TColorVector& value) { FAmbient->SetColor(value); }
    void SetDiffuse(const TColorVector& value) { FDiffuse->SetColor(value); }
    void SetSpecular(const TColorVector& value) { FSpecular->SetColor(value); }

    float ConstAttenuation() const { return FConstAttenuation; }
    void SetConstAttenuation(float value);
    float LinearAttenuation() const { return FLinearAttenuation; }
    void SetLinearAttenuation(float value);
    float QuadraticAttenuation() const { return FQuadraticAttenuation; }
    void SetQuadraticAttenuation(float value);

    TGLCoordinates* SpotDirection() const { return FSpotDirection; }
    // Takes x, y, z; W is always 0.
    void SetSpotDirection(const TVector& value);
    float SpotCutOff() const { return FSpotCutOff; }
    // Only [0, 90] or exactly 180 (no cone); anything else is ignored.
    void SetSpotCutOff(float value);
    float SpotExponent() const { return FSpotExponent; }
    void SetSpotExponent(float value);

    // GL_LIGHT0 + the slot of the scene's light table, or 0 without a slot.
    GLenum LightID() const { return FLightID; }

    void CoordinateChanged(TGLCoordinates* sender) override;
    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override;

protected:
    void SetScene(TGLScene* scene) override;

private:
    void SetAndNotify(float& field, float value);
    void LeaveLightTable();

    TGLColor* const FAmbient;
    TGLColor* const FDiffuse;
    TGLColor* const FSpecular;
    TGLCoordinates* const FSpotDirection;
    bool FShining = true;
    TLightStyle FLightStyle = lsSpot;
    float FConstAttenuation = 1;
    float FLinearAttenuation = 0;
    float FQuadraticAttenuation = 0;
    float FSpotCutOff = 180;
    float FSpotExponent = 0;
    GLenum FLightID = 0;
};

// Turns the scene's light table into OpenGL lights at the start of a pass.
// The model-view matrix must hold the camera view; maxLights is
// GL_MAX_LIGHTS. Slots at or beyond the limit, empty slots and lights that do
// not shine are disabled.
void SetupLights(TGLScene& scene, int maxLights, TGLStateCache& states);

// Registers TGLLightSource and TGLDummyCube by name.
void RegisterLightAndDummyClasses();
