#pragma once

#include "Component.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

// A colour as stored in layouts: 0x00BBGGRR, or a system colour index with the
// top bit set, or one of the special values.
struct TColor
{
    std::int32_t Value = 0;

    friend bool operator==(TColor a, TColor b) { return a.Value == b.Value; }
};
Q_DECLARE_METATYPE(TColor)

constexpr TColor clBlack{0x000000};
constexpr TColor clMaroon{0x000080};
constexpr TColor clGreen{0x008000};
constexpr TColor clOlive{0x008080};
constexpr TColor clNavy{0x800000};
constexpr TColor clPurple{0x800080};
constexpr TColor clTeal{0x808000};
constexpr TColor clGray{0x808080};
constexpr TColor clSilver{0xC0C0C0};
constexpr TColor clRed{0x0000FF};
constexpr TColor clLime{0x00FF00};
constexpr TColor clYellow{0x00FFFF};
constexpr TColor clBlue{0xFF0000};
constexpr TColor clFuchsia{0xFF00FF};
constexpr TColor clAqua{0xFFFF00};
constexpr TColor clWhite{0xFFFFFF};
constexpr TColor clNone{0x1FFFFFFF};
constexpr TColor clDefault{0x20000000};
constexpr std::int32_t clSystemColor = static_cast<std::int32_t>(0xFF000000u);
constexpr TColor clScrollBar{clSystemColor | 0};
constexpr TColor clBackground{clSystemColor | 1};
constexpr TColor clActiveCaption{clSystemColor | 2};
constexpr TColor clInactiveCaption{clSystemColor | 3};
constexpr TColor clMenu{clSystemColor | 4};
constexpr TColor clWindow{clSystemColor | 5};
constexpr TColor clWindowFrame{clSystemColor | 6};
constexpr TColor clMenuText{clSystemColor | 7};
constexpr TColor clWindowText{clSystemColor | 8};
constexpr TColor clCaptionText{clSystemColor | 9};
constexpr TColor clActiveBorder{clSystemColor | 10};
constexpr TColor clInactiveBorder{clSystemColor | 11};
constexpr TColor clAppWorkSpace{clSystemColor | 12};
constexpr TColor clHighlight{clSystemColor | 13};
constexpr TColor clHighlightText{clSystemColor | 14};
constexpr TColor clBtnFace{clSystemColor | 15};
constexpr TColor clBtnShadow{clSystemColor | 16};
constexpr TColor clGrayText{clSystemColor | 17};
constexpr TColor clBtnText{clSystemColor | 18};
constexpr TColor clInactiveCaptionText{clSystemColor | 19};
constexpr TColor clBtnHighlight{clSystemColor | 20};
constexpr TColor cl3DDkShadow{clSystemColor | 21};
constexpr TColor cl3DLight{clSystemColor | 22};
constexpr TColor clInfoText{clSystemColor | 23};
constexpr TColor clInfoBk{clSystemColor | 24};

// The colour's name ("clRed"), or an empty string when it has none.
QString ColorToString(TColor color);
// A name or a decimal number; nothing for anything else.
std::optional<TColor> StringToColor(const QString& text);
// Resolves system colours to the desktop's classic defaults. clNone and
// clDefault have no RGB value and give black.
QColor ColorToRGB(TColor color);

namespace GraphicsTypes
{
Q_NAMESPACE

enum TFontStyle
{
    fsBold = 1 << 0,
    fsItalic = 1 << 1,
    fsUnderline = 1 << 2,
    fsStrikeOut = 1 << 3,
};
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_FLAG_NS(TFontStyles)

enum TFontCharset
{
    ANSI_CHARSET = 0,
    DEFAULT_CHARSET = 1,
    SYMBOL_CHARSET = 2,
    OEM_CHARSET = 255,
};
Q_ENUM_NS(TFontCharset)
} // namespace GraphicsTypes
using namespace GraphicsTypes;

// A font description owned by a control or a form. A negative height is the
// character height in pixels, a positive one the cell height.
class TFont : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(GraphicsTypes::TFontCharset Charset READ Charset WRITE SetCharset)
    Q_PROPERTY(GraphicsTypes::TFontStyles Style READ Style WRITE SetStyle)

public:
    explicit TFont(QObject* owner);

    QString Name() const { return FName; }
    void SetName(const QString& value);
    int Height() const { return FHeight; }
    void SetHeight(int value);
    // Size in points at 96 pixels per inch.
    int Size() const;
    void SetSize(int value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);

    QFont ToQFont() const;

signals:
    void Changed();

private:
    QString FName = QStringLiteral("Tahoma");
    int FHeight = -11;
    TColor FColor = clWindowText;
    TFontCharset FCharset = DEFAULT_CHARSET;
    TFontStyles FStyle;
};

// A picture stored with a layout, given there as the name of an image file
// that lies beside the layout.
class TPicture : public QObject, public TLayoutValue
{
    Q_OBJECT

public:
    explicit TPicture(QObject* owner);

    const QImage& Image() const { return FImage; }
    void SetImage(const QImage& image);
    bool Empty() const { return FImage.isNull(); }
    int Width() const { return FImage.width(); }
    int Height() const { return FImage.height(); }

    void ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader) override;

signals:
    void Changed();

private:
    QImage FImage;
};

// Registers the layout conversions of this module's value types.
void RegisterGraphicsTypes();
