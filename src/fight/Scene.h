#pragma once

#include "Form.h"
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

// The fight window.
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
    Q_PROPERTY(TGLHUDText* GLHUDText1 MEMBER GLHUDText1)
    Q_PROPERTY(TGLHUDText* GLHUDText2 MEMBER GLHUDText2)
    Q_PROPERTY(TGLCamera* GLCamera1 MEMBER GLCamera1)
    Q_PROPERTY(TGLMaterialLibrary* GLMaterialLibrary1 MEMBER GLMaterialLibrary1)
    Q_PROPERTY(TGLWindowsBitmapFont* GLWindowsBitmapFont1 MEMBER GLWindowsBitmapFont1)
    Q_PROPERTY(TGLCadencer* GLCadencer1 MEMBER GLCadencer1)

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
    TGLHUDText* GLHUDText1 = nullptr;
    TGLHUDText* GLHUDText2 = nullptr;
    TGLCamera* GLCamera1 = nullptr;
    TGLMaterialLibrary* GLMaterialLibrary1 = nullptr;
    TGLWindowsBitmapFont* GLWindowsBitmapFont1 = nullptr;
    TGLCadencer* GLCadencer1 = nullptr;

    Q_INVOKABLE void FormCreate(QObject* Sender);
    Q_INVOKABLE void FormKeyPress(QObject* Sender, QChar& Key);
    // Each step of the frame clock redraws the fight.
    Q_INVOKABLE void GLCadencer1Progress(QObject* Sender, double deltaTime, double newTime);

protected:
    // The fight has no close handler; a close request from the window system
    // ends the program like the fight's own exit key.
    void SystemCloseRequested() override;
};

extern TJeu* Jeu;
