// Paints the desktop icon: a black stick fighter landing a high kick, with a
// red burst where the kick lands, on a light rounded tile. Every size is
// painted from the same drawing, so small icons stay sharp instead of being
// shrunk from a large picture.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace
{
// The drawing is made on a square of this many units, scaled to the icon's size.
constexpr double Canvas = 256.0;
constexpr int SmallestSize = 16;
constexpr int LargestSize = 1024;

const QColor TileColour(0xf4, 0xf1, 0xea);
const QColor EdgeColour(0x30, 0x30, 0x30);
const QColor FighterColour(0x10, 0x10, 0x10);
const QColor BurstColour(0xd0, 0x20, 0x20);

void PaintTile(QPainter& painter)
{
    constexpr double margin = 8.0;
    constexpr double corner = 40.0;
    painter.setPen(QPen(EdgeColour, 6.0));
    painter.setBrush(TileColour);
    painter.drawRoundedRect(QRectF(margin, margin, Canvas - 2 * margin, Canvas - 2 * margin), corner, corner);
}

// A star of alternating long and short rays around the kicking foot.
void PaintBurst(QPainter& painter, const QPointF& centre)
{
    constexpr int rays = 8;
    constexpr double outer = 34.0;
    constexpr double inner = 15.0;
    QPolygonF star;
    for (int i = 0; i < 2 * rays; ++i)
    {
        const double angle = i * std::numbers::pi / rays;
        const double radius = i % 2 == 0 ? outer : inner;
        star << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(BurstColour);
    painter.drawPolygon(star);
}

QPainterPath Limb(const QPointF& from, const QPointF& joint, const QPointF& to)
{
    QPainterPath path(from);
    path.lineTo(joint);
    path.lineTo(to);
    return path;
}

void PaintFighter(QPainter& painter)
{
    const QPointF neck(118, 86);
    const QPointF hip(104, 150);
    painter.setPen(QPen(FighterColour, 15.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(neck, hip);
    // Standing leg, bent under the body.
    painter.drawPath(Limb(hip, QPointF(86, 190), QPointF(92, 228)));
    // Kicking leg, reaching up to the burst.
    painter.drawPath(Limb(hip, QPointF(156, 146), QPointF(196, 104)));
    // Guard: one fist before the face, the other arm thrown back for balance.
    painter.drawPath(Limb(QPointF(116, 96), QPointF(144, 112), QPointF(150, 84)));
    painter.drawPath(Limb(QPointF(116, 96), QPointF(86, 108), QPointF(62, 92)));
    painter.setPen(Qt::NoPen);
    painter.setBrush(FighterColour);
    painter.drawEllipse(QPointF(124, 58), 22, 22);
}

QImage PaintIcon(const int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / Canvas, size / Canvas);
    PaintTile(painter);
    PaintBurst(painter, QPointF(204, 96));
    PaintFighter(painter);
    return image;
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: make_icon <out.png> <size in pixels>\n");
        return 2;
    }
    char* end = nullptr;
    const long size = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || size < SmallestSize || size > LargestSize)
    {
        std::fprintf(stderr, "make_icon: the size must be a whole number of pixels from %d to %d, not \"%s\"\n",
                     SmallestSize, LargestSize, argv[2]);
        return 2;
    }
    if (!PaintIcon(int(size)).save(QString::fromLocal8Bit(argv[1]), "PNG"))
    {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
