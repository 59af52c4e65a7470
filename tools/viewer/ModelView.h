#pragma once

#include "ActorTypes.h"
#include "ModelStatistics.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include <memory>

class TGLActor;
class TGLBaseSceneObject;
class TGLCamera;
class TGLLightSource;
class TGLMaterialLibrary;
class TGLScene;
class TGLSceneViewer;
class TViewerOverlay;

// The scene of the viewer: one model, framed by a camera that orbits, pans
// and zooms round it, with the model's animations played on a clock of the
// view's own and the overlays that help check it.
class TModelView : public QObject
{
    Q_OBJECT

public:
    // The viewer belongs to the window; the scene, to this view.
    explicit TModelView(TGLSceneViewer* viewer);
    ~TModelView() override;

    // Replaces the model with the file's and makes its folder the current
    // one. A file that cannot be read throws the reader's error and leaves
    // the model shown before. Relative names are taken from the current
    // folder: callers make theirs absolute before the first load.
    void LoadModel(const QString& fileName);
    // Appends an SMD animation file to the SMD model shown.
    void AddAnimation(const QString& fileName);
    bool HasModel() const { return FActor != nullptr; }
    bool AcceptsAnimations() const;
    QString ModelFile() const { return FModelFile; }
    // Null until a model is loaded.
    TGLActor* Actor() const { return FActor; }
    const TModelStatistics& Statistics() const { return FStatistics; }

    // Mouse moves in the view's pixels.
    void Orbit(int dx, int dy);
    void Pan(int dx, int dy);
    // Positive steps come nearer.
    void Zoom(float steps);
    // Puts the camera back where the model fills the view.
    void FrameModel();

    void SetSkeleton(bool value);
    void SetNormals(bool value);
    void SetWireframe(bool value);
    void SetBoundingBox(bool value);
    bool Wireframe() const { return FWireframe; }

    // Playback.
    bool Playing() const { return FPlaying; }
    void SetPlaying(bool value);
    // Time runs this many times faster than real time.
    void SetSpeed(double value) { FSpeed = value; }
    void SetLoopMode(TActorAnimationMode value);
    TActorAnimationMode LoopMode() const { return FLoopMode; }
    // Pauses and shows the next (+1) or previous (-1) frame of the range,
    // wrapping round at its ends.
    void StepFrame(int direction);
    // Smooth switches blend into the new animation at the next whole frame
    // and need the clock running; paused, the switch is immediate.
    void SwitchAnimation(int index, bool smooth);
    // The name matched as the actor matches it; false when none has it.
    bool SwitchAnimation(const QString& name);
    // False when the frame is outside the actor's frames.
    bool ShowFrame(int frame);

    // Draws the view now and gives its pixels back; a frame that cannot be
    // drawn throws the engine's error.
    QImage GrabView();

signals:
    // The shown frame or the range changed.
    void FrameChanged();
    // The animation clock stopped on an error of the model's data.
    void Failed(const QString& message);

private:
    void BuildScene();
    void PlaceLoadedModel(std::unique_ptr<TGLActor> actor, const QString& fileName, double loadMilliseconds);
    void NameAnimationsAfterFile(const QString& fileName);
    static void ChooseReference(TGLActor& actor);
    void NormaliseModel();
    void FitLens();
    void FitNearPlane();
    static float SceneUnitsPerPixelAtUnitDistance(float focalLength);
    void Tick();
    void ReportFrame();
    void AdvanceClock(double delta);
    void ApplyPolygonMode();
    void ReadGrabbedPixels();

    TGLSceneViewer* const FViewer;
    // The model's materials outlive the scene that draws them.
    std::unique_ptr<TGLMaterialLibrary> FMaterials;
    const std::unique_ptr<TGLScene> FScene;
    TGLBaseSceneObject* FTarget = nullptr;
    TGLCamera* FCamera = nullptr;
    TGLLightSource* FLight = nullptr;
    // Both belong to the scene.
    TGLActor* FActor = nullptr;
    TViewerOverlay* FOverlay = nullptr;
    QString FModelFile;
    QSize FLensSize;
    TModelStatistics FStatistics;

    bool FSkeleton = false;
    bool FNormals = false;
    bool FWireframe = false;
    bool FBoundingBox = false;

    QTimer FClock;
    QElapsedTimer FElapsed;
    double FTime = 0;
    double FSpeed = 1;
    bool FPlaying = true;
    TActorAnimationMode FLoopMode = aamLoop;
    int FShownFrame = -1;
    int FShownStart = -1;
    int FShownEnd = -1;

    bool FGrabbing = false;
    QImage FGrabbed;
};
