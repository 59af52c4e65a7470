#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ThreadTypes
{
Q_NAMESPACE

enum TThreadPriority
{
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};
Q_ENUM_NS(TThreadPriority)
} // namespace ThreadTypes
using namespace ThreadTypes;

class TCallReceiver;

// A worker thread that can be created suspended, resumed, suspended again,
// asked to terminate and waited for, and that can run a call on the
// user-interface thread while it waits for that call to return.
//
// The thread is created suspended: Execute starts at the first Resume.
// Suspension takes effect at the points where Execute calls SuspensionPoint.
// Must be created and destroyed on the user-interface thread; a subclass calls
// EndAndWait in its destructor, before its own members go.
class TThread
{
public:
    TThread();
    virtual ~TThread();

    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Resume();
    void Suspend();
    bool Suspended() const;
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    bool Finished() const { return FFinished; }
    // Waits for the end of Execute. On the user-interface thread it keeps
    // running the calls the thread hands over, so that a thread blocked in
    // such a call can still come to its end.
    void WaitFor();

    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority value);

    // The failure that ended Execute, if any.
    std::exception_ptr FatalException() const { return FFatalException; }

    // Runs a call the thread has handed over and that is still waiting.
    void RunPendingCall();
    bool HasPendingCall();
    // The same for every thread; on the user-interface thread only.
    static void RunPendingCalls();

    // Destroys a thread. From inside a call that thread handed over (a timer
    // destroyed by its own tick) it cannot wait for the thread, which waits
    // for that very call: the thread is then asked to end and freed once the
    // call has returned.
    static void Free(std::unique_ptr<TThread> thread);

protected:
    virtual void Execute() = 0;

    // Blocks while the thread is suspended.
    void SuspensionPoint();
    // Asks Execute to end, lets a suspended thread go on, and waits for it.
    void EndAndWait();
    // Runs `method` on the user-interface thread and waits for it to return;
    // a failure it raises is raised again here.
    void Synchronize(const std::function<void()>& method);

private:
    void Run();
    void ApplyPriority();
    bool OnUserInterfaceThread() const;

    const std::thread::id FUserInterfaceThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<int> FNativeId{0};
    std::atomic<TThreadPriority> FPriority{tpNormal};
    std::exception_ptr FFatalException;

    mutable std::mutex FGateMutex;
    std::condition_variable FGateChanged;
    bool FSuspended;

    std::mutex FCallMutex;
    std::condition_variable FCallDone;
    const std::function<void()>* FPendingCall = nullptr;
    bool FCallComplete = false;
    std::exception_ptr FCallFailure;

    // User-interface thread only.
    bool FRunningCall = false;
    bool FFreeAfterCall = false;

    std::mutex FEndMutex;
    std::condition_variable FEnded;

    std::unique_ptr<TCallReceiver> FReceiver;
    std::thread FThread;
};
