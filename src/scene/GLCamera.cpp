#include "GLCamera.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

TGLCamera::TGLCamera(QObject* AOwner) : TGLBaseSceneObject(AOwner)
{
    // A camera looks down -Z unless told otherwise, as OpenGL's eye does.
    Direction()->SetRaw({0, 0, -1, 0});
}

void TGLCamera::SetFocalLength(float value)
{
    // A field of view of 0 degrees gives an infinite length (and one over a
    // zero-sized viewport no number at all): no frustum can be built from either.
    if (!(value > 0) || std::isinf(value))
        value = 1;
    if (value == FFocalLength)
        return;
    FFocalLength = value;
    if (!IsLoading())
        MarkTransformChanged();
}

void TGLCamera::SetDepthOfView(float value)
{
    if (value == FDepthOfView)
        return;
    FDepthOfView = value;
    if (!IsLoading())
        MarkTransformChanged();
}

void TGLCamera::SetNearPlaneBias(float value)
{
    if (value <= 0)
        value = 1;
    if (value == FNearPlaneBias)
        return;
    FNearPlaneBias = value;
    NotifyChanged();
}

void TGLCamera::SetSceneScale(float value)
{
    // Zero would divide the frustum by zero; a negative scale mirrors it.
    if (value == 0)
        value = 1;
    if (value == FSceneScale)
        return;
    FSceneScale = value;
    NotifyChanged();
}

void TGLCamera::SetCameraStyle(TGLCameraStyle value)
{
    if (value == FCameraStyle)
        return;
    FCameraStyle = value;
    NotifyChanged();
}

void TGLCamera::SetTargetObject(TGLBaseSceneObject* value)
{
    if (value == FTargetObject)
        return;
    FTargetObject = value;
    NotifyChanged();
}

void TGLCamera::ApplyProjection(const TGLViewport& viewport, int width, int height, int dpi)
{
    if (width < 1 || height < 1)
        return;
    const double w = width;
    const double h = height;
    if (FCameraStyle == csOrtho2D)
    {
        gluOrtho2D(0, w, 0, h);
        FNearPlane = -1;
        FViewportRadius = static_cast<float>(std::sqrt(w * w + h * h) / 2);
        return;
    }
    if (FCameraStyle == csCustom)
    {
        FViewportRadius = static_cast<float>(std::sqrt(w * w + h * h) / 2);
        if (OnCustomPerspective)
            OnCustomPerspective(viewport, width, height, dpi, FViewportRadius);
        return;
    }
    const double m = std::max(w, h);
    const double lens = FCameraStyle == csOrthogonal ? FNearPlaneBias * 100.0 / (double(FFocalLength) * FSceneScale)
                                                     : double(FNearPlaneBias) / FSceneScale;
    const double fx = lens / w;
    const double fy = lens / h;
    const double right = w * (2.0 * (viewport.Left + viewport.Width) - w) * fx / (2 * m);
    const double left = -w * (w - 2.0 * viewport.Left) * fx / (2 * m);
    const double top = h * (2.0 * (viewport.Top + viewport.Height) - h) * fy / (2 * m);
    const double bottom = -h * (h - 2.0 * viewport.Top) * fy / (2 * m);
    // The lens's focal length in millimetres becomes a near plane in scene
    // units through the screen's resolution.
    FNearPlane = static_cast<float>(FFocalLength * 2.0 * dpi / (25.4 * m) * FNearPlaneBias);
    const double nearPlane = FNearPlane;
    const double farPlane = nearPlane + FDepthOfView;
    switch (FCameraStyle)
    {
    case csOrthogonal:
        glOrtho(left, right, bottom, top, nearPlane, farPlane);
        break;
    case csInfinitePerspective:
    {
        // The frustum's limit as the far plane goes to infinity.
        GLdouble matrix[16] = {};
        matrix[0] = 2 * nearPlane / (right - left);
        matrix[5] = 2 * nearPlane / (top - bottom);
        matrix[8] = (right + left) / (right - left);
        matrix[9] = (top + bottom) / (top - bottom);
        matrix[10] = -1;
        matrix[11] = -1;
        matrix[14] = -2 * nearPlane;
        glMultMatrixd(matrix);
        break;
    }
    default:
        glFrustum(left, right, bottom, top, nearPlane, farPlane);
        break;
    }
    FViewportRadius = static_cast<float>(std::sqrt(top * top + right * right) / nearPlane);
}

void TGLCamera::ApplyView()
{
    const TVector eye = WorldPosition();
    if (FTargetObject != nullptr)
    {
        const TVector centre = FTargetObject->WorldPosition();
        FLastDirection = VectorNormalize(VectorSubtract(centre, eye));
        FLastDirection.W = 0;
        // The stored Up, untransformed: a camera that looks at something
        // keeps the world's notion of up.
        const TVector& up = Up()->AsVector();
        gluLookAt(eye.X, eye.Y, eye.Z, centre.X, centre.Y, centre.Z, up.X, up.Y, up.Z);
    }
    else
    {
        const TMatrix& parentMatrix = Parent() != nullptr ? Parent()->WorldMatrix() : IdentityMatrix();
        const TVector direction = VectorTransform(Direction()->AsVector(), parentMatrix);
        const TVector up = VectorTransform(Up()->AsVector(), parentMatrix);
        FLastDirection = direction;
        gluLookAt(eye.X, eye.Y, eye.Z, eye.X + direction.X, eye.Y + direction.Y, eye.Z + direction.Z, up.X, up.Y, up.Z);
    }
}

float TGLCamera::GetFieldOfView(float dimension) const
{
    if (FFocalLength == 0)
        return 0;
    return RadToDeg(2 * std::atan2(dimension / 2, FFocalLength));
}

void TGLCamera::SetFieldOfView(float fieldOfView, float dimension)
{
    SetFocalLength(dimension / (2 * std::tan(DegToRad(fieldOfView) / 2)));
}

void TGLCamera::OrbitTarget(float pitchDelta, float turnDelta)
{
    if (FTargetObject != nullptr)
        OrbitAround(FTargetObject, pitchDelta, turnDelta);
}

void TGLCamera::ScaleDistanceToTarget(float ratio)
{
    if (FTargetObject == nullptr)
        return;
    const TVector position = WorldPosition();
    const TVector offset = VectorSubtract(position, FTargetObject->WorldPosition());
    TVector moved = VectorAdd(position, VectorScale(offset, ratio - 1));
    moved.W = 1;
    if (Parent() != nullptr)
        moved = Parent()->WorldToLocal(moved);
    Position()->SetAsVector(moved);
}

void TGLCamera::DrawObject(TRenderContextInfo& info, bool, bool renderChildren)
{
    if (renderChildren)
        RenderChildren(info);
}
