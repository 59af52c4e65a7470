#include "GLMaterialLibrary.h"

#include "ClassRegistry.h"
#include "Exceptions.h"
#include "GLStateCache.h"
#include "LayoutReader.h"
#include "ScopeGuard.h"

#include <QJsonArray>

#include <algorithm>

namespace
{
const QString DefaultLibMaterialName = QStringLiteral("LibMaterial");
} // namespace

std::uint32_t LibMaterialNameHash(const QString& name)
{
    std::uint32_t hash = static_cast<std::uint32_t>(name.size());
    for (const QChar c : name)
        hash = (c.unicode() & 0xFFu) + 2u * hash;
    return hash;
}

// ------------------------------------------------------------ library material

TGLLibMaterial::TGLLibMaterial(TGLLibMaterials* collection)
    : QObject(collection), FCollection(collection), FMaterial(new TGLMaterial(this)),
      FTextureOffset(new TGLCoordinates(this, {0, 0, 0, 0}, csUnknown)),
      FTextureScale(new TGLCoordinates(this, {1, 1, 1, 0}, csUnknown))
{
    FTextureOffset->OnNotifyChange = [this] { NotifyUsers(); };
    FTextureScale->OnNotifyChange = [this] { NotifyUsers(); };
}

TGLLibMaterial::~TGLLibMaterial()
{
    if (TGLMaterialLibrary* const library = Library())
        emit library->LibMaterialDeleting(this);
    auto& items = FCollection->FItems;
    items.erase(std::remove(items.begin(), items.end(), this), items.end());
    // Each user forgets this material and unregisters, shrinking the list.
    while (!FUsers.empty())
    {
        TGLMaterial* const user = FUsers.back();
        FUsers.pop_back();
        user->LibMaterialDestroyed(this);
    }
}

TGLMaterialLibrary* TGLLibMaterial::Library() const
{
    return FCollection->Library();
}

int TGLLibMaterial::Index() const
{
    return FCollection->IndexOf(this);
}

void TGLLibMaterial::LoadTexture(const QString& fileName)
{
    TGLTexture* const texture = FMaterial->Texture();
    texture->Image()->LoadFromFile(fileName);
    texture->SetTextureMode(tmModulate);
    texture->SetDisabled(false);
}

void TGLLibMaterial::SetName(const QString& value)
{
    if (value == FName)
        return;
    const TGLMaterialLibrary* const library = Library();
    const bool loading = library != nullptr && library->IsLoading();
    FName = loading ? value : FCollection->MakeUniqueName(value, this);
    FNameHashKey = LibMaterialNameHash(FName);
}

void TGLLibMaterial::SetTexture2Name(const QString& value)
{
    if (value == FTexture2Name)
        return;
    FTexture2Name = value;
    NotifyUsers();
}

TMatrix TGLLibMaterial::TextureMatrix() const
{
    const TVector& scale = FTextureScale->AsVector();
    const TVector& offset = FTextureOffset->AsVector();
    TMatrix matrix = IdentityMatrix();
    matrix[0][0] = scale.X;
    matrix[1][1] = scale.Y;
    matrix[2][2] = scale.Z;
    matrix[3][0] = offset.X;
    matrix[3][1] = offset.Y;
    matrix[3][2] = offset.Z;
    return matrix;
}

bool TGLLibMaterial::TextureMatrixIsIdentity() const
{
    const TVector& scale = FTextureScale->AsVector();
    const TVector& offset = FTextureOffset->AsVector();
    return scale.X == 1 && scale.Y == 1 && scale.Z == 1 && offset.X == 0 && offset.Y == 0 && offset.Z == 0;
}

void TGLLibMaterial::Apply(TRenderContextInfo& info)
{
    ++FApplyDepth;
    FTextureMatrixLoaded = FMaterial->TextureEnabled() && !TextureMatrixIsIdentity();
    if (FTextureMatrixLoaded)
    {
        FTextureMatrix = TextureMatrix();
        info.GLStates->SetTextureMatrix(FTextureMatrix.Data());
    }
    // The material takes itself back when it fails; so does this item.
    const TScopeFailure takeBack(
        [this, &info]
        {
            if (FTextureMatrixLoaded)
                info.GLStates->ResetTextureMatrix();
            FTextureMatrixLoaded = false;
            --FApplyDepth;
        });
    FMaterial->Apply(info);
}

bool TGLLibMaterial::UnApply(TRenderContextInfo& info)
{
    const bool again = FMaterial->UnApply(info);
    if (FTextureMatrixLoaded)
    {
        info.GLStates->ResetTextureMatrix();
        FTextureMatrixLoaded = false;
    }
    if (!again && FApplyDepth > 0)
        --FApplyDepth;
    return again;
}

void TGLLibMaterial::RegisterUser(TGLMaterial* user)
{
    if (std::find(FUsers.begin(), FUsers.end(), user) == FUsers.end())
        FUsers.push_back(user);
}

void TGLLibMaterial::UnregisterUser(TGLMaterial* user)
{
    FUsers.erase(std::remove(FUsers.begin(), FUsers.end(), user), FUsers.end());
}

void TGLLibMaterial::NotifyUsers()
{
    if (FNotifying)
        return;
    FNotifying = true;
    // A user may change the list while it is told, so the list is walked by index.
    for (size_t i = 0; i < FUsers.size(); ++i)
        FUsers[i]->NotifyChange();
    FNotifying = false;
}

// --------------------------------------------------------------- collection

TGLLibMaterials::TGLLibMaterials(TGLMaterialLibrary* library) : QObject(library), FLibrary(library) {}

TGLLibMaterials::~TGLLibMaterials()
{
    Clear();
}

int TGLLibMaterials::IndexOf(const TGLLibMaterial* item) const
{
    const auto found = std::find(FItems.begin(), FItems.end(), item);
    return found == FItems.end() ? -1 : static_cast<int>(found - FItems.begin());
}

TGLLibMaterial* TGLLibMaterials::Add()
{
    auto* const item = new TGLLibMaterial(this);
    FItems.push_back(item);
    item->SetName(MakeUniqueName(DefaultLibMaterialName, item));
    return item;
}

void TGLLibMaterials::Delete(int index)
{
    delete Items(index);
}

void TGLLibMaterials::Clear()
{
    while (!FItems.empty())
        delete FItems.back();
}

TGLLibMaterial* TGLLibMaterials::GetLibMaterialByName(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    const std::uint32_t hash = LibMaterialNameHash(name);
    for (TGLLibMaterial* item : FItems)
        if (item->NameHashKey() == hash && item->Name() == name)
            return item;
    return nullptr;
}

QString TGLLibMaterials::MakeUniqueName(const QString& name, const TGLLibMaterial* except) const
{
    const auto taken = [this, except](const QString& candidate)
    {
        return std::any_of(FItems.begin(), FItems.end(),
                           [&](const TGLLibMaterial* item) { return item != except && item->Name() == candidate; });
    };
    if (!taken(name))
        return name;
    for (int i = 1;; ++i)
    {
        const QString candidate = name + QString::number(i);
        if (!taken(candidate))
            return candidate;
    }
}

void TGLLibMaterials::ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader)
{
    if (!value.isArray())
        reader.Fail(QStringLiteral("needs a list of materials"));
    Clear();
    for (const QJsonValue& entry : value.toArray())
    {
        if (!entry.isArray())
            reader.Fail(QStringLiteral("needs each material as a list of properties"));
        reader.ApplyProperties(Add(), entry);
    }
}

// ------------------------------------------------------------------ library

TGLMaterialLibrary::TGLMaterialLibrary(QObject* AOwner) : TComponent(AOwner), FMaterials(new TGLLibMaterials(this)) {}

TGLMaterialLibrary::~TGLMaterialLibrary()
{
    MarkDestroying();
    for (int i = 0; i < FMaterials->Count(); ++i)
        if (FMaterials->Items(i)->IsApplied())
            AbortOnFailedAssertion(QStringLiteral("Unbalanced material application"));
    // Users are told while the library is still whole.
    FMaterials->Clear();
}

TGLLibMaterial* TGLMaterialLibrary::LibMaterialByName(const QString& name) const
{
    return FMaterials->GetLibMaterialByName(name);
}

TGLLibMaterial* TGLMaterialLibrary::AddMaterial(const QString& name)
{
    TGLLibMaterial* const item = FMaterials->Add();
    item->SetName(name);
    return item;
}

TGLLibMaterial* TGLMaterialLibrary::AddTextureMaterial(const QString& name, const QString& fileName)
{
    TGLLibMaterial* const item = AddMaterial(name);
    item->LoadTexture(fileName);
    return item;
}

TGLLibMaterial* TGLMaterialLibrary::FindOrAddTextureMaterial(const QString& name, const QString& fileName)
{
    TGLLibMaterial* const found = LibMaterialByName(name);
    return found != nullptr ? found : AddTextureMaterial(name, fileName);
}

void TGLMaterialLibrary::DestroyHandles()
{
    for (int i = 0; i < FMaterials->Count(); ++i)
        FMaterials->Items(i)->Material()->DestroyHandles();
}

void RegisterMaterialClasses()
{
    TClassRegistry::RegisterClass<TGLMaterialLibrary>();
}
