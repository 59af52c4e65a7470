#include "fight/FightText.h"

#include <gtest/gtest.h>

namespace
{
QString General(const double value, const QChar decimalPoint = QLatin1Char('.'))
{
    QString text;
    AppendGeneral(text, value, decimalPoint);
    return text;
}

QString Fixed1(const double value)
{
    QString text;
    AppendFixed1(text, value, QLatin1Char('.'));
    return text;
}
} // namespace

TEST(FightText, GeneralFormatKeepsFifteenDigitsWithoutTrailingZeros)
{
    // Singles as the fighters' positions hold them.
    EXPECT_EQ(General(-0.3f), "-0.300000011920929");
    EXPECT_EQ(General(0.985f), "0.985000014305115");
    EXPECT_EQ(General(1.0f), "1");
    EXPECT_EQ(General(-9.12f), "-9.11999988555908");
    EXPECT_EQ(General(0), "0");
    EXPECT_EQ(General(220), "220");
    EXPECT_EQ(General(-0.3f, QLatin1Char(',')), "-0,300000011920929");
    // Rounding to 15 digits may carry into a new digit.
    EXPECT_EQ(General(9.9999999999999999), "10");
}

TEST(FightText, GeneralFormatTurnsScientificBelowOneHundredThousandthAndFromFifteenDigits)
{
    EXPECT_EQ(General(0.000015), "0.000015");
    EXPECT_EQ(General(0.0000015), "1.5E-6");
    EXPECT_EQ(General(-2.98023223876953125e-8), "-2.98023223876953E-8");
    EXPECT_EQ(General(123456789012345.0), "123456789012345");
    EXPECT_EQ(General(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(General(2e20), "2E20");
}

TEST(FightText, FixedFormatKeepsOneDecimal)
{
    EXPECT_EQ(Fixed1(0), "0.0");
    EXPECT_EQ(Fixed1(59.94), "59.9");
    EXPECT_EQ(Fixed1(59.96), "60.0");
    EXPECT_EQ(Fixed1(1234.5678), "1234.6");
}

TEST(FightText, AlternatingTextHandsOutTheOtherBufferEmptied)
{
    TAlternatingText text;
    QString& first = text.Begin();
    first += QLatin1String("one");
    const QString shared = first; // as a screen text keeps it
    QString& second = text.Begin();
    EXPECT_NE(&first, &second);
    EXPECT_TRUE(second.isEmpty());
    EXPECT_EQ(&text.Begin(), &first);
    EXPECT_TRUE(first.isEmpty());
    EXPECT_EQ(shared, "one");
}
