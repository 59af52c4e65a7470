// Threads used where no application object exists: no QApplication here.

#include "app/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

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

// Hands over the call it was given.
class TCallingThread : public TThread
{
public:
    explicit TCallingThread(std::function<void()> call) : FCall(std::move(call)) {}
    ~TCallingThread() override { EndAndWait(); }

protected:
    void Execute() override { Synchronize(FCall); }

private:
    const std::function<void()> FCall;
};

void WaitUntilHandedOver(TCallingThread& thread)
{
    while (!thread.HasPendingCall())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
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

TEST(Thread, PendingCallsOfEveryThreadRunFromOnePlaceButNeverInsideAnotherCall)
{
    std::vector<std::string> order;
    TCallingThread first(
        [&order]
        {
            order.push_back("first begins");
            // The second call is waiting meanwhile: started here, it would
            // run inside this one.
            TThread::RunPendingCalls();
            order.push_back("first ends");
        });
    TCallingThread second([&order] { order.push_back("second"); });
    first.Resume();
    second.Resume();
    WaitUntilHandedOver(first);
    WaitUntilHandedOver(second);

    TThread::RunPendingCalls();
    EXPECT_EQ(order, (std::vector<std::string>{"first begins", "first ends", "second"}));
    first.WaitFor();
    second.WaitFor();
    EXPECT_TRUE(first.Finished());
    EXPECT_TRUE(second.Finished());
}
