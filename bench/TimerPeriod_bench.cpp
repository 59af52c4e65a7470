// Measures the real period of a 30 ms asynchronous timer while the
// user-interface thread is kept busy by an as-fast-as-possible loop of posted
// events, as the fight's frame clock keeps it busy.

#include "AsyncTimer.h"
#include "Startup.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
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
} // namespace

int main(int argc, char** argv)
{
    constexpr int TickCount = 400;
    RegisterModules();
    QApplication application(argc, argv);
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
