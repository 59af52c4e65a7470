// Threads used where no application object exists: no QApplication here.

#include "app/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace
{
// Hands one call over and notes the thread it ran on.
class THandingThread : public TThread
{
public:
    ~THandingThread() override { EndAndWait(); }

    std::thread::id FRanOn;
    std::atomic<bool> FHandedOver{false};

protected:
    void Execute() override
    {
        FHandedOver = true;
        Synchronize([this] { FRanOn = std::this_thread::get_id(); });
    }
};
} // namespace

TEST(Thread, WithoutAnApplicationHandedOverCallsRunOnTheCreatingThread)
{
    THandingThread thread;
    thread.Resume();
    // The worker hands its call over and waits; nothing runs it on the worker.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(thread.FHandedOver);
    EXPECT_EQ(thread.FRanOn, std::thread::id());
    EXPECT_FALSE(thread.Finished());
    // Waiting on the creating thread serves the call, and the worker ends.
    thread.WaitFor();
    EXPECT_EQ(thread.FRanOn, std::this_thread::get_id());
    EXPECT_TRUE(thread.Finished());
}
