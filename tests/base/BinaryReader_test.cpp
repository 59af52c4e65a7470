#include "BinaryReader.h"
#include "ReadErrorMessage.h"

#include <gtest/gtest.h>

namespace {


} // namespace

TEST(BinaryReader, ReadsLittleEndianValuesAndStrings)
{
    const QByteArray bytes = QByteArray::fromHex("3412" "78563412" "0000c03f" "feff" "414200" "ff");
    TBinaryReader reader(bytes, QStringLiteral("f.bin"));
    EXPECT_EQ(reader.ReadU16({}), 0x1234);
    EXPECT_EQ(reader.ReadU32({}), 0x12345678u);
    EXPECT_EQ(reader.ReadFloat({}), 1.5f);
    EXPECT_EQ(reader.ReadI16({}), -2);
    EXPECT_EQ(reader.ReadString({}), QStringLiteral("AB"));
    EXPECT_EQ(reader.ReadU8({}), 0xFF);
    EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(BinaryReader, ReadsStopAtTheLimitWithAnErrorNamingFileOffsetAndExpectation)
{
    const QByteArray bytes = QByteArray::fromHex("01020304" "4142" "00" "0506");
    TBinaryReader reader(bytes, QStringLiteral("f.bin"));
    reader.SeekWithin(1, 4);
    EXPECT_EQ(ErrorOf([&] { reader.ReadU32(QStringLiteral("a count")); }),
              QStringLiteral("f.bin: at offset 1: expected a count (4 bytes), but only 3 bytes are left"));
    EXPECT_EQ(reader.Position(), 1u); // a failed read consumes nothing
    EXPECT_EQ(reader.ReadU16({}), 0x0302);

    // The terminator lies past the limit: the string is not read.
    reader.SeekWithin(4, 6);
    EXPECT_FALSE(reader.PeekStringSize());
    EXPECT_EQ(ErrorOf([&] { reader.ReadString(QStringLiteral("a name")); }),
              QStringLiteral("f.bin: at offset 4: expected a name ended by a zero byte within the next 2 bytes"));
    reader.SeekWithin(4, 7);
    EXPECT_EQ(reader.PeekStringSize(), 3u);

    EXPECT_EQ(ErrorOf([&] { reader.RequireItems(1, 4, QStringLiteral("faces")); }),
              QStringLiteral("f.bin: at offset 4: expected faces: 1 items of 4 bytes, but only 3 bytes are left"));
    // A count whose byte size wraps around to 0 is still refused.
    EXPECT_EQ(ErrorOf([&] { reader.RequireItems(SIZE_MAX / 4 + 1, 4, QStringLiteral("faces")); }).left(32),
              QStringLiteral("f.bin: at offset 4: expected fac"));
    EXPECT_EQ(ErrorOf([&] { reader.RequireItems(3, 1, {}); }), QStringLiteral("(no error)"));

    EXPECT_EQ(ErrorOf([&] { reader.SeekWithin(0, 10); }),
              QStringLiteral("f.bin: at offset 0: expected data up to offset 10, but the file has 9 bytes"));
}
