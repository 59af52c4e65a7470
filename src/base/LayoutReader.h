#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
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
class TLayoutReader
{
public:
    // Converts a stored value to a property of a value type; nothing when the
    // stored value does not fit.
    using TConverter = std::function<std::optional<QVariant>(const QJsonValue&)>;

    static void RegisterConverter(QMetaType type, TConverter converter);

    // `layoutPath` is a file or resource path; images lie beside it.
    TLayoutReader(QObject* root, QString layoutPath);

    // Reads the whole layout into the root. Throws ELayoutError naming the
    // layout, the component and the property at fault.
    void Read();

    // For sub-objects that read themselves: apply a list of properties, and
    // resolve a file stored beside the layout.
    void ApplyProperties(QObject* target, const QJsonValue& properties);
    QString SiblingPath(const QString& fileName) const;
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
    void BindField(QObject* component);
    void ApplyProperty(QObject* target, const QString& path, const QJsonValue& value);
    void WriteProperty(QObject* target, const QMetaProperty& property, const QJsonValue& value);
    void WriteSubObject(QObject* subObject, const QJsonValue& value);
    QVariant ConvertValue(const QMetaProperty& property, const QJsonValue& value) const;
    void ResolveFixups();
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
