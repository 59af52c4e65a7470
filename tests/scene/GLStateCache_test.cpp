#include "scene/GLStateCache.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
// Counts the calls the cache makes instead of making them.
std::map<std::string, int> Calls;

const TGLStateDriver CountingDriver{
    [](GLenum) { ++Calls["Enable"]; },
    [](GLenum) { ++Calls["Disable"]; },
    [](GLenum, GLenum, const GLfloat*) { ++Calls["Materialfv"]; },
    [](GLenum, GLenum, GLint) { ++Calls["Materiali"]; },
    [](GLenum, GLenum) { ++Calls["PolygonMode"]; },
    [](GLenum, GLuint) { ++Calls["BindTexture"]; },
    [](GLenum) { ++Calls["ActiveTexture"]; },
    [](GLenum) { ++Calls["MatrixMode"]; },
    [](const GLfloat*) { ++Calls["LoadMatrixf"]; },
    [] { ++Calls["LoadIdentity"]; },
    [](GLenum) { ++Calls["FrontFace"]; },
};

class GLStateCacheTest : public testing::Test
{
protected:
    void SetUp() override { Calls.clear(); }
    TGLStateCache FCache{CountingDriver};
};
} // namespace

TEST_F(GLStateCacheTest, EnablesAndDisablesOnlyWhenTheStateChanges)
{
    FCache.Enable(stBlend);
    FCache.Enable(stBlend);
    FCache.SetEnabled(stBlend, true);
    FCache.Disable(stDepthTest);
    FCache.Disable(stBlend);
    FCache.Disable(stBlend);
    EXPECT_EQ(Calls["Enable"], 1);
    EXPECT_EQ(Calls["Disable"], 1);
    // Forcing sends whatever the cache believes, so that the two agree again.
    FCache.ForceState(stDepthTest, false);
    EXPECT_EQ(Calls["Disable"], 2);
    EXPECT_FALSE(FCache.IsEnabled(stDepthTest));
}

TEST_F(GLStateCacheTest, BindsATextureOncePerUnitUntilReset)
{
    FCache.BindTexture(0, GL_TEXTURE_2D, 7);
    FCache.BindTexture(0, GL_TEXTURE_2D, 7);
    EXPECT_EQ(Calls["BindTexture"], 1);
    FCache.BindTexture(1, GL_TEXTURE_2D, 7);
    EXPECT_EQ(Calls["BindTexture"], 2);
    EXPECT_EQ(Calls["ActiveTexture"], 1);
    FCache.Reset();
    FCache.BindTexture(1, GL_TEXTURE_2D, 7);
    EXPECT_EQ(Calls["BindTexture"], 3);
    // Out-of-range units are ignored rather than written past the table.
    FCache.BindTexture(8, GL_TEXTURE_2D, 3);
    FCache.BindTexture(-1, GL_TEXTURE_2D, 3);
    EXPECT_EQ(Calls["BindTexture"], 3);
}

TEST_F(GLStateCacheTest, SendsOnlyTheMaterialColoursThatDiffer)
{
    TFaceColors colors{{0, 0, 0, 1}, {0.2f, 0.2f, 0.2f, 1}, {1, 0, 0, 1}, {0, 0, 0, 1}, 10};
    FCache.SetFaceColors(GL_FRONT, colors);
    EXPECT_EQ(Calls["Materialfv"], 4);
    EXPECT_EQ(Calls["Materiali"], 1);
    colors.Diffuse = {0, 1, 0, 1};
    FCache.SetFaceColors(GL_FRONT, colors);
    EXPECT_EQ(Calls["Materialfv"], 5);
    EXPECT_EQ(Calls["Materiali"], 1);
    // The back face has a cache of its own.
    FCache.SetFaceColors(GL_BACK, colors);
    EXPECT_EQ(Calls["Materialfv"], 9);
    // Reset sends the default material for both faces and forgets the cache.
    FCache.Reset();
    EXPECT_EQ(Calls["Materialfv"], 17);
    FCache.SetFaceColors(GL_FRONT, colors);
    EXPECT_EQ(Calls["Materialfv"], 21);
}

TEST_F(GLStateCacheTest, PolygonModeAndTextureMatrixSkipRepeats)
{
    FCache.SetPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    FCache.SetPolygonMode(GL_FRONT, GL_FILL);
    FCache.SetPolygonMode(GL_BACK, GL_FILL);
    EXPECT_EQ(Calls["PolygonMode"], 1);
    FCache.SetPolygonMode(GL_BACK, GL_LINE);
    EXPECT_EQ(Calls["PolygonMode"], 2);
    FCache.ResetTextureMatrix();
    EXPECT_EQ(Calls["LoadIdentity"], 0);
    const GLfloat matrix[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    FCache.SetTextureMatrix(matrix);
    FCache.ResetTextureMatrix();
    FCache.ResetTextureMatrix();
    EXPECT_EQ(Calls["LoadIdentity"], 1);
}
