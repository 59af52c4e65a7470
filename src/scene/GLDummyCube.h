#pragma once

#include "GLColor.h"
#include "SceneObjects.h"

#include <functional>

namespace DummyCubeTypes
{
Q_NAMESPACE
enum TGLCameraInvarianceMode
{
    cimNone,
    cimPosition,
    cimOrientation,
};
Q_ENUM_NS(TGLCameraInvarianceMode)
} // namespace DummyCubeTypes
using namespace DummyCubeTypes;

// Answers through isVisible whether the object and its children draw in this
// pass.
using TGLVisibilityDeterminationEvent = std::function<void(QObject* Sender, TRenderContextInfo& info, bool& isVisible)>;

// An invisible point to aim at and to group objects under. At run time it
// draws its wire cube only when asked to.
class TGLDummyCube : public TGLCameraInvariantObject
{
    Q_OBJECT
    Q_PROPERTY(float CubeSize READ CubeSize WRITE SetCubeSize)
    Q_PROPERTY(TGLColor* EdgeColor READ EdgeColor)
    Q_PROPERTY(bool VisibleAtRunTime READ VisibleAtRunTime WRITE SetVisibleAtRunTime)
    Q_PROPERTY(bool Amalgamate READ Amalgamate WRITE SetAmalgamate)
    Q_PROPERTY(
        DummyCubeTypes::TGLCameraInvarianceMode CamInvarianceMode READ CamInvarianceMode WRITE SetCamInvarianceMode)

public:
    explicit TGLDummyCube(QObject* AOwner);
    ~TGLDummyCube() override;

    float CubeSize() const { return FCubeSize; }
    void SetCubeSize(float value);
    TGLColor* EdgeColor() const { return FEdgeColor; }
    void SetEdgeColor(const TColorVector& value) { FEdgeColor->SetColor(value); }
    bool VisibleAtRunTime() const { return FVisibleAtRunTime; }
    void SetVisibleAtRunTime(bool value);
    bool Amalgamate() const { return FAmalgamate; }
    void SetAmalgamate(bool value);
    TGLCameraInvarianceMode CamInvarianceMode() const { return FCamInvarianceMode; }
    void SetCamInvarianceMode(TGLCameraInvarianceMode value);

    const TGLVisibilityDeterminationEvent& OnVisibilityDetermination() const { return FOnVisibilityDetermination; }
    void SetOnVisibilityDetermination(const TGLVisibilityDeterminationEvent& value)
    {
        FOnVisibilityDetermination = value;
    }

    // The mean of the children's barycentres, or the own position without
    // children.
    TVector BarycenterWorldPosition() override;
    TVector HalfExtents() const override;

    void EmitGeometry(TRenderContextInfo& info) override;
    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override;

private:
    void DrawCameraInvariant(TRenderContextInfo& info, bool renderSelf, bool renderChildren);
    void DrawAmalgamated(TRenderContextInfo& info, bool renderSelf, bool renderChildren);
    void ReleaseGroupList();
    void DrawWireCube() const;

    TGLColor* const FEdgeColor;
    float FCubeSize = 1;
    bool FVisibleAtRunTime = false;
    bool FAmalgamate = false;
    TGLCameraInvarianceMode FCamInvarianceMode = cimNone;
    TGLVisibilityDeterminationEvent FOnVisibilityDetermination;
    // The group list in each context, compiled again once after each change.
    TGLContextNames FGroupLists{nkList};
    unsigned FGroupRevision = 1;
};
