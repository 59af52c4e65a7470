#include "scene/GLPersistentImage.h"
#include "scene/GLStateCache.h"
#include "scene/GLTexture.h"
#include "scene/RenderContextInfo.h"

#include "GLTestContext.h"
#include "JpegFixtures.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <random>

namespace
{
class GLTextureTest : public testing::Test
{
protected:
    void SetUp() override
    {
        FInfo.Context = &TGLTestContext::Use(64, 64).RenderContext();
        while (glGetError() != GL_NO_ERROR)
        {
        }
        FInfo.GLStates = &FStates;
    }

    // A texture of a picture, switched on.
    std::unique_ptr<TGLTexture> MakeTexture(const QByteArray& jpeg)
    {
        auto texture = std::make_unique<TGLTexture>(nullptr);
        texture->Image()->LoadJpeg(jpeg, QStringLiteral("test.jpg"));
        texture->SetDisabled(false);
        return texture;
    }

    GLint LevelParameter(int level, GLenum name)
    {
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
        return value;
    }

    GLint TextureParameter(GLenum name)
    {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    }

    // The first texel of the texture bound now.
    std::array<std::uint8_t, 4> FirstTexel()
    {
        const int width = LevelParameter(0, GL_TEXTURE_WIDTH);
        const int height = LevelParameter(0, GL_TEXTURE_HEIGHT);
        std::vector<std::uint8_t> texels(static_cast<size_t>(width) * height * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return {texels[0], texels[1], texels[2], texels[3]};
    }

    TGLStateCache FStates;
    TRenderContextInfo FInfo;
};

void ExpectColor(const std::uint8_t* pixel, int r, int g, int b, int a, int tolerance = 3)
{
    EXPECT_NEAR(pixel[0], r, tolerance);
    EXPECT_NEAR(pixel[1], g, tolerance);
    EXPECT_NEAR(pixel[2], b, tolerance);
    EXPECT_EQ(pixel[3], a);
}
} // namespace

TEST(PictureToRGBATest, StoresRowsBottomUpWithOpaqueAlpha)
{
    const TRGBAImage rgba = PictureToRGBA(JpegFixtures::RedOverBlue(8, 4));
    ASSERT_EQ(rgba.Width, 8);
    ASSERT_EQ(rgba.Height, 4);
    ASSERT_EQ(rgba.Data.size(), 8u * 4u * 4u);
    // The first row is the picture's bottom row, which is blue.
    ExpectColor(&rgba.Data[0], 0, 0, 255, 255, 0);
    ExpectColor(&rgba.Data[(3 * 8 + 7) * 4], 255, 0, 0, 255, 0);
}

TEST(PictureToRGBATest, StretchesWidthsThatAreNotMultiplesOfFour)
{
    QImage picture(301, 2, QImage::Format_RGB888);
    picture.fill(Qt::green);
    picture.setPixelColor(300, 0, Qt::white);
    const TRGBAImage stretched = PictureToRGBA(picture);
    EXPECT_EQ(stretched.Width, 304);
    EXPECT_EQ(stretched.Height, 2);
    // The last column of the picture ends up in the last column of the bitmap.
    const std::uint8_t* topRight = &stretched.Data[(1 * 304 + 303) * 4];
    ExpectColor(topRight, 255, 255, 255, 255, 0);
    EXPECT_EQ(PictureToRGBA(QImage(300, 2, QImage::Format_RGB888)).Width, 300);
    EXPECT_TRUE(PictureToRGBA(QImage()).Empty());
}

TEST(PictureToRGBATest, KeepsTheAlphaOfPicturesThatHaveOne)
{
    QImage picture(4, 1, QImage::Format_ARGB32);
    picture.fill(QColor(10, 20, 30, 40));
    const TRGBAImage rgba = PictureToRGBA(picture);
    ExpectColor(&rgba.Data[0], 10, 20, 30, 40, 0);
}

TEST_F(GLTextureTest, UploadsA300By200PictureAt512By256WithMipmaps)
{
    auto texture = MakeTexture(JpegFixtures::Flat(300, 200));
    texture->Apply(FInfo);
    EXPECT_EQ(texture->UploadedSize(), QSize(512, 256));
    EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), 512);
    EXPECT_EQ(LevelParameter(0, GL_TEXTURE_HEIGHT), 256);
    EXPECT_EQ(LevelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8);
    // The chain goes down to 1 x 1.
    EXPECT_EQ(LevelParameter(1, GL_TEXTURE_WIDTH), 256);
    EXPECT_EQ(LevelParameter(9, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(TextureParameter(GL_GENERATE_MIPMAP), GL_TRUE);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    ExpectColor(FirstTexel().data(), 200, 100, 50, 255);
    texture->UnApply(FInfo);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLTextureTest, SwitchToAFilterWithoutMipmapsStopsTheirGeneration)
{
    auto texture = MakeTexture(JpegFixtures::Flat(8, 8));
    texture->SetMinFilter(miLinearMipmapNearest);
    texture->Apply(FInfo);
    EXPECT_EQ(TextureParameter(GL_GENERATE_MIPMAP), GL_TRUE);
    texture->UnApply(FInfo);

    texture->SetMinFilter(miLinear);
    texture->Apply(FInfo);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(TextureParameter(GL_GENERATE_MIPMAP), GL_FALSE);
    texture->UnApply(FInfo);
}

TEST_F(GLTextureTest, Uploads301PixelsWideAt512AfterTheStretchTo304)
{
    auto texture = MakeTexture(JpegFixtures::Flat(301, 64));
    texture->SetMinFilter(miLinear);
    texture->Apply(FInfo);
    EXPECT_EQ(texture->UploadedSize(), QSize(512, 64));
    // Without a mipmap filter only level 0 exists.
    EXPECT_EQ(LevelParameter(1, GL_TEXTURE_WIDTH), 0);
    texture->UnApply(FInfo);
}

TEST_F(GLTextureTest, CapsLargePicturesAtTheMaximumTextureSize)
{
    auto texture = MakeTexture(JpegFixtures::Flat(2000, 1500));
    texture->SetSizeLimit(1024);
    texture->Apply(FInfo);
    EXPECT_EQ(texture->UploadedSize(), QSize(1024, 1024));
    EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), 1024);
    EXPECT_EQ(LevelParameter(0, GL_TEXTURE_HEIGHT), 1024);
    texture->UnApply(FInfo);
}

TEST_F(GLTextureTest, PutsThePicturesBottomRowFirst)
{
    auto texture = MakeTexture(JpegFixtures::Encode(JpegFixtures::RedOverBlue(64, 64)));
    texture->Apply(FInfo);
    ExpectColor(FirstTexel().data(), 0, 0, 255, 255, 8);
    texture->UnApply(FInfo);
}

TEST_F(GLTextureTest, UploadsAgainOnlyAfterAChangeOrALostHandle)
{
    auto texture = MakeTexture(JpegFixtures::Flat(4, 4));
    texture->SetMinFilter(miNearest);
    const GLuint handle = texture->Handle(*FInfo.Context, FStates);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(texture->Changes(), 0u);
    // Paint over the uploaded texels: a use without a change keeps them.
    const std::vector<std::uint8_t> black(4 * 4 * 4, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, black.data());
    EXPECT_EQ(texture->Handle(*FInfo.Context, FStates), handle);
    EXPECT_EQ(FirstTexel()[0], 0);
    // A parameter change uploads the picture again under the same name.
    texture->SetTextureWrap(twNone);
    EXPECT_EQ(texture->Changes(), static_cast<unsigned>(TGLTexture::tcParams));
    EXPECT_EQ(texture->Handle(*FInfo.Context, FStates), handle);
    EXPECT_NEAR(FirstTexel()[0], 200, 3);
    // A destroyed handle (a lost context) starts again from a new name.
    texture->DestroyHandle();
    EXPECT_EQ(texture->Changes(), static_cast<unsigned>(TGLTexture::tcImage | TGLTexture::tcParams));
    EXPECT_EQ(texture->TextureMemorySize(), -1);
    EXPECT_EQ(texture->CurrentHandle(), 0u);
    EXPECT_NE(texture->Handle(*FInfo.Context, FStates), 0u);
    EXPECT_NEAR(FirstTexel()[0], 200, 3);
}

TEST_F(GLTextureTest, MapsItsPropertiesToOpenGL)
{
    auto texture = MakeTexture(JpegFixtures::Flat(4, 4));
    texture->SetTextureWrap(twVertical);
    texture->SetMagFilter(maNearest);
    texture->SetMinFilter(miNearestMipmapLinear);
    texture->SetTextureMode(tmModulate);
    texture->EnvColor()->SetColor({0.25f, 0.5f, 0.75f, 1});
    texture->Apply(FInfo);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    GLfloat color[4] = {};
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, color);
    EXPECT_FLOAT_EQ(color[1], 0.5f);
    texture->UnApply(FInfo);
    texture->SetTextureWrap(twHorizontal);
    texture->Apply(FInfo);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    texture->UnApply(FInfo);
    EXPECT_EQ(TextureModeToGL(tmDecal), static_cast<GLenum>(GL_DECAL));
    EXPECT_EQ(TextureModeToGL(tmReplace), static_cast<GLenum>(GL_REPLACE));
    EXPECT_EQ(InternalFormatToGL(tfDefault), GL_RGBA8);
    EXPECT_EQ(InternalFormatToGL(tfRGB16), GL_RGB5);
    EXPECT_EQ(InternalFormatToGL(tfLuminanceAlpha), GL_LUMINANCE8_ALPHA8);
}

TEST_F(GLTextureTest, ReportsAFailedRescaleInsteadOfUploadingABlackTexture)
{
    const auto outOfMemory = [](GLenum, GLsizei, GLsizei, GLenum, const void*, GLsizei, GLsizei, GLenum,
                                void*) -> GLint { return GLU_OUT_OF_MEMORY; };
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    PrepareImageUnpacking();
    const TRGBAImage image = PictureToRGBA(JpegFixtures::RedOverBlue(300, 200));
    try
    {
        UploadRGBAImage(image, GL_RGBA8, false, 4096, outOfMemory);
        FAIL() << "the failed rescale was not reported";
    }
    catch (const EOpenGLError& error)
    {
        EXPECT_EQ(error.Message(), QStringLiteral("A 300 x 200 picture cannot be rescaled to 512 x 256: out of memory"));
    }
    EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), 0);
    glDeleteTextures(1, &name);
}

TEST_F(GLTextureTest, LeavesAnEmptyPictureWithoutPixels)
{
    TGLTexture texture(nullptr);
    texture.SetDisabled(false);
    texture.Apply(FInfo);
    EXPECT_EQ(texture.UploadedSize(), QSize());
    EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), 0);
    texture.UnApply(FInfo);
}

TEST(PersistentImageTest, DecodesAJpegAndKeepsItsBytes)
{
    const QByteArray jpeg = JpegFixtures::Flat(300, 200);
    TGLPersistentImage image(nullptr);
    int changes = 0;
    image.OnNotifyChange = [&changes] { ++changes; };
    image.LoadJpeg(jpeg, QStringLiteral("floor.jpg"));
    EXPECT_EQ(image.Width(), 300);
    EXPECT_EQ(image.Height(), 200);
    EXPECT_EQ(image.JpegData(), jpeg);
    EXPECT_EQ(changes, 1);
}

TEST(PersistentImageTest, ReadsTheStoredFormWithItsClassNameAndByteCount)
{
    const QByteArray jpeg = JpegFixtures::Flat(16, 8);
    QByteArray stored;
    stored.append(char(10)).append("TJPEGImage");
    const quint32 count = static_cast<quint32>(jpeg.size());
    for (int shift = 0; shift < 32; shift += 8)
        stored.append(char((count >> shift) & 0xFF));
    stored.append(jpeg);
    EXPECT_EQ(stored.size(), 1 + 10 + 4 + jpeg.size());
    TGLPersistentImage image(nullptr);
    image.LoadStoredData(stored, QStringLiteral("wall"));
    EXPECT_EQ(image.Width(), 16);
    // A count that runs past the end is refused, not read beyond the data.
    stored[11] = char(0xFF);
    stored[12] = char(0xFF);
    EXPECT_THROW(image.LoadStoredData(stored, QStringLiteral("wall")), EInvalidGraphic);
    EXPECT_THROW(image.LoadStoredData(QByteArray(), QStringLiteral("wall")), EInvalidGraphic);
    EXPECT_EQ(image.Width(), 16);
}

TEST(PersistentImageTest, RefusesDamagedPicturesWithAnErrorNamingThem)
{
    const QByteArray jpeg = JpegFixtures::Flat(64, 64);
    TGLPersistentImage image(nullptr);
    try
    {
        image.LoadJpeg(jpeg.left(jpeg.size() / 2), QStringLiteral("sky.jpg"));
        FAIL() << "a truncated picture was accepted";
    }
    catch (const EInvalidGraphic& error)
    {
        EXPECT_TRUE(error.Message().contains(QStringLiteral("\"sky.jpg\""))) << error.Message().toStdString();
    }
    EXPECT_TRUE(image.Empty());
    EXPECT_THROW(image.LoadJpeg(QByteArray("not a picture at all"), QStringLiteral("x")), EInvalidGraphic);
    EXPECT_THROW(image.LoadJpeg(QByteArray(), QStringLiteral("x")), EInvalidGraphic);
    EXPECT_THROW(image.LoadJpeg(QByteArray("\xFF\xD8\xFF", 3), QStringLiteral("x")), EInvalidGraphic);
}

TEST(PersistentImageTest, RefusesAbsurdDimensions)
{
    QByteArray jpeg = JpegFixtures::Flat(16, 16);
    // The baseline frame header: FF C0, length (2), precision (1), height (2), width (2).
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(frame, 0);
    jpeg[frame + 5] = char(0xEA);
    jpeg[frame + 6] = char(0x60);
    jpeg[frame + 7] = char(0xEA);
    jpeg[frame + 8] = char(0x60);
    TGLPersistentImage image(nullptr);
    EXPECT_THROW(image.LoadJpeg(jpeg, QStringLiteral("huge")), EInvalidGraphic);
}

TEST(PersistentImageTest, SurvivesRandomlyDamagedBytes)
{
    const QByteArray jpeg = JpegFixtures::Encode(JpegFixtures::RedOverBlue(48, 32));
    std::mt19937 random(12345);
    int refused = 0;
    for (int round = 0; round < 1000; ++round)
    {
        QByteArray damaged = jpeg;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i)
            damaged[static_cast<qsizetype>(random() % damaged.size())] = static_cast<char>(random() & 0xFF);
        if (round % 3 == 0)
            damaged.truncate(static_cast<qsizetype>(random() % damaged.size()));
        TGLPersistentImage image(nullptr);
        try
        {
            image.LoadJpeg(damaged, QStringLiteral("fuzz"));
            EXPECT_FALSE(image.Empty());
        }
        catch (const EInvalidGraphic&)
        {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}
