#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <functional>

// Turns SIGTERM and SIGINT (a closing session, `kill`, Ctrl+C in the terminal)
// into a call on the user-interface thread, made from the message loop. The
// signal handler only writes a byte into a pipe; everything else happens when
// the loop reads it.
class TTerminationSignals : public QObject
{
public:
    // Installs the handlers; the previous ones come back on destruction.
    explicit TTerminationSignals(std::function<void()> onSignal);
    ~TTerminationSignals() override;

    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

    // While held, a signal waits; it is acted on at the first pass of the
    // loop after the last Resume.
    void Hold();
    void Resume();

private:
    void Drain() const;

    const std::function<void()> FOnSignal;
    int FReadEnd = -1;
    int FWriteEnd = -1;
    int FHolds = 0;
    struct sigaction FPreviousTerm{};
    struct sigaction FPreviousInt{};
    QSocketNotifier* FNotifier = nullptr;
};
