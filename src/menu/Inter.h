#pragma once

#include "AsyncTimer.h"
#include "Form.h"
#include "GLBaseMesh.h"
#include "GLCamera.h"
#include "GLDummyCube.h"
#include "GLLightSource.h"
#include "SceneObjects.h"
#include "GLSceneViewer.h"

// The menu's state between events: the next frame of each animation, and
// what the pointer and the buttons have asked for.
extern int PlayFrame;
extern int QuitFrame;
// 99 once the start sequence has handed over to the fight.
extern int PlayGameFrame;
extern bool PlayHover;
extern bool QuitHover;
extern bool StartRequested;
// The start sequence has silenced the sound that was playing.
extern bool SoundStopped;

// The start menu: the first and main window of the program. Its buttons are
// meshes; the one under the pointer is animated by loading its frames one
// after another, and picking Play starts the fight.
class TMenu_Jeu : public TForm
{
    Q_OBJECT
    Q_PROPERTY(TGLScene* GLScene1 MEMBER GLScene1)
    Q_PROPERTY(TGLSceneViewer* GLSceneViewer1 MEMBER GLSceneViewer1)
    Q_PROPERTY(TGLFreeForm* Option1 MEMBER Option1)
    Q_PROPERTY(TGLCamera* GLCamera1 MEMBER GLCamera1)
    Q_PROPERTY(TGLLightSource* GLLightSource1 MEMBER GLLightSource1)
    Q_PROPERTY(TGLDummyCube* GLDummyCube1 MEMBER GLDummyCube1)
    Q_PROPERTY(TAsyncTimer* AsyncTimer1 MEMBER AsyncTimer1)
    Q_PROPERTY(TGLFreeForm* Play1 MEMBER Play1)
    Q_PROPERTY(TGLFreeForm* Quit1 MEMBER Quit1)
    Q_PROPERTY(TGLFreeForm* Rage MEMBER Rage)

public:
    explicit TMenu_Jeu(QObject* AOwner);

    TGLScene* GLScene1 = nullptr;
    TGLSceneViewer* GLSceneViewer1 = nullptr;
    TGLFreeForm* Option1 = nullptr;
    TGLCamera* GLCamera1 = nullptr;
    TGLLightSource* GLLightSource1 = nullptr;
    TGLDummyCube* GLDummyCube1 = nullptr;
    TAsyncTimer* AsyncTimer1 = nullptr;
    TGLFreeForm* Play1 = nullptr;
    TGLFreeForm* Quit1 = nullptr;
    TGLFreeForm* Rage = nullptr;

    // The object that was under the pointer at the previous move, or nothing.
    TGLBaseSceneObject* LastPicked = nullptr;

    // Loads the four buttons' first meshes and starts the menu's sound.
    Q_INVOKABLE void FormCreate(QObject* Sender);
    Q_INVOKABLE void GLSceneViewer1MouseMove(QObject* Sender, TShiftState Shift, int X, int Y);
    // Any button acts: Play starts the game, Quit ends it after its sound.
    Q_INVOKABLE void GLSceneViewer1MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    // One step of each running animation; after the start sequence's last
    // frame, the hand-over to the fight.
    Q_INVOKABLE void AsyncTimer1Timer(QObject* Sender);

private:
    TGLCustomSceneObject* PickedObject(int x, int y) const;
    void LoadFrame(TGLFreeForm& button, const QString& fileName);
    void StepPlayHover();
    void StepQuitHover();
    void StepStartSequence();
};

extern TMenu_Jeu* Menu_Jeu;
