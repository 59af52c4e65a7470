#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The fight's small physics: the ballistic curve of a jump, and tables of
// axis-aligned rectangles in the fighters' plane (x to the right, y up) with a
// point-in-rectangles test. Everything computes in double precision.
namespace phys
{

struct TCurvePoint
{
    double X = 0.0;
    double Y = 0.0;

    bool operator==(const TCurvePoint&) const = default;
};

// One half of a rectangle: its x range or its y range, lowest value First.
struct TRange
{
    double First = 0.0;
    double Second = 0.0;

    bool operator==(const TRange&) const = default;
};

[[noreturn]] void ThrowTableIndexOutOfRange(int index, int count);

// A fixed-size table indexed 1 to Count, as the fight's formulas count entries.
// Every access is checked: an index outside 1..Count throws std::out_of_range.
template <typename TItem, int ItemCount> class TOneBasedTable
{
public:
    static constexpr int Count = ItemCount;

    TItem& operator[](const int index) { return FItems[Offset(index)]; }
    const TItem& operator[](const int index) const { return FItems[Offset(index)]; }

    bool operator==(const TOneBasedTable&) const = default;

private:
    static std::size_t Offset(const int index)
    {
        if (index < 1 || index > Count)
        {
            ThrowTableIndexOutOfRange(index, Count);
        }
        return static_cast<std::size_t>(index - 1);
    }

    std::array<TItem, ItemCount> FItems{};
};

// Points of a curve, all (0, 0) until written.
using TPointTable = TOneBasedTable<TCurvePoint, 500>;

// Rectangles as pairs of entries: entry i holds the x range, entry i + 1 the
// y range. An entry whose First is FreeMark ends the list, so a table holds at
// most 25 rectangles. All entries are (0, 0) until written.
using TRectTable = TOneBasedTable<TRange, 50>;

inline constexpr double Gravity = -9.8;
inline constexpr double TimeStep = 0.03;
inline constexpr double LaunchAngle = 1.5707963267948966;
inline constexpr double SpeedFactor = 0.7;
inline constexpr double FreeMark = 420.0;

// Writes the curve from (0, StartY) at one point per TimeStep, up to and
// including the first point below StartY, into Points and returns a copy of
// the whole table. Later entries keep what they held. A curve still at or
// above StartY at entry 500 stops there.
TPointTable Trajectory(TPointTable& Points, double Speed, double StartY);

// The curve's points while they are at or above StartY; every later entry is
// (StartY, StartY).
TPointTable JumpCurve(TPointTable Base, double Speed, double StartY);

// Stores the rectangle at the first free entry. A full table, or one whose
// only free entry is the last, is left unchanged.
void AddRect(TRectTable& Rects, double XLow, double XHigh, double YLow, double YHigh);

// Whether (X, Y) lies in one of the rectangles; bounds are inclusive. Margin
// widens each rectangle to the right only, and lets a point up to Margin below
// a rectangle count as inside it.
bool InRects(TRectTable Rects, double X, double Y, double Margin);

// The collision rectangles of the named arena: for "ville" its floor and two
// side walls; any other name gives an empty table.
TRectTable ArenaRects(std::u16string_view Name);

} // namespace phys
