#include "SMD.h"
#include "HashSeed.h"
#include "OpenHashIndex.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <climits>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
// Offending lines and tokens are quoted in messages up to this many bytes.
constexpr size_t ExcerptBytes = 80;
// Frames may leave bones out and get zeros in their place; a file may ask for
// this many such entries plus this many per byte of its own. Real files list
// nearly every bone, while a crafted one could otherwise make a few bytes per
// frame fill gigabytes.
constexpr size_t PaddingAllowance = size_t{1} << 20;
constexpr size_t PaddingPerByte = 16;

bool IsBlankChar(const char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// Looked up rather than compared, since every byte of a data line is tested.
constexpr std::array<bool, 256> SeparatorTable = []
{
    std::array<bool, 256> table{};
    for (const char c : {' ', '\t', '\v', '\f', ','})
        table[static_cast<unsigned char>(c)] = true;
    return table;
}();

bool IsSeparator(const char c)
{
    return SeparatorTable[static_cast<unsigned char>(c)];
}

// Separators and the line breaks that follow a line's end in the file's
// bytes: what may come right after a number.
constexpr std::array<bool, 256> TokenEndTable = []
{
    std::array<bool, 256> table = SeparatorTable;
    table['\r'] = table['\n'] = true;
    return table;
}();

bool IsTokenEnd(const char c)
{
    return TokenEndTable[static_cast<unsigned char>(c)];
}

bool IsDigit(const char c)
{
    return c >= '0' && c <= '9';
}

std::string_view TrimEnd(std::string_view line)
{
    while (!line.empty() && IsBlankChar(line.back()))
        line.remove_suffix(1);
    return line;
}

bool IsBlank(const std::string_view line)
{
    return TrimEnd(line).empty();
}

// Keyword lines are compared whole and case-sensitively, but white space an
// editor left at their end does not change what they say.
bool IsKeyword(const std::string_view line, const std::string_view keyword)
{
    return TrimEnd(line) == keyword;
}

bool EqualsIgnoringCase(const std::string_view a, const std::string_view b)
{
    const auto lower = [](const char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

// Bone lines are told from the frame's next "time" line by their first
// character alone.
bool IsBoneLine(const std::string_view line)
{
    // A digit first settles it without looking at the line's end.
    return !line.empty() && (IsDigit(line[0]) || (line[0] == ' ' && !IsBlank(line)));
}

QString Excerpt(const std::string_view text)
{
    if (text.size() <= ExcerptBytes)
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    return QString::fromUtf8(text.data(), qsizetype(ExcerptBytes)) + QStringLiteral("...");
}

bool IsAscii(const std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](const char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The "time" line, a space and the file's name. Built in one allocation:
// joining converted pieces costs three, and a short animation has a frame
// for every few lines.
QString FrameName(const std::string_view timeLine, const QString& fileName)
{
    if (!IsAscii(timeLine))
        return QString::fromUtf8(timeLine.data(), qsizetype(timeLine.size())) + QLatin1Char(' ') + fileName;
    QString name(qsizetype(timeLine.size()) + 1 + fileName.size(), Qt::Uninitialized);
    QChar* const out = std::transform(timeLine.begin(), timeLine.end(), name.data(),
                                      [](const char c) { return QLatin1Char(c); });
    *out = QLatin1Char(' ');
    std::copy(fileName.cbegin(), fileName.cend(), out + 1);
    return name;
}

bool IsIntegerText(std::string_view token)
{
    if (!token.empty() && (token[0] == '+' || token[0] == '-'))
        token.remove_prefix(1);
    return !token.empty() && std::all_of(token.begin(), token.end(), IsDigit);
}

size_t SkipDigits(const std::string_view text, size_t i)
{
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    return i;
}

// The length of the number at the start of the token: [sign] digits
// [separator digits] [e [sign] digits], with a digit before or after the
// separator; 0 when there is none.
size_t NumberLength(const std::string_view token, size_t& separator)
{
    size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-'))
        ++i;
    const size_t integerEnd = SkipDigits(token, i);
    size_t digits = integerEnd - i;
    i = integerEnd;
    separator = std::string_view::npos;
    if (i < token.size() && (token[i] == '.' || token[i] == ',')) {
        separator = i;
        const size_t fractionEnd = SkipDigits(token, i + 1);
        digits += fractionEnd - (i + 1);
        i = fractionEnd;
    }
    if (digits == 0)
        return 0;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        size_t e = i + 1;
        if (e < token.size() && (token[e] == '+' || token[e] == '-'))
            ++e;
        const size_t exponentEnd = SkipDigits(token, e);
        if (exponentEnd == e)
            return 0;
        i = exponentEnd;
    }
    return i;
}

// A plain decimal as an integer of its digits over ten to the number of its
// fraction digits.
struct TPlainDecimal
{
    uint64_t Digits = 0;
    unsigned FractionDigits = 0;
    bool Negative = false;
};

// A decimal of the common shape below, its digits still as lanes (see
// DigitLanes), so that several can be joined and divided at once. No member
// initialisers: a line's array of them would be cleared before every line,
// though the scan sets each field.
struct TCommonDecimal
{
    uint64_t Lanes;
    unsigned FractionDigits;
    bool Negative;
};

// The steps of a plain decimal are forced inline: a call, with the registers
// it saves and the constants it loads again, costs about as much as the step.

// Plain decimals longer than this go to the general parser; shorter ones fit
// 64 bits.
constexpr unsigned MaxPlainDigits = 19;

constexpr uint64_t EveryByte(const uint8_t byte)
{
    return uint64_t{byte} * 0x0101010101010101u;
}

// How many of the eight bytes, first in memory first, are decimal digits
// before the first byte that is not.
[[gnu::always_inline]] inline unsigned LeadingDigitCount(const uint64_t chunk)
{
    // Digits become 0 to 9 and every other byte something else; adding 0x76
    // sets the high bit of exactly those above 9 that lack it. The carry out
    // of a byte above 0x89 only reaches bytes after it.
    const uint64_t offset = chunk ^ EveryByte('0');
    const uint64_t notDigit = ((offset + EveryByte(0x76)) | offset) & EveryByte(0x80);
    return notDigit == 0 ? 8 : unsigned(std::countr_zero(notDigit)) / 8;
}

// The first `count` (1 to 8) bytes of the chunk, all digits, as their values
// moved to the top, so that the bytes below act as leading zeros: eight
// lanes, the most significant first in memory.
[[gnu::always_inline]] inline uint64_t DigitLanes(const uint64_t chunk, const unsigned count)
{
    return (chunk << (8 * (8 - count))) & EveryByte(0x0F);
}

// The value of eight digit lanes: neighbouring lanes joined by one
// multiplication each, digits into pairs, pairs into fours, and the two fours.
[[gnu::always_inline]] inline uint64_t LanesValue(uint64_t lanes)
{
    lanes = (lanes * (10 * 0x100 + 1)) >> 8 & 0x00FF00FF00FF00FFu;
    lanes = (lanes * (100 * 0x10000 + 1)) >> 16 & 0x0000FFFF0000FFFFu;
    return (lanes * (10000 * 0x100000000u + 1)) >> 32;
}

[[gnu::always_inline]] inline uint64_t DigitsValue(const uint64_t chunk, const unsigned count)
{
    return LanesValue(DigitLanes(chunk, count));
}

constexpr uint64_t PowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Appends the digits at p to `digits` and counts them in `count`; the position
// of the first other byte, or null past MaxPlainDigits digits. Eight bytes at
// a time while they lie before readableEnd (the line's bytes and beyond, up
// to the end of the buffer).
[[gnu::always_inline]] inline const char* ScanDigits(const char* p, const char* const end, const char* const readableEnd, uint64_t& digits,
                       unsigned& count)
{
    while (readableEnd - p >= 8) {
        uint64_t chunk;
        std::memcpy(&chunk, p, sizeof chunk);
        const unsigned run = std::min(LeadingDigitCount(chunk), unsigned(end - p));
        if (run == 0)
            return p;
        count += run;
        if (count > MaxPlainDigits)
            return nullptr;
        digits = digits * PowersOfTen[run] + DigitsValue(chunk, run);
        p += run;
        if (run < 8)
            return p;
    }
    for (; p != end && IsDigit(*p); ++p) {
        if (++count > MaxPlainDigits)
            return nullptr;
        digits = digits * 10 + uint64_t(*p - '0');
    }
    return p;
}

// Bytes past a line's end that must be readable for a data line to be read
// by the quick roads, which load eight bytes at a time and look one beyond.
constexpr ptrdiff_t ReadAheadBytes = 16;

// The shape nearly every number of a model file has, ["-"] digits ["."
// digits] with one to eight digits in all, read without a loop: the point is
// taken out by merging the bytes before it with the bytes after it shifted
// down by one, and the eight digits left are converted at once. The position
// after it, or null for most other shapes: the caller checks that the token
// ends there, which also refuses a ninth digit. ReadAheadBytes bytes from p
// must be readable; a line's digits then stop at its end, a line break.
[[gnu::always_inline]] inline const char* ScanCommonDecimal(const char* p, TCommonDecimal& decimal)
{
    // A "+" is rare enough to be left to the general road.
    decimal.Negative = *p == '-';
    p += decimal.Negative ? 1 : 0;
    uint64_t head;
    std::memcpy(&head, p, sizeof head);
    const unsigned integerDigits = LeadingDigitCount(head);
    if (integerDigits == 8)
        return nullptr;
    if (p[integerDigits] != '.') {
        if (integerDigits == 0)
            return nullptr;
        decimal.Lanes = DigitLanes(head, integerDigits);
        decimal.FractionDigits = 0;
        return p + integerDigits;
    }
    uint64_t tail;
    std::memcpy(&tail, p + 1, sizeof tail);
    const uint64_t beforePoint = (uint64_t{1} << (8 * integerDigits)) - 1;
    const uint64_t merged = (head & beforePoint) | (tail & ~beforePoint);
    const unsigned digits = LeadingDigitCount(merged);
    if (digits == 0)
        return nullptr;
    decimal.Lanes = DigitLanes(merged, digits);
    decimal.FractionDigits = digits - integerDigits;
    return p + digits + 1;
}

// [sign] digits [separator digits] from p, with one to MaxPlainDigits digits;
// the position after it, or null when p holds no such number. What follows is
// left to the caller to judge.
[[gnu::always_inline]] inline const char* ScanPlainDecimal(const char* p, const char* const end, const char* const readableEnd,
                             const char separator, TPlainDecimal& decimal)
{
    if (p != end && (*p == '-' || *p == '+'))
        decimal.Negative = *p++ == '-';
    unsigned count = 0;
    p = ScanDigits(p, end, readableEnd, decimal.Digits, count);
    if (p != nullptr && p != end && *p == separator) {
        const unsigned integerDigits = count;
        p = ScanDigits(p + 1, end, readableEnd, decimal.Digits, count);
        decimal.FractionDigits = count - integerDigits;
    }
    return count == 0 ? nullptr : p;
}

// Below 2^24 the digits, and up to 10^10 the power of ten, are exact in a
// single, so one single division rounds the true value once, correctly: the
// usual case of six decimals. Larger ones go through a double: digits below
// 2^53 and powers up to 10^22 are exact there, so one double division is
// correctly rounded too, but the rounding to single that follows gives the
// correctly rounded single only when the double is not exactly half-way
// between two singles, where the true value may lie to either side. Such
// values, and all others, are left to the general parser.
[[gnu::always_inline]] inline bool RoundPlainDecimal(const TPlainDecimal& decimal, float& value)
{
    static constexpr float SinglePowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    static constexpr double DoublePowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    float single = 0;
    if (decimal.Digits < (uint64_t{1} << 24) && decimal.FractionDigits < std::size(SinglePowers)) {
        single = float(decimal.Digits) / SinglePowers[decimal.FractionDigits];
    } else {
        if (decimal.Digits > (uint64_t{1} << 53) || decimal.FractionDigits >= std::size(DoublePowers))
            return false;
        const double quotient = double(decimal.Digits) / DoublePowers[decimal.FractionDigits];
        uint64_t bits;
        std::memcpy(&bits, &quotient, sizeof bits);
        constexpr uint64_t BelowSingle = (uint64_t{1} << 29) - 1;
        if ((bits & BelowSingle) == uint64_t{1} << 28)
            return false;
        single = float(quotient);
    }
    // The sign set by its bit, as a branch on it would be mispredicted for
    // half the numbers of a normal.
    value = std::bit_cast<float>(std::bit_cast<uint32_t>(single) | uint32_t(decimal.Negative) << 31);
    return true;
}

// The plain decimal filling the whole token, with "." or "," between its
// integer and fraction digits.
std::optional<float> ShortDecimal(const std::string_view token)
{
    const char* const end = token.data() + token.size();
    for (const char separator : {'.', ','}) {
        TPlainDecimal decimal;
        float value = 0;
        if (ScanPlainDecimal(token.data(), end, end, separator, decimal) == end)
            return RoundPlainDecimal(decimal, value) ? std::optional<float>(value) : std::nullopt;
    }
    return std::nullopt;
}

// A plain integer of at most nine digits, which cannot leave 32 bits.
std::optional<int32_t> ShortInteger(const std::string_view token)
{
    const size_t skip = !token.empty() && (token[0] == '-' || token[0] == '+') ? 1 : 0;
    if (token.size() == skip || token.size() - skip > 9)
        return std::nullopt;
    int32_t value = 0;
    for (size_t i = skip; i < token.size(); ++i) {
        const unsigned digit = unsigned(static_cast<unsigned char>(token[i])) - unsigned('0');
        if (digit > 9)
            return std::nullopt;
        value = value * 10 + int32_t(digit);
    }
    return skip == 1 && token[0] == '-' ? -value : value;
}

// The fields of one data line, taken from left to right: the road for lines
// the quick one below does not take, and for the tokens of node lines.
class TSMDFieldScanner
{
public:
    // The bytes from the line's end up to readableEnd may be read, never used.
    TSMDFieldScanner(const std::string_view line, const char* const readableEnd)
        : FPos(line.data()), FEnd(line.data() + line.size()), FReadableEnd(readableEnd)
    {
    }

    // False past the last token.
    bool NextToken(std::string_view& token);
    // The next token as a number, 0 when it is none; false, leaving the
    // value, past the last token.
    bool NextFloat(float& value);
    // Tokens taken so far, after passing over the rest of the line.
    size_t CountAll();

private:
    bool SkipSeparators();

    const char* FPos;
    const char* const FEnd;
    const char* const FReadableEnd;
    size_t FCount = 0;
};

bool TSMDFieldScanner::SkipSeparators()
{
    while (FPos != FEnd && IsSeparator(*FPos))
        ++FPos;
    return FPos != FEnd;
}

bool TSMDFieldScanner::NextToken(std::string_view& token)
{
    if (!SkipSeparators())
        return false;
    ++FCount;
    if (*FPos == '"') {
        const char* const start = FPos + 1;
        const void* const close = std::memchr(start, '"', size_t(FEnd - start));
        const char* const stop = close ? static_cast<const char*>(close) : FEnd;
        token = std::string_view(start, size_t(stop - start));
        FPos = close ? stop + 1 : FEnd;
        return true;
    }
    const char* const start = FPos;
    while (FPos != FEnd && !IsSeparator(*FPos))
        ++FPos;
    token = std::string_view(start, size_t(FPos - start));
    return true;
}

// A "," ends a token here, so only "." can separate the fraction; a token
// with a "," inside is quoted and takes the general road.
bool TSMDFieldScanner::NextFloat(float& value)
{
    if (!SkipSeparators())
        return false;
    TPlainDecimal decimal;
    const char* const stop = ScanPlainDecimal(FPos, FEnd, FReadableEnd, '.', decimal);
    if (stop != nullptr && (stop == FEnd || IsSeparator(*stop)) && RoundPlainDecimal(decimal, value)) {
        FPos = stop;
        ++FCount;
        return true;
    }
    std::string_view token;
    NextToken(token);
    value = ParseSMDFloat(token);
    return true;
}

// Where the tokens of a data line start, found for the whole line at once
// from masks of its separators. Taking the tokens one after the other would
// make the start of each wait for the bytes of the one before it to be
// loaded and judged; from the masks every number can be read at the same
// time. Lines with a quote, longer ones and those near the end of the bytes
// are left to the scanner.
class TSMDTokenStarts
{
public:
    static constexpr size_t MaxLineBytes = 128;
    static constexpr size_t Kept = 12;

    // False when the line is not one for this road.
    bool Find(std::string_view line, const char* readableEnd);

    size_t Count() const { return FCount; }
    const char* operator[](const size_t index) const { return FStarts[index]; }

private:
    static constexpr size_t Words = MaxLineBytes / 64;
    static constexpr size_t BlockBytes = 16;

    // Bit i of word w stands for byte 64 w + i.
    struct TMasks
    {
        uint64_t Separators[Words] = {};
        // Some block holds a quote, maybe past the line's end.
        bool Quotes = false;
    };
    static void Classify(const char* first, size_t blocks, TMasks& masks);

    // Only the first min(FCount, Kept) are set.
    std::array<const char*, Kept> FStarts;
    size_t FCount = 0;
};

#if defined(__SSE2__)
void TSMDTokenStarts::Classify(const char* const first, const size_t blocks, TMasks& masks)
{
    const __m128i space = _mm_set1_epi8(' '), comma = _mm_set1_epi8(','), quote = _mm_set1_epi8('"');
    const __m128i tab = _mm_set1_epi8('\t'), lastBlank = _mm_set1_epi8('\f' - '\t');
    __m128i quotes = _mm_setzero_si128();
    for (size_t b = 0; b < blocks; ++b) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + BlockBytes * b));
        // Tab, vertical tab and form feed: within three above a tab.
        const __m128i fromTab = _mm_sub_epi8(bytes, tab);
        const __m128i blank = _mm_cmpeq_epi8(_mm_min_epu8(fromTab, lastBlank), fromTab);
        const __m128i separator =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, space), _mm_cmpeq_epi8(bytes, comma)), blank);
        masks.Separators[b / 4] |= uint64_t(unsigned(_mm_movemask_epi8(separator))) << (BlockBytes * b % 64);
        quotes = _mm_or_si128(quotes, _mm_cmpeq_epi8(bytes, quote));
    }
    masks.Quotes = _mm_movemask_epi8(quotes) != 0;
}
#else
void TSMDTokenStarts::Classify(const char* const first, const size_t blocks, TMasks& masks)
{
    for (size_t i = 0; i < blocks * BlockBytes; ++i) {
        masks.Separators[i / 64] |= uint64_t(IsSeparator(first[i])) << (i % 64);
        masks.Quotes = masks.Quotes || first[i] == '"';
    }
}
#endif

bool TSMDTokenStarts::Find(const std::string_view line, const char* const readableEnd)
{
    const size_t blocks = (line.size() + BlockBytes - 1) / BlockBytes;
    if (line.size() > MaxLineBytes || readableEnd - (line.data() + blocks * BlockBytes) < ReadAheadBytes)
        return false;
    TMasks masks;
    Classify(line.data(), blocks, masks);
    if (masks.Quotes)
        return false;
    FCount = 0;
    // As if a separator came before the line: a token may start at its first
    // byte.
    uint64_t separatorBefore = 1;
    for (size_t firstByte = 0; firstByte < line.size(); firstByte += 64) {
        const size_t left = line.size() - firstByte;
        const uint64_t inLine = left >= 64 ? ~uint64_t{0} : (uint64_t{1} << left) - 1;
        const uint64_t tokenBytes = ~masks.Separators[firstByte / 64] & inLine;
        uint64_t starts = tokenBytes & ((~tokenBytes << 1) | separatorBefore);
        separatorBefore = ~tokenBytes >> 63;
        for (; starts != 0; starts &= starts - 1, ++FCount)
            if (FCount < Kept)
                FStarts[FCount] = line.data() + firstByte + size_t(std::countr_zero(starts));
    }
    return true;
}

// The token at `start` of a line read by TSMDTokenStarts, whose end is
// followed by a line break.
std::string_view TokenAt(const char* const start)
{
    const char* stop = start;
    while (!IsTokenEnd(*stop))
        ++stop;
    return std::string_view(start, size_t(stop - start));
}

[[gnu::noinline]] float FloatAtByAnyRoad(const char* const start)
{
    return ParseSMDFloat(TokenAt(start));
}

// 64 well-mixed bits of a line's bytes, for the index of vertex lines. The
// 16-byte blocks are mixed independently of each other, so a line costs a
// few multiplications' latency rather than one per block. The mix is keyed
// by the process's seed, so no file can be made to collide.
struct TLineHash
{
    static uint64_t Load(const char* p)
    {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    }

    uint64_t operator()(const std::string_view text) const
    {
        const char* p = text.data();
        size_t left = text.size();
        uint64_t hash = FMix(left, FStep);
        // Each block gets its own secret offset, so blocks trading places
        // change the hash in a way no file can undo.
        uint64_t offset = 0;
        for (; left > 16; left -= 16, p += 16, offset += FStep)
            hash += FMix(Load(p) ^ offset, Load(p + 8));
        // The last 1 to 16 bytes, read as two overlapping words or halves.
        uint64_t a = 0, b = 0;
        if (left >= 8) {
            a = Load(p);
            b = Load(p + left - 8);
        } else if (left >= 4) {
            uint32_t low, high;
            std::memcpy(&low, p, sizeof low);
            std::memcpy(&high, p + left - 4, sizeof high);
            a = low;
            b = high;
        } else if (left > 0) {
            a = uint64_t(uint8_t(p[0])) << 16 | uint64_t(uint8_t(p[left / 2])) << 8 | uint8_t(p[left - 1]);
        }
        return FMix(hash ^ FMix(a ^ offset, b), FStep);
    }

    TSeededMix FMix;
    uint64_t FStep = ProcessHashSeed() * 0x8EBC6AF09C88C6E3ull | 1;
};

// A common decimal (below 10^8, at most 8 digits after the point). The one
// double division rounds correctly, and rounding its quotient to single gives
// the correctly rounded single for every decimal of this shape: the double
// rounding that can go wrong for longer ones never does here (all nine
// hundred million were checked). One road for all, since choosing between a
// single and a double division by the size of the digits would be
// mispredicted in files that mix six and seven significant digits.
constexpr double CommonPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

[[gnu::always_inline]] inline float CommonDecimalValue(const TCommonDecimal& decimal)
{
    const float single = float(double(int64_t(LanesValue(decimal.Lanes))) / CommonPowers[decimal.FractionDigits]);
    return std::bit_cast<float>(std::bit_cast<uint32_t>(single) | uint32_t(decimal.Negative) << 31);
}

#if defined(__SSE2__)
// Two common decimals by the same steps as CommonDecimalValue, in the two
// halves of the vector registers: the lanes joined into pairs, fours and
// eights by multiply-adds (every partial sum fits the 16 or 32 bits it is
// packed into), converted exactly, divided and rounded to single, each half
// as one scalar division and rounding would, so the bits are the same.
[[gnu::always_inline]] inline void CommonDecimalPair(const TCommonDecimal& a, const TCommonDecimal& b, float* const out)
{
    const __m128i lanes = _mm_set_epi64x(int64_t(b.Lanes), int64_t(a.Lanes));
    const __m128i zero = _mm_setzero_si128();
    const __m128i tens = _mm_set1_epi32(0x0001000A), hundreds = _mm_set1_epi32(0x00010064),
                  tenThousands = _mm_set1_epi32(0x00012710);
    const __m128i pairsA = _mm_madd_epi16(_mm_unpacklo_epi8(lanes, zero), tens);
    const __m128i pairsB = _mm_madd_epi16(_mm_unpackhi_epi8(lanes, zero), tens);
    const __m128i fours = _mm_madd_epi16(_mm_packs_epi32(pairsA, pairsB), hundreds);
    const __m128i eights = _mm_madd_epi16(_mm_packs_epi32(fours, fours), tenThousands);
    const __m128d quotients =
        _mm_div_pd(_mm_cvtepi32_pd(eights), _mm_set_pd(CommonPowers[b.FractionDigits], CommonPowers[a.FractionDigits]));
    const __m128i signs = _mm_set_epi32(0, 0, int(uint32_t(b.Negative) << 31), int(uint32_t(a.Negative) << 31));
    const __m128 singles = _mm_or_ps(_mm_cvtpd_ps(quotients), _mm_castsi128_ps(signs));
    _mm_storel_pi(reinterpret_cast<__m64*>(out), singles);
}
#else
[[gnu::always_inline]] inline void CommonDecimalPair(const TCommonDecimal& a, const TCommonDecimal& b, float* const out)
{
    out[0] = CommonDecimalValue(a);
    out[1] = CommonDecimalValue(b);
}
#endif

// The numbers at `count` (even) token starts from `first` on. All are
// scanned first and converted two at a time; the rare one of another shape
// is read again by the general road.
template <size_t count>
[[gnu::always_inline]] inline void FloatsAt(const TSMDTokenStarts& tokens, const size_t first,
                                            std::array<float, count>& values)
{
    static_assert(count % 2 == 0);
    std::array<TCommonDecimal, count> decimals;
    unsigned others = 0;
    for (size_t k = 0; k < count; ++k) {
        const char* const stop = ScanCommonDecimal(tokens[first + k], decimals[k]);
        if (stop == nullptr || !IsTokenEnd(*stop)) [[unlikely]] {
            decimals[k] = {};
            others |= 1u << k;
        }
    }
    for (size_t k = 0; k < count; k += 2)
        CommonDecimalPair(decimals[k], decimals[k + 1], &values[k]);
    for (; others != 0; others &= others - 1) {
        const size_t k = size_t(std::countr_zero(others));
        values[k] = FloatAtByAnyRoad(tokens[first + k]);
    }
}

size_t TSMDFieldScanner::CountAll()
{
    std::string_view token;
    while (NextToken(token)) {
    }
    return FCount;
}

float FloatFromChars(const char* first, const char* last)
{
    float value = 0;
    const std::from_chars_result result = std::from_chars(first, last, value);
    // Out of single range counts as no number, like any other bad token.
    return result.ec == std::errc() && result.ptr == last ? value : 0.0f;
}

// Numbers of the fixed forms the writer uses, from to_chars, which ignores
// the locale: a "," locale still gives ".".
void AppendInteger(QByteArray& text, const int32_t value, const int width)
{
    char digits[16];
    const char* const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const int length = int(end - digits);
    if (length < width)
        text.append(width - length, ' ');
    text.append(digits, length);
}

void AppendFixed(QByteArray& text, const float value, const int decimals)
{
    char digits[64];
    const std::to_chars_result result =
        std::to_chars(digits, digits + sizeof digits, double(value), std::chars_format::fixed, decimals);
    // A float needs at most 39 integer digits, so only a value beyond single
    // range could fail here; none comes from a float.
    text.append(digits, result.ec == std::errc() ? int(result.ptr - digits) : 0);
}

void AppendLine(QByteArray& text, const std::string_view line)
{
    text.append(line.data(), qsizetype(line.size()));
    text.append("\r\n", 2);
}

} // namespace

// ---------------------------------------------------------------- errors

ESMDError::ESMDError(const QString& what, const QString& fileName, const int line)
    : EReadError(what + (line > 0 ? QStringLiteral(" (in \"%1\", line %2)").arg(fileName).arg(line)
                                  : QStringLiteral(" (in \"%1\", at the end of the file)").arg(fileName))),
      FFileName(fileName), FLine(line)
{
}

ESMDError::ESMDError(const QString& message, const QString& fileName)
    : EReadError(message), FFileName(fileName), FLine(-1)
{
}

// ---------------------------------------------------------------- text

TSMDLines::TSMDLines(std::string_view bytes)
{
    if (bytes.starts_with(ByteOrderMark))
        bytes.remove_prefix(ByteOrderMark.size());
    // Room for lines of 16 bytes on average: only the pages the lines fill
    // are ever touched, and most files need no second allocation.
    FLines.reserve(bytes.size() / 16 + 16);
    const char* const first = bytes.data();
    const char* const end = first + bytes.size();
    const char* start = first;
    // A CR right before an LF ends a line with it.
    const auto lineBreak = [&](const char* const at)
    {
        if (at < start)
            return;
        FLines.push_back(std::string_view(start, size_t(at - start)));
        start = at + (*at == '\r' && at + 1 != end && at[1] == '\n' ? 2 : 1);
    };
    const char* block = first;
#if defined(__SSE2__)
    // Sixteen bytes at a time: most blocks of a model hold no line break.
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; end - block >= 16; block += 16) {
        const __m128i bytes16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        unsigned breaks = unsigned(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes16, cr), _mm_cmpeq_epi8(bytes16, lf))));
        for (; breaks != 0; breaks &= breaks - 1)
            lineBreak(block + std::countr_zero(breaks));
    }
#endif
    for (; block != end; ++block)
        if (*block == '\r' || *block == '\n')
            lineBreak(block);
    if (start < end)
        FLines.push_back(std::string_view(start, size_t(end - start)));
}

TSMDTokens::TSMDTokens(const std::string_view line)
{
    TSMDFieldScanner fields(line, line.data() + line.size());
    std::string_view token;
    while (fields.NextToken(token)) {
        if (FCount < Kept)
            FTokens[FCount] = token;
        ++FCount;
    }
}

float ParseSMDFloat(const std::string_view token)
{
    if (const std::optional<float> value = ShortDecimal(token))
        return *value;
    size_t separator = 0;
    if (token.empty() || NumberLength(token, separator) != token.size())
        return 0;
    // from_chars takes neither a leading "+" nor a "," separator.
    const size_t skip = token[0] == '+' ? 1 : 0;
    const std::string_view number = token.substr(skip);
    if (separator == std::string_view::npos || token[separator] == '.')
        return FloatFromChars(number.data(), number.data() + number.size());
    char buffer[64];
    std::string longNumber;
    char* first = buffer;
    if (number.size() > sizeof buffer) {
        longNumber.resize(number.size());
        first = longNumber.data();
    }
    std::copy(number.begin(), number.end(), first);
    first[separator - skip] = '.';
    return FloatFromChars(first, first + number.size());
}

std::optional<int32_t> ParseSMDInteger(const std::string_view token)
{
    if (const std::optional<int32_t> value = ShortInteger(token))
        return value;
    if (!IsIntegerText(token))
        return std::nullopt;
    const size_t skip = token[0] == '+' ? 1 : 0;
    int32_t value = 0;
    const std::from_chars_result result = std::from_chars(token.data() + skip, token.data() + token.size(), value);
    if (result.ec != std::errc() || result.ptr != token.data() + token.size())
        return std::nullopt;
    return value;
}

QString SMDAnimationName(const QString& sourceName)
{
    const qsizetype dot = sourceName.indexOf(QLatin1Char('.'));
    return dot < 0 ? sourceName : sourceName.left(dot);
}

// ---------------------------------------------------------------- reading

namespace {

class TSMDParser
{
public:
    TSMDParser(const std::string_view bytes, const QString& fileName, const TSMDContext& context)
        : FLines(bytes), FBytesEnd(bytes.data() + bytes.size()), FFileName(fileName), FContext(context),
          FPaddingLeft(PaddingAllowance + PaddingPerByte * bytes.size())
    {
    }

    TSMDFile Parse();

private:
    size_t Count() const { return FLines.Count(); }
    [[noreturn]] void Fail(const QString& what, size_t index) const;
    size_t SkipBlankLines(size_t index) const;
    bool HasTrianglesLine() const;
    size_t FindNodesEnd(size_t first) const;

    size_t ReadHeader();
    size_t ReadNodes(size_t first);
    void ReadNode(size_t index, std::vector<bool>& listed);
    size_t ReadSkeleton(size_t first);
    size_t ReadFrame(size_t timeLine);
    void ReadBoneLine(size_t index, TSMDFrame& frame);
    void PadFrame(TSMDFrame& frame, size_t count, size_t index);
    void CheckFrameHasRoom(const TSMDFrame& frame, size_t index) const;
    void ReadTriangles(size_t first);
    void ReserveTriangles(size_t first);
    void ReadCornerOrRepeat(size_t index, size_t number);
    TSMDCorner& CornerNumbered(size_t number) { return FFile.Triangles[number / 3].Corners[number % 3]; }
    void ReadCorner(size_t index, TSMDCorner& corner) const;
    int32_t ReadCornerByAnyRoad(size_t index, std::array<float, 8>& values) const;
    int32_t ReadBoneLineByAnyRoad(size_t index, std::array<float, 6>& values) const;
    int32_t IdAt(const char* start, const char* what, size_t index) const;

    TSMDTokens TokensOf(size_t index, size_t minimum, const char* layout) const;
    void RequireTokens(size_t count, size_t minimum, const char* layout, size_t index) const;
    int32_t Integer(std::string_view token, const char* what, size_t index) const;
    int64_t FrameNumber() const { return int64_t(FContext.FrameCount) + int64_t(FFile.Frames.size()); }

    const TSMDLines FLines;
    const char* const FBytesEnd;
    const QString FFileName;
    const TSMDContext FContext;
    TSMDFile FFile;
    size_t FPaddingLeft;
    // The first corner read from each vertex line's text, by the text.
    TOpenHashIndex<std::string_view, TLineHash> FCornerTexts;
};

// Index Count() stands for the end of the file.
void TSMDParser::Fail(const QString& what, const size_t index) const
{
    throw ESMDError(what, FFileName, index < Count() ? int(index + 1) : 0);
}

// Blank lines are passed over wherever a keyword or a new node or frame may
// come, as other readers of the format do; within triangles an empty line is
// a material name.
size_t TSMDParser::SkipBlankLines(size_t index) const
{
    while (index < Count() && IsBlank(FLines[index]))
        ++index;
    return index;
}

bool TSMDParser::HasTrianglesLine() const
{
    // Every line is looked at: its first letter and length rule out nearly
    // all before the end is trimmed.
    constexpr std::string_view Keyword = "triangles";
    for (size_t i = 0; i < Count(); ++i) {
        const std::string_view line = FLines[i];
        if (line.size() >= Keyword.size() && (line[0] == 't' || line[0] == 'T') &&
            EqualsIgnoringCase(TrimEnd(line), Keyword))
            return true;
    }
    return false;
}

size_t TSMDParser::FindNodesEnd(const size_t first) const
{
    size_t end = first;
    while (end < Count() && !IsKeyword(FLines[end], "end"))
        ++end;
    if (end == Count())
        Fail(QStringLiteral("\"end\" of the nodes not found"), end);
    return end;
}

TSMDTokens TSMDParser::TokensOf(const size_t index, const size_t minimum, const char* const layout) const
{
    const TSMDTokens tokens(FLines[index]);
    RequireTokens(tokens.Count(), minimum, layout, index);
    return tokens;
}

void TSMDParser::RequireTokens(const size_t count, const size_t minimum, const char* const layout,
                               const size_t index) const
{
    if (count < minimum)
        Fail(QStringLiteral("%1 needs %2 tokens, got %3").arg(QLatin1String(layout)).arg(minimum).arg(count), index);
}

int32_t TSMDParser::Integer(const std::string_view token, const char* const what, const size_t index) const
{
    if (const std::optional<int32_t> value = ParseSMDInteger(token))
        return *value;
    if (IsIntegerText(token))
        Fail(QStringLiteral("%1 %2 is out of the 32-bit integer range").arg(QLatin1String(what), Excerpt(token)), index);
    Fail(QStringLiteral("%1 \"%2\" is not an integer").arg(QLatin1String(what), Excerpt(token)), index);
}

TSMDFile TSMDParser::Parse()
{
    if (Count() >= size_t(INT_MAX))
        Fail(QStringLiteral("The file has too many lines"), Count());
    FFile.FileName = FFileName;
    const size_t nodesLine = ReadHeader();
    FFile.IsModel = HasTrianglesLine();
    if (!FFile.IsModel && !FContext.OwnerHasMeshObjects)
        Fail(QStringLiteral("SMD is an animation, load model SMD first."), Count());
    const size_t nodesEnd = ReadNodes(nodesLine + 1);
    const size_t skeletonEnd = ReadSkeleton(nodesEnd + 1);
    const size_t afterSkeleton = SkipBlankLines(skeletonEnd + 1);
    if (afterSkeleton < Count() && IsKeyword(FLines[afterSkeleton], "triangles"))
        ReadTriangles(afterSkeleton + 1);
    return std::move(FFile);
}

size_t TSMDParser::ReadHeader()
{
    const size_t versionLine = SkipBlankLines(0);
    if (versionLine == Count() || !IsKeyword(FLines[versionLine], "version 1"))
        Fail(QStringLiteral("SMD version 1 required"), versionLine);
    const size_t nodesLine = SkipBlankLines(versionLine + 1);
    if (nodesLine == Count() || !IsKeyword(FLines[nodesLine], "nodes"))
        Fail(QStringLiteral("nodes not found"), nodesLine);
    return nodesLine;
}

// A model read before keeps its bones: the nodes are passed over unread.
size_t TSMDParser::ReadNodes(const size_t first)
{
    const size_t end = FindNodesEnd(first);
    if (FContext.BoneCount > 0) {
        FFile.BoneCount = FContext.BoneCount;
        return end;
    }
    size_t nodeCount = 0;
    for (size_t i = first; i < end; ++i)
        nodeCount += IsBlank(FLines[i]) ? 0 : 1;
    FFile.Nodes.reserve(nodeCount);
    // Ids index every frame's entries, so they must be exactly 0 to n - 1.
    std::vector<bool> listed(nodeCount, false);
    for (size_t i = first; i < end; ++i)
        if (!IsBlank(FLines[i]))
            ReadNode(i, listed);
    FFile.BoneCount = int(nodeCount);
    return end;
}

void TSMDParser::ReadNode(const size_t index, std::vector<bool>& listed)
{
    const TSMDTokens tokens = TokensOf(index, 3, "A node line (id, name, parent id)");
    const int32_t id = Integer(tokens[0], "Bone id", index);
    if (id < 0)
        Fail(QStringLiteral("Bone id %1 is negative").arg(id), index);
    if (size_t(id) >= listed.size())
        Fail(QStringLiteral("Bone id %1 is not below the number of nodes, %2").arg(id).arg(listed.size()), index);
    if (listed[size_t(id)])
        Fail(QStringLiteral("Bone id %1 is listed twice").arg(id), index);
    int32_t parentId = -1;
    if (tokens[2] != "-1") {
        parentId = Integer(tokens[2], "Parent id", index);
        if (parentId < 0 || size_t(parentId) >= listed.size() || !listed[size_t(parentId)])
            Fail(QStringLiteral("Parent id %1 names no bone listed before bone %2").arg(parentId).arg(id), index);
    }
    listed[size_t(id)] = true;
    FFile.Nodes.push_back({id, QString::fromUtf8(tokens[1].data(), qsizetype(tokens[1].size())), parentId,
                           int(index + 1)});
}

size_t TSMDParser::ReadSkeleton(const size_t first)
{
    const size_t skeletonLine = SkipBlankLines(first);
    if (skeletonLine == Count() || !IsKeyword(FLines[skeletonLine], "skeleton"))
        Fail(QStringLiteral("skeleton not found"), skeletonLine);
    FFile.FrameBase = FContext.FrameCount;
    size_t i = SkipBlankLines(skeletonLine + 1);
    for (; i < Count() && !IsKeyword(FLines[i], "end"); i = SkipBlankLines(i)) {
        if (!FLines[i].starts_with("time "))
            Fail(QStringLiteral("time not found, got: ") + Excerpt(FLines[i]), i);
        i = ReadFrame(i);
    }
    if (i == Count())
        Fail(QStringLiteral("\"end\" of the skeleton not found"), i);
    // Binding the triangles to the bones needs a pose.
    if (FFile.IsModel && FFile.Frames.empty())
        Fail(QStringLiteral("The model's skeleton has no frame"), i);
    return i;
}

size_t TSMDParser::ReadFrame(const size_t timeLine)
{
    TSMDFrame& frame = FFile.Frames.emplace_back();
    frame.Name = FrameName(FLines[timeLine], FFileName);
    frame.Line = int(timeLine + 1);
    size_t end = timeLine + 1;
    while (end < Count() && IsBoneLine(FLines[end]))
        ++end;
    // Reserved only as far as lines and the padding allowance can fill it.
    const size_t bones = size_t(FFile.BoneCount);
    if (bones <= end - timeLine - 1 + FPaddingLeft) {
        frame.Positions.reserve(bones);
        frame.Rotations.reserve(bones);
    }
    for (size_t i = timeLine + 1; i < end; ++i)
        ReadBoneLine(i, frame);
    PadFrame(frame, bones, end);
    return end;
}

void TSMDParser::ReadBoneLine(const size_t index, TSMDFrame& frame)
{
    std::array<float, 6> values;
    int32_t bone;
    TSMDTokenStarts starts;
    if (starts.Find(FLines[index], FBytesEnd) && starts.Count() >= 7) [[likely]] {
        FloatsAt(starts, 1, values);
        bone = IdAt(starts[0], "Bone index", index);
    } else
        bone = ReadBoneLineByAnyRoad(index, values);
    if (bone < 0)
        Fail(QStringLiteral("Negative bone index %1 in frame %2").arg(bone).arg(FrameNumber()), index);
    if (bone >= FFile.BoneCount)
        Fail(QStringLiteral("Invalid number of bones in frame %1: bone index %2 is not below the %3 bones")
                 .arg(FrameNumber()).arg(bone).arg(FFile.BoneCount),
             index);
    if (frame.Positions.size() < size_t(bone))
        PadFrame(frame, size_t(bone), index);
    // Lines out of order append at the end, so a frame can still overflow.
    CheckFrameHasRoom(frame, index);
    frame.Positions.push_back({values[0], values[1], values[2]});
    frame.Rotations.push_back({values[3], values[4], values[5]});
}

void TSMDParser::CheckFrameHasRoom(const TSMDFrame& frame, const size_t index) const
{
    if (frame.Positions.size() >= size_t(FFile.BoneCount))
        Fail(QStringLiteral("Invalid number of bones in frame %1: more entries than the %2 bones")
                 .arg(FrameNumber()).arg(FFile.BoneCount),
             index);
}

void TSMDParser::PadFrame(TSMDFrame& frame, const size_t count, const size_t index)
{
    if (frame.Positions.size() >= count)
        return;
    const size_t missing = count - frame.Positions.size();
    if (missing > FPaddingLeft)
        Fail(QStringLiteral("Frame %1 leaves out more bones than a file of this size may").arg(FrameNumber()), index);
    FPaddingLeft -= missing;
    frame.Positions.resize(count);
    frame.Rotations.resize(count);
}

// Only consecutive triangles of one material share a run.
void TSMDParser::ReadTriangles(const size_t first)
{
    FFile.HasTriangles = true;
    ReserveTriangles(first);
    std::string_view material;
    for (size_t i = first;; i += 4) {
        if (i >= Count())
            Fail(QStringLiteral("\"end\" of the triangles not found"), Count());
        if (IsKeyword(FLines[i], "end"))
            return;
        if (FFile.Runs.empty() || FLines[i] != material) {
            material = FLines[i];
            FFile.Runs.push_back({QString::fromUtf8(material.data(), qsizetype(material.size())), int(i + 1),
                                  FFile.Triangles.size(), 0});
        }
        const size_t triangle = FFile.Triangles.size();
        FFile.Triangles.emplace_back();
        for (size_t corner = 0; corner < 3; ++corner)
            ReadCornerOrRepeat(i + 1 + corner, 3 * triangle + corner);
        ++FFile.Runs.back().TriangleCount;
    }
}

// A triangle takes four lines and at least MinTriangleBytes bytes (an empty
// material line and three vertex lines of nine one-byte tokens), so neither
// many short lines nor a few long ones reserve more than the file can fill.
void TSMDParser::ReserveTriangles(const size_t first)
{
    constexpr size_t MinTriangleBytes = 1 + 3 * 18;
    const size_t bytes = first < Count() ? size_t(FBytesEnd - FLines[first].data()) : 0;
    const size_t triangles = std::min((Count() - std::min(first, Count())) / 4, bytes / MinTriangleBytes);
    FFile.Triangles.reserve(triangles);
    // Closed meshes list each vertex in about six triangles.
    FCornerTexts.Reserve(int(std::min<size_t>(triangles, INT_MAX / 2)));
}

// A closed mesh lists each vertex once for every triangle around it, in the
// same text: a line read before gives the same corner again unparsed.
void TSMDParser::ReadCornerOrRepeat(const size_t index, const size_t number)
{
    if (index >= Count())
        Fail(QStringLiteral("Triangle cut short by the end of the file"), index);
    TSMDCorner& corner = CornerNumbered(number);
    const auto [firstWithText, added] = FCornerTexts.TryAdd(FLines[index], int(number));
    if (added) {
        ReadCorner(index, corner);
        return;
    }
    corner = CornerNumbered(size_t(firstWithText));
    corner.Line = int(index + 1);
    corner.SameAs = firstWithText;
}

void TSMDParser::ReadCorner(const size_t index, TSMDCorner& corner) const
{
    if (IsKeyword(FLines[index], "end"))
        Fail(QStringLiteral("Triangle cut short by \"end\""), index);
    std::array<float, 8> values;
    TSMDTokenStarts starts;
    if (starts.Find(FLines[index], FBytesEnd) && starts.Count() >= 9) [[likely]] {
        FloatsAt(starts, 1, values);
        // The extended form lists the bone links from token 9 on; the game
        // takes the first link's bone.
        corner.BoneId = IdAt(starts[starts.Count() >= 12 ? 10 : 0], "Vertex bone id", index);
    } else
        corner.BoneId = ReadCornerByAnyRoad(index, values);
    corner.Position = {values[0], values[1], values[2]};
    corner.Normal = {values[3], values[4], values[5]};
    corner.S = values[6];
    corner.T = values[7];
    corner.Line = int(index + 1);
}

// A vertex line the quick road does not take: its numbers into `values`,
// its bone id returned.
int32_t TSMDParser::ReadCornerByAnyRoad(const size_t index, std::array<float, 8>& values) const
{
    TSMDFieldScanner fields(FLines[index], FBytesEnd);
    std::string_view firstToken;
    fields.NextToken(firstToken);
    values = {};
    for (float& value : values)
        fields.NextFloat(value);
    std::string_view linkCount, firstLinkBone;
    fields.NextToken(linkCount);
    fields.NextToken(firstLinkBone);
    const size_t count = fields.CountAll();
    RequireTokens(count, 9, "A vertex line (bone id, position, normal, s, t)", index);
    return Integer(count >= 12 ? firstLinkBone : firstToken, "Vertex bone id", index);
}

int32_t TSMDParser::ReadBoneLineByAnyRoad(const size_t index, std::array<float, 6>& values) const
{
    TSMDFieldScanner fields(FLines[index], FBytesEnd);
    std::string_view boneToken;
    fields.NextToken(boneToken);
    values = {};
    for (float& value : values)
        fields.NextFloat(value);
    RequireTokens(fields.CountAll(), 7, "A bone line (index, position, rotation)", index);
    return Integer(boneToken, "Bone index", index);
}

// The integer at a token start of TSMDTokenStarts: up to seven digits and a
// minus read at once, anything else by Integer.
int32_t TSMDParser::IdAt(const char* const start, const char* const what, const size_t index) const
{
    const bool negative = *start == '-';
    const char* const digits = start + (negative ? 1 : 0);
    uint64_t chunk;
    std::memcpy(&chunk, digits, sizeof chunk);
    const unsigned count = LeadingDigitCount(chunk);
    if (count > 0 && count < 8 && IsTokenEnd(digits[count])) [[likely]] {
        const int32_t value = int32_t(DigitsValue(chunk, count));
        return negative ? -value : value;
    }
    return Integer(TokenAt(start), what, index);
}

} // namespace

TSMDFile ParseSMD(const std::string_view bytes, const QString& fileName, const TSMDContext& context)
{
    return TSMDParser(bytes, fileName, context).Parse();
}

TSMDFile ParseSMD(const QByteArray& bytes, const QString& fileName, const TSMDContext& context)
{
    return ParseSMD(std::string_view(bytes.constData(), size_t(bytes.size())), fileName, context);
}

// ---------------------------------------------------------------- writing

namespace {

class TSMDWriter
{
public:
    TSMDWriter(const TSMDFile& file, const QString& fileName) : FFile(file), FFileName(fileName) {}

    QByteArray Write();

private:
    [[noreturn]] void Refuse(const QString& what) const;
    void WriteNodes();
    void WriteFrames();
    void WriteFrame(size_t index, const TSMDFrame& frame);
    void WriteTriangles();
    void WriteCorner(const TSMDCorner& corner);

    const TSMDFile& FFile;
    const QString FFileName;
    QByteArray FText;
};

void TSMDWriter::Refuse(const QString& what) const
{
    throw ESMDError(QStringLiteral("%1 cannot be written to \"%2\"").arg(what, FFileName), FFileName);
}

QByteArray TSMDWriter::Write()
{
    AppendLine(FText, "version 1");
    AppendLine(FText, "nodes");
    WriteNodes();
    AppendLine(FText, "end");
    if (!FFile.Frames.empty())
        WriteFrames();
    if (FFile.HasTriangles)
        WriteTriangles();
    return std::move(FText);
}

void TSMDWriter::WriteNodes()
{
    for (const TSMDNode& node : FFile.Nodes) {
        const QByteArray name = node.Name.toUtf8();
        if (name.contains('"') || name.contains('\r') || name.contains('\n'))
            Refuse(QStringLiteral("The bone name \"%1\" (a quote or line break in it)").arg(node.Name));
        AppendInteger(FText, node.Id, 3);
        FText.append(" \"", 2);
        FText.append(name);
        FText.append("\" ", 2);
        AppendInteger(FText, node.ParentId, 3);
        FText.append("\r\n", 2);
    }
}

void TSMDWriter::WriteFrames()
{
    AppendLine(FText, "skeleton");
    for (size_t i = 0; i < FFile.Frames.size(); ++i)
        WriteFrame(i, FFile.Frames[i]);
    AppendLine(FText, "end");
}

void TSMDWriter::WriteFrame(const size_t index, const TSMDFrame& frame)
{
    if (frame.Rotations.size() < frame.Positions.size())
        Refuse(QStringLiteral("Frame %1, with fewer rotations than positions,").arg(index));
    FText.append("time ", 5);
    AppendInteger(FText, int32_t(index), 0);
    FText.append("\r\n", 2);
    for (size_t j = 0; j < frame.Positions.size(); ++j) {
        AppendInteger(FText, int32_t(j), 3);
        for (const TSMDVector& v : {frame.Positions[j], frame.Rotations[j]})
            for (const float f : {v.X, v.Y, v.Z}) {
                FText.append(' ');
                AppendFixed(FText, f, 6);
            }
        FText.append("\r\n", 2);
    }
}

void TSMDWriter::WriteTriangles()
{
    AppendLine(FText, "triangles");
    for (const TSMDMaterialRun& run : FFile.Runs) {
        const QByteArray material = run.MaterialName.toUtf8();
        if (material.contains('\r') || material.contains('\n') ||
            IsKeyword(std::string_view(material.constData(), size_t(material.size())), "end"))
            Refuse(QStringLiteral("The material name \"%1\"").arg(run.MaterialName));
        if (run.FirstTriangle > FFile.Triangles.size() || run.TriangleCount > FFile.Triangles.size() - run.FirstTriangle)
            throw EAssertionFailed(QStringLiteral("A material run lies outside the triangles"));
        for (const TSMDTriangle& triangle : FFile.TrianglesOf(run)) {
            FText.append(material);
            FText.append("\r\n", 2);
            for (const TSMDCorner& corner : triangle.Corners)
                WriteCorner(corner);
        }
    }
    AppendLine(FText, "end");
}

void TSMDWriter::WriteCorner(const TSMDCorner& corner)
{
    AppendInteger(FText, corner.BoneId, 3);
    for (const float f : {corner.Position.X, corner.Position.Y, corner.Position.Z, corner.Normal.X, corner.Normal.Y,
                          corner.Normal.Z, corner.S, corner.T}) {
        FText.append(' ');
        AppendFixed(FText, f, 4);
    }
    FText.append("\r\n", 2);
}

} // namespace

QByteArray WriteSMD(const TSMDFile& file, const QString& fileName)
{
    return TSMDWriter(file, fileName).Write();
}
