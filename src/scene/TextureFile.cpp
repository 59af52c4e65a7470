#include "TextureFile.h"

#include "Exceptions.h"
#include "TgaPicture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace
{
bool IsWanted(const QFileInfo& entry, bool file)
{
    return file ? entry.isFile() : entry.isDir();
}

// The entry of `folder` called `name`, exactly or else ignoring case.
QString FindEntry(const QString& folder, const QString& name, bool file)
{
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return file ? QString() : name;
    if (IsWanted(QFileInfo(dir, name), file))
        return name;
    const QDir::Filters kind = file ? QDir::Files : QDir::Dirs | QDir::NoDotAndDotDot;
    const QStringList entries = dir.entryList(kind | QDir::Hidden | QDir::System, QDir::Name);
    const auto found =
        std::find_if(entries.begin(), entries.end(),
                     [&name](const QString& entry) { return entry.compare(name, Qt::CaseInsensitive) == 0; });
    return found == entries.end() ? QString() : *found;
}

QString Join(const QString& folder, const QString& entry)
{
    if (folder.isEmpty())
        return entry;
    return folder.endsWith(QLatin1Char('/')) ? folder + entry : folder + QLatin1Char('/') + entry;
}

[[noreturn]] void Fail(const QString& fileName, const QString& failure)
{
    throw ETextureLoadError(QStringLiteral("The texture file \"%1\" %2").arg(fileName, failure));
}

QByteArray ReadWhole(QFile& file, const QString& fileName, const TJpegLimits& limits)
{
    if (file.size() > MaxPictureFileSize(limits))
        Fail(fileName, QStringLiteral("is too large: %1 bytes, more than any picture of at most %2 x %2 pixels needs")
                           .arg(file.size())
                           .arg(limits.MaxSide));
    QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        Fail(fileName, QStringLiteral("cannot be read: ") + file.errorString());
    return bytes;
}

QImage ReadJpeg(QFile& file, const QString& fileName, const TJpegLimits& limits)
{
    QString failure;
    QImage picture = TryDecodeJpeg(ReadWhole(file, fileName, limits), failure, limits);
    if (picture.isNull())
        Fail(fileName, failure);
    return picture;
}

// Qt reads only TGA files of the format's second version, uncompressed and in
// true colour; model textures are often older or run-length encoded.
QImage ReadTga(QFile& file, const QString& fileName, const TJpegLimits& limits)
{
    QString failure;
    QImage picture = TryDecodeTga(ReadWhole(file, fileName, limits), failure, limits.MaxSide);
    if (picture.isNull())
        Fail(fileName, failure);
    return picture;
}

// The formats model files use for textures. Others (icons, vector drawings,
// multi-page documents) are refused rather than handed to a decoder nobody
// needs here.
bool IsTextureFormat(const QByteArray& format)
{
    static const std::array<QByteArray, 6> formats = {"bmp", "png", "gif", "pbm", "pgm", "ppm"};
    return std::find(formats.begin(), formats.end(), format.toLower()) != formats.end();
}

struct TClaimedSize
{
    qint64 Width = -1;
    qint64 Height = -1;
};

qint64 ByteAt(const QByteArray& bytes, qsizetype at)
{
    return static_cast<unsigned char>(bytes[at]);
}

qint64 LittleEndian16(const QByteArray& bytes, qsizetype at)
{
    return ByteAt(bytes, at) | ByteAt(bytes, at + 1) << 8;
}

qint64 LittleEndian32(const QByteArray& bytes, qsizetype at)
{
    return LittleEndian16(bytes, at) | LittleEndian16(bytes, at + 2) << 16;
}

qint64 BigEndian32(const QByteArray& bytes, qsizetype at)
{
    return ByteAt(bytes, at) << 24 | ByteAt(bytes, at + 1) << 16 | ByteAt(bytes, at + 2) << 8 | ByteAt(bytes, at + 3);
}

// The size the header of a BMP, PNG or GIF file claims, read before any
// decoder sees the file: Qt's decoders check sizes each their own way, some
// only against their allocation limit and some with no useful message.
// Unknown for other headers.
TClaimedSize ClaimedSize(const QByteArray& head)
{
    if (head.startsWith("BM") && head.size() >= 26)
    {
        // The oldest header holds 16-bit sides; later ones signed 32-bit
        // sides, a negative height meaning rows stored top-down.
        if (LittleEndian32(head, 14) == 12)
            return {LittleEndian16(head, 18), LittleEndian16(head, 20)};
        const auto side = [&head](qsizetype at)
        { return std::abs(static_cast<qint64>(static_cast<qint32>(LittleEndian32(head, at)))); };
        return {side(18), side(22)};
    }
    if (head.startsWith("\x89PNG") && head.size() >= 24)
        return {BigEndian32(head, 16), BigEndian32(head, 20)};
    if (head.startsWith("GIF8") && head.size() >= 10)
        return {LittleEndian16(head, 6), LittleEndian16(head, 8)};
    return {};
}

// The bytes of pixel data an uncompressed BMP needs for the size its header
// claims, the last row's padding excused (some writers leave it out); -1 for
// run-length encoded pictures and headers too short or too odd to tell.
// Qt's decoder would allocate the whole picture first and fill what data
// there is.
qint64 BmpPixelDataNeeded(const QByteArray& head, const TClaimedSize& claimed)
{
    if (!head.startsWith("BM") || head.size() < 34 || claimed.Width <= 0 || claimed.Height <= 0)
        return -1;
    const bool oldestHeader = LittleEndian32(head, 14) == 12;
    const qint64 bitsPerPixel = LittleEndian16(head, oldestHeader ? 24 : 28);
    const qint64 compression = oldestHeader ? 0 : LittleEndian32(head, 30);
    // Plain pixels, or plain pixels with channel masks.
    if (compression != 0 && compression != 3 && compression != 6)
        return -1;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 &&
        bitsPerPixel != 32)
        return -1;
    const qint64 rowBytes = (claimed.Width * bitsPerPixel + 31) / 32 * 4;
    return rowBytes * (claimed.Height - 1) + (claimed.Width * bitsPerPixel + 7) / 8;
}

void CheckBmpPixelData(const QFile& file, const QByteArray& head, const TClaimedSize& claimed, const QString& fileName)
{
    // Also -1 for a header too short to hold the pixel data's offset.
    const qint64 needed = BmpPixelDataNeeded(head, claimed);
    if (needed < 0)
        return;
    const qint64 following = std::max<qint64>(0, file.size() - LittleEndian32(head, 10));
    if (following < needed)
        Fail(fileName, QStringLiteral("is truncated: its %1 x %2 pixels need %3 bytes of pixel data, but %4 follow")
                           .arg(claimed.Width)
                           .arg(claimed.Height)
                           .arg(needed)
                           .arg(following));
}

// The PNG decoder allocates what a chunk's header claims before reading its
// data, up to the allocation limit, and does so again for each look at the
// file: a damaged 150-byte file could take hundreds of megabytes. A chunk
// claiming more bytes than the file holds after its header is refused first.
void CheckPngChunkLengths(QFile& file, const QString& fileName)
{
    const qint64 size = file.size();
    qint64 at = 8;
    while (at + 8 <= size && file.seek(at))
    {
        const QByteArray header = file.read(8);
        if (header.size() != 8)
            break;
        const qint64 length = BigEndian32(header, 0);
        const qint64 remaining = size - at - 8;
        if (length > remaining)
        {
            QString type = QString::fromLatin1(header.mid(4, 4));
            for (QChar& c : type)
                if (c.unicode() < 0x20 || c.unicode() > 0x7E)
                    c = QLatin1Char('?');
            Fail(fileName, QStringLiteral("is truncated: its \"%1\" chunk at byte %2 claims %3 bytes, but %4 follow")
                               .arg(type)
                               .arg(at)
                               .arg(length)
                               .arg(remaining));
        }
        if (header.mid(4, 4) == "IEND")
            break;
        at += 12 + length;
    }
    file.seek(0);
}

QImage ReadWithQt(QFile& file, const QString& fileName, const TJpegLimits& limits)
{
    const QByteArray head = file.peek(34);
    const TClaimedSize claimed = ClaimedSize(head);
    if (claimed.Width > limits.MaxSide || claimed.Height > limits.MaxSide)
        Fail(fileName, TooLargeFailure(claimed.Width, claimed.Height, limits.MaxSide));
    if (head.startsWith("BM"))
        CheckBmpPixelData(file, head, claimed, fileName);
    else if (head.startsWith("\x89PNG"))
        CheckPngChunkLengths(file, fileName);
    // The limit is the process's; it catches a decoder that allocates more
    // than the size its header gave.
    const qint64 budgetMiB = (4LL * limits.MaxSide * limits.MaxSide >> 20) + 1;
    QImageReader::setAllocationLimit(static_cast<int>(std::min<qint64>(budgetMiB, 1 << 30)));
    QImageReader reader(&file);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        Fail(fileName, QStringLiteral("cannot be decoded: ") + reader.errorString());
    if (!IsTextureFormat(format))
        Fail(fileName, QStringLiteral("cannot be decoded: %1 is not a picture format textures are read from")
                           .arg(QString::fromLatin1(format.toUpper())));
    const QSize size = reader.size();
    if (!size.isValid())
        Fail(fileName, QStringLiteral("cannot be decoded: ") + reader.errorString());
    if (size.width() > limits.MaxSide || size.height() > limits.MaxSide)
        Fail(fileName, TooLargeFailure(size.width(), size.height(), limits.MaxSide));
    if (size.isEmpty())
        Fail(fileName, QStringLiteral("cannot be decoded: it has no pixels"));
    QImage picture;
    if (!reader.read(&picture))
        Fail(fileName, QStringLiteral("cannot be decoded: ") + reader.errorString());
    return picture;
}
} // namespace

QString FindFileIgnoringCase(const QString& fileName)
{
    if (fileName.isEmpty())
        return {};
    if (QFileInfo(fileName).isFile())
        return fileName;
    QString path = fileName;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString found = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    for (qsizetype i = 0; i < parts.size(); ++i)
    {
        const QString entry = FindEntry(found, parts[i], i == parts.size() - 1);
        if (entry.isEmpty())
            return {};
        found = Join(found, entry);
    }
    return parts.isEmpty() ? QString() : found;
}

QImage LoadTextureFile(const QString& fileName, const TJpegLimits& limits)
{
    const QString path = FindFileIgnoringCase(fileName);
    if (path.isEmpty())
        throw ETextureLoadError(QStringLiteral("The texture file \"%1\" cannot be found").arg(fileName));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(fileName, QStringLiteral("cannot be read: ") + file.errorString());
    // Files are told apart by their first bytes, not by their names, except
    // TGA files, which have no signature.
    const QByteArray head = file.peek(8);
    if (head.startsWith("\xFF\xD8"))
        return ReadJpeg(file, fileName, limits);
    const bool hasSignature = head.startsWith("BM") || head.startsWith("\x89PNG") || head.startsWith("GIF8");
    if (!hasSignature && path.endsWith(QLatin1String(".tga"), Qt::CaseInsensitive))
        return ReadTga(file, fileName, limits);
    return ReadWithQt(file, fileName, limits);
}
