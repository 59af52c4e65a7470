#include "GLBitmapFont.h"
#include "GLHUDText.h"
#include "GLSceneViewer.h"

#include "FlatSquare.h"

#include <gtest/gtest.h>

#include <QOpenGLContext>
#include <QWindow>

#include <GL/gl.h>

#include <string>

namespace
{
// The whole program runs as on a screen with two device pixels per pixel;
// Qt reads this when the application object is made, after this.
const bool HighDensityScreen = qputenv("QT_SCALE_FACTOR", "2");

constexpr int ViewWidth = 100;
constexpr int ViewHeight = 80;

// A red square of half-size 0.2 in the object's XY plane, facing +Z.
class TRedSquare : public TGLSceneObject
{
public:
    explicit TRedSquare(QObject* owner) : TGLSceneObject(owner) { SetObjectStyle(osDirectDraw); }

    void EmitGeometry(TRenderContextInfo&) override
    {
        DrawFlatSquare(255, 0, 0);
    }
};

// Columns from..to of a device row of the frame: '#' where red shows.
std::string Row(const QImage& frame, int y, int from, int to)
{
    std::string row;
    for (int x = from; x <= to; ++x)
        row += qRed(frame.pixel(x, y)) > 127 ? '#' : '.';
    return row;
}
} // namespace

// A 100 x 80 viewer whose camera stands at (0, 0, 6) with the default lens,
// a red square at (0.4, 0) and an 8 x 10 block glyph at (10, 5) in the
// viewer's pixels.
TEST(GLSceneViewerHighDensity, ViewerDrawsAndPicksInDevicePixelsAsAtOneToOne)
{
    ASSERT_TRUE(HighDensityScreen);
    TGLScene scene(nullptr);
    auto* camera = new TGLCamera(&scene);
    scene.InsertLayoutChild(camera);
    camera->Position()->SetPoint(0, 0, 6);
    auto* square = new TRedSquare(&scene);
    scene.InsertLayoutChild(square);
    square->Position()->SetPoint(0.4f, 0, 0);
    TGLCustomBitmapFont font(nullptr);
    QImage glyphs(16, 16, QImage::Format_RGB32);
    glyphs.fill(Qt::white);
    font.Glyphs()->SetImage(glyphs);
    font.SetCharWidth(8);
    font.SetCharHeight(10);
    font.Ranges()->Add('A', 'A');
    auto* text = new TGLHUDText(&scene);
    scene.InsertLayoutChild(text);
    text->SetBitmapFont(&font);
    text->SetModulateColor({1, 0, 0, 1});
    text->SetText(QStringLiteral("A"));
    text->Position()->SetPoint(10, 5, 0);

    TGLSceneViewer viewer(nullptr);
    viewer.SetBounds(0, 0, ViewWidth, ViewHeight);
    TGLSceneBuffer* const buffer = viewer.Buffer();
    buffer->SetBackgroundColor(clBlack);
    buffer->SetLighting(false);
    buffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
    viewer.SetCamera(camera);
    viewer.CreateRenderWindow();
    ASSERT_EQ(viewer.RenderWindow()->devicePixelRatio(), 2.0);
    EXPECT_EQ(buffer->Width(), 2 * ViewWidth);
    EXPECT_EQ(buffer->Height(), 2 * ViewHeight);

    buffer->Render();
    buffer->RenderingContext()->makeCurrent(viewer.RenderWindow());
    QImage frame(2 * ViewWidth, 2 * ViewHeight, QImage::Format_RGBA8888);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, frame.width(), frame.height(), GL_RGBA, GL_UNSIGNED_BYTE, frame.bits());
    frame = frame.mirrored();

    // At one to one, 100 pixels across see 2 x 0.79375 scene units at the
    // distance of 6 (a near plane at 9600 / 2540 with a half-width of 0.5):
    // the square spans 0.2 ... 0.6, pixels 62.6 ... 87.8; here twice that.
    EXPECT_EQ(Row(frame, 80, 121, 129), "....#####");
    EXPECT_EQ(Row(frame, 80, 171, 179), "#####....");
    EXPECT_EQ(Row(frame, 78 - 25, 150, 150), ".");
    EXPECT_EQ(Row(frame, 80 - 23, 150, 150), "#");
    // The glyph's 8 x 10 pixels from (10, 5) are 16 x 20 device pixels from
    // (20, 10).
    EXPECT_EQ(Row(frame, 10, 17, 38), "..." + std::string(16, '#') + "...");
    EXPECT_EQ(Row(frame, 29, 17, 38), "..." + std::string(16, '#') + "...");
    EXPECT_EQ(Row(frame, 30, 17, 38), std::string(22, '.'));

    // Mouse positions come in the viewer's pixels.
    EXPECT_EQ(buffer->PickObjectAt(75, 40), square);
    EXPECT_EQ(buffer->PickObjectAt(55, 40), nullptr);
    EXPECT_EQ(buffer->PickObjectAt(14, 9), text);
    text->SetBitmapFont(nullptr);
}
