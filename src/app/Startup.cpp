#include "Startup.h"

#include "AsyncTimer.h"
#include "Events.h"
#include "Graphics.h"
#include "StdControls.h"
#include "cyGauge.h"

#include <QSurfaceFormat>

void RegisterModules()
{
    RegisterBaseEventTypes();
    RegisterGraphicsTypes();
    RegisterStdControls();
    RegisterCyGauge();
    RegisterAsyncTimer();
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
