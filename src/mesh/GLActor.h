#pragma once

#include "ActorTypes.h"
#include "Component.h"
#include "Events.h"
#include "GLBaseMesh.h"
#include "Skeleton.h"

#include <QString>

#include <memory>
#include <vector>

class TActorAnimations;
class TGLActor;
class TGLBaseAnimationControler;
class TMorphableMeshObject;

// A named range of an actor's frames. Made and owned by a TActorAnimations
// (see TActorAnimations::Add).
class TActorAnimation : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int StartFrame READ StartFrame WRITE SetStartFrame)
    Q_PROPERTY(int EndFrame READ EndFrame WRITE SetEndFrame)
    Q_PROPERTY(ActorTypes::TActorAnimationReference Reference READ Reference WRITE SetReference)

public:
    explicit TActorAnimation(TActorAnimations* collection);
    // The actor forgets it as the target of a smooth switch.
    ~TActorAnimation() override;

    TActorAnimations* Collection() const { return FCollection; }
    TGLActor* Owner() const;
    int Index() const;
    // "index - name [start - end]".
    QString DisplayName() const;

    QString Name() const { return FName; }
    void SetName(const QString& value) { FName = value; }
    // Both clamp to the owner's frames for this animation's reference and
    // keep start <= end by moving the other end.
    int StartFrame() const { return FStartFrame; }
    void SetStartFrame(int value);
    int EndFrame() const { return FEndFrame; }
    void SetEndFrame(int value);
    TActorAnimationReference Reference() const { return FReference; }
    void SetReference(TActorAnimationReference value);

    // The owner's frame count for this animation's reference.
    int FrameTotal() const;
    void Assign(const TActorAnimation& source);

private:
    int ClampToFrames(int value) const;

    TActorAnimations* const FCollection;
    QString FName;
    int FStartFrame = 0;
    int FEndFrame = 0;
    TActorAnimationReference FReference = aarMorph;
};

// An actor's animations in order; owns them. In a layout it is a list of
// items, each a list of the item's properties.
class TActorAnimations : public QObject, public TLayoutValue
{
    Q_OBJECT

public:
    explicit TActorAnimations(TGLActor* owner);
    ~TActorAnimations() override;

    TGLActor* Owner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TActorAnimation& operator[](int index) const { return *FItems.at(static_cast<size_t>(index)); }
    int IndexOf(const TActorAnimation* item) const;
    TActorAnimation& Add();
    void Delete(int index);
    void Clear();
    // The first item whose name equals `name` with ASCII letters compared
    // regardless of case; nullptr when none does.
    TActorAnimation* FindAnimation(const QString& name) const;
    void Assign(const TActorAnimations& source);

    void ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader) override;

private:
    TGLActor* const FOwner;
    std::vector<std::unique_ptr<TActorAnimation>> FItems;
};

// A mesh whose frames are played back in time: the skeleton's frames or the
// mesh objects' morph targets, in named ranges. Drawn directly every frame
// from a pose interpolated between the current frame and the following one.
class TGLActor : public TGLBaseMesh
{
    Q_OBJECT
    Q_MOC_INCLUDE("GLMaterialLibrary.h")
    Q_PROPERTY(int StartFrame READ StartFrame WRITE SetStartFrame)
    Q_PROPERTY(int EndFrame READ EndFrame WRITE SetEndFrame)
    Q_PROPERTY(ActorTypes::TActorAnimationReference Reference READ Reference WRITE SetReference)
    Q_PROPERTY(int CurrentFrame READ CurrentFrame WRITE SetCurrentFrame)
    Q_PROPERTY(float CurrentFrameDelta READ CurrentFrameDelta WRITE SetCurrentFrameDelta)
    Q_PROPERTY(ActorTypes::TActorFrameInterpolation FrameInterpolation READ FrameInterpolation WRITE SetFrameInterpolation)
    Q_PROPERTY(ActorTypes::TActorAnimationMode AnimationMode READ AnimationMode WRITE SetAnimationMode)
    Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
    Q_PROPERTY(ActorTypes::TGLActorOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(TNotifyEvent OnFrameChanged READ OnFrameChanged WRITE SetOnFrameChanged)
    Q_PROPERTY(TNotifyEvent OnEndFrameReached READ OnEndFrameReached WRITE SetOnEndFrameReached)
    Q_PROPERTY(TNotifyEvent OnStartFrameReached READ OnStartFrameReached WRITE SetOnStartFrameReached)
    Q_PROPERTY(TActorAnimations* Animations READ Animations)
    Q_PROPERTY(MeshTypes::TMeshAutoCenterings AutoCentering READ AutoCentering WRITE SetAutoCentering)
    Q_PROPERTY(TGLMaterialLibrary* MaterialLibrary READ MaterialLibrary WRITE SetMaterialLibrary)
    Q_PROPERTY(TGLMaterialLibrary* LightmapLibrary READ LightmapLibrary WRITE SetLightmapLibrary)
    Q_PROPERTY(bool UseMeshMaterials READ UseMeshMaterials WRITE SetUseMeshMaterials)
    Q_PROPERTY(MeshTypes::TMeshNormalsOrientation NormalsOrientation READ NormalsOrientation WRITE SetNormalsOrientation)
    Q_PROPERTY(bool OverlaySkeleton READ OverlaySkeleton WRITE SetOverlaySkeleton)

public:
    explicit TGLActor(QObject* AOwner);
    // Unbinds its controlers before anything of the actor goes.
    ~TGLActor() override;

    int StartFrame() const { return FStartFrame; }
    // Out-of-range values are ignored; the range and the current frame are
    // then brought back into agreement.
    void SetStartFrame(int value);
    int EndFrame() const { return FEndFrame; }
    void SetEndFrame(int value);
    int CurrentFrame() const { return FCurrentFrame; }
    // Clamped to the frames; a new frame restarts the delta, may turn the
    // mode round at the ends of the range, and fires OnFrameChanged.
    void SetCurrentFrame(int value);

    TActorAnimationReference Reference() const { return FReference; }
    void SetReference(TActorAnimationReference value) { FReference = value; }
    float CurrentFrameDelta() const { return FCurrentFrameDelta; }
    void SetCurrentFrameDelta(float value) { FCurrentFrameDelta = value; }
    TActorFrameInterpolation FrameInterpolation() const { return FFrameInterpolation; }
    void SetFrameInterpolation(TActorFrameInterpolation value) { FFrameInterpolation = value; }
    TActorAnimationMode AnimationMode() const { return FAnimationMode; }
    void SetAnimationMode(TActorAnimationMode value) { FAnimationMode = value; }
    // Milliseconds per frame.
    int Interval() const { return FInterval; }
    void SetInterval(int value) { FInterval = value; }
    TGLActorOptions Options() const { return FOptions; }
    void SetOptions(TGLActorOptions value);
    TNotifyEvent OnFrameChanged() const { return FOnFrameChanged; }
    void SetOnFrameChanged(const TNotifyEvent& value) { FOnFrameChanged = value; }
    TNotifyEvent OnEndFrameReached() const { return FOnEndFrameReached; }
    void SetOnEndFrameReached(const TNotifyEvent& value) { FOnEndFrameReached = value; }
    TNotifyEvent OnStartFrameReached() const { return FOnStartFrameReached; }
    void SetOnStartFrameReached(const TNotifyEvent& value) { FOnStartFrameReached = value; }
    TActorAnimations* Animations() const { return FAnimations.get(); }
    void SetAnimations(const TActorAnimations& value) { FAnimations->Assign(value); }
    // The target of a smooth switch, adopted at the next whole frame.
    TActorAnimation* PendingAnimation() const { return FPendingAnimation; }

    // The frames the reference addresses: the fewest morph targets of the
    // mesh objects that can morph, or the skeleton's frames.
    int FrameTotal() const { return FrameTotalFor(FReference); }
    int FrameTotalFor(TActorAnimationReference reference) const;

    // Does nothing when no animation has the name (compared regardless of
    // ASCII case).
    void SwitchAnimation(const QString& name, bool smooth = false);
    void SwitchToAnimation(TActorAnimation& animation, bool smooth = false);
    // The frame the clock moves to next; the pending animation's start frame
    // while a smooth switch waits.
    int FollowingFrame() const;
    // Steps `count` frames, firing the end and start events at each step.
    void AdvanceFrames(int count);
    void SynchronizeWith(const TGLActor* other);
    void Assign(const TGLActor& source);

    // The controlers bound to this actor, in registration order; nullptr
    // while none is.
    const std::vector<TGLBaseAnimationControler*>* Controlers() const { return FControlers.get(); }

    void LoadFromStream(const QString& fileName, QIODevice& stream) override;
    void PrepareMesh() override;
    void AdvanceTime(const TProgressTimes& times) override;
    void EmitGeometry(TRenderContextInfo& info) override;

private:
    friend class TActorAnimation;
    friend class TGLBaseAnimationControler;

    void ForgetAnimation(const TActorAnimation* animation);
    void RegisterControler(TGLBaseAnimationControler* controler);
    void UnRegisterControler(TGLBaseAnimationControler* controler);
    bool ClockStopped() const;
    void AdoptPendingAnimation();
    void FireFrameEvents();
    void AssignMeshProperties(const TGLActor& source);

    void UpdatePose();
    void PoseSkeleton(int next);
    void BlendWithControlers(int next);
    void PoseMorphTargets(int next);
    void MorphObject(TMorphableMeshObject& object, int next) const;
    void DrawSkeletonOverlay(TRenderContextInfo& info);

    int FStartFrame = 0;
    int FEndFrame = 0;
    TActorAnimationReference FReference = aarMorph;
    int FCurrentFrame = 0;
    float FCurrentFrameDelta = 0;
    TActorFrameInterpolation FFrameInterpolation = afpLinear;
    TActorAnimationMode FAnimationMode = aamNone;
    int FInterval = 100;
    TGLActorOptions FOptions = aoSkeletonNormalizeNormals;
    TNotifyEvent FOnFrameChanged;
    TNotifyEvent FOnEndFrameReached;
    TNotifyEvent FOnStartFrameReached;
    const std::unique_ptr<TActorAnimations> FAnimations;
    TActorAnimation* FPendingAnimation = nullptr;
    std::unique_ptr<std::vector<TGLBaseAnimationControler*>> FControlers;
    // The pose's contributions, kept so that no frame allocates.
    std::vector<TBlendEntry> FBlendEntries;
};
