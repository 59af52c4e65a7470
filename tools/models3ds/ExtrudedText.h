#pragma once

// Solid words: each letter's outline triangulated for the front and back
// faces and walled in by side faces, front, back and sides each in a
// smoothing group of their own.
#include "Glyphs.h"
#include "MeshPart.h"

#include <string>

constexpr uint32_t FrontGroup = 1;
constexpr uint32_t BackGroup = 2;
constexpr uint32_t SideGroup = 4;

// A glyph as a solid of cap height 1: reading along +x, z up, the front face
// at y = 0 facing -y, the back face at y = depth.
TMeshPart ExtrudeGlyph(const TGlyph& glyph, double depth);

struct TSolidWord
{
    // One object per letter, named `objectPrefix` + "_" + the letter, with a
    // number after letters that come more than once.
    std::vector<TMeshPart> Letters;
    // Where each letter's box has its centre.
    std::vector<TVec3> LetterCentres;
    double Width = 0;
};

// The word centred on the origin in all three axes, letters `capHeight` high.
TSolidWord ExtrudeWord(const std::string& text, const std::string& objectPrefix, double capHeight, double depth);
