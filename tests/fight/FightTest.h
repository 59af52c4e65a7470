#pragma once

#include "fight/Scene.h"

#include "TestApplication.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>

// A fight window built from the generated game data, on simulated time: the
// fight timer is off and the frame clock steps only when a test says so, by
// exact amounts; the test runs the ticks itself.
class TFightTest : public TApplicationTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Stands the program in a data tree of its own: the start-up directory
    // "away/start" with the town and the menu's meshes, "away/Anime" beside
    // it, the program's directory "bin", and "Combo" and "Sons" beside that,
    // each linked to the generated one. `missing`
    // is left out. From the start-up directory "../Combo" leads nowhere.
    void MakeDataTree(const QString& missing = {});
    QString TreePath(const QString& relative) const;
    // Creates the loading window, then the fight window (which loads), then
    // stops real time.
    TJeu& CreateFight();

    void Tick();
    // Passes the key to the window's key handler; returns what the handler
    // leaves of it.
    QChar Press(char16_t key);
    // Advances the frame clock, and with it the actors, by `ms` milliseconds.
    void StepClock(double ms);
    // Steps the clock 5 ms at a time until `done` holds, for at most `limitMs`.
    bool StepUntil(const std::function<bool()>& done, double limitMs = 5000);
    // Steps until the actor has adopted the named animation.
    bool StepUntilPlaying(const TGLActor& actor, const QString& name);

    static double X(const TGLBaseSceneObject& object) { return object.Position()->X(); }
    static double Y(const TGLBaseSceneObject& object) { return object.Position()->Y(); }
    static void Place(TGLBaseSceneObject& object, float x, float y);

    std::unique_ptr<QTemporaryDir> FTree;
    QString FStartDirectory;
    TJeu* FFight = nullptr;
    double FClockTime = 0;
};

// The module's fight state as a fresh program has it.
void ResetFightState();
