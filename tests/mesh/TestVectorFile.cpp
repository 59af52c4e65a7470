#include "TestVectorFile.h"

#include "base/Exceptions.h"
#include "mesh/GLBaseMesh.h"

#include <QFile>

QString TTestVectorFile::LastResourceName;
TMeshNormalsOrientation TTestVectorFile::LastNormalsOrientation = mnoDefault;

void TTestVectorFile::LoadFromStream(QIODevice& stream)
{
    LastResourceName = ResourceName();
    LastNormalsOrientation = NormalsOrientation();
    TMeshObjectList& objects = Owner().MeshObjects();
    TMeshObject* current = nullptr;
    while (!stream.atEnd())
    {
        const QList<QByteArray> words = stream.readLine().simplified().split(' ');
        if (words[0] == "o")
        {
            current = &objects.Add<TMeshObject>();
            current->Name = QString::fromLatin1(words.value(1));
        }
        else if (words[0] == "v")
        {
            if (current == nullptr)
                current = &objects.Add<TMeshObject>();
            current->Vertices.Add({words[1].toFloat(), words[2].toFloat(), words[3].toFloat()});
        }
        else if (words[0] == "m")
        {
            current = &objects.Add<TMorphableMeshObject>();
            current->Name = QString::fromLatin1(words.value(1));
        }
        else if (words[0] == "t")
            dynamic_cast<TMorphableMeshObject&>(*current).AddMorphTarget(QString());
        else if (words[0] == "f")
            Owner().Skeleton().Frames().Add().Name = QString::fromLatin1(words.value(1));
        else if (words[0] == "fail")
            throw EInvalidVectorFile(QStringLiteral("broken"));
    }
}

void TTestVectorFile::SaveToStream(QIODevice& stream)
{
    const TMeshObjectList& objects = Owner().MeshObjects();
    for (int i = 0; i < objects.Count(); ++i)
    {
        stream.write(QStringLiteral("o %1\n").arg(objects[i].Name).toLatin1());
        for (const TAffineVector& v : objects[i].Vertices)
            stream.write(QStringLiteral("v %1 %2 %3\n").arg(v.X).arg(v.Y).arg(v.Z).toLatin1());
    }
}

void RegisterTestVectorFiles()
{
    static const bool registered = []
    {
        RegisterMeshFormat<TTestVectorFile>(QStringLiteral("tst"), QStringLiteral("Test meshes"));
        RegisterMeshFormat<TReadOnlyTestVectorFile>(QStringLiteral("rdo"), QStringLiteral("Read-only test meshes"));
        return true;
    }();
    (void)registered;
}

void WriteTextFile(const QString& fileName, const QByteArray& text)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EFOpenError(fileName);
    file.write(text);
}
