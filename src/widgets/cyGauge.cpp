#include "cyGauge.h"

#include "ClassRegistry.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>

#include <cmath>

namespace
{
// A half-open rectangle: Right and Bottom are the first coordinates outside.
struct TBox
{
    int Left;
    int Top;
    int Right;
    int Bottom;

    bool Empty() const { return Right <= Left || Bottom <= Top; }
    QRect ToQRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
    static TBox FromQRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
};

// Moves the edges inwards so that an outline of `width` centred on the result
// covers exactly the original rectangle.
TBox InsetForOutline(TBox box, int width)
{
    if (width > 1)
    {
        box.Left += width / 2;
        box.Top += width / 2;
        box.Right -= (width - 1) / 2;
        box.Bottom -= (width - 1) / 2;
    }
    return box;
}

struct TPenChoice
{
    bool Draws;
    QColor Color;
    int Width;
};

struct TBrushChoice
{
    bool Solid;
    QColor Color;
};

// A shape drawn into [l, r) x [t, b) has its path through columns l .. r - 1;
// a pen of width n is centred on it (columns c - n/2 .. c - n/2 + n - 1), and
// without a pen the fill stops one pixel short of r and b. Aliased QPainter
// drawing does the same, provided the joins are mitred: its default bevel
// would cut the corners of wide outlines.
void PreparePainter(QPainter& painter, const TPenChoice& pen, const TBrushChoice& brush)
{
    if (pen.Draws)
        painter.setPen(QPen(pen.Color, pen.Width <= 1 ? 0 : pen.Width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    else
        painter.setPen(Qt::NoPen);
    painter.setBrush(brush.Solid ? QBrush(brush.Color) : QBrush(Qt::NoBrush));
}

QRect PathRect(const TBox& box)
{
    return QRect(box.Left, box.Top, box.Right - box.Left - 1, box.Bottom - box.Top - 1);
}

// Distances along the bar, measured from the edge where it starts, mapped to
// rectangles spanning the full depth of the item area.
struct TBarAxis
{
    QRect Area;
    TGaugeOrientation Orientation;

    int Length() const { return Horizontal() ? Area.width() : Area.height(); }
    bool Horizontal() const { return Orientation == goLeftRight || Orientation == goRightLeft; }

    QRect Part(int from, int to) const
    {
        const TBox a = TBox::FromQRect(Area);
        switch (Orientation)
        {
        case goLeftRight:
            return TBox{a.Left + from, a.Top, a.Left + to, a.Bottom}.ToQRect();
        case goRightLeft:
            return TBox{a.Right - to, a.Top, a.Right - from, a.Bottom}.ToQRect();
        case goTopBottom:
            return TBox{a.Left, a.Top + from, a.Right, a.Top + to}.ToQRect();
        case goBottomTop:
            return TBox{a.Left, a.Bottom - to, a.Right, a.Bottom - from}.ToQRect();
        }
        return QRect();
    }
};

// Nearest integer, halves to the even neighbour.
qint64 RoundHalfEven(double value)
{
    return static_cast<qint64>(std::nearbyint(value));
}

// Position - Min without overflow: the difference of two values in range is
// never negative, so the unsigned difference is exact.
double Span(qint64 from, qint64 to)
{
    return static_cast<double>(static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from));
}

} // namespace

TcyGauge::TcyGauge(QWidget* AOwner) : TControl(AOwner)
{
    SetColor(clWindow);
}

void TcyGauge::SetDrawnColor(TColor& field, TColor value)
{
    if (field == value)
        return;
    field = value;
    update();
}

void TcyGauge::SetDrawnWidth(int& field, int value)
{
    if (value < 0 || field == value)
        return;
    field = value;
    update();
}

void TcyGauge::SetBorderWidth(int value)
{
    SetDrawnWidth(FBorderWidth, value);
}

void TcyGauge::SetFrameColor(TColor value)
{
    SetDrawnColor(FFrameColor, value);
}

void TcyGauge::SetFrameWidth(int value)
{
    SetDrawnWidth(FFrameWidth, value);
}

void TcyGauge::SetItemStyle(TGaugeItemStyle value)
{
    if (value == FItemStyle)
        return;
    FItemStyle = value;
    update();
}

void TcyGauge::SetItemFrameActive(TColor value)
{
    SetDrawnColor(FItemFrameActive, value);
}

void TcyGauge::SetItemFrameInactive(TColor value)
{
    SetDrawnColor(FItemFrameInactive, value);
}

void TcyGauge::SetItemFrameLastActive(TColor value)
{
    SetDrawnColor(FItemFrameLastActive, value);
}

void TcyGauge::SetItemFrameWidth(int value)
{
    SetDrawnWidth(FItemFrameWidth, value);
}

void TcyGauge::SetItemsLength(int value)
{
    if (value < 1 || value == FItemsLength)
        return;
    FItemsLength = value;
    // Segmented painting advances by length plus spacing; it must move on.
    if (FItemsLength + FItemsSpacing < 1)
        FItemsSpacing = 0;
    update();
}

void TcyGauge::SetItemsSpacing(int value)
{
    if (value == FItemsSpacing)
        return;
    if (value + FItemsLength > 0)
        FItemsSpacing = value;
    update();
}

void TcyGauge::SetItemActive(TColor value)
{
    SetDrawnColor(FItemActive, value);
}

void TcyGauge::SetItemInactive(TColor value)
{
    SetDrawnColor(FItemInactive, value);
}

void TcyGauge::SetItemLastActive(TColor value)
{
    SetDrawnColor(FItemLastActive, value);
}

void TcyGauge::SetOrientation(TGaugeOrientation value)
{
    if (value == FOrientation)
        return;
    FOrientation = value;
    update();
}

void TcyGauge::SetSmooth(bool value)
{
    if (value == FSmooth)
        return;
    FSmooth = value;
    update();
}

void TcyGauge::SetPosition(qint64 value)
{
    if (value == FPosition || value < FMin || value > FMax)
        return;
    FPosition = value;
    update();
    if (FOnChange)
        FOnChange(this);
}

void TcyGauge::SetMin(qint64 value)
{
    if (value == FMin)
        return;
    if (value > FMax)
        SetMax(value);
    FMin = value;
    KeepPositionInRange();
    update();
}

void TcyGauge::SetMax(qint64 value)
{
    if (value == FMax)
        return;
    if (value < FMin)
        SetMin(value);
    FMax = value;
    KeepPositionInRange();
    update();
}

void TcyGauge::KeepPositionInRange()
{
    if (FPosition < FMin)
        SetPosition(FMin);
    else if (FPosition > FMax)
        SetPosition(FMax);
}

void TcyGauge::Loaded()
{
    TControl::Loaded();
    if (FOnChange)
        FOnChange(this);
}

QRect TcyGauge::ItemArea() const
{
    const int inset = FFrameWidth + FBorderWidth;
    return TBox{inset, inset, Width() - inset, Height() - inset}.ToQRect();
}

// The drawing rules above are those of whole pixels: at another scale the
// gauge is drawn in its layout's pixels and the picture scaled, so that it
// looks as it does unscaled.
void TcyGauge::Paint()
{
    if (DisplayScale().Factor == 1)
    {
        QPainter painter(this);
        PaintGauge(painter);
        return;
    }
    if (FLayoutPicture.size() != ClientRect().size())
        FLayoutPicture = QImage(ClientRect().size(), QImage::Format_ARGB32_Premultiplied);
    // What the gauge leaves undrawn shows the window behind, as unscaled.
    FLayoutPicture.fill(Qt::transparent);
    {
        QPainter layoutPainter(&FLayoutPicture);
        PaintGauge(layoutPainter);
    }
    QPainter painter(this);
    // Smoothing keeps thin lines when shrinking; growing keeps edges sharp.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, DisplayScale().Factor < 1);
    painter.drawImage(rect(), FLayoutPicture);
}

void TcyGauge::PaintGauge(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Cleared again even when a handler throws, so no stale painter is seen.
    const QScopedValueRollback<QPainter*> canvas(FCanvas, &painter);
    if (FOnBeforePaint)
        FOnBeforePaint(this);
    PaintBackground();
    const QRect area = ItemArea();
    // A control smaller than its frame and border has no item area at all,
    // rather than an inverted one that would paint over the frame.
    if (FMax != FMin && area.width() > 0 && area.height() > 0)
    {
        const double ratio = Span(FMin, FPosition) / Span(FMin, FMax);
        if (FSmooth)
            PaintSmooth(area, ratio, FItemsLength);
        else
            PaintSegmented(area, ratio, FItemsLength);
    }
    if (FOnAfterPaint)
        FOnAfterPaint(this);
}

void TcyGauge::PaintBackground()
{
    const TColor color = Color();
    const bool frameDraws = FFrameWidth > 0 && !(FFrameColor == clNone);
    if (color == clNone && !frameDraws)
        return;
    const TBox box = InsetForOutline({0, 0, Width(), Height()}, FFrameWidth);
    const TPenChoice pen{frameDraws, ColorToRGB(FFrameColor), FFrameWidth};
    const TBrushChoice brush{!(color == clNone), ColorToRGB(color)};
    if (box.Empty())
        return;
    PreparePainter(*FCanvas, pen, brush);
    FCanvas->drawRect(PathRect(box));
}

void TcyGauge::PaintSmooth(const QRect& area, double ratio, int length)
{
    const TBarAxis axis{area, FOrientation};
    const int total = axis.Length();
    int boundary = 0;
    if (FPosition != FMin)
    {
        const int reach = static_cast<int>(RoundHalfEven(total * ratio));
        if (reach - length > 0)
        {
            PaintStatusItem(axis.Part(0, reach - length), isActive);
            boundary = reach - length;
        }
        // The leading item is always whole, even where it passes the area's
        // far edge.
        PaintStatusItem(axis.Part(boundary, boundary + length), isLastActive);
        boundary += length;
    }
    if (boundary < total)
        PaintStatusItem(axis.Part(boundary, total), isInactive);
}

void TcyGauge::PaintSegmented(const QRect& area, double ratio, int length)
{
    const TBarAxis axis{area, FOrientation};
    const int total = axis.Length();
    const int pitch = length + FItemsSpacing;
    int offset = 0;
    bool more = offset + length <= total;
    while (more)
    {
        TItemStatus status = isLastActive;
        if (FPosition == FMin || static_cast<double>(offset) / total > ratio)
            status = isInactive;
        else if (static_cast<double>(offset + pitch) / total <= ratio)
            status = isActive;
        const QRect item = axis.Part(offset, offset + length);
        offset += pitch;
        more = offset + length <= total;
        if (!more && status == isActive)
            status = isLastActive;
        PaintStatusItem(item, status);
    }
}

void TcyGauge::PaintStatusItem(const QRect& aRect, TItemStatus ItemStatus)
{
    if (FOnCustomDrawItem)
        FOnCustomDrawItem(this, aRect, ItemStatus);
    else
        PaintItem(aRect, ItemStatus);
}

void TcyGauge::PaintItem(const QRect& aRect, TItemStatus ItemStatus)
{
    if (FCanvas == nullptr)
        return;
    const TBox box = InsetForOutline(TBox::FromQRect(aRect), FItemFrameWidth);
    TColor fill = FItemInactive;
    TColor outline = FItemFrameInactive;
    if (ItemStatus == isActive)
    {
        fill = FItemActive;
        outline = FItemFrameActive;
    }
    else if (ItemStatus == isLastActive)
    {
        fill = FItemLastActive;
        outline = FItemFrameLastActive;
    }
    const TBrushChoice brush{!(fill == clNone), ColorToRGB(fill)};
    TPenChoice pen{false, QColor(), FItemFrameWidth};
    if (FItemFrameWidth != 0 && !(outline == clNone))
        pen = {true, ColorToRGB(outline), FItemFrameWidth};
    else if (brush.Solid)
        pen = {true, brush.Color, FItemFrameWidth};

    // An outline wider than the item leaves nothing to draw.
    if (box.Empty())
        return;
    PreparePainter(*FCanvas, pen, brush);
    switch (FItemStyle)
    {
    case gsRectangle:
        FCanvas->drawRect(PathRect(box));
        break;
    case gsRoundRect:
    {
        // The corner ellipse's size, halved to the radii QPainter takes.
        const double cornerWidth = (box.Right - box.Left) / 2;
        const double cornerHeight = (box.Bottom - box.Top) / 2;
        FCanvas->drawRoundedRect(PathRect(box), cornerWidth / 2, cornerHeight / 2, Qt::AbsoluteSize);
        break;
    }
    case gsCircle:
        FCanvas->drawEllipse(PathRect(box));
        break;
    }
}

void TcyGauge::SetPositionFromPoint(int X, int Y)
{
    const TBox a = TBox::FromQRect(ItemArea());
    const int w = a.Right - a.Left;
    const int h = a.Bottom - a.Top;
    const bool horizontal = FOrientation == goLeftRight || FOrientation == goRightLeft;
    if ((horizontal ? w : h) <= 0)
        return;
    double fraction = 0;
    switch (FOrientation)
    {
    case goLeftRight:
        fraction = 1.0 - static_cast<double>(a.Right - X) / w;
        break;
    case goRightLeft:
        fraction = static_cast<double>(a.Right - X) / w;
        break;
    case goTopBottom:
        fraction = static_cast<double>(Y - a.Top) / h;
        break;
    case goBottomTop:
        fraction = static_cast<double>(a.Bottom - Y) / h;
        break;
    }
    // The fraction measures from Min, so a gauge whose range does not start
    // at 0 maps its start edge to Min and its far edge to Max.
    const double target = static_cast<double>(FMin) + Span(FMin, FMax) * fraction;
    qint64 position = FMin;
    if (target >= static_cast<double>(FMax))
        position = FMax;
    else if (target > static_cast<double>(FMin))
        position = RoundHalfEven(target);
    SetPosition(std::clamp(position, FMin, FMax));
}

void TcyGauge::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (!FReadOnly)
    {
        FTracking = true;
        SetPositionFromPoint(X, Y);
    }
    TControl::MouseDown(Button, Shift, X, Y);
}

void TcyGauge::MouseMove(TShiftState Shift, int X, int Y)
{
    if (!FReadOnly && FTracking)
        SetPositionFromPoint(X, Y);
    TControl::MouseMove(Shift, X, Y);
}

void TcyGauge::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    FTracking = false;
    TControl::MouseUp(Button, Shift, X, Y);
}

void RegisterCyGauge()
{
    TClassRegistry::RegisterClass<TcyGauge>();
    TEventBinder::RegisterEventType<QObject*, const QRect&, TItemStatus>();
}
