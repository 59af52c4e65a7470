#include "phys.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace phys
{

void ThrowTableIndexOutOfRange(const int index, const int count)
{
    throw std::out_of_range("table index " + std::to_string(index) + " outside 1.." + std::to_string(count));
}

TPointTable Trajectory(TPointTable& Points, const double Speed, const double StartY)
{
    const double horizontalSpeed = std::cos(LaunchAngle) * Speed * SpeedFactor;
    const double verticalSpeed = std::sin(LaunchAngle) * Speed * SpeedFactor;
    double t = 0.0;
    double y = StartY;
    int i = 1;
    // The first point is written before the height is tested, so a curve always
    // ends on its first point below the start.
    do
    {
        const double x = horizontalSpeed * t;
        y = StartY + verticalSpeed * t + Gravity * t * t / 2;
        // Accumulated rather than recomputed from i: the points' last bits depend
        // on it.
        t += TimeStep;
        Points[i] = {x, y};
        ++i;
    } while (y >= StartY && i <= TPointTable::Count);
    return Points;
}

TPointTable JumpCurve(const TPointTable Base, const double Speed, const double StartY)
{
    TPointTable work = Base;
    const TPointTable curve = Trajectory(work, Speed, StartY);
    TPointTable out;
    for (int i = 1; i <= TPointTable::Count; ++i)
    {
        out[i] = {StartY, StartY};
    }
    for (int i = 1; i <= TPointTable::Count && curve[i].Y >= StartY; ++i)
    {
        out[i] = curve[i];
    }
    return out;
}

static bool IsFree(const TRange& entry)
{
    return entry.First == FreeMark;
}

void AddRect(TRectTable& Rects, const double XLow, const double XHigh, const double YLow, const double YHigh)
{
    for (int i = 1; i <= TRectTable::Count; ++i)
    {
        if (IsFree(Rects[i]))
        {
            // A free last entry has no room for the y range: keep the table intact
            // rather than store half a rectangle.
            if (i < TRectTable::Count)
            {
                Rects[i] = {XLow, XHigh};
                Rects[i + 1] = {YLow, YHigh};
            }
            return;
        }
    }
}

static bool InRange(const double value, const TRange& range)
{
    return range.First <= value && value <= range.Second;
}

static bool InRect(const TRange& xRange, const TRange& yRange, const double X, const double Y, const double Margin)
{
    const bool vertical = InRange(Y + Margin, yRange) || InRange(Y, yRange);
    const bool horizontal = X >= xRange.First && X <= xRange.Second + Margin;
    return vertical && horizontal;
}

bool InRects(const TRectTable Rects, const double X, const double Y, const double Margin)
{
    for (int i = 1; i < TRectTable::Count; i += 2)
    {
        if (IsFree(Rects[i]))
        {
            return false;
        }
        if (InRect(Rects[i], Rects[i + 1], X, Y, Margin))
        {
            return true;
        }
    }
    return false;
}

static TRectTable EmptyRects()
{
    TRectTable rects;
    for (int i = 1; i <= TRectTable::Count; ++i)
    {
        rects[i] = {FreeMark, FreeMark};
    }
    return rects;
}

TRectTable ArenaRects(const std::u16string_view Name)
{
    TRectTable rects = EmptyRects();
    if (Name == u"ville")
    {
        // The floor's top lies just under the standing height -0.3, and the walls
        // start at y = 0, so a standing fighter touches none of them.
        AddRect(rects, -9.6, 9.6, -23.0, -0.4);
        AddRect(rects, 9.12, 10.3, 0.0, 1.0);
        AddRect(rects, -10.3, -9.12, 0.0, 1.0);
    }
    return rects;
}

} // namespace phys
