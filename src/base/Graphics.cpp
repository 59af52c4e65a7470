#include "Graphics.h"

#include "LayoutReader.h"

#include <QJsonValue>

#include <array>
#include <cmath>
#include <utility>

namespace
{
struct TNamedColor
{
    const char* Name;
    TColor Color;
};

constexpr std::array<TNamedColor, 43> NamedColors{{
    {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clOlive", clOlive},
    {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal}, {"clGray", clGray},
    {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime}, {"clYellow", clYellow},
    {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua}, {"clWhite", clWhite},
    {"clNone", clNone}, {"clDefault", clDefault},
    {"clScrollBar", clScrollBar}, {"clBackground", clBackground}, {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption}, {"clMenu", clMenu}, {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame}, {"clMenuText", clMenuText}, {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText}, {"clActiveBorder", clActiveBorder}, {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace}, {"clHighlight", clHighlight}, {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace}, {"clBtnShadow", clBtnShadow}, {"clGrayText", clGrayText},
    {"clBtnText", clBtnText}, {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight}, {"cl3DDkShadow", cl3DDkShadow}, {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText}, {"clInfoBk", clInfoBk},
}};

// The desktop's classic defaults for the system colour indices 0 to 24.
constexpr std::array<std::uint32_t, 25> SystemColors{
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000,
    0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D,
    0x000000, 0x434E54, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xFFFFE1,
};

constexpr double PointsPerPixel = 72.0 / 96.0;
} // namespace

QString ColorToString(TColor color)
{
    for (const TNamedColor& named : NamedColors)
        if (named.Color == color)
            return QString::fromLatin1(named.Name);
    return QString();
}

std::optional<TColor> StringToColor(const QString& text)
{
    for (const TNamedColor& named : NamedColors)
        if (text == QLatin1String(named.Name))
            return named.Color;
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok)
        return TColor{number};
    return std::nullopt;
}

QColor ColorToRGB(TColor color)
{
    std::uint32_t value = static_cast<std::uint32_t>(color.Value);
    if ((value & 0xFF000000u) == 0xFF000000u)
    {
        const std::uint32_t index = value & 0xFFu;
        if (index >= SystemColors.size())
            return QColor(0, 0, 0);
        const std::uint32_t rgb = SystemColors[index];
        return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    if (value == static_cast<std::uint32_t>(clNone.Value) || value == static_cast<std::uint32_t>(clDefault.Value))
        return QColor(0, 0, 0);
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

TFont::TFont(QObject* owner)
    : QObject(owner)
{
}

void TFont::SetName(const QString& value)
{
    if (value == FName)
        return;
    FName = value;
    emit Changed();
}

void TFont::SetHeight(int value)
{
    if (value == FHeight)
        return;
    FHeight = value;
    emit Changed();
}

int TFont::Size() const
{
    return -static_cast<int>(std::lround(FHeight * PointsPerPixel));
}

void TFont::SetSize(int value)
{
    SetHeight(-static_cast<int>(std::lround(value / PointsPerPixel)));
}

void TFont::SetColor(TColor value)
{
    if (value == FColor)
        return;
    FColor = value;
    emit Changed();
}

void TFont::SetCharset(TFontCharset value)
{
    if (value == FCharset)
        return;
    FCharset = value;
    emit Changed();
}

void TFont::SetStyle(TFontStyles value)
{
    if (value == FStyle)
        return;
    FStyle = value;
    emit Changed();
}

QFont TFont::ToQFont() const
{
    QFont font(FName);
    // A cell height includes the internal leading, which faces keep near a
    // fifth of the character height.
    const int pixels = FHeight < 0 ? -FHeight : std::max(1, static_cast<int>(std::lround(FHeight * 0.8)));
    font.setPixelSize(std::max(1, pixels));
    font.setBold(FStyle.testFlag(fsBold));
    font.setItalic(FStyle.testFlag(fsItalic));
    font.setUnderline(FStyle.testFlag(fsUnderline));
    font.setStrikeOut(FStyle.testFlag(fsStrikeOut));
    return font;
}

TPicture::TPicture(QObject* owner)
    : QObject(owner)
{
}

void TPicture::SetImage(const QImage& image)
{
    FImage = image;
    emit Changed();
}

void TPicture::ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader)
{
    if (value.isNull())
    {
        SetImage(QImage());
        return;
    }
    if (!value.isString())
        reader.Fail(QStringLiteral("needs the name of an image file"));
    const QString path = reader.SiblingPath(value.toString());
    QImage image;
    if (!image.load(path))
        reader.Fail(QStringLiteral("cannot read the picture \"%1\"").arg(value.toString()));
    SetImage(image);
}

void RegisterGraphicsTypes()
{
    TLayoutReader::RegisterConverter(QMetaType::fromType<TColor>(), [](const QJsonValue& value) -> std::optional<QVariant> {
        // A 32-bit signed value: the system colours are negative.
        if (value.isDouble())
        {
            const std::optional<std::int32_t> number = TLayoutReader::IntegerOf<std::int32_t>(value);
            return number ? std::optional<QVariant>(QVariant::fromValue(TColor{*number})) : std::nullopt;
        }
        if (value.isString())
            if (const std::optional<TColor> color = StringToColor(value.toString()))
                return QVariant::fromValue(*color);
        return std::nullopt;
    });
}
