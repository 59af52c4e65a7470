#include "MenuProjection.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
// The camera stands at (10, 0, 0), looks at the origin with +Y up, and has a
// focal length of 40 on a 1450 x 930 viewer: a unit at distance d spans
// 725 / (d * 1450 * 25.4 / (4 * 40 * 96)) = 302.36 / d pixels either way
// from the centre, and larger z lies further left.
constexpr double CameraX = 10;
constexpr double PixelsPerUnit = 302.36;
constexpr double CentreX = 725;
constexpr double CentreY = 465;

QPointF Project(const TVector& world)
{
    const double distance = CameraX - world.X;
    return {CentreX - world.Z * PixelsPerUnit / distance, CentreY - world.Y * PixelsPerUnit / distance};
}

struct TScreenTriangle
{
    QPointF Corners[3];
    double Area() const
    {
        const QPointF a = Corners[1] - Corners[0], b = Corners[2] - Corners[0];
        return std::abs(a.x() * b.y() - a.y() * b.x()) / 2;
    }
    QPoint Centre() const { return ((Corners[0] + Corners[1] + Corners[2]) / 3).toPoint(); }
};

std::vector<TScreenTriangle> ScreenTriangles(TGLFreeForm& mesh)
{
    const TAffineVectorList corners = mesh.ExtractTriangles();
    const TMatrix& world = mesh.WorldMatrix();
    std::vector<TScreenTriangle> triangles;
    for (int i = 0; i + 2 < corners.Count(); i += 3)
    {
        TScreenTriangle triangle;
        for (int k = 0; k < 3; ++k)
        {
            const TAffineVector& c = corners[i + k];
            triangle.Corners[k] = Project(VectorTransform(TVector{c.X, c.Y, c.Z, 1}, world));
        }
        triangles.push_back(triangle);
    }
    return triangles;
}
} // namespace

std::optional<QPoint> ViewerPointOn(TGLFreeForm& mesh, const int rank)
{
    std::vector<TScreenTriangle> triangles = ScreenTriangles(mesh);
    std::sort(triangles.begin(), triangles.end(),
              [](const TScreenTriangle& a, const TScreenTriangle& b) { return a.Area() > b.Area(); });
    // Distinct points for distinct ranks: centres closer than a few pixels
    // would be the same spot under the pointer.
    std::vector<QPoint> points;
    for (const TScreenTriangle& triangle : triangles)
    {
        const QPoint centre = triangle.Centre();
        const bool apart = std::all_of(points.begin(), points.end(),
                                       [&](const QPoint& p) { return (p - centre).manhattanLength() > 8; });
        if (apart)
            points.push_back(centre);
        if (static_cast<int>(points.size()) > rank)
            return points.back();
    }
    return std::nullopt;
}

QRectF ViewerBounds(TGLFreeForm& mesh)
{
    QRectF bounds;
    for (const TScreenTriangle& triangle : ScreenTriangles(mesh))
        for (const QPointF& corner : triangle.Corners)
            bounds |= QRectF(corner, QSizeF(1, 1));
    return bounds;
}

std::optional<QPoint> ViewerBackground(TMenu_Jeu& menu)
{
    QRectF taken;
    for (TGLFreeForm* const mesh : {menu.Play1, menu.Quit1, menu.Option1, menu.Rage})
        taken |= ViewerBounds(*mesh);
    taken.adjust(-10, -10, 10, 10);
    for (int y = 10; y < 930; y += 20)
        for (int x = 10; x < 1450; x += 20)
            if (!taken.contains(QPointF(x, y)))
                return QPoint(x, y);
    return std::nullopt;
}
