#include "GLDummyCube.h"
#include "GLLightSource.h"
#include "GLMaterial.h"
#include "GLMaterialLibrary.h"
#include "GLSceneViewer.h"
#include "LayoutReader.h"
#include "ScopeGuard.h"

#include "AssertionMessage.h"

#include "FlatSquare.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWindow>

#include <GL/gl.h>

#include <map>

namespace
{
constexpr int ViewSize = 200;

// A square of half-size 0.2 in the object's XY plane, facing +Z, drawn in
// one flat colour.
class TTestQuad : public TGLSceneObject
{
public:
    TTestQuad(QObject* owner, GLubyte red, GLubyte green, GLubyte blue)
        : TGLSceneObject(owner), FRed(red), FGreen(green), FBlue(blue)
    {
    }

    void EmitGeometry(TRenderContextInfo&) override
    {
        DrawFlatSquare(FRed, FGreen, FBlue);
    }

private:
    const GLubyte FRed, FGreen, FBlue;
};

// Draws every frame without a display list and runs `Draw` while it does.
class TDirectObject : public TGLSceneObject
{
public:
    explicit TDirectObject(QObject* owner) : TGLSceneObject(owner) { SetObjectStyle(osDirectDraw); }

    std::function<void(TRenderContextInfo&)> Draw;

    void EmitGeometry(TRenderContextInfo& info) override
    {
        if (Draw)
            Draw(info);
    }
};

// A 200 x 200 viewer on a black background whose camera stands at (0, 0, 3)
// looking down -Z with the default lens. Frames are not swapped, so their
// pixels stay readable in the back buffer.
class GLSceneBufferTest : public testing::Test
{
protected:
    GLSceneBufferTest()
    {
        FScene.InsertLayoutChild(FCamera);
        FCamera->Position()->SetPoint(0, 0, 3);
        FViewer.SetBounds(0, 0, ViewSize, ViewSize);
        FBuffer->SetBackgroundColor(clBlack);
        FBuffer->SetLighting(false);
        FBuffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow | roNoSwapBuffers);
        FViewer.SetCamera(FCamera);
        FViewer.CreateRenderWindow();
    }

    TTestQuad* AddQuad(float x, float z, GLubyte red, GLubyte green, GLubyte blue)
    {
        auto* quad = new TTestQuad(&FScene, red, green, blue);
        FScene.InsertLayoutChild(quad);
        quad->Position()->SetPoint(x, 0, z);
        return quad;
    }

    // The colour at a pixel of the last frame, rows counted from the top.
    QColor PixelAt(int x, int y)
    {
        FBuffer->RenderingContext()->makeCurrent(FViewer.RenderWindow());
        GLubyte rgba[4] = {};
        glReadBuffer(GL_BACK);
        glReadPixels(x, ViewSize - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return QColor(rgba[0], rgba[1], rgba[2]);
    }

    TGLScene FScene{nullptr};
    TGLCamera* const FCamera = new TGLCamera(&FScene);
    TGLSceneViewer FViewer{nullptr};
    TGLSceneBuffer* const FBuffer = FViewer.Buffer();
};

// At 200 pixels and focal length 50 the near plane lies at 9600 / 5080 with a
// half-width of 0.5, so at the distance of 3 the half-width seen is 0.79375
// scene units: 100 / 0.79375 pixels per unit.
int ExpectedColumn(float x)
{
    return static_cast<int>(ViewSize / 2 + x * 100 / 0.79375f);
}
} // namespace

TEST_F(GLSceneBufferTest, FrameDrawsAnObjectWhereTheProjectionPutsIt)
{
    AddQuad(0.4f, 0, 255, 0, 0);

    FBuffer->Render();

    const int centre = ExpectedColumn(0.4f);
    EXPECT_EQ(centre, 150);
    EXPECT_EQ(PixelAt(centre, 100), QColor(255, 0, 0));
    // The quad's edges at x = 0.2 and 0.6 lie 25 pixels either side.
    EXPECT_EQ(PixelAt(centre - 23, 100), QColor(255, 0, 0));
    EXPECT_EQ(PixelAt(centre + 23, 77), QColor(255, 0, 0));
    EXPECT_EQ(PixelAt(centre - 28, 100), QColor(0, 0, 0));
    EXPECT_EQ(PixelAt(centre, 72), QColor(0, 0, 0));
    EXPECT_EQ(PixelAt(100, 100), QColor(0, 0, 0));
}

TEST_F(GLSceneBufferTest, BackgroundColourFillsTheFrame)
{
    FBuffer->SetBackgroundColor(clWhite);
    FBuffer->Render();
    EXPECT_EQ(PixelAt(10, 10), QColor(255, 255, 255));

    FBuffer->SetBackgroundColor(TColor{0x00336699});
    FBuffer->Render();
    EXPECT_EQ(PixelAt(190, 190), QColor(0x99, 0x66, 0x33));
}

TEST_F(GLSceneBufferTest, PickReturnsTheNearestObjectUnderThePixelOrNone)
{
    TTestQuad* const nearQuad = AddQuad(0, 1, 0, 255, 0);
    TTestQuad* const farQuad = AddQuad(0, 0, 255, 0, 0);
    FBuffer->Render();

    EXPECT_EQ(FBuffer->PickObjectAt(100, 100), nearQuad);
    EXPECT_EQ(FBuffer->PickObjectAt(10, 10), nullptr);

    // Whatever the drawing order, depth decides.
    nearQuad->MoveTo(1);
    EXPECT_EQ(FBuffer->PickObjectAt(100, 100), nearQuad);
    nearQuad->Position()->SetPoint(0, 0, -1);
    EXPECT_EQ(FBuffer->PickObjectAt(100, 100), farQuad);
}

TEST_F(GLSceneBufferTest, PickCountsWindowRowsFromTheTop)
{
    // Raised by 0.4 the quad centres 50 pixels above the middle.
    TTestQuad* const quad = AddQuad(0, 0, 255, 0, 0);
    quad->Position()->SetPoint(0, 0.4f, 0);

    EXPECT_EQ(FBuffer->PickObjectAt(100, 50), quad);
    EXPECT_EQ(FBuffer->PickObjectAt(100, 150), nullptr);
    EXPECT_EQ(FBuffer->PickObjectAt(100, 100), nullptr);
}

TEST_F(GLSceneBufferTest, PickListHoldsEveryObjectInTheRectangleByDepth)
{
    TTestQuad* const nearQuad = AddQuad(0, 1, 0, 255, 0);
    TTestQuad* const farQuad = AddQuad(0, 0, 255, 0, 0);
    nearQuad->setObjectName(QStringLiteral("b"));
    farQuad->setObjectName(QStringLiteral("A"));

    TGLPickList byDepth(psMinDepth);
    FBuffer->PickObjectsInRect(QRect(QPoint(90, 90), QPoint(110, 110)), byDepth, 1);
    ASSERT_EQ(byDepth.Count(), 2);
    EXPECT_EQ(byDepth[0], nearQuad);
    EXPECT_EQ(byDepth[1], farQuad);
    EXPECT_LT(byDepth.Record(0).ZMin, byDepth.Record(1).ZMin);
    EXPECT_GE(byDepth.Record(0).ZMin, 0.0f);
    EXPECT_LE(byDepth.Record(1).ZMax, 1.0f);

    TGLPickList byName(psName);
    FBuffer->PickObjectsInRect(QRect(QPoint(90, 90), QPoint(110, 110)), byName, 1);
    ASSERT_EQ(byName.Count(), 2);
    EXPECT_EQ(byName[0], farQuad);
    EXPECT_EQ(byName[1], nearQuad);
}

TEST_F(GLSceneBufferTest, PickWhileAFrameIsDrawnIsRefused)
{
    AddQuad(0, 0, 255, 0, 0);
    QString refusal;
    FBuffer->BeforeRender = [&](QObject*)
    {
        try
        {
            FBuffer->PickObjectAt(100, 100);
        }
        catch (const EAssertionFailed& error)
        {
            refusal = error.Message();
        }
    };

    FBuffer->Render();

    EXPECT_EQ(refusal, QStringLiteral("Already rendering"));
    EXPECT_FALSE(FBuffer->Rendering());
    EXPECT_EQ(FBuffer->FrameCount(), 1);
}

TEST_F(GLSceneBufferTest, UnbalancedModelViewStackIsAnAssertionFailure)
{
    EXPECT_EQ(AssertionMessage([&] { FBuffer->PopModelViewMatrix(); }), "Unbalanced PopModelViewMatrix");

    auto* pusher = new TDirectObject(&FScene);
    FScene.InsertLayoutChild(pusher);
    pusher->Draw = [&](TRenderContextInfo&) { FBuffer->PushModelViewMatrix(IdentityMatrix()); };
    EXPECT_EQ(AssertionMessage([&] { FBuffer->Render(); }), "Unbalance Push/PopModelViewMatrix.");
    // The stack was emptied with the failure: a balanced frame passes.
    pusher->Draw = nullptr;
    EXPECT_NO_THROW(FBuffer->Render());
    EXPECT_EQ(AssertionMessage([&] { FBuffer->PopModelViewMatrix(); }), "Unbalanced PopModelViewMatrix");
}

TEST_F(GLSceneBufferTest, FrameRateReadsZeroAfterAResetUntilAFrameIsDrawn)
{
    FBuffer->Render();
    FBuffer->Render();
    EXPECT_GT(FViewer.GetFrameRate(), 0.0f);

    FViewer.ResetFrameRate();
    EXPECT_EQ(FViewer.GetFrameRate(), 0.0f);
    EXPECT_EQ(FBuffer->FrameCount(), 0);

    FBuffer->Render();
    EXPECT_EQ(FBuffer->FrameCount(), 1);
    EXPECT_GT(FViewer.GetFrameRate(), 0.0f);
    // One frame: the rate is the inverse of its own duration.
    EXPECT_NEAR(FViewer.GetFrameRate() * FBuffer->LastFrameTime(), 1.0f, 0.05f);
}

// Work another context does, as a window made by a timer's tick would, and
// what it saw of the frame it ran in.
struct TWorkInAnotherContext
{
    static inline TGLSceneBuffer* Buffer = nullptr;
    static inline QOpenGLContext* Context = nullptr;
    static inline QOffscreenSurface* Surface = nullptr;
    static inline int Runs = 0;
    static inline int RunsInsideAFrame = 0;

    static void Run()
    {
        ++Runs;
        if (Buffer->Rendering())
            ++RunsInsideAFrame;
        Context->makeCurrent(Surface);
        glClear(GL_COLOR_BUFFER_BIT);
        // As the fight's tick does, writing the frame rate in its caption.
        Buffer->ResetFrameRate();
    }
};

TEST_F(GLSceneBufferTest, WorkWaitingWhileTheRendererFinishesAFrameRunsBeforeItsSwap)
{
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    ASSERT_TRUE(context.create());
    TWorkInAnotherContext::Buffer = FBuffer;
    TWorkInAnotherContext::Context = &context;
    TWorkInAnotherContext::Surface = &surface;
    TWorkInAnotherContext::Runs = TWorkInAnotherContext::RunsInsideAFrame = 0;
    TGLSceneBuffer::SetWorkWhileFinishing(TWorkInAnotherContext::Run);
    const TScopeExit noMoreWork([] { TGLSceneBuffer::SetWorkWhileFinishing(nullptr); });
    FBuffer->SetContextOptions(TGLContextOptions(roDoubleBuffer) | roRenderToWindow);
    AddQuad(0, 0, 255, 0, 0);

    FBuffer->Render();
    FBuffer->Render();
    EXPECT_GE(TWorkInAnotherContext::Runs, 2);
    EXPECT_EQ(TWorkInAnotherContext::RunsInsideAFrame, TWorkInAnotherContext::Runs);
    // The frame ended in its own context, whatever the work made current.
    EXPECT_EQ(QOpenGLContext::currentContext(), FBuffer->RenderingContext());
    // Counted from the reset the work made inside it, the frame is the first
    // one: the rate is the inverse of its own duration, not a count over the
    // time since the clock's origin.
    EXPECT_EQ(FBuffer->FrameCount(), 1);
    EXPECT_NEAR(FViewer.GetFrameRate() * FBuffer->LastFrameTime(), 1.0f, 0.05f);
}

TEST_F(GLSceneBufferTest, OpenGLErrorOfAFrameIsRaisedWithItsText)
{
    auto* faulty = new TDirectObject(&FScene);
    FScene.InsertLayoutChild(faulty);
    faulty->Draw = [](TRenderContextInfo&) { glEnable(0x7FFF); };

    try
    {
        FBuffer->Render();
        ADD_FAILURE() << "no error raised";
    }
    catch (const EOpenGLError& error)
    {
        EXPECT_EQ(error.Message(), QStringLiteral("invalid enumerant"));
    }
    EXPECT_FALSE(FBuffer->Rendering());

    faulty->Draw = nullptr;
    EXPECT_NO_THROW(FBuffer->Render());
}

namespace
{
// A square compiled into a display list whose compilation fails as often as
// asked to, as a mesh whose texture cannot be read would.
class TFailingQuad : public TTestQuad
{
public:
    explicit TFailingQuad(QObject* owner) : TTestQuad(owner, 0, 0, 255) {}

    int FailuresLeft = 0;

    void EmitGeometry(TRenderContextInfo& info) override
    {
        if (FailuresLeft > 0)
        {
            --FailuresLeft;
            throw EInvalidOperation(QStringLiteral("unreadable mesh"));
        }
        TTestQuad::EmitGeometry(info);
    }
};

GLint Integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}
} // namespace

TEST_F(GLSceneBufferTest, ObjectFailingInAListCompileOfASortedPassLeavesTheNextFrameWhole)
{
    TGLMaterialLibrary library(nullptr);
    TGLLibMaterial* const glass = library.AddMaterial(QStringLiteral("glass"));
    glass->Material()->SetBlendingMode(bmTransparency);
    AddQuad(-0.4f, 0, 255, 0, 0);
    auto* failing = new TFailingQuad(&FScene);
    FScene.InsertLayoutChild(failing);
    failing->Position()->SetPoint(0.4f, 0, 0);
    failing->Material()->SetMaterialLibrary(&library);
    failing->Material()->SetLibMaterialName(QStringLiteral("glass"));
    ASSERT_TRUE(failing->IsBlended());
    failing->FailuresLeft = 1;

    QStringList errors;
    for (int frame = 0; frame < 3; ++frame)
    {
        try
        {
            FBuffer->Render();
        }
        catch (const Exception& error)
        {
            errors << error.Message();
        }
        if (frame > 0)
            continue;
        // Straight after the failure: nothing compiling, nothing pushed, the
        // material taken back and the cache telling the truth.
        FBuffer->RenderingContext()->makeCurrent(FViewer.RenderWindow());
        EXPECT_EQ(Integer(GL_LIST_INDEX), 0);
        EXPECT_EQ(Integer(GL_MODELVIEW_STACK_DEPTH), 1);
        EXPECT_EQ(Integer(GL_PROJECTION_STACK_DEPTH), 1);
        EXPECT_EQ(Integer(GL_ATTRIB_STACK_DEPTH), 0);
        EXPECT_FALSE(glass->IsApplied());
        for (int state = 0; state < StateCount; ++state)
            EXPECT_EQ(FBuffer->States().IsEnabled(TGLState(state)),
                      glIsEnabled(GLCapability(TGLState(state))) == GL_TRUE)
                << "state " << state;
    }

    EXPECT_EQ(errors, QStringList{QStringLiteral("unreadable mesh")});
    EXPECT_EQ(FBuffer->FrameCount(), 2);
    EXPECT_EQ(PixelAt(ExpectedColumn(-0.4f), 100), QColor(255, 0, 0));
    EXPECT_EQ(PixelAt(ExpectedColumn(0.4f), 100), QColor(0, 0, 255));
    EXPECT_EQ(PixelAt(100, 100), QColor(0, 0, 0));
}

namespace
{
std::map<GLenum, int> EnableCalls;
int BindTextureCalls = 0;

const TGLStateDriver CountingDriver{
    [](GLenum capability)
    {
        ++EnableCalls[capability];
        glEnable(capability);
    },
    glDisable,
    glMaterialfv,
    glMateriali,
    glPolygonMode,
    [](GLenum target, GLuint texture)
    {
        ++BindTextureCalls;
        glBindTexture(target, texture);
    },
    glActiveTexture,
    glMatrixMode,
    glLoadMatrixf,
    glLoadIdentity,
    glFrontFace,
};
} // namespace

TEST_F(GLSceneBufferTest, StateCacheSendsOnlyChangesDuringAFrame)
{
    EnableCalls.clear();
    BindTextureCalls = 0;
    FBuffer->SetStateDriver(CountingDriver);
    auto* object = new TDirectObject(&FScene);
    FScene.InsertLayoutChild(object);
    object->Draw = [](TRenderContextInfo& info)
    {
        for (int i = 0; i < 3; ++i)
        {
            info.GLStates->Enable(stBlend);
            info.GLStates->BindTexture(0, GL_TEXTURE_2D, 0);
        }
    };

    FBuffer->Render();
    FBuffer->Render();

    // Once per frame: the frame's close turns blending off and each pass
    // forgets the bindings.
    EXPECT_EQ(EnableCalls[GL_BLEND], 2);
    EXPECT_EQ(BindTextureCalls, 2);
    // The object's opaque material turns alpha testing off while it draws and
    // each frame's close turns it on again: once per frame, not per call.
    EXPECT_EQ(EnableCalls[GL_ALPHA_TEST], 2);
    // The frame's set-up sends its states whatever the cache holds.
    EXPECT_EQ(EnableCalls[GL_NORMALIZE], 2);
}

TEST(GLSceneViewerTest, FieldOfViewIsTheCamerasOverTheSmallerSide)
{
    TGLScene scene(nullptr);
    auto* camera = new TGLCamera(&scene);
    scene.InsertLayoutChild(camera);
    TGLSceneViewer viewer(nullptr);
    viewer.SetBounds(0, 0, 1490, 904);
    EXPECT_EQ(viewer.FieldOfView(), 0.0f);
    viewer.SetFieldOfView(90);

    viewer.SetCamera(camera);
    EXPECT_NEAR(viewer.FieldOfView(), 167.375f, 0.001f);
    viewer.SetFieldOfView(90);
    EXPECT_NEAR(camera->FocalLength(), 452.0f, 0.01f);
}

namespace
{
class TKeyRecordingForm : public QWidget
{
public:
    QString Typed;

protected:
    void keyPressEvent(QKeyEvent* event) override { Typed += event->text(); }
};

bool ProcessEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}
} // namespace

TEST(GLSceneViewerTest, ShownViewerRedrawsWhenTheSceneChangesAndPassesKeysToTheForm)
{
    TGLScene scene(nullptr);
    auto* camera = new TGLCamera(&scene);
    scene.InsertLayoutChild(camera);
    TKeyRecordingForm form;
    form.resize(120, 120);
    auto* viewer = new TGLSceneViewer(&form);
    viewer->SetCamera(camera);
    form.show();
    ASSERT_TRUE(ProcessEventsUntil([&] { return viewer->Buffer()->FrameCount() > 0; }));

    const int drawn = viewer->Buffer()->FrameCount();
    scene.NotifyChanged();
    EXPECT_TRUE(ProcessEventsUntil([&] { return viewer->Buffer()->FrameCount() > drawn; }));

    QKeyEvent key(QEvent::KeyPress, Qt::Key_P, Qt::NoModifier, QStringLiteral("p"));
    QCoreApplication::sendEvent(viewer->RenderWindow(), &key);
    EXPECT_EQ(form.Typed, QStringLiteral("p"));
}

namespace
{
// Draws nothing and fails while told to; counts its attempts.
class TFailingObject : public TGLSceneObject
{
public:
    explicit TFailingObject(QObject* owner) : TGLSceneObject(owner) { SetObjectStyle(osDirectDraw); }

    bool Failing = true;
    int Attempts = 0;

    void EmitGeometry(TRenderContextInfo&) override
    {
        ++Attempts;
        if (Failing)
            throw EInvalidGraphic(QStringLiteral("The picture \"broken.jpg\" cannot be decoded"));
    }
};
} // namespace

TEST(GLSceneViewerTest, FailingFramesAreReportedOnceUntilAFrameSucceeds)
{
    static QStringList reports;
    reports.clear();
    const auto previousHandler = ControlFailureHandler;
    ControlFailureHandler = [](std::exception_ptr error)
    {
        try
        {
            std::rethrow_exception(error);
        }
        catch (const Exception& failure)
        {
            reports << failure.Message();
        }
    };
    TGLScene scene(nullptr);
    auto* camera = new TGLCamera(&scene);
    scene.InsertLayoutChild(camera);
    auto* failing = new TFailingObject(&scene);
    scene.InsertLayoutChild(failing);
    QWidget form;
    form.resize(120, 120);
    auto* viewer = new TGLSceneViewer(&form);
    viewer->SetCamera(camera);
    form.show();

    const auto redrawTimes = [&](int times)
    {
        for (int i = 0; i < times; ++i)
        {
            const int attempts = failing->Attempts;
            scene.NotifyChanged();
            ProcessEventsUntil([&] { return failing->Attempts > attempts; });
        }
    };
    ASSERT_TRUE(ProcessEventsUntil([&] { return failing->Attempts > 0; }));
    redrawTimes(4);
    EXPECT_GE(failing->Attempts, 5);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.value(0).toStdString(), "The picture \"broken.jpg\" cannot be decoded");

    failing->Failing = false;
    const int drawn = viewer->Buffer()->FrameCount();
    scene.NotifyChanged();
    ASSERT_TRUE(ProcessEventsUntil([&] { return viewer->Buffer()->FrameCount() > drawn; }));
    failing->Failing = true;
    redrawTimes(3);
    EXPECT_EQ(reports.size(), 2) << "a new failure after a good frame is reported again";
    ControlFailureHandler = previousHandler;
}

namespace
{
class TViewerHost : public QWidget, public TLayoutComponent
{
    Q_OBJECT

public:
    TViewerHost() { setObjectName("ViewerHost"); }
};
} // namespace

TEST(GLSceneViewerTest, LayoutBuildsTheViewerWithItsCameraAndContext)
{
    RegisterSceneClasses();
    RegisterLightAndDummyClasses();
    RegisterViewerClasses();
    TViewerHost host;
    TLayoutReader(&host, ":/layouts/ViewerHost.json").Read();

    auto* viewer = host.findChild<TGLSceneViewer*>("GLSceneViewer1");
    auto* scene = host.findChild<TGLScene*>("GLScene1");
    ASSERT_NE(viewer, nullptr);
    ASSERT_NE(scene, nullptr);
    auto* camera = qobject_cast<TGLCamera*>(scene->FindSceneObject("GLCamera1"));
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->Parent(), scene->Cameras());
    EXPECT_EQ(viewer->Camera(), camera);
    EXPECT_EQ(camera->TargetObject(), scene->FindSceneObject("GLDummyCube1"));
    EXPECT_EQ(camera->NearPlaneBias(), 0.5f);
    // The stored focal length governs, not the stored field of view.
    EXPECT_EQ(camera->FocalLength(), 50.0f);
    EXPECT_EQ(viewer->Buffer()->BackgroundColor(), clWhite);
    EXPECT_TRUE(viewer->Buffer()->HasContext());

    // Made before the form was shown, the window still ends up inside it.
    host.show();
    EXPECT_TRUE(ProcessEventsUntil([&] { return viewer->Buffer()->FrameCount() > 0; }));
    EXPECT_NE(viewer->RenderWindow()->parent(), nullptr);
}

#include "GLSceneBuffer_test.moc"
