#include "GLBitmapFont.h"

#include "ClassRegistry.h"
#include "GLHUDText.h"
#include "GLStateCache.h"
#include "LayoutReader.h"
#include "RenderContextInfo.h"

#include <QFontMetrics>
#include <QJsonArray>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{
constexpr int MaxCode = 0xFFFF;
constexpr int Blank = 32;
constexpr int CarriageReturn = 13;
constexpr std::array<int, 4> TextureSides{64, 128, 256, 512};

// Intensity is the plain average rounded down, as glyph coverage has always
// been read; every other mode is the texture module's.
void ApplyGlyphsAlpha(TRGBAImage& image, TGLTextureImageAlpha mode)
{
    if (mode != tiaAlphaFromIntensity)
    {
        GenerateAlpha(image, mode);
        return;
    }
    for (size_t i = 0; i < image.Data.size(); i += 4)
        image.Data[i + 3] = static_cast<std::uint8_t>((image.Data[i] + image.Data[i + 1] + image.Data[i + 2]) / 3);
}
} // namespace

// ------------------------------------------------------------------ ranges

TBitmapFontRange::TBitmapFontRange(QObject* owner) : QObject(owner) {}

void TBitmapFontRange::SetStartASCII(int value)
{
    value = std::clamp(value, 0, MaxCode);
    if (value == FStartASCII)
        return;
    FStartASCII = value;
    FStopASCII = std::max(FStopASCII, value);
    emit Changed();
}

void TBitmapFontRange::SetStopASCII(int value)
{
    value = std::clamp(value, 0, MaxCode);
    if (value == FStopASCII)
        return;
    FStopASCII = value;
    FStartASCII = std::min(FStartASCII, value);
    emit Changed();
}

void TBitmapFontRange::SetStartGlyphIdx(int value)
{
    value = std::max(value, 0);
    if (value == FStartGlyphIdx)
        return;
    FStartGlyphIdx = value;
    emit Changed();
}

QString TBitmapFontRange::DisplayName() const
{
    return QString::asprintf("ASCII [#%d, #%d] -> Glyphs [%d, %d]", FStartASCII, FStopASCII, FStartGlyphIdx,
                             StopGlyphIdx());
}

TBitmapFontRanges::TBitmapFontRanges(QObject* owner) : QObject(owner) {}

TBitmapFontRange* TBitmapFontRanges::AddItem()
{
    auto* const range = new TBitmapFontRange(this);
    connect(range, &TBitmapFontRange::Changed, this, &TBitmapFontRanges::Changed);
    FItems.push_back(range);
    return range;
}

TBitmapFontRange* TBitmapFontRanges::Add(int startASCII, int stopASCII)
{
    TBitmapFontRange* const range = AddItem();
    const QSignalBlocker blocker(range);
    range->SetStopASCII(stopASCII);
    range->SetStartASCII(startASCII);
    emit Changed();
    return range;
}

void TBitmapFontRanges::Clear()
{
    if (FItems.empty())
        return;
    for (TBitmapFontRange* range : FItems)
        delete range;
    FItems.clear();
    emit Changed();
}

void TBitmapFontRanges::ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader)
{
    if (!value.isArray())
        reader.Fail(QStringLiteral("needs a list of ranges"));
    Clear();
    for (const QJsonValue& item : value.toArray())
        reader.ApplyProperties(AddItem(), item);
    emit Changed();
}

// -------------------------------------------------------------- custom font

TGLCustomBitmapFont::TGLCustomBitmapFont(QObject* AOwner)
    : TComponent(AOwner), FRanges(new TBitmapFontRanges(this)), FGlyphs(new TPicture(this))
{
    connect(FRanges, &TBitmapFontRanges::Changed, this, [this] { InvalidateGlyphs(); });
    connect(FGlyphs, &TPicture::Changed, this,
            [this]
            {
                // Fonts that draw their own glyphs set the picture while building.
                if (!FBuilding)
                    InvalidateGlyphs();
            });
}

TGLCustomBitmapFont::~TGLCustomBitmapFont()
{
    MarkDestroying();
    // Users drop their reference, which takes them off the list; one that
    // stays would draw with a deleted font.
    const std::vector<TGLBitmapFontUser*> users = FUsers;
    for (TGLBitmapFontUser* user : users)
        user->BitmapFontDestroyed(this);
    if (!FUsers.empty())
        AbortOnFailedAssertion(QStringLiteral("Bitmap font destroyed while it still has users"));
    ReleaseTexture();
}

void TGLCustomBitmapFont::SetMetric(int& field, int value)
{
    if (value == field)
        return;
    field = value;
    InvalidateGlyphs();
}

void TGLCustomBitmapFont::SetMagFilter(TGLMagFilter value)
{
    if (value == FMagFilter)
        return;
    FMagFilter = value;
    InvalidateTexture();
    NotifyUsers();
}

void TGLCustomBitmapFont::SetMinFilter(TGLMinFilter value)
{
    if (value == FMinFilter)
        return;
    FMinFilter = value;
    InvalidateTexture();
    NotifyUsers();
}

void TGLCustomBitmapFont::SetGlyphsAlpha(TGLTextureImageAlpha value)
{
    if (value == FGlyphsAlpha)
        return;
    FGlyphsAlpha = value;
    InvalidateTexture();
    NotifyUsers();
}

void TGLCustomBitmapFont::SetCharSize(int width, int height)
{
    FCharWidth = width;
    FCharHeight = height;
}

void TGLCustomBitmapFont::ResetTables()
{
    FCharWidths.fill(0);
    FCharRects.fill(TCharInfo{});
}

void TGLCustomBitmapFont::NotifyUsers()
{
    for (TGLBitmapFontUser* user : FUsers)
        user->BitmapFontChanged(this);
}

void TGLCustomBitmapFont::InvalidateGlyphs()
{
    ResetTables();
    InvalidateTexture();
    FGlyphsDirty = true;
    NotifyUsers();
}

void TGLCustomBitmapFont::InvalidateTexture()
{
    ++FTextureRevision;
}

void TGLCustomBitmapFont::ReleaseTexture()
{
    FTextureNames.ReleaseAll();
    InvalidateTexture();
}

void TGLCustomBitmapFont::PrepareGlyphs()
{
    if (!FGlyphsDirty || FBuilding)
        return;
    FBuilding = true;
    FGlyphsDirty = false;
    try
    {
        BuildGlyphs();
    }
    catch (...)
    {
        FBuilding = false;
        throw;
    }
    FBuilding = false;
    InvalidateTexture();
}

void TGLCustomBitmapFont::BuildGlyphs()
{
    ResetTables();
    const QImage& picture = FGlyphs->Image();
    if (picture.isNull() || FCharWidth <= 0 || FCharHeight <= 0)
        return;
    const float textureWidth = static_cast<float>(NextPowerOfTwo(picture.width()));
    const float textureHeight = static_cast<float>(NextPowerOfTwo(picture.height()));
    const int cellWidth = FCharWidth + FGlyphsIntervalX;
    const int cellHeight = FCharHeight + FGlyphsIntervalY;
    const int columns = std::max(1, (picture.width() + FGlyphsIntervalX) / std::max(1, cellWidth));
    for (int r = 0; r < FRanges->Count(); ++r)
    {
        const TBitmapFontRange* const range = FRanges->Items(r);
        for (int code = range->StartASCII(); code <= std::min(range->StopASCII(), CodeCount - 1); ++code)
        {
            const int glyph = range->StartGlyphIdx() + code - range->StartASCII();
            const float x = static_cast<float>((glyph % columns) * cellWidth);
            const float y = static_cast<float>((glyph / columns) * cellHeight);
            FCharWidths[static_cast<size_t>(code)] = FCharWidth;
            FCharRects[static_cast<size_t>(code)] = {x / textureWidth, (textureHeight - y) / textureHeight,
                                                     (x + FCharWidth) / textureWidth,
                                                     (textureHeight - (y + FCharHeight)) / textureHeight};
        }
    }
}

int TGLCustomBitmapFont::CharacterWidth(int code)
{
    PrepareGlyphs();
    return code >= 0 && code < CodeCount ? FCharWidths[static_cast<size_t>(code)] : 0;
}

TGLCustomBitmapFont::TCharInfo TGLCustomBitmapFont::CharacterRect(int code)
{
    PrepareGlyphs();
    return code >= 0 && code < CodeCount ? FCharRects[static_cast<size_t>(code)] : TCharInfo{};
}

// Counts exactly what drawing advances by, so that a right-justified line
// ends at its anchor even when it holds codes that draw nothing (the line
// feed after a carriage return).
int TGLCustomBitmapFont::LineWidth(const QString& text, qsizetype from)
{
    int width = 0;
    bool advanced = false;
    for (qsizetype i = from; i < text.size(); ++i)
    {
        const int code = text.at(i).unicode();
        if (code == CarriageReturn)
            break;
        if (code == Blank)
            width += FCharWidths[Blank] + FHSpaceFix + FHSpace;
        else if (code > Blank && code < CodeCount && FCharWidths[static_cast<size_t>(code)] > 0)
            width += FCharWidths[static_cast<size_t>(code)] + FHSpace;
        else
            continue;
        advanced = true;
    }
    return advanced ? width - FHSpace : 0;
}

int TGLCustomBitmapFont::CalcStringWidth(const QString& text)
{
    PrepareGlyphs();
    int width = 0;
    for (qsizetype from = 0; from <= text.size();)
    {
        width = std::max(width, LineWidth(text, from));
        const qsizetype next = text.indexOf(QChar(CarriageReturn), from);
        if (next < 0)
            break;
        from = next + 1;
    }
    return width;
}

int TGLCustomBitmapFont::AlignmentOffset(const QString& text, qsizetype from, BitmapFontTypes::TAlignment alignment)
{
    switch (alignment)
    {
    case BitmapFontTypes::taLeftJustify:
        return 0;
    case BitmapFontTypes::taRightJustify:
        return -LineWidth(text, from);
    case BitmapFontTypes::taCenter:
        return static_cast<int>(std::lround(-LineWidth(text, from) / 2.0));
    }
    return 0;
}

TRGBAImage TGLCustomBitmapFont::GlyphsToRGBA(int width, int height) const
{
    // A 24-bit copy, the picture's own alpha dropped, at the top-left of the
    // power-of-two texture and unscaled, so that the glyph rectangles keep
    // their texels; the rest is black.
    const QImage canvas = FGlyphs->Image().convertToFormat(QImage::Format_RGB32).copy(0, 0, width, height);
    TRGBAImage image = PictureRowsToRGBA(canvas);
    ApplyGlyphsAlpha(image, FGlyphsAlpha);
    return image;
}

GLuint TGLCustomBitmapFont::PrepareTexture(TRenderContextInfo& info)
{
    if (info.Context == nullptr)
        throw EInvalidOperation(QStringLiteral("A font is drawn only in a rendering context"));
    TGLContextNames::TEntry& entry = FTextureNames.Acquire(*info.Context);
    if (entry.Revision == FTextureRevision)
        return entry.Name;
    // Bound through the cache too, so that it keeps telling the truth even if
    // the upload fails.
    if (info.GLStates != nullptr)
        info.GLStates->BindTexture(0, GL_TEXTURE_2D, entry.Name);
    glBindTexture(GL_TEXTURE_2D, entry.Name);
    const unsigned revision = FTextureRevision;
    PrepareImageUnpacking();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MinFilterToGL(FMinFilter)));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(MagFilterToGL(FMagFilter)));
    const bool mipmaps = IsMipmapFilter(FMinFilter);
    if (!mipmaps)
        StopMipmapGeneration();
    const TRGBAImage image = GlyphsToRGBA(NextPowerOfTwo(FGlyphs->Width()), NextPowerOfTwo(FGlyphs->Height()));
    const QSize size = UploadRGBAImage(image, TextureFormat(), mipmaps, MaxTextureSize());
    FTextureWidth = size.width();
    FTextureHeight = size.height();
    entry.Revision = revision;
    return entry.Name;
}

void TGLCustomBitmapFont::RenderString(TRenderContextInfo& info, const QString& text,
                                       BitmapFontTypes::TAlignment alignment, BitmapFontTypes::TTextLayout layout,
                                       const TColorVector& color, const TVector* position, bool reverseY)
{
    PrepareGlyphs();
    if (FGlyphs->Width() == 0 || text.isEmpty())
        return;
    const GLuint texture = PrepareTexture(info);

    const int lineHeight = FCharHeight + FVSpace;
    const int lines = 1 + static_cast<int>(text.count(QChar(CarriageReturn)));
    const int blockHeight = lines * lineHeight - FVSpace;
    float x = static_cast<float>(AlignmentOffset(text, 0, alignment));
    float y = layout == BitmapFontTypes::tlBottom   ? static_cast<float>(blockHeight)
              : layout == BitmapFontTypes::tlCenter ? static_cast<float>(std::lround(blockHeight / 2.0))
                                                    : 0.0f;
    float z = 0;
    if (position != nullptr)
    {
        x += position->X;
        y += position->Y;
        z = position->Z;
    }
    const float lineStart = position != nullptr ? position->X : 0.0f;
    const float lineStep = static_cast<float>(-lineHeight);
    const float glyphDrop = static_cast<float>(reverseY ? FCharHeight : -FCharHeight);
    float bottom = y + glyphDrop;
    const float spaceAdvance = static_cast<float>(FCharWidths[Blank] + FHSpaceFix + FHSpace);

    // Texturing, lighting and blending change behind the state cache: callers
    // save the enable flags around the string. The binding goes through the
    // cache so that it keeps telling the truth.
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (info.GLStates != nullptr)
        info.GLStates->BindTexture(0, GL_TEXTURE_2D, texture);
    else
        glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glPushAttrib(GL_CURRENT_BIT);
    glColor4fv(color.data());
    glBegin(GL_QUADS);
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        const int code = text.at(i).unicode();
        if (code == CarriageReturn)
        {
            x = lineStart + static_cast<float>(AlignmentOffset(text, i + 1, alignment));
            y += lineStep;
            bottom = y + glyphDrop;
        }
        else if (code == Blank)
            x += spaceAdvance;
        else if (code > Blank && code < CodeCount && FCharWidths[static_cast<size_t>(code)] > 0)
        {
            const float w = static_cast<float>(FCharWidths[static_cast<size_t>(code)]);
            const TCharInfo& rect = FCharRects[static_cast<size_t>(code)];
            glTexCoord2f(rect.Left, rect.Top);
            glVertex3f(x, y, z);
            glTexCoord2f(rect.Left, rect.Bottom);
            glVertex3f(x, bottom, z);
            glTexCoord2f(rect.Right, rect.Bottom);
            glVertex3f(x + w, bottom, z);
            glTexCoord2f(rect.Right, rect.Top);
            glVertex3f(x + w, y, z);
            x += w + static_cast<float>(FHSpace);
        }
    }
    glEnd();
    glPopAttrib();
}

void TGLCustomBitmapFont::RegisterUser(TGLBitmapFontUser* user)
{
    if (std::find(FUsers.begin(), FUsers.end(), user) != FUsers.end())
        throw EAssertionFailed(QStringLiteral("Bitmap font user added twice"));
    FUsers.push_back(user);
}

void TGLCustomBitmapFont::UnRegisterUser(TGLBitmapFontUser* user)
{
    FUsers.erase(std::remove(FUsers.begin(), FUsers.end(), user), FUsers.end());
}

// ------------------------------------------------------------- system font

TGLWindowsBitmapFont::TGLWindowsBitmapFont(QObject* AOwner) : TGLCustomBitmapFont(AOwner), FFont(new TFont(this))
{
    SetGlyphsAlpha(tiaAlphaFromIntensity);
    Ranges()->Add(32, 125);
    connect(FFont, &TFont::Changed, this, [this] { InvalidateGlyphs(); });
}

int TGLWindowsBitmapFont::PackGlyphs(int width, int height, QPainter* painter)
{
    const int charHeight = CharHeight();
    // Even the first row must fit in the picture.
    if (height < charHeight)
        return 0;
    const int ascent = painter != nullptr ? painter->fontMetrics().ascent() : 0;
    int x = 0;
    int y = 0;
    int count = 0;
    for (int code = 0; code < CodeCount; ++code)
    {
        const int w = CharWidthEntry(code);
        if (w <= 0)
            continue;
        int x2 = x + w + 2;
        if (painter != nullptr)
        {
            // The rectangle keeps a twentieth of a texel off each edge of the
            // cell, so that linear filtering never reaches the neighbours.
            const float fw = static_cast<float>(width);
            const float fh = static_cast<float>(height);
            SetCharRect(code, {(static_cast<float>(x) + 1.05f) / fw, (fh - (static_cast<float>(y) + 0.05f)) / fh,
                               (static_cast<float>(x2) - 1.05f) / fw,
                               (fh - (static_cast<float>(y + charHeight) - 0.05f)) / fh});
            painter->setClipRect(QRect(x, y, x2 - x, charHeight));
            painter->drawText(QPoint(x + 1, y + 1 + ascent), QString(QChar(code)) + QLatin1Char(' '));
        }
        if (code < CodeCount - 1 && width < x2 + CharWidthEntry(code + 1) + 2)
        {
            y += charHeight;
            if (height < y + charHeight)
                break;
            x2 = 0;
        }
        ++count;
        x = x2;
    }
    return count;
}

void TGLWindowsBitmapFont::BuildGlyphs()
{
    ResetTables();
    NotifyUsers();
    QFont font = FFont->ToQFont();
    // Coverage is read back as intensity, so colour fringes would only blur it.
    font.setStyleStrategy(QFont::NoSubpixelAntialias);
    const QFontMetrics metrics(font);

    int charWidth = std::max({metrics.horizontalAdvance(QLatin1Char('_')), metrics.horizontalAdvance(QLatin1Char('W')),
                              metrics.horizontalAdvance(QLatin1Char('M'))}) +
                    2;
    const int charHeight = metrics.size(Qt::TextSingleLine, QStringLiteral("\"_pI|,")).height() + 2;
    int fix = 0;
    if (FFont->Style().testFlag(fsItalic))
    {
        fix = -(charWidth / 3);
        charWidth += charWidth / 3;
    }
    SetHSpaceFix(fix);
    SetCharSize(charWidth, charHeight);

    for (int r = 0; r < Ranges()->Count(); ++r)
    {
        const TBitmapFontRange* const range = Ranges()->Items(r);
        for (int code = range->StartASCII(); code <= std::min(range->StopASCII(), CodeCount - 1); ++code)
            SetCharWidthEntry(code, metrics.horizontalAdvance(QChar(code)) - fix);
    }
    // Codes beyond the tables, and codes given in two ranges, are counted once.
    int total = 0;
    for (int code = 0; code < CodeCount; ++code)
        total += CharWidthEntry(code) > 0 ? 1 : 0;

    int bestWidth = 0;
    int bestHeight = 0;
    for (const int height : TextureSides)
        for (const int width : TextureSides)
        {
            if (PackGlyphs(width, height, nullptr) != total)
                continue;
            const int area = width * height;
            const int bestArea = bestWidth * bestHeight;
            if (bestWidth == 0 || area < bestArea ||
                (area == bestArea && std::abs(width - height) < std::abs(bestWidth - bestHeight)))
            {
                bestWidth = width;
                bestHeight = height;
            }
        }
    if (bestWidth == 0)
    {
        // A small face for the next attempt.
        FFont->SetSize(6);
        throw EGLBitmapFontError(
            QStringLiteral("Characters are too large or too many. Unable to create font texture."));
    }

    QImage picture(bestWidth, bestHeight, QImage::Format_RGB32);
    picture.fill(Qt::black);
    {
        QPainter painter(&picture);
        painter.setFont(font);
        painter.setPen(Qt::white);
        PackGlyphs(bestWidth, bestHeight, &painter);
    }
    Glyphs()->SetImage(picture);
}

void RegisterFontClasses()
{
    TClassRegistry::RegisterClass<TGLCustomBitmapFont>();
    TClassRegistry::RegisterClass<TGLWindowsBitmapFont>();
    TClassRegistry::RegisterClass<TGLHUDText>();
}
