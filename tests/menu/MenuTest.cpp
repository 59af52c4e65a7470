#include "MenuTest.h"
#include "MenuProjection.h"

#include "app/Loading.h"
#include "app/Sound.h"
#include "fight/Scene.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{
const QString GameDir = QStringLiteral(STICKFIGHT_GAME_DIR);

void Link(const QString& source, const QString& target, const QString& missing, const QString& relative)
{
    if (relative == missing)
        return;
    ASSERT_TRUE(QFile::link(source, target)) << target.toStdString();
}
} // namespace

void ResetMenuState()
{
    PlayFrame = QuitFrame = PlayGameFrame = 1;
    PlayHover = QuitHover = StartRequested = SoundStopped = false;
}

std::vector<float> MeshShape(const TGLFreeForm& mesh)
{
    const TAffineVectorList corners = mesh.ExtractTriangles();
    std::vector<float> shape;
    for (int i = 0; i < corners.Count(); ++i)
        shape.insert(shape.end(), {corners[i].X, corners[i].Y, corners[i].Z});
    return shape;
}

std::vector<float> FileShape(const QString& path)
{
    TGLFreeForm mesh(nullptr);
    mesh.LoadFromFile(path);
    return MeshShape(mesh);
}

void TMenuTest::SetUp()
{
    TApplicationTest::SetUp();
    ResetMenuState();
    FStartDirectory = QDir::currentPath();
    Menu_Jeu = nullptr;
    SplashScreen = nullptr;
    Jeu = nullptr;
}

void TMenuTest::TearDown()
{
    TApplicationTest::TearDown();
    Menu_Jeu = nullptr;
    SplashScreen = nullptr;
    Jeu = nullptr;
    ShutdownSound();
    QDir::setCurrent(FStartDirectory);
    FTree.reset();
}

void TMenuTest::MakeDataTree(const QString& missing)
{
    FTree = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(FTree->isValid());
    const QDir root(FTree->path());
    for (const char* folder : {"bin", "Anime/Play", "Anime/Quit", "Anime/Play_game", "Sons"})
        ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
    for (const QString& file : {QStringLiteral("Option1.3ds"), QStringLiteral("Stick.3ds"), QStringLiteral("Miniville.3ds")})
        Link(GameDir + "/bin/" + file, TreePath("bin/" + file), missing, "bin/" + file);
    for (const QString& folder : {QStringLiteral("Anime/Play"), QStringLiteral("Anime/Quit"),
                                  QStringLiteral("Anime/Play_game"), QStringLiteral("Sons")})
        for (const QString& file : QDir(GameDir + "/" + folder).entryList(QDir::Files))
            Link(GameDir + "/" + folder + "/" + file, TreePath(folder + "/" + file), missing, folder + "/" + file);
    Link(GameDir + "/Combo", TreePath("Combo"), missing, QStringLiteral("Combo"));
    FApplication->SetExeName(TreePath("bin/stickfight"));
    ASSERT_TRUE(QDir::setCurrent(TreePath("bin")));
}

QString TMenuTest::TreePath(const QString& relative) const
{
    return QDir(FTree->path()).filePath(relative);
}

TMenu_Jeu& TMenuTest::CreateMenu(const bool keepTimer)
{
    FApplication->CreateForm(Menu_Jeu);
    FMenu = Menu_Jeu;
    if (!keepTimer)
        FMenu->AsyncTimer1->SetEnabled(false);
    FMenu->Show();
    TGLSceneBuffer* const buffer = FMenu->GLSceneViewer1->Buffer();
    EXPECT_TRUE(RunUntil([&] { return buffer->FrameCount() > 0; }, 5000)) << "the menu drew nothing";
    // The pointer starts on the background (not at the point (0, 0), which
    // the test library takes for the viewer's centre): a move to where the
    // pointer already is never reaches the window.
    MoveTo(Background());
    return *FMenu;
}

void TMenuTest::MoveTo(const QPoint& point)
{
    QTest::mouseMove(FMenu->GLSceneViewer1->RenderWindow(), point);
}

void TMenuTest::Press(const Qt::MouseButton button, const QPoint& point)
{
    QTest::mousePress(FMenu->GLSceneViewer1->RenderWindow(), button, Qt::NoModifier, point);
}

QPoint TMenuTest::PointOn(TGLFreeForm& mesh, const int rank) const
{
    const std::optional<QPoint> point = ViewerPointOn(mesh, rank);
    if (!point)
        ADD_FAILURE() << "no triangle of " << mesh.objectName().toStdString() << " of rank " << rank;
    return point.value_or(QPoint());
}

QPoint TMenuTest::Background() const
{
    const std::optional<QPoint> point = ViewerBackground(*FMenu);
    if (!point)
        ADD_FAILURE() << "the menu's meshes cover the whole viewer";
    return point.value_or(QPoint());
}
