#pragma once

#include <QObject>

#include <functional>

// Enumerations and events of the scene graph, named as layouts store them.
namespace SceneTypes
{
Q_NAMESPACE

// Fixed underlying types: any integer a caller stores is a value of the type,
// so the renderer's guard against unknown modes is reached without undefined
// behaviour.
enum TGLObjectsSorting : int
{
    osInherited,
    osNone,
    osRenderFarthestFirst,
    osRenderBlendedLast,
    osRenderNearestFirst,
};
Q_ENUM_NS(TGLObjectsSorting)

enum TGLVisibilityCulling : int
{
    vcInherited,
    vcNone,
    vcObjectBased,
    vcHierarchical,
};
Q_ENUM_NS(TGLVisibilityCulling)
} // namespace SceneTypes
using namespace SceneTypes;

// Progress of time: the sender, the step and the time reached, in seconds.
using TGLProgressEvent = std::function<void(QObject* Sender, double deltaTime, double newTime)>;
Q_DECLARE_METATYPE(TGLProgressEvent)

struct TProgressTimes
{
    double DeltaTime = 0;
    double NewTime = 0;
};
