#include "ViewerOptions.h"

#include "Exceptions.h"

#include <iterator>

namespace
{
[[noreturn]] void Fail(const QString& message)
{
    throw EInvalidOperation(message);
}

QString ValueOf(const QStringList& arguments, qsizetype& index)
{
    const QString& option = arguments[index];
    if (index + 1 >= arguments.size())
        Fail(QStringLiteral("%1 needs a value").arg(option));
    return arguments[++index];
}

int FrameOf(const QString& text)
{
    bool ok = false;
    const int frame = text.toInt(&ok);
    if (!ok || frame < 0)
        Fail(QStringLiteral("--frame needs a frame number of 0 or more, not \"%1\"").arg(text));
    return frame;
}

QSize SizeOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool widthOk = false, heightOk = false;
    const int width = parts.size() == 2 ? parts[0].toInt(&widthOk) : 0;
    const int height = parts.size() == 2 ? parts[1].toInt(&heightOk) : 0;
    // Large enough to see a model, small enough for any framebuffer.
    if (!widthOk || !heightOk || width < 64 || height < 64 || width > 4096 || height > 4096)
        Fail(QStringLiteral("--size needs WIDTHxHEIGHT between 64 and 4096, not \"%1\"").arg(text));
    return {width, height};
}

bool SetFlag(const QString& option, TViewerOptions& options)
{
    bool TViewerOptions::* const flags[] = {&TViewerOptions::Skeleton, &TViewerOptions::Normals,
                                            &TViewerOptions::Wireframe, &TViewerOptions::BoundingBox,
                                            &TViewerOptions::Help};
    const char* const names[] = {"--skeleton", "--normals", "--wireframe", "--bbox", "--help"};
    for (size_t i = 0; i < std::size(names); ++i)
        if (option == QLatin1String(names[i]))
        {
            options.*flags[i] = true;
            return true;
        }
    return false;
}

void AddFile(const QString& file, TViewerOptions& options)
{
    if (options.ModelFile.isEmpty())
        options.ModelFile = file;
    else
        options.AnimationFiles.append(file);
}

void CheckConsistent(const TViewerOptions& options)
{
    if (options.Help)
        return;
    if (!options.AnimationFiles.isEmpty() &&
        !options.ModelFile.endsWith(QLatin1String(".smd"), Qt::CaseInsensitive))
        Fail(QStringLiteral("animation files can only be added to an SMD model, not to \"%1\"").arg(options.ModelFile));
    for (const QString& file : options.AnimationFiles)
        if (!file.endsWith(QLatin1String(".smd"), Qt::CaseInsensitive))
            Fail(QStringLiteral("\"%1\" is not an SMD animation file").arg(file));
    const bool needsModel = !options.ScreenshotFile.isEmpty() || !options.Animation.isEmpty() || options.Frame;
    if (needsModel && options.ModelFile.isEmpty())
        Fail(QStringLiteral("--animation, --frame and --screenshot need a model file"));
}
} // namespace

TViewerOptions ParseViewerOptions(const QStringList& arguments)
{
    TViewerOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--animation"))
            options.Animation = ValueOf(arguments, i);
        else if (argument == QLatin1String("--frame"))
            options.Frame = FrameOf(ValueOf(arguments, i));
        else if (argument == QLatin1String("--screenshot"))
            options.ScreenshotFile = ValueOf(arguments, i);
        else if (argument == QLatin1String("--size"))
            options.ViewSize = SizeOf(ValueOf(arguments, i));
        else if (SetFlag(argument, options))
            continue;
        else if (argument.startsWith(QLatin1String("--")))
            Fail(QStringLiteral("unknown option %1").arg(argument));
        else
            AddFile(argument, options);
    }
    CheckConsistent(options);
    return options;
}

QString ViewerUsage()
{
    return QStringLiteral(
        "Usage: stickfight-view [MODEL [ANIMATION.smd...]] [options]\n"
        "Shows a 3DS, SMD, MD2 or GLSM model; SMD animation files are added to an SMD model.\n"
        "\n"
        "  --animation NAME   play the animation of that name (the file name without .smd)\n"
        "  --frame N          show frame N (the actor's frame numbers, as the side panel shows them)\n"
        "  --skeleton         draw the bones over the mesh\n"
        "  --normals          draw the vertex normals\n"
        "  --wireframe        draw the triangles' edges only\n"
        "  --bbox             draw the bounding box\n"
        "  --size WxH         the view's size in pixels (default 800x600)\n"
        "  --screenshot OUT   save the view as a PNG picture and exit; a file that cannot be read\n"
        "                     ends the program with status 1 and the reader's error on stderr\n"
        "  --help             show this text\n");
}
