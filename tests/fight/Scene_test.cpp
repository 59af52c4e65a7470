#include "app/AsyncTimer.h"
#include "fight/Scene.h"

#include "TestApplication.h"

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

class FightWindowTest : public TApplicationTest
{
};

TEST_F(FightWindowTest, LayoutBuildsTheArenaCameraAndFrameClock)
{
    TJeu* fight = nullptr;
    FApplication->CreateForm(fight);
    ASSERT_NE(fight->GLScene1, nullptr);
    ASSERT_NE(fight->GLSceneViewer1, nullptr);
    ASSERT_NE(fight->GLCamera1, nullptr);
    EXPECT_EQ(fight->GLSceneViewer1->Camera(), fight->GLCamera1);
    EXPECT_EQ(fight->GLCamera1->TargetObject(), fight->GLDummyCube1);
    EXPECT_EQ(fight->GLCadencer1->Scene(), fight->GLScene1);
    EXPECT_EQ(fight->GLCamera1->Parent(), fight->GLScene1->Cameras());
    EXPECT_EQ(fight->GLScene1->Lights()[0], fight->GLLightSource1);
    EXPECT_NEAR(fight->GLSceneViewer1->FieldOfView(), 167.375, 0.001);
    EXPECT_TRUE(fight->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}

TEST_F(FightWindowTest, FrameClockRedrawsContinuouslyWhileTheFightTimerKeepsItsPeriod)
{
    TJeu* fight = nullptr;
    FApplication->CreateForm(fight);
    fight->Show();
    std::vector<qint64> ticks;
    QElapsedTimer clock;
    clock.start();
    TAsyncTimer fightTick(nullptr);
    fightTick.SetInterval(30);
    fightTick.SetOnTimer([&](QObject*) { ticks.push_back(clock.nsecsElapsed()); });
    fightTick.SetEnabled(true);

    TGLSceneBuffer* const buffer = fight->GLSceneViewer1->Buffer();
    ASSERT_TRUE(RunUntil([&] { return buffer->FrameCount() > 0; }, 3000));
    std::vector<int> counts;
    for (int sample = 0; sample < 4; ++sample)
    {
        RunFor(150);
        counts.push_back(buffer->FrameCount());
    }
    fightTick.SetEnabled(false);
    for (size_t i = 1; i < counts.size(); ++i)
        EXPECT_GT(counts[i], counts[i - 1]) << "the viewer stopped redrawing";

    ASSERT_GE(ticks.size(), 10u);
    std::vector<double> periods;
    for (size_t i = 1; i < ticks.size(); ++i)
        periods.push_back((ticks[i] - ticks[i - 1]) / 1e6);
    std::sort(periods.begin(), periods.end());
    const double median = periods[periods.size() / 2];
    EXPECT_GE(median, 29.0);
    EXPECT_LE(median, 36.0);
    EXPECT_TRUE(FShownFailures.isEmpty()) << FShownFailures.join('\n').toStdString();
}
