#include "Application.h"
#include "Gamepads.h"
#include "Inter.h"
#include "Sound.h"
#include "Startup.h"

#include <QApplication>

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
        application.Run();
    }
    ShutdownSound();
    return 0;
}
