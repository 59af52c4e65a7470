#include "ClassRegistry.h"

#include <QHash>

namespace
{
QHash<QString, TClassRegistry::TFactory>& Factories()
{
    static QHash<QString, TClassRegistry::TFactory> factories;
    return factories;
}
} // namespace

void TClassRegistry::Register(const QString& className, TFactory factory)
{
    Factories().insert(className, std::move(factory));
}

bool TClassRegistry::IsRegistered(const QString& className)
{
    return Factories().contains(className);
}

QObject* TClassRegistry::Create(const QString& className, QObject* owner)
{
    const auto found = Factories().constFind(className);
    if (found == Factories().constEnd())
        return nullptr;
    return (*found)(owner);
}
