#pragma once

#include <QChar>
#include <QMetaMethod>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

// Events are handlers bound to their target; an empty one is not called.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TKeyPressEvent = std::function<void(QObject* Sender, QChar& Key)>;

Q_DECLARE_METATYPE(TNotifyEvent)
Q_DECLARE_METATYPE(TKeyPressEvent)

// Binds event properties of stored layouts to the form's handler methods,
// found by name among its invokable methods with the event's parameters.
class TEventBinder
{
public:
    template <class... Args>
    static void RegisterEventType();

    static bool IsEventType(QMetaType type);
    // The event value for a property of `type` calling `methodName` on
    // `target`; throws when no such method exists with matching parameters.
    static QVariant Bind(QMetaType type, QObject* target, const QString& methodName);

private:
    struct TParameter
    {
        QMetaType Type;
        bool ByReference;
    };

    struct TEntry
    {
        int TypeId;
        std::vector<TParameter> Parameters;
        std::function<QVariant(QObject* target, int methodIndex)> Make;
    };

    template <class T>
    static TParameter ParameterOf();
    static std::vector<TEntry>& Entries();
    static bool ParametersMatch(const QMetaMethod& method, const std::vector<TParameter>& expected);
    static void Add(TEntry entry);
    static const TEntry* Find(QMetaType type);
};

template <class T>
TEventBinder::TParameter TEventBinder::ParameterOf()
{
    return {QMetaType::fromType<std::remove_cvref_t<T>>(),
            std::is_lvalue_reference_v<T> && !std::is_const_v<std::remove_reference_t<T>>};
}

template <class... Args>
void TEventBinder::RegisterEventType()
{
    using TEvent = std::function<void(Args...)>;
    TEntry entry;
    entry.TypeId = QMetaType::fromType<TEvent>().id();
    entry.Parameters = {ParameterOf<Args>()...};
    entry.Make = [](QObject* target, int methodIndex) {
        QPointer<QObject> guard(target);
        // Calls go through the target's own generated dispatcher, so a failure
        // raised by the handler unwinds through our code only.
        const TEvent event = [guard, methodIndex](Args... args) {
            if (guard.isNull())
                return;
            void* argv[] = {nullptr, const_cast<void*>(static_cast<const void*>(std::addressof(args)))...};
            guard->qt_metacall(QMetaObject::InvokeMetaMethod, methodIndex, argv);
        };
        return QVariant::fromValue(event);
    };
    Add(std::move(entry));
}

// Registers the event types this module defines.
void RegisterBaseEventTypes();
