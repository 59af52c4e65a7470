#pragma once

#include <GL/gl.h>

#include <array>
#include <bitset>
#include <cstdint>

// The OpenGL capabilities the cache keeps track of, in this order.
enum TGLState
{
    stAlphaTest,
    stAutoNormal,
    stBlend,
    stColorMaterial,
    stCullFace,
    stDepthTest,
    stDither,
    stFog,
    stLighting,
    stLineSmooth,
    stLineStipple,
    stLogicOp,
    stNormalize,
    stPointSmooth,
    stPolygonSmooth,
    stPolygonStipple,
    stScissorTest,
    stStencilTest,
    stTexture1D,
    stTexture2D,
    stTextureCubeMap,
    stTextureRect,
    StateCount
};

GLenum GLCapability(TGLState state);

// The OpenGL calls the cache makes; tests substitute counting ones.
struct TGLStateDriver
{
    void (*Enable)(GLenum);
    void (*Disable)(GLenum);
    void (*Materialfv)(GLenum face, GLenum name, const GLfloat* value);
    void (*Materiali)(GLenum face, GLenum name, GLint value);
    void (*PolygonMode)(GLenum face, GLenum mode);
    void (*BindTexture)(GLenum target, GLuint texture);
    void (*ActiveTexture)(GLenum unit);
    void (*MatrixMode)(GLenum mode);
    void (*LoadMatrixf)(const GLfloat* matrix);
    void (*LoadIdentity)();
    void (*FrontFace)(GLenum mode);

    static const TGLStateDriver& OpenGL();
};

struct TFaceColors
{
    std::array<GLfloat, 4> Emission;
    std::array<GLfloat, 4> Ambient;
    std::array<GLfloat, 4> Diffuse;
    std::array<GLfloat, 4> Specular;
    GLint Shininess;
};

// Remembers the OpenGL state the scene objects set, so that each call that
// would change nothing is skipped.
class TGLStateCache
{
public:
    static constexpr int TextureUnits = 8;

    explicit TGLStateCache(const TGLStateDriver& driver = TGLStateDriver::OpenGL());

    const TGLStateDriver& Driver() const { return FDriver; }

    bool IsEnabled(TGLState state) const { return FStates.test(state); }
    void Enable(TGLState state);
    void Disable(TGLState state);
    void SetEnabled(TGLState state, bool enabled) { enabled ? Enable(state) : Disable(state); }
    // Records and sends a state regardless of the cache, so that the two agree.
    void ForceState(TGLState state, bool enabled);

    // face is GL_FRONT or GL_BACK.
    void SetFaceColors(GLenum face, const TFaceColors& colors);
    // face is GL_FRONT, GL_BACK or GL_FRONT_AND_BACK.
    void SetPolygonMode(GLenum face, GLenum mode);
    void BindTexture(int unit, GLenum target, GLuint texture);
    // Makes `unit` the one later texture calls act on.
    void SetActiveTextureUnit(int unit);
    void SetTextureMatrix(const GLfloat* matrix);
    void ResetTextureMatrix();
    void InvertFrontFace();
    GLenum FrontFace() const { return FFrontFace; }
    // Sends the default material, forgets colours, polygon modes and bindings;
    // the capabilities stay as they are.
    void Reset();
    // Sends OpenGL's default material for both sides and forgets the colours;
    // nothing else changes.
    void ResetMaterial();

private:
    void SendColor(GLenum face, GLenum name, const std::array<GLfloat, 4>& color, std::array<GLfloat, 4>& cached);

    const TGLStateDriver& FDriver;
    std::bitset<StateCount> FStates;
    TFaceColors FFront{};
    TFaceColors FBack{};
    GLenum FFrontPolygonMode = 0;
    GLenum FBackPolygonMode = 0;
    std::array<std::int64_t, TextureUnits> FBoundTextures{};
    int FActiveUnit = 0;
    bool FTextureMatrixIsIdentity = true;
    GLenum FFrontFace = GL_CCW;
};
