#include "Application.h"
#include "Gamepads.h"
#include "Inter.h"
#include "Sound.h"
#include "Startup.h"
#include "WindowScale.h"

#include <QApplication>

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
    RegisterModules();
    // Read before the application exists: a refused value needs no display.
    QStringList arguments = ArgumentsOf(argc, argv);
    const TScaleRequest scaleRequest = TakeScaleOption(arguments);
    if (!scaleRequest.Error.isEmpty())
    {
        std::fprintf(stderr, "stickfight: %s\n", scaleRequest.Error.toLocal8Bit().constData());
        return 2;
    }
    PrepareSurfaceFormat();
    QApplication qtApplication(argc, argv);
    {
        TApplication application;
        application.Initialize();
        application.SetWindowScale(scaleRequest.WindowScale());
        new TGamepads(&application); // owned by the application
        application.CreateForm(Menu_Jeu);
        application.Run();
    }
    ShutdownSound();
    return 0;
}
