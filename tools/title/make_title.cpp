// Paints the loading screen's title picture: the game's name brushed in black on a
// white field, with a stick fighter squaring up between the two words.
// Every random choice comes from one fixed seed, so the picture is the same on every run.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <numbers>
#include <string_view>
#include <vector>

namespace
{

constexpr int ImageWidth = 1280;
constexpr int ImageHeight = 800;
constexpr double Em = 190.0; // lettering size in pixels
constexpr double StrokeWidth = 0.14 * Em;
constexpr double LetterGap = 0.22 * Em; // between neighbouring strokes' centre lines
constexpr double FighterGap = 1.1 * Em; // room for the fighter between the words
constexpr double Lean = 0.12;           // forward slant of the lettering
constexpr double TwoPi = 2.0 * std::numbers::pi;

// SplitMix64: tiny, and unlike the standard distributions it gives the same
// numbers with every compiler and library.
class TBrushRandom
{
public:
    explicit TBrushRandom(const std::uint64_t seed) : FState(seed) {}

    double Uniform(const double low, const double high)
    {
        FState += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = FState;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return low + (high - low) * double(z >> 11) / double(1ull << 53);
    }

    bool Chance(const double probability) { return Uniform(0.0, 1.0) < probability; }

private:
    std::uint64_t FState;
};

// ---------------------------------------------------------------------------
// Lettering: each letter is the brush's path, in em units with y up from the baseline.

struct TGlyph
{
    double Advance; // width spanned by the strokes' centre lines
    std::vector<QPainterPath> Strokes;
    std::vector<QPointF> Dots;
};

// A start point, then three points (two controls and an end) per cubic segment.
QPainterPath Curve(const std::initializer_list<QPointF> points)
{
    const std::vector<QPointF> p(points);
    QPainterPath path(p[0]);
    for (std::size_t i = 1; i + 2 < p.size(); i += 3)
        path.cubicTo(p[i], p[i + 1], p[i + 2]);
    return path;
}

QPainterPath Line(const QPointF& from, const QPointF& to)
{
    QPainterPath path(from);
    path.lineTo(to);
    return path;
}

TGlyph Glyph(const char letter)
{
    switch (letter)
    {
    case 's':
        return {0.36,
                {Curve({{0.34, 0.45},
                        {0.28, 0.53},
                        {0.03, 0.55},
                        {0.03, 0.40},
                        {0.03, 0.26},
                        {0.35, 0.30},
                        {0.35, 0.14},
                        {0.35, -0.03},
                        {0.06, -0.04},
                        {0.00, 0.07}})},
                {}};
    case 't':
        return {
            0.32,
            {Curve({{0.12, 0.74}, {0.12, 0.50}, {0.12, 0.30}, {0.12, 0.14}, {0.12, 0.00}, {0.24, -0.01}, {0.32, 0.04}}),
             Line({0.00, 0.50}, {0.30, 0.52})},
            {}};
    case 'i':
        return {0.00, {Line({0.00, 0.50}, {0.00, 0.00})}, {{0.01, 0.71}}};
    case 'c':
        return {
            0.36,
            {Curve(
                {{0.36, 0.43}, {0.27, 0.54}, {0.00, 0.54}, {0.00, 0.26}, {0.00, -0.02}, {0.27, -0.03}, {0.37, 0.08}})},
            {}};
    case 'k':
        return {0.36,
                {Line({0.00, 0.78}, {0.00, 0.00}), Line({0.32, 0.52}, {0.03, 0.22}), Line({0.10, 0.29}, {0.36, 0.00})},
                {}};
    case 'f':
        return {
            0.32,
            {Curve({{0.34, 0.72}, {0.27, 0.80}, {0.09, 0.81}, {0.09, 0.62}, {0.09, 0.40}, {0.09, 0.20}, {0.09, 0.00}}),
             Line({0.00, 0.50}, {0.30, 0.52})},
            {}};
    case 'g':
        return {
            0.38,
            {Curve({{0.36, 0.42}, {0.27, 0.54}, {0.00, 0.54}, {0.00, 0.28}, {0.00, 0.03}, {0.27, 0.02}, {0.36, 0.14}}),
             Curve({{0.38, 0.52},
                    {0.38, 0.30},
                    {0.38, 0.10},
                    {0.38, -0.08},
                    {0.38, -0.30},
                    {0.08, -0.31},
                    {0.00, -0.16}})},
            {}};
    case 'h':
        return {
            0.36,
            {Line({0.00, 0.78}, {0.00, 0.00}),
             Curve({{0.01, 0.32}, {0.06, 0.49}, {0.36, 0.56}, {0.36, 0.30}, {0.36, 0.20}, {0.36, 0.10}, {0.36, 0.00}})},
            {}};
    default:
        return {0.0, {}, {}};
    }
}

double WordWidth(const std::string_view word)
{
    double width = -LetterGap;
    for (const char letter : word)
        width += Glyph(letter).Advance * Em + LetterGap;
    return width;
}

// ---------------------------------------------------------------------------
// The brush.

struct TSpineSample
{
    QPointF Point;
    QPointF Normal;
};

std::vector<TSpineSample> SampleSpine(const QPainterPath& spine, const int steps)
{
    std::vector<TSpineSample> samples;
    for (int k = 0; k <= steps; ++k)
    {
        const double t = double(k) / steps;
        const double angle = spine.angleAtPercent(t) * std::numbers::pi / 180.0;
        samples.push_back({spine.pointAtPercent(t), QPointF(std::sin(angle), std::cos(angle))});
    }
    return samples;
}

// How hard the brush presses at t: it spreads as it lands, swells a little as the
// hand wavers and lifts off thinner.
double Pressure(const double t, const double phase)
{
    const double waver = 1.0 + 0.08 * std::sin(TwoPi * (1.3 * t + phase));
    return std::min(1.0, 0.85 + 3.0 * t) * (1.0 - 0.3 * t) * waver;
}

// 0 while the brush is loaded, rising to 1 at the end of a stroke that runs dry.
double DryAt(const double t, const double dryness)
{
    const double zone = std::min(1.0, 1.6 * dryness);
    return zone > 0.0 ? std::max(0.0, (t - (1.0 - zone)) / zone) : 0.0;
}

// A stretch of the stroke where a few neighbouring bristles carry no ink and leave a
// pale streak, as a brush does when it starts to run dry.
struct TDryChannel
{
    double Across;
    double HalfWidth;
    double From;
    double To;
};

// A loaded brush dragged along a path: parallel bristles, the outer ones running dry
// first, all of them breaking up into streaks as the ink runs out towards the end.
void PaintBristleStroke(QPainter& painter, const QPainterPath& spine, const double width, const double dryness,
                        TBrushRandom& random)
{
    const double length = spine.length();
    const int steps = std::max(12, int(length / 2.0));
    const std::vector<TSpineSample> samples = SampleSpine(spine, steps);
    const int bristles = std::max(6, int(width / 1.3));
    const double bristleWidth = 2.4 * width / bristles;
    const double phase = random.Uniform(0.0, 1.0);
    const double channelFrom = random.Uniform(0.1, 0.6);
    const TDryChannel channel{random.Uniform(-0.35, 0.35), random.Uniform(0.0, 0.09), channelFrom,
                              channelFrom + random.Uniform(0.1, 0.4)};

    for (int b = 0; b < bristles; ++b)
    {
        const double across = double(b) / (bristles - 1) - 0.5;
        const double edge = std::abs(across) * 2.0;
        // Outer bristles touch down later, which rounds the stroke's head.
        const double start = 0.5 * width * (1.0 - std::sqrt(1.0 - edge * edge)) / length;
        const double end = 1.0 - dryness * random.Uniform(0.0, 0.3 + 0.7 * edge * edge);
        const double waveAmplitude = random.Uniform(0.0, 0.5) * bristleWidth * edge;
        const double waveFrequency = random.Uniform(3.0, 9.0);
        const double wavePhase = random.Uniform(0.0, TwoPi);
        const bool inChannel = std::abs(across - channel.Across) <= channel.HalfWidth;
        const auto bristleAt = [&](const int k)
        {
            const double t = double(k) / steps;
            const double offset =
                across * width * Pressure(t, phase) + waveAmplitude * std::sin(waveFrequency * t + wavePhase);
            return samples[k].Point + samples[k].Normal * offset;
        };
        for (int k = int(start * steps); k < int(end * steps); ++k)
        {
            const double t = double(k) / steps;
            const double dry = DryAt(t, dryness);
            const bool channelled = inChannel && t > channel.From && t < channel.To;
            const double skip = channelled ? 0.85 : 0.5 * dry * dry + (edge > 0.85 ? 0.12 : 0.0);
            if (random.Chance(skip))
                continue;
            const double thinning = 1.0 - 0.55 * dry;
            painter.setPen(QPen(Qt::black, bristleWidth * thinning, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(bristleAt(k), bristleAt(k + 1));
        }
    }
}

// A round dab of ink with a wobbly rim: the i's dot, the fighter's head and fists.
void PaintBlob(QPainter& painter, const QPointF& centre, const double radius, TBrushRandom& random)
{
    constexpr int Points = 48;
    const double phase = random.Uniform(0.0, TwoPi);
    const double lobes = std::floor(random.Uniform(2.0, 4.0));
    QPolygonF rim;
    for (int i = 0; i < Points; ++i)
    {
        const double angle = TwoPi * i / Points;
        const double wobble = 0.06 * std::sin(lobes * angle + phase) + random.Uniform(-0.025, 0.025);
        const double r = radius * (1.0 + wobble);
        rim << centre + QPointF(std::cos(angle), std::sin(angle)) * r;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(rim);
}

// A flung drop and the spray around it, smeared outwards along their flight.
void PaintSplatter(QPainter& painter, const QPointF& centre, const double radius, TBrushRandom& random)
{
    PaintBlob(painter, centre, radius, random);
    const double flight = random.Uniform(0.0, 360.0);
    const int drops = int(random.Uniform(7.0, 13.0));
    for (int d = 0; d < drops; ++d)
    {
        const double distance = radius * random.Uniform(1.6, 4.5);
        const double size = radius * random.Uniform(0.12, 0.4) / std::sqrt(distance / radius);
        painter.save();
        painter.translate(centre);
        painter.rotate(flight + random.Uniform(-70.0, 70.0));
        painter.drawEllipse(QPointF(distance, 0.0), size * (1.0 + 0.25 * distance / radius), size);
        painter.restore();
    }
}

// ---------------------------------------------------------------------------
// The picture.

// Paints `word` with its baseline at `origin.y()` and its left edge at `origin.x()`.
void PaintWord(QPainter& painter, const std::string_view word, const QPointF& origin, TBrushRandom& random)
{
    double x = origin.x();
    for (const char letter : word)
    {
        const TGlyph glyph = Glyph(letter);
        // Each letter sits a little askew, as a hand paints them one at a time,
        // and all of them lean forward.
        QTransform toPage;
        toPage.translate(x, origin.y() + random.Uniform(-0.015, 0.015) * Em);
        toPage.rotate(random.Uniform(-3.0, 3.0));
        toPage.scale(Em, -Em);
        toPage.shear(Lean, 0.0);
        for (const QPainterPath& stroke : glyph.Strokes)
            PaintBristleStroke(painter, toPage.map(stroke), StrokeWidth * random.Uniform(0.92, 1.08),
                               random.Uniform(0.15, 0.4), random);
        for (const QPointF& dot : glyph.Dots)
            PaintBlob(painter, toPage.map(dot), 0.6 * StrokeWidth, random);
        x += (glyph.Advance * Em) + LetterGap;
    }
}

// A bent limb; the control point is placed so the curve passes through the joint itself.
QPainterPath Limb(const QPointF& from, const QPointF& joint, const QPointF& to)
{
    QPainterPath limb(from);
    limb.quadTo(joint * 2.0 - (from + to) * 0.5, to);
    return limb;
}

// Feet on the baseline at `feet`, facing right, punching towards the second word.
void PaintStickFighter(QPainter& painter, const QPointF& feet, const double height, TBrushRandom& random)
{
    const auto at = [&](const double x, const double y) { return feet + QPointF(x, -y) * height; };
    const QPointF hip = at(-0.02, 0.40);
    const QPointF neck = at(0.06, 0.72);
    const QPointF shoulder = at(0.05, 0.68);
    const QPointF punch = at(0.50, 0.71);
    const QPointF guard = at(-0.12, 0.78);
    const double thickness = 0.7 * StrokeWidth;

    const QPainterPath strokes[] = {
        Limb(neck, at(0.03, 0.56), hip),            // torso, leaning into the punch
        Limb(hip, at(0.17, 0.22), at(0.27, 0.0)),   // front leg, knee bent
        Limb(hip, at(-0.14, 0.20), at(-0.30, 0.0)), // back leg, braced
        Limb(shoulder, at(0.24, 0.68), punch),      // punching arm
        Limb(shoulder, at(-0.17, 0.60), guard),     // rear arm cocked for the next blow
    };
    for (const QPainterPath& stroke : strokes)
        PaintBristleStroke(painter, stroke, thickness, 0.2, random);
    PaintBlob(painter, at(0.10, 0.87), 0.12 * height, random);
    PaintBlob(painter, punch, 0.7 * thickness, random);
    PaintBlob(painter, guard, 0.6 * thickness, random);
}

void PaintTitle(QPainter& painter, TBrushRandom& random)
{
    constexpr std::string_view First = "stick";
    constexpr std::string_view Second = "fight";
    const double firstWidth = WordWidth(First);
    const double titleWidth = firstWidth + FighterGap + WordWidth(Second);
    // The forward lean pushes the letters' middles, a quarter em up, to the right.
    const double left = (ImageWidth - titleWidth) / 2.0 - 0.25 * Lean * Em;
    // Centres the lettering's body, descender to ascender, rather than its baseline.
    const double baseline = ImageHeight / 2.0 + 0.26 * Em;

    PaintWord(painter, First, {left, baseline}, random);
    PaintWord(painter, Second, {left + firstWidth + FighterGap, baseline}, random);
    PaintStickFighter(painter, {left + firstWidth + 0.46 * FighterGap, baseline}, 0.88 * Em, random);

    // A few drops flicked off the brush, clear of the letters so they cannot blur them.
    const QPointF splatters[] = {{left - 0.16 * Em, baseline - 0.62 * Em},
                                 {left + titleWidth + 0.12 * Em, baseline - 0.92 * Em},
                                 {left + titleWidth - 0.55 * Em, baseline + 0.3 * Em}};
    for (const QPointF& splatter : splatters)
        PaintSplatter(painter, splatter, random.Uniform(0.045, 0.065) * Em, random);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_title <out.png>\n");
        return 2;
    }

    QImage image(ImageWidth, ImageHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        TBrushRandom random(0x57C1F16);
        PaintTitle(painter, random);
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG"))
    {
        std::fprintf(stderr, "make_title: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
