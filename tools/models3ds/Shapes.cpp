#include "Shapes.h"

#include <algorithm>
#include <cmath>

namespace
{
TVec3 Centroid(const TMeshPart& part)
{
    TVec3 sum;
    for (const TVec3 v : part.Vertices)
        sum = sum + v;
    return sum * (1.0 / static_cast<double>(part.Vertices.size()));
}

// Adds a convex face of a convex solid, turned so that it faces away from the
// solid's centre whatever order the corners were listed in.
void AddOutwardFace(TMeshPart& part, std::vector<uint32_t> corners, const TVec3 centre, const uint32_t smoothing)
{
    const TVec3 a = part.Vertices[corners[0]];
    const TVec3 normal = Cross(part.Vertices[corners[1]] - a, part.Vertices[corners[2]] - a);
    if (Dot(normal, a - centre) < 0)
        std::reverse(corners.begin() + 1, corners.end());
    for (size_t i = 1; i + 1 < corners.size(); ++i)
        part.AddTriangle(corners[0], corners[i], corners[i + 1], smoothing);
}

// The vertices of a horizontal ring of `segments` corners.
std::vector<uint32_t> AddRing(TMeshPart& part, const double radius, const double z, const int segments)
{
    std::vector<uint32_t> ring;
    for (int i = 0; i < segments; ++i)
    {
        const double angle = 2 * Pi * i / segments;
        ring.push_back(part.AddVertex({radius * std::cos(angle), radius * std::sin(angle), z}));
    }
    return ring;
}
} // namespace

TMeshPart Box(const TVec3 min, const TVec3 max)
{
    TMeshPart part;
    for (int i = 0; i < 8; ++i)
        part.AddVertex({(i & 1) ? max.X : min.X, (i & 2) ? max.Y : min.Y, (i & 4) ? max.Z : min.Z});
    const TVec3 centre = (min + max) * 0.5;
    AddOutwardFace(part, {0, 2, 6, 4}, centre, 1);
    AddOutwardFace(part, {1, 3, 7, 5}, centre, 2);
    AddOutwardFace(part, {0, 1, 5, 4}, centre, 4);
    AddOutwardFace(part, {2, 3, 7, 6}, centre, 8);
    AddOutwardFace(part, {0, 1, 3, 2}, centre, 16);
    AddOutwardFace(part, {4, 5, 7, 6}, centre, 32);
    return part;
}

TMeshPart GableRoof(const double x0, const double x1, const double y0, const double y1, const double z0,
                    const double z1)
{
    TMeshPart part;
    const double ridgeY = (y0 + y1) / 2;
    const uint32_t a = part.AddVertex({x0, y0, z0});
    const uint32_t b = part.AddVertex({x1, y0, z0});
    const uint32_t c = part.AddVertex({x1, y1, z0});
    const uint32_t d = part.AddVertex({x0, y1, z0});
    const uint32_t e = part.AddVertex({x0, ridgeY, z1});
    const uint32_t f = part.AddVertex({x1, ridgeY, z1});
    const TVec3 centre = Centroid(part);
    AddOutwardFace(part, {a, b, f, e}, centre, 1);
    AddOutwardFace(part, {d, c, f, e}, centre, 2);
    AddOutwardFace(part, {a, d, e}, centre, 4);
    AddOutwardFace(part, {b, c, f}, centre, 8);
    AddOutwardFace(part, {a, b, c, d}, centre, 16);
    return part;
}

TMeshPart Frustum(const double bottomRadius, const double topRadius, const double height, const int segments)
{
    TMeshPart part;
    const std::vector<uint32_t> bottom = AddRing(part, bottomRadius, 0, segments);
    const TVec3 centre{0, 0, height / 3};
    if (topRadius <= 0)
    {
        const uint32_t apex = part.AddVertex({0, 0, height});
        for (int i = 0; i < segments; ++i)
            part.AddTriangle(bottom[i], bottom[(i + 1) % segments], apex, 1);
    }
    else
    {
        const std::vector<uint32_t> top = AddRing(part, topRadius, height, segments);
        for (int i = 0; i < segments; ++i)
        {
            const int next = (i + 1) % segments;
            part.AddQuad(bottom[i], bottom[next], top[next], top[i], 1);
        }
        AddOutwardFace(part, top, centre, 4);
    }
    AddOutwardFace(part, bottom, centre, 2);
    return part;
}

TMeshPart Ellipsoid(const TVec3 radii, const int slices, const int stacks)
{
    TMeshPart part;
    const uint32_t southPole = part.AddVertex({0, 0, -radii.Z});
    std::vector<std::vector<uint32_t>> rings;
    for (int j = 1; j < stacks; ++j)
    {
        const double latitude = -Pi / 2 + Pi * j / stacks;
        std::vector<uint32_t> ring;
        for (int i = 0; i < slices; ++i)
        {
            const double longitude = 2 * Pi * i / slices;
            ring.push_back(part.AddVertex({radii.X * std::cos(latitude) * std::cos(longitude),
                                           radii.Y * std::cos(latitude) * std::sin(longitude),
                                           radii.Z * std::sin(latitude)}));
        }
        rings.push_back(std::move(ring));
    }
    const uint32_t northPole = part.AddVertex({0, 0, radii.Z});
    for (int i = 0; i < slices; ++i)
    {
        const int next = (i + 1) % slices;
        part.AddTriangle(southPole, rings.front()[next], rings.front()[i], 1);
        for (size_t j = 0; j + 1 < rings.size(); ++j)
            part.AddQuad(rings[j][i], rings[j][next], rings[j + 1][next], rings[j + 1][i], 1);
        part.AddTriangle(rings.back()[i], rings.back()[next], northPole, 1);
    }
    return part;
}

TMeshPart Tube(const TVec3 from, const TVec3 to, const double radius, const int segments)
{
    const TVec3 axis = to - from;
    const TVec3 z = Normalized(axis);
    // Any vector not along the axis gives the bar's other two axes.
    const TVec3 helper = std::abs(z.Z) < 0.9 ? TVec3{0, 0, 1} : TVec3{1, 0, 0};
    const TVec3 x = Normalized(Cross(helper, z));
    const TVec3 y = Cross(z, x);
    TMeshPart part;
    part.Append(Frustum(radius, radius, Length(axis), segments), {x, y, z, from});
    return part;
}

TMeshPart Rectangle(const TVec2 min, const TVec2 max, const double z)
{
    TMeshPart part;
    part.AddQuad(part.AddVertex({min.X, min.Y, z}), part.AddVertex({max.X, min.Y, z}),
                 part.AddVertex({max.X, max.Y, z}), part.AddVertex({min.X, max.Y, z}), 1);
    return part;
}
