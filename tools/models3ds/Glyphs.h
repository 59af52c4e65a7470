#pragma once

// The letters of the menu's words, drawn here as polygons rather than taken
// from a font file, so that the buttons are the same on every machine
// whatever fonts it has. Cap height 1, baseline at y = 0, left side at x = 0.
#include "Triangulate.h"

struct TGlyphShape
{
    TPolygon2 Outline;
    std::vector<TPolygon2> Holes;
};

struct TGlyph
{
    std::vector<TGlyphShape> Shapes;
    double Width = 0;
};

// One of P, L, A, Y, Q, U, I, T, O, N, S; any other letter raises
// std::invalid_argument.
TGlyph Glyph(char letter);

// The gap between two letters of a word.
constexpr double LetterSpacing = 0.12;
