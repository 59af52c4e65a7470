#pragma once

#include <QObject>

// Enumerations of the animated actors, named as layouts store them.
namespace ActorTypes
{
Q_NAMESPACE

// What an actor's frame indices address.
enum TActorAnimationReference
{
    aarMorph,
    aarSkeleton,
    aarNone,
};
Q_ENUM_NS(TActorAnimationReference)

enum TActorFrameInterpolation
{
    afpNone,
    afpLinear,
};
Q_ENUM_NS(TActorFrameInterpolation)

// How the current frame moves inside the active range.
enum TActorAnimationMode
{
    aamNone,
    aamPlayOnce,
    aamLoop,
    aamBounceForward,
    aamBounceBackward,
    aamLoopBackward,
    aamExternal,
};
Q_ENUM_NS(TActorAnimationMode)

enum TGLActorOption
{
    aoSkeletonNormalizeNormals = 1 << 0,
};
Q_DECLARE_FLAGS(TGLActorOptions, TGLActorOption)
Q_FLAG_NS(TGLActorOptions)
} // namespace ActorTypes
using namespace ActorTypes;
Q_DECLARE_OPERATORS_FOR_FLAGS(ActorTypes::TGLActorOptions)
