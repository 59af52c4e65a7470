#include "MeshPart.h"

uint32_t TMeshPart::AddVertex(const TVec3 position)
{
    Vertices.push_back(position);
    return static_cast<uint32_t>(Vertices.size() - 1);
}

void TMeshPart::AddTriangle(const uint32_t a, const uint32_t b, const uint32_t c, const uint32_t smoothing)
{
    Triangles.push_back({a, b, c, smoothing});
}

void TMeshPart::AddQuad(const uint32_t a, const uint32_t b, const uint32_t c, const uint32_t d,
                        const uint32_t smoothing)
{
    AddTriangle(a, b, c, smoothing);
    AddTriangle(a, c, d, smoothing);
}

void TMeshPart::Append(const TMeshPart& other, const TTransform& placement)
{
    const auto offset = static_cast<uint32_t>(Vertices.size());
    for (const TVec3 v : other.Vertices)
        Vertices.push_back(placement.Apply(v));
    for (const TTriangle& t : other.Triangles)
        Triangles.push_back({t.A + offset, t.B + offset, t.C + offset, t.Smoothing});
}

void TMeshPart::Transform(const TTransform& placement)
{
    for (TVec3& v : Vertices)
        v = placement.Apply(v);
}
