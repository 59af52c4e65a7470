#include "GLActor.h"

#include "Exceptions.h"
#include "GLAnimationControler.h"
#include "LayoutReader.h"
#include "ScopeGuard.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
char16_t AsciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Animation names are matched the way the game's files name them: only the
// ASCII letters fold, so "é" and "É" stay distinct.
bool SameNameIgnoringAsciiCase(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i].unicode()) != AsciiUpper(b[i].unicode()))
            return false;
    return true;
}

bool IsFrameIndex(int index, int frameCount)
{
    return index >= 0 && index < frameCount;
}

// A delta beyond the int range (a clock stalled for ages, an infinite step)
// must not reach the conversion, whose result would be undefined.
int WholeFrames(float delta)
{
    const float whole = std::trunc(delta);
    if (!(whole < static_cast<float>(std::numeric_limits<int>::max())))
        return std::numeric_limits<int>::max();
    return static_cast<int>(whole);
}
} // namespace

// ------------------------------------------------------------- animation

TActorAnimation::TActorAnimation(TActorAnimations* collection) : FCollection(collection) {}

TActorAnimation::~TActorAnimation()
{
    if (TGLActor* const actor = Owner())
        actor->ForgetAnimation(this);
}

TGLActor* TActorAnimation::Owner() const
{
    return FCollection != nullptr ? FCollection->Owner() : nullptr;
}

int TActorAnimation::Index() const
{
    return FCollection != nullptr ? FCollection->IndexOf(this) : -1;
}

QString TActorAnimation::DisplayName() const
{
    return QStringLiteral("%1 - %2 [%3 - %4]").arg(Index()).arg(FName).arg(FStartFrame).arg(FEndFrame);
}

int TActorAnimation::FrameTotal() const
{
    const TGLActor* const actor = Owner();
    return actor != nullptr ? actor->FrameTotalFor(FReference) : 0;
}

// A layout is read before any model is loaded: its stored ranges would all
// clamp to nothing, so they are kept as stored.
int TActorAnimation::ClampToFrames(int value) const
{
    const TGLActor* const actor = Owner();
    if (actor != nullptr && actor->IsLoading())
        return value;
    if (value < 0)
        return 0;
    const int total = FrameTotal();
    return value >= total ? total - 1 : value;
}

void TActorAnimation::SetStartFrame(int value)
{
    FStartFrame = ClampToFrames(value);
    if (FEndFrame < FStartFrame)
        FEndFrame = FStartFrame;
}

void TActorAnimation::SetEndFrame(int value)
{
    FEndFrame = ClampToFrames(value);
    if (FEndFrame < FStartFrame)
        FStartFrame = FEndFrame;
}

void TActorAnimation::SetReference(TActorAnimationReference value)
{
    if (value == FReference)
        return;
    FReference = value;
    SetStartFrame(FStartFrame);
    SetEndFrame(FEndFrame);
}

void TActorAnimation::Assign(const TActorAnimation& source)
{
    FName = source.FName;
    FStartFrame = source.FStartFrame;
    FEndFrame = source.FEndFrame;
    FReference = source.FReference;
}

// ------------------------------------------------------------ animations

TActorAnimations::TActorAnimations(TGLActor* owner) : FOwner(owner) {}

TActorAnimations::~TActorAnimations()
{
    Clear();
}

int TActorAnimations::IndexOf(const TActorAnimation* item) const
{
    const auto found =
        std::find_if(FItems.begin(), FItems.end(), [item](const auto& candidate) { return candidate.get() == item; });
    return found != FItems.end() ? static_cast<int>(found - FItems.begin()) : -1;
}

TActorAnimation& TActorAnimations::Add()
{
    FItems.push_back(std::make_unique<TActorAnimation>(this));
    return *FItems.back();
}

void TActorAnimations::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw EAssertionFailed(QStringLiteral("Animation index %1 out of range").arg(index));
    // Out of the list before it is destroyed, so that its destructor sees a
    // consistent collection.
    const std::unique_ptr<TActorAnimation> item = std::move(FItems[static_cast<size_t>(index)]);
    FItems.erase(FItems.begin() + index);
}

void TActorAnimations::Clear()
{
    while (!FItems.empty())
        Delete(Count() - 1);
}

TActorAnimation* TActorAnimations::FindAnimation(const QString& name) const
{
    for (const auto& item : FItems)
        if (SameNameIgnoringAsciiCase(item->Name(), name))
            return item.get();
    return nullptr;
}

void TActorAnimations::Assign(const TActorAnimations& source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& item : source.FItems)
        Add().Assign(*item);
}

void TActorAnimations::ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader)
{
    if (!value.isArray())
        reader.Fail(QStringLiteral("needs a list of animations"));
    Clear();
    for (const QJsonValue& entry : value.toArray())
    {
        if (!entry.isArray())
            reader.Fail(QStringLiteral("needs each animation as a list of properties"));
        reader.ApplyProperties(&Add(), entry);
    }
}

// ----------------------------------------------------------------- actor

TGLActor::TGLActor(QObject* AOwner)
    : TGLBaseMesh(AOwner), FAnimations(std::make_unique<TActorAnimations>(this))
{
    // The pose changes every frame: a display list would only be recompiled.
    SetObjectStyle(ObjectStyle() | osDirectDraw);
    FBlendEntries.reserve(1);
}

TGLActor::~TGLActor()
{
    while (FControlers != nullptr)
        FControlers->back()->SetActor(nullptr);
    FAnimations->Clear();
}

// ------------------------------------------------------------ properties

void TGLActor::SetCurrentFrame(int value)
{
    if (value == FCurrentFrame)
        return;
    const int total = FrameTotal();
    if (value > total - 1)
        value = total - 1;
    else if (value < 0)
        value = 0;
    FCurrentFrame = value;
    FCurrentFrameDelta = 0;
    if (FAnimationMode == aamPlayOnce && FCurrentFrame == FEndFrame)
        FAnimationMode = aamNone;
    else if (FAnimationMode == aamBounceForward && FCurrentFrame == FEndFrame)
        FAnimationMode = aamBounceBackward;
    else if (FAnimationMode == aamBounceBackward && FCurrentFrame == FStartFrame)
        FAnimationMode = aamBounceForward;
    MarkStructureChanged();
    if (FOnFrameChanged)
        FOnFrameChanged(this);
}

void TGLActor::SetStartFrame(int value)
{
    if (value >= 0 && value < FrameTotal() && value != FStartFrame)
        FStartFrame = value;
    if (FEndFrame < FStartFrame)
        FEndFrame = FStartFrame;
    if (FCurrentFrame < FStartFrame)
        SetCurrentFrame(FStartFrame);
}

void TGLActor::SetEndFrame(int value)
{
    if (value >= 0 && value < FrameTotal() && value != FEndFrame)
        FEndFrame = value;
    if (FEndFrame < FCurrentFrame)
        SetCurrentFrame(FEndFrame);
}

void TGLActor::SetOptions(TGLActorOptions value)
{
    if (value == FOptions)
        return;
    FOptions = value;
    MarkStructureChanged();
}

int TGLActor::FrameTotalFor(TActorAnimationReference reference) const
{
    switch (reference)
    {
    case aarMorph:
    {
        int fewest = -1;
        for (int i = 0; i < MeshObjects().Count(); ++i)
            if (const auto* object = dynamic_cast<const TMorphableMeshObject*>(&MeshObjects()[i]))
                fewest = fewest < 0 ? object->MorphTargets.Count() : std::min(fewest, object->MorphTargets.Count());
        return std::max(fewest, 0);
    }
    case aarSkeleton: return Skeleton().Frames().Count();
    case aarNone: return 0;
    }
    throw EAssertionFailed(QStringLiteral("Unknown animation reference %1").arg(static_cast<int>(reference)));
}

void TGLActor::ForgetAnimation(const TActorAnimation* animation)
{
    if (FPendingAnimation == animation)
        FPendingAnimation = nullptr;
}

// ------------------------------------------------------------- switching

void TGLActor::SwitchAnimation(const QString& name, bool smooth)
{
    if (TActorAnimation* const animation = FAnimations->FindAnimation(name))
        SwitchToAnimation(*animation, smooth);
}

// An immediate switch leaves a pending smooth one in place: it still wins at
// the next whole frame.
void TGLActor::SwitchToAnimation(TActorAnimation& animation, bool smooth)
{
    if (smooth)
    {
        FPendingAnimation = &animation;
        FCurrentFrameDelta = 0;
        return;
    }
    FReference = animation.Reference();
    SetStartFrame(animation.StartFrame());
    SetEndFrame(animation.EndFrame());
    SetCurrentFrame(FStartFrame);
}

int TGLActor::FollowingFrame() const
{
    if (FAnimationMode != aamExternal && FPendingAnimation != nullptr)
        return FPendingAnimation->StartFrame();
    const int current = FCurrentFrame;
    switch (FAnimationMode)
    {
    case aamNone:
    case aamPlayOnce: return std::min(current + 1, FEndFrame);
    case aamLoop:
    case aamBounceForward:
        return current + 1 <= FEndFrame ? current + 1 : std::min(FEndFrame, current + FStartFrame - FEndFrame);
    case aamBounceBackward:
    case aamLoopBackward:
        return current - 1 >= FStartFrame ? current - 1 : std::max(FStartFrame, FEndFrame + current - FStartFrame);
    case aamExternal: return current;
    }
    throw EAssertionFailed(QStringLiteral("Unknown animation mode %1").arg(static_cast<int>(FAnimationMode)));
}

// ------------------------------------------------------------------ time

void TGLActor::AdvanceFrames(int count)
{
    for (int i = 0; i < count; ++i)
    {
        SetCurrentFrame(FollowingFrame());
        FireFrameEvents();
    }
}

// Each handler may switch animations: the second test reads the state the
// first one left.
void TGLActor::FireFrameEvents()
{
    if (FOnEndFrameReached && FCurrentFrame == FEndFrame)
        FOnEndFrameReached(this);
    if (FOnStartFrameReached && FCurrentFrame == FStartFrame)
        FOnStartFrameReached(this);
}

bool TGLActor::ClockStopped() const
{
    return FAnimationMode == aamNone || FInterval < 1 || FStartFrame == FEndFrame || FrameTotal() < 2;
}

void TGLActor::AdoptPendingAnimation()
{
    if (FPendingAnimation == nullptr)
        return;
    SwitchToAnimation(*FPendingAnimation, false);
    FPendingAnimation = nullptr;
}

void TGLActor::AdvanceTime(const TProgressTimes& times)
{
    TGLBaseMesh::AdvanceTime(times);
    if (ClockStopped())
        return;
    FCurrentFrameDelta = static_cast<float>(FCurrentFrameDelta + times.DeltaTime * 1000 / FInterval);
    if (FCurrentFrameDelta > 1)
    {
        AdoptPendingAnimation();
        // The adoption normally restarted the delta: the new range then
        // begins at its first frame instead of stepping past it.
        const float delta = FCurrentFrameDelta;
        const float fraction = delta - std::trunc(delta);
        AdvanceFrames(WholeFrames(delta));
        FCurrentFrameDelta = fraction;
        MarkStructureChanged();
    }
    else if (FFrameInterpolation != afpNone)
        MarkStructureChanged();
}

// --------------------------------------------------------------- loading

void TGLActor::LoadFromStream(const QString& fileName, QIODevice& stream)
{
    if (!fileName.isEmpty())
        FAnimations->Clear();
    TGLBaseMesh::LoadFromStream(fileName, stream);
}

void TGLActor::PrepareMesh()
{
    FStartFrame = 0;
    FEndFrame = FrameTotal() - 1;
    FCurrentFrame = 0;
    if (FOnFrameChanged)
        FOnFrameChanged(this);
    TGLBaseMesh::PrepareMesh();
}

// -------------------------------------------------------- synchronising

void TGLActor::SynchronizeWith(const TGLActor* other)
{
    if (other == nullptr)
        return;
    const int total = FrameTotal();
    if (other->FStartFrame < total)
        FStartFrame = other->FStartFrame;
    if (other->FEndFrame < total)
        FEndFrame = other->FEndFrame;
    FReference = other->FReference;
    if (other->FCurrentFrame < total)
        FCurrentFrame = other->FCurrentFrame;
    FCurrentFrameDelta = other->FCurrentFrameDelta;
    FAnimationMode = other->FAnimationMode;
    FFrameInterpolation = other->FFrameInterpolation;
    FPendingAnimation =
        other->FPendingAnimation != nullptr ? FAnimations->FindAnimation(other->FPendingAnimation->Name()) : nullptr;
    if (Skeleton().Frames().Count() > 0 && other->Skeleton().Frames().Count() > 0)
        Skeleton().Synchronize(other->Skeleton());
}

// Mesh objects and skeletons have no deep copy: the copy shares the source's
// drawing properties and follows its animation state.
void TGLActor::Assign(const TGLActor& source)
{
    if (&source == this)
        return;
    AssignMeshProperties(source);
    FAnimations->Assign(*source.FAnimations);
    FAnimationMode = source.FAnimationMode;
    SynchronizeWith(&source);
}

void TGLActor::AssignMeshProperties(const TGLActor& source)
{
    SetNormalsOrientation(source.NormalsOrientation());
    SetMaterialLibrary(source.MaterialLibrary());
    SetLightmapLibrary(source.LightmapLibrary());
    SetUseMeshMaterials(source.UseMeshMaterials());
    SetOverlaySkeleton(source.OverlaySkeleton());
    SetIgnoreMissingTextures(source.IgnoreMissingTextures());
    SetAutoCentering(source.AutoCentering());
    AutoScaling()->SetAsVector(source.AutoScaling()->AsVector());
}

// ------------------------------------------------------------ controlers

void TGLActor::RegisterControler(TGLBaseAnimationControler* controler)
{
    if (FControlers == nullptr)
        FControlers = std::make_unique<std::vector<TGLBaseAnimationControler*>>();
    FControlers->push_back(controler);
    // Sized here so that building a pose never allocates.
    FBlendEntries.reserve(FControlers->size() + 1);
}

void TGLActor::UnRegisterControler(TGLBaseAnimationControler* controler)
{
    if (FControlers == nullptr)
        throw EAssertionFailed(QStringLiteral("Controler unregistered from an actor without controlers"));
    const auto found = std::find(FControlers->begin(), FControlers->end(), controler);
    if (found != FControlers->end())
        FControlers->erase(found);
    if (FControlers->empty())
        FControlers.reset();
}

// ---------------------------------------------------------------- drawing

void TGLActor::EmitGeometry(TRenderContextInfo& info)
{
    UpdatePose();
    TGLBaseMesh::EmitGeometry(info);
    if (OverlaySkeleton())
        DrawSkeletonOverlay(info);
}

void TGLActor::UpdatePose()
{
    const int next = FollowingFrame();
    if (FReference == aarSkeleton && Skeleton().Frames().Count() > 0)
    {
        PoseSkeleton(next);
        Skeleton().ApplySkinning(FOptions.testFlag(aoSkeletonNormalizeNormals));
    }
    if (FReference == aarMorph && next >= 0)
        PoseMorphTargets(next);
}

// The reference is a plain field and frames can be replaced under a running
// range: frame indices outside the skeleton's frames are never read, the
// pose then stays as it was.
void TGLActor::PoseSkeleton(int next)
{
    const int frameCount = Skeleton().Frames().Count();
    if (!IsFrameIndex(FCurrentFrame, frameCount))
        return;
    if (next >= frameCount)
        next = -1;
    if (FControlers != nullptr && FAnimationMode != aamExternal)
        BlendWithControlers(next);
    else if (next >= 0 && FAnimationMode != aamExternal)
    {
        if (FFrameInterpolation == afpLinear)
            Skeleton().LerpFrames(FCurrentFrame, next, FCurrentFrameDelta);
        else
            Skeleton().SetCurrentFrame(Skeleton().Frames()[FCurrentFrame]);
    }
}

void TGLActor::BlendWithControlers(int next)
{
    TBlendEntry first;
    first.FrameIndex1 = FCurrentFrame;
    first.FrameIndex2 = FCurrentFrame;
    if (next >= 0 && FFrameInterpolation == afpLinear)
    {
        first.FrameIndex2 = next;
        first.LerpFactor = FCurrentFrameDelta;
    }
    FBlendEntries.clear();
    FBlendEntries.push_back(first);
    const int frameCount = Skeleton().Frames().Count();
    for (TGLBaseAnimationControler* const controler : *FControlers)
    {
        TBlendEntry entry;
        // An animation may name frames the skeleton does not have (another
        // reference, a model loaded since): such a contribution is dropped.
        if (controler->ContributeBlend(entry) && IsFrameIndex(entry.FrameIndex1, frameCount) &&
            IsFrameIndex(entry.FrameIndex2, frameCount))
            FBlendEntries.push_back(entry);
    }
    Skeleton().BlendFrames(FBlendEntries);
}

void TGLActor::PoseMorphTargets(int next)
{
    for (int i = 0; i < MeshObjects().Count(); ++i)
        if (auto* object = dynamic_cast<TMorphableMeshObject*>(&MeshObjects()[i]))
            MorphObject(*object, next);
}

// An object with fewer targets than the indices ask for keeps its shape.
void TGLActor::MorphObject(TMorphableMeshObject& object, int next) const
{
    const int count = object.MorphTargets.Count();
    if (FCurrentFrame < 0 || FCurrentFrame >= count || next >= count)
        return;
    const TMeshMorphTarget& from = object.MorphTargets[FCurrentFrame];
    if (FFrameInterpolation != afpLinear)
    {
        if (!from.Vertices.Empty())
            object.Vertices.Assign(from.Vertices);
        if (!from.Normals.Empty())
            object.Normals.Assign(from.Normals);
        return;
    }
    const TMeshMorphTarget& to = object.MorphTargets[next];
    if (!from.Vertices.Empty())
        object.Vertices.Lerp(from.Vertices, to.Vertices, FCurrentFrameDelta);
    if (!from.Normals.Empty())
    {
        object.Normals.Lerp(from.Normals, to.Normals, FCurrentFrameDelta);
        object.Normals.Normalize();
    }
}

// Bones show through the body they move.
void TGLActor::DrawSkeletonOverlay(TRenderContextInfo& info)
{
    glPushAttrib(GL_ENABLE_BIT);
    const TScopeExit popEnableState([] { glPopAttrib(); });
    glDisable(GL_DEPTH_TEST);
    Skeleton().RootBones().DrawSkeleton(info);
}
