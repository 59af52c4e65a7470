#pragma once

#include "Exceptions.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

// Bytes of a model file that do not hold what the format says they hold:
// a truncated file, a count running past its chunk, an index out of range.
class EReadError : public Exception
{
public:
    using Exception::Exception;
};

// Bounds-checked little-endian reader over a file held in memory. Reads stop at
// the limit, the end of the chunk being decoded, so a corrupt count can never
// make a read spill into the next chunk or past the file; a read that would
// pass it throws an EReadError naming the file, the offset and what was
// expected there.
class TBinaryReader
{
public:
    TBinaryReader(const QByteArray& data, const QString& fileName);

    const QString& FileName() const { return FFileName; }
    size_t Size() const { return static_cast<size_t>(FData.size()); }
    size_t Position() const { return FPosition; }
    size_t Limit() const { return FLimit; }
    size_t Remaining() const { return FLimit - FPosition; }

    // Moves to an absolute offset and makes everything up to `limit` readable.
    void SeekWithin(size_t position, size_t limit);

    uint8_t ReadU8(const QString& what);
    uint16_t ReadU16(const QString& what);
    int16_t ReadI16(const QString& what);
    uint32_t ReadU32(const QString& what);
    float ReadFloat(const QString& what);
    // A zero-terminated 8-bit string, one byte per character; the terminator
    // must lie before the limit.
    QString ReadString(const QString& what);
    void Skip(size_t count, const QString& what);
    // Bytes of the string at the position, terminator included; nothing when
    // no terminator lies before the limit.
    std::optional<size_t> PeekStringSize() const;

    // Fails unless `count` items of `itemSize` bytes fit before the limit; call
    // it before allocating for a count read from the file.
    void RequireItems(size_t count, size_t itemSize, const QString& what) const;

    [[noreturn]] void Fail(const QString& what) const;
    [[noreturn]] void FailAt(size_t offset, const QString& what) const;

private:
    const uint8_t* Take(size_t count, const QString& what);

    const QByteArray FData;
    const QString FFileName;
    size_t FPosition = 0;
    size_t FLimit = 0;
};
