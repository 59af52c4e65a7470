// Frames per second of the fight window's scene as its layout builds it,
// drawn by its own frame clock as in the game, and the period of a 30 ms
// timer (the fight tick) meanwhile.

#include "Application.h"
#include "AsyncTimer.h"
#include "Scene.h"
#include "Startup.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

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
    std::vector<qint64> ticks;
    ticks.reserve(200);
    TAsyncTimer fightTick(nullptr);
    fightTick.SetInterval(30);
    fightTick.SetOnTimer([&](QObject*) { ticks.push_back(clock.nsecsElapsed()); });
    clock.restart();
    fightTick.SetEnabled(true);
    while (clock.elapsed() < 3000)
        QCoreApplication::processEvents();
    fightTick.SetEnabled(false);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const int frames = buffer->FrameCount() - firstFrame;
    std::printf("fight scene %d x %d: %d frames in %.2f s = %.1f frames/s (last frame %.2f ms)\n",
                Jeu->GLSceneViewer1->width(), Jeu->GLSceneViewer1->height(), frames, seconds, frames / seconds,
                buffer->LastFrameTime() * 1000.0);
    std::vector<double> periods;
    for (size_t i = 1; i < ticks.size(); ++i)
        periods.push_back((ticks[i] - ticks[i - 1]) / 1e6);
    if (!periods.empty())
    {
        std::sort(periods.begin(), periods.end());
        const double mean = (ticks.back() - ticks.front()) / 1e6 / static_cast<double>(periods.size());
        std::printf("30 ms fight tick meanwhile: %zu periods, mean %.2f ms, median %.2f ms, max %.2f ms\n",
                    periods.size(), mean, periods[periods.size() / 2], periods.back());
    }
    return 0;
}
