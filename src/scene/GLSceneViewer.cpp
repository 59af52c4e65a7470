#include "GLSceneViewer.h"

#include "ClassRegistry.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <exception>

namespace
{
// Handlers run from the window system's events; a failure must not cross
// Qt's event loop.
template <class F> void RunGuarded(F&& handler)
{
    try
    {
        handler();
    }
    catch (...)
    {
        if (ControlFailureHandler != nullptr)
            ControlFailureHandler(std::current_exception());
        else
            qWarning("TGLSceneViewer: a handler failed");
    }
}

// A repaint asked for by a change; posted once until it has been handled.
const QEvent::Type PaintRequestEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
} // namespace

// The native child window: draws when shown or asked to, and hands its input
// to the viewer and the form.
class TGLViewerWindow : public QWindow
{
public:
    explicit TGLViewerWindow(TGLSceneViewer* viewer) : FViewer(viewer) { setSurfaceType(QSurface::OpenGLSurface); }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == PaintRequestEvent)
        {
            FViewer->FPaintRequested = false;
            PaintGuarded();
            return true;
        }
        switch (event->type())
        {
        case QEvent::UpdateRequest:
            PaintGuarded();
            return true;
        case QEvent::Enter:
            RunGuarded([this] { FViewer->MouseEnter(); });
            return true;
        case QEvent::Leave:
            RunGuarded([this] { FViewer->MouseLeave(); });
            return true;
        default:
            return QWindow::event(event);
        }
    }

    void exposeEvent(QExposeEvent*) override
    {
        if (isExposed())
            PaintGuarded();
    }

    void resizeEvent(QResizeEvent*) override { FViewer->ResizeBuffer(); }

    void mousePressEvent(QMouseEvent* event) override
    {
        const QPoint point = FViewer->LayoutPoint(event->position());
        RunGuarded(
            [&]
            {
                FViewer->MouseDown(MouseButtonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()),
                                   point.x(), point.y());
            });
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        const QPoint point = FViewer->LayoutPoint(event->position());
        RunGuarded([&]
                   { FViewer->MouseMove(ShiftStateOf(event->modifiers(), event->buttons()), point.x(), point.y()); });
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const QPoint point = FViewer->LayoutPoint(event->position());
        RunGuarded(
            [&]
            {
                FViewer->MouseUp(MouseButtonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()),
                                 point.x(), point.y());
            });
    }

    // The form's key handlers drive the game; a focused viewer must not
    // swallow the keys.
    void keyPressEvent(QKeyEvent* event) override { QCoreApplication::sendEvent(FViewer->window(), event); }
    void keyReleaseEvent(QKeyEvent* event) override { QCoreApplication::sendEvent(FViewer->window(), event); }

private:
    // A frame that keeps failing (a picture that cannot be decoded, a model
    // that cannot be drawn) is reported once, not at every redraw.
    void PaintGuarded()
    {
        if (ControlFailureHandler == nullptr)
        {
            RunGuarded([this] { FViewer->PaintFrame(); });
            return;
        }
        try
        {
            FViewer->PaintFrame();
            FViewer->PaintSucceeded();
        }
        catch (...)
        {
            FViewer->PaintFailed(std::current_exception());
        }
    }

    TGLSceneViewer* const FViewer;
};

TGLSceneViewer::TGLSceneViewer(QWidget* AOwner)
    : TControl(AOwner), FBuffer(new TGLSceneBuffer(this)), FWindow(new TGLViewerWindow(this)),
      FContainer(QWidget::createWindowContainer(FWindow, this))
{
    // Every frame clears and redraws the whole area: nothing to erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    FContainer->setAttribute(Qt::WA_OpaquePaintEvent);
    FContainer->setAttribute(Qt::WA_NoSystemBackground);
    FContainer->setFocusPolicy(Qt::NoFocus);
    FBuffer->OnChange = [this](QObject*) { BufferChanged(); };
    FBuffer->OnStructuralChange = [this](QObject*) { RecreateRenderWindow(); };
    FBuffer->OnPrepareGLContext = [this](QObject*) { ApplySwapInterval(); };
    SetBounds(0, 0, 100, 100);
}

TGLSceneViewer::~TGLSceneViewer()
{
    FBuffer->OnChange = nullptr;
    FBuffer->OnStructuralChange = nullptr;
    FBuffer->OnPrepareGLContext = nullptr;
    // The context goes before the window it draws on.
    FBuffer->DestroyRenderingContext();
}

float TGLSceneViewer::FieldOfView() const
{
    if (Camera() == nullptr)
        return 0;
    return Camera()->GetFieldOfView(static_cast<float>(std::min(Width(), Height())));
}

void TGLSceneViewer::SetFieldOfView(float value)
{
    if (Camera() != nullptr)
        Camera()->SetFieldOfView(value, static_cast<float>(std::min(Width(), Height())));
}

QWindow* TGLSceneViewer::RenderWindow() const
{
    return FWindow;
}

void TGLSceneViewer::CreateRenderWindow()
{
    if (FBuffer->HasContext())
        return;
    QSurfaceFormat format = FBuffer->RequestedFormat();
    format.setSwapInterval(SwapInterval());
    FWindow->setFormat(format);
    // A hidden control has not told its container its size yet.
    FWindow->resize(size());
    FWindow->create();
    ResizeBuffer();
    FBuffer->CreateRenderingContext(FWindow);
    FAppliedSwapInterval = format.swapInterval();
}

void TGLSceneViewer::RecreateRenderWindow()
{
    if (!FBuffer->HasContext())
        return;
    FBuffer->DestroyRenderingContext();
    const bool wasVisible = FWindow->isVisible();
    FWindow->destroy();
    CreateRenderWindow();
    if (wasVisible)
        FWindow->show();
}

// The control's size is in the layout's pixels; OpenGL draws in the
// window's device pixels: the form's display scale, times the density of
// the screen.
void TGLSceneViewer::ResizeBuffer()
{
    FBuffer->Resize(Width(), Height(), FWindow->devicePixelRatio() * DisplayScale().Factor);
}

void TGLSceneViewer::DisplayScaleChanged()
{
    ResizeBuffer();
}

void TGLSceneViewer::PaintFrame()
{
    if (Width() <= 0 || Height() <= 0)
        return;
    CreateRenderWindow();
    // Swapping to a window that is not on screen has no defined result.
    if (!(FBuffer->ContextOptions() & roNoSwapBuffers) && !FWindow->isExposed())
        return;
    FBuffer->Render();
}

void TGLSceneViewer::BufferChanged()
{
    // Posted rather than requested through the window system, whose update
    // requests are paced by a timer; low priority lets input go first.
    if (FBuffer->Rendering() || FPaintRequested)
        return;
    FPaintRequested = true;
    QCoreApplication::postEvent(FWindow, new QEvent(PaintRequestEvent), Qt::LowEventPriority);
}

// The interval is part of the context's format; changing it later needs the
// window system's swap-control extension.
void TGLSceneViewer::ApplySwapInterval()
{
    const int interval = SwapInterval();
    if (interval == FAppliedSwapInterval)
        return;
    FAppliedSwapInterval = interval;
    using TSwapIntervalFunction = int (*)(unsigned int);
    QOpenGLContext* const context = FBuffer->RenderingContext();
    if (auto* setInterval = reinterpret_cast<TSwapIntervalFunction>(context->getProcAddress("glXSwapIntervalMESA")))
        setInterval(static_cast<unsigned int>(interval));
}

void TGLSceneViewer::Loaded()
{
    TControl::Loaded();
    CreateRenderWindow();
}

void TGLSceneViewer::MouseEnter()
{
    if (FMouseInControl)
        return;
    FMouseInControl = true;
    TControl::MouseEnter();
}

void TGLSceneViewer::MouseLeave()
{
    if (!FMouseInControl)
        return;
    FMouseInControl = false;
    TControl::MouseLeave();
}

void TGLSceneViewer::resizeEvent(QResizeEvent* event)
{
    TControl::resizeEvent(event);
    FContainer->setGeometry(rect());
    ResizeBuffer();
}

void TGLSceneViewer::showEvent(QShowEvent* event)
{
    TControl::showEvent(event);
    RunGuarded([this] { CreateRenderWindow(); });
}

void RegisterViewerClasses()
{
    TClassRegistry::RegisterClass<TGLCamera>();
    TClassRegistry::RegisterClass<TGLSceneViewer>();
}
