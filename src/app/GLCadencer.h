#pragma once

#include "Component.h"
#include "SceneObjects.h"
#include "SceneTypes.h"

#include <QPointer>

#include <memory>
#include <vector>

class QTimer;

namespace CadencerTypes
{
Q_NAMESPACE

// What triggers a clock's progress.
enum TGLCadencerMode
{
    cmManual,
    cmASAP,
    cmApplicationIdle,
};
Q_ENUM_NS(TGLCadencerMode)

// Where a clock reads its reference time.
enum TGLCadencerTimeReference
{
    cmRTC,
    cmPerformanceCounter,
    cmExternal,
};
Q_ENUM_NS(TGLCadencerTimeReference)
} // namespace CadencerTypes
using namespace CadencerTypes;

// A component a clock advances after its scene, at every step.
class TGLProgressable
{
public:
    virtual ~TGLProgressable() = default;
    virtual void DoProgress(const TProgressTimes& times) = 0;
};

// The non-visual component that advances a scene in time: as often as the
// machine allows (cmASAP), when the event loop is idle, or when its owner calls
// Progress (cmManual).
class TGLCadencer : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(TGLScene* Scene READ Scene WRITE SetScene)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(CadencerTypes::TGLCadencerMode Mode READ Mode WRITE SetMode)
    Q_PROPERTY(CadencerTypes::TGLCadencerTimeReference TimeReference READ TimeReference WRITE SetTimeReference)
    Q_PROPERTY(double TimeMultiplier READ TimeMultiplier WRITE SetTimeMultiplier)
    Q_PROPERTY(double MaxDeltaTime READ MaxDeltaTime WRITE SetMaxDeltaTime)
    Q_PROPERTY(double MinDeltaTime READ MinDeltaTime WRITE SetMinDeltaTime)
    Q_PROPERTY(double FixedDeltaTime READ FixedDeltaTime WRITE SetFixedDeltaTime)
    Q_PROPERTY(int SleepLength READ SleepLength WRITE SetSleepLength)
    Q_PROPERTY(TGLProgressEvent OnProgress READ OnProgress WRITE SetOnProgress)

public:
    explicit TGLCadencer(QObject* AOwner);
    ~TGLCadencer() override;

    TGLScene* Scene() const { return FScene.data(); }
    void SetScene(TGLScene* value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    TGLCadencerMode Mode() const { return FMode; }
    void SetMode(TGLCadencerMode value);
    TGLCadencerTimeReference TimeReference() const { return FTimeReference; }
    void SetTimeReference(TGLCadencerTimeReference value);
    double TimeMultiplier() const { return FTimeMultiplier; }
    void SetTimeMultiplier(double value);
    double MaxDeltaTime() const { return FMaxDeltaTime; }
    void SetMaxDeltaTime(double value) { FMaxDeltaTime = value; }
    double MinDeltaTime() const { return FMinDeltaTime; }
    void SetMinDeltaTime(double value) { FMinDeltaTime = value; }
    double FixedDeltaTime() const { return FFixedDeltaTime; }
    void SetFixedDeltaTime(double value) { FFixedDeltaTime = value; }
    int SleepLength() const { return FSleepLength; }
    void SetSleepLength(int value) { FSleepLength = value; }
    TGLProgressEvent OnProgress() const { return FOnProgress; }
    void SetOnProgress(const TGLProgressEvent& value) { FOnProgress = value; }

    // In cmExternal the reference time itself, set from outside; otherwise the
    // clock time computed at the last reading.
    double CurrentTime() const { return FCurrentTime; }
    void SetCurrentTime(double value) { FCurrentTime = value; }
    // The clock time now, in seconds since clock time 0.
    double GetCurrentTime();
    // The clock time reached by the last step.
    double LastTime() const { return FLastTime; }
    bool IsProgressing() const { return FProgressing != 0; }

    // One step of the clock; in cmManual the owner calls it itself.
    void Progress();

    // `component` is advanced after the scene until it is unsubscribed or
    // destroyed.
    template <class T> void Subscribe(T* component) { SubscribeObject(component, component); }
    void Unsubscribe(QObject* component);

    void Loaded() override;

    // Whether the module's as-soon-as-possible pump exists.
    static bool PumpExists();

private:
    struct TSubscription
    {
        QObject* Component;
        TGLProgressable* Progressable;
    };

    double ReferenceTime() const;
    void UpdateRegistration();
    void Register();
    void Unregister();
    void RegisterASAP();
    void UnregisterASAP();
    void RunIdleProgress();
    bool SleepAndProcessMessages();
    void Step(double deltaTime, double newTime);
    void AdvanceScene(double deltaTime);
    void ProgressSubscribers(double deltaTime);
    void SubscribeObject(QObject* component, TGLProgressable* progressable);
    void SubscriberDestroyed(QObject* component);

    std::unique_ptr<std::vector<TSubscription>> FSubscribedComponents;
    QPointer<TGLScene> FScene;
    double FTimeMultiplier = 1.0;
    double FLastTime = 0;
    double FDownTime = 0;
    double FOriginTime = 0;
    double FSavedTimeMultiplier = 0;
    bool FEnabled = true;
    int FSleepLength = -1;
    TGLCadencerMode FMode = cmASAP;
    TGLCadencerTimeReference FTimeReference = cmPerformanceCounter;
    double FCurrentTime = 0;
    double FMaxDeltaTime = 0;
    double FMinDeltaTime = 0;
    double FFixedDeltaTime = 0;
    TGLProgressEvent FOnProgress;
    int FProgressing = 0;
    std::unique_ptr<QTimer> FIdleTimer;
};

// Registers the components of this module by class name.
void RegisterCadencer();
