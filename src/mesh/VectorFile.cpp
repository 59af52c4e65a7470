#include "VectorFile.h"

#include "ClassRegistry.h"
#include "Exceptions.h"
#include "GLBaseMesh.h"
#include "GL3DSVectorFile.h"
#include "GLGLSMVectorFile.h"
#include "GLMD2VectorFile.h"
#include "GLSMDVectorFile.h"

#include <algorithm>

TVectorFile::TVectorFile(QObject* AOwner)
    : QObject(AOwner), FOwner(qobject_cast<TGLBaseMesh*>(AOwner))
{
    if (FOwner == nullptr)
        throw EAssertionFailed(QStringLiteral("A vector file's owner must be a mesh"));
}

void TVectorFile::SaveToStream(QIODevice&)
{
    throw EInvalidOperation(QStringLiteral("%1 cannot write files").arg(QLatin1String(metaObject()->className())));
}

std::unique_ptr<TVectorFile> TVectorFileClass::Create(TGLBaseMesh& owner) const
{
    return std::unique_ptr<TVectorFile>(New(&owner));
}

// ------------------------------------------------------------------ registry

void TVectorFileFormatsList::Add(const QString& extension, const QString& description, int descResID,
                                 const TVectorFileClass& fileClass)
{
    FFormats.push_back({fileClass, extension.toLower(), description, descResID});
}

const TVectorFileClass* TVectorFileFormatsList::FindExt(const QString& extension) const
{
    const QString wanted = extension.toLower();
    // A later registration of an extension overrides an earlier one.
    for (auto format = FFormats.rbegin(); format != FFormats.rend(); ++format)
        if (format->Extension == wanted)
            return &format->VectorFileClass;
    return nullptr;
}

const TVectorFileClass& TVectorFileFormatsList::FindFromFileName(const QString& fileName) const
{
    const QString extension = ExtractFileExtension(fileName);
    if (const TVectorFileClass* found = FindExt(extension))
        return *found;
    throw EInvalidVectorFile(
        QStringLiteral("Unknown file extension (%1), maybe you forgot to add the support unit to your uses? (%2?)")
            .arg(extension, QStringLiteral("GLFile") + extension.toUpper()));
}

void TVectorFileFormatsList::Remove(const QMetaObject& fileClass)
{
    std::erase_if(FFormats, [&fileClass](const TVectorFileFormat& format)
                  { return format.VectorFileClass.MetaObject == &fileClass; });
}

TVectorFileFormatsList& GetVectorFileFormats()
{
    static TVectorFileFormatsList formats;
    return formats;
}

void RegisterMeshFormat(const QString& extension, const QString& description, const TVectorFileClass& fileClass)
{
    TClassRegistry::Register(*fileClass.MetaObject, fileClass.New);
    GetVectorFileFormats().Add(extension, description, 0, fileClass);
}

void UnregisterMeshFormat(const QMetaObject& fileClass)
{
    GetVectorFileFormats().Remove(fileClass);
}

const TVectorFileClass* FindFormatByExtension(const QString& extension)
{
    return GetVectorFileFormats().FindExt(extension);
}

const TVectorFileClass& FindFormatByFileName(const QString& fileName)
{
    return GetVectorFileFormats().FindFromFileName(fileName);
}

QString ExtractFileExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype separator = std::max(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
    return dot > separator ? fileName.mid(dot + 1) : QString();
}

void RegisterVectorFileFormats()
{
    // Each format's registration goes here in start-up order; a later one
    // overrides an earlier one of the same extension.
    RegisterMeshFormat<TGLGLSMVectorFile>(QStringLiteral("glsm"), QStringLiteral("Native Mesh"));
    RegisterMeshFormat<TGL3DSVectorFile>(QStringLiteral("3ds"), QStringLiteral("3D Studio files"));
    RegisterMeshFormat<TGL3DSVectorFile>(QStringLiteral("prj"), QStringLiteral("3D Studio project files"));
    RegisterMeshFormat<TGLMD2VectorFile>(QStringLiteral("md2"), QStringLiteral("Quake II model files"));
    RegisterMeshFormat<TGLSMDVectorFile>(QStringLiteral("smd"), QStringLiteral("Half-Life SMD files"));
}
