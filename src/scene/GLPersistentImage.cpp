#include "GLPersistentImage.h"

#include "LayoutReader.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonValue>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace
{
// libjpeg reports failures by calling error_exit, which must not return.
// It jumps back into the decoding step that started the call; those steps hold
// no objects with destructors, so nothing is skipped.
struct TJpegErrorManager
{
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void JumpOnError(j_common_ptr info)
{
    auto* const manager = reinterpret_cast<TJpegErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

// Warnings (premature end of data, corrupt segments) would otherwise give a
// partly grey picture; a stored texture that is damaged is refused instead.
void FailOnWarning(j_common_ptr info, int level)
{
    if (level < 0)
        JumpOnError(info);
}

struct TJpegDecoder
{
    jpeg_decompress_struct Info{};
    TJpegErrorManager Error{};
    bool Created = false;

    ~TJpegDecoder()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

bool ReadHeader(TJpegDecoder& decoder, const unsigned char* data, unsigned long size)
{
    decoder.Info.err = jpeg_std_error(&decoder.Error.Base);
    decoder.Error.Base.error_exit = JumpOnError;
    decoder.Error.Base.emit_message = FailOnWarning;
    if (setjmp(decoder.Error.Jump) != 0)
        return false;
    jpeg_create_decompress(&decoder.Info);
    decoder.Created = true;
    jpeg_mem_src(&decoder.Info, data, size);
    jpeg_read_header(&decoder.Info, TRUE);
    decoder.Info.out_color_space = JCS_RGB;
    return true;
}

bool ReadPixels(TJpegDecoder& decoder, unsigned char* pixels, size_t stride)
{
    if (setjmp(decoder.Error.Jump) != 0)
        return false;
    jpeg_start_decompress(&decoder.Info);
    if (decoder.Info.output_components != 3)
    {
        std::strcpy(decoder.Error.Message, "unexpected colour components");
        return false;
    }
    while (decoder.Info.output_scanline < decoder.Info.output_height)
    {
        JSAMPROW row = pixels + decoder.Info.output_scanline * stride;
        jpeg_read_scanlines(&decoder.Info, &row, 1);
    }
    jpeg_finish_decompress(&decoder.Info);
    return true;
}

[[noreturn]] void FailDecoding(const QString& pictureName, const QString& reason)
{
    throw EInvalidGraphic(QStringLiteral("The picture \"%1\" cannot be decoded: %2").arg(pictureName, reason));
}

quint32 ReadLittleEndian32(const char* bytes)
{
    const auto* const b = reinterpret_cast<const unsigned char*>(bytes);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}
} // namespace

QImage DecodeJpeg(const QByteArray& jpeg, const QString& pictureName)
{
    const auto* const data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    if (jpeg.size() < 4 || data[0] != 0xFF || data[1] != 0xD8)
        FailDecoding(pictureName, QStringLiteral("not a JPEG file"));
    TJpegDecoder decoder;
    if (!ReadHeader(decoder, data, static_cast<unsigned long>(jpeg.size())))
        FailDecoding(pictureName, QString::fromLatin1(decoder.Error.Message));
    const JDIMENSION width = decoder.Info.image_width;
    const JDIMENSION height = decoder.Info.image_height;
    if (width == 0 || height == 0 || width > TGLPersistentImage::MaxSide || height > TGLPersistentImage::MaxSide)
        FailDecoding(pictureName, QStringLiteral("its size %1 x %2 is out of range").arg(width).arg(height));
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB888);
    if (picture.isNull())
        FailDecoding(pictureName, QStringLiteral("out of memory"));
    if (!ReadPixels(decoder, picture.bits(), static_cast<size_t>(picture.bytesPerLine())))
        FailDecoding(pictureName, QString::fromLatin1(decoder.Error.Message));
    return picture;
}

TGLPersistentImage::TGLPersistentImage(QObject* owner) : QObject(owner) {}

void TGLPersistentImage::LoadJpeg(const QByteArray& jpeg, const QString& pictureName)
{
    QImage picture = DecodeJpeg(jpeg, pictureName);
    FJpegData = jpeg;
    FPicture = std::move(picture);
    FPictureName = pictureName;
    Changed();
}

void TGLPersistentImage::LoadStoredData(const QByteArray& data, const QString& pictureName)
{
    static const QByteArray jpegClass("TJPEGImage");
    const qsizetype nameLength = data.isEmpty() ? 0 : static_cast<unsigned char>(data[0]);
    if (data.isEmpty() || data.mid(1, nameLength) != jpegClass)
        FailDecoding(pictureName, QStringLiteral("not a stored JPEG picture"));
    const qsizetype countAt = 1 + nameLength;
    if (data.size() < countAt + 4)
        FailDecoding(pictureName, QStringLiteral("the stored picture is truncated"));
    const quint32 count = ReadLittleEndian32(data.constData() + countAt);
    if (count > static_cast<quint64>(data.size() - countAt - 4))
        FailDecoding(pictureName, QStringLiteral("the stored picture is truncated"));
    LoadJpeg(data.mid(countAt + 4, count), pictureName);
}

void TGLPersistentImage::SetPicture(const QImage& picture)
{
    FJpegData.clear();
    FPicture = picture;
    FPictureName.clear();
    Changed();
}

void TGLPersistentImage::Clear()
{
    SetPicture(QImage());
}

void TGLPersistentImage::Assign(const TGLPersistentImage& source)
{
    FJpegData = source.FJpegData;
    FPicture = source.FPicture;
    FPictureName = source.FPictureName;
    Changed();
}

void TGLPersistentImage::Changed()
{
    if (OnNotifyChange)
        OnNotifyChange();
}

void TGLPersistentImage::ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader)
{
    if (value.isNull())
    {
        Clear();
        return;
    }
    if (!value.isString())
        reader.Fail(QStringLiteral("needs the name of a JPEG file"));
    const QString fileName = value.toString();
    QFile file(reader.SiblingPath(fileName));
    if (!file.open(QIODevice::ReadOnly))
        reader.Fail(QStringLiteral("cannot read the picture \"%1\"").arg(fileName));
    const QByteArray bytes = file.readAll();
    try
    {
        const bool plainJpeg = bytes.startsWith("\xFF\xD8");
        plainJpeg ? LoadJpeg(bytes, fileName) : LoadStoredData(bytes, fileName);
    }
    catch (const EInvalidGraphic& error)
    {
        reader.Fail(error.Message());
    }
}
