#include "GLAnimationControler.h"

#include "GLActor.h"

#include <cmath>

// ------------------------------------------------------------------- base

TGLBaseAnimationControler::TGLBaseAnimationControler(QObject* AOwner) : TComponent(AOwner) {}

TGLBaseAnimationControler::~TGLBaseAnimationControler()
{
    SetActor(nullptr);
}

void TGLBaseAnimationControler::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    FEnabled = value;
    if (FActor != nullptr)
        DoChange();
}

void TGLBaseAnimationControler::SetActor(TGLActor* value)
{
    if (value == FActor)
        return;
    if (FActor != nullptr)
        FActor->UnRegisterControler(this);
    FActor = value;
    if (FActor != nullptr)
    {
        FActor->RegisterControler(this);
        DoChange();
    }
}

bool TGLBaseAnimationControler::ContributeBlend(TBlendEntry&) const
{
    return false;
}

void TGLBaseAnimationControler::DoChange()
{
    if (FActor != nullptr)
        FActor->NotifyChanged();
}

// -------------------------------------------------------------- controler

TGLAnimationControler::TGLAnimationControler(QObject* AOwner) : TGLBaseAnimationControler(AOwner) {}

void TGLAnimationControler::SetAnimationName(const QString& value)
{
    if (value == FAnimationName)
        return;
    FAnimationName = value;
    DoChange();
}

void TGLAnimationControler::SetRatio(float value)
{
    if (value == FRatio)
        return;
    // A NaN would become a frame index of no meaning: it counts as 0.
    FRatio = value > 1 ? 1 : (value >= 0 ? value : 0);
    DoChange();
}

void TGLAnimationControler::DoChange()
{
    if (!FAnimationName.isEmpty())
        TGLBaseAnimationControler::DoChange();
}

bool TGLAnimationControler::ContributeBlend(TBlendEntry& entry) const
{
    if (!Enabled() || Actor() == nullptr)
        return false;
    const TActorAnimation* const animation = Actor()->Animations()->FindAnimation(FAnimationName);
    if (animation == nullptr)
        return false;
    const int start = animation->StartFrame();
    const int end = animation->EndFrame();
    entry = TBlendEntry();
    if (FRatio == 0)
        entry.FrameIndex1 = entry.FrameIndex2 = start;
    else if (FRatio == 1)
        entry.FrameIndex1 = entry.FrameIndex2 = end;
    else
    {
        const float frame = static_cast<float>(end - start) * FRatio + static_cast<float>(start);
        const float whole = std::trunc(frame);
        entry.FrameIndex1 = static_cast<int>(whole);
        entry.FrameIndex2 = entry.FrameIndex1 + 1;
        entry.LerpFactor = frame - whole;
    }
    return true;
}
