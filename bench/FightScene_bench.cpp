// Frames per second of the fight window's scene as its layout builds it,
// drawn by its own frame clock as in the game.

#include "Application.h"
#include "Scene.h"
#include "Startup.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    RegisterModules();
    PrepareSurfaceFormat();
    QApplication qtApplication(argc, argv);
    TApplication application;
    application.Initialize();
    application.CreateForm(Jeu);
    Jeu->Show();
    TGLSceneBuffer* const buffer = Jeu->GLSceneViewer1->Buffer();
    QElapsedTimer clock;
    clock.start();
    while (buffer->FrameCount() < 20 && clock.elapsed() < 10000)
        QCoreApplication::processEvents();
    const int firstFrame = buffer->FrameCount();
    clock.restart();
    while (clock.elapsed() < 3000)
        QCoreApplication::processEvents();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const int frames = buffer->FrameCount() - firstFrame;
    std::printf("fight scene %d x %d: %d frames in %.2f s = %.1f frames/s (last frame %.2f ms)\n",
                Jeu->GLSceneViewer1->width(), Jeu->GLSceneViewer1->height(), frames, seconds, frames / seconds,
                buffer->LastFrameTime() * 1000.0);
    return 0;
}
