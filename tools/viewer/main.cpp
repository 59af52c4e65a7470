#include "ModelView.h"
#include "Startup.h"
#include "ViewerOptions.h"
#include "ViewerWindow.h"

#include "Exceptions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QWindow>

#include <cstdio>

namespace
{
void PrintError(const QString& text)
{
    std::fprintf(stderr, "stickfight-view: %s\n", qPrintable(text));
}

// Empty when the state could be set, else what stood in the way.
QString ApplyState(TViewerWindow& window, const TViewerOptions& options)
{
    window.SkeletonAction()->setChecked(options.Skeleton);
    window.NormalsAction()->setChecked(options.Normals);
    window.WireframeAction()->setChecked(options.Wireframe);
    window.BoundingBoxAction()->setChecked(options.BoundingBox);
    TModelView& view = window.View();
    if (!options.Animation.isEmpty() && !view.SwitchAnimation(options.Animation))
        return QStringLiteral("%1 has no animation named \"%2\"").arg(view.ModelFile(), options.Animation);
    if (options.Frame && !view.ShowFrame(*options.Frame))
        return QStringLiteral("%1 has no frame %2").arg(view.ModelFile()).arg(*options.Frame);
    return {};
}

// Opens the files, sets the state the options ask for, saves the view and
// gives the program's exit status.
int TakeScreenshot(TViewerWindow& window, const TViewerOptions& options)
{
    if (!window.OpenModel(options.ModelFile))
    {
        PrintError(window.LastError());
        return 1;
    }
    for (const QString& file : options.AnimationFiles)
        if (!window.AddAnimation(file))
        {
            PrintError(window.LastError());
            return 1;
        }
    TModelView& view = window.View();
    // A still picture: the frame asked for, or the first of the animation.
    view.SetPlaying(false);
    if (const QString problem = ApplyState(window, options); !problem.isEmpty())
    {
        PrintError(problem);
        return 1;
    }
    window.show();
    // The window manager's first layout passes settle the view's size.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    view.FrameModel();
    QImage picture;
    try
    {
        picture = view.GrabView();
    }
    catch (const Exception& error)
    {
        PrintError(QStringLiteral("%1: the view could not be drawn: %2").arg(view.ModelFile(), error.Message()));
        return 1;
    }
    if (!picture.save(options.ScreenshotFile, "PNG"))
    {
        PrintError(QStringLiteral("%1: the picture could not be written").arg(options.ScreenshotFile));
        return 1;
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    RegisterModules();
    PrepareSurfaceFormat();
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("stickfight"));
    QApplication::setApplicationName(QStringLiteral("stickfight-view"));
    TViewerOptions options;
    try
    {
        options = ParseViewerOptions(QApplication::arguments().mid(1));
    }
    catch (const Exception& error)
    {
        PrintError(error.Message());
        std::fputs(qPrintable(ViewerUsage()), stderr);
        return 2;
    }
    // Loading a model moves to its folder.
    const auto absolute = [](const QString& file) { return file.isEmpty() ? file : QFileInfo(file).absoluteFilePath(); };
    options.ModelFile = absolute(options.ModelFile);
    for (QString& file : options.AnimationFiles)
        file = absolute(file);
    options.ScreenshotFile = absolute(options.ScreenshotFile);
    if (options.Help)
    {
        std::fputs(qPrintable(ViewerUsage()), stdout);
        return 0;
    }
    TViewerWindow window(options.ScreenshotFile.isEmpty() ? QSize() : options.ViewSize);
    if (!options.ScreenshotFile.isEmpty())
        return TakeScreenshot(window, options);
    if (!options.ModelFile.isEmpty())
    {
        window.OpenModel(options.ModelFile);
        for (const QString& file : options.AnimationFiles)
            window.AddAnimation(file);
        // A window is open: what cannot be shown is reported there.
        if (const QString problem = ApplyState(window, options); !problem.isEmpty())
            window.ShowProblem(problem);
    }
    window.show();
    return application.exec();
}
