#pragma once

#include <QImage>

#include <memory>

class QOffscreenSurface;
class TGLRenderContext;
class QOpenGLContext;
class QOpenGLFramebufferObject;

// One OpenGL context for the tests of a process, drawing into an off-screen
// framebuffer with colour and depth, so that tests can read real pixels.
class TGLTestContext
{
public:
    // Makes the context current with a framebuffer of this size bound.
    static TGLTestContext& Use(int width = 256, int height = 256);

    ~TGLTestContext();

    QOpenGLContext* Context() const { return FContext.get(); }
    // The context as the engine's textures and display lists know it.
    TGLRenderContext& RenderContext() const { return *FRenderContext; }
    int Width() const;
    int Height() const;
    // The framebuffer's pixels, top row first.
    QImage Pixels() const;

private:
    TGLTestContext();
    void Bind(int width, int height);

    std::unique_ptr<QOffscreenSurface> FSurface;
    std::unique_ptr<QOpenGLContext> FContext;
    std::shared_ptr<TGLRenderContext> FRenderContext;
    std::unique_ptr<QOpenGLFramebufferObject> FFramebuffer;
};
