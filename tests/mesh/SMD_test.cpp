// SMD text into records and records back into text: lines, tokens, numbers,
// the reading steps with their errors, and the writer, on small texts written
// by hand.
#include "SMD.h"
#include "ReadErrorMessage.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <random>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

std::string Text(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines)
        text.append(line).append("\n");
    return text;
}

TSMDFile Read(const std::string& text, const TSMDContext& context = {}, const QString& name = QStringLiteral("t.smd"))
{
    return ParseSMD(std::string_view(text), name, context);
}

QString ErrorReading(const std::string& text, const TSMDContext& context = {})
{
    return ErrorOf([&] { Read(text, context); });
}

std::vector<std::string> Strings(const TSMDLines& lines)
{
    std::vector<std::string> result;
    for (size_t i = 0; i < lines.Count(); ++i)
        result.emplace_back(lines[i]);
    return result;
}

std::vector<std::string> Strings(const TSMDTokens& tokens)
{
    std::vector<std::string> result;
    for (size_t i = 0; i < std::min(tokens.Count(), TSMDTokens::Kept); ++i)
        result.emplace_back(tokens[i]);
    return result;
}

// An animation context for a five-bone model of one frame.
constexpr TSMDContext AfterFiveBoneModel{true, 5, 1};

const std::string Skeleton5Header = Text({"version 1", "nodes", "0 \"a\" -1", "1 \"b\" 0", "2 \"c\" 1", "3 \"d\" 1",
                                          "4 \"e\" 3", "end", "skeleton", "time 0"});

// A decimal-comma numeric locale, made with localedef when the system has
// none installed; empty when neither works.
std::string CommaLocale()
{
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name))
            return name;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "smd-test-locales";
    std::filesystem::create_directories(dir);
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (!std::filesystem::exists(dir / "de_DE.UTF-8") && std::system(command.c_str()) != 0)
        return {};
    setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") ? "de_DE.UTF-8" : "";
}

const TSMDVector Zero{0, 0, 0};

} // namespace

// ---------------------------------------------------------------- lines and tokens

TEST(SMDText, LinesEndAtCrLfOrCrLfAndSkipALeadingByteOrderMark)
{
    using Lines = std::vector<std::string>;
    EXPECT_EQ(Strings(TSMDLines("\xEF\xBB\xBF" "a\rb\nc\r\nd")), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(Strings(TSMDLines("a\n")), (Lines{"a"}));
    EXPECT_EQ(Strings(TSMDLines("a\n\n")), (Lines{"a", ""}));
    EXPECT_EQ(Strings(TSMDLines("\r\n\r\n")), (Lines{"", ""}));
    // LF CR is two line ends, CR CR LF too.
    EXPECT_EQ(Strings(TSMDLines("a\n\rb\r\r\nc")), (Lines{"a", "", "b", "", "c"}));
    EXPECT_EQ(TSMDLines("").Count(), 0u);
    EXPECT_EQ(TSMDLines("\xEF\xBB\xBF").Count(), 0u);
    // A mark further on is text.
    EXPECT_EQ(Strings(TSMDLines("a\n\xEF\xBB\xBF" "b")), (Lines{"a", "\xEF\xBB\xBF" "b"}));
}

// Long text is searched for line breaks a block at a time: breaks of every
// kind, next to each other and astride the blocks, end lines as in short
// text.
TEST(SMDText, LinesOfLongTextEndAtEveryKindOfBreakWhereverItFalls)
{
    std::mt19937 random(9051);
    const char* const breaks[] = {"\n", "\r", "\r\n"};
    std::vector<std::string> expected;
    std::string text;
    bool afterCr = false;
    for (int i = 0; i < 2000; ++i) {
        // After a lone CR, an empty line ended by LF would read as CR LF.
        const size_t length = random() % 40 + (afterCr ? 1 : 0);
        std::string line;
        for (size_t c = 0; c < length; ++c)
            line += char('a' + random() % 26);
        const char* const lineBreak = breaks[random() % 3];
        expected.push_back(line);
        text += line + lineBreak;
        afterCr = std::string_view(lineBreak) == "\r";
    }
    text += "last";
    expected.push_back("last");
    EXPECT_EQ(Strings(TSMDLines(text)), expected);
}

TEST(SMDText, TokensSplitAtCommasAndWhiteSpaceAndQuotesKeepTheirSpaces)
{
    using Tokens = std::vector<std::string>;
    EXPECT_EQ(Strings(TSMDTokens("3 \"two words\" 2")), (Tokens{"3", "two words", "2"}));
    EXPECT_EQ(Strings(TSMDTokens("  1,2 ,\t3,,4  ")), (Tokens{"1", "2", "3", "4"}));
    EXPECT_EQ(Strings(TSMDTokens("\"a, b\",c")), (Tokens{"a, b", "c"}));
    EXPECT_EQ(Strings(TSMDTokens("1 \"\" 2")), (Tokens{"1", "", "2"}));
    // A closing quote ends the token; a quote inside a token is text.
    EXPECT_EQ(Strings(TSMDTokens("\"ab\"cd e\"f")), (Tokens{"ab", "cd", "e\"f"}));
    // Without its closing quote the token runs to the end of the line.
    EXPECT_EQ(Strings(TSMDTokens("1 \"open end, here")), (Tokens{"1", "open end, here"}));
    EXPECT_EQ(TSMDTokens("").Count(), 0u);
    EXPECT_EQ(TSMDTokens(" \t, ").Count(), 0u);

    const TSMDTokens many("0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19");
    EXPECT_EQ(many.Count(), 20u);
    EXPECT_EQ(many[11], "11");
}

TEST(SMDText, NumbersTakeDotOrCommaSignsAndExponentsAndAnythingElseIsZero)
{
    EXPECT_EQ(ParseSMDFloat("1.5"), 1.5f);
    EXPECT_EQ(ParseSMDFloat("1,5"), 1.5f);
    EXPECT_EQ(ParseSMDFloat("-2.25e2"), -225.0f);
    EXPECT_EQ(ParseSMDFloat("+3E-1"), 0.3f);
    EXPECT_EQ(ParseSMDFloat("1e+2"), 100.0f);
    EXPECT_EQ(ParseSMDFloat(".5"), 0.5f);
    EXPECT_EQ(ParseSMDFloat("5."), 5.0f);
    EXPECT_EQ(ParseSMDFloat("-,25"), -0.25f);
    EXPECT_EQ(ParseSMDFloat("0.1"), 0.1f); // correctly rounded, bit for bit
    EXPECT_EQ(ParseSMDFloat("3.4028234e38"), 3.4028234e38f);
    EXPECT_EQ(ParseSMDFloat("0,100000000000000000000000000000000000000000000000000000000000000000000000000001"), 0.1f);
    EXPECT_EQ(ParseSMDFloat("42"), 42.0f);

    for (const char* bad : {"", "abc", "1.5x", "x1.5", "1e", "1e+", "-", "+", ".", ",", "e5", "1.2.3", "1,2.3",
                            "+-1", "--1", "nan", "inf", "0x10", "1e39", "-1e39", " 1", "1 "})
        EXPECT_EQ(ParseSMDFloat(bad), 0.0f) << bad;
}

// Plain decimals take a quicker road than the rest; the value must be the
// correctly rounded single all the same, which the library's own conversion
// gives.
TEST(SMDText, PlainDecimalsAreRoundedExactlyAsTheLibraryRoundsThem)
{
    const auto library = [](const std::string& text) {
        float value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return value;
    };
    // Sixteen digits a hair above, and a hair below, a point half-way
    // between two singles: the nearest double is that point itself.
    for (const char* nearHalfWay : {"4.077673673629761", "8.028053760528565", "8.028053760528564"})
        EXPECT_EQ(ParseSMDFloat(nearHalfWay), library(nearHalfWay)) << nearHalfWay;
    EXPECT_NE(library("8.028053760528565"), library("8.028053760528564"));
    EXPECT_EQ(ParseSMDFloat("-0.000000"), -0.0f);
    EXPECT_TRUE(std::signbit(ParseSMDFloat("-0.000000")));
    EXPECT_EQ(ParseSMDFloat("9007199254740993"), 9007199254740992.0f);
    EXPECT_EQ(ParseSMDFloat("0.0000000000000000000001"), 1e-22f);
    EXPECT_EQ(ParseSMDFloat("1234567890123456789"), 1234567890123456789.0f);

    // Numbers as model files write them, and digits in every position.
    std::mt19937_64 random(20240607);
    int mismatches = 0;
    for (int i = 0; i < 200000; ++i) {
        const int decimals = int(random() % 12);
        const uint64_t digits = random() % 100000000000000ull;
        std::string text = std::to_string(digits);
        if (decimals > 0) {
            text.insert(0, size_t(std::max(0, decimals + 1 - int(text.size()))), '0');
            text.insert(text.size() - size_t(decimals), ".");
        }
        if (random() % 2)
            text.insert(0, "-");
        mismatches += std::bit_cast<uint32_t>(ParseSMDFloat(text)) != std::bit_cast<uint32_t>(library(text));
    }
    EXPECT_EQ(mismatches, 0);
}

// Numbers in data lines are converted where they are found, the usual shape
// by a quicker road than the rest. Every shape, in every position of vertex
// and bone lines and between any separators, must give what the library's
// conversion gives for the number's text, and 0 for text that is no number.
TEST(SMDText, NumbersInDataLinesReadAsTheLibraryReadsThemWhateverTheirShape)
{
    std::mt19937_64 random(7051);
    const auto digits = [&random](const int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += char('0' + random() % 10);
        return text;
    };
    struct TNumber
    {
        std::string Token;
        std::string Canonical; // what from_chars reads; empty: no number
    };
    const auto number = [&]() -> TNumber {
        const std::string sign = random() % 2 ? "-" : "";
        const int shape = int(random() % 8);
        // The usual shape, with a mantissa below 2^24 and up to 7 decimals.
        if (shape <= 2) {
            const std::string text = sign + digits(1 + int(random() % 2)) + "." + digits(int(random() % 8));
            return {text, text};
        }
        if (shape == 3) { // long on either side of the point
            const std::string text = sign + digits(1 + int(random() % 9)) + "." + digits(7 + int(random() % 8));
            return {text, text};
        }
        if (shape == 4) { // exponents, no integer digits, no point, a plus
            const std::string mantissa = digits(1 + int(random() % 4)) + "." + digits(int(random() % 6));
            const std::string exponent = "e" + std::string(random() % 2 ? "-" : "") + std::to_string(random() % 30);
            switch (random() % 4) {
            case 0: return {sign + mantissa + exponent, sign + mantissa + exponent};
            case 1: { const std::string fraction = digits(1 + int(random() % 7)); return {sign + "." + fraction, sign + "0." + fraction}; }
            case 2: { const std::string text = sign + digits(1 + int(random() % 9)); return {text, text}; }
            default: { const std::string text = "+" + mantissa; return {text, mantissa}; }
            }
        }
        if (shape == 5) { // a quoted number with a decimal comma
            const std::string integer = digits(1 + int(random() % 3)), fraction = digits(1 + int(random() % 6));
            return {"\"" + sign + integer + "," + fraction + "\"", sign + integer + "." + fraction};
        }
        if (shape == 6) { // the usual shape near its edges: 7 digits on a side, a point at the end
            const std::string text = sign + digits(7) + "." + digits(int(random() % 8));
            return {text, text};
        }
        const char* const garbage[] = {"1.2.3", "abc", "-", ".", "1.5x", "--1", "1e", "0x10", "1e39"};
        return {garbage[random() % std::size(garbage)], ""};
    };
    const auto library = [](const TNumber& n) {
        float value = 0;
        if (!n.Canonical.empty())
            std::from_chars(n.Canonical.data(), n.Canonical.data() + n.Canonical.size(), value);
        return value;
    };
    const char* const separators[] = {" ", "  ", "\t", ",", " , "};
    const auto separator = [&] { return std::string(separators[random() % std::size(separators)]); };

    constexpr int Lines = 3000, Frames = 500;
    std::string text = "version 1\nnodes\n0 \"root\" -1\nend\nskeleton\n";
    std::vector<float> expected;
    for (int frame = 0; frame < Frames; ++frame) {
        text += "time " + std::to_string(frame) + "\n0";
        for (int i = 0; i < 6; ++i) {
            const TNumber n = number();
            text += separator() + n.Token;
            expected.push_back(library(n));
        }
        text += "\n";
    }
    text += "end\ntriangles\n";
    for (int line = 0; line < Lines; ++line) {
        if (line % 3 == 0)
            text += "m.bmp\n";
        text += "0";
        for (int i = 0; i < 8; ++i) {
            const TNumber n = number();
            text += separator() + n.Token;
            expected.push_back(library(n));
        }
        text += random() % 2 ? " 0\n" : "\n";
    }
    text += "end\n";
    const TSMDFile file = Read(text);
    std::vector<float> read;
    for (const TSMDFrame& frame : file.Frames)
        for (const TSMDVector& v : {frame.Positions[0], frame.Rotations[0]})
            read.insert(read.end(), {v.X, v.Y, v.Z});
    for (const TSMDTriangle& triangle : file.Triangles)
        for (const TSMDCorner& c : triangle.Corners)
            read.insert(read.end(), {c.Position.X, c.Position.Y, c.Position.Z, c.Normal.X, c.Normal.Y, c.Normal.Z,
                                     c.S, c.T});
    ASSERT_EQ(read.size(), expected.size());
    int mismatches = 0;
    for (size_t i = 0; i < read.size(); ++i)
        if (std::bit_cast<uint32_t>(read[i]) != std::bit_cast<uint32_t>(expected[i]) && ++mismatches <= 5)
            ADD_FAILURE() << "number " << i << ": read " << read[i] << ", the library reads " << expected[i];
    EXPECT_EQ(mismatches, 0);
}

// Data-line numbers of up to eight digits take the quickest road, which must
// still give the correctly rounded single: checked where that is hardest,
// next to the points half-way between two singles, and at the edges of the
// road (eight digits, nine, a point at either end).
TEST(SMDText, ShortDecimalsInDataLinesAreCorrectlyRoundedNextToHalfWayPoints)
{
    std::mt19937_64 random(31337);
    std::vector<std::string> numbers = {"12345678", "123456789", "1234567.8", "1234567.89", "0.12345678", "1.",
                                        ".5", "-.25", "99999999", "16777217", "16777219", "-8388609.5",
                                        "0.00000001", "9.9999999", "-0.000000", "+7.25"};
    while (numbers.size() < 120000) {
        // A single from about 1e-3 to 1e7 and the point half-way to the next.
        const float single =
            std::ldexp(float(1 + random() % (1u << 23)) / float(1u << 23), int(random() % 33) - 10);
        const double halfWay = (double(single) + double(std::nextafter(single, 2 * single))) / 2;
        const int integerDigits = halfWay < 1 ? 1 : int(std::floor(std::log10(halfWay))) + 1;
        char digits[64];
        const char* const end = std::to_chars(digits, digits + sizeof digits, halfWay, std::chars_format::fixed,
                                              std::max(0, 8 - integerDigits))
                                    .ptr;
        // The eight-digit decimal nearest to it, and the next one up: one of
        // them lies on either side.
        std::string number(static_cast<const char*>(digits), end), next = number;
        for (size_t d = next.size(); d-- > 0;) {
            if (next[d] == '.')
                continue;
            if (next[d] != '9') {
                ++next[d];
                break;
            }
            next[d] = '0';
        }
        const std::string sign = random() % 2 ? "-" : "";
        numbers.push_back(sign + number);
        numbers.push_back(sign + next);
    }
    numbers.resize(numbers.size() / 24 * 24);
    std::string text = "version 1\nnodes\n0 \"root\" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\ntriangles\n";
    for (size_t i = 0; i < numbers.size(); i += 8) {
        if (i % 24 == 0)
            text += "m.bmp\n";
        text += "0";
        for (size_t k = i; k < i + 8; ++k)
            text += " " + numbers[k];
        text += "\n";
    }
    text += "end\n";
    const TSMDFile file = Read(text);
    ASSERT_EQ(file.Triangles.size(), numbers.size() / 24);
    int mismatches = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        const TSMDCorner& c = file.Triangles[i / 24].Corners[i / 8 % 3];
        const float read[] = {c.Position.X, c.Position.Y, c.Position.Z, c.Normal.X, c.Normal.Y, c.Normal.Z, c.S, c.T};
        const std::string& number = numbers[i];
        // from_chars takes no "+".
        const size_t skip = number[0] == '+' ? 1 : 0;
        float expected = 0;
        std::from_chars(number.data() + skip, number.data() + number.size(), expected);
        if (std::bit_cast<uint32_t>(read[i % 8]) != std::bit_cast<uint32_t>(expected) && ++mismatches <= 5)
            ADD_FAILURE() << number << ": read " << read[i % 8] << ", the library reads " << expected;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(SMDText, NumbersAndWrittenTextIgnoreACommaLocale)
{
    const std::string locale = CommaLocale();
    if (locale.empty())
        GTEST_SKIP() << "no decimal-comma locale is installed and localedef could not make one";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    EXPECT_EQ(ParseSMDFloat("1.5"), 1.5f);
    EXPECT_EQ(ParseSMDFloat("1,5"), 1.5f);
    EXPECT_EQ(ParseSMDFloat("-2.5e-1"), -0.25f);

    TSMDFile file;
    file.Nodes = {{0, QStringLiteral("r"), -1, 0}};
    file.Frames = {{QString(), 0, {{1.5f, -0.25f, 2}}, {{0, 0, 3.25f}}}};
    file.HasTriangles = true;
    TSMDTriangle triangle;
    triangle.Corners[0] = {0, {0.5f, 0, 0}, {0, 0, 1}, 0.125f, 1, 0};
    file.Triangles = {triangle};
    file.Runs = {{QStringLiteral("m"), 0, 0, 1}};
    const QByteArray text = WriteSMD(file, QStringLiteral("w.smd"));
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_TRUE(text.contains("  0 1.500000 -0.250000 2.000000 0.000000 0.000000 3.250000\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("  0 0.5000 0.0000 0.0000 0.0000 0.0000 1.0000 0.1250 1.0000\r\n")) << text.constData();
}

TEST(SMDText, IdsAreWholeSignedDecimalsIn32Bits)
{
    EXPECT_EQ(ParseSMDInteger("12"), 12);
    EXPECT_EQ(ParseSMDInteger("-7"), -7);
    EXPECT_EQ(ParseSMDInteger("+7"), 7);
    EXPECT_EQ(ParseSMDInteger("007"), 7);
    EXPECT_EQ(ParseSMDInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseSMDInteger("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "-", "+", "+-1", "1.0", "1x", "x1", " 1", "1e2", "2147483648", "-2147483649",
                            "99999999999999999999"})
        EXPECT_EQ(ParseSMDInteger(bad), std::nullopt) << bad;

    const std::string model = Text({"version 1", "nodes", "0 \"a\" -1", "x1 \"b\" 0", "end"}) + "skeleton\n";
    EXPECT_EQ(ErrorReading(model + "triangles\n"),
              QStringLiteral("Bone id \"x1\" is not an integer (in \"t.smd\", line 4)"));
    const std::string parentTooBig = Text({"version 1", "nodes", "0 \"a\" -1", "1 \"b\" 4294967296", "end",
                                           "skeleton", "time 0", "0 0 0 0 0 0 0", "end", "triangles", "end"});
    EXPECT_EQ(ErrorReading(parentTooBig),
              QStringLiteral("Parent id 4294967296 is out of the 32-bit integer range (in \"t.smd\", line 4)"));
}

TEST(SMDText, AnimationNameIsTheFileNameUpToItsFirstDot)
{
    EXPECT_EQ(SMDAnimationName(QStringLiteral("Anime_Pas.smd")), QStringLiteral("Anime_Pas"));
    EXPECT_EQ(SMDAnimationName(QStringLiteral("Combo1_1.smd")), QStringLiteral("Combo1_1"));
    EXPECT_EQ(SMDAnimationName(QStringLiteral("../Combo/Anime_Pas.smd")), QString());
    EXPECT_EQ(SMDAnimationName(QStringLiteral("a.b.smd")), QStringLiteral("a"));
    EXPECT_EQ(SMDAnimationName(QStringLiteral("NoDot")), QStringLiteral("NoDot"));
    EXPECT_EQ(SMDAnimationName(QString()), QString());
}

// ---------------------------------------------------------------- reading steps

TEST(SMDRead, EachStepFailsWithItsTextFileAndLine)
{
    const std::string version2 = Text({"version 2", "nodes", "0 \"a\" -1", "end", "skeleton", "end"});
    EXPECT_EQ(ErrorReading(version2), QStringLiteral("SMD version 1 required (in \"t.smd\", line 1)"));
    // The version comes first, before the missing triangles or a broken node.
    EXPECT_EQ(ErrorReading(Text({"version 2", "nodes", "broken"})),
              QStringLiteral("SMD version 1 required (in \"t.smd\", line 1)"));
    EXPECT_EQ(ErrorReading(Text({"version 1 ", "nodes", "broken"})).left(22), QStringLiteral("SMD is an animation, l"));
    EXPECT_EQ(ErrorReading(Text({"version 10"})), QStringLiteral("SMD version 1 required (in \"t.smd\", line 1)"));
    EXPECT_EQ(ErrorReading(Text({" version 1"})), QStringLiteral("SMD version 1 required (in \"t.smd\", line 1)"));
    EXPECT_EQ(ErrorReading(""), QStringLiteral("SMD version 1 required (in \"t.smd\", at the end of the file)"));

    EXPECT_EQ(ErrorReading(Text({"version 1", "Nodes", "end", "skeleton", "triangles"})),
              QStringLiteral("nodes not found (in \"t.smd\", line 2)"));
    EXPECT_EQ(ErrorReading(Text({"version 1"})), QStringLiteral("nodes not found (in \"t.smd\", at the end of the file)"));

    // No triangles line, and nothing to animate yet; a broken node line later
    // is not reached.
    const std::string animation = Text({"version 1", "nodes", "broken", "end", "skeleton", "time 0", "end"});
    EXPECT_EQ(ErrorReading(animation),
              QStringLiteral("SMD is an animation, load model SMD first. (in \"t.smd\", at the end of the file)"));

    EXPECT_EQ(ErrorReading(Text({"version 1", "nodes", "0 \"a\" -1", "end", "skeletons", "triangles"})),
              QStringLiteral("skeleton not found (in \"t.smd\", line 5)"));
    EXPECT_EQ(ErrorReading(Text({"version 1", "nodes", "0 \"a\" -1", "end"}), AfterFiveBoneModel),
              QStringLiteral("skeleton not found (in \"t.smd\", at the end of the file)"));

    EXPECT_EQ(ErrorReading(Text({"version 1", "nodes", "0 \"a\" -1", "end", "skeleton", "time 0", "0 0 0 0 0 0 0",
                                 "frame 1", "end", "triangles", "end"})),
              QStringLiteral("time not found, got: frame 1 (in \"t.smd\", line 8)"));
    // "time" must be followed by a space; a tab-indented bone line is no bone line.
    EXPECT_EQ(ErrorReading(Text({"version 1", "nodes", "0 \"a\" -1", "end", "skeleton", "time0"}), AfterFiveBoneModel),
              QStringLiteral("time not found, got: time0 (in \"t.smd\", line 6)"));
    EXPECT_EQ(ErrorReading(Text({"version 1", "nodes", "end", "skeleton", "time 0", "\t0 0 0 0 0 0 0", "end"}),
                           AfterFiveBoneModel),
              QStringLiteral("time not found, got: \t0 0 0 0 0 0 0 (in \"t.smd\", line 6)"));

    // Frame numbers count the skeleton's frames, this one included.
    const std::string sixOfFive = Skeleton5Header + Text({"0 0 0 0 0 0 0", "1 0 0 0 0 0 0", "2 0 0 0 0 0 0",
                                                          "3 0 0 0 0 0 0", "4 0 0 0 0 0 0", "5 0 0 0 0 0 0", "end"});
    EXPECT_EQ(ErrorReading(sixOfFive, AfterFiveBoneModel),
              QStringLiteral("Invalid number of bones in frame 2: bone index 5 is not below the 5 bones "
                             "(in \"t.smd\", line 16)"));
    EXPECT_EQ(ErrorReading(sixOfFive, {true, 5, 30}).left(37), QStringLiteral("Invalid number of bones in frame 31: "));
}

TEST(SMDRead, FaultsTheFormatLeavesOpenFailWithFileAndLine)
{
    const auto model = [](std::initializer_list<const char*> nodes) {
        std::string text = Text({"version 1", "nodes"});
        for (const char* node : nodes)
            text.append(node).append("\n");
        return text + Text({"end", "skeleton", "time 0", "end", "triangles", "end"});
    };
    EXPECT_EQ(ErrorReading(model({"0 \"a\" -1", "1 \"b\" 2", "2 \"c\" 0"})),
              QStringLiteral("Parent id 2 names no bone listed before bone 1 (in \"t.smd\", line 4)"));
    EXPECT_EQ(ErrorReading(model({"0 \"a\" 0"})),
              QStringLiteral("Parent id 0 names no bone listed before bone 0 (in \"t.smd\", line 3)"));
    EXPECT_EQ(ErrorReading(model({"0 \"a\" -1", "1 \"b\" -2"})),
              QStringLiteral("Parent id -2 names no bone listed before bone 1 (in \"t.smd\", line 4)"));
    EXPECT_EQ(ErrorReading(model({"0 \"a\" -1", "0 \"b\" -1"})),
              QStringLiteral("Bone id 0 is listed twice (in \"t.smd\", line 4)"));
    EXPECT_EQ(ErrorReading(model({"0 \"a\" -1", "2 \"b\" 0"})),
              QStringLiteral("Bone id 2 is not below the number of nodes, 2 (in \"t.smd\", line 4)"));
    EXPECT_EQ(ErrorReading(model({"-1 \"a\" -1"})),
              QStringLiteral("Bone id -1 is negative (in \"t.smd\", line 3)"));
    EXPECT_EQ(ErrorReading(model({"0 \"a b\""})),
              QStringLiteral("A node line (id, name, parent id) needs 3 tokens, got 2 (in \"t.smd\", line 3)"));
    EXPECT_EQ(ErrorReading(Text({"version 1", "nodes", "0 \"a\" -1", "skeleton", "triangles"})),
              QStringLiteral("\"end\" of the nodes not found (in \"t.smd\", at the end of the file)"));

    const std::string header = Text({"version 1", "nodes", "0 \"a\" -1", "end", "skeleton", "time 0"});
    EXPECT_EQ(ErrorReading(header + Text({"0 0 0 0 0 0", "end", "triangles", "end"})),
              QStringLiteral("A bone line (index, position, rotation) needs 7 tokens, got 6 (in \"t.smd\", line 7)"));
    EXPECT_EQ(ErrorReading(header + Text({" -1 0 0 0 0 0 0", "end", "triangles", "end"})),
              QStringLiteral("Negative bone index -1 in frame 1 (in \"t.smd\", line 7)"));
    EXPECT_EQ(ErrorReading(header + Text({"0.5 0 0 0 0 0 0", "end", "triangles", "end"})),
              QStringLiteral("Bone index \"0.5\" is not an integer (in \"t.smd\", line 7)"));
    EXPECT_EQ(ErrorReading(header + Text({"0 0 0 0 0 0 0", "triangles", "end"})),
              QStringLiteral("time not found, got: triangles (in \"t.smd\", line 8)"));
    EXPECT_EQ(ErrorReading(header + "0 0 0 0 0 0 0\n", AfterFiveBoneModel),
              QStringLiteral("\"end\" of the skeleton not found (in \"t.smd\", at the end of the file)"));
    EXPECT_EQ(ErrorReading(Text({"version 1", "nodes", "0 \"a\" -1", "end", "skeleton", "end", "triangles", "end"})),
              QStringLiteral("The model's skeleton has no frame (in \"t.smd\", line 6)"));

    const std::string model1 = header + Text({"0 0 0 0 0 0 0", "end", "triangles", "skin.bmp", "0 0 0 0 0 0 1 0 0"});
    EXPECT_EQ(ErrorReading(model1 + Text({"0 0 0 0 0 0 1 0 0", "end"})),
              QStringLiteral("Triangle cut short by \"end\" (in \"t.smd\", line 13)"));
    EXPECT_EQ(ErrorReading(model1 + Text({"0 0 0 0 0 0 1 0 0"})),
              QStringLiteral("Triangle cut short by the end of the file (in \"t.smd\", at the end of the file)"));
    EXPECT_EQ(ErrorReading(model1 + Text({"0 0 0 0 0 0 1 0 0", "0 0 0 0 0 0 1 0 0"})),
              QStringLiteral("\"end\" of the triangles not found (in \"t.smd\", at the end of the file)"));
    EXPECT_EQ(ErrorReading(model1 + Text({"0 0 0 0 0 0 1 0", "0 0 0 0 0 0 1 0 0", "end"})),
              QStringLiteral("A vertex line (bone id, position, normal, s, t) needs 9 tokens, got 8 "
                             "(in \"t.smd\", line 12)"));
    EXPECT_EQ(ErrorReading(model1 + Text({"b 0 0 0 0 0 1 0 0", "0 0 0 0 0 0 1 0 0", "end"})),
              QStringLiteral("Vertex bone id \"b\" is not an integer (in \"t.smd\", line 12)"));
}

TEST(SMDRead, BlankLinesBeforeKeywordsAndTrailingSpaceOnThemAreAccepted)
{
    const std::string text = Text({"", "version 1", "", "nodes", "", "  0 \"a\"  -1", " \t", "1 \"b\" 0", "end\t",
                                   "", "skeleton ", "", "time 0", "0 1 2 3 4 5 6", "", "time 1", "1 1 1 1 1 1 1",
                                   "   ", "end", "", "triangles", "", "0 0 0 0 0 0 1 0 0", "0 0 0 0 0 0 1 0 0",
                                   "0 0 0 0 0 0 1 0 0", "end  ", "anything after is ignored"});
    const TSMDFile file = Read(text);
    ASSERT_EQ(file.Nodes.size(), 2u);
    EXPECT_EQ(file.Nodes[1].Line, 8);
    ASSERT_EQ(file.Frames.size(), 2u);
    EXPECT_EQ(file.Frames[1].Positions[1], (TSMDVector{1, 1, 1}));
    // Inside the triangles an empty line is a material name.
    ASSERT_EQ(file.Runs.size(), 1u);
    EXPECT_EQ(file.Runs[0].MaterialName, QString());
    EXPECT_EQ(file.Runs[0].Line, 22);
    EXPECT_EQ(file.Triangles.size(), 1u);
}

TEST(SMDRead, ModelFileGivesNodesFramesAndTriangleRunsInFileOrder)
{
    const std::string text = "version 1\r\nnodes\r\n0 \"Bip01 Pelvis\" -1\r\n1 \"arm\" 0\r\n2 leg 0\r\nend\r\n"
                             "skeleton\r\ntime 0\r\n0 1.5 -2 3e1 0.25 0,5 -1\r\n2 4 5 6 7 8 9\r\nend\r\n"
                             "triangles\r\nskin.bmp\r\n"
                             "0 1 2 3 4 5 6 0.5 0.25\r\n"
                             "1 1 2 3 4 5 6 0.5 0.25 1 7\r\n"
                             "0 9 9 9 0 0 1 1 1 1 2 1.0\r\n"
                             "skin.bmp\r\n0 0 0 0 0 0 1 0 0\r\n0 0 0 0 0 0 1 0 0\r\n0 0 0 0 0 0 1 0 0\r\n"
                             "cloth.bmp\r\n0 0 0 0 0 0 1 0 0\r\n0 0 0 0 0 0 1 0 0\r\n0 0 0 0 0 0 1 0 0\r\n"
                             "skin.bmp\r\n0 0 0 0 0 0 1 0 0\r\n0 0 0 0 0 0 1 0 0\r\n0 0 0 0 0 0 1 0 0\r\n"
                             "end\r\n";
    const TSMDFile file = Read(text, {}, QStringLiteral("Stick.smd"));
    EXPECT_TRUE(file.IsModel);
    EXPECT_TRUE(file.HasTriangles);
    ASSERT_EQ(file.Nodes.size(), 3u);
    EXPECT_EQ(file.Nodes[0].Name, QStringLiteral("Bip01 Pelvis"));
    EXPECT_EQ(file.Nodes[0].ParentId, -1);
    EXPECT_EQ(file.Nodes[2].Id, 2);
    EXPECT_EQ(file.Nodes[2].Name, QStringLiteral("leg"));
    EXPECT_EQ(file.Nodes[2].ParentId, 0);
    EXPECT_EQ(file.Nodes[2].Line, 5);
    EXPECT_EQ(file.BoneCount, 3);
    EXPECT_EQ(file.FrameBase, 0);

    // Bone 1 is missing: a zero vector stands in its place.
    ASSERT_EQ(file.Frames.size(), 1u);
    EXPECT_EQ(file.Frames[0].Name, QStringLiteral("time 0 Stick.smd"));
    EXPECT_EQ(file.Frames[0].Positions, (std::vector<TSMDVector>{{1.5f, -2, 30}, Zero, {4, 5, 6}}));
    // "0,5" splits at its comma: the rotation reads 0.25, 0 and 5, and the
    // -1 is left over.
    EXPECT_EQ(file.Frames[0].Rotations, (std::vector<TSMDVector>{{0.25f, 0, 5}, Zero, {7, 8, 9}}));

    // skin, skin, cloth, skin: three runs.
    ASSERT_EQ(file.Runs.size(), 3u);
    EXPECT_EQ(file.Runs[0].MaterialName, QStringLiteral("skin.bmp"));
    EXPECT_EQ(file.Runs[0].TriangleCount, 2u);
    EXPECT_EQ(file.Runs[1].MaterialName, QStringLiteral("cloth.bmp"));
    EXPECT_EQ(file.Runs[1].FirstTriangle, 2u);
    EXPECT_EQ(file.Runs[1].Line, 21);
    EXPECT_EQ(file.Runs[2].MaterialName, QStringLiteral("skin.bmp"));
    EXPECT_EQ(file.Runs[2].FirstTriangle, 3u);
    EXPECT_EQ(file.Runs[2].TriangleCount, 1u);
    ASSERT_EQ(file.Triangles.size(), 4u);

    const TSMDTriangle& first = file.Triangles[0];
    EXPECT_EQ(first.Corners[0].BoneId, 0);
    EXPECT_EQ(first.Corners[0].Position, (TSMDVector{1, 2, 3}));
    EXPECT_EQ(first.Corners[0].Normal, (TSMDVector{4, 5, 6}));
    EXPECT_EQ(first.Corners[0].S, 0.5f);
    EXPECT_EQ(first.Corners[0].T, 0.25f);
    EXPECT_EQ(first.Corners[0].Line, 14);
    // Eleven tokens: the bone is token 0; twelve: token 10.
    EXPECT_EQ(first.Corners[1].BoneId, 1);
    EXPECT_EQ(first.Corners[2].BoneId, 2);
    EXPECT_EQ(first.Corners[2].Position, (TSMDVector{9, 9, 9}));
}

// A vertex line repeated word for word is not parsed again: its corner is
// the first one's, with its own line and a note of which corner that was.
// Any other text is read afresh, even when it means the same.
TEST(SMDRead, RepeatedVertexLinesGiveTheFirstCornerAgainWithTheirOwnLine)
{
    const std::string text = Text({"version 1", "nodes", "0 \"a\" -1", "1 \"b\" 0", "end", "skeleton", "time 0",
                                   "0 0 0 0 0 0 0", "end", "triangles", "m.bmp",
                                   "1 0.5 -2 3 0 0 1 0.25 0.75",  // 12: corner 0
                                   "0 1 1 1 0 1 0 0 0",           // 13: corner 1
                                   "1 0.5 -2 3 0 0 1 0.25 0.75",  // 14: corner 2, as corner 0
                                   "n.bmp",
                                   "1 0.5 -2 3 0 0 1 0.25 0.75 ", // 16: a space more, read again
                                   "0 1 1 1 0 1 0 0 0",           // 17: corner 4, as corner 1
                                   "1 0.50 -2 3 0 0 1 0.25 0.75", // 18: same numbers, other text
                                   "end"});
    const TSMDFile file = Read(text);
    ASSERT_EQ(file.Triangles.size(), 2u);
    const auto& first = file.Triangles[0].Corners;
    const auto& second = file.Triangles[1].Corners;
    const auto expectCorner = [](const TSMDCorner& c, int bone, TSMDVector position, TSMDVector normal, float s,
                                 float t, int line, int sameAs) {
        EXPECT_EQ(c.BoneId, bone) << "line " << line;
        EXPECT_EQ(c.Position, position) << "line " << line;
        EXPECT_EQ(c.Normal, normal) << "line " << line;
        EXPECT_EQ(c.S, s) << "line " << line;
        EXPECT_EQ(c.T, t) << "line " << line;
        EXPECT_EQ(c.Line, line);
        EXPECT_EQ(c.SameAs, sameAs) << "line " << line;
    };
    expectCorner(first[0], 1, {0.5f, -2, 3}, {0, 0, 1}, 0.25f, 0.75f, 12, -1);
    expectCorner(first[1], 0, {1, 1, 1}, {0, 1, 0}, 0, 0, 13, -1);
    expectCorner(first[2], 1, {0.5f, -2, 3}, {0, 0, 1}, 0.25f, 0.75f, 14, 0);
    expectCorner(second[0], 1, {0.5f, -2, 3}, {0, 0, 1}, 0.25f, 0.75f, 16, -1);
    expectCorner(second[1], 0, {1, 1, 1}, {0, 1, 0}, 0, 0, 17, 1);
    expectCorner(second[2], 1, {0.5f, -2, 3}, {0, 0, 1}, 0.25f, 0.75f, 18, -1);
}

// Data lines are read by a quick road when they are short, hold no quote and
// lie far enough from the end of the bytes, else token by token; both roads
// give one vertex alike, in its nine- and twelve-token forms.
TEST(SMDRead, VertexLinesReadAlikeWhateverTheirLengthQuotesOrPlaceInTheFile)
{
    const std::string padding(140, ' ');
    const std::vector<std::string> forms = {
        "3 -1.5 2.25 1e1 0 -1 0 0.125 1",
        "3\t-1.5,2.25 , 1e1 0 -1 0 0.125 1",
        "3 -1.5 2.25 1e1 0 -1 0 0.125 1" + padding,
        // The "-1" across the 64th byte.
        "3 -1.5 2.25 1e1" + std::string(46, ' ') + "0 -1 0 0.125 1",
        "3 \"-1.5\" 2.25 1e1 0 -1 0 0.125 1",
        "7 -1.5 2.25 10 0 -1 0 0.125 1 1 3 1.0",
        "7 -1.5 2.25 10" + padding + "0 -1 0 0.125 1 1 3 1.0",
    };
    std::string text = Text({"version 1", "nodes", "0 \"a\" -1", "end", "skeleton", "time 0", "0 0 0 0 0 0 0",
                             "end", "triangles"});
    for (const std::string& form : forms)
        text += "m.bmp\n" + form + "\n" + form + " \n" + form + "\n";
    // The last lines come within a few bytes of the end of the file.
    const TSMDFile file = Read(text + "end");
    ASSERT_EQ(file.Triangles.size(), forms.size());
    for (size_t i = 0; i < 3 * forms.size(); ++i) {
        const TSMDCorner& c = file.Triangles[i / 3].Corners[i % 3];
        EXPECT_EQ(c.BoneId, 3) << forms[i / 3];
        EXPECT_EQ(c.Position, (TSMDVector{-1.5f, 2.25f, 10})) << forms[i / 3];
        EXPECT_EQ(c.Normal, (TSMDVector{0, -1, 0})) << forms[i / 3];
        EXPECT_EQ(c.S, 0.125f) << forms[i / 3];
        EXPECT_EQ(c.T, 1.0f) << forms[i / 3];
    }
}

TEST(SMDRead, AddedFileAppendsFramesAfterTheSkeletonsOwnAndSkipsItsNodes)
{
    const TSMDFile model = Read(Skeleton5Header + Text({"0 0 0 0 0 0 0", "end", "triangles", "end"}), {},
                                QStringLiteral("Stick.smd"));
    EXPECT_EQ(model.FrameBase, 0);
    ASSERT_EQ(model.Frames.size(), 1u);
    EXPECT_EQ(model.Frames[0].Positions.size(), 5u);

    // Node lines of an added file are not read: even broken ones pass.
    std::string animation = Text({"version 1", "nodes", "not a node", "end", "skeleton"});
    for (int i = 0; i < 31; ++i)
        animation += "time " + std::to_string(i) + "\n 4 1 1 1 0 0 0\n";
    animation += "end\n";
    const TSMDFile added = Read(animation, {true, 5, int(model.Frames.size())}, QStringLiteral("Anime_Pas.smd"));
    EXPECT_FALSE(added.IsModel);
    EXPECT_TRUE(added.Nodes.empty());
    EXPECT_EQ(added.BoneCount, 5);
    EXPECT_EQ(added.FrameBase, 1);
    ASSERT_EQ(added.Frames.size(), 31u);
    EXPECT_EQ(added.Frames[0].Name, QStringLiteral("time 0 Anime_Pas.smd"));
    EXPECT_EQ(added.Frames[30].Name, QStringLiteral("time 30 Anime_Pas.smd"));
    EXPECT_EQ(added.Frames[30].Positions, (std::vector<TSMDVector>{Zero, Zero, Zero, Zero, {1, 1, 1}}));
    EXPECT_FALSE(added.HasTriangles);

    // Frame names keep the letters of the time line and of the file's name.
    const TSMDFile named = Read(Text({"version 1", "nodes", "end", "skeleton", "time 1 \xC3\xA9t\xC3\xA9",
                                      " 4 1 1 1 0 0 0", "time 2", " 4 0 0 0 0 0 0", "end"}),
                                {true, 5, 0}, QString::fromUtf8("Saut_\xC3\xA9lan.smd"));
    ASSERT_EQ(named.Frames.size(), 2u);
    EXPECT_EQ(named.Frames[0].Name, QString::fromUtf8("time 1 \xC3\xA9t\xC3\xA9 Saut_\xC3\xA9lan.smd"));
    EXPECT_EQ(named.Frames[1].Name, QString::fromUtf8("time 2 Saut_\xC3\xA9lan.smd"));
}

TEST(SMDRead, FramesArePaddedAsWrittenAndNeverBeyondTheBones)
{
    const auto frame = [](std::initializer_list<const char*> bones) {
        std::string text = Skeleton5Header;
        for (const char* bone : bones)
            text.append(bone).append("\n");
        return Read(text + "end\n", AfterFiveBoneModel).Frames.at(0);
    };
    const TSMDFrame gaps = frame({"0 1 1 1 0 0 0", "1 2 2 2 0 0 0", "3 3 3 3 0 0 -1"});
    EXPECT_EQ(gaps.Positions, (std::vector<TSMDVector>{{1, 1, 1}, {2, 2, 2}, Zero, {3, 3, 3}, Zero}));
    EXPECT_EQ(gaps.Rotations, (std::vector<TSMDVector>{Zero, Zero, Zero, {0, 0, -1}, Zero}));
    // A bone below the entries present is appended all the same.
    const TSMDFrame unordered = frame({"2 2 2 2 0 0 0", "0 1 1 1 0 0 0"});
    EXPECT_EQ(unordered.Positions, (std::vector<TSMDVector>{Zero, Zero, {2, 2, 2}, {1, 1, 1}, Zero}));

    const std::string five = Skeleton5Header + Text({"0 0 0 0 0 0 0", "1 0 0 0 0 0 0", "2 0 0 0 0 0 0",
                                                     "3 0 0 0 0 0 0", "4 0 0 0 0 0 0"});
    EXPECT_EQ(ErrorReading(five + Text({"4 0 0 0 0 0 0", "end"}), AfterFiveBoneModel),
              QStringLiteral("Invalid number of bones in frame 2: more entries than the 5 bones (in \"t.smd\", line 16)"));
    // Neither a huge nor a negative index reaches memory.
    EXPECT_EQ(ErrorReading(Skeleton5Header + Text({"2147483647 0 0 0 0 0 0", "end"}), AfterFiveBoneModel),
              QStringLiteral("Invalid number of bones in frame 2: bone index 2147483647 is not below the 5 bones "
                             "(in \"t.smd\", line 11)"));
    EXPECT_EQ(ErrorReading(Skeleton5Header + Text({" -2147483648 0 0 0 0 0 0", "end"}), AfterFiveBoneModel),
              QStringLiteral("Negative bone index -2147483648 in frame 2 (in \"t.smd\", line 11)"));
    // A skeleton of very many bones with a file of empty frames would fill
    // gigabytes with zeros: refused once it passes what the file's size allows.
    EXPECT_EQ(ErrorReading(Text({"version 1", "nodes", "end", "skeleton", "time 0", "end"}), {true, 50'000'000, 0}),
              QStringLiteral("Frame 1 leaves out more bones than a file of this size may (in \"t.smd\", line 6)"));
}

TEST(SMDRead, TriangleLineAnywhereMakesAModelButOnlyOneRightAfterTheSkeletonIsRead)
{
    const std::string upper = Text({"version 1", "nodes", "0 \"a\" -1", "end", "skeleton", "time 0", "0 0 0 0 0 0 0",
                                    "end", "TRIANGLES", "garbage"});
    const TSMDFile file = Read(upper);
    EXPECT_TRUE(file.IsModel);
    EXPECT_FALSE(file.HasTriangles);
    EXPECT_TRUE(file.Triangles.empty());
}

// ---------------------------------------------------------------- writing

namespace {

TSMDFile SmallModel()
{
    TSMDFile file;
    file.Nodes = {{0, QStringLiteral("root bone"), -1, 0}, {1, QStringLiteral("arm"), 0, 0}};
    file.Frames = {{QStringLiteral("ignored"), 0, {{1, -2.5f, 0}, {0.1234567f, 10, -0.0000004f}},
                    {{0, 1.5707964f, 0}, {-3.1415927f, 0, 123.4567891f}}}};
    file.HasTriangles = true;
    const TSMDCorner a{0, {1, 2, 3}, {0, 0, 1}, 0.5f, 0.25f, 0};
    const TSMDCorner b{1, {-1.23456f, 0, 0}, {0, 1, 0}, 1, 0.33333334f, 0};
    const TSMDCorner c{1, {0, 0.00014f, 100}, {1, 0, 0}, 0, 1, 0};
    file.Triangles = {{{a, b, c}}, {{c, b, a}}};
    file.Runs = {{QStringLiteral("skin.bmp"), 0, 0, 1}, {QStringLiteral("cloth.bmp"), 0, 1, 1}};
    return file;
}

} // namespace

TEST(SMDWrite, WritesTheExactLinesOfTheFormat)
{
    const QByteArray expected = "version 1\r\nnodes\r\n"
                                "  0 \"root bone\"  -1\r\n"
                                "  1 \"arm\"   0\r\n"
                                "end\r\n"
                                "skeleton\r\n"
                                "time 0\r\n"
                                "  0 1.000000 -2.500000 0.000000 0.000000 1.570796 0.000000\r\n"
                                "  1 0.123457 10.000000 -0.000000 -3.141593 0.000000 123.456787\r\n"
                                "end\r\n"
                                "triangles\r\n"
                                "skin.bmp\r\n"
                                "  0 1.0000 2.0000 3.0000 0.0000 0.0000 1.0000 0.5000 0.2500\r\n"
                                "  1 -1.2346 0.0000 0.0000 0.0000 1.0000 0.0000 1.0000 0.3333\r\n"
                                "  1 0.0000 0.0001 100.0000 1.0000 0.0000 0.0000 0.0000 1.0000\r\n"
                                "cloth.bmp\r\n"
                                "  1 0.0000 0.0001 100.0000 1.0000 0.0000 0.0000 0.0000 1.0000\r\n"
                                "  1 -1.2346 0.0000 0.0000 0.0000 1.0000 0.0000 1.0000 0.3333\r\n"
                                "  0 1.0000 2.0000 3.0000 0.0000 0.0000 1.0000 0.5000 0.2500\r\n"
                                "end\r\n";
    EXPECT_EQ(WriteSMD(SmallModel(), QStringLiteral("w.smd")), expected);

    // Without frames there is no skeleton section; without mesh objects no
    // triangles section.
    TSMDFile bare;
    bare.Nodes = {{1234, QStringLiteral("x"), 7, 0}};
    EXPECT_EQ(WriteSMD(bare, QStringLiteral("w.smd")), QByteArray("version 1\r\nnodes\r\n1234 \"x\"   7\r\nend\r\n"));
}

TEST(SMDWrite, RefusesNamesThatWouldReadBackAsOtherData)
{
    TSMDFile quoted = SmallModel();
    quoted.Nodes[1].Name = QStringLiteral("say \"hi\"");
    EXPECT_EQ(ErrorOf([&] { WriteSMD(quoted, QStringLiteral("w.smd")); }),
              QStringLiteral("The bone name \"say \"hi\"\" (a quote or line break in it) cannot be written to \"w.smd\""));
    TSMDFile broken = SmallModel();
    broken.Runs[0].MaterialName = QStringLiteral("two\nlines");
    EXPECT_NE(ErrorOf([&] { WriteSMD(broken, QStringLiteral("w.smd")); }), QStringLiteral("(no error)"));
    TSMDFile ending = SmallModel();
    ending.Runs[1].MaterialName = QStringLiteral("end ");
    EXPECT_EQ(ErrorOf([&] { WriteSMD(ending, QStringLiteral("w.smd")); }),
              QStringLiteral("The material name \"end \" cannot be written to \"w.smd\""));
}

TEST(SMDWrite, ReadingWrittenTextGivesTheRecordsRounded)
{
    const QByteArray text = WriteSMD(SmallModel(), QStringLiteral("w.smd"));
    const TSMDFile file = ParseSMD(text, QStringLiteral("w.smd"), {});
    ASSERT_EQ(file.Nodes.size(), 2u);
    EXPECT_EQ(file.Nodes[0].Name, QStringLiteral("root bone"));
    EXPECT_EQ(file.Nodes[1].ParentId, 0);
    ASSERT_EQ(file.Frames.size(), 1u);
    EXPECT_EQ(file.Frames[0].Name, QStringLiteral("time 0 w.smd"));
    EXPECT_EQ(file.Frames[0].Positions,
              (std::vector<TSMDVector>{{1, -2.5f, 0}, {0.123457f, 10, -0.0f}}));
    EXPECT_EQ(file.Frames[0].Rotations,
              (std::vector<TSMDVector>{{0, 1.570796f, 0}, {-3.141593f, 0, 123.456787f}}));
    ASSERT_EQ(file.Runs.size(), 2u);
    EXPECT_EQ(file.Runs[1].MaterialName, QStringLiteral("cloth.bmp"));
    ASSERT_EQ(file.Triangles.size(), 2u);
    const TSMDCorner& b = file.Triangles[0].Corners[1];
    EXPECT_EQ(b.BoneId, 1);
    EXPECT_EQ(b.Position, (TSMDVector{-1.2346f, 0, 0}));
    EXPECT_EQ(b.T, 0.3333f);
    EXPECT_EQ(file.Triangles[1].Corners[0].Position, (TSMDVector{0, 0.0001f, 100}));
}
