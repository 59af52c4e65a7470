#pragma once

#include "Component.h"
#include "DisplayScale.h"
#include "ControlTypes.h"
#include "Events.h"
#include "Graphics.h"

#include <QWidget>

#include <exception>
#include <functional>

using TMouseEvent = std::function<void(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject* Sender, TShiftState Shift, int X, int Y)>;
Q_DECLARE_METATYPE(TMouseEvent)
Q_DECLARE_METATYPE(TMouseMoveEvent)

// A visual component placed in pixels inside its form. The Qt parent is the
// owner and the visual parent alike. Its bounds, its drawing and its mouse
// input are in the layout's pixels; its form's display scale maps them to
// the screen.
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
    Q_PROPERTY(TMouseEvent OnMouseDown READ OnMouseDown WRITE SetOnMouseDown)
    Q_PROPERTY(TMouseMoveEvent OnMouseMove READ OnMouseMove WRITE SetOnMouseMove)
    Q_PROPERTY(TMouseEvent OnMouseUp READ OnMouseUp WRITE SetOnMouseUp)
    Q_PROPERTY(TNotifyEvent OnMouseEnter READ OnMouseEnter WRITE SetOnMouseEnter)
    Q_PROPERTY(TNotifyEvent OnMouseLeave READ OnMouseLeave WRITE SetOnMouseLeave)

public:
    explicit TControl(QWidget* AOwner);

    QString Name() const { return objectName(); }
    int Left() const { return FBounds.x(); }
    void SetLeft(int value);
    int Top() const { return FBounds.y(); }
    void SetTop(int value);
    int Width() const { return FBounds.width(); }
    void SetWidth(int value);
    int Height() const { return FBounds.height(); }
    void SetHeight(int value);
    void SetBounds(int left, int top, int width, int height);
    // The control's own area in the layout's pixels.
    QRect ClientRect() const { return {0, 0, Width(), Height()}; }
    const TDisplayScale& DisplayScale() const { return FDisplayScale; }
    void SetDisplayScale(const TDisplayScale& value);
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

    TMouseEvent OnMouseDown() const { return FOnMouseDown; }
    void SetOnMouseDown(const TMouseEvent& value) { FOnMouseDown = value; }
    TMouseMoveEvent OnMouseMove() const { return FOnMouseMove; }
    void SetOnMouseMove(const TMouseMoveEvent& value) { FOnMouseMove = value; }
    TMouseEvent OnMouseUp() const { return FOnMouseUp; }
    void SetOnMouseUp(const TMouseEvent& value) { FOnMouseUp = value; }
    TNotifyEvent OnMouseEnter() const { return FOnMouseEnter; }
    void SetOnMouseEnter(const TNotifyEvent& value) { FOnMouseEnter = value; }
    TNotifyEvent OnMouseLeave() const { return FOnMouseLeave; }
    void SetOnMouseLeave(const TNotifyEvent& value) { FOnMouseLeave = value; }

    // Mouse input in the control's pixels; subclasses react, then call these
    // to fire the events. Also the entry for input forwarded from a child
    // window.
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseEnter();
    virtual void MouseLeave();

protected:
    virtual void FontChanged() { update(); }
    virtual void DisplayScaleChanged() { update(); }
    // Makes a painter of the control draw in the layout's pixels.
    void ScalePainter(class QPainter& painter) const;
    // A point of the control's screen pixels in the layout's.
    QPoint LayoutPoint(const QPointF& screen) const { return FDisplayScale.ToLayout(screen); }
    // Draws the control; runs inside every paint event, where a failure goes
    // to the failure handler like any handler's.
    virtual void Paint() {}

    void paintEvent(QPaintEvent* event) final;
    // For controls whose drawing happens outside their paint event (a native
    // child window): the same report-once rule as Paint's failures.
    void PaintSucceeded() { FPaintFailing = false; }
    void PaintFailed(std::exception_ptr error);
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TFont* const FFont;
    QRect FBounds;
    TDisplayScale FDisplayScale;
    bool FVisible = true;
    TColor FColor = clBtnFace;
    TCursor FCursor = crDefault;
    QString FHint;
    TMouseEvent FOnMouseDown;
    TMouseMoveEvent FOnMouseMove;
    TMouseEvent FOnMouseUp;
    TNotifyEvent FOnMouseEnter;
    TNotifyEvent FOnMouseLeave;
    // A paint failed and has been reported; later failures stay silent until
    // a paint succeeds.
    bool FPaintFailing = false;
};

// Runs an input handler; a failure it raises is shown and the loop goes on.
// Set by the application at start-up; without it failures propagate.
extern void (*ControlFailureHandler)(std::exception_ptr);
void RegisterControlEventTypes();
