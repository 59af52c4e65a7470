#include "base/Exceptions.h"
#include "base/LayoutReader.h"
#include "scene/GLPersistentImage.h"

#include "JpegFixtures.h"

#include <QJsonValue>
#include <gtest/gtest.h>

namespace
{
using JpegFixtures::FindMarker;

// The picture's colours well away from the edge between the halves, which
// chroma subsampling blurs.
void ExpectRedOverBlue(const QImage& picture)
{
    ASSERT_FALSE(picture.isNull());
    const QColor top = picture.pixelColor(picture.width() / 2, picture.height() / 4);
    const QColor bottom = picture.pixelColor(picture.width() / 2, picture.height() * 3 / 4);
    EXPECT_NEAR(top.red(), 255, 4);
    EXPECT_NEAR(top.green(), 0, 4);
    EXPECT_NEAR(top.blue(), 0, 4);
    EXPECT_NEAR(bottom.red(), 0, 4);
    EXPECT_NEAR(bottom.green(), 0, 4);
    EXPECT_NEAR(bottom.blue(), 255, 4);
}

// The failure's text when decoding is refused, empty when it is not.
QString RefusalOf(const QByteArray& jpeg, const QString& name, const TJpegLimits& limits = {})
{
    try
    {
        DecodeJpeg(jpeg, name, limits);
        return {};
    }
    catch (const EInvalidGraphic& error)
    {
        return error.Message();
    }
}

// A progressive grey picture of `scans` scans: its first scan carries the DC
// coefficients, every other one sends the same AC coefficients again, which
// libjpeg accepts without a warning. Only the time spent grows with the count.
QByteArray GreyWithScans(int scans)
{
    static const jpeg_scan_info script[2] = {{1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}};
    QByteArray jpeg = JpegFixtures::Encode(JpegFixtures::RedOverBlue(32, 32), [](jpeg_compress_struct& info) {
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
        info.scan_info = script;
        info.num_scans = 2;
    });
    const qsizetype acScan = jpeg.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype end = jpeg.size() - 2;
    const QByteArray scan = jpeg.mid(acScan, end - acScan);
    for (int i = 2; i < scans; ++i)
        jpeg.insert(end, scan);
    return jpeg;
}

// Three components at full resolution: the most coefficients a picture of a
// given size can make libjpeg keep.
QByteArray FullResolutionProgressive(int width, int height)
{
    return JpegFixtures::Encode(JpegFixtures::RedOverBlue(width, height), [](jpeg_compress_struct& info) {
        info.comp_info[0].h_samp_factor = 1;
        info.comp_info[0].v_samp_factor = 1;
        jpeg_simple_progression(&info);
    });
}
} // namespace

TEST(PersistentImageTest, RefusesPicturesAbove8192PixelsASideBeforeDecodingThem)
{
    // A few hundred bytes that claim 16380 x 16380 pixels: decoding them would
    // allocate 1.5 GiB before libjpeg noticed that the data is missing.
    QByteArray bomb = JpegFixtures::EncodeProgressive(JpegFixtures::RedOverBlue(16, 16));
    JpegFixtures::SetFrameSize(bomb, 16380, 16380);
    TGLPersistentImage image(nullptr);
    image.LoadJpeg(JpegFixtures::Flat(8, 8), QStringLiteral("before.jpg"));
    try
    {
        image.LoadJpeg(bomb, QStringLiteral("bomb.jpg"));
        FAIL() << "the picture was accepted";
    }
    catch (const EInvalidGraphic& error)
    {
        EXPECT_EQ(error.Message(),
                  QStringLiteral("The picture \"bomb.jpg\" is too large: 16380 x 16380 pixels, more than 8192 x 8192"));
    }
    EXPECT_EQ(image.PictureName(), QStringLiteral("before.jpg"));
    EXPECT_EQ(image.Width(), 8);

    // Either side alone decides, and 8192 itself is allowed.
    EXPECT_FALSE(RefusalOf(JpegFixtures::Flat(8193, 8), QStringLiteral("wide")).isEmpty());
    EXPECT_FALSE(RefusalOf(JpegFixtures::Flat(8, 8193), QStringLiteral("tall")).isEmpty());
    EXPECT_EQ(DecodeJpeg(JpegFixtures::Flat(8192, 8), QStringLiteral("widest")).width(), 8192);
    EXPECT_EQ(DecodeJpeg(JpegFixtures::Flat(8, 8192), QStringLiteral("tallest")).height(), 8192);
}

TEST(PersistentImageTest, StopsProgressivePicturesAtTheHundredthScan)
{
    const QImage hundred = DecodeJpeg(GreyWithScans(100), QStringLiteral("many.jpg"));
    // Grey levels of red (0.299 x 255) and blue (0.114 x 255).
    EXPECT_NEAR(qRed(hundred.pixel(16, 4)), 76, 3);
    EXPECT_NEAR(qRed(hundred.pixel(16, 28)), 29, 3);

    EXPECT_EQ(RefusalOf(GreyWithScans(101), QStringLiteral("endless.jpg")),
              QStringLiteral("The picture \"endless.jpg\" cannot be decoded: it has more than 100 scans"));
}

TEST(PersistentImageTest, CapsTheMemoryLibjpegMayUse)
{
    // 512 x 512 x 3 coefficients of 2 bytes: 1.5 MiB kept until the last scan.
    const QByteArray jpeg = FullResolutionProgressive(512, 512);
    ExpectRedOverBlue(DecodeJpeg(jpeg, QStringLiteral("fits.jpg")));
    TJpegLimits small;
    small.MaxMemory = 1L << 20;
    EXPECT_EQ(RefusalOf(jpeg, QStringLiteral("greedy.jpg"), small),
              QStringLiteral("The picture \"greedy.jpg\" cannot be decoded: decoding it needs more than 1 MiB"));

    // The largest picture allowed gets its memory: this one is refused only
    // when libjpeg reads past its data.
    QByteArray largest = FullResolutionProgressive(16, 16);
    JpegFixtures::SetFrameSize(largest, 8192, 8192);
    const QString refusal = RefusalOf(largest, QStringLiteral("largest.jpg"));
    EXPECT_FALSE(refusal.isEmpty());
    EXPECT_FALSE(refusal.contains(QStringLiteral("MiB"))) << refusal.toStdString();
}

TEST(PersistentImageTest, AcceptsTheHarmlessWarningsOfRealFiles)
{
    const QImage source = JpegFixtures::RedOverBlue(64, 64);
    const QByteArray baseline = JpegFixtures::Encode(source);
    const QByteArray junk("\x12\x34\x56", 3);

    // Stray bytes between header segments, before the end marker after the
    // pixel data, and between the scans of a progressive picture.
    QByteArray beforeTables = baseline;
    beforeTables.insert(FindMarker(baseline, 0xDB), junk);
    ExpectRedOverBlue(DecodeJpeg(beforeTables, QStringLiteral("tables.jpg")));
    QByteArray beforeEnd = baseline;
    beforeEnd.insert(baseline.size() - 2, junk);
    ExpectRedOverBlue(DecodeJpeg(beforeEnd, QStringLiteral("end.jpg")));
    QByteArray betweenScans = JpegFixtures::EncodeProgressive(source);
    betweenScans.insert(FindMarker(betweenScans, 0xDA, FindMarker(betweenScans, 0xDA) + 2), junk);
    ExpectRedOverBlue(DecodeJpeg(betweenScans, QStringLiteral("scans.jpg")));

    // A JFIF marker of a later major version: FF E0, length (2), "JFIF\0", version.
    QByteArray laterJfif = baseline;
    const qsizetype jfif = FindMarker(laterJfif, 0xE0);
    ASSERT_EQ(laterJfif.mid(jfif + 4, 5), QByteArray("JFIF\0", 5));
    laterJfif[jfif + 9] = 2;
    ExpectRedOverBlue(DecodeJpeg(laterJfif, QStringLiteral("jfif2.jpg")));

    // An Adobe marker with a colour transform code libjpeg does not know:
    // FF EE, length (2), "Adobe", version (2), flags (2 + 2), transform.
    QByteArray adobe = JpegFixtures::Encode(source, [](jpeg_compress_struct& info) {
        info.write_JFIF_header = FALSE;
        info.write_Adobe_marker = TRUE;
    });
    const qsizetype app14 = FindMarker(adobe, 0xEE);
    ASSERT_EQ(adobe.mid(app14 + 4, 5), QByteArray("Adobe"));
    adobe[app14 + 15] = 7;
    ExpectRedOverBlue(DecodeJpeg(adobe, QStringLiteral("adobe.jpg")));

    // A sequential scan header whose spectral end is not 63, which sequential
    // decoding ignores: FF DA, length (2), count, 3 x (component, tables), Ss, Se.
    QByteArray oddScan = baseline;
    const qsizetype scan = FindMarker(oddScan, 0xDA);
    ASSERT_EQ(oddScan[scan + 4], 3);
    ASSERT_EQ(oddScan[scan + 12], 63);
    oddScan[scan + 12] = 0;
    ExpectRedOverBlue(DecodeJpeg(oddScan, QStringLiteral("sos.jpg")));
}

TEST(PersistentImageTest, RefusesTruncatedPicturesEvenAfterAHarmlessWarning)
{
    const QByteArray progressive = JpegFixtures::EncodeProgressive(JpegFixtures::RedOverBlue(64, 64));
    const qsizetype secondScan = FindMarker(progressive, 0xDA, FindMarker(progressive, 0xDA) + 2);
    const qsizetype lastScan = progressive.lastIndexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(lastScan, secondScan);

    // Cut where a scan begins: every scan present is whole, the later ones missing.
    EXPECT_TRUE(RefusalOf(progressive.left(secondScan), QStringLiteral("cut.jpg"))
                    .endsWith(QStringLiteral("Premature end of JPEG file")));
    // Cut inside the last scan.
    EXPECT_FALSE(RefusalOf(progressive.left((lastScan + progressive.size()) / 2), QStringLiteral("cut.jpg")).isEmpty());
    // Stray bytes first, then the cut.
    QByteArray strayThenCut = progressive.left(secondScan);
    strayThenCut.insert(FindMarker(strayThenCut, 0xDB), QByteArray("\x12\x34", 2));
    EXPECT_TRUE(RefusalOf(strayThenCut, QStringLiteral("cut.jpg")).endsWith(QStringLiteral("Premature end of JPEG file")));
    // A baseline picture cut inside its pixel data.
    const QByteArray baseline = JpegFixtures::Encode(JpegFixtures::RedOverBlue(64, 64));
    EXPECT_FALSE(RefusalOf(baseline.left(baseline.size() - 40), QStringLiteral("cut.jpg")).isEmpty());
}

// A layout names its pictures by file name; a device that never ends is
// refused, not read until the memory runs out.
TEST(PersistentImageTest, LayoutPicturesThatAreNotFilesAreRefused)
{
    QObject root;
    TLayoutReader reader(&root, QStringLiteral("/nowhere/Host.json"));
    TGLPersistentImage image(nullptr);
    try
    {
        image.ReadLayoutValue(QJsonValue(QStringLiteral("/dev/zero")), reader);
        ADD_FAILURE() << "a device was read as a picture";
    }
    catch (const ELayoutError& error)
    {
        EXPECT_EQ(error.Message(), QStringLiteral("Layout \"Host\": cannot read the picture \"/dev/zero\""));
    }
    EXPECT_TRUE(image.Empty());
}

