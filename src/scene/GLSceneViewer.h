#pragma once

#include "Control.h"
#include "GLCamera.h"
#include "GLSceneBuffer.h"

namespace ViewerTypes
{
Q_NAMESPACE

enum TVSyncMode
{
    vsmSync,
    vsmNoSync,
};
Q_ENUM_NS(TVSyncMode)
} // namespace ViewerTypes
using namespace ViewerTypes;

class TGLViewerWindow;

// The control that shows a scene through a camera. It hosts a native child
// window with its own OpenGL context (held by the buffer), so frames go
// straight to the screen over the form's other controls.
class TGLSceneViewer : public TControl
{
    Q_OBJECT
    Q_PROPERTY(TGLSceneBuffer* Buffer READ Buffer)
    Q_PROPERTY(TGLCamera* Camera READ Camera WRITE SetCamera)
    Q_PROPERTY(float FieldOfView READ FieldOfView WRITE SetFieldOfView)
    Q_PROPERTY(ViewerTypes::TVSyncMode VSync READ VSync WRITE SetVSync)

public:
    explicit TGLSceneViewer(QWidget* AOwner);
    ~TGLSceneViewer() override;

    TGLSceneBuffer* Buffer() const { return FBuffer; }
    TGLCamera* Camera() const { return FBuffer->Camera(); }
    void SetCamera(TGLCamera* value) { FBuffer->SetCamera(value); }
    // Degrees the camera covers across the smaller side of the control.
    float FieldOfView() const;
    void SetFieldOfView(float value);
    TVSyncMode VSync() const { return FVSync; }
    void SetVSync(TVSyncMode value) { FVSync = value; }

    float GetFrameRate() const { return FBuffer->FramesPerSecond(); }
    void ResetFrameRate() { FBuffer->ResetFrameRate(); }

    // The native window frames are drawn in.
    QWindow* RenderWindow() const;
    // Makes the native window and its rendering context, if not yet made.
    void CreateRenderWindow();
    // Draws one frame now, if the window can show it.
    void PaintFrame();

    void Loaded() override;
    void MouseEnter() override;
    void MouseLeave() override;

protected:
    void DisplayScaleChanged() override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class TGLViewerWindow;

    void BufferChanged();
    void ResizeBuffer();
    void RecreateRenderWindow();
    void ApplySwapInterval();
    int SwapInterval() const { return FVSync == vsmSync ? 1 : 0; }

    TGLSceneBuffer* const FBuffer;
    TGLViewerWindow* const FWindow;
    QWidget* const FContainer;
    TVSyncMode FVSync = vsmNoSync;
    int FAppliedSwapInterval = -1;
    bool FMouseInControl = false;
    bool FPaintRequested = false;
};

// Registers the camera and the viewer by class name.
void RegisterViewerClasses();
