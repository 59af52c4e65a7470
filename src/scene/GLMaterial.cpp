#include "GLMaterial.h"

#include "GLMaterialLibrary.h"
#include "SceneObjects.h"
#include "GLStateCache.h"
#include "ScopeGuard.h"

#include <algorithm>

namespace
{
// How many library materials may stand in for one another in a chain.
constexpr int MaxLibMaterialDepth = 16;

const TFaceColors DefaultFaceColors{{0, 0, 0, 1}, {0.2f, 0.2f, 0.2f, 1}, {0.8f, 0.8f, 0.8f, 1}, {0, 0, 0, 1}, 0};
} // namespace

GLenum PolygonModeToGL(TPolygonMode mode)
{
    switch (mode)
    {
    case pmFill:
        return GL_FILL;
    case pmLines:
        return GL_LINE;
    case pmPoints:
        return GL_POINT;
    }
    return GL_FILL;
}

// ---------------------------------------------------------- face properties

TGLFaceProperties::TGLFaceProperties(QObject* owner)
    : QObject(owner), FAmbient(new TGLColor(this, DefaultFaceColors.Ambient)),
      FDiffuse(new TGLColor(this, DefaultFaceColors.Diffuse)),
      FEmission(new TGLColor(this, DefaultFaceColors.Emission)),
      FSpecular(new TGLColor(this, DefaultFaceColors.Specular))
{
    for (TGLColor* color : {FAmbient, FDiffuse, FEmission, FSpecular})
        color->OnNotifyChange = [this] { NotifyChange(); };
}

void TGLFaceProperties::SetShininess(int value)
{
    const int clamped = std::clamp(value, 0, MaxShininess);
    if (clamped == FShininess)
        return;
    FShininess = clamped;
    NotifyChange();
}

void TGLFaceProperties::SetPolygonMode(TPolygonMode value)
{
    if (value == FPolygonMode)
        return;
    FPolygonMode = value;
    NotifyChange();
}

TFaceColors TGLFaceProperties::Colors() const
{
    return {FEmission->Color(), FAmbient->Color(), FDiffuse->Color(), FSpecular->Color(), FShininess};
}

void TGLFaceProperties::Apply(TGLStateCache& states, GLenum face) const
{
    if (states.IsEnabled(stLighting))
        states.SetFaceColors(face, Colors());
    else
        glColor4fv(FDiffuse->Data());
    states.SetPolygonMode(face, PolygonModeToGL(FPolygonMode));
}

void TGLFaceProperties::Assign(const TGLFaceProperties& source)
{
    FAmbient->SetRaw(source.FAmbient->Color());
    FDiffuse->SetRaw(source.FDiffuse->Color());
    FEmission->SetRaw(source.FEmission->Color());
    FSpecular->SetRaw(source.FSpecular->Color());
    FShininess = source.FShininess;
    FPolygonMode = source.FPolygonMode;
    NotifyChange();
}

void TGLFaceProperties::NotifyChange()
{
    if (OnNotifyChange)
        OnNotifyChange();
}

// ------------------------------------------------------------------ material

TGLMaterial::TGLMaterial(QObject* owner) : QObject(owner), FFrontProperties(new TGLFaceProperties(this))
{
    FFrontProperties->OnNotifyChange = [this] { NotifyChange(); };
}

TGLMaterial::~TGLMaterial()
{
    if (FLibMaterial != nullptr)
        FLibMaterial->UnregisterUser(this);
}

TGLFaceProperties* TGLMaterial::BackProperties()
{
    if (FBackProperties == nullptr)
    {
        FBackProperties = new TGLFaceProperties(this);
        FBackProperties->OnNotifyChange = [this] { NotifyChange(); };
    }
    return FBackProperties;
}

TGLTexture* TGLMaterial::Texture()
{
    if (FTexture == nullptr)
    {
        FTexture = new TGLTexture(this);
        FTexture->OnNotifyChange = [this](bool mappingChanged) { NotifyChange(mappingChanged); };
    }
    return FTexture;
}

void TGLMaterial::SetBlendingMode(TBlendingMode value)
{
    if (value == FBlendingMode)
        return;
    FBlendingMode = value;
    NotifyChange();
}

void TGLMaterial::SetMaterialOptions(TMaterialOptions value)
{
    if (value == FMaterialOptions)
        return;
    FMaterialOptions = value;
    NotifyChange();
}

void TGLMaterial::SetFaceCulling(TFaceCulling value)
{
    if (value == FFaceCulling)
        return;
    FFaceCulling = value;
    NotifyChange();
}

TGLMaterialLibrary* TGLMaterial::MaterialLibrary() const
{
    return FMaterialLibrary;
}

void TGLMaterial::SetMaterialLibrary(TGLMaterialLibrary* value)
{
    if (value == FMaterialLibrary)
        return;
    ResolveLibMaterial(value, FLibMaterialName);
    FMaterialLibrary = value;
}

void TGLMaterial::SetLibMaterialName(const QString& value)
{
    ResolveLibMaterial(FMaterialLibrary, value);
    FLibMaterialName = value;
}

void TGLMaterial::Loaded()
{
    ResolveLibMaterial(FMaterialLibrary, FLibMaterialName);
}

// Checks the whole chain before anything changes, so that a refused name
// leaves the material as it was.
void TGLMaterial::ResolveLibMaterial(TGLMaterialLibrary* library, const QString& name)
{
    TGLLibMaterial* const found = library != nullptr ? library->LibMaterialByName(name) : nullptr;
    int depth = 0;
    for (TGLLibMaterial* item = found; item != nullptr; item = item->Material()->LibMaterial())
        if (item->Material() == this || ++depth >= MaxLibMaterialDepth)
            throw EAssertionFailed(QStringLiteral("Error: Cyclic material reference detected!"));
    if (found == FLibMaterial)
        return;
    if (FLibMaterial != nullptr)
        FLibMaterial->UnregisterUser(this);
    FLibMaterial = found;
    if (FLibMaterial != nullptr)
        FLibMaterial->RegisterUser(this);
    NotifyChange(true);
}

void TGLMaterial::LibMaterialDestroyed(TGLLibMaterial* libMaterial)
{
    if (libMaterial != FLibMaterial)
        return;
    FLibMaterial = nullptr;
    FMaterialLibrary = nullptr;
    NotifyChange(true);
}

void TGLMaterial::NotifyChange(bool)
{
    // A texture switched on or off needs the geometry emitted again, which the
    // structure change of a scene object already brings.
    if (auto* sceneObject = qobject_cast<TGLBaseSceneObject*>(parent()))
    {
        sceneObject->MarkStructureChanged();
        sceneObject->NotifyChanged();
    }
    else if (auto* libMaterial = qobject_cast<TGLLibMaterial*>(parent()))
        libMaterial->NotifyUsers();
}

void TGLMaterial::Apply(TRenderContextInfo& info)
{
    if (FLibMaterial != nullptr)
    {
        FLibMaterial->Apply(info);
        return;
    }
    TGLStateCache& states = *info.GLStates;
    if ((FMaterialOptions & moNoLighting) && states.IsEnabled(stLighting))
    {
        states.Disable(stLighting);
        ++info.LightingDisabledCounter;
    }
    FFrontProperties->Apply(states, GL_FRONT);
    ApplyFaceCulling(info);
    if (!info.IgnoreBlendingRequests)
        ApplyBlending(states);
    if ((FMaterialOptions & moIgnoreFog) && states.IsEnabled(stFog))
    {
        states.Disable(stFog);
        ++info.FogDisabledCounter;
    }
    if (FTexture != nullptr)
    {
        // A texture that fails to upload applies nothing; what was applied
        // before it is taken back, so that the counts stay balanced.
        const TScopeFailure takeBack([this, &info] { UnApplyColoursAndCounts(info); });
        FTexture->Apply(info);
    }
}

void TGLMaterial::ApplyFaceCulling(TRenderContextInfo& info) const
{
    TGLStateCache& states = *info.GLStates;
    const bool wantCulling = FFaceCulling == fcCull || (FFaceCulling == fcBufferDefault && info.BufferFaceCull);
    if (states.IsEnabled(stCullFace))
    {
        if (!wantCulling)
        {
            states.Disable(stCullFace);
            ApplyBackFace(states);
        }
    }
    else if (wantCulling)
        states.Enable(stCullFace);
    else
        ApplyBackFace(states);
}

// Without lighting there is only one current colour, which the front face has
// set; the back face then only brings its polygon mode.
void TGLMaterial::ApplyBackFace(TGLStateCache& states) const
{
    if (FBackProperties == nullptr)
    {
        if (states.IsEnabled(stLighting))
            states.SetFaceColors(GL_BACK, DefaultFaceColors);
        states.SetPolygonMode(GL_BACK, GL_FILL);
        return;
    }
    if (states.IsEnabled(stLighting))
        states.SetFaceColors(GL_BACK, FBackProperties->Colors());
    states.SetPolygonMode(GL_BACK, PolygonModeToGL(FBackProperties->PolygonMode()));
}

void TGLMaterial::ApplyBlending(TGLStateCache& states) const
{
    switch (FBlendingMode)
    {
    case bmOpaque:
        states.Disable(stBlend);
        states.Disable(stAlphaTest);
        break;
    case bmTransparency:
        states.Enable(stBlend);
        states.Enable(stAlphaTest);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case bmAdditive:
        states.Enable(stBlend);
        states.Enable(stAlphaTest);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case bmAlphaTest50:
        states.Disable(stBlend);
        states.Enable(stAlphaTest);
        glAlphaFunc(GL_GEQUAL, 0.5f);
        break;
    case bmAlphaTest100:
        states.Disable(stBlend);
        states.Enable(stAlphaTest);
        glAlphaFunc(GL_GEQUAL, 1.0f);
        break;
    case bmModulate:
        states.Enable(stBlend);
        states.Enable(stAlphaTest);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    }
}

bool TGLMaterial::UnApply(TRenderContextInfo& info)
{
    if (FLibMaterial != nullptr)
        return FLibMaterial->UnApply(info);
    UnApplyColoursAndCounts(info);
    if (FTexture != nullptr)
        FTexture->UnApply(info);
    return false;
}

void TGLMaterial::UnApplyColoursAndCounts(TRenderContextInfo& info) const
{
    TGLStateCache& states = *info.GLStates;
    if (FBlendingMode == bmAlphaTest50 || FBlendingMode == bmAlphaTest100)
        glAlphaFunc(GL_GREATER, 0);
    if ((FMaterialOptions & moNoLighting) && info.LightingDisabledCounter > 0)
        if (--info.LightingDisabledCounter == 0)
            states.Enable(stLighting);
    if ((FMaterialOptions & moIgnoreFog) && info.FogDisabledCounter > 0)
        if (--info.FogDisabledCounter == 0)
            states.Enable(stFog);
}

bool TGLMaterial::IsBlended() const
{
    if (FLibMaterial != nullptr)
        return FLibMaterial->Material()->IsBlended();
    return FBlendingMode == bmTransparency || FBlendingMode == bmAdditive || FBlendingMode == bmModulate;
}

void TGLMaterial::Assign(const TGLMaterial& source)
{
    FFrontProperties->Assign(*source.FFrontProperties);
    if (source.FBackProperties != nullptr)
        BackProperties()->Assign(*source.FBackProperties);
    if (source.FTexture != nullptr)
        Texture()->Assign(*source.FTexture);
    else if (FTexture != nullptr)
        FTexture->SetDisabled(true);
    FBlendingMode = source.FBlendingMode;
    FMaterialOptions = source.FMaterialOptions;
    FFaceCulling = source.FFaceCulling;
    ResolveLibMaterial(source.FMaterialLibrary, source.FLibMaterialName);
    FMaterialLibrary = source.FMaterialLibrary;
    FLibMaterialName = source.FLibMaterialName;
    NotifyChange(true);
}

void TGLMaterial::DestroyHandles()
{
    if (FTexture != nullptr)
        FTexture->DestroyHandle();
}
