#include "GLStateCache.h"

#include <limits>

namespace
{
constexpr GLenum Capabilities[StateCount] = {
    GL_ALPHA_TEST,     GL_AUTO_NORMAL,     GL_BLEND,          GL_COLOR_MATERIAL,    GL_CULL_FACE,
    GL_DEPTH_TEST,     GL_DITHER,          GL_FOG,            GL_LIGHTING,          GL_LINE_SMOOTH,
    GL_LINE_STIPPLE,   GL_COLOR_LOGIC_OP,  GL_NORMALIZE,      GL_POINT_SMOOTH,      GL_POLYGON_SMOOTH,
    GL_POLYGON_STIPPLE, GL_SCISSOR_TEST,   GL_STENCIL_TEST,   GL_TEXTURE_1D,        GL_TEXTURE_2D,
    GL_TEXTURE_CUBE_MAP, GL_TEXTURE_RECTANGLE_ARB,
};

// A value no colour sent by the program has, so that the next send goes out.
constexpr GLfloat Unset = std::numeric_limits<GLfloat>::quiet_NaN();
constexpr std::array<GLfloat, 4> UnsetColor{Unset, Unset, Unset, Unset};
constexpr GLint UnsetShininess = -1;

TFaceColors UnsetFace()
{
    return {UnsetColor, UnsetColor, UnsetColor, UnsetColor, UnsetShininess};
}

bool SameColor(const std::array<GLfloat, 4>& a, const std::array<GLfloat, 4>& b)
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}
} // namespace

GLenum GLCapability(TGLState state)
{
    return Capabilities[state];
}

const TGLStateDriver& TGLStateDriver::OpenGL()
{
    static const TGLStateDriver driver{
        glEnable,     glDisable,    glMaterialfv, glMateriali,  glPolygonMode, glBindTexture,
        glActiveTexture, glMatrixMode, glLoadMatrixf, glLoadIdentity, glFrontFace,
    };
    return driver;
}

TGLStateCache::TGLStateCache(const TGLStateDriver& driver)
    : FDriver(driver), FFront(UnsetFace()), FBack(UnsetFace())
{
    FBoundTextures.fill(-1);
}

void TGLStateCache::Enable(TGLState state)
{
    if (FStates.test(state))
        return;
    FStates.set(state);
    FDriver.Enable(Capabilities[state]);
}

void TGLStateCache::Disable(TGLState state)
{
    if (!FStates.test(state))
        return;
    FStates.reset(state);
    FDriver.Disable(Capabilities[state]);
}

void TGLStateCache::ForceState(TGLState state, bool enabled)
{
    FStates.set(state, enabled);
    enabled ? FDriver.Enable(Capabilities[state]) : FDriver.Disable(Capabilities[state]);
}

void TGLStateCache::SendColor(GLenum face, GLenum name, const std::array<GLfloat, 4>& color,
                              std::array<GLfloat, 4>& cached)
{
    if (SameColor(color, cached))
        return;
    cached = color;
    FDriver.Materialfv(face, name, color.data());
}

void TGLStateCache::SetFaceColors(GLenum face, const TFaceColors& colors)
{
    TFaceColors& cached = face == GL_BACK ? FBack : FFront;
    SendColor(face, GL_EMISSION, colors.Emission, cached.Emission);
    SendColor(face, GL_AMBIENT, colors.Ambient, cached.Ambient);
    SendColor(face, GL_DIFFUSE, colors.Diffuse, cached.Diffuse);
    SendColor(face, GL_SPECULAR, colors.Specular, cached.Specular);
    if (colors.Shininess != cached.Shininess)
    {
        cached.Shininess = colors.Shininess;
        FDriver.Materiali(face, GL_SHININESS, colors.Shininess);
    }
}

void TGLStateCache::SetPolygonMode(GLenum face, GLenum mode)
{
    const bool frontSame = face == GL_BACK || FFrontPolygonMode == mode;
    const bool backSame = face == GL_FRONT || FBackPolygonMode == mode;
    if (frontSame && backSame)
        return;
    if (face != GL_BACK)
        FFrontPolygonMode = mode;
    if (face != GL_FRONT)
        FBackPolygonMode = mode;
    FDriver.PolygonMode(face, mode);
}

void TGLStateCache::BindTexture(int unit, GLenum target, GLuint texture)
{
    if (unit < 0 || unit >= TextureUnits || FBoundTextures[static_cast<size_t>(unit)] == texture)
        return;
    if (unit != FActiveUnit)
    {
        FDriver.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        FActiveUnit = unit;
    }
    FBoundTextures[static_cast<size_t>(unit)] = texture;
    FDriver.BindTexture(target, texture);
}

void TGLStateCache::SetTextureMatrix(const GLfloat* matrix)
{
    FDriver.MatrixMode(GL_TEXTURE);
    FDriver.LoadMatrixf(matrix);
    FDriver.MatrixMode(GL_MODELVIEW);
    FTextureMatrixIsIdentity = false;
}

void TGLStateCache::ResetTextureMatrix()
{
    if (FTextureMatrixIsIdentity)
        return;
    FDriver.MatrixMode(GL_TEXTURE);
    FDriver.LoadIdentity();
    FDriver.MatrixMode(GL_MODELVIEW);
    FTextureMatrixIsIdentity = true;
}

void TGLStateCache::InvertFrontFace()
{
    FFrontFace = FFrontFace == GL_CCW ? GL_CW : GL_CCW;
    FDriver.FrontFace(FFrontFace);
}

void TGLStateCache::SetActiveTextureUnit(int unit)
{
    if (unit < 0 || unit >= TextureUnits || unit == FActiveUnit)
        return;
    FDriver.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    FActiveUnit = unit;
}

void TGLStateCache::ResetMaterial()
{
    const TFaceColors openGLDefault{{0, 0, 0, 1}, {0.2f, 0.2f, 0.2f, 1}, {0.8f, 0.8f, 0.8f, 1}, {0, 0, 0, 1}, 0};
    for (const GLenum face : {GL_FRONT, GL_BACK})
    {
        FDriver.Materialfv(face, GL_EMISSION, openGLDefault.Emission.data());
        FDriver.Materialfv(face, GL_AMBIENT, openGLDefault.Ambient.data());
        FDriver.Materialfv(face, GL_DIFFUSE, openGLDefault.Diffuse.data());
        FDriver.Materialfv(face, GL_SPECULAR, openGLDefault.Specular.data());
        FDriver.Materiali(face, GL_SHININESS, 0);
    }
    FFront = UnsetFace();
    FBack = UnsetFace();
}

void TGLStateCache::Reset()
{
    ResetMaterial();
    FFrontPolygonMode = 0;
    FBackPolygonMode = 0;
    FBoundTextures.fill(-1);
    if (FFrontFace != GL_CCW)
    {
        FFrontFace = GL_CCW;
        FDriver.FrontFace(GL_CCW);
    }
}
