#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a complete TGA file: true colour of 15, 16, 24 or 32 bits, grey of
// 8 bits (with 8 bits of alpha when 16), or 8-bit indices into a colour map,
// each uncompressed or run-length encoded, stored from either corner. On
// failure the picture is null and `failure` holds the words that follow the
// picture's name in a failure's text ("is too large: ...", "cannot be
// decoded: ..."). A side above `maxSide` is refused before any pixel is read.
QImage TryDecodeTga(const QByteArray& tga, QString& failure, int maxSide);
