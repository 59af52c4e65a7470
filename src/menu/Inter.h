#pragma once

#include "Form.h"
#include "GLCamera.h"
#include "GLDummyCube.h"
#include "GLLightSource.h"
#include "SceneObjects.h"
#include "GLSceneViewer.h"

// The start menu: the first and main window of the program.
class TMenu_Jeu : public TForm
{
    Q_OBJECT
    Q_PROPERTY(TGLScene* GLScene1 MEMBER GLScene1)
    Q_PROPERTY(TGLSceneViewer* GLSceneViewer1 MEMBER GLSceneViewer1)
    Q_PROPERTY(TGLCamera* GLCamera1 MEMBER GLCamera1)
    Q_PROPERTY(TGLLightSource* GLLightSource1 MEMBER GLLightSource1)
    Q_PROPERTY(TGLDummyCube* GLDummyCube1 MEMBER GLDummyCube1)

public:
    explicit TMenu_Jeu(QObject* AOwner);

    TGLScene* GLScene1 = nullptr;
    TGLSceneViewer* GLSceneViewer1 = nullptr;
    TGLCamera* GLCamera1 = nullptr;
    TGLLightSource* GLLightSource1 = nullptr;
    TGLDummyCube* GLDummyCube1 = nullptr;

    Q_INVOKABLE void FormCreate(QObject* Sender);
};

extern TMenu_Jeu* Menu_Jeu;
