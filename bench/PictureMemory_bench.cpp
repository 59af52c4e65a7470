// Peak memory of decoding one stored picture, for pictures such as a huge
// progressive JPEG that compresses to little.
//   picture_memory_bench write FILE [SIDE]   writes a flat progressive picture
//                                            of SIDE x SIDE (default 16380)
//   picture_memory_bench FILE                decodes FILE as a stored picture
// Run the decoding under /usr/bin/time -v for the kernel's own figure.

#include "GLPersistentImage.h"

#include <QElapsedTimer>
#include <QFile>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <jpeglib.h>

namespace
{
int WriteFlatProgressive(const char* fileName, int side)
{
    std::FILE* const file = std::fopen(fileName, "wb");
    if (file == nullptr)
    {
        std::perror(fileName);
        return 1;
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(side);
    info.image_height = static_cast<JDIMENSION>(side);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(side) * 3, 128);
    JSAMPROW rows[1] = {row.data()};
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    return 0;
}

long PeakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int Decode(const char* fileName)
{
    QFile file(QString::fromLocal8Bit(fileName));
    if (!file.open(QIODevice::ReadOnly))
    {
        std::fprintf(stderr, "cannot read %s\n", fileName);
        return 1;
    }
    const QByteArray jpeg = file.readAll();
    TGLPersistentImage image(nullptr);
    QElapsedTimer clock;
    clock.start();
    try
    {
        image.LoadJpeg(jpeg, QString::fromLocal8Bit(fileName));
        std::printf("decoded %d x %d", image.Width(), image.Height());
    }
    catch (const Exception& error)
    {
        std::printf("refused: %s", qPrintable(error.Message()));
    }
    std::printf(" from %lld bytes in %lld ms; peak resident %ld KiB\n", static_cast<long long>(jpeg.size()),
                static_cast<long long>(clock.elapsed()), PeakResidentKiB());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::string_view(argv[1]) == "write")
        return WriteFlatProgressive(argv[2], argc >= 4 ? std::atoi(argv[3]) : 16380);
    if (argc == 2)
        return Decode(argv[1]);
    std::fprintf(stderr, "usage: %s write FILE [SIDE] | %s FILE\n", argv[0], argv[0]);
    return 2;
}
