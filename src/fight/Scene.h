#pragma once

#include "AsyncTimer.h"
#include "FightText.h"
#include "Form.h"
#include "GLActor.h"
#include "GLAnimationControler.h"
#include "GLBaseMesh.h"
#include "GLBitmapFont.h"
#include "GLCadencer.h"
#include "GLCamera.h"
#include "GLCube.h"
#include "GLDummyCube.h"
#include "GLHUDText.h"
#include "GLLightSource.h"
#include "GLMaterialLibrary.h"
#include "SceneObjects.h"
#include "GLSceneViewer.h"
#include "GLSkyBox.h"
#include "cyGauge.h"
#include "phys.h"

// The fight's state between events, shared by the key handler and the tick.
extern bool JumpRequested1;
extern bool JumpRequested2;
extern bool Airborne1;
extern bool Airborne2;
// The point of the jump curve the next tick uses.
extern int JumpIndex1;
extern int JumpIndex2;
// Fighter 1 stands within the blocking distance of fighter 2's body.
extern bool Blocked;
// The fighter takes a hit at the next tick.
extern bool Hit1;
extern bool Hit2;
// The fighter's death has been played.
extern bool Dead1;
extern bool Dead2;
extern phys::TRectTable WallRects;
// Fighter 2's body, rebuilt by every tick.
extern phys::TRectTable BodyRects;
extern phys::TPointTable JumpBase;

// The fight window: two fighters on one keyboard, in an arena beside a town.
class TJeu : public TForm
{
    Q_OBJECT
    Q_PROPERTY(TcyGauge* Vie2 MEMBER Vie2)
    Q_PROPERTY(TcyGauge* Vie1 MEMBER Vie1)
    Q_PROPERTY(TGLSceneViewer* GLSceneViewer1 MEMBER GLSceneViewer1)
    Q_PROPERTY(TGLScene* GLScene1 MEMBER GLScene1)
    Q_PROPERTY(TGLLightSource* GLLightSource1 MEMBER GLLightSource1)
    Q_PROPERTY(TGLSkyBox* GLSkyBox1 MEMBER GLSkyBox1)
    Q_PROPERTY(TGLDummyCube* GLDummyCube1 MEMBER GLDummyCube1)
    Q_PROPERTY(TGLCube* GLCube1 MEMBER GLCube1)
    Q_PROPERTY(TGLCube* GLCube2 MEMBER GLCube2)
    Q_PROPERTY(TGLCube* GLCube3 MEMBER GLCube3)
    Q_PROPERTY(TGLCube* GLCube4 MEMBER GLCube4)
    Q_PROPERTY(TGLCube* GLCube5 MEMBER GLCube5)
    Q_PROPERTY(TGLFreeForm* GLFreeForm3 MEMBER GLFreeForm3)
    Q_PROPERTY(TGLActor* GLActor1 MEMBER GLActor1)
    Q_PROPERTY(TGLActor* GLActor2 MEMBER GLActor2)
    Q_PROPERTY(TGLHUDText* GLHUDText1 MEMBER GLHUDText1)
    Q_PROPERTY(TGLHUDText* GLHUDText2 MEMBER GLHUDText2)
    Q_PROPERTY(TGLCamera* GLCamera1 MEMBER GLCamera1)
    Q_PROPERTY(TGLMaterialLibrary* GLMaterialLibrary1 MEMBER GLMaterialLibrary1)
    Q_PROPERTY(TAsyncTimer* AsyncTimer1 MEMBER AsyncTimer1)
    Q_PROPERTY(TGLCadencer* GLCadencer1 MEMBER GLCadencer1)
    Q_PROPERTY(TGLAnimationControler* GLAnimationControler1 MEMBER GLAnimationControler1)
    Q_PROPERTY(TGLAnimationControler* GLAnimationControler2 MEMBER GLAnimationControler2)
    Q_PROPERTY(TGLWindowsBitmapFont* GLWindowsBitmapFont1 MEMBER GLWindowsBitmapFont1)

public:
    explicit TJeu(QObject* AOwner);

    TcyGauge* Vie2 = nullptr;
    TcyGauge* Vie1 = nullptr;
    TGLSceneViewer* GLSceneViewer1 = nullptr;
    TGLScene* GLScene1 = nullptr;
    TGLLightSource* GLLightSource1 = nullptr;
    TGLSkyBox* GLSkyBox1 = nullptr;
    TGLDummyCube* GLDummyCube1 = nullptr;
    TGLCube* GLCube1 = nullptr;
    TGLCube* GLCube2 = nullptr;
    TGLCube* GLCube3 = nullptr;
    TGLCube* GLCube4 = nullptr;
    TGLCube* GLCube5 = nullptr;
    TGLFreeForm* GLFreeForm3 = nullptr;
    TGLActor* GLActor1 = nullptr;
    TGLActor* GLActor2 = nullptr;
    TGLHUDText* GLHUDText1 = nullptr;
    TGLHUDText* GLHUDText2 = nullptr;
    TGLCamera* GLCamera1 = nullptr;
    TGLMaterialLibrary* GLMaterialLibrary1 = nullptr;
    TAsyncTimer* AsyncTimer1 = nullptr;
    TGLCadencer* GLCadencer1 = nullptr;
    TGLAnimationControler* GLAnimationControler1 = nullptr;
    TGLAnimationControler* GLAnimationControler2 = nullptr;
    TGLWindowsBitmapFont* GLWindowsBitmapFont1 = nullptr;

    // Loads the town and both fighters, stepping the loading bar once per file.
    Q_INVOKABLE void FormCreate(QObject* Sender);
    Q_INVOKABLE void FormKeyPress(QObject* Sender, QChar& Key);
    // Dragging with the left button orbits the camera around the fighters.
    Q_INVOKABLE void GLSceneViewer1MouseMove(QObject* Sender, TShiftState Shift, int X, int Y);
    // The fight tick: turns the fighters' states into movement, jumps, hits
    // and deaths, and keeps the camera between them.
    Q_INVOKABLE void AsyncTimer1Timer(QObject* Sender);
    // Each step of the frame clock redraws the fight.
    Q_INVOKABLE void GLCadencer1Progress(QObject* Sender, double deltaTime, double newTime);
    // A fighter whose animation ends goes back to idle.
    Q_INVOKABLE void GLActor1EndFrameReached(QObject* Sender);
    Q_INVOKABLE void GLActor2EndFrameReached(QObject* Sender);

    // The fighters' logical states: the animation each is in as far as the
    // fight is concerned, which a smooth switch reaches only later.
    const QString& BaseAnimation1() const { return baseAnimation1; }
    const QString& BaseAnimation2() const { return baseAnimation2; }

protected:
    // The fight has no close handler; a close request from the window system
    // ends the program like the fight's own exit key.
    void SystemCloseRequested() override;

private:
    void LoadFighter(TGLActor& actor, QString& baseAnimation, bool& dead);
    void HandleViewKey(QChar key);
    void HandleFighter1Key(QChar key);
    void HandleFighter2Key(QChar key);
    void HandleComboKey(TGLActor& actor, QString& baseAnimation, bool& opponentHit, bool thirdHitAllowed);
    bool BodyTest(double margin) const;

    void ShowFrameRate();
    void DriftReactions();
    void BounceWalkers();
    void ApplyDamage();
    void ShowDebugTexts();
    void RebuildBodyRect();
    void ReactToHits();
    void PlayDeaths();
    void CentreCamera();

    int LastMouseX = 0;
    int LastMouseY = 0;
    QString baseAnimation1;
    QString baseAnimation2;

    const QChar FDecimalPoint;
    TAlternatingText FCaption;
    TAlternatingText FText1;
    TAlternatingText FText2;
};

extern TJeu* Jeu;
