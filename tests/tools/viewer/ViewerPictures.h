#pragma once

#include <QImage>

#include <cstdlib>

// The viewer's background, as its pictures show it.
inline constexpr QRgb ViewerBackground = 0xFF303840;
// The colours the viewer draws its overlays in.
inline constexpr QRgb BoneOrange = 0xFFFF8C1A;
inline constexpr QRgb NormalCyan = 0xFF33E6FF;
inline constexpr QRgb BoxYellow = 0xFFFFD91A;

inline bool NearColour(const QRgb a, const QRgb b, const int tolerance = 30)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

inline int CountPixels(const QImage& picture, const QRgb colour, const int tolerance = 30)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += NearColour(picture.pixel(x, y), colour, tolerance) ? 1 : 0;
    return count;
}

// The share of the picture that is not background. A dark model may come
// close to the background's colour, but never to the exact colour.
inline double DrawnShare(const QImage& picture)
{
    const int pixels = picture.width() * picture.height();
    return pixels == 0 ? 0 : 1.0 - double(CountPixels(picture, ViewerBackground, 2)) / pixels;
}
