#include "base/Exceptions.h"
#include "base/FileStream.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FileStream, ReadsAnExistingFileAndNamesAMissingOne)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("model.bin"));
    {
        const std::unique_ptr<QFile> out = CreateFileStream(name, fmCreate);
        out->write("abc");
    }
    const std::unique_ptr<QFile> in = CreateFileStream(name, fmOpenReadShareDenyWrite);
    EXPECT_EQ(in->readAll(), QByteArray("abc"));
    const QString missing = dir.filePath(QStringLiteral("missing.3ds"));
    try
    {
        CreateFileStream(missing, fmOpenReadShareDenyWrite);
        FAIL() << "no exception";
    }
    catch (const EFOpenError& error)
    {
        EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(missing)))
            << error.what();
    }
}

TEST(FileStream, AFileBeingReadCannotBeRecreatedAndKeepsItsContent)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("model.bin"));
    CreateFileStream(name, fmCreate)->write("content");
    {
        const std::unique_ptr<QFile> reader = CreateFileStream(name, fmOpenReadShareDenyWrite);
        EXPECT_THROW(CreateFileStream(name, fmCreate), EFOpenError);
        EXPECT_EQ(reader->readAll(), QByteArray("content"));
    }
    // Once the reader has closed it, it can be written again.
    CreateFileStream(name, fmCreate)->write("new");
    EXPECT_EQ(CreateFileStream(name, fmOpenReadShareDenyWrite)->readAll(), QByteArray("new"));
}
