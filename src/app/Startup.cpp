#include "Startup.h"

#include "Application.h"
#include "AsyncTimer.h"
#include "Control.h"
#include "Events.h"
#include "GLCadencer.h"
#include "GLBitmapFont.h"
#include "GLBaseMesh.h"
#include "GLCube.h"
#include "GLSceneBuffer.h"
#include "GLLightSource.h"
#include "GLMaterialLibrary.h"
#include "SceneObjects.h"
#include "GLSceneViewer.h"
#include "GLSkyBox.h"
#include "Graphics.h"
#include "StdControls.h"
#include "VectorFile.h"
#include "cyGauge.h"

#include <QSurfaceFormat>

void RegisterModules()
{
    // Model-file formats come first: they are registered with the layout
    // reader too.
    RegisterVectorFileFormats();
    ControlFailureHandler = ReportFailure;
    RegisterBaseEventTypes();
    RegisterGraphicsTypes();
    RegisterControlEventTypes();
    RegisterStdControls();
    RegisterSceneClasses();
    RegisterLightAndDummyClasses();
    RegisterCubeClasses();
    RegisterMeshClasses();
    RegisterFontClasses();
    RegisterMaterialClasses();
    RegisterSkyBoxClasses();
    RegisterViewerClasses();
    RegisterCyGauge();
    RegisterAsyncTimer();
    RegisterCadencer();
    // Ticks falling due while the renderer draws a frame run at once, not at
    // the frame's end.
    TGLSceneBuffer::SetWorkWhileFinishing(TThread::RunPendingCalls);
}

void PrepareSurfaceFormat()
{
    QSurfaceFormat format;
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setSwapInterval(0);
    QSurfaceFormat::setDefaultFormat(format);
}
