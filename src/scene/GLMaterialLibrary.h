#pragma once

#include "Component.h"
#include "GLCoordinates.h"
#include "GLMaterial.h"
#include "RenderContextInfo.h"
#include "VectorGeometry.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class TGLMaterialLibrary;
class TGLLibMaterials;

// The key library materials are found by: the name's length, then for each
// character its low byte plus twice the key so far, with 32-bit wrap-around.
std::uint32_t LibMaterialNameHash(const QString& name);

// A named material of a library, which other materials use in their place.
class TGLLibMaterial : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(TGLMaterial* Material READ Material)
    Q_PROPERTY(TGLCoordinates* TextureOffset READ TextureOffset)
    Q_PROPERTY(TGLCoordinates* TextureScale READ TextureScale)
    Q_PROPERTY(QString Texture2Name READ Texture2Name WRITE SetTexture2Name)

public:
    // Made through TGLLibMaterials::Add, which names it.
    explicit TGLLibMaterial(TGLLibMaterials* collection);
    ~TGLLibMaterial() override;

    QString Name() const { return FName; }
    // A name another material of the library holds gets the first of 1, 2, 3,
    // ... appended that makes it unique (except while the library loads).
    void SetName(const QString& value);
    std::uint32_t NameHashKey() const { return FNameHashKey; }
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }
    TGLMaterial* Material() const { return FMaterial; }
    TGLCoordinates* TextureOffset() const { return FTextureOffset; }
    TGLCoordinates* TextureScale() const { return FTextureScale; }
    QString Texture2Name() const { return FTexture2Name; }
    void SetTexture2Name(const QString& value);
    TGLLibMaterials* Collection() const { return FCollection; }
    TGLMaterialLibrary* Library() const;
    // Its position in the library, by which lightmaps are referred to.
    int Index() const;

    // Loads the picture of the texture file `fileName` (see LoadTextureFile)
    // and switches the texture on, modulating the lit colours. Throws
    // ETextureLoadError and leaves the texture as it was when the file cannot
    // be loaded.
    void LoadTexture(const QString& fileName);

    // Scale, then offset, as the texture coordinates are transformed.
    TMatrix TextureMatrix() const;
    bool TextureMatrixIsIdentity() const;

    void Apply(TRenderContextInfo& info);
    // Returns whether the geometry must be drawn once more.
    bool UnApply(TRenderContextInfo& info);
    bool IsApplied() const { return FApplyDepth > 0; }

    void RegisterUser(TGLMaterial* user);
    void UnregisterUser(TGLMaterial* user);
    const std::vector<TGLMaterial*>& Users() const { return FUsers; }
    // Tells every user of a change; a change that comes back round is dropped.
    void NotifyUsers();

private:
    TGLLibMaterials* const FCollection;
    QString FName;
    std::uint32_t FNameHashKey = 0;
    int FTag = 0;
    TGLMaterial* const FMaterial;
    TGLCoordinates* const FTextureOffset;
    TGLCoordinates* const FTextureScale;
    QString FTexture2Name;
    std::vector<TGLMaterial*> FUsers;
    bool FNotifying = false;
    bool FTextureMatrixLoaded = false;
    int FApplyDepth = 0;
    TMatrix FTextureMatrix = IdentityMatrix();
};

// The library's materials in order. In a layout it is a list of items, each a
// list of the item's properties.
class TGLLibMaterials : public QObject, public TLayoutValue
{
    Q_OBJECT

public:
    explicit TGLLibMaterials(TGLMaterialLibrary* library);
    ~TGLLibMaterials() override;

    TGLMaterialLibrary* Library() const { return FLibrary; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TGLLibMaterial* Items(int index) const { return FItems.at(static_cast<size_t>(index)); }
    int IndexOf(const TGLLibMaterial* item) const;
    // A new item named "LibMaterial", or that followed by the first free number.
    TGLLibMaterial* Add();
    void Delete(int index);
    void Clear();
    // The first item whose name equals `name` exactly; nullptr when none does.
    TGLLibMaterial* GetLibMaterialByName(const QString& name) const;
    // The first free name among `name`, then `name` followed by 1, 2, 3, ...,
    // not counting `except`.
    QString MakeUniqueName(const QString& name, const TGLLibMaterial* except = nullptr) const;

    void ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader) override;

private:
    friend class TGLLibMaterial;

    TGLMaterialLibrary* const FLibrary;
    std::vector<TGLLibMaterial*> FItems;
};

// A component holding named materials that scene objects and sky boxes use by
// name.
class TGLMaterialLibrary : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(TGLLibMaterials* Materials READ Materials)
    Q_PROPERTY(QString TexturePaths READ TexturePaths WRITE SetTexturePaths)

public:
    explicit TGLMaterialLibrary(QObject* AOwner);
    // Aborts the program when one of its materials is still applied.
    ~TGLMaterialLibrary() override;

    TGLLibMaterials* Materials() const { return FMaterials; }
    QString TexturePaths() const { return FTexturePaths; }
    void SetTexturePaths(const QString& value) { FTexturePaths = value; }

    // Nullptr for an empty or unknown name; names compare case-sensitively.
    TGLLibMaterial* LibMaterialByName(const QString& name) const;
    // A new material given `name` (made unique).
    TGLLibMaterial* AddMaterial(const QString& name);
    // A new material given `name` whose texture shows the picture of the file
    // `fileName` (see TGLLibMaterial::LoadTexture). When the file cannot be
    // loaded the material stays in the library with its texture off and the
    // ETextureLoadError goes on to the caller, which may ignore it.
    TGLLibMaterial* AddTextureMaterial(const QString& name, const QString& fileName);
    // The material called `name`, unchanged, or else AddTextureMaterial.
    TGLLibMaterial* FindOrAddTextureMaterial(const QString& name, const QString& fileName);
    void DestroyHandles();

signals:
    // Sent while `libMaterial` is still whole, just before it goes away:
    // deleted on its own, by Clear, or with the library, which then sends
    // QObject::destroyed last. Objects that keep library materials by
    // pointer without being their users drop them here.
    void LibMaterialDeleting(TGLLibMaterial* libMaterial);

private:
    TGLLibMaterials* const FMaterials;
    QString FTexturePaths;
};

// Registers the material classes by name.
void RegisterMaterialClasses();
