#include "GLCadencer.h"

#include "Application.h"
#include "ClassRegistry.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

namespace
{
// The "TickGLCadencer" message the pump posts to itself.
const QEvent::Type TickEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// Ticks stamped in one millisecond beyond which the pump pauses for 1 ms.
constexpr int TooFastTickLimit = 5000;

qint64 MillisecondTickCount()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class TTickEvent : public QEvent
{
public:
    TTickEvent() : QEvent(TickEventType), Stamp(MillisecondTickCount()) {}
    const qint64 Stamp;
};

class TASAPHandler;

// The clocks in cmASAP mode and the pump that advances them. Unregistered
// clocks leave an empty entry, removed by the pump once it has gone through
// the list, so that the list never shifts under the pump's feet.
struct TCadencerModule
{
    std::unique_ptr<std::vector<TGLCadencer*>> ASAPList;
    TASAPHandler* Pump = nullptr;
    bool Advancing = false;

    ~TCadencerModule();
};

TCadencerModule Module;

// Runs the cmASAP clocks from a tick it posts to itself again after each round,
// so that every other event of the loop is handled between two rounds.
class TASAPHandler : public QObject
{
public:
    explicit TASAPHandler(QObject* parent) : QObject(parent) {}

    ~TASAPHandler() override
    {
        if (Module.Pump == this)
            Module.Pump = nullptr;
    }

    void PostTick() { QCoreApplication::postEvent(this, new TTickEvent); }

protected:
    bool event(QEvent* event) override
    {
        const bool isTick = event->type() == TickEventType;
        const bool isTimer = event->type() == QEvent::Timer && static_cast<QTimerEvent*>(event)->timerId() == FTimerId;
        if (!isTick && !isTimer)
        {
            FTooFastCount = 0;
            return QObject::event(event);
        }
        if (isTimer)
        {
            killTimer(FTimerId);
            FTimerId = 0;
        }
        GuardAgainstTooFastTicks(isTick ? static_cast<TTickEvent*>(event) : nullptr);
        // While the pause timer runs, the tick chain waits for it.
        if (FTimerId != 0 || Module.Advancing)
            return true;
        AdvanceClocks();
        return true;
    }

private:
    // With nothing else to do, ticks could come faster than the clock can
    // measure; a short pause then leaves the processor to the rest of the
    // system.
    void GuardAgainstTooFastTicks(const TTickEvent* tick)
    {
        if (tick == nullptr || tick->Stamp != MillisecondTickCount())
        {
            FTooFastCount = 0;
            return;
        }
        if (++FTooFastCount <= TooFastTickLimit)
            return;
        if (FTimerId == 0)
            FTimerId = startTimer(1, Qt::PreciseTimer);
        FTooFastCount = 0;
    }

    // May free the pump: nothing of it is used afterwards.
    void AdvanceClocks()
    {
        struct TAdvancingFlag
        {
            TAdvancingFlag() { Module.Advancing = true; }
            ~TAdvancingFlag() { Module.Advancing = false; }
        } advancing;

        std::vector<TGLCadencer*>& clocks = *Module.ASAPList;
        // Indexed, since a clock's progress may register further clocks.
        for (size_t i = clocks.size(); i-- > 0;)
        {
            TGLCadencer* const clock = clocks[i];
            if (clock == nullptr || clock->Mode() != cmASAP || !clock->Enabled() || clock->IsProgressing())
                continue;
            if (Application != nullptr && Application->Terminated())
            {
                clock->SetEnabled(false);
                continue;
            }
            AdvanceClock(clocks, i);
        }
        std::erase(clocks, nullptr);
        if (!clocks.empty())
        {
            PostTick();
            return;
        }
        Module.ASAPList.reset();
        Module.Pump = nullptr;
        delete this;
    }

    static void AdvanceClock(const std::vector<TGLCadencer*>& clocks, size_t index)
    {
        TGLCadencer* const clock = clocks[index];
        try
        {
            clock->Progress();
        }
        catch (...)
        {
            // Disabled before the report, whose message box runs a loop of
            // its own; a clock destroyed by its own step has left the list.
            if (clocks[index] == clock)
                clock->SetEnabled(false);
            ReportFailure(std::current_exception());
        }
    }

    int FTimerId = 0;
    int FTooFastCount = 0;
};

TCadencerModule::~TCadencerModule()
{
    delete Pump;
    ASAPList.reset();
}

bool InASAPList(const TGLCadencer* clock)
{
    return Module.ASAPList &&
           std::find(Module.ASAPList->begin(), Module.ASAPList->end(), clock) != Module.ASAPList->end();
}

void Sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
} // namespace

TGLCadencer::TGLCadencer(QObject* AOwner) : TComponent(AOwner)
{
    FOriginTime = ReferenceTime();
    FDownTime = FOriginTime;
}

TGLCadencer::~TGLCadencer()
{
    MarkDestroying();
    UnregisterASAP();
    FIdleTimer.reset();
}

void TGLCadencer::SetScene(TGLScene* value)
{
    if (value == FScene.data())
        return;
    FScene = value;
    UpdateRegistration();
}

void TGLCadencer::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    FEnabled = value;
    // Time spent disabled does not count.
    if (value)
        FOriginTime += ReferenceTime() - FDownTime;
    else
        FDownTime = ReferenceTime();
    UpdateRegistration();
}

void TGLCadencer::SetMode(TGLCadencerMode value)
{
    if (value == FMode)
        return;
    if (FMode != cmManual)
        Unregister();
    FMode = value;
    UpdateRegistration();
}

void TGLCadencer::SetTimeReference(TGLCadencerTimeReference value)
{
    if (value == FTimeReference)
        return;
    // References count from unrelated origins (the epoch, the boot, an
    // outside clock): the clock's origin moves with them so that its time goes
    // on from where it is.
    const double oldReference = ReferenceTime();
    FTimeReference = value;
    const double shift = ReferenceTime() - oldReference;
    FOriginTime += shift;
    FDownTime += shift;
}

void TGLCadencer::SetTimeMultiplier(double value)
{
    if (value == FTimeMultiplier)
        return;
    if (value == 0)
    {
        FSavedTimeMultiplier = FTimeMultiplier;
        SetEnabled(false);
        FTimeMultiplier = 0;
        return;
    }
    double oldMultiplier = FTimeMultiplier;
    if (oldMultiplier == 0)
    {
        oldMultiplier = FSavedTimeMultiplier;
        SetEnabled(true);
    }
    // The origin moves so that the clock time goes on from where it is.
    const double reference = ReferenceTime();
    FOriginTime = reference - (reference - FOriginTime) * oldMultiplier / value;
    FTimeMultiplier = value;
}

double TGLCadencer::ReferenceTime() const
{
    switch (FTimeReference)
    {
    case cmRTC:
        // Only differences count, so the origin of the day count is
        // immaterial; UTC keeps daylight-saving changes out of the steps.
        return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    case cmPerformanceCounter:
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    case cmExternal:
        return FCurrentTime;
    }
    return FCurrentTime;
}

double TGLCadencer::GetCurrentTime()
{
    const double clockTime = (ReferenceTime() - FOriginTime) * FTimeMultiplier;
    // An external reference time must survive the reading, or each reading
    // would subtract the origin again.
    if (FTimeReference != cmExternal)
        FCurrentTime = clockTime;
    return clockTime;
}

void TGLCadencer::Loaded()
{
    TComponent::Loaded();
    UpdateRegistration();
}

void TGLCadencer::UpdateRegistration()
{
    if (IsLoading())
        return;
    if (FMode == cmManual || FScene.isNull() || !FEnabled || IsDestroying())
        Unregister();
    else
        Register();
}

void TGLCadencer::Register()
{
    if (FMode == cmASAP)
    {
        RegisterASAP();
    }
    else if (FMode == cmApplicationIdle)
    {
        if (!FIdleTimer)
        {
            FIdleTimer = std::make_unique<QTimer>();
            FIdleTimer->setInterval(0);
            connect(FIdleTimer.get(), &QTimer::timeout, this, &TGLCadencer::RunIdleProgress);
        }
        FIdleTimer->start();
    }
}

void TGLCadencer::Unregister()
{
    if (FMode == cmASAP)
        UnregisterASAP();
    else if (FMode == cmApplicationIdle && FIdleTimer)
        FIdleTimer->stop();
}

void TGLCadencer::RegisterASAP()
{
    if (!Module.ASAPList)
        Module.ASAPList = std::make_unique<std::vector<TGLCadencer*>>();
    if (InASAPList(this))
        return;
    Module.ASAPList->push_back(this);
    if (Module.Pump == nullptr)
    {
        Module.Pump = new TASAPHandler(QCoreApplication::instance());
        Module.Pump->PostTick();
    }
}

void TGLCadencer::UnregisterASAP()
{
    if (Module.ASAPList)
        std::replace(Module.ASAPList->begin(), Module.ASAPList->end(), this, static_cast<TGLCadencer*>(nullptr));
}

bool TGLCadencer::PumpExists()
{
    return Module.Pump != nullptr;
}

// The zero-interval timer fires whenever the event loop has nothing else to do.
void TGLCadencer::RunIdleProgress()
{
    try
    {
        Progress();
    }
    catch (...)
    {
        // A failing clock would otherwise fail again at once, forever.
        SetEnabled(false);
        ReportFailure(std::current_exception());
    }
}

// False when this clock was destroyed or left the pump while the pending
// events ran.
bool TGLCadencer::SleepAndProcessMessages()
{
    if (FSleepLength >= 0)
        Sleep(FSleepLength);
    if (FMode != cmASAP)
        return true;
    const QPointer<TGLCadencer> self(this);
    // One pass of the event loop may serve only the busiest of its sources;
    // passes go on until none has work left, for about a millisecond at most
    // when events keep coming.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 0);
    return !self.isNull() && InASAPList(this);
}

void TGLCadencer::Progress()
{
    // A progress request made while this clock advances its scene.
    if (FProgressing < 0)
        return;
    if (FEnabled && !SleepAndProcessMessages())
        return;

    const QPointer<TGLCadencer> self(this);
    struct TProgressingCount
    {
        explicit TProgressingCount(const QPointer<TGLCadencer>& clock) : Clock(clock) { ++Clock->FProgressing; }
        ~TProgressingCount()
        {
            if (!Clock.isNull())
                --Clock->FProgressing;
        }
        const QPointer<TGLCadencer>& Clock;
    } progressing(self);

    if (!FEnabled)
        return;
    double newTime = GetCurrentTime();
    double deltaTime = newTime - FLastTime;
    if (deltaTime < FMinDeltaTime || deltaTime < FFixedDeltaTime)
        return;
    if (FMaxDeltaTime > 0 && deltaTime > FMaxDeltaTime)
    {
        // The excess is dropped from the clock's time for good.
        if (FTimeMultiplier != 0)
            FOriginTime += (deltaTime - FMaxDeltaTime) / FTimeMultiplier;
        deltaTime = FMaxDeltaTime;
        newTime = FLastTime + deltaTime;
    }
    const double step = FFixedDeltaTime > 0 ? FFixedDeltaTime : deltaTime;
    for (double remaining = deltaTime; remaining >= step; remaining -= step)
    {
        FLastTime += step;
        if (!FScene.isNull() && step != 0)
            AdvanceScene(step);
        if (self.isNull())
            return;
        ProgressSubscribers(step);
        if (FOnProgress)
            FOnProgress(this, step, newTime);
        // Handlers may destroy the clock they run from.
        if (self.isNull() || step <= 0)
            return;
    }
}

void TGLCadencer::AdvanceScene(double deltaTime)
{
    const QPointer<TGLCadencer> self(this);
    struct TSceneAdvancing
    {
        explicit TSceneAdvancing(const QPointer<TGLCadencer>& clock) : Clock(clock)
        {
            Clock->FProgressing = -Clock->FProgressing;
        }
        ~TSceneAdvancing()
        {
            if (!Clock.isNull())
                Clock->FProgressing = -Clock->FProgressing;
        }
        const QPointer<TGLCadencer>& Clock;
    } advancing(self);
    FScene->Advance(deltaTime, FLastTime);
}

void TGLCadencer::ProgressSubscribers(double deltaTime)
{
    if (!FSubscribedComponents)
        return;
    std::vector<TSubscription>& subscriptions = *FSubscribedComponents;
    // Components that left during an outer step are dropped only here, where
    // no other step is going through the list.
    if (FProgressing == 1)
        std::erase_if(subscriptions, [](const TSubscription& entry) { return entry.Component == nullptr; });
    const TProgressTimes times{deltaTime, FLastTime};
    for (size_t i = 0; i < subscriptions.size(); ++i)
    {
        if (subscriptions[i].Component != nullptr)
            subscriptions[i].Progressable->DoProgress(times);
    }
}

void TGLCadencer::SubscribeObject(QObject* component, TGLProgressable* progressable)
{
    if (component == nullptr)
        return;
    if (!FSubscribedComponents)
        FSubscribedComponents = std::make_unique<std::vector<TSubscription>>();
    for (const TSubscription& entry : *FSubscribedComponents)
    {
        if (entry.Component == component)
            return;
    }
    FSubscribedComponents->push_back({component, progressable});
    connect(component, &QObject::destroyed, this, &TGLCadencer::SubscriberDestroyed);
}

void TGLCadencer::Unsubscribe(QObject* component)
{
    if (component == nullptr)
        return;
    disconnect(component, &QObject::destroyed, this, &TGLCadencer::SubscriberDestroyed);
    SubscriberDestroyed(component);
}

// The entry is emptied rather than erased: a step may be going through the list.
void TGLCadencer::SubscriberDestroyed(QObject* component)
{
    if (!FSubscribedComponents)
        return;
    for (TSubscription& entry : *FSubscribedComponents)
    {
        if (entry.Component == component)
            entry = {nullptr, nullptr};
    }
}

void RegisterCadencer()
{
    TClassRegistry::RegisterClass<TGLCadencer>();
}
