#include "scene/GLDummyCube.h"
#include "scene/GLStateCache.h"

#include "GLTestContext.h"

#include <QOpenGLContext>
#include <gtest/gtest.h>

namespace
{
class TDummyListener : public TGLSceneListener
{
public:
    void SceneChanged(QObject*) override { ++FChanges; }
    int FChanges = 0;
};

TGLDummyCube* AddDummy(TGLBaseSceneObject* parent, float x, float y = 0, float z = 0)
{
    auto* dummy = new TGLDummyCube(nullptr);
    dummy->SetPosition(PointMake(x, y, z));
    parent->AddChild(dummy);
    return dummy;
}

int LitPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qGray(image.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

// Draws the object once, seen head on, and counts the pixels it touched.
int PixelsDrawnBy(TGLBaseSceneObject& object)
{
    TGLTestContext& context = TGLTestContext::Use(32, 32);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -5, 5);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TGLStateCache states;
    TRenderContextInfo info;
    info.GLStates = &states;
    info.Context = &context.RenderContext();
    info.ObjectsSorting = osNone;
    object.RenderObject(info);
    return LitPixels(context.Pixels());
}
} // namespace

TEST(GLDummyCube, DrawsNothingUnlessVisibleAtRunTime)
{
    TGLScene scene(nullptr);
    TGLDummyCube* const dummy = AddDummy(scene.Objects(), 0);
    TGLDummyCube* const child = AddDummy(dummy, 0);
    EXPECT_EQ(PixelsDrawnBy(*dummy), 0);

    // The wire cube switches lighting off for itself only.
    child->SetVisibleAtRunTime(true);
    glEnable(GL_LIGHTING);
    EXPECT_GT(PixelsDrawnBy(*dummy), 0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    glDisable(GL_LIGHTING);

    // A handler that answers "not visible" hides the children too.
    dummy->SetOnVisibilityDetermination([](QObject*, TRenderContextInfo&, bool& isVisible) { isVisible = false; });
    EXPECT_EQ(PixelsDrawnBy(*dummy), 0);
    dummy->SetOnVisibilityDetermination({});

    // A group list gives the same picture as drawing directly.
    const int direct = PixelsDrawnBy(*dummy);
    dummy->SetAmalgamate(true);
    EXPECT_EQ(PixelsDrawnBy(*dummy), direct);
    EXPECT_EQ(PixelsDrawnBy(*dummy), direct);
    dummy->SetAmalgamate(false);
}

TEST(GLDummyCube, BarycentreIsTheMeanOfTheChildrenOrItsOwnPosition)
{
    TGLScene scene(nullptr);
    TGLDummyCube* const dummy = AddDummy(scene.Objects(), 3, 1, 0);
    EXPECT_EQ(dummy->BarycenterWorldPosition(), (TVector{3, 1, 0, 1}));

    AddDummy(dummy, 0);
    TGLDummyCube* const group = AddDummy(dummy, 2);
    EXPECT_EQ(dummy->BarycenterWorldPosition(), (TVector{4, 1, 0, 1}));

    // A child's own barycentre counts, not its position: the group's two
    // children lie at world x = 5 and 9, so the group stands for x = 7.
    AddDummy(group, 0);
    AddDummy(group, 4);
    EXPECT_EQ(dummy->BarycenterWorldPosition(), (TVector{5, 1, 0, 1}));
}

TEST(GLDummyCube, HalfExtentsFollowTheCubeSize)
{
    TGLDummyCube dummy(nullptr);
    EXPECT_EQ(dummy.HalfExtents(), (TVector{0.5f, 0.5f, 0.5f, 0}));
    dummy.SetCubeSize(-3);
    EXPECT_EQ(dummy.HalfExtents(), (TVector{1.5f, 1.5f, 1.5f, 0}));
}

TEST(GLDummyCube, SettersRepaintTheScene)
{
    TGLScene scene(nullptr);
    TDummyListener listener;
    scene.AddBuffer(&listener);
    TGLDummyCube* const dummy = AddDummy(scene.Objects(), 0);
    listener.FChanges = 0;
    dummy->SetCubeSize(1);
    EXPECT_EQ(listener.FChanges, 0);
    dummy->SetCubeSize(2);
    dummy->SetVisibleAtRunTime(true);
    EXPECT_EQ(listener.FChanges, 2);
    dummy->EdgeColor()->SetGreen(0);
    EXPECT_GT(listener.FChanges, 2);
    scene.RemoveBuffer(&listener);
}
