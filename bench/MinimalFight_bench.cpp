// The practical limit for the fight's picture: a plain window drawing the same
// scene with hand-written OpenGL 1.x, the fastest way such a program would,
// measured like the fight window itself.
//
// What it draws, as the fight window shows it at rest: the sky box (six quads
// around the camera, five textured, no depth, no lighting), the ground and the
// four walls (cubes, lit, the ground textured, three walls blended by
// modulation and drawn last), the town (lit, from a display list compiled
// once), both fighters in their idle animation (lit, black and red), with the same window
// size, projection, camera, light, materials, texture pictures and filters,
// and the same swap settings (double buffer, 24-bit depth, no swap interval).
// Its frames are driven as the fight's are: an event posted to itself after
// each frame, handled by the event loop.
// Per frame it does the work the fight window must do: both fighters' poses
// (a linear blend of two precomputed frames of bone matrices) and their
// skinning (every vertex and normal moved by its bone), then the drawing with
// vertex arrays, and last the two debug texts the fight shows (blended glyph
// quads from a font texture, in the same font, places and colours).
// What it does not do: the frame-rate caption (a caption change per tick), the
// fight tick itself, the engine's per-frame culling and state bookkeeping. The
// model readers of the game are used at start only, to get the same vertex,
// normal, texture-coordinate and index arrays and bone matrices.
//   minimal_fight_bench [--rounds N] [--round-seconds S] [--picture FILE.png]

#include "GLActor.h"
#include "GLBaseMesh.h"
#include "MinimalText.h"
#include "Percentile.h"
#include "RoundMeasures.h"
#include "SkeletonMeshObject.h"
#include "FaceGroups.h"
#include "VectorFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QOpenGLContext>
#include <QWindow>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr int WarmUpMs = 2000;
// The fight viewer's size in the layout, at scale 1.
constexpr int ViewWidth = 1490;
constexpr int ViewHeight = 904;
// The camera as the fight's layout sets it: the viewer's field of view over
// its smaller side gives the focal length, which with the screen's
// resolution gives the near plane.
constexpr double FieldOfViewDegrees = 167.3752746582031;
constexpr double NearPlaneBias = 0.5;
constexpr double DepthOfView = 500;
constexpr double RenderDPI = 96;
constexpr int FrameIntervalMs = 50;

using TMatrix16 = std::array<float, 16>;

struct TOptions
{
    int Rounds = 6;
    double RoundSeconds = 5;
    std::string Picture;
};

TOptions ReadOptions(const int argc, char** argv)
{
    TOptions options;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], "--rounds") == 0)
            options.Rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--round-seconds") == 0)
            options.RoundSeconds = std::max(0.5, std::atof(argv[++i]));
        else if (std::strcmp(argv[i], "--picture") == 0)
            options.Picture = argv[++i];
    }
    return options;
}

// Column-major, as OpenGL loads it: left, up and direction scaled, then the
// position.
TMatrix16 ObjectMatrix(const std::array<float, 3> position, const std::array<float, 3> direction,
                       const std::array<float, 3> up, const std::array<float, 3> scale)
{
    const float left[3] = {up[1] * direction[2] - up[2] * direction[1], up[2] * direction[0] - up[0] * direction[2],
                           up[0] * direction[1] - up[1] * direction[0]};
    return {left[0] * scale[0],      left[1] * scale[0],      left[2] * scale[0],      0,
            up[0] * scale[1],        up[1] * scale[1],        up[2] * scale[1],        0,
            direction[0] * scale[2], direction[1] * scale[2], direction[2] * scale[2], 0,
            position[0],             position[1],             position[2],             1};
}

// ------------------------------------------------------------------ textures

GLuint LoadTexture(const char* name, const GLenum minFilter, const GLenum magFilter)
{
    QImage image(QStringLiteral(":/layouts/images/%1").arg(QString::fromLatin1(name)));
    if (image.isNull())
    {
        std::fprintf(stderr, "no picture %s\n", name);
        std::exit(1);
    }
    // OpenGL's rows go upwards.
    image = image.convertToFormat(QImage::Format_RGBA8888).mirrored();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(magFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width(), image.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.constBits());
    return texture;
}

// -------------------------------------------------------------------- meshes

// The town's triangles, compiled once into a display list.
GLuint CompileTown(const QString& path)
{
    TGLFreeForm town(nullptr);
    town.LoadFromFile(path);
    TAffineVectorList vertices;
    TAffineVectorList normals;
    town.MeshObjects().ExtractTriangles(vertices, nullptr, &normals);
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < vertices.Count(); ++i)
    {
        glNormal3fv(&normals[i].X);
        glVertex3fv(&vertices[i].X);
    }
    glEnd();
    glEndList();
    return list;
}

// A fighter: every vertex in its bone's space, and the bone matrices of each
// frame of its idle animation.
struct TFighterMesh
{
    std::vector<float> LocalPositions;
    std::vector<float> LocalNormals;
    std::vector<int> Bones;
    std::vector<float> TexCoords;
    std::vector<GLuint> Indices;
    int BoneCount = 0;
    // Frames x bones.
    std::vector<TMatrix16> PoseMatrices;
    int FrameCount = 0;
};

void AddCorner(TFighterMesh& mesh, const TSkeletonMeshObject& object, const int vertex, const int texCoord,
               std::map<std::pair<int, int>, GLuint>& corners)
{
    const auto [found, added] = corners.try_emplace({vertex, texCoord}, static_cast<GLuint>(mesh.Bones.size()));
    mesh.Indices.push_back(found->second);
    if (!added)
        return;
    const TBaseMeshObject& bind = object.InvertedMesh(0);
    mesh.LocalPositions.insert(mesh.LocalPositions.end(), {bind.Vertices[vertex].X, bind.Vertices[vertex].Y,
                                                           bind.Vertices[vertex].Z});
    mesh.LocalNormals.insert(mesh.LocalNormals.end(),
                             {bind.Normals[vertex].X, bind.Normals[vertex].Y, bind.Normals[vertex].Z});
    mesh.Bones.push_back(object.VerticesBonesWeights(vertex)->BoneID);
    mesh.TexCoords.insert(mesh.TexCoords.end(), {object.TexCoords[texCoord].X, object.TexCoords[texCoord].Y});
}

// One vertex per distinct (position, texture coordinate) pair of corners, so
// that everything is drawn from arrays.
void ReadFighterVertices(TFighterMesh& mesh, const TSkeletonMeshObject& object)
{
    std::map<std::pair<int, int>, GLuint> corners;
    for (int g = 0; g < object.FaceGroups().Count(); ++g)
    {
        const auto& group = static_cast<const TFGVertexNormalTexIndexList&>(object.FaceGroups()[g]);
        for (int i = 0; i < group.VertexIndices.Count(); ++i)
            AddCorner(mesh, object, group.VertexIndices[i], group.TexCoordIndices[i], corners);
    }
}

void ReadFighterPoses(TFighterMesh& mesh, TGLActor& actor)
{
    TSkeleton& skeleton = actor.Skeleton();
    while (skeleton.BoneByID(mesh.BoneCount) != nullptr)
        ++mesh.BoneCount;
    const TActorAnimation* const idle = actor.Animations()->FindAnimation(QStringLiteral("Anime_Pause"));
    if (idle == nullptr || idle->EndFrame() < idle->StartFrame())
    {
        std::fprintf(stderr, "no idle animation\n");
        std::exit(1);
    }
    for (int frame = idle->StartFrame(); frame <= idle->EndFrame(); ++frame)
    {
        skeleton.SetCurrentFrame(skeleton.Frames()[frame]);
        skeleton.RootBones().UpdateGlobalMatrices();
        for (int bone = 0; bone < mesh.BoneCount; ++bone)
        {
            TMatrix16 matrix;
            std::memcpy(matrix.data(), skeleton.BoneByID(bone)->GlobalMatrix().Data(), sizeof(matrix));
            mesh.PoseMatrices.push_back(matrix);
        }
        ++mesh.FrameCount;
    }
}

// Animations are named after the file name as given: read from the folder,
// as the fight reads them.
TFighterMesh ReadFighter(const QString& combo)
{
    QDir::setCurrent(combo);
    TGLActor actor(nullptr);
    actor.LoadFromFile(QStringLiteral("Stick.smd"));
    actor.AddFromFile(QStringLiteral("Anime_Pause.smd"));
    TFighterMesh mesh;
    ReadFighterVertices(mesh, dynamic_cast<const TSkeletonMeshObject&>(actor.MeshObjects()[0]));
    ReadFighterPoses(mesh, actor);
    return mesh;
}

// ------------------------------------------------------------------ fighters

// The pose and skinned arrays of one fighter, sized once.
struct TFighter
{
    const TFighterMesh* Mesh = nullptr;
    TMatrix16 Placement{};
    std::array<float, 4> Colour{};
    bool NormalizeNormals = false;
    std::vector<TMatrix16> Pose;
    std::vector<float> Positions;
    std::vector<float> Normals;
};

TFighter MakeFighter(const TFighterMesh& mesh, const TMatrix16& placement, const std::array<float, 4> colour,
                     const bool normalize)
{
    TFighter fighter{&mesh, placement, colour, normalize, {}, {}, {}};
    fighter.Pose.resize(static_cast<size_t>(mesh.BoneCount));
    fighter.Positions.resize(mesh.LocalPositions.size());
    fighter.Normals.resize(mesh.LocalNormals.size());
    return fighter;
}

void BlendPose(TFighter& fighter, const double ms)
{
    const TFighterMesh& mesh = *fighter.Mesh;
    const double position = ms / FrameIntervalMs;
    const int first = static_cast<int>(std::fmod(std::floor(position), mesh.FrameCount));
    const int second = (first + 1) % mesh.FrameCount;
    const float t = static_cast<float>(position - std::floor(position));
    for (int bone = 0; bone < mesh.BoneCount; ++bone)
    {
        const TMatrix16& a = mesh.PoseMatrices[static_cast<size_t>(first * mesh.BoneCount + bone)];
        const TMatrix16& b = mesh.PoseMatrices[static_cast<size_t>(second * mesh.BoneCount + bone)];
        for (int k = 0; k < 16; ++k)
            fighter.Pose[static_cast<size_t>(bone)][static_cast<size_t>(k)] = a[k] + (b[k] - a[k]) * t;
    }
}

void Skin(TFighter& fighter)
{
    const TFighterMesh& mesh = *fighter.Mesh;
    for (size_t v = 0; v < mesh.Bones.size(); ++v)
    {
        const float* const m = fighter.Pose[static_cast<size_t>(mesh.Bones[v])].data();
        const float* const p = &mesh.LocalPositions[3 * v];
        const float* const n = &mesh.LocalNormals[3 * v];
        float* const out = &fighter.Positions[3 * v];
        float* const normal = &fighter.Normals[3 * v];
        for (int r = 0; r < 3; ++r)
        {
            out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
            normal[r] = m[r] * n[0] + m[4 + r] * n[1] + m[8 + r] * n[2];
        }
        if (fighter.NormalizeNormals)
        {
            const float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
            if (length > 0)
                for (int r = 0; r < 3; ++r)
                    normal[r] /= length;
        }
    }
}

void SetMaterial(const std::array<float, 4>& ambient, const std::array<float, 4>& diffuse,
                 const std::array<float, 4>& emission, const std::array<float, 4>& specular)
{
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient.data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse.data());
    glMaterialfv(GL_FRONT, GL_EMISSION, emission.data());
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular.data());
    glMateriali(GL_FRONT, GL_SHININESS, 0);
}

void DrawFighter(const TFighter& fighter)
{
    glPushMatrix();
    glMultMatrixf(fighter.Placement.data());
    SetMaterial(fighter.Colour, fighter.Colour, fighter.Colour, fighter.Colour);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, fighter.Positions.data());
    glNormalPointer(GL_FLOAT, 0, fighter.Normals.data());
    glTexCoordPointer(2, GL_FLOAT, 0, fighter.Mesh->TexCoords.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(fighter.Mesh->Indices.size()), GL_UNSIGNED_INT,
                   fighter.Mesh->Indices.data());
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
}

// ------------------------------------------------------------------- arena

// Front, back, top, bottom, left, right, each with its picture.
const float SkyCorners[6][4][3] = {
    {{-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}}, {{1, 1, 1}, {1, -1, 1}, {-1, -1, 1}, {-1, 1, 1}},
    {{-1, 1, 1}, {-1, 1, -1}, {1, 1, -1}, {1, 1, 1}},     {{-1, -1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, -1, -1}},
    {{-1, 1, 1}, {-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}}, {{1, 1, -1}, {1, -1, -1}, {1, -1, 1}, {1, 1, 1}},
};
const float SkyTexCoords[4][2] = {{0.002f, 0.998f}, {0.002f, 0.002f}, {0.998f, 0.002f}, {0.998f, 0.998f}};

// A unit cube's faces: normal, then four corners of (s, t, x, y, z).
const float CubeFaces[6][1 + 4][5] = {
    {{0, 0, 1}, {1, 1, .5f, .5f, .5f}, {0, 1, -.5f, .5f, .5f}, {0, 0, -.5f, -.5f, .5f}, {1, 0, .5f, -.5f, .5f}},
    {{0, 0, -1}, {0, 1, .5f, .5f, -.5f}, {0, 0, .5f, -.5f, -.5f}, {1, 0, -.5f, -.5f, -.5f}, {1, 1, -.5f, .5f, -.5f}},
    {{-1, 0, 0}, {1, 1, -.5f, .5f, .5f}, {0, 1, -.5f, .5f, -.5f}, {0, 0, -.5f, -.5f, -.5f}, {1, 0, -.5f, -.5f, .5f}},
    {{1, 0, 0}, {0, 1, .5f, .5f, .5f}, {0, 0, .5f, -.5f, .5f}, {1, 0, .5f, -.5f, -.5f}, {1, 1, .5f, .5f, -.5f}},
    {{0, 1, 0}, {0, 1, -.5f, .5f, -.5f}, {0, 0, -.5f, .5f, .5f}, {1, 0, .5f, .5f, .5f}, {1, 1, .5f, .5f, -.5f}},
    {{0, -1, 0}, {0, 0, -.5f, -.5f, -.5f}, {1, 0, .5f, -.5f, -.5f}, {1, 1, .5f, -.5f, .5f}, {0, 1, -.5f, -.5f, .5f}},
};

void DrawCube(const TMatrix16& placement)
{
    glPushMatrix();
    glMultMatrixf(placement.data());
    glBegin(GL_QUADS);
    for (const auto& face : CubeFaces)
    {
        glNormal3fv(face[0]);
        for (int c = 1; c <= 4; ++c)
        {
            glTexCoord2f(face[c][0], face[c][1]);
            glVertex3fv(&face[c][2]);
        }
    }
    glEnd();
    glPopMatrix();
}

constexpr std::array<float, 4> DefaultAmbient{0.2f, 0.2f, 0.2f, 1};
constexpr std::array<float, 4> DefaultDiffuse{0.8f, 0.8f, 0.8f, 1};
constexpr std::array<float, 4> Black{0, 0, 0, 1};

// ------------------------------------------------------------------ window

const QEvent::Type FrameEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class TMinimalWindow : public QWindow
{
public:
    explicit TMinimalWindow(const TOptions& options) : FOptions(options)
    {
        setSurfaceType(QSurface::OpenGLSurface);
        QSurfaceFormat format;
        format.setVersion(2, 1);
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setDepthBufferSize(24);
        format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
        format.setSwapInterval(0);
        setFormat(format);
        resize(ViewWidth, ViewHeight);
        FFrameEnds.reserve(200000);
    }

    std::vector<qint64> FFrameEnds;
    std::string FRenderer;
    QElapsedTimer FClock;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != FrameEvent)
            return QWindow::event(event);
        if (isExposed())
            Frame();
        QCoreApplication::postEvent(this, new QEvent(FrameEvent), Qt::LowEventPriority);
        return true;
    }

    void exposeEvent(QExposeEvent*) override
    {
        if (!isExposed() || FContext != nullptr)
            return;
        Prepare();
        FClock.start();
        QCoreApplication::postEvent(this, new QEvent(FrameEvent), Qt::LowEventPriority);
    }

private:
    void Prepare();
    void PrepareFighters();
    void Frame();
    void SetProjection() const;
    void DrawSky() const;
    void DrawOpaqueArena() const;
    void DrawBlendedArena() const;
    void DrawDebugTexts(double ms) const;
    void SavePicture();

    const TOptions& FOptions;
    std::unique_ptr<QOpenGLContext> FContext;
    GLuint FTown = 0;
    GLuint FGround = 0;
    GLuint FSky[6] = {};
    TFighterMesh FFighterMesh;
    TFighter FFighter1;
    TFighter FFighter2;
    TMinimalText FText;
    double FNearPlane = 0;
    bool FPictureSaved = false;
};

void TMinimalWindow::Prepare()
{
    FContext = std::make_unique<QOpenGLContext>();
    FContext->setFormat(format());
    if (!FContext->create() || !FContext->makeCurrent(this))
    {
        std::fprintf(stderr, "no OpenGL context\n");
        std::exit(1);
    }
    FRenderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    // The bottom's picture is not enabled in the layout: it is drawn in its
    // colour alone.
    const char* const sky[6] = {"sky3.jpg", "sky1.jpg", "sky_top.jpg", nullptr, "sky2.jpg", "sky4.jpg"};
    for (int i = 0; i < 6; ++i)
        FSky[i] = sky[i] != nullptr ? LoadTexture(sky[i], GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR) : 0;
    FGround = LoadTexture("ground.jpg", GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    FTown = CompileTown(QStringLiteral(STICKFIGHT_GAME_DIR "/Miniville.3ds"));
    PrepareFighters();
    // The fight's screen font: Tahoma, 13 pixels high.
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    FText.Prepare(font);

    const double focalLength = std::min(ViewWidth, ViewHeight) / (2 * std::tan(FieldOfViewDegrees * M_PI / 360));
    FNearPlane = focalLength * 2 * RenderDPI / (25.4 * std::max(ViewWidth, ViewHeight)) * NearPlaneBias;
    glViewport(0, 0, ViewWidth, ViewHeight);
    glClearColor(240 / 255.0f, 240 / 255.0f, 240 / 255.0f, 1);
    glEnable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glShadeModel(GL_SMOOTH);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, DefaultAmbient.data());
    const float diffuse[4] = {0.75f, 0.75f, 0.75f, 1};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, Black.data());
    glLightfv(GL_LIGHT0, GL_AMBIENT, Black.data());
    glEnable(GL_LIGHT0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
}

void TMinimalWindow::PrepareFighters()
{
    FFighterMesh = ReadFighter(QStringLiteral(STICKFIGHT_GAME_DIR "/../Combo"));
    FFighter1 = MakeFighter(FFighterMesh,
                            ObjectMatrix({1, -0.3f, 0}, {-2.54901e-22f, 1, -4.37114e-08f},
                                         {8.74228e-08f, 4.37114e-08f, 1}, {0.02f, 0.02f, 0.02f}),
                            {0, 0, 0, 0}, false);
    FFighter2 = MakeFighter(FFighterMesh,
                            ObjectMatrix({-1, -0.3f, 0}, {1.32349e-23f, 1, -4.37114e-08f}, {0, -4.37114e-08f, -1},
                                         {0.02f, 0.02f, 0.02f}),
                            {1, 0, 0, 0}, true);
}

void TMinimalWindow::SetProjection() const
{
    const double m = std::max(ViewWidth, ViewHeight);
    const double right = 0.25 * ViewWidth / m;
    const double top = 0.25 * ViewHeight / m;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-right, right, -top, top, FNearPlane, FNearPlane + DepthOfView);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
}

// Centred on the camera, half the far distance across, its top two thirds
// above the eye.
void TMinimalWindow::DrawSky() const
{
    const float size = static_cast<float>((FNearPlane + DepthOfView) / 2);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    glPushMatrix();
    glTranslatef(0, 0, 3);
    glScalef(size, size, size);
    glTranslatef(0, 0.33333334f, 0);
    glScalef(1, 0.6666667f, 1);
    for (int face = 0; face < 6; ++face)
    {
        if (FSky[face] != 0)
        {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, FSky[face]);
            glColor4fv(DefaultDiffuse.data());
        }
        else
        {
            glDisable(GL_TEXTURE_2D);
            glColor4f(0.52549f, 0.517647f, 0.517647f, 1);
        }
        glBegin(GL_QUADS);
        for (int i = 0; i < 4; ++i)
        {
            glTexCoord2fv(SkyTexCoords[i]);
            glVertex3fv(SkyCorners[face][i]);
        }
        glEnd();
    }
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_TRUE);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

const std::array<float, 3> Along{0, 0, 1};
const std::array<float, 3> Across{1, 0, -4.37114e-08f};
const std::array<float, 3> Up{0, 1, 0};
const std::array<float, 4> WallAmbient{0.2f, 0.2f, 0.2f, 0.508f};
const std::array<float, 4> WallDiffuse{0.176471f, 0.117647f, 0.0862745f, 0.651f};

void TMinimalWindow::DrawOpaqueArena() const
{
    SetMaterial({1, 1, 1, 0}, DefaultDiffuse, Black, Black);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, FGround);
    DrawCube(ObjectMatrix({0, -12.5f, 0}, Along, Up, {20, 23, 20}));
    glDisable(GL_TEXTURE_2D);
    SetMaterial(WallAmbient, WallDiffuse, {0, 0, 0, 0.532f}, {0, 0, 0, 0.5f});
    DrawCube(ObjectMatrix({0, -0.5f, -9.75f}, Along, Up, {20, 1, 0.5f}));
}

// The other walls modulate what lies behind them, so they come last.
void TMinimalWindow::DrawBlendedArena() const
{
    SetMaterial(WallAmbient, WallDiffuse, {0, 0, 0, 0.532f}, {0, 0, 0, 0.508f});
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    DrawCube(ObjectMatrix({0, -0.5f, 9.75f}, Along, Up, {20, 1, 0.5f}));
    DrawCube(ObjectMatrix({-9.75f, -0.5f, 0}, Across, Up, {20, 1, 0.5f}));
    DrawCube(ObjectMatrix({9.75f, -0.5f, 0}, Across, Up, {20, 1, 0.5f}));
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
}

void TMinimalWindow::Frame()
{
    FContext->makeCurrent(this);
    const double ms = FClock.nsecsElapsed() / 1e6;
    for (TFighter* fighter : {&FFighter1, &FFighter2})
    {
        BlendPose(*fighter, ms);
        Skin(*fighter);
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetProjection();
    const float lightPosition[4] = {-1, -1, -1, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    DrawSky();
    DrawOpaqueArena();
    SetMaterial(DefaultAmbient, DefaultDiffuse, Black, Black);
    glPushMatrix();
    glMultMatrixf(ObjectMatrix({0, -25, 0}, {0, 1, -4.37114e-08f}, {0, -4.37114e-08f, -1}, {200, 200, 200}).data());
    glCallList(FTown);
    glPopMatrix();
    DrawFighter(FFighter1);
    DrawFighter(FFighter2);
    DrawBlendedArena();
    DrawDebugTexts(ms);
    if (!FOptions.Picture.empty() && !FPictureSaved && ms > WarmUpMs)
        SavePicture();
    FContext->swapBuffers(this);
    FFrameEnds.push_back(FClock.nsecsElapsed());
}

// What the fight writes at each tick: each fighter's position, frame and
// state, fighter 2's in red at the left, fighter 1's in near black at the right.
void TMinimalWindow::DrawDebugTexts(const double ms) const
{
    const int frame = static_cast<int>(std::fmod(std::floor(ms / FrameIntervalMs), FFighterMesh.FrameCount));
    const auto text = [frame](const char* x, const char* label)
    {
        return QStringLiteral("Position X : %1\r\nPosition Y : -0.3\r\nCurrentFrame : %2\r\n%3 : Anime_Pause")
            .arg(QLatin1String(x))
            .arg(frame)
            .arg(QLatin1String(label));
    };
    FText.Draw(text("-1", "baseAnimation2"), 50, 15, {1, 0, 0, 1}, ViewWidth, ViewHeight);
    FText.Draw(text("1", "baseAnimation1"), 1150, 15, {0.05f, 0.05f, 0.05f, 1}, ViewWidth, ViewHeight);
}

void TMinimalWindow::SavePicture()
{
    QImage picture(ViewWidth, ViewHeight, QImage::Format_RGBA8888);
    glReadPixels(0, 0, ViewWidth, ViewHeight, GL_RGBA, GL_UNSIGNED_BYTE, picture.bits());
    picture.mirrored().save(QString::fromStdString(FOptions.Picture));
    FPictureSaved = true;
}

double RoundRate(const std::vector<qint64>& ends, const size_t first)
{
    if (ends.size() < first + 2)
        return 0;
    return (ends.size() - 1 - first) * 1e9 / double(ends.back() - ends[first]);
}
} // namespace

int main(int argc, char** argv)
{
    const TOptions options = ReadOptions(argc, argv);
    QGuiApplication application(argc, argv);
    RegisterVectorFileFormats();
    TMinimalWindow window(options);
    window.setTitle(QStringLiteral("minimal fight"));
    window.show();
    RunEventsFor(WarmUpMs);
    std::printf("minimal program, window %d x %d, renderer %s\n", ViewWidth, ViewHeight, window.FRenderer.c_str());
    std::vector<double> rates;
    const size_t measuredFrom = window.FFrameEnds.size();
    const double cpuStart = CpuMs();
    for (int round = 0; round < options.Rounds; ++round)
    {
        const size_t first = window.FFrameEnds.size();
        RunEventsFor(static_cast<qint64>(options.RoundSeconds * 1000));
        rates.push_back(RoundRate(window.FFrameEnds, first));
        std::printf("  round %d: %6.1f frames/s\n", round + 1, rates.back());
    }
    const double cpuPerFrame = (CpuMs() - cpuStart) / std::max<size_t>(1, window.FFrameEnds.size() - measuredFrom);
    std::vector<double> frames;
    for (size_t i = measuredFrom + 1; i < window.FFrameEnds.size(); ++i)
        frames.push_back((window.FFrameEnds[i] - window.FFrameEnds[i - 1]) / 1e6);
    std::printf("frame rate: median %.1f, min %.1f, max %.1f frames/s; frame time median %.2f ms; processor time "
                "%.2f ms a frame\n",
                Percentile(rates, 0.5), Percentile(rates, 0), Percentile(rates, 1), Percentile(frames, 0.5), cpuPerFrame);
    std::printf("RESULT renderer %s\n", window.FRenderer.c_str());
    std::printf("RESULT fps_median %.2f\nRESULT fps_min %.2f\nRESULT fps_max %.2f\n", Percentile(rates, 0.5),
                Percentile(rates, 0), Percentile(rates, 1));
    std::printf("RESULT frame_ms_median %.3f\nRESULT cpu_ms_per_frame %.3f\n", Percentile(frames, 0.5), cpuPerFrame);
    PrintSeries("round_fps", rates);
    PrintSeries("frame_times_ms", frames);
    std::fflush(stdout);
    return 0;
}
