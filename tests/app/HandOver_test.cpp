#include "app/Application.h"
#include "app/AsyncTimer.h"
#include "app/Form.h"
#include "app/HandOver.h"
#include "app/Loading.h"

#include "TestApplication.h"

#include <QApplication>
#include <QFontInfo>
#include <QPointer>
#include <QProgressBar>

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

    Q_INVOKABLE void FormCreate(QObject*)
    {
        ++FCreations;
        if (FCreations == 2)
            Steps << QStringLiteral("menu created again, visible %1, loading window %2")
                         .arg(isVisible())
                         .arg(SplashScreen != nullptr);
    }

    Q_INVOKABLE void AsyncTimer1Timer(QObject*)
    {
        if (!StartHandOver || FHandedOver)
            return;
        FHandedOver = true;
        HandOver(*this, CreateFight);
        Steps << QStringLiteral("bar at %1 of %2").arg(SplashScreen->ProgressBar1->Position()).arg(SplashScreen->ProgressBar1->Max());
        LoadingWindow = SplashScreen;
    }

    static TForm* CreateFight();
    static inline bool StartHandOver = false;
    static inline QPointer<TSplashScreen> LoadingWindow;
    TAsyncTimer* AsyncTimer1 = nullptr;
    int FCreations = 0;
    bool FHandedOver = false;
};

class TFightDouble : public TForm
{
    Q_OBJECT

public:
    explicit TFightDouble(QObject* AOwner) : TForm(AOwner) {}

    // Stands in for the fight's loads: one step of the bar per file.
    Q_INVOKABLE void FormCreate(QObject*)
    {
        TProgressBar* const bar = SplashScreen->ProgressBar1;
        auto* const counter = new TPaintCounter;
        QProgressBar* const nativeBar = bar->findChild<QProgressBar*>();
        nativeBar->installEventFilter(counter);
        Steps << QStringLiteral("fight creating, loading window visible %1, menu main %2")
                     .arg(SplashScreen->isVisible())
                     .arg(Application->MainForm() != nullptr);
        for (int load = 0; load < 25; ++load)
            bar->SetPosition(bar->Position() + 1);
        Steps << QStringLiteral("bar painted %1 times").arg(counter->FPaints >= 25 ? "25+" : QString::number(counter->FPaints));
        nativeBar->removeEventFilter(counter);
        delete counter;
    }
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
        qApp->installEventFilter(&FWatch);
    }

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
