#pragma once

#include <QObject>

#include <functional>

// Enumerations and events of the scene graph, named as layouts store them.
namespace SceneTypes
{
Q_NAMESPACE

enum TGLObjectsSorting
{
    osInherited,
    osNone,
    osRenderFarthestFirst,
    osRenderBlendedLast,
    osRenderNearestFirst,
};
Q_ENUM_NS(TGLObjectsSorting)

enum TGLVisibilityCulling
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
