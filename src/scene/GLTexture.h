#pragma once

#include "GLColor.h"
#include "GLPersistentImage.h"
#include "GLRenderContext.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class TGLStateCache;
struct TRenderContextInfo;

namespace TextureTypes
{
Q_NAMESPACE

enum TGLTextureMode
{
    tmDecal,
    tmModulate,
    tmBlend,
    tmReplace,
};
Q_ENUM_NS(TGLTextureMode)

enum TGLMagFilter
{
    maNearest,
    maLinear,
};
Q_ENUM_NS(TGLMagFilter)

enum TGLMinFilter
{
    miNearest,
    miLinear,
    miNearestMipmapNearest,
    miLinearMipmapNearest,
    miNearestMipmapLinear,
    miLinearMipmapLinear,
};
Q_ENUM_NS(TGLMinFilter)

enum TGLTextureWrap
{
    twBoth,
    twNone,
    twVertical,
    twHorizontal,
};
Q_ENUM_NS(TGLTextureWrap)

enum TGLTextureFormat
{
    tfDefault,
    tfRGB,
    tfRGBA,
    tfRGB16,
    tfRGBA16,
    tfAlpha,
    tfLuminance,
    tfLuminanceAlpha,
    tfIntensity,
    tfNormalMap,
    tfRGBAFloat16,
    tfRGBAFloat32,
};
Q_ENUM_NS(TGLTextureFormat)

enum TGLTextureCompression
{
    tcDefault,
    tcNone,
    tcStandard,
    tcHighQuality,
    tcHighSpeed,
};
Q_ENUM_NS(TGLTextureCompression)

enum TGLTextureImageAlpha
{
    tiaDefault,
    tiaAlphaFromIntensity,
    tiaSuperBlackTransparent,
    tiaLuminance,
    tiaLuminanceSqrt,
    tiaOpaque,
    tiaTopLeftPointColorTransparent,
    tiaInverseLuminance,
    tiaInverseLuminanceSqrt,
};
Q_ENUM_NS(TGLTextureImageAlpha)

enum TGLTextureFilteringQuality
{
    tfIsotropic,
    tfAnisotropic,
};
Q_ENUM_NS(TGLTextureFilteringQuality)

enum TGLTextureMappingMode
{
    tmmUser,
    tmmObjectLinear,
    tmmEyeLinear,
    tmmSphere,
    tmmCubeMapReflection,
    tmmCubeMapNormal,
    tmmCubeMapLight0,
    tmmCubeMapCamera,
};
Q_ENUM_NS(TGLTextureMappingMode)
} // namespace TextureTypes
using namespace TextureTypes;

// 32-bit RGBA pixels, rows bottom-up as OpenGL takes them.
struct TRGBAImage
{
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Data;

    bool Empty() const { return Width == 0 || Height == 0; }
    std::uint8_t* Pixel(int x, int y) { return &Data[(static_cast<size_t>(y) * Width + x) * 4]; }
};

// A picture as RGBA rows, bottom row first. A picture whose width is not a
// multiple of 4 is first stretched to the next multiple of 4. Pictures without
// an alpha channel get alpha 255; pictures with one keep it.
TRGBAImage PictureToRGBA(const QImage& picture);
// A picture as RGBA rows, bottom row first, at its own size; alpha as in
// PictureToRGBA.
TRGBAImage PictureRowsToRGBA(const QImage& picture);
// Replaces the alpha (and, for the luminance modes, the colour) of every pixel
// as the mode says; the reference colour of
// tiaTopLeftPointColorTransparent is the picture's top-left pixel.
void GenerateAlpha(TRGBAImage& image, TGLTextureImageAlpha mode);
// The smallest power of two not below `value` (1 for 0 or less).
int NextPowerOfTwo(int value);
// Powers of two covering the image, each side limited to `maxSize`.
QSize TextureSizeFor(int width, int height, int maxSize);
// GL_MAX_TEXTURE_SIZE of the current context.
int MaxTextureSize();
// Rescales pixels with gluScaleImage's arguments; returns 0 or a GLU error.
using TImageScaler = GLint (*)(GLenum format, GLsizei widthIn, GLsizei heightIn, GLenum typeIn, const void* dataIn,
                               GLsizei widthOut, GLsizei heightOut, GLenum typeOut, void* dataOut);
// Uploads the image to the texture bound to GL_TEXTURE_2D, rescaled to
// TextureSizeFor(.., maxSize) when needed, with a full mipmap chain when
// asked for. Returns the size uploaded. A rescale that fails raises
// EOpenGLError and uploads nothing; tests pass a `scale` that fails.
QSize UploadRGBAImage(const TRGBAImage& image, GLint internalFormat, bool withMipmaps, int maxSize,
                      TImageScaler scale = gluScaleImage);
// The perspective hint and the unpacking layout uploads expect: rows aligned
// to 4 bytes, nothing skipped.
void PrepareImageUnpacking();
// Whether the filter samples a mipmap chain, which must then be built.
bool IsMipmapFilter(TGLMinFilter filter);
// Stops OpenGL rebuilding the chain of the bound texture at every upload, as
// it goes on doing once asked to, whatever the filter.
void StopMipmapGeneration();

// The OpenGL names of the enumerations.
GLenum TextureModeToGL(TGLTextureMode mode);
GLenum MagFilterToGL(TGLMagFilter filter);
GLenum MinFilterToGL(TGLMinFilter filter);
GLint InternalFormatToGL(TGLTextureFormat format);

// A material's texture: its image, how OpenGL samples and combines it, and its
// OpenGL name, made and filled in the current context at first use and again
// after any change of the image or the parameters.
class TGLTexture : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TGLPersistentImage* Image READ Image)
    Q_PROPERTY(QString ImageClassName READ ImageClassName WRITE SetImageClassName)
    Q_PROPERTY(bool Disabled READ Disabled WRITE SetDisabled)
    Q_PROPERTY(TextureTypes::TGLTextureMode TextureMode READ TextureMode WRITE SetTextureMode)
    Q_PROPERTY(TextureTypes::TGLMagFilter MagFilter READ MagFilter WRITE SetMagFilter)
    Q_PROPERTY(TextureTypes::TGLMinFilter MinFilter READ MinFilter WRITE SetMinFilter)
    Q_PROPERTY(TextureTypes::TGLTextureWrap TextureWrap READ TextureWrap WRITE SetTextureWrap)
    Q_PROPERTY(TextureTypes::TGLTextureFormat TextureFormat READ TextureFormat WRITE SetTextureFormat)
    Q_PROPERTY(TextureTypes::TGLTextureCompression Compression READ Compression WRITE SetCompression)
    Q_PROPERTY(TextureTypes::TGLTextureImageAlpha ImageAlpha READ ImageAlpha WRITE SetImageAlpha)
    Q_PROPERTY(float ImageBrightness READ ImageBrightness WRITE SetImageBrightness)
    Q_PROPERTY(float ImageGamma READ ImageGamma WRITE SetImageGamma)
    Q_PROPERTY(
        TextureTypes::TGLTextureFilteringQuality FilteringQuality READ FilteringQuality WRITE SetFilteringQuality)
    Q_PROPERTY(TextureTypes::TGLTextureMappingMode MappingMode READ MappingMode WRITE SetMappingMode)
    Q_PROPERTY(TGLColor* EnvColor READ EnvColor)
    Q_PROPERTY(float NormalMapScale READ NormalMapScale WRITE SetNormalMapScale)

public:
    enum TChange : unsigned
    {
        tcImage = 1u << 0,
        tcParams = 1u << 1,
    };

    explicit TGLTexture(QObject* owner);
    ~TGLTexture() override;

    TGLPersistentImage* Image() const { return FImage; }
    QString ImageClassName() const { return QString::fromLatin1(FImage->metaObject()->className()); }
    // Only the persistent image class exists; naming another is refused.
    void SetImageClassName(const QString& value);
    bool Disabled() const { return FDisabled; }
    void SetDisabled(bool value);
    bool Enabled() const { return !FDisabled; }
    TGLTextureMode TextureMode() const { return FTextureMode; }
    void SetTextureMode(TGLTextureMode value);
    TGLMagFilter MagFilter() const { return FMagFilter; }
    void SetMagFilter(TGLMagFilter value);
    TGLMinFilter MinFilter() const { return FMinFilter; }
    void SetMinFilter(TGLMinFilter value);
    TGLTextureWrap TextureWrap() const { return FTextureWrap; }
    void SetTextureWrap(TGLTextureWrap value);
    TGLTextureFormat TextureFormat() const { return FTextureFormat; }
    void SetTextureFormat(TGLTextureFormat value);
    TGLTextureCompression Compression() const { return FCompression; }
    void SetCompression(TGLTextureCompression value);
    TGLTextureImageAlpha ImageAlpha() const { return FImageAlpha; }
    void SetImageAlpha(TGLTextureImageAlpha value);
    float ImageBrightness() const { return FImageBrightness; }
    void SetImageBrightness(float value);
    float ImageGamma() const { return FImageGamma; }
    void SetImageGamma(float value);
    TGLTextureFilteringQuality FilteringQuality() const { return FFilteringQuality; }
    void SetFilteringQuality(TGLTextureFilteringQuality value);
    TGLTextureMappingMode MappingMode() const { return FMappingMode; }
    void SetMappingMode(TGLTextureMappingMode value);
    TGLColor* EnvColor() const { return FEnvColor; }
    float NormalMapScale() const { return FNormalMapScale; }
    void SetNormalMapScale(float value);

    // Largest side the texture is uploaded at; 0 means OpenGL's maximum.
    int SizeLimit() const { return FSizeLimit; }
    void SetSizeLimit(int value);

    void Apply(TRenderContextInfo& info);
    void UnApply(TRenderContextInfo& info);
    // The OpenGL name in `context`, which is current, made and filled first
    // when needed (an empty image leaves the texture without pixels).
    GLuint Handle(TGLRenderContext& context, TGLStateCache& states);
    // Gives the names back to their contexts, so that the next use uploads
    // again.
    void DestroyHandle();
    // The name in the context current now; 0 when there is none.
    GLuint CurrentHandle() const { return FNames.CurrentName(); }
    unsigned Changes() const { return FChanges; }
    // What OpenGL reported for the texture's memory; -1 when it reported nothing.
    int TextureMemorySize() const { return FTextureMemorySize; }
    QSize UploadedSize() const { return FUploadedSize; }

    void Assign(const TGLTexture& source);
    // Called after every change; `mappingChanged` when the texture was
    // switched on or off, so that geometry is emitted again.
    std::function<void(bool mappingChanged)> OnNotifyChange;

private:
    void NotifyChange(unsigned changes, bool mappingChanged = false);
    template <class T> void SetParameter(T& field, T value, unsigned changes);
    void PrepareParameters();
    void Upload();
    GLint ResolvedInternalFormat() const;
    void ProcessImage(TRGBAImage& image) const;
    GLenum ClampMode() const;

    TGLPersistentImage* const FImage;
    TGLColor* const FEnvColor;
    bool FDisabled = true;
    TGLTextureMode FTextureMode = tmDecal;
    TGLMagFilter FMagFilter = maLinear;
    TGLMinFilter FMinFilter = miLinearMipmapLinear;
    TGLTextureWrap FTextureWrap = twBoth;
    TGLTextureFormat FTextureFormat = tfDefault;
    TGLTextureCompression FCompression = tcDefault;
    TGLTextureImageAlpha FImageAlpha = tiaDefault;
    float FImageBrightness = 1;
    float FImageGamma = 1;
    TGLTextureFilteringQuality FFilteringQuality = tfIsotropic;
    TGLTextureMappingMode FMappingMode = tmmUser;
    float FNormalMapScale = 0.125f;
    int FSizeLimit = 0;

    TGLContextNames FNames{nkTexture};
    unsigned FChanges = tcImage | tcParams;
    // Counts the changes that need an upload, so that each context's name is
    // filled again once after them.
    unsigned FRevision = 1;
    int FTextureMemorySize = -1;
    QSize FUploadedSize;
};
