#pragma once

#include "Component.h"

#include <QString>

class TGLActor;
struct TBlendEntry;

// A component bound to an actor that may add a contribution to the actor's
// pose. Binding and unbinding go both ways: destroying either side unbinds.
class TGLBaseAnimationControler : public TComponent
{
    Q_OBJECT
    Q_MOC_INCLUDE("GLActor.h")
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(TGLActor* Actor READ Actor WRITE SetActor)

public:
    explicit TGLBaseAnimationControler(QObject* AOwner);
    ~TGLBaseAnimationControler() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    TGLActor* Actor() const { return FActor; }
    // Leaves the old actor's controlers and joins the new one's.
    void SetActor(TGLActor* value);

    // Fills `entry` and answers true when this controler contributes.
    virtual bool ContributeBlend(TBlendEntry& entry) const;

protected:
    // Asks the actor to be drawn again.
    virtual void DoChange();

private:
    bool FEnabled = true;
    TGLActor* FActor = nullptr;
};

// Adds a point of one of the actor's animations, chosen by a ratio between
// the animation's first (0) and last (1) frame.
class TGLAnimationControler : public TGLBaseAnimationControler
{
    Q_OBJECT
    Q_PROPERTY(QString AnimationName READ AnimationName WRITE SetAnimationName)
    Q_PROPERTY(float Ratio READ Ratio WRITE SetRatio)

public:
    explicit TGLAnimationControler(QObject* AOwner);

    QString AnimationName() const { return FAnimationName; }
    void SetAnimationName(const QString& value);
    float Ratio() const { return FRatio; }
    // Clamped to [0, 1].
    void SetRatio(float value);

    bool ContributeBlend(TBlendEntry& entry) const override;

protected:
    // Without an animation name nothing is contributed: nothing to redraw.
    void DoChange() override;

private:
    QString FAnimationName;
    float FRatio = 0;
};
