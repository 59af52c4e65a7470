// The fight window as the game shows it, drawn flat-out by its own frame
// clock: its frame rate, measured in rounds, and meanwhile the period of its
// 30 ms fight tick (the time between the starts of two ticks, recorded by a
// wrapper around the window's own handler).
//   fight_speed_bench [--rounds N] [--round-seconds S]
// Prints readable lines and, for scripts/bench.sh, lines "RESULT key value".

#include "Application.h"
#include "AsyncTimer.h"
#include "Percentile.h"
#include "RoundMeasures.h"
#include "Scene.h"
#include "Startup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace
{
constexpr int WarmUpMs = 2000;

struct TOptions
{
    int Rounds = 6;
    double RoundSeconds = 5;
};

TOptions ReadOptions(const int argc, char** argv)
{
    TOptions options;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], "--rounds") == 0)
            options.Rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--round-seconds") == 0)
            options.RoundSeconds = std::max(0.5, std::atof(argv[++i]));
    }
    return options;
}

// Frames per second over one round: frames counted between the first and
// the last frame end seen in it.
double RoundRate(const std::vector<qint64>& frameEnds)
{
    if (frameEnds.size() < 2)
        return 0;
    return (frameEnds.size() - 1) * 1e9 / double(frameEnds.back() - frameEnds.front());
}

std::vector<double> Periods(const std::vector<qint64>& starts)
{
    std::vector<double> periods;
    for (size_t i = 1; i < starts.size(); ++i)
        periods.push_back((starts[i] - starts[i - 1]) / 1e6);
    return periods;
}

std::vector<double> FrameTimes(const std::vector<qint64>& ends)
{
    return Periods(ends);
}
} // namespace

int main(int argc, char** argv)
{
    const TOptions options = ReadOptions(argc, argv);
    RegisterModules();
    PrepareSurfaceFormat();
    QApplication qtApplication(argc, argv);
    TApplication application;
    application.Initialize();
    // The set-up reads the town from the working directory and the fighters
    // from beside the program's directory.
    QDir::setCurrent(QStringLiteral(STICKFIGHT_GAME_DIR));
    application.SetExeName(QStringLiteral(STICKFIGHT_GAME_DIR "/stickfight"));
    application.CreateForm(Jeu);
    Jeu->Show();

    QElapsedTimer clock;
    clock.start();
    const int roundMs = static_cast<int>(options.RoundSeconds * 1000);
    std::vector<qint64> frameEnds;
    std::vector<qint64> allFrameEnds;
    frameEnds.reserve(100000);
    allFrameEnds.reserve(1000000);
    std::string renderer;
    bool measuring = false;
    Jeu->GLSceneViewer1->Buffer()->AfterRender = [&](QObject*)
    {
        const qint64 now = clock.nsecsElapsed();
        frameEnds.push_back(now);
        if (measuring)
            allFrameEnds.push_back(now);
        if (renderer.empty())
            renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    };
    std::vector<qint64> tickStarts;
    tickStarts.reserve(100000);
    const TNotifyEvent fightTick = Jeu->AsyncTimer1->OnTimer();
    Jeu->AsyncTimer1->SetOnTimer(
        [&](QObject* sender)
        {
            if (measuring)
                tickStarts.push_back(clock.nsecsElapsed());
            fightTick(sender);
        });

    RunEventsFor(WarmUpMs);
    std::printf("fight window, viewer %d x %d, renderer %s\n", Jeu->GLSceneViewer1->width(),
                Jeu->GLSceneViewer1->height(), renderer.c_str());
    measuring = true;
    const double cpuStart = CpuMs();
    std::vector<double> rates;
    for (int round = 0; round < options.Rounds; ++round)
    {
        frameEnds.clear();
        RunEventsFor(roundMs);
        rates.push_back(RoundRate(frameEnds));
        std::printf("  round %d: %6.1f frames/s\n", round + 1, rates.back());
    }
    measuring = false;
    // On a shared machine the frame rate also counts the waits for a core;
    // the processor time a frame takes does not.
    const double cpuPerFrame = (CpuMs() - cpuStart) / std::max<size_t>(1, allFrameEnds.size());

    const std::vector<double> periods = Periods(tickStarts);
    const std::vector<double> frames = FrameTimes(allFrameEnds);
    std::printf("frame rate: median %.1f, min %.1f, max %.1f frames/s over %d rounds of %.1f s\n",
                Percentile(rates, 0.5), Percentile(rates, 0), Percentile(rates, 1), options.Rounds,
                options.RoundSeconds);
    std::printf("frame time: median %.2f ms, p99 %.2f ms; processor time %.2f ms a frame\n", Percentile(frames, 0.5),
                Percentile(frames, 0.99), cpuPerFrame);
    std::printf("tick period: %zu periods, median %.3f ms, p99 %.3f ms, max %.3f ms, min %.3f ms\n",
                periods.size(), Percentile(periods, 0.5), Percentile(periods, 0.99), Percentile(periods, 1),
                Percentile(periods, 0));
    std::printf("RESULT renderer %s\n", renderer.c_str());
    std::printf("RESULT fps_median %.2f\nRESULT fps_min %.2f\nRESULT fps_max %.2f\n", Percentile(rates, 0.5),
                Percentile(rates, 0), Percentile(rates, 1));
    std::printf("RESULT frame_ms_median %.3f\nRESULT cpu_ms_per_frame %.3f\n", Percentile(frames, 0.5), cpuPerFrame);
    std::printf("RESULT tick_median_ms %.3f\nRESULT tick_p99_ms %.3f\nRESULT tick_max_ms %.3f\n",
                Percentile(periods, 0.5), Percentile(periods, 0.99), Percentile(periods, 1));
    PrintSeries("round_fps", rates);
    PrintSeries("frame_times_ms", frames);
    PrintSeries("tick_periods_ms", periods);
    std::fflush(stdout);
    return 0;
}
