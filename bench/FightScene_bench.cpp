// Frames per second of the fight window's scene as its layout and set-up build
// it, drawn by its own frame clock as in the game, in one run: the full scene
// (town and both skinned fighters), the arena alone (sky box, ground and
// walls), the arena with the town only and with the fighters only. Meanwhile
// the window's own fight tick runs, and the time each tick takes is measured.
//
// Run from anywhere: the game's folder is where the set-up finds its files.

#include "Application.h"
#include "AsyncTimer.h"
#include "Scene.h"
#include "Percentile.h"
#include "Startup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
constexpr int WarmUpMs = 500;
constexpr int MeasureMs = 2500;
constexpr int Rounds = 2;
// The frame rate is judged over windows of this length, as a player would
// see a stutter.
constexpr qint64 RateWindowNs = 500'000'000;

struct TVariant
{
    const char* Name;
    bool Town;
    bool Fighters;
    bool Sky = true;
};

const TVariant Variants[] = {
    {"full scene (town and fighters)", true, true},
    {"arena only", false, false},
    {"arena and town", true, false},
    {"arena and fighters", false, true},
    // Where the arena's own time goes: the software renderer fills every
    // pixel of the sky box before the ground and the town cover most of it.
    {"arena without its sky box", false, false, false},
};

struct TResult
{
    double FramesPerSecond = 0;
    double WorstWindowRate = 0;
    double LongestFrameMs = 0;
};

void Show(const TVariant& variant)
{
    Jeu->GLFreeForm3->SetVisible(variant.Town);
    Jeu->GLActor1->SetVisible(variant.Fighters);
    Jeu->GLActor2->SetVisible(variant.Fighters);
    Jeu->GLSkyBox1->SetVisible(variant.Sky);
}

TResult Measure(const TVariant& variant, std::vector<qint64>& frameTimes)
{
    Show(variant);
    QElapsedTimer phase;
    phase.start();
    while (phase.elapsed() < WarmUpMs)
        QCoreApplication::processEvents();
    frameTimes.clear();
    phase.restart();
    while (phase.elapsed() < MeasureMs)
        QCoreApplication::processEvents();
    TResult result;
    if (frameTimes.size() < 2)
        return result;
    const double seconds = (frameTimes.back() - frameTimes.front()) / 1e9;
    result.FramesPerSecond = (frameTimes.size() - 1) / seconds;
    result.WorstWindowRate = 1e9;
    size_t first = 0;
    for (size_t last = 1; last < frameTimes.size(); ++last)
    {
        result.LongestFrameMs = std::max(result.LongestFrameMs, (frameTimes[last] - frameTimes[last - 1]) / 1e6);
        while (frameTimes[last] - frameTimes[first] > RateWindowNs)
            ++first;
        if (frameTimes[last] - frameTimes.front() >= RateWindowNs)
            result.WorstWindowRate = std::min(result.WorstWindowRate, (last - first) * 1e9 / RateWindowNs);
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
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
    std::vector<qint64> frameTimes;
    frameTimes.reserve(10000);
    Jeu->GLSceneViewer1->Buffer()->AfterRender = [&](QObject*) { frameTimes.push_back(clock.nsecsElapsed()); };
    std::vector<double> tickMs;
    tickMs.reserve(5000);
    const TNotifyEvent fightTick = Jeu->AsyncTimer1->OnTimer();
    Jeu->AsyncTimer1->SetOnTimer([&](QObject* sender) {
        const qint64 start = clock.nsecsElapsed();
        fightTick(sender);
        tickMs.push_back((clock.nsecsElapsed() - start) / 1e6);
    });

    std::printf("fight scene %d x %d, %d rounds of %.1f s per variant\n", Jeu->GLSceneViewer1->width(),
                Jeu->GLSceneViewer1->height(), Rounds, MeasureMs / 1000.0);
    constexpr int VariantCount = std::size(Variants);
    double rates[VariantCount] = {};
    double worst[VariantCount];
    double longest[VariantCount];
    std::fill(std::begin(worst), std::end(worst), 1e9);
    std::fill(std::begin(longest), std::end(longest), 0.0);
    for (int round = 0; round < Rounds; ++round)
        for (int i = 0; i < VariantCount; ++i)
        {
            const TResult result = Measure(Variants[i], frameTimes);
            std::printf("  round %d, %-32s %6.1f frames/s, worst %.1f s window %5.1f frames/s, longest frame %6.1f ms\n",
                        round + 1, Variants[i].Name, result.FramesPerSecond, RateWindowNs / 1e9,
                        result.WorstWindowRate, result.LongestFrameMs);
            rates[i] += result.FramesPerSecond / Rounds;
            worst[i] = std::min(worst[i], result.WorstWindowRate);
            longest[i] = std::max(longest[i], result.LongestFrameMs);
        }

    std::printf("mean over the rounds:\n");
    for (int i = 0; i < VariantCount; ++i)
        std::printf("  %-32s %6.1f frames/s = %6.2f ms a frame\n", Variants[i].Name, rates[i],
                    1000.0 / rates[i]);
    const auto frameMs = [&](int i) { return 1000.0 / rates[i]; };
    std::printf("cost of the town:     %+6.2f ms a frame\n", frameMs(2) - frameMs(1));
    std::printf("cost of the fighters: %+6.2f ms a frame\n", frameMs(3) - frameMs(1));
    std::printf("cost of both:         %+6.2f ms a frame\n", frameMs(0) - frameMs(1));
    std::printf("cost of the sky box:  %+6.2f ms a frame\n", frameMs(1) - frameMs(4));
    const double share = rates[0] / rates[1];
    std::printf("full scene keeps %.0f %% of the arena-only rate (target at least 75 %%): %s\n", share * 100,
                share >= 0.75 ? "met" : "MISSED");
    std::printf("full scene's worst %.1f s window: %.1f frames/s (target at least 30): %s\n", RateWindowNs / 1e9,
                worst[0], worst[0] >= 30 ? "met" : "MISSED");
    const double median = Percentile(tickMs, 0.5);
    const double p99 = Percentile(tickMs, 0.99);
    std::printf("fight tick: %zu ticks, median %.3f ms, p99 %.3f ms, max %.3f ms (target under 1 ms): %s\n",
                tickMs.size(), median, p99, Percentile(tickMs, 1.0), median < 1 && p99 < 1 ? "met" : "MISSED");
    Show(Variants[0]);
    return 0;
}
