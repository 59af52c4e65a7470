// Frames per second of a full-size viewer under the platform's OpenGL: an
// empty scene and scenes of 100 and 1,000 small display-listed objects,
// against a bare window that only clears and swaps, measured in the same run.

#include "GLSceneViewer.h"
#include "Startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QWindow>

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <functional>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr int ViewWidth = 1490;
constexpr int ViewHeight = 904;
constexpr double MeasureSeconds = 2.0;

// A small cube of six quads, compiled once into a display list.
class TSmallCube : public TGLSceneObject
{
public:
    using TGLSceneObject::TGLSceneObject;

    void EmitGeometry(TRenderContextInfo&) override
    {
        static const float faces[6][4][3] = {
            {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}, {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}},
            {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}}, {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
            {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}}, {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
        };
        static const float normals[6][3] = {{0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}};
        glBegin(GL_QUADS);
        for (int face = 0; face < 6; ++face)
        {
            glNormal3fv(normals[face]);
            for (const auto& vertex : faces[face])
                glVertex3f(vertex[0] * 0.05f, vertex[1] * 0.05f, vertex[2] * 0.05f);
        }
        glEnd();
    }
};

void WaitUntilExposed(QWindow* window)
{
    QElapsedTimer timer;
    timer.start();
    while (!window->isExposed() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Frames per second of `frame` run back to back for the measuring time.
double MeasureRate(const std::function<void()>& frame, int& frames)
{
    for (int i = 0; i < 10; ++i)
        frame();
    frames = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0;
    do
    {
        frame();
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < MeasureSeconds);
    return frames / elapsed;
}

double BareWindowRate()
{
    QWindow window;
    window.setSurfaceType(QSurface::OpenGLSurface);
    window.setFormat(QSurfaceFormat::defaultFormat());
    window.resize(ViewWidth, ViewHeight);
    window.show();
    WaitUntilExposed(&window);
    QOpenGLContext context;
    context.setFormat(window.format());
    context.create();
    int frames = 0;
    return MeasureRate(
        [&]
        {
            context.makeCurrent(&window);
            glClearColor(0.9f, 0.9f, 0.9f, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            context.swapBuffers(&window);
        },
        frames);
}

struct TViewerFigures
{
    double FramesPerSecond = 0;
    double DrivenFramesPerSecond = 0;
    double WalkMicroseconds = 0;
    double RawCallMicroseconds = 0;
};

// The driver's own share: the same number of display lists of the same cube
// called with a matrix each, straight from a loop, in the viewer's context.
double RawListCallMicroseconds(TGLSceneBuffer& buffer, int count)
{
    if (count == 0)
        return 0;
    buffer.RenderingContext()->makeCurrent(buffer.RenderingContext()->surface());
    TRenderContextInfo info;
    TSmallCube cube(nullptr);
    const GLuint lists = glGenLists(count);
    for (int i = 0; i < count; ++i)
    {
        glNewList(lists + static_cast<GLuint>(i), GL_COMPILE);
        cube.EmitGeometry(info);
        glEndList();
    }
    const TMatrix matrix = IdentityMatrix();
    constexpr int Rounds = 200;
    const Clock::time_point start = Clock::now();
    for (int round = 0; round < Rounds; ++round)
    {
        for (int i = 0; i < count; ++i)
        {
            glPushMatrix();
            glMultMatrixf(matrix.Data());
            glCallList(lists + static_cast<GLuint>(i));
            glPopMatrix();
        }
        glFinish();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    glDeleteLists(lists, count);
    return seconds / Rounds * 1e6;
}

// A grid of cubes filling the view of a camera at (0, 0, 6).
TViewerFigures ViewerRate(int objectCount)
{
    QWidget form;
    form.resize(ViewWidth, ViewHeight);
    TGLScene scene(&form);
    auto* camera = new TGLCamera(&scene);
    scene.InsertLayoutChild(camera);
    camera->Position()->SetPoint(0, 0, 6);
    const int columns = 40;
    for (int i = 0; i < objectCount; ++i)
    {
        auto* cube = new TSmallCube(&scene);
        scene.InsertLayoutChild(cube);
        cube->Position()->SetPoint(-4 + 8.0f * (i % columns) / columns, -2.5f + 0.2f * (i / columns), 0);
    }
    auto* viewer = new TGLSceneViewer(&form);
    viewer->SetBounds(0, 0, ViewWidth, ViewHeight);
    viewer->SetCamera(camera);
    form.show();
    WaitUntilExposed(viewer->RenderWindow());

    TGLSceneBuffer* const buffer = viewer->Buffer();
    Clock::time_point walkStart;
    double walkSeconds = 0;
    buffer->InitiateRendering = [&](QObject*) { walkStart = Clock::now(); };
    buffer->WrapUpRendering = [&](QObject*)
    { walkSeconds += std::chrono::duration<double>(Clock::now() - walkStart).count(); };

    TViewerFigures figures;
    int frames = 0;
    figures.FramesPerSecond = MeasureRate([&] { buffer->Render(); }, frames);
    figures.WalkMicroseconds = walkSeconds / (frames + 10) * 1e6;
    figures.RawCallMicroseconds = RawListCallMicroseconds(*buffer, objectCount);

    // As the game draws: every change of the scene asks the viewer for a
    // frame through the message loop.
    buffer->ResetFrameRate();
    const Clock::time_point start = Clock::now();
    while (std::chrono::duration<double>(Clock::now() - start).count() < MeasureSeconds)
    {
        scene.NotifyChanged();
        QCoreApplication::processEvents();
    }
    figures.DrivenFramesPerSecond = viewer->GetFrameRate();
    return figures;
}
} // namespace

int main(int argc, char** argv)
{
    RegisterModules();
    PrepareSurfaceFormat();
    QApplication application(argc, argv);

    const double bare = BareWindowRate();
    std::printf("viewport %d x %d, %.0f s per figure\n", ViewWidth, ViewHeight, MeasureSeconds);
    std::printf("bare clear-and-swap window: %.1f frames/s\n", bare);
    double empty = 0;
    for (const int count : {0, 100, 1000})
    {
        const TViewerFigures figures = ViewerRate(count);
        if (count == 0)
            empty = figures.FramesPerSecond;
        std::printf("viewer, %4d objects: %.1f frames/s (%.0f%% of bare, %.0f%% of empty); scene walk %.1f us/frame "
                    "(raw list calls %.1f us); "
                    "driven by scene changes: %.1f frames/s\n",
                    count, figures.FramesPerSecond, 100 * figures.FramesPerSecond / bare,
                    100 * figures.FramesPerSecond / (empty > 0 ? empty : figures.FramesPerSecond),
                    figures.WalkMicroseconds, figures.RawCallMicroseconds, figures.DrivenFramesPerSecond);
    }
    return 0;
}
