#include "scene/GLMaterial.h"
#include "scene/SceneObjects.h"
#include "scene/GLStateCache.h"

#include "GLTestContext.h"
#include "JpegFixtures.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

namespace
{
class GLMaterialTest : public testing::Test
{
protected:
    void SetUp() override
    {
        FInfo.Context = &TGLTestContext::Use(64, 64).RenderContext();
        FInfo.GLStates = &FStates;
        // What a scene pass leaves behind.
        FStates.ForceState(stBlend, false);
        FStates.ForceState(stAlphaTest, true);
        FStates.ForceState(stLighting, true);
        FStates.ForceState(stCullFace, false);
        FStates.ForceState(stFog, false);
        FStates.ForceState(stTexture2D, false);
        glAlphaFunc(GL_GREATER, 0);
        glBlendFunc(GL_ONE, GL_ZERO);
    }

    static GLint Integer(GLenum name)
    {
        GLint value = 0;
        glGetIntegerv(name, &value);
        return value;
    }

    static GLfloat Float(GLenum name)
    {
        GLfloat value = 0;
        glGetFloatv(name, &value);
        return value;
    }

    TGLStateCache FStates;
    TRenderContextInfo FInfo;
    TGLMaterial FMaterial{nullptr};
};

// Counts the repaints a scene asks of its viewers.
class TRepaintCounter : public TGLSceneListener
{
public:
    void SceneChanged(QObject*) override { ++Count; }
    int Count = 0;
};
} // namespace

TEST_F(GLMaterialTest, EachBlendingModeSetsItsOpenGLState)
{
    struct TExpected
    {
        TBlendingMode Mode;
        bool Blend;
        bool AlphaTest;
        GLenum Source, Destination;
        GLenum AlphaFunction;
        float Reference;
    };
    // The blend function is left alone by the opaque and alpha-test modes,
    // the alpha function by the blending ones.
    const TExpected table[] = {
        {bmOpaque, false, false, GL_ONE, GL_ZERO, GL_GREATER, 0},
        {bmTransparency, true, true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_GREATER, 0},
        {bmAdditive, true, true, GL_SRC_ALPHA, GL_ONE, GL_GREATER, 0},
        {bmAlphaTest50, false, true, GL_ONE, GL_ZERO, GL_GEQUAL, 0.5f},
        {bmAlphaTest100, false, true, GL_ONE, GL_ZERO, GL_GEQUAL, 1.0f},
        {bmModulate, true, true, GL_DST_COLOR, GL_ZERO, GL_GREATER, 0},
    };
    for (const TExpected& expected : table)
    {
        SCOPED_TRACE(static_cast<int>(expected.Mode));
        SetUp();
        FMaterial.SetBlendingMode(expected.Mode);
        FMaterial.Apply(FInfo);
        EXPECT_EQ(glIsEnabled(GL_BLEND) == GL_TRUE, expected.Blend);
        EXPECT_EQ(glIsEnabled(GL_ALPHA_TEST) == GL_TRUE, expected.AlphaTest);
        EXPECT_EQ(Integer(GL_BLEND_SRC), static_cast<GLint>(expected.Source));
        EXPECT_EQ(Integer(GL_BLEND_DST), static_cast<GLint>(expected.Destination));
        EXPECT_EQ(Integer(GL_ALPHA_TEST_FUNC), static_cast<GLint>(expected.AlphaFunction));
        EXPECT_FLOAT_EQ(Float(GL_ALPHA_TEST_REF), expected.Reference);
        EXPECT_FALSE(FMaterial.UnApply(FInfo));
    }
}

TEST_F(GLMaterialTest, IgnoresBlendingWhenThePassAsksSo)
{
    FMaterial.SetBlendingMode(bmAdditive);
    FInfo.IgnoreBlendingRequests = true;
    FMaterial.Apply(FInfo);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    FMaterial.UnApply(FInfo);
}

TEST_F(GLMaterialTest, IsBlendedOnlyForTransparencyAdditiveAndModulate)
{
    const std::pair<TBlendingMode, bool> table[] = {
        {bmOpaque, false},      {bmTransparency, true},  {bmAdditive, true},
        {bmAlphaTest50, false}, {bmAlphaTest100, false}, {bmModulate, true},
    };
    for (const auto& [mode, blended] : table)
    {
        FMaterial.SetBlendingMode(mode);
        EXPECT_EQ(FMaterial.IsBlended(), blended) << static_cast<int>(mode);
    }
}

TEST_F(GLMaterialTest, UnApplyingAnAlphaTestRestoresGreaterThanZero)
{
    for (const TBlendingMode mode : {bmAlphaTest50, bmAlphaTest100})
    {
        FMaterial.SetBlendingMode(mode);
        FMaterial.Apply(FInfo);
        EXPECT_EQ(Integer(GL_ALPHA_TEST_FUNC), GL_GEQUAL);
        FMaterial.UnApply(FInfo);
        EXPECT_EQ(Integer(GL_ALPHA_TEST_FUNC), GL_GREATER);
        EXPECT_FLOAT_EQ(Float(GL_ALPHA_TEST_REF), 0);
    }
}

TEST_F(GLMaterialTest, SendsFrontColoursWhenLitAndTheDiffuseColourWhenNot)
{
    FMaterial.FrontProperties()->Diffuse()->SetColor({0.1f, 0.2f, 0.3f, 0.4f});
    FMaterial.FrontProperties()->Ambient()->SetColor({1, 1, 1, 0});
    FMaterial.FrontProperties()->SetShininess(200);
    EXPECT_EQ(FMaterial.FrontProperties()->Shininess(), 128);
    FMaterial.FrontProperties()->SetPolygonMode(pmLines);
    FMaterial.Apply(FInfo);
    GLfloat color[4] = {};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, color);
    EXPECT_FLOAT_EQ(color[2], 0.3f);
    glGetMaterialfv(GL_FRONT, GL_AMBIENT, color);
    EXPECT_FLOAT_EQ(color[3], 0);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, color);
    EXPECT_FLOAT_EQ(color[0], 128);
    GLint modes[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    FMaterial.UnApply(FInfo);

    FStates.Disable(stLighting);
    FMaterial.Apply(FInfo);
    glGetFloatv(GL_CURRENT_COLOR, color);
    EXPECT_FLOAT_EQ(color[0], 0.1f);
    EXPECT_FLOAT_EQ(color[3], 0.4f);
    FMaterial.UnApply(FInfo);
}

TEST_F(GLMaterialTest, CullsFacesAsTheMaterialOrTheBufferSays)
{
    FMaterial.BackProperties()->Diffuse()->SetColor({0, 1, 0, 1});
    // Culling off, buffer culling off: the back faces show with their colours.
    FMaterial.Apply(FInfo);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLfloat color[4] = {};
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, color);
    EXPECT_FLOAT_EQ(color[1], 1);
    FMaterial.UnApply(FInfo);
    // The buffer's culling is the default.
    FInfo.BufferFaceCull = true;
    FMaterial.Apply(FInfo);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    FMaterial.UnApply(FInfo);
    // fcNoCull switches it off again, fcCull on.
    FMaterial.SetFaceCulling(fcNoCull);
    FMaterial.Apply(FInfo);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    FMaterial.UnApply(FInfo);
    FInfo.BufferFaceCull = false;
    FMaterial.SetFaceCulling(fcCull);
    FMaterial.Apply(FInfo);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    FMaterial.UnApply(FInfo);
}

TEST_F(GLMaterialTest, CountsLightingAndFogSwitchedOffAndRestoresThemAtZero)
{
    FStates.Enable(stFog);
    FMaterial.SetMaterialOptions(moNoLighting | moIgnoreFog);
    FMaterial.Apply(FInfo);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_EQ(FInfo.LightingDisabledCounter, 1);
    EXPECT_EQ(FInfo.FogDisabledCounter, 1);
    FMaterial.UnApply(FInfo);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(FInfo.LightingDisabledCounter, 0);
    // Lighting already off is neither counted nor switched on afterwards.
    FStates.Disable(stLighting);
    FMaterial.Apply(FInfo);
    FMaterial.UnApply(FInfo);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(FInfo.LightingDisabledCounter, 0);
}

TEST_F(GLMaterialTest, NeverUploadsADisabledTexture)
{
    FMaterial.Texture()->Image()->LoadJpeg(JpegFixtures::Flat(8, 8), QStringLiteral("wall.jpg"));
    FStates.Enable(stTexture2D);
    FMaterial.Apply(FInfo);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    FMaterial.UnApply(FInfo);
    EXPECT_EQ(FMaterial.Texture()->CurrentHandle(), 0u);
    // Enabled, the same texture is uploaded at its first use.
    FMaterial.Texture()->SetDisabled(false);
    FMaterial.Apply(FInfo);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_NE(FMaterial.Texture()->CurrentHandle(), 0u);
    FMaterial.UnApply(FInfo);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(GLMaterialTest, ChangesRepaintTheOwningSceneObject)
{
    TGLScene scene(nullptr);
    TRepaintCounter repaints;
    scene.AddBuffer(&repaints);
    auto* const cube = new TGLSceneObject(nullptr);
    scene.Objects()->AddChild(cube);
    repaints.Count = 0;
    cube->Material()->FrontProperties()->Diffuse()->SetRed(0.5f);
    EXPECT_EQ(repaints.Count, 1);
    EXPECT_TRUE(cube->StructureChanged());
    cube->Material()->SetBlendingMode(bmModulate);
    cube->Material()->Texture()->SetDisabled(false);
    cube->Material()->BackProperties()->SetPolygonMode(pmPoints);
    EXPECT_EQ(repaints.Count, 4);
    EXPECT_TRUE(cube->IsBlended());
    scene.RemoveBuffer(&repaints);
}

TEST_F(GLMaterialTest, AssignCopiesEverySetting)
{
    FMaterial.FrontProperties()->Emission()->SetColor({0.5f, 0, 0, 1});
    FMaterial.BackProperties()->SetShininess(7);
    FMaterial.SetBlendingMode(bmTransparency);
    FMaterial.SetFaceCulling(fcNoCull);
    FMaterial.Texture()->SetMagFilter(maNearest);
    TGLMaterial copy(nullptr);
    copy.Assign(FMaterial);
    EXPECT_FLOAT_EQ(copy.FrontProperties()->Emission()->Red(), 0.5f);
    EXPECT_EQ(copy.BackProperties()->Shininess(), 7);
    EXPECT_EQ(copy.BlendingMode(), bmTransparency);
    EXPECT_EQ(copy.FaceCulling(), fcNoCull);
    EXPECT_EQ(copy.Texture()->MagFilter(), maNearest);
}
