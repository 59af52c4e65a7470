#include "scene/GLCube.h"

#include "GLTestContext.h"

#include <gtest/gtest.h>

namespace
{
void ExpectVector(const TVector& actual, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(actual.X, x);
    EXPECT_FLOAT_EQ(actual.Y, y);
    EXPECT_FLOAT_EQ(actual.Z, z);
}
} // namespace

TEST(Cube, TopOnlyEmitsOneQuadWhoseNormalFollowsTheDirection)
{
    TGLCube cube(nullptr);
    cube.SetParts(cpTop);
    TGLCube::TFace faces[6];
    ASSERT_EQ(cube.BuildFaces(faces), 1);
    ExpectVector(faces[0].Normal, 0, 1, 0);
    // The corner order and texture mapping stay as they are inside out.
    const TCubeVertex expected[4] = {
        {0, 1, -0.5f, 0.5f, -0.5f}, {0, 0, -0.5f, 0.5f, 0.5f}, {1, 0, 0.5f, 0.5f, 0.5f}, {1, 1, 0.5f, 0.5f, -0.5f}};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_FLOAT_EQ(faces[0].Corners[i].S, expected[i].S);
        EXPECT_FLOAT_EQ(faces[0].Corners[i].T, expected[i].T);
        EXPECT_FLOAT_EQ(faces[0].Corners[i].X, expected[i].X);
        EXPECT_FLOAT_EQ(faces[0].Corners[i].Y, expected[i].Y);
        EXPECT_FLOAT_EQ(faces[0].Corners[i].Z, expected[i].Z);
    }
    cube.SetNormalDirection(ndInside);
    ASSERT_EQ(cube.BuildFaces(faces), 1);
    ExpectVector(faces[0].Normal, 0, -1, 0);
    EXPECT_FLOAT_EQ(faces[0].Corners[0].X, -0.5f);
}

TEST(Cube, AllSixFacesComeInDrawingOrderWithOutwardNormals)
{
    TGLCube cube(nullptr);
    cube.SetCubeWidth(2);
    TGLCube::TFace faces[6];
    ASSERT_EQ(cube.BuildFaces(faces), 6);
    const float normals[6][3] = {{0, 0, 1}, {0, 0, -1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    for (int face = 0; face < 6; ++face)
    {
        ExpectVector(faces[face].Normal, normals[face][0], normals[face][1], normals[face][2]);
        // Every corner of a face lies on the face's plane, one half size out.
        for (const TCubeVertex& corner : faces[face].Corners)
        {
            const float along = corner.X * normals[face][0] + corner.Y * normals[face][1] + corner.Z * normals[face][2];
            EXPECT_FLOAT_EQ(along, normals[face][0] != 0 ? 1.0f : 0.5f);
        }
    }
    ExpectVector(cube.HalfExtents(), 1, 0.5f, 0.5f);
}

TEST(Cube, FightFloorHasItsTopFaceAtMinusOne)
{
    TGLCube floor(nullptr);
    floor.SetPosition(PointMake(0, -12.5f, 0));
    floor.SetScale({20, 23, 20, 0});
    const TVector top = floor.LocalToWorld(PointMake(0, 0.5f, 0));
    EXPECT_FLOAT_EQ(top.Y, -1);
    const TVector corner = floor.LocalToWorld(PointMake(0.5f, 0.5f, 0.5f));
    ExpectVector(corner, 10, -1, 10);
}

TEST(Cube, DrawsItsFacesWhereTheyAre)
{
    TGLTestContext& context = TGLTestContext::Use(64, 64);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 1, 1);
    TGLCube cube(nullptr);
    cube.SetParts(cpFront);
    TRenderContextInfo info;
    cube.EmitGeometry(info);
    glFinish();
    const QImage pixels = context.Pixels();
    // The unit cube's front face covers the middle half of the view.
    EXPECT_EQ(qRed(pixels.pixel(32, 32)), 255);
    EXPECT_EQ(qRed(pixels.pixel(20, 20)), 255);
    EXPECT_EQ(qRed(pixels.pixel(10, 32)), 0);
    EXPECT_EQ(qRed(pixels.pixel(32, 54)), 0);
}
