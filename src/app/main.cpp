#include "Application.h"
#include "DisplayCheck.h"
#include "Gamepads.h"
#include "Inter.h"
#include "LargeBlocks.h"
#include "ProgramOptions.h"
#include "Sound.h"
#include "Startup.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <QStringList>

#include <cstdio>

namespace
{
QStringList ArgumentsOf(const int argc, char** const argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
} // namespace

int main(int argc, char** argv)
{
    // Read before the application exists, so that help and errors need no
    // display and open no window.
    const TCommandLine commandLine = ParseCommandLine(ArgumentsOf(argc, argv));
    if (commandLine.Action != TCommandLineAction::Run)
        return FinishWithoutRunning(commandLine);
    if (const QString problem = DisplayProblem(); !problem.isEmpty())
    {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }

    KeepLargeBlocksForReuse();
    RegisterModules();
    PrepareSurfaceFormat();
    QApplication qtApplication(argc, argv);
    {
        TApplication application;
        application.Initialize();
        ApplyProgramOptions(commandLine.Options, QProcessEnvironment::systemEnvironment(), application);
        new TGamepads(&application); // owned by the application
        application.CreateForm(Menu_Jeu);
        application.Run();
    }
    ShutdownSound();
    return 0;
}
