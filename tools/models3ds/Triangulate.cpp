#include "Triangulate.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace
{
// The ring of point indices that is cut into ears, always counter-clockwise
// for the outline and clockwise for a hole.
using TRing = std::vector<int>;

TRing RingOf(const TPolygon2& polygon, const int first, const bool counterClockwise)
{
    TRing ring(polygon.size());
    std::iota(ring.begin(), ring.end(), first);
    if ((TwiceSignedArea(polygon) > 0) != counterClockwise)
        std::reverse(ring.begin(), ring.end());
    return ring;
}

double Turn(const TVec2 a, const TVec2 b, const TVec2 c)
{
    return Cross(b - a, c - a);
}

bool InsideOrOnTriangle(const TVec2 p, const TVec2 a, const TVec2 b, const TVec2 c)
{
    return Turn(a, b, p) >= 0 && Turn(b, c, p) >= 0 && Turn(c, a, p) >= 0;
}

size_t RightmostIndex(const TRing& ring, const std::vector<TVec2>& points)
{
    return static_cast<size_t>(std::max_element(ring.begin(), ring.end(), [&](const int a, const int b) {
                                   return points[a].X < points[b].X;
                               }) - ring.begin());
}

// The ring position of a vertex of `ring` that sees `m` along a segment
// crossing no edge: the nearer end of the first edge that a ray from m
// towards +x meets, unless a reflex vertex inside the triangle between m, the
// hit and that end is closer in angle to the ray.
size_t BridgeTarget(const TRing& ring, const std::vector<TVec2>& points, const TVec2 m)
{
    double nearestX = std::numeric_limits<double>::infinity();
    size_t hitEdge = ring.size();
    for (size_t i = 0; i < ring.size(); ++i)
    {
        const TVec2 a = points[ring[i]];
        const TVec2 b = points[ring[(i + 1) % ring.size()]];
        // Seen from inside, the ray leaves through edges that run upwards.
        if (!(a.Y <= m.Y && m.Y <= b.Y && a.Y < b.Y))
            continue;
        const double x = a.X + (m.Y - a.Y) * (b.X - a.X) / (b.Y - a.Y);
        if (x >= m.X && x < nearestX)
        {
            nearestX = x;
            hitEdge = i;
        }
    }
    if (hitEdge == ring.size())
        throw std::invalid_argument("a hole lies outside its outline");
    const size_t next = (hitEdge + 1) % ring.size();
    const size_t candidate = points[ring[hitEdge]].X > points[ring[next]].X ? hitEdge : next;
    const TVec2 hit{nearestX, m.Y};
    const TVec2 p = points[ring[candidate]];
    if (p == hit)
        return candidate;

    size_t best = candidate;
    double bestSlope = std::abs(p.Y - m.Y) / (p.X - m.X);
    for (size_t i = 0; i < ring.size(); ++i)
    {
        const TVec2 v = points[ring[i]];
        const TVec2 previous = points[ring[(i + ring.size() - 1) % ring.size()]];
        const TVec2 following = points[ring[(i + 1) % ring.size()]];
        const bool reflex = Turn(previous, v, following) <= 0;
        if (i == candidate || !reflex || v.X <= m.X)
            continue;
        const bool inside = p.Y > m.Y ? InsideOrOnTriangle(v, m, hit, p) : InsideOrOnTriangle(v, m, p, hit);
        const double slope = std::abs(v.Y - m.Y) / (v.X - m.X);
        if (inside && slope < bestSlope)
        {
            best = i;
            bestSlope = slope;
        }
    }
    return best;
}

// Joins a hole to the ring: ..., target, hole from m all the way round back
// to m, target, ...
void Bridge(TRing& ring, const TRing& hole, const std::vector<TVec2>& points)
{
    const size_t m = RightmostIndex(hole, points);
    const size_t target = BridgeTarget(ring, points, points[hole[m]]);
    TRing joined(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(target) + 1);
    for (size_t i = 0; i <= hole.size(); ++i)
        joined.push_back(hole[(m + i) % hole.size()]);
    joined.insert(joined.end(), ring.begin() + static_cast<std::ptrdiff_t>(target), ring.end());
    ring = std::move(joined);
}

bool SegmentsMeet(const TVec2 a, const TVec2 b, const TVec2 c, const TVec2 d)
{
    const double abc = Turn(a, b, c), abd = Turn(a, b, d), cda = Turn(c, d, a), cdb = Turn(c, d, b);
    if (abc == 0 && abd == 0)
        return std::max(a.X, b.X) >= std::min(c.X, d.X) && std::max(c.X, d.X) >= std::min(a.X, b.X) &&
               std::max(a.Y, b.Y) >= std::min(c.Y, d.Y) && std::max(c.Y, d.Y) >= std::min(a.Y, b.Y);
    return ((abc <= 0 && abd >= 0) || (abc >= 0 && abd <= 0)) && ((cda <= 0 && cdb >= 0) || (cda >= 0 && cdb <= 0));
}

// Ear clipping of a crossing outline would quietly draw something wrong, so
// any two edges that meet, other than neighbours at their shared corner,
// stop the cut.
void CheckSimple(const std::vector<TRing>& rings, const std::vector<TVec2>& points)
{
    struct TEdge
    {
        int From, To;
    };
    std::vector<TEdge> edges;
    for (const TRing& ring : rings)
        for (size_t i = 0; i < ring.size(); ++i)
            edges.push_back({ring[i], ring[(i + 1) % ring.size()]});
    for (size_t i = 0; i < edges.size(); ++i)
        for (size_t j = i + 1; j < edges.size(); ++j)
        {
            const TEdge e = edges[i], f = edges[j];
            const bool neighbours = e.To == f.From || f.To == e.From;
            if (!neighbours && SegmentsMeet(points[e.From], points[e.To], points[f.From], points[f.To]))
                throw std::invalid_argument("the polygon's edges cross or touch");
        }
}

bool IsEar(const TRing& ring, const std::vector<TVec2>& points, const size_t i)
{
    const size_t n = ring.size();
    const int ia = ring[(i + n - 1) % n];
    const int ib = ring[i];
    const int ic = ring[(i + 1) % n];
    const TVec2 a = points[ia], b = points[ib], c = points[ic];
    if (Turn(a, b, c) <= 0)
        return false;
    for (const int other : ring)
        if (other != ia && other != ib && other != ic && InsideOrOnTriangle(points[other], a, b, c))
            return false;
    return true;
}

// A corner whose neighbours lie on one line with it adds no area: dropping it
// lets clipping go on where bridges left straight runs.
bool IsFlat(const TRing& ring, const std::vector<TVec2>& points, const size_t i)
{
    const size_t n = ring.size();
    return Turn(points[ring[(i + n - 1) % n]], points[ring[i]], points[ring[(i + 1) % n]]) == 0;
}

void ClipEars(TRing ring, const std::vector<TVec2>& points, std::vector<std::array<int, 3>>& triangles)
{
    while (ring.size() > 3)
    {
        const size_t n = ring.size();
        size_t cut = n;
        for (size_t i = 0; i < n && cut == n; ++i)
            if (IsEar(ring, points, i))
                cut = i;
        if (cut == n)
        {
            for (size_t i = 0; i < n && cut == n; ++i)
                if (IsFlat(ring, points, i))
                    cut = i;
            if (cut == n)
                throw std::invalid_argument("the polygon crosses itself: no ear left to cut");
            ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(cut));
            continue;
        }
        triangles.push_back({ring[(cut + n - 1) % n], ring[cut], ring[(cut + 1) % n]});
        ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(cut));
    }
    if (ring.size() == 3 && Turn(points[ring[0]], points[ring[1]], points[ring[2]]) > 0)
        triangles.push_back({ring[0], ring[1], ring[2]});
}
} // namespace

double TwiceSignedArea(const TPolygon2& polygon)
{
    double sum = 0;
    for (size_t i = 0; i < polygon.size(); ++i)
        sum += Cross(polygon[i], polygon[(i + 1) % polygon.size()]);
    return sum;
}

TTriangulation Triangulate(const TPolygon2& outline, const std::vector<TPolygon2>& holes)
{
    if (outline.size() < 3)
        throw std::invalid_argument("an outline needs at least 3 points");
    TTriangulation result;
    result.Points = outline;
    TRing ring = RingOf(outline, 0, true);

    std::vector<TRing> holeRings;
    for (const TPolygon2& hole : holes)
    {
        holeRings.push_back(RingOf(hole, static_cast<int>(result.Points.size()), false));
        result.Points.insert(result.Points.end(), hole.begin(), hole.end());
    }
    std::vector<TRing> all{ring};
    all.insert(all.end(), holeRings.begin(), holeRings.end());
    CheckSimple(all, result.Points);
    // Rightmost holes first, so that each bridge meets only the outline and
    // holes already joined to it.
    std::sort(holeRings.begin(), holeRings.end(), [&](const TRing& a, const TRing& b) {
        return result.Points[a[RightmostIndex(a, result.Points)]].X >
               result.Points[b[RightmostIndex(b, result.Points)]].X;
    });
    for (const TRing& hole : holeRings)
        Bridge(ring, hole, result.Points);
    ClipEars(std::move(ring), result.Points, result.Triangles);
    return result;
}
