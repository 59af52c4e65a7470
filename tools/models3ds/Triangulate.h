#pragma once

// Triangulation of a simple polygon with holes by ear clipping, the holes
// first joined to the outline by bridges towards the right.
#include "Geometry.h"

#include <array>
#include <vector>

using TPolygon2 = std::vector<TVec2>;

struct TTriangulation
{
    // The outline's points, then each hole's, as given.
    std::vector<TVec2> Points;
    // Counter-clockwise triangles indexing Points.
    std::vector<std::array<int, 3>> Triangles;
};

// Twice the signed area: positive when the points run counter-clockwise.
double TwiceSignedArea(const TPolygon2& polygon);

// The outline and holes may run either way round; holes must lie inside the
// outline and apart from each other. Edges that cross or touch, or fewer
// than 3 corners, raise std::invalid_argument.
TTriangulation Triangulate(const TPolygon2& outline, const std::vector<TPolygon2>& holes = {});
