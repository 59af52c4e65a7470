// The windows on screens of any size: the "--scale" option, the fitted and
// centred scale, and the game's own windows on X servers of three sizes,
// whose pictures must be the unscaled windows' pictures scaled.

#include "ProgramOptions.h"
#include "WindowScale.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace
{
// ------------------------------------------------------------- the option

TCommandLine Parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("stickfight"));
    return ParseCommandLine(arguments);
}

TEST(ScaleOption, ReadsAFactorAndRefusesAbsurdOnes)
{
    const TCommandLine given = Parse({QStringLiteral("--scale"), QStringLiteral("0.68"), QStringLiteral("--windowed")});
    ASSERT_EQ(given.Action, TCommandLineAction::Run);
    EXPECT_FALSE(given.Options.WindowScale.FitsScreen);
    EXPECT_DOUBLE_EQ(given.Options.WindowScale.Factor, 0.68);
    EXPECT_TRUE(given.Options.Windowed);

    EXPECT_DOUBLE_EQ(Parse({QStringLiteral("--scale=2")}).Options.WindowScale.Factor, 2);
    EXPECT_DOUBLE_EQ(Parse({QStringLiteral("--scale"), QStringLiteral("0.25")}).Options.WindowScale.Factor, 0.25);
    EXPECT_DOUBLE_EQ(Parse({QStringLiteral("--scale"), QStringLiteral("8")}).Options.WindowScale.Factor, 8);
    EXPECT_FALSE(Parse({QStringLiteral("--scale"), QStringLiteral("1")}).Options.WindowScale.FitsScreen);
    EXPECT_TRUE(Parse({}).Options.WindowScale.FitsScreen) << "without the option each window fits the screen";

    for (const char* absurd : {"0", "-1", "0.2", "8.5", "150", "abc", "1,5", "nan", "inf", ""})
    {
        const TCommandLine refused = Parse({QStringLiteral("--scale"), QString::fromLatin1(absurd)});
        EXPECT_EQ(refused.Action, TCommandLineAction::Refuse) << absurd;
        EXPECT_EQ(refused.Error.toStdString(),
                  std::string("--scale needs a number from 0.25 to 8, not \"") + absurd + "\".");
    }
    EXPECT_EQ(Parse({QStringLiteral("--scale")}).Action, TCommandLineAction::Refuse);
}

TEST(ScaleOption, ProgramRefusesAnAbsurdFactorWithStatusTwoAndNoWindow)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Without a display a program that went on would fail otherwise.
    environment.remove(QStringLiteral("DISPLAY"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(STICKFIGHT_PROGRAM), {QStringLiteral("--scale"), QStringLiteral("0")});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(program.readAllStandardError().startsWith(
        "stickfight: --scale needs a number from 0.25 to 8, not \"0\".\n"));
}

// ------------------------------------------------------- fitting by hand

TEST(WindowDisplayScale, FitsTheControlsToTheScreenAndCentresThem)
{
    // The fight's controls: the gauges (one starts left of the corner) and
    // the viewer reach 1490 right and 936 down.
    const QSize fight = ControlsExtent({{-7, 0, 737, 33}, {728, 0, 712, 33}, {0, 32, 1490, 904}});
    EXPECT_EQ(fight, QSize(1490, 936));

    // A 1366 x 768 laptop: the height decides, 768 / 936; the content is
    // 1490 * 768 / 936 = 1222.6, rounded 1223 wide, (1366 - 1223) / 2 = 71.
    const TDisplayScale laptop = WindowDisplayScale({true, 1}, {1366, 768}, {1366, 768}, fight);
    EXPECT_DOUBLE_EQ(laptop.Factor, 768.0 / 936);
    EXPECT_EQ(laptop.Origin, QPoint(71, 0));

    // A tall screen: the width decides, 1200 / 1490; 936 * 1200 / 1490 = 753.8,
    // rounded 754 high, (1600 - 754) / 2 = 423.
    const TDisplayScale tall = WindowDisplayScale({true, 1}, {1200, 1600}, {1200, 1600}, fight);
    EXPECT_DOUBLE_EQ(tall.Factor, 1200.0 / 1490);
    EXPECT_EQ(tall.Origin, QPoint(0, 423));

    // The screen's free area sets the factor; a smaller window shows the
    // content from its corner, never shifted out at the left or top.
    const TDisplayScale small = WindowDisplayScale({true, 1}, {1366, 768}, {800, 600}, fight);
    EXPECT_DOUBLE_EQ(small.Factor, 768.0 / 936);
    EXPECT_EQ(small.Origin, QPoint(0, 0));

    // A forced factor keeps the corner, whatever the screen.
    const TDisplayScale forced = WindowDisplayScale({false, 2}, {1366, 768}, {1366, 768}, fight);
    EXPECT_DOUBLE_EQ(forced.Factor, 2);
    EXPECT_EQ(forced.Origin, QPoint(0, 0));
}

// --------------------------------------------------- the game's windows

// An X server of its own, gone with the test (or with the test's process).
class TPrivateScreen
{
public:
    explicit TPrivateScreen(const QSize& size)
    {
        FServer.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        FServer.setStandardErrorFile(QProcess::nullDevice());
        // The server tells the display it took on its output, once it is
        // ready for clients.
        FServer.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                       QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp"), QStringLiteral("-noreset")});
        while (!FServer.canReadLine() && FServer.waitForReadyRead(10000))
        {
        }
        const QString number = QString::fromLatin1(FServer.readLine()).trimmed();
        if (!number.isEmpty())
            FDisplay = QStringLiteral(":") + number;
    }
    ~TPrivateScreen()
    {
        FServer.terminate();
        if (!FServer.waitForFinished(5000))
            FServer.kill();
        FServer.waitForFinished();
    }
    TPrivateScreen(const TPrivateScreen&) = delete;
    TPrivateScreen& operator=(const TPrivateScreen&) = delete;

    QString Display() const { return FDisplay; }

private:
    QProcess FServer;
    QString FDisplay;
};

// One run of the game's windows: the screen, the factor asked for (none:
// fitted) and what came of it.
struct TRun
{
    TRun(const QSize& screen, const double forced) : Screen(screen), Forced(forced) {}

    QSize Screen;
    double Forced = 0;
    std::map<QString, QImage> Pictures;
    std::map<QString, QString> Facts;

    bool Fitted() const { return Forced == 0; }
    std::string Name() const
    {
        return QStringLiteral("%1x%2 %3")
            .arg(Screen.width())
            .arg(Screen.height())
            .arg(Fitted() ? QStringLiteral("fitted") : QStringLiteral("--scale %1").arg(Forced))
            .toStdString();
    }
};

void Perform(TRun& run)
{
    const TPrivateScreen screen(run.Screen);
    ASSERT_FALSE(screen.Display().isEmpty()) << "Xvfb did not start";
    QTemporaryDir out;
    QStringList arguments{QStringLiteral("--game"), QStringLiteral(STICKFIGHT_GAME_DIR), QStringLiteral("--out"),
                          out.path()};
    if (!run.Fitted())
        arguments << QStringLiteral("--scale") << QString::number(run.Forced);
    QProcess shots;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), screen.Display());
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    shots.setProcessEnvironment(environment);
    shots.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shots.start(QStringLiteral(SCALE_SHOTS), arguments);
    if (!shots.waitForFinished(60000))
    {
        shots.kill();
        shots.waitForFinished();
        FAIL() << run.Name() << ": the windows did not finish";
    }
    ASSERT_EQ(shots.exitCode(), 0) << run.Name();
    for (const char* name : {"menu", "loading", "fight"})
    {
        const QString key = QString::fromLatin1(name);
        run.Pictures[key] = QImage(out.filePath(key + QStringLiteral(".png"))).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(run.Pictures[key].size(), run.Screen) << run.Name() << " " << name;
    }
    QFile facts(out.filePath(QStringLiteral("facts.txt")));
    ASSERT_TRUE(facts.open(QIODevice::ReadOnly | QIODevice::Text));
    for (const QByteArray& line : facts.readAll().split('\n'))
        if (const qsizetype space = line.indexOf(' '); space > 0)
            run.Facts[QString::fromLatin1(line.left(space))] = QString::fromLatin1(line.mid(space + 1));
}

// The content's extent of each window, from its stored layout by hand: the
// menu's viewer at 56, 18 is 1450 x 930; the fight's viewer at 0, 32 is
// 1490 x 904; the loading window's picture at 72, 0 is 1280 x 800.
const std::map<QString, QSize> Extents{{QStringLiteral("menu"), {1506, 948}},
                                       {QStringLiteral("fight"), {1490, 936}},
                                       {QStringLiteral("loading"), {1352, 800}}};

// Where a window's content stands in a run's picture, and at what factor.
struct TPlacement
{
    double Factor = 1;
    QPointF Origin;

    QPointF ToScreen(const QPointF& layout) const { return Origin + layout * Factor; }
};

// Fitted, a window's factor is the smaller ratio of the screen's size to its
// extent: on every screen here (16:10) the height, 640 / 948 for the menu on
// 1024 x 640; its content is centred across. Forced, the corner keeps it.
TPlacement Placement(const TRun& run, const QString& window)
{
    if (!run.Fitted())
        return {run.Forced, {}};
    const QSize extent = Extents.at(window);
    const double factor =
        std::min(double(run.Screen.width()) / extent.width(), double(run.Screen.height()) / extent.height());
    const double width = std::round(extent.width() * factor);
    const double height = std::round(extent.height() * factor);
    return {factor, {std::floor((run.Screen.width() - width) / 2), std::floor((run.Screen.height() - height) / 2)}};
}

class GameWindowsAtScale : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        FRuns = {TRun{{1600, 1000}, 1}, TRun{{1024, 640}, 0.68}, TRun{{3200, 2000}, 2},
                 TRun{{1024, 640}, 0},  TRun{{1600, 1000}, 0},   TRun{{3200, 2000}, 0}};
        for (TRun& run : FRuns)
        {
            Perform(run);
            if (testing::Test::HasFatalFailure())
                return;
        }
    }
    static void TearDownTestSuite() { FRuns.clear(); }

    void SetUp() override
    {
        if (FRuns.empty() || FRuns.back().Pictures.empty())
            GTEST_SKIP() << "the windows were not all taken";
    }

    // The unscaled windows, at the corner of a 1600 x 1000 screen.
    static const TRun& Reference() { return FRuns.front(); }
    static std::vector<const TRun*> Scaled()
    {
        std::vector<const TRun*> scaled;
        for (size_t i = 1; i < FRuns.size(); ++i)
            scaled.push_back(&FRuns[i]);
        return scaled;
    }
    static std::vector<const TRun*> All()
    {
        std::vector<const TRun*> all;
        for (const TRun& run : FRuns)
            all.push_back(&run);
        return all;
    }

    static std::vector<TRun> FRuns;
};

std::vector<TRun> GameWindowsAtScale::FRuns;

// The mean colour of the pixels whose middles lie in the rectangle.
std::array<double, 3> MeanColour(const QImage& picture, const QRectF& area)
{
    const int left = static_cast<int>(std::ceil(area.left() - 0.5));
    const int right = static_cast<int>(std::ceil(area.right() - 0.5));
    const int top = static_cast<int>(std::ceil(area.top() - 0.5));
    const int bottom = static_cast<int>(std::ceil(area.bottom() - 0.5));
    std::array<double, 3> sum{};
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
        {
            const QRgb pixel = picture.pixel(x, y);
            sum[0] += qRed(pixel);
            sum[1] += qGreen(pixel);
            sum[2] += qBlue(pixel);
            ++count;
        }
    for (double& channel : sum)
        channel /= std::max(count, 1);
    return sum;
}

// The largest channel difference of each 16 x 16 block of the content (in
// layout pixels) between the reference and the scaled picture, for the
// blocks the scaled screen shows whole.
std::vector<double> BlockDifferences(const QImage& reference, const QImage& scaled, const TPlacement& placement,
                                     const QSize& extent)
{
    constexpr int Block = 16;
    std::vector<double> differences;
    const QRectF screen(QPointF(0, 0), QSizeF(scaled.size()));
    for (int y = 0; y + Block <= extent.height(); y += Block)
        for (int x = 0; x + Block <= extent.width(); x += Block)
        {
            const QRectF block(x, y, Block, Block);
            const QRectF onScreen(placement.ToScreen(block.topLeft()), placement.ToScreen(block.bottomRight()));
            if (!screen.contains(onScreen))
                continue;
            const std::array<double, 3> expected = MeanColour(reference, block);
            const std::array<double, 3> actual = MeanColour(scaled, onScreen);
            double largest = 0;
            for (int c = 0; c < 3; ++c)
                largest = std::max(largest, std::abs(expected[c] - actual[c]));
            differences.push_back(largest);
        }
    return differences;
}

TEST_F(GameWindowsAtScale, EachWindowLooksLikeTheUnscaledWindowScaled)
{
    for (const TRun* run : Scaled())
        for (const auto& [window, extent] : Extents)
        {
            std::vector<double> differences = BlockDifferences(
                Reference().Pictures.at(window), run->Pictures.at(window), Placement(*run, window), extent);
            ASSERT_GT(differences.size(), 1000u) << run->Name() << " " << window.toStdString();
            std::sort(differences.begin(), differences.end());
            double mean = 0;
            for (const double difference : differences)
                mean += difference / differences.size();
            // Edges drawn at another resolution differ a little in every
            // block they cross; a shifted or wider view differs everywhere.
            const double nearlyAll = differences[differences.size() * 98 / 100];
            EXPECT_LT(mean, 3.0) << run->Name() << " " << window.toStdString();
            EXPECT_LT(nearlyAll, 24.0) << run->Name() << " " << window.toStdString();
        }
}

TEST_F(GameWindowsAtScale, PickingFindsPlayUnderThePointerAtEveryScale)
{
    for (const TRun* run : All())
    {
        EXPECT_EQ(run->Facts.at(QStringLiteral("hover_play")), QStringLiteral("true")) << run->Name();
        EXPECT_EQ(run->Facts.at(QStringLiteral("hover_background")), QStringLiteral("false")) << run->Name();
        EXPECT_EQ(run->Facts.at(QStringLiteral("press_play")), QStringLiteral("true")) << run->Name();
    }
}

TEST_F(GameWindowsAtScale, FittedFactorIsTheScreensHeightOverTheMenusHeight)
{
    // On 16:10 screens the menu's 948 rows decide: 640, 1000 and 2000 of them.
    const std::map<int, double> expected{{640, 640.0 / 948}, {1000, 1000.0 / 948}, {2000, 2000.0 / 948}};
    for (const TRun* run : All())
    {
        const double factor = run->Facts.at(QStringLiteral("menu_factor")).toDouble();
        EXPECT_NEAR(factor, run->Fitted() ? expected.at(run->Screen.height()) : run->Forced, 1e-9) << run->Name();
    }
}

bool IsGaugeOrange(const QRgb pixel)
{
    return qRed(pixel) == 255 && qGreen(pixel) == 128 && qBlue(pixel) == 0;
}

// The orange runs of a row: their first and one-past-last columns.
std::vector<std::pair<int, int>> OrangeRuns(const QImage& picture, const int y)
{
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < picture.width(); ++x)
    {
        if (!IsGaugeOrange(picture.pixel(x, y)))
            continue;
        int end = x;
        while (end < picture.width() && IsGaugeOrange(picture.pixel(end, y)))
            ++end;
        runs.emplace_back(x, end);
        x = end;
    }
    return runs;
}

// The orange rows of a column: first and one past the last.
std::pair<int, int> OrangeRows(const QImage& picture, const int x)
{
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < picture.height(); ++y)
        if (IsGaugeOrange(picture.pixel(x, y)))
        {
            if (top < 0)
                top = y;
            bottom = y + 1;
        }
    return {top, bottom};
}

TEST_F(GameWindowsAtScale, GaugeBarsScaleToWithinOnePixel)
{
    // Unscaled, the bars fill the gauges inside their 2-pixel black border
    // and frame: Vie2 from -7 to 730 shows 0 to 727, Vie1 from 728 to 1440
    // shows 731 to 1437, both from row 3 to 30.
    const QImage& unscaled = Reference().Pictures.at(QStringLiteral("fight"));
    const std::vector<std::pair<int, int>> reference = OrangeRuns(unscaled, 16);
    ASSERT_EQ(reference, (std::vector<std::pair<int, int>>{{0, 727}, {731, 1437}}));
    ASSERT_EQ(OrangeRows(unscaled, 300), std::make_pair(3, 30));
    ASSERT_EQ(OrangeRows(unscaled, 1000), std::make_pair(3, 30));

    for (const TRun* run : Scaled())
    {
        const QImage& picture = run->Pictures.at(QStringLiteral("fight"));
        const TPlacement placement = Placement(*run, QStringLiteral("fight"));
        const std::vector<std::pair<int, int>> runs =
            OrangeRuns(picture, static_cast<int>(placement.ToScreen({0, 16.5}).y()));
        ASSERT_EQ(runs.size(), 2u) << run->Name();
        for (size_t i = 0; i < runs.size(); ++i)
        {
            // The left bar starts at the window's corner, cut like the gauge.
            const double left = std::max(0.0, placement.ToScreen({double(reference[i].first), 0}).x());
            EXPECT_NEAR(runs[i].first, std::max(left, placement.Origin.x()), 1.0) << run->Name() << " bar " << i;
            EXPECT_NEAR(runs[i].second, placement.ToScreen({double(reference[i].second), 0}).x(), 1.0)
                << run->Name() << " bar " << i;
            const int column = static_cast<int>(placement.ToScreen({(reference[i].first + reference[i].second) / 2.0, 0}).x());
            const std::pair<int, int> rows = OrangeRows(picture, column);
            EXPECT_NEAR(rows.first, placement.ToScreen({0, 3}).y(), 1.0) << run->Name() << " bar " << i;
            EXPECT_NEAR(rows.second, placement.ToScreen({0, 30}).y(), 1.0) << run->Name() << " bar " << i;
        }
    }
}

// The bounding box of the pixels of a picture's area that pass `test`.
template <class F>
QRect Ink(const QImage& picture, const QRect& area, F&& test)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(picture.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST_F(GameWindowsAtScale, ScreenTextsKeepTheirPlaceAndSizeInTheLayout)
{
    // The fight's two texts: red from the viewer's point 50, 15, near black
    // from 1150, 15, four lines each, over the sky. The viewer is at 0, 32.
    const auto red = [](QRgb p) { return qRed(p) > qGreen(p) + 60 && qRed(p) > qBlue(p) + 60; };
    const auto dark = [](QRgb p) { return qGray(p) < 100; };
    const QRectF redArea(20, 40, 500, 80);
    const QRectF darkArea(1120, 40, 360, 80);
    const QImage& unscaled = Reference().Pictures.at(QStringLiteral("fight"));
    const QRect redText = Ink(unscaled, redArea.toRect(), red);
    const QRect darkText = Ink(unscaled, darkArea.toRect(), dark);
    ASSERT_FALSE(redText.isEmpty());
    ASSERT_FALSE(darkText.isEmpty());
    EXPECT_NEAR(redText.left(), 50, 2);
    EXPECT_NEAR(darkText.left(), 1150, 2);

    for (const TRun* run : Scaled())
    {
        const QImage& picture = run->Pictures.at(QStringLiteral("fight"));
        const TPlacement placement = Placement(*run, QStringLiteral("fight"));
        const auto onScreen = [&](const QRectF& area) {
            return QRectF(placement.ToScreen(area.topLeft()), placement.ToScreen(area.bottomRight())).toRect();
        };
        for (const auto& [text, area, test] :
             {std::tuple{redText, redArea, std::function<bool(QRgb)>(red)},
              std::tuple{darkText, darkArea, std::function<bool(QRgb)>(dark)}})
        {
            const QRect scaled = Ink(picture, onScreen(area), test);
            const QRectF expected = QRectF(placement.ToScreen(text.topLeft()),
                                           placement.ToScreen(QPointF(text.right() + 1, text.bottom() + 1)));
            // Glyph edges are filtered at another size.
            const double tolerance = 1.5;
            EXPECT_NEAR(scaled.left(), expected.left(), tolerance) << run->Name();
            EXPECT_NEAR(scaled.top(), expected.top(), tolerance) << run->Name();
            EXPECT_NEAR(scaled.right() + 1, expected.right(), tolerance) << run->Name();
            EXPECT_NEAR(scaled.bottom() + 1, expected.bottom(), tolerance) << run->Name();
        }
    }
}
} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
