#pragma once

#include "Events.h"
#include "Exceptions.h"
#include "GLCamera.h"
#include "GLPickList.h"
#include "GLRenderContext.h"
#include "SceneObjects.h"
#include "GLStateCache.h"
#include "Graphics.h"
#include "RenderContextInfo.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSurfaceFormat>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class QOpenGLContext;
class QSurface;

namespace SceneBufferTypes
{
Q_NAMESPACE

enum TGLShadeModel
{
    smDefault,
    smSmooth,
    smFlat,
};
Q_ENUM_NS(TGLShadeModel)

enum TGLAntiAliasing
{
    aaDefault,
    aaNone,
    aa2x,
    aa2xHQ,
    aa4x,
    aa4xHQ,
};
Q_ENUM_NS(TGLAntiAliasing)

enum TGLDepthPrecision
{
    dpDefault,
    dp16bits,
    dp24bits,
    dp32bits,
};
Q_ENUM_NS(TGLDepthPrecision)

enum TGLColorDepth
{
    cdDefault,
    cd8bits,
    cd16bits,
    cd24bits,
    cdFloat64bits,
    cdFloat128bits,
};
Q_ENUM_NS(TGLColorDepth)

enum TGLContextOption
{
    roDoubleBuffer = 1 << 0,
    roRenderToWindow = 1 << 1,
    roStencilBuffer = 1 << 2,
    roTwoSideLighting = 1 << 3,
    roStereo = 1 << 4,
    roDestinationAlpha = 1 << 5,
    roNoColorBuffer = 1 << 6,
    roNoColorBufferClear = 1 << 7,
    roNoSwapBuffers = 1 << 8,
};
Q_DECLARE_FLAGS(TGLContextOptions, TGLContextOption)
Q_FLAG_NS(TGLContextOptions)
} // namespace SceneBufferTypes
using namespace SceneBufferTypes;
Q_DECLARE_OPERATORS_FOR_FLAGS(SceneBufferTypes::TGLContextOptions)

// The drawing side of a viewer: owns the OpenGL context of the viewer's
// window, draws frames of the camera's scene, measures the frame rate and
// finds the objects under a pixel.
class TGLSceneBuffer : public QObject, public TGLSceneListener
{
    Q_OBJECT
    Q_PROPERTY(TColor BackgroundColor READ BackgroundColor WRITE SetBackgroundColor)
    Q_PROPERTY(bool DepthTest READ DepthTest WRITE SetDepthTest)
    Q_PROPERTY(bool FaceCulling READ FaceCulling WRITE SetFaceCulling)
    Q_PROPERTY(bool Lighting READ Lighting WRITE SetLighting)
    Q_PROPERTY(bool FogEnable READ FogEnable WRITE SetFogEnable)
    Q_PROPERTY(SceneBufferTypes::TGLShadeModel ShadeModel READ ShadeModel WRITE SetShadeModel)
    Q_PROPERTY(SceneBufferTypes::TGLAntiAliasing AntiAliasing READ AntiAliasing WRITE SetAntiAliasing)
    Q_PROPERTY(SceneBufferTypes::TGLDepthPrecision DepthPrecision READ DepthPrecision WRITE SetDepthPrecision)
    Q_PROPERTY(SceneBufferTypes::TGLColorDepth ColorDepth READ ColorDepth WRITE SetColorDepth)
    Q_PROPERTY(int AccumBufferBits READ AccumBufferBits WRITE SetAccumBufferBits)
    Q_PROPERTY(SceneBufferTypes::TGLContextOptions ContextOptions READ ContextOptions WRITE SetContextOptions)

public:
    static constexpr int RenderDPI = 96;

    explicit TGLSceneBuffer(QObject* owner);
    ~TGLSceneBuffer() override;

    // Properties.
    TColor BackgroundColor() const { return FBackgroundColor; }
    void SetBackgroundColor(TColor value);
    const TVector& AmbientColor() const { return FAmbientColor; }
    void SetAmbientColor(const TVector& value);
    bool DepthTest() const { return FDepthTest; }
    void SetDepthTest(bool value) { SetOption(FDepthTest, value); }
    bool FaceCulling() const { return FFaceCulling; }
    void SetFaceCulling(bool value) { SetOption(FFaceCulling, value); }
    bool Lighting() const { return FLighting; }
    void SetLighting(bool value) { SetOption(FLighting, value); }
    bool FogEnable() const { return FFogEnable; }
    void SetFogEnable(bool value) { SetOption(FFogEnable, value); }
    TGLShadeModel ShadeModel() const { return FShadeModel; }
    void SetShadeModel(TGLShadeModel value);
    TGLAntiAliasing AntiAliasing() const { return FAntiAliasing; }
    void SetAntiAliasing(TGLAntiAliasing value) { SetContextSetting(FAntiAliasing, value); }
    TGLDepthPrecision DepthPrecision() const { return FDepthPrecision; }
    void SetDepthPrecision(TGLDepthPrecision value) { SetContextSetting(FDepthPrecision, value); }
    TGLColorDepth ColorDepth() const { return FColorDepth; }
    void SetColorDepth(TGLColorDepth value) { SetContextSetting(FColorDepth, value); }
    int AccumBufferBits() const { return FAccumBufferBits; }
    void SetAccumBufferBits(int value) { SetContextSetting(FAccumBufferBits, value); }
    TGLContextOptions ContextOptions() const { return FContextOptions; }
    void SetContextOptions(TGLContextOptions value) { SetContextSetting(FContextOptions, value); }

    TGLCamera* Camera() const { return FCamera; }
    void SetCamera(TGLCamera* value);

    // Viewport, in device pixels; width and height are at least 1.
    int Width() const { return FViewport.Width; }
    int Height() const { return FViewport.Height; }
    // The viewer's size in its own pixels, and the device pixels per pixel
    // of it. The viewport has the device pixels; the camera's projection is
    // worked out in the viewer's pixels and screen texts keep their place and
    // size in them, so that a denser rendering shows the same picture, only
    // sharper, whatever the rounding of its device size.
    void Resize(int width, int height, qreal pixelRatio = 1);
    int ViewWidth() const { return FViewWidth; }
    int ViewHeight() const { return FViewHeight; }
    qreal PixelRatio() const { return FPixelRatio; }

    // The format a window must have for this buffer's context.
    QSurfaceFormat RequestedFormat() const;
    // Makes the context that draws on `surface` (a window of that format).
    void CreateRenderingContext(QSurface* surface);
    void DestroyRenderingContext();
    bool HasContext() const { return FContext != nullptr; }
    QOpenGLContext* RenderingContext() const { return FContext.get(); }
    // The same context as the textures and display lists made in it know it.
    TGLRenderContext* RenderContext() const { return FRenderContext.get(); }
    bool Rendering() const { return FRendering; }

    // Draws one frame; `baseObject` (or the whole scene) is drawn.
    void Render(TGLBaseSceneObject* baseObject = nullptr);
    // What the interface thread may do while the renderer finishes a frame it
    // has been given, instead of blocking in the swap: the application runs
    // the calls its threads hand over (timer ticks). Set once, at start. The
    // work must not destroy the viewer drawing: windows are released with
    // deferred deletion.
    static void SetWorkWhileFinishing(void (*work)());
    // Fills `list` with the objects drawn in the rectangle (the viewer's
    // pixels, as its mouse events give them; origin top-left).
    void PickObjectsInRect(const QRect& rect, TGLPickList& list, int expectedCount);
    // The nearest object under the viewer's pixel, or nullptr.
    TGLBaseSceneObject* PickObjectAt(int x, int y);

    // Frame-rate monitor.
    float FramesPerSecond() const { return FFramesPerSecond; }
    float LastFrameTime() const { return FLastFrameTime; }
    int FrameCount() const { return FFrameCount; }
    void ResetFrameRate();

    // For objects that draw with their own model-view transforms.
    void PushModelViewMatrix(const TMatrix& matrix);
    void PopModelViewMatrix();
    int ModelViewStackDepth() const { return static_cast<int>(FModelViewStack.size()); }
    const TMatrix& ModelViewMatrix() const { return FModelViewMatrix; }
    const TMatrix& ProjectionMatrix() const { return FProjectionMatrix; }
    // The projection in force before the camera's: identity when drawing, the
    // pick matrix when picking. Screen-space objects draw over it.
    const TMatrix& BaseProjectionMatrix() const { return FBaseProjectionMatrix; }
    const TVector& CameraPosition() const { return FCameraPosition; }

    // Tells the viewer to repaint.
    void NotifyChanged();
    void SceneChanged(QObject* sender) override;

    // The viewer's and the application's hooks.
    TNotifyEvent OnChange;
    TNotifyEvent OnStructuralChange;
    TNotifyEvent OnPrepareGLContext;
    TNotifyEvent BeforeRender;
    TNotifyEvent PostRender;
    TNotifyEvent AfterRender;
    TNotifyEvent InitiateRendering;
    TNotifyEvent WrapUpRendering;

    // The calls the state cache makes; set before the first frame (tests).
    void SetStateDriver(const TGLStateDriver& driver);
    TGLStateCache& States() { return *FStates; }

private:
    // Activates the context on construction, deactivates on destruction, and
    // holds the rendering flag meanwhile.
    class TRenderingScope;

    void SetOption(bool& field, bool value);
    // Settings of the pixel format: the window must be made again to take them.
    template <class T> void SetContextSetting(T& field, T value)
    {
        if (value == field)
            return;
        field = value;
        if (OnStructuralChange)
            OnStructuralChange(this);
    }
    void SetupRenderingState();
    void ApplyBackgroundColor();
    void PrepareMatrices(const QRect* pickRect);
    void RenderPass(TDrawState drawState, TGLBaseSceneObject* baseObject);
    void RenderScene(TDrawState drawState, TGLBaseSceneObject* baseObject);
    void FillRenderContextInfo(TDrawState drawState);
    void ReadHits(const std::vector<GLuint>& selection, int hits, TGLPickList& list);
    void CheckOpenGLError();
    void FinishFrameDoingOtherWork();
    int ScaledRenderDPI() const;
    void RegisterWithScene();
    void UnregisterFromScene();

    TColor FBackgroundColor = clBtnFace;
    TVector FAmbientColor{0.2f, 0.2f, 0.2f, 1};
    bool FDepthTest = true;
    bool FFaceCulling = true;
    bool FLighting = true;
    bool FFogEnable = false;
    TGLShadeModel FShadeModel = smDefault;
    TGLAntiAliasing FAntiAliasing = aaDefault;
    TGLDepthPrecision FDepthPrecision = dpDefault;
    TGLColorDepth FColorDepth = cdDefault;
    int FAccumBufferBits = 0;
    TGLContextOptions FContextOptions = TGLContextOptions(roDoubleBuffer) | roRenderToWindow;

    QPointer<TGLCamera> FCamera;
    QPointer<TGLScene> FScene;
    TGLViewport FViewport{0, 0, 1, 1};
    std::unique_ptr<QOpenGLContext> FContext;
    std::shared_ptr<TGLRenderContext> FRenderContext;
    QSurface* FSurface = nullptr;
    bool FRendering = false;
    int FRenderDPI = RenderDPI;
    qreal FPixelRatio = 1;
    int FViewWidth = 1;
    int FViewHeight = 1;
    int FRedBits = 8;

    TMatrix FProjectionMatrix = IdentityMatrix();
    TMatrix FBaseProjectionMatrix = IdentityMatrix();
    TMatrix FModelViewMatrix = IdentityMatrix();
    TVector FCameraPosition{0, 0, 0, 1};
    std::vector<TMatrix> FModelViewStack;
    std::unique_ptr<TGLStateCache> FStates;
    TRenderContextInfo FRenderInfo;

    int FFrameCount = 0;
    std::int64_t FFirstCounter = 0;
    float FFramesPerSecond = 0;
    float FLastFrameTime = 0;
};
