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
inline QByteArray Encode(const QImage& picture)
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
} // namespace JpegFixtures
