#pragma once

#include "Form.h"
#include "GLCadencer.h"
#include "GLCamera.h"
#include "GLDummyCube.h"
#include "GLLightSource.h"
#include "GLScene.h"
#include "GLSceneViewer.h"

// The fight window.
class TJeu : public TForm
{
    Q_OBJECT
    Q_PROPERTY(TGLSceneViewer* GLSceneViewer1 MEMBER GLSceneViewer1)
    Q_PROPERTY(TGLScene* GLScene1 MEMBER GLScene1)
    Q_PROPERTY(TGLLightSource* GLLightSource1 MEMBER GLLightSource1)
    Q_PROPERTY(TGLDummyCube* GLDummyCube1 MEMBER GLDummyCube1)
    Q_PROPERTY(TGLCamera* GLCamera1 MEMBER GLCamera1)
    Q_PROPERTY(TGLCadencer* GLCadencer1 MEMBER GLCadencer1)

public:
    explicit TJeu(QObject* AOwner);

    TGLSceneViewer* GLSceneViewer1 = nullptr;
    TGLScene* GLScene1 = nullptr;
    TGLLightSource* GLLightSource1 = nullptr;
    TGLDummyCube* GLDummyCube1 = nullptr;
    TGLCamera* GLCamera1 = nullptr;
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
