#include "Thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

namespace
{
const QEvent::Type CallEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// Lives on the user-interface thread and runs the calls its thread hands over.
class TCallReceiver : public QObject
{
public:
    explicit TCallReceiver(TThread& thread) : FThread(thread) {}

    bool event(QEvent* event) override
    {
        if (event->type() != CallEventType)
            return QObject::event(event);
        FThread.RunPendingCall();
        return true;
    }

private:
    TThread& FThread;
};

bool OnUserInterfaceThread()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return application == nullptr || QThread::currentThread() == application->thread();
}

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
    : FSuspended(true), FReceiver(std::make_unique<TCallReceiver>(*this))
{
    FThread = std::thread([this] { Run(); });
}

TThread::~TThread()
{
    EndAndWait();
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
    QCoreApplication::postEvent(FReceiver.get(), new QEvent(CallEventType));
    std::exception_ptr failure;
    {
        std::unique_lock lock(FCallMutex);
        FCallDone.wait(lock, [this] { return FCallComplete; });
        failure = FCallFailure;
    }
    if (failure)
        std::rethrow_exception(failure);
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
    try
    {
        (*call)();
    }
    catch (...)
    {
        failure = std::current_exception();
    }
    {
        const std::lock_guard lock(FCallMutex);
        FCallFailure = failure;
        FCallComplete = true;
    }
    FCallDone.notify_all();
}
