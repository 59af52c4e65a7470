#include "TgaPicture.h"

#include "GLPersistentImage.h"

#include <algorithm>
#include <vector>

namespace
{
enum TTgaImageType
{
    ttColourMapped = 1,
    ttTrueColour = 2,
    ttGrey = 3,
    ttRunLength = 8,
};

struct TTgaHeader
{
    int IdLength = 0;
    int ColourMapType = 0;
    int ImageType = 0;
    int MapFirst = 0;
    int MapLength = 0;
    int MapEntryBits = 0;
    int Width = 0;
    int Height = 0;
    int PixelBits = 0;
    int Descriptor = 0;

    int Kind() const { return ImageType & ~ttRunLength; }
    bool RunLength() const { return (ImageType & ttRunLength) != 0; }
    bool TopDown() const { return (Descriptor & 0x20) != 0; }
    bool RightToLeft() const { return (Descriptor & 0x10) != 0; }
    // Writers that leave the alpha bits undeclared often leave them zero.
    bool HasAlpha() const { return (Descriptor & 0x0F) != 0; }
};

// Reads bytes in order and says so when the file ends first, instead of
// reading past it.
class TByteReader
{
public:
    explicit TByteReader(const QByteArray& bytes) : FBytes(bytes) {}

    bool Has(qsizetype count) const { return count <= FBytes.size() - FAt; }
    int Byte() { return static_cast<unsigned char>(FBytes[FAt++]); }
    int Word()
    {
        const int low = Byte();
        return low | Byte() << 8;
    }
    const unsigned char* Take(qsizetype count)
    {
        const auto* const at = reinterpret_cast<const unsigned char*>(FBytes.constData()) + FAt;
        FAt += count;
        return at;
    }
    void Skip(qsizetype count) { FAt += count; }

private:
    const QByteArray& FBytes;
    qsizetype FAt = 0;
};

int Scale5To8(int value)
{
    return (value * 255 + 15) / 31;
}

// One stored colour (little-endian, blue first) as ARGB.
QRgb ColourOf(const unsigned char* bytes, int bits, bool alpha)
{
    switch (bits)
    {
    case 15:
    case 16:
    {
        const int word = bytes[0] | bytes[1] << 8;
        const int a = bits == 16 && alpha ? ((word & 0x8000) != 0 ? 255 : 0) : 255;
        return qRgba(Scale5To8(word >> 10 & 31), Scale5To8(word >> 5 & 31), Scale5To8(word & 31), a);
    }
    case 24:
        return qRgb(bytes[2], bytes[1], bytes[0]);
    default:
        return qRgba(bytes[2], bytes[1], bytes[0], alpha ? bytes[3] : 255);
    }
}

QRgb GreyOf(const unsigned char* bytes, int bits)
{
    return qRgba(bytes[0], bytes[0], bytes[0], bits == 16 ? bytes[1] : 255);
}

bool ReadHeader(TByteReader& reader, TTgaHeader& header)
{
    if (!reader.Has(18))
        return false;
    header.IdLength = reader.Byte();
    header.ColourMapType = reader.Byte();
    header.ImageType = reader.Byte();
    header.MapFirst = reader.Word();
    header.MapLength = reader.Word();
    header.MapEntryBits = reader.Byte();
    reader.Skip(4); // the origin on the screen
    header.Width = reader.Word();
    header.Height = reader.Word();
    header.PixelBits = reader.Byte();
    header.Descriptor = reader.Byte();
    return true;
}

// Why the header cannot be decoded, or empty.
QString Unsupported(const TTgaHeader& header)
{
    const int kind = header.Kind();
    const int bits = header.PixelBits;
    if (kind != ttColourMapped && kind != ttTrueColour && kind != ttGrey)
        return QStringLiteral("TGA image type %1 is not read").arg(header.ImageType);
    const bool bitsFit = kind == ttColourMapped ? bits == 8
                         : kind == ttGrey       ? bits == 8 || bits == 16
                                                : bits == 15 || bits == 16 || bits == 24 || bits == 32;
    if (!bitsFit)
        return QStringLiteral("TGA pixels of %1 bits are not read for image type %2").arg(bits).arg(header.ImageType);
    if (kind == ttColourMapped)
    {
        const int entry = header.MapEntryBits;
        if (header.ColourMapType != 1 || !(entry == 15 || entry == 16 || entry == 24 || entry == 32))
            return QStringLiteral("its colour map is missing or of %1-bit entries").arg(entry);
    }
    return {};
}

class TTgaDecoder
{
public:
    TTgaDecoder(const TTgaHeader& header, TByteReader& reader) : FHeader(header), FReader(reader) {}

    // Reads the colour map, if any; false when the file ends inside it.
    bool ReadColourMap()
    {
        if (FHeader.ColourMapType != 1)
            return true;
        const int entryBytes = (FHeader.MapEntryBits + 7) / 8;
        if (!FReader.Has(static_cast<qsizetype>(FHeader.MapLength) * entryBytes))
            return false;
        // Only the colour-mapped kind uses the map; the others skip it.
        const bool used = FHeader.Kind() == ttColourMapped;
        for (int i = 0; i < FHeader.MapLength; ++i)
        {
            const unsigned char* const entry = FReader.Take(entryBytes);
            if (used)
                FMap.push_back(ColourOf(entry, FHeader.MapEntryBits, FHeader.HasAlpha() || FHeader.MapEntryBits == 32));
        }
        return true;
    }

    // The fewest bytes the pixels can take: a picture whose file is shorter
    // is refused before its pixels are allocated.
    qsizetype LeastPixelBytes() const
    {
        const qsizetype count = static_cast<qsizetype>(FHeader.Width) * FHeader.Height;
        const int pixelBytes = (FHeader.PixelBits + 7) / 8;
        return FHeader.RunLength() ? (count + 127) / 128 * (1 + pixelBytes) : count * pixelBytes;
    }

    // Fills the picture from the pixels in file order; empty text or why not.
    QString ReadPixels(QImage& picture)
    {
        const int pixelBytes = (FHeader.PixelBits + 7) / 8;
        const qsizetype total = static_cast<qsizetype>(FHeader.Width) * FHeader.Height;
        qsizetype filled = 0;
        while (filled < total)
        {
            int count = 1;
            bool repeated = false;
            if (FHeader.RunLength())
            {
                if (!FReader.Has(1))
                    return QStringLiteral("the pixel data is cut short");
                const int packet = FReader.Byte();
                count = (packet & 0x7F) + 1;
                repeated = (packet & 0x80) != 0;
            }
            // A packet running past the last pixel is cut at it.
            const qsizetype take = std::min<qsizetype>(count, total - filled);
            const qsizetype stored = repeated ? 1 : take;
            if (!FReader.Has(stored * pixelBytes))
                return QStringLiteral("the pixel data is cut short");
            QRgb colour = 0;
            for (qsizetype i = 0; i < take; ++i)
            {
                if ((i == 0 || !repeated) && !Colour(FReader.Take(pixelBytes), colour))
                    return QStringLiteral("a colour index is outside the colour map");
                Put(picture, filled + i, colour);
            }
            filled += take;
        }
        return {};
    }

private:
    // Places the pixel at position `index` of the file's order, which starts
    // at the bottom row unless the picture is stored top-down.
    void Put(QImage& picture, qsizetype index, QRgb colour) const
    {
        const int row = static_cast<int>(index / FHeader.Width);
        const int column = static_cast<int>(index % FHeader.Width);
        const int y = FHeader.TopDown() ? row : FHeader.Height - 1 - row;
        const int x = FHeader.RightToLeft() ? FHeader.Width - 1 - column : column;
        reinterpret_cast<QRgb*>(picture.scanLine(y))[x] = colour;
    }

    bool Colour(const unsigned char* bytes, QRgb& colour) const
    {
        switch (FHeader.Kind())
        {
        case ttColourMapped:
        {
            const int index = bytes[0] - FHeader.MapFirst;
            if (index < 0 || index >= static_cast<int>(FMap.size()))
                return false;
            colour = FMap[static_cast<size_t>(index)];
            return true;
        }
        case ttGrey:
            colour = GreyOf(bytes, FHeader.PixelBits);
            return true;
        default:
            colour = ColourOf(bytes, FHeader.PixelBits, FHeader.HasAlpha());
            return true;
        }
    }

    const TTgaHeader& FHeader;
    TByteReader& FReader;
    std::vector<QRgb> FMap;
};

bool HasAlphaChannel(const TTgaHeader& header)
{
    if (header.Kind() == ttGrey)
        return header.PixelBits == 16;
    const int bits = header.Kind() == ttColourMapped ? header.MapEntryBits : header.PixelBits;
    return bits == 32 || (bits == 16 && header.HasAlpha());
}
} // namespace

QImage TryDecodeTga(const QByteArray& tga, QString& failure, int maxSide)
{
    const auto cannotDecode = [&failure](const QString& reason)
    {
        failure = QStringLiteral("cannot be decoded: ") + reason;
        return QImage();
    };
    TByteReader reader(tga);
    TTgaHeader header;
    if (!ReadHeader(reader, header))
        return cannotDecode(QStringLiteral("the TGA header is cut short"));
    if (header.Width > maxSide || header.Height > maxSide)
    {
        failure = TooLargeFailure(header.Width, header.Height, maxSide);
        return QImage();
    }
    if (header.Width == 0 || header.Height == 0)
        return cannotDecode(QStringLiteral("it has no pixels"));
    const QString unsupported = Unsupported(header);
    if (!unsupported.isEmpty())
        return cannotDecode(unsupported);
    if (!reader.Has(header.IdLength))
        return cannotDecode(QStringLiteral("the TGA header is cut short"));
    reader.Skip(header.IdLength);
    TTgaDecoder decoder(header, reader);
    if (!decoder.ReadColourMap())
        return cannotDecode(QStringLiteral("the colour map is cut short"));
    if (!reader.Has(decoder.LeastPixelBytes()))
        return cannotDecode(QStringLiteral("the pixel data is cut short"));
    QImage picture(header.Width, header.Height, HasAlphaChannel(header) ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (picture.isNull())
        return cannotDecode(QStringLiteral("out of memory"));
    const QString damage = decoder.ReadPixels(picture);
    if (!damage.isEmpty())
        return cannotDecode(damage);
    return picture;
}
