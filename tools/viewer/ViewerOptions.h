#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks of the viewer: the files to open and, for
// scripts, the state to show and the picture to save before leaving.
struct TViewerOptions
{
    QString ModelFile;
    QStringList AnimationFiles;
    QString Animation;
    std::optional<int> Frame;
    bool Skeleton = false;
    bool Normals = false;
    bool Wireframe = false;
    bool BoundingBox = false;
    QSize ViewSize{800, 600};
    QString ScreenshotFile;
    bool Help = false;
};

// Throws EInvalidOperation naming the option that cannot be used; the
// program's own name is not part of `arguments`.
TViewerOptions ParseViewerOptions(const QStringList& arguments);

// The text of --help.
QString ViewerUsage();
