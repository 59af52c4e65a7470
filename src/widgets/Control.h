#pragma once

#include "Component.h"
#include "ControlTypes.h"
#include "Graphics.h"

#include <QWidget>

// A visual component placed in pixels inside its form. The Qt parent is the
// owner and the visual parent alike.
class TControl : public QWidget, public TLayoutComponent
{
    Q_OBJECT
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TFont* Font READ Font)
    Q_PROPERTY(ControlTypes::TCursor Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)

public:
    explicit TControl(QWidget* AOwner);

    QString Name() const { return objectName(); }
    int Left() const { return geometry().left(); }
    void SetLeft(int value);
    int Top() const { return geometry().top(); }
    void SetTop(int value);
    int Width() const { return geometry().width(); }
    void SetWidth(int value);
    int Height() const { return geometry().height(); }
    void SetHeight(int value);
    void SetBounds(int left, int top, int width, int height);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TFont* Font() const { return FFont; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    QString Hint() const { return FHint; }
    void SetHint(const QString& value) { FHint = value; }

    // Paints the control now, without waiting for the message loop.
    void Repaint();

protected:
    virtual void FontChanged() { update(); }

private:
    TFont* const FFont;
    bool FVisible = true;
    TColor FColor = clBtnFace;
    TCursor FCursor = crDefault;
    QString FHint;
};
