#include "DisplayCheck.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace
{
QString Environment(const char* name)
{
    const char* const value = std::getenv(name);
    return value != nullptr ? QString::fromLocal8Bit(value) : QString();
}

// Another platform chosen by the user (offscreen, wayland, ...) is Qt's to
// open and to report.
bool UsesX()
{
    const QString platform = Environment("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return platform.startsWith(QLatin1String("xcb"));
    return Environment("XDG_SESSION_TYPE") != QLatin1String("wayland") || Environment("WAYLAND_DISPLAY").isEmpty();
}

const char* const Advice = "Start it from a graphical session, or give it a virtual screen:\n"
                           "  xvfb-run -a -s \"-screen 0 1600x1000x24\" stickfight";
} // namespace

QString DisplayProblem()
{
    if (!UsesX())
        return {};
    const QString name = Environment("DISPLAY");
    if (name.isEmpty())
        return QStringLiteral("stickfight needs a display, and none is set (DISPLAY is empty).\n") +
               QLatin1String(Advice);
    Display* const display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return QStringLiteral("stickfight cannot open the display \"%1\".\n").arg(name) + QLatin1String(Advice);
    XCloseDisplay(display);
    return {};
}
