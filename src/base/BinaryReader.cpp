#include "BinaryReader.h"

#include <cstring>

TBinaryReader::TBinaryReader(const QByteArray& data, const QString& fileName)
    : FData(data), FFileName(fileName), FLimit(static_cast<size_t>(data.size()))
{
}

void TBinaryReader::SeekWithin(size_t position, size_t limit)
{
    if (limit > Size())
        FailAt(position, QStringLiteral("data up to offset %1, but the file has %2 bytes").arg(limit).arg(Size()));
    if (position > limit)
        FailAt(position, QStringLiteral("a position before offset %1").arg(limit));
    FPosition = position;
    FLimit = limit;
}

void TBinaryReader::FailShort(size_t count, const TExpected& what) const
{
    Fail(QStringLiteral("%1 (%2 bytes), but only %3 bytes are left").arg(what.Text()).arg(count).arg(Remaining()));
}

std::optional<size_t> TBinaryReader::PeekStringSize() const
{
    const char* const start = FData.constData() + FPosition;
    const void* const terminator = std::memchr(start, 0, Remaining());
    if (!terminator)
        return std::nullopt;
    return static_cast<size_t>(static_cast<const char*>(terminator) - start) + 1;
}

QString TBinaryReader::ReadString(const TExpected& what)
{
    const std::optional<size_t> size = PeekStringSize();
    if (!size)
        Fail(QStringLiteral("%1 ended by a zero byte within the next %2 bytes").arg(what.Text()).arg(Remaining()));
    const char* const start = FData.constData() + FPosition;
    FPosition += *size;
    return QString::fromLatin1(start, static_cast<qsizetype>(*size - 1));
}

void TBinaryReader::Skip(size_t count, const TExpected& what)
{
    Take(count, what);
}

void TBinaryReader::RequireItems(size_t count, size_t itemSize, const TExpected& what) const
{
    if (itemSize != 0 && count > Remaining() / itemSize)
        Fail(QStringLiteral("%1: %2 items of %3 bytes, but only %4 bytes are left")
                 .arg(what.Text())
                 .arg(count)
                 .arg(itemSize)
                 .arg(Remaining()));
}

void TBinaryReader::Fail(const QString& what) const
{
    FailAt(FPosition, what);
}

void TBinaryReader::FailAt(size_t offset, const QString& what) const
{
    throw EReadError(QStringLiteral("%1: at offset %2: expected %3").arg(FFileName).arg(offset).arg(what));
}
