#include "base/ClassRegistry.h"
#include "base/LayoutReader.h"
#include "scene/SceneObjects.h"
#include "scene/GLStateCache.h"

#include "AssertionMessage.h"
#include "GLTestContext.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{
constexpr float Tolerance = 1e-5f;

void ExpectVector(const TVector& actual, float x, float y, float z, float tolerance = Tolerance)
{
    EXPECT_NEAR(actual.X, x, tolerance);
    EXPECT_NEAR(actual.Y, y, tolerance);
    EXPECT_NEAR(actual.Z, z, tolerance);
}

QStringList Drawn;

// Records its drawing instead of emitting geometry.
class TProbe : public TGLSceneObject
{
public:
    explicit TProbe(QObject* owner, bool blended = false) : TGLSceneObject(owner), FBlended(blended) {}

    bool IsBlended() const override { return FBlended; }
    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override
    {
        if (renderSelf)
            Drawn << objectName();
        if (renderChildren)
            RenderChildRange(0, Count() - 1, info);
    }

private:
    const bool FBlended;
};

TProbe* AddProbe(TGLBaseSceneObject* parent, const QString& name, float z = 0, bool blended = false)
{
    auto* probe = new TProbe(nullptr, blended);
    probe->setObjectName(name);
    probe->SetPosition(PointMake(0, 0, z));
    parent->AddChild(probe);
    return probe;
}

class TListener : public TGLSceneListener
{
public:
    void SceneChanged(QObject*) override { ++FChanges; }
    int FChanges = 0;
};
} // namespace

TEST(SceneObject, NewObjectHasAnIdentityLocalMatrix)
{
    TGLSceneObject object(nullptr);
    EXPECT_EQ(object.LocalMatrix(), IdentityMatrix());
    ExpectVector(VectorCrossProduct(object.Up()->AsVector(), object.Direction()->AsVector()), 1, 0, 0);
}

TEST(SceneObject, AnglesTurnDirectionAndUpInTheRightHandSense)
{
    TGLSceneObject turned(nullptr);
    turned.SetTurnAngle(90);
    ExpectVector(turned.Direction()->AsVector(), 1, 0, 0);
    ExpectVector(turned.Up()->AsVector(), 0, 1, 0);

    TGLSceneObject pitched(nullptr);
    pitched.SetPitchAngle(90);
    ExpectVector(pitched.Direction()->AsVector(), 0, 1, 0);
    ExpectVector(pitched.Up()->AsVector(), 0, 0, -1);
    pitched.SetRollAngle(180);
    ExpectVector(pitched.Up()->AsVector(), 0, 0, 1);
    EXPECT_FLOAT_EQ(pitched.RollAngle(), 180);
}

TEST(SceneObject, AnglesAreStoredWithinPlusMinus180)
{
    EXPECT_FLOAT_EQ(NormalizeDegrees(190), -170);
    EXPECT_FLOAT_EQ(NormalizeDegrees(-190), 170);
    EXPECT_FLOAT_EQ(NormalizeDegrees(540), 180);
    TGLSceneObject object(nullptr);
    object.SetTurnAngle(190);
    EXPECT_FLOAT_EQ(object.TurnAngle(), -170);
}

TEST(SceneObject, NullOrParallelDirectionFallsBackAndUpIsRebuilt)
{
    TGLSceneObject object(nullptr);
    object.Direction()->SetAsVector({0, 0, 0, 0});
    ExpectVector(object.Direction()->AsVector(), 0, 0, 1);
    ExpectVector(object.Up()->AsVector(), 0, 1, 0);

    // Parallel to Up: the right vector comes from (0, 0, 1) x Up.
    object.Direction()->SetVector(0, 2, 0);
    ExpectVector(object.Direction()->AsVector(), 0, 1, 0);
    ExpectVector(object.Up()->AsVector(), 0, 0, -1);

    // Parallel to Up along z: (0, 0, 1) x Up is null too, so (1, 0, 0) x Up.
    TGLSceneObject other(nullptr);
    other.Up()->SetVector(0, 0, 1);
    other.Direction()->SetVector(0, 0, 1);
    ExpectVector(other.Up()->AsVector(), -1, 0, 0);

    // Through the property a null vector is ignored.
    other.SetDirection({0, 0, 0, 0});
    ExpectVector(other.Direction()->AsVector(), 0, 0, 1);
}

TEST(SceneObject, SetComponentMovesOneAxisAndDescendantsFollow)
{
    TGLSceneObject parent(nullptr);
    parent.SetPosition(PointMake(1, 2, 3));
    auto* child = new TGLSceneObject(nullptr);
    parent.AddChild(child);
    child->SetPosition(PointMake(1, 0, 0));
    ExpectVector(child->WorldPosition(), 2, 2, 3);

    parent.Position()->SetComponent(0, parent.Position()->X() - 0.015f);
    EXPECT_FLOAT_EQ(parent.Position()->X(), 0.985f);
    EXPECT_FLOAT_EQ(parent.Position()->Y(), 2);
    EXPECT_FLOAT_EQ(parent.Position()->Z(), 3);
    EXPECT_FLOAT_EQ(parent.Position()->W(), 1);
    ExpectVector(child->WorldPosition(), 1.985f, 2, 3);
    // The inverse follows too: the child's world origin maps back to zero.
    ExpectVector(child->WorldToLocal(child->WorldPosition()), 0, 0, 0, 1e-4f);
}

TEST(SceneObject, ScaledObjectsInvertTheirWholeWorldMatrix)
{
    TGLSceneObject parent(nullptr);
    parent.SetScale({2, 2, 2, 0});
    parent.SetTurnAngle(90);
    auto* child = new TGLSceneObject(nullptr);
    parent.AddChild(child);
    child->SetPosition(PointMake(1, 0, 0));
    const TVector world = child->WorldPosition();
    // x = 1 along the parent's left axis, turned 90 degrees and doubled.
    ExpectVector(world, 0, 0, -2);
    ExpectVector(parent.WorldToLocal(world), 1, 0, 0);
}

TEST(SceneObject, OrbitWithoutDeltasStaysAndStopsShortOfThePole)
{
    TGLSceneObject centre(nullptr);
    TGLSceneObject orbiter(nullptr);
    orbiter.SetPosition(PointMake(0, 0, 3));
    orbiter.OrbitAround(&centre, 0, 0);
    ExpectVector(orbiter.Position()->AsVector(), 0, 0, 3, 1e-5f);

    orbiter.OrbitAround(&centre, 0, 90);
    ExpectVector(orbiter.Position()->AsVector(), 3, 0, 0, 1e-5f);

    orbiter.OrbitAround(&centre, 400, 0);
    const float pitch = Pi - 0.025f;
    EXPECT_NEAR(orbiter.Position()->Y(), 3 * std::cos(pitch), 1e-4);
    EXPECT_NEAR(VectorLength(orbiter.Position()->AsVector()), 3, 1e-4);
    EXPECT_FLOAT_EQ(orbiter.Position()->W(), 1);
}

TEST(SceneObject, TreeOperationsKeepOrderAndOwnership)
{
    TGLSceneObject root(nullptr);
    TProbe* a = AddProbe(&root, "a");
    TProbe* b = AddProbe(&root, "b");
    TProbe* c = AddProbe(&root, "c");
    AddProbe(b, "b1");
    b->MoveTo(5);
    EXPECT_EQ(root.IndexOfChild(b), 2);
    root.Remove(b, true);
    // b's child took b's place; b is the caller's now.
    ASSERT_EQ(root.Count(), 3);
    EXPECT_EQ(root.Child(0), a);
    EXPECT_EQ(root.Child(1), c);
    EXPECT_EQ(root.Child(2)->objectName(), "b1");
    EXPECT_EQ(b->Count(), 0);
    delete b;
    delete c;
    EXPECT_EQ(root.Count(), 2);
}

TEST(SceneObject, RemovedObjectNoLongerFollowsItsFormerParent)
{
    TGLSceneObject parent(nullptr);
    parent.SetPosition(PointMake(5, 0, 0));
    auto* child = new TGLSceneObject(nullptr);
    parent.AddChild(child);
    child->SetPosition(PointMake(1, 0, 0));
    auto* grandchild = new TGLSceneObject(nullptr);
    child->AddChild(grandchild);
    grandchild->SetPosition(PointMake(0, 1, 0));
    ExpectVector(child->WorldPosition(), 6, 0, 0);
    ExpectVector(grandchild->WorldPosition(), 6, 1, 0);
    ExpectVector(grandchild->WorldToLocal(PointMake(6, 1, 0)), 0, 0, 0);

    parent.Remove(child, false);
    const std::unique_ptr<TGLSceneObject> removed(child);
    ExpectVector(child->WorldPosition(), 1, 0, 0);
    ExpectVector(grandchild->WorldPosition(), 1, 1, 0);
    ExpectVector(grandchild->WorldToLocal(PointMake(1, 1, 0)), 0, 0, 0);
}

TEST(SceneObject, CoordinatesRefuseAPointForADirectionAndADirectionForAPoint)
{
    TGLSceneObject object(nullptr);
    object.SetPosition(PointMake(1, 2, 3));
    EXPECT_EQ(AssertionMessage([&] { object.Direction()->SetPoint(1, 0, 0); }),
              "SetPoint on direction (csVector) coordinates");
    EXPECT_EQ(AssertionMessage([&] { object.Scale()->SetPoint(2, 2, 2); }),
              "SetPoint on direction (csVector) coordinates");
    EXPECT_EQ(AssertionMessage([&] { object.Position()->SetVector(0, 0, 5); }),
              "SetVector on point (csPoint) coordinates");
    // Refused before anything was stored.
    EXPECT_EQ(object.Direction()->AsVector(), (TVector{0, 0, 1, 0}));
    EXPECT_EQ(object.Scale()->AsVector(), (TVector{1, 1, 1, 0}));
    EXPECT_EQ(object.Position()->AsVector(), (TVector{1, 2, 3, 1}));

    TGLCoordinates free(nullptr, {0, 0, 0, 0}, csUnknown);
    free.SetPoint(1, 2, 3);
    EXPECT_EQ(free.AsVector(), (TVector{1, 2, 3, 1}));
    free.SetVector(4, 5, 6);
    EXPECT_EQ(free.AsVector(), (TVector{4, 5, 6, 0}));
}

TEST(SceneObject, UnknownCullingOrSortingModeIsAnAssertionFailure)
{
    TGLTestContext::Use();
    TGLScene scene(nullptr);
    TGLStateCache states;
    TProbe* group = AddProbe(scene.Objects(), "group");
    AddProbe(group, "a", 1);
    AddProbe(group, "b", 2);
    TRenderContextInfo info;
    info.GLStates = &states;

    group->SetObjectsSorting(static_cast<TGLObjectsSorting>(17));
    Drawn.clear();
    EXPECT_EQ(AssertionMessage([&] { scene.Objects()->RenderObject(info); }), "Unknown objects sorting option");
    EXPECT_EQ(Drawn, QStringList{"group"});

    group->SetObjectsSorting(osNone);
    group->SetVisibilityCulling(static_cast<TGLVisibilityCulling>(17));
    Drawn.clear();
    EXPECT_EQ(AssertionMessage([&] { scene.Objects()->RenderObject(info); }), "Unknown visibility culling option");
    EXPECT_EQ(Drawn, QStringList{"group"});
}

TEST(SceneObject, BlendedChildrenDrawLastFarthestFirst)
{
    TGLTestContext::Use();
    TGLScene scene(nullptr);
    TGLStateCache states;
    AddProbe(scene.Objects(), "opaque1", 1);
    AddProbe(scene.Objects(), "near", 2, true);
    AddProbe(scene.Objects(), "far", 3, true);
    AddProbe(scene.Objects(), "opaque2", 0.5f);
    TRenderContextInfo info;
    info.GLStates = &states;
    info.ObjectsSorting = scene.ObjectsSorting();
    info.CameraPosition = PointMake(0, 0, 0);
    Drawn.clear();
    scene.Objects()->RenderObject(info);
    EXPECT_EQ(Drawn, (QStringList{"opaque1", "opaque2", "far", "near"}));

    scene.Objects()->SetObjectsSorting(osRenderNearestFirst);
    Drawn.clear();
    scene.Objects()->RenderObject(info);
    // Nearest first sorts every child, opaque or not.
    EXPECT_EQ(Drawn, (QStringList{"opaque2", "opaque1", "near", "far"}));
}

TEST(SceneObject, InvisibleSubtreeIsNotDrawnButStillAdvances)
{
    TGLTestContext::Use();
    TGLScene scene(nullptr);
    TGLStateCache states;
    TProbe* hidden = AddProbe(scene.Objects(), "hidden");
    TProbe* inside = AddProbe(hidden, "inside");
    AddProbe(scene.Objects(), "shown");
    hidden->SetVisible(false);
    TRenderContextInfo info;
    info.GLStates = &states;
    info.ObjectsSorting = osNone;
    Drawn.clear();
    scene.Objects()->RenderObject(info);
    EXPECT_EQ(Drawn, QStringList{"shown"});

    QStringList advanced;
    for (TGLBaseSceneObject* object : {static_cast<TGLBaseSceneObject*>(hidden), static_cast<TGLBaseSceneObject*>(inside)})
        object->SetOnProgress([&advanced, object](QObject*, double delta, double time) {
            advanced << QStringLiteral("%1 %2 %3").arg(object->objectName()).arg(delta).arg(time);
        });
    scene.Advance(0.5, 2);
    EXPECT_EQ(advanced, (QStringList{"inside 0.5 2", "hidden 0.5 2"}));
}

TEST(Scene, ChangesReachItsBuffersUnlessUpdating)
{
    TGLScene scene(nullptr);
    TListener listener;
    scene.AddBuffer(&listener);
    auto* object = new TGLSceneObject(nullptr);
    scene.Objects()->AddChild(object);
    const int afterAdding = listener.FChanges;
    EXPECT_GT(afterAdding, 0);
    object->LocalMatrix();
    object->Position()->SetComponent(0, 4);
    EXPECT_EQ(listener.FChanges, afterAdding + 1);

    scene.BeginUpdate();
    object->LocalMatrix();
    object->Position()->SetComponent(1, 4);
    EXPECT_EQ(listener.FChanges, afterAdding + 1);
    scene.EndUpdate();
    EXPECT_EQ(listener.FChanges, afterAdding + 2);
    scene.RemoveBuffer(&listener);
}

TEST(Scene, UnbalancedEndUpdateIsAnAssertionFailureAndKeepsTheCounts)
{
    TGLScene scene(nullptr);
    TListener listener;
    scene.AddBuffer(&listener);
    auto* object = new TGLSceneObject(nullptr);
    scene.Objects()->AddChild(object);
    EXPECT_EQ(AssertionMessage([&] { object->EndUpdate(); }), "Unbalanced Begin/EndUpdate");
    EXPECT_EQ(AssertionMessage([&] { scene.EndUpdate(); }), "Unbalanced Begin/EndUpdate");

    // Both counts are still at zero: a balanced pair notifies once at its end.
    const int before = listener.FChanges;
    object->BeginUpdate();
    object->NotifyChanged();
    EXPECT_EQ(listener.FChanges, before);
    object->EndUpdate();
    EXPECT_EQ(listener.FChanges, before + 1);
    scene.BeginUpdate();
    scene.EndUpdate();
    EXPECT_EQ(listener.FChanges, before + 2);
    scene.RemoveBuffer(&listener);
}

TEST(Scene, PickNamesMapBackToLiveObjects)
{
    TGLScene scene(nullptr);
    auto* first = new TGLSceneObject(nullptr);
    auto* second = new TGLSceneObject(nullptr);
    scene.Objects()->AddChild(first);
    scene.Objects()->AddChild(second);
    EXPECT_EQ(scene.ObjectForPickName(first->PickName()), first);
    EXPECT_EQ(scene.ObjectForPickName(second->PickName()), second);
    const GLuint gone = first->PickName();
    delete first;
    EXPECT_EQ(scene.ObjectForPickName(gone), nullptr);
    EXPECT_EQ(scene.ObjectForPickName(0), nullptr);
    EXPECT_EQ(scene.ObjectForPickName(9999), nullptr);
}

class TSceneHost : public QObject, public TLayoutComponent
{
    Q_OBJECT

public:
    TSceneHost() { setObjectName("SceneHost"); }
};

TEST(Scene, LayoutStoresFinalOrientationAndAnglesAreNotAppliedAgain)
{
    TClassRegistry::RegisterClass<TGLSceneObject>();
    TSceneHost host;
    TLayoutReader(&host, ":/layouts/SceneHost.json").Read();
    auto* scene = host.findChild<TGLScene*>("GLScene1");
    ASSERT_NE(scene, nullptr);
    TGLBaseSceneObject* wall = scene->FindSceneObject("Wall");
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->Parent(), scene->Objects());
    EXPECT_FLOAT_EQ(wall->TurnAngle(), 90);
    ExpectVector(wall->Direction()->AsVector(), 1, 0, -4.37114e-08f);
    ExpectVector(wall->Up()->AsVector(), 0, 1, 0);
    TGLBaseSceneObject* brick = scene->FindSceneObject("Brick");
    ASSERT_NE(brick, nullptr);
    EXPECT_EQ(brick->Parent(), wall);
    ExpectVector(brick->WorldPosition(), -9.75f, 0.5f, 0);
}

#include "SceneObjects_test.moc"
