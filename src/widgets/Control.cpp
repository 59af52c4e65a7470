#include "Control.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

void (*ControlFailureHandler)(std::exception_ptr) = nullptr;

namespace
{
template <class F>
void RunHandler(F&& handler)
{
    if (ControlFailureHandler == nullptr)
    {
        handler();
        return;
    }
    try
    {
        handler();
    }
    catch (...)
    {
        ControlFailureHandler(std::current_exception());
    }
}
} // namespace

TControl::TControl(QWidget* AOwner)
    : QWidget(AOwner), FFont(new TFont(this))
{
    connect(FFont, &TFont::Changed, this, [this] { FontChanged(); });
    setFont(FFont->ToQFont());
    FBounds = geometry();
}

void TControl::SetLeft(int value)
{
    SetBounds(value, Top(), Width(), Height());
}

void TControl::SetTop(int value)
{
    SetBounds(Left(), value, Width(), Height());
}

void TControl::SetWidth(int value)
{
    SetBounds(Left(), Top(), value, Height());
}

void TControl::SetHeight(int value)
{
    SetBounds(Left(), Top(), Width(), value);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    FBounds = QRect(left, top, std::max(0, width), std::max(0, height));
    setGeometry(FDisplayScale.ToScreen(FBounds));
}

void TControl::SetDisplayScale(const TDisplayScale& value)
{
    if (value == FDisplayScale)
        return;
    FDisplayScale = value;
    setGeometry(FDisplayScale.ToScreen(FBounds));
    DisplayScaleChanged();
}

void TControl::ScalePainter(QPainter& painter) const
{
    painter.scale(FDisplayScale.Factor, FDisplayScale.Factor);
}

void TControl::SetVisible(bool value)
{
    FVisible = value;
    setVisible(value);
}

void TControl::SetColor(TColor value)
{
    if (value == FColor)
        return;
    FColor = value;
    update();
}

void TControl::SetCursor(TCursor value)
{
    FCursor = value;
    setCursor(CursorShape(value));
}

void TControl::Repaint()
{
    repaint();
}

// Reporting may show a modal message box, which repaints the control while it
// is up and again when it goes: reporting every failing paint would open box
// after box. Marked before the report so that those paints find it marked.
void TControl::PaintFailed(std::exception_ptr error)
{
    if (FPaintFailing)
        return;
    FPaintFailing = true;
    ControlFailureHandler(error);
}

void TControl::paintEvent(QPaintEvent*)
{
    if (ControlFailureHandler == nullptr)
    {
        Paint();
        return;
    }
    try
    {
        Paint();
        PaintSucceeded();
    }
    catch (...)
    {
        PaintFailed(std::current_exception());
    }
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (FOnMouseDown)
        FOnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y)
{
    if (FOnMouseMove)
        FOnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (FOnMouseUp)
        FOnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseEnter()
{
    if (FOnMouseEnter)
        FOnMouseEnter(this);
}

void TControl::MouseLeave()
{
    if (FOnMouseLeave)
        FOnMouseLeave(this);
}

void TControl::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = LayoutPoint(event->position());
    RunHandler([&] {
        MouseDown(MouseButtonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()), point.x(),
                  point.y());
    });
}

void TControl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = LayoutPoint(event->position());
    RunHandler([&] { MouseMove(ShiftStateOf(event->modifiers(), event->buttons()), point.x(), point.y()); });
}

void TControl::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint point = LayoutPoint(event->position());
    RunHandler([&] {
        MouseUp(MouseButtonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()), point.x(),
                point.y());
    });
}

void TControl::enterEvent(QEnterEvent*)
{
    RunHandler([&] { MouseEnter(); });
}

void TControl::leaveEvent(QEvent*)
{
    RunHandler([&] { MouseLeave(); });
}

void RegisterControlEventTypes()
{
    TEventBinder::RegisterEventType<QObject*, TMouseButton, TShiftState, int, int>();
    TEventBinder::RegisterEventType<QObject*, TShiftState, int, int>();
}
