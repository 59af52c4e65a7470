#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>
#include <vector>

// Pieces shared by the benchmarks that run a window in timed rounds.

// The process's processor time, all threads (the software renderer's too).
inline double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Every value, for a script that pools several runs.
inline void PrintSeries(const char* key, const std::vector<double>& values)
{
    std::printf("RESULT %s", key);
    for (const double value : values)
        std::printf(" %.3f", value);
    std::printf("\n");
}

inline void RunEventsFor(const qint64 ms)
{
    QElapsedTimer phase;
    phase.start();
    while (phase.elapsed() < ms)
        QCoreApplication::processEvents();
}
