#include "TestApplication.h"
#include "base/Exceptions.h"
#include "base/LayoutReader.h"
#include "widgets/cyGauge.h"

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
const QColor Orange(255, 128, 0);
const QColor Black(0, 0, 0);
const QColor Lime(0, 255, 0);
const QColor Red(255, 0, 0);
const QColor Navy(0, 0, 128);
const QColor White(255, 255, 255);
// Shows through wherever the gauge paints nothing.
const QColor Parent(10, 20, 30);

QImage Render(TcyGauge& gauge)
{
    QImage image(gauge.width(), gauge.height(), QImage::Format_RGB32);
    image.fill(Parent);
    gauge.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// The half-open runs of pixels equal to `color` among `count` pixels, as
// "from-to" separated by spaces.
template <class TPixel> QString Runs(int count, const QColor& color, TPixel pixel)
{
    QStringList runs;
    int start = -1;
    for (int i = 0; i <= count; ++i)
    {
        const bool inside = i < count && pixel(i) == color;
        if (inside && start < 0)
            start = i;
        if (!inside && start >= 0)
        {
            runs << QStringLiteral("%1-%2").arg(start).arg(i);
            start = -1;
        }
    }
    return runs.join(' ');
}

QString RowRuns(const QImage& image, int y, const QColor& color)
{
    return Runs(image.width(), color, [&](int x) { return image.pixelColor(x, y); });
}

QString ColumnRuns(const QImage& image, int x, const QColor& color)
{
    return Runs(image.height(), color, [&](int y) { return image.pixelColor(x, y); });
}

int CountOf(const QImage& image, const QColor& color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == color ? 1 : 0;
    return count;
}

// The first row of every distinct row pattern of `color`, so that a whole
// image reads as a few bands: "y0..y1: runs".
QString Bands(const QImage& image, const QColor& color)
{
    QStringList bands;
    int start = 0;
    for (int y = 1; y <= image.height(); ++y)
        if (y == image.height() || RowRuns(image, y, color) != RowRuns(image, start, color))
        {
            const QString runs = RowRuns(image, start, color);
            if (!runs.isEmpty())
                bands << QStringLiteral("%1..%2: %3").arg(start).arg(y).arg(runs);
            start = y;
        }
    return bands.join(" | ");
}

void SendMouse(TcyGauge& gauge, QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons held)
{
    const QPointF point(x, y);
    QMouseEvent event(type, point, gauge.mapToGlobal(point), button, held, Qt::NoModifier);
    QApplication::sendEvent(&gauge, &event);
}
} // namespace

class TGaugeHost : public TControl
{
    Q_OBJECT
    Q_PROPERTY(TcyGauge* Vie1 MEMBER Vie1)
    Q_PROPERTY(TcyGauge* Vie2 MEMBER Vie2)
    Q_PROPERTY(TcyGauge* Custom MEMBER Custom)

public:
    TGaugeHost() : TControl(nullptr) {}

    Q_INVOKABLE void VieChange(QObject* Sender) { FChanges << Sender->objectName(); }
    Q_INVOKABLE void BeforePaint(QObject* Sender) { FChanges << Sender->objectName() + " paints"; }
    Q_INVOKABLE void CustomDraw(QObject*, const QRect& aRect, GaugeTypes::TItemStatus ItemStatus)
    {
        FItems.push_back({aRect, ItemStatus});
    }

    TcyGauge* Vie1 = nullptr;
    TcyGauge* Vie2 = nullptr;
    TcyGauge* Custom = nullptr;
    QStringList FChanges;
    std::vector<std::pair<QRect, TItemStatus>> FItems;
};

class GaugeTest : public testing::Test
{
protected:
    // A gauge set up as the fight's Vie2 is stored.
    TcyGauge& LifeGauge(int width, TGaugeOrientation orientation)
    {
        TcyGauge& gauge = Gauge(width, 33);
        gauge.SetColor(clBlack);
        gauge.SetItemActive(TColor{33023});
        gauge.SetItemLastActive(TColor{33023});
        gauge.SetSmooth(true);
        gauge.SetOrientation(orientation);
        return gauge;
    }

    TcyGauge& Gauge(int width, int height)
    {
        auto* gauge = new TcyGauge(&FParent);
        gauge->SetBounds(0, 0, width, height);
        return *gauge;
    }

    QWidget FParent;
};

TEST_F(GaugeTest, PositionOutsideTheRangeIsIgnoredWithoutOnChange)
{
    TcyGauge& gauge = Gauge(100, 20);
    int changes = 0;
    gauge.SetOnChange([&](QObject*) { ++changes; });
    gauge.SetPosition(40);
    EXPECT_EQ(changes, 1);
    gauge.SetPosition(110);
    gauge.SetPosition(-10);
    gauge.SetPosition(40);
    EXPECT_EQ(gauge.Position(), 40);
    EXPECT_EQ(changes, 1);
    gauge.SetPosition(100);
    gauge.SetPosition(0);
    EXPECT_EQ(gauge.Position(), 0);
    EXPECT_EQ(changes, 3);
}

TEST_F(GaugeTest, MinAndMaxPullEachOtherAndThePositionAlong)
{
    TcyGauge& gauge = Gauge(100, 20);
    QStringList changes;
    gauge.SetOnChange([&](QObject*) { changes << QString::number(gauge.Position()); });
    gauge.SetPosition(30);
    gauge.SetMin(150);
    EXPECT_EQ(gauge.Max(), 150);
    EXPECT_EQ(gauge.Min(), 150);
    EXPECT_EQ(gauge.Position(), 150);
    gauge.SetMax(-5);
    EXPECT_EQ(gauge.Min(), -5);
    EXPECT_EQ(gauge.Max(), -5);
    EXPECT_EQ(gauge.Position(), -5);
    gauge.SetMax(20);
    EXPECT_EQ(gauge.Position(), -5);
    gauge.SetMin(10);
    EXPECT_EQ(gauge.Position(), 10);
    gauge.SetPosition(20);
    gauge.SetMax(15);
    EXPECT_EQ(gauge.Position(), 15);
    EXPECT_EQ(changes, (QStringList{"30", "150", "-5", "10", "20", "15"}));
}

TEST_F(GaugeTest, WidthsAndItemGeometryIgnoreValuesThatWouldBreakPainting)
{
    TcyGauge& gauge = Gauge(100, 20);
    gauge.SetBorderWidth(-1);
    gauge.SetFrameWidth(-1);
    gauge.SetItemFrameWidth(-3);
    EXPECT_EQ(gauge.BorderWidth(), 2);
    EXPECT_EQ(gauge.FrameWidth(), 1);
    EXPECT_EQ(gauge.ItemFrameWidth(), 0);
    gauge.SetFrameWidth(0);
    EXPECT_EQ(gauge.FrameWidth(), 0);

    gauge.SetItemsLength(0);
    EXPECT_EQ(gauge.ItemsLength(), 11);
    gauge.SetItemsSpacing(-11);
    EXPECT_EQ(gauge.ItemsSpacing(), 2);
    gauge.SetItemsSpacing(-10);
    EXPECT_EQ(gauge.ItemsSpacing(), -10);
    // 1 + (-10) would no longer advance along the bar.
    gauge.SetItemsLength(1);
    EXPECT_EQ(gauge.ItemsLength(), 1);
    EXPECT_EQ(gauge.ItemsSpacing(), 0);
}

TEST_F(GaugeTest, FightGaugeAtTenPaintsSeventyThreeOrangeColumnsFromThree)
{
    TcyGauge& gauge = LifeGauge(737, goLeftRight);
    gauge.SetPosition(10);
    QImage image = Render(gauge);
    EXPECT_EQ(Bands(image, Orange), "3..30: 3-76");
    EXPECT_EQ(CountOf(image, Orange), 73 * 27);
    EXPECT_EQ(CountOf(image, Black), 737 * 33 - 73 * 27);

    // 62 columns of active part, then the 11-column leading item.
    gauge.SetItemLastActive(clLime);
    image = Render(gauge);
    EXPECT_EQ(Bands(image, Orange), "3..30: 3-65");
    EXPECT_EQ(Bands(image, Lime), "3..30: 65-76");
}

TEST_F(GaugeTest, SmoothGaugeAtMinShowsOnlyTheRestAndAtMaxEndsWithTheLeadingItem)
{
    TcyGauge& gauge = LifeGauge(737, goLeftRight);
    gauge.SetItemInactive(clLime);
    QImage image = Render(gauge);
    EXPECT_EQ(Bands(image, Lime), "3..30: 3-734");
    EXPECT_EQ(CountOf(image, Orange), 0);

    gauge.SetItemInactive(clNone);
    gauge.SetItemLastActive(clRed);
    gauge.SetPosition(100);
    image = Render(gauge);
    EXPECT_EQ(Bands(image, Orange), "3..30: 3-723");
    EXPECT_EQ(Bands(image, Red), "3..30: 723-734");

    // Just above Min the leading item is whole.
    gauge.SetPosition(1);
    image = Render(gauge);
    EXPECT_EQ(Bands(image, Red), "3..30: 3-14");
    EXPECT_EQ(CountOf(image, Orange), 0);
}

TEST_F(GaugeTest, RightToLeftGaugeMirrorsTheFightsSecondLifeBar)
{
    TcyGauge& gauge = LifeGauge(712, goRightLeft);
    gauge.SetPosition(10);
    gauge.SetItemLastActive(clLime);
    QImage image = Render(gauge);
    EXPECT_EQ(Bands(image, Orange), "3..30: 649-709");
    EXPECT_EQ(Bands(image, Lime), "3..30: 638-649");

    // 706 * 0.25 = 176.5 rounds to the even 176.
    gauge.SetPosition(25);
    image = Render(gauge);
    EXPECT_EQ(Bands(image, Orange), "3..30: 544-709");
    EXPECT_EQ(Bands(image, Lime), "3..30: 533-544");
}

TEST_F(GaugeTest, VerticalGaugesGrowFromTheirStartEdge)
{
    // Item area rows 3..103, columns 3..17.
    TcyGauge& gauge = Gauge(20, 106);
    gauge.SetSmooth(true);
    gauge.SetItemLastActive(clLime);
    gauge.SetPosition(25);
    gauge.SetOrientation(goTopBottom);
    QImage image = Render(gauge);
    EXPECT_EQ(ColumnRuns(image, 10, Navy), "3-17");
    EXPECT_EQ(ColumnRuns(image, 10, Lime), "17-28");
    EXPECT_EQ(RowRuns(image, 10, Navy), "3-17");

    gauge.SetOrientation(goBottomTop);
    image = Render(gauge);
    EXPECT_EQ(ColumnRuns(image, 10, Navy), "89-103");
    EXPECT_EQ(ColumnRuns(image, 10, Lime), "78-89");
    EXPECT_EQ(ColumnRuns(image, 10, White), "1-78 103-105");

    // Segmented rows every 13 pixels from the bottom; at 50 the fourth leads.
    gauge.SetSmooth(false);
    gauge.SetItemLastActive(clRed);
    gauge.SetItemInactive(clLime);
    gauge.SetPosition(50);
    image = Render(gauge);
    EXPECT_EQ(ColumnRuns(image, 10, Navy), "66-77 79-90 92-103");
    EXPECT_EQ(ColumnRuns(image, 10, Red), "53-64");
    EXPECT_EQ(ColumnRuns(image, 10, Lime), "14-25 27-38 40-51");
}

TEST_F(GaugeTest, SegmentedGaugeDrawsWholeItemsByStatus)
{
    // Item area columns 3..97 (94 wide): items every 13 columns, seven fit.
    TcyGauge& gauge = Gauge(100, 20);
    gauge.SetItemInactive(clLime);
    gauge.SetItemLastActive(clRed);
    QImage image = Render(gauge);
    EXPECT_EQ(RowRuns(image, 10, Lime), "3-14 16-27 29-40 42-53 55-66 68-79 81-92");
    EXPECT_EQ(Bands(image, Lime).section(':', 0, 0), "3..17");

    gauge.SetPosition(50);
    image = Render(gauge);
    EXPECT_EQ(RowRuns(image, 10, Navy), "3-14 16-27 29-40");
    EXPECT_EQ(RowRuns(image, 10, Red), "42-53");
    EXPECT_EQ(RowRuns(image, 10, Lime), "55-66 68-79 81-92");
    // Gaps and the space after the last item keep the background.
    EXPECT_EQ(RowRuns(image, 10, White), "1-3 14-16 27-29 40-42 53-55 66-68 79-81 92-99");

    gauge.SetPosition(100);
    image = Render(gauge);
    EXPECT_EQ(RowRuns(image, 10, Navy), "3-14 16-27 29-40 42-53 55-66 68-79");
    EXPECT_EQ(RowRuns(image, 10, Red), "81-92");
    EXPECT_EQ(CountOf(image, Lime), 0);
}

TEST_F(GaugeTest, EqualMinAndMaxPaintOnlyBackgroundAndFrame)
{
    TcyGauge& gauge = Gauge(30, 10);
    gauge.SetItemInactive(clLime);
    gauge.SetMax(0);
    const QImage image = Render(gauge);
    EXPECT_EQ(CountOf(image, Black), 30 * 2 + 8 * 2);
    EXPECT_EQ(CountOf(image, White), 28 * 8);
}

TEST_F(GaugeTest, NoneLeavesTheParentVisibleAndSystemColoursResolve)
{
    TcyGauge& gauge = Gauge(30, 10);
    gauge.SetColor(clNone);
    QImage image = Render(gauge);
    EXPECT_EQ(RowRuns(image, 5, Black), "0-1 29-30");
    EXPECT_EQ(RowRuns(image, 5, Parent), "1-29");

    gauge.SetFrameWidth(0);
    gauge.SetItemInactive(clHighlight);
    image = Render(gauge);
    EXPECT_EQ(RowRuns(image, 5, QColor(0x33, 0x99, 0xFF)), "2-13 15-26");
    EXPECT_EQ(CountOf(image, Parent), 30 * 10 - 22 * 6);

    // An inactive item without fill and outline draws nothing at all.
    gauge.SetItemInactive(clNone);
    image = Render(gauge);
    EXPECT_EQ(CountOf(image, Parent), 30 * 10);
}

TEST_F(GaugeTest, OutlinesOfAnyWidthStayInsideTheirRectangle)
{
    // One item filling a 10 x 10 gauge without frame or border.
    TcyGauge& gauge = Gauge(10, 10);
    gauge.SetFrameWidth(0);
    gauge.SetBorderWidth(0);
    gauge.SetItemsLength(10);
    gauge.SetPosition(100);
    gauge.SetItemFrameWidth(3);
    gauge.SetItemFrameLastActive(clRed);
    gauge.SetItemLastActive(clLime);
    QImage image = Render(gauge);
    EXPECT_EQ(Bands(image, Red), "0..3: 0-10 | 3..7: 0-3 7-10 | 7..10: 0-10");
    EXPECT_EQ(Bands(image, Lime), "3..7: 3-7");

    // An even width puts its extra pixel outside the centre line.
    gauge.SetItemFrameWidth(2);
    image = Render(gauge);
    EXPECT_EQ(Bands(image, Red), "0..2: 0-10 | 2..8: 0-2 8-10 | 8..10: 0-10");

    // The control's own frame follows the same rule.
    gauge.SetMax(0);
    gauge.SetFrameWidth(2);
    gauge.SetFrameColor(clRed);
    gauge.SetColor(clLime);
    image = Render(gauge);
    EXPECT_EQ(Bands(image, Lime), "2..8: 2-8");
    EXPECT_EQ(CountOf(image, Red), 100 - 36);
}

TEST_F(GaugeTest, RoundItemsStayInsideTheirRectangleAndLeaveTheCornersOut)
{
    // One 40 x 40 item at columns and rows 3..43 of a black gauge.
    TcyGauge& gauge = Gauge(46, 46);
    gauge.SetColor(clBlack);
    gauge.SetFrameWidth(0);
    gauge.SetBorderWidth(3);
    gauge.SetItemsLength(40);
    gauge.SetItemLastActive(TColor{33023});
    gauge.SetPosition(100);

    gauge.SetItemStyle(gsCircle);
    QImage image = Render(gauge);
    EXPECT_EQ(image.pixelColor(23, 23), Orange);
    EXPECT_EQ(image.pixelColor(5, 23), Orange);
    EXPECT_EQ(image.pixelColor(23, 40), Orange);
    // Corners of the square, and points just inside them, lie outside the circle.
    EXPECT_EQ(image.pixelColor(3, 3), Black);
    EXPECT_EQ(image.pixelColor(7, 7), Black);
    EXPECT_EQ(image.pixelColor(42, 42), Black);
    EXPECT_EQ(CountOf(image.copy(3, 3, 40, 40), Orange), CountOf(image, Orange));
    // Roughly pi * 20 * 20.
    EXPECT_NEAR(CountOf(image, Orange), 1257, 60);

    // Corner ellipses 20 x 20: a corner circle of radius 10 round (13, 13).
    gauge.SetItemStyle(gsRoundRect);
    image = Render(gauge);
    EXPECT_EQ(image.pixelColor(3, 3), Black);
    EXPECT_EQ(image.pixelColor(4, 4), Black);
    EXPECT_EQ(image.pixelColor(8, 8), Orange);
    EXPECT_EQ(image.pixelColor(3, 23), Orange);
    EXPECT_EQ(image.pixelColor(23, 3), Orange);
    EXPECT_EQ(image.pixelColor(23, 23), Orange);
    EXPECT_EQ(CountOf(image.copy(3, 3, 40, 40), Orange), CountOf(image, Orange));
}

TEST_F(GaugeTest, PaintCallsItsEventsInOrderAndCustomDrawingReplacesItems)
{
    TcyGauge& gauge = Gauge(100, 20);
    gauge.SetPosition(50);
    QStringList calls;
    gauge.SetOnBeforePaint([&](QObject* sender) { calls << (sender == &gauge ? "before" : "?"); });
    gauge.SetOnAfterPaint(
        [&](QObject*)
        {
            calls << "after";
            gauge.Canvas()->fillRect(QRect(0, 0, 1, 1), Red);
        });
    std::vector<std::pair<QRect, TItemStatus>> items;
    gauge.SetOnCustomDrawItem(
        [&](QObject*, const QRect& aRect, TItemStatus status)
        {
            calls << "item";
            items.push_back({aRect, status});
        });
    const QImage image = Render(gauge);
    EXPECT_EQ(calls, (QStringList{"before", "item", "item", "item", "item", "item", "item", "item", "after"}));
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[0].first, QRect(3, 3, 11, 14));
    EXPECT_EQ(items[3].first, QRect(42, 3, 11, 14));
    EXPECT_EQ(items[6].first, QRect(81, 3, 11, 14));
    const std::vector<TItemStatus> statuses{isActive,   isActive,   isActive,  isLastActive,
                                            isInactive, isInactive, isInactive};
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].second, statuses[i]) << "item " << i;
    EXPECT_EQ(CountOf(image, Navy), 0);
    EXPECT_EQ(image.pixelColor(0, 0), Red);
    EXPECT_EQ(gauge.Canvas(), nullptr);
}

TEST_F(GaugeTest, EditableGaugeFollowsTheMouseWhileAButtonIsDown)
{
    // Item area columns 3..734, 731 wide.
    TcyGauge& gauge = LifeGauge(737, goLeftRight);
    gauge.SetReadOnly(false);
    int changes = 0;
    gauge.SetOnChange([&](QObject*) { ++changes; });
    // 365 / 731 of 100 is 49.93.
    SendMouse(gauge, QEvent::MouseButtonPress, 368, 10, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(gauge.Position(), 50);
    SendMouse(gauge, QEvent::MouseMove, 734, 10, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(gauge.Position(), 100);
    // Left of the item area the position stops at Min.
    SendMouse(gauge, QEvent::MouseMove, 0, 10, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(gauge.Position(), 0);
    SendMouse(gauge, QEvent::MouseButtonRelease, 0, 10, Qt::LeftButton, Qt::NoButton);
    SendMouse(gauge, QEvent::MouseMove, 368, 10, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(gauge.Position(), 0);
    EXPECT_EQ(changes, 3);

    // Other orientations measure from their own start edge; the range starts
    // at Min. Item area 3..103 both ways, 100 long.
    TcyGauge& other = Gauge(106, 106);
    other.SetReadOnly(false);
    other.SetMin(50);
    other.SetMax(150);
    SendMouse(other, QEvent::MouseButtonPress, 53, 10, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(other.Position(), 100);
    other.SetOrientation(goRightLeft);
    SendMouse(other, QEvent::MouseMove, 23, 10, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(other.Position(), 130);
    other.SetOrientation(goTopBottom);
    SendMouse(other, QEvent::MouseMove, 10, 28, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(other.Position(), 75);
    other.SetOrientation(goBottomTop);
    SendMouse(other, QEvent::MouseMove, 10, 28, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(other.Position(), 125);
}

TEST_F(GaugeTest, ReadOnlyGaugeIgnoresTheMouse)
{
    TcyGauge& gauge = LifeGauge(737, goLeftRight);
    gauge.SetPosition(30);
    int changes = 0;
    gauge.SetOnChange([&](QObject*) { ++changes; });
    SendMouse(gauge, QEvent::MouseButtonPress, 368, 10, Qt::LeftButton, Qt::LeftButton);
    SendMouse(gauge, QEvent::MouseMove, 700, 10, Qt::NoButton, Qt::LeftButton);
    SendMouse(gauge, QEvent::MouseButtonRelease, 700, 10, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(gauge.Position(), 30);
    EXPECT_EQ(changes, 0);
}

// Failures reach the application through the control failure handler set at
// start-up; the fixture's application records them instead of showing them.
class GaugePaintFailureTest : public TApplicationTest
{
};

TEST_F(GaugePaintFailureTest, FailingPaintHandlersAreReportedOnceUntilAPaintSucceeds)
{
    QWidget parent;
    auto* const gauge = new TcyGauge(&parent);
    gauge->SetBounds(0, 0, 100, 20);
    gauge->SetPosition(50);
    bool afterFails = true;
    gauge->SetOnAfterPaint(
        [&](QObject*)
        {
            if (afterFails)
                throw EInvalidOperation("after paint failed");
        });
    Render(*gauge);
    Render(*gauge);
    Render(*gauge);
    EXPECT_EQ(FShownFailures, QStringList{"after paint failed"});
    EXPECT_EQ(gauge->Canvas(), nullptr);

    afterFails = false;
    Render(*gauge);
    EXPECT_EQ(FShownFailures.size(), 1);

    // Once a paint has succeeded, the next failure is reported again; any
    // handler counts, and a failure in another one is not a new report.
    gauge->SetOnCustomDrawItem(
        [](QObject*, const QRect&, TItemStatus status)
        {
            if (status == isLastActive)
                throw EInvalidOperation("item paint failed");
        });
    Render(*gauge);
    gauge->SetOnBeforePaint([](QObject*) { throw EInvalidOperation("before paint failed"); });
    Render(*gauge);
    EXPECT_EQ(FShownFailures, (QStringList{"after paint failed", "item paint failed"}));
}

TEST_F(GaugePaintFailureTest, AFailingPaintOpensOneMessageBoxWhileTheBoxKeepsItRepainting)
{
    FApplication->OnException = nullptr;
    QWidget window;
    window.resize(200, 60);
    auto* const gauge = new TcyGauge(&window);
    gauge->SetBounds(10, 10, 100, 20);
    bool failing = true;
    gauge->SetOnAfterPaint(
        [&](QObject*)
        {
            if (failing)
                throw EInvalidOperation("gauge cannot paint");
        });

    // Plays the user: a box stays up for ten polls, during which the gauge
    // under it keeps asking to be painted, then is dismissed.
    QStringList boxes;
    QPointer<QMessageBox> current;
    int polls = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout,
                     [&]
                     {
                         auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                         if (box == nullptr)
                             return;
                         if (box != current)
                         {
                             current = box;
                             boxes << box->text();
                             polls = 0;
                             // Ends a chain of boxes, so that a failing check ends too.
                             if (boxes.size() >= 5)
                                 failing = false;
                         }
                         gauge->update();
                         if (++polls == 10)
                             box->done(QMessageBox::Ok);
                     });
    user.start(10);
    window.show();
    RunFor(600);
    EXPECT_EQ(boxes, QStringList{"gauge cannot paint"});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    failing = false;
    gauge->update();
    RunFor(100);
    failing = true;
    gauge->update();
    RunFor(600);
    EXPECT_EQ(boxes, (QStringList{"gauge cannot paint", "gauge cannot paint"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

class GaugeLayoutTest : public testing::Test
{
protected:
    void SetUp() override { TLayoutReader(&FHost, QStringLiteral(":/layouts/GaugeHost.json")).Read(); }

    TGaugeHost FHost;
};

TEST_F(GaugeLayoutTest, StoredLayoutSetsTheFightGaugesAndLoadedReportsOnce)
{
    ASSERT_NE(FHost.Vie1, nullptr);
    ASSERT_NE(FHost.Vie2, nullptr);
    EXPECT_EQ(FHost.Vie2->geometry(), QRect(-7, 0, 737, 33));
    EXPECT_EQ(FHost.Vie1->geometry(), QRect(728, 0, 712, 33));
    EXPECT_EQ(FHost.Vie1->Orientation(), goRightLeft);
    EXPECT_EQ(FHost.Vie2->Orientation(), goLeftRight);
    EXPECT_EQ(FHost.Vie1->ItemActive().Value, 33023);
    EXPECT_EQ(FHost.Vie1->Color(), clBlack);
    EXPECT_TRUE(FHost.Vie1->Smooth());
    EXPECT_EQ(FHost.Custom->Step(), 5);
    EXPECT_FALSE(FHost.Custom->ReadOnly());
    EXPECT_EQ(FHost.Custom->ItemStyle(), gsCircle);
    EXPECT_EQ(FHost.Custom->ItemInactive(), clHighlight);
    EXPECT_EQ(FHost.FChanges, (QStringList{"Vie2", "Vie1"}));

    FHost.FChanges.clear();
    Render(*FHost.Custom);
    EXPECT_EQ(FHost.FChanges, QStringList{"Custom paints"});
    ASSERT_EQ(FHost.FItems.size(), 7u);
    EXPECT_EQ(FHost.FItems[3].second, isLastActive);
}

// Leaves Vie1_100.png ... Vie2_0.png in the working directory for a reviewer.
TEST_F(GaugeLayoutTest, FightGaugesAreWrittenAsImagesAtFourLifeValues)
{
    for (const int life : {100, 50, 10, 0})
    {
        FHost.Vie1->SetPosition(life);
        FHost.Vie2->SetPosition(life);
        const QImage vie1 = Render(*FHost.Vie1);
        const QImage vie2 = Render(*FHost.Vie2);
        EXPECT_TRUE(vie1.save(QStringLiteral("Vie1_%1.png").arg(life)));
        EXPECT_TRUE(vie2.save(QStringLiteral("Vie2_%1.png").arg(life)));
        if (life == 50)
        {
            // 731 * 0.5 = 365.5 and 706 * 0.5 = 353.
            EXPECT_EQ(Bands(vie2, Orange), "3..30: 3-369");
            EXPECT_EQ(Bands(vie1, Orange), "3..30: 356-709");
        }
        if (life == 0)
        {
            EXPECT_EQ(CountOf(vie1, Orange), 0);
            EXPECT_EQ(CountOf(vie2, Orange), 0);
        }
    }
    EXPECT_EQ(FHost.FChanges.size(), 2 + 2 * 4);
}

#include "cyGauge_test.moc"
