#include "WindowScale.h"

#include <algorithm>
#include <cmath>

TScaleRequest ReadScaleFactor(const QString& text)
{
    bool isNumber = false;
    const double factor = text.toDouble(&isNumber);
    // The bounds keep the windows usable: a factor outside them is a typing
    // slip (a percentage, a missing point) rather than a wish.
    if (!isNumber || !std::isfinite(factor) || factor < MinScaleFactor || factor > MaxScaleFactor)
        return {std::nullopt, QStringLiteral("--scale needs a number from %1 to %2, not \"%3\".")
                                  .arg(MinScaleFactor)
                                  .arg(MaxScaleFactor)
                                  .arg(text)};
    return {factor, {}};
}

QSize ControlsExtent(const std::vector<QRect>& controls)
{
    int right = 0;
    int bottom = 0;
    for (const QRect& control : controls)
    {
        right = std::max(right, control.x() + control.width());
        bottom = std::max(bottom, control.y() + control.height());
    }
    return {right, bottom};
}

double FitFactor(const QSize& area, const QSize& extent)
{
    if (extent.width() <= 0 || extent.height() <= 0 || area.isEmpty())
        return 1;
    return std::min(double(area.width()) / extent.width(), double(area.height()) / extent.height());
}

TDisplayScale WindowDisplayScale(const TWindowScale& scale, const QSize& screenArea, const QSize& windowSize,
                                 const QSize& extent)
{
    if (!scale.FitsScreen)
        return {scale.Factor, {}};
    const double factor = std::clamp(FitFactor(screenArea, extent), MinScaleFactor, MaxScaleFactor);
    const int width = static_cast<int>(std::lround(extent.width() * factor));
    const int height = static_cast<int>(std::lround(extent.height() * factor));
    // Never left of or above the corner: a window smaller than its content
    // shows its top-left part, as the fixed layout did.
    return {factor, {std::max(0, (windowSize.width() - width) / 2), std::max(0, (windowSize.height() - height) / 2)}};
}
