#include "ClassRegistry.h"

#include <QHash>

namespace
{
struct TRegisteredClass
{
    const QMetaObject* Kind;
    TClassRegistry::TFactory Factory;
};

QHash<QString, TRegisteredClass>& Classes()
{
    static QHash<QString, TRegisteredClass> classes;
    return classes;
}
} // namespace

void TClassRegistry::Register(const QMetaObject& kind, TFactory factory)
{
    Classes().insert(QString::fromLatin1(kind.className()), {&kind, std::move(factory)});
}

bool TClassRegistry::IsRegistered(const QString& className)
{
    return Classes().contains(className);
}

const QMetaObject* TClassRegistry::MetaObject(const QString& className)
{
    const auto found = Classes().constFind(className);
    return found != Classes().constEnd() ? found->Kind : nullptr;
}

QObject* TClassRegistry::Create(const QString& className, QObject* owner)
{
    const auto found = Classes().constFind(className);
    if (found == Classes().constEnd())
        return nullptr;
    return found->Factory(owner);
}
