#include "GLSceneBuffer.h"

#include "GLLightSource.h"
#include "ScopeGuard.h"

#include <QOpenGLContext>
#include <QSurface>

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
// OpenGL keeps several error flags; a frame reads at most this many more.
constexpr int MaxPendingErrors = 6;
constexpr int SelectionEntriesPerHit = 8;

std::int64_t Counter()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr double CounterFrequency = 1e9;

// How long the frame's end is waited for between two looks at other work:
// the lateness of a tick that falls due meanwhile.
constexpr GLuint64 FinishWaitStepNs = 1'000'000;

void (*WorkWhileFinishing)() = nullptr;

void DrainOpenGLErrors()
{
    for (int i = 0; i < MaxPendingErrors && glGetError() != GL_NO_ERROR; ++i)
    {
    }
}

TMatrix ReadMatrix(GLenum which)
{
    TMatrix matrix;
    glGetFloatv(which, matrix.Data());
    return matrix;
}

TVector NormalizedPlane(float a, float b, float c, float d)
{
    const float length = std::sqrt(a * a + b * b + c * c);
    return length > 0 ? TVector{a / length, b / length, c / length, d / length} : TVector{a, b, c, d};
}
} // namespace

class TGLSceneBuffer::TRenderingScope
{
public:
    explicit TRenderingScope(TGLSceneBuffer& buffer) : FBuffer(buffer)
    {
        if (!FBuffer.FContext->makeCurrent(FBuffer.FSurface))
            throw EGLContextError(QStringLiteral("OS Error : the OpenGL context cannot be made current"));
        FBuffer.FRendering = true;
        FBuffer.FRenderContext->DeletePending();
    }
    ~TRenderingScope() { FBuffer.FRendering = false; }
    TRenderingScope(const TRenderingScope&) = delete;
    TRenderingScope& operator=(const TRenderingScope&) = delete;

private:
    TGLSceneBuffer& FBuffer;
};

TGLSceneBuffer::TGLSceneBuffer(QObject* owner) : QObject(owner), FStates(std::make_unique<TGLStateCache>())
{
    setObjectName(QStringLiteral("Buffer"));
    // Objects push rarely and shallowly; the room is made once.
    FModelViewStack.reserve(32);
}

TGLSceneBuffer::~TGLSceneBuffer()
{
    UnregisterFromScene();
    DestroyRenderingContext();
}

// ---------------------------------------------------------------- properties

void TGLSceneBuffer::SetBackgroundColor(TColor value)
{
    if (value == FBackgroundColor)
        return;
    FBackgroundColor = value;
    NotifyChanged();
}

void TGLSceneBuffer::SetAmbientColor(const TVector& value)
{
    if (value == FAmbientColor)
        return;
    FAmbientColor = value;
    NotifyChanged();
}

void TGLSceneBuffer::SetShadeModel(TGLShadeModel value)
{
    if (value == FShadeModel)
        return;
    FShadeModel = value;
    NotifyChanged();
}

void TGLSceneBuffer::SetOption(bool& field, bool value)
{
    if (value == field)
        return;
    field = value;
    NotifyChanged();
}

void TGLSceneBuffer::SetCamera(TGLCamera* value)
{
    if (value == FCamera)
        return;
    UnregisterFromScene();
    FCamera = value;
    if (FCamera != nullptr)
        FCamera->MarkTransformChanged();
    NotifyChanged();
}

void TGLSceneBuffer::Resize(int width, int height, qreal pixelRatio)
{
    const bool ratioChanged = pixelRatio > 0 && pixelRatio != FPixelRatio;
    if (pixelRatio > 0)
        FPixelRatio = pixelRatio;
    FViewWidth = std::max(1, width);
    FViewHeight = std::max(1, height);
    FViewport.Width = std::max(1, static_cast<int>(std::lround(width * FPixelRatio)));
    FViewport.Height = std::max(1, static_cast<int>(std::lround(height * FPixelRatio)));
    if (FContext != nullptr && !FRendering && FContext->makeCurrent(FSurface))
        glViewport(0, 0, FViewport.Width, FViewport.Height);
    if (ratioChanged)
        NotifyChanged();
}

int TGLSceneBuffer::ScaledRenderDPI() const
{
    return static_cast<int>(std::lround(RenderDPI * FPixelRatio));
}

void TGLSceneBuffer::SetStateDriver(const TGLStateDriver& driver)
{
    FStates = std::make_unique<TGLStateCache>(driver);
}

void TGLSceneBuffer::NotifyChanged()
{
    if (OnChange)
        OnChange(this);
}

void TGLSceneBuffer::SceneChanged(QObject*)
{
    NotifyChanged();
}

void TGLSceneBuffer::RegisterWithScene()
{
    TGLScene* const scene = FCamera->Scene();
    if (scene == FScene)
        return;
    UnregisterFromScene();
    FScene = scene;
    FScene->AddBuffer(this);
}

void TGLSceneBuffer::UnregisterFromScene()
{
    if (FScene != nullptr)
        FScene->RemoveBuffer(this);
    FScene = nullptr;
}

// ------------------------------------------------------------------- context

QSurfaceFormat TGLSceneBuffer::RequestedFormat() const
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setSwapBehavior((FContextOptions & roDoubleBuffer) ? QSurfaceFormat::DoubleBuffer
                                                              : QSurfaceFormat::SingleBuffer);
    format.setStereo((FContextOptions & roStereo) != 0);
    const int colorBits = (FContextOptions & roNoColorBuffer) ? 0
                          : FColorDepth == cd8bits            ? 8
                          : FColorDepth == cd16bits           ? 16
                          : FColorDepth == cdFloat64bits      ? 64
                          : FColorDepth == cdFloat128bits     ? 128
                                                              : 24;
    const int perChannel = colorBits >= 24 ? colorBits / 3 : colorBits == 16 ? 5 : colorBits / 3;
    format.setRedBufferSize(perChannel);
    format.setGreenBufferSize(colorBits == 16 ? 6 : perChannel);
    format.setBlueBufferSize(perChannel);
    format.setDepthBufferSize(FDepthPrecision == dp16bits ? 16 : FDepthPrecision == dp32bits ? 32 : 24);
    format.setStencilBufferSize((FContextOptions & roStencilBuffer) ? 8 : 0);
    format.setAlphaBufferSize((FContextOptions & roDestinationAlpha) ? 8 : 0);
    format.setSamples(FAntiAliasing == aa2x || FAntiAliasing == aa2xHQ   ? 2
                      : FAntiAliasing == aa4x || FAntiAliasing == aa4xHQ ? 4
                                                                         : -1);
    return format;
}

void TGLSceneBuffer::CreateRenderingContext(QSurface* surface)
{
    DestroyRenderingContext();
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(RequestedFormat());
    if (!context->create())
        throw EGLContextError(QStringLiteral("Failed to create RenderingContext."));
    if (!context->makeCurrent(surface))
        throw EGLContextError(QStringLiteral("OS Error : the window system refused the OpenGL context"));
    const char* const version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0;
    int minor = 0;
    if (version != nullptr)
        std::sscanf(version, "%d.%d", &major, &minor);
    if (major < 1 || (major == 1 && minor < 1))
        throw EGLContextError(QStringLiteral("Need at least OpenGL version 1.1"));
    FContext = std::move(context);
    FRenderContext = TGLRenderContext::Create(FContext.get());
    FSurface = surface;
    // A new context starts from OpenGL's defaults, which a fresh cache
    // records; the old one describes the context that is gone.
    FStates = std::make_unique<TGLStateCache>(FStates->Driver());
    glGetIntegerv(GL_RED_BITS, &FRedBits);
    glViewport(0, 0, FViewport.Width, FViewport.Height);
    SetupRenderingState();
    ApplyBackgroundColor();
}

void TGLSceneBuffer::DestroyRenderingContext()
{
    if (FContext == nullptr)
        return;
    // Its names die with it: the resources drop them and make new ones in
    // the next context, which has another id.
    FRenderContext.reset();
    FContext.reset();
    FSurface = nullptr;
}

// --------------------------------------------------------------------- frame

void TGLSceneBuffer::SetupRenderingState()
{
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, &FAmbientColor.X);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, (FContextOptions & roTwoSideLighting) ? 1 : 0);
    FStates->ForceState(stNormalize, true);
    FStates->ForceState(stDepthTest, FDepthTest);
    FStates->ForceState(stCullFace, FFaceCulling);
    FStates->ForceState(stLighting, FLighting);
    FStates->ForceState(stFog, FFogEnable);
    // Dithering only helps a framebuffer with few colour levels.
    FStates->ForceState(stDither, FRedBits < 8);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glShadeModel(FShadeModel == smFlat ? GL_FLAT : GL_SMOOTH);
}

void TGLSceneBuffer::ApplyBackgroundColor()
{
    const QColor background = ColorToRGB(FBackgroundColor);
    glClearColor(static_cast<GLfloat>(background.redF()), static_cast<GLfloat>(background.greenF()),
                 static_cast<GLfloat>(background.blueF()), 1);
}

void TGLSceneBuffer::CheckOpenGLError()
{
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR)
        return;
    DrainOpenGLErrors();
    throw EOpenGLError(QString::fromLatin1(reinterpret_cast<const char*>(gluErrorString(error))));
}

void TGLSceneBuffer::Render(TGLBaseSceneObject* baseObject)
{
    if (FRendering || FContext == nullptr)
        return;
    const std::int64_t t0 = Counter();
    if (FCamera != nullptr && FCamera->Scene() != nullptr)
    {
        FCamera->WorldMatrix();
        RegisterWithScene();
    }
    {
        TRenderingScope scope(*this);
        FRenderDPI = ScaledRenderDPI();
        DrainOpenGLErrors();
        SetupRenderingState();
        ApplyBackgroundColor();
        GLbitfield mask = GL_DEPTH_BUFFER_BIT;
        if (!(FContextOptions & (roNoColorBuffer | roNoColorBufferClear)))
            mask |= GL_COLOR_BUFFER_BIT;
        if (FContextOptions & roStencilBuffer)
            mask |= GL_STENCIL_BUFFER_BIT;
        glClear(mask);
        CheckOpenGLError();
        RenderPass(dsRendering, baseObject);
        CheckOpenGLError();
        if (!(FContextOptions & roNoSwapBuffers))
        {
            FinishFrameDoingOtherWork();
            FContext->swapBuffers(FSurface);
        }
        // Not before: a tick run while the frame was finished may have reset
        // the count, and this frame is then the first one counted.
        if (FFrameCount == 0)
            FFirstCounter = t0;
        ++FFrameCount;
        const std::int64_t t1 = Counter();
        FLastFrameTime = static_cast<float>((t1 - t0) / CounterFrequency);
        if (t1 - FFirstCounter > 0)
            FFramesPerSecond = static_cast<float>(FFrameCount * CounterFrequency / double(t1 - FFirstCounter));
        CheckOpenGLError();
    }
    if (AfterRender)
        AfterRender(this);
}

void TGLSceneBuffer::SetWorkWhileFinishing(void (*work)())
{
    WorkWhileFinishing = work;
}

// The swap would block until the renderer has drawn the whole frame; the
// other work waiting meanwhile (a tick) would wait for the frame's end.
void TGLSceneBuffer::FinishFrameDoingOtherWork()
{
    if (WorkWhileFinishing == nullptr)
        return;
    const TGLRenderContext::TFences& fences = FRenderContext->Fences();
    if (!fences.Available())
        return;
    // Hands the frame to the renderer now, before any other work.
    glFlush();
    const GLsync frameDrawn = fences.FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    if (frameDrawn == nullptr)
        return;
    GLenum waited = GL_TIMEOUT_EXPIRED;
    while (waited == GL_TIMEOUT_EXPIRED)
    {
        WorkWhileFinishing();
        // The work may have drawn in another context. Should this one be
        // lost, its fence goes with it.
        if (QOpenGLContext::currentContext() != FContext.get() && !FContext->makeCurrent(FSurface))
            return;
        waited = fences.ClientWaitSync(frameDrawn, GL_SYNC_FLUSH_COMMANDS_BIT, FinishWaitStepNs);
    }
    fences.DeleteSync(frameDrawn);
}

void TGLSceneBuffer::ResetFrameRate()
{
    FFrameCount = 0;
    FFirstCounter = 0;
    FFramesPerSecond = 0;
}

void TGLSceneBuffer::PrepareMatrices(const QRect* pickRect)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (pickRect != nullptr)
    {
        // Window rows grow downwards, OpenGL's upwards.
        GLint viewport[4] = {0, 0, FViewport.Width, FViewport.Height};
        gluPickMatrix(
            (pickRect->left() + pickRect->right()) / 2, FViewport.Height - (pickRect->top() + pickRect->bottom()) / 2,
            std::abs(pickRect->right() - pickRect->left()), std::abs(pickRect->bottom() - pickRect->top()), viewport);
    }
    FBaseProjectionMatrix = ReadMatrix(GL_PROJECTION_MATRIX);
    if (FCamera != nullptr)
    {
        // In the viewer's pixels at the design resolution: the device size
        // is rounded and the scaled resolution a whole number.
        const TGLViewport view{0, 0, FViewWidth, FViewHeight};
        FCamera->ApplyProjection(view, FViewWidth, FViewHeight, RenderDPI);
        FProjectionMatrix = ReadMatrix(GL_PROJECTION_MATRIX);
    }
    else
        FProjectionMatrix = FBaseProjectionMatrix;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (FCamera != nullptr)
    {
        FCamera->ApplyView();
        FCameraPosition = FCamera->WorldPosition();
    }
    FModelViewMatrix = ReadMatrix(GL_MODELVIEW_MATRIX);
}

void TGLSceneBuffer::RenderPass(TDrawState drawState, TGLBaseSceneObject* baseObject)
{
    PrepareMatrices(nullptr);
    glClientActiveTexture(GL_TEXTURE0);
    if (OnPrepareGLContext)
        OnPrepareGLContext(this);
    if (BeforeRender)
        BeforeRender(this);
    if (FCamera != nullptr && FCamera->Scene() != nullptr)
    {
        GLint maxLights = 0;
        glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
        SetupLights(*FCamera->Scene(), maxLights, *FStates);
        FStates->SetEnabled(stFog, FFogEnable);
        RenderScene(drawState, baseObject);
    }
    if (PostRender)
        PostRender(this);
    if (!FModelViewStack.empty())
    {
        FModelViewStack.clear();
        throw EGLRenderingError(QStringLiteral("Unbalance Push/PopModelViewMatrix."));
    }
}

void TGLSceneBuffer::FillRenderContextInfo(TDrawState drawState)
{
    TGLScene* const scene = FCamera->Scene();
    TRenderContextInfo& info = FRenderInfo;
    info = TRenderContextInfo{};
    info.Scene = scene;
    info.Buffer = this;
    info.Context = FRenderContext.get();
    info.CameraPosition = FCameraPosition;
    info.CameraDirection = FCamera->LastDirection();
    info.CameraDirection.W = 0;
    const TVector cameraUp = FCamera->Up()->AsVector();
    const TVector side = VectorCrossProduct(info.CameraDirection, cameraUp);
    info.CameraUp = VectorNormalize(VectorCrossProduct(side, info.CameraDirection));
    info.CameraUp.W = 0;
    // Clip coordinates are p x (model-view x projection): each plane is the
    // fourth column plus or minus one of the others.
    const TMatrix clip = MatrixMultiply(FModelViewMatrix, FProjectionMatrix);
    const auto plane = [&clip](int column, float sign)
    {
        return NormalizedPlane(clip[0][3] + sign * clip[0][column], clip[1][3] + sign * clip[1][column],
                               clip[2][3] + sign * clip[2][column], clip[3][3] + sign * clip[3][column]);
    };
    info.FrustumPlanes = {plane(0, 1), plane(1, -1), plane(0, -1), plane(1, 1), plane(2, 1), plane(2, -1)};
    info.ViewportRadius = FCamera->ViewportRadius();
    info.FarDistance = FCamera->NearPlane() + FCamera->DepthOfView();
    info.ViewportWidth = FViewport.Width;
    info.ViewportHeight = FViewport.Height;
    info.RenderDPI = FRenderDPI;
    info.ModelViewMatrix = &FModelViewMatrix;
    info.GLStates = FStates.get();
    info.DrawState = drawState;
    info.ObjectsSorting = scene->ObjectsSorting();
    info.VisibilityCulling = scene->VisibilityCulling();
    info.BufferFaceCull = FFaceCulling;
    info.SceneAmbientColor = {FAmbientColor.X, FAmbientColor.Y, FAmbientColor.Z, FAmbientColor.W};
    info.IgnoreMaterials = drawState == dsPicking || (FContextOptions & roNoColorBuffer);
    info.ObjectsDirectDraw = false;
    info.Proxy = false;
}

void TGLSceneBuffer::RenderScene(TDrawState drawState, TGLBaseSceneObject* baseObject)
{
    TGLScene* const scene = FCamera->Scene();
    // Matrices an object pushed before it failed are not the next pass's.
    const TScopeFailure dropPushedMatrices([this] { FModelViewStack.clear(); });
    scene->SetLastDrawnObject(nullptr);
    FillRenderContextInfo(drawState);
    FStates->Reset();
    const GLboolean colors = FRenderInfo.IgnoreMaterials ? GL_FALSE : GL_TRUE;
    glColorMask(colors, colors, colors, colors);
    if (InitiateRendering)
        InitiateRendering(this);
    (baseObject != nullptr ? baseObject : scene->Objects())->RenderObject(FRenderInfo);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (WrapUpRendering)
        WrapUpRendering(this);
    FStates->Disable(stBlend);
    FStates->Disable(stTexture2D);
    FStates->Disable(stTextureRect);
    FStates->Enable(stAlphaTest);
    glAlphaFunc(GL_GREATER, 0);
}

void TGLSceneBuffer::PushModelViewMatrix(const TMatrix& matrix)
{
    FModelViewStack.push_back(FModelViewMatrix);
    FModelViewMatrix = matrix;
}

void TGLSceneBuffer::PopModelViewMatrix()
{
    if (FModelViewStack.empty())
        throw EGLRenderingError(QStringLiteral("Unbalanced PopModelViewMatrix"));
    FModelViewMatrix = FModelViewStack.back();
    FModelViewStack.pop_back();
}

// ------------------------------------------------------------------- picking

TGLBaseSceneObject* TGLSceneBuffer::PickObjectAt(int x, int y)
{
    TGLPickList list(psMinDepth);
    PickObjectsInRect(QRect(QPoint(x - 1, y - 1), QPoint(x + 1, y + 1)), list, 64);
    return list.Count() > 0 ? list[0] : nullptr;
}

void TGLSceneBuffer::PickObjectsInRect(const QRect& rect, TGLPickList& list, int expectedCount)
{
    if (FCamera == nullptr)
        return;
    if (FRendering)
        throw EGLRenderingError(QStringLiteral("Already rendering"));
    if (FContext == nullptr || FCamera->Scene() == nullptr)
        return;
    TRenderingScope scope(*this);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    const TScopeExit restoreMatrices(
        [this, savedProjection = FProjectionMatrix, savedModelView = FModelViewMatrix]
        {
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            FProjectionMatrix = savedProjection;
            FModelViewMatrix = savedModelView;
        });
    FRenderDPI = ScaledRenderDPI();
    // The viewport counts device pixels.
    const QRect deviceRect(QPoint(static_cast<int>(std::lround(rect.left() * FPixelRatio)),
                                  static_cast<int>(std::lround(rect.top() * FPixelRatio))),
                           QPoint(static_cast<int>(std::lround(rect.right() * FPixelRatio)),
                                  static_cast<int>(std::lround(rect.bottom() * FPixelRatio))));
    PrepareMatrices(&deviceRect);
    std::vector<GLuint> selection;
    int capacity = std::max(expectedCount, 8);
    int hits = -1;
    // A selection area that overflows reports -1: try again with twice the room.
    while (hits < 0)
    {
        selection.assign(static_cast<size_t>(capacity) * SelectionEntriesPerHit, 0);
        capacity *= 2;
        glSelectBuffer(static_cast<GLsizei>(selection.size()), selection.data());
        glRenderMode(GL_SELECT);
        {
            // A failed pass leaves OpenGL drawing again for the next frame.
            const TScopeFailure backToRendering([] { glRenderMode(GL_RENDER); });
            glInitNames();
            glPushName(0);
            FRenderDPI = ScaledRenderDPI();
            RenderScene(dsPicking, nullptr);
        }
        glFlush();
        hits = glRenderMode(GL_RENDER);
    }
    ReadHits(selection, hits, list);
}

void TGLSceneBuffer::ReadHits(const std::vector<GLuint>& selection, int hits, TGLPickList& list)
{
    constexpr float MaxDepth = 2147483647.0f;
    list.Clear();
    list.Reserve(hits);
    TGLScene* const scene = FCamera->Scene();
    size_t next = 0;
    for (int hit = 0; hit < hits && next + 3 <= selection.size(); ++hit)
    {
        const GLuint nameCount = selection[next];
        const float zMin = static_cast<float>(selection[next + 1] >> 1) / MaxDepth;
        const float zMax = static_cast<float>(selection[next + 2] >> 1) / MaxDepth;
        const size_t names = next + 3;
        next = names + nameCount;
        if (nameCount == 0 || next > selection.size())
            continue;
        // A hit under a name that no longer has an object is nothing to report.
        TGLBaseSceneObject* const object = scene->ObjectForPickName(selection[names]);
        if (object == nullptr)
            continue;
        list.AddHit(object,
                    std::vector<GLuint>(selection.begin() + static_cast<std::ptrdiff_t>(names + 1),
                                        selection.begin() + static_cast<std::ptrdiff_t>(next)),
                    zMin, zMax);
    }
}
