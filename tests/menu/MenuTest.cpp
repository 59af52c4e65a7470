#include "MenuTest.h"

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

// The camera stands at (10, 0, 0), looks at the origin with +Y up, and has a
// focal length of 40 on a 1450 x 930 viewer: a unit at distance d spans
// 725 / (d * 1450 * 25.4 / (4 * 40 * 96)) = 302.36 / d pixels either way
// from the centre, and larger z lies further left.
constexpr double CameraX = 10;
constexpr double PixelsPerUnit = 302.36;
constexpr double CentreX = 725;
constexpr double CentreY = 465;

QPointF Project(const TVector& world)
{
    const double distance = CameraX - world.X;
    return {CentreX - world.Z * PixelsPerUnit / distance, CentreY - world.Y * PixelsPerUnit / distance};
}

struct TScreenTriangle
{
    QPointF Corners[3];
    double Area() const
    {
        const QPointF a = Corners[1] - Corners[0], b = Corners[2] - Corners[0];
        return std::abs(a.x() * b.y() - a.y() * b.x()) / 2;
    }
    QPoint Centre() const { return ((Corners[0] + Corners[1] + Corners[2]) / 3).toPoint(); }
};

std::vector<TScreenTriangle> ScreenTriangles(TGLFreeForm& mesh)
{
    const TAffineVectorList corners = mesh.ExtractTriangles();
    const TMatrix& world = mesh.WorldMatrix();
    std::vector<TScreenTriangle> triangles;
    for (int i = 0; i + 2 < corners.Count(); i += 3)
    {
        TScreenTriangle triangle;
        for (int k = 0; k < 3; ++k)
        {
            const TAffineVector& c = corners[i + k];
            triangle.Corners[k] = Project(VectorTransform(TVector{c.X, c.Y, c.Z, 1}, world));
        }
        triangles.push_back(triangle);
    }
    return triangles;
}

QRectF ScreenBounds(TGLFreeForm& mesh)
{
    QRectF bounds;
    for (const TScreenTriangle& triangle : ScreenTriangles(mesh))
        for (const QPointF& corner : triangle.Corners)
            bounds |= QRectF(corner, QSizeF(1, 1));
    return bounds;
}

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
    std::vector<TScreenTriangle> triangles = ScreenTriangles(mesh);
    std::sort(triangles.begin(), triangles.end(),
              [](const TScreenTriangle& a, const TScreenTriangle& b) { return a.Area() > b.Area(); });
    // Distinct points for distinct ranks: centres closer than a few pixels
    // would be the same spot under the pointer.
    std::vector<QPoint> points;
    for (const TScreenTriangle& triangle : triangles)
    {
        const QPoint centre = triangle.Centre();
        const bool apart = std::all_of(points.begin(), points.end(), [&](const QPoint& p) {
            return (p - centre).manhattanLength() > 8;
        });
        if (apart)
            points.push_back(centre);
        if (static_cast<int>(points.size()) > rank)
            return points.back();
    }
    ADD_FAILURE() << "no triangle of " << mesh.objectName().toStdString() << " of rank " << rank;
    return {};
}

QPoint TMenuTest::Background() const
{
    QRectF taken;
    for (TGLFreeForm* const mesh : {FMenu->Play1, FMenu->Quit1, FMenu->Option1, FMenu->Rage})
        taken |= ScreenBounds(*mesh);
    taken.adjust(-10, -10, 10, 10);
    for (int y = 10; y < 930; y += 20)
        for (int x = 10; x < 1450; x += 20)
            if (!taken.contains(QPointF(x, y)))
                return {x, y};
    ADD_FAILURE() << "the menu's meshes cover the whole viewer";
    return {};
}
