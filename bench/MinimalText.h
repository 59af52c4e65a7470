// Screen text for the minimal fight program, drawn the plain way: printable
// ASCII rasterised once by Qt into a 128 x 128 alpha texture, then one
// blended, textured quad per character in window coordinates.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

#include <GL/gl.h>

#include <algorithm>
#include <array>

class TMinimalText
{
public:
    // Needs the OpenGL context current.
    void Prepare(const QFont& font)
    {
        const QFontMetrics metrics(font);
        FLineHeight = metrics.height();
        QImage atlas(AtlasSize, AtlasSize, QImage::Format_Alpha8);
        atlas.fill(0);
        QPainter painter(&atlas);
        painter.setFont(font);
        painter.setPen(Qt::white);
        int x = 0;
        int y = 0;
        for (int c = FirstChar; c <= LastChar; ++c)
        {
            const int width = std::max(1, metrics.horizontalAdvance(QChar(c)));
            if (x + width > AtlasSize)
            {
                x = 0;
                y += FLineHeight;
            }
            painter.drawText(x, y + metrics.ascent(), QString(QChar(c)));
            FGlyphs[static_cast<size_t>(c - FirstChar)] = {x, y, width};
            x += width + 1;
        }
        painter.end();
        glGenTextures(1, &FTexture);
        glBindTexture(GL_TEXTURE_2D, FTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, AtlasSize, AtlasSize, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                     atlas.constBits());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    }

    // Lines end at "\r\n"; (x, y) is the top left corner, in pixels from the
    // window's top left.
    void Draw(const QString& text, float x, float y, const std::array<float, 4>& colour, int viewWidth,
              int viewHeight) const
    {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, viewWidth, viewHeight, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindTexture(GL_TEXTURE_2D, FTexture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glColor4fv(colour.data());
        glBegin(GL_QUADS);
        const float left = x;
        for (const QChar c : text)
        {
            if (c == QLatin1Char('\n'))
            {
                x = left;
                y += static_cast<float>(FLineHeight);
                continue;
            }
            if (c.unicode() < FirstChar || c.unicode() > LastChar)
                continue;
            const TGlyph& glyph = FGlyphs[static_cast<size_t>(c.unicode() - FirstChar)];
            const float s0 = static_cast<float>(glyph.X) / AtlasSize;
            const float s1 = static_cast<float>(glyph.X + glyph.Width) / AtlasSize;
            const float t0 = static_cast<float>(glyph.Y) / AtlasSize;
            const float t1 = static_cast<float>(glyph.Y + FLineHeight) / AtlasSize;
            const float right = x + static_cast<float>(glyph.Width);
            const float bottom = y + static_cast<float>(FLineHeight);
            glTexCoord2f(s0, t0);
            glVertex2f(x, y);
            glTexCoord2f(s0, t1);
            glVertex2f(x, bottom);
            glTexCoord2f(s1, t1);
            glVertex2f(right, bottom);
            glTexCoord2f(s1, t0);
            glVertex2f(right, y);
            x = right + 1;
        }
        glEnd();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
        glEnable(GL_LIGHTING);
        glEnable(GL_DEPTH_TEST);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }

private:
    static constexpr int AtlasSize = 128;
    static constexpr int FirstChar = 32;
    static constexpr int LastChar = 126;

    struct TGlyph
    {
        int X = 0;
        int Y = 0;
        int Width = 0;
    };

    std::array<TGlyph, LastChar - FirstChar + 1> FGlyphs{};
    int FLineHeight = 0;
    GLuint FTexture = 0;
};
