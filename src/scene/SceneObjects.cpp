#include "SceneObjects.h"

#include "ClassRegistry.h"
#include "Events.h"
#include "Exceptions.h"
#include "GLMaterial.h"
#include "GLStateCache.h"
#include "ScopeGuard.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float MinimumRightLength = 0.00001f;
constexpr float PoleMargin = 0.025f;
} // namespace

float NormalizeDegrees(float angle)
{
    float r = angle - std::trunc(angle * 0.0027777778f) * 360.0f;
    if (r > 180)
        r -= 360;
    else if (r < -180)
        r += 360;
    return r;
}

// ---------------------------------------------------------------- base object

TGLBaseSceneObject::TGLBaseSceneObject(QObject* AOwner)
    : TComponent(AOwner),
      FPosition(new TGLCoordinates(this, NullHmgPoint, csPoint)),
      FDirection(new TGLCoordinates(this, ZHmgVector, csVector)),
      FUp(new TGLCoordinates(this, YHmgVector, csVector)),
      FScale(new TGLCoordinates(this, {1, 1, 1, 0}, csVector))
{
}

TGLBaseSceneObject::~TGLBaseSceneObject()
{
    MarkDestroying();
    DeleteChildren();
    if (FParent != nullptr)
        FParent->Remove(this, false);
    SetScene(nullptr);
    ReleaseList();
}

void TGLBaseSceneObject::SetPosition(const TVector& value)
{
    FPosition->SetPoint(value.X, value.Y, value.Z);
}

void TGLBaseSceneObject::SetDirection(const TVector& value)
{
    if (value.X == 0 && value.Y == 0 && value.Z == 0)
        return;
    FDirection->SetVector(value.X, value.Y, value.Z);
}

void TGLBaseSceneObject::SetUp(const TVector& value)
{
    if (value.X == 0 && value.Y == 0 && value.Z == 0)
        return;
    FUp->SetVector(value.X, value.Y, value.Z);
}

void TGLBaseSceneObject::SetScale(const TVector& value)
{
    FScale->SetAsVector(value);
}

void TGLBaseSceneObject::SetPitchAngle(float value)
{
    SetAngle(FRotation.X, value, 0);
}

void TGLBaseSceneObject::SetTurnAngle(float value)
{
    SetAngle(FRotation.Y, value, 1);
}

void TGLBaseSceneObject::SetRollAngle(float value)
{
    SetAngle(FRotation.Z, value, 2);
}

// Turns Direction and Up by the angle's change about the right vector (pitch),
// Up (turn) or Direction (roll). While a layout is read only the angle is
// stored: the stored Direction and Up already include the turn.
void TGLBaseSceneObject::SetAngle(float& stored, float value, int axis)
{
    if (value == stored)
        return;
    if (!IsLoading())
    {
        FCalculating = true;
        const TVector rotationAxis = axis == 0 ? VectorNormalize(RightVector())
                                     : axis == 1 ? FUp->AsVector()
                                                 : FDirection->AsVector();
        const TMatrix rotation = CreateRotationMatrix(rotationAxis, DegToRad(stored - value));
        TVector up = VectorTransform(FUp->AsVector(), rotation);
        TVector direction = VectorTransform(FDirection->AsVector(), rotation);
        up.W = 0;
        direction.W = 0;
        FUp->SetRaw(VectorNormalize(up));
        FDirection->SetRaw(VectorNormalize(direction));
        MarkTransformChanged();
        FCalculating = false;
    }
    stored = NormalizeDegrees(value);
}

TVector TGLBaseSceneObject::RightVector() const
{
    return VectorCrossProduct(FDirection->AsVector(), FUp->AsVector());
}

void TGLBaseSceneObject::SetVisible(bool value)
{
    if (value == FVisible)
        return;
    FVisible = value;
    NotifyChanged();
}

void TGLBaseSceneObject::SetShowAxes(bool value)
{
    if (value == FShowAxes)
        return;
    FShowAxes = value;
    NotifyChanged();
}

void TGLBaseSceneObject::SetObjectsSorting(TGLObjectsSorting value)
{
    if (value == FObjectsSorting)
        return;
    FObjectsSorting = value;
    NotifyChanged();
}

void TGLBaseSceneObject::SetVisibilityCulling(TGLVisibilityCulling value)
{
    if (value == FVisibilityCulling)
        return;
    FVisibilityCulling = value;
    NotifyChanged();
}

// ------------------------------------------------------------------ matrices

void TGLBaseSceneObject::RebuildLocalMatrix()
{
    if ((FChanges & ocTransformation) == 0)
        return;
    const TVector direction = FDirection->AsVector();
    const TVector up = FUp->AsVector();
    const TVector left = VectorCrossProduct(up, direction);
    const TVector scale = FScale->AsVector();
    const TVector position = FPosition->AsVector();
    FLocalMatrix[0] = {left.X * scale.X, left.Y * scale.X, left.Z * scale.X, 0};
    FLocalMatrix[1] = {up.X * scale.Y, up.Y * scale.Y, up.Z * scale.Y, 0};
    FLocalMatrix[2] = {direction.X * scale.Z, direction.Y * scale.Z, direction.Z * scale.Z, 0};
    FLocalMatrix[3] = {position.X, position.Y, position.Z, 1};
    FChanges &= ~ocTransformation;
    FChanges |= ocWorld | ocInverseWorld;
}

const TMatrix& TGLBaseSceneObject::LocalMatrix()
{
    RebuildLocalMatrix();
    return FLocalMatrix;
}

const TMatrix& TGLBaseSceneObject::WorldMatrix()
{
    if (FWorldMatrices == nullptr)
    {
        FWorldMatrices = std::make_unique<std::array<TMatrix, 2>>();
        FChanges |= ocWorld | ocInverseWorld;
    }
    if ((FChanges & (ocWorld | ocTransformation)) != 0)
    {
        RebuildLocalMatrix();
        const bool underRoot = FParent == nullptr || qobject_cast<TGLSceneRootObject*>(FParent) != nullptr;
        (*FWorldMatrices)[0] = underRoot ? FLocalMatrix : MatrixMultiply(FLocalMatrix, FParent->WorldMatrix());
        FChanges &= ~ocWorld;
        FChanges |= ocInverseWorld;
    }
    return (*FWorldMatrices)[0];
}

const TMatrix& TGLBaseSceneObject::InverseWorldMatrix()
{
    WorldMatrix();
    if ((FChanges & ocInverseWorld) != 0)
    {
        const TVector scale = FScale->AsVector();
        TMatrix& inverse = (*FWorldMatrices)[1];
        if (scale.X == 1 && scale.Y == 1 && scale.Z == 1 && scale.W == 0)
        {
            inverse = RigidInverse(FLocalMatrix);
            if (FParent != nullptr)
                inverse = MatrixMultiply(FParent->InverseWorldMatrix(), inverse);
        }
        else
            inverse = InvertMatrix((*FWorldMatrices)[0]);
        FChanges &= ~ocInverseWorld;
    }
    return (*FWorldMatrices)[1];
}

TVector TGLBaseSceneObject::WorldPosition()
{
    const TMatrix& world = WorldMatrix();
    return {world[3][0], world[3][1], world[3][2], world[3][3]};
}

TVector TGLBaseSceneObject::WorldUp()
{
    const TMatrix& world = WorldMatrix();
    return VectorNormalize({world[1][0], world[1][1], world[1][2], 0});
}

TVector TGLBaseSceneObject::WorldDirection()
{
    const TMatrix& world = WorldMatrix();
    return VectorNormalize({world[2][0], world[2][1], world[2][2], 0});
}

TVector TGLBaseSceneObject::LocalToWorld(const TVector& v)
{
    return VectorTransform(v, WorldMatrix());
}

TVector TGLBaseSceneObject::WorldToLocal(const TVector& v)
{
    return VectorTransform(v, InverseWorldMatrix());
}

void TGLBaseSceneObject::OrbitAround(TGLBaseSceneObject* other, float pitchDelta, float turnDelta)
{
    if (other == nullptr)
        return;
    const TVector ownPosition = WorldPosition();
    const TVector offset = VectorSubtract(ownPosition, other->WorldPosition());
    const float distance = VectorLength(offset);
    TVector n = VectorNormalize(offset);
    const TVector up = WorldUp();
    TVector axis = VectorCrossProduct(up, n);
    axis = VectorLength(axis) < 0.001f ? XHmgVector : VectorNormalize(axis);
    float pitch = std::acos(std::clamp(VectorDotProduct(up, n), -1.0f, 1.0f));
    pitch = std::clamp(pitch + DegToRad(pitchDelta), PoleMargin, Pi - PoleMargin);
    n = RotateVector(up, axis, -pitch);
    n = RotateVector(n, up, -DegToRad(turnDelta));
    n = VectorScale(n, distance);
    TVector target = VectorAdd(ownPosition, VectorSubtract(n, offset));
    target.W = 1;
    if (FParent != nullptr)
        target = FParent->WorldToLocal(target);
    FPosition->SetAsVector(target);
}

// ------------------------------------------------------------ notifications

void TGLBaseSceneObject::InvalidateWorld()
{
    if ((FChanges & (ocWorld | ocInverseWorld)) == (ocWorld | ocInverseWorld))
        return;
    FChanges |= ocWorld | ocInverseWorld;
    for (TGLBaseSceneObject* child : FChildren)
        child->InvalidateWorld();
}

void TGLBaseSceneObject::MarkTransformChanged()
{
    if ((FChanges & ocTransformation) != 0)
        return;
    FChanges |= ocTransformation;
    FChanges |= ocWorld | ocInverseWorld;
    for (TGLBaseSceneObject* child : FChildren)
        child->InvalidateWorld();
    if (!IsLoading())
        NotifyChanged();
}

void TGLBaseSceneObject::MarkStructureChanged()
{
    ++FStructureRevision;
    if ((FChanges & ocStructure) == 0)
    {
        FChanges |= ocStructure;
        NotifyChanged();
    }
    else if ((FObjectStyle & osDirectDraw) != 0)
        NotifyChanged();
}

void TGLBaseSceneObject::NotifyChanged()
{
    if (FScene != nullptr && FUpdateCount == 0 && !IsLoading())
        FScene->NotifyChanged(this);
}

void TGLBaseSceneObject::EndUpdate()
{
    if (FUpdateCount <= 0)
        throw EAssertionFailed(QStringLiteral("Unbalanced Begin/EndUpdate"));
    if (--FUpdateCount == 0)
        NotifyChanged();
}

// Keeps Direction and Up at unit length and at right angles: the one just set
// wins and the other is turned to match it.
void TGLBaseSceneObject::ReorthogonaliseFrom(TGLCoordinates* sender)
{
    TGLCoordinates* const other = sender == FDirection ? FUp : FDirection;
    if (sender->VectorLength() == 0)
        sender->SetRaw(sender == FDirection ? ZHmgVector : YHmgVector);
    sender->Normalize();
    const TVector up = FUp->AsVector();
    TVector right = VectorCrossProduct(FDirection->AsVector(), up);
    if (VectorLength(right) < MinimumRightLength)
        right = VectorCrossProduct(ZHmgVector, up);
    if (VectorLength(right) < MinimumRightLength)
        right = VectorCrossProduct(XHmgVector, up);
    const TVector rebuilt = sender == FDirection ? VectorCrossProduct(right, FDirection->AsVector())
                                                 : VectorCrossProduct(FUp->AsVector(), right);
    other->SetRaw(VectorNormalize(rebuilt));
}

void TGLBaseSceneObject::CoordinateChanged(TGLCoordinates* sender)
{
    if (FCalculating)
        return;
    FCalculating = true;
    if (sender == FDirection || sender == FUp)
        ReorthogonaliseFrom(sender);
    FCalculating = false;
    MarkTransformChanged();
}

// ---------------------------------------------------------------------- tree

int TGLBaseSceneObject::IndexOfChild(const TGLBaseSceneObject* child) const
{
    const auto found = std::find(FChildren.begin(), FChildren.end(), child);
    return found == FChildren.end() ? -1 : static_cast<int>(found - FChildren.begin());
}

void TGLBaseSceneObject::AddChild(TGLBaseSceneObject* child)
{
    Insert(Count(), child);
}

void TGLBaseSceneObject::Insert(int index, TGLBaseSceneObject* child)
{
    if (child == nullptr || child == this)
        return;
    if (child->FParent != nullptr)
        child->FParent->Remove(child, false);
    index = std::clamp(index, 0, Count());
    FChildren.insert(FChildren.begin() + index, child);
    child->FParent = this;
    child->setParent(this);
    child->SetScene(FScene);
    child->MarkTransformChanged();
    MarkTransformChanged();
    // A new object must be seen even when both were already marked.
    NotifyChanged();
}

void TGLBaseSceneObject::Remove(TGLBaseSceneObject* child, bool keepChildren)
{
    const int index = IndexOfChild(child);
    if (index < 0)
        return;
    FChildren.erase(FChildren.begin() + index);
    child->FParent = nullptr;
    // Its world matrices were built on this object's.
    child->InvalidateWorld();
    if (!IsDestroying() && !child->IsDestroying())
    {
        child->setParent(nullptr);
        child->SetScene(nullptr);
        if (keepChildren)
            while (child->Count() > 0)
                Insert(index, child->Child(child->Count() - 1));
    }
    NotifyChanged();
}

void TGLBaseSceneObject::MoveTo(int index)
{
    if (FParent == nullptr)
        return;
    std::vector<TGLBaseSceneObject*>& siblings = FParent->FChildren;
    const int from = FParent->IndexOfChild(this);
    index = std::clamp(index, 0, static_cast<int>(siblings.size()) - 1);
    siblings.erase(siblings.begin() + from);
    siblings.insert(siblings.begin() + index, this);
    NotifyChanged();
}

void TGLBaseSceneObject::DeleteChildren()
{
    // Cameras go first: they may look at any object of the subtree.
    while (!FChildren.empty())
    {
        auto camera = std::find_if(FChildren.begin(), FChildren.end(),
                                   [](const TGLBaseSceneObject* child) { return child->inherits("TGLCamera"); });
        TGLBaseSceneObject* const child = camera != FChildren.end() ? *camera : FChildren.back();
        FChildren.erase(std::find(FChildren.begin(), FChildren.end(), child));
        child->FParent = nullptr;
        delete child;
    }
}

void TGLBaseSceneObject::InsertLayoutChild(QObject* child)
{
    if (auto* sceneObject = qobject_cast<TGLBaseSceneObject*>(child))
        AddChild(sceneObject);
}

void TGLBaseSceneObject::SetScene(TGLScene* scene)
{
    if (scene == FScene)
        return;
    if (FScene != nullptr)
    {
        FScene->UnregisterPickName(FPickName);
        FPickName = 0;
        ReleaseList();
    }
    FScene = scene;
    if (FScene != nullptr)
        FPickName = FScene->RegisterPickName(this);
    for (TGLBaseSceneObject* child : FChildren)
        child->SetScene(scene);
}

// ----------------------------------------------------------------- rendering

void TGLBaseSceneObject::RenderObject(TRenderContextInfo& info)
{
    bool renderSelf = true;
    const bool renderChildren = !FChildren.empty();
    switch (info.VisibilityCulling)
    {
    case vcInherited:
    case vcNone:
        break;
    case vcObjectBased:
    case vcHierarchical:
        // Frustum culling is not used by the game's scenes; everything draws.
        renderSelf = true;
        break;
    default:
        throw EAssertionFailed(QStringLiteral("Unknown visibility culling option"));
    }
    // A failure inside the object must leave the matrix and the states as a
    // completed draw would: the guards run in reverse order either way.
    glPushMatrix();
    const TScopeExit popMatrix([] { glPopMatrix(); });
    glMultMatrixf(LocalMatrix().Data());
    if (info.DrawState == dsPicking)
        glLoadName(FPickName);
    const bool depthOff = (FObjectStyle & osIgnoreDepthBuffer) != 0 && info.GLStates->IsEnabled(stDepthTest);
    if (depthOff)
        info.GLStates->Disable(stDepthTest);
    const TScopeExit restoreDepthTest(
        [&info, depthOff]
        {
            if (depthOff)
                info.GLStates->Enable(stDepthTest);
        });
    const TScopeExit resetStates(
        [&info, this, renderSelf]
        {
            if (renderSelf && (FObjectStyle & osResetsStates) != 0)
                info.GLStates->Reset();
        });
    if (renderSelf && FShowAxes)
        DrawAxes();
    DrawObject(info, renderSelf, renderChildren);
}

void TGLBaseSceneObject::DrawSelf(TRenderContextInfo& info)
{
    if ((FObjectStyle & osDirectDraw) != 0 || info.ObjectsDirectDraw)
        EmitGeometry(info);
    else
        glCallList(GetListHandle(info));
}

void TGLBaseSceneObject::RenderChildren(TRenderContextInfo& info)
{
    if (!FChildren.empty())
        RenderChildRange(0, Count() - 1, info);
}

void TGLBaseSceneObject::DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    if (renderSelf)
        DrawSelf(info);
    if (renderChildren)
        RenderChildren(info);
}

void TGLBaseSceneObject::EmitGeometry(TRenderContextInfo&)
{
}

GLuint TGLBaseSceneObject::GetListHandle(TRenderContextInfo& info)
{
    if (info.Context == nullptr)
        throw EInvalidOperation(QStringLiteral("A display list is drawn only in a rendering context"));
    TGLContextNames::TEntry& entry = FLists.Acquire(*info.Context);
    if (entry.Revision == FStructureRevision)
        return entry.Name;
    FChanges &= ~ocStructure;
    const unsigned revision = FStructureRevision;
    {
        // A failed compile must not leave OpenGL compiling the rest of the
        // frame; the list stays out of date and is compiled again next time.
        glNewList(entry.Name, GL_COMPILE);
        const TScopeExit endList([] { glEndList(); });
        EmitGeometry(info);
    }
    entry.Revision = revision;
    return entry.Name;
}

void TGLBaseSceneObject::ReleaseList()
{
    FLists.ReleaseAll();
    FChanges |= ocStructure;
}

void TGLBaseSceneObject::DrawAxes()
{
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xCCCC);
    glBegin(GL_LINES);
    const float axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const auto& axis : axes)
    {
        glColor3fv(axis);
        glVertex3f(0, 0, 0);
        glVertex3fv(axis);
    }
    glEnd();
    glPopAttrib();
}

void TGLBaseSceneObject::RenderChild(TGLBaseSceneObject* child, TRenderContextInfo& info)
{
    if (child->Visible())
        child->RenderObject(info);
}

void TGLBaseSceneObject::RenderChildRange(int first, int last, TRenderContextInfo& info)
{
    if (FChildren.empty())
        return;
    const TScopeExit restoreModes(
        [&info, savedCulling = info.VisibilityCulling, savedSorting = info.ObjectsSorting]
        {
            info.VisibilityCulling = savedCulling;
            info.ObjectsSorting = savedSorting;
        });
    if (FVisibilityCulling != vcInherited)
        info.VisibilityCulling = FVisibilityCulling;
    if (first == last)
        RenderChild(Child(first), info);
    else
    {
        if (FObjectsSorting != osInherited)
            info.ObjectsSorting = FObjectsSorting;
        if (info.ObjectsSorting == osNone)
            for (int i = first; i <= last; ++i)
                RenderChild(Child(i), info);
        else
            RenderSorted(info);
    }
}

// Collects the children by distance to the camera and draws the largest key
// first; with blended-last, opaque children draw at once in list order.
void TGLBaseSceneObject::RenderSorted(TRenderContextInfo& info)
{
    const TGLObjectsSorting sorting = info.ObjectsSorting;
    if (sorting != osRenderFarthestFirst && sorting != osRenderBlendedLast && sorting != osRenderNearestFirst)
        throw EAssertionFailed(QStringLiteral("Unknown objects sorting option"));
    const size_t mark = FSortList.size();
    // Whatever happens to a child, the entries of this pass go.
    const TScopeExit trimSortList([this, mark] { FSortList.resize(mark); });
    for (TGLBaseSceneObject* child : FChildren)
    {
        if (!child->Visible())
            continue;
        if (sorting == osRenderBlendedLast && !child->IsBlended())
        {
            child->RenderObject(info);
            continue;
        }
        const float distance2 = VectorDistance2(child->BarycenterWorldPosition(), info.CameraPosition);
        FSortList.emplace_back(sorting == osRenderNearestFirst ? -1 - distance2 : distance2 + 1, child);
    }
    std::sort(FSortList.begin() + static_cast<std::ptrdiff_t>(mark), FSortList.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = FSortList.size(); i > mark; --i)
        FSortList[i - 1].second->RenderObject(info);
}

void TGLBaseSceneObject::AdvanceTime(const TProgressTimes& times)
{
    for (size_t i = FChildren.size(); i > 0; --i)
        FChildren[i - 1]->AdvanceTime(times);
    if (FOnProgress)
        FOnProgress(this, times.DeltaTime, times.NewTime);
}

void TGLBaseSceneObject::Loaded()
{
    TComponent::Loaded();
    FPosition->SetComponent(3, 1);
}

// ------------------------------------------------------------- custom object

TGLCustomSceneObject::TGLCustomSceneObject(QObject* AOwner)
    : TGLBaseSceneObject(AOwner), FMaterial(new TGLMaterial(this))
{
}

void TGLCustomSceneObject::ApplyMaterial(TRenderContextInfo& info)
{
    FMaterial->Apply(info);
}

bool TGLCustomSceneObject::UnApplyMaterial(TRenderContextInfo& info)
{
    return FMaterial->UnApply(info);
}

bool TGLCustomSceneObject::IsBlended() const
{
    return FMaterial->IsBlended();
}

void TGLCustomSceneObject::Loaded()
{
    TGLBaseSceneObject::Loaded();
    FMaterial->Loaded();
}

void TGLCustomSceneObject::DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    if (renderSelf)
    {
        if (Scene() != nullptr)
            Scene()->SetLastDrawnObject(this);
        if (info.IgnoreMaterials)
            DrawSelf(info);
        else
        {
            // Applying either completes or takes itself back; after it, a
            // failure of the drawing takes the material back here.
            ApplyMaterial(info);
            const TScopeFailure unApply([this, &info] { UnApplyMaterial(info); });
            do
                DrawSelf(info);
            while (UnApplyMaterial(info));
        }
    }
    if (renderChildren)
        RenderChildren(info);
}

TGLSceneObject::TGLSceneObject(QObject* AOwner)
    : TGLCustomSceneObject(AOwner)
{
}

TGLImmaterialSceneObject::TGLImmaterialSceneObject(QObject* AOwner)
    : TGLCustomSceneObject(AOwner)
{
}

void TGLImmaterialSceneObject::DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    TGLBaseSceneObject::DrawObject(info, renderSelf, renderChildren);
}

TGLCameraInvariantObject::TGLCameraInvariantObject(QObject* AOwner)
    : TGLImmaterialSceneObject(AOwner)
{
}

TGLSceneRootObject::TGLSceneRootObject(TGLScene* scene, const QString& name)
    : TGLBaseSceneObject(scene)
{
    setObjectName(name);
    SetObjectStyle(osDirectDraw);
    SetScene(scene);
}

// --------------------------------------------------------------------- scene

TGLScene::TGLScene(QObject* AOwner)
    : TComponent(AOwner)
{
    // Made here, once the tables they register with exist.
    FObjects = new TGLSceneRootObject(this, QStringLiteral("ObjectRoot"));
    FCameras = new TGLSceneRootObject(this, QStringLiteral("CameraRoot"));
}

TGLScene::~TGLScene()
{
    MarkDestroying();
    delete FCameras;
    FCameras = nullptr;
    delete FObjects;
    FObjects = nullptr;
}

void TGLScene::SetObjectsSorting(TGLObjectsSorting value)
{
    FObjectsSorting = value == osInherited ? osRenderBlendedLast : value;
}

void TGLScene::SetVisibilityCulling(TGLVisibilityCulling value)
{
    FVisibilityCulling = value == vcInherited ? vcNone : value;
}

void TGLScene::NotifyChanged(QObject* sender)
{
    if (FUpdateCount > 0 || IsLoading() || IsDestroying())
        return;
    for (TGLSceneListener* buffer : FBuffers)
        buffer->SceneChanged(sender);
}

void TGLScene::Advance(double deltaTime, double newTime)
{
    const TProgressTimes times{deltaTime, newTime};
    FObjects->AdvanceTime(times);
    FCameras->AdvanceTime(times);
}

void TGLScene::EndUpdate()
{
    if (FUpdateCount <= 0)
        throw EAssertionFailed(QStringLiteral("Unbalanced Begin/EndUpdate"));
    if (--FUpdateCount == 0)
        NotifyChanged(this);
}

void TGLScene::InsertLayoutChild(QObject* child)
{
    auto* sceneObject = qobject_cast<TGLBaseSceneObject*>(child);
    if (sceneObject == nullptr)
        return;
    (sceneObject->inherits("TGLCamera") ? FCameras : FObjects)->AddChild(sceneObject);
}

TGLBaseSceneObject* TGLScene::FindSceneObject(const QString& name) const
{
    for (TGLSceneRootObject* root : {FObjects, FCameras})
        if (auto* found = root->findChild<TGLBaseSceneObject*>(name))
            return found;
    return nullptr;
}

void TGLScene::AddBuffer(TGLSceneListener* buffer)
{
    if (std::find(FBuffers.begin(), FBuffers.end(), buffer) == FBuffers.end())
        FBuffers.push_back(buffer);
}

void TGLScene::RemoveBuffer(TGLSceneListener* buffer)
{
    FBuffers.erase(std::remove(FBuffers.begin(), FBuffers.end(), buffer), FBuffers.end());
}

int TGLScene::AddLight(TGLLightSource* light)
{
    for (size_t slot = 0; slot < FLights.size(); ++slot)
        if (FLights[slot] == light)
            return static_cast<int>(slot);
    for (size_t slot = 0; slot < FLights.size(); ++slot)
        if (FLights[slot] == nullptr)
        {
            FLights[slot] = light;
            return static_cast<int>(slot);
        }
    return -1;
}

void TGLScene::RemoveLight(TGLLightSource* light)
{
    for (TGLLightSource*& slot : FLights)
        if (slot == light)
            slot = nullptr;
}

GLuint TGLScene::RegisterPickName(TGLBaseSceneObject* object)
{
    if (!FFreePickNames.empty())
    {
        const GLuint name = FFreePickNames.back();
        FFreePickNames.pop_back();
        FPickTable[name - 1] = object;
        return name;
    }
    FPickTable.push_back(object);
    return static_cast<GLuint>(FPickTable.size());
}

void TGLScene::UnregisterPickName(GLuint name)
{
    if (name == 0 || name > FPickTable.size())
        return;
    FPickTable[name - 1] = nullptr;
    FFreePickNames.push_back(name);
}

TGLBaseSceneObject* TGLScene::ObjectForPickName(GLuint name) const
{
    if (name == 0 || name > FPickTable.size())
        return nullptr;
    return FPickTable[name - 1];
}

void RegisterSceneClasses()
{
    TEventBinder::RegisterEventType<QObject*, double, double>();
    TClassRegistry::RegisterClass<TGLScene>();
}
