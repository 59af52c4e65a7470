#include "KeyLayout.h"

#include "Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <optional>

namespace
{
// A key layout is a few dozen lines; anything far larger is not one.
constexpr qint64 MaxControlsFileBytes = 64 * 1024;

struct TKeyName
{
    QLatin1StringView Name;
    char16_t Character;
};

// Characters that cannot stand for themselves in the format, or are hard to
// read there.
constexpr std::array KeyNames{
    TKeyName{QLatin1StringView("Space"), u' '},
    TKeyName{QLatin1StringView("Hash"), u'#'},
    TKeyName{QLatin1StringView("Equals"), u'='},
};

std::optional<char16_t> CharacterOf(const QString& text)
{
    if (text.size() == 1 && !text.front().isSurrogate())
        return text.front().unicode();
    for (const TKeyName& key : KeyNames)
        if (text.compare(key.Name, Qt::CaseInsensitive) == 0)
            return key.Character;
    return std::nullopt;
}

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

[[noreturn]] void FailToRead(const QString& fileName, const QString& reason)
{
    throw EControlsFileError(QStringLiteral("Cannot read the controls file \"%1\": %2.").arg(fileName, reason));
}

// Collects the mappings line by line; every error names the file and line.
class TControlsParser
{
public:
    explicit TControlsParser(const QString& fileName) : FFileName(fileName) {}

    void ParseLine(QByteArrayView line, int lineNumber);
    std::vector<std::pair<char16_t, char16_t>> TakeMappings();

private:
    [[noreturn]] void Fail(const QString& what) const;
    QString DecodeLine(QByteArrayView line) const;
    void AddMapping(char16_t typed, char16_t received, const QString& typedText);

    const QString FFileName;
    int FLineNumber = 0;
    std::vector<std::pair<char16_t, char16_t>> FMappings;
    QHash<char16_t, int> FLineOfKey;
};

void TControlsParser::Fail(const QString& what) const
{
    throw EControlsFileError(QStringLiteral("Controls file \"%1\", line %2: %3.").arg(FFileName).arg(FLineNumber).arg(what));
}

QString TControlsParser::DecodeLine(const QByteArrayView line) const
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(line);
    if (decoder.hasError())
        Fail(QStringLiteral("not UTF-8 text"));
    return text;
}

void TControlsParser::ParseLine(QByteArrayView line, const int lineNumber)
{
    FLineNumber = lineNumber;
    QString text = DecodeLine(line);
    const qsizetype comment = text.indexOf(QLatin1Char('#'));
    if (comment >= 0)
        text.truncate(comment);
    text = text.trimmed();
    if (text.isEmpty())
        return;
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0 || text.indexOf(QLatin1Char('='), equals + 1) >= 0)
        Fail(QStringLiteral("expected one mapping \"typed = received\", found %1").arg(Quoted(text)));
    const QString typedText = text.left(equals).trimmed();
    const QString receivedText = text.mid(equals + 1).trimmed();
    if (typedText.isEmpty() || receivedText.isEmpty())
        Fail(QStringLiteral("a key is missing on one side of \"=\""));
    const std::optional<char16_t> typed = CharacterOf(typedText);
    if (!typed)
        Fail(QStringLiteral("unknown key name %1").arg(Quoted(typedText)));
    const std::optional<char16_t> received = CharacterOf(receivedText);
    if (!received)
        Fail(QStringLiteral("expected one character after \"=\", found %1").arg(Quoted(receivedText)));
    AddMapping(*typed, *received, typedText);
}

void TControlsParser::AddMapping(const char16_t typed, const char16_t received, const QString& typedText)
{
    if (const auto known = FLineOfKey.constFind(typed); known != FLineOfKey.cend())
        Fail(QStringLiteral("key %1 is already mapped on line %2").arg(Quoted(typedText)).arg(*known));
    FLineOfKey.insert(typed, FLineNumber);
    FMappings.emplace_back(typed, received);
}

std::vector<std::pair<char16_t, char16_t>> TControlsParser::TakeMappings()
{
    std::sort(FMappings.begin(), FMappings.end());
    return std::move(FMappings);
}
} // namespace

TKeyLayout TKeyLayout::Parse(const QByteArrayView content, const QString& fileName)
{
    TControlsParser parser(fileName);
    qsizetype lineStart = 0;
    int lineNumber = 1;
    while (lineStart < content.size())
    {
        qsizetype lineEnd = content.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = content.size();
        // The CR of CR LF line ends goes with the line's other white space.
        parser.ParseLine(content.sliced(lineStart, lineEnd - lineStart), lineNumber);
        lineStart = lineEnd + 1;
        ++lineNumber;
    }
    TKeyLayout layout;
    layout.FMappings = parser.TakeMappings();
    return layout;
}

TKeyLayout TKeyLayout::LoadFromFile(const QString& fileName)
{
    if (QFileInfo(fileName).isDir())
        FailToRead(fileName, QStringLiteral("it is a folder"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        FailToRead(fileName, file.errorString());
    // Read with a limit: a device or a huge file reports no useful size.
    const QByteArray content = file.read(MaxControlsFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        FailToRead(fileName, file.errorString());
    if (content.size() > MaxControlsFileBytes)
        FailToRead(fileName, QStringLiteral("it is larger than %1 bytes").arg(MaxControlsFileBytes));
    return Parse(content, fileName);
}

QChar TKeyLayout::Map(const QChar typed) const
{
    const auto found = std::lower_bound(FMappings.begin(), FMappings.end(), typed.unicode(),
                                        [](const auto& mapping, const char16_t key) { return mapping.first < key; });
    return found != FMappings.end() && found->first == typed.unicode() ? QChar(found->second) : typed;
}

QString DefaultControlsPath(const QProcessEnvironment& environment)
{
    const QString configHome = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    const QString home = environment.value(QStringLiteral("HOME"));
    QString base;
    if (!configHome.isEmpty() && QDir::isAbsolutePath(configHome))
        base = configHome;
    else if (!home.isEmpty())
        base = QDir(home).filePath(QStringLiteral(".config"));
    else
        return {};
    return QDir(base).filePath(QStringLiteral("stickfight/controls"));
}
