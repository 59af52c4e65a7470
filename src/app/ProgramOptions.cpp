#include "ProgramOptions.h"

#include "Application.h"
#include "Exceptions.h"
#include "KeyLayout.h"
#include "Sound.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstdio>

namespace
{
constexpr int MaxVolume = 100;

struct TOptionRow
{
    const char* ShortName;
    const char* LongName;
    const char* ValueName;
    const char* Description;
};

// One row per option: the parser and the help are both made from it.
constexpr std::array OptionRows{
    TOptionRow{nullptr, "windowed", nullptr, "Start in a normal window instead of full screen."},
    TOptionRow{nullptr, "mute", nullptr, "Play no sound."},
    TOptionRow{nullptr, "volume", "N", "Sound volume from 0 to 100 (100, the sounds' own level, is the default)."},
    TOptionRow{nullptr, "controls", "FILE",
               "Read the key layout from FILE, which must exist, instead of\n"
               "$XDG_CONFIG_HOME/stickfight/controls (~/.config/stickfight/controls\n"
               "when XDG_CONFIG_HOME is not set)."},
    TOptionRow{nullptr, "scale", "FACTOR",
               "Show the windows FACTOR times their size, from the screen's corner\n"
               "(0.25 to 8; 1 is the game's fixed size). Without it each window\n"
               "fills the screen as far as it can, centred."},
    TOptionRow{"h", "help", nullptr, "Show this help and the keys, then end."},
    TOptionRow{nullptr, "version", nullptr, "Show the version, then end."},
};

struct TKeyRow
{
    const char* Keys;
    const char* Action;
};

// The characters the fight's key handler acts on; lower case only.
constexpr std::array FighterKeyRows{
    TKeyRow{"a / l", "walk forward"},
    TKeyRow{"d / j", "walk back"},
    TKeyRow{"s / k", "crouch (hold the key to stay down)"},
    TKeyRow{"w / i", "jump"},
    TKeyRow{"e / o", "hit; press again during the hit for the second and third"},
};

constexpr std::array SharedKeyRows{
    TKeyRow{"space", "show or hide both skeletons"},
    TKeyRow{"+ / -", "camera closer / farther"},
    TKeyRow{"p", "quit"},
    TKeyRow{"F11", "full screen on or off (in every window)"},
    TKeyRow{"left mouse button", "drag to turn the camera around the fighters"},
};

QString OptionSyntax(const TOptionRow& row)
{
    QString syntax = row.ShortName != nullptr ? QStringLiteral("-%1, ").arg(QLatin1String(row.ShortName))
                                              : QStringLiteral("    ");
    syntax += QStringLiteral("--") + QLatin1String(row.LongName);
    if (row.ValueName != nullptr)
        syntax += QLatin1Char(' ') + QLatin1String(row.ValueName);
    return syntax;
}

// Two columns; the lines of a long description start under its first line.
QString Table(const QStringList& left, const QStringList& right)
{
    qsizetype width = 0;
    for (const QString& cell : left)
        width = std::max(width, cell.size());
    const QString indent(width + 4, QLatin1Char(' '));
    QString text;
    for (qsizetype i = 0; i < left.size(); ++i)
    {
        QString description = right[i];
        description.replace(QLatin1Char('\n'), QLatin1Char('\n') + indent);
        text += QStringLiteral("  ") + left[i].leftJustified(width + 2) + description + QLatin1Char('\n');
    }
    return text;
}

template <std::size_t N>
QString KeyTable(const std::array<TKeyRow, N>& rows)
{
    QStringList keys;
    QStringList actions;
    for (const TKeyRow& row : rows)
    {
        keys << QLatin1String(row.Keys);
        actions << QLatin1String(row.Action);
    }
    return Table(keys, actions);
}

QString OptionTable()
{
    QStringList syntaxes;
    QStringList descriptions;
    for (const TOptionRow& row : OptionRows)
    {
        syntaxes << OptionSyntax(row);
        descriptions << QLatin1String(row.Description);
    }
    return Table(syntaxes, descriptions);
}

void AddOptions(QCommandLineParser& parser)
{
    for (const TOptionRow& row : OptionRows)
    {
        QStringList names{QLatin1String(row.LongName)};
        if (row.ShortName != nullptr)
            names.prepend(QLatin1String(row.ShortName));
        parser.addOption(row.ValueName != nullptr
                             ? QCommandLineOption(names, QString(), QLatin1String(row.ValueName))
                             : QCommandLineOption(names));
    }
}

TCommandLine Refused(const QString& error)
{
    return {TCommandLineAction::Refuse, {}, error};
}

// The options' values, or the first that is not valid.
TCommandLine ReadValues(const QCommandLineParser& parser)
{
    TCommandLine commandLine;
    TProgramOptions& options = commandLine.Options;
    options.Windowed = parser.isSet(QStringLiteral("windowed"));
    options.Mute = parser.isSet(QStringLiteral("mute"));
    if (parser.isSet(QStringLiteral("volume")))
    {
        const QString text = parser.value(QStringLiteral("volume"));
        bool isNumber = false;
        options.Volume = text.toInt(&isNumber, 10);
        if (!isNumber || options.Volume < 0 || options.Volume > MaxVolume)
            return Refused(QStringLiteral("--volume needs a whole number from 0 to 100, not \"%1\".").arg(text));
    }
    if (parser.isSet(QStringLiteral("scale")))
    {
        const TScaleRequest scale = ReadScaleFactor(parser.value(QStringLiteral("scale")));
        if (!scale.Factor)
            return Refused(scale.Error);
        options.WindowScale = {false, *scale.Factor};
    }
    if (parser.isSet(QStringLiteral("controls")))
    {
        options.ControlsFile = parser.value(QStringLiteral("controls"));
        if (!QFileInfo::exists(options.ControlsFile))
            return Refused(QStringLiteral("The controls file \"%1\" does not exist.").arg(options.ControlsFile));
    }
    return commandLine;
}

void Print(std::FILE* const stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}
} // namespace

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    // "-windowed" is read as "--windowed", not as the letters w, i, n...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    AddOptions(parser);
    if (!parser.parse(arguments))
        return Refused(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return Refused(QStringLiteral("Unexpected argument \"%1\".").arg(parser.positionalArguments().front()));
    if (parser.isSet(QStringLiteral("help")))
        return {TCommandLineAction::ShowHelp, {}, {}};
    if (parser.isSet(QStringLiteral("version")))
        return {TCommandLineAction::ShowVersion, {}, {}};
    return ReadValues(parser);
}

QString HelpText()
{
    return QStringLiteral("Usage: stickfight [options]\n"
                          "A fighting game for two players on one keyboard.\n\n"
                          "Options:\n") +
           OptionTable() +
           QStringLiteral("\nKeys of fighter 1 (black, on the right) / fighter 2 (red, on the left):\n") +
           KeyTable(FighterKeyRows) + QStringLiteral("\nKeys for both players:\n") + KeyTable(SharedKeyRows) +
           QStringLiteral("\nOnly lower-case letters act. A controls file can put these characters\n"
                          "on other keys, for example for AZERTY or QWERTZ keyboards.\n");
}

QString VersionText()
{
    return QStringLiteral("stickfight " STICKFIGHT_VERSION "\n");
}

int FinishWithoutRunning(const TCommandLine& commandLine)
{
    switch (commandLine.Action)
    {
    case TCommandLineAction::ShowHelp:
        Print(stdout, HelpText());
        return 0;
    case TCommandLineAction::ShowVersion:
        Print(stdout, VersionText());
        return 0;
    case TCommandLineAction::Refuse:
    case TCommandLineAction::Run:
        break;
    }
    Print(stderr, QStringLiteral("stickfight: %1\n\n").arg(commandLine.Error) + HelpText());
    return 2;
}

void ApplyProgramOptions(const TProgramOptions& options, const QProcessEnvironment& environment,
                         TApplication& application)
{
    application.SetWindowed(options.Windowed);
    application.SetWindowScale(options.WindowScale);
    SetSoundVolume(options.Mute ? 0 : options.Volume);
    const bool named = !options.ControlsFile.isEmpty();
    const QString controlsFile = named ? options.ControlsFile : DefaultControlsPath(environment);
    // The usual place is read only when the player has put a file there.
    if (controlsFile.isEmpty() || (!named && !QFileInfo::exists(controlsFile)))
        return;
    try
    {
        application.SetKeyLayout(TKeyLayout::LoadFromFile(controlsFile));
    }
    catch (const EControlsFileError& error)
    {
        // All or nothing: a half-applied layout would move keys unexpectedly.
        application.SetKeyLayout(TKeyLayout());
        application.ShowException(error.Message() + QStringLiteral(" The game's own keys are used."));
    }
}
