#pragma once

#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>
#include <type_traits>

// Maps class names to constructors, so that stored layouts can build their
// components by name. Filled by each module's start-up registrations.
class TClassRegistry
{
public:
    using TFactory = std::function<QObject*(QObject* owner)>;

    template <class T>
    static void RegisterClass();

    static void Register(const QMetaObject& kind, TFactory factory);
    static bool IsRegistered(const QString& className);
    // The registered class's meta-object; nullptr for an unknown class.
    static const QMetaObject* MetaObject(const QString& className);
    // Creates an instance owned by `owner`; nullptr for an unknown class.
    static QObject* Create(const QString& className, QObject* owner);
};

template <class T>
void TClassRegistry::RegisterClass()
{
    Register(T::staticMetaObject, [](QObject* owner) -> QObject* {
        if constexpr (std::is_base_of_v<QWidget, T>)
            return new T(qobject_cast<QWidget*>(owner));
        else
            return new T(owner);
    });
}
