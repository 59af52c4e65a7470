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

    static void Register(const QString& className, TFactory factory);
    static bool IsRegistered(const QString& className);
    // Creates an instance owned by `owner`; nullptr for an unknown class.
    static QObject* Create(const QString& className, QObject* owner);
};

template <class T>
void TClassRegistry::RegisterClass()
{
    Register(QString::fromLatin1(T::staticMetaObject.className()), [](QObject* owner) -> QObject* {
        if constexpr (std::is_base_of_v<QWidget, T>)
            return new T(qobject_cast<QWidget*>(owner));
        else
            return new T(owner);
    });
}
