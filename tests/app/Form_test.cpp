#include "app/Application.h"
#include "app/Form.h"
#include "base/Exceptions.h"

#include "TestApplication.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <ctime>

// A window whose creation handler fails half-way when asked to.
class TTestForm : public TForm
{
    Q_OBJECT

public:
    explicit TTestForm(QObject* AOwner) : TForm(AOwner) {}

    Q_INVOKABLE void FormCreate(QObject*)
    {
        FCreateSteps = 1;
        if (FailCreation)
            throw Exception(QStringLiteral("Cannot open \"Miniville.3ds\""));
        FCreateSteps = 2;
    }

    Q_INVOKABLE void FormKeyPress(QObject*, QChar& Key)
    {
        FKeys += Key;
        if (Key == QLatin1Char('x'))
            throw Exception(QStringLiteral("key handler failed"));
    }

    static inline bool FailCreation = false;
    int FCreateSteps = 0;
    QString FKeys;
};

// A window whose layout asks for full screen, as the game's windows do.
class TFullScreenForm : public TForm
{
    Q_OBJECT

public:
    explicit TFullScreenForm(QObject* AOwner) : TForm(AOwner) {}

    Q_INVOKABLE void FormKeyPress(QObject*, QChar& Key) { FKeys += Key; }

    QString FKeys;
};

class FormTest : public TApplicationTest
{
protected:
    void SetUp() override
    {
        TApplicationTest::SetUp();
        TTestForm::FailCreation = false;
    }
};

TEST_F(FormTest, FirstCreatedWindowIsTheMainWindowAndClosingItEndsTheLoop)
{
    TTestForm* first = nullptr;
    TTestForm* second = nullptr;
    FApplication->CreateForm(first);
    FApplication->CreateForm(second);
    EXPECT_EQ(FApplication->MainForm(), first);
    EXPECT_EQ(first->Caption(), "test form");
    bool secondClosedAlone = false;
    QTimer::singleShot(50, [&] {
        second->Show();
        second->Close();
        secondClosedAlone = !second->isVisible() && !FApplication->Terminated();
        first->Close();
    });
    QTimer::singleShot(5000, [] { QCoreApplication::quit(); });
    FApplication->Run();
    EXPECT_TRUE(secondClosedAlone);
    EXPECT_TRUE(FApplication->Terminated());
}

TEST_F(FormTest, CloseRequestFromTheWindowSystemOnTheMainWindowEndsTheLoop)
{
    TTestForm* form = nullptr;
    FApplication->CreateForm(form);
    QTimer::singleShot(50, [&] { form->close(); });
    QTimer::singleShot(5000, [] { QCoreApplication::quit(); });
    FApplication->Run();
    EXPECT_TRUE(FApplication->Terminated());
}

TEST_F(FormTest, DestroyingAReleasedMainWindowDoesNotEndTheProgram)
{
    TTestForm* form = nullptr;
    FApplication->CreateForm(form);
    QPointer<TTestForm> watched(form);
    form->Release();
    EXPECT_FALSE(watched.isNull()) << "released windows live until the loop runs again";
    ASSERT_TRUE(RunUntil([&] { return watched.isNull(); }));
    EXPECT_EQ(FApplication->MainForm(), nullptr);
    EXPECT_FALSE(FApplication->Terminated());
    // The main window is not handed to a window that exists; a window
    // created through the application from now on takes the empty place.
    TTestForm* next = nullptr;
    FApplication->CreateForm(next);
    EXPECT_EQ(FApplication->MainForm(), next);
}

TEST_F(FormTest, ReleasedWindowOutlivesNestedLoopsOfTheHandlerThatReleasedIt)
{
    TTestForm* form = nullptr;
    FApplication->CreateForm(form);
    const QPointer<TTestForm> watched(form);
    bool aliveAfterNestedLoops = false;
    QTimer::singleShot(0, [&] {
        form->Release();
        // A modal message box runs such a loop; so may anything the handler calls.
        QEventLoop nested;
        QTimer::singleShot(50, &nested, &QEventLoop::quit);
        nested.exec();
        QCoreApplication::processEvents();
        aliveAfterNestedLoops = !watched.isNull();
    });
    ASSERT_TRUE(RunUntil([&] { return watched.isNull(); }));
    EXPECT_TRUE(aliveAfterNestedLoops);
}

namespace
{
double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}
} // namespace

TEST_F(FormTest, RepaintWaitsForTheWindowSystemAsleepAndDestroysNoReleasedWindow)
{
    TTestForm* released = nullptr;
    FApplication->CreateForm(released);
    const QPointer<TTestForm> watchedReleased(released);
    TTestForm* form = nullptr;
    FApplication->CreateForm(form);
    // Never put on the screen, the window is never exposed: the wait lasts its
    // whole time limit.
    form->setAttribute(Qt::WA_DontShowOnScreen);

    qint64 waitedMs = -1;
    double cpuMs = 0;
    bool releasedAliveAfterWait = false;
    QTimer::singleShot(0, [&] {
        released->Release();
        form->Show();
        QElapsedTimer elapsed;
        elapsed.start();
        const double cpuBefore = ThreadCpuMs();
        form->Repaint();
        cpuMs = ThreadCpuMs() - cpuBefore;
        waitedMs = elapsed.elapsed();
        releasedAliveAfterWait = !watchedReleased.isNull();
    });
    ASSERT_TRUE(RunUntil([&] { return waitedMs >= 0; }, 5000));
    EXPECT_GE(waitedMs, 900);
    EXPECT_LT(waitedMs, 4000);
    // A polling wait spends about the whole second on the processor.
    EXPECT_LT(cpuMs, 0.2 * waitedMs);
    EXPECT_TRUE(releasedAliveAfterWait);
    EXPECT_TRUE(RunUntil([&] { return watchedReleased.isNull(); }));
}

TEST_F(FormTest, CreationHandlerFailingHalfWayIsShownAndTheWindowIsStillCreated)
{
    TTestForm::FailCreation = true;
    TTestForm* form = nullptr;
    FApplication->CreateForm(form);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->FCreateSteps, 1);
    EXPECT_EQ(FShownFailures, QStringList{"Cannot open \"Miniville.3ds\""});
    EXPECT_EQ(form->Caption(), "test form");
    EXPECT_EQ(FApplication->MainForm(), form);
}

TEST_F(FormTest, FailureOfAKeyHandlerIsShownAndTheWindowGoesOn)
{
    TTestForm* form = nullptr;
    FApplication->CreateForm(form);
    QKeyEvent failing(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(form, &failing);
    QKeyEvent next(QEvent::KeyPress, Qt::Key_P, Qt::NoModifier, QStringLiteral("p"));
    QCoreApplication::sendEvent(form, &next);
    EXPECT_EQ(FShownFailures, QStringList{"key handler failed"});
    EXPECT_EQ(form->FKeys, "xp");
}

TEST_F(FormTest, MaximisedBorderlessWindowCoversTheScreensFreeArea)
{
    TTestForm* form = nullptr;
    FApplication->CreateForm(form);
    form->SetBorderStyle(bsNone);
    form->SetWindowState(wsMaximized);
    form->Show();
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));
    ASSERT_TRUE(RunUntil([&] { return form->geometry() == form->screen()->availableGeometry(); }));
}

namespace
{
void PressF11(TForm& form, const QString& text = {}, const bool autoRepeat = false)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier, text, autoRepeat);
    QCoreApplication::sendEvent(&form, &press);
}

bool IsFrameless(const TForm& form)
{
    return form.windowFlags().testFlag(Qt::FramelessWindowHint);
}
} // namespace

TEST_F(FormTest, F11SwitchesFullScreenOnAndOffAndNeverReachesTheKeyHandler)
{
    TTestForm* form = nullptr;
    FApplication->CreateForm(form);
    form->Show();
    const QRect normal(0, 0, 320, 200);
    ASSERT_TRUE(RunUntil([&] { return form->geometry() == normal; }));
    EXPECT_FALSE(form->IsFullScreen());

    PressF11(*form);
    EXPECT_TRUE(form->IsFullScreen());
    EXPECT_EQ(form->BorderStyle(), bsNone);
    EXPECT_EQ(form->WindowState(), wsMaximized);
    EXPECT_TRUE(IsFrameless(*form));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(RunUntil([&] { return form->geometry() == form->screen()->availableGeometry(); }));

    // A held key repeats: the window does not flicker between the two.
    PressF11(*form, {}, true);
    EXPECT_TRUE(form->IsFullScreen());

    // Some platforms attach a text to function keys; the game sees none.
    PressF11(*form, QStringLiteral("p"));
    EXPECT_FALSE(form->IsFullScreen());
    EXPECT_EQ(form->BorderStyle(), bsSizeable);
    EXPECT_EQ(form->WindowState(), wsNormal);
    EXPECT_FALSE(IsFrameless(*form));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(RunUntil([&] { return form->geometry() == normal; }));

    EXPECT_EQ(form->FKeys, "");
    EXPECT_TRUE(FShownFailures.isEmpty());
}

TEST_F(FormTest, WindowedApplicationGivesFullScreenLayoutsANormalWindowUntilF11)
{
    TFullScreenForm* asDesigned = nullptr;
    FApplication->CreateForm(asDesigned);
    EXPECT_EQ(asDesigned->BorderStyle(), bsNone);
    EXPECT_EQ(asDesigned->WindowState(), wsMaximized);
    EXPECT_TRUE(IsFrameless(*asDesigned));

    FApplication->SetWindowed(true);
    TFullScreenForm* form = nullptr;
    FApplication->CreateForm(form);
    EXPECT_EQ(form->BorderStyle(), bsSizeable);
    EXPECT_EQ(form->WindowState(), wsNormal);
    form->Show();
    EXPECT_FALSE(IsFrameless(*form));
    EXPECT_TRUE(RunUntil([&] { return form->geometry() == QRect(30, 40, 400, 300); }));

    PressF11(*form);
    EXPECT_TRUE(form->IsFullScreen());
    EXPECT_TRUE(IsFrameless(*form));
    EXPECT_TRUE(RunUntil([&] { return form->geometry() == form->screen()->availableGeometry(); }));
    PressF11(*form);
    EXPECT_FALSE(IsFrameless(*form));
    EXPECT_TRUE(RunUntil([&] { return form->geometry() == QRect(30, 40, 400, 300); }));
    EXPECT_EQ(form->FKeys, "");
}

#include "Form_test.moc"
