#include "ModelConversion.h"

#include "GLBaseMesh.h"
#include "GLMaterialLibrary.h"
#include "SkeletonMeshObject.h"
#include "VectorFile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <array>

namespace
{
struct TConversion
{
    const char* From;
    const char* To;
};

constexpr std::array<TConversion, 7> Conversions{{
    {"smd", "glsm"}, {"smd", "smd"}, {"glsm", "glsm"}, {"glsm", "smd"},
    {"3ds", "glsm"}, {"prj", "glsm"}, {"md2", "glsm"},
}};

bool IsSupported(const QString& from, const QString& to)
{
    return std::any_of(Conversions.begin(), Conversions.end(), [&](const TConversion& conversion) {
        return from == QLatin1String(conversion.From) && to == QLatin1String(conversion.To);
    });
}

QString ExtensionOf(const QString& fileName)
{
    return ExtractFileExtension(fileName).toLower();
}

void RequireReadable(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EConversionError(QStringLiteral("%1: cannot be read: %2").arg(fileName, file.errorString()));
}

// The formats register once per process, as at the game's start.
void RegisterFormatsOnce()
{
    static const bool registered = [] {
        RegisterVectorFileFormats();
        return true;
    }();
    (void)registered;
}

// Read errors name the file already; anything else gets its name here.
void Load(TGLBaseMesh& mesh, const QString& fileName, const bool add)
{
    try
    {
        if (add)
            mesh.AddFromFile(fileName);
        else
            mesh.LoadFromFile(fileName);
    }
    catch (const Exception& e)
    {
        throw EConversionError(e.Message().contains(fileName) ? e.Message()
                                                               : QStringLiteral("%1: %2").arg(fileName, e.Message()));
    }
}

bool HasSkinnedObject(const TGLBaseMesh& mesh)
{
    for (int i = 0; i < mesh.MeshObjects().Count(); ++i)
        if (dynamic_cast<const TSkeletonMeshObject*>(&mesh.MeshObjects()[i]))
            return true;
    return false;
}

// The skeleton's own model gives way to the native file's objects, which are
// bound to the skeleton's first frame as they are read.
void LoadOntoSkeleton(TGLBaseMesh& mesh, const QString& input, const QString& skeleton)
{
    if (skeleton.isEmpty())
        throw EConversionError(QStringLiteral("%1: the native format keeps no bones or frames; give the model's SMD "
                                              "file with --skeleton MODEL.smd to write SMD")
                                   .arg(input));
    if (ExtensionOf(skeleton) != QLatin1String("smd"))
        throw EConversionError(QStringLiteral("%1: the skeleton must come from an SMD model file").arg(skeleton));
    RequireReadable(skeleton);
    Load(mesh, skeleton, false);
    mesh.MeshObjects().Clear();
    Load(mesh, input, true);
    if (!HasSkinnedObject(mesh))
        throw EConversionError(QStringLiteral("%1: holds no skinned mesh object, and only those can be written as SMD")
                                   .arg(input));
}

void Save(TGLBaseMesh& mesh, const QString& output)
{
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        throw EConversionError(QStringLiteral("%1: cannot be written: %2").arg(output, file.errorString()));
    try
    {
        mesh.SaveToStream(output, file);
    }
    catch (const Exception& e)
    {
        throw EConversionError(QStringLiteral("%1: %2").arg(output, e.Message()));
    }
    if (!file.commit())
        throw EConversionError(QStringLiteral("%1: cannot be written: %2").arg(output, file.errorString()));
}
} // namespace

QString SupportedConversions()
{
    QStringList pairs;
    for (const TConversion& conversion : Conversions)
        pairs.append(QStringLiteral(".%1 to .%2").arg(QLatin1String(conversion.From), QLatin1String(conversion.To)));
    return pairs.join(QStringLiteral(", ")) + QStringLiteral(" (.glsm to .smd with --skeleton MODEL.smd)");
}

void ConvertModel(const QString& input, const QString& output, const QString& skeleton)
{
    const QString from = ExtensionOf(input), to = ExtensionOf(output);
    if (!IsSupported(from, to))
        throw EConversionError(QStringLiteral("cannot convert .%1 to .%2; the conversions are %3")
                                   .arg(from, to, SupportedConversions()));
    RequireReadable(input);
    RegisterFormatsOnce();
    // 3DS objects keep their material names only through a library; the
    // textures themselves are not needed to convert. The library outlives
    // the mesh that refers to it.
    TGLMaterialLibrary library(nullptr);
    TGLFreeForm mesh(nullptr);
    if (from == QLatin1String("3ds") || from == QLatin1String("prj"))
        mesh.SetMaterialLibrary(&library);
    mesh.SetIgnoreMissingTextures(true);
    if (from == QLatin1String("glsm") && to == QLatin1String("smd"))
        LoadOntoSkeleton(mesh, input, skeleton);
    else
        Load(mesh, input, false);
    Save(mesh, output);
}
