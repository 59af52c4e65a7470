#include "scene/TgaPicture.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct TTgaLayout
{
    int ImageType = 2;
    int Width = 2;
    int Height = 2;
    int Bits = 24;
    int Descriptor = 0;
    QByteArray Id;
    int MapFirst = 0;
    int MapLength = 0;
    int MapBits = 0;
    QByteArray Map;
};

void AppendWord(QByteArray& bytes, int value)
{
    bytes.append(static_cast<char>(value & 0xFF)).append(static_cast<char>((value >> 8) & 0xFF));
}

// A TGA file: the 18-byte header, the identification field, the colour map,
// then `pixels` as given.
QByteArray TgaFile(const TTgaLayout& layout, const QByteArray& pixels)
{
    QByteArray bytes;
    bytes.append(static_cast<char>(layout.Id.size()));
    bytes.append(static_cast<char>(layout.MapLength > 0 ? 1 : 0));
    bytes.append(static_cast<char>(layout.ImageType));
    AppendWord(bytes, layout.MapFirst);
    AppendWord(bytes, layout.MapLength);
    bytes.append(static_cast<char>(layout.MapBits));
    bytes.append(4, '\0');
    AppendWord(bytes, layout.Width);
    AppendWord(bytes, layout.Height);
    bytes.append(static_cast<char>(layout.Bits));
    bytes.append(static_cast<char>(layout.Descriptor));
    return bytes + layout.Id + layout.Map + pixels;
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}

QImage Decoded(const QByteArray& tga)
{
    QString failure;
    const QImage picture = TryDecodeTga(tga, failure, 8192);
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    return picture;
}

std::string FailureOf(const QByteArray& tga)
{
    QString failure;
    const QImage picture = TryDecodeTga(tga, failure, 8192);
    EXPECT_TRUE(picture.isNull());
    return failure.toStdString();
}

// The four pixels of a 2 x 2 picture, top row first, as ARGB.
void ExpectPixels(const QImage& picture, QRgb topLeft, QRgb topRight, QRgb bottomLeft, QRgb bottomRight)
{
    ASSERT_EQ(picture.size(), QSize(2, 2));
    EXPECT_EQ(picture.pixel(0, 0), topLeft);
    EXPECT_EQ(picture.pixel(1, 0), topRight);
    EXPECT_EQ(picture.pixel(0, 1), bottomLeft);
    EXPECT_EQ(picture.pixel(1, 1), bottomRight);
}

const QRgb Red = qRgb(255, 0, 0);
const QRgb Green = qRgb(0, 255, 0);
const QRgb Blue = qRgb(0, 0, 255);
const QRgb White = qRgb(255, 255, 255);
} // namespace

TEST(TgaPictureTest, ReadsEveryKindModelTexturesComeInFromEitherCorner)
{
    // Uncompressed 24-bit, blue-green-red bytes, bottom row first.
    const QImage plain = Decoded(TgaFile({}, Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255})));
    ExpectPixels(plain, Red, White, Blue, Green);
    EXPECT_FALSE(plain.hasAlphaChannel());

    // Run-length encoded 32-bit with 8 alpha bits, top row first: a run of
    // two translucent reds, then two raw pixels.
    TTgaLayout runs;
    runs.ImageType = 10;
    runs.Bits = 32;
    runs.Descriptor = 0x28;
    const QImage encoded = Decoded(TgaFile(runs, Bytes({0x81, 0, 0, 255, 128, 0x01, 255, 0, 0, 255, 0, 255, 0, 255})));
    ExpectPixels(encoded, qRgba(255, 0, 0, 128), qRgba(255, 0, 0, 128), Blue, Green);
    EXPECT_TRUE(encoded.hasAlphaChannel());

    // Without declared alpha bits a 32-bit picture is opaque; stored right to
    // left, each row is mirrored.
    TTgaLayout mirrored;
    mirrored.Bits = 32;
    mirrored.Descriptor = 0x10;
    ExpectPixels(Decoded(TgaFile(mirrored, Bytes({255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0}))), White,
                 Red, Green, Blue);

    // Grey, run-length encoded, one run across both rows, after a 3-byte
    // identification field.
    TTgaLayout grey;
    grey.ImageType = 11;
    grey.Bits = 8;
    grey.Id = "abc";
    const QRgb mid = qRgb(100, 100, 100);
    ExpectPixels(Decoded(TgaFile(grey, Bytes({0x83, 100}))), mid, mid, mid, mid);

    // Indices into a colour map of 24-bit entries numbered from 5.
    TTgaLayout mapped;
    mapped.ImageType = 1;
    mapped.Bits = 8;
    mapped.MapFirst = 5;
    mapped.MapLength = 2;
    mapped.MapBits = 24;
    mapped.Map = Bytes({0, 0, 255, 255, 0, 0});
    ExpectPixels(Decoded(TgaFile(mapped, Bytes({6, 5, 5, 6}))), Red, Blue, Blue, Red);

    // 16-bit: five bits a channel, red in the high bits.
    TTgaLayout high;
    high.Bits = 16;
    ExpectPixels(Decoded(TgaFile(high, Bytes({0x00, 0x7C, 0x1F, 0x00, 0xE0, 0x03, 0xFF, 0x7F}))), Green, White, Red,
                 Blue);
}

TEST(TgaPictureTest, RefusesDamagedUnreadableAndOversizedFiles)
{
    const QByteArray plain = TgaFile({}, Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));
    EXPECT_EQ(FailureOf(plain.left(10)), "cannot be decoded: the TGA header is cut short");
    EXPECT_EQ(FailureOf(plain.left(plain.size() - 1)), "cannot be decoded: the pixel data is cut short");
    TTgaLayout runs;
    runs.ImageType = 10;
    // Enough bytes for the fewest packets, but the second packet is cut.
    EXPECT_EQ(FailureOf(TgaFile(runs, Bytes({0x00, 1, 2, 3, 0x02, 1, 2}))),
              "cannot be decoded: the pixel data is cut short");

    TTgaLayout mapped;
    mapped.ImageType = 1;
    mapped.Bits = 8;
    mapped.MapLength = 2;
    mapped.MapBits = 24;
    mapped.Map = Bytes({0, 0, 255, 255, 0, 0});
    EXPECT_EQ(FailureOf(TgaFile(mapped, Bytes({0, 1, 2, 0}))),
              "cannot be decoded: a colour index is outside the colour map");
    EXPECT_EQ(FailureOf(TgaFile(mapped, QByteArray()).left(20)), "cannot be decoded: the colour map is cut short");

    TTgaLayout unknown;
    unknown.ImageType = 5;
    EXPECT_EQ(FailureOf(TgaFile(unknown, plain.mid(18))), "cannot be decoded: TGA image type 5 is not read");
    TTgaLayout odd;
    odd.Bits = 12;
    EXPECT_EQ(FailureOf(TgaFile(odd, plain.mid(18))),
              "cannot be decoded: TGA pixels of 12 bits are not read for image type 2");

    // Sizes are refused from the header alone; a run-length file far too
    // short for its size is refused before its pixels are allocated.
    TTgaLayout huge;
    huge.Width = 20000;
    huge.Height = 20000;
    EXPECT_EQ(FailureOf(TgaFile(huge, QByteArray())), "is too large: 20000 x 20000 pixels, more than 8192 x 8192");
    TTgaLayout largest = runs;
    largest.Width = 8192;
    largest.Height = 8192;
    EXPECT_EQ(FailureOf(TgaFile(largest, Bytes({0xFF, 1, 2, 3}))), "cannot be decoded: the pixel data is cut short");
    TTgaLayout empty;
    empty.Width = 0;
    EXPECT_EQ(FailureOf(TgaFile(empty, QByteArray())), "cannot be decoded: it has no pixels");
}
