#include "GLTestContext.h"

#include "GLRenderContext.h"

#include <QCoreApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <stdexcept>

namespace
{
TGLTestContext* SharedContext = nullptr;

// The context must go before the application object it depends on.
void FreeSharedContext()
{
    delete SharedContext;
    SharedContext = nullptr;
}
} // namespace

TGLTestContext& TGLTestContext::Use(int width, int height)
{
    if (SharedContext == nullptr)
    {
        SharedContext = new TGLTestContext();
        qAddPostRoutine(FreeSharedContext);
    }
    SharedContext->Bind(width, height);
    return *SharedContext;
}

TGLTestContext::TGLTestContext()
    : FSurface(std::make_unique<QOffscreenSurface>()), FContext(std::make_unique<QOpenGLContext>())
{
    FSurface->create();
    if (!FContext->create() || !FContext->makeCurrent(FSurface.get()))
        throw std::runtime_error("no OpenGL context for the tests");
    FRenderContext = TGLRenderContext::Create(FContext.get());
}

TGLTestContext::~TGLTestContext()
{
    FContext->makeCurrent(FSurface.get());
    FRenderContext.reset();
    FFramebuffer.reset();
    FContext->doneCurrent();
}

void TGLTestContext::Bind(int width, int height)
{
    FContext->makeCurrent(FSurface.get());
    if (FFramebuffer == nullptr || FFramebuffer->width() != width || FFramebuffer->height() != height)
        FFramebuffer = std::make_unique<QOpenGLFramebufferObject>(width, height,
                                                                   QOpenGLFramebufferObject::CombinedDepthStencil);
    FFramebuffer->bind();
    glViewport(0, 0, width, height);
}

int TGLTestContext::Width() const
{
    return FFramebuffer->width();
}

int TGLTestContext::Height() const
{
    return FFramebuffer->height();
}

QImage TGLTestContext::Pixels() const
{
    return FFramebuffer->toImage(true);
}
