#include "Control.h"

TControl::TControl(QWidget* AOwner)
    : QWidget(AOwner), FFont(new TFont(this))
{
    connect(FFont, &TFont::Changed, this, [this] { FontChanged(); });
    setFont(FFont->ToQFont());
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
    setGeometry(left, top, std::max(0, width), std::max(0, height));
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
