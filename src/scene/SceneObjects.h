#pragma once

#include "Component.h"
#include "GLCoordinates.h"
#include "GLRenderContext.h"
#include "RenderContextInfo.h"
#include "SceneTypes.h"
#include "VectorGeometry.h"

#include <GL/gl.h>

#include <array>
#include <memory>
#include <vector>

class TGLScene;
class TGLLightSource;
class TGLMaterial;

// Object style flags set by subclasses.
enum TGLObjectStyleFlag : unsigned
{
    osDirectDraw = 1u << 0,
    osResetsStates = 1u << 1,
    osIgnoreDepthBuffer = 1u << 2,
    osNoVisibilityCulling = 1u << 3,
};

// The base of every node of a scene tree. The Qt parent is the node's parent
// in the tree (or, before it is placed, its owner); each node owns its
// children.
class TGLBaseSceneObject : public TComponent, public TLayoutParent, public TGLCoordinatesOwner
{
    Q_OBJECT
    Q_CLASSINFO("StoredWithin", "TGLScene")
    Q_PROPERTY(TGLCoordinates* Position READ Position)
    Q_PROPERTY(TGLCoordinates* Direction READ Direction)
    Q_PROPERTY(TGLCoordinates* Up READ Up)
    Q_PROPERTY(TGLCoordinates* Scale READ Scale)
    Q_PROPERTY(float PitchAngle READ PitchAngle WRITE SetPitchAngle)
    Q_PROPERTY(float TurnAngle READ TurnAngle WRITE SetTurnAngle)
    Q_PROPERTY(float RollAngle READ RollAngle WRITE SetRollAngle)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool ShowAxes READ ShowAxes WRITE SetShowAxes)
    Q_PROPERTY(SceneTypes::TGLObjectsSorting ObjectsSorting READ ObjectsSorting WRITE SetObjectsSorting)
    Q_PROPERTY(SceneTypes::TGLVisibilityCulling VisibilityCulling READ VisibilityCulling WRITE SetVisibilityCulling)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(float TagFloat READ TagFloat WRITE SetTagFloat)
    Q_PROPERTY(TGLProgressEvent OnProgress READ OnProgress WRITE SetOnProgress)

public:
    explicit TGLBaseSceneObject(QObject* AOwner);
    ~TGLBaseSceneObject() override;

    TGLCoordinates* Position() const { return FPosition; }
    TGLCoordinates* Direction() const { return FDirection; }
    TGLCoordinates* Up() const { return FUp; }
    TGLCoordinates* Scale() const { return FScale; }
    void SetPosition(const TVector& value);
    void SetDirection(const TVector& value);
    void SetUp(const TVector& value);
    void SetScale(const TVector& value);

    float PitchAngle() const { return FRotation.X; }
    float TurnAngle() const { return FRotation.Y; }
    float RollAngle() const { return FRotation.Z; }
    void SetPitchAngle(float value);
    void SetTurnAngle(float value);
    void SetRollAngle(float value);

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool value);
    bool ShowAxes() const { return FShowAxes; }
    void SetShowAxes(bool value);
    TGLObjectsSorting ObjectsSorting() const { return FObjectsSorting; }
    void SetObjectsSorting(TGLObjectsSorting value);
    TGLVisibilityCulling VisibilityCulling() const { return FVisibilityCulling; }
    void SetVisibilityCulling(TGLVisibilityCulling value);
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }
    float TagFloat() const { return FTagFloat; }
    void SetTagFloat(float value) { FTagFloat = value; }
    TGLProgressEvent OnProgress() const { return FOnProgress; }
    void SetOnProgress(const TGLProgressEvent& value) { FOnProgress = value; }
    unsigned ObjectStyle() const { return FObjectStyle; }

    // Matrices, rebuilt lazily.
    const TMatrix& LocalMatrix();
    const TMatrix& WorldMatrix();
    const TMatrix& InverseWorldMatrix();
    void RebuildLocalMatrix();
    TVector WorldPosition();
    TVector WorldUp();
    TVector WorldDirection();
    TVector LocalToWorld(const TVector& v);
    TVector WorldToLocal(const TVector& v);
    virtual TVector BarycenterWorldPosition() { return WorldPosition(); }
    virtual TVector HalfExtents() const { return {0.5f, 0.5f, 0.5f, 0}; }
    bool TransformationChanged() const { return (FChanges & ocTransformation) != 0; }
    bool StructureChanged() const { return (FChanges & ocStructure) != 0; }

    // Turns this object round another one, keeping its distance; degrees.
    void OrbitAround(TGLBaseSceneObject* other, float pitchDelta, float turnDelta);

    void MarkTransformChanged();
    // Meshes drop their caches first.
    virtual void MarkStructureChanged();
    virtual void NotifyChanged();
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    void CoordinateChanged(TGLCoordinates* sender) override;

    // Tree.
    TGLBaseSceneObject* Parent() const { return FParent; }
    TGLScene* Scene() const { return FScene; }
    int Count() const { return static_cast<int>(FChildren.size()); }
    TGLBaseSceneObject* Child(int index) const { return FChildren.at(static_cast<size_t>(index)); }
    int IndexOfChild(const TGLBaseSceneObject* child) const;
    int Index() const { return FParent != nullptr ? FParent->IndexOfChild(this) : -1; }
    void AddChild(TGLBaseSceneObject* child);
    void Insert(int index, TGLBaseSceneObject* child);
    // The child is given back to the caller, unless it is deleted here.
    void Remove(TGLBaseSceneObject* child, bool keepChildren);
    void MoveTo(int index);
    void DeleteChildren();
    const QMetaObject& LayoutChildClass() const override { return staticMetaObject; }
    void InsertLayoutChild(QObject* child) override;

    // Rendering.
    void RenderObject(TRenderContextInfo& info);
    virtual void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren);
    void RenderChildRange(int first, int last, TRenderContextInfo& info);
    virtual void EmitGeometry(TRenderContextInfo& info);
    GLuint GetListHandle(TRenderContextInfo& info);
    virtual bool IsBlended() const { return false; }

    // Time: the children from last to first, then this object.
    virtual void AdvanceTime(const TProgressTimes& times);

    // The 32-bit name this object draws under when the scene is picked.
    GLuint PickName() const { return FPickName; }

    void Loaded() override;

protected:
    enum TChange : unsigned
    {
        ocTransformation = 1u << 0,
        ocWorld = 1u << 1,
        ocInverseWorld = 1u << 2,
        ocStructure = 1u << 3,
    };

    void SetObjectStyle(unsigned value) { FObjectStyle = value; }
    // Moves the subtree into `scene`; light sources register themselves here.
    virtual void SetScene(TGLScene* scene);
    void DrawSelf(TRenderContextInfo& info);
    void RenderChildren(TRenderContextInfo& info);

private:
    friend class TGLScene;

    void SetAngle(float& stored, float value, int axis);
    void InvalidateWorld();
    TVector RightVector() const;
    void ReorthogonaliseFrom(TGLCoordinates* sender);
    void ReleaseList();
    void DrawAxes();
    void RenderChild(TGLBaseSceneObject* child, TRenderContextInfo& info);
    void RenderSorted(TRenderContextInfo& info);

    TGLCoordinates* const FPosition;
    TGLCoordinates* const FDirection;
    TGLCoordinates* const FUp;
    TGLCoordinates* const FScale;
    TVector FRotation{};
    TMatrix FLocalMatrix = IdentityMatrix();
    std::unique_ptr<std::array<TMatrix, 2>> FWorldMatrices;
    unsigned FChanges = ocTransformation | ocWorld | ocInverseWorld | ocStructure;
    unsigned FObjectStyle = 0;
    bool FVisible = true;
    bool FShowAxes = false;
    bool FCalculating = false;
    TGLObjectsSorting FObjectsSorting = osInherited;
    TGLVisibilityCulling FVisibilityCulling = vcInherited;
    int FTag = 0;
    float FTagFloat = 0;
    TGLProgressEvent FOnProgress;
    TGLBaseSceneObject* FParent = nullptr;
    std::vector<TGLBaseSceneObject*> FChildren;
    TGLScene* FScene = nullptr;
    int FUpdateCount = 0;
    // The display list in each context; recompiled in each once after every
    // structure change.
    TGLContextNames FLists{nkList};
    unsigned FStructureRevision = 1;
    GLuint FPickName = 0;
    // Reused by every sorted pass over the children.
    std::vector<std::pair<float, TGLBaseSceneObject*>> FSortList;
};

// A scene object with a material, applied around its geometry by the two
// hooks below.
class TGLCustomSceneObject : public TGLBaseSceneObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("GLMaterial.h")
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(TGLMaterial* Material READ Material)

public:
    explicit TGLCustomSceneObject(QObject* AOwner);

    QString Hint() const { return FHint; }
    void SetHint(const QString& value) { FHint = value; }
    TGLMaterial* Material() const { return FMaterial; }

    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override;
    bool IsBlended() const override;
    void Loaded() override;

protected:
    // Puts the material's state in place before the object draws.
    virtual void ApplyMaterial(TRenderContextInfo& info);
    // Takes it back; true asks for another pass of the geometry.
    virtual bool UnApplyMaterial(TRenderContextInfo& info);

private:
    QString FHint;
    TGLMaterial* const FMaterial;
};

// A custom scene object whose material is published.
class TGLSceneObject : public TGLCustomSceneObject
{
    Q_OBJECT

public:
    explicit TGLSceneObject(QObject* AOwner);
};

// A custom scene object drawn without its material.
class TGLImmaterialSceneObject : public TGLCustomSceneObject
{
    Q_OBJECT

public:
    explicit TGLImmaterialSceneObject(QObject* AOwner);

    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override;
};

// An immaterial object whose look does not depend on the camera's moves.
class TGLCameraInvariantObject : public TGLImmaterialSceneObject
{
    Q_OBJECT

public:
    explicit TGLCameraInvariantObject(QObject* AOwner);
};

// The scene's own roots.
class TGLSceneRootObject : public TGLBaseSceneObject
{
    Q_OBJECT

public:
    TGLSceneRootObject(TGLScene* scene, const QString& name);
};

// A listener of the scene's changes: the buffers that show it.
class TGLSceneListener
{
public:
    virtual ~TGLSceneListener() = default;
    virtual void SceneChanged(QObject* sender) = 0;
};

// The component that holds a scene tree: one root for what is drawn, one for
// the cameras.
class TGLScene : public TComponent, public TLayoutParent
{
    Q_OBJECT
    Q_PROPERTY(SceneTypes::TGLObjectsSorting ObjectsSorting READ ObjectsSorting WRITE SetObjectsSorting)
    Q_PROPERTY(SceneTypes::TGLVisibilityCulling VisibilityCulling READ VisibilityCulling WRITE SetVisibilityCulling)

public:
    static constexpr int LightSlots = 8;

    explicit TGLScene(QObject* AOwner);
    ~TGLScene() override;

    TGLSceneRootObject* Objects() const { return FObjects; }
    TGLSceneRootObject* Cameras() const { return FCameras; }
    TGLObjectsSorting ObjectsSorting() const { return FObjectsSorting; }
    void SetObjectsSorting(TGLObjectsSorting value);
    TGLVisibilityCulling VisibilityCulling() const { return FVisibilityCulling; }
    void SetVisibilityCulling(TGLVisibilityCulling value);

    void NotifyChanged(QObject* sender = nullptr);
    void Advance(double deltaTime, double newTime);
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    bool IsUpdating() const { return FUpdateCount > 0; }

    const QMetaObject& LayoutChildClass() const override { return TGLBaseSceneObject::staticMetaObject; }
    // Cameras go under the camera root, everything else under the object root.
    void InsertLayoutChild(QObject* child) override;
    TGLBaseSceneObject* FindSceneObject(const QString& name) const;

    void AddBuffer(TGLSceneListener* buffer);
    void RemoveBuffer(TGLSceneListener* buffer);
    int BufferCount() const { return static_cast<int>(FBuffers.size()); }

    // Light slots: a light takes the first free one; a ninth gets none.
    const std::array<TGLLightSource*, LightSlots>& Lights() const { return FLights; }
    int AddLight(TGLLightSource* light);
    void RemoveLight(TGLLightSource* light);

    TGLBaseSceneObject* LastDrawnObject() const { return FLastDrawnObject; }
    void SetLastDrawnObject(TGLBaseSceneObject* object) { FLastDrawnObject = object; }
    TGLBaseSceneObject* ObjectForPickName(GLuint name) const;

private:
    friend class TGLBaseSceneObject;
    GLuint RegisterPickName(TGLBaseSceneObject* object);
    void UnregisterPickName(GLuint name);

    TGLSceneRootObject* FObjects = nullptr;
    TGLSceneRootObject* FCameras = nullptr;
    TGLObjectsSorting FObjectsSorting = osRenderBlendedLast;
    TGLVisibilityCulling FVisibilityCulling = vcNone;
    int FUpdateCount = 0;
    std::vector<TGLSceneListener*> FBuffers;
    std::array<TGLLightSource*, LightSlots> FLights{};
    TGLBaseSceneObject* FLastDrawnObject = nullptr;
    std::vector<TGLBaseSceneObject*> FPickTable;
    std::vector<GLuint> FFreePickNames;
};

// Degrees brought into [-180, 180].
float NormalizeDegrees(float angle);

// Registers the scene classes and event types by name.
void RegisterSceneClasses();
