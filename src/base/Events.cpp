#include "Events.h"

#include "Exceptions.h"

#include <QMetaMethod>

namespace
{
} // namespace

// Types are compared by identity, so that a handler may spell a type by any
// of its names (an alias, a namespace-qualified name).
bool TEventBinder::ParametersMatch(const QMetaMethod& method, const std::vector<TParameter>& expected)
{
    if (method.parameterCount() != static_cast<int>(expected.size()))
        return false;
    for (int i = 0; i < method.parameterCount(); ++i)
    {
        QByteArray name = method.parameterTypeName(i);
        const bool byReference = name.endsWith('&');
        if (byReference)
            name.chop(1);
        // A reference parameter has no meta type of its own: look its type up.
        const QMetaType actual = byReference ? QMetaType::fromName(name) : method.parameterMetaType(i);
        if (actual != expected[static_cast<size_t>(i)].Type ||
            byReference != expected[static_cast<size_t>(i)].ByReference)
            return false;
    }
    return true;
}

std::vector<TEventBinder::TEntry>& TEventBinder::Entries()
{
    static std::vector<TEntry> entries;
    return entries;
}

void TEventBinder::Add(TEntry entry)
{
    for (TEntry& existing : Entries())
        if (existing.TypeId == entry.TypeId)
        {
            existing = std::move(entry);
            return;
        }
    Entries().push_back(std::move(entry));
}

const TEventBinder::TEntry* TEventBinder::Find(QMetaType type)
{
    for (const TEntry& entry : Entries())
        if (entry.TypeId == type.id())
            return &entry;
    return nullptr;
}

bool TEventBinder::IsEventType(QMetaType type)
{
    return Find(type) != nullptr;
}

QVariant TEventBinder::Bind(QMetaType type, QObject* target, const QString& methodName)
{
    const TEntry* entry = Find(type);
    if (entry == nullptr)
        throw ELayoutError(QStringLiteral("\"%1\" is not an event type").arg(QString::fromLatin1(type.name())));
    const QMetaObject* meta = target->metaObject();
    bool nameFound = false;
    for (int i = 0; i < meta->methodCount(); ++i)
    {
        const QMetaMethod method = meta->method(i);
        if (QString::fromLatin1(method.name()) != methodName)
            continue;
        nameFound = true;
        if (ParametersMatch(method, entry->Parameters))
            return entry->Make(target, i);
    }
    if (nameFound)
        throw ELayoutError(QStringLiteral("handler \"%1\" has the wrong parameters").arg(methodName));
    throw ELayoutError(QStringLiteral("unknown handler \"%1\"").arg(methodName));
}

void RegisterBaseEventTypes()
{
    TEventBinder::RegisterEventType<QObject*>();
    TEventBinder::RegisterEventType<QObject*, QChar&>();
}
