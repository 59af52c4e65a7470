#include "GLBitmapFont.h"
#include "GLCube.h"
#include "GLHUDText.h"
#include "GLMaterial.h"
#include "GLSceneViewer.h"

#include "JpegFixtures.h"

#include "FlatSquare.h"

#include <gtest/gtest.h>

#include <QOpenGLContext>
#include <QWindow>

#include <GL/gl.h>

#include <cstdlib>
#include <memory>

namespace
{
constexpr int ViewSize = 160;
const QColor Orange(230, 120, 20);

// A green square through a display list; counts its compilations.
class TListedQuad : public TGLSceneObject
{
public:
    explicit TListedQuad(QObject* owner) : TGLSceneObject(owner) {}

    int Compilations = 0;

    void EmitGeometry(TRenderContextInfo&) override
    {
        ++Compilations;
        DrawFlatSquare(0, 255, 0);
    }
};

// JPEG keeps a flat colour within a step or two.
bool Near(const QColor& actual, const QColor& expected)
{
    return std::abs(actual.red() - expected.red()) <= 3 && std::abs(actual.green() - expected.green()) <= 3 &&
           std::abs(actual.blue() - expected.blue()) <= 3;
}

struct TLiveNames
{
    int Textures = 0;
    int Lists = 0;
    bool operator==(const TLiveNames&) const = default;
};

// Asks OpenGL about each of the first names of the current context; the
// engine's names are small numbers, as OpenGL hands them out in order.
TLiveNames CountLiveNames()
{
    TLiveNames names;
    for (GLuint name = 1; name <= 1024; ++name)
    {
        names.Textures += glIsTexture(name) ? 1 : 0;
        names.Lists += glIsList(name) ? 1 : 0;
    }
    return names;
}

// A scene with an orange textured cube on the left, a display-listed green
// square on the right and a line of text at the top, seen from (0, 0, 3) by
// viewers on black that keep their frames in the back buffer.
class GLViewerResourcesTest : public testing::Test
{
protected:
    GLViewerResourcesTest()
    {
        FScene.InsertLayoutChild(FCamera);
        FCamera->Position()->SetPoint(0, 0, 3);
        FScene.InsertLayoutChild(FCube);
        FCube->Position()->SetPoint(-0.4f, 0, 0);
        FCube->SetScale({0.4f, 0.4f, 0.4f, 0});
        TGLTexture* const texture = FCube->Material()->Texture();
        texture->Image()->LoadJpeg(JpegFixtures::Flat(8, 8, Orange), QStringLiteral("orange.jpg"));
        texture->SetMinFilter(miLinear);
        texture->SetDisabled(false);
        FScene.InsertLayoutChild(FQuad);
        FQuad->Position()->SetPoint(0.4f, 0, 0);
        FScene.InsertLayoutChild(FText);
        FText->SetBitmapFont(&FFont);
        FText->SetText(QStringLiteral("Wall 42"));
        FText->Position()->SetPoint(10, 10, 0);
    }

    ~GLViewerResourcesTest() override { FText->SetBitmapFont(nullptr); }

    std::unique_ptr<TGLSceneViewer> MakeViewer()
    {
        auto viewer = std::make_unique<TGLSceneViewer>(nullptr);
        viewer->SetBounds(0, 0, ViewSize, ViewSize);
        TGLSceneBuffer* const buffer = viewer->Buffer();
        buffer->SetBackgroundColor(clBlack);
        buffer->SetLighting(false);
        buffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
        viewer->SetCamera(FCamera);
        viewer->CreateRenderWindow();
        return viewer;
    }

    static void MakeCurrent(TGLSceneViewer& viewer)
    {
        viewer.Buffer()->RenderingContext()->makeCurrent(viewer.RenderWindow());
    }

    // Draws a frame and reads it back, top row first.
    static QImage Frame(TGLSceneViewer& viewer)
    {
        viewer.Buffer()->Render();
        MakeCurrent(viewer);
        QImage image(ViewSize, ViewSize, QImage::Format_RGBA8888);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, ViewSize, ViewSize, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
        return image.mirrored();
    }

    TGLScene FScene{nullptr};
    TGLCamera* const FCamera = new TGLCamera(&FScene);
    TGLCube* const FCube = new TGLCube(&FScene);
    TListedQuad* const FQuad = new TListedQuad(&FScene);
    TGLHUDText* const FText = new TGLHUDText(&FScene);
    TGLWindowsBitmapFont FFont{nullptr};
};
} // namespace

TEST_F(GLViewerResourcesTest, RecreatedContextDrawsTheSamePictureWithAsManyNames)
{
    const std::unique_ptr<TGLSceneViewer> viewer = MakeViewer();
    const QImage first = Frame(*viewer);
    // The cube's texture and the glyphs are in place, not plain quads.
    ASSERT_TRUE(Near(first.pixelColor(ViewSize / 2 - 32, ViewSize / 2), Orange));
    ASSERT_EQ(first.pixelColor(ViewSize / 2 + 32, ViewSize / 2), QColor(0, 255, 0));
    const TLiveNames names = CountLiveNames();
    EXPECT_EQ(names, (TLiveNames{2, 1}));

    for (int i = 0; i < 50; ++i)
    {
        // A pixel-format setting makes the viewer build its window and
        // context again; a context made straight after the old one went is
        // likely to be given the same address.
        if (i % 2 == 0)
            viewer->Buffer()->SetAntiAliasing(i % 4 == 0 ? aaNone : aaDefault);
        else
            viewer->Buffer()->CreateRenderingContext(viewer->RenderWindow());
        ASSERT_TRUE(viewer->Buffer()->HasContext());
        const QImage frame = Frame(*viewer);
        ASSERT_EQ(frame, first) << "after re-creation " << i + 1;
        ASSERT_EQ(CountLiveNames(), names) << "after re-creation " << i + 1;
    }
}

TEST_F(GLViewerResourcesTest, TwoViewersOfOneSceneEachFillTheirNamesOnce)
{
    const std::unique_ptr<TGLSceneViewer> left = MakeViewer();
    const std::unique_ptr<TGLSceneViewer> right = MakeViewer();
    Frame(*left);
    Frame(*right);
    EXPECT_EQ(FQuad->Compilations, 2);

    // Paint over the cube's texture in both contexts: only an upload would
    // bring the orange back.
    std::vector<GLubyte> texels(8 * 8 * 4, 0);
    for (size_t i = 2; i < texels.size(); i += 4)
        texels[i] = texels[i + 1] = 255;
    TLiveNames names[2];
    for (TGLSceneViewer* viewer : {left.get(), right.get()})
    {
        MakeCurrent(*viewer);
        glBindTexture(GL_TEXTURE_2D, FCube->Material()->Texture()->CurrentHandle());
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 8, 8, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        names[viewer == right.get()] = CountLiveNames();
    }

    for (int frame = 0; frame < 5; ++frame)
        for (TGLSceneViewer* viewer : {left.get(), right.get()})
        {
            const QImage image = Frame(*viewer);
            EXPECT_EQ(image.pixelColor(ViewSize / 2 - 32, ViewSize / 2), QColor(0, 0, 255));
            EXPECT_EQ(image.pixelColor(ViewSize / 2 + 32, ViewSize / 2), QColor(0, 255, 0));
            EXPECT_EQ(CountLiveNames(), names[viewer == right.get()]);
        }
    EXPECT_EQ(FQuad->Compilations, 2);

    // A change is taken into each context once.
    FQuad->MarkStructureChanged();
    for (int frame = 0; frame < 3; ++frame)
    {
        Frame(*left);
        Frame(*right);
    }
    EXPECT_EQ(FQuad->Compilations, 4);
}

TEST_F(GLViewerResourcesTest, NamesAreDeletedInTheContextThatOwnsThem)
{
    const std::unique_ptr<TGLSceneViewer> left = MakeViewer();
    const std::unique_ptr<TGLSceneViewer> right = MakeViewer();
    Frame(*left);
    MakeCurrent(*left);
    const GLuint leftTexture = FCube->Material()->Texture()->CurrentHandle();
    const TLiveNames leftNames = CountLiveNames();
    Frame(*right);
    const GLuint rightTexture = FCube->Material()->Texture()->CurrentHandle();
    ASSERT_NE(leftTexture, 0u);
    ASSERT_NE(rightTexture, 0u);

    // Gone while the right context is current: deleted there at once, and
    // in the left one when it next draws.
    delete FCube;
    delete FQuad;
    EXPECT_FALSE(glIsTexture(rightTexture));
    EXPECT_EQ(CountLiveNames(), (TLiveNames{1, 0}));
    MakeCurrent(*left);
    EXPECT_TRUE(glIsTexture(leftTexture));
    Frame(*left);
    EXPECT_FALSE(glIsTexture(leftTexture));
    EXPECT_EQ(CountLiveNames(), (TLiveNames{leftNames.Textures - 1, leftNames.Lists - 1}));
}
