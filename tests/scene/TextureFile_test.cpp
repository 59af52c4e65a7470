#include "base/Exceptions.h"
#include "scene/GLPersistentImage.h"
#include "scene/TextureFile.h"

#include "JpegFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

using testing::HasSubstr;
using testing::StartsWith;

namespace
{
// Runs a test inside a fresh folder as the current directory, since texture
// names are relative to it.
class TextureFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FFolder.isValid());
        FPreviousDirectory = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(FFolder.path()));
    }
    void TearDown() override { QDir::setCurrent(FPreviousDirectory); }

    static void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write(bytes);
    }

    // The failure's text, empty when the file loads; as a standard string,
    // which test failures print readably.
    static std::string FailureOf(const QString& name)
    {
        try
        {
            LoadTextureFile(name);
            return {};
        }
        catch (const ETextureLoadError& error)
        {
            return error.Message().toStdString();
        }
    }

    QTemporaryDir FFolder;
    QString FPreviousDirectory;
};

QByteArray Encoded(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

void AppendLittleEndian(QByteArray& bytes, quint32 value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// An uncompressed 24-bit TGA file of the format's first version (without
// the footer later versions add), rows stored bottom-up.
QByteArray Tga(const QImage& picture)
{
    QByteArray bytes(2, '\0');
    bytes.append(char(2)); // uncompressed true colour
    bytes.append(9, '\0'); // no colour map, origin 0, 0
    AppendLittleEndian(bytes, static_cast<quint32>(picture.width()), 2);
    AppendLittleEndian(bytes, static_cast<quint32>(picture.height()), 2);
    bytes.append(char(24));
    bytes.append(char(0));
    for (int y = picture.height() - 1; y >= 0; --y)
        for (int x = 0; x < picture.width(); ++x)
        {
            const QColor c = picture.pixelColor(x, y);
            bytes.append(static_cast<char>(c.blue()))
                .append(static_cast<char>(c.green()))
                .append(static_cast<char>(c.red()));
        }
    return bytes;
}

// A BMP file of one pixel whose header claims another size.
QByteArray BmpClaiming(int width, int height)
{
    QByteArray bmp = Encoded(QImage(1, 1, QImage::Format_RGB888), "bmp");
    const auto putLittleEndian = [&bmp](qsizetype at, quint32 value)
    {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    // BITMAPINFOHEADER after the 14-byte file header: size, width, height.
    putLittleEndian(18, static_cast<quint32>(width));
    putLittleEndian(22, static_cast<quint32>(height));
    return bmp;
}

// A PNG file of one pixel whose header chunk claims another size.
QByteArray PngClaiming(int width, int height)
{
    QByteArray png = Encoded(QImage(1, 1, QImage::Format_RGB888), "png");
    const auto putBigEndian = [&png](qsizetype at, quint32 value)
    {
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    };
    // Signature (8), chunk length (4), "IHDR", width, height, 5 more bytes, CRC.
    putBigEndian(16, static_cast<quint32>(width));
    putBigEndian(20, static_cast<quint32>(height));
    // The chunk's CRC-32 over its type and data, so that only the size is wrong.
    quint32 crc = 0xFFFFFFFFu;
    for (qsizetype i = 12; i < 29; ++i)
    {
        crc ^= static_cast<unsigned char>(png[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    putBigEndian(29, ~crc);
    return png;
}

// Red over blue, checked well away from the edge between the halves.
void ExpectRedOverBlue(const QImage& picture, const char* what)
{
    SCOPED_TRACE(what);
    ASSERT_FALSE(picture.isNull());
    const QColor top = picture.pixelColor(picture.width() / 2, picture.height() / 4);
    const QColor bottom = picture.pixelColor(picture.width() / 2, picture.height() * 3 / 4);
    EXPECT_NEAR(top.red(), 255, 4);
    EXPECT_NEAR(top.blue(), 0, 4);
    EXPECT_NEAR(bottom.red(), 0, 4);
    EXPECT_NEAR(bottom.blue(), 255, 4);
}

// What FindFileIgnoringCase finds, as a standard string for readable failures.
std::string Found(const QString& name)
{
    return FindFileIgnoringCase(name).toStdString();
}

QString CorpusPath(const QString& relative)
{
    return QStringLiteral(STICKFIGHT_CORPUS_DIR "/") + relative;
}
} // namespace

TEST_F(TextureFileTest, ReadsEachFormatByItsContentWhateverItsName)
{
    const QImage picture = JpegFixtures::RedOverBlue(16, 8);
    Write(QStringLiteral("skin.bmp"), Encoded(picture, "bmp"));
    Write(QStringLiteral("wall.tga"), Tga(picture));
    Write(QStringLiteral("photo.jpg"), JpegFixtures::Encode(picture));
    // The extension does not decide: these hold the other format.
    Write(QStringLiteral("photo.png"), JpegFixtures::Encode(picture));
    Write(QStringLiteral("drawing.jpg"), Encoded(picture, "png"));
    for (const char* name : {"skin.bmp", "wall.tga", "photo.jpg", "photo.png", "drawing.jpg"})
    {
        const QImage loaded = LoadTextureFile(QString::fromLatin1(name));
        EXPECT_EQ(loaded.size(), QSize(16, 8)) << name;
        ExpectRedOverBlue(loaded, name);
    }

    // PNG keeps its alpha.
    QImage translucent(4, 4, QImage::Format_ARGB32);
    translucent.fill(qRgba(10, 20, 30, 128));
    Write(QStringLiteral("glass.png"), Encoded(translucent, "png"));
    const QImage glass = LoadTextureFile(QStringLiteral("glass.png"));
    EXPECT_TRUE(glass.hasAlphaChannel());
    EXPECT_EQ(qAlpha(glass.pixel(1, 1)), 128);

    // The persistent image takes the picture under the name it was asked for.
    TGLPersistentImage image(nullptr);
    int changes = 0;
    image.OnNotifyChange = [&changes] { ++changes; };
    image.LoadFromFile(QStringLiteral("wall.tga"));
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.PictureName(), QStringLiteral("wall.tga"));
    EXPECT_TRUE(image.JpegData().isEmpty());
    EXPECT_EQ(changes, 1);
    EXPECT_THROW(image.LoadFromFile(QStringLiteral("absent.tga")), ETextureLoadError);
    EXPECT_EQ(image.PictureName(), QStringLiteral("wall.tga"));
    EXPECT_EQ(changes, 1);
}

TEST_F(TextureFileTest, FindsNamesIgnoringCaseWhenTheExactOneIsMissing)
{
    Write(QStringLiteral("test.png"), Encoded(JpegFixtures::RedOverBlue(8, 8), "png"));
    EXPECT_EQ(Found(QStringLiteral("TEST.PNG")), "test.png");
    ExpectRedOverBlue(LoadTextureFile(QStringLiteral("TEST.PNG")), "TEST.PNG");

    // An exact match wins; among inexact ones the first in name order.
    Write(QStringLiteral("TEST.PNG"), Encoded(QImage(2, 2, QImage::Format_RGB888), "png"));
    EXPECT_EQ(Found(QStringLiteral("test.png")), "test.png");
    EXPECT_EQ(Found(QStringLiteral("TEST.PNG")), "TEST.PNG");
    EXPECT_EQ(Found(QStringLiteral("Test.Png")), "TEST.PNG");

    // Folders too, with the separators of the system that wrote the model,
    // and absolute names.
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("Maps/Walls")));
    Write(QStringLiteral("Maps/Walls/cwall02.jpg"), JpegFixtures::Flat(4, 4));
    EXPECT_EQ(Found(QStringLiteral("MAPS\\WALLS\\CWALL02.JPG")), "Maps/Walls/cwall02.jpg");
    EXPECT_EQ(Found(QStringLiteral("./maps/../MAPS/walls/CWALL02.JPG")), "./Maps/../Maps/Walls/cwall02.jpg");
    EXPECT_EQ(Found(FFolder.path() + QStringLiteral("/maps/walls/CWall02.jpg")),
              (FFolder.path() + QStringLiteral("/Maps/Walls/cwall02.jpg")).toStdString());

    // Within a folder found ignoring case, an exact file name still wins.
    Write(QStringLiteral("Maps/Walls/CWALL02.JPG"), JpegFixtures::Flat(4, 4));
    EXPECT_EQ(Found(QStringLiteral("maps/walls/cwall02.jpg")), "Maps/Walls/cwall02.jpg");

    // A folder is not a file, and a missing name finds nothing.
    EXPECT_EQ(Found(QStringLiteral("maps")), "");
    EXPECT_EQ(Found(QStringLiteral("maps/walls/absent.jpg")), "");
    EXPECT_EQ(Found(QString()), "");
}

TEST_F(TextureFileTest, NamesTheFileInEveryFailure)
{
    EXPECT_EQ(FailureOf(QStringLiteral("TEST.PNG")), "The texture file \"TEST.PNG\" cannot be found");
    EXPECT_EQ(FailureOf(QString()), "The texture file \"\" cannot be found");

    const QByteArray png = Encoded(JpegFixtures::RedOverBlue(32, 32), "png");
    Write(QStringLiteral("cut.png"), png.left(png.size() / 2));
    EXPECT_THAT(FailureOf(QStringLiteral("CUT.PNG")), StartsWith("The texture file \"CUT.PNG\" is truncated: its "));
    const QByteArray jpeg = JpegFixtures::Flat(32, 32);
    Write(QStringLiteral("cut.jpg"), jpeg.left(jpeg.size() - 40));
    EXPECT_EQ(FailureOf(QStringLiteral("cut.jpg")),
              "The texture file \"cut.jpg\" cannot be decoded: Premature end of JPEG file");
    Write(QStringLiteral("empty.bmp"), QByteArray());
    EXPECT_THAT(FailureOf(QStringLiteral("empty.bmp")),
                StartsWith("The texture file \"empty.bmp\" cannot be decoded: "));
    Write(QStringLiteral("notes.txt"), QByteArray("not a picture at all\n"));
    EXPECT_THAT(FailureOf(QStringLiteral("notes.txt")),
                StartsWith("The texture file \"notes.txt\" cannot be decoded: "));
    // A picture format Qt reads but textures do not come in.
    Write(QStringLiteral("icon.ico"), Encoded(QImage(16, 16, QImage::Format_ARGB32), "ico"));
    EXPECT_EQ(FailureOf(QStringLiteral("icon.ico")),
              "The texture file \"icon.ico\" cannot be decoded: ICO is not a picture format textures are read from");
}

TEST_F(TextureFileTest, RefusesHeadersClaimingMoreThan8192PixelsASideBeforeDecoding)
{
    QByteArray jpeg = JpegFixtures::EncodeProgressive(JpegFixtures::RedOverBlue(16, 16));
    JpegFixtures::SetFrameSize(jpeg, 20000, 20000);
    Write(QStringLiteral("huge.jpg"), jpeg);
    Write(QStringLiteral("huge.png"), PngClaiming(20000, 20000));
    Write(QStringLiteral("huge.bmp"), BmpClaiming(20000, 20000));
    QByteArray tga = Tga(QImage(1, 1, QImage::Format_RGB888));
    tga[12] = char(20000 & 0xFF);
    tga[13] = char(20000 >> 8);
    tga[14] = tga[12];
    tga[15] = tga[13];
    Write(QStringLiteral("huge.tga"), tga);
    for (const std::string name : {"huge.jpg", "huge.png", "huge.bmp", "huge.tga"})
        EXPECT_EQ(FailureOf(QString::fromStdString(name)),
                  "The texture file \"" + name + "\" is too large: 20000 x 20000 pixels, more than 8192 x 8192");

    // One side alone decides, and 8192 itself is allowed.
    Write(QStringLiteral("wide.bmp"), BmpClaiming(8193, 1));
    EXPECT_THAT(FailureOf(QStringLiteral("wide.bmp")), HasSubstr("8193 x 1 pixels"));
    Write(QStringLiteral("widest.bmp"), Encoded(QImage(8192, 1, QImage::Format_RGB888), "bmp"));
    EXPECT_EQ(LoadTextureFile(QStringLiteral("widest.bmp")).width(), 8192);

    // A file larger than any allowed picture needs is not read into memory:
    // 5 bytes a pixel of 4 x 4 pixels.
    TJpegLimits tiny;
    tiny.MaxSide = 4;
    Write(QStringLiteral("padded.jpg"), JpegFixtures::Flat(2, 2) + QByteArray(80, '\0'));
    try
    {
        LoadTextureFile(QStringLiteral("padded.jpg"), tiny);
        FAIL() << "the file was read";
    }
    catch (const ETextureLoadError& error)
    {
        EXPECT_THAT(error.Message().toStdString(), StartsWith("The texture file \"padded.jpg\" is too large: "));
    }
}

// Qt's decoder would allocate the whole claimed picture and fill what data
// there is; a cut uncompressed BMP is refused from its header instead.
TEST_F(TextureFileTest, RefusesUncompressedBmpWithLessPixelDataThanItsSizeNeeds)
{
    Write(QStringLiteral("claims.bmp"), BmpClaiming(8192, 8192));
    EXPECT_EQ(FailureOf(QStringLiteral("claims.bmp")),
              "The texture file \"claims.bmp\" is truncated: its 8192 x 8192 pixels need 201326592 bytes of pixel "
              "data, but 4 follow");

    const QByteArray whole = Encoded(JpegFixtures::RedOverBlue(5, 3), "bmp");
    // 5 pixels of 3 bytes, padded to 16 bytes a row.
    Write(QStringLiteral("cut.bmp"), whole.left(whole.size() - 16));
    EXPECT_THAT(FailureOf(QStringLiteral("cut.bmp")),
                StartsWith("The texture file \"cut.bmp\" is truncated: its 5 x 3 pixels need 47 bytes"));
    // Writers that leave out the last row's padding are read.
    Write(QStringLiteral("unpadded.bmp"), whole.left(whole.size() - 1));
    EXPECT_EQ(LoadTextureFile(QStringLiteral("unpadded.bmp")).size(), QSize(5, 3));
}

// A damaged chunk length would have the decoder allocate what it claims
// before finding the file too short.
TEST_F(TextureFileTest, RefusesPngChunkClaimingMoreThanTheFileHolds)
{
    QByteArray png = Encoded(JpegFixtures::RedOverBlue(8, 8), "png");
    // The first chunk after the 8-byte signature is IHDR, 13 bytes long.
    png[8] = '\x67';
    Write(QStringLiteral("long.png"), png);
    EXPECT_THAT(FailureOf(QStringLiteral("long.png")),
                StartsWith("The texture file \"long.png\" is truncated: its \"IHDR\" chunk at byte 8 claims 1728053261 "
                           "bytes, but "));
    // Whole files, and bytes after the last chunk, are read as before.
    Write(QStringLiteral("trailing.png"), Encoded(JpegFixtures::RedOverBlue(8, 8), "png") + QByteArray(3, 'x'));
    EXPECT_EQ(LoadTextureFile(QStringLiteral("trailing.png")).size(), QSize(8, 8));
}

TEST_F(TextureFileTest, SurvivesRandomlyDamagedFiles)
{
    const QImage picture = JpegFixtures::RedOverBlue(24, 16);
    const QByteArray sources[] = {Encoded(picture, "png"), Encoded(picture, "bmp"), Tga(picture)};
    const char* const names[] = {"fuzz.png", "fuzz.bmp", "fuzz.tga"};
    std::mt19937 random(4321);
    int refused = 0;
    for (int round = 0; round < 600; ++round)
    {
        QByteArray damaged = sources[round % 3];
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i)
            damaged[static_cast<qsizetype>(random() % damaged.size())] = static_cast<char>(random() & 0xFF);
        if (round % 4 == 0)
            damaged.truncate(static_cast<qsizetype>(random() % damaged.size()));
        const QString name = QString::fromLatin1(names[round % 3]);
        Write(name, damaged);
        try
        {
            const QImage loaded = LoadTextureFile(name);
            EXPECT_LE(loaded.width(), 8192);
            EXPECT_LE(loaded.height(), 8192);
        }
        catch (const ETextureLoadError&)
        {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}

TEST_F(TextureFileTest, LoadsThePicturesBesideThirdPartyModels)
{
    if (!QDir(CorpusPath(QString())).exists())
        GTEST_SKIP() << "no third-party model files at " << STICKFIGHT_CORPUS_DIR;
    ASSERT_TRUE(QDir::setCurrent(CorpusPath(QStringLiteral("3ds/assimp"))));
    // The names the models give, which differ in case from the files.
    const struct
    {
        const char* Name;
        const char* File;
    } pictures[] = {{"CWALL02.JPG", "CWALL02.jpg"},
                    {"IMAGE1.JPG", "IMAGE1.jpg"},
                    {"IMAGE2.JPG", "IMAGE2.jpg"},
                    {"TEST.PNG", "test.png"},
                    {"UVTransformTest/UVTRANSFORMTESTIMG.PNG", "UVTransformTest/UVTransformTestImg.png"},
                    {"../../smd/hl1-barney/BX_FACE1.BMP", "../../smd/hl1-barney/BX_Face1.bmp"},
                    {"../../md2/assimp/SYDNEY.BMP", "../../md2/assimp/sydney.bmp"}};
    for (const auto& picture : pictures)
    {
        SCOPED_TRACE(picture.Name);
        const QImage loaded = LoadTextureFile(QString::fromLatin1(picture.Name));
        // Qt's own readers, JPEG included, tell the size independently.
        const QSize expected = QImageReader(QString::fromLatin1(picture.File)).size();
        ASSERT_TRUE(expected.isValid());
        EXPECT_EQ(loaded.size(), expected);
    }
}
