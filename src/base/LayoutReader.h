#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QVariant>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <type_traits>
#include <vector>

// Reads a window's stored layout: builds its components by class name, applies
// their stored values in the order stored, resolves references between
// components, binds event handlers by name to the root's methods, then tells
// every component it is loaded.
//
// A layout is a JSON document:
//   { "class": "TJeu", "properties": [ {"Caption": "Jeu"}, ... ],
//     "components": [ { "name": "AsyncTimer1", "class": "TAsyncTimer",
//                       "properties": [ ... ], "children": [ ... ] } ] }
// Properties are a list of one-entry objects so that their order is kept.
// A dotted name ("Font.Height") reaches into sub-objects; a sub-object may also
// be given a list of its own properties. A string stored in a property that
// holds a component is that component's name.
//
// A writable root property that holds a component is a field of the form: the
// layout must store a component of that name, of the field's class. Where a
// component may be stored depends on its kind: controls and non-visual
// components directly in the form, others only under a parent that holds them
// (see TLayoutParent).
class TLayoutReader
{
public:
    // Converts a stored value to a property of a value type; nothing when the
    // stored value does not fit.
    using TConverter = std::function<std::optional<QVariant>(const QJsonValue&)>;

    static void RegisterConverter(QMetaType type, TConverter converter);

    // A stored number as an integer of type T; nothing for a fraction or a
    // number outside T's range.
    template <class T>
    static std::optional<T> IntegerOf(const QJsonValue& value);
    // A stored number as a single; nothing beyond the single's range.
    static std::optional<float> SingleOf(const QJsonValue& value);

    // `layoutPath` is a file or resource path; images lie beside it.
    TLayoutReader(QObject* root, QString layoutPath);

    // Reads the whole layout into the root. Throws ELayoutError naming the
    // layout, the component and the property at fault.
    void Read();

    // For sub-objects that read themselves: apply a list of properties, and
    // resolve a file stored beside the layout.
    void ApplyProperties(QObject* target, const QJsonValue& properties);
    QString SiblingPath(const QString& fileName) const;
    // A stored number for a single-precision value; fails when it does not fit.
    float SingleValue(const QJsonValue& value) const;
    [[noreturn]] void Fail(const QString& what) const;

private:
    struct TFixup
    {
        QObject* Target;
        QMetaProperty Property;
        QString Referenced;
        QString Component;
        QString PropertyName;
    };

    QJsonObject ParseDocument() const;
    void ReadComponents(const QJsonValue& list, QObject* parent);
    QObject* CreateComponent(const QJsonObject& entry, QObject* parent);
    void CheckPlacement(const QMetaObject& kind, QObject* parent) const;
    void BindField(QObject* component);
    void ApplyProperty(QObject* target, const QString& path, const QJsonValue& value);
    void WriteProperty(QObject* target, const QMetaProperty& property, const QJsonValue& value);
    void WriteSubObject(QObject* subObject, const QJsonValue& value);
    QVariant ConvertValue(const QMetaProperty& property, const QJsonValue& value) const;
    void ResolveFixups();
    void CheckFieldsBound() const;
    void CallLoaded();
    QObject* FindComponent(const QString& name) const;

    QObject* const FRoot;
    const QString FLayoutPath;
    QString FLayoutName;
    QString FComponent;
    QString FProperty;
    std::vector<QObject*> FCreated;
    std::vector<TFixup> FFixups;
};

template <class T>
std::optional<T> TLayoutReader::IntegerOf(const QJsonValue& value)
{
    static_assert(std::is_integral_v<T> && sizeof(T) <= 8);
    if (!value.isDouble())
        return std::nullopt;
    // The parser keeps whole numbers of the 64-bit signed range exact; others
    // arrive as doubles, whose conversion is defined only inside T's range.
    const QVariant stored = value.toVariant();
    if (stored.typeId() == QMetaType::LongLong)
    {
        const qint64 number = stored.toLongLong();
        bool fits = false;
        if constexpr (std::is_signed_v<T>)
            fits = number >= static_cast<qint64>(std::numeric_limits<T>::lowest()) &&
                   number <= static_cast<qint64>(std::numeric_limits<T>::max());
        else
            fits = number >= 0 && static_cast<quint64>(number) <= static_cast<quint64>(std::numeric_limits<T>::max());
        return fits ? std::optional<T>(static_cast<T>(number)) : std::nullopt;
    }
    const double number = value.toDouble();
    // Both bounds are powers of two, exact in a double; the upper one is
    // outside the range.
    const double lowest = static_cast<double>(std::numeric_limits<T>::lowest());
    const double beyond = std::ldexp(1.0, std::numeric_limits<T>::digits);
    if (std::floor(number) != number || number < lowest || number >= beyond)
        return std::nullopt;
    return static_cast<T>(number);
}
