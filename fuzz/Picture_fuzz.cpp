// Feeds arbitrary bytes through every way the game turns a file into a
// picture: a layout's stored JPEG (plain or in its stored form), and a model's
// texture file, which goes by its first bytes to the JPEG decoder or Qt's BMP,
// PNG and GIF readers, else to the TGA decoder when named .tga and to Qt's
// other readers when not. Every pixel of a decoded picture is read. Errors are
// the expected answer to bad bytes; anything else (a crash, a sanitizer
// report, a hang, a picture beyond the size limit) is a finding.
#include "Exceptions.h"
#include "FuzzRefusal.h"
#include "GLPersistentImage.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace
{
void ReadEveryPixel(const QImage& picture)
{
    if (picture.isNull())
        return;
    if (picture.width() > TJpegLimits().MaxSide || picture.height() > TJpegLimits().MaxSide)
        std::abort();
    unsigned sum = 0;
    for (int y = 0; y < picture.height(); ++y)
    {
        const uchar* const line = picture.constScanLine(y);
        for (qsizetype x = 0; x < picture.bytesPerLine(); ++x)
            sum += line[x];
    }
    volatile unsigned sink = sum;
    (void)sink;
}

void LoadStored(const QByteArray& bytes)
{
    TGLPersistentImage image(nullptr);
    try
    {
        if (bytes.startsWith("\xFF\xD8"))
            image.LoadJpeg(bytes, QStringLiteral("fuzz.jpg"));
        else
            image.LoadStoredData(bytes, QStringLiteral("fuzz.jpg"));
    }
    catch (const Exception& refusal)
    {
        NoteRefusal(refusal);
        return;
    }
    ReadEveryPixel(image.Picture());
}

void LoadTexture(const QByteArray& bytes, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
    file.close();
    TGLPersistentImage image(nullptr);
    try
    {
        image.LoadFromFile(path);
    }
    catch (const Exception& refusal)
    {
        NoteRefusal(refusal);
        return;
    }
    ReadEveryPixel(image.Picture());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    LoadStored(bytes);
    LoadTexture(bytes, folder.filePath(QStringLiteral("fuzz.tga")));
    const bool hasSignature = bytes.startsWith("\xFF\xD8") || bytes.startsWith("BM") ||
                              bytes.startsWith("\x89PNG") || bytes.startsWith("GIF8");
    if (!hasSignature)
        LoadTexture(bytes, folder.filePath(QStringLiteral("fuzz.pic")));
    return 0;
}
