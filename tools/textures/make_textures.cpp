// Paints the fight arena's pictures: the six sky-box faces, the arena floor, the low wall
// and two town textures. Every value comes from fixed seeds and plain arithmetic, so every
// run writes the same bytes.

#include <cstdio> // jpeglib.h needs FILE declared first
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace
{

constexpr int PictureSize = 512;
constexpr double Pi = std::numbers::pi;

// ---------------------------------------------------------------------------
// Colours and pictures

struct TColour
{
    double R, G, B;
};

TColour operator+(const TColour& a, const TColour& b)
{
    return {a.R + b.R, a.G + b.G, a.B + b.B};
}
TColour operator*(const TColour& c, const double k)
{
    return {c.R * k, c.G * k, c.B * k};
}

double Clamp01(const double x)
{
    return std::clamp(x, 0.0, 1.0);
}
double Lerp(const double a, const double b, const double t)
{
    return a + (b - a) * t;
}
TColour Mix(const TColour& a, const TColour& b, const double t)
{
    return a * (1.0 - t) + b * t;
}

double SmoothStep(const double edge0, const double edge1, const double x)
{
    const double t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

// Picks from a ramp of evenly spaced colours, t in [0, 1].
TColour Ramp(const std::vector<TColour>& stops, const double t)
{
    const double x = Clamp01(t) * double(stops.size() - 1);
    const std::size_t i = std::min(std::size_t(x), stops.size() - 2);
    return Mix(stops[i], stops[i + 1], x - double(i));
}

struct TPicture
{
    int Size = PictureSize;
    std::vector<TColour> Pixels;
};

// The shader sees picture coordinates u (left to right) and v (top to bottom), both in [0, 1).
// Averaging a few points per pixel keeps thin mortar lines and rooftops from stair-stepping.
using TShader = std::function<TColour(double u, double v)>;

TPicture Render(const int samples, const TShader& shader)
{
    TPicture picture;
    picture.Pixels.reserve(std::size_t(picture.Size) * std::size_t(picture.Size));
    const double step = 1.0 / (double(picture.Size) * samples);
    for (int y = 0; y < picture.Size; ++y)
        for (int x = 0; x < picture.Size; ++x)
        {
            TColour sum{0.0, 0.0, 0.0};
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx)
                    sum = sum + shader((x * samples + sx + 0.5) * step, (y * samples + sy + 0.5) * step);
            picture.Pixels.push_back(sum * (1.0 / (samples * samples)));
        }
    return picture;
}

bool WriteJpeg(const TPicture& picture, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(picture.Size);
    info.image_height = JDIMENSION(picture.Size);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(picture.Size) * 3);
    while (info.next_scanline < info.image_height)
    {
        const TColour* pixel = &picture.Pixels[std::size_t(info.next_scanline) * std::size_t(picture.Size)];
        for (int x = 0; x < picture.Size; ++x, ++pixel)
        {
            row[3 * x + 0] = JSAMPLE(std::lround(Clamp01(pixel->R) * 255.0));
            row[3 * x + 1] = JSAMPLE(std::lround(Clamp01(pixel->G) * 255.0));
            row[3 * x + 2] = JSAMPLE(std::lround(Clamp01(pixel->B) * 255.0));
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

// ---------------------------------------------------------------------------
// Noise. Our own hash rather than the standard distributions, whose output differs
// between library versions.

std::uint32_t Hash(const int x, const int y, const std::uint32_t seed)
{
    std::uint32_t h = seed * 0x9E3779B9u ^ std::uint32_t(x) * 0x85EBCA6Bu ^ std::uint32_t(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

double HashUnit(const int x, const int y, const std::uint32_t seed)
{
    return Hash(x, y, seed) / 4294967296.0;
}

// A period of 0 or less means the lattice never repeats.
int Wrap(const int i, const int period)
{
    if (period <= 0)
        return i;
    const int m = i % period;
    return m < 0 ? m + period : m;
}

double ValueNoise(const double x, const double y, const int period, const std::uint32_t seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = int(fx);
    const int iy = int(fy);
    const auto fade = [](const double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); };
    const double tx = fade(x - fx);
    const double ty = fade(y - fy);
    const auto corner = [&](const int dx, const int dy)
    { return HashUnit(Wrap(ix + dx, period), Wrap(iy + dy, period), seed); };
    return Lerp(Lerp(corner(0, 0), corner(1, 0), tx), Lerp(corner(0, 1), corner(1, 1), tx), ty);
}

// Octaves of halving size, normalised to [0, 1]. With a period the sum tiles every
// `period` units. Octaves finer than the footprint (input units per pixel) fade to their
// mean, so that distant ground and clouds blur instead of sparkling.
double Fbm(const double x, const double y, const int octaves, const int period, const std::uint32_t seed,
           const double footprint = 0.0)
{
    double sum = 0.0;
    double total = 0.0;
    double amplitude = 0.5;
    double frequency = 1.0;
    for (int i = 0; i < octaves; ++i)
    {
        const double detail = Clamp01(2.0 - 4.0 * frequency * footprint);
        const double noise = ValueNoise(x * frequency, y * frequency, period << i, seed + 101u * std::uint32_t(i));
        sum += amplitude * Lerp(0.5, noise, detail);
        total += amplitude;
        amplitude *= 0.5;
        frequency *= 2.0;
    }
    return sum / total;
}

// The nearest of one jittered point per cell, in picture units; the cells wrap so the
// pattern tiles.
struct TCells
{
    double Distance = 1e9;
    double ToPointU = 0.0; // from the sample to the nearest point
    double ToPointV = 0.0;
    std::uint32_t Id = 0; // the nearest cell's own random number
};

TCells Cellular(const double u, const double v, const int cells, const std::uint32_t seed)
{
    const int cx = int(std::floor(u * cells));
    const int cy = int(std::floor(v * cells));
    TCells nearest;
    for (int j = cy - 1; j <= cy + 1; ++j)
        for (int i = cx - 1; i <= cx + 1; ++i)
        {
            const int wi = Wrap(i, cells);
            const int wj = Wrap(j, cells);
            const double du = (i + 0.1 + 0.8 * HashUnit(wi, wj, seed)) / cells - u;
            const double dv = (j + 0.1 + 0.8 * HashUnit(wi, wj, seed + 1u)) / cells - v;
            const double distance = std::hypot(du, dv);
            if (distance < nearest.Distance)
                nearest = {distance, du, dv, Hash(wi, wj, seed + 2u)};
        }
    return nearest;
}

// Diffuse light on a height field (heights in pixels), the light coming from the upper left
// as on all the arena's pictures. A flat surface gives exactly 1.
double Relief(const std::function<double(double, double)>& height, const double u, const double v)
{
    const double e = 1.0 / PictureSize;
    const double dx = (height(u + e, v) - height(u - e, v)) / 2.0;
    const double dy = (height(u, v + e) - height(u, v - e)) / 2.0;
    const double lx = -0.5, ly = -0.5, lz = 0.7071;
    const double n = std::sqrt(dx * dx + dy * dy + 1.0);
    return std::max(0.0, (-dx * lx - dy * ly + lz) / n) / lz;
}

// Fine grain fixed to whole pixels, so it stays crisp under the supersampling.
double Grain(const double u, const double v, const std::uint32_t seed)
{
    return HashUnit(int(u * PictureSize), int(v * PictureSize), seed) - 0.5;
}

bool Inside(const double x, const double y, const double left, const double top, const double right,
            const double bottom)
{
    return x >= left && x < right && y >= top && y < bottom;
}

// ---------------------------------------------------------------------------
// Sky box. The six faces are views of one landscape seen from the box's centre, so every
// edge meets its neighbour exactly. The box spans y from -1/3 (the ground) to +1 and
// x, z from -1 to 1, eye at the origin; the horizon lies a quarter up each side face.

struct TVector
{
    double X, Y, Z;
};

enum class TFace
{
    Back,
    Left,
    Front,
    Right,
    Top,
    Bottom
};

constexpr double GroundDepth = 1.0 / 3.0;
constexpr double CloudHeight = 0.3;
const TColour Haze{0.80, 0.87, 0.94};

// The box point a picture coordinate shows. Pictures are seen from inside, their first rows
// at the top (textures are uploaded bottom row first). The top face's upper edge meets the
// back face and the bottom face's upper edge meets the front face.
TVector FacePoint(const TFace face, const double u, const double v)
{
    const double across = 2.0 * u - 1.0;
    const double height = 1.0 - v * (1.0 + GroundDepth);
    switch (face)
    {
    case TFace::Back:
        return {-across, height, 1.0};
    case TFace::Left:
        return {-1.0, height, -across};
    case TFace::Front:
        return {across, height, -1.0};
    case TFace::Right:
        return {1.0, height, across};
    case TFace::Top:
        return {across, 1.0, 1.0 - 2.0 * v};
    case TFace::Bottom:
        return {across, -GroundDepth, 2.0 * v - 1.0};
    }
    return {0.0, 0.0, 0.0};
}

struct TBuilding
{
    double Start, End; // azimuth, in turns
    double Wall, Roof; // heights above the horizon, as tangents of elevation
    TColour WallColour, RoofColour;
};

// Clusters of houses, with a church tower here and there, at fixed places round the horizon.
std::vector<TBuilding> MakeTown()
{
    std::vector<TBuilding> town;
    std::uint32_t draw = 0;
    const auto random = [&draw](const double low, const double high)
    { return Lerp(low, high, HashUnit(int(draw++), 0, 0x70D17u)); };
    const double centres[] = {0.08, 0.37, 0.62, 0.86};
    const double widths[] = {0.09, 0.06, 0.11, 0.05};
    for (int t = 0; t < 4; ++t)
    {
        double at = centres[t] - widths[t] / 2.0;
        while (at < centres[t] + widths[t] / 2.0)
        {
            // Taller in the middle of each town, thinning out to the fields.
            const double middle = 1.0 - std::abs(at - centres[t]) / (widths[t] / 2.0);
            const double scale = 0.55 + 0.45 * middle;
            TBuilding b;
            const bool tower = random(0.0, 1.0) < 0.07;
            const double width = tower ? random(0.0026, 0.0035) : random(0.005, 0.011);
            b.Start = at;
            b.End = at + width;
            b.Wall = tower ? random(0.09, 0.11) : scale * random(0.024, 0.05);
            b.Roof = tower ? random(0.045, 0.06) : scale * random(0.013, 0.026);
            b.WallColour = tower ? TColour{0.70, 0.68, 0.64}
                                 : Mix(TColour{0.93, 0.88, 0.78}, TColour{0.82, 0.72, 0.60}, random(0.0, 1.0));
            b.RoofColour = tower ? TColour{0.35, 0.38, 0.42}
                                 : Mix(TColour{0.70, 0.32, 0.22}, TColour{0.50, 0.26, 0.20}, random(0.0, 1.0));
            town.push_back(b);
            at += width + (random(0.0, 1.0) < 0.2 ? random(0.001, 0.004) : 0.0);
        }
    }
    return town;
}

// The building in front at an azimuth, and how it looks at a height above the horizon.
bool TownColour(const std::vector<TBuilding>& town, const double azimuth, const double height, TColour& colour)
{
    const auto next = std::upper_bound(town.begin(), town.end(), azimuth,
                                       [](const double a, const TBuilding& b) { return a < b.Start; });
    if (next == town.begin())
        return false;
    const TBuilding& b = *(next - 1);
    if (azimuth >= b.End)
        return false;
    const double across = (azimuth - b.Start) / (b.End - b.Start);
    const double ridge = b.Wall + b.Roof * (1.0 - std::abs(2.0 * across - 1.0));
    if (height > ridge)
        return false;
    if (height > b.Wall)
    {
        colour = b.RoofColour * (across < 0.5 ? 1.1 : 0.85); // the sunlit and the shaded slope
        return true;
    }
    // Small dark windows in two rows.
    const double column = std::fmod(across * std::max(1.0, std::round((b.End - b.Start) / 0.0018)), 1.0);
    const double row = height / b.Wall;
    const bool window = column > 0.35 && column < 0.7 && ((row > 0.25 && row < 0.42) || (row > 0.6 && row < 0.77));
    colour = window ? b.WallColour * 0.45 : b.WallColour;
    return true;
}

double Ridge(const double azimuth, const int cells, const double base, const double rise, const std::uint32_t seed)
{
    return base + rise * SmoothStep(0.3, 0.7, Fbm(azimuth * cells, 0.5, 5, cells, seed));
}

// A sample's ray and the rays through the next pixel across and down, which tell how much
// of a distant plane one pixel covers.
struct TPixelRays
{
    TVector At, Across, Down;
};

struct TPlanePoint
{
    double X, Z;
    double Footprint; // plane units per pixel
};

// Where the ray meets the horizontal plane at `level` (negative below the eye).
TPlanePoint OnPlane(const TPixelRays& rays, const double level)
{
    const auto meet = [level](const TVector& ray, double& x, double& z)
    {
        const bool hits = ray.Y * level > 0.0;
        x = hits ? ray.X * level / ray.Y : 1e9;
        z = hits ? ray.Z * level / ray.Y : 1e9;
    };
    TPlanePoint point{};
    double acrossX, acrossZ, downX, downZ;
    meet(rays.At, point.X, point.Z);
    meet(rays.Across, acrossX, acrossZ);
    meet(rays.Down, downX, downZ);
    point.Footprint =
        std::max(std::hypot(acrossX - point.X, acrossZ - point.Z), std::hypot(downX - point.X, downZ - point.Z));
    return point;
}

TColour SkyColour(const TPixelRays& rays)
{
    const TVector& dir = rays.At;
    const double sinElevation = dir.Y / std::sqrt(dir.X * dir.X + dir.Y * dir.Y + dir.Z * dir.Z);
    TColour sky = Mix(Haze, TColour{0.50, 0.69, 0.92}, SmoothStep(0.0, 0.35, sinElevation));
    sky = Mix(sky, TColour{0.26, 0.48, 0.86}, SmoothStep(0.3, 1.0, sinElevation));

    // Clouds lie on a plane above the eye, which shrinks them towards the horizon.
    constexpr double Scale = 5.0;
    const TPlanePoint at = OnPlane(rays, CloudHeight);
    const double density = Fbm(at.X * Scale + 17.3, at.Z * Scale - 4.1, 7, 0, 0xC10D5u, at.Footprint * Scale);
    const double cover = SmoothStep(0.47, 0.66, density) * SmoothStep(0.02, 0.25, sinElevation);
    TColour cloud = Mix(TColour{1.0, 1.0, 1.0}, TColour{0.78, 0.81, 0.87}, SmoothStep(0.58, 0.8, density));
    cloud = Mix(cloud, Haze, 0.5 * (1.0 - SmoothStep(0.05, 0.4, sinElevation)));
    return Mix(sky, cloud, cover);
}

TColour GroundColour(const TPixelRays& rays)
{
    const TPlanePoint at = OnPlane(rays, -GroundDepth);
    const auto fbm = [&at](const double scale, const int octaves, const std::uint32_t seed)
    { return Fbm(at.X * scale, at.Z * scale, octaves, 0, seed, at.Footprint * scale); };
    const TColour green = Ramp({{0.30, 0.45, 0.18}, {0.40, 0.55, 0.22}, {0.55, 0.60, 0.28}}, fbm(2.0, 4, 0xF1E1Du));
    const TColour soil{0.50, 0.43, 0.31};
    const double dirt = 0.7 * SmoothStep(0.58, 0.72, fbm(6.0, 5, 0xD127u));
    const TColour ground = Mix(green, soil, dirt) * (0.8 + 0.4 * fbm(24.0, 4, 0x6A55u));
    const TColour hazeOverFields = Mix(Haze, TColour{0.42, 0.56, 0.32}, 0.6);
    return Mix(ground, hazeOverFields, 1.0 - std::exp(-std::hypot(at.X, at.Z) / 30.0));
}

TColour LandscapeColour(const std::vector<TBuilding>& town, const TPixelRays& rays)
{
    const TVector& dir = rays.At;
    if (dir.Y < 0.0)
        return GroundColour(rays);
    const double horizontal = std::hypot(dir.X, dir.Z);
    if (horizontal < 1e-9)
        return SkyColour(rays);

    const double height = dir.Y / horizontal;
    const double azimuth = std::atan2(dir.X, -dir.Z) / (2.0 * Pi) + 0.5;
    const double trees =
        Ridge(azimuth, 900, 0.004, 0.02, 0x7EE5u) * SmoothStep(0.35, 0.55, Fbm(azimuth * 24.0, 0.5, 3, 24, 0x6400u));
    if (height < trees)
        return Mix(TColour{0.18, 0.30, 0.16}, Haze, 0.3);
    TColour building{};
    if (TownColour(town, azimuth, height, building))
        return Mix(building, Haze, 0.35);
    if (height < Ridge(azimuth, 10, 0.015, 0.07, 0x4111u))
        return Mix(TColour{0.30, 0.45, 0.28}, Haze, 0.3 + 2.0 * height);
    if (height < Ridge(azimuth, 6, 0.04, 0.14, 0x3077u))
        return Mix(TColour{0.38, 0.48, 0.56}, Haze, 0.4 + 1.5 * height);
    return SkyColour(rays);
}

TPicture PaintSkyFace(const TFace face)
{
    const std::vector<TBuilding> town = MakeTown();
    constexpr double Pixel = 1.0 / PictureSize;
    return Render(
        2,
        [&](const double u, const double v)
        {
            const TPixelRays rays{FacePoint(face, u, v), FacePoint(face, u + Pixel, v), FacePoint(face, u, v + Pixel)};
            return LandscapeColour(town, rays);
        });
}

// ---------------------------------------------------------------------------
// Tileable arena and town pictures

// Packed sandy earth strewn with small stones.
struct TPebble
{
    TCells Cell;
    double Radius; // 0 where the cell holds no stone
};

TPebble PebbleAt(const double u, const double v)
{
    // A little warp keeps the pebbles from being perfect discs.
    const double warpU = 0.006 * (Fbm(u * 48.0, v * 48.0, 2, 48, 0x9E1u) - 0.5);
    const double warpV = 0.006 * (Fbm(u * 48.0, v * 48.0, 2, 48, 0x9E2u) - 0.5);
    const TCells cell = Cellular(u + warpU, v + warpV, 24, 0x5703u);
    const bool present = HashUnit(int(cell.Id), 0, 0x5703u) < 0.35;
    const double size = HashUnit(int(cell.Id), 1, 0x5703u);
    return {cell, present ? (0.1 + 0.3 * size * size) / 24.0 : 0.0};
}

TPicture PaintGround()
{
    const auto height = [](const double u, const double v)
    {
        const TPebble pebble = PebbleAt(u, v);
        const double inside = pebble.Radius > 0.0 ? Clamp01(1.0 - pebble.Cell.Distance / pebble.Radius) : 0.0;
        return 5.0 * Fbm(u * 32.0, v * 32.0, 4, 32, 0xB0B5u) +
               0.6 * pebble.Radius * PictureSize * inside * (2.0 - inside);
    };
    return Render(2,
                  [&](const double u, const double v)
                  {
                      const double patches = Fbm(u * 4.0, v * 4.0, 6, 4, 0xEA27u);
                      const double fleck = Fbm(u * 64.0, v * 64.0, 2, 64, 0x5EC4u);
                      TColour colour = Ramp({{0.58, 0.47, 0.34}, {0.68, 0.58, 0.43}, {0.76, 0.67, 0.51}},
                                            SmoothStep(0.2, 0.8, patches) + 0.4 * (fleck - 0.5));
                      const TPebble pebble = PebbleAt(u, v);
                      if (pebble.Cell.Distance < pebble.Radius)
                      {
                          const double tone = HashUnit(int(pebble.Cell.Id), 2, 0x5703u);
                          colour = Ramp({{0.60, 0.57, 0.53}, {0.80, 0.76, 0.69}, {0.62, 0.54, 0.45}}, tone);
                      }
                      else if (std::hypot(pebble.Cell.ToPointU + 0.003, pebble.Cell.ToPointV + 0.003) < pebble.Radius)
                          colour = colour * 0.75; // the pebble's shadow, cast down and to the right
                      return colour * (Relief(height, u, v) * (1.0 + 0.14 * Grain(u, v, 0x6EA1u)));
                  });
}

// Where a point falls among the wall's stones: the signed distance in pixels to the nearest
// stone's rounded outline (negative inside) and that stone's own random number.
struct TStoneHit
{
    double Distance;
    std::uint32_t Id;
};

TStoneHit WallStoneAt(const double u, const double v)
{
    constexpr int Courses = 6;
    constexpr double Corner = 20.0;
    // Warping the lookup makes the stones' outlines irregular instead of ruler-straight.
    const double warpedU = u + 0.05 * (Fbm(u * 6.0, v * 6.0, 4, 6, 0x3A1u) - 0.5);
    const double warpedV = v + 0.05 * (Fbm(u * 6.0, v * 6.0, 4, 6, 0x3A2u) - 0.5);
    const double rowAt = warpedV * Courses;
    const int row = Wrap(int(std::floor(rowAt)), Courses);
    const double courseHeight = double(PictureSize) / Courses;
    const double y = (rowAt - std::floor(rowAt)) * courseHeight;
    const double shifted = warpedU + HashUnit(row, 0, 0xC0u);
    const double x = (shifted - std::floor(shifted)) * PictureSize;

    // Three to five stones of uneven length fill each course exactly once round.
    const int count = 3 + int(Hash(row, 1, 0xC0u) % 3);
    double weights[5];
    double total = 0.0;
    for (int i = 0; i < count; ++i)
        total += weights[i] = 0.6 + 0.8 * HashUnit(row, 10 + i, 0xC0u);
    double left = 0.0;
    int stone = 0;
    while (stone < count - 1 && x >= left + weights[stone] / total * PictureSize)
        left += weights[stone++] / total * PictureSize;
    const double halfWidth = weights[stone] / total * PictureSize / 2.0;
    const double qx = std::abs(x - left - halfWidth) - halfWidth + Corner;
    const double qy = std::abs(y - courseHeight / 2.0) - courseHeight / 2.0 + Corner;
    const double distance = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - Corner;
    return {distance, Hash(row, stone, 0x5A11u)};
}

// Rough stones laid in courses, set in pale mortar.
TPicture PaintWall()
{
    const auto height = [](const double u, const double v)
    {
        const double inside = -WallStoneAt(u, v).Distance;
        return 6.0 * SmoothStep(4.0, 24.0, inside) + 2.5 * Fbm(u * 24.0, v * 24.0, 4, 24, 0xB1Du);
    };
    return Render(
        2,
        [&](const double u, const double v)
        {
            const TStoneHit hit = WallStoneAt(u, v);
            const double tone = HashUnit(int(hit.Id), 0, 0x5A11u);
            TColour stone =
                Ramp({{0.46, 0.46, 0.46}, {0.60, 0.53, 0.44}, {0.70, 0.67, 0.61}, {0.57, 0.49, 0.44}}, tone);
            stone = stone * (0.8 + 0.4 * Fbm(u * 20.0, v * 20.0, 5, 20, 0x1C4u));
            const TColour mortar = TColour{0.66, 0.63, 0.57} * (0.85 + 0.3 * Fbm(u * 32.0, v * 32.0, 3, 32, 0x30Au));
            const TColour colour = Mix(stone, mortar, SmoothStep(-6.0, -4.5, hit.Distance));
            return colour * (Relief(height, u, v) * (1.0 + 0.1 * Grain(u, v, 0x6EA2u)));
        });
}

// A plastered house front, two windows with shutters on each of two storeys.
TPicture PaintFacade()
{
    return Render(2,
                  [](const double u, const double v)
                  {
                      const double x = std::fmod(u * PictureSize, 256.0); // within one window's bay
                      const double y = std::fmod(v * PictureSize, 256.0);
                      const double stain = Fbm(u * 6.0, v * 6.0, 5, 6, 0x9A57u);
                      const TColour plaster = TColour{0.88, 0.79, 0.62} * (0.85 + 0.3 * stain);
                      const TColour stone = TColour{0.80, 0.77, 0.70} * (0.9 + 0.2 * stain);
                      TColour colour = plaster;
                      double light = 1.0;

                      if (y < 14.0)
                          colour = stone; // the band between the storeys
                      else if (y < 22.0)
                          light = Lerp(0.7, 1.0, (y - 14.0) / 8.0);

                      const double left = 84.0, right = 172.0, top = 60.0, bottom = 196.0;
                      if (Inside(x, y, left - 8.0, top - 8.0, right + 8.0, bottom))
                          colour = stone; // the window's surround
                      if (Inside(x, y, left - 12.0, bottom, right + 12.0, bottom + 10.0))
                          colour = stone * 1.08; // sill
                      else if (Inside(x, y, left - 10.0, bottom + 10.0, right + 10.0, bottom + 17.0))
                          light = 0.75;
                      const bool leftShutter = Inside(x, y, left - 52.0, top, left - 8.0, bottom);
                      const bool rightShutter = Inside(x, y, right + 8.0, top, right + 52.0, bottom);
                      if (leftShutter || rightShutter)
                      {
                          const double sx = leftShutter ? x - (left - 52.0) : x - (right + 8.0);
                          const bool border = sx < 4.0 || sx > 40.0 || y < top + 4.0 || y > bottom - 4.0;
                          const double slat = std::fmod(y - top, 8.0);
                          colour = TColour{0.22, 0.44, 0.34} * (border ? 0.8 : (slat < 2.0 ? 0.65 : 1.0));
                          colour = colour * (0.85 + 0.3 * stain);
                      }
                      if (Inside(x, y, left, top, right, bottom))
                      {
                          const bool frame = x < left + 6.0 || x > right - 6.0 || y < top + 6.0 || y > bottom - 6.0 ||
                                             std::abs(x - 128.0) < 2.5 || std::abs(y - 112.0) < 2.5;
                          const double glint = SmoothStep(0.0, 10.0, 30.0 - std::abs(x + 0.6 * y - 200.0));
                          const TColour glass = Mix(TColour{0.14, 0.19, 0.27}, TColour{0.50, 0.60, 0.70},
                                                    0.15 + 0.6 * glint + 0.3 * (bottom - y) / (bottom - top));
                          colour = frame ? TColour{0.93, 0.92, 0.88} : glass;
                          if (y < top + 10.0 || x < left + 6.0)
                              light = 0.7; // the wall's thickness shades the top and left of the opening
                      }
                      return colour * (light * (1.0 + 0.08 * Grain(u, v, 0x6EA3u)));
                  });
}

// How far a roof tile's round end reaches below its row, in rows, at a point across it.
double RoofTailDepth(const double across)
{
    return 0.35 * std::sqrt(std::max(0.0, 1.0 - across * across));
}

// Which roof tile a point shows, and where on it: Across runs -1 to 1 over the tile's width,
// Down from its row's top edge in rows. Each tile's round end hangs over the row below.
struct TRoofHit
{
    int Tile, Row;
    double Across, Down;
    double Shadow; // cast by the round ends of the row above
};

TRoofHit RoofTileAt(const double u, const double v)
{
    constexpr int Rows = 8; // even, so the staggering repeats
    constexpr int PerRow = 8;
    const auto tileAt = [u](const int row, const double down)
    {
        const double x = u * PerRow + (row % 2 != 0 ? 0.5 : 0.0);
        return TRoofHit{Wrap(int(std::floor(x)), PerRow), Wrap(row, Rows), 2.0 * (x - std::floor(x)) - 1.0, down, 1.0};
    };
    const int row = int(std::floor(v * Rows));
    const double down = v * Rows - row;
    const TRoofHit above = tileAt(row - 1, down + 1.0);
    const double belowTail = down - RoofTailDepth(above.Across);
    if (belowTail < 0.0)
        return above;
    TRoofHit hit = tileAt(row, down);
    hit.Shadow = Lerp(0.55, 1.0, SmoothStep(0.0, 0.14, belowTail));
    return hit;
}

// Rounded clay roof tiles in staggered rows.
TPicture PaintRoof()
{
    return Render(2,
                  [](const double u, const double v)
                  {
                      const TRoofHit hit = RoofTileAt(u, v);
                      const double tone = HashUnit(hit.Tile, hit.Row, 0x711Eu);
                      TColour clay = Ramp({{0.55, 0.24, 0.15}, {0.72, 0.34, 0.20}, {0.80, 0.46, 0.28}}, tone);
                      clay = clay * (1.0 - 0.25 * SmoothStep(0.5, 0.75, Fbm(u * 8.0, v * 8.0, 5, 8, 0x3055u)));
                      const double bulge = std::sqrt(std::max(0.0, 1.0 - hit.Across * hit.Across));
                      const double curve = 0.8 + 0.25 * bulge - 0.1 * hit.Across; // lit from the left
                      const double gap = SmoothStep(0.93, 0.98, std::abs(hit.Across));
                      // The round end darkens a little where it curves down onto the row below.
                      const double rim = 0.25 * SmoothStep(-0.12, 0.0, hit.Down - 1.0 - RoofTailDepth(hit.Across));
                      const double light = curve * hit.Shadow * (1.0 - 0.6 * gap) * (1.0 - rim) *
                                           Lerp(0.85, 1.0, SmoothStep(0.0, 0.5, hit.Down));
                      return clay * (light * (1.0 + 0.1 * Grain(u, v, 0x6EA4u)));
                  });
}

struct TOutput
{
    const char* Name;
    std::function<TPicture()> Paint;
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_textures <output folder>\n");
        return 2;
    }
    const TOutput outputs[] = {
        {"sky1.jpg", [] { return PaintSkyFace(TFace::Back); }},
        {"sky2.jpg", [] { return PaintSkyFace(TFace::Left); }},
        {"sky3.jpg", [] { return PaintSkyFace(TFace::Front); }},
        {"sky4.jpg", [] { return PaintSkyFace(TFace::Right); }},
        {"sky_top.jpg", [] { return PaintSkyFace(TFace::Top); }},
        {"sky_bottom.jpg", [] { return PaintSkyFace(TFace::Bottom); }},
        {"ground.jpg", PaintGround},
        {"wall.jpg", PaintWall},
        {"town1.jpg", PaintFacade},
        {"town2.jpg", PaintRoof},
    };
    for (const TOutput& output : outputs)
    {
        const std::string path = std::string(argv[1]) + "/" + output.Name;
        if (!WriteJpeg(output.Paint(), path))
        {
            std::fprintf(stderr, "make_textures: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
