#pragma once

// Closed solids in local coordinates, z up, to be placed with
// TMeshPart::Append. Flat sides get smoothing groups of their own so that
// their edges stay sharp; round surfaces share one group and look smooth.
#include "MeshPart.h"

// An axis-aligned box.
TMeshPart Box(TVec3 min, TVec3 max);

// A prism whose ridge runs along x at the middle of y, from the eaves at z0
// up to the ridge at z1: a pitched roof with its gables at x0 and x1.
TMeshPart GableRoof(double x0, double x1, double y0, double y1, double z0, double z1);

// A frustum around the z axis from z = 0 to `height`; a top radius of 0 makes
// a cone. `segments` sides; the first corner lies on +x.
TMeshPart Frustum(double bottomRadius, double topRadius, double height, int segments);

// An ellipsoid centred on the origin.
TMeshPart Ellipsoid(TVec3 radii, int slices, int stacks);

// A round bar from one point to another, closed at both ends.
TMeshPart Tube(TVec3 from, TVec3 to, double radius, int segments);

// A flat rectangle at height z facing up.
TMeshPart Rectangle(TVec2 min, TVec2 max, double z);
