#pragma once

#include <QByteArray>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <jpeglib.h>

// JPEG files made on the spot for the texture tests.
namespace JpegFixtures
{
// Encodes a picture at the best quality, so that flat areas keep their colour.
// `configure` may change the settings (progression, scans, markers) first.
inline QByteArray Encode(const QImage& picture, const std::function<void(jpeg_compress_struct&)>& configure = {})
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    if (configure)
        configure(info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height)
    {
        JSAMPROW row = const_cast<unsigned char*>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray result(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return result;
}

// A picture of one colour.
inline QByteArray Flat(int width, int height, QColor color = QColor(200, 100, 50))
{
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(color);
    return Encode(picture);
}

// A picture whose top half is red and bottom half blue.
inline QImage RedOverBlue(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(Qt::blue);
    for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixelColor(x, y, Qt::red);
    return picture;
}
// The same picture as a progressive JPEG.
inline QByteArray EncodeProgressive(const QImage& picture)
{
    return Encode(picture, [](jpeg_compress_struct& info) { jpeg_simple_progression(&info); });
}

// Where the first marker FF `code` starts. Markers cannot occur inside
// entropy-coded data, where every FF byte is followed by 00 or a restart code.
inline qsizetype FindMarker(const QByteArray& jpeg, unsigned char code, qsizetype from = 0)
{
    return jpeg.indexOf(QByteArray("\xFF", 1).append(static_cast<char>(code)), from);
}

// Rewrites the picture size in the frame header (baseline or progressive)
// without touching the data that follows.
inline void SetFrameSize(QByteArray& jpeg, int width, int height)
{
    qsizetype frame = FindMarker(jpeg, 0xC0);
    if (frame < 0)
        frame = FindMarker(jpeg, 0xC2);
    // FF Cn, length (2), precision (1), height (2), width (2).
    jpeg[frame + 5] = static_cast<char>(height >> 8);
    jpeg[frame + 6] = static_cast<char>(height & 0xFF);
    jpeg[frame + 7] = static_cast<char>(width >> 8);
    jpeg[frame + 8] = static_cast<char>(width & 0xFF);
}
} // namespace JpegFixtures
