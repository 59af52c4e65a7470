#include "ViewerOptions.h"

#include "Exceptions.h"

#include <gtest/gtest.h>

namespace
{
QString RefusalOf(const QStringList& arguments)
{
    try
    {
        ParseViewerOptions(arguments);
    }
    catch (const EInvalidOperation& error)
    {
        return error.Message();
    }
    return QStringLiteral("(accepted)");
}
} // namespace

TEST(ViewerOptions, FilesAndStateAreTakenInAnyOrder)
{
    const TViewerOptions options = ParseViewerOptions(
        {QStringLiteral("--skeleton"), QStringLiteral("Stick.smd"), QStringLiteral("--animation"),
         QStringLiteral("Combo1_1"), QStringLiteral("Combo1_1.smd"), QStringLiteral("--frame"), QStringLiteral("7"),
         QStringLiteral("Anime_Pas.SMD"), QStringLiteral("--screenshot"), QStringLiteral("out.png"),
         QStringLiteral("--size"), QStringLiteral("320x200"), QStringLiteral("--bbox")});
    EXPECT_EQ(options.ModelFile, QStringLiteral("Stick.smd"));
    EXPECT_EQ(options.AnimationFiles, QStringList({QStringLiteral("Combo1_1.smd"), QStringLiteral("Anime_Pas.SMD")}));
    EXPECT_EQ(options.Animation, QStringLiteral("Combo1_1"));
    ASSERT_TRUE(options.Frame.has_value());
    EXPECT_EQ(*options.Frame, 7);
    EXPECT_TRUE(options.Skeleton);
    EXPECT_TRUE(options.BoundingBox);
    EXPECT_FALSE(options.Normals);
    EXPECT_FALSE(options.Wireframe);
    EXPECT_EQ(options.ScreenshotFile, QStringLiteral("out.png"));
    EXPECT_EQ(options.ViewSize, QSize(320, 200));

    const TViewerOptions bare = ParseViewerOptions({});
    EXPECT_TRUE(bare.ModelFile.isEmpty());
    EXPECT_FALSE(bare.Frame.has_value());
    EXPECT_EQ(bare.ViewSize, QSize(800, 600));
}

TEST(ViewerOptions, UnusableOptionsAreRefusedWithTheOptionNamed)
{
    EXPECT_EQ(RefusalOf({QStringLiteral("a.smd"), QStringLiteral("--frame")}), QStringLiteral("--frame needs a value"));
    EXPECT_EQ(RefusalOf({QStringLiteral("a.smd"), QStringLiteral("--frame"), QStringLiteral("-1")}),
              QStringLiteral("--frame needs a frame number of 0 or more, not \"-1\""));
    EXPECT_EQ(RefusalOf({QStringLiteral("a.smd"), QStringLiteral("--frame"), QStringLiteral("two")}),
              QStringLiteral("--frame needs a frame number of 0 or more, not \"two\""));
    EXPECT_EQ(RefusalOf({QStringLiteral("a.smd"), QStringLiteral("--size"), QStringLiteral("32x32")}),
              QStringLiteral("--size needs WIDTHxHEIGHT between 64 and 4096, not \"32x32\""));
    EXPECT_EQ(RefusalOf({QStringLiteral("a.smd"), QStringLiteral("--size"), QStringLiteral("640")}),
              QStringLiteral("--size needs WIDTHxHEIGHT between 64 and 4096, not \"640\""));
    EXPECT_EQ(RefusalOf({QStringLiteral("--skelton")}), QStringLiteral("unknown option --skelton"));
    EXPECT_EQ(RefusalOf({QStringLiteral("town.3ds"), QStringLiteral("walk.smd")}),
              QStringLiteral("animation files can only be added to an SMD model, not to \"town.3ds\""));
    EXPECT_EQ(RefusalOf({QStringLiteral("a.smd"), QStringLiteral("b.md2")}),
              QStringLiteral("\"b.md2\" is not an SMD animation file"));
    EXPECT_EQ(RefusalOf({QStringLiteral("--screenshot"), QStringLiteral("out.png")}),
              QStringLiteral("--animation, --frame and --screenshot need a model file"));
}
