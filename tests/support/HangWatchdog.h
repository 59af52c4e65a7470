#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

// Ends the test process with a message when the test has not finished within
// its time: a deadlocked user-interface thread cannot fail the test itself.
class THangWatchdog
{
public:
    THangWatchdog(std::chrono::milliseconds limit, const char* what)
        : FThread([this, limit, what] {
              std::unique_lock lock(FMutex);
              if (!FDone.wait_for(lock, limit, [this] { return FFinished; }))
              {
                  std::fprintf(stderr, "Hung: %s did not finish within %lld ms\n", what,
                               static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          })
    {
    }

    ~THangWatchdog()
    {
        {
            const std::lock_guard lock(FMutex);
            FFinished = true;
        }
        FDone.notify_all();
        FThread.join();
    }

    THangWatchdog(const THangWatchdog&) = delete;
    THangWatchdog& operator=(const THangWatchdog&) = delete;

private:
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FFinished = false;
    std::thread FThread;
};
