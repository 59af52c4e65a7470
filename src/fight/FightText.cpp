#include "FightText.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace
{
constexpr int SignificantDigits = 15;
// Below this magnitude the general format turns scientific.
constexpr int LowestFixedExponent = -5;

using TDigits = std::array<char, 48>;

std::string_view ToChars(TDigits& digits, const double value, const std::chars_format format, const int precision)
{
    const std::to_chars_result result =
        std::to_chars(digits.data(), digits.data() + digits.size(), value, format, precision);
    if (result.ec != std::errc())
        return {};
    return {digits.data(), static_cast<std::size_t>(result.ptr - digits.data())};
}

// Drops the zeros after the last significant decimal, and the point if
// nothing is left after it.
std::string_view TrimDecimals(std::string_view number)
{
    if (number.empty() || number.find('.') == std::string_view::npos)
        return number;
    while (number.back() == '0')
        number.remove_suffix(1);
    if (number.back() == '.')
        number.remove_suffix(1);
    return number;
}

void AppendAscii(QString& text, const std::string_view number, const QChar decimalPoint)
{
    for (const char c : number)
        text += c == '.' ? decimalPoint : QChar(QLatin1Char(c));
}

void AppendExponent(QString& text, const int exponent)
{
    TDigits digits;
    const std::to_chars_result result = std::to_chars(digits.data(), digits.data() + digits.size(), exponent);
    text += QLatin1Char('E');
    AppendAscii(text, {digits.data(), static_cast<std::size_t>(result.ptr - digits.data())}, QLatin1Char('.'));
}
} // namespace

void AppendGeneral(QString& text, const double value, const QChar decimalPoint)
{
    if (value == 0 || !std::isfinite(value))
    {
        text += QLatin1Char('0');
        return;
    }
    // The scientific form rounded to 15 digits tells the exponent, rounding
    // included (9.9999999999999999 is 1E1).
    TDigits scientific;
    const std::string_view rounded = ToChars(scientific, value, std::chars_format::scientific, SignificantDigits - 1);
    const std::size_t e = rounded.find('e');
    if (e == std::string_view::npos)
        return;
    std::string_view exponentDigits = rounded.substr(e + 1);
    if (exponentDigits.front() == '+')
        exponentDigits.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentDigits.data(), exponentDigits.data() + exponentDigits.size(), exponent);
    if (exponent < LowestFixedExponent || exponent >= SignificantDigits)
    {
        AppendAscii(text, TrimDecimals(rounded.substr(0, e)), decimalPoint);
        AppendExponent(text, exponent);
        return;
    }
    TDigits fixed;
    AppendAscii(text, TrimDecimals(ToChars(fixed, value, std::chars_format::fixed, SignificantDigits - 1 - exponent)),
                decimalPoint);
}

void AppendFixed1(QString& text, const double value, const QChar decimalPoint)
{
    TDigits digits;
    AppendAscii(text, ToChars(digits, value, std::chars_format::fixed, 1), decimalPoint);
}

QString& TAlternatingText::Begin()
{
    FCurrent = 1 - FCurrent;
    QString& buffer = FBuffers[static_cast<std::size_t>(FCurrent)];
    buffer.resize(0);
    return buffer;
}
