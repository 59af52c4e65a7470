#include "Thread.h"

#include "Exceptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

// Lives on the user-interface thread and runs the calls its thread hands over.
// The worker wakes it through an event counter watched by the message loop,
// so that handing over a call allocates nothing.
class TCallReceiver : public QObject
{
public:
    explicit TCallReceiver(TThread& thread)
        : FThread(thread), FEventFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
          FNotifier(FEventFd, QSocketNotifier::Read)
    {
        if (FEventFd < 0)
            throw EThread(QStringLiteral("Cannot create the wake-up counter of a thread"));
        connect(&FNotifier, &QSocketNotifier::activated, this, [this] {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t read = ::read(FEventFd, &count, sizeof count);
            FThread.RunPendingCall();
        });
    }

    ~TCallReceiver() override
    {
        FNotifier.setEnabled(false);
        ::close(FEventFd);
    }

    // Safe from any thread.
    void Wake() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(FEventFd, &one, sizeof one);
    }

private:
    TThread& FThread;
    const int FEventFd;
    QSocketNotifier FNotifier;
};

namespace
{
// The threads alive, for RunPendingCalls; touched on the user-interface
// thread only, where threads are made and destroyed.
std::vector<TThread*> LiveThreads;

// Niceness for each priority; raising above normal needs privileges and is
// skipped silently where the system refuses it.
int NiceValue(TThreadPriority priority)
{
    switch (priority)
    {
    case tpIdle: return 19;
    case tpLowest: return 10;
    case tpLower: return 5;
    case tpNormal: return 0;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -20;
    }
    return 0;
}
} // namespace

TThread::TThread()
    : FUserInterfaceThread(std::this_thread::get_id()), FSuspended(true),
      FReceiver(std::make_unique<TCallReceiver>(*this))
{
    FThread = std::thread([this] { Run(); });
    LiveThreads.push_back(this);
}

TThread::~TThread()
{
    EndAndWait();
    std::erase(LiveThreads, this);
}

void TThread::RunPendingCalls()
{
    // A call never starts inside another one from here: the calls of one
    // thread may rely on a call of another having returned (a window made by
    // one timer's tick is ticked by its own timer only afterwards).
    if (std::any_of(LiveThreads.begin(), LiveThreads.end(), [](const TThread* thread) { return thread->FRunningCall; }))
        return;
    // Indexed: a call may make or destroy threads.
    for (size_t i = 0; i < LiveThreads.size(); ++i)
        LiveThreads[i]->RunPendingCall();
}

void TThread::EndAndWait()
{
    if (!FFinished)
    {
        Terminate();
        Resume();
        WaitFor();
    }
    if (FThread.joinable())
        FThread.join();
}

void TThread::Run()
{
    FNativeId = static_cast<int>(::syscall(SYS_gettid));
    ApplyPriority();
    SuspensionPoint();
    if (!FTerminated)
    {
        try
        {
            Execute();
        }
        catch (...)
        {
            FFatalException = std::current_exception();
        }
    }
    {
        const std::lock_guard lock(FEndMutex);
        FFinished = true;
    }
    FEnded.notify_all();
}

void TThread::Resume()
{
    {
        const std::lock_guard lock(FGateMutex);
        FSuspended = false;
    }
    FGateChanged.notify_all();
}

void TThread::Suspend()
{
    const std::lock_guard lock(FGateMutex);
    FSuspended = true;
}

bool TThread::Suspended() const
{
    const std::lock_guard lock(FGateMutex);
    return FSuspended;
}

void TThread::SuspensionPoint()
{
    std::unique_lock lock(FGateMutex);
    FGateChanged.wait(lock, [this] { return !FSuspended; });
}

void TThread::WaitFor()
{
    const bool servesCalls = OnUserInterfaceThread();
    std::unique_lock lock(FEndMutex);
    while (!FFinished)
    {
        if (servesCalls)
        {
            lock.unlock();
            RunPendingCall();
            lock.lock();
        }
        FEnded.wait_for(lock, std::chrono::milliseconds(1));
    }
}

// The application's thread; without an application, the thread that created
// this one (never the worker itself, whose handed-over calls would otherwise
// run on it, beside the thread they were meant for).
bool TThread::OnUserInterfaceThread() const
{
    if (const QCoreApplication* application = QCoreApplication::instance())
        return QThread::currentThread() == application->thread();
    return std::this_thread::get_id() == FUserInterfaceThread;
}

void TThread::SetPriority(TThreadPriority value)
{
    FPriority = value;
    ApplyPriority();
}

void TThread::ApplyPriority()
{
    const int id = FNativeId;
    if (id != 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(id), NiceValue(FPriority));
}

void TThread::Synchronize(const std::function<void()>& method)
{
    if (OnUserInterfaceThread())
    {
        method();
        return;
    }
    {
        const std::lock_guard lock(FCallMutex);
        FPendingCall = &method;
        FCallComplete = false;
        FCallFailure = nullptr;
    }
    FReceiver->Wake();
    std::exception_ptr failure;
    {
        std::unique_lock lock(FCallMutex);
        FCallDone.wait(lock, [this] { return FCallComplete; });
        failure = FCallFailure;
    }
    if (failure)
        std::rethrow_exception(failure);
}

bool TThread::HasPendingCall()
{
    const std::lock_guard lock(FCallMutex);
    return FPendingCall != nullptr;
}

void TThread::RunPendingCall()
{
    const std::function<void()>* call = nullptr;
    {
        const std::lock_guard lock(FCallMutex);
        call = FPendingCall;
        FPendingCall = nullptr;
    }
    if (call == nullptr)
        return;
    std::exception_ptr failure;
    FRunningCall = true;
    try
    {
        (*call)();
    }
    catch (...)
    {
        failure = std::current_exception();
    }
    FRunningCall = false;
    {
        const std::lock_guard lock(FCallMutex);
        FCallFailure = failure;
        FCallComplete = true;
    }
    FCallDone.notify_all();
    // Freed during the call: the wake-up notifier that called us is still on
    // the stack, so the object goes at the next pass of the loop.
    if (FFreeAfterCall)
        QTimer::singleShot(0, QCoreApplication::instance(), [this] { delete this; });
}

void TThread::Free(std::unique_ptr<TThread> thread)
{
    // Otherwise the thread is destroyed on leaving, waiting for its end.
    if (thread == nullptr || !thread->FRunningCall || QCoreApplication::instance() == nullptr)
        return;
    thread->Terminate();
    thread->Resume();
    thread->FFreeAfterCall = true;
    thread.release();
}
