#include "Application.h"
#include "Gamepads.h"
#include "HandOver.h"
#include "Inter.h"
#include "Scene.h"
#include "Sound.h"
#include "Startup.h"

#include <QApplication>
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
} // namespace

int main(int argc, char** argv)
{
    RegisterModules();
    PrepareSurfaceFormat();
    QApplication qtApplication(argc, argv);
    {
        TApplication application;
        application.Initialize();
        new TGamepads(&application); // owned by the application
        application.CreateForm(Menu_Jeu);
        if (QCoreApplication::arguments().contains(QString::fromLatin1(StartFightOption)))
            HandOverToFightAtStart();
        application.Run();
    }
    ShutdownSound();
    return 0;
}
