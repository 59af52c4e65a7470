#pragma once

#include "DisplayScale.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// How the windows show their stored layouts, which keep their pixels: each
// window fitted to the screen and centred on it, or at a factor the player
// forces, from the window's corner (so that a factor of 1 is the game's
// fixed layout exactly).
struct TWindowScale
{
    bool FitsScreen = false;
    double Factor = 1;
};

// A factor the player asks for, or why it is refused.
struct TScaleRequest
{
    std::optional<double> Factor;
    QString Error;
};

inline constexpr double MinScaleFactor = 0.25;
inline constexpr double MaxScaleFactor = 8;

// The value of "--scale".
TScaleRequest ReadScaleFactor(const QString& text);

// The area a window's controls cover, from the window's corner to the
// furthest right and bottom edge of any of them: what was left of or above
// the corner was never visible.
QSize ControlsExtent(const std::vector<QRect>& controls);

// The largest factor at which `extent` fits into `area`.
double FitFactor(const QSize& area, const QSize& extent);

// How a window of `windowSize` shows content of `extent` (layout pixels) on
// a screen whose free area is `screenArea`.
TDisplayScale WindowDisplayScale(const TWindowScale& scale, const QSize& screenArea, const QSize& windowSize,
                                 const QSize& extent);
