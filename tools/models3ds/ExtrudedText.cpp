#include "ExtrudedText.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace
{
// Side edges meeting at a sharper angle than this keep separate vertices, so
// the sides of an L stay flat while the sides of an O look round.
const double SmoothTurnCosine = std::cos(Radians(35));

TVec3 FrontPoint(const TVec2 p) { return {p.X, 0, p.Y}; }
TVec3 BackPoint(const TVec2 p, const double depth) { return {p.X, depth, p.Y}; }

void AddCaps(TMeshPart& part, const TTriangulation& cut, const double depth)
{
    const auto front = static_cast<uint32_t>(part.Vertices.size());
    for (const TVec2 p : cut.Points)
        part.AddVertex(FrontPoint(p));
    const auto back = static_cast<uint32_t>(part.Vertices.size());
    for (const TVec2 p : cut.Points)
        part.AddVertex(BackPoint(p, depth));
    for (const auto& t : cut.Triangles)
    {
        part.AddTriangle(front + t[0], front + t[1], front + t[2], FrontGroup);
        part.AddTriangle(back + t[0], back + t[2], back + t[1], BackGroup);
    }
}

bool TurnsSharply(const TVec2 previous, const TVec2 at, const TVec2 next)
{
    const TVec2 in = at - previous;
    const TVec2 out = next - at;
    const double cosine = (in.X * out.X + in.Y * out.Y) / (std::hypot(in.X, in.Y) * std::hypot(out.X, out.Y));
    return cosine < SmoothTurnCosine;
}

// The side wall along one closed ring whose solid lies on its left.
void AddSides(TMeshPart& part, const TPolygon2& ring, const double depth)
{
    const size_t n = ring.size();
    // For each corner, the front and back vertices used by the edge ending
    // there and by the edge starting there (the same pair where it is smooth).
    std::vector<std::array<uint32_t, 2>> ending(n), starting(n);
    for (size_t i = 0; i < n; ++i)
    {
        const TVec2 p = ring[i];
        const std::array<uint32_t, 2> pair{part.AddVertex(FrontPoint(p)), part.AddVertex(BackPoint(p, depth))};
        ending[i] = pair;
        starting[i] = pair;
        if (TurnsSharply(ring[(i + n - 1) % n], p, ring[(i + 1) % n]))
            starting[i] = {part.AddVertex(FrontPoint(p)), part.AddVertex(BackPoint(p, depth))};
    }
    for (size_t i = 0; i < n; ++i)
    {
        const size_t next = (i + 1) % n;
        part.AddQuad(starting[i][0], starting[i][1], ending[next][1], ending[next][0], SideGroup);
    }
}

TPolygon2 Oriented(TPolygon2 ring, const bool counterClockwise)
{
    if ((TwiceSignedArea(ring) > 0) != counterClockwise)
        std::reverse(ring.begin(), ring.end());
    return ring;
}
} // namespace

TMeshPart ExtrudeGlyph(const TGlyph& glyph, const double depth)
{
    TMeshPart part;
    for (const TGlyphShape& shape : glyph.Shapes)
    {
        AddCaps(part, Triangulate(shape.Outline, shape.Holes), depth);
        AddSides(part, Oriented(shape.Outline, true), depth);
        for (const TPolygon2& hole : shape.Holes)
            AddSides(part, Oriented(hole, false), depth);
    }
    return part;
}

TSolidWord ExtrudeWord(const std::string& text, const std::string& objectPrefix, const double capHeight,
                       const double depth)
{
    TSolidWord word;
    std::vector<TGlyph> glyphs;
    for (const char letter : text)
        glyphs.push_back(Glyph(letter));
    for (const TGlyph& glyph : glyphs)
        word.Width += glyph.Width;
    word.Width = (word.Width + LetterSpacing * static_cast<double>(glyphs.size() - 1)) * capHeight;

    std::map<char, int> seen;
    for (const char letter : text)
        ++seen[letter];
    std::map<char, int> numbered;
    double left = -word.Width / 2;
    for (size_t i = 0; i < glyphs.size(); ++i)
    {
        const char letter = text[i];
        TMeshPart part;
        part.Name = objectPrefix + "_" + letter;
        if (seen[letter] > 1)
            part.Name += std::to_string(++numbered[letter]);
        const TVec3 corner{left, -depth / 2, -capHeight / 2};
        part.Append(ExtrudeGlyph(glyphs[i], depth / capHeight),
                    {{capHeight, 0, 0}, {0, capHeight, 0}, {0, 0, capHeight}, corner});
        word.Letters.push_back(std::move(part));
        word.LetterCentres.push_back({left + glyphs[i].Width * capHeight / 2, 0, 0});
        left += (glyphs[i].Width + LetterSpacing) * capHeight;
    }
    return word;
}
