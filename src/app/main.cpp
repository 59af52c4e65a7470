#include "Application.h"
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
        application.CreateForm(Menu_Jeu);
        application.Run();
    }
    ShutdownSound();
    return 0;
}
