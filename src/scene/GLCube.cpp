#include "GLCube.h"

#include "ClassRegistry.h"

TGLCube::TGLCube(QObject* AOwner)
    : TGLSceneObject(AOwner)
{
    SetObjectStyle(ObjectStyle() | osDirectDraw);
}

void TGLCube::SetSize(float& field, float value)
{
    if (value == field)
        return;
    field = value;
    MarkStructureChanged();
}

void TGLCube::SetCubeWidth(float value)
{
    SetSize(FCubeWidth, value);
}

void TGLCube::SetCubeHeight(float value)
{
    SetSize(FCubeHeight, value);
}

void TGLCube::SetCubeDepth(float value)
{
    SetSize(FCubeDepth, value);
}

void TGLCube::SetParts(TCubeParts value)
{
    if (value == FParts)
        return;
    FParts = value;
    MarkStructureChanged();
}

void TGLCube::SetNormalDirection(TNormalDirection value)
{
    if (value == FNormalDirection)
        return;
    FNormalDirection = value;
    MarkStructureChanged();
}

TVector TGLCube::HalfExtents() const
{
    return {FCubeWidth * 0.5f, FCubeHeight * 0.5f, FCubeDepth * 0.5f, 0};
}

// The corner order is the same for both normal directions; only the normals
// turn round.
int TGLCube::BuildFaces(TFace (&faces)[6]) const
{
    const float w = FCubeWidth * 0.5f, h = FCubeHeight * 0.5f, d = FCubeDepth * 0.5f;
    const float a = FNormalDirection == ndOutside ? 1.0f : -1.0f;
    int count = 0;
    const auto add = [&](TCubePart part, TVector normal, std::initializer_list<TCubeVertex> corners) {
        if (!FParts.testFlag(part))
            return;
        TFace& face = faces[count++];
        face.Normal = normal;
        int i = 0;
        for (const TCubeVertex& corner : corners)
            face.Corners[i++] = corner;
    };
    add(cpFront, {0, 0, a, 0}, {{1, 1, w, h, d}, {0, 1, -w, h, d}, {0, 0, -w, -h, d}, {1, 0, w, -h, d}});
    add(cpBack, {0, 0, -a, 0}, {{0, 1, w, h, -d}, {0, 0, w, -h, -d}, {1, 0, -w, -h, -d}, {1, 1, -w, h, -d}});
    add(cpLeft, {-a, 0, 0, 0}, {{1, 1, -w, h, d}, {0, 1, -w, h, -d}, {0, 0, -w, -h, -d}, {1, 0, -w, -h, d}});
    add(cpRight, {a, 0, 0, 0}, {{0, 1, w, h, d}, {0, 0, w, -h, d}, {1, 0, w, -h, -d}, {1, 1, w, h, -d}});
    add(cpTop, {0, a, 0, 0}, {{0, 1, -w, h, -d}, {0, 0, -w, h, d}, {1, 0, w, h, d}, {1, 1, w, h, -d}});
    add(cpBottom, {0, -a, 0, 0}, {{0, 0, -w, -h, -d}, {1, 0, w, -h, -d}, {1, 1, w, -h, d}, {0, 1, -w, -h, d}});
    return count;
}

void TGLCube::EmitGeometry(TRenderContextInfo&)
{
    TFace faces[6];
    const int count = BuildFaces(faces);
    glBegin(GL_QUADS);
    for (int i = 0; i < count; ++i)
    {
        glNormal3f(faces[i].Normal.X, faces[i].Normal.Y, faces[i].Normal.Z);
        for (const TCubeVertex& corner : faces[i].Corners)
        {
            glTexCoord2f(corner.S, corner.T);
            glVertex3f(corner.X, corner.Y, corner.Z);
        }
    }
    glEnd();
}

void RegisterCubeClasses()
{
    TClassRegistry::RegisterClass<TGLCube>();
}
