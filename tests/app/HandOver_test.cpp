#include "app/Application.h"
#include "app/AsyncTimer.h"
#include "app/Form.h"
#include "app/HandOver.h"
#include "app/Loading.h"

#include "base/Exceptions.h"

#include "HangWatchdog.h"
#include "TestApplication.h"

#include <QApplication>
#include <QFontInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace
{
// Visible game windows right now.
int VisibleWindows()
{
    int count = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<const TForm*>(widget) != nullptr && widget->isVisible())
            ++count;
    return count;
}

// Records every window shown or hidden, with the number then visible.
class TWindowWatch : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const auto* form = qobject_cast<const TForm*>(watched);
        if (form != nullptr && form->isWindow() && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        {
            const QString change = event->type() == QEvent::Show ? QStringLiteral("show ") : QStringLiteral("hide ");
            FChanges << change + form->objectName();
            FVisibleCounts.push_back(VisibleWindows());
        }
        return false;
    }

    QStringList FChanges;
    std::vector<int> FVisibleCounts;
};

// Counts paints of a widget.
class TPaintCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++FPaints;
        return false;
    }
    int FPaints = 0;
};
} // namespace

QStringList Steps;

class TMenuDouble : public TForm
{
    Q_OBJECT
    Q_PROPERTY(TAsyncTimer* AsyncTimer1 MEMBER AsyncTimer1)

public:
    explicit TMenuDouble(QObject* AOwner) : TForm(AOwner) {}
    ~TMenuDouble() override { DestroyedDuringHandOverTick = InHandOverTick; }

    Q_INVOKABLE void FormCreate(QObject*)
    {
        ++FCreations;
        if (FCreations == 2)
            Steps << QStringLiteral("menu created again, visible %1, loading window %2")
                         .arg(isVisible())
                         .arg(SplashScreen != nullptr);
        if (FCreations == 2 && FailingAgain)
            throw Exception(QStringLiteral("Cannot open file \"Option1.3ds\". No such file or directory"));
    }

    Q_INVOKABLE void AsyncTimer1Timer(QObject*)
    {
        if (!StartHandOver || FHandedOver)
            return;
        FHandedOver = true;
        InHandOverTick = true;
        HandOver(*this, CreateFight);
        Steps << QStringLiteral("bar at %1 of %2").arg(SplashScreen->ProgressBar1->Position()).arg(SplashScreen->ProgressBar1->Max());
        if (Application->Terminated())
            Steps << QStringLiteral("terminated within the hand-over's tick");
        LoadingWindow = SplashScreen;
        InHandOverTick = false;
    }

    static TForm* CreateFight();
    static inline bool StartHandOver = false;
    // The creation handler fails when the hand-over runs it again.
    static inline bool FailingAgain = false;
    static inline QPointer<TSplashScreen> LoadingWindow;
    static inline bool InHandOverTick = false;
    static inline bool DestroyedDuringHandOverTick = false;
    TAsyncTimer* AsyncTimer1 = nullptr;
    int FCreations = 0;
    bool FHandedOver = false;
};

class TFightDouble : public TForm
{
    Q_OBJECT

public:
    explicit TFightDouble(QObject* AOwner) : TForm(AOwner) {}

    // Stands in for the fight's loads: one step of the bar per file, and a
    // file that cannot be opened when asked to.
    Q_INVOKABLE void FormCreate(QObject*)
    {
        TProgressBar* const bar = SplashScreen->ProgressBar1;
        TPaintCounter counter;
        QProgressBar* const nativeBar = bar->findChild<QProgressBar*>();
        nativeBar->installEventFilter(&counter);
        Steps << QStringLiteral("fight creating, loading window visible %1, menu main %2")
                     .arg(SplashScreen->isVisible())
                     .arg(Application->MainForm() != nullptr);
        if (SignalDuringCreation != 0)
            ::kill(::getpid(), SignalDuringCreation);
        for (int load = 0; load < 25; ++load)
        {
            if (load == FailingLoad)
                throw Exception(QStringLiteral("Cannot open \"Miniville.3ds\""));
            bar->SetPosition(bar->Position() + 1);
        }
        Steps << QStringLiteral("bar painted %1 times").arg(counter.FPaints >= 25 ? "25+" : QString::number(counter.FPaints));
    }

    static inline int FailingLoad = -1;
    static inline int SignalDuringCreation = 0;
};

TFightDouble* FightDouble = nullptr;

TForm* TMenuDouble::CreateFight()
{
    Application->CreateForm(FightDouble);
    return FightDouble;
}

class HandOverTest : public TApplicationTest
{
protected:
    void SetUp() override
    {
        TApplicationTest::SetUp();
        Steps.clear();
        SplashScreen = nullptr;
        FightDouble = nullptr;
        TMenuDouble::StartHandOver = false;
        TMenuDouble::FailingAgain = false;
        TMenuDouble::InHandOverTick = false;
        TMenuDouble::DestroyedDuringHandOverTick = false;
        TFightDouble::FailingLoad = -1;
        TFightDouble::SignalDuringCreation = 0;
        qApp->installEventFilter(&FWatch);
    }

    // Starts the menu's hand-over from its own 5 ms timer and runs the loop
    // until the menu and the loading window are gone. Message boxes are the
    // application's own: each is noted and then dismissed, as a person would.
    void HandOverWithMessageBoxes()
    {
        FApplication->OnException = nullptr;
        QTimer dismisser;
        QObject::connect(&dismisser, &QTimer::timeout, [this] {
            auto* const box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            FBoxes << QStringLiteral("%1; loading window visible %2, menu alive %3, terminated %4")
                          .arg(box->text())
                          .arg(SplashScreen != nullptr && SplashScreen->isVisible())
                          .arg(!FMenu.isNull())
                          .arg(FApplication->Terminated());
            box->accept();
        });
        dismisser.start(20);

        TMenuDouble* menu = nullptr;
        FApplication->CreateForm(menu);
        FMenu = menu;
        menu->Show();
        ASSERT_TRUE(RunUntil([&] { return menu->isVisible(); }));
        TMenuDouble::StartHandOver = true;
        ASSERT_TRUE(RunUntil([&] { return FMenu.isNull() && TMenuDouble::LoadingWindow.isNull(); }, 5000));
    }

    QPointer<TMenuDouble> FMenu;
    QStringList FBoxes;

    void TearDown() override
    {
        qApp->removeEventFilter(&FWatch);
        TApplicationTest::TearDown();
    }

    TWindowWatch FWatch;
};

TEST_F(HandOverTest, MenuHandsOverToTheFightThroughTheLoadingWindow)
{
    TMenuDouble* menu = nullptr;
    FApplication->CreateForm(menu);
    menu->Show();
    ASSERT_TRUE(RunUntil([&] { return menu->isVisible(); }));
    EXPECT_EQ(SplashScreen, nullptr) << "only the menu exists at start";
    QPointer<TMenuDouble> watchedMenu(menu);
    TMenuDouble::StartHandOver = true;

    ASSERT_TRUE(RunUntil([&] { return FightDouble != nullptr; }, 5000));
    ASSERT_TRUE(RunUntil([&] { return watchedMenu.isNull() && TMenuDouble::LoadingWindow.isNull(); }, 5000));

    const QStringList expectedSteps{
        "menu created again, visible 0, loading window 0",
        "fight creating, loading window visible 1, menu main 1",
        "bar painted 25+ times",
        "bar at 25 of 25",
    };
    EXPECT_EQ(Steps, expectedSteps);
    const QStringList expectedChanges{"show MenuDouble", "hide MenuDouble", "show SplashScreen", "show FightDouble",
                                      "hide SplashScreen"};
    EXPECT_EQ(FWatch.FChanges, expectedChanges);
    // From the loading window's appearance on, a window is always on screen.
    for (size_t i = 2; i < FWatch.FVisibleCounts.size(); ++i)
        EXPECT_GE(FWatch.FVisibleCounts[i], 1) << "after " << FWatch.FChanges[int(i)].toStdString();
    EXPECT_TRUE(FightDouble->isVisible());
    EXPECT_EQ(FApplication->MainForm(), nullptr);
    EXPECT_FALSE(FApplication->Terminated());
}

TEST_F(HandOverTest, FightFailingToLoadShowsTheFailureAndTheHandOverGoesOn)
{
    const THangWatchdog watchdog(std::chrono::seconds(10), "the hand-over with a failing fight window");
    TFightDouble::FailingLoad = 3;
    HandOverWithMessageBoxes();
    if (HasFatalFailure())
        return;

    EXPECT_EQ(FBoxes.join('\n').toStdString(),
              "Cannot open \"Miniville.3ds\"; loading window visible 1, menu alive 1, terminated 0");
    const QStringList expectedSteps{
        "menu created again, visible 0, loading window 0",
        "fight creating, loading window visible 1, menu main 1",
        "bar at 4 of 25",
    };
    EXPECT_EQ(Steps, expectedSteps);
    const QStringList expectedChanges{"show MenuDouble", "hide MenuDouble", "show SplashScreen", "show FightDouble",
                                      "hide SplashScreen"};
    EXPECT_EQ(FWatch.FChanges, expectedChanges);
    // The menu was released inside its own tick; it went once the tick was over.
    EXPECT_FALSE(TMenuDouble::DestroyedDuringHandOverTick);
    ASSERT_NE(FightDouble, nullptr);
    EXPECT_TRUE(FightDouble->isVisible());
    EXPECT_FALSE(FApplication->Terminated());
}

TEST_F(HandOverTest, MenuFailingToLoadAgainShowsTheFailureAndTheHandOverGoesOn)
{
    const THangWatchdog watchdog(std::chrono::seconds(10), "the hand-over with a failing menu");
    TMenuDouble::FailingAgain = true;
    HandOverWithMessageBoxes();
    if (HasFatalFailure())
        return;

    EXPECT_EQ(FBoxes.join('\n').toStdString(),
              "Cannot open file \"Option1.3ds\". No such file or directory; loading window visible 0, menu alive 1, "
              "terminated 0");
    const QStringList expectedSteps{
        "menu created again, visible 0, loading window 0",
        "fight creating, loading window visible 1, menu main 1",
        "bar painted 25+ times",
        "bar at 25 of 25",
    };
    EXPECT_EQ(Steps, expectedSteps);
    const QStringList expectedChanges{"show MenuDouble", "hide MenuDouble", "show SplashScreen", "show FightDouble",
                                      "hide SplashScreen"};
    EXPECT_EQ(FWatch.FChanges, expectedChanges);
    ASSERT_NE(FightDouble, nullptr);
    EXPECT_TRUE(FightDouble->isVisible());
    EXPECT_FALSE(FApplication->Terminated());
}

TEST_F(HandOverTest, TerminationSignalDuringTheHandOverTakesEffectOnceItHasEnded)
{
    const THangWatchdog watchdog(std::chrono::seconds(10), "the hand-over with a termination signal");
    // The message box runs a loop of its own while the hand-over is under way.
    TFightDouble::FailingLoad = 0;
    TFightDouble::SignalDuringCreation = SIGINT;
    HandOverWithMessageBoxes();
    if (HasFatalFailure())
        return;

    EXPECT_EQ(FBoxes.join('\n').toStdString(),
              "Cannot open \"Miniville.3ds\"; loading window visible 1, menu alive 1, terminated 0");
    EXPECT_FALSE(Steps.contains("terminated within the hand-over's tick")) << Steps.join('\n').toStdString();
    EXPECT_TRUE(RunUntil([&] { return FApplication->Terminated(); }, 2000));
    const QStringList expectedChanges{"show MenuDouble", "hide MenuDouble", "show SplashScreen", "show FightDouble",
                                      "hide SplashScreen"};
    EXPECT_EQ(FWatch.FChanges, expectedChanges);
}

TEST_F(HandOverTest, LoadingWindowStartsItsBarAtOneOfTwentyFive)
{
    auto* splash = new TSplashScreen(FApplication.get());
    splash->Initialize();
    EXPECT_EQ(splash->ProgressBar1->Min(), 1);
    EXPECT_EQ(splash->ProgressBar1->Max(), 25);
    EXPECT_EQ(splash->ProgressBar1->Position(), 1);
    EXPECT_EQ(splash->Image1->Picture()->Width(), 1280);
    EXPECT_EQ(splash->Image1->Picture()->Height(), 800);
    EXPECT_EQ(splash->Loading->Caption(), "Loading");
    EXPECT_EQ(splash->Cursor(), crCross);
    splash->ProgressBar1->SetPosition(26);
    EXPECT_EQ(splash->ProgressBar1->Position(), 25);
    // The label's face stands in for the layout's comic face.
    EXPECT_EQ(QFontInfo(splash->Loading->font()).family(), "Comic Neue");
    splash->Show();
    ASSERT_TRUE(RunUntil([&] { return splash->isVisible(); }));
    splash->grab().save(QStringLiteral("loading_window.png"));
}


#include "HandOver_test.moc"
