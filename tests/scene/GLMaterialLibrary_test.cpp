#include "base/ClassRegistry.h"
#include "base/Exceptions.h"
#include "base/LayoutReader.h"
#include "scene/GLMaterialLibrary.h"
#include "scene/SceneObjects.h"
#include "scene/GLStateCache.h"

#include "GLTestContext.h"
#include "JpegFixtures.h"

#include <QFile>
#include <QOpenGLContext>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <GL/gl.h>

namespace
{
class GLMaterialLibraryTest : public testing::Test
{
protected:
    void SetUp() override
    {
        FInfo.Context = &TGLTestContext::Use(64, 64).RenderContext();
        FInfo.GLStates = &FStates;
        // The tests share one context: whatever an earlier test left
        // enabled must be set to what this fresh cache believes.
        FStates.ForceState(stLighting, true);
        FStates.ForceState(stTexture2D, false);
        FStates.ForceState(stBlend, false);
        FStates.ForceState(stAlphaTest, false);
    }

    TGLStateCache FStates;
    TRenderContextInfo FInfo;
    TGLMaterialLibrary FLibrary{nullptr};
};

class TRepaintCounter : public TGLSceneListener
{
public:
    void SceneChanged(QObject*) override { ++Count; }
    int Count = 0;
};

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

TEST(LibMaterialNameHashTest, StartsFromTheLengthAndDoublesPerCharacter)
{
    // "ab": 2, then 97 + 2 x 2 = 101, then 98 + 2 x 101 = 300.
    EXPECT_EQ(LibMaterialNameHash(QStringLiteral("ab")), 300u);
    EXPECT_EQ(LibMaterialNameHash(QString()), 0u);
    // Only the low byte of a character counts: U+0161 counts as 0x61.
    EXPECT_EQ(LibMaterialNameHash(QString(QChar(0x0161))), LibMaterialNameHash(QStringLiteral("a")));
    // 40 characters overflow 32 bits and wrap round instead of failing.
    const QString longName(40, QLatin1Char('z'));
    std::uint32_t expected = 40;
    for (int i = 0; i < 40; ++i)
        expected = 122u + 2u * expected;
    EXPECT_EQ(LibMaterialNameHash(longName), expected);
}

TEST_F(GLMaterialLibraryTest, FindsMaterialsByTheirExactName)
{
    TGLLibMaterial* const sol = FLibrary.AddMaterial(QStringLiteral("sol"));
    TGLLibMaterial* const sky = FLibrary.AddMaterial(QStringLiteral("ciel"));
    EXPECT_EQ(FLibrary.LibMaterialByName(QStringLiteral("sol")), sol);
    EXPECT_EQ(FLibrary.LibMaterialByName(QStringLiteral("ciel")), sky);
    EXPECT_EQ(FLibrary.LibMaterialByName(QStringLiteral("SOL")), nullptr);
    EXPECT_EQ(FLibrary.LibMaterialByName(QStringLiteral("Ciel")), nullptr);
    EXPECT_EQ(FLibrary.LibMaterialByName(QString()), nullptr);
    EXPECT_EQ(FLibrary.LibMaterialByName(QStringLiteral("ville1")), nullptr);
}

TEST_F(GLMaterialLibraryTest, MakesNamesUniqueWithANumberSuffix)
{
    TGLLibMaterials* const materials = FLibrary.Materials();
    EXPECT_EQ(materials->Add()->Name(), QStringLiteral("LibMaterial"));
    EXPECT_EQ(materials->Add()->Name(), QStringLiteral("LibMaterial1"));
    EXPECT_EQ(materials->Add()->Name(), QStringLiteral("LibMaterial2"));
    TGLLibMaterial* const first = FLibrary.AddMaterial(QStringLiteral("1"));
    TGLLibMaterial* const second = FLibrary.AddMaterial(QStringLiteral("1"));
    EXPECT_EQ(first->Name(), QStringLiteral("1"));
    EXPECT_EQ(second->Name(), QStringLiteral("11"));
    EXPECT_EQ(FLibrary.AddMaterial(QStringLiteral("1"))->Name(), QStringLiteral("12"));
    // Renaming to its own name changes nothing; a freed name can be taken again.
    second->SetName(QStringLiteral("11"));
    EXPECT_EQ(second->Name(), QStringLiteral("11"));
    first->SetName(QStringLiteral("x"));
    second->SetName(QStringLiteral("1"));
    EXPECT_EQ(second->Name(), QStringLiteral("1"));
    EXPECT_EQ(materials->Count(), 6);
}

TEST_F(GLMaterialLibraryTest, RefusesCyclicReferences)
{
    TGLLibMaterial* const a = FLibrary.AddMaterial(QStringLiteral("a"));
    TGLLibMaterial* const b = FLibrary.AddMaterial(QStringLiteral("b"));
    a->Material()->SetMaterialLibrary(&FLibrary);
    a->Material()->SetLibMaterialName(QStringLiteral("b"));
    EXPECT_EQ(a->Material()->LibMaterial(), b);
    b->Material()->SetMaterialLibrary(&FLibrary);
    try
    {
        b->Material()->SetLibMaterialName(QStringLiteral("a"));
        FAIL() << "a cycle was accepted";
    }
    catch (const EAssertionFailed& error)
    {
        EXPECT_EQ(error.Message(), QStringLiteral("Error: Cyclic material reference detected!"));
    }
    EXPECT_EQ(b->Material()->LibMaterial(), nullptr);
    EXPECT_TRUE(b->Material()->LibMaterialName().isEmpty());
    // Referring to itself is a cycle too.
    EXPECT_THROW(b->Material()->SetLibMaterialName(QStringLiteral("b")), EAssertionFailed);
}

TEST_F(GLMaterialLibraryTest, RefusesChainsSixteenDeep)
{
    std::vector<TGLLibMaterial*> chain;
    for (int i = 0; i < 16; ++i)
        chain.push_back(FLibrary.AddMaterial(QStringLiteral("m%1").arg(i)));
    // m0 -> m1 -> ... -> m14: following from m0 visits 15 materials.
    for (int i = 0; i < 15; ++i)
    {
        chain[i]->Material()->SetMaterialLibrary(&FLibrary);
        chain[i]->Material()->SetLibMaterialName(QStringLiteral("m%1").arg(i + 1));
    }
    TGLMaterial top(nullptr);
    top.SetMaterialLibrary(&FLibrary);
    top.SetLibMaterialName(QStringLiteral("m1"));
    EXPECT_THROW(top.SetLibMaterialName(QStringLiteral("m0")), EAssertionFailed);
}

TEST_F(GLMaterialLibraryTest, AppliesTheLibraryMaterialInsteadOfItsOwn)
{
    TGLLibMaterial* const sol = FLibrary.AddMaterial(QStringLiteral("sol"));
    sol->Material()->FrontProperties()->Diffuse()->SetColor({0.52549f, 0.517647f, 0.517647f, 1});
    sol->Material()->SetBlendingMode(bmModulate);
    TGLMaterial material(nullptr);
    material.FrontProperties()->Diffuse()->SetColor({1, 0, 0, 1});
    material.SetLibMaterialName(QStringLiteral("sol"));
    // The name alone finds nothing until the library is given.
    EXPECT_EQ(material.LibMaterial(), nullptr);
    EXPECT_FALSE(material.IsBlended());
    material.SetMaterialLibrary(&FLibrary);
    EXPECT_EQ(material.LibMaterial(), sol);
    EXPECT_TRUE(material.IsBlended());
    ASSERT_EQ(sol->Users().size(), 1u);
    material.Apply(FInfo);
    GLfloat color[4] = {};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, color);
    EXPECT_FLOAT_EQ(color[0], 0.52549f);
    EXPECT_TRUE(sol->IsApplied());
    EXPECT_FALSE(material.UnApply(FInfo));
    EXPECT_FALSE(sol->IsApplied());
    // A name the library does not hold leaves the material's own settings.
    material.SetLibMaterialName(QStringLiteral("absent"));
    EXPECT_EQ(material.LibMaterial(), nullptr);
    EXPECT_TRUE(sol->Users().empty());
    EXPECT_FALSE(material.IsBlended());
}

using GLMaterialLibraryDeathTest = GLMaterialLibraryTest;

TEST_F(GLMaterialLibraryDeathTest, LibraryDestroyedWhileAMaterialIsAppliedStopsTheProgram)
{
    // The child process starts afresh: forking would copy Qt's threads' state.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto* const library = new TGLMaterialLibrary(nullptr);
    TGLLibMaterial* const applied = library->AddMaterial(QStringLiteral("applied"));
    applied->Apply(FInfo);
    EXPECT_DEATH(delete library, "Assertion failed: Unbalanced material application");
    applied->UnApply(FInfo);
    delete library;
}

TEST_F(GLMaterialLibraryTest, LoadsTheTextureMatrixOnlyForAnEnabledTexture)
{
    TGLLibMaterial* const tiles = FLibrary.AddMaterial(QStringLiteral("tiles"));
    tiles->TextureScale()->SetAsVector({2, 3, 1, 0});
    tiles->TextureOffset()->SetAsVector({0.5f, 0.25f, 0, 0});
    tiles->Material()->Texture()->Image()->LoadJpeg(JpegFixtures::Flat(4, 4), QStringLiteral("t.jpg"));
    GLfloat matrix[16] = {};
    // Disabled texture: no matrix.
    tiles->Apply(FInfo);
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    EXPECT_FLOAT_EQ(matrix[0], 1);
    tiles->UnApply(FInfo);
    tiles->Material()->Texture()->SetDisabled(false);
    tiles->Apply(FInfo);
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    EXPECT_FLOAT_EQ(matrix[0], 2);
    EXPECT_FLOAT_EQ(matrix[5], 3);
    EXPECT_FLOAT_EQ(matrix[12], 0.5f);
    EXPECT_FLOAT_EQ(matrix[13], 0.25f);
    tiles->UnApply(FInfo);
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    EXPECT_FLOAT_EQ(matrix[0], 1);
    EXPECT_FLOAT_EQ(matrix[12], 0);
}

TEST_F(GLMaterialLibraryTest, FailedTextureUploadAppliesNothingAndIsTriedAgain)
{
    TGLLibMaterial* const tiles = FLibrary.AddMaterial(QStringLiteral("tiles"));
    tiles->TextureScale()->SetAsVector({2, 2, 1, 0});
    TGLMaterial* const material = tiles->Material();
    material->SetMaterialOptions(moNoLighting);
    material->SetBlendingMode(bmAlphaTest50);
    TGLTexture* const texture = material->Texture();
    texture->Image()->LoadJpeg(JpegFixtures::Flat(4, 4), QStringLiteral("t.jpg"));
    texture->SetMinFilter(miNearest);
    texture->SetDisabled(false);

    // An error left pending by earlier drawing stops the upload. (Qt clears
    // pending errors when it first reads a context's extensions.)
    QOpenGLContext::currentContext()->hasExtension(QByteArrayLiteral("GL_ARB_multitexture"));
    glEnable(0x7FFF);
    EXPECT_THROW(tiles->Apply(FInfo), EOpenGLError);
    EXPECT_FALSE(tiles->IsApplied());
    EXPECT_EQ(FInfo.LightingDisabledCounter, 0);
    EXPECT_TRUE(FStates.IsEnabled(stLighting));
    GLfloat matrix[16] = {};
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    EXPECT_FLOAT_EQ(matrix[0], 1);
    GLint alphaFunction = 0;
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFunction);
    EXPECT_EQ(alphaFunction, GL_GREATER);

    // The next use uploads the picture.
    tiles->Apply(FInfo);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 4);
    tiles->UnApply(FInfo);
    EXPECT_FALSE(tiles->IsApplied());
}

TEST_F(GLMaterialLibraryTest, TellsEveryUserOfAChange)
{
    TGLLibMaterial* const base = FLibrary.AddMaterial(QStringLiteral("base"));
    TGLLibMaterial* const alias = FLibrary.AddMaterial(QStringLiteral("alias"));
    alias->Material()->SetMaterialLibrary(&FLibrary);
    alias->Material()->SetLibMaterialName(QStringLiteral("base"));
    TGLScene scene(nullptr);
    TRepaintCounter repaints;
    scene.AddBuffer(&repaints);
    auto* const direct = new TGLSceneObject(nullptr);
    auto* const nested = new TGLSceneObject(nullptr);
    scene.Objects()->AddChild(direct);
    scene.Objects()->AddChild(nested);
    direct->Material()->SetMaterialLibrary(&FLibrary);
    direct->Material()->SetLibMaterialName(QStringLiteral("base"));
    nested->Material()->SetMaterialLibrary(&FLibrary);
    nested->Material()->SetLibMaterialName(QStringLiteral("alias"));
    repaints.Count = 0;
    base->Material()->FrontProperties()->Ambient()->SetBlue(0.5f);
    // One object through "base", one through "alias" and then "base".
    EXPECT_EQ(repaints.Count, 2);
    EXPECT_TRUE(nested->StructureChanged());
    scene.RemoveBuffer(&repaints);
}

TEST_F(GLMaterialLibraryTest, ForgetsAMaterialThatIsDeleted)
{
    FLibrary.AddMaterial(QStringLiteral("Muret1"));
    TGLMaterial user(nullptr);
    user.SetMaterialLibrary(&FLibrary);
    user.SetLibMaterialName(QStringLiteral("Muret1"));
    ASSERT_NE(user.LibMaterial(), nullptr);
    FLibrary.Materials()->Delete(0);
    EXPECT_EQ(user.LibMaterial(), nullptr);
    EXPECT_EQ(user.MaterialLibrary(), nullptr);
    EXPECT_EQ(FLibrary.Materials()->Count(), 0);
    // The user can be applied on its own afterwards.
    user.Apply(FInfo);
    EXPECT_FALSE(user.UnApply(FInfo));
}

TEST_F(GLMaterialLibraryTest, ForgetsALibraryThatIsDestroyed)
{
    TGLMaterial user(nullptr);
    {
        TGLMaterialLibrary library(nullptr);
        library.AddMaterial(QStringLiteral("sol"));
        user.SetMaterialLibrary(&library);
        // The floor cube names the library but no material.
        TGLMaterial floor(nullptr);
        floor.SetMaterialLibrary(&library);
        user.SetLibMaterialName(QStringLiteral("sol"));
    }
    EXPECT_EQ(user.MaterialLibrary(), nullptr);
    EXPECT_EQ(user.LibMaterial(), nullptr);
}

TEST_F(GLMaterialLibraryTest, ReadsItsMaterialsFromALayout)
{
    RegisterSceneClasses();
    RegisterMaterialClasses();
    TClassRegistry::RegisterClass<TGLSceneObject>();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    WriteFile(folder.filePath(QStringLiteral("sky.jpg")), JpegFixtures::Flat(32, 16));
    WriteFile(folder.filePath(QStringLiteral("Host.json")), R"({
      "class": "TComponent",
      "components": [
        {"name": "GLScene1", "class": "TGLScene", "children": [
          {"name": "GLCube1", "class": "TGLSceneObject", "properties": [
            {"Material": [{"FrontProperties.Ambient": [1, 1, 1, 0]},
                          {"Texture": [{"Image": "sky.jpg"}, {"Disabled": false}]},
                          {"BlendingMode": "bmModulate"}, {"MaterialOptions": ["moIgnoreFog"]},
                          {"MaterialLibrary": "GLMaterialLibrary1"}]}]},
          {"name": "GLCube2", "class": "TGLSceneObject", "properties": [
            {"Material.LibMaterialName": "sol"}, {"Material.MaterialLibrary": "GLMaterialLibrary1"}]}
        ]},
        {"name": "GLMaterialLibrary1", "class": "TGLMaterialLibrary", "properties": [
          {"Materials": [
            [{"Name": "ciel"}, {"Tag": 0}, {"Material.Texture.Image": "sky.jpg"}, {"Material.Texture.Disabled": false}],
            [{"Name": "sol"},
             {"Material": [{"BackProperties.Ambient": [1, 0.960784, 1, 1]},
                           {"FrontProperties.Diffuse": [0.52549, 0.517647, 0.517647, 1]},
                           {"Texture": [{"Image": "sky.jpg"}, {"MagFilter": "maNearest"},
                                        {"MinFilter": "miNearestMipmapLinear"}, {"NormalMapScale": 1}]}]}],
            [{"Name": "ciel"}, {"TextureScale": [2, 2, 1]}]
          ]}
        ]}
      ]
    })");
    TComponent root(nullptr);
    TLayoutReader(&root, folder.filePath(QStringLiteral("Host.json"))).Read();
    auto* const library = root.findChild<TGLMaterialLibrary*>(QStringLiteral("GLMaterialLibrary1"));
    ASSERT_NE(library, nullptr);
    ASSERT_EQ(library->Materials()->Count(), 3);
    TGLLibMaterial* const sky = library->LibMaterialByName(QStringLiteral("ciel"));
    TGLLibMaterial* const sol = library->LibMaterialByName(QStringLiteral("sol"));
    ASSERT_NE(sky, nullptr);
    ASSERT_NE(sol, nullptr);
    EXPECT_EQ(sky->Material()->Texture()->Image()->Width(), 32);
    EXPECT_FALSE(sky->Material()->Texture()->Disabled());
    EXPECT_TRUE(sol->Material()->Texture()->Disabled());
    EXPECT_EQ(sol->Material()->Texture()->MinFilter(), miNearestMipmapLinear);
    EXPECT_FLOAT_EQ(sol->Material()->BackProperties()->Ambient()->Green(), 0.960784f);
    // Names are kept as stored, even a repeated one; the lookup finds the first.
    EXPECT_EQ(library->Materials()->Items(2)->Name(), QStringLiteral("ciel"));
    EXPECT_EQ(sky, library->Materials()->Items(0));
    EXPECT_FLOAT_EQ(library->Materials()->Items(2)->TextureScale()->X(), 2);

    auto* const floor = root.findChild<TGLSceneObject*>(QStringLiteral("GLCube1"));
    auto* const wall = root.findChild<TGLSceneObject*>(QStringLiteral("GLCube2"));
    ASSERT_NE(floor, nullptr);
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(floor->Material()->MaterialLibrary(), library);
    EXPECT_EQ(floor->Material()->LibMaterial(), nullptr);
    EXPECT_FLOAT_EQ(floor->Material()->FrontProperties()->Ambient()->Alpha(), 0);
    EXPECT_TRUE(floor->IsBlended());
    EXPECT_EQ(floor->Material()->MaterialOptions(), TMaterialOptions(moIgnoreFog));
    EXPECT_EQ(wall->Material()->LibMaterial(), sol);
}

TEST_F(GLMaterialLibraryTest, NamesTheLayoutAndPictureOfADamagedTexture)
{
    RegisterMaterialClasses();
    QTemporaryDir folder;
    const QByteArray jpeg = JpegFixtures::Flat(32, 32);
    WriteFile(folder.filePath(QStringLiteral("broken.jpg")), jpeg.left(jpeg.size() - 40));
    WriteFile(folder.filePath(QStringLiteral("Broken.json")), R"({
      "class": "TComponent",
      "components": [
        {"name": "GLMaterialLibrary1", "class": "TGLMaterialLibrary", "properties": [
          {"Materials": [[{"Name": "1"}, {"Material.Texture.Image": "broken.jpg"}]]}]}
      ]
    })");
    TComponent root(nullptr);
    try
    {
        TLayoutReader(&root, folder.filePath(QStringLiteral("Broken.json"))).Read();
        FAIL() << "a damaged picture was accepted";
    }
    catch (const ELayoutError& error)
    {
        const QString text = error.Message();
        EXPECT_TRUE(text.contains(QStringLiteral("Broken"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("GLMaterialLibrary1"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\"broken.jpg\""))) << text.toStdString();
    }
}

TEST_F(GLMaterialLibraryTest, AddsTextureMaterialsFromFilesAndKeepsThoseWhoseFileIsMissing)
{
    QTemporaryDir folder;
    JpegFixtures::RedOverBlue(8, 4).save(folder.filePath(QStringLiteral("skin.bmp")));
    // Models name their textures in another case than the files have.
    TGLLibMaterial* const skin =
        FLibrary.AddTextureMaterial(QStringLiteral("skin"), folder.filePath(QStringLiteral("SKIN.BMP")));
    EXPECT_EQ(skin->Name(), QStringLiteral("skin"));
    TGLTexture* const texture = skin->Material()->Texture();
    EXPECT_FALSE(texture->Disabled());
    EXPECT_EQ(texture->TextureMode(), tmModulate);
    EXPECT_EQ(texture->Image()->Width(), 8);
    EXPECT_EQ(texture->Image()->Height(), 4);

    // A material already there is found unchanged: its file is not read.
    EXPECT_EQ(FLibrary.FindOrAddTextureMaterial(QStringLiteral("skin"), QStringLiteral("absent.bmp")), skin);
    EXPECT_EQ(texture->Image()->Width(), 8);

    // A new one whose file is missing stays in the library with its texture
    // off, and the caller hears of the file.
    const QString missing = folder.filePath(QStringLiteral("LIGHT.JPG"));
    try
    {
        FLibrary.FindOrAddTextureMaterial(QStringLiteral("LIGHT.JPG"), missing);
        FAIL() << "a missing file was accepted";
    }
    catch (const ETextureLoadError& error)
    {
        EXPECT_EQ(error.Message(), QStringLiteral("The texture file \"%1\" cannot be found").arg(missing));
    }
    TGLLibMaterial* const light = FLibrary.LibMaterialByName(QStringLiteral("LIGHT.JPG"));
    ASSERT_NE(light, nullptr);
    EXPECT_TRUE(light->Material()->Texture()->Disabled());
    EXPECT_TRUE(light->Material()->Texture()->Image()->Empty());

    // Lightmaps are referred to by position, which moves up after a deletion.
    EXPECT_EQ(skin->Index(), 0);
    EXPECT_EQ(light->Index(), 1);
    FLibrary.Materials()->Delete(0);
    EXPECT_EQ(light->Index(), 0);
}

TEST_F(GLMaterialLibraryTest, DrawsATextureFromAFileModulatingTheColour)
{
    QTemporaryDir folder;
    JpegFixtures::RedOverBlue(16, 16).save(folder.filePath(QStringLiteral("wall.png")));
    TGLLibMaterial* const wall =
        FLibrary.AddTextureMaterial(QStringLiteral("wall"), folder.filePath(QStringLiteral("WALL.PNG")));
    wall->Material()->SetMaterialOptions(moNoLighting);
    wall->Material()->FrontProperties()->Diffuse()->SetColor({0.5f, 0.5f, 0.5f, 1});
    TGLTestContext& context = TGLTestContext::Use(64, 64);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    wall->Apply(FInfo);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
    EXPECT_FALSE(wall->UnApply(FInfo));
    glFinish();
    const QImage pixels = context.Pixels();
    // Half of the picture's red above, half of its blue below.
    const QColor top = pixels.pixelColor(32, 12);
    const QColor bottom = pixels.pixelColor(32, 52);
    EXPECT_NEAR(top.red(), 128, 3);
    EXPECT_NEAR(top.blue(), 0, 3);
    EXPECT_NEAR(bottom.red(), 0, 3);
    EXPECT_NEAR(bottom.blue(), 128, 3);
}

TEST_F(GLMaterialLibraryTest, TellsObserversOfEveryMaterialThatGoesAndOfItsOwnEnd)
{
    // What a mesh caching library materials by pointer needs to hear.
    struct TSeen
    {
        QStringList Deleted;
        bool LibraryDestroyed = false;
    } seen;
    QObject observer;
    auto* const library = new TGLMaterialLibrary(nullptr);
    QObject::connect(library, &TGLMaterialLibrary::LibMaterialDeleting, &observer,
                     [&seen](TGLLibMaterial* item)
                     // Told while the material is still whole and in its place.
                     { seen.Deleted.append(item->Name() + QLatin1Char('@') + QString::number(item->Index())); });
    QObject::connect(library, &QObject::destroyed, &observer, [&seen] { seen.LibraryDestroyed = true; });
    library->AddMaterial(QStringLiteral("a"));
    library->AddMaterial(QStringLiteral("b"));
    library->AddMaterial(QStringLiteral("c"));
    library->Materials()->Delete(1);
    EXPECT_EQ(seen.Deleted, QStringList{QStringLiteral("b@1")});
    delete library;
    EXPECT_EQ(seen.Deleted, (QStringList{QStringLiteral("b@1"), QStringLiteral("c@1"), QStringLiteral("a@0")}));
    EXPECT_TRUE(seen.LibraryDestroyed);
}
