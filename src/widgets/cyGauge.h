#pragma once

#include "Control.h"
#include "Events.h"

#include <QImage>
#include <QRect>

#include <cstdint>
#include <functional>

class QPainter;

namespace GaugeTypes
{
Q_NAMESPACE

enum TGaugeItemStyle
{
    gsRectangle,
    gsRoundRect,
    gsCircle,
};
Q_ENUM_NS(TGaugeItemStyle)

enum TGaugeOrientation
{
    goLeftRight,
    goRightLeft,
    goTopBottom,
    goBottomTop,
};
Q_ENUM_NS(TGaugeOrientation)

enum TItemStatus
{
    isActive,
    isLastActive,
    isInactive,
};
Q_ENUM_NS(TItemStatus)
} // namespace GaugeTypes
using namespace GaugeTypes;

// Paints one item instead of the gauge's own item painting. aRect is the
// item's half-open rectangle (QRect::width() is Right - Left). A handler in a
// form spells the status type GaugeTypes::TItemStatus, the name it is bound by.
using TProcOnPaintItem = std::function<void(QObject* Sender, const QRect& aRect, TItemStatus ItemStatus)>;
Q_DECLARE_METATYPE(TProcOnPaintItem)

// A bar of items showing Position between Min and Max. It has no surface of
// its own: what it leaves unpainted shows its parent. Outlines and fills follow
// the half-open rectangle rules of the drawing host, so pixel positions are
// exact.
class TcyGauge : public TControl
{
    Q_OBJECT
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
    Q_PROPERTY(TColor FrameColor READ FrameColor WRITE SetFrameColor)
    Q_PROPERTY(int FrameWidth READ FrameWidth WRITE SetFrameWidth)
    Q_PROPERTY(GaugeTypes::TGaugeItemStyle ItemStyle READ ItemStyle WRITE SetItemStyle)
    Q_PROPERTY(TColor ItemFrameActive READ ItemFrameActive WRITE SetItemFrameActive)
    Q_PROPERTY(TColor ItemFrameInactive READ ItemFrameInactive WRITE SetItemFrameInactive)
    Q_PROPERTY(TColor ItemFrameLastActive READ ItemFrameLastActive WRITE SetItemFrameLastActive)
    Q_PROPERTY(int ItemFrameWidth READ ItemFrameWidth WRITE SetItemFrameWidth)
    Q_PROPERTY(int ItemsLength READ ItemsLength WRITE SetItemsLength)
    Q_PROPERTY(int ItemsSpacing READ ItemsSpacing WRITE SetItemsSpacing)
    Q_PROPERTY(TColor ItemActive READ ItemActive WRITE SetItemActive)
    Q_PROPERTY(TColor ItemInactive READ ItemInactive WRITE SetItemInactive)
    Q_PROPERTY(TColor ItemLastActive READ ItemLastActive WRITE SetItemLastActive)
    Q_PROPERTY(qint64 Min READ Min WRITE SetMin)
    Q_PROPERTY(qint64 Max READ Max WRITE SetMax)
    Q_PROPERTY(qint64 Position READ Position WRITE SetPosition)
    Q_PROPERTY(GaugeTypes::TGaugeOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(bool Smooth READ Smooth WRITE SetSmooth)
    Q_PROPERTY(qint64 Step READ Step WRITE SetStep)
    Q_PROPERTY(TNotifyEvent OnBeforePaint READ OnBeforePaint WRITE SetOnBeforePaint)
    Q_PROPERTY(TNotifyEvent OnAfterPaint READ OnAfterPaint WRITE SetOnAfterPaint)
    Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
    Q_PROPERTY(TProcOnPaintItem OnCustomDrawItem READ OnCustomDrawItem WRITE SetOnCustomDrawItem)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

public:
    explicit TcyGauge(QWidget* AOwner);

    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    TColor FrameColor() const { return FFrameColor; }
    void SetFrameColor(TColor value);
    int FrameWidth() const { return FFrameWidth; }
    void SetFrameWidth(int value);
    TGaugeItemStyle ItemStyle() const { return FItemStyle; }
    void SetItemStyle(TGaugeItemStyle value);
    TColor ItemFrameActive() const { return FItemFrameActive; }
    void SetItemFrameActive(TColor value);
    TColor ItemFrameInactive() const { return FItemFrameInactive; }
    void SetItemFrameInactive(TColor value);
    TColor ItemFrameLastActive() const { return FItemFrameLastActive; }
    void SetItemFrameLastActive(TColor value);
    int ItemFrameWidth() const { return FItemFrameWidth; }
    void SetItemFrameWidth(int value);
    int ItemsLength() const { return FItemsLength; }
    void SetItemsLength(int value);
    int ItemsSpacing() const { return FItemsSpacing; }
    void SetItemsSpacing(int value);
    TColor ItemActive() const { return FItemActive; }
    void SetItemActive(TColor value);
    TColor ItemInactive() const { return FItemInactive; }
    void SetItemInactive(TColor value);
    TColor ItemLastActive() const { return FItemLastActive; }
    void SetItemLastActive(TColor value);
    qint64 Min() const { return FMin; }
    void SetMin(qint64 value);
    qint64 Max() const { return FMax; }
    void SetMax(qint64 value);
    qint64 Position() const { return FPosition; }
    virtual void SetPosition(qint64 value);
    TGaugeOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TGaugeOrientation value);
    bool Smooth() const { return FSmooth; }
    void SetSmooth(bool value);
    qint64 Step() const { return FStep; }
    void SetStep(qint64 value) { FStep = value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }

    TNotifyEvent OnBeforePaint() const { return FOnBeforePaint; }
    void SetOnBeforePaint(const TNotifyEvent& value) { FOnBeforePaint = value; }
    TNotifyEvent OnAfterPaint() const { return FOnAfterPaint; }
    void SetOnAfterPaint(const TNotifyEvent& value) { FOnAfterPaint = value; }
    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(const TNotifyEvent& value) { FOnChange = value; }
    TProcOnPaintItem OnCustomDrawItem() const { return FOnCustomDrawItem; }
    void SetOnCustomDrawItem(const TProcOnPaintItem& value) { FOnCustomDrawItem = value; }

    void Loaded() override;

    // The painter of the paint under way, for OnBeforePaint, OnAfterPaint and
    // OnCustomDrawItem handlers; nullptr outside a paint.
    QPainter* Canvas() const { return FCanvas; }
    // The default look of one item; handlers of OnCustomDrawItem may call it.
    virtual void PaintItem(const QRect& aRect, TItemStatus ItemStatus);

    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

protected:
    void Paint() override;

private:
    // The client rectangle without frame and border; may be empty or inverted
    // when the control is smaller than its frame and border.
    QRect ItemArea() const;
    void PaintGauge(QPainter& painter);
    void PaintBackground();
    void PaintSmooth(const QRect& area, double ratio, int length);
    void PaintSegmented(const QRect& area, double ratio, int length);
    void PaintStatusItem(const QRect& aRect, TItemStatus ItemStatus);
    void SetPositionFromPoint(int X, int Y);
    void KeepPositionInRange();
    void SetDrawnColor(TColor& field, TColor value);
    void SetDrawnWidth(int& field, int value);

    int FBorderWidth = 2;
    TColor FFrameColor = clBlack;
    int FFrameWidth = 1;
    TGaugeItemStyle FItemStyle = gsRectangle;
    TColor FItemFrameActive = clBlack;
    TColor FItemFrameInactive = clBlack;
    TColor FItemFrameLastActive = clBlack;
    int FItemFrameWidth = 0;
    int FItemsLength = 11;
    int FItemsSpacing = 2;
    TColor FItemActive = clNavy;
    TColor FItemInactive = clNone;
    TColor FItemLastActive = clNavy;
    qint64 FMin = 0;
    qint64 FMax = 100;
    qint64 FPosition = 0;
    TGaugeOrientation FOrientation = goLeftRight;
    bool FSmooth = false;
    qint64 FStep = 1;
    bool FTracking = false;
    TNotifyEvent FOnBeforePaint;
    TNotifyEvent FOnAfterPaint;
    TNotifyEvent FOnChange;
    TProcOnPaintItem FOnCustomDrawItem;
    bool FReadOnly = true;
    QPainter* FCanvas = nullptr;
    // The gauge in its layout's pixels, when shown at another scale.
    QImage FLayoutPicture;
};

// Registers the gauge by class name and its item paint event type.
void RegisterCyGauge();
