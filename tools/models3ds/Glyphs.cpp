#include "Glyphs.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace
{
constexpr double Stroke = 0.22;
// Corners per half turn of a curve: smooth at the sizes the menu shows.
constexpr int ArcSteps = 16;

// Points of an elliptic arc from one angle to another (degrees), ends included.
void AddArc(TPolygon2& polygon, const TVec2 centre, const double rx, const double ry, const double fromDegrees,
            const double toDegrees)
{
    const int steps = std::max(2, static_cast<int>(std::ceil(std::abs(toDegrees - fromDegrees) / 180 * ArcSteps)));
    for (int i = 0; i <= steps; ++i)
    {
        const double angle = Radians(fromDegrees + (toDegrees - fromDegrees) * i / steps);
        polygon.push_back({centre.X + rx * std::cos(angle), centre.Y + ry * std::sin(angle)});
    }
}

TPolygon2 Ellipse(const TVec2 centre, const double rx, const double ry)
{
    TPolygon2 polygon;
    AddArc(polygon, centre, rx, ry, 0, 360);
    polygon.pop_back();
    return polygon;
}

TGlyph LetterP()
{
    const TVec2 bowl{0.45, 0.69};
    TPolygon2 outline{{0, 0}, {Stroke, 0}, {Stroke, 0.38}};
    AddArc(outline, bowl, 0.31, 0.31, -90, 90);
    outline.push_back({0, 1});
    TPolygon2 hole{{Stroke, 0.56}};
    AddArc(hole, bowl, 0.13, 0.13, -90, 90);
    hole.push_back({Stroke, 0.82});
    return {{{outline, {hole}}}, 0.76};
}

TGlyph LetterA()
{
    // Legs of slope 0.34 per unit of height; the hole is where their inner
    // sides meet above the bar.
    const TPolygon2 outline{{0, 0},     {Stroke, 0}, {0.2948, 0.22}, {0.6052, 0.22},
                            {0.68, 0},  {0.9, 0},    {0.56, 1},      {0.34, 1}};
    const TPolygon2 hole{{0.356, 0.40}, {0.544, 0.40}, {0.45, 0.6765}};
    return {{{outline, {hole}}}, 0.9};
}

TGlyph LetterO()
{
    const TVec2 centre{0.42, 0.5};
    return {{{Ellipse(centre, 0.42, 0.5), {Ellipse(centre, 0.2, 0.28)}}}, 0.84};
}

TGlyph LetterQ()
{
    // The O's outline with the tail let in between two of its points.
    const TVec2 centre{0.42, 0.5};
    TPolygon2 outline;
    AddArc(outline, centre, 0.42, 0.5, -30, 300);
    outline.push_back({0.76, -0.10});
    outline.push_back({0.95, -0.10});
    return {{{outline, {Ellipse(centre, 0.2, 0.28)}}}, 0.95};
}

TGlyph LetterU()
{
    const TVec2 centre{0.4, 0.4};
    TPolygon2 outline{{0, 1}};
    AddArc(outline, centre, 0.4, 0.4, 180, 360);
    outline.push_back({0.8, 1});
    outline.push_back({0.8 - Stroke, 1});
    AddArc(outline, centre, 0.4 - Stroke, 0.4 - Stroke, 360, 180);
    outline.push_back({Stroke, 1});
    return {{{outline, {}}}, 0.8};
}

TGlyph LetterS()
{
    // A stroke along two arcs meeting at (0.4, 0.5): the upper one turning
    // left, the lower one turning right, ends cut along their radii.
    const TVec2 upper{0.4, 0.7}, lower{0.4, 0.3};
    const double radius = 0.2, half = 0.1;
    TPolygon2 outline;
    AddArc(outline, upper, radius - half, radius - half, 30, 270);
    AddArc(outline, lower, radius + half, radius + half, 90, -150);
    TPolygon2 back;
    AddArc(back, upper, radius + half, radius + half, 30, 270);
    TPolygon2 lowerBack;
    AddArc(lowerBack, lower, radius - half, radius - half, 90, -150);
    outline.insert(outline.end(), lowerBack.rbegin(), lowerBack.rend());
    outline.insert(outline.end(), back.rbegin(), back.rend());
    // The two arcs of each side meet in one point: keep it once. Circles
    // would leave the S narrower than the other letters: widen it to 0.8.
    TPolygon2 unique;
    for (const TVec2 p : outline)
        if (unique.empty() || std::hypot(p.X - unique.back().X, p.Y - unique.back().Y) > 1e-9)
            unique.push_back({0.4 + (p.X - 0.4) * 4 / 3, p.Y});
    return {{{unique, {}}}, 0.8};
}

TGlyph Polygon(TPolygon2 outline, const double width)
{
    return {{{std::move(outline), {}}}, width};
}
} // namespace

TGlyph Glyph(const char letter)
{
    switch (letter)
    {
    case 'P': return LetterP();
    case 'L': return Polygon({{0, 0}, {0.62, 0}, {0.62, Stroke}, {Stroke, Stroke}, {Stroke, 1}, {0, 1}}, 0.62);
    case 'A': return LetterA();
    case 'Y':
        return Polygon({{0.32, 0}, {0.54, 0}, {0.54, 0.45}, {0.86, 1}, {0.61, 1}, {0.43, 0.66}, {0.25, 1}, {0, 1},
                        {0.32, 0.45}},
                       0.86);
    case 'Q': return LetterQ();
    case 'U': return LetterU();
    case 'I': return Polygon({{0, 0}, {Stroke, 0}, {Stroke, 1}, {0, 1}}, Stroke);
    case 'T': return Polygon({{0.29, 0}, {0.51, 0}, {0.51, 1 - Stroke}, {0.8, 1 - Stroke}, {0.8, 1}, {0, 1},
                              {0, 1 - Stroke}, {0.29, 1 - Stroke}},
                             0.8);
    case 'O': return LetterO();
    case 'N':
        return Polygon({{0, 0}, {Stroke, 0}, {Stroke, 0.62}, {0.58, 0}, {0.8, 0}, {0.8, 1}, {0.58, 1}, {0.58, 0.38},
                        {Stroke, 1}, {0, 1}},
                       0.8);
    case 'S': return LetterS();
    default: throw std::invalid_argument(std::string("no glyph for the letter '") + letter + "'");
    }
}
