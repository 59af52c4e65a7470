#include "GLBitmapFont.h"
#include "GLRenderContext.h"
#include "GLStateCache.h"
#include "GLTexture.h"
#include "RenderContextInfo.h"

#include "GLTestContext.h"
#include "JpegFixtures.h"

#include <gtest/gtest.h>

#include <QOffscreenSurface>
#include <QOpenGLContext>

#include <GL/gl.h>

#include <memory>
#include <new>

namespace
{
GLint TextureWidth(GLuint name)
{
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glBindTexture(GL_TEXTURE_2D, 0);
    return width;
}

// Rendering contexts made one after the other in the same storage, so that
// each new one has the address of the one destroyed before it.
class TSameAddressContexts
{
public:
    TSameAddressContexts() { FSurface.create(); }
    ~TSameAddressContexts()
    {
        Destroy();
        // The tests' own context is current again for the next test.
        TGLTestContext::Use();
    }

    QOpenGLContext* MakeCurrent()
    {
        Destroy();
        FContext = new (&FStorage) QOpenGLContext();
        if (!FContext->create() || !FContext->makeCurrent(&FSurface))
            throw std::runtime_error("no second OpenGL context");
        FRenderContext = TGLRenderContext::Create(FContext);
        return FContext;
    }

    TGLRenderContext& RenderContext() const { return *FRenderContext; }

private:
    void Destroy()
    {
        if (FContext == nullptr)
            return;
        FRenderContext.reset();
        FContext->~QOpenGLContext();
        FContext = nullptr;
    }

    QOffscreenSurface FSurface;
    alignas(QOpenGLContext) unsigned char FStorage[sizeof(QOpenGLContext)];
    QOpenGLContext* FContext = nullptr;
    std::shared_ptr<TGLRenderContext> FRenderContext;
};
} // namespace

TEST(GLRenderContext, ContextAtTheAddressOfADestroyedOneGetsTexturesOfItsOwn)
{
    TGLTestContext::Use();
    TSameAddressContexts contexts;
    TGLStateCache states;
    TGLTexture texture(nullptr);
    texture.Image()->LoadJpeg(JpegFixtures::Flat(4, 4), QStringLiteral("flat.jpg"));
    texture.SetMinFilter(miNearest);
    texture.SetDisabled(false);
    TGLCustomBitmapFont font(nullptr);
    QImage glyphs(16, 16, QImage::Format_RGB32);
    glyphs.fill(Qt::white);
    font.Glyphs()->SetImage(glyphs);
    font.SetCharWidth(8);
    font.SetCharHeight(8);
    font.Ranges()->Add('A', 'A');

    const QOpenGLContext* const first = contexts.MakeCurrent();
    const std::uint64_t firstId = contexts.RenderContext().Id();
    TRenderContextInfo info;
    info.GLStates = &states;
    info.Context = &contexts.RenderContext();
    EXPECT_EQ(TextureWidth(texture.Handle(contexts.RenderContext(), states)), 4);
    font.RenderString(info, QStringLiteral("A"), BitmapFontTypes::taLeftJustify, BitmapFontTypes::tlTop,
                      {1, 1, 1, 1});
    EXPECT_EQ(TextureWidth(font.TextureHandle()), 16);

    for (int i = 0; i < 3; ++i)
    {
        ASSERT_EQ(contexts.MakeCurrent(), first);
        EXPECT_NE(contexts.RenderContext().Id(), firstId);
        TGLStateCache freshStates;
        info.GLStates = &freshStates;
        info.Context = &contexts.RenderContext();
        EXPECT_EQ(TextureWidth(texture.Handle(contexts.RenderContext(), freshStates)), 4) << "context " << i + 2;
        font.RenderString(info, QStringLiteral("A"), BitmapFontTypes::taLeftJustify, BitmapFontTypes::tlTop,
                          {1, 1, 1, 1});
        EXPECT_EQ(TextureWidth(font.TextureHandle()), 16) << "context " << i + 2;
    }
}
