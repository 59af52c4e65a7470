#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>

#include <cmath>

// How a window shows its stored layout: `Factor` screen pixels per layout
// pixel, the layout's corner at `Origin` (screen pixels) in the window.
struct TDisplayScale
{
    double Factor = 1;
    QPoint Origin;

    bool operator==(const TDisplayScale&) const = default;

    // Each edge is rounded on its own, so that controls that touch in the
    // layout still touch on the screen.
    int ToScreen(const int layout) const { return static_cast<int>(std::lround(layout * Factor)); }
    QRect ToScreen(const QRect& layout) const
    {
        const int left = ToScreen(layout.x());
        const int top = ToScreen(layout.y());
        return {Origin.x() + left, Origin.y() + top, ToScreen(layout.x() + layout.width()) - left,
                ToScreen(layout.y() + layout.height()) - top};
    }
    // The layout pixel under the middle of a screen pixel of a control.
    QPoint ToLayout(const QPointF& screen) const
    {
        return {static_cast<int>(std::floor((std::floor(screen.x()) + 0.5) / Factor)),
                static_cast<int>(std::floor((std::floor(screen.y()) + 0.5) / Factor))};
    }
};
