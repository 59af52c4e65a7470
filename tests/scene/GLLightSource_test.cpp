#include "base/LayoutReader.h"
#include "scene/GLDummyCube.h"
#include "scene/GLLightSource.h"
#include "scene/GLStateCache.h"

#include "GLTestContext.h"

#include <GL/glu.h>
#include <QJsonArray>
#include <gtest/gtest.h>

#include <array>

namespace
{
class TLightListener : public TGLSceneListener
{
public:
    void SceneChanged(QObject*) override { ++FChanges; }
    int FChanges = 0;
};

TGLLightSource* AddLight(TGLBaseSceneObject* parent, float x = -1, float y = -1, float z = -1)
{
    auto* light = new TGLLightSource(nullptr);
    light->SetPosition(PointMake(x, y, z));
    parent->AddChild(light);
    return light;
}

std::array<float, 4> LightParameter(GLenum light, GLenum name)
{
    std::array<float, 4> value{};
    glGetLightfv(light, name, value.data());
    return value;
}

void ExpectFour(const std::array<float, 4>& actual, float x, float y, float z, float w)
{
    EXPECT_NEAR(actual[0], x, 1e-5f);
    EXPECT_NEAR(actual[1], y, 1e-5f);
    EXPECT_NEAR(actual[2], z, 1e-5f);
    EXPECT_NEAR(actual[3], w, 1e-5f);
}

// A fresh GL state for each pass: identity camera view, every light on, so
// that a light the pass forgets to switch off is seen.
class LightPass : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TGLTestContext::Use(64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (GLenum i = 0; i < 8; ++i)
            glEnable(GL_LIGHT0 + i);
    }
    void TearDown() override
    {
        for (GLenum i = 0; i < 8; ++i)
            glDisable(GL_LIGHT0 + i);
        glDisable(GL_LIGHTING);
    }

    TGLScene FScene{nullptr};
    TGLStateCache FStates;
};
} // namespace

TEST(GLLightSource, LightsTakeTheFirstFreeSlotAndANinthGetsNone)
{
    TGLScene scene(nullptr);
    std::array<TGLLightSource*, 9> lights{};
    for (TGLLightSource*& light : lights)
        light = AddLight(scene.Objects());
    for (GLenum i = 0; i < 8; ++i)
        EXPECT_EQ(lights[i]->LightID(), GL_LIGHT0 + i);
    EXPECT_EQ(lights[8]->LightID(), 0u);

    delete lights[2];
    EXPECT_EQ(scene.Lights()[2], nullptr);
    EXPECT_EQ(lights[8]->LightID(), 0u);
    auto* detached = lights[5];
    scene.Objects()->Remove(detached, false);
    EXPECT_EQ(scene.Lights()[5], nullptr);
    EXPECT_EQ(detached->LightID(), 0u);

    // A light nested in a group joins with the group.
    auto* group = new TGLBaseSceneObject(nullptr);
    auto* nested = AddLight(group);
    scene.Objects()->AddChild(group);
    EXPECT_EQ(nested->LightID(), static_cast<GLenum>(GL_LIGHT2));
    delete detached;
}

TEST(GLLightSource, SpotCutOffTakesOnlyConesUpToNinetyOrNone)
{
    TGLLightSource light(nullptr);
    light.SetSpotCutOff(120);
    EXPECT_EQ(light.SpotCutOff(), 180);
    light.SetSpotCutOff(45);
    EXPECT_EQ(light.SpotCutOff(), 45);
    for (const float refused : {-1.0f, 90.5f, 179.0f, 181.0f})
    {
        light.SetSpotCutOff(refused);
        EXPECT_EQ(light.SpotCutOff(), 45) << refused;
    }
    light.SetSpotCutOff(0);
    EXPECT_EQ(light.SpotCutOff(), 0);
    light.SetSpotCutOff(90);
    EXPECT_EQ(light.SpotCutOff(), 90);
    light.SetSpotCutOff(180);
    EXPECT_EQ(light.SpotCutOff(), 180);
}

TEST(GLLightSource, ChangesRepaintTheSceneOnlyWhenAValueChanges)
{
    TGLScene scene(nullptr);
    TLightListener listener;
    scene.AddBuffer(&listener);
    TGLLightSource* const light = AddLight(scene.Objects());
    light->RebuildLocalMatrix();
    listener.FChanges = 0;

    light->SetShining(true);
    light->SetConstAttenuation(1);
    light->SetSpotCutOff(120);
    EXPECT_EQ(listener.FChanges, 0);
    light->SetShining(false);
    light->SetLinearAttenuation(0.5f);
    light->Diffuse()->SetRed(0.75f);
    EXPECT_EQ(listener.FChanges, 3);

    light->SetSpotDirection({1, 2, 3, 7});
    EXPECT_EQ(light->SpotDirection()->AsVector(), (TVector{1, 2, 3, 0}));
    EXPECT_TRUE(light->TransformationChanged());
    EXPECT_EQ(listener.FChanges, 4);
    scene.RemoveBuffer(&listener);
}

class TLightHost : public QObject, public TLayoutComponent
{
    Q_OBJECT

public:
    TLightHost() { setObjectName("LightHost"); }
};

TEST(GLLightSource, LayoutsSetColoursAndStylesByName)
{
    RegisterSceneClasses();
    RegisterLightAndDummyClasses();
    TLightHost host;
    TLayoutReader(&host, ":/layouts/LightHost.json").Read();
    auto* scene = host.findChild<TGLScene*>("GLScene1");
    ASSERT_NE(scene, nullptr);
    auto* light = qobject_cast<TGLLightSource*>(scene->FindSceneObject("GLLightSource1"));
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(scene->Lights()[0], light);
    EXPECT_EQ(light->Diffuse()->Color(), (TColorVector{0.75f, 0.75f, 0.75f, 1}));
    EXPECT_EQ(light->Ambient()->Color(), (TColorVector{0, 0, 0.5f, 1}));
    EXPECT_EQ(light->LightStyle(), lsOmni);
    EXPECT_EQ(light->Position()->AsVector(), (TVector{-1, -1, -1, 1}));
    auto* dummy = qobject_cast<TGLDummyCube*>(scene->FindSceneObject("DummyCube1"));
    ASSERT_NE(dummy, nullptr);
    EXPECT_EQ(dummy->EdgeColor()->Color(), (TColorVector{0, 0.5f, 1, 1}));

    QObject root;
    TLayoutReader reader(&root, QStringLiteral("Broken.json"));
    EXPECT_ANY_THROW(light->Specular()->ReadLayoutValue(QJsonArray{1, 2}, reader));
}

TEST_F(LightPass, LightsThatDoNotShineOrLieBeyondTheLimitStayDark)
{
    TGLLightSource* const first = AddLight(FScene.Objects());
    TGLLightSource* const dark = AddLight(FScene.Objects());
    AddLight(FScene.Objects());
    AddLight(FScene.Objects());
    dark->SetShining(false);

    SetupLights(FScene, 3, FStates);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
    for (GLenum i = 3; i < 8; ++i)
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + i)) << i;

    first->SetShining(false);
    SetupLights(FScene, 0, FStates);
    for (GLenum i = 0; i < 8; ++i)
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + i)) << i;
}

TEST_F(LightPass, ANinthLightIsNeverLit)
{
    for (int i = 0; i < 9; ++i)
        AddLight(FScene.Objects(), static_cast<float>(i), 0, 0);
    SetupLights(FScene, 8, FStates);
    for (GLenum i = 0; i < 8; ++i)
    {
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0 + i));
        EXPECT_EQ(LightParameter(GL_LIGHT0 + i, GL_POSITION)[0], static_cast<float>(i));
    }
}

TEST_F(LightPass, LightsArePlacedInTheWorldSeenFromTheCamera)
{
    auto* group = new TGLBaseSceneObject(nullptr);
    group->SetPosition(PointMake(10, 0, 0));
    FScene.Objects()->AddChild(group);
    TGLLightSource* const light = AddLight(group);
    light->Diffuse()->SetColor({0.75f, 0.75f, 0.75f, 1});
    light->SetQuadraticAttenuation(0.25f);
    TGLLightSource* const sun = AddLight(FScene.Objects(), 5, 0, 0);
    sun->SetLightStyle(lsParallel);
    sun->SetTurnAngle(90);

    glTranslatef(0, 0, -5);
    std::array<float, 16> cameraView{};
    glGetFloatv(GL_MODELVIEW_MATRIX, cameraView.data());
    SetupLights(FScene, 8, FStates);

    std::array<float, 16> after{};
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
    EXPECT_EQ(after, cameraView);
    // (-1, -1, -1) in a group at x = 10, then 5 units in front of the eye.
    ExpectFour(LightParameter(GL_LIGHT0, GL_POSITION), 9, -1, -6, 1);
    ExpectFour(LightParameter(GL_LIGHT0, GL_DIFFUSE), 0.75f, 0.75f, 0.75f, 1);
    EXPECT_EQ(LightParameter(GL_LIGHT0, GL_SPOT_CUTOFF)[0], 180);
    EXPECT_EQ(LightParameter(GL_LIGHT0, GL_CONSTANT_ATTENUATION)[0], 1);
    EXPECT_EQ(LightParameter(GL_LIGHT0, GL_QUADRATIC_ATTENUATION)[0], 0.25f);
    // Turned a quarter about Up, the light's -Z points along world -X.
    ExpectFour(LightParameter(GL_LIGHT1, GL_POSITION), -1, 0, 0, 0);
}

TEST_F(LightPass, OnlyASpotLightSendsItsCone)
{
    TGLLightSource* const spot = AddLight(FScene.Objects(), 0, 0, 0);
    spot->SetSpotCutOff(45);
    spot->SetSpotExponent(2);
    spot->SetSpotDirection({0, -1, 0, 0});
    TGLLightSource* const omni = AddLight(FScene.Objects(), 0, 0, 0);
    omni->SetSpotCutOff(45);
    omni->SetLightStyle(lsOmni);

    SetupLights(FScene, 8, FStates);
    EXPECT_EQ(LightParameter(GL_LIGHT0, GL_SPOT_CUTOFF)[0], 45);
    EXPECT_EQ(LightParameter(GL_LIGHT0, GL_SPOT_EXPONENT)[0], 2);
    const std::array<float, 4> direction = LightParameter(GL_LIGHT0, GL_SPOT_DIRECTION);
    EXPECT_NEAR(direction[1], -1, 1e-5f);
    EXPECT_EQ(LightParameter(GL_LIGHT1, GL_SPOT_CUTOFF)[0], 180);
}

TEST_F(LightPass, ASphereIsBrighterOnTheSideFacingTheLight)
{
    TGLLightSource* const light = AddLight(FScene.Objects());
    light->Diffuse()->SetColor({0.75f, 0.75f, 0.75f, 1});
    glMatrixMode(GL_PROJECTION);
    gluPerspective(60, 1, 0.1, 20);
    glMatrixMode(GL_MODELVIEW);
    // Eye at (0, 0, 0.5) looking down -Z at a unit sphere centred on
    // (0, 0, -2.5): the light sits between them, below and to the left.
    gluLookAt(0, 0, 0.5, 0, 0, -2.5, 0, 1, 0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);

    SetupLights(FScene, 8, FStates);
    glTranslatef(0, 0, -2.5f);
    GLUquadric* const sphere = gluNewQuadric();
    gluSphere(sphere, 1, 24, 16);
    gluDeleteQuadric(sphere);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_NORMALIZE);

    const QImage pixels = TGLTestContext::Use(64, 64).Pixels();
    // Along the middle row, so that the order of the image rows does not
    // matter: the light is on the left.
    const int facing = qGray(pixels.pixel(22, 32));
    const int away = qGray(pixels.pixel(42, 32));
    // Lit: about 0.75 x 0.8 x cos 55 degrees of white, ~90 of 255; unlit:
    // only the 0.2 x 0.2 global ambient, ~10.
    EXPECT_GT(facing, 60);
    EXPECT_LT(away, 20);
}

#include "GLLightSource_test.moc"
