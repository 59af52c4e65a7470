#pragma once

#include "Exceptions.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

// Bytes of a model file that do not hold what the format says they hold:
// a truncated file, a count running past its chunk, an index out of range.
class EReadError : public Exception
{
public:
    using Exception::Exception;
};

// What a read expects there, for its error: a text, or a function that words
// it, called only when the read fails, so that sound files pay nothing for
// their descriptions. It refers to the text or function it is made from,
// which must outlive it (a temporary lives until the read returns).
class TExpected
{
public:
    TExpected() = default;
    TExpected(const QString& text) : FText(&text) {}
    template <class F>
        requires std::is_invocable_r_v<QString, const F&>
    TExpected(const F& describe)
        : FDescribe(&describe), FWords([](const void* f) { return (*static_cast<const F*>(f))(); })
    {
    }

    QString Text() const { return FText ? *FText : FWords ? FWords(FDescribe) : QString(); }

private:
    const QString* FText = nullptr;
    const void* FDescribe = nullptr;
    QString (*FWords)(const void*) = nullptr;
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

    // Inline: decoding calls them once per number of every vertex and face.
    uint8_t ReadU8(const TExpected& what) { return *Take(1, what); }
    uint16_t ReadU16(const TExpected& what)
    {
        const uint8_t* const b = Take(2, what);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    int16_t ReadI16(const TExpected& what) { return static_cast<int16_t>(ReadU16(what)); }
    uint32_t ReadU32(const TExpected& what)
    {
        const uint8_t* const b = Take(4, what);
        return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16)
            | (static_cast<uint32_t>(b[3]) << 24);
    }
    float ReadFloat(const TExpected& what)
    {
        const uint32_t bits = ReadU32(what);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // A zero-terminated 8-bit string, one byte per character; the terminator
    // must lie before the limit.
    QString ReadString(const TExpected& what);
    void Skip(size_t count, const TExpected& what);
    // Bytes of the string at the position, terminator included; nothing when
    // no terminator lies before the limit.
    std::optional<size_t> PeekStringSize() const;

    // Fails unless `count` items of `itemSize` bytes fit before the limit; call
    // it before allocating for a count read from the file.
    void RequireItems(size_t count, size_t itemSize, const TExpected& what) const;

    [[noreturn]] void Fail(const QString& what) const;
    [[noreturn]] void FailAt(size_t offset, const QString& what) const;

private:
    const uint8_t* Take(size_t count, const TExpected& what)
    {
        if (count > Remaining())
            FailShort(count, what);
        const uint8_t* const bytes = reinterpret_cast<const uint8_t*>(FData.constData()) + FPosition;
        FPosition += count;
        return bytes;
    }
    [[noreturn]] void FailShort(size_t count, const TExpected& what) const;

    const QByteArray FData;
    const QString FFileName;
    size_t FPosition = 0;
    size_t FLimit = 0;
};
