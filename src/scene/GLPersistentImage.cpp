#include "GLPersistentImage.h"

#include "LayoutReader.h"
#include "TextureFile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonValue>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace
{
// libjpeg reports failures by calling error_exit, which must not return.
// It jumps back into the decoding step that started the call; those steps hold
// no objects with destructors, so nothing is skipped.
struct TJpegDecoder
{
    jpeg_decompress_struct Info{};
    jpeg_error_mgr Error{};
    jpeg_progress_mgr Progress{};
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX]{};
    TJpegLimits Limits;
    bool TooManyScans = false;
    bool Created = false;

    ~TJpegDecoder()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

TJpegDecoder& DecoderOf(j_common_ptr info)
{
    return *static_cast<TJpegDecoder*>(info->client_data);
}

void JumpOnError(j_common_ptr info)
{
    TJpegDecoder& decoder = DecoderOf(info);
    (*info->err->format_message)(info, decoder.Message);
    std::longjmp(decoder.Jump, 1);
}

// Warnings after which every pixel is still what the file meant: stray bytes
// between segments (common in files from cameras and editors), versions or
// codes in optional markers that libjpeg does not know, and scan headers of a
// sequential file with needless values.
bool IsHarmlessWarning(int code)
{
    switch (code)
    {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    default:
        return false;
    }
}

// The other warnings (premature end of data, corrupt entropy codes, an
// inconsistent progression) would give a partly grey picture; a stored
// texture that is damaged is refused instead.
void FailOnDamage(j_common_ptr info, int level)
{
    if (level < 0 && !IsHarmlessWarning(info->err->msg_code))
        JumpOnError(info);
}

// libjpeg calls this between pieces of input, so a picture made of endless
// scans stops at the first one too many.
void LimitScans(j_common_ptr info)
{
    TJpegDecoder& decoder = DecoderOf(info);
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > decoder.Limits.MaxScans)
    {
        decoder.TooManyScans = true;
        std::longjmp(decoder.Jump, 1);
    }
}

bool ReadHeader(TJpegDecoder& decoder, const unsigned char* data, unsigned long size)
{
    decoder.Info.err = jpeg_std_error(&decoder.Error);
    decoder.Error.error_exit = JumpOnError;
    decoder.Error.emit_message = FailOnDamage;
    decoder.Info.client_data = &decoder;
    if (setjmp(decoder.Jump) != 0)
        return false;
    jpeg_create_decompress(&decoder.Info);
    decoder.Created = true;
    // Beyond this libjpeg would need a backing store, which it does not have,
    // and fails instead of allocating.
    decoder.Info.mem->max_memory_to_use = decoder.Limits.MaxMemory;
    decoder.Progress.progress_monitor = LimitScans;
    decoder.Info.progress = &decoder.Progress;
    jpeg_mem_src(&decoder.Info, data, size);
    jpeg_read_header(&decoder.Info, TRUE);
    decoder.Info.out_color_space = JCS_RGB;
    return true;
}

bool ReadPixels(TJpegDecoder& decoder, unsigned char* pixels, size_t stride)
{
    if (setjmp(decoder.Jump) != 0)
        return false;
    jpeg_start_decompress(&decoder.Info);
    if (decoder.Info.output_components != 3)
    {
        std::strcpy(decoder.Message, "unexpected colour components");
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

QString FailureReason(const TJpegDecoder& decoder)
{
    if (decoder.TooManyScans)
        return QStringLiteral("it has more than %1 scans").arg(decoder.Limits.MaxScans);
    const int code = decoder.Error.msg_code;
    if (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY)
        return QStringLiteral("decoding it needs more than %1 MiB").arg(decoder.Limits.MaxMemory >> 20);
    return QString::fromLatin1(decoder.Message);
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

QImage TryDecodeJpeg(const QByteArray& jpeg, QString& failure, const TJpegLimits& limits)
{
    const auto cannotDecode = [&failure](const QString& reason)
    {
        failure = QStringLiteral("cannot be decoded: ") + reason;
        return QImage();
    };
    const auto* const data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    if (jpeg.size() < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return cannotDecode(QStringLiteral("not a JPEG file"));
    TJpegDecoder decoder;
    decoder.Limits = limits;
    if (!ReadHeader(decoder, data, static_cast<unsigned long>(jpeg.size())))
        return cannotDecode(FailureReason(decoder));
    const JDIMENSION width = decoder.Info.image_width;
    const JDIMENSION height = decoder.Info.image_height;
    if (width == 0 || height == 0)
        return cannotDecode(QStringLiteral("it has no pixels"));
    const auto maxSide = static_cast<JDIMENSION>(limits.MaxSide);
    if (width > maxSide || height > maxSide)
    {
        failure = TooLargeFailure(static_cast<qint64>(width), static_cast<qint64>(height), limits.MaxSide);
        return QImage();
    }
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB888);
    if (picture.isNull())
        return cannotDecode(QStringLiteral("out of memory"));
    if (!ReadPixels(decoder, picture.bits(), static_cast<size_t>(picture.bytesPerLine())))
        return cannotDecode(FailureReason(decoder));
    return picture;
}

QString TooLargeFailure(qint64 width, qint64 height, int maxSide)
{
    return QStringLiteral("is too large: %1 x %2 pixels, more than %3 x %3").arg(width).arg(height).arg(maxSide);
}

qint64 MaxPictureFileSize(const TJpegLimits& limits)
{
    return 5LL * limits.MaxSide * limits.MaxSide;
}

QImage DecodeJpeg(const QByteArray& jpeg, const QString& pictureName, const TJpegLimits& limits)
{
    QString failure;
    QImage picture = TryDecodeJpeg(jpeg, failure, limits);
    if (picture.isNull())
        throw EInvalidGraphic(QStringLiteral("The picture \"%1\" %2").arg(pictureName, failure));
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

void TGLPersistentImage::LoadFromFile(const QString& fileName)
{
    QImage picture = LoadTextureFile(fileName);
    FJpegData.clear();
    FPicture = std::move(picture);
    FPictureName = fileName;
    Changed();
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
    const QString path = reader.SiblingPath(fileName);
    QFile file(path);
    // A device or a pipe may never end; neither is a picture.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        reader.Fail(QStringLiteral("cannot read the picture \"%1\"").arg(fileName));
    const qint64 limit = MaxPictureFileSize();
    const QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit)
        reader.Fail(QStringLiteral("the picture \"%1\" is too large: more than %2 bytes").arg(fileName).arg(limit));
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
