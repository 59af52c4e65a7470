#include "GLTexture.h"

#include "GLSceneBuffer.h"
#include "GLStateCache.h"
#include "RenderContextInfo.h"

#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace
{
bool HasExtension(const char* name)
{
    const QOpenGLContext* const context = QOpenGLContext::currentContext();
    return context != nullptr && context->hasExtension(QByteArray(name));
}

bool VersionAtLeast(int major, int minor)
{
    const QOpenGLContext* const context = QOpenGLContext::currentContext();
    if (context == nullptr)
        return false;
    const QPair<int, int> version = context->format().version();
    return version.first > major || (version.first == major && version.second >= minor);
}

void DrainGLErrors()
{
    // A lost context keeps reporting; the bound keeps this from spinning.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i)
    {
    }
}

std::uint8_t ToByte(float value)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// `source` in Format_RGBA8888; rows are copied bottom row first.
TRGBAImage RowsBottomUp(const QImage& source, bool keepAlpha)
{
    TRGBAImage result;
    result.Width = source.width();
    result.Height = source.height();
    result.Data.resize(static_cast<size_t>(result.Width) * result.Height * 4);
    const size_t rowBytes = static_cast<size_t>(result.Width) * 4;
    for (int y = 0; y < result.Height; ++y)
    {
        const std::uint8_t* const from = source.constScanLine(result.Height - 1 - y);
        std::uint8_t* const to = result.Pixel(0, y);
        std::copy(from, from + rowBytes, to);
        if (!keepAlpha)
            for (size_t x = 3; x < rowBytes; x += 4)
                to[x] = 255;
    }
    return result;
}

void ScaleColours(TRGBAImage& image, float brightness, float gamma)
{
    std::uint8_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = ToByte(255 * std::pow(std::min(1.0f, i * brightness / 255), 1 / gamma));
    for (size_t i = 0; i < image.Data.size(); i += 4)
        for (size_t c = 0; c < 3; ++c)
            image.Data[i + c] = table[image.Data[i + c]];
}
} // namespace

// ------------------------------------------------------------------ helpers

TRGBAImage PictureToRGBA(const QImage& picture)
{
    if (picture.isNull() || picture.width() == 0 || picture.height() == 0)
        return {};
    QImage source = picture.convertToFormat(QImage::Format_RGBA8888);
    if (picture.width() % 4 != 0)
        source = source.scaled((picture.width() / 4) * 4 + 4, picture.height(), Qt::IgnoreAspectRatio,
                               Qt::FastTransformation);
    return RowsBottomUp(source, picture.hasAlphaChannel());
}

TRGBAImage PictureRowsToRGBA(const QImage& picture)
{
    if (picture.isNull() || picture.width() == 0 || picture.height() == 0)
        return {};
    return RowsBottomUp(picture.convertToFormat(QImage::Format_RGBA8888), picture.hasAlphaChannel());
}

void GenerateAlpha(TRGBAImage& image, TGLTextureImageAlpha mode)
{
    if (mode == tiaDefault || image.Empty())
        return;
    // Rows are bottom-up, so the picture's top-left pixel starts the last row.
    const std::uint8_t* const topLeft = image.Pixel(0, image.Height - 1);
    const std::uint8_t key[3] = {topLeft[0], topLeft[1], topLeft[2]};
    for (size_t i = 0; i < image.Data.size(); i += 4)
    {
        std::uint8_t* const p = &image.Data[i];
        const float luminance = (p[0] + p[1] + p[2]) / 3.0f;
        switch (mode)
        {
        case tiaAlphaFromIntensity:
            p[3] = ToByte(luminance);
            break;
        case tiaSuperBlackTransparent:
            p[3] = (p[0] | p[1] | p[2]) == 0 ? 0 : 255;
            break;
        case tiaLuminance:
            p[0] = p[1] = p[2] = p[3] = ToByte(luminance);
            break;
        case tiaLuminanceSqrt:
            p[0] = p[1] = p[2] = p[3] = ToByte(std::sqrt(luminance / 255) * 255);
            break;
        case tiaOpaque:
            p[3] = 255;
            break;
        case tiaTopLeftPointColorTransparent:
            p[3] = p[0] == key[0] && p[1] == key[1] && p[2] == key[2] ? 0 : 255;
            break;
        case tiaInverseLuminance:
            p[0] = p[1] = p[2] = p[3] = ToByte(255 - luminance);
            break;
        case tiaInverseLuminanceSqrt:
            p[0] = p[1] = p[2] = p[3] = ToByte(255 - std::sqrt(luminance / 255) * 255);
            break;
        case tiaDefault:
            break;
        }
    }
}

int NextPowerOfTwo(int value)
{
    int result = 1;
    while (result < value && result < (1 << 30))
        result <<= 1;
    return result;
}

QSize TextureSizeFor(int width, int height, int maxSize)
{
    return {std::min(NextPowerOfTwo(width), maxSize), std::min(NextPowerOfTwo(height), maxSize)};
}

int MaxTextureSize()
{
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

QSize UploadRGBAImage(const TRGBAImage& image, GLint internalFormat, bool withMipmaps, int maxSize,
                      TImageScaler scale)
{
    const QSize size = TextureSizeFor(image.Width, image.Height, maxSize);
    const std::uint8_t* pixels = image.Data.data();
    std::vector<std::uint8_t> scaled;
    if (size.width() != image.Width || size.height() != image.Height)
    {
        scaled.resize(static_cast<size_t>(size.width()) * size.height() * 4);
        const GLint result = scale(GL_RGBA, image.Width, image.Height, GL_UNSIGNED_BYTE, pixels, size.width(),
                                   size.height(), GL_UNSIGNED_BYTE, scaled.data());
        // The buffer is still all zeros then: uploading it would show a black
        // texture as if nothing had gone wrong.
        if (result != 0)
            throw EOpenGLError(QStringLiteral("A %1 x %2 picture cannot be rescaled to %3 x %4: %5")
                                   .arg(image.Width)
                                   .arg(image.Height)
                                   .arg(size.width())
                                   .arg(size.height())
                                   .arg(QString::fromLatin1(reinterpret_cast<const char*>(
                                       gluErrorString(static_cast<GLenum>(result))))));
        pixels = scaled.data();
    }
    if (!withMipmaps)
        glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels);
    else if (VersionAtLeast(1, 4) || HasExtension("GL_SGIS_generate_mipmap"))
    {
        // The renderer draws the smaller levels into the texture. A software
        // renderer doing so while earlier drawing is still in flight keeps the
        // texture listed as a drawing target long after, and then makes every
        // later use of it wait until all drawing is done: let it finish first.
        glFinish();
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels);
    }
    else
        gluBuild2DMipmaps(GL_TEXTURE_2D, internalFormat, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                          pixels);
    return size;
}

void PrepareImageUnpacking()
{
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

bool IsMipmapFilter(TGLMinFilter filter)
{
    return filter != miNearest && filter != miLinear;
}

void StopMipmapGeneration()
{
    if (VersionAtLeast(1, 4) || HasExtension("GL_SGIS_generate_mipmap"))
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
}

GLenum TextureModeToGL(TGLTextureMode mode)
{
    switch (mode)
    {
    case tmDecal:
        return GL_DECAL;
    case tmModulate:
        return GL_MODULATE;
    case tmBlend:
        return GL_BLEND;
    case tmReplace:
        return GL_REPLACE;
    }
    return GL_DECAL;
}

GLenum MagFilterToGL(TGLMagFilter filter)
{
    return filter == maNearest ? GL_NEAREST : GL_LINEAR;
}

GLenum MinFilterToGL(TGLMinFilter filter)
{
    switch (filter)
    {
    case miNearest:
        return GL_NEAREST;
    case miLinear:
        return GL_LINEAR;
    case miNearestMipmapNearest:
        return GL_NEAREST_MIPMAP_NEAREST;
    case miLinearMipmapNearest:
        return GL_LINEAR_MIPMAP_NEAREST;
    case miNearestMipmapLinear:
        return GL_NEAREST_MIPMAP_LINEAR;
    case miLinearMipmapLinear:
        return GL_LINEAR_MIPMAP_LINEAR;
    }
    return GL_LINEAR_MIPMAP_LINEAR;
}

GLint InternalFormatToGL(TGLTextureFormat format)
{
    switch (format)
    {
    case tfDefault:
    case tfRGBA:
        return GL_RGBA8;
    case tfRGB:
        return GL_RGB8;
    case tfRGB16:
        return GL_RGB5;
    case tfRGBA16:
        return GL_RGBA4;
    case tfAlpha:
        return GL_ALPHA8;
    case tfLuminance:
        return GL_LUMINANCE8;
    case tfLuminanceAlpha:
        return GL_LUMINANCE8_ALPHA8;
    case tfIntensity:
        return GL_INTENSITY8;
    case tfNormalMap:
        return GL_RGB8;
    case tfRGBAFloat16:
        return GL_RGBA16F;
    case tfRGBAFloat32:
        return GL_RGBA32F;
    }
    return GL_RGBA8;
}

// ------------------------------------------------------------------ texture

TGLTexture::TGLTexture(QObject* owner)
    : QObject(owner), FImage(new TGLPersistentImage(this)), FEnvColor(new TGLColor(this, {0, 0, 0, 1}))
{
    FImage->OnNotifyChange = [this] { NotifyChange(tcImage); };
    FEnvColor->OnNotifyChange = [this] { NotifyChange(0); };
}

TGLTexture::~TGLTexture()
{
    DestroyHandle();
}

void TGLTexture::NotifyChange(unsigned changes, bool mappingChanged)
{
    FChanges |= changes;
    if (changes != 0)
        ++FRevision;
    if (OnNotifyChange)
        OnNotifyChange(mappingChanged);
}

template <class T> void TGLTexture::SetParameter(T& field, T value, unsigned changes)
{
    if (field == value)
        return;
    field = value;
    NotifyChange(changes);
}

void TGLTexture::SetImageClassName(const QString& value)
{
    if (value != ImageClassName())
        throw EInvalidOperation(QStringLiteral("Unknown texture image class \"%1\"").arg(value));
}

void TGLTexture::SetDisabled(bool value)
{
    if (value == FDisabled)
        return;
    FDisabled = value;
    NotifyChange(0, true);
}

void TGLTexture::SetTextureMode(TGLTextureMode value)
{
    SetParameter(FTextureMode, value, tcParams);
}

void TGLTexture::SetMagFilter(TGLMagFilter value)
{
    SetParameter(FMagFilter, value, tcParams);
}

void TGLTexture::SetMinFilter(TGLMinFilter value)
{
    SetParameter(FMinFilter, value, tcParams);
}

void TGLTexture::SetTextureWrap(TGLTextureWrap value)
{
    SetParameter(FTextureWrap, value, tcParams);
}

void TGLTexture::SetTextureFormat(TGLTextureFormat value)
{
    SetParameter(FTextureFormat, value, tcParams);
}

void TGLTexture::SetCompression(TGLTextureCompression value)
{
    SetParameter(FCompression, value, tcParams);
}

void TGLTexture::SetImageAlpha(TGLTextureImageAlpha value)
{
    SetParameter(FImageAlpha, value, tcImage);
}

void TGLTexture::SetImageBrightness(float value)
{
    SetParameter(FImageBrightness, value, tcImage);
}

void TGLTexture::SetImageGamma(float value)
{
    // A gamma of zero or below has no meaning and would divide by zero.
    if (value > 0)
        SetParameter(FImageGamma, value, tcImage);
}

void TGLTexture::SetFilteringQuality(TGLTextureFilteringQuality value)
{
    SetParameter(FFilteringQuality, value, tcParams);
}

void TGLTexture::SetMappingMode(TGLTextureMappingMode value)
{
    SetParameter(FMappingMode, value, 0u);
}

void TGLTexture::SetNormalMapScale(float value)
{
    SetParameter(FNormalMapScale, value, tcImage);
}

void TGLTexture::SetSizeLimit(int value)
{
    SetParameter(FSizeLimit, std::max(0, value), tcImage);
}

void TGLTexture::Assign(const TGLTexture& source)
{
    FImage->Assign(*source.FImage);
    FEnvColor->SetRaw(source.FEnvColor->Color());
    FTextureMode = source.FTextureMode;
    FMagFilter = source.FMagFilter;
    FMinFilter = source.FMinFilter;
    FTextureWrap = source.FTextureWrap;
    FTextureFormat = source.FTextureFormat;
    FCompression = source.FCompression;
    FImageAlpha = source.FImageAlpha;
    FImageBrightness = source.FImageBrightness;
    FImageGamma = source.FImageGamma;
    FFilteringQuality = source.FFilteringQuality;
    FMappingMode = source.FMappingMode;
    FNormalMapScale = source.FNormalMapScale;
    const bool mappingChanged = FDisabled != source.FDisabled;
    FDisabled = source.FDisabled;
    NotifyChange(tcImage | tcParams, mappingChanged);
}

void TGLTexture::Apply(TRenderContextInfo& info)
{
    TGLStateCache& states = *info.GLStates;
    if (FDisabled)
    {
        states.Disable(stTexture2D);
        states.Disable(stTextureRect);
        return;
    }
    if (info.Context == nullptr)
        throw EInvalidOperation(QStringLiteral("A texture is drawn only in a rendering context"));
    const GLuint handle = Handle(*info.Context, states);
    states.Enable(stTexture2D);
    states.BindTexture(0, GL_TEXTURE_2D, handle);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLint>(TextureModeToGL(FTextureMode)));
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, FEnvColor->Data());
    GLint generation = 0;
    switch (FMappingMode)
    {
    case tmmObjectLinear:
        generation = GL_OBJECT_LINEAR;
        break;
    case tmmEyeLinear:
        generation = GL_EYE_LINEAR;
        break;
    case tmmSphere:
        generation = GL_SPHERE_MAP;
        break;
    default:
        break;
    }
    if (generation != 0)
    {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, generation);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, generation);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    }
}

void TGLTexture::UnApply(TRenderContextInfo& info)
{
    if (FDisabled)
        return;
    info.GLStates->Disable(stTexture2D);
    if (FMappingMode != tmmUser)
    {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }
}

GLuint TGLTexture::Handle(TGLRenderContext& context, TGLStateCache& states)
{
    TGLContextNames::TEntry& entry = FNames.Acquire(context);
    if (entry.Revision == FRevision)
        return entry.Name;
    states.BindTexture(0, GL_TEXTURE_2D, entry.Name);
    // A new name may equal one deleted behind the cache's back, in which case
    // the cache believes it bound and skips the call.
    glBindTexture(GL_TEXTURE_2D, entry.Name);
    const unsigned revision = FRevision;
    PrepareParameters();
    Upload();
    // Only a complete upload counts: after a failure the next use tries again.
    entry.Revision = revision;
    FChanges = 0;
    return entry.Name;
}

void TGLTexture::DestroyHandle()
{
    FNames.ReleaseAll();
    FChanges = tcImage | tcParams;
    FTextureMemorySize = -1;
    FUploadedSize = QSize();
}

GLenum TGLTexture::ClampMode() const
{
    return VersionAtLeast(1, 2) || HasExtension("GL_EXT_texture_edge_clamp") ? GL_CLAMP_TO_EDGE : GL_CLAMP;
}

void TGLTexture::PrepareParameters()
{
    PrepareImageUnpacking();
    const bool floating = FTextureFormat == tfRGBAFloat16 || FTextureFormat == tfRGBAFloat32;
    const GLint clamp = static_cast<GLint>(ClampMode());
    const bool clampS = floating || FTextureWrap == twNone || FTextureWrap == twVertical;
    const bool clampT = floating || FTextureWrap == twNone || FTextureWrap == twHorizontal;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, clampS ? (floating ? GL_CLAMP_TO_EDGE : clamp) : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, clampT ? (floating ? GL_CLAMP_TO_EDGE : clamp) : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    floating ? GL_NEAREST : static_cast<GLint>(MinFilterToGL(FMinFilter)));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                    floating ? GL_NEAREST : static_cast<GLint>(MagFilterToGL(FMagFilter)));
    if (HasExtension("GL_EXT_texture_filter_anisotropic"))
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, FFilteringQuality == tfAnisotropic ? 2.0f : 1.0f);
    if (!IsMipmapFilter(FMinFilter))
        StopMipmapGeneration();
}

GLint TGLTexture::ResolvedInternalFormat() const
{
    // Compression is left out: every texture of the game is stored uncompressed.
    return InternalFormatToGL(FTextureFormat);
}

void TGLTexture::ProcessImage(TRGBAImage& image) const
{
    GenerateAlpha(image, FImageAlpha);
    if (FImageBrightness != 1 || FImageGamma != 1)
        ScaleColours(image, FImageBrightness, FImageGamma);
}

void TGLTexture::Upload()
{
    FTextureMemorySize = -1;
    FUploadedSize = QSize();
    // Built for this upload only and freed when it returns.
    TRGBAImage image = PictureToRGBA(FImage->Picture());
    if (image.Empty())
        return;
    ProcessImage(image);
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR)
    {
        DrainGLErrors();
        throw EOpenGLError(QString::fromLatin1(reinterpret_cast<const char*>(gluErrorString(error))));
    }
    const int glMaximum = MaxTextureSize();
    const int maxSize = FSizeLimit > 0 ? std::min(FSizeLimit, glMaximum) : glMaximum;
    const bool withMipmaps = IsMipmapFilter(FMinFilter);
    FUploadedSize = UploadRGBAImage(image, ResolvedInternalFormat(), withMipmaps, maxSize);
    GLint memory = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &memory);
    FTextureMemorySize = glGetError() == GL_NO_ERROR ? memory : -1;
    DrainGLErrors();
}
