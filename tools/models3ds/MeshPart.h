#pragma once

// One named object of a generated model: a vertex table and triangles that
// index it, each triangle with its smoothing-group mask. Triangles wind
// counter-clockwise seen from outside.
#include "Geometry.h"

#include <cstdint>
#include <string>
#include <vector>

struct TTriangle
{
    uint32_t A = 0, B = 0, C = 0;
    uint32_t Smoothing = 0;
};

struct TMeshPart
{
    std::string Name;
    std::vector<TVec3> Vertices;
    std::vector<TTriangle> Triangles;

    uint32_t AddVertex(TVec3 position);
    void AddTriangle(uint32_t a, uint32_t b, uint32_t c, uint32_t smoothing);
    // a, b, c, d counter-clockwise seen from outside.
    void AddQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t smoothing);
    // Adds another part's vertices and triangles, placed by `placement`.
    void Append(const TMeshPart& other, const TTransform& placement = {});
    void Transform(const TTransform& placement);
};
