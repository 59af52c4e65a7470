#include "scene/GLHUDText.h"
#include "scene/GLSceneViewer.h"
#include "scene/GLStateCache.h"

#include "Exceptions.h"
#include "GLTestContext.h"
#include "LayoutReader.h"

#include <QFile>
#include <QFontDatabase>
#include <QOpenGLContext>
#include <QPainter>
#include <QTemporaryDir>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>

namespace
{
constexpr int ViewWidth = 240;
constexpr int ViewHeight = 120;

// Every glyph of this font is a solid 8 x 10 block, so a text's quads show
// exactly where they lie.
void MakeBlockFont(TGLCustomBitmapFont& font)
{
    QImage picture(128, 128, QImage::Format_RGB32);
    picture.fill(Qt::white);
    font.Glyphs()->SetImage(picture);
    font.SetCharWidth(8);
    font.SetCharHeight(10);
    font.Ranges()->Add(32, 125);
}

// A scene seen by a 240 x 120 viewer on a black background, holding one text
// drawn with the block font. Frames are not swapped, so their pixels stay
// readable in the back buffer.
class GLHUDTextTest : public testing::Test
{
protected:
    GLHUDTextTest()
    {
        FScene.InsertLayoutChild(FCamera);
        FScene.InsertLayoutChild(FText);
        MakeBlockFont(FFont);
        FText->SetBitmapFont(&FFont);
        FText->SetModulateColor({1, 0, 0, 1});
        FViewer.SetBounds(0, 0, ViewWidth, ViewHeight);
        FBuffer->SetBackgroundColor(clBlack);
        FBuffer->SetLighting(false);
        FBuffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
        FViewer.SetCamera(FCamera);
        FViewer.CreateRenderWindow();
    }

    ~GLHUDTextTest() override { FText->SetBitmapFont(nullptr); }

    // Draws a frame and reads it back, top row first.
    QImage Frame()
    {
        FBuffer->Render();
        FBuffer->RenderingContext()->makeCurrent(FViewer.RenderWindow());
        QImage image(ViewWidth, ViewHeight, QImage::Format_RGBA8888);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, ViewWidth, ViewHeight, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
        return image.mirrored();
    }

    TGLScene FScene{nullptr};
    TGLCamera* const FCamera = new TGLCamera(&FScene);
    TGLHUDText* const FText = new TGLHUDText(&FScene);
    TGLCustomBitmapFont FFont{nullptr};
    TGLSceneViewer FViewer{nullptr};
    TGLSceneBuffer* const FBuffer = FViewer.Buffer();
};

// Columns from..to of a row: '#' where red shows, '.' elsewhere.
std::string Row(const QImage& frame, int y, int from, int to)
{
    std::string row;
    for (int x = from; x <= to; ++x)
        row += qRed(frame.pixel(x, y)) > 127 ? '#' : '.';
    return row;
}

std::string Column(const QImage& frame, int x, int from, int to)
{
    std::string column;
    for (int y = from; y <= to; ++y)
        column += qRed(frame.pixel(x, y)) > 127 ? '#' : '.';
    return column;
}

int LitPixels(const QImage& frame)
{
    int count = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            count += qRed(frame.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

GLint Integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// The smallest rectangle holding every pixel brighter than half.
QRect InkBounds(const QImage& image, int (*level)(QRgb))
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (level(image.pixel(x, y)) > 127)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}
} // namespace

TEST_F(GLHUDTextTest, TextAtItsPositionStartsThatManyPixelsFromTheViewersTopLeft)
{
    FText->SetText(QStringLiteral("A"));
    FText->Position()->SetPoint(50, 15, 0);
    const QImage frame = Frame();

    EXPECT_EQ(Row(frame, 15, 48, 59), "..########..");
    EXPECT_EQ(Row(frame, 24, 48, 59), "..########..");
    EXPECT_EQ(Column(frame, 50, 13, 26), "..##########..");
    EXPECT_EQ(frame.pixel(50, 15), qRgba(255, 0, 0, 255));
    EXPECT_EQ(LitPixels(frame), 8 * 10);
}

namespace
{
// A block font whose glyph upload fails as often as asked to.
class TFailingUploadFont : public TGLCustomBitmapFont
{
public:
    using TGLCustomBitmapFont::TGLCustomBitmapFont;

    mutable int FailuresLeft = 0;

protected:
    GLint TextureFormat() const override
    {
        if (FailuresLeft > 0)
        {
            --FailuresLeft;
            throw EInvalidOperation(QStringLiteral("glyphs lost"));
        }
        return GL_RGBA;
    }
};
} // namespace

TEST_F(GLHUDTextTest, FailedGlyphUploadLeavesMatricesAndFlagsAndTheNextFrameDrawsTheText)
{
    TFailingUploadFont font(nullptr);
    MakeBlockFont(font);
    font.FailuresLeft = 1;
    FText->SetBitmapFont(&font);
    FText->SetText(QStringLiteral("A"));
    FText->Position()->SetPoint(50, 15, 0);

    EXPECT_THROW(FBuffer->Render(), EInvalidOperation);
    FBuffer->RenderingContext()->makeCurrent(FViewer.RenderWindow());
    EXPECT_EQ(Integer(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_EQ(Integer(GL_PROJECTION_STACK_DEPTH), 1);
    EXPECT_EQ(Integer(GL_ATTRIB_STACK_DEPTH), 0);
    EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_MODELVIEW);
    // The text switched depth testing off behind the cache.
    EXPECT_TRUE(FBuffer->States().IsEnabled(stDepthTest));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    const QImage frame = Frame();
    EXPECT_EQ(Row(frame, 15, 48, 59), "..########..");
    EXPECT_EQ(LitPixels(frame), 8 * 10);
}

TEST_F(GLHUDTextTest, RightJustifiedLinesEachEndAtTheAnchorAndLineFeedsAreIgnored)
{
    FText->SetText(QStringLiteral("AA\r\nA"));
    FText->SetAlignment(BitmapFontTypes::taRightJustify);
    FText->Position()->SetPoint(100, 15, 0);
    const QImage frame = Frame();

    // Two blocks and one pixel of spacing end at column 99; the second line
    // starts CharHeight + VSpace = 11 rows lower.
    EXPECT_EQ(Row(frame, 20, 81, 101), "..########.########..");
    EXPECT_EQ(Row(frame, 31, 81, 101), "...........########..");
    EXPECT_EQ(Column(frame, 95, 14, 37), ".##########.##########..");
}

TEST_F(GLHUDTextTest, CentredAndBottomLaidTextsCentreOnTheAnchorAndEndAboveIt)
{
    FText->SetText(QStringLiteral("A"));
    FText->Position()->SetPoint(50, 40, 0);
    FText->SetAlignment(BitmapFontTypes::taCenter);
    FText->SetLayout(BitmapFontTypes::tlBottom);
    QImage frame = Frame();
    EXPECT_EQ(Row(frame, 35, 44, 55), "..########..");
    EXPECT_EQ(Column(frame, 50, 28, 41), "..##########..");

    // Two lines centre their 21 rows on the anchor: 11 above it.
    FText->SetText(QStringLiteral("A\rA"));
    FText->SetLayout(BitmapFontTypes::tlCenter);
    frame = Frame();
    EXPECT_EQ(Column(frame, 50, 27, 52), "..##########.##########...");
}

TEST_F(GLHUDTextTest, BlanksAdvanceWithoutDrawing)
{
    FText->SetText(QStringLiteral("   "));
    FText->Position()->SetPoint(50, 15, 0);
    EXPECT_EQ(LitPixels(Frame()), 0);

    // A blank advances by its width and the spacing: 8 + 1.
    FText->SetText(QStringLiteral(" A"));
    EXPECT_EQ(Row(Frame(), 20, 48, 69), "...........########...");
}

TEST_F(GLHUDTextTest, CodesOutsideTheFontAreSkippedWithoutAdvancing)
{
    FText->Position()->SetPoint(50, 15, 0);
    FText->SetText(QStringLiteral("A\u00E9A"));
    EXPECT_EQ(Row(Frame(), 20, 48, 69), "..########.########...");
    FText->SetText(QStringLiteral("A\u0100\u0009A"));
    EXPECT_EQ(Row(Frame(), 20, 48, 69), "..########.########...");

    // The same accented letter with a range that holds it.
    FFont.Ranges()->Items(0)->SetStopASCII(255);
    FText->SetText(QStringLiteral("A\u00E9A"));
    EXPECT_EQ(Row(Frame(), 20, 48, 69), "..########.########.##");
}

TEST_F(GLHUDTextTest, ScaleStretchesAndRotationTurnsTheTextRoundItsAnchor)
{
    FText->SetText(QStringLiteral("A"));
    FText->Position()->SetPoint(50, 40, 0);
    FText->Scale()->SetVector(2, 1.5f, 1);
    QImage frame = Frame();
    EXPECT_EQ(Row(frame, 45, 48, 67), "..################..");
    EXPECT_EQ(Column(frame, 55, 38, 56), "..###############..");

    // A quarter turn anticlockwise on screen: the block's top edge now runs
    // up from the anchor and its height extends to the right.
    FText->Scale()->SetVector(1, 1, 1);
    FText->SetRotation(90);
    frame = Frame();
    EXPECT_EQ(Row(frame, 35, 48, 61), "..##########..");
    EXPECT_EQ(Column(frame, 55, 30, 41), "..########..");
}

TEST_F(GLHUDTextTest, TextWithoutFontOrWithoutCharactersStillDrawsItsChildren)
{
    FText->SetText(QString());
    auto* child = new TGLHUDText(nullptr);
    FText->AddChild(child);
    child->SetBitmapFont(&FFont);
    child->SetText(QStringLiteral("A"));
    child->Position()->SetPoint(10, 10, 0);
    EXPECT_EQ(LitPixels(Frame()), 8 * 10);

    FText->SetText(QStringLiteral("A"));
    FText->SetBitmapFont(nullptr);
    EXPECT_EQ(LitPixels(Frame()), 8 * 10);
    child->SetBitmapFont(nullptr);
}

TEST_F(GLHUDTextTest, PickFindsTheTextUnderItsGlyphs)
{
    FText->SetText(QStringLiteral("A"));
    FText->Position()->SetPoint(50, 15, 0);
    EXPECT_EQ(FBuffer->PickObjectAt(54, 20), FText);
    EXPECT_EQ(FBuffer->PickObjectAt(54, 40), nullptr);
}

TEST_F(GLHUDTextTest, SystemFontGlyphsLieWhereTheFaceDrawsThemInTheirCell)
{
    if (QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")) < 0)
        GTEST_SKIP() << "no Tahoma-compatible face";
    TGLWindowsBitmapFont font(nullptr);
    font.Font()->SetName(QStringLiteral("Tahoma"));
    font.Font()->SetHeight(-13);
    FText->SetBitmapFont(&font);
    FText->SetText(QStringLiteral("W"));
    FText->Position()->SetPoint(50, 15, 0);
    const QImage frame = Frame();
    FText->SetBitmapFont(nullptr);

    // The face's own W, drawn one pixel into its cell as the font does.
    QFont face(QStringLiteral("Tahoma"));
    face.setPixelSize(13);
    QImage cell(font.CharWidth(), font.CharHeight(), QImage::Format_RGB32);
    cell.fill(Qt::black);
    {
        QPainter painter(&cell);
        painter.setFont(face);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(1, 1 + QFontMetrics(face).ascent()), QStringLiteral("W"));
    }
    const QRect expected = InkBounds(cell, qRed);
    ASSERT_FALSE(expected.isEmpty());
    // The quad starts at the cell's second column and its first row.
    const QRect drawn = InkBounds(frame, qRed);
    EXPECT_NEAR(drawn.left(), 50 + expected.left() - 1, 1);
    EXPECT_NEAR(drawn.right(), 50 + expected.right() - 1, 1);
    EXPECT_NEAR(drawn.top(), 15 + expected.top(), 1);
    EXPECT_NEAR(drawn.bottom(), 15 + expected.bottom(), 1);
    EXPECT_GE(drawn.left(), 50);
    EXPECT_GE(drawn.top(), 15);
}

TEST(GLHUDText, DrawingLeavesMatricesAndEnableFlagsAsTheyWere)
{
    TGLTestContext& context = TGLTestContext::Use(64, 64);
    TGLCustomBitmapFont font(nullptr);
    MakeBlockFont(font);
    TGLHUDText text(nullptr);
    text.SetBitmapFont(&font);
    text.SetText(QStringLiteral("A"));
    text.Position()->SetPoint(4, 6, 0);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    const GLint modelViewDepth = Integer(GL_MODELVIEW_STACK_DEPTH);
    const GLint projectionDepth = Integer(GL_PROJECTION_STACK_DEPTH);

    TGLStateCache states;
    TRenderContextInfo info;
    info.GLStates = &states;
    info.Context = &context.RenderContext();
    info.ViewportWidth = 64;
    info.ViewportHeight = 64;
    info.RenderDPI = 96;
    text.RenderObject(info);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(Integer(GL_MODELVIEW_STACK_DEPTH), modelViewDepth);
    EXPECT_EQ(Integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_MODELVIEW);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);

    // Without a buffer the text stands over the identity: still in pixels.
    const QImage frame = context.Pixels();
    EXPECT_EQ(Row(frame, 10, 2, 13), "..########..");
    EXPECT_EQ(Column(frame, 6, 4, 17), "..##########..");
    text.SetBitmapFont(nullptr);
}

namespace
{
class TCountingListener : public TGLSceneListener
{
public:
    void SceneChanged(QObject*) override { ++FChanges; }
    int FChanges = 0;
};
} // namespace

TEST(GLHUDText, FontChangesRedrawItsTextsAndAGoneFontIsDropped)
{
    TGLScene scene(nullptr);
    TCountingListener listener;
    scene.AddBuffer(&listener);
    auto* text = new TGLHUDText(&scene);
    scene.InsertLayoutChild(text);
    auto font = std::make_unique<TGLWindowsBitmapFont>(nullptr);

    text->SetBitmapFont(font.get());
    EXPECT_EQ(font->UserCount(), 1);
    const int before = listener.FChanges;
    font->Font()->SetHeight(-20);
    EXPECT_GT(listener.FChanges, before);

    font.reset();
    EXPECT_EQ(text->BitmapFont(), nullptr);

    TGLWindowsBitmapFont other(nullptr);
    text->SetBitmapFont(&other);
    delete text;
    EXPECT_EQ(other.UserCount(), 0);
    scene.RemoveBuffer(&listener);
}

namespace
{
class TFontHost : public QObject, public TLayoutComponent
{
    Q_OBJECT
};
} // namespace

TEST(GLHUDText, LayoutSetsTheFontTheTextAndItsPlacement)
{
    RegisterGraphicsTypes();
    RegisterSceneClasses();
    RegisterFontClasses();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("FontHost.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({
      "class": "TFontHost",
      "components": [
        {"name": "GLWindowsBitmapFont1", "class": "TGLWindowsBitmapFont",
         "properties": [{"Font.Name": "Tahoma"}, {"Font.Height": -13}, {"Font.Color": "clRed"}]},
        {"name": "GLScene1", "class": "TGLScene", "children": [
          {"name": "GLHUDText1", "class": "TGLHUDText", "properties": [
            {"Position": [50, 15, 0]}, {"BitmapFont": "GLWindowsBitmapFont1"},
            {"Alignment": "taRightJustify"}, {"Layout": "tlCenter"},
            {"ModulateColor": [1, 0, 0, 1]}, {"Rotation": 30}]}
        ]}
      ]
    })");
    file.close();

    TFontHost host;
    TLayoutReader(&host, path).Read();
    auto* font = host.findChild<TGLWindowsBitmapFont*>(QStringLiteral("GLWindowsBitmapFont1"));
    auto* scene = host.findChild<TGLScene*>(QStringLiteral("GLScene1"));
    ASSERT_NE(font, nullptr);
    ASSERT_NE(scene, nullptr);
    auto* text = qobject_cast<TGLHUDText*>(scene->FindSceneObject(QStringLiteral("GLHUDText1")));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(font->Font()->Height(), -13);
    EXPECT_EQ(text->BitmapFont(), font);
    EXPECT_EQ(font->UserCount(), 1);
    EXPECT_EQ(text->Alignment(), BitmapFontTypes::taRightJustify);
    EXPECT_EQ(text->Layout(), BitmapFontTypes::tlCenter);
    EXPECT_EQ(text->ModulateColor()->Color(), (TColorVector{1, 0, 0, 1}));
    EXPECT_EQ(text->Rotation(), 30.0f);
    EXPECT_EQ(text->Position()->X(), 50.0f);
    text->SetBitmapFont(nullptr);
}

#include "GLHUDText_test.moc"
