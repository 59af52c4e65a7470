#include "TestVectorFile.h"

#include "base/ClassRegistry.h"
#include "base/Exceptions.h"
#include "mesh/GLBaseMesh.h"
#include "mesh/VectorFile.h"

#include <gtest/gtest.h>

namespace
{
// A second class for the same extension.
class TOtherTestVectorFile : public TTestVectorFile
{
    Q_OBJECT

public:
    using TTestVectorFile::TTestVectorFile;
};

QString InvalidVectorFileText(const QString& fileName)
{
    try
    {
        FindFormatByFileName(fileName);
    }
    catch (const EInvalidVectorFile& error)
    {
        return error.Message();
    }
    return QStringLiteral("no exception");
}
} // namespace

TEST(VectorFileFormats, LookupIgnoresCaseAndTheLastRegistrationOfAnExtensionWins)
{
    RegisterTestVectorFiles();
    EXPECT_EQ(FindFormatByExtension(QStringLiteral("TsT"))->MetaObject, &TTestVectorFile::staticMetaObject);
    EXPECT_EQ(FindFormatByFileName(QStringLiteral("../Anime/Play/Model.TST")).MetaObject,
              &TTestVectorFile::staticMetaObject);
    RegisterMeshFormat<TOtherTestVectorFile>(QStringLiteral("TST"), QStringLiteral("Other"));
    EXPECT_EQ(GetVectorFileFormats().Formats().back().Extension, QStringLiteral("tst"));
    EXPECT_EQ(FindFormatByExtension(QStringLiteral("tst"))->MetaObject, &TOtherTestVectorFile::staticMetaObject);
    // Registered with the layout reader too.
    EXPECT_TRUE(TClassRegistry::IsRegistered(QStringLiteral("TOtherTestVectorFile")));
    UnregisterMeshFormat(TOtherTestVectorFile::staticMetaObject);
    EXPECT_EQ(FindFormatByExtension(QStringLiteral("tst"))->MetaObject, &TTestVectorFile::staticMetaObject);
    EXPECT_EQ(FindFormatByExtension(QStringLiteral("xyz")), nullptr);
}

TEST(VectorFileFormats, UnknownExtensionsAreReportedWithTheExtensionAsWritten)
{
    RegisterTestVectorFiles();
    EXPECT_EQ(InvalidVectorFileText(QStringLiteral("Model.ObJ")),
              QStringLiteral("Unknown file extension (ObJ), maybe you forgot to add the support unit to your uses? "
                             "(GLFileOBJ?)"));
    EXPECT_EQ(InvalidVectorFileText(QStringLiteral("Model")),
              QStringLiteral("Unknown file extension (), maybe you forgot to add the support unit to your uses? "
                             "(GLFile?)"));
    // A dot in a folder name is not the file's extension.
    EXPECT_EQ(ExtractFileExtension(QStringLiteral("models.tst/Model")), QString());
    EXPECT_EQ(ExtractFileExtension(QStringLiteral("..\\Combo\\a.b.SMD")), QStringLiteral("SMD"));
}

TEST(VectorFileFormats, AFormatObjectMustBeOwnedByAMesh)
{
    QObject notAMesh;
    EXPECT_THROW(TTestVectorFile file(&notAMesh), EAssertionFailed);
    TGLFreeForm mesh(nullptr);
    const TTestVectorFile file(&mesh);
    EXPECT_EQ(&file.Owner(), &mesh);
}

#include "VectorFile_test.moc"
