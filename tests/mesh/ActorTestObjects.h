#pragma once

#include "mesh/GLActor.h"

#include <QString>

// An actor whose skeleton holds `count` frames named "0", "1", ..., addressed
// by its frame indices.
inline void AddSkeletonFrames(TGLActor& actor, int count)
{
    for (int i = 0; i < count; ++i)
        actor.Skeleton().Frames().Add().Name = QString::number(i);
    actor.SetReference(aarSkeleton);
}

// An animation of the actor over [start, end] of its skeleton frames.
inline TActorAnimation& AddAnimation(TGLActor& actor, const QString& name, int start, int end)
{
    TActorAnimation& animation = actor.Animations()->Add();
    animation.SetName(name);
    animation.SetReference(aarSkeleton);
    animation.SetStartFrame(start);
    animation.SetEndFrame(end);
    return animation;
}

// Counts the scene's requests to redraw.
class TRedrawCounter : public TGLSceneListener
{
public:
    void SceneChanged(QObject*) override { ++Redraws; }
    int Redraws = 0;
};
