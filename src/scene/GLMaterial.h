#pragma once

#include "Exceptions.h"
#include "GLColor.h"
#include "GLTexture.h"
#include "RenderContextInfo.h"

#include <GL/gl.h>

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class TGLMaterialLibrary;
class TGLLibMaterial;
class TGLStateCache;
struct TFaceColors;

namespace MaterialTypes
{
Q_NAMESPACE

enum TPolygonMode
{
    pmFill,
    pmLines,
    pmPoints,
};
Q_ENUM_NS(TPolygonMode)

enum TBlendingMode
{
    bmOpaque,
    bmTransparency,
    bmAdditive,
    bmAlphaTest50,
    bmAlphaTest100,
    bmModulate,
};
Q_ENUM_NS(TBlendingMode)

enum TMaterialOption
{
    moIgnoreFog = 1 << 0,
    moNoLighting = 1 << 1,
};
Q_DECLARE_FLAGS(TMaterialOptions, TMaterialOption)
Q_FLAG_NS(TMaterialOptions)

enum TFaceCulling
{
    fcBufferDefault,
    fcCull,
    fcNoCull,
};
Q_ENUM_NS(TFaceCulling)
} // namespace MaterialTypes
using namespace MaterialTypes;
Q_DECLARE_OPERATORS_FOR_FLAGS(MaterialTypes::TMaterialOptions)

// The lighting colours and polygon mode of one side of the faces.
class TGLFaceProperties : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TGLColor* Ambient READ Ambient)
    Q_PROPERTY(TGLColor* Diffuse READ Diffuse)
    Q_PROPERTY(TGLColor* Emission READ Emission)
    Q_PROPERTY(TGLColor* Specular READ Specular)
    Q_PROPERTY(int Shininess READ Shininess WRITE SetShininess)
    Q_PROPERTY(MaterialTypes::TPolygonMode PolygonMode READ PolygonMode WRITE SetPolygonMode)

public:
    static constexpr int MaxShininess = 128;

    explicit TGLFaceProperties(QObject* owner);

    TGLColor* Ambient() const { return FAmbient; }
    TGLColor* Diffuse() const { return FDiffuse; }
    TGLColor* Emission() const { return FEmission; }
    TGLColor* Specular() const { return FSpecular; }
    int Shininess() const { return FShininess; }
    // Kept within 0 to 128, the range OpenGL accepts.
    void SetShininess(int value);
    TPolygonMode PolygonMode() const { return FPolygonMode; }
    void SetPolygonMode(TPolygonMode value);

    TFaceColors Colors() const;
    // Sends the colours for `face` (GL_FRONT or GL_BACK) when lighting is on,
    // else the diffuse colour as the current colour, then the polygon mode.
    void Apply(TGLStateCache& states, GLenum face) const;
    void Assign(const TGLFaceProperties& source);

    std::function<void()> OnNotifyChange;

private:
    void NotifyChange();

    TGLColor* const FAmbient;
    TGLColor* const FDiffuse;
    TGLColor* const FEmission;
    TGLColor* const FSpecular;
    int FShininess = 0;
    TPolygonMode FPolygonMode = pmFill;
};

GLenum PolygonModeToGL(TPolygonMode mode);

// How a scene object or a library material looks: lighting colours, blending,
// culling and texture, or a library material by name that stands in for all
// of them. Its owner (its Qt parent) is told of every change.
class TGLMaterial : public QObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("GLMaterialLibrary.h")
    Q_PROPERTY(TGLFaceProperties* FrontProperties READ FrontProperties)
    Q_PROPERTY(TGLFaceProperties* BackProperties READ BackProperties)
    Q_PROPERTY(TGLTexture* Texture READ Texture)
    Q_PROPERTY(MaterialTypes::TBlendingMode BlendingMode READ BlendingMode WRITE SetBlendingMode)
    Q_PROPERTY(MaterialTypes::TMaterialOptions MaterialOptions READ MaterialOptions WRITE SetMaterialOptions)
    Q_PROPERTY(MaterialTypes::TFaceCulling FaceCulling READ FaceCulling WRITE SetFaceCulling)
    Q_PROPERTY(TGLMaterialLibrary* MaterialLibrary READ MaterialLibrary WRITE SetMaterialLibrary)
    Q_PROPERTY(QString LibMaterialName READ LibMaterialName WRITE SetLibMaterialName)

public:
    explicit TGLMaterial(QObject* owner);
    ~TGLMaterial() override;

    TGLFaceProperties* FrontProperties() const { return FFrontProperties; }
    // Made on first access.
    TGLFaceProperties* BackProperties();
    bool HasBackProperties() const { return FBackProperties != nullptr; }
    // Made on first access.
    TGLTexture* Texture();
    bool HasTexture() const { return FTexture != nullptr; }
    bool TextureEnabled() const { return FTexture != nullptr && FTexture->Enabled(); }
    TBlendingMode BlendingMode() const { return FBlendingMode; }
    void SetBlendingMode(TBlendingMode value);
    TMaterialOptions MaterialOptions() const { return FMaterialOptions; }
    void SetMaterialOptions(TMaterialOptions value);
    TFaceCulling FaceCulling() const { return FFaceCulling; }
    void SetFaceCulling(TFaceCulling value);

    TGLMaterialLibrary* MaterialLibrary() const;
    void SetMaterialLibrary(TGLMaterialLibrary* value);
    QString LibMaterialName() const { return FLibMaterialName; }
    // Throws EAssertionFailed when the named material leads back here or
    // nests 16 deep.
    void SetLibMaterialName(const QString& value);
    // The library material that stands in for this one, if any.
    TGLLibMaterial* LibMaterial() const { return FLibMaterial; }

    void Apply(TRenderContextInfo& info);
    // Returns whether the geometry must be drawn once more (never here).
    bool UnApply(TRenderContextInfo& info);
    bool IsBlended() const;
    void Assign(const TGLMaterial& source);
    void DestroyHandles();
    // Looks the library material up again, once the layout has given both the
    // library and the name.
    void Loaded();

    // Tells the owner: a scene object repaints, a library material tells its
    // users.
    void NotifyChange(bool mappingChanged = false);
    // Called by a library material that is going away.
    void LibMaterialDestroyed(TGLLibMaterial* libMaterial);

private:
    void ResolveLibMaterial(TGLMaterialLibrary* library, const QString& name);
    void ApplyFaceCulling(TRenderContextInfo& info) const;
    void ApplyBackFace(TGLStateCache& states) const;
    // Un-applies all but the texture.
    void UnApplyColoursAndCounts(TRenderContextInfo& info) const;
    void ApplyBlending(TGLStateCache& states) const;

    TGLFaceProperties* const FFrontProperties;
    TGLFaceProperties* FBackProperties = nullptr;
    TGLTexture* FTexture = nullptr;
    TBlendingMode FBlendingMode = bmOpaque;
    TMaterialOptions FMaterialOptions;
    TFaceCulling FFaceCulling = fcBufferDefault;
    QPointer<TGLMaterialLibrary> FMaterialLibrary;
    QString FLibMaterialName;
    TGLLibMaterial* FLibMaterial = nullptr;
};
