#include "TerminationSignals.h"

#include "Exceptions.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// The only state a signal handler may touch.
volatile std::sig_atomic_t SignalWriteEnd = -1;

extern "C" void WriteSignalByte(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a pending request; losing this byte is fine.
    [[maybe_unused]] const ssize_t written = ::write(SignalWriteEnd, &byte, 1);
    errno = savedErrno;
}

void Install(int signalNumber, struct sigaction& previous)
{
    struct sigaction action{};
    action.sa_handler = WriteSignalByte;
    sigemptyset(&action.sa_mask);
    // Calls that the signal interrupts in other threads go on as if nothing
    // had happened.
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, &previous);
}
} // namespace

TTerminationSignals::TTerminationSignals(std::function<void()> onSignal)
    : FOnSignal(std::move(onSignal))
{
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        throw EThread(QStringLiteral("Cannot create the pipe for termination signals"));
    FReadEnd = ends[0];
    FWriteEnd = ends[1];
    SignalWriteEnd = FWriteEnd;
    FNotifier = new QSocketNotifier(FReadEnd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] {
        Drain();
        FOnSignal();
    });
    Install(SIGTERM, FPreviousTerm);
    Install(SIGINT, FPreviousInt);
}

TTerminationSignals::~TTerminationSignals()
{
    ::sigaction(SIGTERM, &FPreviousTerm, nullptr);
    ::sigaction(SIGINT, &FPreviousInt, nullptr);
    SignalWriteEnd = -1;
    FNotifier->setEnabled(false);
    ::close(FReadEnd);
    ::close(FWriteEnd);
}

void TTerminationSignals::Hold()
{
    if (FHolds++ == 0)
        FNotifier->setEnabled(false);
}

void TTerminationSignals::Resume()
{
    if (FHolds > 0 && --FHolds == 0)
        FNotifier->setEnabled(true);
}

void TTerminationSignals::Drain() const
{
    char bytes[16];
    while (::read(FReadEnd, bytes, sizeof bytes) > 0)
    {
    }
}
