#include "app/Application.h"
#include "app/AsyncTimer.h"
#include "app/Form.h"
#include "app/GLCadencer.h"
#include "app/Loading.h"

#include "SceneObjects.h"
#include "TestApplication.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <csignal>
#include <unistd.h>

class TerminationSignalsTest : public TApplicationTest
{
protected:
    // Puts a window up, sends the signal to the whole process once the loop
    // runs, and runs the loop; the time it took to end, or -1 if it did not.
    qint64 MillisecondsUntilTheLoopEnds(const int signalNumber, const std::function<void()>& putWindowUp)
    {
        putWindowUp();
        QTimer::singleShot(100, [signalNumber] { ::kill(::getpid(), signalNumber); });
        QTimer::singleShot(5000, [] { QCoreApplication::quit(); });
        QElapsedTimer elapsed;
        elapsed.start();
        FApplication->Run();
        return FApplication->Terminated() ? elapsed.elapsed() : -1;
    }

    // A fresh application object for each case: the handlers belong to it.
    void RenewApplication()
    {
        FApplication.reset();
        TApplicationTest::SetUp();
    }
};

TEST_F(TerminationSignalsTest, EachSignalEndsTheLoopFromTheLoadingWindowAndFromABusyWindow)
{
    for (const int signalNumber : {SIGTERM, SIGINT})
    {
        SCOPED_TRACE(signalNumber == SIGTERM ? "SIGTERM" : "SIGINT");
        RenewApplication();
        const qint64 loadingMs = MillisecondsUntilTheLoopEnds(signalNumber, [this] {
            auto* const loading = new TSplashScreen(FApplication.get());
            loading->Initialize();
            loading->Show();
        });
        EXPECT_GE(loadingMs, 0) << "the loading window kept the program running";
        EXPECT_LT(loadingMs, 3000);

        // Like the fight: a timer ticking and a frame clock that keeps the
        // loop as busy as it can.
        RenewApplication();
        TGLScene scene(nullptr);
        int ticks = 0;
        const qint64 busyMs = MillisecondsUntilTheLoopEnds(signalNumber, [&] {
            auto* const window = new TForm(FApplication.get());
            auto* const timer = new TAsyncTimer(window);
            timer->SetInterval(30);
            timer->SetOnTimer([&](QObject*) { ++ticks; });
            timer->SetEnabled(true);
            auto* const clock = new TGLCadencer(window);
            clock->SetScene(&scene);
            window->Show();
        });
        EXPECT_GE(busyMs, 0) << "the busy window kept the program running";
        EXPECT_LT(busyMs, 3000);
        EXPECT_GT(ticks, 0);
        RenewApplication();
    }
}

TEST_F(TerminationSignalsTest, SignalEndsTheProgramWhileAFailureIsShownBeforeTheLoopRuns)
{
    RenewApplication();
    FApplication->OnException = nullptr;
    QTimer::singleShot(100, [] { ::kill(::getpid(), SIGTERM); });
    // Closes a box the signal left up, so that the test ends either way.
    QTimer::singleShot(4000, [] {
        if (QWidget* const box = QApplication::activeModalWidget())
            box->close();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    FApplication->ShowException(QStringLiteral("Cannot open file \"Option1.3ds\". No such file or directory"));
    EXPECT_LT(elapsed.elapsed(), 3000) << "the message box stayed up after the signal";
    EXPECT_TRUE(FApplication->Terminated());
    elapsed.restart();
    FApplication->Run();
    EXPECT_LT(elapsed.elapsed(), 1000) << "the loop ran after the signal";
}
