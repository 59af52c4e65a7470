#pragma once

#include "MeshTypes.h"

#include <QIODevice>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class TGLBaseMesh;

enum TDataFileCapability : unsigned
{
    dfcRead = 1u << 0,
    dfcWrite = 1u << 1,
};

// A model-file format that fills a mesh from a stream or writes one. Made for
// one load or save with the mesh as its owner (the Qt parent).
class TVectorFile : public QObject
{
    Q_OBJECT

public:
    // An owner that is not a mesh: EAssertionFailed.
    explicit TVectorFile(QObject* AOwner);

    TGLBaseMesh& Owner() const { return *FOwner; }
    // The file name exactly as the loading call was given it.
    QString ResourceName() const { return FResourceName; }
    void SetResourceName(const QString& value) { FResourceName = value; }
    TMeshNormalsOrientation NormalsOrientation() const { return FNormalsOrientation; }
    void SetNormalsOrientation(TMeshNormalsOrientation value) { FNormalsOrientation = value; }

    // A set of TDataFileCapability.
    virtual unsigned Capabilities() const { return dfcRead; }
    virtual void LoadFromStream(QIODevice& stream) = 0;
    // Formats that cannot write: EInvalidOperation.
    virtual void SaveToStream(QIODevice& stream);

private:
    TGLBaseMesh* const FOwner;
    QString FResourceName;
    TMeshNormalsOrientation FNormalsOrientation = mnoDefault;
};

// A format class as the registry knows it.
struct TVectorFileClass
{
    const QMetaObject* MetaObject = nullptr;
    // A new instance owned by `owner`, which must be a mesh.
    TVectorFile* (*New)(QObject* owner) = nullptr;

    std::unique_ptr<TVectorFile> Create(TGLBaseMesh& owner) const;

    template <class T> static TVectorFileClass Of();
};

struct TVectorFileFormat
{
    TVectorFileClass VectorFileClass;
    // Lower case, without the dot.
    QString Extension;
    QString Description;
    int DescResID = 0;
};

// The process-wide registry of model-file formats, filled at start-up and
// read-only afterwards.
class TVectorFileFormatsList
{
public:
    void Add(const QString& extension, const QString& description, int descResID, const TVectorFileClass& fileClass);
    // The last registration of the extension, compared in lower case;
    // nullptr when there is none.
    const TVectorFileClass* FindExt(const QString& extension) const;
    // Throws EInvalidVectorFile when the name's extension has no format.
    const TVectorFileClass& FindFromFileName(const QString& fileName) const;
    // Drops every registration of the class.
    void Remove(const QMetaObject& fileClass);
    const std::vector<TVectorFileFormat>& Formats() const { return FFormats; }

private:
    std::vector<TVectorFileFormat> FFormats;
};

// The registry, made on first use.
TVectorFileFormatsList& GetVectorFileFormats();

// Registers the class with the layout reader and appends a format entry.
void RegisterMeshFormat(const QString& extension, const QString& description, const TVectorFileClass& fileClass);
template <class T> void RegisterMeshFormat(const QString& extension, const QString& description)
{
    RegisterMeshFormat(extension, description, TVectorFileClass::Of<T>());
}
void UnregisterMeshFormat(const QMetaObject& fileClass);
const TVectorFileClass* FindFormatByExtension(const QString& extension);
const TVectorFileClass& FindFormatByFileName(const QString& fileName);
// The extension of a file name without its dot; empty when it has none.
QString ExtractFileExtension(const QString& fileName);

// The formats of this program, registered in order at start-up.
void RegisterVectorFileFormats();

template <class T> TVectorFileClass TVectorFileClass::Of()
{
    static_assert(std::is_base_of_v<TVectorFile, T>);
    return {&T::staticMetaObject, [](QObject* owner) -> TVectorFile* { return new T(owner); }};
}
