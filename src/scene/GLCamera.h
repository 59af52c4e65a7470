#pragma once

#include "SceneObjects.h"

#include <QPointer>

#include <functional>

namespace CameraTypes
{
Q_NAMESPACE

enum TGLCameraStyle
{
    csPerspective,
    csOrthogonal,
    csOrtho2D,
    csCustom,
    csInfinitePerspective,
};
Q_ENUM_NS(TGLCameraStyle)
} // namespace CameraTypes
using namespace CameraTypes;

// A part of a window's drawing area, in pixels from its top-left corner.
struct TGLViewport
{
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// Sets up its own projection for csCustom; may change the viewport radius.
using TGLCustomPerspectiveEvent =
    std::function<void(const TGLViewport& viewport, int width, int height, int dpi, float& viewportRadius)>;

// The eye of a scene: lives under the scene's camera root, is never drawn,
// and turns its lens settings into the projection and its placement into the
// view.
class TGLCamera : public TGLBaseSceneObject
{
    Q_OBJECT
    Q_PROPERTY(float FocalLength READ FocalLength WRITE SetFocalLength)
    Q_PROPERTY(float DepthOfView READ DepthOfView WRITE SetDepthOfView)
    Q_PROPERTY(float NearPlaneBias READ NearPlaneBias WRITE SetNearPlaneBias)
    Q_PROPERTY(float SceneScale READ SceneScale WRITE SetSceneScale)
    Q_PROPERTY(CameraTypes::TGLCameraStyle CameraStyle READ CameraStyle WRITE SetCameraStyle)
    Q_PROPERTY(TGLBaseSceneObject* TargetObject READ TargetObject WRITE SetTargetObject)

public:
    explicit TGLCamera(QObject* AOwner);

    float FocalLength() const { return FFocalLength; }
    void SetFocalLength(float value);
    float DepthOfView() const { return FDepthOfView; }
    void SetDepthOfView(float value);
    float NearPlaneBias() const { return FNearPlaneBias; }
    void SetNearPlaneBias(float value);
    float SceneScale() const { return FSceneScale; }
    void SetSceneScale(float value);
    TGLCameraStyle CameraStyle() const { return FCameraStyle; }
    void SetCameraStyle(TGLCameraStyle value);
    TGLBaseSceneObject* TargetObject() const { return FTargetObject; }
    void SetTargetObject(TGLBaseSceneObject* value);

    // Of the last projection applied.
    float NearPlane() const { return FNearPlane; }
    float ViewportRadius() const { return FViewportRadius; }
    // Of the last view applied; world space, unit length.
    const TVector& LastDirection() const { return FLastDirection; }

    TGLCustomPerspectiveEvent OnCustomPerspective;

    // Multiplies the current (projection) matrix by this camera's lens for a
    // window of width x height pixels of which `viewport` is drawn.
    void ApplyProjection(const TGLViewport& viewport, int width, int height, int dpi);
    // Multiplies the current (model-view) matrix by the view from the camera.
    void ApplyView();

    // Degrees covered by `dimension` pixels at this focal length.
    float GetFieldOfView(float dimension) const;
    void SetFieldOfView(float fieldOfView, float dimension);

    // Turns round the target, degrees; nothing without a target.
    void OrbitTarget(float pitchDelta, float turnDelta);
    // Moves along the line to the target so that the distance is multiplied by
    // `ratio`; nothing without a target.
    void ScaleDistanceToTarget(float ratio);

    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override;

private:
    float FFocalLength = 50;
    float FDepthOfView = 100;
    float FNearPlaneBias = 1;
    float FSceneScale = 1;
    TGLCameraStyle FCameraStyle = csPerspective;
    QPointer<TGLBaseSceneObject> FTargetObject;
    float FNearPlane = 0;
    float FViewportRadius = 0;
    TVector FLastDirection{0, 0, -1, 0};
};
