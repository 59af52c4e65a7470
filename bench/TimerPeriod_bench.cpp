// Measures the real period of asynchronous timers: a 20 ms timer on an idle
// user-interface thread, the gap after each tick of a 5 ms timer whose handler
// takes 20 ms (the menu's case), and a 30 ms timer while the user-interface
// thread is kept busy by an as-fast-as-possible loop of posted events, as the
// fight's frame clock keeps it busy.

#include "AsyncTimer.h"
#include "Startup.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

const QEvent::Type SpinEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// Re-posts itself at once each time it runs, like a frame pump.
class TSpinner : public QObject
{
public:
    bool event(QEvent* event) override
    {
        if (event->type() != SpinEventType)
            return QObject::event(event);
        ++FSpins;
        QCoreApplication::postEvent(this, new QEvent(SpinEventType));
        return true;
    }
    long FSpins = 0;
};

double Percentile(const std::vector<double>& sorted, double fraction)
{
    const size_t index = std::min(sorted.size() - 1, static_cast<size_t>(fraction * (sorted.size() - 1) + 0.5));
    return sorted[index];
}

// Runs a timer for `count` ticks on an idle loop; the time between the end of
// each tick and the start of the next, and between tick starts.
void MeasureIdle(const ushort interval, const int workMs, const int count)
{
    std::vector<Clock::time_point> starts;
    std::vector<Clock::time_point> ends;
    starts.reserve(count);
    ends.reserve(count);
    TAsyncTimer timer(nullptr);
    timer.SetInterval(interval);
    timer.SetOnTimer([&](QObject*) {
        starts.push_back(Clock::now());
        if (workMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(workMs));
        ends.push_back(Clock::now());
        if (static_cast<int>(starts.size()) >= count)
            QCoreApplication::quit();
    });
    timer.SetEnabled(true);
    QApplication::exec();
    timer.SetEnabled(false);

    std::vector<double> periods;
    std::vector<double> gaps;
    for (size_t i = 1; i < starts.size(); ++i)
    {
        periods.push_back(std::chrono::duration<double, std::milli>(starts[i] - starts[i - 1]).count());
        gaps.push_back(std::chrono::duration<double, std::milli>(starts[i] - ends[i - 1]).count());
    }
    std::sort(periods.begin(), periods.end());
    std::sort(gaps.begin(), gaps.end());
    std::printf("%u ms timer, handler %d ms, idle loop: period median %.3f ms p99 %.3f ms; gap after a tick "
                "median %.3f ms min %.3f ms\n",
                interval, workMs, Percentile(periods, 0.5), Percentile(periods, 0.99), Percentile(gaps, 0.5),
                gaps.front());
}
} // namespace

int main(int argc, char** argv)
{
    constexpr int TickCount = 400;
    RegisterModules();
    QApplication application(argc, argv);
    MeasureIdle(20, 0, 100);
    MeasureIdle(5, 20, 60);
    TSpinner spinner;
    QCoreApplication::postEvent(&spinner, new QEvent(SpinEventType));

    std::vector<Clock::time_point> ticks;
    ticks.reserve(TickCount + 1);
    TAsyncTimer timer(nullptr);
    timer.SetInterval(30);
    timer.SetThreadPriority(tpNormal);
    timer.SetOnTimer([&](QObject*) {
        ticks.push_back(Clock::now());
        if (ticks.size() > TickCount)
            QCoreApplication::quit();
    });
    timer.SetEnabled(true);
    QApplication::exec();
    timer.SetEnabled(false);

    std::vector<double> periods;
    for (size_t i = 1; i < ticks.size(); ++i)
        periods.push_back(std::chrono::duration<double, std::milli>(ticks[i] - ticks[i - 1]).count());
    std::sort(periods.begin(), periods.end());
    const double mean = std::accumulate(periods.begin(), periods.end(), 0.0) / periods.size();
    std::printf("30 ms timer, %zu periods, busy user-interface thread (%ld posted events)\n", periods.size(),
                spinner.FSpins);
    std::printf("mean %.3f ms  median %.3f ms  p99 %.3f ms  max %.3f ms  min %.3f ms\n", mean,
                Percentile(periods, 0.5), Percentile(periods, 0.99), periods.back(), periods.front());
    return 0;
}
