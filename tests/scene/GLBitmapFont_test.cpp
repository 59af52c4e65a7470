#include "scene/GLBitmapFont.h"
#include "scene/GLStateCache.h"
#include "scene/RenderContextInfo.h"

#include "AssertionMessage.h"
#include "GLTestContext.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QOpenGLContext>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
const QString TahomaFile = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");

bool RegisterTahoma()
{
    static const bool registered = QFontDatabase::addApplicationFont(TahomaFile) >= 0;
    return registered;
}

// The face the fight's font asks for, measured the way the font must measure it.
QFontMetrics TahomaMetrics(int pixels)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    return QFontMetrics(font);
}

void UseTahoma(TGLWindowsBitmapFont& font, int height)
{
    font.Font()->SetName(QStringLiteral("Tahoma"));
    font.Font()->SetHeight(height);
}

int Advance(const QFontMetrics& metrics, char c)
{
    return metrics.horizontalAdvance(QLatin1Char(c));
}

// A user that ignores the font going away, as a faulty one would.
class TStubbornUser : public TGLBitmapFontUser
{
public:
    void BitmapFontChanged(TGLCustomBitmapFont*) override {}
    void BitmapFontDestroyed(TGLCustomBitmapFont*) override {}
};

// Draws once in the current context, which uploads the glyph texture.
void DrawString(TGLCustomBitmapFont& font, const QString& text)
{
    TGLStateCache states;
    TRenderContextInfo info;
    info.GLStates = &states;
    info.Context = &TGLTestContext::Use(64, 64).RenderContext();
    glPushAttrib(GL_ENABLE_BIT);
    font.RenderString(info, text, BitmapFontTypes::taLeftJustify, BitmapFontTypes::tlTop, {1, 1, 1, 1});
    glPopAttrib();
}
} // namespace

TEST(GLBitmapFont, RangeKeepsItsStartAtOrBeforeItsStopAndNamesItself)
{
    TBitmapFontRanges ranges(nullptr);
    TBitmapFontRange* const range = ranges.Add(32, 125);
    EXPECT_EQ(range->DisplayName(), QStringLiteral("ASCII [#32, #125] -> Glyphs [0, 93]"));

    range->SetStartGlyphIdx(-4);
    EXPECT_EQ(range->StartGlyphIdx(), 0);
    range->SetStartASCII(200);
    EXPECT_EQ(range->StopASCII(), 200);
    range->SetStopASCII(10);
    EXPECT_EQ(range->StartASCII(), 10);
    range->SetStopASCII(70000);
    EXPECT_EQ(range->StopASCII(), 0xFFFF);
    range->SetStartGlyphIdx(5);
    EXPECT_EQ(range->DisplayName(), QStringLiteral("ASCII [#10, #65535] -> Glyphs [5, 65530]"));
}

TEST(GLBitmapFont, FightFontPacksCodes32To125IntoTheSmallestFittingTexture)
{
    if (!RegisterTahoma())
        GTEST_SKIP() << "no Tahoma-compatible face at " << TahomaFile.toStdString();
    const QFontMetrics metrics = TahomaMetrics(13);
    TGLWindowsBitmapFont font(nullptr);
    ASSERT_EQ(font.Ranges()->Count(), 1);
    EXPECT_EQ(font.Ranges()->Items(0)->DisplayName(), QStringLiteral("ASCII [#32, #125] -> Glyphs [0, 93]"));
    UseTahoma(font, -13);
    font.PrepareGlyphs();

    const int charWidth = std::max({Advance(metrics, '_'), Advance(metrics, 'W'), Advance(metrics, 'M')}) + 2;
    EXPECT_EQ(font.CharWidth(), charWidth);
    EXPECT_EQ(font.CharHeight(), metrics.height() + 2);
    EXPECT_EQ(font.CharacterWidth('W'), Advance(metrics, 'W'));
    EXPECT_EQ(font.CharacterWidth(' '), Advance(metrics, ' '));
    EXPECT_EQ(font.CharacterWidth(31), 0);
    EXPECT_EQ(font.CharacterWidth(126), 0);
    EXPECT_EQ(font.CharacterWidth(233), 0);
    EXPECT_EQ(font.CharacterWidth(0x100), 0);

    // Each cell is the advance plus a pixel either side. Every picture smaller
    // than 128 x 128 has at most 512 pixels of rows, too few for the cells;
    // 128 x 128 has whole rows for 128 / CharHeight lines, each filled to
    // within one cell of its end, which is enough.
    int cells = 0;
    int widestCell = 0;
    for (int code = 32; code <= 125; ++code)
    {
        const int cell = metrics.horizontalAdvance(QChar(code)) + 2;
        cells += cell;
        widestCell = std::max(widestCell, cell);
    }
    const int rows = 128 / font.CharHeight();
    ASSERT_GT(cells, 512);
    ASSERT_LE(cells, rows * (128 - widestCell));
    EXPECT_EQ(font.Glyphs()->Width(), 128);
    EXPECT_EQ(font.Glyphs()->Height(), 128);

    // Rectangles lie inside the texture, a tenth of a pixel narrower than the
    // glyph, and never overlap.
    struct TPixelRect
    {
        float Left, Top, Right, Bottom;
    };
    std::vector<TPixelRect> placed;
    for (int code = 32; code <= 125; ++code)
    {
        const TGLCustomBitmapFont::TCharInfo rect = font.CharacterRect(code);
        const TPixelRect pixels{rect.Left * 128, (1 - rect.Top) * 128, rect.Right * 128, (1 - rect.Bottom) * 128};
        EXPECT_GE(pixels.Left, 1.0f) << code;
        EXPECT_LE(pixels.Right, 127.0f) << code;
        EXPECT_GE(pixels.Top, 0.0f) << code;
        EXPECT_LE(pixels.Bottom, 128.0f) << code;
        EXPECT_NEAR(pixels.Right - pixels.Left, font.CharacterWidth(code) - 0.1f, 1e-3f) << code;
        EXPECT_NEAR(pixels.Bottom - pixels.Top, font.CharHeight() - 0.1f, 1e-3f) << code;
        for (const TPixelRect& other : placed)
        {
            const bool apart = pixels.Right <= other.Left || other.Right <= pixels.Left || pixels.Bottom <= other.Top ||
                               other.Bottom <= pixels.Top;
            EXPECT_TRUE(apart) << code;
        }
        placed.push_back(pixels);
    }

    // The W's cell holds white ink drawn from one pixel in.
    const TGLCustomBitmapFont::TCharInfo w = font.CharacterRect('W');
    const int left = static_cast<int>(w.Left * 128 - 1.05f + 0.5f);
    const int top = static_cast<int>((1 - w.Top) * 128 - 0.05f + 0.5f);
    int brightest = 0;
    for (int y = top; y < top + font.CharHeight(); ++y)
        for (int x = left; x < left + font.CharacterWidth('W') + 2; ++x)
            brightest = std::max(brightest, qGray(font.Glyphs()->Image().pixel(x, y)));
    EXPECT_EQ(brightest, 255);
}

TEST(GLBitmapFont, GlyphsThatDoNotFitRaiseTheErrorAndLeaveASixPointFont)
{
    TGLWindowsBitmapFont font(nullptr);
    font.Font()->SetHeight(-300);
    try
    {
        font.PrepareGlyphs();
        FAIL() << "no error";
    }
    catch (const EGLBitmapFontError& error)
    {
        EXPECT_EQ(error.Message(),
                  QStringLiteral("Characters are too large or too many. Unable to create font texture."));
    }
    EXPECT_EQ(font.Font()->Size(), 6);
    // Six points are 8 pixels at 96 dpi; they fit.
    EXPECT_EQ(font.Font()->Height(), -8);
    font.PrepareGlyphs();
    EXPECT_GT(font.CharacterWidth('W'), 0);
}

TEST(GLBitmapFont, StringWidthAddsOneSpacingBetweenCharactersThatAdvance)
{
    if (!RegisterTahoma())
        GTEST_SKIP() << "no Tahoma-compatible face at " << TahomaFile.toStdString();
    const QFontMetrics metrics = TahomaMetrics(13);
    TGLWindowsBitmapFont font(nullptr);
    UseTahoma(font, -13);
    const int w = Advance(metrics, 'W');
    const int m = Advance(metrics, 'M');
    const int blank = Advance(metrics, ' ');

    EXPECT_EQ(font.CalcStringWidth(QString()), 0);
    EXPECT_EQ(font.CalcStringWidth(QStringLiteral("W")), w);
    EXPECT_EQ(font.CalcStringWidth(QStringLiteral("WM")), w + 1 + m);
    EXPECT_EQ(font.CalcStringWidth(QStringLiteral("W M")), w + 1 + blank + 1 + m);
    EXPECT_EQ(font.CalcStringWidth(QStringLiteral("  ")), blank + 1 + blank);
    // Codes the font lacks take no room.
    EXPECT_EQ(font.CalcStringWidth(QStringLiteral("W\u00E9M\u0100")), w + 1 + m);
    // Of several lines the widest counts; the line feed takes no room.
    EXPECT_EQ(font.CalcStringWidth(QStringLiteral("M\r\nWW")), w + 1 + w);
    font.SetHSpace(3);
    EXPECT_EQ(font.CalcStringWidth(QStringLiteral("WM")), w + 3 + m);
}

TEST(GLBitmapFont, PictureFontTakesItsGlyphsFromGridCells)
{
    TGLCustomBitmapFont font(nullptr);
    QImage picture(40, 32, QImage::Format_RGB32);
    picture.fill(Qt::white);
    font.Glyphs()->SetImage(picture);
    font.SetCharWidth(8);
    font.SetCharHeight(16);
    font.Ranges()->Add('A', 'F')->SetStartGlyphIdx(1);

    // Five columns of 8 pixels; 'F' is glyph 6: the second column of the
    // second row. The texture is 64 x 32.
    EXPECT_EQ(font.CharacterWidth('F'), 8);
    EXPECT_EQ(font.CharacterWidth('G'), 0);
    const TGLCustomBitmapFont::TCharInfo rect = font.CharacterRect('F');
    EXPECT_FLOAT_EQ(rect.Left, 8.0f / 64);
    EXPECT_FLOAT_EQ(rect.Right, 16.0f / 64);
    EXPECT_FLOAT_EQ(rect.Top, 16.0f / 32);
    EXPECT_FLOAT_EQ(rect.Bottom, 0.0f);
}

TEST(GLBitmapFont, GlyphTextureHoldsOnlyAlphaTakenFromTheGlyphsIntensity)
{
    TGLTestContext::Use(64, 64);
    TGLWindowsBitmapFont font(nullptr);
    DrawString(font, QStringLiteral("W"));
    ASSERT_NE(font.TextureHandle(), 0u);

    const QImage& picture = font.Glyphs()->Image();
    EXPECT_EQ(font.TextureWidth(), picture.width());
    EXPECT_EQ(font.TextureHeight(), picture.height());
    glBindTexture(GL_TEXTURE_2D, font.TextureHandle());
    GLint red = -1;
    GLint alpha = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &red);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
    EXPECT_EQ(red, 0);
    EXPECT_EQ(alpha, 8);

    // White glyphs on black: the alpha is the grey level; OpenGL rows run
    // from the picture's bottom up.
    std::vector<GLubyte> texels(static_cast<size_t>(picture.width() * picture.height()));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    int mismatches = 0;
    int lit = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
        {
            const int expected = qRed(picture.pixel(x, y));
            const int actual = texels[static_cast<size_t>((picture.height() - 1 - y) * picture.width() + x)];
            mismatches += expected != actual ? 1 : 0;
            lit += actual > 0 ? 1 : 0;
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(lit, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

TEST(GLBitmapFont, PictureSitsUnscaledAtTheTopLeftOfItsTextureWithIntensityRoundedDown)
{
    TGLTestContext::Use(64, 64);
    TGLCustomBitmapFont font(nullptr);
    // Six pixels wide (not a multiple of 4) and three high: the texture is
    // 8 x 4 with the picture copied pixel for pixel into its top-left corner.
    QImage picture(6, 3, QImage::Format_ARGB32);
    picture.fill(qRgba(30, 60, 90, 0));
    picture.setPixel(0, 0, qRgba(1, 1, 0, 255));
    picture.setPixel(5, 2, qRgba(255, 255, 254, 255));
    font.Glyphs()->SetImage(picture);
    font.SetGlyphsAlpha(tiaAlphaFromIntensity);
    font.SetCharWidth(6);
    font.SetCharHeight(3);
    font.Ranges()->Add('A', 'A');
    DrawString(font, QStringLiteral("A"));
    ASSERT_NE(font.TextureHandle(), 0u);
    EXPECT_EQ(font.TextureWidth(), 8);
    EXPECT_EQ(font.TextureHeight(), 4);

    std::vector<GLubyte> texels(8 * 4 * 4);
    glBindTexture(GL_TEXTURE_2D, font.TextureHandle());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    // Rows run bottom-up: picture row y is texture row 3 - y.
    const auto texel = [&](int x, int y) { return &texels[static_cast<size_t>(((3 - y) * 8 + x) * 4)]; };
    // (1 + 1 + 0) / 3 and (255 + 255 + 254) / 3 round down to 0 and 254.
    EXPECT_EQ(texel(0, 0)[0], 1);
    EXPECT_EQ(texel(0, 0)[3], 0);
    EXPECT_EQ(texel(5, 2)[2], 254);
    EXPECT_EQ(texel(5, 2)[3], 254);
    // The picture's own alpha is dropped: its colour alone decides.
    EXPECT_EQ(texel(3, 1)[0], 30);
    EXPECT_EQ(texel(3, 1)[3], 60);
    // Outside the picture the texture is black, so transparent here.
    EXPECT_EQ(texel(6, 0)[0], 0);
    EXPECT_EQ(texel(6, 0)[3], 0);
    EXPECT_EQ(texel(0, 3)[1], 0);
    EXPECT_EQ(texel(0, 3)[3], 0);
}

TEST(GLBitmapFont, UserRegisteredTwiceIsAnAssertionFailure)
{
    TGLWindowsBitmapFont font(nullptr);
    TStubbornUser user;
    font.RegisterUser(&user);
    EXPECT_EQ(AssertionMessage([&] { font.RegisterUser(&user); }), "Bitmap font user added twice");
    EXPECT_EQ(font.UserCount(), 1);
    font.UnRegisterUser(&user);
    EXPECT_EQ(font.UserCount(), 0);
}

TEST(GLBitmapFontDeathTest, FontDestroyedWhileAUserKeepsItStopsTheProgram)
{
    // The child process starts afresh: forking would copy Qt's threads' state.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TStubbornUser user;
    auto* const font = new TGLWindowsBitmapFont(nullptr);
    font->RegisterUser(&user);
    EXPECT_DEATH(delete font, "Assertion failed: Bitmap font destroyed while it still has users");
    font->UnRegisterUser(&user);
    delete font;
}
