#include "app/KeyLayout.h"
#include "base/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Readable failures: gtest would print the characters as bytes.
void PrintTo(const QString& text, std::ostream* stream)
{
    *stream << '"' << text.toStdString() << '"';
}

namespace
{
const QString FileName = QStringLiteral("/home/player/.config/stickfight/controls");

TKeyLayout Parse(const char* content)
{
    return TKeyLayout::Parse(QByteArrayView(content), FileName);
}

// The message of the error the content raises, or "no error".
QString ErrorOf(const QByteArrayView content)
{
    try
    {
        TKeyLayout::Parse(content, FileName);
    }
    catch (const EControlsFileError& error)
    {
        return error.Message();
    }
    return QStringLiteral("no error");
}

QString ErrorOfFile(const QString& path)
{
    try
    {
        TKeyLayout::LoadFromFile(path);
    }
    catch (const EControlsFileError& error)
    {
        return error.Message();
    }
    return QStringLiteral("no error");
}

QString Received(const TKeyLayout& layout, const QString& typed)
{
    QString received;
    for (const QChar key : typed)
        received += layout.Map(key);
    return received;
}

QString Expected(const int line, const char* what)
{
    return QStringLiteral("Controls file \"%1\", line %2: %3.").arg(FileName).arg(line).arg(QString::fromUtf8(what));
}
} // namespace

TEST(KeyLayout, AzertyLayoutSwapsItsKeysAndLeavesTheOthersAlone)
{
    const TKeyLayout layout = Parse("# AZERTY\n"
                                    "q = a\n"
                                    "a=q\n"
                                    "\n"
                                    "   z   =   w   # jump\n"
                                    "w = z\n");
    // Typed on an AZERTY keyboard where QWERTY has "qwe asd": "aze qsd".
    EXPECT_EQ(Received(layout, QStringLiteral("aze qsd")), QStringLiteral("qwe asd"));
    EXPECT_EQ(Received(layout, QStringLiteral("lkjiop+-")), QStringLiteral("lkjiop+-"));
    // Upper case is another character and is not mapped with its lower case.
    EXPECT_EQ(Received(layout, QStringLiteral("QZ")), QStringLiteral("QZ"));
    EXPECT_TRUE(TKeyLayout().IsEmpty());
    EXPECT_EQ(Received(TKeyLayout(), QStringLiteral("qz")), QStringLiteral("qz"));
}

TEST(KeyLayout, NamesCommentsBlankLinesAndWindowsLineEndsAreAccepted)
{
    const TKeyLayout layout = Parse("\r\n"
                                    "  # only a comment\r\n"
                                    "SPACE = p\r\n"
                                    "hash = Space\r\n"
                                    "Equals = +\r\n"
                                    "\xc3\xa9 = e\r\n" // é, a key of its own on AZERTY
                                    "\t\r\n"
                                    "- = Hash");
    EXPECT_EQ(Received(layout, QStringLiteral(" #=\u00e9-x")), QStringLiteral("p +e#x"));
}

TEST(KeyLayout, EachErrorNamesTheFileAndItsLine)
{
    EXPECT_EQ(ErrorOf("q = a\n\nspcae = p\n"), Expected(3, "unknown key name \"spcae\""));
    EXPECT_EQ(ErrorOf("# AZERTY\nq = ab\n"), Expected(2, "expected one character after \"=\", found \"ab\""));
    EXPECT_EQ(ErrorOf("q = a\nz = w\nq = e\n"), Expected(3, "key \"q\" is already mapped on line 1"));
    EXPECT_EQ(ErrorOf("Space = a\nspace = b\n"), Expected(2, "key \"space\" is already mapped on line 1"));
    EXPECT_EQ(ErrorOf("q a\n"), Expected(1, "expected one mapping \"typed = received\", found \"q a\""));
    EXPECT_EQ(ErrorOf("\n\nq = = a\n"), Expected(3, "expected one mapping \"typed = received\", found \"q = = a\""));
    EXPECT_EQ(ErrorOf("q =\n"), Expected(1, "a key is missing on one side of \"=\""));
    EXPECT_EQ(ErrorOf("= a # the key was forgotten\n"), Expected(1, "a key is missing on one side of \"=\""));
    EXPECT_EQ(ErrorOf("q = a\r\nz = \xff\r\n"), Expected(2, "not UTF-8 text"));
    // A character outside the 16-bit range cannot be typed into the game.
    EXPECT_EQ(ErrorOf("\xf0\x9f\x98\x80 = a\n"), Expected(1, "unknown key name \"\U0001F600\""));
}

TEST(KeyLayout, FilesThatCannotBeReadAreNamedWithTheReason)
{
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString missing = folder.filePath(QStringLiteral("missing"));
    EXPECT_EQ(ErrorOfFile(missing),
              QStringLiteral("Cannot read the controls file \"%1\": No such file or directory.").arg(missing));
    EXPECT_EQ(ErrorOfFile(folder.path()),
              QStringLiteral("Cannot read the controls file \"%1\": it is a folder.").arg(folder.path()));

    // A huge file is refused without being read whole.
    const QString huge = folder.filePath(QStringLiteral("huge"));
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray comments(1024, '#');
    for (int i = 0; i < 65; ++i)
        file.write(comments);
    file.close();
    EXPECT_EQ(ErrorOfFile(huge),
              QStringLiteral("Cannot read the controls file \"%1\": it is larger than 65536 bytes.").arg(huge));
    // Endless devices too.
    EXPECT_EQ(ErrorOfFile(QStringLiteral("/dev/zero")),
              QStringLiteral("Cannot read the controls file \"/dev/zero\": it is larger than 65536 bytes."));
}

namespace
{
// The example's mappings between two headings, uncommented.
QByteArray WithSectionUncommented(QByteArray content, const char* heading, const char* nextHeading)
{
    const qsizetype start = content.indexOf(heading);
    const qsizetype end = nextHeading != nullptr ? content.indexOf(nextHeading) : content.size();
    EXPECT_TRUE(start > 0 && end > start) << heading;
    QString section = QString::fromUtf8(content.mid(start, end - start));
    section.replace(QRegularExpression(QStringLiteral("^# (\\S = \\S)$"), QRegularExpression::MultilineOption),
                    QStringLiteral("\\1"));
    return content.replace(start, end - start, section.toUtf8());
}
} // namespace

TEST(KeyLayout, ExampleFileIsAllCommentsAndEachOfItsSectionsWorksUncommented)
{
    QFile example(QStringLiteral(STICKFIGHT_GAME_BIN_DIR "/controls.example"));
    ASSERT_TRUE(example.open(QIODevice::ReadOnly));
    const QByteArray content = example.readAll();
    const QString name = example.fileName();
    EXPECT_TRUE(TKeyLayout::Parse(content, name).IsEmpty());

    const TKeyLayout azerty = TKeyLayout::Parse(WithSectionUncommented(content, "AZERTY", "QWERTZ"), name);
    EXPECT_EQ(Received(azerty, QStringLiteral("azqwedsyp")), QStringLiteral("qwazedsyp"));
    const TKeyLayout qwertz = TKeyLayout::Parse(WithSectionUncommented(content, "QWERTZ", nullptr), name);
    EXPECT_EQ(Received(qwertz, QStringLiteral("azqwedsyp")), QStringLiteral("ayqwedszp"));
}

TEST(KeyLayout, DefaultPlaceFollowsXdgConfigHomeThenHome)
{
    const auto pathFor = [](const char* configHome, const char* home) {
        QProcessEnvironment environment;
        if (configHome != nullptr)
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromLatin1(configHome));
        if (home != nullptr)
            environment.insert(QStringLiteral("HOME"), QString::fromLatin1(home));
        return DefaultControlsPath(environment);
    };
    EXPECT_EQ(pathFor("/xdg", "/home/p"), QStringLiteral("/xdg/stickfight/controls"));
    EXPECT_EQ(pathFor("/xdg/", "/home/p"), QStringLiteral("/xdg/stickfight/controls"));
    EXPECT_EQ(pathFor(nullptr, "/home/p"), QStringLiteral("/home/p/.config/stickfight/controls"));
    EXPECT_EQ(pathFor("", "/home/p"), QStringLiteral("/home/p/.config/stickfight/controls"));
    // A relative XDG_CONFIG_HOME is not valid and is ignored.
    EXPECT_EQ(pathFor("config", "/home/p"), QStringLiteral("/home/p/.config/stickfight/controls"));
    EXPECT_EQ(pathFor("/xdg", nullptr), QStringLiteral("/xdg/stickfight/controls"));
    EXPECT_EQ(pathFor(nullptr, nullptr), QString());
    EXPECT_EQ(pathFor("", ""), QString());
}
