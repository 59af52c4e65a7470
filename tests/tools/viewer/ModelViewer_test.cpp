// The viewer opened on real files, its pictures read back from OpenGL.
#include "../../mesh/File3DSBuilder.h"
#include "AnimationPanel.h"
#include "GLActor.h"
#include "GLSceneViewer.h"
#include "ModelView.h"
#include "ViewerPictures.h"
#include "ViewerWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDirIterator>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QListWidget>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <QtEndian>

#include <gtest/gtest.h>

namespace
{
const QString GameDir = QStringLiteral(STICKFIGHT_GAME_DIR);
const QString CorpusDir = QStringLiteral(STICKFIGHT_CORPUS_DIR);
const QString Stick = GameDir + QStringLiteral("/Combo/Stick.smd");
const QString Combo = GameDir + QStringLiteral("/Combo/Combo1_1.smd");
const QString Town = GameDir + QStringLiteral("/bin/Miniville.3ds");
const QSize ViewSize{320, 240};
// A model drawn in the view covers at least this much of it.
constexpr double LeastDrawnShare = 0.01;

class ModelViewer : public ::testing::Test
{
protected:
    ModelViewer()
    {
        // Recent files go to a folder of the test's own.
        QCoreApplication::setOrganizationName(QStringLiteral("stickfight-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("model_viewer_tests"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FFolder.path());
        FWindow = std::make_unique<TViewerWindow>(ViewSize);
        FWindow->show();
        QElapsedTimer waited;
        waited.start();
        while (FWindow->Viewer().Width() != ViewSize.width() && waited.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    TModelView& View() const { return FWindow->View(); }

    // Runs the window's event loop, its animation clock with it, until
    // `done` holds or `ms` milliseconds have passed.
    template <class F> bool RunUntil(F&& done, const int ms) const
    {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }
    QImage Picture() const { return View().GrabView(); }

    void Open(const QString& file) const
    {
        ASSERT_TRUE(FWindow->OpenModel(file)) << qPrintable(FWindow->LastError());
    }

    // The first `bytes` bytes of `source`, saved under `name` in the test's folder.
    QString Truncated(const QString& source, const QString& name, const qint64 bytes) const
    {
        QFile input(source);
        EXPECT_TRUE(input.open(QIODevice::ReadOnly)) << qPrintable(source);
        const QString path = FFolder.filePath(name);
        QFile output(path);
        EXPECT_TRUE(output.open(QIODevice::WriteOnly));
        output.write(input.read(bytes));
        return path;
    }

    void Drop(const QList<QUrl>& urls) const
    {
        QMimeData data;
        data.setUrls(urls);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(FWindow->Viewer().RenderWindow(), &drop);
    }

    // A drag of the mouse over the view with `button` held, in steps.
    void Drag(const Qt::MouseButton button, const QPoint from, const QPoint to) const
    {
        QWindow* const window = FWindow->Viewer().RenderWindow();
        const auto send = [window](const QEvent::Type type, const QPoint at, const Qt::MouseButton changed,
                                   const Qt::MouseButtons held)
        {
            QMouseEvent event(type, at, window->mapToGlobal(at), changed, held, Qt::NoModifier);
            QCoreApplication::sendEvent(window, &event);
        };
        send(QEvent::MouseButtonPress, from, button, button);
        for (int step = 1; step <= 4; ++step)
            send(QEvent::MouseMove, from + (to - from) * step / 4, Qt::NoButton, button);
        send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
    }

    void Wheel(const int notches) const
    {
        QWindow* const window = FWindow->Viewer().RenderWindow();
        const QPointF at(160, 120);
        QWheelEvent event(at, window->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(window, &event);
    }

    QTemporaryDir FFolder;
    std::unique_ptr<TViewerWindow> FWindow;
};

// The smallest rectangle round the pixels of that colour.
QRectF AreaOf(const QImage& picture, const QRgb colour)
{
    QRect area;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (NearColour(picture.pixel(x, y), colour))
                area |= QRect(x, y, 1, 1);
    return area;
}

// The mean position of the pixels that are not background.
QPointF DrawnCentre(const QImage& picture)
{
    QPointF sum;
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (!NearColour(picture.pixel(x, y), ViewerBackground, 2))
            {
                sum += QPointF(x, y);
                ++count;
            }
    return count == 0 ? QPointF() : sum / count;
}

QStringList CorpusModels()
{
    QStringList models;
    QDirIterator files(CorpusDir, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
    {
        const QString file = files.next();
        const QString suffix = QFileInfo(file).suffix().toLower();
        const bool model = suffix == QLatin1String("3ds") || suffix == QLatin1String("smd") ||
                           suffix == QLatin1String("md2");
        if (model && !file.contains(QLatin1String("/invalid/")) && !IsSMDAnimationFile(file))
            models.append(file);
    }
    models.sort();
    return models;
}

struct TProgramRun
{
    int ExitCode = -1;
    QString Errors;
};

TProgramRun RunViewer(const QStringList& arguments)
{
    QProcess program;
    program.start(QStringLiteral(STICKFIGHT_VIEW), arguments);
    if (!program.waitForFinished(30000))
    {
        program.kill();
        program.waitForFinished();
        return {-1, QStringLiteral("(did not finish)")};
    }
    const int code = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    return {code, QString::fromUtf8(program.readAllStandardError())};
}
} // namespace

TEST_F(ModelViewer, DrawsEveryCorpusModel)
{
    if (!QFileInfo(CorpusDir).isDir())
        GTEST_SKIP() << "No corpus at " << qPrintable(CorpusDir);
    const QStringList models = CorpusModels();
    // The corpus's smd, 3ds and md2 folders hold this many models at least.
    ASSERT_GE(models.size(), 20);
    for (const QString& file : models)
    {
        Open(file);
        EXPECT_GE(DrawnShare(Picture()), LeastDrawnShare) << qPrintable(file);
    }
    // The corpus's animations, added to the model they were made for.
    const QString barney = CorpusDir + QStringLiteral("/smd/hl1-barney");
    Open(barney + QStringLiteral("/barney_reference.smd"));
    QDirIterator animations(barney + QStringLiteral("/animations"), {QStringLiteral("*.smd")}, QDir::Files);
    int added = 0;
    while (animations.hasNext())
    {
        const QString file = animations.next();
        ASSERT_TRUE(FWindow->AddAnimation(file)) << qPrintable(FWindow->LastError());
        EXPECT_GE(DrawnShare(Picture()), LeastDrawnShare) << qPrintable(file);
        ++added;
    }
    EXPECT_GE(added, 5);
    EXPECT_EQ(View().Actor()->Animations()->Count(), 1 + added);
    EXPECT_FALSE(FWindow->Messages().contains(QLatin1String("Error")));
}

TEST_F(ModelViewer, DrawsTheGamesOwnModelsAndTheFightersAnimations)
{
    for (const QString& name : {QStringLiteral("bin/Miniville.3ds"), QStringLiteral("bin/Stick.3ds"),
                                QStringLiteral("Combo/Stick.smd")})
    {
        Open(GameDir + QLatin1Char('/') + name);
        EXPECT_GE(DrawnShare(Picture()), LeastDrawnShare) << qPrintable(name);
    }
    QDirIterator animations(GameDir + QStringLiteral("/Combo"), {QStringLiteral("*.smd")}, QDir::Files);
    int added = 0;
    while (animations.hasNext())
    {
        const QString file = animations.next();
        if (file == Stick)
            continue;
        ASSERT_TRUE(FWindow->AddAnimation(file)) << qPrintable(FWindow->LastError());
        ++added;
        EXPECT_GE(DrawnShare(Picture()), LeastDrawnShare) << qPrintable(file);
    }
    EXPECT_EQ(added, 11);
    // The model's own pose and one animation per file.
    EXPECT_EQ(View().Actor()->Animations()->Count(), 12);
}

TEST_F(ModelViewer, DamagedFilesAreReportedByNameAndTheModelShownStays)
{
    Open(Stick);
    const QImage before = Picture();
    const QString statistics = FWindow->StatisticsText();
    const QString damagedModel = Truncated(Stick, QStringLiteral("Broken.smd"), QFileInfo(Stick).size() / 2);
    const QString damagedTown = Truncated(Town, QStringLiteral("BrokenTown.3ds"), 1000);
    const QString damagedAnimation = Truncated(Combo, QStringLiteral("BrokenCombo.smd"), QFileInfo(Combo).size() / 2);

    EXPECT_FALSE(FWindow->OpenModel(damagedModel));
    EXPECT_TRUE(FWindow->LastError().contains(damagedModel)) << qPrintable(FWindow->LastError());
    EXPECT_TRUE(FWindow->LastError().contains(QLatin1String("line"))) << qPrintable(FWindow->LastError());
    EXPECT_FALSE(FWindow->OpenModel(damagedTown));
    EXPECT_TRUE(FWindow->LastError().contains(damagedTown)) << qPrintable(FWindow->LastError());
    EXPECT_FALSE(FWindow->AddAnimation(damagedAnimation));
    EXPECT_TRUE(FWindow->LastError().contains(damagedAnimation)) << qPrintable(FWindow->LastError());
    for (const QString& file : {damagedModel, damagedTown, damagedAnimation})
        EXPECT_TRUE(FWindow->Messages().contains(QStringLiteral("Error: ")) &&
                    FWindow->Messages().contains(file))
            << qPrintable(FWindow->Messages());

    EXPECT_EQ(View().ModelFile(), Stick);
    EXPECT_EQ(FWindow->StatisticsText(), statistics);
    EXPECT_EQ(View().Actor()->Animations()->Count(), 1);
    EXPECT_EQ(Picture(), before);
}

TEST_F(ModelViewer, SkeletonToggleDrawsTheBonesOverTheMesh)
{
    Open(Stick);
    View().SetPlaying(false);
    const QImage plain = Picture();
    FWindow->SkeletonAction()->setChecked(true);
    const QImage withBones = Picture();
    EXPECT_EQ(CountPixels(plain, BoneOrange), 0);
    // Bones inside the limbs are drawn over the mesh that hides them.
    int overMesh = 0;
    for (int y = 0; y < withBones.height(); ++y)
        for (int x = 0; x < withBones.width(); ++x)
            if (NearColour(withBones.pixel(x, y), BoneOrange) && !NearColour(plain.pixel(x, y), ViewerBackground))
                ++overMesh;
    // 18 joints of a 320 x 240 view, a few pixels of line each at least.
    EXPECT_GE(overMesh, 100);
    FWindow->SkeletonAction()->setChecked(false);
    EXPECT_EQ(Picture(), plain);
}

TEST_F(ModelViewer, NormalsBoundingBoxAndWireframeChangeWhatIsDrawn)
{
    Open(Stick);
    View().SetPlaying(false);
    const QImage solid = Picture();
    FWindow->NormalsAction()->setChecked(true);
    EXPECT_GE(CountPixels(Picture(), NormalCyan), 100);
    FWindow->NormalsAction()->setChecked(false);
    FWindow->BoundingBoxAction()->setChecked(true);
    const QImage boxed = Picture();
    // The box round the model is outside it: its lines reach the model's
    // extreme columns and rows.
    EXPECT_GE(CountPixels(boxed, BoxYellow), 200);
    FWindow->BoundingBoxAction()->setChecked(false);
    EXPECT_EQ(Picture(), solid);
    // The town's ground is two large triangles: drawn as lines, the
    // background shows through most of it.
    Open(Town);
    const QImage town = Picture();
    FWindow->WireframeAction()->setChecked(true);
    const QImage wire = Picture();
    EXPECT_LT(DrawnShare(wire), 0.5 * DrawnShare(town));
    EXPECT_GE(DrawnShare(wire), LeastDrawnShare / 4);
    FWindow->WireframeAction()->setChecked(false);
    EXPECT_EQ(Picture(), town);
}

TEST_F(ModelViewer, SingleStepsShowTheNextAndPreviousFrameAndWrapInTheRange)
{
    Open(Stick);
    ASSERT_TRUE(FWindow->AddAnimation(Combo));
    ASSERT_TRUE(View().SwitchAnimation(QStringLiteral("Combo1_1")));
    // Combo1_1.smd holds 15 frames after the model's one.
    const TGLActor& actor = *View().Actor();
    ASSERT_EQ(actor.StartFrame(), 1);
    ASSERT_EQ(actor.EndFrame(), 15);
    ASSERT_EQ(actor.CurrentFrame(), 1);
    const QImage first = Picture();
    View().StepFrame(1);
    EXPECT_FALSE(View().Playing());
    EXPECT_EQ(actor.CurrentFrame(), 2);
    EXPECT_TRUE(FWindow->Animations().FrameText().startsWith(QStringLiteral("Frame 2 of range 1\u201315")))
        << qPrintable(FWindow->Animations().FrameText());
    const QImage second = Picture();
    EXPECT_NE(second, first);
    View().StepFrame(-1);
    EXPECT_EQ(actor.CurrentFrame(), 1);
    EXPECT_EQ(Picture(), first);
    View().StepFrame(-1);
    EXPECT_EQ(actor.CurrentFrame(), 15);
    View().StepFrame(1);
    EXPECT_EQ(actor.CurrentFrame(), 1);
    // Paused, the clock leaves the frame where it is.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 200)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(actor.CurrentFrame(), 1);
}

TEST_F(ModelViewer, DroppedAnimationsJoinTheSMDModelAndADroppedModelReplacesIt)
{
    Open(Stick);
    Drop({QUrl::fromLocalFile(Combo)});
    ASSERT_EQ(View().Actor()->Animations()->Count(), 2);
    EXPECT_EQ((*View().Actor()->Animations())[1].Name(), QStringLiteral("Combo1_1"));
    EXPECT_EQ(View().Actor()->StartFrame(), 1);
    Drop({QUrl::fromLocalFile(Town)});
    EXPECT_EQ(View().ModelFile(), Town);
    EXPECT_FALSE(View().AcceptsAnimations());
    EXPECT_EQ(FWindow->RecentFiles(), QStringList({Town, Stick}));
}

TEST_F(ModelViewer, StatisticsCountTheFightersParts)
{
    // Counted from the file's text: one node line per bone, and a material
    // line and three corner lines per triangle.
    QFile file(Stick);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QList<QByteArray> lines = file.readAll().split('\n');
    const auto section = [&lines](const QByteArray& name)
    {
        const qsizetype start = lines.indexOf(name);
        qsizetype end = start + 1;
        while (end < lines.size() && lines[end].trimmed() != "end")
            ++end;
        return end - start - 1;
    };
    Open(Stick);
    const TModelStatistics& statistics = View().Statistics();
    EXPECT_EQ(statistics.Objects, 1);
    EXPECT_EQ(statistics.Bones, section("nodes"));
    EXPECT_EQ(statistics.Faces * 4, section("triangles"));
    EXPECT_EQ(statistics.Frames, 1);
    EXPECT_GT(statistics.Vertices, 0);
    EXPECT_LE(statistics.Vertices, 3 * statistics.Faces);
    EXPECT_FALSE(statistics.SmoothingGroups.has_value());
    EXPECT_TRUE(FWindow->StatisticsText().contains(QStringLiteral("Bones: %1\n").arg(statistics.Bones)));
}

TEST_F(ModelViewer, CommandLineSavesTheViewAskedForAndFailsOnFilesItCannotRead)
{
    const QString picture = FFolder.filePath(QStringLiteral("combo.png"));
    const TProgramRun saved =
        RunViewer({Stick, Combo, QStringLiteral("--animation"), QStringLiteral("Combo1_1"), QStringLiteral("--frame"),
                   QStringLiteral("8"), QStringLiteral("--skeleton"), QStringLiteral("--size"),
                   QStringLiteral("320x240"), QStringLiteral("--screenshot"), picture});
    EXPECT_EQ(saved.ExitCode, 0) << qPrintable(saved.Errors);
    const QImage image(picture);
    ASSERT_EQ(image.size(), ViewSize);
    EXPECT_GE(DrawnShare(image), LeastDrawnShare);
    EXPECT_GE(CountPixels(image, BoneOrange), 100);

    const QString damaged = Truncated(Stick, QStringLiteral("Broken.smd"), QFileInfo(Stick).size() / 2);
    const TProgramRun failed = RunViewer({damaged, QStringLiteral("--screenshot"), FFolder.filePath("x.png")});
    EXPECT_EQ(failed.ExitCode, 1);
    EXPECT_TRUE(failed.Errors.contains(damaged)) << qPrintable(failed.Errors);
    EXPECT_FALSE(QFileInfo::exists(FFolder.filePath("x.png")));

    const TProgramRun unknown = RunViewer({Stick, QStringLiteral("--animation"), QStringLiteral("Nope"),
                                           QStringLiteral("--screenshot"), FFolder.filePath("y.png")});
    EXPECT_EQ(unknown.ExitCode, 1);
    EXPECT_TRUE(unknown.Errors.contains(QStringLiteral("no animation named \"Nope\""))) << qPrintable(unknown.Errors);
}

TEST_F(ModelViewer, MouseTurnsRoundTheModelsCentrePansAndZooms)
{
    Open(Stick);
    View().SetPlaying(false);
    FWindow->BoundingBoxAction()->setChecked(true);
    const QImage framed = Picture();
    const QPointF viewCentre(ViewSize.width() / 2.0, ViewSize.height() / 2.0);
    // Framed, the box round the model is centred in the view, and stays so
    // however the camera turns round it.
    EXPECT_LE(QLineF(AreaOf(framed, BoxYellow).center(), viewCentre).length(), 3);
    Drag(Qt::LeftButton, QPoint(100, 100), QPoint(160, 130));
    const QImage turned = Picture();
    EXPECT_NE(turned, framed);
    EXPECT_LE(QLineF(AreaOf(turned, BoxYellow).center(), viewCentre).length(), 6);
    FWindow->BoundingBoxAction()->setChecked(false);

    // Panning drags the model with the mouse, pixel for pixel at its centre.
    const QImage before = Picture();
    Drag(Qt::RightButton, QPoint(100, 100), QPoint(140, 80));
    const QPointF moved = DrawnCentre(Picture()) - DrawnCentre(before);
    EXPECT_NEAR(moved.x(), 40, 3);
    EXPECT_NEAR(moved.y(), -20, 3);
    Drag(Qt::MiddleButton, QPoint(140, 80), QPoint(100, 100));
    EXPECT_LE(QLineF(DrawnCentre(Picture()), DrawnCentre(before)).length(), 1.5);

    // A notch of the wheel brings the camera a tenth nearer: the model's
    // drawn area grows by about (1 / 0.9)^2.
    const double far = DrawnShare(Picture());
    Wheel(1);
    const double near = DrawnShare(Picture());
    EXPECT_GT(near / far, 1.1);
    EXPECT_LT(near / far, 1.45);
    Wheel(-1);
    EXPECT_NEAR(DrawnShare(Picture()), far, far * 0.02);
}

TEST_F(ModelViewer, StatisticsOfA3DSFileCountItsSmoothingGroupsAndMaterials)
{
    using namespace build3ds;
    // Two objects: the first's faces in groups 1 and 4, and 2; the second's
    // in 4 and 8. Four distinct smoothing groups in all.
    const QByteArray bytes = Model(
        {Material("Red"), Material("Blue"),
         Object("A", {TriMesh({Vertices({{0, 0, 0}, {2, 0, 0}, {0, 3, 0}, {2, 3, 0}}),
                               Faces({{0, 1, 2, 0}, {1, 3, 2, 0}},
                                     {MaterialGroup("Red", {0}), MaterialGroup("Blue", {1}), Smoothing({1 | 4, 2})})})}),
         Object("B", {TriMesh({Vertices({{0, 0, 1}, {1, 0, 5}, {0, 1, 1}}),
                               Faces({{0, 1, 2, 0}}, {MaterialGroup("Red", {0}), Smoothing({4 | 8})})})})});
    const QString path = FFolder.filePath(QStringLiteral("Groups.3ds"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    Open(path);
    const TModelStatistics& statistics = View().Statistics();
    EXPECT_EQ(statistics.Objects, 2);
    EXPECT_EQ(statistics.Faces, 3);
    ASSERT_TRUE(statistics.SmoothingGroups.has_value());
    EXPECT_EQ(*statistics.SmoothingGroups, 4);
    EXPECT_EQ(statistics.Bones, 0);
    EXPECT_EQ(statistics.ExtentsMin, (TAffineVector{0, 0, 0}));
    EXPECT_EQ(statistics.ExtentsMax, (TAffineVector{2, 3, 5}));
    ASSERT_EQ(statistics.FaceGroupUses.size(), 2u);
    EXPECT_EQ(statistics.FaceGroupUses[0].ObjectName, QStringLiteral("A"));
    EXPECT_EQ(statistics.FaceGroupUses[0].Materials, QStringList({QStringLiteral("Red"), QStringLiteral("Blue")}));
    EXPECT_EQ(statistics.FaceGroupUses[1].Materials, QStringList({QStringLiteral("Red")}));
    const QString text = FWindow->StatisticsText();
    EXPECT_TRUE(text.contains(QStringLiteral("Smoothing groups: 4\n"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("  A: 2 face groups\n    Red\n    Blue\n"))) << qPrintable(text);
}

TEST_F(ModelViewer, ChoosingAnimationsSwitchesSmoothlyWhilePlayingAndAtOnceWhenPaused)
{
    Open(Stick);
    ASSERT_TRUE(FWindow->AddAnimation(Combo));
    ASSERT_TRUE(FWindow->AddAnimation(GameDir + QStringLiteral("/Combo/Anime_Pas.smd")));
    const TGLActor& actor = *View().Actor();
    // Added last, the walk plays: frames 16 to 39.
    ASSERT_EQ(actor.StartFrame(), 16);
    ASSERT_EQ(actor.EndFrame(), 39);
    ASSERT_TRUE(View().Playing());
    auto* const list = FWindow->Animations().findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentRow(), 2);

    // Smooth: the combo waits for the next whole frame, then takes over.
    list->setCurrentRow(1);
    ASSERT_NE(actor.PendingAnimation(), nullptr);
    EXPECT_EQ(actor.PendingAnimation()->Name(), QStringLiteral("Combo1_1"));
    EXPECT_EQ(actor.StartFrame(), 16);
    EXPECT_TRUE(RunUntil([&actor] { return actor.StartFrame() == 1; }, 2000));
    EXPECT_EQ(actor.EndFrame(), 15);
    EXPECT_EQ(actor.PendingAnimation(), nullptr);

    // Paused, or with smooth switching off, the switch is immediate.
    View().SetPlaying(false);
    list->setCurrentRow(2);
    EXPECT_EQ(actor.PendingAnimation(), nullptr);
    EXPECT_EQ(actor.StartFrame(), 16);
    EXPECT_EQ(actor.CurrentFrame(), 16);
    View().SetPlaying(true);
    FWindow->Animations().findChild<QCheckBox*>()->setChecked(false);
    list->setCurrentRow(1);
    EXPECT_EQ(actor.PendingAnimation(), nullptr);
    EXPECT_EQ(actor.StartFrame(), 1);
}

TEST_F(ModelViewer, PlayOnceStopsAtTheLastFrameAndPlayStartsTheRangeAgain)
{
    Open(Stick);
    ASSERT_TRUE(FWindow->AddAnimation(Combo));
    const TGLActor& actor = *View().Actor();
    auto* const mode = FWindow->Animations().findChild<QComboBox*>();
    ASSERT_NE(mode, nullptr);
    mode->setCurrentText(QStringLiteral("Play once"));
    // 15 frames of 33 ms.
    EXPECT_TRUE(RunUntil([&actor] { return actor.CurrentFrame() == 15; }, 3000));
    RunUntil([] { return false; }, 150);
    EXPECT_EQ(actor.CurrentFrame(), 15);
    EXPECT_FALSE(View().Playing());
    View().SetPlaying(true);
    EXPECT_EQ(actor.CurrentFrame(), 1);
    EXPECT_TRUE(RunUntil([&actor] { return actor.CurrentFrame() == 3; }, 2000));
}

TEST_F(ModelViewer, MD2FramesOfOneActionBecomeOneAnimation)
{
    const QString faerie = CorpusDir + QStringLiteral("/md2/assimp/faerie.md2");
    if (!QFileInfo::exists(faerie))
        GTEST_SKIP() << "No corpus at " << qPrintable(CorpusDir);
    // The frame names straight from the file: the header gives the frame
    // size, count and offset; each frame's 16-byte name follows its scale
    // and translation.
    QFile file(faerie);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto int32At = [&bytes](const qsizetype offset)
    { return qFromLittleEndian<qint32>(bytes.constData() + offset); };
    const int frameSize = int32At(16), frameCount = int32At(40), framesOffset = int32At(56);
    QStringList actions;
    QList<int> firstFrames;
    for (int i = 0; i < frameCount; ++i)
    {
        QString name = QString::fromLatin1(bytes.constData() + framesOffset + i * frameSize + 24);
        while (!name.isEmpty() && name.back().isDigit())
            name.chop(1);
        if (actions.isEmpty() || actions.back() != name)
        {
            actions.append(name);
            firstFrames.append(i);
        }
    }
    ASSERT_GT(actions.size(), 1);

    Open(faerie);
    const TActorAnimations& animations = *View().Actor()->Animations();
    ASSERT_EQ(animations.Count(), actions.size());
    for (int i = 0; i < animations.Count(); ++i)
    {
        EXPECT_EQ(animations[i].Name(), actions[i]);
        EXPECT_EQ(animations[i].StartFrame(), firstFrames[i]);
        EXPECT_EQ(animations[i].EndFrame(), i + 1 < firstFrames.size() ? firstFrames[i + 1] - 1 : frameCount - 1);
    }
    ASSERT_TRUE(View().SwitchAnimation(actions[1]));
    EXPECT_EQ(View().Actor()->CurrentFrame(), firstFrames[1]);
}
