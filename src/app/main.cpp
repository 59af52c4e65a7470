#include "Application.h"
#include "HandOver.h"
#include "Inter.h"
#include "ProgramOptions.h"
#include "Scene.h"
#include "Sound.h"
#include "Startup.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTimer>

namespace
{
// Test hook, for the end-to-end test of the fight until the menu can start it
// by picking: with this option the program runs the real hand-over from the
// menu to the fight as soon as its message loop runs. Without it the program
// takes no option and starts at the menu.
const char* const StartFightOption = "--start-fight";

void HandOverToFightAtStart()
{
    QTimer::singleShot(0, Application, [] {
        Guarded([] {
            if (Menu_Jeu != nullptr)
                HandOver(*Menu_Jeu, [] {
                    Application->CreateForm(Jeu);
                    return Jeu;
                });
        });
    });
}

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
    QStringList arguments = ArgumentsOf(argc, argv);
    const bool startFight = arguments.removeAll(QString::fromLatin1(StartFightOption)) > 0;
    const TCommandLine commandLine = ParseCommandLine(arguments);
    if (commandLine.Action != TCommandLineAction::Run)
        return FinishWithoutRunning(commandLine);

    RegisterModules();
    PrepareSurfaceFormat();
    QApplication qtApplication(argc, argv);
    {
        TApplication application;
        application.Initialize();
        ApplyProgramOptions(commandLine.Options, QProcessEnvironment::systemEnvironment(), application);
        application.CreateForm(Menu_Jeu);
        if (startFight)
            HandOverToFightAtStart();
        application.Run();
    }
    ShutdownSound();
    return 0;
}
