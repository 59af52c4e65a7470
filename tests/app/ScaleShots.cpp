// The game's windows at the scale the game's own start-up chooses, taken as
// the player sees them: the program reads its command line as the game
// does ("--scale"), shows the menu, moves the real
// pointer over Play and presses on it, then shows the loading window and the
// fight on a stopped clock. Each window's picture is the screen's, in its
// device pixels, written beside "facts.txt" (what the pictures cannot show).
//
// Usage: scale_shots [--scale FACTOR] --game GAME_DIR --out DIR [--menu-only]

#include "Application.h"
#include "GLCadencer.h"
#include "Loading.h"
#include "ProgramOptions.h"
#include "Sound.h"
#include "Startup.h"
#include "fight/Scene.h"
#include "menu/Inter.h"

#include "MenuProjection.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTextStream>
#include <QWindow>

#include <cstdio>
#include <functional>

namespace
{
struct TShotOptions
{
    QString GameDir;
    QString OutDir;
    bool MenuOnly = false;
};

// Takes the helper's own options out of `arguments`, leaving the game's.
TShotOptions TakeShotOptions(QStringList& arguments)
{
    TShotOptions options;
    for (qsizetype i = 1; i < arguments.size();)
    {
        if (arguments[i] == QLatin1String("--game") && i + 1 < arguments.size())
            options.GameDir = arguments.takeAt(i + 1);
        else if (arguments[i] == QLatin1String("--out") && i + 1 < arguments.size())
            options.OutDir = QDir(arguments.takeAt(i + 1)).absolutePath();
        else if (arguments[i] == QLatin1String("--menu-only"))
            options.MenuOnly = true;
        else
        {
            ++i;
            continue;
        }
        arguments.removeAt(i);
    }
    return options;
}

bool RunUntil(const std::function<bool()>& done, const int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void RunFor(const int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    RunUntil([&] { return elapsed.elapsed() >= ms; }, ms);
}

// Waits until the viewer has drawn on screen, then takes the whole screen.
void SaveScreen(TGLSceneViewer* viewer, const QString& path)
{
    if (viewer != nullptr)
        RunUntil([&] { return viewer->RenderWindow()->isExposed() && viewer->Buffer()->FrameCount() > 0; }, 10000);
    // The window system shows a swapped frame a moment later.
    RunFor(300);
    QGuiApplication::primaryScreen()->grabWindow(0).toImage().save(path);
}

class TFacts
{
public:
    explicit TFacts(const QString& path) : FFile(path)
    {
        FFile.open(QIODevice::WriteOnly | QIODevice::Text);
        FStream.setDevice(&FFile);
    }
    void Add(const char* name, const QVariant& value) { FStream << name << ' ' << value.toString() << '\n'; }

private:
    QFile FFile;
    QTextStream FStream;
};

// The middle of a layout pixel of the viewer, in its screen pixels.
QPoint ScreenPoint(const TGLSceneViewer& viewer, const QPoint& layout)
{
    const double factor = viewer.DisplayScale().Factor;
    return {static_cast<int>((layout.x() + 0.5) * factor), static_cast<int>((layout.y() + 0.5) * factor)};
}

// The real pointer, moved by the window system to the viewer's point (in
// the layout's pixels), reaches the viewer as the player's would.
bool HoversPlayAt(TGLSceneViewer& viewer, const QPoint& point)
{
    QCursor::setPos(viewer.mapToGlobal(ScreenPoint(viewer, point)));
    RunUntil([] { return PlayHover; }, 2000);
    return PlayHover;
}

void ShowMenu(TApplication& application, TFacts& facts, const TShotOptions& options)
{
    application.CreateForm(Menu_Jeu);
    Menu_Jeu->AsyncTimer1->SetEnabled(false);
    Menu_Jeu->Show();
    TGLSceneViewer& viewer = *Menu_Jeu->GLSceneViewer1;
    facts.Add("menu_factor", viewer.DisplayScale().Factor);
    QCursor::setPos(0, 0);
    SaveScreen(&viewer, options.OutDir + QStringLiteral("/menu.png"));

    const QPoint play = ViewerPointOn(*Menu_Jeu->Play1).value_or(QPoint());
    const QPoint background = ViewerBackground(*Menu_Jeu).value_or(QPoint());
    facts.Add("hover_play", HoversPlayAt(viewer, play));
    QCursor::setPos(viewer.mapToGlobal(ScreenPoint(viewer, background)));
    RunUntil([] { return !PlayHover; }, 2000);
    facts.Add("hover_background", PlayHover);
    QTest::mousePress(viewer.RenderWindow(), Qt::LeftButton, Qt::NoModifier, ScreenPoint(viewer, play));
    facts.Add("press_play", StartRequested);
}

// The fight on a stopped clock, after one tick: the same picture at every
// scale.
void ShowFight(TApplication& application, const TShotOptions& options)
{
    Menu_Jeu->Hide();
    SplashScreen = new TSplashScreen(&application);
    SplashScreen->Initialize();
    SplashScreen->Show();
    SplashScreen->Repaint();
    application.CreateForm(Jeu);
    Jeu->AsyncTimer1->SetEnabled(false);
    TGLCadencer* const clock = Jeu->GLCadencer1;
    clock->SetMode(cmManual);
    clock->SetTimeReference(cmExternal);
    // The first step takes up the time the loading took, without the scene.
    clock->SetScene(nullptr);
    clock->SetCurrentTime(0);
    clock->Progress();
    clock->SetScene(Jeu->GLScene1);
    SaveScreen(nullptr, options.OutDir + QStringLiteral("/loading.png"));
    Jeu->AsyncTimer1Timer(Jeu->AsyncTimer1);
    Jeu->Show();
    SplashScreen->Close();
    SaveScreen(Jeu->GLSceneViewer1, options.OutDir + QStringLiteral("/fight.png"));
}
} // namespace

int main(int argc, char** argv)
{
    RegisterModules();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const TShotOptions options = TakeShotOptions(arguments);
    const TCommandLine commandLine = ParseCommandLine(arguments);
    if (commandLine.Action != TCommandLineAction::Run)
        return FinishWithoutRunning(commandLine);
    PrepareSurfaceFormat();
    QApplication qtApplication(argc, argv);
    {
        TApplication application;
        application.Initialize();
        application.SetWindowScale(commandLine.Options.WindowScale);
        application.OnException = [](const QString& message) {
            std::fprintf(stderr, "failure: %s\n", message.toLocal8Bit().constData());
        };
        application.SetExeName(options.GameDir + QStringLiteral("/bin/stickfight"));
        QDir::setCurrent(options.GameDir + QStringLiteral("/bin"));
        TFacts facts(options.OutDir + QStringLiteral("/facts.txt"));
        ShowMenu(application, facts, options);
        if (!options.MenuOnly)
            ShowFight(application, options);
    }
    ShutdownSound();
    return 0;
}
