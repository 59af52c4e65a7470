#pragma once

// The fight's meshes and actors as its layout places them and its set-up
// loads them, for tests that draw them outside the fight window.
#include "mesh/GLActor.h"
#include "mesh/GLBaseMesh.h"
#include "scene/GLMaterial.h"

#include <QDir>
#include <QString>

#include <stdexcept>

namespace GameModels
{

struct TPlacement
{
    TAffineVector Position, Direction, Up;
    float Scale;
};

// Jeu: the town free form and the two fighters.
inline const TPlacement GLFreeForm3{{0, -25, 0}, {0, 1, -4.37114e-08f}, {0, -4.37114e-08f, -1}, 200};
inline const TPlacement GLActor1{{1, -0.3f, 0}, {-2.54901e-22f, 1, -4.37114e-08f}, {8.74228e-08f, 4.37114e-08f, 1}, 0.02f};
inline const TPlacement GLActor2{{-1, -0.3f, 0}, {1.32349e-23f, 1, -4.37114e-08f}, {0, -4.37114e-08f, -1}, 0.02f};
// Front ambient, diffuse, emission and specular of each fighter.
inline const TColorVector Fighter1Colour{0, 0, 0, 0}; // black
inline const TColorVector Fighter2Colour{1, 0, 0, 0}; // red

// The fight's animation files, in the order it adds them.
inline const char* const FightAnimationFiles[] = {"Anime_Pause", "Anime_Pas",     "Anime_Arriere", "Anime_Accroupi",
                                                  "Combo1_1",    "Combo1_2",      "Combo1_3",      "Anime_Saut",
                                                  "Anime_Mur",   "Anime_Touche",  "Anime_Mort"};

inline void Place(TGLBaseSceneObject& object, const TPlacement& at)
{
    object.Position()->SetPoint(at.Position.X, at.Position.Y, at.Position.Z);
    object.Direction()->SetVector(at.Direction.X, at.Direction.Y, at.Direction.Z);
    object.Up()->SetVector(at.Up.X, at.Up.Y, at.Up.Z);
    object.Scale()->SetVector(at.Scale, at.Scale, at.Scale);
}

inline void Colour(TGLSceneObject& object, const TColorVector& colour)
{
    TGLFaceProperties* const front = object.Material()->FrontProperties();
    for (TGLColor* const component : {front->Ambient(), front->Diffuse(), front->Emission(), front->Specular()})
        component->SetColor(colour);
}

// Runs `work` with `directory` as the current directory, and restores the
// previous one whatever happens.
template <class F>
void InDirectory(const QString& directory, F&& work)
{
    const QString previous = QDir::currentPath();
    if (!QDir::setCurrent(directory))
        throw std::runtime_error("cannot enter " + directory.toStdString());
    try
    {
        work();
    }
    catch (...)
    {
        QDir::setCurrent(previous);
        throw;
    }
    QDir::setCurrent(previous);
}

// The fight's set-up of one fighter, run with the Combo directory current:
// the body, the eleven animations by bare file name, then idle.
inline void LoadFighter(TGLActor& actor, const QString& comboDir)
{
    InDirectory(comboDir, [&] {
        actor.LoadFromFile(QStringLiteral("Stick.smd"));
        for (const char* const name : FightAnimationFiles)
            actor.AddFromFile(QString::fromLatin1(name) + QStringLiteral(".smd"));
    });
    actor.SetOverlaySkeleton(false);
    actor.SwitchAnimation(QStringLiteral("Anime_Pause"), false);
}

} // namespace GameModels
