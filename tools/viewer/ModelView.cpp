#include "ModelView.h"

#include "Exceptions.h"
#include "GLActor.h"
#include "GLCamera.h"
#include "GLLightSource.h"
#include "GLMaterial.h"
#include "GLMaterialLibrary.h"
#include "GLSceneViewer.h"
#include "SMD.h"
#include "ScopeGuard.h"
#include "SceneObjects.h"
#include "VectorFile.h"
#include "ViewerOverlay.h"

#include <QDir>
#include <QFileInfo>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>

namespace
{
// Degrees across the smaller side of the view when a model is framed.
constexpr float FramingFieldOfView = 40;
// Milliseconds per frame: SMD animations are made at 30 frames a second,
// morph-target formats at 10.
constexpr int SkeletonInterval = 33;
constexpr int MorphInterval = 100;
constexpr float DegreesPerPixel = 0.5f;
const TColor Background{0x00403830};

float Radians(const float degrees)
{
    return degrees * std::numbers::pi_v<float> / 180;
}

// Bones in orange: the readers' white would vanish against a light mesh.
constexpr std::uint32_t BoneColour = 0xFF1A8CFF;

void ColourBones(TSkeletonBoneList& bones)
{
    for (int i = 0; i < bones.Count(); ++i)
    {
        bones[i].Color = BoneColour;
        ColourBones(bones[i]);
    }
}

// Morph-target formats name their frames after the action and a number
// ("run1" ... "run6"): each run of one action becomes a named animation.
void AddMorphAnimations(TGLActor& actor)
{
    if (actor.Reference() != aarMorph || actor.Animations()->Count() > 0 || actor.MeshObjects().Count() == 0)
        return;
    const auto* const object = dynamic_cast<const TMorphableMeshObject*>(&actor.MeshObjects()[0]);
    if (object == nullptr)
        return;
    const int frames = std::min(object->MorphTargets.Count(), actor.FrameTotal());
    const auto actionOf = [object](const int frame)
    {
        QString name = object->MorphTargets[frame].Name;
        while (!name.isEmpty() && name.back().isDigit())
            name.chop(1);
        return name;
    };
    for (int start = 0; start < frames;)
    {
        const QString action = actionOf(start);
        int end = start;
        while (end + 1 < frames && actionOf(end + 1) == action)
            ++end;
        TActorAnimation& animation = actor.Animations()->Add();
        animation.SetReference(aarMorph);
        animation.SetName(action.isEmpty() ? QStringLiteral("frames") : action);
        animation.SetEndFrame(end);
        animation.SetStartFrame(start);
        start = end + 1;
    }
}

TVector Normalized(const TVector& v)
{
    TVector n = VectorNormalize(v);
    n.W = 0;
    return n;
}
} // namespace

TModelView::TModelView(TGLSceneViewer* viewer)
    : FViewer(viewer), FMaterials(std::make_unique<TGLMaterialLibrary>(nullptr)),
      FScene(std::make_unique<TGLScene>(nullptr))
{
    BuildScene();
    FClock.setInterval(15);
    connect(&FClock, &QTimer::timeout, this, &TModelView::Tick);
    FElapsed.start();
    FClock.start();
}

TModelView::~TModelView()
{
    TGLSceneBuffer& buffer = *FViewer->Buffer();
    buffer.PostRender = nullptr;
    FViewer->SetCamera(nullptr);
}

void TModelView::BuildScene()
{
    FTarget = new TGLBaseSceneObject(FScene.get());
    FScene->InsertLayoutChild(FTarget);
    FCamera = new TGLCamera(FScene.get());
    FScene->InsertLayoutChild(FCamera);
    FCamera->SetTargetObject(FTarget);
    FCamera->Position()->SetPoint(0, 0, 4);
    FCamera->Direction()->SetVector(0, 0, -1);
    FCamera->Up()->SetVector(0, 1, 0);
    // A head lamp: whichever side the camera turns to is lit.
    FLight = new TGLLightSource(FScene.get());
    FCamera->InsertLayoutChild(FLight);
    TGLSceneBuffer& buffer = *FViewer->Buffer();
    buffer.SetBackgroundColor(Background);
    // Models straight from an exporter may wind some faces the wrong way:
    // they are shown rather than hidden.
    buffer.SetFaceCulling(false);
    buffer.PostRender = [this](QObject*)
    {
        if (FGrabbing)
            ReadGrabbedPixels();
    };
    FViewer->SetCamera(FCamera);
}

void TModelView::LoadModel(const QString& fileName)
{
    auto materials = std::make_unique<TGLMaterialLibrary>(nullptr);
    auto actor = std::make_unique<TGLActor>(nullptr);
    actor->SetMaterialLibrary(materials.get());
    // A model whose textures are elsewhere is still worth seeing.
    actor->SetIgnoreMissingTextures(true);
    // Readers find textures from the current folder, as the game has them
    // beside its models; a model that cannot be read leaves it as it was.
    const QString previousFolder = QDir::currentPath();
    QDir::setCurrent(QFileInfo(fileName).absolutePath());
    const TScopeFailure restoreFolder([&previousFolder] { QDir::setCurrent(previousFolder); });
    QElapsedTimer loadTime;
    loadTime.start();
    actor->LoadFromFile(fileName);
    const double milliseconds = loadTime.nsecsElapsed() / 1e6;
    delete FActor;
    FActor = nullptr;
    FOverlay = nullptr;
    FMaterials = std::move(materials);
    PlaceLoadedModel(std::move(actor), fileName, milliseconds);
}

void TModelView::PlaceLoadedModel(std::unique_ptr<TGLActor> actor, const QString& fileName,
                                  const double loadMilliseconds)
{
    FActor = actor.release();
    FScene->Objects()->AddChild(FActor);
    FOverlay = new TViewerOverlay(FActor);
    FModelFile = fileName;
    NameAnimationsAfterFile(fileName);
    ChooseReference(*FActor);
    AddMorphAnimations(*FActor);
    FActor->SetAnimationMode(FLoopMode);
    FActor->SetOverlaySkeleton(FSkeleton);
    ColourBones(FActor->Skeleton().RootBones());
    ApplyPolygonMode();
    FOverlay->SetShowNormals(FNormals);
    FOverlay->SetShowBoundingBox(FBoundingBox);
    FStatistics = MeasureModel(*FActor, fileName, loadMilliseconds);
    NormaliseModel();
    FrameModel();
    emit FrameChanged();
}

// Morph targets when the model has several, else the skeleton's frames.
void TModelView::ChooseReference(TGLActor& actor)
{
    const bool skeletal = actor.FrameTotalFor(aarMorph) < 2 && actor.FrameTotalFor(aarSkeleton) > 0;
    actor.SetInterval(skeletal ? SkeletonInterval : MorphInterval);
    if (!skeletal)
        return;
    actor.SetReference(aarSkeleton);
    actor.SetStartFrame(0);
    actor.SetEndFrame(actor.FrameTotal() - 1);
    actor.SetCurrentFrame(0);
}

// The reader names an animation after the file name it was given, folders
// and all; the list shows the file's own name, which --animation takes too.
void TModelView::NameAnimationsAfterFile(const QString& fileName)
{
    const QString given = SMDAnimationName(fileName);
    const QString shown = SMDAnimationName(QFileInfo(fileName).fileName());
    TActorAnimations& animations = *FActor->Animations();
    for (int i = 0; i < animations.Count(); ++i)
        if (animations[i].Name() == given)
            animations[i].SetName(shown);
}

bool TModelView::AcceptsAnimations() const
{
    return FActor != nullptr && ExtractFileExtension(FModelFile).toLower() == QLatin1String("smd");
}

void TModelView::AddAnimation(const QString& fileName)
{
    if (!AcceptsAnimations())
        throw EInvalidOperation(
            QStringLiteral("%1: animations can only be added to an SMD model").arg(fileName));
    FActor->AddFromFile(fileName);
    NameAnimationsAfterFile(fileName);
    FStatistics.Frames = FActor->FrameTotal();
    FStatistics.Animations = FActor->Animations()->Count();
    emit FrameChanged();
}

// Model files come in any unit and are Z-up: the model is scaled to a radius
// of 1 round the origin and turned so that its Z axis points up the screen
// and its -Y side faces the camera, as the game places its models.
void TModelView::NormaliseModel()
{
    TAffineVector low{-1, -1, -1}, high{1, 1, 1};
    if (FStatistics.Vertices > 0)
        FActor->MeshObjects().GetExtents(low, high);
    const TAffineVector centre{(low.X + high.X) / 2, (low.Y + high.Y) / 2, (low.Z + high.Z) / 2};
    const float dx = high.X - low.X, dy = high.Y - low.Y, dz = high.Z - low.Z;
    float radius = std::sqrt(dx * dx + dy * dy + dz * dz) / 2;
    if (!(radius > 1e-6f) || !std::isfinite(radius))
        radius = 1;
    const float scale = 1 / radius;
    FActor->Direction()->SetVector(0, 1, 0);
    FActor->Up()->SetVector(0, 0, -1);
    FActor->Scale()->SetVector(scale, scale, scale);
    FActor->Position()->SetPoint(-centre.X * scale, -centre.Z * scale, centre.Y * scale);
    FOverlay->SetNormalLength(radius * 0.04f);
}

void TModelView::FrameModel()
{
    FTarget->Position()->SetPoint(0, 0, 0);
    FitLens();
    // The model's sphere of radius 1 touches the sides, with a margin.
    const float distance = 1.1f / std::sin(Radians(FramingFieldOfView / 2));
    const TVector from = Normalized(TVector{0, 0.3f, 1, 0});
    FCamera->Position()->SetPoint(from.X * distance, from.Y * distance, from.Z * distance);
    FCamera->Up()->SetVector(0, 1, 0);
    FitNearPlane();
}

// The lens keeps the framing angle across the smaller side of the view
// whatever its size, so that resizing the window does not zoom.
void TModelView::FitLens()
{
    const TGLSceneBuffer& buffer = *FViewer->Buffer();
    FLensSize = QSize(buffer.ViewWidth(), buffer.ViewHeight());
    const float smaller = static_cast<float>(std::max(1, std::min(FLensSize.width(), FLensSize.height())));
    FCamera->SetFocalLength(smaller * SceneUnitsPerPixelAtUnitDistance(1) /
                            (2 * std::tan(Radians(FramingFieldOfView / 2))));
    FitNearPlane();
}

// The near plane follows the distance to the model so that zooming in does
// not cut into it and zooming out keeps the depth buffer's precision.
void TModelView::FitNearPlane()
{
    const TVector offset = VectorSubtract(FCamera->WorldPosition(), FTarget->WorldPosition());
    const float distance = std::max(VectorLength(offset), 0.01f);
    const TGLSceneBuffer& buffer = *FViewer->Buffer();
    const float largerSide = static_cast<float>(std::max(buffer.ViewWidth(), buffer.ViewHeight()));
    const float nearAtBiasOne = FCamera->FocalLength() * 2 * TGLSceneBuffer::RenderDPI / (25.4f * largerSide);
    FCamera->SetNearPlaneBias(std::max(distance - 1.5f, distance * 0.02f) / nearAtBiasOne);
    FCamera->SetDepthOfView(distance + 4);
}

// The camera's lens in millimetres at the buffer's resolution: a pixel of
// the view covers this much of a plane at distance 1.
float TModelView::SceneUnitsPerPixelAtUnitDistance(const float focalLength)
{
    return 25.4f / (2 * focalLength * TGLSceneBuffer::RenderDPI);
}

void TModelView::Orbit(const int dx, const int dy)
{
    FCamera->OrbitTarget(dy * DegreesPerPixel, -dx * DegreesPerPixel);
}

void TModelView::Pan(const int dx, const int dy)
{
    const TVector eye = FCamera->WorldPosition();
    const TVector target = FTarget->WorldPosition();
    const float distance = VectorLength(VectorSubtract(target, eye));
    const TVector forward = Normalized(VectorSubtract(target, eye));
    const TVector right = Normalized(VectorCrossProduct(forward, FCamera->Up()->AsVector()));
    const TVector up = Normalized(VectorCrossProduct(right, forward));
    const float perPixel = distance * SceneUnitsPerPixelAtUnitDistance(FCamera->FocalLength());
    const TVector move = VectorAdd(VectorScale(right, -dx * perPixel), VectorScale(up, dy * perPixel));
    const auto shift = [&move](TGLBaseSceneObject& object)
    {
        const TVector p = object.Position()->AsVector();
        object.Position()->SetPoint(p.X + move.X, p.Y + move.Y, p.Z + move.Z);
    };
    shift(*FTarget);
    shift(*FCamera);
}

void TModelView::Zoom(const float steps)
{
    FCamera->ScaleDistanceToTarget(std::pow(0.9f, steps));
    FitNearPlane();
}

void TModelView::SetSkeleton(const bool value)
{
    FSkeleton = value;
    if (FActor != nullptr)
        FActor->SetOverlaySkeleton(value);
}

void TModelView::SetNormals(const bool value)
{
    FNormals = value;
    if (FOverlay != nullptr)
        FOverlay->SetShowNormals(value);
}

void TModelView::SetWireframe(const bool value)
{
    FWireframe = value;
    ApplyPolygonMode();
}

void TModelView::SetBoundingBox(const bool value)
{
    FBoundingBox = value;
    if (FOverlay != nullptr)
        FOverlay->SetShowBoundingBox(value);
}

// Every material sets its own polygon mode as it is applied, so the mode
// goes into the model's materials: the actor's and its library's.
void TModelView::ApplyPolygonMode()
{
    if (FActor == nullptr)
        return;
    const TPolygonMode mode = FWireframe ? pmLines : pmFill;
    // A back side made here has the default colours a material without one
    // gives its back faces.
    const auto apply = [mode](TGLMaterial& material)
    {
        material.FrontProperties()->SetPolygonMode(mode);
        material.BackProperties()->SetPolygonMode(mode);
    };
    apply(*FActor->Material());
    const TGLLibMaterials& materials = *FMaterials->Materials();
    for (int i = 0; i < materials.Count(); ++i)
        apply(*materials.Items(i)->Material());
    FViewer->Buffer()->NotifyChanged();
}

void TModelView::SetPlaying(const bool value)
{
    FPlaying = value;
    FElapsed.restart();
    if (!value || FActor == nullptr)
        return;
    // A range played once has stopped at its end: playing starts it again.
    if (FActor->AnimationMode() == aamNone && FLoopMode != aamNone)
    {
        if (FActor->CurrentFrame() == FActor->EndFrame())
            FActor->SetCurrentFrame(FActor->StartFrame());
        FActor->SetAnimationMode(FLoopMode);
    }
}

void TModelView::SetLoopMode(const TActorAnimationMode value)
{
    FLoopMode = value;
    if (FActor != nullptr)
        FActor->SetAnimationMode(value);
}

void TModelView::StepFrame(const int direction)
{
    SetPlaying(false);
    if (FActor == nullptr || FActor->FrameTotal() < 1)
        return;
    const int start = FActor->StartFrame(), end = FActor->EndFrame();
    int next = FActor->CurrentFrame() + direction;
    if (next > end)
        next = start;
    else if (next < start)
        next = end;
    FActor->SetCurrentFrame(next);
    // The time spent before the change is not played after it.
    FElapsed.restart();
    ReportFrame();
}

void TModelView::SwitchAnimation(const int index, const bool smooth)
{
    if (FActor == nullptr || index < 0 || index >= FActor->Animations()->Count())
        return;
    FActor->SwitchToAnimation((*FActor->Animations())[index], smooth && FPlaying);
    FActor->SetAnimationMode(FLoopMode);
    FElapsed.restart();
    ReportFrame();
}

bool TModelView::SwitchAnimation(const QString& name)
{
    TActorAnimation* const animation = FActor != nullptr ? FActor->Animations()->FindAnimation(name) : nullptr;
    if (animation == nullptr)
        return false;
    SwitchAnimation(animation->Index(), false);
    return true;
}

bool TModelView::ShowFrame(const int frame)
{
    if (FActor == nullptr || frame < 0 || frame >= FActor->FrameTotal())
        return false;
    FActor->SetCurrentFrame(frame);
    FElapsed.restart();
    ReportFrame();
    return true;
}

void TModelView::Tick()
{
    const double seconds = FElapsed.restart() / 1000.0;
    const TGLSceneBuffer& buffer = *FViewer->Buffer();
    if (FLensSize != QSize(buffer.ViewWidth(), buffer.ViewHeight()))
        FitLens();
    if (FActor == nullptr)
        return;
    if (FPlaying)
        AdvanceClock(seconds * FSpeed);
    // A range played once has ended: the view shows it paused.
    if (FPlaying && FActor->AnimationMode() == aamNone && FLoopMode == aamPlayOnce)
    {
        FPlaying = false;
        emit FrameChanged();
    }
    ReportFrame();
}

void TModelView::ReportFrame()
{
    if (FActor == nullptr)
        return;
    const int frame = FActor->CurrentFrame(), start = FActor->StartFrame(), end = FActor->EndFrame();
    if (frame == FShownFrame && start == FShownStart && end == FShownEnd)
        return;
    FShownFrame = frame;
    FShownStart = start;
    FShownEnd = end;
    emit FrameChanged();
}

// The timer's slot must not let an exception into Qt's event loop: a pose
// the data cannot make pauses the playback and is reported.
void TModelView::AdvanceClock(const double delta)
{
    try
    {
        FTime += delta;
        FScene->Advance(delta, FTime);
    }
    catch (const Exception& error)
    {
        FPlaying = false;
        emit Failed(error.Message());
    }
}

QImage TModelView::GrabView()
{
    FViewer->CreateRenderWindow();
    FGrabbing = true;
    const TScopeExit stopGrabbing([this] { FGrabbing = false; });
    FViewer->Buffer()->Render();
    return std::exchange(FGrabbed, QImage());
}

void TModelView::ReadGrabbedPixels()
{
    const TGLSceneBuffer& buffer = *FViewer->Buffer();
    QImage picture(buffer.Width(), buffer.Height(), QImage::Format_RGBA8888);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, picture.width(), picture.height(), GL_RGBA, GL_UNSIGNED_BYTE, picture.bits());
    FGrabbed = picture.mirrored().convertToFormat(QImage::Format_RGB32);
}
