#pragma once

#include "WindowScale.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class TApplication;

// The player's choices from the command line. The defaults are the game as
// it is without options.
struct TProgramOptions
{
    bool Windowed = false;
    bool Mute = false;
    // Percent of the sounds' own level.
    int Volume = 100;
    // Empty: the controls file is looked for in its usual place.
    QString ControlsFile;
    // Without "--scale" each window is fitted to the screen.
    TWindowScale WindowScale{true, 1};
};

enum class TCommandLineAction
{
    Run,
    ShowHelp,
    ShowVersion,
    Refuse
};

struct TCommandLine
{
    TCommandLineAction Action = TCommandLineAction::Run;
    TProgramOptions Options;
    // Why the command line was refused.
    QString Error;
};

// `arguments` starts with the program's name, as argv does.
TCommandLine ParseCommandLine(const QStringList& arguments);

// The options and both players' keys.
QString HelpText();
QString VersionText();

// For an action other than Run: prints the help or the version on the
// standard output, or the error and the help on the error stream, and
// returns the exit status (0, or 2 for a refused command line).
int FinishWithoutRunning(const TCommandLine& commandLine);

// Start-up work for the options, before the first window is created: the
// window mode, the sound volume and the player's key layout. A controls file
// that cannot be used is reported once through the application and the
// game's own keys are kept.
void ApplyProgramOptions(const TProgramOptions& options, const QProcessEnvironment& environment,
                         TApplication& application);
