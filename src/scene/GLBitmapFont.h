#pragma once

#include "Component.h"
#include "Exceptions.h"
#include "GLColor.h"
#include "GLRenderContext.h"
#include "GLTexture.h"
#include "Graphics.h"

#include <GL/gl.h>

#include <QImage>
#include <QObject>
#include <QString>

#include <array>
#include <vector>

struct TRenderContextInfo;
struct TVector;

// Enumerations of the texts drawn with bitmap fonts, named as layouts store
// them. The glyph texture's filters and alpha modes are the texture module's.
namespace BitmapFontTypes
{
Q_NAMESPACE

enum TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter,
};
Q_ENUM_NS(TAlignment)

enum TTextLayout
{
    tlTop,
    tlCenter,
    tlBottom,
};
Q_ENUM_NS(TTextLayout)

} // namespace BitmapFontTypes

class TGLCustomBitmapFont;

// One run of character codes and the glyph index its first code maps to.
class TBitmapFontRange : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int StartASCII READ StartASCII WRITE SetStartASCII)
    Q_PROPERTY(int StopASCII READ StopASCII WRITE SetStopASCII)
    Q_PROPERTY(int StartGlyphIdx READ StartGlyphIdx WRITE SetStartGlyphIdx)

public:
    explicit TBitmapFontRange(QObject* owner);

    int StartASCII() const { return FStartASCII; }
    // Codes are 16-bit; a start beyond the stop moves the stop along.
    void SetStartASCII(int value);
    int StopASCII() const { return FStopASCII; }
    // A stop before the start moves the start along.
    void SetStopASCII(int value);
    int StartGlyphIdx() const { return FStartGlyphIdx; }
    void SetStartGlyphIdx(int value);
    int StopGlyphIdx() const { return FStartGlyphIdx + FStopASCII - FStartASCII; }
    QString DisplayName() const;

signals:
    void Changed();

private:
    int FStartASCII = 0;
    int FStopASCII = 0;
    int FStartGlyphIdx = 0;
};

// The ranges of a font. In a layout it is stored whole, as a list of
// property lists, one per range.
class TBitmapFontRanges : public QObject, public TLayoutValue
{
    Q_OBJECT

public:
    explicit TBitmapFontRanges(QObject* owner);

    int Count() const { return static_cast<int>(FItems.size()); }
    TBitmapFontRange* Items(int index) const { return FItems.at(static_cast<size_t>(index)); }
    TBitmapFontRange* Add(int startASCII, int stopASCII);
    void Clear();

    void ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader) override;

signals:
    void Changed();

private:
    TBitmapFontRange* AddItem();

    std::vector<TBitmapFontRange*> FItems;
};

// What a font tells the objects that draw with it.
class TGLBitmapFontUser
{
public:
    virtual ~TGLBitmapFontUser() = default;
    // Glyphs or metrics changed: the user must be drawn again.
    virtual void BitmapFontChanged(TGLCustomBitmapFont* font) = 0;
    // The font is going away: the user must drop its reference.
    virtual void BitmapFontDestroyed(TGLCustomBitmapFont* font) = 0;
};

// A font whose glyphs sit in one texture. Strings are drawn as a row of
// textured quads, one unit per pixel, y upwards. This base takes its glyphs
// from the Glyphs picture, laid out as a grid of CharWidth x CharHeight cells.
class TGLCustomBitmapFont : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(TBitmapFontRanges* Ranges READ Ranges)
    Q_PROPERTY(TPicture* Glyphs READ Glyphs)
    Q_PROPERTY(int CharWidth READ CharWidth WRITE SetCharWidth)
    Q_PROPERTY(int CharHeight READ CharHeight WRITE SetCharHeight)
    Q_PROPERTY(int HSpace READ HSpace WRITE SetHSpace)
    Q_PROPERTY(int VSpace READ VSpace WRITE SetVSpace)
    Q_PROPERTY(int GlyphsIntervalX READ GlyphsIntervalX WRITE SetGlyphsIntervalX)
    Q_PROPERTY(int GlyphsIntervalY READ GlyphsIntervalY WRITE SetGlyphsIntervalY)
    Q_PROPERTY(TextureTypes::TGLMagFilter MagFilter READ MagFilter WRITE SetMagFilter)
    Q_PROPERTY(TextureTypes::TGLMinFilter MinFilter READ MinFilter WRITE SetMinFilter)
    Q_PROPERTY(TextureTypes::TGLTextureImageAlpha GlyphsAlpha READ GlyphsAlpha WRITE SetGlyphsAlpha)

public:
    static constexpr int CodeCount = 256;

    // Texture coordinates of a glyph: left u, top v, right u, bottom v.
    struct TCharInfo
    {
        float Left = 0;
        float Top = 0;
        float Right = 0;
        float Bottom = 0;
    };

    explicit TGLCustomBitmapFont(QObject* AOwner);
    // Tells every user to drop the font; aborts the program when one keeps it.
    ~TGLCustomBitmapFont() override;

    TBitmapFontRanges* Ranges() const { return FRanges; }
    TPicture* Glyphs() const { return FGlyphs; }
    int CharWidth() const { return FCharWidth; }
    void SetCharWidth(int value) { SetMetric(FCharWidth, value); }
    int CharHeight() const { return FCharHeight; }
    void SetCharHeight(int value) { SetMetric(FCharHeight, value); }
    int HSpace() const { return FHSpace; }
    void SetHSpace(int value) { SetMetric(FHSpace, value); }
    int VSpace() const { return FVSpace; }
    void SetVSpace(int value) { SetMetric(FVSpace, value); }
    int GlyphsIntervalX() const { return FGlyphsIntervalX; }
    void SetGlyphsIntervalX(int value) { SetMetric(FGlyphsIntervalX, value); }
    int GlyphsIntervalY() const { return FGlyphsIntervalY; }
    void SetGlyphsIntervalY(int value) { SetMetric(FGlyphsIntervalY, value); }
    TextureTypes::TGLMagFilter MagFilter() const { return FMagFilter; }
    void SetMagFilter(TextureTypes::TGLMagFilter value);
    TextureTypes::TGLMinFilter MinFilter() const { return FMinFilter; }
    void SetMinFilter(TextureTypes::TGLMinFilter value);
    TextureTypes::TGLTextureImageAlpha GlyphsAlpha() const { return FGlyphsAlpha; }
    void SetGlyphsAlpha(TextureTypes::TGLTextureImageAlpha value);
    // 0, or negative for italic faces, whose glyphs overlap their neighbours.
    int HSpaceFix() const { return FHSpaceFix; }

    // Builds the glyph picture and tables now if a change left them stale.
    void PrepareGlyphs();
    // Width in pixels of a character; 0 for codes the font does not hold.
    int CharacterWidth(int code);
    TCharInfo CharacterRect(int code);
    // Width in pixels of a string: of its widest line when it holds carriage
    // returns.
    int CalcStringWidth(const QString& text);

    // Draws the string at the current model-view origin in colour `color`;
    // carriage returns start new lines, other control codes are ignored.
    void RenderString(TRenderContextInfo& info, const QString& text, BitmapFontTypes::TAlignment alignment,
                      BitmapFontTypes::TTextLayout layout, const TColorVector& color, const TVector* position = nullptr,
                      bool reverseY = false);

    // A user registered twice is a programming error: EAssertionFailed.
    void RegisterUser(TGLBitmapFontUser* user);
    void UnRegisterUser(TGLBitmapFontUser* user);
    int UserCount() const { return static_cast<int>(FUsers.size()); }

    // The glyph texture in the context current now, 0 until the first draw
    // there; its size in pixels.
    GLuint TextureHandle() const { return FTextureNames.CurrentName(); }
    int TextureWidth() const { return FTextureWidth; }
    int TextureHeight() const { return FTextureHeight; }
    // Drops the OpenGL texture, so that the next draw uploads the glyphs again.
    void InvalidateTexture();

protected:
    // Fills the width and rectangle tables (and, for fonts that draw their own
    // glyphs, the Glyphs picture).
    virtual void BuildGlyphs();
    // The internal format the glyph texture is uploaded with.
    virtual GLint TextureFormat() const { return GL_RGBA; }
    // Clears the tables, releases the texture and tells the users; the
    // glyphs are built again before they are next needed.
    void InvalidateGlyphs();
    void SetHSpaceFix(int value) { FHSpaceFix = value; }
    void SetCharSize(int width, int height);
    void SetCharWidthEntry(int code, int width) { FCharWidths[static_cast<size_t>(code)] = width; }
    void SetCharRect(int code, const TCharInfo& rect) { FCharRects[static_cast<size_t>(code)] = rect; }
    int CharWidthEntry(int code) const { return FCharWidths[static_cast<size_t>(code)]; }
    void ResetTables();
    void NotifyUsers();

private:
    void SetMetric(int& field, int value);
    // Creates the texture in the pass's context if needed and uploads the
    // glyphs when they changed since they were last uploaded there.
    GLuint PrepareTexture(TRenderContextInfo& info);
    TRGBAImage GlyphsToRGBA(int width, int height) const;
    int LineWidth(const QString& text, qsizetype from);
    int AlignmentOffset(const QString& text, qsizetype from, BitmapFontTypes::TAlignment alignment);
    void ReleaseTexture();

    TBitmapFontRanges* const FRanges;
    TPicture* const FGlyphs;
    int FCharWidth = 16;
    int FCharHeight = 16;
    int FHSpace = 1;
    int FVSpace = 1;
    int FGlyphsIntervalX = 0;
    int FGlyphsIntervalY = 0;
    int FHSpaceFix = 0;
    TextureTypes::TGLMagFilter FMagFilter = TextureTypes::maLinear;
    TextureTypes::TGLMinFilter FMinFilter = TextureTypes::miLinear;
    TextureTypes::TGLTextureImageAlpha FGlyphsAlpha = TextureTypes::tiaDefault;
    std::array<int, CodeCount> FCharWidths{};
    std::array<TCharInfo, CodeCount> FCharRects{};
    bool FGlyphsDirty = true;
    bool FBuilding = false;
    TGLContextNames FTextureNames{nkTexture};
    // Counts the changes of the glyph texture; each context uploads once
    // after them.
    unsigned FTextureRevision = 1;
    int FTextureWidth = 0;
    int FTextureHeight = 0;
    std::vector<TGLBitmapFontUser*> FUsers;
};

// A bitmap font whose glyphs are drawn from a system font, all in one
// alpha-only texture of at most 512 x 512 pixels.
class TGLWindowsBitmapFont : public TGLCustomBitmapFont
{
    Q_OBJECT
    Q_PROPERTY(TFont* Font READ Font)

public:
    static constexpr int MaxTextureSize = 512;

    explicit TGLWindowsBitmapFont(QObject* AOwner);

    TFont* Font() const { return FFont; }

protected:
    void BuildGlyphs() override;
    GLint TextureFormat() const override { return GL_ALPHA; }

private:
    // Places the glyphs of codes 0 to 255 row by row into a width x height
    // picture, drawing them (and recording their rectangles) when `painter`
    // is given; answers how many were placed.
    int PackGlyphs(int width, int height, class QPainter* painter);

    TFont* const FFont;
};

// Registers the font and screen-text classes by name.
void RegisterFontClasses();
